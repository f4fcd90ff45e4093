/// @file Readable summaries of filled meta objects, for `ombrix describe`.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "context.hpp"
#include "solvane/Model/object.hpp"
#include "solvane/Model/schema.hpp"

namespace Ombrix::Cli {

/// Writes what `object` holds as indented text: a schema lists its tables (with their columns,
/// keys, indexes and triggers), views, routines and events; a table or view its parts; a routine
/// its parameters and body; a user or role its relations and privileges.
void print_summary(std::ostream& out, const Solvane::MetaModel::MetaObject& object);

/// The schema `name` read through `connection`: with every member filled when `recursive`, else
/// its lists of tables, views, routines and events with names only. A failure is a DatabaseFailure.
std::shared_ptr<Solvane::MetaModel::MetaSchema> read_schema(const Connection& connection, const std::string& name,
                                                            bool recursive);

}  // namespace Ombrix::Cli
