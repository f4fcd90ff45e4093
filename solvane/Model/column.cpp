#include "solvane/Model/column.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaColumn

std::shared_ptr<MetaColumn> MetaColumn::create() { return std::shared_ptr<MetaColumn>(new MetaColumn()); }

std::shared_ptr<MetaColumn> MetaColumn::with_type(std::string_view name, DataType data_type,
                                                  std::string_view native_type) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(native_type, nullptr);
    auto column = create();
    column->set_name(name);
    column->set_data_type(data_type);
    column->set_raw_type(native_type);
    return column;
}

const Core::TypeInfo& MetaColumn::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaColumn, MetaObject>("OmbrixSolvaneMetaModelMetaColumn")
            .property<std::uint32_t>("ordinal", &MetaColumn::get_ordinal, &MetaColumn::set_ordinal, 0)
            .property("alias", &MetaColumn::get_alias, &MetaColumn::set_alias, "")
            .property("after", &MetaColumn::get_after, &MetaColumn::set_after, "")
            .property("raw-type", &MetaColumn::get_raw_type, &MetaColumn::set_raw_type, "")
            .property("data-type", &MetaColumn::get_data_type, &MetaColumn::set_data_type, DataType::UNKNOWN)
            .property("length", &MetaColumn::get_length, &MetaColumn::set_length, 0)
            .property("scale", &MetaColumn::get_scale, &MetaColumn::set_scale, 0)
            .property("dimension", &MetaColumn::get_dimension, &MetaColumn::set_dimension, 0)
            .property("is-unsigned", &MetaColumn::get_is_unsigned, &MetaColumn::set_is_unsigned, false)
            .property("auto-increment", &MetaColumn::get_auto_increment, &MetaColumn::set_auto_increment, false)
            .property("auto-increment-seed", &MetaColumn::get_auto_increment_seed, &MetaColumn::set_auto_increment_seed,
                      0)
            .property("identity", &MetaColumn::get_identity, &MetaColumn::set_identity, "")
            .property("default-value", &MetaColumn::get_default_value, &MetaColumn::set_default_value, "")
            .property("virtual-type", &MetaColumn::get_virtual_type, &MetaColumn::set_virtual_type, "")
            .property("expression", &MetaColumn::get_expression, &MetaColumn::set_expression, "")
            .property("not-null", &MetaColumn::get_not_null, &MetaColumn::set_not_null, false)
            .property("is-selected", &MetaColumn::get_is_selected, &MetaColumn::set_is_selected, false)
            .property("is-virtual", &MetaColumn::get_is_virtual, &MetaColumn::set_is_virtual, false)
            .property("is-user-defined", &MetaColumn::get_is_user_defined, &MetaColumn::set_is_user_defined, false)
            .property("is-primary-key", &MetaColumn::get_is_primary_key, &MetaColumn::set_is_primary_key, false)
            .property("primary-ordinal", &MetaColumn::get_primary_ordinal, &MetaColumn::set_primary_ordinal, 0)
            .property("primary-length", &MetaColumn::get_primary_length, &MetaColumn::set_primary_length, 0)
            .property("conflict", &MetaColumn::get_conflict, &MetaColumn::set_conflict, "")
            .property("charset", &MetaColumn::get_charset, &MetaColumn::set_charset, "")
            .property("collation", &MetaColumn::get_collation, &MetaColumn::set_collation, "")
            .property("enum-values", &MetaColumn::get_enum_values, &MetaColumn::set_enum_values, "")
            .property("is-binary", &MetaColumn::get_is_binary, &MetaColumn::set_is_binary, false)
            .property("is-fill-zero", &MetaColumn::get_is_fill_zero, &MetaColumn::set_is_fill_zero, false)
            .property("update-timestamp", &MetaColumn::get_update_timestamp, &MetaColumn::set_update_timestamp, false)
            .property("is-generated-always", &MetaColumn::get_is_generated_always, &MetaColumn::set_is_generated_always,
                      false)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaColumn);

void MetaColumn::set_ordinal(std::uint32_t value) {
    set_and_notify(m_ordinal, static_cast<std::uint16_t>(value), "ordinal");
}
void MetaColumn::set_alias(std::string_view value) { set_text(m_alias, value, "alias"); }
void MetaColumn::set_after(std::string_view value) { set_text(m_after, value, "after"); }
void MetaColumn::set_raw_type(std::string_view value) { set_text(m_raw_type, value, "raw-type"); }
void MetaColumn::set_data_type(DataType value) { set_and_notify(m_data_type, value, "data-type"); }
void MetaColumn::set_length(std::uint64_t value) { set_and_notify(m_length, value, "length"); }
void MetaColumn::set_scale(std::uint8_t value) { set_and_notify(m_scale, value, "scale"); }
void MetaColumn::set_dimension(std::uint8_t value) { set_and_notify(m_dimension, value, "dimension"); }
void MetaColumn::set_is_unsigned(bool value) { set_and_notify(m_is_unsigned, value, "is-unsigned"); }
void MetaColumn::set_auto_increment(bool value) { set_and_notify(m_auto_increment, value, "auto-increment"); }
void MetaColumn::set_auto_increment_seed(std::uint64_t value) {
    set_and_notify(m_auto_increment_seed, value, "auto-increment-seed");
}
void MetaColumn::set_identity(std::string_view value) { set_text(m_identity, value, "identity"); }
void MetaColumn::set_default_value(std::string_view value) { set_text(m_default_value, value, "default-value"); }
void MetaColumn::set_virtual_type(std::string_view value) { set_text(m_virtual_type, value, "virtual-type"); }
void MetaColumn::set_expression(std::string_view value) { set_text(m_expression, value, "expression"); }
void MetaColumn::set_not_null(bool value) { set_and_notify(m_not_null, value, "not-null"); }
void MetaColumn::set_is_selected(bool value) { set_and_notify(m_is_selected, value, "is-selected"); }
void MetaColumn::set_is_virtual(bool value) { set_and_notify(m_is_virtual, value, "is-virtual"); }
void MetaColumn::set_is_user_defined(bool value) { set_and_notify(m_is_user_defined, value, "is-user-defined"); }
void MetaColumn::set_is_primary_key(bool value) { set_and_notify(m_is_primary_key, value, "is-primary-key"); }
void MetaColumn::set_primary_ordinal(std::uint8_t value) {
    set_and_notify(m_primary_ordinal, value, "primary-ordinal");
}
void MetaColumn::set_primary_length(std::uint64_t value) { set_and_notify(m_primary_length, value, "primary-length"); }
void MetaColumn::set_conflict(std::string_view value) { set_text(m_conflict, value, "conflict"); }
void MetaColumn::set_charset(std::string_view value) { set_text(m_charset, value, "charset"); }
void MetaColumn::set_collation(std::string_view value) { set_text(m_collation, value, "collation"); }
void MetaColumn::set_enum_values(std::string_view value) { set_text(m_enum_values, value, "enum-values"); }
void MetaColumn::set_is_binary(bool value) { set_and_notify(m_is_binary, value, "is-binary"); }
void MetaColumn::set_is_fill_zero(bool value) { set_and_notify(m_is_fill_zero, value, "is-fill-zero"); }
void MetaColumn::set_update_timestamp(bool value) { set_and_notify(m_update_timestamp, value, "update-timestamp"); }
void MetaColumn::set_is_generated_always(bool value) {
    set_and_notify(m_is_generated_always, value, "is-generated-always");
}

}  // namespace Ombrix::Solvane::MetaModel
