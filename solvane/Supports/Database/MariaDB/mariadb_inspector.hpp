/// @file The MariaDB inspector: the dialect's vocabulary and its native type mapping.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Contracts/Database/inspectable.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The words MariaDB's editors offer (engines, row formats, referential actions, column types, ...)
/// and the queries that list the rest, plus the mapping between MariaDB's native type names, the
/// data types of result cells and the GLib value types. It never queries the server and holds no
/// state but its connection, so it may be used from any thread.
///
/// Native type names are upper-cased (UTF-8 aware) and compared whole: "int" is INT, but sizes and
/// modifiers must be stripped first ("INT UNSIGNED" and "INT(11)" are unknown names). A null
/// (default-constructed) `native_type` writes the critical "native_type != NULL" and gives the
/// empty result (UNKNOWN, "" or "").
class OMBRIX_SOLVANE_EXPORT MariaDBInspector final : public Core::Object, public Contracts::Database::IInspectable {
public:
    /// An inspector for `conn`, which owns it and must outlive it (no reference is taken);
    /// a null `conn` writes the critical "conn != NULL" and gives null.
    static std::shared_ptr<MariaDBInspector> create(Contracts::Database::IConnection* conn);

    /// The words or queries for `type`, in the order editors show them. Entries starting with "##"
    /// in the catalogue are translated group headers of COLUMN_TYPE; queries carry "%s" or
    /// "%%%s%%" for the caller to fill. An unlisted key gives an empty list.
    std::vector<std::string> support(Contracts::Database::DbMetaType type) const override;
    /// The literal a new column of `native_type` starts with: "0", "0.0", "0x0000", "''", or the
    /// current local date/time in single quotes for the temporal types.
    std::string get_type_default(std::string_view native_type) const override;
    /// The cell data type of `native_type`; UNKNOWN for names it does not know.
    Providers::Contracts::DataType get_data_type(std::string_view native_type) const override;
    /// The MariaDB type name that holds `type`; "VARCHAR" for the types MariaDB has no own name for.
    std::string get_sql_type(Providers::Contracts::DataType type) const override;
    /// The GLib name of the value type for `native_type` ("gint", "gchararray", "GDateTime", ...);
    /// "void" (no type) for names it does not know.
    std::string get_glib_type(std::string_view native_type) const override;

    /// The connection it was made for.
    Contracts::Database::IConnection* get_connection() const { return m_connection; }

    OMBRIX_OBJECT(MariaDBInspector, Core::Object);

private:
    explicit MariaDBInspector(Contracts::Database::IConnection* conn) : m_connection(conn) {}

    Contracts::Database::IConnection* m_connection;  // owns us
};

}  // namespace Ombrix::Solvane::Supports::Database
