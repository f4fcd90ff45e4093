#include "solvane/Helpers/helper_database.hpp"

#include <glib.h>

#include <cstdio>

#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Helpers/helper_text.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"

namespace Ombrix::Solvane::Helpers {

namespace {

using Providers::Contracts::DataType;
using Providers::Contracts::ValueBinary;
using Providers::Contracts::ValuePtr;
using Supports::Database::mariadb_quote_identifier;
using Supports::Database::mariadb_quote_literal;

// A number the server reads as one: [sign] digits [. digits] [e [sign] digits], at least one digit
// before the exponent. Anything else (inf, nan, a currency sign, text in a number column) is
// written as a string literal, which the server converts, so it can never become SQL of its own.
bool is_plain_number(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && g_ascii_isdigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && g_ascii_isdigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        std::size_t exponent = 0;
        while (i < text.size() && g_ascii_isdigit(text[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == text.size();
}

bool is_number_kind(DataType kind) {
    const int k = static_cast<int>(kind);
    return (k >= static_cast<int>(DataType::BOOLEAN) && k <= static_cast<int>(DataType::UINT64)) ||
           kind == DataType::MONEY || kind == DataType::FLOAT || kind == DataType::DOUBLE;
}

std::string hex_literal(const void* data, std::size_t length) { return "X'" + Core::hex_upper(data, length) + "'"; }

// A cell for a statement: a missing cell is written as NULL.
std::string sql_value_of(const ValuePtr& value) {
    if (!value) return "NULL";
    return DatabaseHelper::format_sql_value(value->get_data_type(), value);
}

// "`name`=<value><separator>" for each pair, the last separator left out.
std::string assignments(const std::vector<std::string>& names, const std::vector<ValuePtr>& values,
                        std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += separator;
        out += mariadb_quote_identifier(names[i]);
        out += '=';
        out += sql_value_of(values[i]);
    }
    return out;
}

std::string where_clause(const std::vector<std::string>& key_columns, const std::vector<ValuePtr>& key_values) {
    if (key_columns.empty()) return {};
    return " WHERE " + assignments(key_columns, key_values, " AND ");
}

std::string float_text(double value) {
    char buffer[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(buffer, sizeof buffer, "%g", value);
}

// What a debugger would show for a value the grid has no text form for.
std::string describe(const Core::Value& value) {
    const std::string name = value.type_name();
    switch (value.type()) {
        case Core::ValueType::Flags: return std::to_string(value.get_uint64());
        case Core::ValueType::Strv: {
            std::string out = "[";
            bool first = true;
            for (const auto& item : value.get_strv()) {
                if (!first) out += ", ";
                first = false;
                gchar* escaped = g_strescape(item.c_str(), nullptr);
                out += '"';
                out += escaped;
                out += '"';
                g_free(escaped);
            }
            return out + "]";
        }
        case Core::ValueType::Pointer: return Core::strprintf("((gpointer) %p)", value.get_pointer());
        case Core::ValueType::Object:
        case Core::ValueType::ObjectList:
            return Core::strprintf("((%s*) %p)", name.c_str(), static_cast<void*>(value.get_object().get()));
        case Core::ValueType::Bytes:
            return Core::strprintf("((GBytes*) %p)", static_cast<const void*>(&value.get_bytes()));
        case Core::ValueType::Error:
            return Core::strprintf("((GError*) %p)", static_cast<const void*>(&value.get_error()));
        case Core::ValueType::StringMap:
            return Core::strprintf("((GHashTable*) %p)", static_cast<const void*>(&value.get_string_map()));
        default: return {};
    }
}

}  // namespace

Core::Value DatabaseHelper::string_to_glib_value(std::string_view type_name, std::string_view text) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(text, Core::Value());
    const std::string_view t = type_name;
    if (t == "gchararray" || t == "genum" || t == "GBlob" || t == "GBinary")
        return Core::Value::from_string(std::string(text));
    // atoi gives an int; the narrower types then keep its low bits, as a C cast does.
    const auto atoi_int = [&] { return static_cast<std::int32_t>(Core::parse_atoi(text)); };
    if (t == "gchar") return Core::Value::from_char(static_cast<std::int8_t>(atoi_int()));
    if (t == "gint16") return Core::Value::from_int(static_cast<std::int16_t>(atoi_int()));
    if (t == "gint") return Core::Value::from_int(atoi_int());
    if (t == "glong") return Core::Value::from_long(static_cast<long>(Core::parse_int64_auto(text)));
    if (t == "gint64") return Core::Value::from_int64(Core::parse_int64_auto(text));
    const auto unsigned_value = [&] { return Core::parse_uint64_auto(text); };
    if (t == "guchar") return Core::Value::from_uchar(static_cast<std::uint8_t>(unsigned_value()));
    if (t == "guint16") return Core::Value::from_uint(static_cast<std::uint16_t>(unsigned_value()));
    if (t == "guint") return Core::Value::from_uint(static_cast<std::uint32_t>(unsigned_value()));
    if (t == "gulong") return Core::Value::from_ulong(static_cast<unsigned long>(unsigned_value()));
    if (t == "guint64") return Core::Value::from_uint64(unsigned_value());
    if (t == "gfloat") return Core::Value::from_float(Core::parse_float(text));
    if (t == "gdouble") return Core::Value::from_double(Core::parse_double(text));
    if (t == "gboolean") return Core::Value::from_boolean(text == "true");
    if (t == "GTime") {
        // A time of day has no tag of its own: it is held as that time on 1970-01-01, UTC.
        int hour = 0, minute = 0, second = 0;
        const std::string copy(text);
        std::sscanf(copy.c_str(), "%d:%d:%d", &hour, &minute, &second);
        return Core::Value::from_datetime(Core::DateTime::utc(1970, 1, 1, hour, minute, second));
    }
    if (t == "GDate") return Core::Value::from_date(Core::Date{});
    if (t == "GDateTime") return Core::Value::from_datetime(Core::DateTime::from_iso8601(text, Core::Zone::Utc));
    return Core::Value();  // "GNull" and types without a text form
}

std::string DatabaseHelper::glib_value_to_text(const Core::Value& value, std::string_view null_value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(null_value, std::string());
    using Core::ValueType;
    switch (value.type()) {
        case ValueType::Invalid: return std::string(null_value);
        case ValueType::String: return value.get_string();
        case ValueType::Char: return Core::strprintf("%hhi", static_cast<signed char>(value.get_char()));
        case ValueType::Int: return Core::strprintf("%i", value.get_int());
        case ValueType::Long: return Core::strprintf("%li", static_cast<long>(value.get_int64()));
        case ValueType::Int64: return Core::strprintf("%lli", static_cast<long long>(value.get_int64()));
        case ValueType::UChar: return Core::strprintf("%hhu", static_cast<unsigned char>(value.get_uchar()));
        case ValueType::UInt: return Core::strprintf("%u", value.get_uint());
        case ValueType::ULong: return Core::strprintf("%lu", static_cast<unsigned long>(value.get_uint64()));
        case ValueType::UInt64:
            return Core::strprintf("%llu", static_cast<unsigned long long>(value.get_uint64()));
        case ValueType::Float: return float_text(value.get_float());
        case ValueType::Double: return Core::format_double(value.get_double());
        case ValueType::Boolean: return value.get_boolean() ? "TRUE" : "FALSE";
        case ValueType::Enum: return Core::strprintf("%i", static_cast<int>(value.get_int64()));
        case ValueType::Date: {
            const auto date = value.get_date();
            return Core::strprintf("%d-%d-%d", date.year, date.month, date.day);
        }
        case ValueType::DateTime: {
            const auto& moment = value.get_datetime();
            if (moment.is_null()) return std::string(null_value);
            return moment.format("%Y-%m-%d %H:%M:%S");
        }
        case ValueType::Object:
        case ValueType::ObjectList:
            if (!value.get_object()) return std::string(null_value);
            return describe(value);
        default: return describe(value);
    }
}

bool DatabaseHelper::glib_value_to_int64(const Core::Value& value, std::int64_t& out) {
    using Core::ValueType;
    out = 0;
    switch (value.type()) {
        case ValueType::Int64:
        case ValueType::Long:
        case ValueType::Int:
        case ValueType::Char: out = value.get_int64(); return true;
        default: return false;
    }
}

bool DatabaseHelper::glib_value_to_uint64(const Core::Value& value, std::uint64_t& out) {
    using Core::ValueType;
    out = 0;
    switch (value.type()) {
        case ValueType::UInt64:
        case ValueType::ULong:
        case ValueType::UInt:
        case ValueType::UChar: out = value.get_uint64(); return true;
        // An enumeration is stored signed; its number is read as the unsigned number of the same bits.
        case ValueType::Enum: out = static_cast<std::uint64_t>(value.get_int64()); return true;
        default: return false;
    }
}

bool DatabaseHelper::glib_value_to_double(const Core::Value& value, double& out) {
    using Core::ValueType;
    out = 0;
    switch (value.type()) {
        case ValueType::Double:
        case ValueType::Float: out = value.get_double(); return true;
        case ValueType::Int64:
        case ValueType::Long:
        case ValueType::Int:
        case ValueType::Char: out = static_cast<double>(value.get_int64()); return true;
        case ValueType::Enum: out = static_cast<double>(static_cast<std::uint64_t>(value.get_int64())); return true;
        case ValueType::UInt64:
        case ValueType::ULong:
        case ValueType::UInt:
        case ValueType::UChar: out = static_cast<double>(value.get_uint64()); return true;
        default: return false;
    }
}

std::string DatabaseHelper::format_sql_value(DataType kind, const ValuePtr& data_value) {
    OMBRIX_RETURN_VAL_IF_NULL(data_value, std::string());
    if (data_value->get_is_null()) return "NULL";
    if (const auto binary = std::dynamic_pointer_cast<ValueBinary>(data_value)) {
        const auto& bytes = binary->get_itsvalue();
        return hex_literal(bytes.data(), bytes.size());
    }
    const std::string text = data_value->to_string();
    if (kind == DataType::BINARY || kind == DataType::BLOB) return hex_literal(text.data(), text.size());
    if (is_number_kind(kind)) {
        if (is_plain_number(text)) return text;
        if (kind == DataType::BOOLEAN) {
            const std::string lower = Core::ascii_lower(text);
            if (lower == "true" || lower == "false") return lower;
        }
    }
    return mariadb_quote_literal(text);
}

std::string DatabaseHelper::format_object_name(std::string_view schema, std::string_view table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, std::string());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, std::string());
    if (schema.empty()) return mariadb_quote_identifier(table);
    return mariadb_quote_identifier(schema) + "." + mariadb_quote_identifier(table);
}

std::string DatabaseHelper::build_sql_update(std::string_view schema, std::string_view table,
                                             const std::vector<std::string>& columns,
                                             const std::vector<ValuePtr>& values,
                                             const std::vector<std::string>& key_columns,
                                             const std::vector<ValuePtr>& key_values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, std::string());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(!columns.empty(), std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(columns.size() == values.size(), std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(key_columns.size() == key_values.size(), std::string());
    return "UPDATE " + format_object_name(schema, table) + " SET " + assignments(columns, values, ", ") +
           where_clause(key_columns, key_values) + ";";
}

std::string DatabaseHelper::build_sql_insert(std::string_view schema, std::string_view table,
                                             const std::vector<std::string>& columns,
                                             const std::vector<ValuePtr>& values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, std::string());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(!columns.empty(), std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(columns.size() == values.size(), std::string());
    std::string names;
    std::string texts;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            names += ", ";
            texts += ", ";
        }
        names += mariadb_quote_identifier(columns[i]);
        texts += sql_value_of(values[i]);
    }
    return "INSERT INTO " + format_object_name(schema, table) + "(" + names + ") VALUES(" + texts + ");";
}

