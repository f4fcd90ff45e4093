#include "solvane/Model/rule.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaRule

std::shared_ptr<MetaRule> MetaRule::create() { return std::shared_ptr<MetaRule>(new MetaRule()); }

std::shared_ptr<MetaRule> MetaRule::with_name(std::string_view name) {
    auto rule = create();
    rule->set_name(name);
    return rule;
}

const Core::TypeInfo& MetaRule::static_type() {
    static const Core::TypeInfo& info = Core::TypeInfo::define<MetaRule, MetaObject>("OmbrixSolvaneMetaModelMetaRule")
                                            .property("commands", &MetaRule::get_commands, &MetaRule::set_commands, "")
                                            .property("action", &MetaRule::get_action, &MetaRule::set_action, "")
                                            .property("event", &MetaRule::get_event, &MetaRule::set_event, "")
                                            .property("where", &MetaRule::get_where, &MetaRule::set_where, "")
                                            .property("apply", &MetaRule::get_apply, &MetaRule::set_apply, "")
                                            .property("enable", &MetaRule::get_enable, &MetaRule::set_enable, false)
                                            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaRule);

void MetaRule::set_commands(std::string_view value) { set_text(m_commands, value, "commands"); }
void MetaRule::set_action(std::string_view value) { set_text(m_action, value, "action"); }
void MetaRule::set_event(std::string_view value) { set_text(m_event, value, "event"); }
void MetaRule::set_where(std::string_view value) { set_text(m_where, value, "where"); }
void MetaRule::set_apply(std::string_view value) { set_text(m_apply, value, "apply"); }
void MetaRule::set_enable(bool value) { set_and_notify(m_enable, value, "enable"); }

}  // namespace Ombrix::Solvane::MetaModel
