#include "providers/Supports/MariaDB/provider.hpp"

#include <errmsg.h>
#include <glib.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <functional>
#include <mutex>

#include "providers/Contracts/value_scalar.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Supports {

using Contracts::TableModel;
using Contracts::ValuePtr;

namespace {

constexpr unsigned long kClientFlags = CLIENT_FOUND_ROWS | CLIENT_CONNECT_WITH_DB | CLIENT_PROTOCOL_41 |
                                       CLIENT_INTERACTIVE | CLIENT_MULTI_STATEMENTS | CLIENT_REMEMBER_OPTIONS;
static_assert(kClientFlags == 0x8001060A);

constexpr const char* kNoData = "No data return by non-select statement";

/// The error of a text argument a caller left unset (a null string), after its critical.
std::unexpected<Core::Error> missing(const char* what) {
    return Core::fail("MariaDB", -1, std::string(what) + " != NULL");
}

const char* or_null(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

namespace {
std::mutex timeouts_mutex;
MariaDBProvider::Timeouts session_timeouts;
}  // namespace

void MariaDBProvider::set_timeouts(const Timeouts& timeouts) {
    const std::lock_guard lock(timeouts_mutex);
    session_timeouts = timeouts;
}

MariaDBProvider::Timeouts MariaDBProvider::get_timeouts() {
    const std::lock_guard lock(timeouts_mutex);
    return session_timeouts;
}

std::shared_ptr<MariaDBProvider> MariaDBProvider::create() {
    static std::once_flag library_init;
    std::call_once(library_init, [] { mysql_server_init(0, nullptr, nullptr); });
    return Core::make_object<MariaDBProvider>();
}

MariaDBProvider::~MariaDBProvider() {
    std::lock_guard lock(m_mutex);
    m_mysql.reset();
}

OMBRIX_DEFINE_TYPE(MariaDBProvider, "OmbrixProvidersSupportsMariaDBProvider");

Core::Status MariaDBProvider::open(const std::shared_ptr<Contracts::Server>& server,
                                   std::string_view connection_string) {
    OMBRIX_RETURN_VAL_IF_NULL(server, missing("server"));
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(connection_string, missing("connection_string"));
    std::lock_guard lock(m_mutex);
    m_cancelled = false;
    m_thread_id = 0;
    m_mysql.reset(mysql_init(nullptr));
    if (!m_mysql.get()) return Core::fail("MariaDB", -1, Core::tr("Cannot create MYSQL object."));
    MYSQL* mysql = m_mysql.get();
    // Local data loads are announced to the server, but the file a server asks for is never opened:
    // the provider's own handler serves only the data of a load it started, and refuses otherwise.
    const unsigned int local_infile = 1;
    mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &local_infile);
    mysql_set_local_infile_handler(mysql, &MariaDBProvider::infile_init, &MariaDBProvider::infile_read,
                                   &MariaDBProvider::infile_end, &MariaDBProvider::infile_error, this);
    m_charset.clear();
    // A connection that did not come up is released, so that later calls report a closed provider
    // instead of a server that "has gone away" when it never was there.
    struct ReleaseUnlessOpened {
        MariaDBProvider& self;
        bool opened = false;
        ~ReleaseUnlessOpened() {
            if (!opened) self.m_mysql.reset();
        }
    } release{*this};

    auto check = [&](int rc) -> Core::Status {
        if (auto error = raise_error(mysql, rc)) return Core::fail(std::move(*error));
        return {};
    };
    const unsigned enabled = 1;
    const Timeouts timeouts = get_timeouts();
    const unsigned long largest = 4294967295UL;
    const unsigned protocol = 0;
    // The plug-in folder is the client library's own on this platform: no MYSQL_PLUGIN_DIR is set.
    const std::function<int()> options[] = {
        [&] { return mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4"); },
        [&] { return mysql_options4(mysql, MYSQL_OPT_CONNECT_ATTR_ADD, "program_name", "ombrix"); },
        [&] { return mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &enabled); },
        [&] { return mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeouts.connect); },
        [&] { return mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &timeouts.read); },
        [&] { return mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &timeouts.write); },
        [&] { return mysql_options(mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &largest); },
        [&] { return mysql_options(mysql, MYSQL_OPT_NET_BUFFER_LENGTH, &kNetBufferLength); },
        [&] { return mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol); },
        [&] { return mysql_options(mysql, MYSQL_OPT_TLS_VERSION, "TLSv1,TLSv1.1,TLSv1.2,TLSv1.3"); },
    };
    for (const auto& option : options) {
        if (auto status = check(option()); !status) return status;
    }

    unsigned long flags = kClientFlags;
    if (server->get_ssl_using()) {
        mysql_ssl_set(mysql, or_null(server->get_ssl_key_file()), or_null(server->get_ssl_cert_file()),
                      or_null(server->get_ssl_ca_file()), nullptr, nullptr);
        // TLS was asked for: never fall back to a plain connection.
        const my_bool enforce = 1;
        if (auto status = check(mysql_options(mysql, MYSQL_OPT_SSL_ENFORCE, &enforce)); !status) return status;
        // "verify-ca" and "verify-identity" check the server's chain against the profile's CA, and
        // "verify-identity" also the host name against the server's certificate.
        const std::string& mode = server->get_ssl_mode();
        if ((mode == "verify-ca" || mode == "verify-identity") && server->get_ssl_ca_file().empty())
            return Core::fail("MariaDB", -1, Core::strprintf(Core::tr("ssl-mode %s needs a CA file (ssl-ca)"), mode.c_str()));
        const my_bool identity = mode == "verify-identity";
        if (auto status = check(mysql_options(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &identity)); !status)
            return status;
        // The key's passphrase goes to the TLS layer as a passphrase, not as a cipher list.
        if (!server->get_ssl_password().empty()) {
            if (auto status = check(mysql_options(mysql, MARIADB_OPT_TLS_PASSPHRASE, server->get_ssl_password().c_str()));
                !status)
                return status;
        }
        flags |= CLIENT_SSL;
    } else {
        mysql_ssl_set(mysql, nullptr, nullptr, nullptr, nullptr, nullptr);
        // The client library takes any mysql_ssl_set call, even one without files, as a request for
        // TLS; a profile without ssl-using asks for a plain session.
        const my_bool plain = 0;
        if (auto status = check(mysql_options(mysql, MYSQL_OPT_SSL_ENFORCE, &plain)); !status) return status;
    }

    std::string database = server->get_initial().empty() ? "mysql" : server->get_initial();
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    auto connect = [&] {
        if (mysql_real_connect(mysql, server->get_host().c_str(), server->get_username().c_str(),
                               server->get_password().c_str(), database.empty() ? nullptr : database.c_str(),
                               server->get_port(), nullptr, flags) != nullptr)
            return true;
        // An account with rights on its own schemas only may not use "mysql": without an initial
        // database of its own choosing it logs in with none (1044: access denied to the database).
        if (mysql_errno(mysql) != 1044 || !server->get_initial().empty() || database.empty()) return false;
        database.clear();
        return mysql_real_connect(mysql, server->get_host().c_str(), server->get_username().c_str(),
                                  server->get_password().c_str(), nullptr, server->get_port(), nullptr,
                                  flags) != nullptr;
    };
    std::string charset = "utf8mb4";
    if (!connect()) {
        if (mysql_errno(mysql) != 2019) {
            if (auto error = raise_error(mysql, -1)) return Core::fail(std::move(*error));
            return Core::fail("MariaDB", -1, Core::tr("Cannot connect to the server."));
        }
        // The client cannot use utf8mb4: once more with utf8.
        mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8");
        charset = "utf8";
        if (!connect()) {
            if (auto error = raise_error(mysql, -2)) return Core::fail(std::move(*error));
            return Core::fail("MariaDB", -1, Core::tr("Cannot connect to the server."));
        }
    }
    if (mysql_get_server_version(mysql) <= 40099) {
        return Core::fail("MariaDB", -1, Core::tr("Servers older than version 4.1 are not supported."));
    }
    const my_bool reconnect = 1;
    if (auto status = check(mysql_options(mysql, MYSQL_OPT_RECONNECT, &reconnect)); !status) return status;
    auto names = execute_affect(charset == "utf8" ? "SET NAMES 'utf8'" : "SET NAMES 'utf8mb4'");
    OMBRIX_RETURN_IF_ERROR(names);
    m_charset = charset;
    m_thread_id = mysql_thread_id(mysql);
    {
        std::lock_guard endpoint_lock(m_endpoint_mutex);
        m_endpoint = server->clone(false);
    }
    release.opened = true;
    return {};
}

