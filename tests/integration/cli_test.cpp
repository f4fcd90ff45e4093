// The command-line client run as a user runs it, against the sandbox server.
#include <glib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <algorithm>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/second_server.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;


class CliTest : public ::testing::Test {
protected:
    /// Runs `ombrix` with a private profile file and log folder; no profile means the sandbox.
    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(home, args, input);
    }

    TempDir home;
};

TEST_F(CliTest, QueryPrintsGridsCountsAndServerErrors) {
    ScratchSchema schema("cli_query");
    const std::string table = "`" + schema.name() + "`.t";
    Sandbox::get().exec("CREATE TABLE " + table + " (id INT PRIMARY KEY, name VARCHAR(20) NULL)");

    auto run = ombrix({"query", "INSERT INTO " + table + " VALUES (1, 'one'), (22, NULL)"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Affected rows: 2\n");

    run = ombrix({"query", "SELECT id, name FROM " + table + " ORDER BY id"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "id  name\n1   one\n22  NULL\n");

    // Every statement runs and prints its result, in order, whether or not --batch is given; the
    // first that fails ends the run and is named.
    for (const bool batch : {false, true}) {
        std::vector<std::string> args{"query", "SELECT 1 AS a; SET @b = 2; SELECT @b AS b"};
        if (batch) args.insert(args.begin() + 1, "--batch");
        run = ombrix(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "a\n1\n\nAffected rows: 0\n\nb\n2\n") << "batch: " << batch;

        args.back() = "SELECT 1 AS a; SELECT nope FROM " + table + "; SELECT 3";
        run = ombrix(args);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.out, "a\n1\n") << "batch: " << batch;
        EXPECT_NE(run.err.find("statement 2 (line 1) failed: MariaDB error 1054: Unknown column 'nope'"),
                  std::string::npos)
            << run.err;
    }
}

TEST_F(CliTest, QueryRunsAScriptFileWithDelimiterSections) {
    ScratchSchema schema("cli_script");
    const std::string db = "`" + schema.name() + "`";
    const auto script = home.file("script.sql");
    Ombrix::Testing::write_text(script,
                                "USE " + db + ";\n"
                                "CREATE TABLE t (id INT PRIMARY KEY, note VARCHAR(20));\n"
                                "DELIMITER //\n"
                                "CREATE PROCEDURE fill(IN n INT)\n"
                                "BEGIN\n"
                                "  DECLARE i INT DEFAULT 0;\n"
                                "  WHILE i < n DO\n"
                                "    SET i = i + 1;\n"
                                "    INSERT INTO t VALUES (i, label_of(i));\n"
                                "  END WHILE;\n"
                                "END//\n"
                                "DELIMITER ;\n"
                                "CREATE FUNCTION label_of(i INT) RETURNS VARCHAR(10) DETERMINISTIC\n"
                                "IF i % 2 = 0 THEN RETURN 'even;'; ELSE RETURN 'odd'; END IF;\n"
                                "SELECT ROUTINE_NAME AS name FROM information_schema.ROUTINES\n"
                                "WHERE ROUTINE_SCHEMA = DATABASE() ORDER BY 1;\n");
    auto run = ombrix({"query", "-f", script});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Affected rows: 0\n\nAffected rows: 0\n\nAffected rows: 0\n\nAffected rows: 0\n\n"
              "name\nfill\nlabel_of\n");

    run = ombrix({"query", "CALL " + db + ".fill(3)"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = ombrix({"query", "SELECT id, note FROM " + db + ".t ORDER BY id"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "id  note\n1   odd\n2   even;\n3   odd\n");
}

TEST_F(CliTest, QueryStopsAScriptAtTheFailingStatementAndNamesIt) {
    ScratchSchema schema("cli_script_fail");
    const std::string db = "`" + schema.name() + "`";
    const auto script = home.file("failing.sql");
    Ombrix::Testing::write_text(script, "CREATE TABLE " + db + ".first (id INT);\n\n"
                                        "INSERT INTO " + db + ".missing\nVALUES (1);\n"
                                        "CREATE TABLE " + db + ".third (id INT);\n");
    auto run = ombrix({"query", "--file", script});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Affected rows: 0\n");
    EXPECT_EQ(run.err, "ombrix: statement 2 (line 3) failed: MariaDB error 1146: Table '" + schema.name() +
                           ".missing' doesn't exist\n");
    run = ombrix({"query", "SHOW TABLES FROM " + db});
    EXPECT_EQ(run.out, "Tables_in_" + schema.name() + "\nfirst\n") << "nothing runs after the failure";

    run = ombrix({"query", "--file", script, "SELECT 1"});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "ombrix: query: give the SQL text or --file FILE, not both\n");
}

TEST_F(CliTest, ExploreDescribeAndSaveReadTheSchema) {
    ScratchSchema schema("cli_schema");
    const auto& name = schema.name();
    Sandbox::get().exec("CREATE TABLE `" + name +
                        "`.parent (id INT UNSIGNED NOT NULL, code CHAR(4) NOT NULL, PRIMARY KEY (id), UNIQUE KEY "
                        "uq_code (code)) COMMENT 'parents'");
    Sandbox::get().exec("CREATE VIEW `" + name + "`.v AS SELECT id FROM `" + name + "`.parent");
    Sandbox::get().exec("CREATE PROCEDURE `" + name + "`.touch(IN a INT, OUT b INT) BEGIN SET b = a; END");

    auto run = ombrix({"explore", "--schema", name, "--kind", "table"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Name ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nparent "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\nv "), std::string::npos) << "views are not tables";

    run = ombrix({"describe", name + ".parent"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("code  CHAR(4)  NOT NULL"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("id  INT UNSIGNED  NOT NULL"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("primary key: id\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("uq_code  UNIQUE (code)"), std::string::npos) << run.out;

    run = ombrix({"describe", name + ".parent", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"comment\": \"parents\""), std::string::npos) << run.out;

    run = ombrix({"describe", name + ".touch"});
    ASSERT_EQ(run.status, 0) << run.err;
    // The parameters as they were written.
    EXPECT_EQ(run.out.rfind("procedure " + name + ".touch(IN a INT", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("OUT b INT"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SET b = a;"), std::string::npos) << run.out;

    run = ombrix({"describe", name + ".missing"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("missing"), std::string::npos) << run.err;

    const auto saved = home.file("schema.json");
    run = ombrix({"meta", "save", name, "-o", saved});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto text = Ombrix::Testing::read_text(saved);
    EXPECT_NE(text.find("\"parent\""), std::string::npos);
    EXPECT_NE(text.find("\"v\""), std::string::npos);

    run = ombrix({"meta", "diff", saved, saved});
    EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace

namespace {

TEST_F(CliTest, AProfileRunsQueriesAndLeavesNoTemporaryLogBehind) {
    const auto& sandbox = Sandbox::get();
    // A password that cannot be encrypted (here: no cipher the crypto library may use) is no
    // profile: not stored in clear marked protected, not stored at all.
    const std::string crypto_conf = home.file("openssl.cnf");
    Ombrix::Testing::write_text(crypto_conf, "openssl_conf = init\n[init]\nalg_section = evp\n[evp]\n"
                                             "default_properties = ombrix_unavailable=yes\n");
    g_setenv("OPENSSL_CONF", crypto_conf.c_str(), TRUE);
    auto run = ombrix({"profile", "add", "mine", "--host", sandbox.host, "--user", sandbox.user, "--password-stdin",
                       "--protect"},
                      sandbox.password + "\n");
    g_unsetenv("OPENSSL_CONF");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("could not be encrypted"), std::string::npos) << run.err;
    EXPECT_EQ(ombrix({"profile", "list"}).out, "");
    EXPECT_EQ(Ombrix::Testing::read_text(home.file("profiles.json")).find(sandbox.password), std::string::npos);

    // The password from standard input; one on the command line works but is warned about.
    run = ombrix({"profile", "add", "mine", "--host", sandbox.host, "--port", std::to_string(sandbox.port),
                       "--user", sandbox.user, "--password-stdin", "--protect"},
                      sandbox.password + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Protected: the file holds the password encrypted for this user on this machine.
    EXPECT_EQ(Ombrix::Testing::read_text(home.file("profiles.json")).find(sandbox.password), std::string::npos);
    run = ombrix({"profile", "add", "other", "--host", "h", "--user", "u", "--password", "visible"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("visible to other users"), std::string::npos) << run.err;
    // The file is the owner's alone, and show tells only that a password is set.
    struct stat info{};
    ASSERT_EQ(::stat(home.file("profiles.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    run = ombrix({"profile", "show", "mine"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"password\": \"(set)\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(sandbox.password), std::string::npos) << run.out;
    const auto at = run.out.find("\"uuid\": \"");
    ASSERT_NE(at, std::string::npos) << run.out;
    const std::string uuid = run.out.substr(at + 9, 36);

    run = ombrix({"--verbose", "query", "--profile", "mine", "SELECT 'through a profile' AS how"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "how\nthrough a profile\n");
    EXPECT_NE(run.err.find("SQL: SELECT 'through a profile' AS how"), std::string::npos) << run.err;
    for (const auto& entry : std::filesystem::directory_iterator(g_get_tmp_dir()))
        EXPECT_NE(entry.path().filename().string().rfind(uuid, 0), 0u) << "left behind: " << entry.path();
}

TEST_F(CliTest, DemoToursTheSandbox) {
    auto run = ombrix({"demo"});
    Sandbox::get().exec("DROP DATABASE IF EXISTS ombrix_demo");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Profile \"sandbox\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Ada   2       269.99  323.99\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("FOREIGN KEY fk_orders_customer (customer_id) REFERENCES ombrix_demo.customers (id)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  customers.city: insert\n  customers.email: update\n"), std::string::npos) << run.out;
}

TEST_F(CliTest, DdlRebuildsASchemaAndDiffTellsWhatDiffers) {
    ScratchSchema a("cli_ddl");
    ScratchSchema b("cli_ddl_copy");
    const std::string db = "`" + a.name() + "`";
    Sandbox::get().exec("USE " + db +
                        ";CREATE TABLE p (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL DEFAULT 'x');"
                        "CREATE TABLE t (id INT PRIMARY KEY, p_id INT, note TEXT, KEY ix_note (note(8)),"
                        " CONSTRAINT fk_p FOREIGN KEY (p_id) REFERENCES p (id));"
                        "CREATE VIEW v AS SELECT t.id, p.name FROM t JOIN p ON p.id = t.p_id;"
                        "CREATE PROCEDURE pr(IN n INT) BEGIN DELETE FROM t WHERE id = n; SELECT n; END;"
                        "CREATE TRIGGER tr BEFORE INSERT ON t FOR EACH ROW IF NEW.note IS NULL THEN SET NEW.note = "
                        "'-'; END IF;"
                        "CREATE EVENT ev ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DO DELETE FROM t");

    // The script of one schema, written for another, runs and gives the same structure.
    auto run = ombrix({"ddl", a.name(), "--as", b.name()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find(a.name()), std::string::npos) << run.out;
    const std::string script = home.file("copy.sql");
    Ombrix::Testing::write_text(script, run.out);
    run = ombrix({"query", "-f", script});
    ASSERT_EQ(run.status, 0) << run.err;
    run = ombrix({"diff", a.name(), b.name()});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");

    // A column added between others is that one column; the ones behind it moved, nothing more.
    Sandbox::get().exec("ALTER TABLE `" + b.name() + "`.t ADD COLUMN added INT NULL AFTER id");
    run = ombrix({"diff", a.name(), b.name()});
    EXPECT_EQ(run.status, 1) << run.err;
    // Between the session settings --apply runs it with.
    EXPECT_NE(run.out.find(";\nALTER TABLE " + db + ".`t`\n    ADD COLUMN `added` INT NULL DEFAULT NULL AFTER `id`;\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.starts_with("SET @OLD_CHARACTER_SET_CLIENT = ")) << run.out;
    EXPECT_TRUE(run.out.ends_with("SET SQL_MODE = @OLD_SQL_MODE;\nSET CHARACTER_SET_CLIENT = @OLD_CHARACTER_SET_CLIENT, "
                                  "CHARACTER_SET_RESULTS = @OLD_CHARACTER_SET_RESULTS, COLLATION_CONNECTION = "
                                  "@OLD_COLLATION_CONNECTION;\n"))
        << run.out;
    // The other way round it is a drop: flagged, and refused by --apply without --allow-drop.
    run = ombrix({"diff", b.name(), a.name(), "--apply"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("destructive: the script drops column `added` of `" + b.name() + "`.`t`"),
              std::string::npos)
        << run.err;
    run = ombrix({"diff", a.name(), b.name(), "--apply"});
    EXPECT_EQ(run.status, 1) << run.err;
    run = ombrix({"diff", a.name(), b.name()});
    EXPECT_EQ(run.status, 0) << run.out;

    // A stored model compares like the live schema it was read from.
    const std::string stored = home.file("b.json");
    ASSERT_EQ(ombrix({"meta", "save", b.name(), "-o", stored}).status, 0);
    run = ombrix({"diff", a.name(), stored});
    EXPECT_EQ(run.status, 0) << run.out << run.err;

    // Errors are errors: exit 2, one line.
    run = ombrix({"diff", a.name(), "no_such_schema_anywhere"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no schema named 'no_such_schema_anywhere'"), std::string::npos) << run.err;
    run = ombrix({"ddl", a.name() + ".nothing"});
    EXPECT_EQ(run.status, 1);
}

// The usual application account: rights on its own schema only, a profile without a database.
// It logs in, and the script it gets says which routine bodies it could not read.
TEST_F(CliTest, AnAccountWithRightsOnItsSchemaOnlyWorksAndHearsOfHiddenBodies) {
    const auto& sandbox = Sandbox::get();
    ScratchSchema own("cli_own");
    ScratchSchema copy("cli_own_copy");
    const std::string user = "ombrix_app_" + std::to_string(getpid());
    struct DropUser {
        std::string user;
        ~DropUser() { Sandbox::get().exec("DROP USER IF EXISTS '" + user + "'@'%'"); }
    } drop{user};
    sandbox.exec("CREATE USER '" + user + "'@'%' IDENTIFIED BY 'App-1';GRANT ALL PRIVILEGES ON `" + own.name() +
                 "`.* TO '" + user + "'@'%';GRANT ALL PRIVILEGES ON `" + copy.name() + "`.* TO '" + user +
                 "'@'%';USE `" + own.name() +
                 "`;CREATE TABLE t (a INT);CREATE PROCEDURE p() SELECT 'secret' AS s");
    ASSERT_FALSE(HasFatalFailure());
    auto run = ombrix({"profile", "add", "app", "--host", sandbox.host, "--port", std::to_string(sandbox.port),
                       "--user", user, "--password-stdin"},
                      "App-1\n");
    ASSERT_EQ(run.status, 0) << run.err;
    run = ombrix({"query", "--profile", "app", "--format", "csv", "--no-header", "SELECT DATABASE() IS NULL"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1\n");
    run = ombrix({"ddl", "--profile", "app", own.name()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CREATE TABLE IF NOT EXISTS `" + own.name() + "`.`t`"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("secret"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("ombrix: warning: the body of procedure `" + own.name() +
                           "`.`p` is hidden from this account"),
              std::string::npos)
        << run.err;
    // Its definer reads it whole, and hears nothing.
    run = ombrix({"ddl", own.name() + ".p"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("SELECT 'secret' AS s"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");

    // A copy by the account creates no empty routine: it names it and writes nothing, or, going
    // on after failures, copies the rest and fails; a structure sync leaves it out and fails.
    const std::string hidden = "warning: the body of procedure `" + own.name() + "`.`p` is hidden";
    const auto objects = [&] {
        return ombrix({"query", "--format", "tsv", "--no-header",
                       "SELECT (SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + copy.name() +
                           "'), (SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = '" +
                           copy.name() + "')"})
            .out;
    };
    run = ombrix({"transfer", "--source", "app:" + own.name(), "--target", "app:" + copy.name()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(hidden), std::string::npos) << run.err;
    EXPECT_EQ(objects(), "0\t0\n");
    run = ombrix({"transfer", "--source", "app:" + own.name(), "--target", "app:" + copy.name(), "--continue"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(hidden), std::string::npos) << run.err;
    EXPECT_EQ(objects(), "1\t0\n");
    run = ombrix({"sync", "structure", "--source", "app:" + own.name(), "--target", "app:" + copy.name(), "--apply"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(hidden), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("procedure `" + own.name() + "`.`p` is left out of the scripts"), std::string::npos)
        << run.err;
    EXPECT_EQ(objects(), "1\t0\n");
}

TEST_F(CliTest, SettingsShowsDefaultsAndSetsTypedValues) {
    // No server involved: the file sits beside the profile file, and is not written by `show`.
    const std::string file = home.file("settings.json");
    auto run = ombrix({"settings", "show", "datagrid"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\n  \"submit-mode\": \"live\",\n  \"records-limit\": 1000,\n", 0), 0u) << run.out;
    EXPECT_FALSE(g_file_test(file.c_str(), G_FILE_TEST_EXISTS));

    run = ombrix({"settings", "set", "general.window-left", "-5"});
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    run = ombrix({"settings", "show"});
    EXPECT_NE(run.out.find("\n    \"window-left\": -5,\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"proxy-port\": 8080"), std::string::npos) << run.out;

    run = ombrix({"settings", "set", "general.window-left", "abc"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ombrix: general.window-left: 'abc' is not an integer\n");
    const std::pair<const char*, const char*> unknown[] = {{"general.no-such-thing", "no property 'no-such-thing'"},
                                                           {"nosection.x", "no settings section 'nosection'"},
                                                           {"general", "expected SECTION.PROPERTY"}};
    for (const auto& [name, error] : unknown) {
        run = ombrix({"settings", "set", name, "1"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
    }
    run = ombrix({"settings", "show", "nosection"});
    EXPECT_NE(run.status, 0);

    const std::string other = home.file("other.json");
    run = ombrix({"settings", "--settings", other, "set", "editor.style-scheme", "Kate"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Ombrix::Testing::read_text(other).find("\"style-scheme\": \"Kate\""), std::string::npos);
    EXPECT_NE(Ombrix::Testing::read_text(file).find("\"style-scheme\": \"Adwaita\""), std::string::npos);
}

}  // namespace

TEST_F(CliTest, TimeoutsEndWaitsForASilentOrSlowServer) {
    // A port that takes connections (the kernel completes them) but never greets.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    auto run = ombrix({"profile", "add", "silent", "--host", "127.0.0.1", "--port", port, "--user", "u",
                       "--password-stdin"},
                      "p\n");
    ASSERT_EQ(run.status, 0) << run.err;

    const auto timed = [&](const std::vector<std::string>& args) {
        const auto start = std::chrono::steady_clock::now();
        auto result = ombrix(args);
        return std::pair(std::move(result), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    };
    auto [silent, waited] = timed({"--connect-timeout", "2", "query", "--profile", "silent", "SELECT 1"});
    ::close(listener);
    EXPECT_NE(silent.status, 0);
    EXPECT_NE(silent.err, "");
    EXPECT_LT(waited, 15.0) << silent.err;

    // A statement that outlasts --read-timeout ends with an error instead of waiting on.
    auto [slow, slept] = timed({"--read-timeout", "1", "query", "SELECT SLEEP(20)"});
    EXPECT_NE(slow.status, 0) << slow.out;
    EXPECT_LT(slept, 15.0) << slow.err;
    EXPECT_EQ(ombrix({"--connect-timeout", "0", "query", "SELECT 1"}).status != 0, true);
}

namespace {

/// The number of sessions (other than the asking one) whose running statement contains `marker`.
int running(const TempDir& home, const std::string& marker, const std::vector<std::string>& profile = {}) {
    std::vector<std::string> args{"query"};
    args.insert(args.end(), profile.begin(), profile.end());
    args.insert(args.end(), {"--format", "csv",
                             "SELECT COUNT(*) AS n FROM information_schema.PROCESSLIST WHERE INFO LIKE '%" + marker +
                                 "%' AND ID <> CONNECTION_ID()"});
    const auto run = Ombrix::Testing::run_cli(home, args);
    return run.status == 0 && run.out.size() > 2 ? std::stoi(run.out.substr(2)) : -1;
}

/// Polls `ready` every 50 ms for up to 20 s.
bool eventually(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

// Ctrl-C during a query, an export, an import and a transfer: the statement running on the server
// is cancelled (none of them waits for it), the client says what it completed and exits with 130;
// an export leaves no incomplete file, and every row an import reported is in the table.
TEST_F(CliTest, CtrlCCancelsTheRunningStatementAndExitsWith130) {
    ScratchSchema schema("cli_sigint");
    const std::string db = "`" + schema.name() + "`";
    // Rows that arrive slowly: a trigger sleeps a millisecond for each.
    Sandbox::get().exec("CREATE TABLE " + db + ".slow (id INT PRIMARY KEY, v INT)");
    Sandbox::get().exec("CREATE TRIGGER " + db + ".slowly BEFORE INSERT ON " + db +
                        ".slow FOR EACH ROW SET NEW.v = NEW.v + SLEEP(0.001)");
    Sandbox::get().exec("CREATE TABLE " + db + ".src (id INT PRIMARY KEY, v INT)");
    Sandbox::get().exec("INSERT INTO " + db + ".src SELECT seq, seq FROM " + db + ".seq_1_to_20000");
    ScratchSchema copy("cli_sigint_copy");
    Sandbox::get().exec("CREATE TABLE `" + copy.name() + "`.src (id INT PRIMARY KEY, v INT)");
    Sandbox::get().exec("CREATE TRIGGER `" + copy.name() + "`.slowly BEFORE INSERT ON `" + copy.name() +
                        "`.src FOR EACH ROW SET NEW.v = NEW.v + SLEEP(0.001)");
    std::string csv = "id,v\n";
    for (int i = 1; i <= 20000; ++i) csv += std::to_string(i) + "," + std::to_string(i) + "\n";
    Ombrix::Testing::write_text(home.file("rows.csv"), csv);
    const auto rows_in = [&](const std::string& table) {
        const auto run = ombrix({"query", "--format", "csv", "SELECT COUNT(*) AS n FROM " + table});
        return run.status == 0 && run.out.size() > 2 ? std::stoll(run.out.substr(2)) : -1LL;
    };
    g_setenv("OMBRIX_BULK_BYTES", "4000", TRUE);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<bool()> started;
        std::string said;
    };
    const std::string exported = home.file("out.csv");
    const std::vector<Case> cases{
        {"query",
         {"query", "SELECT 1 AS first; SELECT SLEEP(60) AS sigint_q; SELECT 2"},
         [&] { return running(home, "sigint_q") == 1; },
         "query: interrupted: 1 of 3 statement(s) completed"},
        {"export",
         {"export", "--sql", "SELECT a.seq AS sigint_e FROM seq_1_to_100000 a, seq_1_to_100000 b", "-o", exported},
         [&] { return Ombrix::Testing::read_text(exported).size() > 100000; },
         "export: interrupted after "},
        {"import",
         {"import", "--table", schema.name() + ".slow", "--file", home.file("rows.csv")},
         [&] { return running(home, "INTO TABLE `" + schema.name()) == 1; },
         "Query execution was interrupted"},
        {"transfer",
         {"transfer", "--source", schema.name(), "--target", copy.name(), "--tables", "src", "--data-only", "--batch",
          "500"},
         [&] { return running(home, copy.name()) >= 1; },
         "interrupted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ombrix::Testing::CliProcess client(home, c.args);
        ASSERT_TRUE(eventually(c.started));
        const auto pressed = std::chrono::steady_clock::now();
        client.signal(SIGINT);
        const auto run = client.wait(30);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
        EXPECT_EQ(run.status, 130) << run.err;
        EXPECT_LT(took, 15.0);
        EXPECT_NE(run.err.find("ombrix: interrupted: cancelling the running statement"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        if (std::string(c.name) == "query") {
            EXPECT_EQ(run.out, "first\n1\n");
        }
        if (std::string(c.name) == "export") {
            EXPECT_FALSE(std::filesystem::exists(exported));
        }
        if (std::string(c.name) == "import") {
            const auto reported = run.out.find("Imported rows: ");
            ASSERT_NE(reported, std::string::npos) << run.out;
            EXPECT_GE(rows_in(db + ".slow"), std::stoll(run.out.substr(reported + 15))) << run.out;
        }
        // Nothing of the command runs on after it: the cancelled statements have ended.
        EXPECT_TRUE(eventually([&] { return running(home, schema.name()) == 0 && running(home, "sigint_") == 0; }));
    }
    g_unsetenv("OMBRIX_BULK_BYTES");
}

// A second Ctrl-C ends the client at once, even while the cancelling waits for a server that no
// longer answers (paused with SIGSTOP).
TEST_F(CliTest, ASecondCtrlCQuitsAtOnceWhenTheServerNoLongerAnswers) {
    Ombrix::Testing::SecondServer server;
    ASSERT_TRUE(server.start());
    ASSERT_EQ(ombrix({"profile", "add", "other", "--host", "127.0.0.1", "--port", server.port(), "--user", "root",
                      "--password-stdin"},
                     server.password() + "\n")
                  .status,
              0);
    Ombrix::Testing::CliProcess client(home, {"--connect-timeout", "60", "query", "--profile", "other",
                                              "SELECT SLEEP(120) AS sigint_paused"});
    ASSERT_TRUE(eventually([&] { return running(home, "sigint_paused", {"--profile", "other"}) == 1; }));
    server.pause();
    client.signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto pressed = std::chrono::steady_clock::now();
    client.signal(SIGINT);
    const auto run = client.wait(10);
    server.resume();
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count(), 3.0);
    EXPECT_NE(run.err.find("ombrix: interrupted\n"), std::string::npos) << run.err;
}

namespace {

class OneObjectTest : public CliTest {};

// One-object commands ask the catalogue for that object alone: what the server opens and reads for
// them does not grow with the schema around it (it grew by one table definition, or by the rows of
// a whole-schema catalogue, per table of the schema).
TEST_F(OneObjectTest, OneTableCommandsCostTheSameWhateverTheSchemaHolds) {
    struct Cost {
        long long definitions = 0;  // Opened_table_definitions
        long long reads = 0;        // the Handler_read% counters summed
    };
    const auto counters = [&] {
        auto run = Ombrix::Testing::run_client(
            home, "SELECT (SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME = "
                  "'OPENED_TABLE_DEFINITIONS'), (SELECT SUM(VARIABLE_VALUE) FROM information_schema.GLOBAL_STATUS "
                  "WHERE VARIABLE_NAME LIKE 'HANDLER_READ%');");
        EXPECT_EQ(run.status, 0) << run.err;
        const auto tab = run.out.find('\t');
        return Cost{std::stoll(run.out.substr(0, tab)), std::stoll(run.out.substr(tab + 1))};
    };
    const auto csv = home.file("target.csv");
    Ombrix::Testing::write_text(csv, "id,pid,v\n1,1,one\n2,1,two\n");
    struct Command {
        std::string name;
        std::vector<std::string> args;  // SCHEMA stands for the schema's name
        std::string expected;           // in the output
    };
    const std::vector<Command> commands = {
        {"describe", {"describe", "SCHEMA.target"}, "CHECK ck_v"},
        {"ddl", {"ddl", "SCHEMA.target"}, "FOR EACH ROW"},
        // Objects that are not tables: found by their names too.
        {"describe function", {"describe", "SCHEMA.twice"}, "function "},
        {"ddl trigger", {"ddl", "SCHEMA.target_bi"}, "TRIGGER"},
        {"export", {"export", "--table", "SCHEMA.target", "--format", "csv"}, "id,pid,v"},
        {"import", {"import", "--table", "SCHEMA.target", "--format", "csv", "--file", csv, "--action", "merge"},
         "Imported rows: 2"},
        // The table against itself: nothing to print, the catalogue read for it alone.
        {"sync data", {"sync", "data", "--source", "SCHEMA.target", "--target", "SCHEMA.target"}, ""},
    };
    std::map<std::string, std::vector<Cost>> costs;  // per command, for 50 and 500 tables
    for (const int tables : {50, 500}) {
        ScratchSchema schema("one_object");
        const std::string db = "`" + schema.name() + "`";
        std::string script, flush;
        for (int i = 1; i <= tables; ++i) {
            const std::string table = db + ".t" + std::to_string(i);
            script += "CREATE TABLE " + table + " (id INT PRIMARY KEY, p INT, CHECK (p > 0), KEY (p)) ENGINE=" +
                      (i % 2 ? "MyISAM" : "InnoDB") + ";";
            flush += (flush.empty() ? "FLUSH TABLES " : ", ") + table;
        }
        script += "CREATE TABLE " + db + ".parent (id INT PRIMARY KEY) ENGINE=InnoDB;"
                  "INSERT INTO " + db + ".parent VALUES (1);"
                  "CREATE TABLE " + db + ".target (id INT PRIMARY KEY, pid INT, v VARCHAR(10), "
                  "CONSTRAINT ck_v CHECK (v <> ''), CHECK (pid > 0), UNIQUE KEY uq_v (v), "
                  "FOREIGN KEY (pid) REFERENCES " + db + ".parent (id)) ENGINE=InnoDB;"
                  "CREATE TRIGGER " + db + ".target_bi BEFORE INSERT ON " + db + ".target FOR EACH ROW "
                  "SET NEW.v = LOWER(NEW.v);"
                  "CREATE VIEW " + db + ".target_v AS SELECT id, v FROM " + db + ".target;"
                  "CREATE FUNCTION " + db + ".twice(x INT) RETURNS INT DETERMINISTIC RETURN x * 2;";
        Sandbox::get().exec(script);
        flush += ", " + db + ".parent, " + db + ".target";
        for (const auto& command : commands) {
            std::vector<std::string> args = command.args;
            for (auto& arg : args)
                if (arg.starts_with("SCHEMA.")) arg = schema.name() + arg.substr(6);
            // The least of five runs: the counters are the server's, and other sessions move them too.
            Cost least{1LL << 60, 1LL << 60};
            for (int run = 0; run < 5; ++run) {
                Sandbox::get().exec(flush);
                const Cost before = counters();
                auto done = ombrix(args);
                const Cost after = counters();
                ASSERT_EQ(done.status, 0) << command.name << ": " << done.err;
                EXPECT_NE(done.out.find(command.expected), std::string::npos) << command.name << ": " << done.out;
                least.definitions = std::min(least.definitions, after.definitions - before.definitions);
                least.reads = std::min(least.reads, after.reads - before.reads);
            }
            costs[command.name].push_back(least);
        }
    }
    // A cost per table of the schema would add 450 or more; the command's own is the same in both.
    for (const auto& [name, cost] : costs) {
        EXPECT_LT(cost[1].definitions, cost[0].definitions + 50)
            << name << ": " << cost[0].definitions << " then " << cost[1].definitions << " table definitions opened";
        EXPECT_LT(cost[1].reads, cost[0].reads + 150)
            << name << ": " << cost[0].reads << " then " << cost[1].reads << " handler reads";
    }
}

}  // namespace
