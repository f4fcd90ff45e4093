#include "solvane/Supports/Database/connection.hpp"

#include <algorithm>
#include <random>
#include <chrono>
#include <cinttypes>
#include <thread>

#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/text.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Exceptions/sql_error.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Database/cache.hpp"
#include "solvane/Supports/Database/formatter.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Foundation::LoggingService;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;

namespace {

using Providers::Contracts::IProvider;

// The error of a precondition that a caller can see: the critical alone would leave a Result
// without its error.
std::unexpected<Core::Error> missing(const char* what) {
    return Core::fail(std::string(Exceptions::kSQLErrorDomain), static_cast<int>(Exceptions::SQLError::MISSING_PARAMETER),
                      std::string(what) + " != NULL");
}

std::unexpected<Core::Error> no_provider() {
    return Core::fail(std::string(Exceptions::kSQLErrorDomain), static_cast<int>(Exceptions::SQLError::MISUSE),
                      Core::tr("The connection has no provider."));
}

std::unexpected<Core::Error> not_open() {
    return Core::fail(std::string(Exceptions::kSQLErrorDomain), static_cast<int>(Exceptions::SQLError::TRANSACTION),
                      Core::tr("The connection is not open."));
}

// Errors of a worker reach the completion as their code and message, in the "default" domain.
Core::AsyncResultPtr worker_failure(const Core::Error& error) {
    return Core::AsyncResult::failure(Core::Error{"default", error.code, error.message});
}

template <class T>
Core::AsyncResultPtr worker_outcome(Core::Result<T> outcome) {
    if (!outcome) return worker_failure(outcome.error());
    return Core::AsyncResult::success(std::move(*outcome));
}

Core::AsyncResultPtr worker_outcome(Core::Status outcome) {
    if (!outcome) return worker_failure(outcome.error());
    return Core::AsyncResult::success();
}

// A view made from a null C string has no data: a null argument of a C caller.
bool is_null(std::string_view text) { return text.data() == nullptr; }

// The identity a profile's records are logged under: its uuid, so they land in that connection's
// own log (and in the main log). Without a profile, or with an empty uuid, the main log alone.
std::string log_id_of(const std::shared_ptr<Providers::Contracts::Server>& server) {
    return server ? server->get_uuid() : std::string();
}

const char* as_log_id(const std::string& uuid) { return uuid.empty() ? nullptr : uuid.c_str(); }

// A tunnelled connection that loses its server may have lost it with the tunnel, which the client
// library cannot tell (it only sees the tunnel's local end go quiet): when the tunnel's program has
// ended, the error says so. The program is reaped moments after its sockets close, so a lost
// connection waits briefly for that.
template <class T>
T note_tunnel_end(T outcome, const std::weak_ptr<SshTunnel>& weak_tunnel) {
    const auto tunnel = weak_tunnel.lock();
    if (outcome || !tunnel || !Providers::Supports::MariaDBProvider::is_connection_lost(outcome.error()))
        return outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (tunnel->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (tunnel->is_running()) return outcome;
    Core::Error error = outcome.error();
    error.message = Core::strprintf(Core::tr("%s (the SSH tunnel has ended)"), error.message.c_str());
    return Core::fail(std::move(error));
}

// The shape every synchronous call shares: refused without a provider, the SQL logged, the call
// made, and on success `describe` logs what it gave.
template <class Call, class Describe>
auto run_logged(const std::shared_ptr<IProvider>& provider, const std::shared_ptr<Providers::Contracts::Server>& server,
                const std::weak_ptr<SshTunnel>& tunnel, std::string_view sql, Call call, Describe describe)
    -> decltype(call(*provider, std::string())) {
    if (!provider) return no_provider();
    const std::string text(sql);
    const std::string log_id = log_id_of(server);
    LoggingService::info(as_log_id(log_id), "SQL: %s", text.c_str());
    auto outcome = note_tunnel_end(call(*provider, text), tunnel);
    if (outcome) describe(as_log_id(log_id), *outcome);
    return outcome;
}

// The worker side of an asynchronous call: `call` on the provider with the statement text.
template <class Call>
std::function<Core::AsyncResultPtr(const std::string&)> on_worker(std::shared_ptr<IProvider> provider,
                                                                  std::weak_ptr<SshTunnel> tunnel, Call call) {
    return [provider = std::move(provider), tunnel = std::move(tunnel), call](const std::string& text) {
        return worker_outcome(note_tunnel_end(std::invoke(call, *provider, text, true), tunnel));
    };
}

}  // namespace

ConnectionImpl::ConnectionImpl() {
    // An asynchronous open notifies `status` and `version` on its worker thread: the listener
    // storage exists from the start, so that thread never sees it being made.
    signal_notify();
}

ConnectionImpl::~ConnectionImpl() {
    // The provider's connection goes through the tunnel: close it before the tunnel ends.
    m_connection.reset();
    m_tunnel.reset();
}

// ---- dialect objects -------------------------------------------------------------------------

std::shared_ptr<Contracts::Database::IAdaptable> ConnectionImpl::adapter() {
    std::lock_guard lock(m_mutex);
    return m_adapter;
}

std::shared_ptr<Contracts::Database::IBuildable> ConnectionImpl::builder() {
    std::lock_guard lock(m_mutex);
    return m_builder;
}

std::shared_ptr<Contracts::Database::IExplorable> ConnectionImpl::explorer() {
    std::lock_guard lock(m_mutex);
    return m_explorer;
}

std::shared_ptr<Contracts::Database::IInspectable> ConnectionImpl::inspector() {
    std::lock_guard lock(m_mutex);
    return m_inspector;
}

std::shared_ptr<Contracts::Database::IStatement> ConnectionImpl::statement() {
    std::lock_guard lock(m_mutex);
    return m_statement;
}

std::shared_ptr<Contracts::Database::IFormattable> ConnectionImpl::formatter() {
    std::lock_guard lock(m_mutex);
    if (!m_formatter) {
        auto formatter = Formatter::create();
        formatter->option(kFormatterLineStart, kFormatterLineStartValue);
        formatter->option(kFormatterLineBreak, kFormatterLineBreakValue);
        m_formatter = std::move(formatter);
    }
    return m_formatter;
}

std::shared_ptr<Contracts::Database::ICachable> ConnectionImpl::cache() {
    std::lock_guard lock(m_mutex);
    if (!m_cache) m_cache = DataCache::create();
    return m_cache;
}

// ---- opening and closing ---------------------------------------------------------------------

Core::Status ConnectionImpl::open_direct(const std::shared_ptr<Server>& server) {
    const std::string log_id = log_id_of(server);
    Core::Status outcome;
    if (!m_connection) {
        outcome = no_provider();
    } else {
        const auto factory = statement();
        const std::string connection_string = factory ? factory->build_connection_string(server) : std::string();
        outcome = m_connection->open(server, connection_string);
        if (outcome) {
            set_status(DBStatus::Opened);
            outcome = update_version();
            if (outcome) {
                LoggingService::debug(as_log_id(log_id), "SQL: connection opened");
                return {};
            }
        }
    }
    set_status(DBStatus::Failed);
    LoggingService::warning(as_log_id(log_id), "SQL: Failed to open connection: %s", outcome.error().message.c_str());
    return outcome;
}

Core::Status ConnectionImpl::open_over_ssh(const std::shared_ptr<Server>& server) {
    const std::string log_id = log_id_of(server);
    LoggingService::debug(as_log_id(log_id), "launch ssh tunnel......");
    std::vector<std::string> options;
    std::shared_ptr<SshTunnel> current;
    {
        std::lock_guard lock(m_mutex);
        options = m_ssh_options;
        current = m_tunnel;
    }
    // Our own tunnel to an earlier target would hold the local port, and a port carries one target
    // only: a connection pointed at another target lets its old tunnel go first. The same target
    // keeps its running tunnel.
    if (current) {
        const auto wanted = build_tunnel_command(*server, options);
        const bool same_target = wanted && *wanted == current->get_command();
        current.reset();
        if (!same_target) release_tunnel();
    }
    auto tunnel = SshTunnel::acquire(server, options);
    if (!tunnel) {
        // The tunnel's own error goes back as it is (the asynchronous forms log it on completion).
        release_tunnel();
        set_status(DBStatus::Failed);
        return Core::fail(std::move(tunnel.error()));
    }
    LoggingService::message(as_log_id(log_id), "Lauch ssh tunnel successfully.");
    std::shared_ptr<SshTunnel> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_tunnel, *tunnel);
    }
    previous.reset();  // a tunnel to the same target is shared, so this never ends the new one

    auto local = server->clone(false);
    local->set_host("127.0.0.1");
    local->set_port((*tunnel)->get_local_port());
    LoggingService::debug(as_log_id(log_id), "connect to server: %s:%u......", local->get_host().c_str(),
                          static_cast<unsigned>(local->get_port()));
    auto opened = open_direct(local);
    if (!opened) release_tunnel();
    return opened;
}

