// Copying a schema between schemas of the sandbox server: the command's fast path with its
// verification, a second run with --drop, and the library's page-by-page path with renamed
// columns, row filters and pages of two rows. Afterwards the structures must compare equal and the
// rows must be the same.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "providers/Core/text.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Transform/transfer.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/second_server.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::SecondServer;
using Ombrix::Testing::TempDir;


// Hostile names, a foreign-key cycle, a view on a view, a routine with ';' in its body, a trigger
// that must not fire while the rows are copied, and the column types that break naive copies.
const char* const kSchema = R"(
CREATE TABLE `it's ``a``` (id INT PRIMARY KEY, other INT, `select` VARCHAR(40), bin VARBINARY(8), blb BLOB,
  bits BIT(7), big BIGINT UNSIGNED, num DECIMAL(65,30), dt DATETIME(6), tm TIME, f FLOAT, d DOUBLE,
  e ENUM('x','y''z'), j JSON, pt POINT, gen INT AS (id * 2) VIRTUAL, note TEXT CHARACTER SET latin1);
CREATE TABLE `order` (id INT PRIMARY KEY, parent INT,
  CONSTRAINT fk_order FOREIGN KEY (parent) REFERENCES `it's ``a``` (id));
ALTER TABLE `it's ``a``` ADD CONSTRAINT fk_back FOREIGN KEY (other) REFERENCES `order` (id);
CREATE TABLE audit (n INT);
CREATE TRIGGER tr AFTER INSERT ON `order` FOR EACH ROW INSERT INTO audit VALUES (NEW.id);
CREATE VIEW v1 AS SELECT id, `select` FROM `it's ``a```;
CREATE VIEW v2 AS SELECT id FROM v1 WHERE id > 1;
DELIMITER //
CREATE PROCEDURE twice(IN x INT, OUT y INT) BEGIN SET y = x; SET y = y * 2; END//
DELIMITER ;
INSERT INTO `order` VALUES (1, NULL), (2, NULL);
INSERT INTO `it's ``a``` (id, other, `select`, bin, blb, bits, big, num, dt, tm, f, d, e, j, pt, note) VALUES
  (1, 1, 'quote '' and " and \\ and tab\t', 0x00FF27, X'', b'1010101', 18446744073709551615,
   '12345678901234567890123456789012345.123456789012345678901234567890', '2024-02-29 23:59:59.123456',
   '-838:59:59', 1.5, -2.25e-300, 'y''z', '{"k": [1, "\\"q"]}', POINT(1.5, -2), 'caf\xC3\xA9'),
  (2, 2, '', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, NULL, 'line\r\nbreak', 0x0D0A, 0x00, b'0', 0, -0.5, '1000-01-01 00:00:00', '00:00:00', 0, 0, 'x', '[]', NULL, '');
UPDATE `order` SET parent = id;
)";

class TransferTest : public ::testing::Test {
protected:
    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(home, args, input);
    }

    /// The rows of a query as tab-separated text.
    std::string rows(const std::string& sql) {
        auto run = ombrix({"query", "--format", "tsv", "--no-header", sql});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }

    TempDir home;
};