Core::Status MariaDBProvider::cancel() {
    m_cancelled = true;
    std::shared_ptr<Contracts::Server> endpoint;
    {
        std::lock_guard lock(m_endpoint_mutex);
        endpoint = m_endpoint;
    }
    const unsigned long id = m_thread_id;
    if (!endpoint || id == 0) return {};
    auto killer = create();
    OMBRIX_RETURN_IF_ERROR(killer->open(endpoint, ""));
    auto killed = killer->execute_affect("KILL QUERY " + std::to_string(id));
    killer->close();
    // 1094: the session has ended meanwhile, so nothing runs there any more.
    if (!killed && killed.error().code != 1094) return Core::fail(std::move(killed.error()));
    return {};
}

bool MariaDBProvider::is_connection_lost(const Core::Error& error) {
    if (error.domain != "MariaDB") return false;
    switch (error.code) {
        case CR_CONNECTION_ERROR:
        case CR_CONN_HOST_ERROR:
        case CR_SERVER_GONE_ERROR:
        case CR_SERVER_LOST:
        case CR_SERVER_LOST_EXTENDED:
        case ER_SERVER_SHUTDOWN:
            return true;
        default:
            return false;
    }
}

bool MariaDBProvider::is_interrupted(const Core::Error& error) {
    // ER_QUERY_INTERRUPTED and ER_CONNECTION_KILLED.
    return error.code == 1317 || error.code == 1927;
}

