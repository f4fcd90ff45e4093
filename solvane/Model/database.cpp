#include "solvane/Model/database.hpp"

namespace Ombrix::Solvane::MetaModel {

MetaDatabase::MetaDatabase() : m_schemas(MetaSchemaList::create()) {}

std::shared_ptr<MetaDatabase> MetaDatabase::with_name(std::string_view database) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    auto object = create();
    object->set_names(database, database, database);
    return object;
}

OMBRIX_DEFINE_TYPE(MetaDatabase, "OmbrixSolvaneMetaModelMetaDatabase");

std::shared_ptr<MetaObject> MetaDatabase::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaDatabase>(MetaObject::clone());
    if (!copy) return nullptr;
    // The base step left the copy pointing at this database's list; appending there would change the source.
    copy->set_schemas(clone_list(m_schemas));
    return copy;
}

void MetaDatabase::reset() {
    m_schemas->clear();
    MetaObject::reset();
}

std::shared_ptr<MetaSchema> MetaDatabase::append(std::string_view schema_name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema_name, nullptr);
    for (const auto& schema : *m_schemas)
        if (schema && schema->get_name() == schema_name) return schema;
    auto schema = MetaSchema::with_names(get_name(), schema_name);
    m_schemas->append(schema);
    return schema;
}

void MetaDatabase::set_schemas(std::shared_ptr<MetaSchemaList> value) {
    set_and_notify(m_schemas, value ? std::move(value) : MetaSchemaList::create(), ombrix_name_schemas);
}

}  // namespace Ombrix::Solvane::MetaModel
