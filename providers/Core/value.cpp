#include "providers/Core/value.hpp"

#include "providers/Core/object.hpp"

namespace Ombrix::Core {

std::string_view value_type_name(ValueType type) {
    switch (type) {
        case ValueType::Invalid: return "";
        case ValueType::Char: return "gchar";
        case ValueType::UChar: return "guchar";
        case ValueType::Boolean: return "gboolean";
        case ValueType::Int: return "gint";
        case ValueType::UInt: return "guint";
        case ValueType::Long: return "glong";
        case ValueType::ULong: return "gulong";
        case ValueType::Int64: return "gint64";
        case ValueType::UInt64: return "guint64";
        case ValueType::Enum: return "GEnum";
        case ValueType::Flags: return "GFlags";
        case ValueType::Float: return "gfloat";
        case ValueType::Double: return "gdouble";
        case ValueType::String: return "gchararray";
        case ValueType::Pointer: return "gpointer";
        case ValueType::Strv: return "GStrv";
        case ValueType::Bytes: return "GBytes";
        case ValueType::Date: return "GDate";
        case ValueType::DateTime: return "GDateTime";
        case ValueType::Error: return "GError";
        case ValueType::StringMap: return "GHashTable";
        case ValueType::Object: return "GObject";
        case ValueType::ObjectList: return "GListModel";
    }
    return "";
}

Value Value::from_enum(std::int64_t v, std::string_view type_name) {
    Value value(ValueType::Enum, v);
    value.m_name = type_name;
    return value;
}

Value Value::from_flags(std::uint64_t v, std::string_view type_name) {
    Value value(ValueType::Flags, v);
    value.m_name = type_name;
    return value;
}

Value Value::from_object(std::shared_ptr<Object> v) { return Value(ValueType::Object, std::move(v)); }

Value Value::from_object_list(std::shared_ptr<Object> list) { return Value(ValueType::ObjectList, std::move(list)); }

std::string Value::type_name() const {
    if (!m_name.empty()) return std::string(m_name);
    if (m_type == ValueType::Object) {
        if (const auto& object = get_object()) return object->type_name();
    }
    return std::string(value_type_name(m_type));
}

bool Value::get_boolean() const {
    if (const auto* b = std::get_if<bool>(&m_data)) return *b;
    return false;
}

std::int64_t Value::get_int64() const {
    if (const auto* v = std::get_if<std::int64_t>(&m_data)) return *v;
    if (const auto* v = std::get_if<std::uint64_t>(&m_data)) return static_cast<std::int64_t>(*v);
    if (const auto* v = std::get_if<bool>(&m_data)) return *v ? 1 : 0;
    if (const auto* v = std::get_if<double>(&m_data)) return static_cast<std::int64_t>(*v);
    return 0;
}

std::uint64_t Value::get_uint64() const {
    if (const auto* v = std::get_if<std::uint64_t>(&m_data)) return *v;
    if (const auto* v = std::get_if<std::int64_t>(&m_data)) return static_cast<std::uint64_t>(*v);
    if (const auto* v = std::get_if<bool>(&m_data)) return *v ? 1 : 0;
    if (const auto* v = std::get_if<double>(&m_data)) return *v < 0 ? 0 : static_cast<std::uint64_t>(*v);
    return 0;
}

double Value::get_double() const {
    if (const auto* v = std::get_if<double>(&m_data)) return *v;
    if (const auto* v = std::get_if<std::int64_t>(&m_data)) return static_cast<double>(*v);
    if (const auto* v = std::get_if<std::uint64_t>(&m_data)) return static_cast<double>(*v);
    return 0.0;
}

const std::string& Value::get_string() const {
    static const std::string empty;
    if (const auto* v = std::get_if<std::string>(&m_data)) return *v;
    return empty;
}

void* Value::get_pointer() const {
    if (const auto* v = std::get_if<void*>(&m_data)) return *v;
    return nullptr;
}

const StringList& Value::get_strv() const {
    static const StringList empty;
    if (const auto* v = std::get_if<StringList>(&m_data)) return *v;
    return empty;
}

const Bytes& Value::get_bytes() const {
    static const Bytes empty;
    if (const auto* v = std::get_if<Bytes>(&m_data)) return *v;
    return empty;
}

Date Value::get_date() const {
    if (const auto* v = std::get_if<Date>(&m_data)) return *v;
    return {};
}

const DateTime& Value::get_datetime() const {
    static const DateTime empty;
    if (const auto* v = std::get_if<DateTime>(&m_data)) return *v;
    return empty;
}

const Error& Value::get_error() const {
    static const Error empty;
    if (const auto* v = std::get_if<Error>(&m_data)) return *v;
    return empty;
}

const StringMap& Value::get_string_map() const {
    static const StringMap empty;
    if (const auto* v = std::get_if<StringMap>(&m_data)) return *v;
    return empty;
}

const std::shared_ptr<Object>& Value::get_object() const {
    static const std::shared_ptr<Object> empty;
    if (const auto* v = std::get_if<std::shared_ptr<Object>>(&m_data)) return *v;
    return empty;
}

bool Value::is_number() const noexcept {
    return std::holds_alternative<std::int64_t>(m_data) || std::holds_alternative<std::uint64_t>(m_data) ||
           std::holds_alternative<double>(m_data);
}

bool Value::operator==(const Value& other) const {
    return m_type == other.m_type && m_data == other.m_data;
}

}  // namespace Ombrix::Core
