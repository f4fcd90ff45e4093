#include "solvane/Model/event.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaEvent

std::shared_ptr<MetaEvent> MetaEvent::with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto object = create();
    object->set_names(database, schema, name);
    return object;
}

OMBRIX_DEFINE_TYPE(MetaEvent, "OmbrixSolvaneMetaModelMetaEvent");

}  // namespace Ombrix::Solvane::MetaModel
