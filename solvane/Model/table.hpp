/// @file Tables: columns, indexes, constraints, rules, triggers and table options.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/Constraints/constraint.hpp"
#include "solvane/Model/Constraints/exclude.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/Constraints/unique.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/object.hpp"
#include "solvane/Model/rule.hpp"
#include "solvane/Model/trigger.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A table with everything that belongs to it. Its lists are its own: a clone copies every element.
class OMBRIX_SOLVANE_EXPORT MetaTable final : public MetaObject {
public:
    /// The attribute by which a table patched from a comparison names the primary key it had, its
    /// columns in key order joined by "," ("" for none): its changed columns hold only the new key.
    static constexpr std::string_view PREVIOUS_PRIMARY_KEY = "PREVIOUS PRIMARY KEY";

    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaTable> with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaTable, MetaObject);

    /// The base clone, then a clone of every constraint, column, index, rule and trigger, in list order.
    std::shared_ptr<MetaObject> clone() const override;
    /// Empties columns, indexes, triggers, constraints, options and rules, then the base reset.
    void reset() override;
    DBObject character() const override { return DBObject::TABLE; }

    /// `constraints` as an array of objects that each carry a "class" member naming the constraint's
    /// class, so the mixed list reads back with the right subclasses.
    std::optional<Core::Json::Node> serialize_property(const Core::PropertySpec& property) const override;
    /// Reads `constraints` by each element's "class" member; only the constraint classes are accepted,
    /// any other element is skipped with a warning.
    bool deserialize_property(const Core::PropertySpec& property, const Core::Json::Node& node) override;

    /// The first column named exactly `name` (case-sensitive), or null.
    std::shared_ptr<MetaColumn> get_column(std::string_view name) const;
    /// The names of the columns that identify a row: the primary key's in key order, else those of
    /// the first unique key whose columns are all NOT NULL (a prefix of a column counts as the
    /// column); empty when there is neither.
    std::vector<std::string> row_key() const;
    /// A new column `name` of `data_type` (no native type), appended to `columns`.
    std::shared_ptr<MetaColumn> new_column(std::string_view name, DataType data_type);
    /// Removes every constraint of the class `kind` selects: FOREIGN, UNIQUE, CHECK or EXCLUDE; any
    /// other kind removes nothing.
    void remove_constraints(DBObject kind);
    /// Empties one part: the constraints of CHECK, EXCLUDE, FOREIGN or UNIQUE, or the columns for
    /// COLUMN; any other kind changes nothing.
    void reset_partial(DBObject kind);

    /// A null list is taken as a new empty one (so are the other list setters).
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaConstraintList>, constraints, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaColumnList>, columns, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaIndexList>, indexes, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaRuleList>, rules, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<MetaTriggerList>, triggers, nullptr);
    /// Table options keyed by their SQL name ("ENGINE", "COMMENT").
    OMBRIX_PROPERTY(Core::StringMap, options, Core::StringMap{});
    /// Sets one option (notifies "options" when the map changed).
    void set_option(const std::string& key, std::string_view value);

private:
    MetaTable();
};

using MetaTableList = Core::ListModel<MetaTable>;

}  // namespace Ombrix::Solvane::MetaModel
