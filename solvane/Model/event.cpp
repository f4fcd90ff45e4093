#include "solvane/Model/event.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaEvent

std::shared_ptr<MetaEvent> MetaEvent::create() { return std::shared_ptr<MetaEvent>(new MetaEvent()); }

std::shared_ptr<MetaEvent> MetaEvent::with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto object = create();
    object->set_names(database, schema, name);
    return object;
}

const Core::TypeInfo& MetaEvent::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaEvent, MetaObject>("OmbrixSolvaneMetaModelMetaEvent")
            .property("kind", &MetaEvent::get_kind, &MetaEvent::set_kind, "")
            .property("body", &MetaEvent::get_body, &MetaEvent::set_body, "")
            .property("definer", &MetaEvent::get_definer, &MetaEvent::set_definer, "")
            .property("state", &MetaEvent::get_state, &MetaEvent::set_state, "")
            .property("schedule", &MetaEvent::get_schedule, &MetaEvent::set_schedule, "")
            .property("completion", &MetaEvent::get_completion, &MetaEvent::set_completion, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaEvent);

void MetaEvent::set_kind(std::string_view value) { set_text(m_kind, value, "kind"); }
void MetaEvent::set_body(std::string_view value) { set_text(m_body, value, "body"); }
void MetaEvent::set_definer(std::string_view value) { set_text(m_definer, value, "definer"); }
void MetaEvent::set_state(std::string_view value) { set_text(m_state, value, "state"); }
void MetaEvent::set_schedule(std::string_view value) { set_text(m_schedule, value, "schedule"); }
void MetaEvent::set_completion(std::string_view value) { set_text(m_completion, value, "completion"); }

}  // namespace Ombrix::Solvane::MetaModel
