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
    /// `name`, `schema`, `database` and `typename` = `role_type` set.
    static std::shared_ptr<MetaRole> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name, std::string_view role_type);

    OMBRIX_CREATABLE_OBJECT(MetaRole, MetaObject);

    DBObject character() const override { return DBObject::ROLE; }

    OMBRIX_PROPERTY(std::string, typename, "");
    OMBRIX_PROPERTY(std::string, password, "");
    OMBRIX_PROPERTY(Core::StringMap, relations, Core::StringMap{});
    OMBRIX_PROPERTY(Core::StringMap, privileges, Core::StringMap{});

private:
    MetaRole() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
