#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_explorer.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"
#include "solvane/Supports/Database/adapter.hpp"
#include "solvane/Supports/Database/server_version.hpp"
#include "solvane/Supports/Database/sql_builder.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Contracts::Database::IAdaptable;
using Contracts::Database::IBuildable;
using Contracts::Database::IExplorable;
using Contracts::Database::IInspectable;
using Contracts::Database::IStatement;

MariaDBAdapterVariant choose_adapter_variant(std::string_view version) {
    // The numbers decide alone: a server may announce its version without any name after it.
    const auto parsed = ServerVersion::parse(version);
    if (parsed && parsed->at_least(10, 5, 0)) return MariaDBAdapterVariant::Current;
    return MariaDBAdapterVariant::BelowV105;
}

MariaDBConnection::MariaDBConnection() { set_provider(Providers::Supports::MariaDBProvider::create()); }

// ---- the dialect objects' factories ----------------------------------------------------------

std::shared_ptr<IAdaptable> MariaDBConnection::create_adapter(MariaDBAdapterVariant variant) {
    if (variant == MariaDBAdapterVariant::BelowV105) return MariaDBAdapterBelowV105::create(this);
    return MariaDBAdapter::create(this);
}

std::shared_ptr<IBuildable> MariaDBConnection::create_builder() { return MariaDBBuilder::create(this); }

std::shared_ptr<IExplorable> MariaDBConnection::create_explorer() { return MariaDBExplorer::create(this); }

std::shared_ptr<IInspectable> MariaDBConnection::create_inspector() { return MariaDBInspector::create(this); }

std::shared_ptr<IStatement> MariaDBConnection::create_statement() { return MariaDBStatement::create(this); }

// ---- accessors ---------------------------------------------------------------------------------

std::shared_ptr<IAdaptable> MariaDBConnection::adapter() {
    std::lock_guard lock(m_mutex);
    if (!m_adapter) m_adapter = create_adapter(m_adapter_variant);
    return m_adapter;
}

std::shared_ptr<IBuildable> MariaDBConnection::builder() {
    std::lock_guard lock(m_mutex);
    if (!m_builder) m_builder = create_builder();
    return m_builder;
}

std::shared_ptr<IExplorable> MariaDBConnection::explorer() {
    std::lock_guard lock(m_mutex);
    if (!m_explorer) m_explorer = create_explorer();
    return m_explorer;
}

std::shared_ptr<IInspectable> MariaDBConnection::inspector() {
    std::lock_guard lock(m_mutex);
    if (!m_inspector) m_inspector = create_inspector();
    return m_inspector;
}

std::shared_ptr<IStatement> MariaDBConnection::statement() {
    std::lock_guard lock(m_mutex);
    if (!m_statement) m_statement = create_statement();
    return m_statement;
}

MariaDBAdapterVariant MariaDBConnection::get_adapter_variant() const {
    std::lock_guard lock(m_mutex);
    return m_adapter_variant;
}

Core::Status MariaDBConnection::update_version() {
    auto value = execute_as_scalar("select version();", false);
    OMBRIX_RETURN_IF_ERROR(value);
    std::string version = *value ? (*value)->to_string() : std::string();
    set_version(version);
    const std::string uuid = log_uuid();
    Foundation::LoggingService::warning(uuid.empty() ? nullptr : uuid.c_str(), "update_version: %s", version.c_str());
    const auto variant = choose_adapter_variant(version);
    auto adapter = create_adapter(variant);
    std::lock_guard lock(m_mutex);
    m_adapter_variant = variant;
    m_adapter = std::move(adapter);
    return {};
}

OMBRIX_DEFINE_TYPE(MariaDBConnection, "OmbrixSolvaneSupportsDatabaseMariaDBConnection");

}  // namespace Ombrix::Solvane::Supports::Database
