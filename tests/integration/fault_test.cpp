// Faults injected under running commands: a server of the test's own is killed (SIGKILL) or paused
// (SIGSTOP) in the middle of a long query, of a streamed fetch, of an import into it and of a
// transfer into it. Every command must end, with a clear error, within the time limits it was
// given, and whatever it reported as committed must be there once the server runs again.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/second_server.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::SecondServer;
using Ombrix::Testing::TempDir;

enum class Fault { Kill, Pause };

// The limits every command gets. The connect limit is well above the read limit, so that a command
// that tries to log in again after the fault (and waits that out) shows in its time.
constexpr int kConnectTimeout = 8;
constexpr int kReadTimeout = 3;
// A transfer's batch is one load of several megabytes, which on a loaded machine (the suite runs two
// tests at a time on two cores) can take longer than kReadTimeout before any fault.
constexpr int kTransferReadTimeout = 10;
// From the fault to the end of the command: a killed server closes its sockets at once; a paused one
// is given up on after a read or a write limit, and a stalled load waits out both. The rest is slack
// for a loaded machine.
constexpr double kKillBound = 10.0;
constexpr double pause_bound(int read_timeout) { return 2 * read_timeout + 7.0; }

/// Injects a fault into `server` once `ready()` holds (polled, and by a deadline in any case, so a
/// trigger that never comes cannot hold the test), remembering when.
class Injector {
public:
    Injector(SecondServer& server, Fault fault, std::function<bool()> ready)
        : m_thread([this, &server, fault, ready = std::move(ready)] {
              const auto deadline = Clock::now() + 60s;
              while (!m_stop && !ready() && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
              if (m_stop) return;
              m_at = Clock::now();
              m_injected = true;
              if (fault == Fault::Kill)
                  server.kill_now();
              else
                  server.pause();
          }) {}
    ~Injector() { finish(); }

    void finish() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool injected() const { return m_injected; }
    /// Seconds from the fault to `end`.
    double seconds_until(Clock::time_point end) const { return std::chrono::duration<double>(end - m_at).count(); }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_injected = false;
    Clock::time_point m_at;
    std::thread m_thread;
};

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.start()) << "the test's own server did not start";
        add_profile();
    }

    /// The profile "victim" for the test's server (its port is the same after a restart).
    void add_profile() {
        (void)ombrix({"profile", "remove", "victim"});
        auto run = ombrix({"profile", "add", "victim", "--host", "127.0.0.1", "--port", m_server.port(), "--user",
                           "root", "--password", m_server.password()});
        ASSERT_EQ(run.status, 0) << run.err;
    }

    CliRun ombrix(const std::vector<std::string>& args) { return Ombrix::Testing::run_cli(m_home, args); }

    /// The test server's answer to `sql`, tab-separated without a header; "" when it does not answer
    /// within 5 seconds (a paused server cannot hold the probe).
    std::string probe(const std::string& sql) {
        const std::string port = "-P" + m_server.port();
        const std::string password = "-p" + m_server.password();
        const gchar* argv[] = {"timeout",     "5",          "mariadb",   "--no-defaults",  "--connect-timeout=2",
                               "-h127.0.0.1", port.c_str(), "-uroot",    password.c_str(), "-N",
                               "-B",          "-e",         sql.c_str(), nullptr};
        gchar* out = nullptr;
        g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                     static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL), nullptr, nullptr, &out,
                     nullptr, nullptr, nullptr);
        std::string text = out ? out : "";
        g_free(out);
        return text;
    }

    /// Whether the server holds rows in `table` (committed ones: the probe sees no other session's
    /// open transaction).
    std::function<bool()> has_rows(const std::string& table) {
        return [this, table] {
            const auto count = probe("SELECT COUNT(*) FROM " + table);
            return !count.empty() && count != "0\n";
        };
    }

    /// Lets a paused server go on, or starts a killed one again (on its data) once its process is gone.
    void run_again() {
        m_server.resume();
        if (probe("SELECT 1") == "1\n") return;
        const auto deadline = Clock::now() + 30s;
        while (m_server.pid() != 0 && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(m_server.restart()) << "the killed server did not start again";
        ASSERT_EQ(probe("SELECT 1"), "1\n") << "the server does not answer after its restart";
    }

    /// Waits (up to a minute) until no session but the probe's is left on the server: a command's
    /// session that lost its client goes on until the server notices, and its rollback of a large
    /// load would slow the next case down.
    void wait_until_idle() {
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline &&
               probe("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE COMMAND NOT IN ('Daemon', 'Sleep') "
                     "AND ID != CONNECTION_ID()") != "0\n")
            std::this_thread::sleep_for(100ms);
    }

    /// Checks, with the server running again, that rows 1..`rows` (by id) of `table` are all there.
    void expect_committed(const std::string& table, long long rows) {
        run_again();
        // A fault between a batch's commit and the server's answer rightly leaves it unreported.
        if (rows == 0) std::cout << "[fault] no batch was reported before the fault\n";
        EXPECT_EQ(probe("SELECT COUNT(*) FROM " + table + " WHERE id <= " + std::to_string(rows)),
                  std::to_string(rows) + "\n");
    }

    SecondServer m_server;  // resumed and stopped when the test ends, however it ends
    TempDir m_home;
};

