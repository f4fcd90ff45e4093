#include "solvane/Supports/Database/MariaDB/mariadb_explorer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/log_capture.hpp"
#include "tests/support/provider_connection.hpp"

namespace {

using Ombrix::Providers::Contracts::DBObject;
using Ombrix::Solvane::Supports::Database::MariaDBExplorer;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::ProviderConnection;

// The catalogue texts, written out in full for the schema "shop".
const std::string kEvents =
    "SELECT EVENT_NAME, EVENT_TYPE, STATUS, DEFINER, CREATED, LAST_ALTERED, IF(EVENT_TYPE = 'ONE TIME', EXECUTE_AT, "
    "LAST_EXECUTED) AS EXECUTED_TIME, ON_COMPLETION, EVENT_COMMENT FROM information_schema.EVENTS WHERE BINARY "
    "EVENT_SCHEMA = 'shop' ORDER BY EVENT_NAME ASC";
const std::string kRoutinesOf =
    "SELECT r.ROUTINE_NAME, r.ROUTINE_TYPE, r.IS_DETERMINISTIC, r.SECURITY_TYPE, r.`DEFINER`, r.CREATED, "
    "r.LAST_ALTERED, r.ROUTINE_COMMENT FROM information_schema.ROUTINES r WHERE BINARY ROUTINE_SCHEMA = 'shop' AND ";
const std::string kPackages =
    "SELECT ROUTINE_NAME, SECURITY_TYPE, DEFINER, CREATED, LAST_ALTERED, ROUTINE_COMMENT FROM "
    "information_schema.ROUTINES WHERE BINARY ROUTINE_SCHEMA = 'shop' AND ROUTINE_TYPE = 'PACKAGE' ORDER BY "
    "ROUTINE_NAME ASC;";
const std::string kIndexes =
    "SELECT DISTINCT INDEX_NAME, TABLE_NAME, NON_UNIQUE, INDEX_TYPE, INDEX_COMMENT FROM "
    "`information_schema`.`STATISTICS` WHERE BINARY INDEX_SCHEMA = 'shop' AND INDEX_NAME <> 'PRIMARY' ORDER BY "
    "INDEX_NAME ASC";
const std::string kRoles =
    "SELECT User, default_role FROM mysql.user WHERE BINARY is_role IN ('Y', 'y') ORDER BY User ASC;";
const std::string kUsers =
    "SELECT CONCAT(user, '@', host) AS name, ssl_type, super_priv, plugin, max_questions, max_updates, "
    "max_connections, max_user_connections FROM mysql.user WHERE BINARY is_role IN ('N', 'n') ORDER BY user ASC;";
const std::string kSequences =
    "SELECT t.TABLE_NAME, t.ROW_FORMAT, t.CREATE_TIME, t.UPDATE_TIME, t.`ENGINE`, t.TABLE_COLLATION, t.TABLE_COMMENT "
    "FROM information_schema.`TABLES` AS t WHERE t.TABLE_SCHEMA = 'shop' AND t.TABLE_TYPE = 'SEQUENCE' ORDER BY "
    "t.TABLE_NAME ASC;";
const std::string kTables =
    "\r\nSELECT t.TABLE_NAME, t.AUTO_INCREMENT, t.ROW_FORMAT, t.TABLE_ROWS, t.DATA_LENGTH, \r\n"
    "    t.CREATE_TIME, t.UPDATE_TIME, t.`ENGINE`, t.TABLE_COLLATION, t.TABLE_COMMENT \r\n"
    "FROM information_schema.`TABLES` AS t \r\n"
    "WHERE t.TABLE_SCHEMA = 'shop' AND t.TABLE_TYPE in ('BASE TABLE', 'SYSTEM VIEW') \r\n"
    "ORDER BY t.TABLE_NAME ASC;";
const std::string kTriggers =
    "SELECT TRIGGER_NAME, EVENT_MANIPULATION, CONCAT(EVENT_OBJECT_SCHEMA, '.', EVENT_OBJECT_TABLE) AS object, "
    "ACTION_ORDER, ACTION_TIMING, CREATED, DEFINER FROM `information_schema`.`TRIGGERS` WHERE BINARY "
    "TRIGGER_SCHEMA='shop' ORDER BY TRIGGER_NAME ASC;";
const std::string kViews =
    "SELECT t.TABLE_NAME, v.CHECK_OPTION, v.IS_UPDATABLE, v.SECURITY_TYPE, v.DEFINER FROM INFORMATION_SCHEMA.tables t "
    "left join information_schema.VIEWS v on BINARY t.TABLE_SCHEMA = v.TABLE_SCHEMA and BINARY t.TABLE_NAME = "
    "v.TABLE_NAME WHERE "
    "t.table_type = 'VIEW' and t.TABLE_SCHEMA = 'shop' ORDER BY t.TABLE_NAME ASC";
const std::string kSchemasWithoutComment =
    "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM `information_schema`.`SCHEMATA` "
    "ORDER BY SCHEMA_NAME ASC;";
const std::string kSchemasWithComment =
    "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME, SCHEMA_COMMENT FROM "
    "`information_schema`.`SCHEMATA` ORDER BY SCHEMA_NAME ASC;";

/// An explorer on a connection without a server: every query is recorded and then fails.
class MariaDBExplorerTest : public ::testing::Test {
protected:
    /// The one SQL text that listing `kind` in `schema` sends; "" (and a test failure) if it sends
    /// another number of texts or does not pass the connection's error on.
    std::string sql_of(DBObject kind, const std::string& schema = "shop") {
        const std::size_t before = m_connection.statements().size();
        auto model = m_explorer->load_objects("shop", schema, kind, "");
        EXPECT_FALSE(model.has_value()) << to_string(kind);
        if (!model) {
            EXPECT_EQ(model.error().domain, "MariaDB");
            EXPECT_EQ(model.error().code, -1);
        }
        const auto& statements = m_connection.statements();
        EXPECT_EQ(statements.size(), before + 1) << to_string(kind);
        return statements.size() == before + 1 ? statements.back() : std::string();
    }

