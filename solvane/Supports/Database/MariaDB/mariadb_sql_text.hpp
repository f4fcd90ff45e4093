/// @file Reading the names in MariaDB SQL text, and moving a model to another schema.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::MetaModel {
class MetaObject;
}

namespace Ombrix::Solvane::Supports::Database {

/// The names `text` uses as identifiers, in order of appearance: backtick names (with doubled
/// backticks read as one) and bare words, but nothing inside string literals or comments.
OMBRIX_SOLVANE_EXPORT std::vector<std::string> sql_identifiers(std::string_view text);

/// A view definition as the catalogue gives it, with the parentheses that only group a chain of
/// joins at the head of a FROM clause left out: `from (a join b) where` reads `from a join b where`.
/// The server writes a definition it was given with comma joins flat and the same definition read
/// back nested in parentheses, so without this one view would read two ways after a rebuild. Joins
/// nested on the right (`a join (b join c on …) on …`) and derived tables keep theirs.
OMBRIX_SOLVANE_EXPORT std::string ungroup_joins(std::string_view definition);

/// Whether a stored program's body (what follows FOR EACH ROW, DO or a routine's head) is one
/// statement, compound (IF … END IF, a labelled loop) or not, rather than several.
OMBRIX_SOLVANE_EXPORT bool is_single_body_statement(std::string_view body);

/// `text` with every use of the name `from` as a qualifier (a name followed by a period and not
/// itself after one: `from`.t, from.t, `from`.`t`.c) read as `to` (backtick-quoted). String
/// literals, comments and every other occurrence of the name stay as they are.
OMBRIX_SOLVANE_EXPORT std::string requalify(std::string_view text, std::string_view from, std::string_view to);

/// Moves a meta object and everything it holds from schema `from` to schema `to`: database and
/// schema names equal to `from` (a database or schema object named `from` too), foreign keys
/// referring to `from`, and the qualifiers in the SQL the model carries (view definitions, routine,
/// trigger and event bodies, column defaults and expressions, check clauses). Names of other
/// schemas stay. A view keeps its column list.
OMBRIX_SOLVANE_EXPORT void retarget_schema(MetaModel::MetaObject& object, std::string_view from, std::string_view to);

}  // namespace Ombrix::Solvane::Supports::Database