/// The number after `prefix` in `text`; -1 when there is none.
long long number_after(const std::string& text, const std::string& prefix) {
    const auto at = text.find(prefix);
    if (at == std::string::npos) return -1;
    return std::strtoll(text.c_str() + at + prefix.size(), nullptr, 10);
}

TEST_F(FaultTest, ACommandWhoseServerDiesOrStallsEndsWithAClearErrorAndKeepsWhatItCommitted) {
    // Rows to send: an import file and a source schema on the shared sandbox, 400,000 rows each, so
    // that the copies take several batches.
    probe("CREATE DATABASE fault");
    const std::string csv = m_home.file("rows.csv");
    {
        std::ofstream out(csv);
        out << "id,s\n";
        const std::string filler(90, 'x');
        for (int id = 1; id <= 400000; ++id) out << id << ',' << filler << '\n';
    }
    ScratchSchema source("fault_src");
    Sandbox::get().exec("CREATE TABLE `" + source.name() + "`.t (id INT PRIMARY KEY, s VARCHAR(100))");
    Sandbox::get().exec("INSERT INTO `" + source.name() + "`.t SELECT seq, REPEAT('x', 90) FROM `" + source.name() +
                        "`.seq_1_to_400000");
    const std::string exported = m_home.file("export.csv");

    struct Case {
        std::string name;
        Fault fault;
        std::vector<std::string> args;
        std::function<bool()> ready;
        std::string error;      // how the error line names what failed
        std::string committed;  // the table whose reported rows must be there afterwards
        int read_timeout = kReadTimeout;
    };
    const auto running = [this](const std::string& sql) {
        return [this, sql] {
            return probe("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO = '" + sql + "'") == "1\n";
        };
    };
    const auto file_started = [exported] {
        GStatBuf info;
        return g_stat(exported.c_str(), &info) == 0 && info.st_size > 0;
    };
    const std::string sleep = "SELECT SLEEP(60)";
    const std::string big = "SELECT seq, REPEAT('x', 200) FROM seq_1_to_3000000";
    auto import_case = [&](const std::string& name, Fault fault) {
        const std::string table = "fault." + name;
        probe("CREATE TABLE " + table + " (id INT PRIMARY KEY, s VARCHAR(100))");
        return Case{name,
                    fault,
                    {"import", "--profile", "victim", "--table", table, "--file", csv},
                    has_rows(table),
                    "ombrix: import: MariaDB error 20",
                    table};
    };
    const std::vector<std::string> query{"query", "--profile", "victim", sleep};
    const std::vector<std::string> fetch{"export", "--profile", "victim", "--sql", big, "-o", exported};
    std::vector<Case> cases{
        {"query killed", Fault::Kill, query, running(sleep), "MariaDB error 20", ""},
        {"query paused", Fault::Pause, query, running(sleep), "MariaDB error 20", ""},
        {"fetch killed", Fault::Kill, fetch, file_started, "MariaDB error 20", ""},
        {"fetch paused", Fault::Pause, fetch, file_started, "MariaDB error 20", ""},
    };
    cases.push_back(import_case("import_killed", Fault::Kill));
    cases.push_back(import_case("import_paused", Fault::Pause));
    // The transfer into a server killed midway is the transfer test's; here the target stalls.
    const std::string target_table = "`" + source.name() + "`.t";
    cases.push_back(Case{"transfer paused",
                         Fault::Pause,
                         {"transfer", "--source", source.name(), "--target", "victim:" + source.name()},
                         has_rows(target_table),
                         "ombrix: transfer: table " + source.name() + ".t, batch ",
                         target_table,
                         kTransferReadTimeout});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--connect-timeout", std::to_string(kConnectTimeout), "--read-timeout",
                                      std::to_string(c.read_timeout)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        // A command that ends before its fault (a machine so loaded that a batch outlasts the read
        // limit) tested nothing: it runs again, twice at most.
        CliRun run;
        Clock::time_point ended;
        bool injected = false;
        double seconds = 0;
        for (int attempt = 0; attempt < 3 && !injected; ++attempt) {
            wait_until_idle();
            Injector injector(m_server, c.fault, c.ready);
            run = ombrix(args);
            ended = Clock::now();
            injector.finish();
            injected = injector.injected();
            seconds = injector.seconds_until(ended);
            if (!injected) std::cout << "[fault] " << c.name << ": ended before its fault, again: " << run.err;
        }
        ASSERT_TRUE(injected) << "the command ended before its fault: " << run.out << run.err;
        std::cout << "[fault] " << c.name << ": exit " << run.status << " " << seconds
                  << " s after the fault: " << run.err;

        // Ended, not crashed, not hung, and said why.
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_LT(seconds, c.fault == Fault::Kill ? kKillBound : pause_bound(c.read_timeout)) << run.err;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_TRUE(run.err.find("Lost connection to server") != std::string::npos ||
                    run.err.find("server has gone away") != std::string::npos)
            << run.err;
        if (c.args.front() == "export") {
            EXPECT_FALSE(g_file_test(exported.c_str(), G_FILE_TEST_EXISTS)) << "an incomplete export was left";
        }

        // What the command reported as committed: the import's count, the transfer's table line.
        if (c.args.front() == "import") {
            EXPECT_NE(run.out.find(", refused rows: 0\n"), std::string::npos) << run.out;
            expect_committed(c.committed, number_after(run.out, "Imported rows: "));
        } else if (c.args.front() == "transfer") {
            // Two lanes copy key ranges at once: what they committed is no run of ids from 1, but it
            // is all there.
            const long long reported = number_after(run.err, source.name() + ".t -> " + source.name() + ".t: ");
            run_again();
            EXPECT_GE(std::strtoll(probe("SELECT COUNT(*) FROM " + c.committed).c_str(), nullptr, 10), reported);
        }
        // The server runs again for the next case.
        run_again();
        if (HasFatalFailure()) return;
    }
}

