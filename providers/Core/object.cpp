#include "providers/Core/object.hpp"

#include <glib.h>

#include <algorithm>
#include <charconv>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "providers/Core/json.hpp"
#include "providers/Core/list_model.hpp"

namespace Ombrix::Core {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, const TypeInfo*> by_name;
    std::unordered_map<std::type_index, const TypeInfo*> by_type;
};

Registry& registry() {
    static Registry* instance = new Registry();  // immortal: types outlive every static destructor
    return *instance;
}

}  // namespace

namespace detail {

std::optional<long double> numeric_reading(const Value& value) {
    switch (value.type()) {
        case ValueType::Char:
        case ValueType::Int:
        case ValueType::Long:
        case ValueType::Int64: return static_cast<long double>(value.get_int64());
        case ValueType::UChar:
        case ValueType::UInt:
        case ValueType::ULong:
        case ValueType::UInt64: return static_cast<long double>(value.get_uint64());
        case ValueType::Float:
        case ValueType::Double: return static_cast<long double>(value.get_double());
        default: return std::nullopt;
    }
}

Value numeric_value(ValueType kind, long double number) {
    switch (kind) {
        case ValueType::UChar:
        case ValueType::UInt:
        case ValueType::ULong:
        case ValueType::UInt64: return Value::from_uint64(static_cast<std::uint64_t>(number));
        case ValueType::Float:
        case ValueType::Double: return Value::from_double(static_cast<double>(number));
        default: return Value::from_int64(static_cast<std::int64_t>(number));
    }
}

void warn_refused_value(const Object& object, const std::string& name, const Value& value) {
    std::string shown = "?";
    if (const auto number = numeric_reading(value)) {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *number);
        if (ec == std::errc()) shown.assign(buffer, end);
    }
    g_log("Ombrix", G_LOG_LEVEL_WARNING,
          "%s: value %s of type '%s' is invalid or out of range for property '%s' of object class '%s'", G_STRLOC, shown.c_str(), value.type_name().c_str(), name.c_str(), object.type_name().c_str());
}

}  // namespace detail

TypeInfo::TypeInfo(std::string name, const TypeInfo* parent, std::type_index cpp_type)
    : m_name(std::move(name)), m_parent(parent), m_cpp_type(cpp_type) {}

void TypeInfo::register_type(TypeInfo* info) {
    if (info->m_parent) info->m_all = info->m_parent->m_all;
    for (const auto& own : info->m_own) {
        // A class may re-declare a parent's property (an override): the child's entry takes its place.
        auto same = std::find_if(info->m_all.begin(), info->m_all.end(),
                                 [&](const PropertySpec* p) { return p->name == own->name; });
        if (same != info->m_all.end())
            *same = own.get();
        else
            info->m_all.push_back(own.get());
    }
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.by_name.emplace(info->m_name, info);
    reg.by_type.emplace(info->m_cpp_type, info);
}

bool TypeInfo::is_a(const TypeInfo& other) const noexcept {
    for (const TypeInfo* t = this; t; t = t->m_parent)
        if (t == &other) return true;
    return false;
}

const PropertySpec* TypeInfo::find_property(std::string_view name) const noexcept {
    for (const PropertySpec* p : m_all)
        if (p->name == name) return p;
    return nullptr;
}

std::shared_ptr<Object> TypeInfo::create() const {
    if (!m_factory) return nullptr;
    return m_factory();
}

std::shared_ptr<Object> TypeInfo::create(const std::vector<std::pair<std::string, Value>>& properties) const {
    auto object = create();
    if (!object) return nullptr;
    for (const auto& [name, value] : properties) {
        const PropertySpec* property = find_property(name);
        if (property && property->setter) property->setter(*object, value);
    }
    return object;
}

const TypeInfo* TypeInfo::lookup(std::string_view name) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.by_name.find(std::string(name));
    return it == reg.by_name.end() ? nullptr : it->second;
}

const TypeInfo* TypeInfo::lookup(std::type_index type) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.by_type.find(type);
    return it == reg.by_type.end() ? nullptr : it->second;
}

struct Object::Extras {
    // Held by every emission and by connect_notify/disconnect_notify.
    std::recursive_mutex emitting;
    NotifySignal notify;
    std::vector<std::pair<std::string, Value>> data;
};

Object::Object() = default;

Object::~Object() = default;

Object::NotifySignal& Object::signal_notify() {
    if (!m_extras) {
        m_extras = std::make_unique<Extras>();
        extras_attached();
    }
    return m_extras->notify;
}

sigc::connection Object::connect_notify(NotifySignal::slot_type handler) {
    auto& signal = signal_notify();
    std::lock_guard lock(m_extras->emitting);
    return signal.connect(std::move(handler));
}

void Object::disconnect_notify(sigc::connection& connection) {
    if (!m_extras) return;
    std::lock_guard lock(m_extras->emitting);
    connection.disconnect();
}

void Object::emit_notify(std::string_view property_name) {
    std::lock_guard lock(m_extras->emitting);
    m_extras->notify.emit(property_name);
}

const TypeInfo& Object::static_type() {
    static const TypeInfo& info = TypeInfo::define<Object, Object>("GObject").abstract().build();
    return info;
}

Value Object::get_property(std::string_view name) const {
    const PropertySpec* property = type_info().find_property(name);
    if (!property || !property->readable()) {
        g_log("Ombrix", G_LOG_LEVEL_WARNING, "%s: object class '%s' has no readable property named '%.*s'",
              G_STRLOC, type_name().c_str(), static_cast<int>(name.size()), name.data());
        return {};
    }
    return property->getter(*this);
}

bool Object::set_property(std::string_view name, const Value& value) {
    const PropertySpec* property = type_info().find_property(name);
    if (!property || !property->writable() || property->construct_only()) {
        g_log("Ombrix", G_LOG_LEVEL_WARNING, "%s: object class '%s' has no writable property named '%.*s'",
              G_STRLOC, type_name().c_str(), static_cast<int>(name.size()), name.data());
        return false;
    }
    property->setter(*this, value);
    return true;
}

void Object::set_data(std::string_view key, Value value) {
    if (!m_extras) {
        if (!value.is_valid()) return;
        m_extras = std::make_unique<Extras>();
        extras_attached();
    }
    auto& data = m_extras->data;
    auto it = std::find_if(data.begin(), data.end(), [&](const auto& slot) { return slot.first == key; });
    if (!value.is_valid()) {
        if (it != data.end()) data.erase(it);
        return;
    }
    if (it != data.end())
        it->second = std::move(value);
    else
        data.emplace_back(std::string(key), std::move(value));
}

const Value* Object::get_data(std::string_view key) const {
    if (!m_extras) return nullptr;
    for (const auto& slot : m_extras->data)
        if (slot.first == key) return &slot.second;
    return nullptr;
}

std::optional<nlohmann::ordered_json> Object::serialize_property(const PropertySpec& property) const {
    return Json::serialize_value(*this, property);
}

bool Object::deserialize_property(const PropertySpec& property, const nlohmann::ordered_json& node) {
    return Json::deserialize_value(*this, property, node);
}

}  // namespace Ombrix::Core

namespace Ombrix::Core {

const TypeInfo& ListModelBase::static_type() {
    static const TypeInfo& info = TypeInfo::define<ListModelBase, Object>("GListModel").abstract().build();
    return info;
}

}  // namespace Ombrix::Core
