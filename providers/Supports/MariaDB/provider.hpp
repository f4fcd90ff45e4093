/// @file The MariaDB provider: one client connection that runs SQL and returns models and values.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "providers/Contracts/face_provider.hpp"
#include "providers/Supports/MariaDB/reader.hpp"

// Builds with AddressSanitizer or ThreadSanitizer (GCC names them by macro, clang by feature).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OMBRIX_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OMBRIX_SANITIZED_BUILD 1
#endif
#endif
#ifndef OMBRIX_SANITIZED_BUILD
#define OMBRIX_SANITIZED_BUILD 0
#endif

namespace Ombrix::Providers::Supports {

/// A connection to a MariaDB (or MySQL) server through the client library. Every operation holds
/// the provider's recursive mutex for its whole run, so calls from several threads run one after
/// another. Failures are errors of domain "MariaDB": the client's error numbers, or -1 for the
/// provider's own (calls on a closed provider among them).
class OMBRIX_PROVIDERS_EXPORT MariaDBProvider final : public Core::Object,
                                                      public IMariaDBError,
                                                      public Contracts::IProvider {
public:
    static std::shared_ptr<MariaDBProvider> create();
    ~MariaDBProvider() override;

    OMBRIX_OBJECT(MariaDBProvider, Core::Object);

    /// The time limits, in seconds, of the sessions providers open from now on, in this process;
    /// 0 waits without limit. Until a program sets others: 3600 seconds for each.
    struct Timeouts {
        unsigned connect = 3600;
        unsigned read = 3600;
        unsigned write = 3600;
    };
    static void set_timeouts(const Timeouts& timeouts);
    static Timeouts get_timeouts();

    /// The initial size of a session's network buffer, which the client library allocates whole at
    /// every connect: the largest allowed. Builds with AddressSanitizer or ThreadSanitizer use 1 MB
    /// (the buffer grows as packets need): there the shadow of 4 GB costs seconds and hundreds of
    /// megabytes per session, long enough for the server to give up on the log-in.
#if OMBRIX_SANITIZED_BUILD
    static constexpr unsigned long kNetBufferLength = 1UL << 20;
#else
    static constexpr unsigned long kNetBufferLength = 4294967295UL;
#endif

    /// Connects with the profile's settings (TLS files and key passphrase when `ssl-using`), to its
    /// `initial` database or "mysql"; falls back to utf8 when the client cannot use utf8mb4. Any
    /// failure leaves the provider closed.
    [[nodiscard]] Core::Status open(const std::shared_ptr<Contracts::Server>& server,
                                    std::string_view connection_string) override;
    void close() override;
    /// Every row of the first result set; later results of the text are drained and their first
    /// error reported.
    [[nodiscard]] Core::Result<std::shared_ptr<Contracts::TableModel>> execute_model(std::string_view statement,
                                                                                     bool flag = false) override;
    [[nodiscard]] Core::Result<std::int64_t> execute_affect(std::string_view statement, bool flag = false) override;
    [[nodiscard]] Core::Result<Contracts::ValuePtr> execute_scalar(std::string_view statement,
                                                                   bool flag = false) override;
    /// One object per statement of the text; a failing statement adds a ValueError and ends the batch.
    [[nodiscard]] Core::Result<std::vector<std::shared_ptr<Core::Object>>> execute_statements(
        std::string_view statements, bool flag = false) override;
    /// A reader over a stored result: it stays readable whatever the provider runs next.
    [[nodiscard]] Core::Result<std::shared_ptr<Contracts::IDataReader>> execute_reader(
        std::string_view statement) override;
    /// Runs `statement` and reads its rows as they arrive, without storing the result: `on_start`
    /// once with the reader before the first row (names and types are known), then `on_row` with
    /// the reader on each row. The provider is busy until the last row; a failure of a callback
    /// stops the read, discards the rest and is returned.
    [[nodiscard]] Core::Status execute_streamed(std::string_view statement,
                                                const std::function<Core::Status(MariaDBReader&)>& on_start,
                                                const std::function<Core::Status(MariaDBReader&)>& on_row);
    /// What a local data load reports: the rows it stored and the warnings the server raised.
    struct LocalDataOutcome {
        std::int64_t rows = 0;
        unsigned warnings = 0;
    };
    /// Runs a `LOAD DATA LOCAL INFILE` statement whose file is not read from disk but from
    /// `source`, which fills the buffer it is given and returns the bytes written (0 at the end, a
    /// negative number to abort). Whatever file the server asks for, only `source` is read: the
    /// provider never hands the server a file of this machine.
    [[nodiscard]] Core::Result<LocalDataOutcome> execute_local_data(
        std::string_view statement, const std::function<long(char* buffer, std::size_t size)>& source);
    /// The warnings the last statement raised (notes among them).
    [[nodiscard]] unsigned warning_count();
    /// Switches autocommit off until the next commit or rollback.
    [[nodiscard]] Core::Result<bool> transaction() override;
    /// Commits and switches autocommit back on.
    [[nodiscard]] Core::Status commit() override;
    /// Rolls back and switches autocommit back on.
    [[nodiscard]] Core::Status rollback() override;
    /// Whether the connection answers a ping.
    OMBRIX_PROPERTY_READONLY(bool, is_opened, false);
    bool get_is_opened() const override;
    /// Whether the session still holds its connection, asked without a word to the server: after
    /// a lost connection the next statement logs in again, and whatever the session had set is gone.
    bool is_connected() const;

    /// The character set the connection uses ("utf8mb4", or "utf8" after the fallback); "" when closed.
    std::string get_charset() const;
    /// The server's version number (major * 10000 + minor * 100 + patch); 0 when closed.
    unsigned long get_server_version() const;
    /// The server's version text ("10.11.6-MariaDB"); "" when closed.
    std::string get_server_info() const;

    /// Cancels what this session is doing; callable from any thread while another runs a statement.
    /// Statements sent from now on fail at once with the server's "interrupted" error (1317) until
    /// the session is opened again, and the statement running now is stopped on the server by
    /// KILL QUERY, sent through a session of its own opened with the same settings (and the current
    /// connect time limit). Succeeds when nothing is running.
    [[nodiscard]] Core::Status cancel();
    /// Whether `error` says that a statement was interrupted (KILL QUERY, `cancel`) or that its
    /// session was killed: work that continues past failed statements stops on these.
    static bool is_interrupted(const Core::Error& error);
    /// Whether `error` says that the session has lost its server (gone, unreachable, stalled past
    /// a time limit, shutting down): the statements after it cannot succeed either, so work that
    /// continues past failed statements stops on these too.
    static bool is_connection_lost(const Core::Error& error);

private:
    MariaDBProvider() = default;
    /// An error unless a connection is open.
    Core::Status require_open() const;
    /// Reads the results that earlier statements of a text left pending; the first error is returned.
    Core::Status drain_results();
    /// Sends `statement` after draining what earlier calls left.
    Core::Status query(std::string_view statement);
    /// The client's error, or -1 with `message` when the client reports none.
    Core::Error client_error(const char* message) const;
    /// A model of every row of `result` (freed here).
    Core::Result<std::shared_ptr<Contracts::TableModel>> fill_model(const std::shared_ptr<MariaDBReader>& reader);

    static int infile_init(void** context, const char* filename, void* userdata);
    static int infile_read(void* context, char* buffer, unsigned int size);
    static void infile_end(void* context);
    static int infile_error(void* context, char* message, unsigned int size);

    mutable std::recursive_mutex m_mutex;
    ConnectionHandle m_mysql;
    /// The data of the local data load in progress; unset, the server's file requests are refused.
    const std::function<long(char*, std::size_t)>* m_infile_source = nullptr;
    std::string m_charset;
    // What cancel() needs, readable without the operation mutex that a running statement holds.
    std::atomic<bool> m_cancelled{false};
    std::atomic<unsigned long> m_thread_id{0};
    mutable std::mutex m_endpoint_mutex;
    std::shared_ptr<Contracts::Server> m_endpoint;
};

}  // namespace Ombrix::Providers::Supports
