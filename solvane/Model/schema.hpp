/// @file Schemas: the events, routines, tables and views of one schema.
#pragma once

#include <memory>
#include <string_view>

#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/object.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"

namespace Ombrix::Solvane::MetaModel {

/// One schema and its objects, in seven lists.
class OMBRIX_SOLVANE_EXPORT MetaSchema final : public MetaObject {
public:
    /// `name` and `schema` = `schema`, `database` = `database`.
    static std::shared_ptr<MetaSchema> with_names(std::string_view database, std::string_view schema);

    OMBRIX_CREATABLE_OBJECT(MetaSchema, MetaObject);

    /// The base clone, then every list of the copy made its own with a clone of each element: a
    /// copy must never share a list with its source, or emptying the copy would empty the source.
    std::shared_ptr<MetaObject> clone() const override;
    /// Empties events, functions, tables and views, then the base reset; procedures and materialized
    /// views stay.
    void reset() override;
    DBObject character() const override { return DBObject::SCHEMA; }

    /// A null list is taken as a new empty one (so are the other list setters).
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaEventList>, events, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaFunctionList>, functions, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaFunctionList>, procedures, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaTableList>, tables, nullptr);
    /// The materialized views (the property is "miews").
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MaterializedList>, miews, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaViewList>, views, nullptr);
    /// The sequences, each a table whose option SEQUENCE is "YES" (see MariaDBBuilder::build_sequence).
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaTableList>, sequences, nullptr);

private:
    MetaSchema();
};

using MetaSchemaList = Core::ListModel<MetaSchema>;

}  // namespace Ombrix::Solvane::MetaModel
