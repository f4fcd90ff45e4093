// Scripts of stored programs cut by split_script and run one statement at a time on the sandbox
// server; written back by join_script they run unchanged through the mariadb command-line client.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "solvane/Supports/Database/script.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Providers::Contracts::ValueError;
using Ombrix::Providers::Supports::MariaDBProvider;
using Ombrix::Solvane::Supports::Database::join_script;
using Ombrix::Solvane::Supports::Database::split_script;
using Ombrix::Testing::describe;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

using Rows = std::vector<std::vector<std::string>>;

// Stored programs mostly written without DELIMITER, with the nesting and the look-alikes (IF(),
// REPEAT(), IF EXISTS, CASE expressions, ';' in texts and comments) that cut them in the wrong place.
const char* const kScript = R"sql(
CREATE TABLE t (id INT PRIMARY KEY, note VARCHAR(20) NULL, total INT NOT NULL DEFAULT 0);
CREATE TABLE audit (id INT AUTO_INCREMENT PRIMARY KEY, what VARCHAR(40)); -- filled by triggers; and fill
CREATE TRIGGER t_bi BEFORE INSERT ON t FOR EACH ROW
IF NEW.note IS NULL THEN
  SET NEW.note = CASE WHEN NEW.id % 2 = 0 THEN 'even;' ELSE IF(NEW.id > 100, 'big', 'odd') END;
END IF;
CREATE DEFINER = CURRENT_USER TRIGGER t_bi2 BEFORE INSERT ON t FOR EACH ROW FOLLOWS t_bi
BEGIN
  DECLARE i INT DEFAULT 0;
  counting: LOOP
    SET i = i + 1;
    IF i >= 3 THEN LEAVE counting; END IF;
  END LOOP counting;
  SET NEW.total = NEW.total + i;
END;
CREATE TRIGGER t_ai AFTER INSERT ON t FOR EACH ROW INSERT INTO audit (what) VALUES (CONCAT('added ', NEW.id, ';'));
CREATE PROCEDURE fill(IN n INT)
COMMENT 'inserts n rows; then stops'
BEGIN
  DECLARE i INT DEFAULT 0;
  DECLARE EXIT HANDLER FOR SQLSTATE '42S02', 1146 IF (i > 0) THEN SET i = 0; END IF;
  WHILE i < n DO
    SET i = i + 1;
    CASE i WHEN 2 THEN INSERT INTO t (id, note) VALUES (i, REPEAT('x', 3));
      ELSE INSERT INTO t (id) VALUES (i);
    END CASE;
  END WHILE;
  REPEAT SET i = i - 1; UNTIL i <= 0 END REPEAT;
  FOR j IN 1..2 DO INSERT INTO audit (what) VALUES (CONCAT('pass ', j)); END FOR;
  IF EXISTS (SELECT 1 FROM t WHERE note = 'END;') THEN
    DELETE FROM t;
  END IF;
  DROP TEMPORARY TABLE IF EXISTS scratch;
END;
CREATE FUNCTION label_of(a INT) RETURNS VARCHAR(10) DETERMINISTIC
IF a > 1 THEN RETURN 'many;'; ELSE RETURN 'one'; END IF;
DELIMITER //
CREATE FUNCTION twice(a INT) RETURNS INT DETERMINISTIC RETURN IF(a IS NULL, 0, a * 2)//
CREATE EVENT tick ON SCHEDULE EVERY 1 DAY DISABLE
DO BEGIN DELETE FROM audit WHERE id < 0; INSERT INTO audit (what) VALUES ('tick'); END//
DELIMITER ;
)sql";

Rows rows(MariaDBProvider& provider, const std::string& sql) {
    Rows out;
    auto model = provider.execute_model(sql, false);
    EXPECT_TRUE(model.has_value()) << sql << ": " << (model ? "" : describe(model.error()));
    if (!model) return out;
    for (std::size_t r = 0; r < (*model)->get_n_items(); ++r) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < (*model)->get_columns()->size(); ++c)
            row.push_back((*model)->get_value_at(c, r)->to_string());
        out.push_back(std::move(row));
    }
    return out;
}

