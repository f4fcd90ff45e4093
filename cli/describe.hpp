/// @file Readable summaries of filled meta objects, for `ombrix describe`.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "context.hpp"
#include "solvane/Model/object.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Supports/Database/adapter.hpp"

namespace Ombrix::Cli {

/// Writes what `object` holds as indented text: a schema lists its tables (with their columns,
/// keys, indexes and triggers), views, routines and events; a table or view its parts; a routine
/// its parameters and body; a user or role its relations and privileges.
void print_summary(std::ostream& out, const Solvane::MetaModel::MetaObject& object);

/// The schema `name` read through `connection`: with every member filled when `recursive`, else
/// its lists of tables, views, routines and events with names only. A failure is a DatabaseFailure.
std::shared_ptr<Solvane::MetaModel::MetaSchema> read_schema(const Connection& connection, const std::string& name,
                                                            bool recursive);

/// A schema read in full, procedures included, with the options of its database.
using SchemaRead = Solvane::Supports::Database::WholeSchema;

/// The schema `name` with every member filled, procedures too (a recursive schema read leaves
/// them), and its database's character set, collation and comment. A schema that does not exist
/// is a Failure; a database error a DatabaseFailure.
SchemaRead read_full_schema(const Connection& connection, const std::string& name, bool outline = false);

/// The object `name` of schema `schema_name` (a table, view, function, procedure, event or
/// trigger), read in full (a table with its keys, indexes and triggers). None of that name is a
/// Failure; a database error a DatabaseFailure.
std::shared_ptr<Solvane::MetaModel::MetaObject> read_object(const Connection& connection,
                                                           const std::string& schema_name, const std::string& name);

/// What a patched schema destroys, one line each ("drops table `s`.`t`", "drops column `c` of
/// `s`.`t`"): objects to drop, and columns dropped from tables that stay.
std::vector<std::string> destructive_changes(const Solvane::MetaModel::MetaSchema& patched);

}  // namespace Ombrix::Cli
