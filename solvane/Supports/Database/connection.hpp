/// @file The connection: opens a provider directly or through an SSH tunnel, runs SQL and hands out dialect objects.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Supports/Database/ssh_tunnel.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The one implementation of IConnection. It owns a provider and the profile given to the last
/// `open`, logs every statement through the logging service under the profile's uuid (so the
/// records land in that connection's log as well as the main log) and tracks the connection status.
/// A bare ConnectionImpl has no provider and no dialect objects except the formatter and the
/// cache; subclasses install a provider and their dialect's objects.
///
/// Threads: provider calls are serialised by the provider's own lock. The connection guards its
/// dialect objects, version text and tunnel with a small lock of its own, so an asynchronous open
/// (which runs on a worker thread) and the caller's thread can both reach them.
class OMBRIX_SOLVANE_EXPORT ConnectionImpl : public Core::Object, public Contracts::Database::IConnection {
public:
    using DBStatus = Contracts::Database::DBStatus;
    using Server = Providers::Contracts::Server;
    using IProvider = Providers::Contracts::IProvider;

    ~ConnectionImpl() override;

    /// `create()`: A connection without provider: opening it fails.
    OMBRIX_CREATABLE_OBJECT(ConnectionImpl, Core::Object);

    std::shared_ptr<Contracts::Database::IAdaptable> adapter() override;
    std::shared_ptr<Contracts::Database::IBuildable> builder() override;
    std::shared_ptr<Contracts::Database::IExplorable> explorer() override;
    std::shared_ptr<Contracts::Database::IInspectable> inspector() override;
    std::shared_ptr<Contracts::Database::IStatement> statement() override;
    /// Made on first request with the LINE_START and LINE_BREAK options set, in that order.
    std::shared_ptr<Contracts::Database::IFormattable> formatter() override;
    /// Made on first request; cleared when the connection closes.
    std::shared_ptr<Contracts::Database::ICachable> cache() override;

