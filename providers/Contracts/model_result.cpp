#include "providers/Contracts/model_result.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<InvalidResult> InvalidResult::create(std::string_view code, std::string_view message) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(code, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(message, nullptr);
    auto result = Core::make_object<InvalidResult>();
    result->m_code.assign(code);
    result->m_message.assign(message);
    return result;
}

OMBRIX_DEFINE_TYPE(InvalidResult, "OmbrixProvidersContractsInvalidResult", [](auto& builder) {
    builder.factory([] { return Core::make_object<InvalidResult>(); });
});

std::shared_ptr<ScalarResult> ScalarResult::create(std::int32_t rows) {
    auto result = Core::make_object<ScalarResult>();
    result->m_rows = rows;
    return result;
}

OMBRIX_DEFINE_TYPE(ScalarResult, "OmbrixProvidersContractsScalarResult");

}  // namespace Ombrix::Providers::Contracts
