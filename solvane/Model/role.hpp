/// @file Roles and their grants.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A role: `privileges` maps an object to its granted rights, `relations` memberships to "true"/"false".
class OMBRIX_SOLVANE_EXPORT MetaRole final : public MetaObject {
public:
    static std::shared_ptr<MetaRole> create();
    /// `name`, `schema`, `database` and `typename` = `role_type` set.
    static std::shared_ptr<MetaRole> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name, std::string_view role_type);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::ROLE; }

    const std::string& get_typename() const { return m_typename; }
    void set_typename(std::string_view value);
    const std::string& get_password() const { return m_password; }
    void set_password(std::string_view value);
    const Core::StringMap& get_relations() const { return m_relations; }
    void set_relations(Core::StringMap value);
    const Core::StringMap& get_privileges() const { return m_privileges; }
    void set_privileges(Core::StringMap value);

private:
    MetaRole() = default;
    std::string m_typename;
    std::string m_password;
    Core::StringMap m_relations;
    Core::StringMap m_privileges;
};

}  // namespace Ombrix::Solvane::MetaModel
