/// @file Readable summaries of filled meta objects, for `ombrix describe`.
#pragma once

#include <ostream>

#include "solvane/Model/object.hpp"

namespace Ombrix::Cli {

/// Writes what `object` holds as indented text: a schema lists its tables (with their columns,
/// keys, indexes and triggers), views, routines and events; a table or view its parts; a routine
/// its parameters and body; a user or role its relations and privileges.
void print_summary(std::ostream& out, const Solvane::MetaModel::MetaObject& object);

}  // namespace Ombrix::Cli
