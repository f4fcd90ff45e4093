/// @file The service container: registrations by key type, singletons and construct-property injection.
#pragma once

#include <memory>
#include <mutex>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Container/face_container.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Foundation {

/// The container behind `Services`: every resolved key becomes a singleton owned by the container.
/// Unlike a plain registry it takes a lock, so a worker thread resolving a service for the first
/// time cannot race another one over the maps or make a second singleton.
class OMBRIX_SOLVANE_EXPORT Container final : public Core::Object, public Contracts::Container::IContainer {
public:
    using ServiceType = Contracts::Container::ServiceType;


    OMBRIX_CREATABLE_OBJECT(Container, Core::Object);

    using IContainer::has;
    using IContainer::register_factory;
    using IContainer::register_instance;
    using IContainer::register_type;
    using IContainer::resolve;

    bool has(const ServiceType& type) const override;
    void register_instance(const ServiceType& key_type, std::shared_ptr<Core::Object> instance) override;
    void register_type(const ServiceType& key_type, const ServiceType& value_type) override;
    void register_factory(const ServiceType& key_type, Factory factory) override;
    /// In order: a stored instance; the factory's object; a new object of the registered class (or
    /// of `type` itself), whose construct properties typed by a registered key receive that key's
    /// service. A construct property whose type is no key keeps its default. A dependency cycle
    /// leaves the property that closes it at its default, with a GLib warning.
    std::shared_ptr<Core::Object> resolve(const ServiceType& type) override;

private:
    Container() = default;

    std::shared_ptr<Core::Object> resolve_locked(const ServiceType& type);
    /// A new object for `type` from its factory or class; the caller caches it.
    std::shared_ptr<Core::Object> make(const ServiceType& type);

    mutable std::recursive_mutex m_mutex;  // recursive: factories and injection resolve from inside resolve
    std::unordered_map<std::type_index, std::shared_ptr<Core::Object>> m_instances;
    std::unordered_map<std::type_index, std::pair<ServiceType, ServiceType>> m_types;  // key -> (key, class)
    std::unordered_map<std::type_index, std::pair<ServiceType, Factory>> m_factories;
    std::vector<std::type_index> m_resolving;  // keys being made, innermost last
};

}  // namespace Ombrix::Solvane::Foundation
