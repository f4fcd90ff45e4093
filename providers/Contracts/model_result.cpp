#include "providers/Contracts/model_result.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<InvalidResult> InvalidResult::create(std::string_view code, std::string_view message) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(code, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(message, nullptr);
    auto result = std::shared_ptr<InvalidResult>(new InvalidResult());
    result->m_code.assign(code);
    result->m_message.assign(message);
    return result;
}

const Core::TypeInfo& InvalidResult::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<InvalidResult, Core::Object>("OmbrixProvidersContractsInvalidResult")
            .property("code", &InvalidResult::get_code, &InvalidResult::set_code, "",
                      Core::Readable | Core::Writable | Core::ConstructOnly)
            .property("message", &InvalidResult::get_message, &InvalidResult::set_message, "",
                      Core::Readable | Core::Writable | Core::ConstructOnly)
            // Made by name with empty texts; the construct properties fill them in.
            .factory([] { return std::shared_ptr<Core::Object>(new InvalidResult()); })
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(InvalidResult);

std::shared_ptr<ScalarResult> ScalarResult::create(std::int32_t rows) {
    auto result = std::shared_ptr<ScalarResult>(new ScalarResult());
    result->m_rows = rows;
    return result;
}

const Core::TypeInfo& ScalarResult::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ScalarResult, Core::Object>("OmbrixProvidersContractsScalarResult")
            .property("rows", &ScalarResult::get_rows, &ScalarResult::set_rows, 0,
                      Core::Readable | Core::Writable | Core::ConstructOnly)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ScalarResult);

}  // namespace Ombrix::Providers::Contracts
