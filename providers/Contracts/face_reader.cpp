#include "providers/Contracts/face_reader.hpp"

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_enum.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"

namespace Ombrix::Providers::Contracts {

std::int64_t IDataReader::bulk(std::int32_t) { return 0; }
Core::Result<bool> IDataReader::read() { return false; }
std::string IDataReader::get_name(std::uint16_t) const { return {}; }
std::string IDataReader::get_dbms_type(std::uint16_t) const { return {}; }
DataType IDataReader::get_data_type(std::uint16_t) const { return DataType::UNKNOWN; }
std::uint64_t IDataReader::get_size(std::uint16_t) const { return 0; }
bool IDataReader::is_null(std::uint16_t) const { return false; }
bool IDataReader::get_boolean(std::uint16_t) const { return false; }
std::int8_t IDataReader::get_int8(std::uint16_t) const { return 0; }
std::uint8_t IDataReader::get_uint8(std::uint16_t) const { return 0; }
std::int16_t IDataReader::get_int16(std::uint16_t) const { return 0; }
std::uint16_t IDataReader::get_uint16(std::uint16_t) const { return 0; }
std::int32_t IDataReader::get_int32(std::uint16_t) const { return 0; }
std::uint32_t IDataReader::get_uint32(std::uint16_t) const { return 0; }
std::int64_t IDataReader::get_int64(std::uint16_t) const { return 0; }
std::uint64_t IDataReader::get_uint64(std::uint16_t) const { return 0; }
double IDataReader::get_decimal(std::uint16_t) const { return 0; }
double IDataReader::get_money(std::uint16_t) const { return 0; }
float IDataReader::get_float(std::uint16_t) const { return 0; }
double IDataReader::get_double(std::uint16_t) const { return 0; }
Core::Date IDataReader::get_date(std::uint16_t) const { return {}; }
Core::DateTime IDataReader::get_time(std::uint16_t) const { return {}; }
Core::DateTime IDataReader::get_datetime(std::uint16_t) const { return {}; }
std::int64_t IDataReader::get_timespan(std::uint16_t) const { return 0; }
std::string IDataReader::get_string(std::uint16_t) const { return {}; }
std::string IDataReader::get_string16(std::uint16_t) const { return {}; }
std::string IDataReader::get_guid(std::uint16_t) const { return {}; }
Core::Bytes IDataReader::get_binary(std::uint16_t) const { return {}; }
Core::DateTime IDataReader::get_timestamp(std::uint16_t) const { return Core::DateTime::now_local(); }
std::string IDataReader::get_enum(std::uint16_t) const { return {}; }
std::string IDataReader::get_flag(std::uint16_t) const { return {}; }
std::string IDataReader::get_set(std::uint16_t) const { return {}; }
std::string IDataReader::get_xml(std::uint16_t) const { return {}; }
std::string IDataReader::get_json(std::uint16_t) const { return {}; }
std::string IDataReader::get_geometry(std::uint16_t) const { return {}; }
std::string IDataReader::get_geography(std::uint16_t) const { return {}; }
ValuePtr IDataReader::get_variant(std::uint16_t) const { return ValueNull::create(); }
Core::Bytes IDataReader::get_object(std::uint16_t) const { return {}; }

namespace {

/// A temporal constructor gives nothing for a cell its parser could not read: such a cell keeps
/// its text rather than becoming a null entry in the row.
ValuePtr temporal_or_text(ValuePtr value, const IDataReader& reader, std::uint16_t index) {
    if (value) return value;
    return ValueString::create(reader.get_string(index));
}

}  // namespace

Core::Result<ValuePtr> IDataReader::get_value(std::uint16_t index) const {
    if (is_null(index)) return ValueNull::create();
    switch (get_data_type(index)) {
        case DataType::BOOLEAN: return ValueBoolean::create(get_boolean(index));
        case DataType::INT8: return ValueInt8::create(get_int8(index));
        case DataType::INT16: return ValueInt16::create(get_int16(index));
        case DataType::INT32: return ValueInt32::create(get_int32(index));
        case DataType::INT64: return ValueInt64::create(get_int64(index));
        case DataType::UINT8: return ValueUInt8::create(get_uint8(index));
        case DataType::UINT16: return ValueUInt16::create(get_uint16(index));
        case DataType::UINT32: return ValueUInt32::create(get_uint32(index));
        case DataType::UINT64: return ValueUInt64::create(get_uint64(index));
        case DataType::ENUM: return ValueEnum::create(get_enum(index));
        case DataType::FLAGS: return ValueFlags::create(get_flag(index));
        case DataType::SET: return ValueSet::create(get_set(index));
        case DataType::MONEY: return ValueMoney::create(get_money(index));
        case DataType::DECIMAL: return ValueDecimal::create(get_decimal(index));
        case DataType::FLOAT: return ValueFloat::create(get_float(index));
        case DataType::DOUBLE: return ValueDouble::create(get_double(index));
        case DataType::DATE: {
            const Core::Date date = get_date(index);
            return temporal_or_text(date.valid() ? ValueDate::new_date(date) : nullptr, *this, index);
        }
        case DataType::TIME: {
            const auto time = get_time(index);
            return temporal_or_text(time ? ValueTime::new_time(time) : nullptr, *this, index);
        }
        case DataType::DATETIME: {
            const auto datetime = get_datetime(index);
            return temporal_or_text(datetime ? ValueDateTime::new_datetime(datetime) : nullptr, *this, index);
        }
        case DataType::TIMESTAMP: {
            const auto timestamp = get_timestamp(index);
            return temporal_or_text(timestamp ? ValueDateTime::new_datetime(timestamp) : nullptr, *this, index);
        }
        case DataType::TIMESPAN: return ValueTimeSpan::create(get_timespan(index));
        case DataType::WSTRING: {
            auto value = ValueUtf16::new_string(get_string16(index));
            if (!value) return ValueUtf16::create();
            return value;
        }
        case DataType::XML: return ValueXml::create(get_xml(index));
        case DataType::UUID: return ValueUuid::new_uuid(get_guid(index));
        case DataType::JSON: return ValueJson::create(get_json(index));
        case DataType::GEOMETRY: return ValueGeometry::create(get_geometry(index));
        case DataType::GEOGRAPHY: return ValueGeography::create(get_geography(index));
        case DataType::BINARY:
        case DataType::OBJECT: return ValueBinary::create(get_binary(index));
        case DataType::BLOB: return ValueBlob::create(get_binary(index));
        case DataType::VARIANT: {
            auto value = get_variant(index);
            if (!value) return ValueNull::create();
            return value;
        }
        default: return ValueString::create(get_string(index));
    }
}

Core::Result<std::vector<ValuePtr>> IDataReader::get_values() const {
    std::vector<ValuePtr> values;
    const auto count = get_field_count();
    values.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (std::int32_t i = 0; i < count; ++i) {
        auto value = get_value(static_cast<std::uint16_t>(i));
        OMBRIX_RETURN_IF_ERROR(value);
        values.push_back(std::move(*value));
    }
    return values;
}

}  // namespace Ombrix::Providers::Contracts
