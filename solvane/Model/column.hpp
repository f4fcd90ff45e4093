/// @file A column of a table: its type, attributes, default and generation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// One column of a table, as the adapter reads it and the builder writes it.
class OMBRIX_SOLVANE_EXPORT MetaColumn final : public MetaObject {
public:
    static std::shared_ptr<MetaColumn> create();
    /// `name`, `data-type` and `raw-type` = `native_type` set.
    static std::shared_ptr<MetaColumn> with_type(std::string_view name, DataType data_type,
                                                 std::string_view native_type);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::COLUMN; }

    std::uint16_t get_ordinal() const { return m_ordinal; }
    /// Keeps the low 16 bits.
    void set_ordinal(std::uint32_t value);
    const std::string& get_alias() const { return m_alias; }
    void set_alias(std::string_view value);
    const std::string& get_after() const { return m_after; }
    void set_after(std::string_view value);
    const std::string& get_raw_type() const { return m_raw_type; }
    void set_raw_type(std::string_view value);
    DataType get_data_type() const { return m_data_type; }
    void set_data_type(DataType value);
    std::uint64_t get_length() const { return m_length; }
    void set_length(std::uint64_t value);
    std::uint8_t get_scale() const { return m_scale; }
    void set_scale(std::uint8_t value);
    std::uint8_t get_dimension() const { return m_dimension; }
    void set_dimension(std::uint8_t value);
    bool get_is_unsigned() const { return m_is_unsigned; }
    void set_is_unsigned(bool value);
    bool get_auto_increment() const { return m_auto_increment; }
    void set_auto_increment(bool value);
    std::uint64_t get_auto_increment_seed() const { return m_auto_increment_seed; }
    void set_auto_increment_seed(std::uint64_t value);
    const std::string& get_identity() const { return m_identity; }
    void set_identity(std::string_view value);
    const std::string& get_default_value() const { return m_default_value; }
    void set_default_value(std::string_view value);
    const std::string& get_virtual_type() const { return m_virtual_type; }
    void set_virtual_type(std::string_view value);
    const std::string& get_expression() const { return m_expression; }
    void set_expression(std::string_view value);
    bool get_not_null() const { return m_not_null; }
    void set_not_null(bool value);
    bool get_is_selected() const { return m_is_selected; }
    void set_is_selected(bool value);
    bool get_is_virtual() const { return m_is_virtual; }
    /// Whether the server computes the column (VIRTUAL or PERSISTENT): it takes no value of its own.
    bool is_generated() const { return m_is_virtual || m_is_generated_always || !m_expression.empty(); }
    void set_is_virtual(bool value);
    bool get_is_user_defined() const { return m_is_user_defined; }
    void set_is_user_defined(bool value);
    bool get_is_primary_key() const { return m_is_primary_key; }
    void set_is_primary_key(bool value);
    std::uint8_t get_primary_ordinal() const { return m_primary_ordinal; }
    void set_primary_ordinal(std::uint8_t value);
    std::uint64_t get_primary_length() const { return m_primary_length; }
    void set_primary_length(std::uint64_t value);
    const std::string& get_conflict() const { return m_conflict; }
    void set_conflict(std::string_view value);
    const std::string& get_charset() const { return m_charset; }
    void set_charset(std::string_view value);
    const std::string& get_collation() const { return m_collation; }
    void set_collation(std::string_view value);
    const std::string& get_enum_values() const { return m_enum_values; }
    void set_enum_values(std::string_view value);
    bool get_is_binary() const { return m_is_binary; }
    void set_is_binary(bool value);
    bool get_is_fill_zero() const { return m_is_fill_zero; }
    void set_is_fill_zero(bool value);
    bool get_update_timestamp() const { return m_update_timestamp; }
    void set_update_timestamp(bool value);
    bool get_is_generated_always() const { return m_is_generated_always; }
    void set_is_generated_always(bool value);

private:
    MetaColumn() = default;
    std::uint16_t m_ordinal = 0;
    std::string m_alias;
    std::string m_after;
    std::string m_raw_type;
    DataType m_data_type = DataType::UNKNOWN;
    std::uint64_t m_length = 0;
    std::uint8_t m_scale = 0;
    std::uint8_t m_dimension = 0;
    bool m_is_unsigned = false;
    bool m_auto_increment = false;
    std::uint64_t m_auto_increment_seed = 0;
    std::string m_identity;
    std::string m_default_value;
    std::string m_virtual_type;
    std::string m_expression;
    bool m_not_null = false;
    bool m_is_selected = false;
    bool m_is_virtual = false;
    bool m_is_user_defined = false;
    bool m_is_primary_key = false;
    std::uint8_t m_primary_ordinal = 0;
    std::uint64_t m_primary_length = 0;
    std::string m_conflict;
    std::string m_charset;
    std::string m_collation;
    std::string m_enum_values;
    bool m_is_binary = false;
    bool m_is_fill_zero = false;
    bool m_update_timestamp = false;
    bool m_is_generated_always = false;
};

using MetaColumnList = Core::ListModel<MetaColumn>;

}  // namespace Ombrix::Solvane::MetaModel
