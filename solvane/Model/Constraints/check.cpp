#include "solvane/Model/Constraints/check.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaCheck

std::shared_ptr<MetaCheck> MetaCheck::create() { return std::shared_ptr<MetaCheck>(new MetaCheck()); }

std::shared_ptr<MetaCheck> MetaCheck::with_name(std::string_view name, std::string_view expr) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(expr, nullptr);
    auto check = create();
    check->set_name(name);
    check->set_check(expr);
    return check;
}

const Core::TypeInfo& MetaCheck::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaCheck, MetaConstraint>("OmbrixSolvaneMetaModelMetaCheck")
            .property("enforced", &MetaCheck::get_enforced, &MetaCheck::set_enforced, false)
            .property("no-inherit", &MetaCheck::get_no_inherit, &MetaCheck::set_no_inherit, true)
            .property("check", &MetaCheck::get_check, &MetaCheck::set_check, "")
            .property("deferrable", &MetaCheck::get_deferrable, &MetaCheck::set_deferrable, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaCheck);

void MetaCheck::set_enforced(bool value) { set_and_notify(m_enforced, value, "enforced"); }
void MetaCheck::set_no_inherit(bool value) { set_and_notify(m_no_inherit, value, "no-inherit"); }
void MetaCheck::set_check(std::string_view value) { set_text(m_check, value, "check"); }
void MetaCheck::set_deferrable(std::string_view value) { set_text(m_deferrable, value, "deferrable"); }

}  // namespace Ombrix::Solvane::MetaModel
