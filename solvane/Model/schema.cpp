#include "solvane/Model/schema.hpp"

namespace Ombrix::Solvane::MetaModel {

namespace {

template <class List>
std::shared_ptr<List> or_empty(std::shared_ptr<List> list) {
    return list ? std::move(list) : List::create();
}

}  // namespace

MetaSchema::MetaSchema()
    : m_events(MetaEventList::create()),
      m_functions(MetaFunctionList::create()),
      m_procedures(MetaFunctionList::create()),
      m_tables(MetaTableList::create()),
      m_miews(MaterializedList::create()),
      m_views(MetaViewList::create()),
      m_sequences(MetaTableList::create()) {}

std::shared_ptr<MetaSchema> MetaSchema::with_names(std::string_view database, std::string_view schema) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    auto object = create();
    object->set_names(database, schema, schema);
    return object;
}

OMBRIX_DEFINE_TYPE(MetaSchema, "OmbrixSolvaneMetaModelMetaSchema");

std::shared_ptr<MetaObject> MetaSchema::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaSchema>(MetaObject::clone());
    if (!copy) return nullptr;
    copy->set_tables(clone_list(m_tables));
    copy->set_views(clone_list(m_views));
    copy->set_events(clone_list(m_events));
    copy->set_functions(clone_list(m_functions));
    copy->set_procedures(clone_list(m_procedures));
    copy->set_miews(clone_list(m_miews));
    copy->set_sequences(clone_list(m_sequences));
    return copy;
}

void MetaSchema::reset() {
    m_events->clear();
    m_functions->clear();
    m_tables->clear();
    m_views->clear();
    m_sequences->clear();
    MetaObject::reset();
}

void MetaSchema::set_events(std::shared_ptr<MetaEventList> value) {
    set_and_notify(m_events, or_empty(std::move(value)), ombrix_name_events);
}
void MetaSchema::set_functions(std::shared_ptr<MetaFunctionList> value) {
    set_and_notify(m_functions, or_empty(std::move(value)), ombrix_name_functions);
}
void MetaSchema::set_procedures(std::shared_ptr<MetaFunctionList> value) {
    set_and_notify(m_procedures, or_empty(std::move(value)), ombrix_name_procedures);
}
void MetaSchema::set_tables(std::shared_ptr<MetaTableList> value) {
    set_and_notify(m_tables, or_empty(std::move(value)), ombrix_name_tables);
}
void MetaSchema::set_miews(std::shared_ptr<MaterializedList> value) {
    set_and_notify(m_miews, or_empty(std::move(value)), ombrix_name_miews);
}
void MetaSchema::set_views(std::shared_ptr<MetaViewList> value) {
    set_and_notify(m_views, or_empty(std::move(value)), ombrix_name_views);
}
void MetaSchema::set_sequences(std::shared_ptr<MetaTableList> value) {
    set_and_notify(m_sequences, or_empty(std::move(value)), ombrix_name_sequences);
}

}  // namespace Ombrix::Solvane::MetaModel
