#include "solvane/Contracts/Container/face_container.hpp"

namespace Ombrix::Solvane::Contracts::Container {

ServiceType ServiceType::of(const Core::TypeInfo& info) {
    return ServiceType(info.cpp_type(), Kind::Object, &info, nullptr);
}

bool ServiceType::accepts(const Core::Object& instance) const {
    switch (m_kind) {
        case Kind::Object: return instance.is_a(*m_info);
        case Kind::Interface: return m_check(instance);
        case Kind::Other: break;
    }
    return false;
}

bool ServiceType::admits(const ServiceType& value) const {
    if (!value.is_object()) return false;
    switch (m_kind) {
        case Kind::Object: return value.m_info->is_a(*m_info);
        case Kind::Interface: return true;
        case Kind::Other: break;
    }
    return false;
}

}  // namespace Ombrix::Solvane::Contracts::Container
