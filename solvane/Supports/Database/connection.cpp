#include "solvane/Supports/Database/connection.hpp"

#include "providers/Contracts/face_reader.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Exceptions/sql_error.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Database/cache.hpp"
#include "solvane/Supports/Database/formatter.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Foundation::LoggingService;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;

namespace {

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

}  // namespace

ConnectionImpl::ConnectionImpl() = default;

ConnectionImpl::~ConnectionImpl() {
    // The provider's connection goes through the tunnel: close it before the tunnel ends.
    m_connection.reset();
    m_tunnel.reset();
}

std::shared_ptr<ConnectionImpl> ConnectionImpl::create() {
    return std::shared_ptr<ConnectionImpl>(new ConnectionImpl());
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
                LoggingService::debug(nullptr, "SQL: connection opened");
                return {};
            }
        }
    }
    set_status(DBStatus::Failed);
    LoggingService::warning(nullptr, "SQL: Failed to open connection: %s", outcome.error().message.c_str());
    return outcome;
}

Core::Status ConnectionImpl::open_over_ssh(const std::shared_ptr<Server>& server) {
    LoggingService::debug(nullptr, "launch ssh tunnel......");
    std::vector<std::string> options;
    {
        std::lock_guard lock(m_mutex);
        options = m_ssh_options;
    }
    auto tunnel = SshTunnel::acquire(server, options);
    if (!tunnel) {
        LoggingService::error(nullptr, "Failed to lauch ssh tunnel.");
        set_status(DBStatus::Failed);
        return Core::fail(std::move(tunnel.error()));
    }
    LoggingService::message(nullptr, "Lauch ssh tunnel successfully.");
    std::shared_ptr<SshTunnel> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_tunnel, *tunnel);
    }
    previous.reset();  // a tunnel to the same target is shared, so this never ends the new one

    auto local = server->clone(false);
    local->set_host("127.0.0.1");
    local->set_port((*tunnel)->get_local_port());
    LoggingService::debug(nullptr, "connect to server: %s:%u......", local->get_host().c_str(),
                          static_cast<unsigned>(local->get_port()));
    auto opened = open_direct(local);
    if (!opened) release_tunnel();
    return opened;
}

Core::Status ConnectionImpl::open_server(const std::shared_ptr<Server>& server, bool& over_ssh) {
    over_ssh = server->get_ssh_using();
    if (over_ssh) return open_over_ssh(server);
    // A profile that no longer asks for a tunnel must not keep an old one alive.
    release_tunnel();
    return open_direct(server);
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
    if (auto opened = open_server(server, over_ssh); !opened) return opened;
    m_opened.emit(*this);
    return {};
}

