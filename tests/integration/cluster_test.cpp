// Copies from the sandbox server into a three-node Galera cluster (scripts/galera-sandbox) through a
// profile that lists every node, and the cluster's state as `ombrix cluster status` tells it. Nodes
// are killed under running commands; each test reads the rows on every node itself, with its own
// connections, and leaves the three nodes running and Synced for the next.
#include <glib.h>
#include <gtest/gtest.h>
#include <mysql.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "providers/Core/text.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

/// A run of a program (the cluster's script), its output and status.
CliRun run_argv(const std::vector<std::string>& argv) {
    static const TempDir scratch;
    return Ombrix::Testing::run_program(scratch, argv);
}

/// The cluster's connection settings, as its script prints them.
struct Galera {
    std::string dir;
    std::string host;
    std::array<unsigned, 3> ports{};
    std::string user;
    std::string password;

    static const Galera& get() {
        static const Galera galera = [] {
            Galera g;
            const char* dir = std::getenv("OMBRIX_GALERA_DIR");
            if (!dir) {
                ADD_FAILURE() << "OMBRIX_GALERA_DIR is not set: run the cluster tests through ctest";
                return g;
            }
            g.dir = dir;
            const auto run = run_argv({OMBRIX_GALERA_SCRIPT, "env", g.dir});
            if (run.status != 0) {
                ADD_FAILURE() << "no cluster is running in " << g.dir << ": " << run.err;
                return g;
            }
            auto env = Ombrix::Core::parse_key_values(run.out);
            g.host = env["OMBRIX_GALERA_HOST"];
            for (int n = 1; n <= 3; ++n)
                g.ports[n - 1] = static_cast<unsigned>(std::atoi(env["OMBRIX_GALERA_PORT" + std::to_string(n)].c_str()));
            g.user = env["OMBRIX_GALERA_USER"];
            g.password = env["OMBRIX_GALERA_PASSWORD"];
            return g;
        }();
        return galera;
    }

    /// Node N's "host:port", as the client names it.
    std::string endpoint(int node) const { return host + ":" + std::to_string(ports[node - 1]); }
};

/// A server to ask: the sandbox, or a node of the cluster.
struct Server {
    std::string host;
    unsigned port = 0;
    std::string user;
    std::string password;
    bool node = false;
    std::string name() const { return host + ":" + std::to_string(port); }
};

Server sandbox_server() {
    const Sandbox& s = Sandbox::get();
    return {s.host, s.port, s.user, s.password, false};
}

Server node_server(int node) {
    const Galera& g = Galera::get();
    return {g.host, g.ports[node - 1], g.user, g.password, true};
}

/// The rows of every result of `sql` (statements separated by ';'), one line each, values
/// tab-separated; nothing, with the reason in `error`, when the server could not be asked or
/// refused a statement. A node reads only once it has applied what the cluster committed before.
std::optional<std::string> ask(const Server& server, const std::string& sql, std::string* error = nullptr) {
    MYSQL* mysql = mysql_init(nullptr);
    const unsigned connect_timeout = 3, read_timeout = 30;
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &read_timeout);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &read_timeout);
    std::optional<std::string> text;
    const std::string script = (server.node ? "SET SESSION wsrep_sync_wait = 1; " : "") + sql;
    if (!mysql_real_connect(mysql, server.host.c_str(), server.user.c_str(), server.password.c_str(), nullptr,
                            server.port, nullptr, CLIENT_MULTI_STATEMENTS) ||
        mysql_real_query(mysql, script.data(), script.size()) != 0) {
        if (error) *error = mysql_error(mysql);
        mysql_close(mysql);
        return text;
    }
    std::string rows;
    int status = 0;
    do {
        if (MYSQL_RES* result = mysql_store_result(mysql)) {
            const unsigned columns = mysql_num_fields(result);
            while (MYSQL_ROW row = mysql_fetch_row(result)) {
                for (unsigned c = 0; c < columns; ++c) rows += std::string(c ? "\t" : "") + (row[c] ? row[c] : "NULL");
                rows += "\n";
            }
            mysql_free_result(result);
        }
    } while ((status = mysql_next_result(mysql)) == 0);
    if (status > 0) {
        if (error) *error = mysql_error(mysql);
    } else {
        text = rows;
    }
    mysql_close(mysql);
    return text;
}

