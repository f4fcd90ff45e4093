// The synchronizers against the sandbox server: which scripts a pair of schemas gives, how a run
// reports a failing script, and `ombrix sync` bringing a schema's structure and a table's rows in
// line with a source until nothing differs.
#include <glib.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Transform/synchronizer.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

namespace DB = Ombrix::Solvane::Supports::Database;
namespace T = Ombrix::Solvane::Transform;
using Ombrix::Solvane::Contracts::ThreadProgress;
using Ombrix::Testing::describe;
using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

class SynchronizerStructure : public ::testing::Test {
protected:
    void SetUp() override {
        m_connection = DB::MariaDBConnection::create();
        auto opened = m_connection->open(Sandbox::get().profile(), nullptr);
        ASSERT_TRUE(opened.has_value()) << describe(opened.error());
    }
    void TearDown() override { m_connection->close(); }

    /// A synchronizer from `source` to `target`, initialized, with the given keys set.
    std::shared_ptr<T::StructureSynchronizer> make(const std::string& source, const std::string& target,
                                                   const std::vector<std::string>& keys, bool go_on = false) {
        T::OptionMap options{{"OPTION|SOURCE|DATABASE", source}, {"OPTION|SOURCE|SCHEMA", source},
                             {"OPTION|TARGET|DATABASE", target}, {"OPTION|TARGET|SCHEMA", target}};
        if (go_on) options["OPTION|RESULT|CONTINUE"] = "true";
        for (const auto& key : keys) options[key] = "";
        auto synchronizer = T::StructureSynchronizer::create(options);
        synchronizer->set_server_source(m_connection);
        synchronizer->set_server_target(m_connection);
        synchronizer->set_progress(m_progress);
        auto initialized = synchronizer->initialize();
        EXPECT_TRUE(initialized.has_value()) << describe(initialized.error());
        return synchronizer;
    }

    std::vector<std::string> generate(T::StructureSynchronizer& synchronizer) {
        auto scripts = synchronizer.generate();
        EXPECT_TRUE(scripts.has_value()) << describe(scripts.error());
        return scripts ? *scripts : std::vector<std::string>{};
    }

    bool has_table(const std::string& schema, const std::string& table) {
        auto count = m_connection->execute_as_scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                                                     "TABLE_SCHEMA = '" + schema + "' AND TABLE_NAME = '" + table + "'");
        return count && (*count)->to_string() == "1";
    }

    std::shared_ptr<DB::MariaDBConnection> m_connection;
    std::shared_ptr<ThreadProgress> m_progress = ThreadProgress::create();
};

TEST_F(SynchronizerStructure, ScriptsTurnTheTargetIntoTheSourceForSelectedObjectsOnly) {
    // Identical schemas: nothing to write, nothing run, the progress record untouched.
    ScratchSchema same_a("sync_same");
    ScratchSchema same_b("sync_same");
    for (const auto* schema : {&same_a, &same_b})
        Sandbox::get().exec("CREATE TABLE `" + schema->name() + "`.t (id INT PRIMARY KEY)");
    auto identical = make(same_a.name(), same_b.name(), {"OPTION|table|t"});
    EXPECT_TRUE(generate(*identical).empty());
    m_progress->step(true, "", 0);
    ASSERT_TRUE(identical->handle().has_value());
    const auto untouched = m_progress->snapshot();
    EXPECT_EQ(untouched.step, 1);
    EXPECT_FALSE(untouched.finished);

    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    Sandbox::get().exec("USE " + src +
                        "; CREATE TABLE t (id INT PRIMARY KEY, extra INT); CREATE TABLE fresh (id INT);"
                        "CREATE VIEW v AS SELECT id FROM t");
    Sandbox::get().exec("USE " + tgt + "; CREATE TABLE t (id INT PRIMARY KEY); CREATE VIEW v AS SELECT 1 AS id");

    struct Case {
        std::vector<std::string> keys;
        std::string starts;    // the one script's beginning ("" for no script at all)
        std::string contains;  // and what else it holds
    };
    const Case cases[] = {
        {{}, "", ""},
        {{"OPTION|table|fresh"}, "CREATE TABLE IF NOT EXISTS " + tgt + ".`fresh` (", ""},
        // The source's extra column is added to the target, not dropped from it.
        {{"OPTION|table|t"}, "ALTER TABLE " + tgt + ".`t`", "ADD COLUMN `extra` INT"},
        {{"OPTION|view|v"}, "DROP VIEW IF EXISTS " + tgt + ".`v`;\n", "VIEW " + tgt + ".`v` AS select"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys.empty() ? "no key" : c.keys[0]);
        const auto scripts = generate(*make(source.name(), target.name(), c.keys));
        if (c.starts.empty()) {
            EXPECT_TRUE(scripts.empty());
            continue;
        }
        ASSERT_EQ(scripts.size(), 1u);
        EXPECT_EQ(scripts[0].rfind(c.starts, 0), 0u) << scripts[0];
        EXPECT_NE(scripts[0].find(c.contains), std::string::npos) << scripts[0];
        EXPECT_EQ(scripts[0].find(source.name()), std::string::npos) << scripts[0];
    }
}

