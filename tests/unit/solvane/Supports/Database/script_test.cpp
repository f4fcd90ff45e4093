#include "solvane/Supports/Database/script.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ombrix::Solvane::Supports::Database::join_script;
using Ombrix::Solvane::Supports::Database::needs_delimiter;
using Ombrix::Solvane::Supports::Database::ScriptStatement;
using Ombrix::Solvane::Supports::Database::ScriptSplitter;
using Ombrix::Solvane::Supports::Database::split_script;

struct SplitCase {
    const char* what;
    std::string script;
    std::vector<ScriptStatement> statements;
    // A text that starts with the word DELIMITER cannot be written back: on a line of its own it is
    // the client's command. The server refuses such a text anyway.
    bool joins_back = true;
};

std::string describe(const std::vector<ScriptStatement>& statements) {
    std::string out;
    for (const auto& statement : statements) out += "[line " + std::to_string(statement.line) + "] " + statement.text + "\n";
    return out;
}

const std::vector<SplitCase>& split_cases() {
    static const std::vector<SplitCase> cases = {
        {"line numbers, blank and empty statements", "SELECT 1;\n\n  SELECT 2 ;;\n;\nSELECT\n3",
         {{"SELECT 1", 1}, {"SELECT 2", 3}, {"SELECT\n3", 5}}},

        {"quotes and backtick names hold delimiters, END and quotes",
         R"(SELECT 'a;b', 'it''s;', 'back\';slash', "d;""q", "e\";", `n;m`, `x``;y`, 'END' FROM t;SELECT 2)",
         {{R"(SELECT 'a;b', 'it''s;', 'back\';slash', "d;""q", "e\";", `n;m`, `x``;y`, 'END' FROM t)", 1},
          {"SELECT 2", 1}}},

        {"comments hold delimiters, but --; is no comment",
         "SELECT 1 -- a;b\n, 2 # c;d\n, 3 /* e;f\n */, 4;\nSELECT 5 --;\nSELECT 6 --\n;\n",
         {{"SELECT 1 -- a;b\n, 2 # c;d\n, 3 /* e;f\n */, 4", 1}, {"SELECT 5 --", 5}, {"SELECT 6 --", 6}}},

        {"comment-only statements go, versioned comments are SQL",
         "/*!40101 SET NAMES utf8mb4 */;\n/* nothing */;\nSELECT 1 /*!50000 , 2 */ FROM t;\n"
         "SELECT 3 /*!99999 ; */ AS a;\n-- the end\n",
         {{"/*!40101 SET NAMES utf8mb4 */", 1},
          {"SELECT 1 /*!50000 , 2 */ FROM t", 3},
          {"SELECT 3 /*!99999", 4},
          {"*/ AS a", 4}}},

        {"a comment after a delimiter belongs to no statement; a statement keeps its own",
         "CREATE TABLE a (id INT); -- made for b\n/* b needs a */ CREATE TABLE b (id INT /* key; */);"
         " /* same line */ SELECT 1",
         {{"CREATE TABLE a (id INT)", 1},
          {"/* b needs a */ CREATE TABLE b (id INT /* key; */)", 2},
          {"SELECT 1", 2}}},

        {"DELIMITER sections",
         "DELIMITER //\n"
         "CREATE PROCEDURE p()\nBEGIN\n  SELECT 1;\nEND//\n"
         "SELECT 2// SELECT 3//\n"
         "  delimiter ;\n"
         "SELECT\ndelimiter FROM t;\n"
         "-- a note\n"
         "DELIMITER ;;\n"
         "CREATE FUNCTION f() RETURNS INT RETURN 1;;\n"
         "DELIMITER $$\n"
         "SELECT a$$b$$\n"
         "DELIMITER ;\n"
         "SELECT 4",
         {{"CREATE PROCEDURE p()\nBEGIN\n  SELECT 1;\nEND", 2},
          {"SELECT 2", 6},
          {"SELECT 3", 6},
          {"SELECT\ndelimiter FROM t", 8},
          {"CREATE FUNCTION f() RETURNS INT RETURN 1", 12},
          {"SELECT a", 14},
          {"b", 14},
          {"SELECT 4", 16}}},

        {"a lone ';' under another delimiter is no statement", "DELIMITER //\n; //\nSELECT 1; //",
         {{"SELECT 1;", 3}}},

        {"DELIMITER counts only as the first word of a line",
         "SELECT 1; DELIMITER //\nSELECT 2;\n/* c */ delimiter //\nSELECT 3;",
         {{"SELECT 1", 1}, {"DELIMITER //\nSELECT 2", 1}, {"/* c */ delimiter //\nSELECT 3", 3}},
         false},

        {"CRLF line ends",
         "SELECT 1;\r\nDELIMITER //\r\nCREATE PROCEDURE p()\r\nBEGIN\r\n  SELECT 1;\r\nEND//\r\nDELIMITER ;\r\n"
         "SELECT 2 -- c;\r\n;\r\nSELECT 3",
         {{"SELECT 1", 1},
          {"CREATE PROCEDURE p()\r\nBEGIN\r\n  SELECT 1;\r\nEND", 3},
          {"SELECT 2 -- c;", 8},
          {"SELECT 3", 10}}},

        {"a trigger whose body is an IF statement",
         "CREATE TRIGGER trg BEFORE INSERT ON t FOR EACH ROW\n"
         "IF NEW.id IS NULL THEN\n"
         "  SET NEW.id = CASE WHEN NEW.note = 'END' THEN 1 ELSE IF(NEW.note IS NULL, 2, 3) END;\n"
         "ELSE\n"
         "  IF NEW.id < 0 THEN SET NEW.id = -NEW.id; END IF;\n"
         "END IF;\n"
         "SELECT 1",
         {{"CREATE TRIGGER trg BEFORE INSERT ON t FOR EACH ROW\n"
           "IF NEW.id IS NULL THEN\n"
           "  SET NEW.id = CASE WHEN NEW.note = 'END' THEN 1 ELSE IF(NEW.note IS NULL, 2, 3) END;\n"
           "ELSE\n"
           "  IF NEW.id < 0 THEN SET NEW.id = -NEW.id; END IF;\n"
           "END IF",
           1},
          {"SELECT 1", 7}}},

        {"a trigger after another, with a definer in quotes and qualified names that are keywords",
         "CREATE OR REPLACE DEFINER = 'u'@'h' TRIGGER t2 AFTER UPDATE ON t FOR EACH ROW FOLLOWS trg "
         "IF (NEW.a > 0) THEN INSERT INTO log VALUES (OLD.end, NEW.begin); SET @n = @n + 1; END IF;"
         "CREATE TRIGGER t3 BEFORE DELETE ON t FOR EACH ROW BEGIN SET @x = t.end; SET @y = 1; END;SELECT 2",
         {{"CREATE OR REPLACE DEFINER = 'u'@'h' TRIGGER t2 AFTER UPDATE ON t FOR EACH ROW FOLLOWS trg "
           "IF (NEW.a > 0) THEN INSERT INTO log VALUES (OLD.end, NEW.begin); SET @n = @n + 1; END IF",
           1},
          {"CREATE TRIGGER t3 BEFORE DELETE ON t FOR EACH ROW BEGIN SET @x = t.end; SET @y = 1; END", 1},
          {"SELECT 2", 1}}},

        {"a procedure with nested blocks of every kind",
         "CREATE DEFINER=`root`@`%` PROCEDURE p(IN n INT, OUT s TEXT)\n"
         "COMMENT 'sums; then stops'\n"
         "BEGIN\n"
         "  DECLARE i INT DEFAULT 0;\n"
         "  DECLARE c CURSOR FOR SELECT id FROM t FOR UPDATE;\n"
         "  DECLARE CONTINUE HANDLER FOR NOT FOUND SET i = -1;\n"
         "  DECLARE EXIT HANDLER FOR SQLSTATE VALUE '42S02', 1146, NOT FOUND IF (i > 0) THEN SET s = 'failed;'; END IF;\n"
         "  DO IF(i > 0, SLEEP(0), 0);\n"
         "  outer_loop: LOOP\n"
         "    SET i = i + 1;\n"
         "    CASE\n"
         "      WHEN i > n THEN LEAVE outer_loop;\n"
         "      WHEN i = 2 THEN BEGIN SELECT 'two;'; END;\n"
         "      WHEN i = 3 THEN FOR k IN 1..2 DO SET s = k; END FOR;\n"
         "      ELSE IF (i = 4) THEN SET s = REPEAT('x', i); END IF;\n"
         "    END CASE;\n"
         "  END LOOP outer_loop;\n"
         "  WHILE i > 0 DO\n"
         "    REPEAT SET i = i - 1; UNTIL i < 5 END REPEAT;\n"
         "  END WHILE;\n"
         "  numbers: FOR j IN 1..3 DO SET s = CONCAT(s, j); END FOR numbers;\n"
         "  DROP TEMPORARY TABLE IF EXISTS tmp;\n"
         "  IF EXISTS (SELECT CASE WHEN i THEN 1 END FROM t) THEN SELECT CASE WHEN i THEN 'a' ELSE 'b' END; END IF;\n"
         "END;\n"
         "CALL p(3, @s)",
         {{"CREATE DEFINER=`root`@`%` PROCEDURE p(IN n INT, OUT s TEXT)\n"
           "COMMENT 'sums; then stops'\n"
           "BEGIN\n"
           "  DECLARE i INT DEFAULT 0;\n"
           "  DECLARE c CURSOR FOR SELECT id FROM t FOR UPDATE;\n"
           "  DECLARE CONTINUE HANDLER FOR NOT FOUND SET i = -1;\n"
           "  DECLARE EXIT HANDLER FOR SQLSTATE VALUE '42S02', 1146, NOT FOUND IF (i > 0) THEN SET s = 'failed;'; END IF;\n"
           "  DO IF(i > 0, SLEEP(0), 0);\n"
           "  outer_loop: LOOP\n"
           "    SET i = i + 1;\n"
           "    CASE\n"
           "      WHEN i > n THEN LEAVE outer_loop;\n"
           "      WHEN i = 2 THEN BEGIN SELECT 'two;'; END;\n"
           "      WHEN i = 3 THEN FOR k IN 1..2 DO SET s = k; END FOR;\n"
           "      ELSE IF (i = 4) THEN SET s = REPEAT('x', i); END IF;\n"
           "    END CASE;\n"
           "  END LOOP outer_loop;\n"
           "  WHILE i > 0 DO\n"
           "    REPEAT SET i = i - 1; UNTIL i < 5 END REPEAT;\n"
           "  END WHILE;\n"
           "  numbers: FOR j IN 1..3 DO SET s = CONCAT(s, j); END FOR numbers;\n"
           "  DROP TEMPORARY TABLE IF EXISTS tmp;\n"
           "  IF EXISTS (SELECT CASE WHEN i THEN 1 END FROM t) THEN SELECT CASE WHEN i THEN 'a' ELSE 'b' END; END IF;\n"
           "END",
           1},
          {"CALL p(3, @s)", 25}}},

        {"functions: a RETURN of IF(), bodies after a return type and characteristics",
         "CREATE FUNCTION f(a INT) RETURNS INT DETERMINISTIC RETURN IF(a > 1, a, 0);\n"
         "CREATE AGGREGATE FUNCTION IF NOT EXISTS g(a DECIMAL(10,2)) RETURNS DECIMAL(10,2) NO SQL\n"
         "BEGIN DECLARE s DECIMAL(10,2) DEFAULT 0; DECLARE CONTINUE HANDLER FOR NOT FOUND RETURN s;"
         " LOOP FETCH GROUP NEXT ROW; SET s = s + a; END LOOP; END;\n"
         "CREATE DEFINER = api@'%' FUNCTION h(a INT) RETURNS VARCHAR(5) CHARACTER SET utf8mb4 DETERMINISTIC\n"
         "IF (a > 1) THEN RETURN 'big;'; ELSE RETURN 'small'; END IF;\n"
         "CREATE PROCEDURE q() SELECT IF(1, 2, 3), REPEAT('x', 3);\n"
         "SELECT 5",
         {{"CREATE FUNCTION f(a INT) RETURNS INT DETERMINISTIC RETURN IF(a > 1, a, 0)", 1},
          {"CREATE AGGREGATE FUNCTION IF NOT EXISTS g(a DECIMAL(10,2)) RETURNS DECIMAL(10,2) NO SQL\n"
           "BEGIN DECLARE s DECIMAL(10,2) DEFAULT 0; DECLARE CONTINUE HANDLER FOR NOT FOUND RETURN s;"
           " LOOP FETCH GROUP NEXT ROW; SET s = s + a; END LOOP; END",
           2},
          {"CREATE DEFINER = api@'%' FUNCTION h(a INT) RETURNS VARCHAR(5) CHARACTER SET utf8mb4 DETERMINISTIC\n"
           "IF (a > 1) THEN RETURN 'big;'; ELSE RETURN 'small'; END IF",
           4},
          {"CREATE PROCEDURE q() SELECT IF(1, 2, 3), REPEAT('x', 3)", 6},
          {"SELECT 5", 7}}},

        {"events, ALTER EVENT and anonymous blocks",
         "CREATE EVENT IF NOT EXISTS e ON SCHEDULE EVERY 1 DAY STARTS NOW() + INTERVAL 1 HOUR\n"
         "DO BEGIN INSERT INTO t VALUES (1); DELETE FROM t WHERE id < 0; END;\n"
         "ALTER DEFINER = CURRENT_USER() EVENT e DO BEGIN SELECT 1; END;\n"
         "ALTER EVENT e DISABLE;\n"
         "CREATE DEFINER = u@h EVENT e2 ON SCHEDULE AT NOW() DO WHILE @x < 3 DO SET @x = @x + 1; END WHILE;\n"
         "BEGIN NOT ATOMIC DECLARE x INT; SET x = 1; END;\n"
         "BEGIN;\n"
         "COMMIT",
         {{"CREATE EVENT IF NOT EXISTS e ON SCHEDULE EVERY 1 DAY STARTS NOW() + INTERVAL 1 HOUR\n"
           "DO BEGIN INSERT INTO t VALUES (1); DELETE FROM t WHERE id < 0; END",
           1},
          {"ALTER DEFINER = CURRENT_USER() EVENT e DO BEGIN SELECT 1; END", 3},
          {"ALTER EVENT e DISABLE", 4},
          {"CREATE DEFINER = u@h EVENT e2 ON SCHEDULE AT NOW() DO WHILE @x < 3 DO SET @x = @x + 1; END WHILE", 5},
          {"BEGIN NOT ATOMIC DECLARE x INT; SET x = 1; END", 6},
          {"BEGIN", 7},
          {"COMMIT", 8}}},

        {"statements that look like stored programs but are not",
         "CREATE DEFINER=`u`@`h` SQL SECURITY INVOKER VIEW v AS SELECT CASE WHEN a THEN 1 END AS c FROM t;\n"
         "CREATE TABLE `loop` (`begin` INT, `end` INT);\n"
         "SELECT IF(1, 2, 3), REPEAT('x', 3) FROM dual WHERE 1 IN (SELECT 1);\n"
         "ALTER TABLE t ADD COLUMN c INT",
         {{"CREATE DEFINER=`u`@`h` SQL SECURITY INVOKER VIEW v AS SELECT CASE WHEN a THEN 1 END AS c FROM t", 1},
          {"CREATE TABLE `loop` (`begin` INT, `end` INT)", 2},
          {"SELECT IF(1, 2, 3), REPEAT('x', 3) FROM dual WHERE 1 IN (SELECT 1)", 3},
          {"ALTER TABLE t ADD COLUMN c INT", 4}}},

        {"a dump's versioned trigger is read as the SQL it holds",
         "/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER t BEFORE INSERT ON x "
         "FOR EACH ROW BEGIN SET NEW.a = 1; SET NEW.b = 2; END */;\nSELECT 1",
         {{"/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER t BEFORE INSERT ON x "
           "FOR EACH ROW BEGIN SET NEW.a = 1; SET NEW.b = 2; END */",
           1},
          {"SELECT 1", 2}}},
    };
    return cases;
}