Core::Status ConnectionImpl::open_endpoint(const std::shared_ptr<Server>& server, bool over_ssh) {
    if (over_ssh) return open_over_ssh(server);
    // A profile that no longer asks for a tunnel must not keep an old one alive.
    release_tunnel();
    return open_direct(server);
}

Core::Status ConnectionImpl::open_server(const std::shared_ptr<Server>& server, bool& over_ssh, bool next) {
    over_ssh = server->get_ssh_using();
    const auto endpoints = server->endpoints();
    std::vector<std::size_t> order(endpoints.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::optional<std::size_t> last;
    {
        std::lock_guard lock(m_mutex);
        last = m_endpoint;
        m_skipped_hosts.clear();
    }
    if (server->get_host_pick() == "random" && !next) {
        std::random_device seed;
        std::shuffle(order.begin(), order.end(), std::mt19937(seed()));
    } else if (next && last && *last < order.size()) {
        std::rotate(order.begin(), order.begin() + static_cast<std::ptrdiff_t>((*last + 1) % order.size()), order.end());
    }
    Core::Status outcome;
    std::vector<std::string> skipped;
    for (const std::size_t i : order) {
        // Each host is opened as a profile of its own: TLS checks that host's name, and a tunnel
        // leads to that host.
        auto one = server;
        if (!server->get_hosts().empty()) {
            one = server->clone(false);
            one->set_host(endpoints[i].host);
            one->set_port(endpoints[i].port);
            one->set_hosts({});
        }
        outcome = open_endpoint(one, over_ssh);
        if (outcome) {
            std::lock_guard lock(m_mutex);
            m_endpoint = i;
            m_endpoint_text = endpoints[i].text();
            m_skipped_hosts = std::move(skipped);
            return {};
        }
        skipped.push_back(endpoints[i].text() + ": " + outcome.error().message);
    }
    if (endpoints.size() <= 1) return outcome;
    std::string all;
    for (const auto& line : skipped) all += (all.empty() ? "" : "; ") + line;
    return Core::fail(outcome.error().domain, outcome.error().code, "no host of the profile answers (" + all + ")");
}

std::string ConnectionImpl::get_endpoint() const {
    std::lock_guard lock(m_mutex);
    return m_endpoint_text;
}

std::vector<std::string> ConnectionImpl::get_skipped_hosts() const {
    std::lock_guard lock(m_mutex);
    return m_skipped_hosts;
}

Core::Status ConnectionImpl::open(const std::shared_ptr<Server>& server, const std::shared_ptr<Core::Object>& owner) {
    OMBRIX_RETURN_VAL_IF_NULL(server, missing("server"));
    {
        std::lock_guard lock(m_mutex);
        m_server = server;
        m_owner = owner;
    }
    bool over_ssh = false;
    if (auto opened = open_server(server, over_ssh); !opened) return opened;
    m_opened.emit(*this);
    return {};
}

Core::Status ConnectionImpl::reopen() {
    const auto server = get_server();
    OMBRIX_RETURN_VAL_IF_NULL(server, missing("server"));
    bool over_ssh = false;
    if (auto opened = open_server(server, over_ssh, true); !opened) return opened;
    m_opened.emit(*this);
    return {};
}

void ConnectionImpl::start_open_async(std::shared_ptr<Server> server, Core::AsyncReadyCallback callback) {
    auto self = shared_as<ConnectionImpl>();
    auto over_ssh = std::make_shared<bool>(server->get_ssh_using());
    std::string log_id = log_id_of(server);
    Core::run_in_thread(
        [self, server = std::move(server), over_ssh] { return worker_outcome(self->open_server(server, *over_ssh)); },
        [self, over_ssh, log_id = std::move(log_id), callback = std::move(callback)](Core::AsyncResultPtr result) {
            if (result->failed()) {
                const auto& error = *result->error();
                LoggingService::error(as_log_id(log_id),
                                      *over_ssh ? "Failed to open connection over ssh: %d -> %s"
                                                : "Failed to open connection: %d -> %s",
                                      error.code, error.message.c_str());
            } else {
                self->m_opened.emit(*self);
            }
            if (callback) callback(std::move(result));
        });
}

void ConnectionImpl::open_async(const std::shared_ptr<Server>& server, const std::shared_ptr<Core::Object>& owner,
                                Core::AsyncReadyCallback callback) {
    if (!server) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "server != NULL");
        auto error = missing("server").error();
        Core::post_to_main([callback = std::move(callback), error] {
            if (callback) callback(Core::AsyncResult::failure(error));
        });
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_server = server;
        m_owner = owner;
    }
    start_open_async(server, std::move(callback));
}

