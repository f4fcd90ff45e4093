#include "solvane/Foundation/container.hpp"

#include <glib.h>

#include <algorithm>

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Foundation {

namespace {

// The texts of the checks, as the critical names them.
constexpr const char* kTypeIsKey = "type.is_interface () || type.is_object ()";
constexpr const char* kKeyTypeIsKey = "key_type.is_interface () || key_type.is_object ()";

// make() runs beneath resolve(); its criticals name the public function.
constexpr const char* kResolve = "Ombrix::Solvane::Foundation::Container::resolve";

bool is_key(const Contracts::Container::ServiceType& type) { return type.is_interface() || type.is_object(); }

}  // namespace

OMBRIX_DEFINE_TYPE(Container, "OmbrixSolvaneFoundationContainer");

bool Container::has(const ServiceType& type) const {
    if (!is_key(type)) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, kTypeIsKey);
        return false;
    }
    std::lock_guard lock(m_mutex);
    const auto key = type.type();
    return m_instances.contains(key) || m_factories.contains(key) || m_types.contains(key);
}

void Container::register_instance(const ServiceType& key_type, std::shared_ptr<Core::Object> instance) {
    if (!is_key(key_type)) return Core::detail::assertion_failed(__PRETTY_FUNCTION__, kKeyTypeIsKey);
    OMBRIX_RETURN_IF_NULL(instance);
    if (!key_type.accepts(*instance))
        return Core::detail::assertion_failed(__PRETTY_FUNCTION__, "instance.get_type ().is_a (key_type)");
    std::lock_guard lock(m_mutex);
    m_instances.insert_or_assign(key_type.type(), std::move(instance));
}

void Container::register_type(const ServiceType& key_type, const ServiceType& value_type) {
    if (!is_key(key_type)) return Core::detail::assertion_failed(__PRETTY_FUNCTION__, kKeyTypeIsKey);
    if (!value_type.is_object()) return Core::detail::assertion_failed(__PRETTY_FUNCTION__, "value_type.is_object ()");
    if (!key_type.admits(value_type))
        return Core::detail::assertion_failed(__PRETTY_FUNCTION__, "value_type.is_a (key_type)");
    std::lock_guard lock(m_mutex);
    m_types.insert_or_assign(key_type.type(), std::make_pair(key_type, value_type));
}

void Container::register_factory(const ServiceType& key_type, Factory factory) {
    if (!is_key(key_type)) return Core::detail::assertion_failed(__PRETTY_FUNCTION__, kKeyTypeIsKey);
    // An empty function would throw when called; refuse it here, where the mistake is made.
    OMBRIX_RETURN_IF_NULL(factory);
    std::lock_guard lock(m_mutex);
    m_factories.insert_or_assign(key_type.type(), std::make_pair(key_type, std::move(factory)));
}

std::shared_ptr<Core::Object> Container::resolve(const ServiceType& type) {
    if (!is_key(type)) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, kTypeIsKey);
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    return resolve_locked(type);
}

std::shared_ptr<Core::Object> Container::resolve_locked(const ServiceType& type) {
    const auto key = type.type();
    if (auto it = m_instances.find(key); it != m_instances.end()) return it->second;

    // A factory or a construct property that needs the service being made would recurse forever.
    if (std::find(m_resolving.begin(), m_resolving.end(), key) != m_resolving.end()) {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "%s: dependency cycle while resolving %s", G_STRLOC,
              type.object_type() ? type.object_type()->name().c_str() : key.name());
        return nullptr;
    }
    struct Resolving {  // pops the key however make() leaves, a throwing factory included
        std::vector<std::type_index>& keys;
        ~Resolving() { keys.pop_back(); }
    };
    m_resolving.push_back(key);
    const Resolving guard{m_resolving};
    auto object = make(type);
    if (!object) return nullptr;  // not cached: a later resolution tries again
    return m_instances.insert_or_assign(key, std::move(object)).first->second;
}

std::shared_ptr<Core::Object> Container::make(const ServiceType& type) {
    const auto key = type.type();
    if (auto it = m_factories.find(key); it != m_factories.end()) {
        // Copied: the factory may register more factories while it runs.
        const Factory factory = it->second.second;
        auto object = factory(*this);
        if (object && !type.accepts(*object)) {
            Core::detail::assertion_failed(kResolve, "instance.get_type ().is_a (key_type)");
            return nullptr;
        }
        return object;
    }

    const auto registered = m_types.find(key);
    const ServiceType impl = registered != m_types.end() ? registered->second.second : type;
    if (!impl.is_object()) return nullptr;  // an interface nobody registered

    std::vector<std::pair<std::string, Core::Value>> injected;
    for (const Core::PropertySpec* property : impl.object_type()->properties()) {
        if (!property->construct()) continue;
        const auto dependency = property->value_class;
        std::shared_ptr<Core::Object> value;
        if (auto i = m_instances.find(dependency); i != m_instances.end()) {
            value = i->second;
        } else if (auto f = m_factories.find(dependency); f != m_factories.end()) {
            const ServiceType dependency_key = f->second.first;
            value = resolve_locked(dependency_key);
        } else if (auto t = m_types.find(dependency); t != m_types.end()) {
            const ServiceType dependency_key = t->second.first;
            value = resolve_locked(dependency_key);
        }
        if (value) injected.emplace_back(property->name, Core::Value::from_object(std::move(value)));
    }

    auto object = impl.object_type()->create(injected);
    if (object && !type.accepts(*object)) {
        Core::detail::assertion_failed(kResolve, "value_type.is_a (key_type)");
        return nullptr;
    }
    return object;  // null for an abstract class
}

}  // namespace Ombrix::Solvane::Foundation
