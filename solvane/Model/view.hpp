/// @file Views and materialized views, with the output columns read from their definition.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/column.hpp"
#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A view: its SELECT text and the output columns found in its select list.
class OMBRIX_SOLVANE_EXPORT MetaView : public MetaObject {
public:
    static std::shared_ptr<MetaView> create();
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaView> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// The base clone (which derives the columns from the definition again), then the source's own
    /// columns cloned into the copy, so columns the caller put there by hand survive too.
    std::shared_ptr<MetaObject> clone() const override;
    DBObject character() const override { return DBObject::VIEW; }

    /// Reads "columns" back from a stored view as they were stored.
    bool deserialize_property(const Core::PropertySpec& property, const Core::Json::Node& node) override;

    const std::string& get_definition() const { return m_definition; }
    /// Stores the text and derives `columns` from its select list: each item gives a column named by
    /// its alias (or its text) with `raw-type` = its expression. A text without a select list
    /// (no SELECT ... FROM) leaves the columns as they are.
    void set_definition(std::string_view definition);
    /// The output columns (the list is the view's own; the property is read-only).
    const std::shared_ptr<MetaColumnList>& get_columns() const { return m_columns; }

protected:
    MetaView();

private:
    std::string m_definition;
    std::shared_ptr<MetaColumnList> m_columns;
};

using MetaViewList = Core::ListModel<MetaView>;

/// A materialized view.
class OMBRIX_SOLVANE_EXPORT Materialized final : public MetaView {
public:
    static std::shared_ptr<Materialized> create();
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<Materialized> with_names(std::string_view database, std::string_view schema,
                                                    std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::string& get_table_space() const { return m_table_space; }
    void set_table_space(std::string_view value);
    const std::string& get_definer() const { return m_definer; }
    void set_definer(std::string_view value);
    const std::string& get_fill_factor() const { return m_fill_factor; }
    void set_fill_factor(std::string_view value);
    bool get_with_data() const { return m_with_data; }
    void set_with_data(bool value);

private:
    Materialized() = default;
    std::string m_table_space;
    std::string m_definer;
    std::string m_fill_factor;
    bool m_with_data = true;
};

using MaterializedList = Core::ListModel<Materialized>;

}  // namespace Ombrix::Solvane::MetaModel
