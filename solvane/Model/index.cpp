#include "solvane/Model/index.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaIndex

std::shared_ptr<MetaIndex> MetaIndex::with_names(std::string_view database, std::string_view schema,
                                                 std::string_view entity, std::string_view name) {
    auto index = create();
    index->set_names(database, schema, name);
    index->set_entity(entity);
    return index;
}

OMBRIX_DEFINE_TYPE(MetaIndex, "OmbrixSolvaneMetaModelMetaIndex");

void MetaIndex::append(std::string_view column) {
    OMBRIX_RETURN_IF_NULL_VIEW(column);
    m_columns.emplace_back(column);
    notify(ombrix_name_columns);
}

}  // namespace Ombrix::Solvane::MetaModel