void ConnectionImpl::start_open_async(std::shared_ptr<Server> server, Core::AsyncReadyCallback callback) {
    auto self = shared_as<ConnectionImpl>();
    auto over_ssh = std::make_shared<bool>(server->get_ssh_using());
    Core::run_in_thread(
        [self, server = std::move(server), over_ssh] { return worker_outcome(self->open_server(server, *over_ssh)); },
        [self, over_ssh, callback = std::move(callback)](Core::AsyncResultPtr result) {
            if (result->failed()) {
                const auto& error = *result->error();
                LoggingService::error(nullptr,
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
    if (!m_connection) return no_provider();
    const std::string text(sql);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto count = m_connection->execute_affect(text, flag);
    if (!count) return count;
    LoggingService::info(nullptr, "affected rows: %d", static_cast<int>(*count));
    return count;
}

Core::Result<std::shared_ptr<TableModel>> ConnectionImpl::execute_as_model(std::string_view sql, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    if (!m_connection) return no_provider();
    const std::string text(sql);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto model = m_connection->execute_model(text, flag);
    if (!model) return model;
    LoggingService::info(nullptr, "affected rows: %d", *model ? static_cast<int>((*model)->get_n_items()) : 0);
    return model;
}

Core::Result<ValuePtr> ConnectionImpl::execute_as_scalar(std::string_view sql, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    if (!m_connection) return no_provider();
    const std::string text(sql);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto value = m_connection->execute_scalar(text, flag);
    if (!value) return value;
    LoggingService::info(nullptr, "affected rows: 1");
    return value;
}

Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> ConnectionImpl::execute_reader(std::string_view sql) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(sql, missing("sql"));
    if (!m_connection) return no_provider();
    const std::string text(sql);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto reader = m_connection->execute_reader(text);
    if (!reader) return reader;
    LoggingService::info(nullptr, "affected rows: %d", 0);
    return reader;
}

Core::Result<ConnectionImpl::ObjectList> ConnectionImpl::execute(std::string_view statements, bool flag) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statements, missing("statements"));
    if (!m_connection) return no_provider();
    const std::string text(statements);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto results = m_connection->execute_statements(text, flag);
    if (!results) return results;
    for (const auto& result : *results) {
        if (!result) continue;
        if (auto model = std::dynamic_pointer_cast<TableModel>(result))
            LoggingService::info(nullptr, "affected rows: %u", static_cast<unsigned>(model->get_n_items()));
        else
            LoggingService::info(nullptr, "affected rows: %s", "true");
    }
    return results;
}

void ConnectionImpl::run_execute_async(std::string_view sql,
                                       std::function<Core::AsyncResultPtr(const std::string&)> work,
                                       Core::AsyncReadyCallback callback) {
    std::string text(sql);
    LoggingService::info(nullptr, "SQL: %s", text.c_str());
    auto self = shared_as<ConnectionImpl>();
    Core::run_in_thread([self, text = std::move(text), work = std::move(work)] { return work(text); },
                        [self, callback = std::move(callback)](Core::AsyncResultPtr result) {
                            if (result->failed()) {
                                const auto& error = *result->error();
                                LoggingService::error(nullptr, "failed: %d -> %s", error.code, error.message.c_str());
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
    auto provider = m_connection;
    run_execute_async(
        sql, [provider](const std::string& text) { return worker_outcome(provider->execute_affect(text, true)); },
        std::move(callback));
}

Core::Result<std::int64_t> ConnectionImpl::execute_no_query_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<std::int64_t>();
}

void ConnectionImpl::execute_as_model_async(std::string_view sql, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(sql);
    auto provider = m_connection;
    run_execute_async(
        sql, [provider](const std::string& text) { return worker_outcome(provider->execute_model(text, true)); },
        std::move(callback));
}

Core::Result<std::shared_ptr<TableModel>> ConnectionImpl::execute_as_model_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<std::shared_ptr<TableModel>>();
}

void ConnectionImpl::execute_as_scalar_async(std::string_view sql, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(sql);
    auto provider = m_connection;
    run_execute_async(
        sql, [provider](const std::string& text) { return worker_outcome(provider->execute_scalar(text, true)); },
        std::move(callback));
}

Core::Result<ValuePtr> ConnectionImpl::execute_as_scalar_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, missing("result"));
    return result->take<ValuePtr>();
}

void ConnectionImpl::execute_async(std::string_view statements, Core::AsyncReadyCallback callback) {
    OMBRIX_ASYNC_PRECONDITIONS(statements);
    auto provider = m_connection;
    run_execute_async(
        statements,
        [provider](const std::string& text) { return worker_outcome(provider->execute_statements(text, true)); },
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
    if (m_status.exchange(status) != status) notify("status");
}

const std::string& ConnectionImpl::get_version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}

void ConnectionImpl::set_version(std::string version) {
    {
        std::lock_guard lock(m_mutex);
        if (m_version == version) return;
        m_version = std::move(version);
    }
    notify("version");
}

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

const Core::TypeInfo& ConnectionImpl::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ConnectionImpl, Core::Object>("OmbrixSolvaneSupportsDatabaseConnectionImpl")
            .property("status", &ConnectionImpl::get_status, &ConnectionImpl::set_status, DBStatus::Unknown)
            .property("server", &ConnectionImpl::get_server, nullptr, std::shared_ptr<Server>())
            .property<std::shared_ptr<Core::Object>>(
                "provider",
                [](const ConnectionImpl& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_provider()); },
                nullptr, std::shared_ptr<Core::Object>())
            .property<std::string>(
                "version", [](const ConnectionImpl& self) { return self.get_version(); }, nullptr, std::string())
            .build();
    return info;
}

OMBRIX_REGISTER_TYPE(ConnectionImpl);

}  // namespace Ombrix::Solvane::Supports::Database
