// Copies of a schema that an application keeps writing while they are made. The writer moves amounts
// between accounts, each move one transaction that changes two balances and adds a ledger row; a
// copy made of one moment of every table keeps every balance equal to what the copied ledger says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace std::chrono_literals;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

constexpr int kAccounts = 1000;
constexpr int kOpening = 1000;

/// Moves amounts between the accounts of `schema` in transactions of its own session until stopped.
class Writer {
public:
    explicit Writer(const std::string& schema) : m_schema("`" + schema + "`") {
        m_thread = std::thread([this] { run(); });
    }
    ~Writer() { stop(); }

    void stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    long moves() const { return m_moves.load(); }
    const std::string& failure() const { return m_failure; }

private:
    void run() {
        auto connection = Ombrix::Solvane::Supports::Database::MariaDBConnection::create();
        if (!connection->open(Sandbox::get().profile(), nullptr)) {
            m_failure = "the writer cannot connect";
            return;
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<int> account(1, kAccounts);
        std::uniform_int_distribution<int> amount(1, 9);
        while (!m_stop) {
            const std::string from = std::to_string(account(random));
            const std::string to = std::to_string(account(random));
            const std::string moved = std::to_string(amount(random));
            for (const std::string& sql :
                 {std::string("START TRANSACTION"),
                  "UPDATE " + m_schema + ".accounts SET balance = balance - " + moved + " WHERE id = " + from,
                  "UPDATE " + m_schema + ".accounts SET balance = balance + " + moved + " WHERE id = " + to,
                  "INSERT INTO " + m_schema + ".ledger (from_id, to_id, amount) VALUES (" + from + ", " + to + ", " +
                      moved + ")",
                  std::string("COMMIT")}) {
                if (auto ran = connection->execute_no_query(sql, false); !ran) {
                    m_failure = ran.error().message;
                    return;
                }
            }
            ++m_moves;
        }
        connection->close();
    }

    std::string m_schema;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_moves{0};
    std::string m_failure;
    std::thread m_thread;
};

/// The accounts of `schema` whose balance disagrees with its ledger.
std::string disagreeing(const TempDir& home, const std::string& schema) {
    const std::string db = "`" + schema + "`";
    const auto run = Ombrix::Testing::run_client(
        home, "SELECT COUNT(*) FROM " + db + ".accounts a WHERE a.balance <> " + std::to_string(kOpening) +
                  " - (SELECT IFNULL(SUM(amount), 0) FROM " + db + ".ledger WHERE from_id = a.id)" +
                  " + (SELECT IFNULL(SUM(amount), 0) FROM " + db + ".ledger WHERE to_id = a.id)");
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

TEST(LiveWriter, TransferDumpAndSyncCopyOneMomentOfEveryTable) {
    TempDir home;
    ScratchSchema source("live_src");
    ScratchSchema target("live_dst");
    ScratchSchema restored("live_dump");
    ScratchSchema parallel("live_par");
    ScratchSchema synced("live_sync");
    const std::string db = "`" + source.name() + "`";
    const Sandbox& sandbox = Sandbox::get();
    sandbox.exec("CREATE TABLE " + db + ".accounts (id INT PRIMARY KEY, balance BIGINT NOT NULL)");
    sandbox.exec("INSERT INTO " + db + ".accounts SELECT seq, " + std::to_string(kOpening) + " FROM " + db + ".seq_1_to_" +
                 std::to_string(kAccounts));
    // Copied between the two, so that the writer has time to move amounts while the copy runs.
    sandbox.exec("CREATE TABLE " + db + ".b_filler (id INT PRIMARY KEY, note VARCHAR(40) NOT NULL)");
    sandbox.exec("INSERT INTO " + db + ".b_filler SELECT seq, REPEAT('x', 40) FROM " + db + ".seq_1_to_200000");
    sandbox.exec("CREATE TABLE " + db + ".ledger (id BIGINT AUTO_INCREMENT PRIMARY KEY, from_id INT NOT NULL, "
                 "to_id INT NOT NULL, amount INT NOT NULL)");
    // A table without transactions cannot be read at that moment: the copy says so.
    sandbox.exec("CREATE TABLE " + db + ".notes (id INT PRIMARY KEY) ENGINE=MyISAM");

    ASSERT_EQ(Ombrix::Testing::run_cli(home, {"transfer", "--source", source.name(), "--target", synced.name(),
                                              "--structure-only"})
                  .status,
              0);
    Writer writer(source.name());
    const auto started = std::chrono::steady_clock::now();
    while (writer.moves() < 100 && writer.failure().empty() && std::chrono::steady_clock::now() - started < 30s)
        std::this_thread::sleep_for(10ms);
    const long before = writer.moves();
    // --verify compares the copy with the moment it was read at.
    const auto run =
        Ombrix::Testing::run_cli(home, {"transfer", "--source", source.name(), "--target", target.name(), "--verify"});
    const std::string file = home.file("live.sql.gz");
    const auto dumped = Ombrix::Testing::run_cli(
        home, {"dump", source.name(), "--as", restored.name(), "--compress", "gzip", "-o", file});
    // Two readers, each table in key ranges of its own file: one moment for all of them.
    const std::string directory = home.file("live") + "/";
    const auto split = Ombrix::Testing::run_cli(
        home, {"dump", source.name(), "--parallel", "2", "--rows-per-file", "300", "-o", directory});
    // Rows synced into an empty copy: every table's rows of one moment as well.
    const auto sync = Ombrix::Testing::run_cli(
        home, {"sync", "data", "--source", source.name(), "--target", synced.name(), "--apply"});
    const long during = writer.moves() - before;
    writer.stop();
    ASSERT_EQ(writer.failure(), "");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto loaded = Ombrix::Testing::run_cli(home, {"restore", file});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(disagreeing(home, restored.name()), "0\n");
    ASSERT_EQ(split.status, 0) << split.err;
    const auto reloaded =
        Ombrix::Testing::run_cli(home, {"restore", directory, "--target", parallel.name(), "--parallel", "2"});
    ASSERT_EQ(reloaded.status, 0) << reloaded.err;
    EXPECT_EQ(disagreeing(home, parallel.name()), "0\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: table " + db + ".`notes` (MyISAM) has no transactions"), std::string::npos)
        << run.err;
    // The test means something only when the writer ran while the rows were read.
    EXPECT_GT(during, 40) << "the writer made too few moves during the copies";
    EXPECT_EQ(disagreeing(home, source.name()), "0\n");
    EXPECT_EQ(disagreeing(home, target.name()), "0\n");
    ASSERT_EQ(sync.status, 0) << sync.err;
    EXPECT_NE(sync.err.find("warning: table " + db + ".`notes` (MyISAM) has no transactions"), std::string::npos)
        << sync.err;
    EXPECT_EQ(disagreeing(home, synced.name()), "0\n");
}

}  // namespace