    /// Stores `server` and `owner`, then opens the provider, through an SSH tunnel when the profile's
    /// `ssh-using` is set. Emits `opened` on success. A tunnel this connection already runs to the
    /// same target is kept; one to another target is ended first. A null `server` writes the
    /// critical "server != NULL" and fails without touching the provider.
    [[nodiscard]] Core::Status open(const std::shared_ptr<Server>& server,
                                    const std::shared_ptr<Core::Object>& owner) override;
    /// Opens again: a profile of several hosts starts at the host after the one last used, so a
    /// connection that lost its host moves on to the next (and back to the first after the last).
    [[nodiscard]] Core::Status reopen() override;
    /// The host and port the connection reached last ("host:port"); empty before it opened.
    std::string get_endpoint() const;
    /// What the last open met on its way, one line per host that did not answer before one did
    /// ("h1:3306: Can't connect…"); empty when the first host tried answered.
    std::vector<std::string> get_skipped_hosts() const;
    void open_async(const std::shared_ptr<Server>& server, const std::shared_ptr<Core::Object>& owner,
                    Core::AsyncReadyCallback callback) override;
    /// Any error of the worker fails the call; it comes back in the "default" domain with the
    /// provider's code and message.
    [[nodiscard]] Core::Status open_finish(const Core::AsyncResultPtr& result) override;
    void reopen_async(Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Status reopen_finish(const Core::AsyncResultPtr& result) override;
    /// Closes an open provider, clears the cache, sets Closed and emits `closed`; ends the SSH
    /// tunnel in every case. Nothing else happens when the provider is not open.
    void close() override;

    void execute_no_query_async(std::string_view sql, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::int64_t> execute_no_query_finish(const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<std::int64_t> execute_no_query(std::string_view sql, bool flag = false) override;
    void execute_as_model_async(std::string_view sql, Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model_finish(
        const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model(
        std::string_view sql, bool flag = false) override;
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
    /// False, without error, when the provider is not open.
    [[nodiscard]] Core::Result<bool> transaction() override;
    /// Fails when the provider is not open: nothing was rolled back.
    [[nodiscard]] Core::Status rollback() override;
    /// Fails when the provider is not open: nothing was committed.
    [[nodiscard]] Core::Status commit() override;

    /// Reads the server's version after an open; the bare connection has nothing to read.
    [[nodiscard]] virtual Core::Status update_version();

    OMBRIX_PROPERTY_VIA(DBStatus, status, DBStatus::Unknown, Core::ReadWrite);
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<Server>, server, std::shared_ptr<Server>());
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, provider, std::shared_ptr<Core::Object>(), Core::ReadWrite,
        [](const ConnectionImpl& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_provider()); },
        nullptr);
    OMBRIX_PROPERTY_WITH(std::string, version, std::string(), Core::ReadWrite,
        [](const ConnectionImpl& self) { return self.get_version(); },
        nullptr);
    std::shared_ptr<Server> get_server() const override;
    std::shared_ptr<IProvider> get_provider() const override;
    DBStatus get_status() const override { return m_status.load(); }
    /// Stores and notifies "status" only when the value changes.
    void set_status(DBStatus status) override;
    std::string get_version() const override;

    ConnectionSignal& signal_opened() override { return m_opened; }
    ConnectionSignal& signal_closed() override { return m_closed; }

    /// The second argument of the last `open`; the connection only keeps it.
    std::shared_ptr<Core::Object> get_owner() const;
    /// Options handed to an OpenSSH tunnel client, each as one `-o` before the connection's own
    /// (so they take precedence), e.g. "UserKnownHostsFile=/path".
    void set_ssh_options(std::vector<std::string> options);
    /// The tunnel the connection currently goes through; null when it connects directly.
    std::shared_ptr<SshTunnel> get_tunnel() const;

protected:
    ConnectionImpl();

    /// Installs the provider (subclasses, at construction).
    void set_provider(std::shared_ptr<IProvider> provider) { m_connection = std::move(provider); }
    /// Stores the server's version text.
    void set_version(std::string version);
    /// The identity this connection logs under: the stored profile's uuid ("" without a profile,
    /// which the logging service reads as the main log).
    std::string log_uuid() const;

    /// Guards the dialect objects below, the version text and the tunnel.
    mutable std::recursive_mutex m_mutex;
    std::shared_ptr<Contracts::Database::IBuildable> m_builder;
    std::shared_ptr<Contracts::Database::IExplorable> m_explorer;
    std::shared_ptr<Contracts::Database::IStatement> m_statement;
    std::shared_ptr<Contracts::Database::IAdaptable> m_adapter;
    std::shared_ptr<Contracts::Database::IInspectable> m_inspector;
    std::shared_ptr<Contracts::Database::IFormattable> m_formatter;
    std::shared_ptr<Contracts::Database::ICachable> m_cache;

private:
    /// Opens `server` directly or over SSH, as the profile says; `over_ssh` tells which it was.
    /// Each host of the profile is tried in turn (see `reopen`) until one answers; `next` starts
    /// after the host last used.
    Core::Status open_server(const std::shared_ptr<Server>& server, bool& over_ssh, bool next = false);
    Core::Status open_endpoint(const std::shared_ptr<Server>& server, bool over_ssh);
    Core::Status open_direct(const std::shared_ptr<Server>& server);
    Core::Status open_over_ssh(const std::shared_ptr<Server>& server);
    void start_open_async(std::shared_ptr<Server> server, Core::AsyncReadyCallback callback);
    /// Ends the tunnel, if there is one.
    void release_tunnel();
    /// Runs `work` on a worker thread; on completion logs a failure as "failed: %d -> %s".
    void run_execute_async(std::string_view sql, std::function<Core::AsyncResultPtr(const std::string&)> work,
                           Core::AsyncReadyCallback callback);

    std::atomic<DBStatus> m_status{DBStatus::Unknown};
    std::shared_ptr<Server> m_server;
    std::string m_version;
    std::shared_ptr<Core::Object> m_owner;
    std::shared_ptr<SshTunnel> m_tunnel;
    std::vector<std::string> m_ssh_options;
    std::optional<std::size_t> m_endpoint;  // which of the profile's hosts answered last
    std::string m_endpoint_text;
    std::vector<std::string> m_skipped_hosts;
    std::shared_ptr<IProvider> m_connection;
    ConnectionSignal m_opened;
    ConnectionSignal m_closed;
};

}  // namespace Ombrix::Solvane::Supports::Database