Core::Status ConnectionImpl::open_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take_status();
}

void ConnectionImpl::reopen_async(Core::AsyncReadyCallback callback) {
    auto server = get_server();
    if (!server) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "server != NULL");
        auto error = missing("server").error();
        Core::post_to_main([callback = std::move(callback), error] {
            if (callback) callback(Core::AsyncResult::failure(error));
        });
        return;
    }
    start_open_async(std::move(server), std::move(callback));
}

Core::Status ConnectionImpl::reopen_finish(const Core::AsyncResultPtr& result) { return open_finish(result); }

void ConnectionImpl::release_tunnel() {
    std::shared_ptr<SshTunnel> tunnel;
    {
        std::lock_guard lock(m_mutex);
        tunnel = std::move(m_tunnel);
    }
    // Ending the program waits for it: outside the lock.
    tunnel.reset();
}

void ConnectionImpl::close() {
    const bool was_open = m_connection && m_connection->get_is_opened();
    if (was_open) {
        m_connection->close();
        std::shared_ptr<Contracts::Database::ICachable> cache;
        {
            std::lock_guard lock(m_mutex);
            cache = m_cache;
        }
        if (cache) cache->clear();
    }
    release_tunnel();
    if (!was_open) return;
    set_status(DBStatus::Closed);
    m_closed.emit(*this);
}

