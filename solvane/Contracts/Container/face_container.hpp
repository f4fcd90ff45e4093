/// @file The service container contract: process-wide services registered by type and resolved by type.
#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeindex>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Container {

/// The run-time identity of a service key or implementation: its C++ type and what kind of type it is.
/// Interfaces are polymorphic classes outside the object core (tables of virtual operations); object
/// classes derive from Core::Object and have their own registered TypeInfo. Anything else (numbers,
/// strings, plain structs, object classes without their own registration) is neither and is refused
/// as a key.
class OMBRIX_SOLVANE_EXPORT ServiceType {
public:
    template <class T>
    static ServiceType of();
    /// The identity of a registered object class.
    static ServiceType of(const Core::TypeInfo& info);

    std::type_index type() const noexcept { return m_type; }
    bool is_interface() const noexcept { return m_kind == Kind::Interface; }
    bool is_object() const noexcept { return m_kind == Kind::Object; }
    /// The registered class of an object class; null for every other kind.
    const Core::TypeInfo* object_type() const noexcept { return m_info; }

    /// Whether `instance` is of this type or derives from it (always false for a type that is neither).
    bool accepts(const Core::Object& instance) const;
    /// Whether the object class `value` is this type or derives from it, as far as the registered
    /// classes tell: an object key is checked; an interface key cannot be without an instance, so
    /// this answers true and the container checks the instance it makes.
    bool admits(const ServiceType& value) const;

    bool operator==(const ServiceType& other) const noexcept { return m_type == other.m_type; }

private:
    enum class Kind { Other, Interface, Object };
    using Check = bool (*)(const Core::Object&);

    ServiceType(std::type_index type, Kind kind, const Core::TypeInfo* info, Check check) noexcept
        : m_type(type), m_kind(kind), m_info(info), m_check(check) {}

    std::type_index m_type;
    Kind m_kind;
    const Core::TypeInfo* m_info;
    Check m_check;  // interfaces only: a cast test generated where the C++ type is known
};

/// Holds services by key type: instances, implementation classes and factories, and resolves them
/// into singletons. Every operation first checks that the key is an interface or an object class;
/// a refused key writes a GLib critical and the operation does nothing.
class OMBRIX_SOLVANE_EXPORT IContainer {
public:
    /// Makes a new service object; the container owns what it returns.
    using Factory = std::function<std::shared_ptr<Core::Object>(IContainer& container)>;

    virtual ~IContainer() = default;

    /// True when `type` is a key of a registered instance, factory or implementation class.
    virtual bool has(const ServiceType& type) const = 0;
    /// Stores `instance` under `key_type`, replacing an earlier one; it must be of that type.
    virtual void register_instance(const ServiceType& key_type, std::shared_ptr<Core::Object> instance) = 0;
    /// Makes `value_type` (an object class that is or derives from `key_type`) stand behind `key_type`.
    virtual void register_type(const ServiceType& key_type, const ServiceType& value_type) = 0;
    /// Resolves `key_type` by calling `factory` once.
    virtual void register_factory(const ServiceType& key_type, Factory factory) = 0;
    /// The singleton for `type`: registered, made by its factory, or constructed with its registered
    /// class (or with `type` itself when it is an object class) with its construct properties injected.
    /// Null when nothing can stand behind `type` (an interface nobody registered, an abstract class).
    virtual std::shared_ptr<Core::Object> resolve(const ServiceType& type) = 0;

    template <class K>
    bool has() const {
        return has(ServiceType::of<K>());
    }
    /// Stores `instance` under `K`; a null or non-object instance is refused.
    template <class K, class V>
        requires std::derived_from<V, K> || std::same_as<V, K>
    void register_instance(std::shared_ptr<V> instance) {
        register_instance(ServiceType::of<K>(), std::dynamic_pointer_cast<Core::Object>(std::move(instance)));
    }
    template <class K, class V>
        requires std::derived_from<V, K> || std::same_as<V, K>
    void register_type() {
        register_type(ServiceType::of<K>(), ServiceType::of<V>());
    }
    /// `factory(container)` returns a std::shared_ptr to a `K` that is an object.
    template <class K, class F>
    void register_factory(F factory) {
        register_factory(ServiceType::of<K>(), [factory = std::move(factory)](IContainer& container) {
            return std::dynamic_pointer_cast<Core::Object>(std::invoke(factory, container));
        });
    }
    template <class T>
    std::shared_ptr<T> resolve() {
        return std::dynamic_pointer_cast<T>(resolve(ServiceType::of<T>()));
    }
};

template <class T>
ServiceType ServiceType::of() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_base_of_v<Core::Object, U>) {
        if constexpr (Core::HasStaticType<U>) {
            // A subclass that did not register itself inherits its parent's static_type(): not a key.
            const Core::TypeInfo& info = U::static_type();
            if (info.cpp_type() == std::type_index(typeid(U))) return of(info);
        }
        return ServiceType(typeid(U), Kind::Other, nullptr, nullptr);
    } else if constexpr (std::is_class_v<U> && std::is_polymorphic_v<U>) {
        return ServiceType(typeid(U), Kind::Interface, nullptr,
                           [](const Core::Object& instance) { return dynamic_cast<const U*>(&instance) != nullptr; });
    } else {
        return ServiceType(typeid(U), Kind::Other, nullptr, nullptr);
    }
}

}  // namespace Ombrix::Solvane::Contracts::Container
