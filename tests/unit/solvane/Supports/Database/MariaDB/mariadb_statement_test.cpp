#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/log_capture.hpp"
#include "tests/support/null_connection.hpp"
#include "tests/support/statement_calls.hpp"

namespace {

using Ombrix::Core::TypeInfo;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::DBObject;
using Ombrix::Providers::Contracts::Server;
using Ombrix::Solvane::Contracts::Database::IStatement;
using Ombrix::Solvane::Supports::Database::MariaDBStatement;
using Ombrix::Solvane::Supports::Database::Statement;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::NullConnection;

// A schema, a table and an account whose names end every quoted context they are put in.
constexpr const char* kHostileSchema = "s'`\\";
constexpr const char* kHostileTable = "t'`x";

class MariaDBStatementTest : public ::testing::Test {
protected:
    NullConnection m_connection;
    std::shared_ptr<MariaDBStatement> m_statement = MariaDBStatement::create(&m_connection);
    IStatement& s() { return *m_statement; }
    int m_column = -1;
    int& column() {
        m_column = -1;
        return m_column;
    }
};

TEST_F(MariaDBStatementTest, IsAStatementOfItsOwnRegisteredType) {
    ASSERT_NE(m_statement, nullptr);
    EXPECT_EQ(m_statement->get_connection(), &m_connection);
    EXPECT_EQ(m_statement->type_name(), "OmbrixSolvaneSupportsDatabaseMariaDBStatement");
    EXPECT_TRUE(m_statement->is_a(Statement::static_type()));
    EXPECT_EQ(TypeInfo::lookup("OmbrixSolvaneSupportsDatabaseMariaDBStatement"), &MariaDBStatement::static_type());

    LogCapture log;
    EXPECT_EQ(MariaDBStatement::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("connection != NULL"));
}

// Its own texts and the ones it keeps from the portable factory alike.
TEST_F(MariaDBStatementTest, RefusesANullTextArgumentOfEveryOperationByName) {
    Ombrix::Testing::expect_null_texts_refused(s());
}

TEST_F(MariaDBStatementTest, BuildsTheConnectionStringWithTlsOnlyWhenUsed) {
    auto server = Server::create();
    server->set_driver("MariaDB");
    server->set_host("db1");
    server->set_initial("shop");
    server->set_port(3306);
    server->set_username("bob");
    server->set_password("pw");
    server->set_ssl_ca_file("/ca.pem");
    server->set_ssl_cert_file("/cert.pem");
    server->set_ssl_key_file("/key.pem");
    server->set_ssl_password("secret");
    EXPECT_EQ(s().build_connection_string(server),
              "DRIVER={MariaDB};SERVER=db1;DATABASE=shop;PORT=3306;USER=bob;PASSWORD=pw;CHARSET=utf8mb4;"
              "INTERACTIVE=1;");
    server->set_ssl_using(true);
    EXPECT_EQ(s().build_connection_string(server),
              "DRIVER={MariaDB};SERVER=db1;DATABASE=shop;PORT=3306;USER=bob;PASSWORD=pw;CHARSET=utf8mb4;"
              "SSLCA=/ca.pem;SSLCERT=/cert.pem;SSLKEY=/key.pem;SSLCIPHER=secret;SSLVERIFY=1;INTERACTIVE=1;");
}

TEST_F(MariaDBStatementTest, ListsCatalogueObjectsWithTheirNameColumn) {
    EXPECT_EQ(s().show_databases(column()), "SHOW DATABASES;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_tables("shop", "shop", column()),
              "SELECT table_name, table_schema, engine FROM information_schema.tables WHERE table_schema = 'shop' AND "
              "(table_type LIKE '%TABLE%' OR table_type = 'SYSTEM VERSIONED') ORDER BY table_name;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_views("shop", "shop", column()),
              "SELECT table_name, table_schema, engine FROM information_schema.tables WHERE table_schema = 'shop' AND "
              "table_type LIKE '%VIEW%' ORDER BY table_name;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_table_spaces("shop", column()), "SELECT 'shop' as name;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_table_schemas("shop", column()), "SELECT 'shop' as name;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_checks("shop", "shop", column()),
              "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = 'shop' AND "
              "CONSTRAINT_TYPE = 'CHECK';");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_foreigns("shop", "shop", column()),
              "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = 'shop' AND "
              "CONSTRAINT_TYPE = 'FOREIGN KEY';");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_uniques("shop", "shop", column()),
              "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = 'shop' AND "
              "CONSTRAINT_TYPE = 'UNIQUE';");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_indexes("shop", "shop", column()),
              "SELECT DISTINCT CONCAT(TABLE_NAME, '.', INDEX_NAME) FROM INFORMATION_SCHEMA.STATISTICS  WHERE "
              "table_schema = 'shop';");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_triggers("shop", "shop", column()),
              "SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = 'shop';");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_functions("shop", "shop", column()), "SHOW FUNCTION STATUS WHERE Db = 'shop'");
    EXPECT_EQ(m_column, 1);
    EXPECT_EQ(s().show_procedures("shop", "shop", column()), "SHOW PROCEDURE STATUS WHERE Db = 'shop'");
    EXPECT_EQ(m_column, 1);
    EXPECT_EQ(s().show_excludes("shop", "shop", column()), "");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_rules("shop", "shop", column()), "");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_structure("shop", "shop", "items", column()), "SHOW FULL COLUMNS FROM `shop`.`items`;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_users("", "", column()),
              "SELECT CONCAT(`user`, '@', `host`) username FROM `mysql`.`user` WHERE BINARY is_role IN ('N', 'n') "
              "ORDER BY username ASC;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_roles("", "", column()),
              "SELECT User FROM `mysql`.`user` WHERE BINARY is_role IN ('Y', 'y') ORDER BY User ASC;");
    EXPECT_EQ(m_column, 0);
    int context = -1;
    EXPECT_EQ(s().show_privileges(column(), context), "SHOW PRIVILEGES;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(context, 1);
}