TEST_F(TransferTest, CopiesStructureAndRowsAndVerifiesThem) {
    ScratchSchema source("transfer_src");
    ScratchSchema target("transfer_dst");
    auto run = ombrix({"query", "-f", "-"}, "USE `" + source.name() + "`;\n" + kSchema);
    ASSERT_EQ(run.status, 0) << run.err;
    Sandbox::get().exec("DROP DATABASE `" + target.name() + "`");

    for (const bool again : {false, true}) {
        SCOPED_TRACE(again ? "second run with --drop" : "first run");
        std::vector<std::string> args{"transfer", "--source", source.name(), "--target", target.name(), "--verify"};
        if (again) args.push_back("--drop");
        run = ombrix(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("Tables: 3, rows: 7,"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("DIFFERENT"), std::string::npos) << run.err;
        // Structure: nothing to change in either direction; rows: the same; the trigger did not
        // fire while the rows went in.
        run = ombrix({"diff", source.name(), target.name()});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        const std::string all = "SELECT id, other, `select`, HEX(bin), HEX(blb), bits + 0, big, num, dt, tm, f, d, e, "
                                "j, ST_AsText(pt), gen, note FROM `%s`.`it's ``a``` ORDER BY id";
        auto of = [&](const std::string& schema) {
            std::string sql = all;
            sql.replace(sql.find("%s"), 2, schema);
            return rows(sql);
        };
        EXPECT_EQ(of(source.name()), of(target.name()));
        EXPECT_EQ(rows("SELECT COUNT(*) FROM `" + target.name() + "`.audit"), "2\n");
    }

    // The library's page-by-page path: one column renamed on the way, a filter, pages of two.
    Sandbox::get().exec("CREATE DATABASE IF NOT EXISTS `" + target.name() + "_pages`");
    Sandbox::get().exec("CREATE TABLE `" + target.name() + "_pages`.picked (ident INT PRIMARY KEY, label VARCHAR(40))");
    auto connect = [] {
        auto connection = Ombrix::Solvane::Supports::Database::MariaDBConnection::create();
        EXPECT_TRUE(connection->open(Sandbox::get().profile(), nullptr));
        return connection;
    };
    Ombrix::Solvane::Transform::Transfer::Options options{
        {"OPTION|SOURCE|DATABASE", source.name()},
        {"OPTION|RESULT|STRUCTURE", "false"},
        {"OPTION|RESULT|VERIFY", "true"},
        {"schema|" + source.name() + "|MODE", "true"},
        {"schema|" + source.name() + "|NAME", target.name() + "_pages"},
        {"table|it's `a`|MODE", "true"},
        {"table|it's `a`|NAME", "picked"},
        {"table|it's `a`|FIELDS", " id = ident ;select= label "},
        {"table|it's `a`|BATCH", "2"},
        {"table|it's `a`|RECORDS", "id >= 1; id = 3;"},
    };
    auto transfer = Ombrix::Solvane::Transform::Transfer::create(options);
    auto from = connect();
    auto to = connect();
    transfer->set_server_source(from);
    transfer->set_server_target(to);
    auto progress = Ombrix::Solvane::Contracts::ThreadProgress::create();
    transfer->set_progress(progress);
    ASSERT_TRUE(transfer->handle());
    EXPECT_TRUE(progress->snapshot().finished);
    // The two record sets overlap in row 3: the second is refused by the key, counted as a failure.
    EXPECT_EQ(progress->snapshot().failure, 1);
    EXPECT_EQ(rows("SELECT ident, label FROM `" + target.name() + "_pages`.picked ORDER BY ident"),
              rows("SELECT id, `select` FROM `" + source.name() + "`.`it's ``a``` ORDER BY id"));
    const auto reports = transfer->get_reports();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].rows, 3);

    // A view's rows into a table of its name, one column renamed, the view's name kept (MODE not
    // "true"): the rows are read from the view's own column.
    transfer = Ombrix::Solvane::Transform::Transfer::create({
        {"OPTION|SOURCE|DATABASE", source.name()},
        {"schema|" + source.name() + "|MODE", "true"},
        {"schema|" + source.name() + "|NAME", target.name() + "_pages"},
        {"table|v1|MODE", "false"},
        {"table|v1|VIEW2TABLE", "true"},
        {"view|v1|FIELDS", "id = ident"},
    });
    transfer->set_server_source(from);
    transfer->set_server_target(to);
    progress = Ombrix::Solvane::Contracts::ThreadProgress::create();
    transfer->set_progress(progress);
    ASSERT_TRUE(transfer->handle());
    EXPECT_EQ(progress->snapshot().failure, 0);
    EXPECT_EQ(rows("SELECT ident FROM `" + target.name() + "_pages`.v1 ORDER BY ident"), "1\n2\n3\n");
    from->close();
    to->close();
    Sandbox::get().exec("DROP DATABASE `" + target.name() + "_pages`");
}

