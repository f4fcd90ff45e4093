#include "providers/Supports/MariaDB/reader.hpp"

#include <glib.h>
#include <mysql.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <type_traits>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_enum.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Supports {

using Contracts::DataType;
using Contracts::ValuePtr;

namespace {

/// The character-set number of the binary character set.
constexpr unsigned kBinaryCharset = 63;

/// Decimal digits of a cell. Servers send integers in base 10, ZEROFILL columns with leading
/// zeros ("0000000010" is ten), so no base detection here.
template <class T>
T parse_decimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '+')) ++i;
    T value{};
    std::from_chars(text.data() + i, text.data() + text.size(), value, 10);
    return value;
}

std::int64_t parse_signed(std::string_view text) { return parse_decimal<std::int64_t>(text); }
std::uint64_t parse_unsigned(std::string_view text) { return parse_decimal<std::uint64_t>(text); }

}  // namespace

// ---------------------------------------------------------------- type mapping

DataType IMariaDBType::map_data_type(int type, unsigned flags) {
    const bool is_unsigned = (flags & UNSIGNED_FLAG) != 0;
    const bool is_binary = (flags & BINARY_FLAG) != 0;
    switch (type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL: return DataType::DECIMAL;
        case MYSQL_TYPE_TINY: return is_unsigned ? DataType::UINT8 : DataType::INT8;
        case MYSQL_TYPE_SHORT: return is_unsigned ? DataType::UINT16 : DataType::INT16;
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_INT24: return is_unsigned ? DataType::UINT32 : DataType::INT32;
        case MYSQL_TYPE_FLOAT: return DataType::FLOAT;
        case MYSQL_TYPE_DOUBLE: return DataType::DOUBLE;
        case MYSQL_TYPE_NULL: return DataType::DBNULL;
        case MYSQL_TYPE_TIMESTAMP: return DataType::TIMESTAMP;
        case MYSQL_TYPE_LONGLONG: return is_unsigned ? DataType::UINT64 : DataType::INT64;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE: return DataType::DATE;
        case MYSQL_TYPE_TIME: return DataType::TIME;
        case MYSQL_TYPE_DATETIME: return DataType::DATETIME;
        case MYSQL_TYPE_YEAR: return DataType::INT16;
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_STRING: return DataType::STRING;
        case MYSQL_TYPE_BIT: return DataType::BINARY;
        case MYSQL_TYPE_JSON: return DataType::JSON;
        case MYSQL_TYPE_ENUM: return DataType::ENUM;
        case MYSQL_TYPE_SET: return DataType::SET;
        case MYSQL_TYPE_TINY_BLOB: return is_binary ? DataType::BINARY : DataType::STRING;
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB: return is_binary ? DataType::BLOB : DataType::STRING;
        case MYSQL_TYPE_GEOMETRY: return DataType::GEOMETRY;
        default: return DataType::UNKNOWN;
    }
}