/// `ask`, failing the test when the server does not answer.
std::string must_ask(const Server& server, const std::string& sql) {
    std::string error;
    auto rows = ask(server, sql, &error);
    EXPECT_TRUE(rows.has_value()) << server.name() << ": " << error << " in: " << sql;
    return rows.value_or("");
}

/// A table's row count and CHECKSUM TABLE on a server, "count checksum".
std::string table_state(const Server& server, const std::string& table) {
    std::string error;
    auto rows = ask(server, "SELECT COUNT(*) FROM " + table + "; CHECKSUM TABLE " + table, &error);
    if (!rows) return "unreadable: " + error;
    // "COUNT\nNAME\tCHECKSUM\n"
    const auto line = rows->find('\n');
    const auto tab = rows->rfind('\t');
    if (line == std::string::npos || tab == std::string::npos) return "unexpected: " + *rows;
    return rows->substr(0, line) + " " + rows->substr(tab + 1, rows->size() - tab - 2);
}

/// Runs the cluster's script on node N.
void galera_script(const std::string& command, int node) {
    const auto run = run_argv({OMBRIX_GALERA_SCRIPT, command, Galera::get().dir, std::to_string(node)});
    EXPECT_EQ(run.status, 0) << "galera-sandbox " << command << " " << node << ": " << run.err;
}

/// Waits (a minute at most) until every node answers and is Synced in a cluster of three; false when
/// the time ran out.
bool cluster_whole() {
    const auto deadline = Clock::now() + 60s;
    while (Clock::now() < deadline) {
        bool whole = true;
        for (int n = 1; n <= 3 && whole; ++n) {
            const auto rows = ask(node_server(n),
                                  "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME IN "
                                  "('wsrep_cluster_size', 'wsrep_local_state_comment') ORDER BY VARIABLE_NAME");
            whole = rows && *rows == "3\nSynced\n";
        }
        if (whole) return true;
        std::this_thread::sleep_for(200ms);
    }
    return false;
}

/// Node N's cluster size, "" when it does not answer.
std::string cluster_size(int node) {
    const auto rows = ask(node_server(node), "SHOW GLOBAL STATUS LIKE 'wsrep_cluster_size'");
    if (!rows) return "";
    const auto tab = rows->find('\t');
    return tab == std::string::npos ? "" : rows->substr(tab + 1, rows->size() - tab - 2);
}

