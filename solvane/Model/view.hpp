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
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaView> with_names(std::string_view database, std::string_view schema,
                                                std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaView, MetaObject);

    /// The base clone (which derives the columns from the definition again), then the source's own
    /// columns cloned into the copy, so columns the caller put there by hand survive too.
    std::shared_ptr<MetaObject> clone() const override;
    DBObject character() const override { return DBObject::VIEW; }

    /// Reads "columns" back from a stored view as they were stored.
    bool deserialize_property(const Core::PropertySpec& property, const Core::Json::Node& node) override;

    /// Stores the text and derives `columns` from its select list: each item gives a column named by
    /// its alias (or its text) with `raw-type` = its expression. A text without a select list
    /// (no SELECT ... FROM) leaves the columns as they are.
    OMBRIX_PROPERTY_SETTER(std::string, definition, "");
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<MetaColumnList>, columns, nullptr);
    /// The output columns (the list is the view's own; the property is read-only).
    const std::shared_ptr<MetaColumnList>& get_columns() const { return m_columns; }

protected:
    MetaView();

private:
    std::shared_ptr<MetaColumnList> m_columns;
};

using MetaViewList = Core::ListModel<MetaView>;

/// A materialized view.
class OMBRIX_SOLVANE_EXPORT Materialized final : public MetaView {
public:
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<Materialized> with_names(std::string_view database, std::string_view schema,
                                                    std::string_view name);

    OMBRIX_CREATABLE_OBJECT(Materialized, MetaView);

    OMBRIX_PROPERTY(std::string, table_space, "");
    OMBRIX_PROPERTY(std::string, definer, "");
    OMBRIX_PROPERTY(std::string, fill_factor, "");
    OMBRIX_PROPERTY(bool, with_data, true);

private:
    Materialized() = default;
};

using MaterializedList = Core::ListModel<Materialized>;

}  // namespace Ombrix::Solvane::MetaModel
