#include "solvane/Model/synonym.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaSynonym

std::shared_ptr<MetaSynonym> MetaSynonym::with_names(std::string_view _schema, std::string_view _name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(_schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(_name, nullptr);
    auto synonym = create();
    synonym->set_schema(_schema);
    synonym->set_name(_name);
    return synonym;
}

OMBRIX_DEFINE_TYPE(MetaSynonym, "OmbrixSolvaneMetaModelMetaSynonym");

}  // namespace Ombrix::Solvane::MetaModel
