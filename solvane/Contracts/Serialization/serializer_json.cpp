#include "solvane/Contracts/Serialization/serializer_json.hpp"

#include <glib.h>

#include <algorithm>
#include <string>

#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Contracts::Serialization {

namespace {

using Core::ValueType;

/// The text the platform gives for a value it has no JSON form for.
std::string describe(const Core::Value& value) {
    switch (value.type()) {
        case ValueType::Object:
        case ValueType::ObjectList: {
            const auto& object = value.get_object();
            if (!object) return "NULL";
            return Core::strprintf("((%s*) %p)", object->type_name().c_str(), static_cast<const void*>(object.get()));
        }
        case ValueType::Date: {
            const Core::Date date = value.get_date();
            return Core::strprintf("%04d-%02d-%02d", date.year, date.month, date.day);
        }
        case ValueType::Bytes: return Core::strprintf("((GBytes*) %zu bytes)", value.get_bytes().size());
        case ValueType::Error: return value.get_error().message;
        case ValueType::Pointer: return Core::strprintf("((gpointer) %p)", value.get_pointer());
        case ValueType::StringMap: return Core::Json::Node(value.get_string_map()).dump();
        default: return std::string(Core::value_type_name(value.type()));
    }
}

}  // namespace

void IJsonSerializer::serialize(Core::Json::Node& builder, const Core::Object& object) const {
    if (!builder.is_object()) builder = Core::Json::Node::object();
    for (const Core::PropertySpec* property : object.type_info().properties()) {
        if (!property->writable()) continue;
        const Core::Value value = property->getter(object);
        Core::Json::Node& member = builder[property->name];
        switch (value.type()) {
            case ValueType::Invalid: member = nullptr; break;
            case ValueType::Char:
            case ValueType::Int:
            case ValueType::Long:
            case ValueType::Int64:
            case ValueType::Enum: member = value.get_int64(); break;
            case ValueType::UChar:
            case ValueType::UInt:
            case ValueType::ULong:
            case ValueType::UInt64:
            case ValueType::Flags: member = value.get_uint64(); break;
            case ValueType::Boolean: member = value.get_boolean(); break;
            case ValueType::Float:
            case ValueType::Double: member = value.get_double(); break;
            case ValueType::String: member = value.get_string(); break;
            case ValueType::DateTime: member = value.get_datetime().format_iso8601(); break;
            case ValueType::Strv: member = value.get_strv(); break;
            default: member = describe(value); break;
        }
    }
}

void IJsonSerializer::deserialize(const Core::Json::Node& json_object, Core::Object& object) const {
    if (!json_object.is_object()) return;
    for (const auto& [key, node] : json_object.items()) {
        if (key == "class") continue;
        std::string name = key;
        std::replace(name.begin(), name.end(), '_', '-');
        const Core::PropertySpec* property = object.type_info().find_property(name);
        if (!property || !property->writable() || property->construct_only()) continue;
        Core::Value value;
        switch (property->kind) {
            case ValueType::Char:
            case ValueType::Int:
            case ValueType::Long:
            case ValueType::Int64:
                if (node.is_number()) value = Core::Value::from_int64(node.get<std::int64_t>());
                break;
            case ValueType::UChar:
                if (node.is_number()) value = Core::Value::from_uchar(static_cast<std::uint8_t>(node.get<std::int64_t>()));
                break;
            case ValueType::UInt:
            case ValueType::ULong:
            case ValueType::UInt64:
                if (node.is_number()) value = Core::Value::from_uint64(node.get<std::uint64_t>());
                break;
            case ValueType::Enum:
                if (node.is_number()) value = Core::Value::from_enum(node.get<std::int64_t>());
                break;
            case ValueType::Flags:
                if (node.is_number()) value = Core::Value::from_flags(node.get<std::uint64_t>());
                break;
            case ValueType::Boolean:
                if (node.is_boolean()) value = Core::Value::from_boolean(node.get<bool>());
                break;
            case ValueType::Float:
            case ValueType::Double:
                if (node.is_number()) value = Core::Value::from_double(node.get<double>());
                break;
            case ValueType::String:
                value = Core::Value::from_string(node.is_string() ? node.get<std::string>() : std::string());
                break;
            case ValueType::DateTime:
                if (node.is_string())
                    value = Core::Value::from_datetime(Core::DateTime::from_iso8601(node.get<std::string>(), Core::Zone::Utc));
                break;
            case ValueType::Strv:
                if (node.is_array()) {
                    Core::StringList items;
                    for (const auto& item : node) items.push_back(item.is_string() ? item.get<std::string>() : std::string());
                    value = Core::Value::from_strv(std::move(items));
                }
                break;
            default:
                g_warning("Type: %s -> %s", property->name.c_str(), std::string(Core::value_type_name(property->kind)).c_str());
                continue;
        }
        if (!value.is_valid()) continue;
        // Integers go in as 64 bits; the property's setter narrows them to its own width.
        property->setter(object, value);
    }
}

}  // namespace Ombrix::Solvane::Contracts::Serialization
