/// @file Values as SQL and grid text, data-editing statements for the result grid, sizes and binary cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/value.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Helpers {

/// Static helpers without state. Every statement they build is MariaDB SQL: names are written as
/// backtick names and values as escaped literals (binary content as X'...'), so no name or value
/// can end its quotes early. A null text argument (a default-constructed view) or a null object is
/// a failed precondition: a critical, and the empty value.
class OMBRIX_SOLVANE_EXPORT DatabaseHelper {
public:
    DatabaseHelper() = delete;

    /// `text` converted to the run-time type named `type_name` ("gchararray", "gint", "guint64",
    /// "GDateTime", ...). Integer types narrow like C casts; "glong", "gint64" and the unsigned types
    /// detect the base (0x, leading 0); numbers are read locale-independently; "gboolean" is true
    /// exactly for "true"; "GDateTime" reads ISO 8601 in UTC; "GTime" reads "%d:%d:%d" into a UTC
    /// date-time on 1970-01-01 (unset when out of range); "GDate" is the zeroed date; "genum",
    /// "GBlob" and "GBinary" keep the text; "GNull" and unknown names give the empty value.
    static Core::Value string_to_glib_value(std::string_view type_name, std::string_view text);

    /// The text of `value` for grids and exports: integers in decimal, "gfloat" as "%g" and "gdouble"
    /// as the shortest text that reads back (both with '.'), "TRUE"/"FALSE", enumerations by number,
    /// dates as "%d-%d-%d", date-times as "%Y-%m-%d %H:%M:%S". An empty value, an unset date-time and
    /// an unset object give `null_value`; other types a generic description of their contents.
    static std::string glib_value_to_text(const Core::Value& value, std::string_view null_value);

    /// Signed integer values (int64, long, int, char); false and 0 for any other type.
    static bool glib_value_to_int64(const Core::Value& value, std::int64_t& out);
    /// Unsigned integer values and enumerations (uint64, ulong, uint, enum, uchar); false and 0 otherwise.
    static bool glib_value_to_uint64(const Core::Value& value, std::uint64_t& out);
    /// Any of the number types above, float and double; false and 0 otherwise.
    static bool glib_value_to_double(const Core::Value& value, double& out);

    /// `data_value` as a MariaDB literal for `kind`: a NULL value gives "NULL" whatever the kind; a
    /// boolean or number kind gives the value's text unquoted when that text is a plain number (or
    /// true/false); binary content (a binary value, or kind BINARY/BLOB) gives X'<hex>'; everything
    /// else is an escaped string literal. A null pointer is a failed precondition and gives "".
    static std::string format_sql_value(Providers::Contracts::DataType kind,
                                        const Providers::Contracts::ValuePtr& data_value);

    /// `schema`.`table` as backtick names; an empty schema gives `table` alone. Both empty give ``.
    static std::string format_object_name(std::string_view schema, std::string_view table);

    /// "UPDATE <object> SET `c`=<v>, ... [WHERE `k`=<v> AND ...];". Each value is written through
    /// `format_sql_value` with its own data type (a null pointer as NULL). `columns` must not be empty
    /// and each name list must be as long as its value list; otherwise a critical and "".
    static std::string build_sql_update(std::string_view schema, std::string_view table,
                                        const std::vector<std::string>& columns,
                                        const std::vector<Providers::Contracts::ValuePtr>& values,
                                        const std::vector<std::string>& key_columns,
                                        const std::vector<Providers::Contracts::ValuePtr>& key_values);
    /// "INSERT INTO <object>(`c`, ...) VALUES(<v>, ...);", values as in `build_sql_update`; the same
    /// preconditions.
    static std::string build_sql_insert(std::string_view schema, std::string_view table,
                                        const std::vector<std::string>& columns,
                                        const std::vector<Providers::Contracts::ValuePtr>& values);
    /// "DELETE FROM <object>[ WHERE `k`=<v> AND ...];"; without keys the whole table.
    static std::string build_sql_delete(std::string_view schema, std::string_view table,
                                        const std::vector<std::string>& key_columns,
                                        const std::vector<Providers::Contracts::ValuePtr>& key_values);

    /// An account name: `user`, or `user`@`host` split at the first "@" (later "@" parts are dropped).
    static std::string make_fullname_mysql(std::string_view username);

    /// Adds to `table` one column per column of `model`, with its name and data type; whether the
    /// table then has as many columns as the model.
    static bool update_schema_with_model(const std::shared_ptr<MetaModel::MetaTable>& table,
                                         const std::shared_ptr<Providers::Contracts::TableModel>& model);

    /// Up to 1000 bytes "%llu Byte"; above, whole kilobytes (of 1000) with "," between groups of
    /// three digits and " KB" ("1,234 KB").
    static std::string format_size(std::uint64_t bytes);

    /// A binary cell for display: "" without bytes, the text when the bytes are valid UTF-8,
    /// otherwise "<guessed MIME type>(<format_size of the length>)".
    static std::string summary(const std::shared_ptr<Providers::Contracts::ValueBinary>& value,
                               std::string_view null_value);
};

}  // namespace Ombrix::Solvane::Helpers
