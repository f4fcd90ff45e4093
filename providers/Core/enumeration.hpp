/// @file Registered enumerations and flag sets: a type name, and per member its number, value name and nick.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "providers/providers_export.h"

namespace Ombrix::Core {

/// One member of a registered enumeration.
struct EnumMember {
    std::int64_t value = 0;
    std::string name;  ///< the value name: the type's prefix and the member ("OMBRIX_..._DB_STATUS_OPENED")
    std::string nick;  ///< the member in lower case with '-' for '_' ("opened")
};

/// What the type system knows of an enumeration: looked up by its registered name or C++ type,
/// a member found by number, value name or nick. Records are registered once and never freed,
/// so references and the texts they hold stay valid for the life of the process.
class OMBRIX_PROVIDERS_EXPORT EnumInfo {
public:
    /// Registers the enumeration `E` under `name`. Each member is given by its number and its
    /// member name ("FOREIGNKEY_ACTION", or its nick "foreignkey-action"); the value name is
    /// `value_prefix` followed by the member in upper case with '_' for '-', the nick the member in
    /// lower case with '-' for '_'. A second definition of a registered name returns the first record.
    template <class E>
        requires std::is_enum_v<E>
    static const EnumInfo& define(std::string name, std::string_view value_prefix,
                                  const std::vector<std::pair<E, std::string_view>>& members, bool flags = false) {
        std::vector<EnumMember> out;
        out.reserve(members.size());
        for (const auto& [value, member] : members)
            out.push_back(make_member(static_cast<std::int64_t>(value), value_prefix, member));
        return register_enum(std::move(name), typeid(E), flags, std::move(out));
    }

    const std::string& name() const noexcept { return m_name; }
    /// True for a flag set, whose members are bits that combine.
    bool is_flags() const noexcept { return m_flags; }
    /// The members in declaration order.
    const std::vector<EnumMember>& members() const noexcept { return m_members; }

    /// The member of that number, value name or nick; null when there is none.
    const EnumMember* find(std::int64_t value) const noexcept;
    const EnumMember* find_by_name(std::string_view name) const noexcept;
    const EnumMember* find_by_nick(std::string_view nick) const noexcept;

    /// The registered enumeration of that name, or null.
    static const EnumInfo* lookup(std::string_view name);
    /// The registered enumeration of that C++ type, or null.
    static const EnumInfo* lookup(std::type_index type);
    template <class E>
    static const EnumInfo* of() {
        return lookup(typeid(E));
    }

private:
    EnumInfo(std::string name, bool flags, std::vector<EnumMember> members);
    static EnumMember make_member(std::int64_t value, std::string_view value_prefix, std::string_view member);
    static const EnumInfo& register_enum(std::string name, std::type_index type, bool flags,
                                         std::vector<EnumMember> members);

    std::string m_name;
    bool m_flags = false;
    std::vector<EnumMember> m_members;
};

}  // namespace Ombrix::Core

/// Registers an enumeration at library load, so it can be looked up by name before first use.
/// `definition` is an expression giving `const Core::EnumInfo&` (usually `EnumInfo::define<E>(...)`).
#define OMBRIX_REGISTER_ENUM(Tag, definition) \
    [[maybe_unused]] static const ::Ombrix::Core::EnumInfo& ombrix_registered_enum_##Tag = (definition)