TEST_F(SynchronizerStructure, ContinueDecidesWhetherTheScriptsAfterAFailureRun) {
    // Table b references a table that is not selected, so creating it in the target fails.
    ScratchSchema source("sync_src");
    Sandbox::get().exec("USE `" + source.name() +
                        "`; CREATE TABLE a (id INT); CREATE TABLE ref (id INT PRIMARY KEY);"
                        "CREATE TABLE b (id INT, r INT, CONSTRAINT fk_ref FOREIGN KEY (r) REFERENCES ref (id));"
                        "CREATE TABLE c (id INT)");
    for (const bool go_on : {false, true}) {
        SCOPED_TRACE(go_on ? "CONTINUE true" : "CONTINUE false");
        ScratchSchema target("sync_tgt");
        m_progress = ThreadProgress::create();
        auto synchronizer = make(source.name(), target.name(), {"OPTION|table|a", "OPTION|table|b", "OPTION|table|c"}, go_on);
        ASSERT_EQ(generate(*synchronizer).size(), 3u);
        ASSERT_TRUE(synchronizer->handle().has_value());

        const auto state = m_progress->snapshot();
        EXPECT_EQ(state.step, go_on ? 3 : 2);
        EXPECT_EQ(state.success, go_on ? 2 : 1);
        EXPECT_EQ(state.failure, 1);
        EXPECT_TRUE(state.finished);
        EXPECT_TRUE(has_table(target.name(), "a"));
        EXPECT_FALSE(has_table(target.name(), "b"));
        EXPECT_EQ(has_table(target.name(), "c"), go_on);
        // One message: a timestamp, a blank and the server's complaint.
        std::string message;
        ASSERT_TRUE(m_progress->pop_message(message));
        EXPECT_NE(message.find(" Can't create table `" + target.name() + "`.`b`"), std::string::npos) << message;
        EXPECT_FALSE(m_progress->pop_message(message));
    }
}

// The library's rows synchronizer: preview marks the rows and the values that change, generate
// gives one script (deletions, updates, insertions), handle runs it with one progress step per
// statement and leaves nothing to do; a run over equal rows leaves the record untouched.
TEST_F(SynchronizerStructure, RowsPreviewGenerateAndHandleAgree) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    for (const auto& schema : {source.name(), target.name()})
        Sandbox::get().exec("CREATE TABLE `" + schema + "`.t (id INT PRIMARY KEY, v VARCHAR(10), n INT)");
    Sandbox::get().exec("INSERT INTO `" + source.name() + "`.t VALUES (1, 'a', 1), (2, 'b', 2), (3, 'c', 3)");
    Sandbox::get().exec("INSERT INTO `" + target.name() + "`.t VALUES (1, 'a', 1), (2, 'B', 2), (4, 'd', 4)");
    const T::OptionMap options{{"OPTION|SOURCE|SCHEMA", source.name()}, {"OPTION|TARGET|SCHEMA", target.name()},
                               {"OPTION|SOURCE|TABLE", "t"}};
    const auto make = [&] {
        auto synchronizer = T::UserdataSynchronizer::create(options);
        synchronizer->set_server_source(m_connection);
        synchronizer->set_server_target(m_connection);
        synchronizer->set_progress(m_progress);
        auto initialized = synchronizer->initialize();
        EXPECT_TRUE(initialized.has_value()) << describe(initialized.error());
        return synchronizer;
    };
    auto synchronizer = make();
    auto preview = synchronizer->preview();
    ASSERT_TRUE(preview.has_value()) << describe(preview.error());
    const auto patched = std::dynamic_pointer_cast<Ombrix::Providers::Contracts::DataSetModel>(*preview);
    ASSERT_TRUE(patched);
    const auto rows = patched->get_item(0);
    ASSERT_EQ(rows->get_n_items(), 3u);
    using Ombrix::Providers::Contracts::DataVersion;
    EXPECT_EQ(rows->get_item(0)->get_version(), DataVersion::DELETE);
    EXPECT_EQ(rows->get_item(0)->get_value_at(0)->to_string(), "4");
    EXPECT_EQ(rows->get_item(1)->get_version(), DataVersion::UPDATE);
    EXPECT_EQ(T::Patcher::value_version(*rows->get_item(1)->get_value_at(1)), DataVersion::UPDATE);
    EXPECT_NE(T::Patcher::value_version(*rows->get_item(1)->get_value_at(2)), DataVersion::UPDATE);
    EXPECT_EQ(rows->get_item(2)->get_version(), DataVersion::INSERT);

    const std::string tgt = "`" + target.name() + "`.`t`";
    auto scripts = synchronizer->generate();
    ASSERT_TRUE(scripts.has_value()) << describe(scripts.error());
    ASSERT_EQ(scripts->size(), 1u);
    EXPECT_EQ((*scripts)[0], "DELETE FROM " + tgt + " WHERE `id` IN (4);\nUPDATE " + tgt +
                                 " SET `v`='b' WHERE `id`=2;\nINSERT INTO " + tgt +
                                 "(`id`, `v`, `n`) VALUES(3, 'c', 3);\n");
    ASSERT_TRUE(synchronizer->handle().has_value());
    const auto state = m_progress->snapshot();
    EXPECT_EQ(state.success, 3);
    EXPECT_EQ(state.failure, 0);
    EXPECT_TRUE(state.finished);

    auto again = make();
    auto nothing = again->generate();
    ASSERT_TRUE(nothing.has_value());
    EXPECT_TRUE(nothing->empty());
    ASSERT_TRUE(again->handle().has_value());
    EXPECT_EQ(m_progress->snapshot().step, state.step);
}

