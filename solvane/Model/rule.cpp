#include "solvane/Model/rule.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaRule

std::shared_ptr<MetaRule> MetaRule::with_name(std::string_view name) {
    auto rule = create();
    rule->set_name(name);
    return rule;
}

OMBRIX_DEFINE_TYPE(MetaRule, "OmbrixSolvaneMetaModelMetaRule");

}  // namespace Ombrix::Solvane::MetaModel
