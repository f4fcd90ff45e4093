#include "solvane/Model/Constraints/exclude.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaExclude

std::shared_ptr<MetaExclude> MetaExclude::create() { return std::shared_ptr<MetaExclude>(new MetaExclude()); }

std::shared_ptr<MetaExclude> MetaExclude::with_name(std::string_view name) {
    auto exclude = create();
    exclude->set_name(name);
    return exclude;
}

const Core::TypeInfo& MetaExclude::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaExclude, MetaConstraint>("OmbrixSolvaneMetaModelMetaExclude")
            .property("index-method", &MetaExclude::get_index_method, &MetaExclude::set_index_method, "")
            .property("table-space", &MetaExclude::get_table_space, &MetaExclude::set_table_space, "")
            .property("with", &MetaExclude::get_with, &MetaExclude::set_with, "")
            .property("include", &MetaExclude::get_include, &MetaExclude::set_include, "")
            .property("where", &MetaExclude::get_where, &MetaExclude::set_where, "")
            .property("deferrable", &MetaExclude::get_deferrable, &MetaExclude::set_deferrable, "")
            .property("elements", &MetaExclude::get_elements, &MetaExclude::set_elements, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaExclude);

void MetaExclude::set_index_method(std::string_view value) { set_text(m_index_method, value, "index-method"); }
void MetaExclude::set_table_space(std::string_view value) { set_text(m_table_space, value, "table-space"); }
void MetaExclude::set_with(std::string_view value) { set_text(m_with, value, "with"); }
void MetaExclude::set_include(std::string_view value) { set_text(m_include, value, "include"); }
void MetaExclude::set_where(std::string_view value) { set_text(m_where, value, "where"); }
void MetaExclude::set_deferrable(std::string_view value) { set_text(m_deferrable, value, "deferrable"); }
void MetaExclude::set_elements(std::string_view value) { set_text(m_elements, value, "elements"); }

}  // namespace Ombrix::Solvane::MetaModel
