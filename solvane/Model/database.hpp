/// @file Databases: the schemas of one database.
#pragma once

#include <memory>
#include <string_view>

#include "solvane/Model/object.hpp"
#include "solvane/Model/schema.hpp"

namespace Ombrix::Solvane::MetaModel {

/// One database and its schemas (for MariaDB a schema and its database carry the same name).
class OMBRIX_SOLVANE_EXPORT MetaDatabase final : public MetaObject {
public:
    /// `name`, `schema` and `database` all set to `database`.
    static std::shared_ptr<MetaDatabase> with_name(std::string_view database);

    OMBRIX_CREATABLE_OBJECT(MetaDatabase, MetaObject);

    /// The base clone, then a list of its own holding a clone of every schema, in order.
    std::shared_ptr<MetaObject> clone() const override;
    /// Empties `schemas`, then the base reset.
    void reset() override;
    DBObject character() const override { return DBObject::DATABASE; }

    /// The schema named exactly `schema_name` (case-sensitive); when there is none, a new
    /// `MetaSchema::with_names(name, schema_name)` is appended and returned.
    std::shared_ptr<MetaSchema> append(std::string_view schema_name);

    /// A null list is taken as a new empty one.
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaSchemaList>, schemas, nullptr);

private:
    MetaDatabase();
};

}  // namespace Ombrix::Solvane::MetaModel