std::string IMariaDBType::map_dbms_type(int type, unsigned) {
    switch (type) {
        case MYSQL_TYPE_DECIMAL: return "DECIMAL";
        case MYSQL_TYPE_TINY: return "TINY";
        case MYSQL_TYPE_SHORT: return "SHORT";
        case MYSQL_TYPE_LONG: return "LONG";
        case MYSQL_TYPE_FLOAT: return "FLOAT";
        case MYSQL_TYPE_DOUBLE: return "DOUBLE";
        case MYSQL_TYPE_NULL: return "NULL";
        case MYSQL_TYPE_TIMESTAMP: return "TIMESTAMP";
        case MYSQL_TYPE_LONGLONG: return "LONGLONG";
        case MYSQL_TYPE_INT24: return "INT24";
        case MYSQL_TYPE_DATE: return "DATE";
        case MYSQL_TYPE_TIME: return "TIME";
        case MYSQL_TYPE_DATETIME: return "DATETIME";
        case MYSQL_TYPE_YEAR: return "YEAR";
        case MYSQL_TYPE_NEWDATE: return "NEWDATE";
        case MYSQL_TYPE_VARCHAR: return "VARCHAR";
        case MYSQL_TYPE_BIT: return "BIT";
        case MYSQL_TYPE_JSON: return "JSON";
        case MYSQL_TYPE_NEWDECIMAL: return "NEWDECIMAL";
        case MYSQL_TYPE_ENUM: return "ENUM";
        case MYSQL_TYPE_SET: return "SET";
        case MYSQL_TYPE_TINY_BLOB: return "TINY_BLOB";
        case MYSQL_TYPE_MEDIUM_BLOB: return "MEDIUM_BLOB";
        case MYSQL_TYPE_LONG_BLOB: return "LONG_BLOB";
        case MYSQL_TYPE_BLOB: return "BLOB";
        case MYSQL_TYPE_VAR_STRING: return "VAR_STRING";
        case MYSQL_TYPE_STRING: return "STRING";
        case MYSQL_TYPE_GEOMETRY: return "GEOMETRY";
        default: return {};
    }
}

// ---------------------------------------------------------------- errors

std::optional<Core::Error> IMariaDBError::raise_error(st_mysql* connection, int code) {
    if (code == 0 || !connection) return std::nullopt;
    const unsigned number = mysql_errno(connection);
    if (number == 0) return std::nullopt;
    dump(connection);
    return Core::Error{"MariaDB", static_cast<int>(number), mysql_error(connection)};
}

void IMariaDBError::dump(st_mysql* connection) {
    if (!connection) return;
    auto text_option = [&](mysql_option option) {
        const char* value = nullptr;
        mysql_get_option(connection, option, &value);
        return std::string(value ? value : "(null)");
    };
    auto number_option = [&](mysql_option option) {
        unsigned long long value = 0;
        mysql_get_option(connection, option, &value);
        return value;
    };
    unsigned timeout_connect = 0, timeout_read = 0, timeout_write = 0;
    mysql_get_option(connection, MYSQL_OPT_CONNECT_TIMEOUT, &timeout_connect);
    mysql_get_option(connection, MYSQL_OPT_READ_TIMEOUT, &timeout_read);
    mysql_get_option(connection, MYSQL_OPT_WRITE_TIMEOUT, &timeout_write);
    my_bool reconnect = 0;
    mysql_get_option(connection, MYSQL_OPT_RECONNECT, &reconnect);
    std::string text;
    text += Core::strprintf("Default options file: %s\n", text_option(MYSQL_READ_DEFAULT_FILE).c_str());
    text += Core::strprintf("Default options group: %s\n", text_option(MYSQL_READ_DEFAULT_GROUP).c_str());
    text += Core::strprintf("Charset name: %s\n", text_option(MYSQL_SET_CHARSET_NAME).c_str());
    text += Core::strprintf("Plugin path: %s\n", text_option(MYSQL_PLUGIN_DIR).c_str());
    text += Core::strprintf("Default auth: %s\n", text_option(MYSQL_DEFAULT_AUTH).c_str());
    text += Core::strprintf("Public key: %s\n", text_option(MYSQL_SERVER_PUBLIC_KEY).c_str());
    text += Core::strprintf("Auto reconnect: %d\n", reconnect ? 1 : 0);
    text += Core::strprintf("Max packet size: %llu\n", number_option(MYSQL_OPT_MAX_ALLOWED_PACKET));
    text += Core::strprintf("Net buffer size: %llu\n", number_option(MYSQL_OPT_NET_BUFFER_LENGTH));
    text += Core::strprintf("Connect timeout: %u\n", timeout_connect);
    text += Core::strprintf("Read timeout: %u\n", timeout_read);
    text += Core::strprintf("Write timeout: %u\n", timeout_write);
    g_log("Ombrix", G_LOG_LEVEL_WARNING, "%s: Connection options:\n%s", G_STRLOC, text.c_str());
}

