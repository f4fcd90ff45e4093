#include "providers/Core/json.hpp"

#include <glib.h>

#include <optional>
#include <type_traits>

#include "providers/Core/file.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Core/list_model.hpp"

namespace Ombrix::Core::Json {

namespace {

std::string base64_encode(const Bytes& bytes) {
    return take_string(g_base64_encode(bytes.data(), bytes.size()));
}

Bytes base64_decode(const std::string& text) {
    gsize length = 0;
    guchar* data = g_base64_decode(text.c_str(), &length);
    Bytes bytes(data, data + length);
    g_free(data);
    return bytes;
}

std::string date_text(Date date) {
    char buffer[32];
    g_snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
}

/// A JSON number as a whole number of type T: a fraction is cut off, and a number beyond T's range
/// does not fit (converting it would be undefined).
template <class T>
std::optional<T> whole_number(const Node& node) {
    if (!node.is_number_float()) return node.get<T>();
    const double number = node.get<double>();
    // 2^63 and 2^64 are exact doubles; every double in the ranges below truncates into T.
    constexpr double kBelow = std::is_signed_v<T> ? -9223372036854775808.0 : -1.0;
    constexpr double kAbove = std::is_signed_v<T> ? 9223372036854775808.0 : 18446744073709551616.0;
    const bool above_floor = std::is_signed_v<T> ? number >= kBelow : number > kBelow;
    if (!above_floor || !(number < kAbove)) return std::nullopt;
    return static_cast<T>(number);
}

Date parse_date(const std::string& text) {
    Date date;
    if (sscanf(text.c_str(), "%d-%d-%d", &date.year, &date.month, &date.day) != 3) return {};
    return date;
}

}  // namespace

Node serialize(const Object& object) {
    Node node = Node::object();
    for (const PropertySpec* property : object.type_info().properties()) {
        if (!property->readable()) continue;
        if (auto member = object.serialize_property(*property)) node[property->name] = std::move(*member);
    }
    return node;
}

void apply(Object& object, const Node& node) {
    if (!node.is_object()) return;
    const TypeInfo& type = object.type_info();
    for (const auto& [key, member] : node.items()) {
        const PropertySpec* property = type.find_property(key);
        // A property without a setter is read only where its class reads it itself (a list the
        // object owns); the generic reader refuses it.
        if (!property) continue;
        object.deserialize_property(*property, member);
    }
}

std::shared_ptr<Object> deserialize(const Node& node, const TypeInfo& type) {
    if (!node.is_object()) return nullptr;
    auto object = type.create();
    if (!object) return nullptr;
    apply(*object, node);
    return object;
}

std::optional<Node> serialize_value(const Object& object, const PropertySpec& property) {
    const Value value = property.getter(object);
    if ((property.flags & OmitDefault) && value == property.default_value) return std::nullopt;
    switch (property.kind) {
        case ValueType::Boolean: return Node(value.get_boolean());
        case ValueType::Char:
        case ValueType::Int:
        case ValueType::Long:
        case ValueType::Int64:
        case ValueType::Enum: return Node(value.get_int64());
        case ValueType::UChar:
        case ValueType::UInt:
        case ValueType::ULong:
        case ValueType::UInt64:
        case ValueType::Flags: return Node(value.get_uint64());
        case ValueType::Float:
        case ValueType::Double: return Node(value.get_double());
        case ValueType::String: return Node(value.get_string());
        case ValueType::Strv: return Node(value.get_strv());
        case ValueType::StringMap: {
            Node map = Node::object();
            for (const auto& [key, text] : value.get_string_map()) map[key] = text;
            return map;
        }
        case ValueType::DateTime: return Node(value.get_datetime().format_iso8601());
        case ValueType::Date: return Node(value.get_date().valid() ? date_text(value.get_date()) : std::string());
        case ValueType::Bytes: return Node(base64_encode(value.get_bytes()));
        case ValueType::Object: {
            const auto& child = value.get_object();
            if (!child) return Node(nullptr);
            return serialize(*child);
        }
        case ValueType::ObjectList: {
            Node array = Node::array();
            auto list = value.get_object<ListModelBase>();
            if (list) {
                for (std::size_t i = 0; i < list->get_n_items(); ++i) {
                    auto item = list->get_object(i);
                    array.push_back(item ? serialize(*item) : Node(nullptr));
                }
            }
            return array;
        }
        case ValueType::Invalid:
        case ValueType::Pointer:
        case ValueType::Error: return std::nullopt;
    }
    return std::nullopt;
}

bool deserialize_value(Object& object, const PropertySpec& property, const Node& node) {
    if (!property.setter) return false;
    Value value;
    switch (property.kind) {
        case ValueType::Boolean:
            if (!node.is_boolean()) return false;
            value = Value::from_boolean(node.get<bool>());
            break;
        case ValueType::Char:
        case ValueType::Int:
        case ValueType::Long:
        case ValueType::Int64:
        case ValueType::Enum:
            if (!node.is_number()) return false;
            if (auto number = whole_number<std::int64_t>(node))
                value = Value::from_int64(*number);
            else
                return false;
            break;
        case ValueType::UChar:
        case ValueType::UInt:
        case ValueType::ULong:
        case ValueType::UInt64:
        case ValueType::Flags:
            if (!node.is_number()) return false;
            if (auto number = whole_number<std::uint64_t>(node))
                value = Value::from_uint64(*number);
            else
                return false;
            break;
        case ValueType::Float:
        case ValueType::Double:
            if (!node.is_number()) return false;
            value = Value::from_double(node.get<double>());
            break;
        case ValueType::String:
            if (node.is_null()) {
                value = Value::from_string({});
            } else {
                if (!node.is_string()) return false;
                value = Value::from_string(node.get<std::string>());
            }
            break;
        case ValueType::Strv: {
            if (!node.is_array()) return false;
            StringList list;
            for (const auto& element : node)
                if (element.is_string()) list.push_back(element.get<std::string>());
            value = Value::from_strv(std::move(list));
            break;
        }
        case ValueType::StringMap: {
            if (!node.is_object()) return false;
            StringMap map;
            for (const auto& [key, member] : node.items())
                map[key] = member.is_string() ? member.get<std::string>() : std::string();
            value = Value::from_string_map(std::move(map));
            break;
        }
        case ValueType::DateTime:
            if (!node.is_string()) return false;
            value = Value::from_datetime(DateTime::from_iso8601(node.get<std::string>(), Zone::Utc));
            break;
        case ValueType::Date:
            if (!node.is_string()) return false;
            value = Value::from_date(parse_date(node.get<std::string>()));
            break;
        case ValueType::Bytes:
            if (!node.is_string()) return false;
            value = Value::from_bytes(base64_decode(node.get<std::string>()));
            break;
        case ValueType::Object: {
            if (node.is_null()) {
                value = Value::from_object(nullptr);
                break;
            }
            const TypeInfo* type = property.element_type ? property.element_type() : nullptr;
            if (!type) return false;
            auto child = deserialize(node, *type);
            if (!child) return false;
            value = Value::from_object(std::move(child));
            break;
        }
        case ValueType::ObjectList: {
            if (!node.is_array() || !property.new_list) return false;
            const TypeInfo* type = property.element_type ? property.element_type() : nullptr;
            if (!type) return false;
            auto list = property.new_list();
            for (const auto& element : node) {
                if (auto item = deserialize(element, *type)) list->append_object(std::move(item));
            }
            value = Value::from_object_list(std::move(list));
            break;
        }
        case ValueType::Invalid:
        case ValueType::Pointer:
        case ValueType::Error: return false;
    }
    property.setter(object, value);
    return true;
}

Result<Node> parse(std::string_view text) {
    try {
        return Node::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& e) {
        // A syntax error, and also a number too large for a double ("1E400"), which the parser
        // reports as out of range rather than as a parse error.
        return fail("JSON", e.id, e.what());
    }
}

Result<Node> parse_file(const std::string& filename) {
    auto text = read_file(filename);
    OMBRIX_RETURN_IF_ERROR(text);
    return parse(*text);
}

std::string to_pretty(const Node& node, int indent) {
    return node.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace Ombrix::Core::Json
