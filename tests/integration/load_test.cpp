// Load on the sandbox server: many open/close cycles and asynchronous executes on one connection
// without growth of descriptors, threads or memory, and threads that share one connection or use
// one each, with every answer checked. Figures go to stdout on lines starting "LOAD ".
#include <dirent.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/async.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Foundation/services.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"
#include "solvane/Supports/Log/manager.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The bytes of the blocks the sanitizer's allocator holds for the program.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif
#if defined(__SANITIZE_ADDRESS__)
// Empties the allocator's quarantine of freed blocks and returns free memory to the system.
extern "C" void __sanitizer_purge_allocator();
#endif

namespace Ombrix::Testing::LoadFigures {
namespace {

using Providers::Contracts::TableModel;
using Providers::Contracts::ValueError;
using Solvane::Foundation::LoggingService;
using Solvane::Supports::Database::mariadb_quote_identifier;
using Solvane::Supports::Database::MariaDBConnection;
using Clock = std::chrono::steady_clock;

// The counts.
constexpr int kOpenCloseCycles = 1000;
constexpr int kAsyncExecutes = 10000;
// Asynchronous executes in flight at once: each one is a worker thread waiting for the
// connection's lock, so the connection is used by several threads all the time.
constexpr int kInFlight = 8;

// What a loop may leave behind once it has completed, measured after a warm-up that made the
// process's lasting resources (log files, allocator arenas, thread stacks the C library keeps,
// the client library's one-time state):
// - descriptors: none; a socket or a log file left open per cycle is a leak;
// - threads: none; every asynchronous call's worker has ended once its completion ran;
// - live heap (the bytes of the blocks the program holds, as the allocator counts them): 1 MB,
//   below what a leak of 1 kB per cycle or of 100 bytes per execute would hold;
// - resident memory: 4 MB more for allocator fragmentation and for pages touched once the
//   warm-up was over. Under the sanitizers resident memory is reported, not bounded: their
//   allocators keep per-thread caches and size-class regions for the thousands of short-lived
//   workers (tens of MB that the live heap shows are not held by the program), and the race
//   detector's history grows by design.
constexpr long kFdGrowth = 0;
constexpr long kThreadGrowth = 0;
constexpr double kHeapGrowthMb = 1;
constexpr double kRssGrowthMb = 4;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kRssBounded = false;
#else
constexpr bool kRssBounded = true;
#endif

// Threads of the concurrency test and the rounds each runs.
constexpr int kThreads = 8;
constexpr int kRounds = 60;
constexpr int kStatementsPerRound = 9;

long count_entries(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return -1;
    long n = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++n;
    closedir(dir);
    return n;
}

struct Usage {
    long fds = 0;  // counted while the listing's own descriptor is open: the same +1 every time
    long threads = 0;
    double rss_mb = 0;
    double heap_mb = 0;
};

double live_heap_mb() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const double bytes = static_cast<double>(__sanitizer_get_current_allocated_bytes());
#else
    // Blocks in the arenas and blocks mapped on their own (a session's network buffer among them).
    const struct mallinfo2 info = mallinfo2();
    const double bytes = static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
#endif
    return bytes / (1024.0 * 1024.0);
}

Usage sample() {
    Usage usage;
    usage.fds = count_entries("/proc/self/fd");
    usage.threads = count_entries("/proc/self/task");
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    usage.rss_mb = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    usage.heap_mb = live_heap_mb();
    return usage;
}

// The usage once the finished work has let go: detached workers whose completion already ran may
// still be unwinding, so the thread count is read until it has stopped falling (or reached
// `threads_at_most`); then the allocator hands back the free memory it keeps (and empties its
// quarantine under AddressSanitizer), so that resident memory tells what is still held.
Usage settle(long threads_at_most = 0) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    long last = count_entries("/proc/self/task");
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const long now = count_entries("/proc/self/task");
        if ((threads_at_most > 0 && now <= threads_at_most) || (threads_at_most == 0 && now == last)) break;
        last = now;
    }
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_purge_allocator();
#elif !defined(__SANITIZE_THREAD__)
    malloc_trim(0);
