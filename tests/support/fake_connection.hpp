/// @file The stand-in connection of the tests: dialect objects made on it send their catalogue
/// queries to a MariaDB provider (or to nothing) and it remembers them; everything else fails.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Contracts/Database/connection.hpp"

namespace Ombrix::Testing {

/// Forwards `execute_as_model` to a provider (with no provider it fails with a "MariaDB" -1 error)
/// and records every SQL text it was given; the version text is the provider's server text until
/// a test sets another. Every other operation fails with that error (asynchronous ones complete
/// with it on the main context), every dialect object is null, and the status stays as set.
class FakeConnection final : public Solvane::Contracts::Database::IConnection {
public:
    using DBStatus = Solvane::Contracts::Database::DBStatus;

    /// A connection that was never opened: it reaches no server.
    FakeConnection() = default;
    explicit FakeConnection(std::shared_ptr<Providers::Supports::MariaDBProvider> provider);

    /// The SQL texts `execute_as_model` received, oldest first.
    const std::vector<std::string>& statements() const { return m_statements; }
    /// Makes the connection claim another server version.
    void set_version(std::string version) { m_version = std::move(version); }

    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model(
        std::string_view sql, bool flag = false) override;
    std::string get_version() const override { return m_version; }
    std::shared_ptr<Providers::Contracts::IProvider> get_provider() const override { return m_provider; }
    Solvane::Contracts::Database::DBStatus get_status() const override { return m_status; }
    void set_status(Solvane::Contracts::Database::DBStatus status) override { m_status = status; }

    std::shared_ptr<Solvane::Contracts::Database::IAdaptable> adapter() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IBuildable> builder() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IExplorable> explorer() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IInspectable> inspector() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IStatement> statement() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IFormattable> formatter() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::ICachable> cache() override { return nullptr; }

    [[nodiscard]] Core::Status open(const std::shared_ptr<Providers::Contracts::Server>& server,
                                    const std::shared_ptr<Core::Object>& owner) override;
    [[nodiscard]] Core::Status reopen() override;
    void open_async(const std::shared_ptr<Providers::Contracts::Server>& server,
                    const std::shared_ptr<Core::Object>& owner, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Status open_finish(const Core::AsyncResultPtr& result) override;
    void reopen_async(Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Status reopen_finish(const Core::AsyncResultPtr& result) override;
    void close() override {}

    void execute_no_query_async(std::string_view sql, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::int64_t> execute_no_query_finish(const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<std::int64_t> execute_no_query(std::string_view sql, bool flag = false) override;
    void execute_as_model_async(std::string_view sql, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model_finish(
        const Core::AsyncResultPtr& result) override;
    void execute_as_scalar_async(std::string_view sql, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar_finish(
        const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar(std::string_view sql,
                                                                                  bool flag = false) override;
    void execute_async(std::string_view statements, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<ObjectList> execute_finish(const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<ObjectList> execute(std::string_view statements, bool flag = false) override;
    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> execute_reader(
        std::string_view sql) override;
    [[nodiscard]] Core::Result<bool> transaction() override;
    [[nodiscard]] Core::Status rollback() override;
    [[nodiscard]] Core::Status commit() override;

    std::shared_ptr<Providers::Contracts::Server> get_server() const override { return nullptr; }

    ConnectionSignal& signal_opened() override { return m_opened; }
    ConnectionSignal& signal_closed() override { return m_closed; }

private:
    std::shared_ptr<Providers::Supports::MariaDBProvider> m_provider;
    std::vector<std::string> m_statements;
    std::string m_version;
    Solvane::Contracts::Database::DBStatus m_status = Solvane::Contracts::Database::DBStatus::Unknown;
    ConnectionSignal m_opened;
    ConnectionSignal m_closed;
};

/// The names the tests use: a connection that reaches nothing, and one that reaches a provider.
using NullConnection = FakeConnection;
using ProviderConnection = FakeConnection;

}  // namespace Ombrix::Testing
