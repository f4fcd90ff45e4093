#include "providers/Core/enumeration.hpp"

#include <mutex>
#include <unordered_map>

#include "providers/Core/text.hpp"

namespace Ombrix::Core {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, const EnumInfo*> by_name;
    std::unordered_map<std::type_index, const EnumInfo*> by_type;
};

Registry& registry() {
    // Immortal, like the class registry: lookups may come from static destructors.
    static Registry* instance = new Registry();
    return *instance;
}

}  // namespace

EnumInfo::EnumInfo(std::string name, bool flags, std::vector<EnumMember> members)
    : m_name(std::move(name)), m_flags(flags), m_members(std::move(members)) {}

EnumMember EnumInfo::make_member(std::int64_t value, std::string_view value_prefix, std::string_view member) {
    EnumMember out;
    out.value = value;
    out.name = std::string(value_prefix) + ascii_upper(member);
    for (char& c : out.name)
        if (c == '-') c = '_';
    out.nick = ascii_lower(member);
    for (char& c : out.nick)
        if (c == '_') c = '-';
    return out;
}

const EnumInfo& EnumInfo::register_enum(std::string name, std::type_index type, bool flags,
                                        std::vector<EnumMember> members) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (auto it = reg.by_name.find(name); it != reg.by_name.end()) return *it->second;
    const auto* info = new EnumInfo(std::move(name), flags, std::move(members));
    reg.by_name.emplace(info->m_name, info);
    reg.by_type.emplace(type, info);
    return *info;
}

const EnumMember* EnumInfo::find(std::int64_t value) const noexcept {
    for (const auto& member : m_members)
        if (member.value == value) return &member;
    return nullptr;
}

const EnumMember* EnumInfo::find_by_name(std::string_view name) const noexcept {
    for (const auto& member : m_members)
        if (member.name == name) return &member;
    return nullptr;
}

const EnumMember* EnumInfo::find_by_nick(std::string_view nick) const noexcept {
    for (const auto& member : m_members)
        if (member.nick == nick) return &member;
    return nullptr;
}

const EnumInfo* EnumInfo::lookup(std::string_view name) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.by_name.find(std::string(name));
    return it == reg.by_name.end() ? nullptr : it->second;
}

const EnumInfo* EnumInfo::lookup(std::type_index type) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.by_type.find(type);
    return it == reg.by_type.end() ? nullptr : it->second;
}

}  // namespace Ombrix::Core