#endif
    return sample();
}

void expect_no_growth(const char* what, const Usage& before, const Usage& after) {
    std::printf("LOAD %s: fds %ld -> %ld, threads %ld -> %ld, rss %.1f MB -> %.1f MB (%+.1f MB), live heap %+.2f MB\n",
                what, before.fds, after.fds, before.threads, after.threads, before.rss_mb, after.rss_mb,
                after.rss_mb - before.rss_mb, after.heap_mb - before.heap_mb);
    std::fflush(stdout);
    EXPECT_LE(after.fds - before.fds, kFdGrowth) << what << ": descriptors";
    EXPECT_LE(after.threads - before.threads, kThreadGrowth) << what << ": threads";
    EXPECT_LE(after.heap_mb - before.heap_mb, kHeapGrowthMb) << what << ": live heap";
    if (kRssBounded) {
        EXPECT_LE(after.rss_mb - before.rss_mb, kRssGrowthMb) << what << ": resident memory";
    }
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string text_at(const std::shared_ptr<TableModel>& model, std::size_t column, std::size_t row) {
    auto value = model ? model->get_value_at(column, row) : nullptr;
    return value ? value->to_string() : "<none>";
}

// Every failing statement writes the connection's options as a GLib warning: the statements that
// fail on purpose would bury the test's own output, so those warnings are dropped and others kept.
void drop_option_dumps(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (message && std::strstr(message, "Connection options:")) return;
    g_log_default_handler(domain, level, message, nullptr);
}

// The logging service writes the main log and the connection's own log as a host's would.
class LoadOnConnection : public ::testing::Test {
protected:
    void SetUp() override {
        m_warnings = g_log_set_handler("Ombrix", G_LOG_LEVEL_WARNING, drop_option_dumps, nullptr);
        using namespace Solvane;
        Foundation::Services::register_type<Contracts::Log::ILogManager, Supports::Log::LogManager>();
        LoggingService::initialize("LOAD-MAIN", Contracts::Log::LogLevel::PLAIN, m_logs.path().c_str(), 0);
        m_schema = std::make_unique<ScratchSchema>("load");
        m_server = Sandbox::get().profile();
        m_server->set_initial(m_schema->name());
    }
    void TearDown() override {
        m_schema.reset();
        // The connection's log is a temporary file that outlives the process: about 1 MB per test here.
        std::vector<std::string> connection_logs;
        if (const auto manager = LoggingService::get_manager(); manager && m_server) {
            for (const auto& handler : manager->open(m_server->get_uuid())->get_handlers())
                if (auto file = std::dynamic_pointer_cast<Solvane::Supports::Log::TempFileLogHandler>(handler))
                    connection_logs.push_back(file->get_path());
        }
        LoggingService::shutdown();
        for (const auto& path : connection_logs) std::remove(path.c_str());
        g_log_remove_handler("Ombrix", m_warnings);
    }

    std::string table(const std::string& name) const {
        return mariadb_quote_identifier(m_schema->name()) + "." + mariadb_quote_identifier(name);
    }

    // Opens and closes `connection` `cycles` times, every other open on a worker thread.
    void cycle(MariaDBConnection& connection, int cycles) {
        for (int i = 0; i < cycles; ++i) {
            if (i % 2 == 0) {
                auto opened = connection.open(m_server, nullptr);
                ASSERT_TRUE(opened.has_value()) << "cycle " << i << ": " << describe(opened.error());
            } else {
                Core::AsyncResultPtr result;
                connection.open_async(m_server, nullptr, [&](Core::AsyncResultPtr r) { result = std::move(r); });
                Core::run_main_until([&] { return result != nullptr; });
                auto opened = connection.open_finish(result);
                ASSERT_TRUE(opened.has_value()) << "cycle " << i << ": " << describe(opened.error());
            }
            connection.close();
        }
    }

    // Runs `count` asynchronous executes, `kInFlight` at a time, in the four forms in turn, and
    // checks each answer against the statement that asked for it.
    void execute_async(MariaDBConnection& connection, int count) {
        int started = 0;
        int finished = 0;
        int wrong = 0;
        auto report = [&](int i, const std::string& got, const std::string& wanted) {
            if (got == wanted) return;
            if (++wrong <= 5) ADD_FAILURE() << "execute " << i << ": got " << got << ", wanted " << wanted;
        };
        std::function<void()> start_next = [&] {
            const int i = started++;
            auto done = [&, i](auto check) {
                return [&, i, check](Core::AsyncResultPtr result) {
                    check(i, result);
                    ++finished;
                    if (started < count) start_next();
                };
            };
            switch (i % 4) {
                case 0:
                    connection.execute_as_scalar_async(
                        "SELECT " + std::to_string(i) + " * 7", done([&](int n, const Core::AsyncResultPtr& r) {
                            auto value = connection.execute_as_scalar_finish(r);
                            report(n, value ? (*value ? (*value)->to_string() : "null") : describe(value.error()),
                                   std::to_string(n * 7));
                        }));
                    break;
                case 1:
                    connection.execute_no_query_async(
                        "DO " + std::to_string(i), done([&](int n, const Core::AsyncResultPtr& r) {
                            auto count = connection.execute_no_query_finish(r);
                            report(n, count ? std::to_string(*count) : describe(count.error()), "0");
                        }));
                    break;
                case 2:
                    connection.execute_as_model_async(
                        "SELECT " + std::to_string(i) + " AS n, CONCAT('row ', " + std::to_string(i) + ") AS t",
                        done([&](int n, const Core::AsyncResultPtr& r) {
                            auto model = connection.execute_as_model_finish(r);
                            report(
                                n,
                                model ? text_at(*model, 0, 0) + "|" + text_at(*model, 1, 0) : describe(model.error()),
                                std::to_string(n) + "|row " + std::to_string(n));
                        }));
                    break;
                default:
                    connection.execute_async(
                        "SELECT " + std::to_string(i) + "; SELECT " + std::to_string(i) + " + 1",
                        done([&](int n, const Core::AsyncResultPtr& r) {
                            auto results = connection.execute_finish(r);
                            std::string got = results ? std::to_string(results->size()) : describe(results.error());
                            if (results)
                                for (const auto& one : *results)
                                    got += "|" + text_at(std::dynamic_pointer_cast<TableModel>(one), 0, 0);
                            report(n, got, "2|" + std::to_string(n) + "|" + std::to_string(n + 1));
                        }));
                    break;
            }
        };
        for (int i = 0; i < kInFlight && started < count; ++i) start_next();
        Core::run_main_until([&] { return finished == count; });
        EXPECT_EQ(wrong, 0) << "answers that did not match their statement";
    }

    guint m_warnings = 0;
    TempDir m_logs;
    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Providers::Contracts::Server> m_server;
};

TEST_F(LoadOnConnection, OpenCloseCyclesAndAsynchronousExecutesLeaveNothingBehind) {
    auto connection = MariaDBConnection::create();
    cycle(*connection, 20);
    ASSERT_FALSE(HasFatalFailure());
    const Usage before_cycles = settle();
    auto start = Clock::now();
    cycle(*connection, kOpenCloseCycles);
    ASSERT_FALSE(HasFatalFailure());
    const double cycle_seconds = seconds_since(start);
    const Usage after_cycles = settle(before_cycles.threads);
    std::printf("LOAD open/close: %d cycles in %.2f s, %.0f cycles/s\n", kOpenCloseCycles, cycle_seconds,
                kOpenCloseCycles / cycle_seconds);
    std::fflush(stdout);
    expect_no_growth("open/close", before_cycles, after_cycles);

    OMBRIX_ASSERT_DONE(connection->open(m_server, nullptr));
    execute_async(*connection, 400);
    const Usage before_executes = settle();
    start = Clock::now();
    execute_async(*connection, kAsyncExecutes);
    const double execute_seconds = seconds_since(start);
    const Usage after_executes = settle(before_executes.threads);
    std::printf("LOAD async executes: %d in %.2f s, %.0f executes/s, %d in flight\n", kAsyncExecutes, execute_seconds,
                kAsyncExecutes / execute_seconds, kInFlight);
    std::fflush(stdout);
    expect_no_growth("async executes", before_executes, after_executes);
    connection->close();
}

// One thread's mixed statements on `connection`, each answer checked: a computed SELECT (on the
// session the thread was given), its own rows inserted, updated, counted and read back through a
// reader, a SHOW, a statement that fails and a batch whose last statement fails. The errors must
// name this thread's statement, not another's.
void run_mixed(MariaDBConnection& connection, const std::string& table, int thread, const std::string& session) {
    const std::string k = std::to_string(thread);
    int failures = 0;
    auto check = [&](bool ok, int round, const std::string& what) {
        if (ok || ++failures > 3) return;
        ADD_FAILURE() << "thread " << thread << " round " << round << ": " << what;
    };
    for (int i = 0; i < kRounds; ++i) {
        const std::string n = std::to_string(i);
        auto computed = connection.execute_as_model("SELECT " + k + " * 1000 + " + n + ", CONCAT('t', " + k +
                                                    ", '/', " + n + "), CONNECTION_ID()");
        check(computed && text_at(*computed, 0, 0) == std::to_string(thread * 1000 + i) &&
                  text_at(*computed, 1, 0) == "t" + k + "/" + n && text_at(*computed, 2, 0) == session,
              i,
              "computed SELECT: " +
                  (computed ? text_at(*computed, 0, 0) + " " + text_at(*computed, 1, 0) + " " + text_at(*computed, 2, 0)
                            : describe(computed.error())));

        auto inserted = connection.execute_no_query("INSERT INTO " + table + " (thread, seq, val) VALUES (" + k + ", " +
                                                    n + ", " + n + ")");
        check(inserted && *inserted == 1, i,
              "INSERT: " + (inserted ? std::to_string(*inserted) : describe(inserted.error())));
        auto updated = connection.execute_no_query("UPDATE " + table + " SET val = val + " + k +
                                                   " WHERE thread = " + k + " AND seq = " + n);
        check(updated && *updated == 1, i,
              "UPDATE: " + (updated ? std::to_string(*updated) : describe(updated.error())));
        auto own = connection.execute_as_scalar("SELECT COUNT(*) FROM " + table + " WHERE thread = " + k);
        check(own && *own && (*own)->to_string() == std::to_string(i + 1), i,
              "own rows: " + (own ? (*own ? (*own)->to_string() : "null") : describe(own.error())));
        // A reader holds its stored result: other threads' statements run while it is walked.
        auto reader =
            connection.execute_reader("SELECT seq, val FROM " + table + " WHERE thread = " + k + " ORDER BY seq");
        int walked = 0;
        bool in_order = reader.has_value();
        while (reader) {
            auto more = (*reader)->read();
            if (!more || !*more) break;
            in_order = in_order && (*reader)->get_int32(0) == walked && (*reader)->get_int32(1) == walked + thread;
            ++walked;
        }
        check(in_order && walked == i + 1, i,
              "reader: " + (reader ? std::to_string(walked) + " rows" : describe(reader.error())));

        auto shown = connection.execute_as_model("SHOW COLUMNS FROM " + table);
        check(shown && (*shown)->get_n_items() == 3 && text_at(*shown, 0, 1) == "seq", i,
              "SHOW: " + (shown ? text_at(*shown, 0, 1) : describe(shown.error())));

        const std::string missing = "missing_" + k + "_" + n;
        auto failed = connection.execute_as_model("SELECT * FROM " + mariadb_quote_identifier(missing));
        check(!failed && failed.error().code == 1146 && failed.error().message.find(missing) != std::string::npos, i,
              "failing SELECT: " + (failed ? std::string("succeeded") : describe(failed.error())));

        auto batch =
            connection.execute("SELECT " + k + ", " + n + "; SELECT * FROM " + mariadb_quote_identifier(missing));
        const bool two = batch && batch->size() == 2;
        const auto first = two ? std::dynamic_pointer_cast<TableModel>((*batch)[0]) : nullptr;
        const auto error = two ? std::dynamic_pointer_cast<ValueError>((*batch)[1]) : nullptr;
        check(error && text_at(first, 1, 0) == n && error->get_code() == 1146 &&
                  error->get_message().find(missing) != std::string::npos,
              i, "batch: " + (batch ? std::to_string(batch->size()) + " results" : describe(batch.error())));
    }
}

TEST_F(LoadOnConnection, EightThreadsOnOneSharedConnectionAndOnEightConnectionsGetTheirOwnAnswers) {
    struct Mode {
        const char* name;
        int connections;
    };
    for (const Mode mode : {Mode{"shared", 1}, Mode{"separate", kThreads}}) {
        SCOPED_TRACE(mode.name);
        const std::string rows = table(std::string("rows_") + mode.name);
        Sandbox::get().exec("CREATE TABLE " + rows +
                            " (thread INT, seq INT, val INT, PRIMARY KEY (thread, seq)) ENGINE=InnoDB");

        std::vector<std::shared_ptr<MariaDBConnection>> connections;
        std::vector<std::string> sessions;
        for (int i = 0; i < mode.connections; ++i) {
            connections.push_back(MariaDBConnection::create());
            OMBRIX_ASSERT_DONE(connections.back()->open(m_server, nullptr));
            OMBRIX_ASSERT_OK(id, connections.back()->execute_as_scalar("SELECT CONNECTION_ID()"));
            sessions.push_back(id->to_string());
        }

        const auto start = Clock::now();
        std::atomic<int> running{kThreads};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            const auto c = static_cast<std::size_t>(t % mode.connections);
            threads.emplace_back([&, t, c] {
                run_mixed(*connections[c], rows, t, sessions[c]);
                --running;
            });
        }
        // Meanwhile the main thread runs asynchronous executes on the first connection.
        int asynchronous = 0;
        while (running > 0) {
            Core::AsyncResultPtr result;
            connections[0]->execute_as_scalar_async("SELECT " + std::to_string(asynchronous) + " + 0.5",
                                                    [&](Core::AsyncResultPtr r) { result = std::move(r); });
            Core::run_main_until([&] { return result != nullptr; });
            auto value = connections[0]->execute_as_scalar_finish(result);
            const std::string got = value ? (*value ? (*value)->to_string() : "null") : describe(value.error());
            EXPECT_EQ(got, std::to_string(asynchronous) + ".5");
            ++asynchronous;
        }
        for (auto& thread : threads) thread.join();
        const double seconds = seconds_since(start);
        constexpr int statements = kThreads * kRounds * kStatementsPerRound;
        std::printf(
            "LOAD %d threads on %d connection(s): %d statements in %.2f s, %.0f statements/s, "
            "%d asynchronous on the main thread meanwhile\n",
            kThreads, mode.connections, statements, seconds, statements / seconds, asynchronous);
        std::fflush(stdout);
        for (auto& connection : connections) connection->close();

        // Each thread's rows are all there, each updated once, as another session sees them.
        auto observer = MariaDBConnection::create();
        OMBRIX_ASSERT_DONE(observer->open(m_server, nullptr));
        OMBRIX_ASSERT_OK(content, observer->execute_as_model("SELECT thread, COUNT(*), SUM(val) FROM " + rows +
                                                             " GROUP BY thread ORDER BY thread"));
        ASSERT_EQ(content->get_n_items(), static_cast<std::size_t>(kThreads));
        for (int t = 0; t < kThreads; ++t) {
            const auto row = static_cast<std::size_t>(t);
            EXPECT_EQ(text_at(content, 0, row), std::to_string(t));
            EXPECT_EQ(text_at(content, 1, row), std::to_string(kRounds));
            EXPECT_EQ(text_at(content, 2, row), std::to_string(kRounds * (kRounds - 1) / 2 + kRounds * t));
        }
        observer->close();
    }
}

}  // namespace
}  // namespace Ombrix::Testing::LoadFigures