/// Kills nodes on demand and starts every node it killed again when the test ends, however it
/// ends, so that the cluster stays whole for the tests after it.
class NodeKiller {
public:
    ~NodeKiller() {
        for (int n = 1; n <= 3; ++n)
            if (m_killed[n - 1]) restart(n);
    }
    /// SIGKILL to node N's server, at once (the script's own kill starts a shell first, which on a
    /// busy machine can take longer than a fast copy has left), then waits until it is gone.
    void kill(int node) {
        m_killed[node - 1] = true;
        const auto pid_file = Galera::get().dir + "/node" + std::to_string(node) + "/mysqld.pid";
        const pid_t pid = static_cast<pid_t>(std::atol(Ombrix::Testing::read_text(pid_file).c_str()));
        const std::string command = Ombrix::Testing::read_text("/proc/" + std::to_string(pid) + "/comm");
        if (pid <= 0 || command != "mariadbd\n") {
            ADD_FAILURE() << "node " << node << " is not running (pid file: " << pid_file << ")";
            return;
        }
        ::kill(pid, SIGKILL);
        const auto deadline = Clock::now() + 30s;
        while (::kill(pid, 0) == 0 && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    }
    void restart(int node) {
        galera_script("restart", node);
        m_killed[node - 1] = false;
    }

private:
    std::array<std::atomic<bool>, 3> m_killed{};
};

/// Kills a node once `seen()` gives `at_least` rows (polled; by a deadline in any case, so that a
/// copy that never gets there cannot hold the test) and keeps the rows it gave then.
class KillWhen {
public:
    KillWhen(NodeKiller& killer, int node, std::function<long long()> seen, long long at_least)
        : m_thread([this, &killer, node, seen = std::move(seen), at_least] {
              const auto deadline = Clock::now() + 90s;
              long long rows = 0;
              while (!m_stop && (rows = seen()) < at_least && Clock::now() < deadline)
                  std::this_thread::sleep_for(20ms);
              if (m_stop) return;
              m_rows = rows;
              killer.kill(node);
              m_killed = true;
          }) {}
    ~KillWhen() { finish(); }
    void finish() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool killed() const { return m_killed; }
    /// The rows committed when the node was killed.
    long long rows() const { return m_rows; }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_killed = false;
    std::atomic<long long> m_rows = -1;
    std::thread m_thread;
};

/// The rows of a table on a node, -1 while it cannot be read (not created yet). The copies below
/// watch node 3, which applies what node 1 commits: a count on the node that is loading the table
/// once left that load and the count hanging together on this server.
long long rows_on(int node, const std::string& table) {
    const auto rows = ask(node_server(node), "SELECT COUNT(*) FROM " + table);
    return rows ? std::atoll(rows->c_str()) : -1;
}

/// A schema of the cluster's, dropped when the test ends through whichever node answers.
class ClusterSchema {
public:
    explicit ClusterSchema(std::string name) : m_name(std::move(name)) {}
    ~ClusterSchema() {
        for (int n = 1; n <= 3; ++n)
            if (ask(node_server(n), "DROP DATABASE IF EXISTS `" + m_name + "`")) return;
        ADD_FAILURE() << "no node dropped " << m_name;
    }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

class ClusterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cluster_whole()) << "the cluster's three nodes are not all Synced";
        const Galera& g = Galera::get();
        auto run = ombrix({"profile", "add", "galera", "--host", g.endpoint(1) + "," + g.endpoint(2), "--host",
                           g.endpoint(3), "--user", g.user, "--password-stdin"},
                          g.password + "\n");
        ASSERT_EQ(run.status, 0) << run.err;
    }

    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(m_home, args, input);
    }

    /// `ombrix ARGS` with the time limits of a command that may meet a dead node.
    CliRun ombrix_limited(const std::vector<std::string>& args) {
        std::vector<std::string> all{"--connect-timeout", "3", "--read-timeout", "20"};
        all.insert(all.end(), args.begin(), args.end());
        return ombrix(all);
    }

    /// Expects `table` to hold on each of `nodes` the rows the sandbox's holds, by count and checksum.
    void expect_copied(const std::string& table, std::initializer_list<int> nodes) {
        const auto source = table_state(sandbox_server(), table);
        for (const int n : nodes) EXPECT_EQ(table_state(node_server(n), table), source) << table << " on node " << n;
    }

    TempDir m_home;
};

/// "verify S.T on HOST:PORT: " as the transfer prints it for node N.
std::string verify_line(const std::string& table, int node) {
    return "  verify " + table + " on " + Galera::get().endpoint(node) + ": ";
}

/// The source of a copy: `rows` keyed rows in `table`, a hundred bytes or so each.
void fill_keyed(const ScratchSchema& schema, const std::string& table, int rows) {
    const std::string name = "`" + schema.name() + "`." + table;
    Sandbox::get().exec("CREATE TABLE " + name + " (id INT PRIMARY KEY, n INT NOT NULL, s VARCHAR(100)) ENGINE=InnoDB;"
                        "INSERT INTO " + name + " SELECT seq, seq * 7 MOD 1000, CONCAT(REPEAT('r', 80), seq) FROM `" +
                        schema.name() + "`.seq_1_to_" + std::to_string(rows));
}

