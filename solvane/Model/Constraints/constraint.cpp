#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaConstraint

std::shared_ptr<MetaConstraint> MetaConstraint::with_names(std::string_view name) {
    auto constraint = create();
    constraint->set_name(name);
    return constraint;
}

OMBRIX_DEFINE_TYPE(MetaConstraint, "OmbrixSolvaneMetaModelMetaConstraint");

}  // namespace Ombrix::Solvane::MetaModel