TEST_F(MariaDBStatementTest, ShowsSourceOfEachKindWithItsDefinitionColumn) {
    struct Case {
        DBObject kind;
        const char* text;
        int column;
    };
    const Case cases[] = {
        {DBObject::EVENT, "SHOW CREATE EVENT `shop`.`e`;", 3},
        {DBObject::FUNCTION, "SHOW CREATE FUNCTION `shop`.`e`;", 2},
        {DBObject::PACKAGE, "SHOW CREATE PACKAGE `shop`.`e`;", 2},
        {DBObject::PROCEDURE, "SHOW CREATE PROCEDURE   `shop`.`e`;", 2},
        {DBObject::SEQUENCE, "SHOW CREATE SEQUENCE `shop`.`e`;", 1},
        {DBObject::TABLE, "SHOW CREATE TABLE `shop`.`e`;", 1},
        {DBObject::TRIGGER, "SHOW CREATE TRIGGER `shop`.`e`;", 2},
        {DBObject::VIEW, "SHOW CREATE VIEW `shop`.`e`;", 1},
        {DBObject::INDEX, "", 1},
        {DBObject::DATABASE, "", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(s().show_source(c.kind, "shop", "shop", "e", column()), c.text) << static_cast<int>(c.kind);
        EXPECT_EQ(m_column, c.column) << static_cast<int>(c.kind);
    }
    // An account is named user@host; the server answers SHOW CREATE USER in one column.
    EXPECT_EQ(s().show_source(DBObject::USER, "shop", "shop", "bob@localhost", column()),
              "SHOW CREATE USER `bob`@`localhost`;");
    EXPECT_EQ(m_column, 0);
    EXPECT_EQ(s().show_source(DBObject::USER, "shop", "shop", "bob", column()), "SHOW CREATE USER `bob`@`%`;");
}

TEST_F(MariaDBStatementTest, PagesThroughContentOnlyWithAPositiveLimit) {
    EXPECT_EQ(s().show_content("shop", "shop", "items", "*", "", "", 100, 50),
              "SELECT * FROM `shop`.`items` LIMIT 50 OFFSET 100;");
    EXPECT_EQ(s().show_content("shop", "shop", "items", "id, name", "", "", 0, 0),
              "SELECT id, name FROM `shop`.`items` ");
    EXPECT_EQ(s().show_content("shop", "shop", "items", "*", "id > 3", "name DESC", 0, -1),
              "SELECT * FROM `shop`.`items` WHERE id > 3 ORDER BY name DESC ");
    EXPECT_EQ(s().show_content("shop", "shop", "items", "*", "id > 3", "name DESC", 9000000000LL, 10),
              "SELECT * FROM `shop`.`items` WHERE id > 3 ORDER BY name DESC LIMIT 10 OFFSET 9000000000;");
    EXPECT_EQ(s().show_content("shop", "shop", "items", "*", "", "id", 5, 2),
              "SELECT * FROM `shop`.`items` ORDER BY id LIMIT 2 OFFSET 5;");
}

TEST_F(MariaDBStatementTest, WritesTableStatements) {
    EXPECT_EQ(s().change_database("shop"), "use shop;");
    EXPECT_EQ(s().call_function("shop", "shop", "total", "(1, 'a')"), "SELECT `shop`.`total`(1, 'a');");
    EXPECT_EQ(s().call_procedure("shop", "shop", "refresh", "()"), "CALL `shop`.`refresh`();");
    EXPECT_EQ(s().show_effected("shop", "shop", "items", ""), "SELECT count(*) FROM `shop`.`items`;");
    EXPECT_EQ(s().show_effected("shop", "shop", "items", "id > 3"), "SELECT count(*) FROM `shop`.`items` WHERE id > 3;");
    EXPECT_EQ(s().show_relations("shop", "shop", "items"),
              "SELECT COLUMN_NAME, CONSTRAINT_NAME, REFERENCED_COLUMN_NAME, REFERENCED_TABLE_NAME FROM "
              "information_schema.KEY_COLUMN_USAGE WHERE TABLE_NAME = 'items' AND TABLE_SCHEMA = 'shop';");
    EXPECT_EQ(s().empty_table("shop", "shop", "items"), "TRUNCATE TABLE `shop`.`items`;");
    EXPECT_EQ(s().build_explain("SELECT 1", ""), "EXPLAIN SELECT 1;");
    EXPECT_EQ(s().build_explain("SELECT 1", "JSON"), "EXPLAIN FORMAT=JSON SELECT 1;");
    EXPECT_EQ(s().build_analyze("SELECT 1", ""), "ANALYZE SELECT 1;");
    EXPECT_EQ(s().build_analyze("SELECT 1", "JSON"), "ANALYZE FORMAT=JSON SELECT 1;");
    EXPECT_EQ(s().flush_privileges(), "FLUSH PRIVILEGES;");
    EXPECT_EQ(s().transaction(""), "START TRANSACTION;");
    EXPECT_EQ(s().rollback(""), "ROLLBACK;");
    EXPECT_EQ(s().commit(""), "COMMIT;");
    EXPECT_EQ(s().build_sql_view("shop", "v", "SELECT 1"), "CREATE VIEW `shop`.`v` AS SELECT 1");
}

TEST_F(MariaDBStatementTest, RenamesWithinTheSchemaAndAccountsByUserAndHost) {
    EXPECT_EQ(s().rename_object(DBObject::TABLE, "shop", "", "a", "b"), "RENAME TABLE `a` TO `b`;");
    EXPECT_EQ(s().rename_object(DBObject::VIEW, "shop", "", "a", "b"), "RENAME TABLE `a` TO `b`;");
    EXPECT_EQ(s().rename_object(DBObject::TABLE, "shop", "shop", "a", "b"), "RENAME TABLE `shop`.`a` TO `shop`.`b`;");
    EXPECT_EQ(s().rename_object(DBObject::USER, "", "", "bob@localhost", "ann@localhost"),
              "RENAME USER bob@localhost TO ann@localhost;");
    EXPECT_EQ(s().rename_object(DBObject::USER, "", "", "bob", "ann"), "RENAME USER bob TO ann;");
    // "%" and names with quotes are not bare names: unquoted they would not parse or would inject.
    EXPECT_EQ(s().rename_object(DBObject::USER, "", "", "bob@%", "o'k@%"), "RENAME USER bob@`%` TO `o'k`@`%`;");
    EXPECT_EQ(s().rename_object(DBObject::INDEX, "shop", "shop", "a", "b"), "");
}

TEST_F(MariaDBStatementTest, DropsSchemaObjectsQualifiedWhenASchemaIsGiven) {
    struct Case {
        DBObject kind;
        const char* bare;
        const char* qualified;
    };
    const Case cases[] = {
        {DBObject::DATABASE, "DROP DATABASE IF EXISTS `n`;", "DROP DATABASE IF EXISTS `n`;"},
        {DBObject::EVENT, "DROP EVENT IF EXISTS `n`;", "DROP EVENT IF EXISTS `shop`.`n`;"},
        {DBObject::FUNCTION, "DROP FUNCTION IF EXISTS `n`;", "DROP FUNCTION IF EXISTS `shop`.`n`;"},
        {DBObject::INDEX, "DROP INDEX `ix` ON `n`;", "DROP INDEX `ix` ON `shop`.`n`;"},
        {DBObject::PROCEDURE, "DROP PROCEDURE IF EXISTS `n`;", "DROP PROCEDURE IF EXISTS `shop`.`n`;"},
        {DBObject::ROLE, "DROP ROLE IF EXISTS `n`;", "DROP ROLE IF EXISTS `n`;"},
        {DBObject::SCHEMA, "DROP TABLESPACE `n`;", "DROP TABLESPACE `n`;"},
        {DBObject::TABLE, "DROP TABLE IF EXISTS `n`;", "DROP TABLE IF EXISTS `shop`.`n`;"},
        {DBObject::TRIGGER, "DROP TRIGGER IF EXISTS `n`;", "DROP TRIGGER IF EXISTS `shop`.`n`;"},
        {DBObject::USER, "DROP USER IF EXISTS `n`;", "DROP USER IF EXISTS `n`;"},
        {DBObject::VIEW, "DROP VIEW IF EXISTS `n`;", "DROP VIEW IF EXISTS `shop`.`n`;"},
        {DBObject::COLUMN, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(s().drop_object(c.kind, "shop", "", "n", "ix"), c.bare) << static_cast<int>(c.kind);
        EXPECT_EQ(s().drop_object(c.kind, "shop", "shop", "n", "ix"), c.qualified) << static_cast<int>(c.kind);
    }
    EXPECT_EQ(s().drop_object(DBObject::USER, "", "", "bob@localhost", ""), "DROP USER IF EXISTS `bob`@`localhost`;");
    EXPECT_EQ(s().drop_object(DBObject::ROLE, "", "", "r@x@y", ""), "DROP ROLE IF EXISTS `r`@`x@y`;");
}

TEST_F(MariaDBStatementTest, SplitsAccountsAndRolesAtTheFirstAt) {
    EXPECT_EQ(s().show_user_rights("", "", "bob@localhost"), "SHOW GRANTS FOR `bob`@`localhost`;");
    EXPECT_EQ(s().show_user_rights("", "", "bob"), "SHOW GRANTS FOR `bob`@`%`;");
    EXPECT_EQ(s().show_user_rights("", "", "bob@10.0.0.%@x"), "SHOW GRANTS FOR `bob`@`10.0.0.%@x`;");
    EXPECT_EQ(s().show_role_rights("", "", "admin@ignored"), "SHOW GRANTS FOR `admin`;");
    EXPECT_EQ(s().show_role_detail("", "", "admin"),
              "SELECT `Host`, `User` FROM mysql.global_priv WHERE JSON_VALUE(Priv, '$.is_role') = true AND "
              "USER='admin';");
    EXPECT_EQ(s().show_user_detail("", "", "bob@localhost"),
              "SELECT mu.Host, mu.User, authentication_string, plugin, password_expired, ssl_type, ssl_cipher, "
              "x509_issuer, x509_subject, max_questions, max_updates, max_connections, max_user_connections, "
              "max_statement_time, JSON_VALUE(mgp.priv, '$.password_last_changed') as password_last_changed, "
              "JSON_VALUE(mgp.priv, '$.password_lifetime') as password_lifetime, JSON_VALUE(mgp.priv, "
              "'$.account_locked') as account_locked FROM mysql.user mu, mysql.global_priv mgp WHERE mu.host = "
              "mgp.host AND mu.user = mgp.user AND mu.HOST = 'localhost' AND mu.USER ='bob';");
}

TEST_F(MariaDBStatementTest, GrantsWithTheGrantOptionFormAndRevokesAsGiven) {
    EXPECT_EQ(s().grant_user_rights("", "", "bob@localhost", "SELECT, INSERT", "shop.*"),
              "GRANT SELECT, INSERT ON shop.* TO `bob`@`localhost`;");
    EXPECT_EQ(s().grant_user_rights("", "", "bob@localhost", "SELECT, GRANT OPTION", "db.*"),
              "GRANT SELECT, USAGE ON db.* TO `bob`@`localhost` WITH GRANT OPTION;");
    EXPECT_EQ(s().grant_user_rights("", "", "bob", "SELECT", "db.*"), "GRANT SELECT ON db.* TO `bob`@`%`;");
    EXPECT_EQ(s().grant_user_rights("", "", "bob", "GRANT OPTION, GRANT OPTION", "db.*"),
              "GRANT USAGE, USAGE ON db.* TO `bob`@`%` WITH GRANT OPTION;");
    EXPECT_EQ(s().revoke_user_rights("", "", "bob@localhost", "SELECT, GRANT OPTION", "db.*"),
              "REVOKE SELECT, GRANT OPTION ON db.* FROM `bob`@`localhost`;");
    EXPECT_EQ(s().grant_role_rights("", "", "reader", "SELECT", "db.*"), "GRANT SELECT ON db.* TO `reader`;");
    EXPECT_EQ(s().grant_role_rights("", "", "reader@x", "SELECT, GRANT OPTION", "db.*"),
              "GRANT SELECT, USAGE ON db.* TO `reader` WITH GRANT OPTION;");
    EXPECT_EQ(s().revoke_role_rights("", "", "reader", "SELECT", "db.*"), "REVOKE SELECT ON db.* FROM `reader`;");
}

TEST_F(MariaDBStatementTest, QuotesIdentifiersWithBackticksInFourShapes) {
    EXPECT_EQ(s().quote_identifier("", ""), "``");
    EXPECT_EQ(s().quote_identifier("", "s"), "`s`.``");
    EXPECT_EQ(s().quote_identifier("t", ""), "`t`");
    EXPECT_EQ(s().quote_identifier("t", "s"), "`s`.`t`");
    EXPECT_EQ(s().quote_identifier("a`b", "s`"), "`s```.`a``b`");
    // The inherited row statements use the backtick form.
    EXPECT_EQ(s().build_sql_insert("s", "t", {"`a`"}, {"1"}), "INSERT INTO `s`.`t`(`a`) VALUES(1);");
    EXPECT_EQ(s().build_sql_delete("s", "t`", {"`a`"}, {"1"}), "DELETE FROM `s`.`t``` WHERE `a`=1;");
}

TEST_F(MariaDBStatementTest, PacksStringsSoABackslashReadsTheSameInEveryMode) {
    EXPECT_EQ(s().pack_value(DataType::STRING, "it's"), "'it''s'");
    EXPECT_EQ(s().pack_value(DataType::STRING, "a\\"), "_utf8mb4 X'615C'");
    EXPECT_EQ(s().pack_value(DataType::WSTRING, "\\'; DROP TABLE t; -- "), "_utf8mb4 X'5C273B2044524F50205441424C4520743B202D2D20'");
    EXPECT_EQ(s().pack_value(DataType::DECIMAL, "12.50"), "'12.50'");
    EXPECT_EQ(s().pack_value(DataType::MONEY, "12.50"), "12.50");
    EXPECT_EQ(s().pack_value(DataType::INT64, "-7"), "-7");
    EXPECT_EQ(s().pack_value(DataType::BOOLEAN, "1"), "1");
    EXPECT_EQ(s().pack_value(DataType::BLOB, "00FF"), "X'00FF'");
    EXPECT_EQ(s().pack_value(DataType::BINARY, "0'); DROP TABLE t; --"), "X'0''); DROP TABLE t; --'");
}

// Every name goes in escaped for its quotes; caller fragments go in as given.
TEST_F(MariaDBStatementTest, EscapesNamesForTheirQuotes) {
    EXPECT_EQ(s().show_tables(kHostileSchema, "", column()),
              "SELECT table_name, table_schema, engine FROM information_schema.tables WHERE table_schema = "
              "_utf8mb4 X'7327605C' AND (table_type LIKE '%TABLE%' OR table_type = 'SYSTEM VERSIONED') ORDER BY table_name;");
    EXPECT_EQ(s().show_table_schemas(kHostileSchema, column()), "SELECT _utf8mb4 X'7327605C' as name;");
    EXPECT_EQ(s().show_triggers(kHostileSchema, "", column()),
              "SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = _utf8mb4 X'7327605C';");
    EXPECT_EQ(s().show_functions(kHostileSchema, "", column()), "SHOW FUNCTION STATUS WHERE Db = _utf8mb4 X'7327605C'");
    EXPECT_EQ(s().show_structure("", kHostileSchema, kHostileTable, column()),
              "SHOW FULL COLUMNS FROM `s'``\\`.`t'``x`;");
    EXPECT_EQ(s().show_source(DBObject::TABLE, "", kHostileSchema, kHostileTable, column()),
              "SHOW CREATE TABLE `s'``\\`.`t'``x`;");
    EXPECT_EQ(s().show_content("", kHostileSchema, kHostileTable, "`a`", "`a` = 'x'", "`a`", 0, 1),
              "SELECT `a` FROM `s'``\\`.`t'``x` WHERE `a` = 'x' ORDER BY `a` LIMIT 1 OFFSET 0;");
    EXPECT_EQ(s().show_effected("", kHostileSchema, kHostileTable, ""), "SELECT count(*) FROM `s'``\\`.`t'``x`;");
    EXPECT_EQ(s().show_relations("", kHostileSchema, kHostileTable),
              "SELECT COLUMN_NAME, CONSTRAINT_NAME, REFERENCED_COLUMN_NAME, REFERENCED_TABLE_NAME FROM "
              "information_schema.KEY_COLUMN_USAGE WHERE TABLE_NAME = 't''`x' AND TABLE_SCHEMA = _utf8mb4 X'7327605C';");
    EXPECT_EQ(s().empty_table("", kHostileSchema, kHostileTable), "TRUNCATE TABLE `s'``\\`.`t'``x`;");
    EXPECT_EQ(s().call_procedure("", kHostileSchema, "p`", "()"), "CALL `s'``\\`.`p```();");
    EXPECT_EQ(s().drop_object(DBObject::TABLE, "", kHostileSchema, kHostileTable, ""),
              "DROP TABLE IF EXISTS `s'``\\`.`t'``x`;");
    EXPECT_EQ(s().drop_object(DBObject::INDEX, "", "s", "t", "i`x"), "DROP INDEX `i``x` ON `s`.`t`;");
    EXPECT_EQ(s().rename_object(DBObject::TABLE, "", "s", kHostileTable, "n`"), "RENAME TABLE `s`.`t'``x` TO `s`.`n```;");
    EXPECT_EQ(s().change_database("my db`"), "use `my db```;");
    EXPECT_EQ(s().change_database("2024"), "use `2024`;");
    EXPECT_EQ(s().change_database("order"), "use `order`;");
    EXPECT_EQ(s().change_database("1e5"), "use `1e5`;");
    EXPECT_EQ(s().rename_object(DBObject::USER, "", "", "select@localhost", "key"),
              "RENAME USER `select`@localhost TO `key`;");

    // Accounts: backtick parts double backticks; literal parts double quotes, or go in hexadecimal
    // when they hold a backslash.
    EXPECT_EQ(s().show_user_rights("", "", "b`o'b@h`"), "SHOW GRANTS FOR `b``o'b`@`h```;");
    EXPECT_EQ(s().grant_user_rights("", "", "b`@h", "SELECT", "`s`.*"), "GRANT SELECT ON `s`.* TO `b```@`h`;");
    EXPECT_EQ(s().revoke_role_rights("", "", "r`", "SELECT", "*.*"), "REVOKE SELECT ON *.* FROM `r```;");
    EXPECT_EQ(s().drop_object(DBObject::USER, "", "", "a`@b`", ""), "DROP USER IF EXISTS `a```@`b```;");
    EXPECT_EQ(s().drop_object(DBObject::ROLE, "", "", "r'`", ""), "DROP ROLE IF EXISTS `r'```;");
    EXPECT_EQ(s().show_role_detail("", "", "r'\\"),
              "SELECT `Host`, `User` FROM mysql.global_priv WHERE JSON_VALUE(Priv, '$.is_role') = true AND "
              "USER=_utf8mb4 X'72275C';");
    const std::string detail = s().show_user_detail("", "", "o'b@l\\");
    EXPECT_TRUE(detail.ends_with("AND mu.HOST = _utf8mb4 X'6C5C' AND mu.USER ='o''b';")) << detail;
    EXPECT_EQ(s().show_source(DBObject::USER, "", "", "o`b@%", column()), "SHOW CREATE USER `o``b`@`%`;");
}

}  // namespace