// ---------------------------------------------------------------- reader

// Named `_result_` so that the critical reads "_result_ != NULL", the published name of the argument.
std::shared_ptr<MariaDBReader> MariaDBReader::create(st_mysql_res* _result_) {
    OMBRIX_RETURN_VAL_IF_NULL(_result_, nullptr);
    auto reader = Core::make_object<MariaDBReader>();
    reader->m_result.reset(_result_);
    reader->m_field_count = mysql_num_fields(_result_);
    reader->m_fields = mysql_fetch_fields(_result_);
    return reader;
}

std::shared_ptr<MariaDBReader> MariaDBReader::create_streamed(st_mysql_res* result, st_mysql* connection) {
    auto reader = create(result);
    if (reader) {
        reader->m_stream = connection;
        reader->m_sizes.assign(reader->m_field_count, 0);
    }
    return reader;
}

MariaDBReader::~MariaDBReader() = default;

void ConnectionCloser::operator()(st_mysql* connection) const noexcept { mysql_close(connection); }
void ResultFreer::operator()(st_mysql_res* result) const noexcept { mysql_free_result(result); }

OMBRIX_DEFINE_TYPE(MariaDBReader, "OmbrixProvidersSupportsMariaDBReader");

std::int64_t MariaDBReader::bulk(std::int32_t) { return 0; }

Core::Result<bool> MariaDBReader::read() {
    if (m_done) return false;
    m_row = mysql_fetch_row(m_result.get());
    if (!m_row) {
        m_done = true;
        m_lengths = nullptr;
        if (m_stream) {
            if (auto error = raise_error(m_stream, -1)) return Core::fail(std::move(*error));
        }
        return false;
    }
    m_lengths = mysql_fetch_lengths(m_result.get());
    if (m_stream) {
        for (unsigned i = 0; i < m_field_count; ++i) m_sizes[i] = std::max<std::uint64_t>(m_sizes[i], m_lengths[i]);
    }
    return true;
}

void MariaDBReader::close() {
    while (!m_done) {
        if (auto more = read(); !more || !*more) break;
    }
}

// The client's end-of-data marker is set on every stored result from the start (it marks the
// result as buffered), so it cannot tell whether rows are left: the reader's own end is what counts.
bool MariaDBReader::get_is_closed() const { return m_done; }

std::string MariaDBReader::get_name(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, {});
    return std::string(m_fields[index].name, m_fields[index].name_length);
}

std::string MariaDBReader::get_dbms_type(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, {});
    return map_dbms_type(m_fields[index].type, m_fields[index].flags);
}

bool MariaDBReader::get_is_binary(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, false);
    return m_fields[index].charsetnr == kBinaryCharset;
}

DataType MariaDBReader::get_data_type(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, DataType::UNKNOWN);
    // MariaDB's JSON is a LONGTEXT with a binary collation, which the type number and flags alone
    // would make a BLOB; the server names the format in the column's extended metadata.
    MARIADB_CONST_STRING format{};
    if (mariadb_field_attr(&format, &m_fields[index], MARIADB_FIELD_ATTR_FORMAT_NAME) == 0 &&
        std::string_view(format.str, format.length) == "json")
        return DataType::JSON;
    // A binary collation (utf8mb4_bin) sets the binary flag as well; only the binary character set
    // makes the bytes of a TEXT column a BLOB.
    unsigned flags = m_fields[index].flags;
    if (m_fields[index].charsetnr != kBinaryCharset) flags &= ~static_cast<unsigned>(BINARY_FLAG);
    return map_data_type(m_fields[index].type, flags);
}

std::uint64_t MariaDBReader::get_size(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, 0);
    return m_stream ? m_sizes[index] : m_fields[index].max_length;
}

std::uint32_t MariaDBReader::get_decimals_size(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(index < m_field_count, 0);
    return m_fields[index].decimals;
}