/// Tables a plain copy gets wrong: one that keeps its rows' history, one whose every column is
/// generated, one whose AUTO_INCREMENT counter runs ahead of its rows; a copy of the structure
/// alone, which has the trigger and the event too; and a source schema that is not there.
TEST_F(TransferTest, CopiesHistoryGeneratedColumnsCountersTriggersAndEvents) {
    ScratchSchema source("transfer_edge");
    ScratchSchema target("transfer_edge_dst");
    auto run = ombrix({"query", "-f", "-"}, "USE `" + source.name() + "`;\n" + R"(
CREATE TABLE v (id INT PRIMARY KEY, x INT) WITH SYSTEM VERSIONING;
INSERT INTO v VALUES (1, 1), (2, 2);
UPDATE v SET x = 3 WHERE id = 2;
CREATE TABLE g (a INT AS (1) VIRTUAL, b INT AS (2) PERSISTENT);
INSERT INTO g () VALUES (), (), ();
CREATE TABLE c (id INT PRIMARY KEY AUTO_INCREMENT, s VARCHAR(10));
INSERT INTO c (s) VALUES ('a'), ('b');
ALTER TABLE c AUTO_INCREMENT = 50;
CREATE TRIGGER tr BEFORE INSERT ON c FOR EACH ROW SET NEW.s = UPPER(NEW.s);
CREATE EVENT ev ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DISABLE DO DELETE FROM c;
)");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto count = [&](const std::string& catalogue, const std::string& column) {
        return rows("SELECT COUNT(*) FROM information_schema." + catalogue + " WHERE " + column + " = '" +
                    target.name() + "'");
    };

    run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--structure-only"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(count("TRIGGERS", "TRIGGER_SCHEMA"), "1\n");
    EXPECT_EQ(count("EVENTS", "EVENT_SCHEMA"), "1\n");

    for (const bool pages : {false, true}) {
        SCOPED_TRACE(pages ? "page by page" : "bulk");
        std::vector<std::string> args{"transfer", "--source", source.name(), "--target", target.name(), "--drop", "--verify"};
        if (pages) args.push_back("--page-by-page");
        run = ombrix(args);
        ASSERT_EQ(run.status, 0) << run.err;
        // v: two rows and a past version of one; g: three rows of defaults; c: two rows.
        EXPECT_NE(run.err.find("Tables: 3, rows: 8,"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("DIFFERENT"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
        auto of = [&](const std::string& sql, const std::string& schema) {
            std::string text = sql;
            text.replace(text.find("%s"), 2, schema);
            return rows(text);
        };
        for (const char* sql : {"SELECT id, x, row_start, row_end FROM `%s`.v FOR SYSTEM_TIME ALL ORDER BY id, row_end",
                                      "SELECT a, b FROM `%s`.g",
                                      "SELECT AUTO_INCREMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = '%s' AND "
                                      "TABLE_NAME = 'c'"})
            EXPECT_EQ(of(sql, source.name()), of(sql, target.name())) << sql;
        EXPECT_EQ(count("TRIGGERS", "TRIGGER_SCHEMA"), "1\n");
        EXPECT_EQ(count("EVENTS", "EVENT_SCHEMA"), "1\n");
        run = ombrix({"diff", source.name(), target.name()});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
    }

    // History the target cannot keep (its table keeps none): the current rows go, the history is
    // named, and the run fails, since the copy is not whole.
    Sandbox::get().exec("DROP TABLE `" + target.name() + "`.v; CREATE TABLE `" + target.name() +
                        "`.v (id INT PRIMARY KEY, x INT)");
    run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--data-only", "--tables", "v"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("the history of " + source.name() + ".v was not copied (the target table keeps no history)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(rows("SELECT id, x FROM `" + target.name() + "`.v ORDER BY id"), "1\t1\n2\t3\n");

    run = ombrix({"transfer", "--source", source.name() + "_none", "--target", target.name()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no schema named '" + source.name() + "_none'"), std::string::npos) << run.err;
}

/// The target server dies in the middle of a copy: the run ends (nothing waits forever) with a
/// failure that names the table and the batch, and a second run with --drop makes a whole copy.
TEST_F(TransferTest, ATargetThatDiesMidCopyIsReportedAndTheCopyResumes) {
    ScratchSchema source("transfer_kill");
    Sandbox::get().exec("CREATE TABLE `" + source.name() + "`.t (id INT PRIMARY KEY, s VARCHAR(100))");
    Sandbox::get().exec("INSERT INTO `" + source.name() + "`.t SELECT seq, REPEAT('x', 90) FROM `" + source.name() +
                        "`.seq_1_to_400000");
    SecondServer server;
    ASSERT_TRUE(server.start());
    auto run = ombrix({"profile", "add", "other", "--host", "127.0.0.1", "--port", server.port(), "--user", "root",
                       "--password", server.password()});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string target = "other:" + source.name();

    // Stop the server as soon as its first batch is committed, and by a deadline in any case: a
    // server that stops answering cannot hold the test (each probe has its own time limit too).
    std::thread watcher([&] {
        const std::string client = "timeout 5 mariadb --no-defaults --connect-timeout=2 -h127.0.0.1 -P" + server.port() +
                                   " -uroot -p" + server.password() + " -N -e \"SELECT COUNT(*) FROM `" + source.name() +
                                   "`.t\"";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            gchar* out = nullptr;
            g_spawn_command_line_sync(client.c_str(), &out, nullptr, nullptr, nullptr);
            const std::string count = out ? out : "";
            g_free(out);
            if (!count.empty() && count != "0\n") break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        server.kill_now();
    });
    Sandbox::get().exec("CREATE TABLE `" + source.name() + "`.k (n INT); INSERT INTO `" + source.name() +
                        "`.k SELECT seq MOD 3 FROM `" + source.name() + "`.seq_1_to_1000");
    run = ombrix({"--connect-timeout", "5", "--read-timeout", "120", "transfer", "--source", source.name(), "--target",
                  target, "--parallel", "2"});
    watcher.join();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("table " + source.name() + ".t, batch "), std::string::npos) << run.err;

    ASSERT_TRUE(server.restart());
    run = ombrix({"profile", "remove", "other"});
    run = ombrix({"profile", "add", "other", "--host", "127.0.0.1", "--port", server.port(), "--user", "root",
                  "--password", server.password()});
    // The copy goes on where its journal says: the key ranges committed stay, the rest (and the table
    // without a key, whole) is copied again, nothing twice.
    run = ombrix({"transfer", "--source", source.name(), "--target", target, "--resume", "--verify", "--parallel", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("rows: 401000,"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("verify " + source.name() + ".t: equal"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("verify " + source.name() + ".k: equal"), std::string::npos) << run.err;
    // Another copy resumes nothing: the journal went with the copy that finished.
    run = ombrix({"transfer", "--source", source.name(), "--target", target, "--resume", "--drop"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("no journal of an earlier copy"), std::string::npos) << run.err;
}



/// Rows a target table holds already are neither emptied out nor mixed with the copy's unless the
/// run says what becomes of those whose key is there: skipped, or replaced.
TEST_F(TransferTest, RowsTheTargetHoldsStopTheCopyUnlessDuplicatesAreSkippedOrReplaced) {
    ScratchSchema source("xfer_dup_src");
    ScratchSchema target("xfer_dup_dst");
    const std::string src = "`" + source.name() + "`";
    const std::string dst = "`" + target.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + src + ".t (id INT PRIMARY KEY, v VARCHAR(5))");
    Sandbox::get().exec("INSERT INTO " + src + ".t VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    Sandbox::get().exec("CREATE TABLE " + dst + ".t LIKE " + src + ".t");
    const auto reset = [&] {
        Sandbox::get().exec("DELETE FROM " + dst + ".t");
        Sandbox::get().exec("INSERT INTO " + dst + ".t VALUES (1, 'x'), (9, 'z')");
    };
    const std::vector<std::string> copy{"transfer", "--source", source.name(), "--target", target.name(), "--data-only"};
    reset();
    auto run = ombrix(copy);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("the target already holds rows in " + dst + ".`t`: nothing was copied"), std::string::npos)
        << run.err;
    EXPECT_EQ(rows("SELECT id, v FROM " + dst + ".t ORDER BY id"), "1\tx\n9\tz\n");
    for (const bool pages : {false, true}) {
        SCOPED_TRACE(pages ? "page by page" : "in bulk");
        for (const auto& [choice, expected] : {std::pair<std::string, std::string>{"skip", "1\tx\n2\tb\n3\tc\n9\tz\n"},
                                               {"replace", "1\ta\n2\tb\n3\tc\n9\tz\n"}}) {
            reset();
            auto args = copy;
            args.insert(args.end(), {"--on-duplicate", choice});
            if (pages) args.push_back("--page-by-page");
            run = ombrix(args);
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(rows("SELECT id, v FROM " + dst + ".t ORDER BY id"), expected) << choice;
        }
    }
}

// Small tables go as INSERTs, big ones as loads: in both, a value the target would cut fails the
// copy and stores nothing, and rows skipped on purpose for their keys do not.
TEST_F(TransferTest, ValuesTheTargetWouldChangeFailTheCopyInEveryPath) {
    ScratchSchema source("xfer_cut_src");
    ScratchSchema target("xfer_cut_dst");
    const std::string src = "`" + source.name() + "`";
    const std::string dst = "`" + target.name() + "`";
    for (const int rows_in : {3, 3000}) {
        SCOPED_TRACE(rows_in);
        Sandbox::get().exec("DROP TABLE IF EXISTS " + src + ".t, " + dst + ".t");
        Sandbox::get().exec("CREATE TABLE " + src + ".t (id INT PRIMARY KEY, v VARCHAR(10))");
        Sandbox::get().exec("INSERT INTO " + src + ".t SELECT seq, CONCAT('abcdef', seq) FROM " + src + ".seq_1_to_" +
                            std::to_string(rows_in));
        Sandbox::get().exec("ANALYZE TABLE " + src + ".t");
        Sandbox::get().exec("CREATE TABLE " + dst + ".t (id INT PRIMARY KEY, v VARCHAR(3))");
        auto run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--data-only"});
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find("for column 'v' at row"), std::string::npos) << run.err;
        EXPECT_EQ(rows("SELECT COUNT(*) FROM " + dst + ".t"), "0\n");

        Sandbox::get().exec("ALTER TABLE " + dst + ".t MODIFY v VARCHAR(10)");
        Sandbox::get().exec("INSERT INTO " + dst + ".t VALUES (1, 'kept')");
        run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--data-only", "--on-duplicate",
                      "skip"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(rows("SELECT COUNT(*), MAX(v) FROM " + dst + ".t WHERE id > 1"),
                  std::to_string(rows_in - 1) + (rows_in == 3 ? "\tabcdef3\n" : "\tabcdef999\n"));
        EXPECT_EQ(rows("SELECT v FROM " + dst + ".t WHERE id = 1"), "kept\n");
    }
}

// A FLOAT's text keeps six digits: copies read it as DOUBLE, whose text keeps every bit, so each
// path stores the very values the source holds, and --verify sees a value that differs in its last
// bits.
TEST_F(TransferTest, FloatsKeepEveryBitInEveryPath) {
    ScratchSchema source("xfer_float_src");
    ScratchSchema target("xfer_float_dst");
    const std::string src = "`" + source.name() + "`";
    const std::string dst = "`" + target.name() + "`";
    const std::string values = "SELECT id, CAST(f AS DOUBLE), CAST(g AS DOUBLE) FROM %s.t ORDER BY id";
    const auto of = [&](const std::string& schema) {
        std::string sql = values;
        sql.replace(sql.find("%s"), 2, schema);
        return rows(sql);
    };
    for (const int count : {3, 3000}) {
        SCOPED_TRACE(count);
        Sandbox::get().exec("DROP TABLE IF EXISTS " + src + ".t; CREATE TABLE " + src +
                            ".t (id INT PRIMARY KEY, f FLOAT, g FLOAT(7,4)); INSERT INTO " + src +
                            ".t SELECT seq, 1.0000001 + seq / 3e7, 1.2345 FROM " + src + ".seq_1_to_" + std::to_string(count) +
                            "; INSERT INTO " + src + ".t VALUES (0, 3.4028234e38, -1.1754944e-38); ANALYZE TABLE " + src + ".t");
        for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--page-by-page"}}) {
            Sandbox::get().exec("DROP TABLE IF EXISTS " + dst + ".t");
            std::vector<std::string> args{"transfer", "--source", source.name(), "--target", target.name(), "--verify"};
            args.insert(args.end(), extra.begin(), extra.end());
            auto run = ombrix(args);
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(of(dst), of(src));
            // The check itself tells a FLOAT that differs in its last bits.
            Sandbox::get().exec("UPDATE " + dst + ".t SET f = 1.0000002 WHERE id = 1");
            run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--data-only", "--verify",
                          "--on-duplicate", "skip"});
            EXPECT_NE(run.err.find("verify " + target.name() + ".t: DIFFERENT"), std::string::npos) << run.err;
        }
        const std::string file = home.file("floats.sql");
        ASSERT_EQ(ombrix({"dump", source.name(), "--as", target.name(), "-o", file}).status, 0);
        Sandbox::get().exec("DROP TABLE IF EXISTS " + dst + ".t");
        ASSERT_EQ(ombrix({"restore", file}).status, 0);
        EXPECT_EQ(of(dst), of(src));
    }
}

/// A dump of some tables and some rows, of the structure alone, and of a schema that is not there.
TEST_F(TransferTest, DumpWritesWhatItIsAskedForAndNothingWhenItFails) {
    ScratchSchema source("dump_src");
    ScratchSchema copy("dump_dst");
    const std::string src = "`" + source.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + src + ".t1 (id INT PRIMARY KEY, s VARCHAR(5)); CREATE TABLE " + src +
                        ".t2 (id INT); INSERT INTO " + src + ".t1 VALUES (1, 'a'), (2, 'b'), (3, NULL)");
    const std::string file = home.file("some.sql");
    auto run = ombrix({"dump", source.name(), "--as", copy.name(), "--tables", "t1", "--where", "t1:id > 1", "-o", file});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(ombrix({"restore", file}).status, 0);
    EXPECT_EQ(rows("SELECT id, IFNULL(s, 'NULL') FROM `" + copy.name() + "`.t1 ORDER BY id"), "2\tb\n3\tNULL\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + copy.name() + "'"), "1\n");

    // A versioned table's past rows go along with their periods.
    Sandbox::get().exec("CREATE TABLE " + src + ".h (id INT PRIMARY KEY, x INT) WITH SYSTEM VERSIONING; INSERT INTO " +
                        src + ".h VALUES (1, 10), (2, 20); UPDATE " + src + ".h SET x = 11 WHERE id = 1; DELETE FROM " +
                        src + ".h WHERE id = 2");
    run = ombrix({"dump", source.name(), "--as", copy.name(), "--tables", "h", "-o", home.file("history.sql")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(ombrix({"restore", home.file("history.sql")}).status, 0);
    const std::string versions = "SELECT id, x, row_start, row_end FROM %s.h FOR SYSTEM_TIME ALL ORDER BY id, row_end";
    const auto of = [&](const std::string& schema) {
        std::string sql = versions;
        return sql.replace(sql.find("%s"), 2, schema);
    };
    EXPECT_EQ(rows(of("`" + copy.name() + "`")), rows(of(src)));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM `" + copy.name() + "`.h FOR SYSTEM_TIME ALL"), "3\n");

    // A table without transactions is named in a warning, or held read-locked when asked.
    Sandbox::get().exec("CREATE TABLE " + src + ".m (id INT) ENGINE=MyISAM");
    run = ombrix({"dump", source.name(), "--tables", "m"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: table " + src + ".`m` (MyISAM) has no transactions"), std::string::npos) << run.err;
    run = ombrix({"dump", source.name(), "--tables", "m", "--lock-tables"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("-- " + src + ".`m` (MyISAM) has no transactions: it was read-locked"), std::string::npos)
        << run.out;
    run = ombrix({"transfer", "--source", source.name(), "--target", copy.name(), "--tables", "m", "--lock-tables"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;

    run = ombrix({"dump", source.name(), "--no-data"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CREATE TABLE IF NOT EXISTS " + src + ".`t2`"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("INSERT"), std::string::npos);

    // A table of generated columns alone keeps its number of rows; a name that names nothing fails.
    Sandbox::get().exec("CREATE TABLE " + src + ".g (a INT AS (1) VIRTUAL); INSERT INTO " + src + ".g () VALUES (), ()");
    run = ombrix({"dump", source.name(), "--as", copy.name(), "--tables", "g"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(ombrix({"restore", "-"}, run.out).status, 0);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM `" + copy.name() + "`.g"), "2\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--tables", "t1,nosuch"},
                                                 std::vector<std::string>{"--where", "nosuch:1"}}) {
        std::vector<std::string> dump{"dump", source.name(), "-o", home.file("none.sql")};
        dump.insert(dump.end(), args.begin(), args.end());
        run = ombrix(dump);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("nosuch"), std::string::npos) << run.err;
    }

    const std::string missing = home.file("missing.sql");
    run = ombrix({"dump", source.name() + "_none", "-o", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no schema named '" + source.name() + "_none'"), std::string::npos) << run.err;
    EXPECT_FALSE(g_file_test(missing.c_str(), G_FILE_TEST_EXISTS));
}

/// A directory of files read by two readers on one snapshot, loaded under another name by two
/// sessions; a load that fails says where and goes on only with --resume, without loading twice.
TEST_F(TransferTest, DirectoryDumpsLoadUnderAnotherNameAndLoadsResume) {
    ScratchSchema source("dir src.\xC3\xBC");
    ScratchSchema copy("dir dst.\xC3\xBC");
    const std::string src = "`" + source.name() + "`";
    const std::string dst = "`" + copy.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + src + ".t (id INT PRIMARY KEY, s VARCHAR(20)); INSERT INTO " + src +
                        ".t SELECT seq, CONCAT('r', seq) FROM " + src + ".seq_1_to_3000; CREATE TABLE " + src +
                        ".log (n INT); CREATE VIEW " + src + ".v AS SELECT " + src + ".t.id FROM " + src +
                        ".t WHERE " + src + ".t.id < 3; CREATE TRIGGER " + src + ".tr AFTER INSERT ON " + src +
                        ".t FOR EACH ROW INSERT INTO " + src + ".log VALUES (NEW.id)");
    const std::string directory = home.file("d") + "/";
    auto run = ombrix({"dump", source.name(), "-o", directory, "--parallel", "2", "--rows-per-file", "1000"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto manifest = Ombrix::Testing::read_text(directory + "ombrix-dump.manifest");
    EXPECT_NE(manifest.find("\t`id` >= "), std::string::npos) << manifest;
    run = ombrix({"restore", directory, "--target", copy.name(), "--parallel", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string rows_of = "SELECT COUNT(*), SUM(CRC32(CONCAT(id, s))) FROM ";
    EXPECT_EQ(rows(rows_of + dst + ".t"), rows(rows_of + src + ".t"));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + dst + ".log"), "0\n");
    EXPECT_EQ(rows("SELECT id FROM " + dst + ".v"), "1\n2\n");
    // The view and the trigger read and write the copy, not the source.
    Sandbox::get().exec("INSERT INTO " + dst + ".t VALUES (0, 'new')");
    EXPECT_EQ(rows("SELECT n FROM " + dst + ".log"), "0\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + src + ".log"), "0\n");
    EXPECT_EQ(rows("SELECT id FROM " + dst + ".v"), "0\n1\n2\n");
    // A directory without its manifest is no dump, and one dump of two schemas keeps their names.
    g_unlink((directory + "ombrix-dump.manifest").c_str());
    run = ombrix({"restore", directory});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("holds no whole dump"), std::string::npos) << run.err;
    run = ombrix({"dump", source.name(), copy.name(), "--no-data", "-o", home.file("two.sql")});
    ASSERT_EQ(run.status, 0) << run.err;
    run = ombrix({"restore", home.file("two.sql"), "--target", "x"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the dump holds 2 schemas, which keep their names"), std::string::npos) << run.err;

    // A script's third statement fails: the load names it, keeps its journal, and goes on only when
    // told to, without storing the second again.
    const std::string script = home.file("script.sql");
    ASSERT_TRUE(g_file_set_contents(script.c_str(),
                                    "CREATE TABLE k (id INT);\nINSERT INTO k VALUES (1), (2);\n\nINSERT INTO nosuch "
                                    "VALUES (1);\n",
                                    -1, nullptr));
    run = ombrix({"restore", script, "--target", copy.name()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(script + ", statement 3 (line 4) failed: MariaDB error 1146"), std::string::npos) << run.err;
    run = ombrix({"restore", script, "--target", copy.name()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--resume finishes it"), std::string::npos) << run.err;
    run = ombrix({"restore", script, "--target", source.name(), "--resume"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("of a load of another dump or into another schema"), std::string::npos) << run.err;
    Sandbox::get().exec("CREATE TABLE " + dst + ".nosuch (id INT)");
    run = ombrix({"restore", script, "--target", copy.name(), "--resume"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + dst + ".k"), "2\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + dst + ".nosuch"), "1\n");
    EXPECT_FALSE(g_file_test((script + ".ombrix-journal").c_str(), G_FILE_TEST_EXISTS));

    // A load stopped while a transaction committed (its journal lacks the COMMIT's "done"): the count
    // of the table it wrote tells whether the commit took, and a count that fits neither is refused.
    const std::string transaction = home.file("transaction.sql");
    ASSERT_TRUE(g_file_set_contents(transaction.c_str(),
                                    "CREATE TABLE c (id INT);\nSTART TRANSACTION;\nINSERT INTO c VALUES (1), (2);\n"
                                    "COMMIT;\nINSERT INTO later VALUES (1);\n",
                                    -1, nullptr));
    const std::string journal = transaction + ".ombrix-journal";
    // What became of the transaction's rows since (none: it took; all deleted: as if it had not).
    for (const auto& [deleted, expected] : {std::pair<std::string, std::string>{"", "2\n"},
                                            {" WHERE TRUE", "2\n"},
                                            {" WHERE id = 1", ""}}) {
        SCOPED_TRACE(deleted);
        Sandbox::get().exec("DROP TABLE IF EXISTS " + dst + ".c; DROP TABLE IF EXISTS " + dst + ".later");
        g_unlink(journal.c_str());
        run = ombrix({"restore", transaction, "--target", copy.name()});
        ASSERT_EQ(run.status, 1) << run.err;
        std::string lines = Ombrix::Testing::read_text(journal);
        const auto commit_done = lines.find("done\t" + transaction + "\t3\n");
        ASSERT_NE(commit_done, std::string::npos) << lines;
        lines.erase(commit_done, lines.find('\n', commit_done) + 1 - commit_done);
        ASSERT_TRUE(g_file_set_contents(journal.c_str(), lines.c_str(), -1, nullptr));
        if (!deleted.empty()) Sandbox::get().exec("DELETE FROM " + dst + ".c" + deleted);
        Sandbox::get().exec("CREATE TABLE " + dst + ".later (id INT)");
        run = ombrix({"restore", transaction, "--target", copy.name(), "--resume"});
        if (expected.empty()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("neither what it held before"), std::string::npos) << run.err;
            continue;
        }
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(rows("SELECT COUNT(*) FROM " + dst + ".c"), expected);
    }
}

}  // namespace