/// A restore whose server is killed or stalls under it goes on with --resume: the rows equal the
/// dump's, none twice, in a keyed table and in one without a key.
TEST_F(FaultTest, ARestoreStoppedByItsServerResumesWithoutLoadingTwice) {
    ScratchSchema source("fault_dump");
    const std::string src = "`" + source.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + src + ".t (id INT PRIMARY KEY, s VARCHAR(100)); INSERT INTO " + src +
                        ".t SELECT seq, REPEAT('x', 90) FROM " + src + ".seq_1_to_300000; CREATE TABLE " + src +
                        ".k (n INT, s VARCHAR(100)); INSERT INTO " + src + ".k SELECT seq MOD 7, REPEAT('y', 90) FROM " +
                        src + ".seq_1_to_150000");
    const std::string directory = m_home.file("dump") + "/";
    auto run = ombrix({"dump", source.name(), "-o", directory, "--parallel", "2", "--rows-per-file", "60000"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string sums = "SELECT (SELECT CONCAT(COUNT(*), ' ', SUM(CRC32(CONCAT(id, s)))) FROM %s.t), "
                             "(SELECT CONCAT(COUNT(*), ' ', SUM(CRC32(CONCAT(n, s)))) FROM %s.k)";
    const auto of = [&](const std::string& schema) {
        std::string sql = sums;
        for (auto at = sql.find("%s"); at != std::string::npos; at = sql.find("%s")) sql.replace(at, 2, schema);
        return sql;
    };
    const auto expected = Ombrix::Testing::run_client(m_home, of(src));
    ASSERT_EQ(expected.status, 0) << expected.err;

    for (const Fault fault : {Fault::Kill, Fault::Pause}) {
        SCOPED_TRACE(fault == Fault::Kill ? "killed" : "paused");
        probe("DROP DATABASE IF EXISTS restored");
        g_unlink((directory + "ombrix-restore.journal").c_str());
        const std::vector<std::string> args{"--connect-timeout", std::to_string(kConnectTimeout), "--read-timeout",
                                            std::to_string(kReadTimeout), "restore", "--profile", "victim", directory,
                                            "--target", "restored", "--parallel", "2"};
        bool injected = false;
        for (int attempt = 0; attempt < 3 && !injected; ++attempt) {
            wait_until_idle();
            probe("DROP DATABASE IF EXISTS restored");
            g_unlink((directory + "ombrix-restore.journal").c_str());
            Injector injector(m_server, fault, has_rows("restored.t"));
            run = ombrix(args);
            injector.finish();
            injected = injector.injected();
            if (!injected) std::cout << "[fault] restore ended before its fault, again: " << run.err;
        }
        ASSERT_TRUE(injected) << run.err;
        EXPECT_EQ(run.status, 1) << run.err;
        run_again();
        if (HasFatalFailure()) return;
        auto resumed = args;
        resumed.push_back("--resume");
        run = ombrix(resumed);
        ASSERT_EQ(run.status, 0) << run.err;
        std::cout << "[fault] resumed: " << run.err;
        EXPECT_NE(run.err.find("already loaded: "), std::string::npos) << run.err;
        EXPECT_EQ(probe(of("restored")), expected.out);
    }
}

}  // namespace