void MariaDBProvider::close() {
    std::lock_guard lock(m_mutex);
    m_mysql.reset();
    m_charset.clear();
    g_debug("%s: Connection closed.", G_STRLOC);
}

bool MariaDBProvider::get_is_opened() const {
    std::lock_guard lock(m_mutex);
    // A session that has lost its connection is not open. A ping would log in again (sessions
    // reconnect on their own), and a server that has stopped answering would make that wait out
    // the connect time limit, twice.
    return is_connected() && mysql_ping(m_mysql.get()) == 0;
}

bool MariaDBProvider::is_connected() const {
    std::lock_guard lock(m_mutex);
    return m_mysql.get() && mysql_get_socket(m_mysql.get()) != MARIADB_INVALID_SOCKET;
}

std::string MariaDBProvider::get_charset() const {
    std::lock_guard lock(m_mutex);
    return m_charset;
}

unsigned long MariaDBProvider::get_server_version() const {
    std::lock_guard lock(m_mutex);
    return m_mysql.get() ? mysql_get_server_version(m_mysql.get()) : 0;
}

std::string MariaDBProvider::get_server_info() const {
    std::lock_guard lock(m_mutex);
    const char* info = m_mysql.get() ? mysql_get_server_info(m_mysql.get()) : nullptr;
    return info ? info : "";
}

Core::Status MariaDBProvider::require_open() const {
    if (!m_mysql.get()) return Core::fail("MariaDB", -1, Core::tr("The connection is not open."));
    return {};
}

Core::Error MariaDBProvider::client_error(const char* message) const {
    if (auto error = raise_error(m_mysql.get(), -1)) return *error;
    return Core::Error{"MariaDB", -1, Core::tr(message)};
}

Core::Status MariaDBProvider::drain_results() {
    Core::Status first;
    while (mysql_more_results(m_mysql.get())) {
        const int rc = mysql_next_result(m_mysql.get());
        if (rc > 0) {
            if (auto error = raise_error(m_mysql.get(), rc); error && first) first = Core::fail(std::move(*error));
            break;
        }
        if (rc != 0) break;
        const ResultHandle result{mysql_store_result(m_mysql.get())};
        if (!result && mysql_field_count(m_mysql.get()) != 0) {
            if (auto error = raise_error(m_mysql.get(), -1); error && first) first = Core::fail(std::move(*error));
            break;
        }
    }
    return first;
}

Core::Status MariaDBProvider::query(std::string_view statement) {
    if (auto open = require_open(); !open) return open;
    if (m_cancelled) return Core::fail("MariaDB", 1317, Core::tr("Query execution was interrupted"));
    // Whatever an earlier call left pending is not this call's business.
    (void)drain_results();
    const int rc = mysql_real_query(m_mysql.get(), statement.data(), statement.size());
    if (auto error = raise_error(m_mysql.get(), rc)) return Core::fail(std::move(*error));
    if (rc != 0) return Core::fail("MariaDB", -1, Core::tr("The statement failed."));
    return {};
}

Core::Result<std::shared_ptr<TableModel>> MariaDBProvider::fill_model(const std::shared_ptr<MariaDBReader>& reader) {
    auto model = reader->read_model();
    reader->close();
    return model;
}