    ProviderConnection m_connection{nullptr};
    std::shared_ptr<MariaDBExplorer> m_explorer = MariaDBExplorer::create(&m_connection);
};

TEST_F(MariaDBExplorerTest, IsMadeForAConnectionAndRefusesNone) {
    ASSERT_NE(m_explorer, nullptr);
    EXPECT_EQ(m_explorer->get_connection(), &m_connection);
    EXPECT_EQ(m_explorer->type_name(), "OmbrixSolvaneSupportsDatabaseMariaDBExplorer");

    LogCapture log;
    EXPECT_EQ(MariaDBExplorer::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("conn != NULL"));
}

TEST_F(MariaDBExplorerTest, SendsOneCatalogueQueryPerKind) {
    EXPECT_EQ(sql_of(DBObject::EVENT), kEvents);
    EXPECT_EQ(sql_of(DBObject::FUNCTION), kRoutinesOf + "ROUTINE_TYPE = 'FUNCTION' ORDER BY ROUTINE_NAME ASC;");
    EXPECT_EQ(sql_of(DBObject::PROCEDURE), kRoutinesOf + "ROUTINE_TYPE = 'PROCEDURE' ORDER BY ROUTINE_NAME ASC;");
    EXPECT_EQ(sql_of(DBObject::ROUTINE),
              kRoutinesOf + "ROUTINE_TYPE IN ('FUNCTION', 'PROCEDURE') ORDER BY ROUTINE_NAME ASC;");
    EXPECT_EQ(sql_of(DBObject::PACKAGE), kPackages);
    EXPECT_EQ(sql_of(DBObject::INDEX), kIndexes);
    EXPECT_EQ(sql_of(DBObject::SEQUENCE), kSequences);
    EXPECT_EQ(sql_of(DBObject::TABLE), kTables);
    EXPECT_EQ(sql_of(DBObject::TRIGGER), kTriggers);
    EXPECT_EQ(sql_of(DBObject::VIEW), kViews);
    // Users and roles belong to the server: the schema does not enter their queries.
    EXPECT_EQ(sql_of(DBObject::ROLE), kRoles);
    EXPECT_EQ(sql_of(DBObject::ROLE, "other"), kRoles);
    EXPECT_EQ(sql_of(DBObject::USER), kUsers);
    EXPECT_EQ(sql_of(DBObject::USER, "it's"), kUsers);
}

TEST_F(MariaDBExplorerTest, SchemaNamesStayInsideTheirLiteral) {
    // A quote or backslash in the name must not end the literal; a "%s" in it is not a placeholder.
    EXPECT_EQ(sql_of(DBObject::TRIGGER, "it's \\ %s"),
              "SELECT TRIGGER_NAME, EVENT_MANIPULATION, CONCAT(EVENT_OBJECT_SCHEMA, '.', EVENT_OBJECT_TABLE) AS "
              "object, ACTION_ORDER, ACTION_TIMING, CREATED, DEFINER FROM `information_schema`.`TRIGGERS` WHERE "
              "BINARY TRIGGER_SCHEMA=_utf8mb4 X'69742773205C202573' ORDER BY TRIGGER_NAME ASC;");
    const std::string attack = "x' OR 1=1; DROP DATABASE shop; -- ";
    const std::string views = sql_of(DBObject::VIEW, attack);
    EXPECT_NE(views.find("t.TABLE_SCHEMA = 'x'' OR 1=1; DROP DATABASE shop; -- ' ORDER BY"), std::string::npos)
        << views;
    // A backtick needs nothing inside a string literal.
    const std::string tables = sql_of(DBObject::TABLE, "a`b");
    EXPECT_NE(tables.find("t.TABLE_SCHEMA = 'a`b' AND"), std::string::npos) << tables;
}

TEST_F(MariaDBExplorerTest, SchemaListHasTheCommentFromVersionTenFiveOnComparedAsNumbers) {
    const std::vector<std::pair<std::string, bool>> versions = {
        {"10.4.32-MariaDB", false},
        {"10.4.99", false},
        {"5.5.5-10.4.32-MariaDB-log", false},
        {"8.0.36", false},
        {"9.9", false},
        {"", false},
        {"MariaDB", false},
        {"10.5.0", true},
        {"10.5.0-MariaDB", true},
        {"10.6.16-MariaDB-0+deb12u1", true},
        {"10.11.6-MariaDB-0+deb12u1", true},
        {"11.4.2-MariaDB", true},
        {"5.5.5-10.11.2-MariaDB", true},
    };
    for (const auto& [version, with_comment] : versions) {
        m_connection.set_version(version);
        const std::string expected = with_comment ? kSchemasWithComment : kSchemasWithoutComment;
        EXPECT_EQ(sql_of(DBObject::SCHEMA, "ignored"), expected) << version;
        EXPECT_EQ(sql_of(DBObject::DATABASE, "it's"), expected) << version;
        EXPECT_EQ(MariaDBExplorer::has_schema_comment(version), with_comment) << version;
    }
}

TEST_F(MariaDBExplorerTest, OtherKindsGiveAnEmptyModelWithoutAQuery) {
    for (DBObject kind : {DBObject::UNKNOWN, DBObject::COLUMN, DBObject::CHECK, DBObject::FOREIGN, DBObject::PRIMARY,
                          DBObject::UNIQUE, DBObject::TABLESPACE, DBObject::SYNONYM, DBObject::TYPE,
                          DBObject::MATERIALIZED, DBObject::SERVER}) {
        auto model = m_explorer->load_objects("shop", "shop", kind, "");
        ASSERT_TRUE(model.has_value()) << to_string(kind);
        ASSERT_NE(*model, nullptr) << to_string(kind);
        EXPECT_EQ((*model)->get_n_items(), 0u) << to_string(kind);
        EXPECT_EQ((*model)->get_columns()->size(), 0u) << to_string(kind);
    }
    EXPECT_TRUE(m_connection.statements().empty());
}

TEST_F(MariaDBExplorerTest, NullArgumentsAreRefusedBeforeAnyQuery) {
    LogCapture log;
    for (const auto& [database, schema, extra, condition] :
         std::vector<std::tuple<std::string_view, std::string_view, std::string_view, std::string>>{
             {{}, "shop", "", "database != NULL"},
             {"shop", {}, "", "schema != NULL"},
             {"shop", "shop", {}, "extra_data != NULL"}}) {
        auto model = m_explorer->load_objects(database, schema, DBObject::TABLE, extra);
        ASSERT_TRUE(model.has_value()) << condition;
        EXPECT_EQ(*model, nullptr) << condition;
        EXPECT_TRUE(log.has_critical(condition)) << condition;
    }
    EXPECT_TRUE(m_connection.statements().empty());
}

}  // namespace
