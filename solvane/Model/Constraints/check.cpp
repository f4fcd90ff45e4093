#include "solvane/Model/Constraints/check.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaCheck

std::shared_ptr<MetaCheck> MetaCheck::with_name(std::string_view name, std::string_view expr) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(expr, nullptr);
    auto check = create();
    check->set_name(name);
    check->set_check(expr);
    return check;
}

OMBRIX_DEFINE_TYPE(MetaCheck, "OmbrixSolvaneMetaModelMetaCheck");

}  // namespace Ombrix::Solvane::MetaModel
