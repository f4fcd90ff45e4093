#include "solvane/Model/index.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaIndex

std::shared_ptr<MetaIndex> MetaIndex::create() { return std::shared_ptr<MetaIndex>(new MetaIndex()); }

std::shared_ptr<MetaIndex> MetaIndex::with_names(std::string_view database, std::string_view schema,
                                                 std::string_view entity, std::string_view name) {
    auto index = create();
    index->set_names(database, schema, name);
    index->set_entity(entity);
    return index;
}

const Core::TypeInfo& MetaIndex::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaIndex, MetaObject>("OmbrixSolvaneMetaModelMetaIndex")
            .property("entity", &MetaIndex::get_entity, &MetaIndex::set_entity, "")
            .property("class", &MetaIndex::get_class, &MetaIndex::set_class, "")
            .property("method", &MetaIndex::get_method, &MetaIndex::set_method, "")
            .property("parser", &MetaIndex::get_parser, &MetaIndex::set_parser, "")
            .property("algorithm", &MetaIndex::get_algorithm, &MetaIndex::set_algorithm, "")
            .property("lock", &MetaIndex::get_lock, &MetaIndex::set_lock, "")
            .property("where", &MetaIndex::get_where, &MetaIndex::set_where, "")
            .property("table-space", &MetaIndex::get_table_space, &MetaIndex::set_table_space, "")
            .property("with", &MetaIndex::get_with, &MetaIndex::set_with, "")
            .property("include", &MetaIndex::get_include, &MetaIndex::set_include, "")
            .property("kind", &MetaIndex::get_kind, &MetaIndex::set_kind, "")
            .property("is-concurrent", &MetaIndex::get_is_concurrent, &MetaIndex::set_is_concurrent, false)
            .property("is-only", &MetaIndex::get_is_only, &MetaIndex::set_is_only, false)
            .property("is-visible", &MetaIndex::get_is_visible, &MetaIndex::set_is_visible, false)
            .property("is-clustered", &MetaIndex::get_is_clustered, &MetaIndex::set_is_clustered, false)
            .property("key-block-size", &MetaIndex::get_key_block_size, &MetaIndex::set_key_block_size, 0)
            .property("columns", &MetaIndex::get_columns, &MetaIndex::set_columns, Core::StringList{})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaIndex);

void MetaIndex::append(std::string_view column) {
    OMBRIX_RETURN_IF_NULL_VIEW(column);
    m_columns.emplace_back(column);
    notify("columns");
}

void MetaIndex::set_entity(std::string_view value) { set_text(m_entity, value, "entity"); }
void MetaIndex::set_class(std::string_view value) { set_text(m_class, value, "class"); }
void MetaIndex::set_method(std::string_view value) { set_text(m_method, value, "method"); }
void MetaIndex::set_parser(std::string_view value) { set_text(m_parser, value, "parser"); }
void MetaIndex::set_algorithm(std::string_view value) { set_text(m_algorithm, value, "algorithm"); }
void MetaIndex::set_lock(std::string_view value) { set_text(m_lock, value, "lock"); }
void MetaIndex::set_where(std::string_view value) { set_text(m_where, value, "where"); }
void MetaIndex::set_table_space(std::string_view value) { set_text(m_table_space, value, "table-space"); }
void MetaIndex::set_with(std::string_view value) { set_text(m_with, value, "with"); }
void MetaIndex::set_include(std::string_view value) { set_text(m_include, value, "include"); }
void MetaIndex::set_kind(std::string_view value) { set_text(m_kind, value, "kind"); }
void MetaIndex::set_is_concurrent(bool value) { set_and_notify(m_is_concurrent, value, "is-concurrent"); }
void MetaIndex::set_is_only(bool value) { set_and_notify(m_is_only, value, "is-only"); }
void MetaIndex::set_is_visible(bool value) { set_and_notify(m_is_visible, value, "is-visible"); }
void MetaIndex::set_is_clustered(bool value) { set_and_notify(m_is_clustered, value, "is-clustered"); }
void MetaIndex::set_key_block_size(std::uint64_t value) { set_and_notify(m_key_block_size, value, "key-block-size"); }
void MetaIndex::set_columns(Core::StringList value) { set_and_notify(m_columns, std::move(value), "columns"); }

}  // namespace Ombrix::Solvane::MetaModel