// ---- executing -------------------------------------------------------------------------------

Core::Result<std::int64_t> ConnectionImpl::execute_no_query(std::string_view sql, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    return run_logged(
        m_connection, get_server(), get_tunnel(), sql,
        [flag](IProvider& p, const std::string& text) { return p.execute_affect(text, flag); },
        // The whole 64-bit count: a text like "affected rows: 3" for every count, however large.
        [](const char* log_id, std::int64_t count) { LoggingService::info(log_id, "affected rows: %" PRId64, count); });
}

Core::Result<std::shared_ptr<TableModel>> ConnectionImpl::execute_as_model(std::string_view sql, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    return run_logged(
        m_connection, get_server(), get_tunnel(), sql,
        [flag](IProvider& p, const std::string& text) { return p.execute_model(text, flag); },
        [](const char* log_id, const std::shared_ptr<TableModel>& model) {
            LoggingService::info(log_id, "affected rows: %d", model ? static_cast<int>(model->get_n_items()) : 0);
        });
}

Core::Result<ValuePtr> ConnectionImpl::execute_as_scalar(std::string_view sql, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    return run_logged(
        m_connection, get_server(), get_tunnel(), sql,
        [flag](IProvider& p, const std::string& text) { return p.execute_scalar(text, flag); },
        [](const char* log_id, const ValuePtr&) { LoggingService::info(log_id, "affected rows: 1"); });
}

Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> ConnectionImpl::execute_reader(std::string_view sql) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    return run_logged(
        m_connection, get_server(), get_tunnel(), sql,
        [](IProvider& p, const std::string& text) { return p.execute_reader(text); },
        [](const char* log_id, const auto&) { LoggingService::info(log_id, "affected rows: %d", 0); });
}

Core::Result<ConnectionImpl::ObjectList> ConnectionImpl::execute(std::string_view statements, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statements, missing("statements"));
    return run_logged(
        m_connection, get_server(), get_tunnel(), statements,
        [flag](IProvider& p, const std::string& text) { return p.execute_statements(text, flag); },
        [](const char* log_id, const ObjectList& results) {
            for (const auto& result : results) {
                if (auto model = std::dynamic_pointer_cast<TableModel>(result))
                    LoggingService::info(log_id, "affected rows: %u", static_cast<unsigned>(model->get_n_items()));
                else if (std::dynamic_pointer_cast<Providers::Contracts::ValueObject>(result))
                    LoggingService::info(log_id, "affected rows: %s", "true");
            }
        });
}

void ConnectionImpl::run_execute_async(std::string_view sql,
                                       std::function<Core::AsyncResultPtr(const std::string&)> work,
                                       Core::AsyncReadyCallback callback) {
    std::string text(sql);
    std::string log_id = log_id_of(get_server());
    LoggingService::info(as_log_id(log_id), "SQL: %s", text.c_str());
    auto self = shared_as<ConnectionImpl>();
    Core::run_in_thread([self, text = std::move(text), work = std::move(work)] { return work(text); },
                        [self, log_id = std::move(log_id), callback = std::move(callback)](Core::AsyncResultPtr result) {
                            if (result->failed()) {
                                const auto& error = *result->error();
                                LoggingService::error(as_log_id(log_id), "failed: %d -> %s", error.code,
                                                      error.message.c_str());
                            }
                            if (callback) callback(std::move(result));
                        });
}