Core::Result<std::int64_t> MariaDBProvider::execute_affect(std::string_view statement, bool) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statement));
    const auto affected = static_cast<std::int64_t>(mysql_affected_rows(m_mysql.get()));
    ResultHandle{mysql_store_result(m_mysql.get())};  // read and freed: only the count matters
    OMBRIX_RETURN_IF_ERROR(drain_results());
    return affected;
}

Core::Result<std::shared_ptr<TableModel>> MariaDBProvider::execute_model(std::string_view statement, bool) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statement));
    // The rows are read as they arrive: the whole model is built anyway, and streaming lets the
    // server send while the values are made, without a second copy of the result in memory.
    MYSQL_RES* result = mysql_use_result(m_mysql.get());
    if (!result) {
        if (mysql_field_count(m_mysql.get()) != 0) return Core::fail(client_error(kNoData));
        (void)drain_results();
        return Core::fail("MariaDB", -1, Core::tr(kNoData));
    }
    auto model = fill_model(MariaDBReader::create_streamed(result, m_mysql.get()));
    if (!model) {
        (void)drain_results();
        return model;
    }
    OMBRIX_RETURN_IF_ERROR(drain_results());
    return model;
}

Core::Result<ValuePtr> MariaDBProvider::execute_scalar(std::string_view statement, bool) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statement));
    ValuePtr value;
    if (MYSQL_RES* stored = mysql_store_result(m_mysql.get())) {
        auto reader = MariaDBReader::create(stored);
        if (reader->get_field_count() > 0) {
            auto row = reader->read();
            OMBRIX_RETURN_IF_ERROR(row);
            if (*row) {
                auto first = reader->get_value(0);
                OMBRIX_RETURN_IF_ERROR(first);
                value = std::move(*first);
            }
        }
    } else if (mysql_field_count(m_mysql.get()) != 0) {
        return Core::fail(client_error("The result could not be read."));
    }
    // Read after the result is stored, so a SELECT without rows counts 0 rather than "no count".
    if (!value) value = Contracts::ValueUInt64::create(mysql_affected_rows(m_mysql.get()));
    OMBRIX_RETURN_IF_ERROR(drain_results());
    return value;
}

Core::Result<std::vector<std::shared_ptr<Core::Object>>> MariaDBProvider::execute_statements(
    std::string_view statements, bool) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statements, missing("statements"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statements));
    std::vector<std::shared_ptr<Core::Object>> results;
    while (true) {
        if (MYSQL_RES* stored = mysql_store_result(m_mysql.get())) {
            auto model = fill_model(MariaDBReader::create(stored));
            if (!model) {
                (void)drain_results();
                return Core::fail(model.error());
            }
            results.push_back(std::move(*model));
        } else if (mysql_field_count(m_mysql.get()) != 0) {
            // The result could not be stored: its error takes the statement's place and the batch
            // goes on with whatever the server sends next. A client error (connection lost, no
            // memory, out of sync) leaves the rest of the stream unreadable, so the batch ends there.
            const unsigned int code = mysql_errno(m_mysql.get());
            results.push_back(Contracts::ValueError::create(static_cast<std::int32_t>(code), mysql_error(m_mysql.get())));
            if ((code >= CR_MIN_ERROR && code <= CR_MAX_ERROR) || (code >= CER_MIN_ERROR && code <= CER_MAX_ERROR))
                break;
        } else {
            results.push_back(Contracts::ValueUInt64::create(mysql_affected_rows(m_mysql.get())));
        }
        const int rc = mysql_next_result(m_mysql.get());
        if (rc > 0) {
            // A later statement failed: it is this batch's result, not the next call's surprise.
            results.push_back(Contracts::ValueError::create(static_cast<std::int32_t>(mysql_errno(m_mysql.get())),
                                                            mysql_error(m_mysql.get())));
            break;
        }
        if (rc != 0) break;
    }
    (void)drain_results();
    return results;
}

Core::Result<std::shared_ptr<Contracts::IDataReader>> MariaDBProvider::execute_reader(std::string_view statement) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statement));
    MYSQL_RES* stored = mysql_store_result(m_mysql.get());
    if (!stored) {
        if (mysql_field_count(m_mysql.get()) != 0) return Core::fail(client_error(kNoData));
        (void)drain_results();
        return Core::fail("MariaDB", -1, Core::tr(kNoData));
    }
    auto reader = MariaDBReader::create(stored);
    if (reader->get_field_count() == 0) return Core::fail("MariaDB", -1, Core::tr(kNoData));
    OMBRIX_RETURN_IF_ERROR(drain_results());
    return std::static_pointer_cast<Contracts::IDataReader>(reader);
}

