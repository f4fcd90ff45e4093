#include "solvane/Supports/Database/statement.hpp"

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
using Ombrix::Solvane::Contracts::Database::StringArray;
using Ombrix::Solvane::Supports::Database::Statement;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::NullConnection;

class StatementTest : public ::testing::Test {
protected:
    NullConnection m_connection;
    std::shared_ptr<Statement> m_statement = Statement::create(&m_connection);
    IStatement& s() { return *m_statement; }
};

TEST_F(StatementTest, KeepsItsConnectionAndRefusesNone) {
    ASSERT_NE(m_statement, nullptr);
    EXPECT_EQ(m_statement->get_connection(), &m_connection);
    EXPECT_EQ(m_statement->type_name(), "OmbrixSolvaneSupportsDatabaseStatement");
    EXPECT_EQ(TypeInfo::lookup("OmbrixSolvaneSupportsDatabaseStatement"), &Statement::static_type());

    LogCapture log;
    EXPECT_EQ(Statement::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("connection != NULL"));
}

TEST_F(StatementTest, BuildsAnOdbcConnectionStringInFieldOrder) {
    auto server = Server::create();
    server->set_driver("MariaDB");
    server->set_host("db1");
    server->set_initial("shop");
    server->set_port(3307);
    server->set_username("bob");
    server->set_password("pw");
    EXPECT_EQ(s().build_connection_string(server), "DRIVER={MariaDB};SERVER=db1;DATABASE=shop;PORT=3307;UID=bob;PWD=pw;");

    LogCapture log;
    EXPECT_EQ(s().build_connection_string(nullptr), "");
    EXPECT_TRUE(log.has_critical("server != NULL"));
}

TEST_F(StatementTest, DialectOperationsGiveNoTextAndResetTheColumn) {
    int column = 7;
    auto listed = [&](const std::string& text, const char* what) {
        EXPECT_EQ(text, "") << what;
        EXPECT_EQ(column, 0) << what;
        column = 7;
    };
    listed(s().show_databases(column), "show_databases");
    listed(s().show_tables("db", "db", column), "show_tables");
    listed(s().show_views("db", "db", column), "show_views");
    listed(s().show_table_spaces("db", column), "show_table_spaces");
    listed(s().show_table_schemas("db", column), "show_table_schemas");
    listed(s().show_checks("db", "db", column), "show_checks");
    listed(s().show_excludes("db", "db", column), "show_excludes");
    listed(s().show_foreigns("db", "db", column), "show_foreigns");
    listed(s().show_rules("db", "db", column), "show_rules");
    listed(s().show_uniques("db", "db", column), "show_uniques");
    listed(s().show_indexes("db", "db", column), "show_indexes");
    listed(s().show_triggers("db", "db", column), "show_triggers");
    listed(s().show_functions("db", "db", column), "show_functions");
    listed(s().show_procedures("db", "db", column), "show_procedures");
    listed(s().show_source(DBObject::TABLE, "db", "db", "t", column), "show_source");
    listed(s().show_structure("db", "db", "t", column), "show_structure");
    listed(s().show_users("db", "db", column), "show_users");
    listed(s().show_roles("db", "db", column), "show_roles");
    int context = 7;
    listed(s().show_privileges(column, context), "show_privileges");
    EXPECT_EQ(context, 0);

    EXPECT_EQ(s().change_database("db"), "");
    EXPECT_EQ(s().call_function("db", "db", "f", "(1)"), "");
    EXPECT_EQ(s().call_procedure("db", "db", "p", "()"), "");
    EXPECT_EQ(s().show_content("db", "db", "t", "*", "", "", 0, 10), "");
    EXPECT_EQ(s().show_user_detail("db", "db", "bob@localhost"), "");
    EXPECT_EQ(s().show_role_detail("db", "db", "r"), "");
    EXPECT_EQ(s().show_user_rights("db", "db", "bob@localhost"), "");
    EXPECT_EQ(s().show_role_rights("db", "db", "r"), "");
    EXPECT_EQ(s().grant_user_rights("db", "db", "bob", "SELECT", "db.*"), "");
    EXPECT_EQ(s().revoke_user_rights("db", "db", "bob", "SELECT", "db.*"), "");
    EXPECT_EQ(s().grant_role_rights("db", "db", "r", "SELECT", "db.*"), "");
    EXPECT_EQ(s().revoke_role_rights("db", "db", "r", "SELECT", "db.*"), "");
    EXPECT_EQ(s().flush_privileges(), "");
    EXPECT_EQ(s().show_effected("db", "db", "t", ""), "");
    EXPECT_EQ(s().show_relations("db", "db", "t"), "");
    EXPECT_EQ(s().rename_object(DBObject::TABLE, "db", "db", "a", "b"), "");
    EXPECT_EQ(s().drop_object(DBObject::TABLE, "db", "db", "a", ""), "");
    EXPECT_EQ(s().empty_table("db", "db", "t"), "");
}

