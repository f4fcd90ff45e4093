/// @file The inspector contract: the dialect's vocabulary and type mapping.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "solvane/Contracts/Database/database.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// What the dialect knows about its own words and types.
class OMBRIX_SOLVANE_EXPORT IInspectable {
public:
    virtual ~IInspectable() = default;
    /// The dialect's words (or queries) for `type`; empty for a key the dialect does not know.
    virtual std::vector<std::string> support(DbMetaType type) const = 0;
    /// The default text of a column of `native_type`.
    virtual std::string get_type_default(std::string_view native_type) const = 0;
    /// The data type of a native type name.
    virtual Providers::Contracts::DataType get_data_type(std::string_view native_type) const = 0;
    /// The native type name of a data type.
    virtual std::string get_sql_type(Providers::Contracts::DataType type) const = 0;
    /// The GLib name of the value type that holds a cell of `native_type`.
    virtual std::string get_glib_type(std::string_view native_type) const = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