int MariaDBProvider::infile_init(void** context, const char*, void* userdata) {
    *context = userdata;
    return static_cast<MariaDBProvider*>(userdata)->m_infile_source ? 0 : 1;
}

int MariaDBProvider::infile_read(void* context, char* buffer, unsigned int size) {
    const auto* source = static_cast<MariaDBProvider*>(context)->m_infile_source;
    if (!source) return -1;
    const long written = (*source)(buffer, size);
    return written < 0 ? -1 : static_cast<int>(written);
}

void MariaDBProvider::infile_end(void*) {}

int MariaDBProvider::infile_error(void* context, char* message, unsigned int size) {
    const bool armed = context && static_cast<MariaDBProvider*>(context)->m_infile_source;
    g_strlcpy(message, armed ? "reading the local data failed" : "the client refuses to send local files", size);
    return 2000;
}

Core::Result<MariaDBProvider::LocalDataOutcome> MariaDBProvider::execute_local_data(
    std::string_view statement, const std::function<long(char* buffer, std::size_t size)>& source) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    m_infile_source = &source;
    struct Disarm {
        const std::function<long(char*, std::size_t)>*& slot;
        ~Disarm() { slot = nullptr; }
    } disarm{m_infile_source};
    OMBRIX_RETURN_IF_ERROR(query(statement));
    LocalDataOutcome outcome;
    outcome.rows = static_cast<std::int64_t>(mysql_affected_rows(m_mysql.get()));
    outcome.warnings = mysql_warning_count(m_mysql.get());
    ResultHandle{mysql_store_result(m_mysql.get())};  // read and freed: only the count matters
    OMBRIX_RETURN_IF_ERROR(drain_results());
    return outcome;
}

unsigned MariaDBProvider::warning_count() {
    std::lock_guard lock(m_mutex);
    return m_mysql ? mysql_warning_count(m_mysql.get()) : 0;
}

Core::Status MariaDBProvider::execute_streamed(std::string_view statement,
                                              const std::function<Core::Status(MariaDBReader&)>& on_start,
                                              const std::function<Core::Status(MariaDBReader&)>& on_row) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, missing("statement"));
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(query(statement));
    MYSQL_RES* result = mysql_use_result(m_mysql.get());
    if (!result) {
        if (mysql_field_count(m_mysql.get()) != 0) return Core::fail(client_error(kNoData));
        (void)drain_results();
        return Core::fail("MariaDB", -1, Core::tr(kNoData));
    }
    auto reader = MariaDBReader::create_streamed(result, m_mysql.get());
    Core::Status outcome = on_start ? on_start(*reader) : Core::Status{};
    while (outcome) {
        auto more = reader->read();
        if (!more) {
            outcome = Core::fail(more.error());
            break;
        }
        if (!*more) break;
        if (on_row) outcome = on_row(*reader);
    }
    // Whatever stopped the read, the rest of the result is discarded before the next statement.
    reader->close();
    auto rest = drain_results();
    if (outcome && !rest) return Core::fail(rest.error());
    return outcome;
}

Core::Result<bool> MariaDBProvider::transaction() {
    std::lock_guard lock(m_mutex);
    OMBRIX_RETURN_IF_ERROR(require_open());
    if (mysql_autocommit(m_mysql.get(), 0) != 0) {
        if (auto error = raise_error(m_mysql.get(), -1)) return Core::fail(std::move(*error));
        return false;
    }
    return true;
}

Core::Status MariaDBProvider::commit() {
    std::lock_guard lock(m_mutex);
    if (auto open = require_open(); !open) return open;
    if (mysql_commit(m_mysql.get()) != 0) {
        if (auto error = raise_error(m_mysql.get(), -1)) return Core::fail(std::move(*error));
    }
    // The transaction is over: later statements commit on their own again.
    if (mysql_autocommit(m_mysql.get(), 1) != 0) {
        if (auto error = raise_error(m_mysql.get(), -1)) return Core::fail(std::move(*error));
    }
    return {};
}

Core::Status MariaDBProvider::rollback() {
    std::lock_guard lock(m_mutex);
    if (auto open = require_open(); !open) return open;
    if (mysql_rollback(m_mysql.get()) != 0) {
        if (auto error = raise_error(m_mysql.get(), -1)) return Core::fail(std::move(*error));
    }
    if (mysql_autocommit(m_mysql.get(), 1) != 0) {
        if (auto error = raise_error(m_mysql.get(), -1)) return Core::fail(std::move(*error));
    }
    return {};
}

}  // namespace Ombrix::Providers::Supports