bool MariaDBReader::is_null(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(m_row && index < m_field_count, true);
    return m_row[index] == nullptr;
}

std::string_view MariaDBReader::cell(std::uint16_t index) const {
    if (!m_row || index >= m_field_count || !m_row[index]) return {};
    return std::string_view(m_row[index], m_lengths[index]);
}

std::optional<std::string_view> MariaDBReader::number_text(std::uint16_t index, const char* parser) const {
    if (!m_row || index >= m_field_count || !m_row[index]) {
        Core::detail::assertion_failed(parser, "str != NULL");
        return std::nullopt;
    }
    return cell(index);
}

bool MariaDBReader::get_boolean(std::uint16_t index) const { return cell(index) == "true"; }

namespace {

// The parser the client library names in its critical for a missing cell of each integer width.
template <class T>
constexpr const char* parser_name() {
    if constexpr (sizeof(T) == 8) return std::is_signed_v<T> ? "int64_parse" : "uint64_parse";
    else return std::is_signed_v<T> ? "long_parse" : "ulong_parse";
}

}  // namespace

template <class T>
T MariaDBReader::get_integer(std::uint16_t index) const {
    auto text = number_text(index, parser_name<T>());
    if (!text) return 0;
    if constexpr (std::is_signed_v<T>) return static_cast<T>(parse_signed(*text));
    else return static_cast<T>(parse_unsigned(*text));
}

std::int8_t MariaDBReader::get_int8(std::uint16_t index) const { return get_integer<std::int8_t>(index); }
std::uint8_t MariaDBReader::get_uint8(std::uint16_t index) const { return get_integer<std::uint8_t>(index); }
std::int16_t MariaDBReader::get_int16(std::uint16_t index) const { return get_integer<std::int16_t>(index); }
std::uint16_t MariaDBReader::get_uint16(std::uint16_t index) const { return get_integer<std::uint16_t>(index); }
std::int32_t MariaDBReader::get_int32(std::uint16_t index) const { return get_integer<std::int32_t>(index); }
std::uint32_t MariaDBReader::get_uint32(std::uint16_t index) const { return get_integer<std::uint32_t>(index); }
std::int64_t MariaDBReader::get_int64(std::uint16_t index) const { return get_integer<std::int64_t>(index); }
std::uint64_t MariaDBReader::get_uint64(std::uint16_t index) const { return get_integer<std::uint64_t>(index); }

double MariaDBReader::get_decimal(std::uint16_t index) const {
    auto text = number_text(index, "double_parse");
    return text ? Core::parse_double(*text) : 0.0;
}

double MariaDBReader::get_money(std::uint16_t index) const { return get_decimal(index); }

float MariaDBReader::get_float(std::uint16_t index) const {
    auto text = number_text(index, "float_parse");
    return text ? Core::parse_float(*text) : 0.0f;
}

double MariaDBReader::get_double(std::uint16_t index) const { return get_decimal(index); }

Core::Date MariaDBReader::get_date(std::uint16_t index) const {
    const std::string text(cell(index));
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_parse(&date, text.c_str());
    if (!g_date_valid(&date)) return {};
    return Core::Date{g_date_get_year(&date), g_date_get_month(&date), g_date_get_day(&date)};
}

namespace {

/// A server's DATETIME text at its wall-clock time, or any other ISO 8601 date-time (UTC when it
/// names no zone); unset for text that is neither.
Core::DateTime date_time_of(std::string_view text) {
    if (auto held = Contracts::ValueDateTime::create_from_text(text)->get_itsvalue()) return held;
    return Core::DateTime::from_iso8601(text, Core::Zone::Utc);
}

}  // namespace

Core::DateTime MariaDBReader::get_time(std::uint16_t index) const {
    // A TIME cell is a time of day on 1970-01-01; a date-time cell is read as one.
    if (auto time = Contracts::ValueTime::create_from_text(cell(index))->get_itsvalue()) return time;
    return date_time_of(cell(index));
}

