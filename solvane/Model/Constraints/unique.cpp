#include "solvane/Model/Constraints/unique.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaUnique

std::shared_ptr<MetaUnique> MetaUnique::create() { return std::shared_ptr<MetaUnique>(new MetaUnique()); }

std::shared_ptr<MetaUnique> MetaUnique::with_name(std::string_view name) {
    auto key = create();
    key->set_name(name);
    return key;
}

const Core::TypeInfo& MetaUnique::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaUnique, MetaConstraint>("OmbrixSolvaneMetaModelMetaUnique")
            .property("columns", &MetaUnique::get_columns, &MetaUnique::set_columns, "")
            .property("conflict", &MetaUnique::get_conflict, &MetaUnique::set_conflict, "")
            .property("is-primary-key", &MetaUnique::get_is_primary_key, &MetaUnique::set_is_primary_key, false)
            .property("table-space", &MetaUnique::get_table_space, &MetaUnique::set_table_space, "")
            .property("with", &MetaUnique::get_with, &MetaUnique::set_with, "")
            .property("include", &MetaUnique::get_include, &MetaUnique::set_include, "")
            .property("deferrable", &MetaUnique::get_deferrable, &MetaUnique::set_deferrable, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaUnique);

void MetaUnique::set_columns(std::string_view value) { set_text(m_columns, value, "columns"); }
void MetaUnique::set_conflict(std::string_view value) { set_text(m_conflict, value, "conflict"); }
void MetaUnique::set_is_primary_key(bool value) { set_and_notify(m_is_primary_key, value, "is-primary-key"); }
void MetaUnique::set_table_space(std::string_view value) { set_text(m_table_space, value, "table-space"); }
void MetaUnique::set_with(std::string_view value) { set_text(m_with, value, "with"); }
void MetaUnique::set_include(std::string_view value) { set_text(m_include, value, "include"); }
void MetaUnique::set_deferrable(std::string_view value) { set_text(m_deferrable, value, "deferrable"); }

}  // namespace Ombrix::Solvane::MetaModel