TEST_F(StatementTest, RefusesANullTextArgumentOfEveryOperationByName) {
    Ombrix::Testing::expect_null_texts_refused(s());
}

TEST_F(StatementTest, PortableTextsIgnoreFormatAndName) {
    EXPECT_EQ(s().build_explain("SELECT 1", "JSON"), "EXPLAIN SELECT 1;");
    EXPECT_EQ(s().build_analyze("SELECT 1", "JSON"), "ANALYZE SELECT 1;");
    EXPECT_EQ(s().transaction("t1"), "START TRANSACTION;");
    EXPECT_EQ(s().rollback("t1"), "ROLLBACK;");
    EXPECT_EQ(s().commit("t1"), "COMMIT;");
}

TEST_F(StatementTest, PacksValuesByType) {
    for (DataType type : {DataType::BOOLEAN, DataType::INT8, DataType::INT16, DataType::INT32, DataType::INT64,
                          DataType::UINT8, DataType::UINT16, DataType::UINT32, DataType::UINT64, DataType::ENUM,
                          DataType::SET, DataType::MONEY, DataType::FLOAT, DataType::DOUBLE, DataType::OBJECT})
        EXPECT_EQ(s().pack_value(type, "12.5"), "12.5") << static_cast<int>(type);
    EXPECT_EQ(s().pack_value(DataType::BINARY, "0AFF"), "X'0AFF'");
    EXPECT_EQ(s().pack_value(DataType::BLOB, ""), "X''");
    EXPECT_EQ(s().pack_value(DataType::DECIMAL, "12.5"), "'12.5'");
    EXPECT_EQ(s().pack_value(DataType::STRING, "it's"), "'it''s'");
    EXPECT_EQ(s().pack_value(DataType::DATETIME, "2024-01-02 03:04:05"), "'2024-01-02 03:04:05'");
    // Standard SQL has no backslash escapes: the portable form leaves backslashes alone.
    EXPECT_EQ(s().pack_value(DataType::STRING, "a\\"), "'a\\'");
}

TEST_F(StatementTest, QuotesIdentifiersWithDoubleQuotesInFourShapes) {
    EXPECT_EQ(s().quote_identifier("", ""), "\"\"");
    EXPECT_EQ(s().quote_identifier("", "s"), "\"s\".\"\"");
    EXPECT_EQ(s().quote_identifier("t", ""), "\"t\"");
    EXPECT_EQ(s().quote_identifier("t", "s"), "\"s\".\"t\"");
    EXPECT_EQ(s().quote_identifier("a\"b", "s\""), "\"s\"\"\".\"a\"\"b\"");
}

TEST_F(StatementTest, BuildsRowStatementsWithTheQuotedTable) {
    const StringArray columns{"\"id\"", "\"name\""};
    const StringArray values{"1", "'x'"};
    EXPECT_EQ(s().build_sql_insert("s", "t", columns, values), "INSERT INTO \"s\".\"t\"(\"id\", \"name\") VALUES(1, 'x');");
    EXPECT_EQ(s().build_sql_insert("", "t", {}, {}), "INSERT INTO \"t\"() VALUES();");

    EXPECT_EQ(s().build_sql_update("s", "t", columns, values, {"\"id\"", "\"k\""}, {"1", "2"}),
              "UPDATE \"s\".\"t\" SET \"id\"=1, \"name\"='x' WHERE \"id\"=1 AND \"k\"=2;");
    EXPECT_EQ(s().build_sql_update("", "t", {"a"}, {"1"}, {}, {}), "UPDATE \"t\" SET a=1;");

    EXPECT_EQ(s().build_sql_delete("s", "t", {"\"id\""}, {"1"}), "DELETE FROM \"s\".\"t\" WHERE \"id\"=1;");
    EXPECT_EQ(s().build_sql_delete("", "t", {}, {}), "DELETE FROM \"t\";");
}

TEST_F(StatementTest, RefusesKeyAndValueListsOfDifferentLengths) {
    LogCapture log;
    EXPECT_EQ(s().build_sql_update("", "t", {"a", "b"}, {"1"}, {}, {}), "");
    EXPECT_EQ(s().build_sql_update("", "t", {"a"}, {"1"}, {"k"}, {}), "");
    EXPECT_EQ(s().build_sql_delete("", "t", {"k1", "k2"}, {"1"}), "");
    EXPECT_EQ(log.criticals().size(), 3u);
}

TEST_F(StatementTest, BuildsViewsInBackticksWithoutSemicolon) {
    EXPECT_EQ(s().build_sql_view("", "v", "SELECT 1"), "CREATE VIEW `v` AS SELECT 1");
    EXPECT_EQ(s().build_sql_view("s", "v", "SELECT 1"), "CREATE VIEW `s`.`v` AS SELECT 1");
    EXPECT_EQ(s().build_sql_view("s`", "v`1", "SELECT 1"), "CREATE VIEW `s```.`v``1` AS SELECT 1");
}

}  // namespace
