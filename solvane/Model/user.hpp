/// @file User accounts and their grants.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A user account: `privileges` maps an object to its granted rights, `relations` role memberships to "true"/"false".
class OMBRIX_SOLVANE_EXPORT MetaUser final : public MetaObject {
public:
    static std::shared_ptr<MetaUser> create();
    /// `name`, `schema`, `database` and `typename` = `kind` set.
    static std::shared_ptr<MetaUser> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name, std::string_view kind);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::USER; }

    const std::string& get_typename() const { return m_typename; }
    void set_typename(std::string_view value);
    const std::string& get_default_schema() const { return m_default_schema; }
    void set_default_schema(std::string_view value);
    const std::string& get_password() const { return m_password; }
    void set_password(std::string_view value);
    const Core::StringMap& get_relations() const { return m_relations; }
    void set_relations(Core::StringMap value);
    const Core::StringMap& get_privileges() const { return m_privileges; }
    void set_privileges(Core::StringMap value);

private:
    MetaUser() = default;
    std::string m_typename;
    std::string m_default_schema;
    std::string m_password;
    Core::StringMap m_relations;
    Core::StringMap m_privileges;
};

}  // namespace Ombrix::Solvane::MetaModel