TEST(Script, SplitsAsTheClientAndTheServerReadAndJoinsBack) {
    for (const auto& c : split_cases()) {
        SCOPED_TRACE(c.what);
        const auto statements = split_script(c.script);
        EXPECT_EQ(statements, c.statements) << describe(statements);
        // Fed in pieces of any size, as a file read a chunk at a time, the script splits the same.
        const std::string_view script(c.script);
        for (std::size_t size = 1; size <= script.size(); ++size) {
            ScriptSplitter splitter;
            std::vector<ScriptStatement> pieces;
            for (std::size_t at = 0; at < script.size(); at += size)
                for (auto& statement : splitter.feed(script.substr(at, size))) pieces.push_back(std::move(statement));
            for (auto& statement : splitter.finish()) pieces.push_back(std::move(statement));
            EXPECT_EQ(pieces, c.statements) << "pieces of " << size << " bytes: " << describe(pieces);
        }
        if (!c.joins_back) continue;

        // What split_script gives, join_script writes so that split_script reads it back.
        std::vector<std::string> texts;
        for (const auto& statement : c.statements) texts.push_back(statement.text);
        const std::string joined = join_script(texts);
        std::vector<std::string> again;
        for (const auto& statement : split_script(joined)) again.push_back(statement.text);
        EXPECT_EQ(again, texts) << joined;
    }
}

