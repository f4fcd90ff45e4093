#include "solvane/Model/trigger.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaTrigger

std::shared_ptr<MetaTrigger> MetaTrigger::create() { return std::shared_ptr<MetaTrigger>(new MetaTrigger()); }

std::shared_ptr<MetaTrigger> MetaTrigger::with_names(std::string_view database, std::string_view schema,
                                                     std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto object = create();
    object->set_names(database, schema, name);
    return object;
}

std::shared_ptr<MetaTrigger> MetaTrigger::with_body(std::string_view name, std::string_view body) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(body, nullptr);
    auto trigger = create();
    trigger->set_name(name);
    trigger->set_body(body);
    return trigger;
}

const Core::TypeInfo& MetaTrigger::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaTrigger, MetaObject>("OmbrixSolvaneMetaModelMetaTrigger")
            .property("kind", &MetaTrigger::get_kind, &MetaTrigger::set_kind, "")
            .property("target", &MetaTrigger::get_target, &MetaTrigger::set_target, "")
            .property("body", &MetaTrigger::get_body, &MetaTrigger::set_body, "")
            .property("definer", &MetaTrigger::get_definer, &MetaTrigger::set_definer, "")
            .property("timing", &MetaTrigger::get_timing, &MetaTrigger::set_timing, "")
            .property("event", &MetaTrigger::get_event, &MetaTrigger::set_event, "")
            .property("when", &MetaTrigger::get_when, &MetaTrigger::set_when, "")
            .property("order", &MetaTrigger::get_order, &MetaTrigger::set_order, "")
            .property("trigger", &MetaTrigger::get_trigger, &MetaTrigger::set_trigger, "")
            .property("columns", &MetaTrigger::get_columns, &MetaTrigger::set_columns, "")
            .property("deferrable", &MetaTrigger::get_deferrable, &MetaTrigger::set_deferrable, "")
            .property("deferred", &MetaTrigger::get_deferred, &MetaTrigger::set_deferred, "")
            .property("function", &MetaTrigger::get_function, &MetaTrigger::set_function, "")
            .property("arguments", &MetaTrigger::get_arguments, &MetaTrigger::set_arguments, "")
            .property("for-each", &MetaTrigger::get_for_each, &MetaTrigger::set_for_each, "ROW")
            .property("refer-table", &MetaTrigger::get_refer_table, &MetaTrigger::set_refer_table, "")
            .property("constraint", &MetaTrigger::get_constraint, &MetaTrigger::set_constraint, false)
            .property("apply", &MetaTrigger::get_apply, &MetaTrigger::set_apply, "")
            .property("enable", &MetaTrigger::get_enable, &MetaTrigger::set_enable, false)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaTrigger);

void MetaTrigger::set_kind(std::string_view value) { set_text(m_kind, value, "kind"); }
void MetaTrigger::set_target(std::string_view value) { set_text(m_target, value, "target"); }
void MetaTrigger::set_body(std::string_view value) { set_text(m_body, value, "body"); }
void MetaTrigger::set_definer(std::string_view value) { set_text(m_definer, value, "definer"); }
void MetaTrigger::set_timing(std::string_view value) { set_text(m_timing, value, "timing"); }
void MetaTrigger::set_event(std::string_view value) { set_text(m_event, value, "event"); }
void MetaTrigger::set_when(std::string_view value) { set_text(m_when, value, "when"); }
void MetaTrigger::set_order(std::string_view value) { set_text(m_order, value, "order"); }
void MetaTrigger::set_trigger(std::string_view value) { set_text(m_trigger, value, "trigger"); }
void MetaTrigger::set_columns(std::string_view value) { set_text(m_columns, value, "columns"); }
void MetaTrigger::set_deferrable(std::string_view value) { set_text(m_deferrable, value, "deferrable"); }
void MetaTrigger::set_deferred(std::string_view value) { set_text(m_deferred, value, "deferred"); }
void MetaTrigger::set_function(std::string_view value) { set_text(m_function, value, "function"); }
void MetaTrigger::set_arguments(std::string_view value) { set_text(m_arguments, value, "arguments"); }
void MetaTrigger::set_for_each(std::string_view value) { set_text(m_for_each, value, "for-each"); }
void MetaTrigger::set_refer_table(std::string_view value) { set_text(m_refer_table, value, "refer-table"); }
void MetaTrigger::set_constraint(bool value) { set_and_notify(m_constraint, value, "constraint"); }
void MetaTrigger::set_apply(std::string_view value) { set_text(m_apply, value, "apply"); }
void MetaTrigger::set_enable(bool value) { set_and_notify(m_enable, value, "enable"); }

}  // namespace Ombrix::Solvane::MetaModel