std::string DatabaseHelper::build_sql_delete(std::string_view schema, std::string_view table,
                                             const std::vector<std::string>& key_columns,
                                             const std::vector<ValuePtr>& key_values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, std::string());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, std::string());
    OMBRIX_RETURN_VAL_IF_FAIL(key_columns.size() == key_values.size(), std::string());
    return "DELETE FROM " + format_object_name(schema, table) + where_clause(key_columns, key_values) + ";";
}

std::string DatabaseHelper::make_fullname_mysql(std::string_view username) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, std::string());
    const auto at = username.find('@');
    if (at == std::string_view::npos) return mariadb_quote_identifier(username);
    const std::string_view user = username.substr(0, at);
    std::string_view host = username.substr(at + 1);
    host = host.substr(0, host.find('@'));
    return mariadb_quote_identifier(user) + "@" + mariadb_quote_identifier(host);
}

bool DatabaseHelper::update_schema_with_model(const std::shared_ptr<MetaModel::MetaTable>& table,
                                              const std::shared_ptr<Providers::Contracts::TableModel>& model) {
    OMBRIX_RETURN_VAL_IF_NULL(table, false);
    OMBRIX_RETURN_VAL_IF_NULL(model, false);
    const auto& columns = model->get_columns();
    for (const auto& column : *columns) {
        if (column) table->new_column(column->get_name(), column->get_data_type());
    }
    return table->get_columns()->size() == columns->size();
}

std::string DatabaseHelper::format_size(std::uint64_t bytes) {
    if (bytes <= 1000) return Core::strprintf("%llu Byte", static_cast<unsigned long long>(bytes));
    const std::string digits = std::to_string(bytes / 1000);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out + " KB";
}

std::string DatabaseHelper::summary(const std::shared_ptr<ValueBinary>& value, std::string_view null_value) {
    OMBRIX_RETURN_VAL_IF_NULL(value, std::string());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(null_value, std::string());
    const auto& bytes = value->get_itsvalue();
    if (bytes.empty()) return {};
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    if (g_utf8_validate(data, static_cast<gssize>(bytes.size()), nullptr)) return std::string(data, bytes.size());
    const std::string type = FileTypeHelper::get_singleton()->guess_file_type(bytes.data(), bytes.size());
    return type + "(" + format_size(bytes.size()) + ")";
}

}  // namespace Ombrix::Solvane::Helpers