// ---------------------------------------------------------------- the command


class SynchronizerCli : public ::testing::Test {
protected:
    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(home, args, input);
    }

    /// The CHECKSUM TABLE value of each table, in order.
    std::vector<std::string> checksums(const std::vector<std::string>& tables) {
        std::string list;
        for (const auto& table : tables) list += (list.empty() ? "" : ", ") + table;
        const auto run = ombrix({"query", "--format", "csv", "CHECKSUM TABLE " + list});
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> sums;
        std::istringstream lines(run.out);
        std::string line;
        std::getline(lines, line);  // the header
        while (std::getline(lines, line)) sums.push_back(line.substr(line.rfind(',') + 1));
        return sums;
    }

    TempDir home;
};

TEST_F(SynchronizerCli, StructureRoundTripLeavesNothingToDiff) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    Sandbox::get().exec(
        "USE " + src +
        "; CREATE TABLE p (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL DEFAULT 'x');"
        "CREATE TABLE t (id INT PRIMARY KEY, p_id INT, note TEXT, added INT, KEY ix_note (note(8)),"
        " CONSTRAINT fk_p FOREIGN KEY (p_id) REFERENCES p (id));"
        "CREATE TABLE only_src (a INT);"
        "CREATE VIEW v AS SELECT t.id, p.name FROM t JOIN p ON p.id = t.p_id;"
        "CREATE VIEW v2 AS SELECT id FROM v;"
        "CREATE FUNCTION f(n INT) RETURNS INT DETERMINISTIC BEGIN DECLARE x INT; SET x = n * 2; RETURN x; END;"
        "CREATE PROCEDURE pr(IN n INT) BEGIN DELETE FROM t WHERE id = n; SELECT n; END;"
        "CREATE FUNCTION g() RETURNS INT DETERMINISTIC RETURN 7; CREATE VIEW vg AS SELECT g() AS seven;"
        "CREATE EVENT ev ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DO DELETE FROM t");
    Sandbox::get().exec("USE " + tgt +
                        "; CREATE TABLE p (id INT PRIMARY KEY, name VARCHAR(10));"
                        "CREATE TABLE t (id INT PRIMARY KEY, p_id INT, note TEXT);"
                        "CREATE TABLE only_tgt (b INT);"
                        "CREATE VIEW v AS SELECT t.id FROM t; CREATE VIEW gone AS SELECT 1 AS one;"
                        "CREATE FUNCTION f(n INT) RETURNS INT DETERMINISTIC RETURN n");

    // What the target alone holds goes only when the user says so.
    auto run = ombrix({"sync", "structure", "--source", source.name(), "--target", target.name(), "--apply"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ombrix: destructive: the script drops table " + tgt + ".`only_tgt`\n"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("refusing to apply scripts that drop what the target holds (--allow-drop to apply them)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("applied"), std::string::npos) << run.err;
    run = ombrix({"sync", "structure", "--source", source.name(), "--target", target.name(), "--apply", "--allow-drop"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("DROP TABLE IF EXISTS " + tgt + ".`only_tgt`;\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("ombrix: applied 12 script(s) to " + target.name() + "\n"), std::string::npos) << run.err;
    run = ombrix({"diff", target.name(), source.name()});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    run = ombrix({"sync", "structure", "--source", source.name(), "--target", target.name()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");

    // A script the server refuses: the command fails and says why.
    Sandbox::get().exec("INSERT INTO " + tgt + ".t (id) VALUES (1); ALTER TABLE " + src + ".t MODIFY note TEXT NOT NULL");
    run = ombrix({"sync", "structure", "--source", source.name(), "--target", target.name(), "--apply"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ombrix: 1 of 1 script(s) failed; " + target.name() + " is partly changed\n"),
              std::string::npos)
        << run.err;
}

TEST_F(SynchronizerCli, DataSyncMatchesRowsByKeyAndRefusesKeylessTables) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("USE " + schema +
                            "; CREATE TABLE k (a INT, b VARCHAR(10), v VARCHAR(20), bin VARBINARY(4), PRIMARY KEY (a, b));"
                            "CREATE TABLE nokey (a INT)");
    Sandbox::get().exec("INSERT INTO " + src + ".k VALUES (1, 'x', 'same', 0x00), (1, 'y', 'changed', NULL),"
                        " (2, 'x', 'it''s \\\\ new', 0xFF01)");
    Sandbox::get().exec("INSERT INTO " + tgt + ".k VALUES (1, 'x', 'same', 0x00), (1, 'y', 'old', 0x01),"
                        " (3, 'z', 'gone', NULL)");

    const std::vector<std::string> args{"sync", "data", "--source", source.name() + ".k", "--target",
                                        target.name() + ".k"};
    auto run = ombrix(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "DELETE FROM " + tgt + ".`k` WHERE `a`=3 AND `b`='z';\n"
                       "UPDATE " + tgt + ".`k` SET `v`='changed', `bin`=NULL WHERE `a`=1 AND `b`='y';\n"
                       "INSERT INTO " + tgt + ".`k`(`a`, `b`, `v`, `bin`) VALUES(2, 'x', _utf8mb4 X'69742773205C206E6577', X'FF01');\n");
    auto with_apply = args;
    with_apply.push_back("--apply");
    run = ombrix(with_apply);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto sums = checksums({src + ".k", tgt + ".k"});
    ASSERT_EQ(sums.size(), 2u);
    EXPECT_EQ(sums[0], sums[1]);
    EXPECT_EQ(ombrix(args).out, "");

    // Keys of bytes: BIT, and binary keys that differ only after a NUL byte, are rows of their own.
    for (const std::string type : {"BIT(32)", "VARBINARY(4)"}) {
        SCOPED_TRACE(type);
        for (const auto& schema : {src, tgt})
            Sandbox::get().exec("DROP TABLE IF EXISTS " + schema + ".b; CREATE TABLE " + schema + ".b (k " + type +
                                " PRIMARY KEY, v INT)");
        Sandbox::get().exec("INSERT INTO " + src + ".b VALUES (0, 1), (1, 2), (0x866E4D82, 3), (0x00000102, 4)");
        Sandbox::get().exec("INSERT INTO " + tgt + ".b VALUES (1, 5), (0x00000103, 6)");
        const std::vector<std::string> bits{"sync", "data", "--source", source.name() + ".b", "--target",
                                            target.name() + ".b", "--apply"};
        run = ombrix(bits);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(checksums({src + ".b", tgt + ".b"})[0], checksums({src + ".b", tgt + ".b"})[1]);
        EXPECT_EQ(ombrix({"sync", "data", "--source", source.name() + ".b", "--target", target.name() + ".b"}).out, "");
    }

    // Unique values exchanged in a cycle between rows, which no order of UPDATEs can write: the rows
    // are replaced, and a child whose foreign key cascades on deletion keeps its rows. A column the
    // server sets when its row is updated keeps the source's value.
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("CREATE TABLE " + schema + ".pos (id INT PRIMARY KEY, u INT NOT NULL, ts TIMESTAMP NOT NULL "
                            "DEFAULT '2020-01-01 00:00:00' ON UPDATE CURRENT_TIMESTAMP, UNIQUE KEY (u))");
    Sandbox::get().exec("INSERT INTO " + src + ".pos (id, u) VALUES (1, 2), (2, 3), (3, 1), (4, 4)");
    Sandbox::get().exec("INSERT INTO " + tgt + ".pos (id, u) VALUES (1, 1), (2, 2), (3, 3), (4, 5); CREATE TABLE " + tgt +
                        ".pos_child (id INT PRIMARY KEY, p INT, FOREIGN KEY (p) REFERENCES " + tgt +
                        ".pos (id) ON DELETE CASCADE); INSERT INTO " + tgt + ".pos_child VALUES (1, 1), (2, 2), (3, 3)");
    run = ombrix({"sync", "data", "--source", source.name() + ".pos", "--target", target.name() + ".pos", "--apply"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "ombrix: " + tgt + ".`pos`: 0 inserted, 4 updated, 0 deleted\n");
    EXPECT_EQ(checksums({src + ".pos", tgt + ".pos"})[0], checksums({src + ".pos", tgt + ".pos"})[1]);
    EXPECT_EQ(ombrix({"query", "--format", "csv", "--no-header", "SELECT COUNT(*) FROM " + tgt + ".pos_child"}).out, "3\n");

    // Columns of another scale or fraction on the target: the source's values compare as the target
    // stores them, so that what was written once is found equal the next time.
    Sandbox::get().exec("CREATE TABLE " + src + ".scale (id INT PRIMARY KEY, d DECIMAL(10,2), w DATETIME(6), "
                        "ts TIMESTAMP(6) NULL, e DECIMAL(12,4)); CREATE TABLE " + tgt +
                        ".scale (id INT PRIMARY KEY, d DECIMAL(10,3), w DATETIME(3), ts TIMESTAMP NULL, e DECIMAL(12,2))");
    Sandbox::get().exec("INSERT INTO " + src + ".scale VALUES (1, 1.50, '2024-01-01 10:00:00.123456', "
                        "'2024-01-01 10:00:00.5', 1.2345), (2, 2.00, '2024-01-01', NULL, NULL), (3, 3, '2024-01-01', NULL, 7.005)");
    Sandbox::get().exec("INSERT INTO " + tgt + ".scale VALUES (1, 1.500, '2024-01-01 10:00:00.123', "
                        "'2024-01-01 10:00:00', 1.23), (2, 2.001, '2024-01-01', NULL, NULL)");
    run = ombrix({"sync", "data", "--source", source.name() + ".scale", "--target", target.name() + ".scale", "--apply"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "ombrix: " + tgt + ".`scale`: 1 inserted, 1 updated, 0 deleted\n");
    EXPECT_EQ(ombrix({"sync", "data", "--source", source.name() + ".scale", "--target", target.name() + ".scale"}).out, "");
    EXPECT_EQ(ombrix({"query", "--format", "csv", "--no-header", "SELECT d, e FROM " + tgt + ".scale ORDER BY id"}).out,
              "1.500,1.23\n2.000,\n3.000,7.01\n");

    run = ombrix({"sync", "data", "--source", source.name() + ".nokey", "--target", target.name() + ".nokey"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ombrix: table " + tgt + ".`nokey` has neither a primary key nor a unique key of NOT NULL "
                       "columns: its rows cannot be matched (0 row(s) only in the source, 0 only in the target)\n");
}

// Every kind of key, and rows that differ by a trailing blank, a NUL byte, a DECIMAL digit, a
// fractional second or a FLOAT's last bits: after --apply the tables hold the same bytes, and a
// second run finds nothing. Keys equal under their collation are one row.
TEST_F(SynchronizerCli, DataSyncOfEveryKeyTypeLeavesEqualTables) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    struct Case {
        std::string key;                // the key columns' declaration
        std::string primary;            // the key's columns
        std::vector<std::string> keys;  // eight key values (one expression per key column each)
        std::string first_in_target;    // the first key as the target holds it, when it differs
    };
    const std::vector<Case> cases = {
        {"k INT", "k", {"1", "2", "3", "4", "5", "6", "7", "-8"}, ""},
        {"k BIT(32)", "k", {"0", "1", "0x866E4D82", "0x00000102", "5", "6", "0xFFFFFFFF", "8"}, ""},
        {"k VARBINARY(4)", "k", {"0x00", "0x0000", "0x000001", "0x01", "0x0100", "'a'", "'a '", "0xFF"}, ""},
        {"k DECIMAL(10,3)", "k", {"1", "1.001", "-2.5", "3", "0.001", "5", "6", "7"}, ""},
        {"k DATETIME(6)", "k",
         {"'2024-01-01 00:00:00.000001'", "'2024-01-01 00:00:00.000002'", "'2024-01-01'", "'1000-01-01'",
          "'9999-12-31 23:59:59.999999'", "'2024-02-29 12:00:00.5'", "'2024-01-01 00:00:01'", "'2000-01-01'"},
         ""},
        {"k ENUM('x','y','z','w','q','r','s','t')", "k", {"'x'", "'y'", "'z'", "'w'", "'q'", "'r'", "'s'", "'t'"}, ""},
        {"k VARCHAR(10) COLLATE utf8mb4_unicode_ci", "k",
         {"'a'", "'b'", "'é'", "'ß'", "'c '", "'d'", "'日本'", "'😀'"}, "'A'"},
        {"k VARCHAR(10) COLLATE utf8mb4_nopad_bin", "k",
         {"'a'", "'A'", "'a '", "'é'", "'e'", "'😀'", "'😁'", "''"}, ""},
        {"k1 INT, k2 VARCHAR(5) COLLATE utf8mb4_general_ci", "k1, k2",
         {"1, 'a'", "1, 'b'", "2, 'a'", "0, ''", "-1, 'z'", "3, 'é'", "3, 'f'", "4, 'x'"}, "1, 'A'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        for (const auto& schema : {src, tgt})
            Sandbox::get().exec("DROP TABLE IF EXISTS " + schema + ".t; CREATE TABLE " + schema + ".t (" + c.key +
                                ", v VARCHAR(10), d DECIMAL(10,3), w DATETIME(6), b VARBINARY(8), f FLOAT, PRIMARY KEY (" +
                                c.primary + "))");
        const auto row = [&](const std::string& key, const std::string& rest) { return "(" + key + ", " + rest + ")"; };
        const std::string same = "'x', 1.5, '2024-01-01 10:00:00.25', 0x6100, 1.0000001";
        // Rows 2 to 6 differ in one column each, row 7 only in the source, row 8 only in the target.
        Sandbox::get().exec(
            "INSERT INTO " + src + ".t VALUES " + row(c.keys[0], same) + ", " + row(c.keys[1], same) + ", " +
            row(c.keys[2], same) + ", " + row(c.keys[3], same) + ", " + row(c.keys[4], same) + ", " +
            row(c.keys[5], same) + ", " + row(c.keys[6], "NULL, NULL, NULL, NULL, NULL"));
        Sandbox::get().exec(
            "INSERT INTO " + tgt + ".t VALUES " + row(c.first_in_target.empty() ? c.keys[0] : c.first_in_target, same) +
            ", " + row(c.keys[1], "'x ', 1.5, '2024-01-01 10:00:00.25', 0x6100, 1.0000001") + ", " +
            row(c.keys[2], "'x', 1.5, '2024-01-01 10:00:00.25', 0x61, 1.0000001") + ", " +
            row(c.keys[3], "'x', 1.501, '2024-01-01 10:00:00.25', 0x6100, 1.0000001") + ", " +
            row(c.keys[4], "'x', 1.5, '2024-01-01 10:00:00.250001', 0x6100, 1.0000001") + ", " +
            row(c.keys[5], "'x', 1.5, '2024-01-01 10:00:00.25', 0x6100, 1.0000002") + ", " +
            row(c.keys[7], same));
        const std::vector<std::string> args{"sync", "data", "--source", source.name() + ".t", "--target",
                                            target.name() + ".t", "--apply"};
        auto run = ombrix(args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const std::string updated = c.first_in_target.empty() ? "5" : "6";
        EXPECT_EQ(run.err, "ombrix: " + tgt + ".`t`: 1 inserted, " + updated + " updated, 1 deleted\n") << run.out;
        const auto sums = checksums({src + ".t", tgt + ".t"});
        ASSERT_EQ(sums.size(), 2u);
        EXPECT_EQ(sums[0], sums[1]) << run.out;
        run = ombrix({"sync", "data", "--source", source.name() + ".t", "--target", target.name() + ".t"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "");
    }

    // Keys that the two sides compare otherwise are refused before anything is written.
    Sandbox::get().exec("DROP TABLE IF EXISTS " + src + ".t; CREATE TABLE " + src +
                        ".t (k VARCHAR(10) COLLATE utf8mb4_bin PRIMARY KEY); INSERT INTO " + src + ".t VALUES ('a')");
    Sandbox::get().exec("DROP TABLE IF EXISTS " + tgt + ".t; CREATE TABLE " + tgt +
                        ".t (k VARCHAR(10) COLLATE utf8mb4_general_ci PRIMARY KEY)");
    auto run = ombrix({"sync", "data", "--source", source.name() + ".t", "--target", target.name() + ".t", "--apply"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("key column `k` is varchar(10) COLLATE utf8mb4_bin in " + src +
                           ".`t` but varchar(10) COLLATE utf8mb4_general_ci in " + tgt + ".`t`: rows cannot be matched"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(checksums({tgt + ".t"})[0], "0");
}

// Random changes (seeded) over several chunks: rows deleted, inserted, and changed in one column at
// a time, by a trailing blank, a NUL byte, a DECIMAL digit, a fractional second, a key's case.
TEST_F(SynchronizerCli, DataSyncUndoesRandomChanges) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("CREATE TABLE " + schema +
                            ".r (a INT, b VARCHAR(8) COLLATE utf8mb4_unicode_ci, v VARCHAR(20), d DECIMAL(12,4),"
                            " w DATETIME(6), x VARBINARY(8), PRIMARY KEY (a, b))");
    Sandbox::get().exec("INSERT INTO " + src + ".r SELECT seq DIV 3, ELT(seq % 3 + 1, 'a', 'b', 'é'), CONCAT('v', seq),"
                        " seq / 7, '2024-01-01' + INTERVAL seq * 1001 MICROSECOND, UNHEX(HEX(seq)) FROM " + src +
                        ".seq_1_to_12000");
    for (const int seed : {1, 2, 3}) {
        SCOPED_TRACE(seed);
        const std::string r = tgt + ".r";
        const std::string pick = "RAND(" + std::to_string(seed) + ") < 0.01";
        Sandbox::get().exec("DELETE FROM " + r + "; INSERT INTO " + r + " SELECT * FROM " + src + ".r;"
                            "DELETE FROM " + r + " WHERE " + pick + ";"
                            "UPDATE " + r + " SET v = CONCAT(v, ' ') WHERE " + pick + ";"
                            "UPDATE " + r + " SET x = CONCAT(x, 0x00) WHERE " + pick + ";"
                            "UPDATE " + r + " SET d = d + 0.0001 WHERE " + pick + ";"
                            "UPDATE " + r + " SET w = w + INTERVAL 1 MICROSECOND WHERE " + pick + ";"
                            "UPDATE IGNORE " + r + " SET b = UPPER(b) WHERE " + pick + ";"
                            "INSERT INTO " + r + " SELECT a + 100000, b, v, d, w, x FROM " + r + " WHERE " + pick);
        auto run = ombrix({"sync", "data", "--source", source.name() + ".r", "--target", target.name() + ".r", "--apply"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find(": 0 inserted"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(", 0 updated"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(", 0 deleted"), std::string::npos) << run.err;
        const auto sums = checksums({src + ".r", tgt + ".r"});
        ASSERT_EQ(sums.size(), 2u);
        EXPECT_EQ(sums[0], sums[1]) << run.err;
        run = ombrix({"sync", "data", "--source", source.name() + ".r", "--target", target.name() + ".r"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "");
    }

    // An integer key, sparse and then dense: a chunk whose end is reckoned from the sparse keys'
    // density runs over the 100,000 dense ones at the top of the range, where the copy differs, and
    // is then cut into chunks again.
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("CREATE TABLE " + schema + ".gap (k BIGINT UNSIGNED PRIMARY KEY, v INT)");
    Sandbox::get().exec("INSERT INTO " + src + ".gap SELECT seq * 1000000000000000, seq FROM " + src +
                        ".seq_0_to_999; INSERT INTO " + src + ".gap SELECT 18446744073709551615 - seq, seq FROM " +
                        src + ".seq_0_to_99999");
    Sandbox::get().exec("INSERT INTO " + tgt + ".gap SELECT * FROM " + src + ".gap; UPDATE " + tgt +
                        ".gap SET v = v + 1 WHERE k % 97 = 0 AND k > 18446744073709550000; DELETE FROM " + tgt +
                        ".gap WHERE k % 149 = 0 AND k > 18446744073709550000");
    {
        auto run = ombrix({"sync", "data", "--source", source.name() + ".gap", "--target", target.name() + ".gap", "--apply"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "ombrix: " + tgt + ".`gap`: 11 inserted, 17 updated, 0 deleted\n");
        EXPECT_EQ(checksums({src + ".gap", tgt + ".gap"})[0], checksums({src + ".gap", tgt + ".gap"})[1]);
        EXPECT_EQ(ombrix({"sync", "data", "--source", source.name() + ".gap", "--target", target.name() + ".gap"}).out, "");
    }

    // Rows of 120 kB: a chunk's differences, 36 MB, go in several batches, and a unique value moves
    // from a row one batch deletes to a row a later one inserts.
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("CREATE TABLE " + schema +
                            ".wide (id INT PRIMARY KEY, u INT NOT NULL, doc MEDIUMTEXT, UNIQUE KEY (u))");
    Sandbox::get().exec("INSERT INTO " + src + ".wide SELECT seq, seq, REPEAT(MD5(seq), 3840) FROM " + src +
                        ".seq_1_to_300");
    Sandbox::get().exec("INSERT INTO " + tgt + ".wide SELECT id, u, CONCAT(doc, '+') FROM " + src +
                        ".wide WHERE id <= 280; UPDATE " + tgt + ".wide SET u = 1000 WHERE id = 1;"
                        "INSERT INTO " + tgt + ".wide VALUES (400, 300, 'gone')");
    auto run = ombrix({"sync", "data", "--source", source.name() + ".wide", "--target", target.name() + ".wide", "--apply"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "ombrix: " + tgt + ".`wide`: 20 inserted, 280 updated, 1 deleted\n");
    const auto sums = checksums({src + ".wide", tgt + ".wide"});
    ASSERT_EQ(sums.size(), 2u);
    EXPECT_EQ(sums[0], sums[1]);
    EXPECT_EQ(ombrix({"sync", "data", "--source", source.name() + ".wide", "--target", target.name() + ".wide"}).out, "");
}

// A whole schema: every table the two have in common, in chunks (a big table whose differences lie
// far apart), a unique value that moves from a row a later chunk deletes, a versioned table, a
// table without a key counted and failed, one exit code for all.
TEST_F(SynchronizerCli, DataSyncOfASchemaTakesEveryCommonTable) {
    ScratchSchema source("sync_src");
    ScratchSchema target("sync_tgt");
    const std::string src = "`" + source.name() + "`";
    const std::string tgt = "`" + target.name() + "`";
    for (const auto& schema : {src, tgt})
        Sandbox::get().exec("USE " + schema +
                            "; CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20), n BIGINT);"
                            "CREATE TABLE uniq (id INT PRIMARY KEY, u VARCHAR(10) NOT NULL, UNIQUE KEY (u));"
                            "CREATE TABLE nokey (a INT, b TEXT);"
                            "CREATE TABLE hist (id INT PRIMARY KEY, x INT, s TIMESTAMP(6) GENERATED ALWAYS AS ROW START,"
                            " e TIMESTAMP(6) GENERATED ALWAYS AS ROW END, PERIOD FOR SYSTEM_TIME (s, e)) WITH SYSTEM VERSIONING;"
                            "CREATE TABLE mixed (id INT PRIMARY KEY, l VARCHAR(10) CHARACTER SET latin1,"
                            " c VARCHAR(10) CHARACTER SET cp1251, u TEXT CHARACTER SET utf8mb4, g GEOMETRY);"
                            "CREATE TABLE parent (id INT PRIMARY KEY);"
                            "CREATE TABLE child (id INT PRIMARY KEY, p INT, FOREIGN KEY (p) REFERENCES parent (id));");
    Sandbox::get().exec("USE " + src +
                        "; INSERT INTO big SELECT seq, CONCAT('row ', seq), seq * 7 FROM seq_1_to_30000;"
                        "INSERT INTO uniq SELECT seq, CONCAT('u', seq) FROM seq_2_to_3000; INSERT INTO uniq VALUES (1, 'moved');"
                        "INSERT INTO nokey VALUES (1, 'a'), (1, 'a'), (2, 'b'); INSERT INTO hist (id, x) VALUES (1, 1), (2, 2);"
                        "INSERT INTO parent VALUES (1), (2); INSERT INTO child VALUES (10, 2);"
                        "INSERT INTO mixed VALUES (1, 'é', 'ж', '😀', ST_GeomFromText('POLYGON((0 0,1 0,1 1,0 0))', 4326)),"
                        " (2, 'a|b', 'c', NULL, NULL);"
                        "CREATE TABLE only_src (a INT); CREATE SEQUENCE counter START WITH 500; CREATE SEQUENCE lone");
    Sandbox::get().exec("USE " + tgt +
                        "; INSERT INTO big SELECT * FROM " + src + ".big; UPDATE big SET n = n + 1 WHERE id IN (2, 17000, 29999);"
                        "DELETE FROM big WHERE id = 12345; INSERT INTO big VALUES (30001, 'extra', 0);"
                        "INSERT INTO uniq SELECT seq, CONCAT('u', seq) FROM seq_2_to_3000; INSERT INTO uniq VALUES (1, 'old'),"
                        " (5000, 'moved');"
                        "INSERT INTO nokey VALUES (1, 'a'), (3, 'c'), (3, 'c'), (3, 'c'); INSERT INTO hist (id, x) VALUES (2, 3);"
                        "CREATE TRIGGER keep BEFORE UPDATE ON uniq FOR EACH ROW SET NEW.u = NEW.u;"
                        "INSERT INTO mixed VALUES (1, 'e', 'ж', '😀', POINT(1, 2)), (2, 'a', 'b|c', 'N', NULL);"
                        "CREATE SEQUENCE counter");
    auto run = ombrix({"sync", "data", "--source", source.name(), "--target", target.name(), "--apply"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`big`: 1 inserted, 3 updated, 1 deleted\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`uniq`: 0 inserted, 1 updated, 1 deleted\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("rows cannot be matched (2 row(s) only in the source, 3 only in the target)\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("ombrix: " + src + ".`only_src` has no table in " + tgt + ": not synced"), std::string::npos)
        << run.err;
    // A versioned table's key is its own, without the end of the rows' period the server adds.
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`hist`: 1 inserted, 1 updated, 0 deleted\n"), std::string::npos) << run.err;
    // A child's rows come before their parent's: the schema's keys hold at the end.
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`child`: 1 inserted, 0 updated, 0 deleted\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ombrix: warning: " + tgt + ".`uniq` has triggers (`keep`)"), std::string::npos) << run.err;
    // Texts of three character sets in one row, and cells whose bytes would run into each other.
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`mixed`: 0 inserted, 2 updated, 0 deleted\n"), std::string::npos) << run.err;
    // A sequence takes the source's next value.
    EXPECT_NE(run.err.find("ombrix: " + tgt + ".`counter`: restarted at 500\n"), std::string::npos) << run.err;
    // So does a sequence on one side only.
    EXPECT_NE(run.err.find("ombrix: " + src + ".`lone` has no table in " + tgt + ": not synced"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("ombrix: 1 of 7 table(s) failed; 2 table(s) on one side only\n"), std::string::npos) << run.err;
    const auto sums = checksums({src + ".big", tgt + ".big", src + ".uniq", tgt + ".uniq", src + ".mixed", tgt + ".mixed"});
    ASSERT_EQ(sums.size(), 6u);
    EXPECT_EQ(sums[0], sums[1]);
    EXPECT_EQ(sums[2], sums[3]);
    EXPECT_EQ(sums[4], sums[5]);
    // The keyless table was left as it was.
    EXPECT_NE(checksums({src + ".nokey"})[0], checksums({tgt + ".nokey"})[0]);
    // A table on one side only fails the command on its own.
    Sandbox::get().exec("DROP TABLE " + src + ".nokey, " + tgt + ".nokey; DROP SEQUENCE " + src + ".lone");
    run = ombrix({"sync", "data", "--source", source.name(), "--target", target.name()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ombrix: 1 table(s) on one side only\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    Sandbox::get().exec("DROP TABLE " + src + ".only_src");
    run = ombrix({"sync", "data", "--source", source.name(), "--target", target.name()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