TEST_F(ClusterTest, StatusTellsEachNodesStateAndAServerThatIsNoNode) {
    const Galera& g = Galera::get();
    auto run = ombrix_limited({"cluster", "status", "--profile", "galera"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (int n = 1; n <= 3; ++n) {
        const auto at = run.out.find(g.endpoint(n));
        ASSERT_NE(at, std::string::npos) << run.out;
        const auto line = run.out.substr(at, run.out.find('\n', at) - at);
        EXPECT_NE(line.find("Synced"), std::string::npos) << line;
    }

    run = ombrix_limited({"cluster", "status", "--profile", "galera", "--json"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const auto nodes = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(nodes.is_array()) << run.out;
    ASSERT_EQ(nodes.size(), 3u) << run.out;
    std::string cluster;
    for (int n = 1; n <= 3; ++n) {
        const auto& node = nodes[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(node.value("host", ""), g.endpoint(n));
        EXPECT_FALSE(node.contains("error")) << node.dump();
        EXPECT_EQ(node.value("wsrep_on", false), true) << node.dump();
        EXPECT_EQ(node.value("wsrep_local_state_comment", ""), "Synced");
        EXPECT_EQ(node.value("wsrep_cluster_size", ""), "3");
        EXPECT_EQ(node.value("wsrep_cluster_status", ""), "Primary");
        // One cluster: every node names the same state.
        if (n == 1) cluster = node.value("wsrep_cluster_state_uuid", "");
        EXPECT_EQ(node.value("wsrep_cluster_state_uuid", ""), cluster);
    }
    EXPECT_FALSE(cluster.empty());

    // The sandbox server (the profile a command gets by default) is no node of any cluster.
    run = ombrix({"cluster", "status"});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("wsrep is off"), std::string::npos) << run.err;
}

TEST_F(ClusterTest, TransferWarnsOfTablesTheClusterReplicatesBadlyAndVerifiesEveryNode) {
    ScratchSchema source("cluster_copy");
    ClusterSchema target(source.name());
    const std::string s = "`" + source.name() + "`";
    fill_keyed(source, "keyed", 200000);
    Sandbox::get().exec("CREATE TABLE " + s + ".loose (n INT, s VARCHAR(40)) ENGINE=InnoDB;"
                        "INSERT INTO " + s + ".loose SELECT seq MOD 97, CONCAT('l', seq) FROM " + s + ".seq_1_to_3000;"
                        "CREATE TABLE " + s + ".legacy (id INT PRIMARY KEY, s VARCHAR(40)) ENGINE=MyISAM;"
                        "INSERT INTO " + s + ".legacy SELECT seq, CONCAT('m', seq) FROM " + s + ".seq_1_to_500");

    auto run = ombrix_limited({"transfer", "--source", source.name(), "--target", "galera:" + source.name(), "--verify"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("ombrix: warning: " + source.name() + ".loose has no primary key"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("ombrix: warning: " + source.name() + ".legacy keeps its rows in MyISAM"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("warning: " + source.name() + ".keyed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Tables: 3, rows: 203500,"), std::string::npos) << run.err;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_NE(run.err.find(verify_line(source.name() + ".keyed", n) + "equal\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(verify_line(source.name() + ".loose", n) + "equal\n"), std::string::npos) << run.err;
    }
    // Node 1 took the rows of the MyISAM table; the others got the table only.
    EXPECT_NE(run.err.find(verify_line(source.name() + ".legacy", 1) + "equal\n"), std::string::npos) << run.err;
    for (int n = 2; n <= 3; ++n)
        EXPECT_NE(run.err.find(verify_line(source.name() + ".legacy", n) + "DIFFERENT"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ombrix: transfer: 1 table(s) differ on a node of the cluster, or a node could not be asked"),
              std::string::npos)
        << run.err;

    // What each node holds, read here.
    expect_copied(s + ".keyed", {1, 2, 3});
    expect_copied(s + ".legacy", {1});
    for (int n = 2; n <= 3; ++n) EXPECT_EQ(must_ask(node_server(n), "SELECT COUNT(*) FROM " + s + ".legacy"), "0\n");
    const std::string loose = "SELECT COUNT(*), SUM(n), SUM(CRC32(s)) FROM " + s + ".loose";
    const auto source_loose = must_ask(sandbox_server(), loose);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(must_ask(node_server(n), loose), source_loose) << "node " << n;
}

TEST_F(ClusterTest, ACopyOutlivesANodeKilledUnderIt) {
    const Galera& g = Galera::get();
    NodeKiller killer;
    // Enough rows that a copy outlasts the kill by a second or more on a fast day.
    constexpr int rows = 300000;

    // Node 2, which the copy does not write to, dies under it: the copy ends, the verification
    // cannot ask node 2, and the nodes left hold every row.
    {
        ScratchSchema source("cluster_lose_other");
        ClusterSchema target(source.name());
        const std::string table = "`" + source.name() + "`.t";
        fill_keyed(source, "t", rows);
        KillWhen kill(killer, 2, [&] { return rows_on(3, table); }, 1);
        auto run =
            ombrix_limited({"transfer", "--source", source.name(), "--target", "galera:" + source.name(), "--verify"});
        kill.finish();
        ASSERT_TRUE(kill.killed()) << run.err;
        EXPECT_LT(kill.rows(), rows) << "node 2 died after the copy";
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("Tables: 1, rows: " + std::to_string(rows) + ","), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(verify_line(source.name() + ".t", 1) + "equal\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(verify_line(source.name() + ".t", 2) + "unreachable: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(verify_line(source.name() + ".t", 3) + "equal\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("differ on a node of the cluster, or a node could not be asked"), std::string::npos)
            << run.err;
        expect_copied(table, {1, 3});
        killer.restart(2);
        // Node 2 caught up with what it missed.
        expect_copied(table, {2});
    }

    // Node 1, the one written to, dies under the copy: it goes on through node 2 from its journal,
    // and every row is there once.
    {
        ASSERT_TRUE(cluster_whole()) << "node 2 did not rejoin";
        ScratchSchema source("cluster_lose_written");
        ClusterSchema target(source.name());
        const std::string table = "`" + source.name() + "`.t";
        fill_keyed(source, "t", rows);
        KillWhen kill(killer, 1, [&] { return rows_on(3, table); }, 20000);
        auto run = ombrix_limited({"transfer", "--source", source.name(), "--target", "galera:" + source.name()});
        kill.finish();
        ASSERT_TRUE(kill.killed()) << run.err;
        EXPECT_LT(kill.rows(), rows) << "node 1 died after the copy";
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("; going on through the next host, from the copy's journal"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("ombrix: " + g.endpoint(1) + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("; using " + g.endpoint(2)), std::string::npos) << run.err;
        expect_copied(table, {2, 3});
        killer.restart(1);
        expect_copied(table, {1});
    }
    EXPECT_TRUE(cluster_whole());
}

TEST_F(ClusterTest, ACopySplitsItsBatchesUnderTheClustersRowLimit) {
    // Every node refuses a transaction of more than 500 rows until the test ends.
    struct RowLimit {
        std::array<std::string, 3> before;
        RowLimit() {
            for (int n = 1; n <= 3; ++n) {
                before[n - 1] = must_ask(node_server(n), "SELECT @@GLOBAL.wsrep_max_ws_rows");
                if (!before[n - 1].empty()) before[n - 1].pop_back();
                must_ask(node_server(n), "SET GLOBAL wsrep_max_ws_rows = 500");
            }
        }
        ~RowLimit() {
            for (int n = 1; n <= 3; ++n)
                if (!before[n - 1].empty())
                    must_ask(node_server(n), "SET GLOBAL wsrep_max_ws_rows = " + before[n - 1]);
        }
    } limit;

    ScratchSchema source("cluster_row_limit");
    ClusterSchema target(source.name());
    const std::string table = "`" + source.name() + "`.t";
    fill_keyed(source, "t", 5000);
    // The limit holds: one statement of 600 rows is refused.
    ClusterSchema probe(source.name() + "_probe");
    must_ask(node_server(1), "CREATE DATABASE `" + probe.name() + "`; CREATE TABLE `" + probe.name() +
                                 "`.t (id INT PRIMARY KEY)");
    std::string error;
    EXPECT_FALSE(ask(node_server(1), "INSERT INTO `" + probe.name() + "`.t SELECT seq FROM `" + probe.name() + "`.seq_1_to_600", &error));
    EXPECT_NE(error.find("wsrep_max_ws_rows exceeded"), std::string::npos) << error;

    auto run = ombrix_limited({"transfer", "--source", source.name(), "--target", "galera:" + source.name(), "--verify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Tables: 1, rows: 5000,"), std::string::npos) << run.err;
    for (int n = 1; n <= 3; ++n)
        EXPECT_NE(run.err.find(verify_line(source.name() + ".t", n) + "equal\n"), std::string::npos) << run.err;
    expect_copied(table, {1, 2, 3});
}

TEST_F(ClusterTest, StatusNamesANodeThatIsDown) {
    const Galera& g = Galera::get();
    NodeKiller killer;
    killer.kill(3);
    // The nodes left go on as a cluster of two once they have noticed.
    const auto deadline = Clock::now() + 30s;
    while (Clock::now() < deadline && !(cluster_size(1) == "2" && cluster_size(2) == "2"))
        std::this_thread::sleep_for(200ms);
    auto run = ombrix_limited({"cluster", "status", "--profile", "galera"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const auto error = run.err.substr(0, run.err.find('\n'));
    EXPECT_NE(error.find(g.endpoint(3) + ": unreachable"), std::string::npos) << run.err;
    EXPECT_EQ(error.find(g.endpoint(1)), std::string::npos) << run.err;
    EXPECT_EQ(error.find(g.endpoint(2)), std::string::npos) << run.err;
    killer.restart(3);
    run = ombrix_limited({"cluster", "status", "--profile", "galera"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
}

}  // namespace
