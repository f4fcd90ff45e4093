#include "solvane/Foundation/services.hpp"

#include "solvane/Foundation/container.hpp"

namespace Ombrix::Solvane::Foundation {

namespace {

Container& process_container() {
    // Never destroyed: services are resolved until the very end, static destructors included. The
    // holder stays reachable from this static, so a leak checker sees it kept on purpose.
    static const std::shared_ptr<Container>* const holder = new std::shared_ptr<Container>(Container::create());
    return **holder;
}

}  // namespace

void Services::initialize() { (void)process_container(); }

Contracts::Container::IContainer& Services::container() { return process_container(); }

void Services::register_instance(const ServiceType& key_type, std::shared_ptr<Core::Object> instance) {
    process_container().register_instance(key_type, std::move(instance));
}

void Services::register_type(const ServiceType& key_type, const ServiceType& value_type) {
    process_container().register_type(key_type, value_type);
}

void Services::register_factory(const ServiceType& key_type, Contracts::Container::IContainer::Factory factory) {
    process_container().register_factory(key_type, std::move(factory));
}

std::shared_ptr<Core::Object> Services::get(const ServiceType& type) { return process_container().resolve(type); }

}  // namespace Ombrix::Solvane::Foundation
