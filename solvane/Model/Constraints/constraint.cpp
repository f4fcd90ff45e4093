#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaConstraint

std::shared_ptr<MetaConstraint> MetaConstraint::create() {
    return std::shared_ptr<MetaConstraint>(new MetaConstraint());
}

std::shared_ptr<MetaConstraint> MetaConstraint::with_names(std::string_view name) {
    auto constraint = create();
    constraint->set_name(name);
    return constraint;
}

const Core::TypeInfo& MetaConstraint::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaConstraint, MetaObject>("OmbrixSolvaneMetaModelMetaConstraint").build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaConstraint);

}  // namespace Ombrix::Solvane::MetaModel
