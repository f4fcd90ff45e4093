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
    /// `name`, `schema`, `database` and `typename` = `kind` set.
    static std::shared_ptr<MetaUser> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name, std::string_view kind);

    OMBRIX_CREATABLE_OBJECT(MetaUser, MetaObject);

    DBObject character() const override { return DBObject::USER; }

    OMBRIX_PROPERTY(std::string, typename, "");
    OMBRIX_PROPERTY(std::string, default_schema, "");
    OMBRIX_PROPERTY(std::string, password, "");
    OMBRIX_PROPERTY(Core::StringMap, relations, Core::StringMap{});
    OMBRIX_PROPERTY(Core::StringMap, privileges, Core::StringMap{});

private:
    MetaUser() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
