/// @file Structure and data comparison: marks what differs between two models with its edit state.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/model_dataset.hpp"
#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

using Providers::Contracts::DataVersion;

/// Compares two meta models or two data models and builds a patched model of what differs.
///
/// Every comparison returns IDENTICAL when the two sides are equal, UPDATE when they differ, and
/// INITIAL (0), with a critical, when an argument is null. Equality is decided on the JSON form of
/// the two objects with every `version` member left out: an edit state is not structure, and the
/// comparison itself overwrites the states of the objects it compares.
///
/// Meta models: members are matched by exact, case-sensitive name. A patched container is new, but
/// the members placed into it are the very objects of the two inputs, with their `version`
/// overwritten; reload or clone the inputs before comparing them again for something else.
///
/// The `strict` flag: when false, the second object's database and schema names are read as the
/// first's before comparing (so objects of differently named databases or schemas can compare equal);
/// a name is replaced only in the JSON values (never in member names) and only where it stands as a
/// whole identifier, never inside a longer one. When true, the texts are compared as they are.
///
/// Data models: rows and tables are matched by position.
///
/// Not thread-aware: the objects compared must not be used from another thread meanwhile.
class OMBRIX_SOLVANE_EXPORT Patcher final : public Core::Object {
public:
    /// The data slot of each value of a patched row: the value's own edit state (1 or 8), as an int.
    static constexpr std::string_view VERSION = "VERSION";

    OMBRIX_CREATABLE_OBJECT(Patcher, Core::Object);

    /// What turns `target` into a copy of `source`: schemas only in `source` are marked INSERT,
    /// those only in `target` DELETE, and each differing pair gives its patched schema marked UPDATE;
    /// identical schemas are left out. `patched` (when given) receives a database named after the
    /// target, or null when the two are identical.
    DataVersion diff_meta_database(const std::shared_ptr<MetaModel::MetaDatabase>& source,
                                   const std::shared_ptr<MetaModel::MetaDatabase>& target, bool strict,
                                   std::shared_ptr<MetaModel::MetaDatabase>* patched = nullptr) const;

    /// What turns `target` into a copy of `source`, part by part (events, functions, tables, views):
    /// objects only in `source` are marked INSERT, those only in `target` DELETE, those in both
    /// IDENTICAL or UPDATE; a changed table is represented by its patched table (see
    /// `diff_meta_table`, called with the target's table as its source). Procedures and materialized views are
    /// not compared. `patched` receives a schema named after the target, or null when identical.
    DataVersion diff_meta_schema(const std::shared_ptr<MetaModel::MetaSchema>& source,
                                 const std::shared_ptr<MetaModel::MetaSchema>& target, bool strict,
                                 std::shared_ptr<MetaModel::MetaSchema>* patched = nullptr) const;

    /// What turns the table `source` into the table `target`: members only in `target` are marked
    /// INSERT, those only in `source` DELETE, equal ones IDENTICAL (the source's object), changed
    /// ones UPDATE (the target's object); options take the target's values, and a changed comment
    /// becomes the option "COMMENT"; the attribute MetaTable::PREVIOUS_PRIMARY_KEY names the source's
    /// primary key. `patched` receives a table named after `target`, marked UPDATE, or null when identical.
    DataVersion diff_meta_table(const std::shared_ptr<MetaModel::MetaTable>& source,
                                const std::shared_ptr<MetaModel::MetaTable>& target, bool strict,
                                std::shared_ptr<MetaModel::MetaTable>* patched = nullptr) const;

    /// Whole-object comparisons; `patched` (when given) is always set to null.
    DataVersion diff_meta_view(const std::shared_ptr<MetaModel::MetaView>& source,
                               const std::shared_ptr<MetaModel::MetaView>& target, bool strict,
                               std::shared_ptr<MetaModel::MetaView>* patched = nullptr) const;
    DataVersion diff_meta_function(const std::shared_ptr<MetaModel::MetaFunction>& source,
                                   const std::shared_ptr<MetaModel::MetaFunction>& target, bool strict,
                                   std::shared_ptr<MetaModel::MetaFunction>* patched = nullptr) const;
    DataVersion diff_meta_event(const std::shared_ptr<MetaModel::MetaEvent>& source,
                                const std::shared_ptr<MetaModel::MetaEvent>& target, bool strict,
                                std::shared_ptr<MetaModel::MetaEvent>* patched = nullptr) const;

    /// Table i of `source` against table i of `target`; each differing pair adds its patched table.
    /// Target tables past the source's count are ignored; a source table without a counterpart is
    /// compared with an empty table (all its rows marked DELETE).
    DataVersion diff_data_set(const std::shared_ptr<Providers::Contracts::DataSetModel>& source,
                              const std::shared_ptr<Providers::Contracts::DataSetModel>& target,
                              std::shared_ptr<Providers::Contracts::DataSetModel>* patched = nullptr) const;

    /// Row i of `source` against row i of `target`; each differing pair adds its patched row, marked
    /// UPDATE. Target rows past the source's count are ignored; a source row without a counterpart is
    /// added as a row of the source's values marked DELETE. The patched table carries the target's
    /// columns (the source's when the target has none).
    DataVersion diff_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& source,
                                const std::shared_ptr<Providers::Contracts::TableModel>& target,
                                std::shared_ptr<Providers::Contracts::TableModel>* patched = nullptr) const;

    /// The patched row holds the target's own value objects in order, each with its "VERSION" data
    /// slot set: IDENTICAL when the source's value at that position has the same class and content,
    /// UPDATE otherwise.
    DataVersion diff_data_row(const std::shared_ptr<Providers::Contracts::RowModel>& source,
                              const std::shared_ptr<Providers::Contracts::RowModel>& target,
                              std::shared_ptr<Providers::Contracts::RowModel>* patched = nullptr) const;

    /// The "VERSION" slot of a value of a patched row; INITIAL when it carries none.
    static DataVersion value_version(const Core::Object& value);

    /// Compares two stored meta models given as JSON texts, as a user compares an old and a new file:
    /// the result describes what turns `left` into `right`. Both texts must hold the same kind of
    /// object: databases, schemas, tables, views, routines or events, told by their "class" member or
    /// by their shape. Edit states stored in the texts are ignored.
    ///
    /// The result is the pretty-printed patched model with a leading "class" member; the model itself
    /// is marked UPDATE and every member in it carries its edit state (the members of an added or
    /// dropped object carry the object's). Two identical models give the right-hand model with every
    /// member marked IDENTICAL; views, routines and events give the right-hand object marked with the
    /// result. `strict` as for every comparison: false reads the right-hand database and schema names
    /// as the left-hand ones, true compares them as they stand.
    ///
    /// Errors (domain "JSON"): a text that does not parse, is no meta object, or names a kind
    /// different from the other text's.
    static Core::Result<std::string> diff_json(std::string_view left_text, std::string_view right_text, bool strict);

private:
    Patcher() = default;
};

}  // namespace Ombrix::Solvane::Transform
