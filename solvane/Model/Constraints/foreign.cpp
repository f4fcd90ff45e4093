#include "solvane/Model/Constraints/foreign.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaForeignKey

std::shared_ptr<MetaForeignKey> MetaForeignKey::create() {
    return std::shared_ptr<MetaForeignKey>(new MetaForeignKey());
}

std::shared_ptr<MetaForeignKey> MetaForeignKey::with_names(std::string_view name, std::string_view refer_schema,
                                                           std::string_view refer_table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(refer_schema, nullptr);
    // This check's critical has always read "refere_table != NULL"; log matching relies on the wording.
    if (refer_table.data() == nullptr) [[unlikely]] {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "refere_table != NULL");
        return nullptr;
    }
    auto key = create();
    key->set_name(name);
    key->set_refer_schema(refer_schema);
    key->set_refer_table(refer_table);
    return key;
}

const Core::TypeInfo& MetaForeignKey::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaForeignKey, MetaConstraint>("OmbrixSolvaneMetaModelMetaForeignKey")
            .property("refer-database", &MetaForeignKey::get_refer_database, &MetaForeignKey::set_refer_database, "")
            .property("refer-schema", &MetaForeignKey::get_refer_schema, &MetaForeignKey::set_refer_schema, "")
            .property("refer-table", &MetaForeignKey::get_refer_table, &MetaForeignKey::set_refer_table, "")
            .property("local-columns", &MetaForeignKey::get_local_columns, &MetaForeignKey::set_local_columns, "")
            .property("refer-columns", &MetaForeignKey::get_refer_columns, &MetaForeignKey::set_refer_columns, "")
            .property("match-method", &MetaForeignKey::get_match_method, &MetaForeignKey::set_match_method, "")
            .property("delete-action", &MetaForeignKey::get_delete_action, &MetaForeignKey::set_delete_action, "")
            .property("update-action", &MetaForeignKey::get_update_action, &MetaForeignKey::set_update_action, "")
            .property("deferrable", &MetaForeignKey::get_deferrable, &MetaForeignKey::set_deferrable, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaForeignKey);

void MetaForeignKey::set_refer_database(std::string_view value) { set_text(m_refer_database, value, "refer-database"); }
void MetaForeignKey::set_refer_schema(std::string_view value) { set_text(m_refer_schema, value, "refer-schema"); }
void MetaForeignKey::set_refer_table(std::string_view value) { set_text(m_refer_table, value, "refer-table"); }
void MetaForeignKey::set_local_columns(std::string_view value) { set_text(m_local_columns, value, "local-columns"); }
void MetaForeignKey::set_refer_columns(std::string_view value) { set_text(m_refer_columns, value, "refer-columns"); }
void MetaForeignKey::set_match_method(std::string_view value) { set_text(m_match_method, value, "match-method"); }
void MetaForeignKey::set_delete_action(std::string_view value) { set_text(m_delete_action, value, "delete-action"); }
void MetaForeignKey::set_update_action(std::string_view value) { set_text(m_update_action, value, "update-action"); }
void MetaForeignKey::set_deferrable(std::string_view value) { set_text(m_deferrable, value, "deferrable"); }

}  // namespace Ombrix::Solvane::MetaModel