Core::DateTime MariaDBReader::get_datetime(std::uint16_t index) const { return date_time_of(cell(index)); }

Core::DateTime MariaDBReader::get_timestamp(std::uint16_t index) const { return get_datetime(index); }

std::int64_t MariaDBReader::get_timespan(std::uint16_t index) const {
    auto text = number_text(index, "int64_parse");
    if (!text) return 0;
    g_log("Ombrix", G_LOG_LEVEL_WARNING, "%s: timespan raw value: %.*s", G_STRLOC, static_cast<int>(text->size()),
          text->data());
    return parse_signed(*text);
}

std::string MariaDBReader::get_string(std::uint16_t index) const { return std::string(cell(index)); }

std::string MariaDBReader::get_string16(std::uint16_t index) const {
    const std::string_view bytes = cell(index);
    return Core::utf16_to_utf8(bytes.data(), bytes.size() / 2);
}

std::string MariaDBReader::get_guid(std::uint16_t index) const { return get_string(index); }

Core::Bytes MariaDBReader::get_binary(std::uint16_t index) const {
    const std::string_view bytes = cell(index);
    return Core::Bytes(bytes.begin(), bytes.end());
}

std::string MariaDBReader::get_enum(std::uint16_t index) const { return get_string(index); }

std::string MariaDBReader::get_set(std::uint16_t index) const { return get_string(index); }

std::string MariaDBReader::get_json(std::uint16_t index) const { return get_string(index); }

ValuePtr MariaDBReader::decode_cell(DataType type, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    switch (type) {
        case DataType::INT8: return Contracts::ValueInt8::create(static_cast<std::int8_t>(parse_signed(text)));
        case DataType::INT16: return Contracts::ValueInt16::create(static_cast<std::int16_t>(parse_signed(text)));
        case DataType::INT32: return Contracts::ValueInt32::create(static_cast<std::int32_t>(parse_signed(text)));
        case DataType::INT64: return Contracts::ValueInt64::create(parse_signed(text));
        case DataType::UINT8: return Contracts::ValueUInt8::create(static_cast<std::uint8_t>(parse_unsigned(text)));
        case DataType::UINT16:
            return Contracts::ValueUInt16::create(static_cast<std::uint16_t>(parse_unsigned(text)));
        case DataType::UINT32:
            return Contracts::ValueUInt32::create(static_cast<std::uint32_t>(parse_unsigned(text)));
        case DataType::UINT64: return Contracts::ValueUInt64::create(parse_unsigned(text));
        case DataType::DECIMAL: return Contracts::ValueDecimal::create_from_text(text);
        case DataType::FLOAT: return Contracts::ValueFloat::create_from_text(text);
        case DataType::DOUBLE: return Contracts::ValueDouble::create_from_text(text);
        case DataType::DATE: return Contracts::ValueDate::create_from_text(text);
        case DataType::TIME: return Contracts::ValueTime::create_from_text(text);
        case DataType::DATETIME:
        case DataType::TIMESTAMP: return Contracts::ValueDateTime::create_from_text(text);
        case DataType::ENUM: return Contracts::ValueEnum::create(text);
        case DataType::SET: return Contracts::ValueSet::create(text);
        case DataType::JSON: return Contracts::ValueJson::create(text);
        case DataType::GEOMETRY: return Contracts::ValueGeometry::create_from_bytes(bytes, text.size());
        case DataType::BINARY: return Contracts::ValueBinary::create(bytes, text.size());
        case DataType::BLOB: return Contracts::ValueBlob::create(bytes, text.size());
        case DataType::DBNULL: return Contracts::ValueNull::create();
        default: return Contracts::ValueString::create(text);
    }
}

Core::Result<ValuePtr> MariaDBReader::get_value(std::uint16_t index) const {
    OMBRIX_RETURN_VAL_IF_FAIL(m_row && index < m_field_count, Core::fail("MariaDB", -1, "no current row"));
    if (!m_row[index]) return Contracts::ValueNull::create();
    return decode_cell(get_data_type(index), cell(index));
}

