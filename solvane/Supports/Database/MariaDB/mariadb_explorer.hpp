/// @file The MariaDB explorer: the catalogue lists behind the host's object tree.
#pragma once

#include <memory>
#include <string_view>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Contracts/Database/explorable.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// Lists the objects of one kind with one catalogue query and gives the rows back with translated
/// column titles. It makes no meta objects (that is the adapter's work). It runs on the caller's
/// thread; the provider's lock serialises its queries.
class OMBRIX_SOLVANE_EXPORT MariaDBExplorer final : public Core::Object, public Contracts::Database::IExplorable {
public:
    /// An explorer for `conn`, which owns it and must outlive it (no reference is taken);
    /// a null `conn` writes the critical "conn != NULL" and gives null.
    static std::shared_ptr<MariaDBExplorer> create(Contracts::Database::IConnection* conn);

    /// The objects of `kind` in `schema`: databases/schemas (every schema of the server; the
    /// columns depend on the server version), events, functions, procedures, routines, packages,
    /// indexes, sequences, tables, triggers and views of `schema`, and the server's users and roles
    /// (whatever the schema). The schema name is quoted into the query, so any name is safe.
    /// Any other kind gives a new empty model without a query. `database` and `extra_data` are
    /// not used. A null (default-constructed) `database`, `schema` or `extra_data` writes the
    /// critical "<name> != NULL" and gives a null model. Query errors pass through unchanged.
    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> load_objects(
        std::string_view database, std::string_view schema, Providers::Contracts::DBObject kind,
        std::string_view extra_data) override;

    /// Whether a server whose version text is `version` ("10.11.6-MariaDB-1") has SCHEMA_COMMENT
    /// in its schema catalogue, that is whether it is 10.5.0 or later. Versions compare number by
    /// number (10.11 is later than 10.5); a text that does not start with a number counts as older.
    static bool has_schema_comment(std::string_view version);

    /// The connection it was made for.
    Contracts::Database::IConnection* get_connection() const { return m_connection; }

    OMBRIX_OBJECT(MariaDBExplorer, Core::Object);

private:
    explicit MariaDBExplorer(Contracts::Database::IConnection* conn) : m_connection(conn) {}

    Contracts::Database::IConnection* m_connection;  // owns us
};

}  // namespace Ombrix::Solvane::Supports::Database
