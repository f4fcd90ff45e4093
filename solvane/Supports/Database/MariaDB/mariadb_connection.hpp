/// @file The MariaDB connection: a MariaDB provider and the MariaDB dialect objects.
#pragma once

#include <memory>
#include <string_view>

#include "solvane/Supports/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The two catalogue readers a MariaDB connection chooses from by server version.
enum class MariaDBAdapterVariant {
    /// MariaDB 10.5.0 and later.
    Current,
    /// Older MariaDB servers and every server that is not MariaDB (MySQL among them).
    BelowV105,
};

/// The adapter variant for a server that reports `version` ("10.11.6-MariaDB-0+deb12u1",
/// "8.0.36"). Versions are compared by their numbers, so 10.11 comes after 10.5; a text that
/// cannot be read gets the variant for older servers.
OMBRIX_SOLVANE_EXPORT MariaDBAdapterVariant choose_adapter_variant(std::string_view version);

/// A connection whose provider is a MariaDBProvider. After every successful open it reads the
/// server version and replaces its adapter with the variant that suits the server. Statement,
/// builder, explorer and inspector are made on first request and live as long as the connection.
///
/// Each MariaDB dialect object is made by one protected factory function (`create_adapter`,
/// `create_builder`, `create_explorer`, `create_inspector`, `create_statement`), so the classes
/// that implement them are chosen in one place.
class OMBRIX_SOLVANE_EXPORT MariaDBConnection : public ConnectionImpl {
public:

    OMBRIX_CREATABLE_OBJECT(MariaDBConnection, ConnectionImpl);

    /// The adapter for the current server version (the current variant before the first open).
    std::shared_ptr<Contracts::Database::IAdaptable> adapter() override;
    std::shared_ptr<Contracts::Database::IBuildable> builder() override;
    std::shared_ptr<Contracts::Database::IExplorable> explorer() override;
    std::shared_ptr<Contracts::Database::IInspectable> inspector() override;
    std::shared_ptr<Contracts::Database::IStatement> statement() override;

    /// Runs "select version();", stores the text as the version, logs "update_version: %s" and
    /// replaces the adapter by `choose_adapter_variant`. On error nothing changes.
    [[nodiscard]] Core::Status update_version() override;

    /// The variant of the adapter made last; Current before the first open.
    MariaDBAdapterVariant get_adapter_variant() const;

protected:
    MariaDBConnection();

    /// Makes the adapter of `variant` over this connection.
    virtual std::shared_ptr<Contracts::Database::IAdaptable> create_adapter(MariaDBAdapterVariant variant);
    /// Makes the DDL builder over this connection.
    virtual std::shared_ptr<Contracts::Database::IBuildable> create_builder();
    /// Makes the object explorer over this connection.
    virtual std::shared_ptr<Contracts::Database::IExplorable> create_explorer();
    /// Makes the dialect inspector over this connection.
    virtual std::shared_ptr<Contracts::Database::IInspectable> create_inspector();
    /// Makes the statement factory over this connection.
    virtual std::shared_ptr<Contracts::Database::IStatement> create_statement();

private:
    MariaDBAdapterVariant m_adapter_variant = MariaDBAdapterVariant::Current;
};

}  // namespace Ombrix::Solvane::Supports::Database