namespace {

/// Decodes the packed cells of the rows of one result by their columns' data types.
class CellDecoder final : public Contracts::ICellDecoder {
public:
    explicit CellDecoder(std::vector<DataType> types) : m_types(std::move(types)) {}
    ValuePtr decode(std::size_t column, std::string_view bytes) const override {
        return MariaDBReader::decode_cell(type_of(column), bytes);
    }

    /// Texts, numbers and dates whose values keep the server's text, integers and binary kinds are
    /// written straight from the bytes; the other kinds make their value.
    DataType describe(std::size_t column, std::string_view bytes, std::string& text) const override {
        const DataType type = type_of(column);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        switch (type) {
            case DataType::INT8: return write_number(static_cast<std::int8_t>(parse_signed(bytes)), type, text);
            case DataType::INT16: return write_number(static_cast<std::int16_t>(parse_signed(bytes)), type, text);
            case DataType::INT32: return write_number(static_cast<std::int32_t>(parse_signed(bytes)), type, text);
            case DataType::INT64: return write_number(parse_signed(bytes), type, text);
            case DataType::UINT8: return write_number(static_cast<std::uint8_t>(parse_unsigned(bytes)), type, text);
            case DataType::UINT16: return write_number(static_cast<std::uint16_t>(parse_unsigned(bytes)), type, text);
            case DataType::UINT32: return write_number(static_cast<std::uint32_t>(parse_unsigned(bytes)), type, text);
            case DataType::UINT64: return write_number(parse_unsigned(bytes), type, text);
            case DataType::DECIMAL:
            case DataType::FLOAT:
            case DataType::DOUBLE:
            case DataType::ENUM:
            case DataType::SET:
            case DataType::JSON: text.assign(bytes); return type;
            case DataType::BINARY:
            case DataType::BLOB: Contracts::ValueBinary::write_text(data, bytes.size(), text); return type;
            // Dates and times made from a server's text print that text again.
            case DataType::DATE:
            case DataType::TIME: text.assign(bytes); return type;
            case DataType::DATETIME:
            case DataType::TIMESTAMP: text.assign(bytes); return DataType::DATETIME;
            case DataType::GEOMETRY:
            case DataType::DBNULL: return ICellDecoder::describe(column, bytes, text);
            default: text.assign(bytes); return DataType::STRING;
        }
    }

private:
    DataType type_of(std::size_t column) const { return column < m_types.size() ? m_types[column] : DataType::STRING; }

    template <class Number>
    static DataType write_number(Number value, DataType type, std::string& text) {
        char buffer[24];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
        text.assign(buffer, written.ptr);
        return type;
    }

    std::vector<DataType> m_types;
};

}  // namespace

Core::Result<std::shared_ptr<Contracts::TableModel>> MariaDBReader::read_model() {
    auto model = Contracts::TableModel::create();
    if (m_field_count == 0) return model;
    std::vector<DataType> types;
    for (std::uint16_t i = 0; i < m_field_count; ++i) types.push_back(get_data_type(i));
    auto decoder = std::make_shared<const CellDecoder>(types);
    const auto& rows = model->get_rows();
    if (!m_stream) rows->reserve(static_cast<std::size_t>(mysql_num_rows(m_result.get())));
    while (true) {
        auto more = read();
        OMBRIX_RETURN_IF_ERROR(more);
        if (!*more) break;
        rows->append(Contracts::RowModel::create_packed(decoder, m_field_count, m_row, m_lengths));
    }
    // Sizes are the longest cells of this result, known once every row has been read.
    const auto& columns = model->get_columns();
    for (std::uint16_t i = 0; i < m_field_count; ++i)
        columns->append(Contracts::ColumnModel::new_full_size(get_name(i), types[i], get_size(i)));
    return model;
}

}  // namespace Ombrix::Providers::Supports
