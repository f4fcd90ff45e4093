/// @file The process-wide service container the library resolves its services from.
#pragma once

#include <memory>

#include "solvane/Contracts/Container/face_container.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Foundation {

/// Static facade over one process-wide container, which lives until the process ends. The host
/// registers its implementations at start-up; code inside the library only resolves.
class OMBRIX_SOLVANE_EXPORT Services {
public:
    using ServiceType = Contracts::Container::ServiceType;

    Services() = delete;

    /// Creates the process-wide container when it does not exist yet; a second call changes nothing.
    /// The other members create it on first use too, so nothing breaks when a host forgets this call.
    static void initialize();
    /// The process-wide container.
    static Contracts::Container::IContainer& container();

    static void register_instance(const ServiceType& key_type, std::shared_ptr<Core::Object> instance);
    static void register_type(const ServiceType& key_type, const ServiceType& value_type);
    static void register_factory(const ServiceType& key_type, Contracts::Container::IContainer::Factory factory);
    /// The container's resolution of `type`; null when nothing can stand behind it.
    static std::shared_ptr<Core::Object> get(const ServiceType& type);

    template <class K, class V>
    static void register_instance(std::shared_ptr<V> instance) {
        container().register_instance<K>(std::move(instance));
    }
    template <class K, class V>
    static void register_type() {
        container().register_type<K, V>();
    }
    template <class K, class F>
    static void register_factory(F factory) {
        container().register_factory<K>(std::move(factory));
    }
    template <class T>
    static std::shared_ptr<T> get() {
        return container().resolve<T>();
    }
};

}  // namespace Ombrix::Solvane::Foundation
