#include "solvane/Model/trigger.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaTrigger

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

OMBRIX_DEFINE_TYPE(MetaTrigger, "OmbrixSolvaneMetaModelMetaTrigger");

}  // namespace Ombrix::Solvane::MetaModel
