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
    OMBRIX_CREATABLE_OBJECT(MetaColumn, MetaObject);

    /// `name`, `data-type` and `raw-type` = `native_type` set.
    static std::shared_ptr<MetaColumn> with_type(std::string_view name, DataType data_type,
                                                 std::string_view native_type);

    DBObject character() const override { return DBObject::COLUMN; }

    /// Whether the server computes the column (VIRTUAL or PERSISTENT): it takes no value of its own.
    bool is_generated() const { return m_is_virtual || m_is_generated_always || !m_expression.empty(); }

    /// Kept in 16 bits.
    OMBRIX_PROPERTY_VIA(std::uint32_t, ordinal, 0, Core::ReadWrite);
    std::uint16_t get_ordinal() const { return m_ordinal; }
    void set_ordinal(std::uint32_t value);
    OMBRIX_PROPERTY(std::string, alias, "");
    OMBRIX_PROPERTY(std::string, after, "");
    OMBRIX_PROPERTY(std::string, raw_type, "");
    OMBRIX_PROPERTY(DataType, data_type, DataType::UNKNOWN);
    OMBRIX_PROPERTY(std::uint64_t, length, 0);
    OMBRIX_PROPERTY(std::uint8_t, scale, 0);
    OMBRIX_PROPERTY(std::uint8_t, dimension, 0);
    OMBRIX_PROPERTY(bool, is_unsigned, false);
    OMBRIX_PROPERTY(bool, auto_increment, false);
    OMBRIX_PROPERTY(std::uint64_t, auto_increment_seed, 0);
    OMBRIX_PROPERTY(std::string, identity, "");
    OMBRIX_PROPERTY(std::string, default_value, "");
    OMBRIX_PROPERTY(std::string, virtual_type, "");
    OMBRIX_PROPERTY(std::string, expression, "");
    OMBRIX_PROPERTY(bool, not_null, false);
    OMBRIX_PROPERTY(bool, is_selected, false);
    OMBRIX_PROPERTY(bool, is_virtual, false);
    OMBRIX_PROPERTY(bool, is_user_defined, false);
    OMBRIX_PROPERTY(bool, is_primary_key, false);
    OMBRIX_PROPERTY(std::uint8_t, primary_ordinal, 0);
    OMBRIX_PROPERTY(std::uint64_t, primary_length, 0);
    OMBRIX_PROPERTY(std::string, conflict, "");
    OMBRIX_PROPERTY(std::string, charset, "");
    OMBRIX_PROPERTY(std::string, collation, "");
    OMBRIX_PROPERTY(std::string, enum_values, "");
    OMBRIX_PROPERTY(bool, is_binary, false);
    OMBRIX_PROPERTY(bool, is_fill_zero, false);
    OMBRIX_PROPERTY(bool, update_timestamp, false);
    OMBRIX_PROPERTY(bool, is_generated_always, false);

private:
    MetaColumn() = default;
    std::uint16_t m_ordinal = 0;
};

using MetaColumnList = Core::ListModel<MetaColumn>;

}  // namespace Ombrix::Solvane::MetaModel