namespace {

// The completion of an asynchronous call refused before it started.
void refuse_async(const Core::Error& error, Core::AsyncReadyCallback callback) {
    Core::post_to_main([callback = std::move(callback), error] {
        if (callback) callback(Core::AsyncResult::failure(error));
    });
}

}  // namespace

#define OMBRIX_ASYNC_PRECONDITIONS(text)                                            \
    do {                                                                           \
        if (is_null(text)) {                                                       \
            Core::detail::assertion_failed(__PRETTY_FUNCTION__, #text " != NULL"); \
            refuse_async(missing(#text).error(), std::move(callback));             \
            return;                                                                \
        }                                                                          \
        if (!m_connection) {                                                       \
            refuse_async(no_provider().error(), std::move(callback));              \
            return;                                                                \
        }                                                                          \
    } while (0)

void ConnectionImpl::execute_no_query_async(std::string_view sql, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(sql);
    run_execute_async(sql, on_worker(m_connection, get_tunnel(), &IProvider::execute_affect), std::move(callback));
}

Core::Result<std::int64_t> ConnectionImpl::execute_no_query_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<std::int64_t>();
}

void ConnectionImpl::execute_as_model_async(std::string_view sql, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(sql);
    run_execute_async(sql, on_worker(m_connection, get_tunnel(), &IProvider::execute_model), std::move(callback));
}

Core::Result<std::shared_ptr<TableModel>> ConnectionImpl::execute_as_model_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<std::shared_ptr<TableModel>>();
}

void ConnectionImpl::execute_as_scalar_async(std::string_view sql, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(sql);
    run_execute_async(sql, on_worker(m_connection, get_tunnel(), &IProvider::execute_scalar), std::move(callback));
}

Core::Result<ValuePtr> ConnectionImpl::execute_as_scalar_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<ValuePtr>();
}

void ConnectionImpl::execute_async(std::string_view statements, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(statements);
    run_execute_async(statements, on_worker(m_connection, get_tunnel(), &IProvider::execute_statements),
                      std::move(callback));
}

Core::Result<ConnectionImpl::ObjectList> ConnectionImpl::execute_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<ObjectList>();
}

#undef OMBRIX_ASYNC_PRECONDITIONS

// ---- transactions ----------------------------------------------------------------------------

Core::Result<bool> ConnectionImpl::transaction() {
    if (!m_connection || !m_connection->get_is_opened()) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "m_connection.is_opened");
        return false;
    }
    return m_connection->transaction();
}

Core::Status ConnectionImpl::rollback() {
    if (!m_connection || !m_connection->get_is_opened()) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "m_connection.is_opened");
        return not_open();
    }
    return m_connection->rollback();
}

Core::Status ConnectionImpl::commit() {
    if (!m_connection || !m_connection->get_is_opened()) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "m_connection.is_opened");
        return not_open();
    }
    return m_connection->commit();
}

// ---- state -----------------------------------------------------------------------------------

Core::Status ConnectionImpl::update_version() { return {}; }

std::shared_ptr<Providers::Contracts::Server> ConnectionImpl::get_server() const {
    std::lock_guard lock(m_mutex);
    return m_server;
}

std::shared_ptr<Providers::Contracts::IProvider> ConnectionImpl::get_provider() const { return m_connection; }

void ConnectionImpl::set_status(DBStatus status) {
    if (m_status.exchange(status) != status) notify(ombrix_name_status);
}

std::string ConnectionImpl::get_version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}

void ConnectionImpl::set_version(std::string version) {
    {
        std::lock_guard lock(m_mutex);
        if (m_version == version) return;
        m_version = std::move(version);
    }
    notify(ombrix_name_version);
}

std::string ConnectionImpl::log_uuid() const { return log_id_of(get_server()); }

std::shared_ptr<Core::Object> ConnectionImpl::get_owner() const {
    std::lock_guard lock(m_mutex);
    return m_owner;
}

void ConnectionImpl::set_ssh_options(std::vector<std::string> options) {
    std::lock_guard lock(m_mutex);
    m_ssh_options = std::move(options);
}

std::shared_ptr<SshTunnel> ConnectionImpl::get_tunnel() const {
    std::lock_guard lock(m_mutex);
    return m_tunnel;
}

OMBRIX_DEFINE_TYPE(ConnectionImpl, "OmbrixSolvaneSupportsDatabaseConnectionImpl");

}  // namespace Ombrix::Solvane::Supports::Database
