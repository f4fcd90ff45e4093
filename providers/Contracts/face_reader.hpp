/// @file The data reader contract: one result set walked row by row, cells as primitives or values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/datetime.hpp"
#include "providers/Core/error.hpp"

namespace Ombrix::Providers::Contracts {

/// Walks the rows of one result set. Column indexes count from 0. The cell getters may be called
/// only while a row is current (after `read()` returned true). The defaults stand for what a vendor
/// need not supply: zero values, "" for the text kinds, the current time for timestamps, and
/// `get_value` built from the typed getters.
class OMBRIX_PROVIDERS_EXPORT IDataReader {
public:
    virtual ~IDataReader() = default;

    virtual std::int64_t bulk(std::int32_t size);
    /// Moves to the next row; false at the end.
    [[nodiscard]] virtual Core::Result<bool> read();
    /// Discards the remaining rows.
    virtual void close() {}
    virtual std::string get_name(std::uint16_t index) const;
    /// The vendor's name of the column type.
    virtual std::string get_dbms_type(std::uint16_t index) const;
    virtual DataType get_data_type(std::uint16_t index) const;
    /// The longest cell of the column in this result set, in bytes.
    virtual std::uint64_t get_size(std::uint16_t index) const;
    virtual bool is_null(std::uint16_t index) const;
    virtual bool get_boolean(std::uint16_t index) const;
    virtual std::int8_t get_int8(std::uint16_t index) const;
    virtual std::uint8_t get_uint8(std::uint16_t index) const;
    virtual std::int16_t get_int16(std::uint16_t index) const;
    virtual std::uint16_t get_uint16(std::uint16_t index) const;
    virtual std::int32_t get_int32(std::uint16_t index) const;
    virtual std::uint32_t get_uint32(std::uint16_t index) const;
    virtual std::int64_t get_int64(std::uint16_t index) const;
    virtual std::uint64_t get_uint64(std::uint16_t index) const;
    virtual double get_decimal(std::uint16_t index) const;
    virtual double get_money(std::uint16_t index) const;
    virtual float get_float(std::uint16_t index) const;
    virtual double get_double(std::uint16_t index) const;
    virtual Core::Date get_date(std::uint16_t index) const;
    virtual Core::DateTime get_time(std::uint16_t index) const;
    virtual Core::DateTime get_datetime(std::uint16_t index) const;
    virtual std::int64_t get_timespan(std::uint16_t index) const;
    virtual std::string get_string(std::uint16_t index) const;
    /// The cell read as UTF-16, as UTF-8 text.
    virtual std::string get_string16(std::uint16_t index) const;
    virtual std::string get_guid(std::uint16_t index) const;
    /// Exactly the cell's bytes.
    virtual Core::Bytes get_binary(std::uint16_t index) const;
    /// Default: the current local time.
    virtual Core::DateTime get_timestamp(std::uint16_t index) const;
    virtual std::string get_enum(std::uint16_t index) const;
    virtual std::string get_flag(std::uint16_t index) const;
    virtual std::string get_set(std::uint16_t index) const;
    virtual std::string get_xml(std::uint16_t index) const;
    virtual std::string get_json(std::uint16_t index) const;
    virtual std::string get_geometry(std::uint16_t index) const;
    virtual std::string get_geography(std::uint16_t index) const;
    /// Default: a new ValueNull.
    virtual ValuePtr get_variant(std::uint16_t index) const;
    /// Default: empty.
    virtual Core::Bytes get_object(std::uint16_t index) const;
    /// The cell as a value of the class that belongs to its data type; never null.
    [[nodiscard]] virtual Core::Result<ValuePtr> get_value(std::uint16_t index) const;
    /// `get_value` of every column in order; the first error ends it.
    [[nodiscard]] virtual Core::Result<std::vector<ValuePtr>> get_values() const;
    virtual std::int32_t get_field_count() const { return 0; }
    virtual bool get_is_closed() const { return false; }
};

}  // namespace Ombrix::Providers::Contracts