// Every stored program of `schema` with the body the server keeps of it.
Rows programs(MariaDBProvider& provider, const std::string& schema) {
    return rows(provider,
                "SELECT 'routine', ROUTINE_NAME, ROUTINE_DEFINITION FROM information_schema.ROUTINES "
                "WHERE ROUTINE_SCHEMA = '" + schema + "' "
                "UNION ALL SELECT 'trigger', TRIGGER_NAME, ACTION_STATEMENT FROM information_schema.TRIGGERS "
                "WHERE TRIGGER_SCHEMA = '" + schema + "' "
                "UNION ALL SELECT 'event', EVENT_NAME, EVENT_DEFINITION FROM information_schema.EVENTS "
                "WHERE EVENT_SCHEMA = '" + schema + "' ORDER BY 1, 2");
}

TEST(Script, StoredProgramsRunStatementByStatementAndThroughTheClient) {
    ScratchSchema ours("script_split");
    ScratchSchema theirs("script_client");
    auto provider = open_provider(ours.name());
    ASSERT_NE(provider, nullptr);

    const auto statements = split_script(kScript);
    ASSERT_EQ(statements.size(), 9u);
    std::vector<std::string> texts;
    for (const auto& statement : statements) {
        auto results = provider->execute_statements(statement.text, false);
        ASSERT_TRUE(results.has_value()) << "line " << statement.line << ": " << describe(results.error());
        // Two statements glued into one text would run as two and give two results.
        ASSERT_EQ(results->size(), 1u) << "line " << statement.line << ": " << statement.text;
        auto error = std::dynamic_pointer_cast<ValueError>(results->front());
        EXPECT_EQ(error, nullptr) << "line " << statement.line << ": " << (error ? error->get_message() : "");
        texts.push_back(statement.text);
    }

    const Rows names = {{"event", "tick"},       {"routine", "fill"}, {"routine", "label_of"},
                        {"routine", "twice"},    {"trigger", "t_ai"}, {"trigger", "t_bi"},
                        {"trigger", "t_bi2"}};
    const Rows kept = programs(*provider, ours.name());
    Rows kept_names;
    for (const auto& row : kept) kept_names.push_back({row[0], row[1]});
    EXPECT_EQ(kept_names, names);

    // The bodies arrived whole: the programs do all they were written to do.
    auto called = provider->execute_statements("CALL fill(4)", false);
    ASSERT_TRUE(called.has_value()) << describe(called.error());
    for (const auto& result : *called) EXPECT_EQ(std::dynamic_pointer_cast<ValueError>(result), nullptr);
    EXPECT_EQ(rows(*provider, "SELECT id, note, total FROM t ORDER BY id"),
              (Rows{{"1", "odd", "3"}, {"2", "xxx", "3"}, {"3", "odd", "3"}, {"4", "even;", "3"}}));
    EXPECT_EQ(rows(*provider, "SELECT COUNT(*), SUM(what LIKE 'added %;') FROM audit"), (Rows{{"6", "4"}}));
    EXPECT_EQ(rows(*provider, "SELECT label_of(2), label_of(1), twice(4)"), (Rows{{"many;", "one", "8"}}));

    // The same statements written by join_script, run by the command-line client, make the same programs.
    TempDir dir;
    const std::string file = dir.file("script.sql");
    Ombrix::Testing::write_text(file, join_script(texts));
    gchar* client = g_find_program_in_path("mariadb");
    ASSERT_NE(client, nullptr) << "the mariadb client is not installed";
    const auto& sandbox = Sandbox::get();
    std::vector<std::string> argv{client, "--no-defaults", "-h", sandbox.host, "-P", std::to_string(sandbox.port),
                                  "-u", sandbox.user, "-p" + sandbox.password, theirs.name(), "-e",
                                  "source " + file};
    g_free(client);
    std::vector<gchar*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint wait_status = 0;
    GError* error = nullptr;
    ASSERT_TRUE(g_spawn_sync(nullptr, raw.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
                             &wait_status, &error))
        << error->message;
    const std::string client_err = err ? err : "";
    g_free(out);
    g_free(err);
    EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << client_err;
    EXPECT_EQ(programs(*provider, theirs.name()), kept) << Ombrix::Testing::read_text(file);
}

}  // namespace
