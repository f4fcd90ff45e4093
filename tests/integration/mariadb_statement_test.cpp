// The MariaDB statement texts run on the sandbox server: listings, sources, paging, rights,
// drops, renames and truncation, with names that only survive when they are quoted properly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/null_connection.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::DBObject;
using Ombrix::Solvane::Supports::Database::mariadb_quote_identifier;
using Ombrix::Solvane::Supports::Database::MariaDBStatement;
using Ombrix::Testing::describe;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::NullConnection;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
namespace Supports = Ombrix::Providers::Supports;

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

// A table name holding a quote, backticks, a blank and a backslash: every quoting context breaks on it.
const std::string kOdd = "it's `odd` \\";

/// A statement factory and a provider on a scratch schema whose name holds a single quote.
class MariaDBStatementOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_schema = std::make_unique<ScratchSchema>("stmt'q");
        m_provider = open_provider(m_schema->name());
        ASSERT_NE(m_provider, nullptr);
        m_statement = MariaDBStatement::create(&m_connection);
    }

    const std::string& db() const { return m_schema->name(); }
    /// `db`.`name`, for setting up.
    std::string in_db(const std::string& name) const {
        return mariadb_quote_identifier(db()) + "." + mariadb_quote_identifier(name);
    }

    /// Every row of `sql` as texts; a failure fails the test and gives no rows.
    Rows rows(const std::string& sql) {
        auto model = m_provider->execute_model(sql, false);
        EXPECT_TRUE(model.has_value()) << sql << ": " << (model ? "" : describe(model.error()));
        Rows out;
        if (!model) return out;
        for (std::size_t r = 0; r < (*model)->get_n_items(); ++r) {
            std::vector<std::string> row;
            for (std::size_t c = 0; c < (*model)->get_columns()->size(); ++c)
                row.push_back((*model)->get_value_at(c, r)->to_string());
            out.push_back(std::move(row));
        }
        return out;
    }

    /// Column `column` of every row of `sql`, sorted. The column is read only once `sql` has been
    /// built, since the statement sets it while the arguments are evaluated in no fixed order.
    Names names(const std::string& sql, const int& column) {
        Names out;
        for (const auto& row : rows(sql)) {
            EXPECT_LT(static_cast<std::size_t>(column), row.size()) << sql;
            if (static_cast<std::size_t>(column) < row.size()) out.push_back(row[column]);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    /// Runs a statement that returns no rows.
    void run(const std::string& sql) {
        auto done = m_provider->execute_affect(sql, false);
        EXPECT_TRUE(done.has_value()) << sql << ": " << (done ? "" : describe(done.error()));
    }

    std::string scalar(const std::string& sql) {
        auto value = m_provider->execute_scalar(sql, false);
        if (!value) return "<error " + describe(value.error()) + ">";
        return (*value)->to_string();
    }

    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Supports::MariaDBProvider> m_provider;
    NullConnection m_connection;
    std::shared_ptr<MariaDBStatement> m_statement;
    int m_column = -1;
};

TEST_F(MariaDBStatementOnServer, ListsTheObjectsOfTheSchema) {
    Sandbox::get().exec(
        "CREATE TABLE " + in_db("parent") + " (id INT PRIMARY KEY, code INT, CONSTRAINT uq_code UNIQUE (code));" +
        "CREATE TABLE " + in_db(kOdd) + " (id INT, parent_id INT, CONSTRAINT ck_id CHECK (id >= 0), " +
        "CONSTRAINT fk_parent FOREIGN KEY (parent_id) REFERENCES " + in_db("parent") + " (id));" +
        "CREATE INDEX ix_odd ON " + in_db(kOdd) + " (id);" +
        "CREATE VIEW " + in_db("v'1") + " AS SELECT id FROM " + in_db("parent") + ";" +
        "CREATE TRIGGER " + in_db("tr`1") + " BEFORE INSERT ON " + in_db("parent") + " FOR EACH ROW SET NEW.code = 1;" +
        "CREATE FUNCTION " + in_db("f'1") + "() RETURNS INT RETURN 1;" +
        "CREATE PROCEDURE " + in_db("p`1") + "() SELECT 1;");
    auto& s = *m_statement;

    EXPECT_EQ(names(s.show_tables(db(), db(), m_column), m_column), (Names{kOdd, "parent"}));
    EXPECT_EQ(names(s.show_views(db(), db(), m_column), m_column), Names{"v'1"});
    EXPECT_EQ(names(s.show_indexes(db(), db(), m_column), m_column),
              (Names{kOdd + ".fk_parent", kOdd + ".ix_odd", "parent.PRIMARY", "parent.uq_code"}));
    EXPECT_EQ(names(s.show_triggers(db(), db(), m_column), m_column), Names{"tr`1"});
    EXPECT_EQ(names(s.show_functions(db(), db(), m_column), m_column), Names{"f'1"});
    EXPECT_EQ(names(s.show_procedures(db(), db(), m_column), m_column), Names{"p`1"});
    EXPECT_EQ(names(s.show_checks(db(), db(), m_column), m_column), Names{"ck_id"});
    EXPECT_EQ(names(s.show_foreigns(db(), db(), m_column), m_column), Names{"fk_parent"});
    EXPECT_EQ(names(s.show_uniques(db(), db(), m_column), m_column), Names{"uq_code"});
    EXPECT_EQ(names(s.show_table_schemas(db(), m_column), m_column), Names{db()});
    EXPECT_EQ(names(s.show_structure(db(), db(), kOdd, m_column), m_column), (Names{"id", "parent_id"}));

    const Names databases = names(s.show_databases(m_column), m_column);
    EXPECT_NE(std::find(databases.begin(), databases.end(), db()), databases.end());

    // The relation of the odd table to its parent: column, constraint, referenced column and table.
    bool found = false;
    for (const auto& row : rows(s.show_relations(db(), db(), kOdd)))
        if (row[1] == "fk_parent") found = row == std::vector<std::string>{"parent_id", "fk_parent", "id", "parent"};
    EXPECT_TRUE(found);

    EXPECT_EQ(scalar(s.call_function(db(), db(), "f'1", "()")), "1");
    EXPECT_EQ(rows(s.call_procedure(db(), db(), "p`1", "()")), (Rows{{"1"}}));
}

TEST_F(MariaDBStatementOnServer, ShowsTheSourceOfEachKindInItsColumn) {
    const std::string user = "stmt_src_" + std::to_string(getpid());
    Sandbox::get().exec(
        "CREATE TABLE " + in_db(kOdd) + " (id INT);" +
        "CREATE VIEW " + in_db("v`") + " AS SELECT 1 AS one;" +
        "CREATE FUNCTION " + in_db("f'") + "() RETURNS INT RETURN 7;" +
        "CREATE PROCEDURE " + in_db("p'") + "() SELECT 1;" +
        "CREATE TRIGGER " + in_db("t`") + " BEFORE INSERT ON " + in_db(kOdd) + " FOR EACH ROW SET NEW.id = 1;" +
        "CREATE EVENT " + in_db("e'") + " ON SCHEDULE EVERY 1 DAY DISABLE DO SELECT 1;" +
        "CREATE SEQUENCE " + in_db("s`") + ";" +
        "CREATE USER '" + user + "'@'localhost';");
    struct Case {
        DBObject kind;
        std::string name;
        std::string expected;  // a piece of the definition
    };
    const Case cases[] = {
        {DBObject::TABLE, kOdd, "CREATE TABLE `it's ``odd`` \\`"},
        {DBObject::VIEW, "v`", "AS select 1 AS `one`"},
        {DBObject::FUNCTION, "f'", "RETURN 7"},
        {DBObject::PROCEDURE, "p'", "SELECT 1"},
        {DBObject::TRIGGER, "t`", "SET NEW.id = 1"},
        {DBObject::EVENT, "e'", "ON SCHEDULE EVERY 1 DAY"},
        {DBObject::SEQUENCE, "s`", "CREATE SEQUENCE"},
        {DBObject::USER, user + "@localhost", "CREATE USER `" + user + "`@`localhost`"},
    };
    for (const Case& c : cases) {
        const std::string sql = m_statement->show_source(c.kind, db(), db(), c.name, m_column);
        const Rows result = rows(sql);
        ASSERT_EQ(result.size(), 1u) << sql;
        ASSERT_LT(static_cast<std::size_t>(m_column), result[0].size()) << sql;
        EXPECT_NE(result[0][m_column].find(c.expected), std::string::npos) << sql << "\n" << result[0][m_column];
    }
    Sandbox::get().exec("DROP USER '" + user + "'@'localhost'");
}

TEST_F(MariaDBStatementOnServer, PagesCountsAndEmptiesATable) {
    run("CREATE TABLE " + in_db(kOdd) + " (id INT PRIMARY KEY, v VARCHAR(100));" + "INSERT INTO " + in_db(kOdd) +
        " SELECT seq, CONCAT('r', seq) FROM seq_1_to_10;");
    auto& s = *m_statement;

    EXPECT_EQ(rows(s.show_content(db(), db(), kOdd, "id, v", "", "id DESC", 3, 2)), (Rows{{"7", "r7"}, {"6", "r6"}}));
    EXPECT_EQ(rows(s.show_content(db(), db(), kOdd, "id", "id > 4", "id", 0, 3)), (Rows{{"5"}, {"6"}, {"7"}}));
    EXPECT_EQ(rows(s.show_content(db(), db(), kOdd, "id", "id > 4", "id", 10, 3)), Rows{});
    // Without a limit the text is left open for the caller; run as it is, it returns every row.
    EXPECT_EQ(rows(s.show_content(db(), db(), kOdd, "*", "", "", 0, 0)).size(), 10u);

    EXPECT_EQ(scalar(s.show_effected(db(), db(), kOdd, "")), "10");
    EXPECT_EQ(scalar(s.show_effected(db(), db(), kOdd, "id <= 3")), "3");

    // Values packed for their type come back as they went in, backslashes and quotes included.
    const std::vector<std::string> texts{"it's", "ends in \\", "\\'; DROP TABLE x; -- ", "a''b"};
    int id = 100;
    for (const std::string& text : texts) {
        run(s.build_sql_insert(db(), kOdd, {"id", "v"},
                               {s.pack_value(DataType::INT32, std::to_string(id)), s.pack_value(DataType::STRING, text)}));
        EXPECT_EQ(scalar("SELECT v FROM " + in_db(kOdd) + " WHERE id = " + std::to_string(id)), text);
        ++id;
    }
    EXPECT_EQ(scalar("SELECT HEX(" + s.pack_value(DataType::BLOB, "00FF27") + ")"), "00FF27");
    {
        // Text that is not hex digits stays inside its literal: the server refuses the statement.
        LogCapture log;
        auto refused = m_provider->execute_scalar("SELECT " + s.pack_value(DataType::BLOB, "0'; SELECT '1"), false);
        ASSERT_FALSE(refused.has_value());
        EXPECT_EQ(refused.error().code, 1064);
    }

    run(s.empty_table(db(), db(), kOdd));
    EXPECT_EQ(scalar(s.show_effected(db(), db(), kOdd, "")), "0");
}

TEST_F(MariaDBStatementOnServer, DropsAndRenamesOnlyInTheNamedSchema) {
    // The provider's current database is this test's schema; the objects to change live in another
    // schema where a same-named twin of each exists.
    ScratchSchema other("stmt_other");
    const std::string o = mariadb_quote_identifier(other.name()) + ".";
    const std::string twins =
        "CREATE TABLE {}t (id INT); CREATE TABLE {}" + mariadb_quote_identifier(kOdd) + " (id INT);" +
        "CREATE INDEX ix ON {}t (id); CREATE VIEW {}v AS SELECT 1 AS one;" +
        "CREATE TRIGGER {}tr BEFORE INSERT ON {}t FOR EACH ROW SET NEW.id = 1;" +
        "CREATE FUNCTION {}f() RETURNS INT RETURN 1; CREATE PROCEDURE {}p() SELECT 1;" +
        "CREATE EVENT {}e ON SCHEDULE EVERY 1 DAY DISABLE DO SELECT 1;";
    auto fill = [&](const std::string& prefix) {
        std::string sql = twins;
        for (auto pos = sql.find("{}"); pos != std::string::npos; pos = sql.find("{}", pos + prefix.size()))
            sql.replace(pos, 2, prefix);
        Sandbox::get().exec(sql);
    };
    fill(mariadb_quote_identifier(db()) + ".");
    fill(o);
    auto& s = *m_statement;
    const std::string target = other.name();

    run(s.drop_object(DBObject::INDEX, target, target, "t", "ix"));
    run(s.drop_object(DBObject::TRIGGER, target, target, "tr", ""));
    run(s.drop_object(DBObject::VIEW, target, target, "v", ""));
    run(s.drop_object(DBObject::FUNCTION, target, target, "f", ""));
    run(s.drop_object(DBObject::PROCEDURE, target, target, "p", ""));
    run(s.drop_object(DBObject::EVENT, target, target, "e", ""));
    run(s.drop_object(DBObject::TABLE, target, target, kOdd, ""));
    run(s.rename_object(DBObject::TABLE, target, target, "t", kOdd + "2"));

    auto listing = [&](const std::string& schema) {
        Names all;
        for (const auto& n : names(s.show_tables(schema, schema, m_column), m_column)) all.push_back("table " + n);
        for (const auto& n : names(s.show_views(schema, schema, m_column), m_column)) all.push_back("view " + n);
        for (const auto& n : names(s.show_indexes(schema, schema, m_column), m_column)) all.push_back("index " + n);
        for (const auto& n : names(s.show_triggers(schema, schema, m_column), m_column)) all.push_back("trigger " + n);
        for (const auto& n : names(s.show_functions(schema, schema, m_column), m_column)) all.push_back("function " + n);
        for (const auto& n : names(s.show_procedures(schema, schema, m_column), m_column)) all.push_back("procedure " + n);
        all.push_back("events " + scalar("SELECT COUNT(*) FROM information_schema.events WHERE event_schema = '" +
                                         Ombrix::Solvane::Supports::Database::mariadb_escape_literal(schema) + "'"));
        std::sort(all.begin(), all.end());
        return all;
    };
    EXPECT_EQ(listing(target), (Names{"events 0", "table " + kOdd + "2"}));
    EXPECT_EQ(listing(db()), (Names{"events 1", "function f", "index t.ix", "procedure p", "table " + kOdd, "table t",
                                    "trigger tr", "view v"})) << "the current database was touched";

    run(s.drop_object(DBObject::DATABASE, "", "", target, ""));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM information_schema.schemata WHERE schema_name = '" + target + "'"), "0");

    // A database name that needs backticks can still be made current.
    run(s.change_database(db()));
    EXPECT_EQ(scalar("SELECT DATABASE()"), db());
}

/// Removes the test's accounts even when an assertion ends the test early.
struct AccountCleanup {
    std::vector<std::string> accounts;
    ~AccountCleanup() {
        for (const auto& account : accounts) Sandbox::get().exec("DROP USER IF EXISTS " + account);
    }
};

TEST_F(MariaDBStatementOnServer, GrantsAndRevokesRightsOfUsersAndRoles) {
    const std::string pid = std::to_string(getpid());
    const std::string user = "o'k`u_" + pid;  // a quote and a backtick in the account name
    const std::string role = "o'k`r_" + pid;
    const std::string renamed = "renamed_" + pid;
    AccountCleanup cleanup{{"`o'k``u_" + pid + "`@`localhost`", "`o'k``r_" + pid + "`", "`" + renamed + "`@`%`"}};
    Sandbox::get().exec("CREATE USER `o'k``u_" + pid + "`@`localhost`; CREATE ROLE `o'k``r_" + pid + "`");
    auto& s = *m_statement;
    const std::string account = user + "@localhost";
    const std::string object = mariadb_quote_identifier(db()) + ".*";
    auto grants = [&](const std::string& sql) {
        std::string all;
        for (const auto& row : rows(sql)) all += row[0] + "\n";
        return all;
    };

    const Names users = names(s.show_users("", "", m_column), m_column);
    EXPECT_NE(std::find(users.begin(), users.end(), account), users.end());
    const Names roles = names(s.show_roles("", "", m_column), m_column);
    EXPECT_NE(std::find(roles.begin(), roles.end(), role), roles.end());

    const Rows detail = rows(s.show_user_detail("", "", account));
    ASSERT_EQ(detail.size(), 1u);
    EXPECT_EQ(detail[0].size(), 17u);
    EXPECT_EQ(detail[0][0], "localhost");
    EXPECT_EQ(detail[0][1], user);
    EXPECT_EQ(rows(s.show_role_detail("", "", role)), (Rows{{"", role}}));

    run(s.grant_user_rights("", "", account, "SELECT, INSERT, GRANT OPTION", object));
    std::string text = grants(s.show_user_rights("", "", account));
    EXPECT_NE(text.find("GRANT SELECT, INSERT ON " + object), std::string::npos) << text;
    EXPECT_NE(text.find("WITH GRANT OPTION"), std::string::npos) << text;
    run(s.revoke_user_rights("", "", account, "INSERT, GRANT OPTION", object));
    text = grants(s.show_user_rights("", "", account));
    EXPECT_NE(text.find("GRANT SELECT ON " + object), std::string::npos) << text;
    EXPECT_EQ(text.find("GRANT OPTION"), std::string::npos) << text;

    run(s.grant_role_rights("", "", role, "UPDATE", object));
    text = grants(s.show_role_rights("", "", role));
    EXPECT_NE(text.find("GRANT UPDATE ON " + object), std::string::npos) << text;
    run(s.revoke_role_rights("", "", role, "UPDATE", object));
    EXPECT_EQ(grants(s.show_role_rights("", "", role)).find("UPDATE"), std::string::npos);

    int context = -1;
    const Rows privileges = rows(s.show_privileges(m_column, context));
    ASSERT_FALSE(privileges.empty());
    EXPECT_EQ(privileges[0][m_column], "Alter");
    EXPECT_EQ(privileges[0][context], "Tables");
    run(s.flush_privileges());

    // Rename to an account on any host ("%" needs quoting), then drop both kinds.
    run(s.rename_object(DBObject::USER, "", "", account, renamed + "@%"));
    EXPECT_EQ(rows(s.show_user_detail("", "", renamed)).size(), 1u);
    run(s.drop_object(DBObject::USER, "", "", renamed + "@%", ""));
    run(s.drop_object(DBObject::ROLE, "", "", role, ""));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE user IN ('" + renamed + "', 'o''k`r_" + pid + "')"),
              "0");
}


// Bare names are kept for ordinary names only: one the server would read as a number or as a
// reserved word has to go in backticks to be read as a name.
TEST_F(MariaDBStatementOnServer, NamesReadAsNumbersOrReservedWordsStayNames) {
    auto& s = *m_statement;
    ScratchSchema numeric("1e5");  // bare, "1e5_..." starts with the number 1e5
    run(s.change_database(numeric.name()));
    EXPECT_EQ(scalar("SELECT DATABASE()"), numeric.name());

    const std::string host = "h" + std::to_string(getpid());
    AccountCleanup cleanup{{"`select`@`" + host + "`", "`desc`@`" + host + "`"}};
    Sandbox::get().exec("CREATE USER `select`@`" + host + "`");
    run(s.rename_object(DBObject::USER, "", "", "select@" + host, "desc@" + host));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE user = 'desc' AND host = '" + host + "'"), "1");
    run(s.drop_object(DBObject::USER, "", "", "desc@" + host, ""));
}

}  // namespace