TEST(Script, JoinsWithDelimitersOnlyWhereTheClientNeedsThem) {
    struct NeedsCase {
        const char* statement;
        bool needs;
    };
    const NeedsCase needs[] = {
        {"SELECT ';', \";\", `;`", false},
        {"SELECT 1 -- ;\n, 2 # ;\n, 3 /* ; */", false},
        {"BEGIN NOT ATOMIC SELECT 1; END", true},
        {"SELECT 1 /*!50000 ; */", true},  // the client cuts inside versioned comments
        {"SELECT 1 --;", true},
    };
    for (const auto& c : needs) EXPECT_EQ(needs_delimiter(c.statement), c.needs) << c.statement;

    EXPECT_EQ(join_script({"SELECT 1", "  CREATE PROCEDURE p() BEGIN SELECT 1; END\n", "", "-- nothing"}),
              "SELECT 1;\nDELIMITER ;;\nCREATE PROCEDURE p() BEGIN SELECT 1; END;;\nDELIMITER ;\n");

    // Texts the plain forms would break: a trailing line comment would swallow the delimiter, and a
    // body holding ";;" or ending with ';' needs another delimiter than ";;".
    // A text ending in "--" has no comment there: a delimiter follows it directly.
    const std::vector<std::string> awkward = {"SELECT 1 -- note", "CREATE PROCEDURE p() BEGIN SELECT 1;; END",
                                              "SELECT 2;", "SELECT 3 # last", "SELECT 4 --"};
    std::vector<std::string> again;
    for (const auto& statement : split_script(join_script(awkward))) again.push_back(statement.text);
    EXPECT_EQ(again, awkward) << join_script(awkward);

    // A last text ending in a quote that nothing closes (it ran to the end of its script) would
    // swallow any delimiter: it is written without one.
    const std::vector<std::string> unclosed = {"SELECT 1", "SELECT $;'$$ SELECT 2$$\nDELIMITER ;\nSELECT 3"};
    again.clear();
    for (const auto& statement : split_script(join_script(unclosed))) again.push_back(statement.text);
    EXPECT_EQ(again, unclosed) << join_script(unclosed);
}

}  // namespace
