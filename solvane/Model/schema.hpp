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

/// One schema and its objects, in six lists.
class OMBRIX_SOLVANE_EXPORT MetaSchema final : public MetaObject {
public:
    static std::shared_ptr<MetaSchema> create();
    /// `name` and `schema` = `schema`, `database` = `database`.
    static std::shared_ptr<MetaSchema> with_names(std::string_view database, std::string_view schema);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// The base clone, then every list of the copy made its own with a clone of each element: a
    /// copy must never share a list with its source, or emptying the copy would empty the source.
    std::shared_ptr<MetaObject> clone() const override;
    /// Empties events, functions, tables and views, then the base reset; procedures and materialized
    /// views stay.
    void reset() override;
    DBObject character() const override { return DBObject::SCHEMA; }

    const std::shared_ptr<MetaEventList>& get_events() const { return m_events; }
    /// A null list is taken as a new empty one (so are the other list setters).
    void set_events(std::shared_ptr<MetaEventList> value);
    const std::shared_ptr<MetaFunctionList>& get_functions() const { return m_functions; }
    void set_functions(std::shared_ptr<MetaFunctionList> value);
    const std::shared_ptr<MetaFunctionList>& get_procedures() const { return m_procedures; }
    void set_procedures(std::shared_ptr<MetaFunctionList> value);
    const std::shared_ptr<MetaTableList>& get_tables() const { return m_tables; }
    void set_tables(std::shared_ptr<MetaTableList> value);
    /// The materialized views (the property is "miews").
    const std::shared_ptr<MaterializedList>& get_miews() const { return m_miews; }
    void set_miews(std::shared_ptr<MaterializedList> value);
    const std::shared_ptr<MetaViewList>& get_views() const { return m_views; }
    void set_views(std::shared_ptr<MetaViewList> value);

private:
    MetaSchema();
    std::shared_ptr<MetaEventList> m_events;
    std::shared_ptr<MetaFunctionList> m_functions;
    std::shared_ptr<MetaFunctionList> m_procedures;
    std::shared_ptr<MetaTableList> m_tables;
    std::shared_ptr<MaterializedList> m_miews;
    std::shared_ptr<MetaViewList> m_views;
};

using MetaSchemaList = Core::ListModel<MetaSchema>;

}  // namespace Ombrix::Solvane::MetaModel
