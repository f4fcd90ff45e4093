// The MariaDB adapter against the sandbox server: one schema holding an object of every kind,
// filled object by object and all at once, and compared with what was created.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "solvane/Model/index.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/provider_connection.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using namespace Ombrix::Solvane::MetaModel;
using Ombrix::Solvane::Supports::Database::mariadb_escape_literal;
using Ombrix::Solvane::Supports::Database::mariadb_quote_identifier;
using Ombrix::Solvane::Supports::Database::MariaDBAdapter;
using Ombrix::Solvane::Supports::Database::choose_adapter_variant;
using Ombrix::Solvane::Supports::Database::MariaDBAdapterBelowV105;
using Ombrix::Solvane::Supports::Database::MariaDBAdapterVariant;
using Ombrix::Testing::describe;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::ProviderConnection;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;

using Names = std::vector<std::string>;

// A table name holding a quote, backticks, a blank and a backslash.
const std::string kOdd = "it's `odd` \\";

// Everything the tests read, created once per test process. Two tables carry a check of the same
// name; "a_b" has a look-alike "axb" that a LIKE pattern with a bare "_" would also match, and
// "axb" has a unique key named like the foreign key of "kinds".
const char* const kObjects[] = {
    "CREATE TABLE `parent` (a INT NOT NULL, b VARCHAR(10) NOT NULL, PRIMARY KEY (b, a)) ENGINE=InnoDB "
    "COMMENT='parents'",
    "CREATE TABLE `kinds` ("
    " id INT(10) UNSIGNED NOT NULL AUTO_INCREMENT,"
    " z INT(6) UNSIGNED ZEROFILL,"
    " price DECIMAL(10,2) NOT NULL DEFAULT 0.00 COMMENT 'gross',"
    " at DATETIME(3) NULL,"
    " stamp TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP,"
    " colour ENUM('red','dark-blue') DEFAULT 'red',"
    " flags SET('x','y.z'),"
    " doubled INT AS (z * 2) VIRTUAL,"
    " kept INT AS (z + 1) PERSISTENT,"
    " note TEXT CHARACTER SET latin1 COLLATE latin1_swedish_ci,"
    " pa INT, pb VARCHAR(10),"
    " PRIMARY KEY (id),"
    " UNIQUE KEY uq_price_at (price, at),"
    " FULLTEXT KEY ft_note (note) COMMENT 'words',"
    " CONSTRAINT fk_parent FOREIGN KEY (pb, pa) REFERENCES parent (b, a) ON DELETE CASCADE ON UPDATE SET NULL,"
    " CONSTRAINT positive CHECK (price >= 0)"
    ") ENGINE=InnoDB ROW_FORMAT=DYNAMIC COMMENT='all kinds'",
    "CREATE TABLE `a_b` (x INT, mode SET('signed','unsigned','zerofill')) ENGINE=MyISAM COMMENT='underscore'",
    "CREATE TABLE `axb` (x INT, UNIQUE KEY fk_parent (x)) ENGINE=InnoDB COMMENT='lookalike'",
    "CREATE TABLE `it's ``odd`` \\` (`col 1` INT, CONSTRAINT positive CHECK (`col 1` > 0), INDEX `ix odd` "
    "(`col 1`)) ENGINE=InnoDB",
    "CREATE TRIGGER kinds_bi BEFORE INSERT ON kinds FOR EACH ROW BEGIN SET NEW.note = 'first'; END",
    "CREATE TRIGGER `kinds_bi'2` BEFORE INSERT ON kinds FOR EACH ROW FOLLOWS kinds_bi SET NEW.pa = NULL",
    "CREATE ALGORITHM=MERGE DEFINER=`root`@`localhost` SQL SECURITY INVOKER VIEW `priced` AS SELECT id, price "
    "FROM kinds WHERE price > 0 WITH CASCADED CHECK OPTION",
    "CREATE VIEW `my view` AS SELECT a FROM parent",
    "CREATE DEFINER=`odd-user`@`10.0.%` VIEW `v-odd` AS SELECT 1 AS one",
    // Queries that do not start with SELECT, and a literal that reads like a check clause.
    "CREATE VIEW `v_cte` AS WITH c AS (SELECT a FROM parent) SELECT a FROM c",
    "CREATE VIEW `v_union` AS (SELECT a FROM parent) UNION (SELECT x FROM axb)",
    "CREATE VIEW `v_literal` AS SELECT 'WITH LOCAL CHECK OPTION' AS w, id FROM kinds WHERE id > 0 WITH CASCADED "
    "CHECK OPTION",
    // Its name holds the words that mark a grant made with the grant option.
    "CREATE TABLE `grant option` (x INT)",
    "CREATE FUNCTION f_add(a INT, b INT) RETURNS INT DETERMINISTIC COMMENT 'adds' RETURN a + b",
    "CREATE FUNCTION f_block(x INT) RETURNS VARCHAR(20) READS SQL DATA BEGIN RETURN CONCAT('v', x); END",
    "CREATE FUNCTION f_none() RETURNS INT RETURN 1",
    "CREATE PROCEDURE p_io(IN a INT, OUT b INT, INOUT c INT) BEGIN SET b = a; SET c = c + a; END",
    "CREATE EVENT e_once ON SCHEDULE AT '2030-01-01 00:00:00' ON COMPLETION PRESERVE DISABLE COMMENT 'once' DO "
    "DELETE FROM kinds",
    "CREATE EVENT e_daily ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DO UPDATE kinds SET note = 'x'",
};

class MariaDBAdapterOnServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_schema = new ScratchSchema("adapt'q");
        s_user = "adapt_bob_" + std::to_string(getpid());
        s_role = "adapt_reader_" + std::to_string(getpid());
        std::string sql = "USE " + mariadb_quote_identifier(db()) + ";ALTER DATABASE " +
                          mariadb_quote_identifier(db()) + " COMMENT 'scratch';";
        for (const char* object : kObjects) sql += std::string(object) + ";";
        const std::string user = mariadb_quote_identifier(s_user) + "@'%'";
        const std::string role = mariadb_quote_identifier(s_role);
        sql += "DROP USER IF EXISTS " + user + ";DROP ROLE IF EXISTS " + role + ";CREATE USER " + user +
               " IDENTIFIED BY 'pw' REQUIRE ISSUER '/CN=ca' AND SUBJECT '/CN=bob' AND CIPHER 'AES256-SHA' WITH "
               "MAX_QUERIES_PER_HOUR 10 MAX_UPDATES_PER_HOUR 20 MAX_CONNECTIONS_PER_HOUR 5 MAX_USER_CONNECTIONS 3;"
               "CREATE ROLE " + role + ";GRANT SELECT ON " + mariadb_quote_identifier(db()) + ".* TO " + role +
               ";GRANT " + role + " TO " + user + " WITH ADMIN OPTION;GRANT INSERT, UPDATE ON " +
               mariadb_quote_identifier(db()) + ".`kinds` TO " + user + " WITH GRANT OPTION;GRANT SELECT ON " +
               mariadb_quote_identifier(db()) + ".`grant option` TO " + user + ";";
        Sandbox::get().exec(sql);
    }
    static void TearDownTestSuite() {
        Sandbox::get().exec("DROP USER IF EXISTS " + mariadb_quote_identifier(s_user) + "@'%';DROP ROLE IF EXISTS " +
                            mariadb_quote_identifier(s_role));
        delete s_schema;
        s_schema = nullptr;
    }

    void SetUp() override {
        // The current database is another one, so nothing may rely on it.
        m_provider = open_provider("information_schema");
        ASSERT_NE(m_provider, nullptr);
        m_connection = std::make_unique<ProviderConnection>(m_provider);
        m_adapter = MariaDBAdapter::create(m_connection.get());
    }

    static const std::string& db() { return s_schema->name(); }
    std::shared_ptr<MetaTable> table(const std::string& name) { return MetaTable::with_names(db(), db(), name); }
    /// Fills `name` recursively object by object; fails the test on error.
    std::shared_ptr<MetaTable> filled_table(const std::string& name) {
        auto object = table(name);
        auto status = m_adapter->fill_meta_table(object, true);
        EXPECT_TRUE(status.has_value()) << name << ": " << describe(status.error());
        EXPECT_TRUE(object->is_filled());
        return object;
    }

    static inline ScratchSchema* s_schema = nullptr;
    static inline std::string s_user;
    static inline std::string s_role;
    std::shared_ptr<Ombrix::Providers::Supports::MariaDBProvider> m_provider;
    std::unique_ptr<ProviderConnection> m_connection;
    std::shared_ptr<MariaDBAdapter> m_adapter;
};

template <class T>
std::shared_ptr<T> find_named(const std::shared_ptr<Ombrix::Core::ListModel<T>>& list, const std::string& name) {
    for (const auto& item : *list)
        if (item->get_name() == name) return item;
    return nullptr;
}

template <class T>
Names names_of(const std::shared_ptr<Ombrix::Core::ListModel<T>>& list) {
    Names names;
    for (const auto& item : *list) names.push_back(item->get_name());
    return names;
}

TEST_F(MariaDBAdapterOnServer, TableColumnsKeepEveryAttribute) {
    auto kinds = filled_table("kinds");
    const auto column = [&](const char* name) {
        auto found = kinds->get_column(name);
        EXPECT_NE(found, nullptr) << name;
        return found ? found : MetaColumn::create();
    };
    EXPECT_EQ(names_of(kinds->get_columns()), (Names{"id", "z", "price", "at", "stamp", "colour", "flags", "doubled",
                                                     "kept", "note", "pa", "pb"}));
    auto id = column("id");
    EXPECT_EQ(id->get_raw_type(), "INT");
    EXPECT_EQ(id->get_ordinal(), 1u);
    EXPECT_TRUE(id->get_is_unsigned() && id->get_auto_increment() && id->get_not_null() && id->get_is_primary_key());
    EXPECT_EQ(id->get_primary_ordinal(), 1u);
    EXPECT_EQ(id->get_after(), "");
    EXPECT_NE(id->get_data_type(), Ombrix::Providers::Contracts::DataType::UNKNOWN);
    EXPECT_TRUE(column("z")->get_is_fill_zero());
    EXPECT_TRUE(column("z")->get_is_unsigned());
    EXPECT_FALSE(column("z")->get_is_primary_key());
    auto price = column("price");
    EXPECT_EQ(price->get_raw_type(), "DECIMAL");
    EXPECT_EQ(price->get_length(), 10u);
    EXPECT_EQ(price->get_scale(), 2u);
    EXPECT_EQ(price->get_default_value(), "0.00");
    EXPECT_EQ(price->get_comment(), "gross");
    EXPECT_EQ(price->get_after(), "z");
    EXPECT_EQ(column("at")->get_scale(), 3u);
    EXPECT_FALSE(column("at")->get_not_null());
    EXPECT_TRUE(column("stamp")->get_update_timestamp());
    EXPECT_EQ(column("colour")->get_enum_values(), "'red','dark-blue'");
    EXPECT_EQ(column("colour")->get_default_value(), "'red'");
    EXPECT_EQ(column("flags")->get_enum_values(), "'x','y.z'");
    for (const char* name : {"doubled", "kept"}) {
        EXPECT_TRUE(column(name)->get_is_virtual()) << name;
        EXPECT_TRUE(column(name)->get_is_generated_always()) << name;
    }
    EXPECT_EQ(column("doubled")->get_virtual_type(), "VIRTUAL");
    EXPECT_EQ(column("doubled")->get_expression(), "`z` * 2");
    EXPECT_EQ(column("kept")->get_virtual_type(), "STORED");
    EXPECT_FALSE(column("pa")->get_is_virtual());
    EXPECT_EQ(column("note")->get_charset(), "latin1");
    EXPECT_EQ(column("note")->get_collation(), "latin1_swedish_ci");
    EXPECT_EQ(column("pb")->get_length(), 10u);
    EXPECT_EQ(column("pb")->get_raw_type(), "VARCHAR");

    auto parent = filled_table("parent");
    EXPECT_TRUE(parent->get_column("a")->get_is_primary_key());
    EXPECT_TRUE(parent->get_column("b")->get_is_primary_key());
    // Declared as PRIMARY KEY (b, a): the key's order, not the table's.
    EXPECT_EQ(parent->get_column("b")->get_primary_ordinal(), 1);
    EXPECT_EQ(parent->get_column("a")->get_primary_ordinal(), 2);
    EXPECT_TRUE(parent->get_indexes()->empty());  // the primary key is not an index
    EXPECT_EQ(parent->get_comment(), "parents");
}

TEST_F(MariaDBAdapterOnServer, TableKeysTriggersChecksAndOptions) {
    auto kinds = filled_table("kinds");
    auto unique = find_named(kinds->get_indexes(), "uq_price_at");
    ASSERT_NE(unique, nullptr);
    EXPECT_EQ(unique->get_kind(), "UNIQUE");
    // The catalogue names a method for every index; the table gave none.
    EXPECT_EQ(unique->get_method(), "");
    EXPECT_EQ(unique->get_columns(), (Names{"price", "at"}));
    auto words = find_named(kinds->get_indexes(), "ft_note");
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words->get_kind(), "");
    EXPECT_EQ(words->get_method(), "FULLTEXT");
    EXPECT_EQ(words->get_comment(), "words");
    EXPECT_EQ(find_named(kinds->get_indexes(), "PRIMARY"), nullptr);

    ASSERT_EQ(names_of(kinds->get_triggers()), (Names{"kinds_bi", "kinds_bi'2"}));  // FOLLOWS order
    auto first = kinds->get_triggers()->get(0);
    EXPECT_EQ(first->get_timing(), "BEFORE");
    EXPECT_EQ(first->get_event(), "INSERT");
    EXPECT_EQ(first->get_for_each(), "ROW");
    EXPECT_EQ(first->get_body(), "BEGIN SET NEW.note = 'first'; END");

    // One foreign key for the two columns, its lists in key order.
    std::vector<std::shared_ptr<MetaForeignKey>> keys;
    std::vector<std::shared_ptr<MetaCheck>> checks;
    for (const auto& constraint : *kinds->get_constraints()) {
        if (auto key = std::dynamic_pointer_cast<MetaForeignKey>(constraint)) keys.push_back(key);
        if (auto check = std::dynamic_pointer_cast<MetaCheck>(constraint)) checks.push_back(check);
    }
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0]->get_name(), "fk_parent");
    EXPECT_EQ(keys[0]->get_local_columns(), "pb,pa");
    EXPECT_EQ(keys[0]->get_refer_columns(), "b,a");
    EXPECT_EQ(keys[0]->get_refer_schema(), db());
    EXPECT_EQ(keys[0]->get_refer_table(), "parent");
    EXPECT_EQ(keys[0]->get_update_action(), "SET NULL");
    EXPECT_EQ(keys[0]->get_delete_action(), "CASCADE");
    EXPECT_EQ(keys[0]->get_match_method(), "");
    // The other table's check of the same name stays with its table.
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0]->get_name(), "positive");
    EXPECT_EQ(checks[0]->get_check(), "`price` >= 0");
    EXPECT_FALSE(checks[0]->get_enforced());

    EXPECT_EQ(kinds->get_options().at("ENGINE"), "InnoDB");
    // The row format the table was created with, as it was given.
    EXPECT_EQ(kinds->get_options().at("ROW_FORMAT"), "DYNAMIC");
    EXPECT_EQ(kinds->get_options().at("COLLATE"), "utf8mb4_general_ci");
    EXPECT_EQ(kinds->get_options().at("CHARACTER SET"), "utf8mb4");
    EXPECT_TRUE(kinds->get_options().contains("AVG_ROW_LENGTH"));
    EXPECT_EQ(kinds->get_comment(), "all kinds");

    // "_" is not a wildcard, and the table is read in its own schema.
    auto underscore = filled_table("a_b");
    EXPECT_EQ(underscore->get_options().at("ENGINE"), "MyISAM");
    EXPECT_EQ(underscore->get_comment(), "underscore");
    // Values that spell type words do not make the column unsigned or zero-filled.
    auto mode = underscore->get_column("mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->get_enum_values(), "'signed','unsigned','zerofill'");
    EXPECT_FALSE(mode->get_is_unsigned());
    EXPECT_FALSE(mode->get_is_fill_zero());

    auto odd = filled_table(kOdd);
    EXPECT_EQ(names_of(odd->get_columns()), (Names{"col 1"}));
    auto odd_index = find_named(odd->get_indexes(), "ix odd");
    ASSERT_NE(odd_index, nullptr);
    EXPECT_EQ(odd_index->get_columns(), (Names{"col 1"}));
    ASSERT_EQ(odd->get_constraints()->size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<MetaCheck>(odd->get_constraints()->get(0))->get_check(), "`col 1` > 0");
    EXPECT_EQ(odd->get_comment(), "");
    EXPECT_EQ(odd->get_options().at("ENGINE"), "InnoDB");

    // Columns (and the indexes, which alone tell the primary key) only, marked: a later recursive
    // fill adds nothing.
    auto shallow = table("kinds");
    ASSERT_TRUE(m_adapter->fill_meta_table(shallow, false).has_value());
    EXPECT_TRUE(shallow->is_filled());
    EXPECT_EQ(shallow->get_columns()->size(), 12u);
    const std::size_t sent = m_connection->statements().size();
    ASSERT_TRUE(m_adapter->fill_meta_table(shallow, true).has_value());
    EXPECT_EQ(m_connection->statements().size(), sent);
    EXPECT_FALSE(shallow->get_indexes()->empty());
    EXPECT_TRUE(shallow->get_constraints()->empty());
}

TEST_F(MariaDBAdapterOnServer, ATableFillSendsTheseTexts) {
    const std::string s = mariadb_escape_literal(db());
    (void)filled_table("parent");
    const Names expected = {
        "SELECT COLUMN_NAME, ORDINAL_POSITION, COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
        "NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION, CHARACTER_SET_NAME, COLLATION_NAME, COLUMN_TYPE, "
        "COLUMN_KEY, EXTRA, COLUMN_COMMENT, GENERATION_EXPRESSION FROM INFORMATION_SCHEMA.COLUMNS WHERE "
        "TABLE_SCHEMA = '" + s + "' and TABLE_NAME = 'parent' ORDER BY ORDINAL_POSITION ASC;",
        "SHOW INDEX FROM " + mariadb_quote_identifier(db()) + ".`parent`",
        "SELECT TRIGGER_NAME, DEFINER, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORIENTATION, ACTION_STATEMENT, SQL_MODE, "
        "COLLATION_CONNECTION, EVENT_OBJECT_TABLE, EVENT_OBJECT_SCHEMA FROM information_schema.TRIGGERS WHERE "
        "EVENT_OBJECT_SCHEMA = '" + s + "' AND EVENT_OBJECT_TABLE = 'parent';",
        "SELECT fk.CONSTRAINT_SCHEMA, fk.CONSTRAINT_NAME, fk.MATCH_OPTION, fk.UPDATE_RULE, fk.DELETE_RULE, "
        "refer.COLUMN_NAME, refer.ORDINAL_POSITION, refer.REFERENCED_TABLE_SCHEMA, refer.REFERENCED_TABLE_NAME, "
        "refer.REFERENCED_COLUMN_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS AS fk INNER JOIN "
        "information_schema.KEY_COLUMN_USAGE AS refer ON fk.CONSTRAINT_NAME = refer.CONSTRAINT_NAME AND "
        "fk.CONSTRAINT_SCHEMA=refer.CONSTRAINT_SCHEMA AND "
        "refer.REFERENCED_TABLE_NAME IS NOT NULL WHERE fk.CONSTRAINT_SCHEMA='" + s +
            "' AND fk.TABLE_NAME='parent' AND refer.TABLE_SCHEMA='" + s +
            "' AND refer.TABLE_NAME='parent' ORDER BY refer.ORDINAL_POSITION ASC",
        "SELECT CONSTRAINT_NAME, CHECK_CLAUSE, TABLE_NAME, CONSTRAINT_SCHEMA FROM information_schema.CHECK_CONSTRAINTS "
        "WHERE CONSTRAINT_SCHEMA = '" + s + "' AND TABLE_NAME = 'parent';",
        "SELECT TABLE_NAME, ENGINE, VERSION, ROW_FORMAT, TABLE_ROWS, AVG_ROW_LENGTH, DATA_LENGTH, MAX_DATA_LENGTH, "
        "INDEX_LENGTH, DATA_FREE, AUTO_INCREMENT, CREATE_TIME, UPDATE_TIME, CHECK_TIME, TABLE_COLLATION, CHECKSUM, "
        "CREATE_OPTIONS, TABLE_COMMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + s +
            "' AND TABLE_NAME = 'parent';",
        "SHOW CREATE TABLE " + mariadb_quote_identifier(db()) + ".`parent`;",
    };
    EXPECT_EQ(m_connection->statements(), expected);
}

TEST_F(MariaDBAdapterOnServer, ListingRoutineAndRoleFillsSendTheseTexts) {
    const std::string s = mariadb_escape_literal(db());
    auto schema = MetaSchema::with_names(db(), db());
    ASSERT_TRUE(m_adapter->fill_meta_schema(schema, false).has_value());
    auto add = find_named(schema->get_functions(), "f_add");
    ASSERT_NE(add, nullptr);
    ASSERT_TRUE(m_adapter->fill_meta_function(add).has_value());
    const Names expected = {
        "SELECT TABLE_NAME, TABLE_TYPE FROM `information_schema`.`TABLES` WHERE TABLE_SCHEMA = '" + s +
            "' AND (TABLE_TYPE IN ('BASE TABLE', 'VIEW', 'SYSTEM VIEW', 'SYSTEM VERSIONED', 'SEQUENCE')) ORDER BY "
            "TABLE_NAME ASC;",
        "SELECT r.ROUTINE_NAME, r.ROUTINE_TYPE, r.`DEFINER` FROM information_schema.ROUTINES r WHERE DEFINER NOT "
        "LIKE '%mysql%' AND BINARY ROUTINE_SCHEMA = '" + s +
            "' AND ROUTINE_TYPE IN ('FUNCTION', 'PROCEDURE', 'PACKAGE', 'PACKAGE BODY') ORDER BY ROUTINE_NAME ASC, "
            "ROUTINE_TYPE ASC;",
        "SELECT EVENT_NAME, EVENT_TYPE FROM `information_schema`.`EVENTS` WHERE BINARY EVENT_SCHEMA = '" + s +
            "' ORDER BY EVENT_NAME ASC;",
        "SELECT ROUTINE_TYPE, DATA_TYPE, DTD_IDENTIFIER, ROUTINE_BODY, IS_DETERMINISTIC, SQL_DATA_ACCESS, "
        "SECURITY_TYPE, DEFINER, ROUTINE_COMMENT, ROUTINE_DEFINITION, SQL_MODE, COLLATION_CONNECTION, CHARACTER_SET_NAME, COLLATION_NAME FROM `information_schema`.`ROUTINES` WHERE "
        "BINARY ROUTINE_SCHEMA = '" + s + "' AND ROUTINE_NAME = 'f_add' AND ROUTINE_TYPE = 'FUNCTION';",
        "SELECT PARAMETER_MODE, PARAMETER_NAME, DATA_TYPE, DTD_IDENTIFIER, CHARACTER_SET_NAME, COLLATION_NAME, "
        "ROUTINE_TYPE FROM `information_schema`.`PARAMETERS` WHERE BINARY SPECIFIC_SCHEMA = '" + s +
            "' AND SPECIFIC_NAME = 'f_add' AND ROUTINE_TYPE = 'FUNCTION' AND PARAMETER_NAME != '' ORDER BY "
            "ORDINAL_POSITION ASC;",
        // The parameters as written.
        "SELECT type, name, CONVERT(body USING utf8mb4), character_set_client, CONVERT(param_list USING utf8mb4) "
        "FROM `mysql`.`proc` WHERE BINARY db = '" + s + "' AND name = 'f_add';",
    };
    EXPECT_EQ(m_connection->statements(), expected);

    // A role is looked up by the part of its name before "@".
    auto role = MetaRole::with_names("", "", s_role + "@ignored", "ROLE");
    ASSERT_TRUE(m_adapter->fill_meta_role(role).has_value());
    ASSERT_EQ(m_connection->statements().size(), expected.size() + 3);
    EXPECT_EQ(m_connection->statements()[expected.size() + 1],
              "SELECT Role, CONCAT(USER, '@', HOST) username, Admin_option FROM `mysql`.`roles_mapping` WHERE "
              "Role = '" + s_role + "';");
    EXPECT_EQ(role->get_relations().at(s_role + "=" + s_user + "@%"), "true");
}

TEST_F(MariaDBAdapterOnServer, ViewsRoutinesEventsAndTriggers) {
    auto schema = MetaSchema::with_names(db(), db());
    ASSERT_TRUE(m_adapter->fill_meta_schema(schema, false).has_value());
    EXPECT_TRUE(schema->is_filled());
    Names tables = names_of(schema->get_tables());
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (Names{"a_b", "axb", "grant option", kOdd, "kinds", "parent"}));
    EXPECT_EQ(names_of(schema->get_views()), (Names{"my view", "priced", "v-odd", "v_cte", "v_literal", "v_union"}));
    EXPECT_EQ(names_of(schema->get_functions()), (Names{"f_add", "f_block", "f_none"}));
    EXPECT_EQ(names_of(schema->get_procedures()), (Names{"p_io"}));
    EXPECT_EQ(names_of(schema->get_events()), (Names{"e_daily", "e_once"}));
    EXPECT_TRUE(schema->get_tables()->get(0)->get_columns()->empty());

    auto priced = find_named(schema->get_views(), "priced");
    ASSERT_TRUE(m_adapter->fill_meta_view(priced).has_value());
    EXPECT_TRUE(priced->is_filled());
    EXPECT_EQ(priced->get_attributes().at("CHECK"), "CASCADED");
    EXPECT_EQ(priced->get_attributes().at("ALGORITHM"), "MERGE");
    EXPECT_EQ(priced->get_attributes().at("DEFINER"), "root@localhost");
    EXPECT_EQ(priced->get_attributes().at("SECURITY"), "INVOKER");
    // The catalogue qualifies every name whatever the current database; the check clause is apart.
    const std::string k = mariadb_quote_identifier(db()) + ".`kinds`";
    EXPECT_EQ(priced->get_definition(), "select " + k + ".`id` AS `id`," + k + ".`price` AS `price` from " + k +
                                            " where " + k + ".`price` > 0");
    auto spaced = find_named(schema->get_views(), "my view");
    ASSERT_TRUE(m_adapter->fill_meta_view(spaced).has_value());
    EXPECT_EQ(spaced->get_definition().rfind("select ", 0), 0u) << spaced->get_definition();
    EXPECT_FALSE(spaced->get_attributes().contains("CHECK"));
    EXPECT_EQ(spaced->get_attributes().at("SECURITY"), "DEFINER");
    auto odd_view = find_named(schema->get_views(), "v-odd");
    ASSERT_TRUE(m_adapter->fill_meta_view(odd_view).has_value());
    EXPECT_EQ(odd_view->get_definition(), "select 1 AS `one`");
    EXPECT_EQ(odd_view->get_attributes().at("DEFINER"), "odd-user@10.0.%");
    // The definition is the query after AS, whatever it starts with; the header never leaks in.
    const std::string p = mariadb_quote_identifier(db()) + ".`parent`";
    auto cte = find_named(schema->get_views(), "v_cte");
    ASSERT_TRUE(m_adapter->fill_meta_view(cte).has_value());
    EXPECT_EQ(cte->get_definition(),
              "with c as (select " + p + ".`a` AS `a` from " + p + ")select `c`.`a` AS `a` from `c`");
    EXPECT_EQ(cte->get_attributes().at("SECURITY"), "DEFINER");
    auto united = find_named(schema->get_views(), "v_union");
    ASSERT_TRUE(m_adapter->fill_meta_view(united).has_value());
    EXPECT_EQ(united->get_definition().rfind("(select " + p + ".`a` AS `a` from " + p + ") union (select ", 0), 0u)
        << united->get_definition();
    EXPECT_TRUE(united->get_attributes().contains("ALGORITHM"));
    // Only the closing clause is the check option; the literal stays whole.
    auto literal = find_named(schema->get_views(), "v_literal");
    ASSERT_TRUE(m_adapter->fill_meta_view(literal).has_value());
    EXPECT_EQ(literal->get_attributes().at("CHECK"), "CASCADED");
    EXPECT_EQ(literal->get_definition(), "select 'WITH LOCAL CHECK OPTION' AS `w`," + k + ".`id` AS `id` from " + k +
                                             " where " + k + ".`id` > 0");

    auto add = find_named(schema->get_functions(), "f_add");
    ASSERT_TRUE(m_adapter->fill_meta_function(add).has_value());
    EXPECT_TRUE(add->is_filled() && add->get_is_function());
    EXPECT_EQ(add->get_return_type(), "int(11)");
    EXPECT_EQ(add->get_body(), "RETURN a + b");
    // The parameters as written (the server shows them so).
    EXPECT_EQ(add->get_parameters(), (Names{"a INT", "b INT"}));
    EXPECT_EQ(add->get_attributes().at("DETERMINISTIC"), "YES");
    EXPECT_EQ(add->get_attributes().at("COMMENT"), "adds");
    EXPECT_EQ(add->get_attributes().at("LANGUAGE"), "SQL");
    EXPECT_EQ(add->get_attributes().at("SQL SECURITY"), "DEFINER");
    auto block = find_named(schema->get_functions(), "f_block");
    ASSERT_TRUE(m_adapter->fill_meta_function(block).has_value());
    // A body is kept without the block around it and without surrounding blanks.
    EXPECT_EQ(block->get_body(), "RETURN CONCAT('v', x);");
    EXPECT_EQ(block->get_attributes().at("DATA_ACCESS"), "READS SQL DATA");
    // Without parameters the routine is read but not marked.
    auto none = find_named(schema->get_functions(), "f_none");
    {
        LogCapture log;
        ASSERT_TRUE(m_adapter->fill_meta_function(none).has_value());
        EXPECT_EQ(log.warnings().size(), 1u);
    }
    EXPECT_EQ(none->get_body(), "RETURN 1");
    EXPECT_FALSE(none->is_filled());
    auto procedure = find_named(schema->get_procedures(), "p_io");
    ASSERT_TRUE(m_adapter->fill_meta_function(procedure).has_value());
    EXPECT_FALSE(procedure->get_is_function());
    EXPECT_EQ(procedure->get_parameters(), (Names{"IN a INT", "OUT b INT", "INOUT c INT"}));
    EXPECT_EQ(procedure->get_body(), "SET b = a; SET c = c + a;");

    auto once = find_named(schema->get_events(), "e_once");
    ASSERT_TRUE(m_adapter->fill_meta_event(once).has_value());
    EXPECT_EQ(once->get_schedule(), "AT '2030-01-01 00:00:00'");
    EXPECT_EQ(once->get_kind(), "ONE TIME");
    EXPECT_EQ(once->get_state(), "DISABLED");
    EXPECT_EQ(once->get_completion(), "PRESERVE");
    EXPECT_EQ(once->get_comment(), "once");
    EXPECT_EQ(once->get_body(), "DELETE FROM kinds");
    EXPECT_FALSE(once->get_definer().empty());
    auto daily = find_named(schema->get_events(), "e_daily");
    ASSERT_TRUE(m_adapter->fill_meta_event(daily).has_value());
    EXPECT_EQ(daily->get_schedule(), "EVERY 1 DAY STARTS '2030-01-01 00:00:00'");
    EXPECT_EQ(daily->get_completion(), "NOT PRESERVE");

    auto trigger = MetaTrigger::with_names(db(), db(), "kinds_bi");
    ASSERT_TRUE(m_adapter->fill_meta_trigger(trigger).has_value());
    EXPECT_TRUE(trigger->is_filled());
    EXPECT_EQ(trigger->get_target(), "kinds");
    EXPECT_EQ(trigger->get_body(), "SET NEW.note = 'first';");
    EXPECT_FALSE(trigger->get_definer().empty());
    auto follower = MetaTrigger::with_names(db(), db(), "kinds_bi'2");
    ASSERT_TRUE(m_adapter->fill_meta_trigger(follower).has_value());
    EXPECT_EQ(follower->get_body(), "SET NEW.pa = NULL");

    auto index = MetaIndex::with_names(db(), db(), "kinds", "uq_price_at");
    ASSERT_TRUE(m_adapter->fill_meta_index(index).has_value());
    EXPECT_EQ(index->get_kind(), "UNIQUE");
    EXPECT_EQ(index->get_columns(), (Names{"price", "at"}));

    // Missing objects: no row is a warning without the mark.
    LogCapture log;
    auto ghost = MetaTrigger::with_names(db(), db(), "ghost");
    EXPECT_TRUE(m_adapter->fill_meta_trigger(ghost).has_value());
    EXPECT_FALSE(ghost->is_filled());
    EXPECT_EQ(log.warnings().size(), 1u);
    auto missing = MetaView::with_names(db(), db(), "ghost");
    EXPECT_TRUE(m_adapter->fill_meta_view(missing).has_value());
    EXPECT_FALSE(missing->is_filled());
    EXPECT_EQ(log.warnings().size(), 2u);
}

TEST_F(MariaDBAdapterOnServer, SchemaReadAtOnceEqualsObjectByObject) {
    auto whole = MetaDatabase::with_name(db());
    auto log_at_once = std::make_unique<LogCapture>();
    ASSERT_TRUE(m_adapter->fill_meta_database(whole, true).has_value());
    const auto warnings_at_once = log_at_once->warnings();
    log_at_once.reset();
    ASSERT_EQ(whole->get_schemas()->size(), 1u);
    EXPECT_EQ(whole->get_comment(), "scratch");
    EXPECT_EQ(whole->get_attributes().at("CHARACTER SET"), "utf8mb4");
    auto at_once = whole->get_schemas()->get(0);
    // Database, three listings, six table catalogues, views, events, routines, parameters: the count
    // does not depend on the number of views; each table's CREATE text is read for what only it
    // tells (index methods given, periods, checks on columns), and each trigger's for its head (and
    // body) as written. Events whose catalogue text holds a quote are read again as written at once
    // from mysql.event; the routines at once from mysql.proc, for their parameters as written.
    const Names sources = {
        "SELECT 'EVENT', name, CONVERT(body USING utf8mb4), character_set_client, '' FROM `mysql`.`event` WHERE "
        "BINARY db = '" + mariadb_escape_literal(db()) + "';",
        "SELECT type, name, CONVERT(body USING utf8mb4), character_set_client, CONVERT(param_list USING utf8mb4) FROM "
        "`mysql`.`proc` WHERE BINARY db = '" + mariadb_escape_literal(db()) + "';",
    };
    Names catalogue;
    Names reread;
    std::size_t create_texts = 0;
    std::size_t trigger_texts = 0;
    for (const auto& sql : m_connection->statements()) {
        if (sql.starts_with("SHOW CREATE TABLE "))
            ++create_texts;
        else if (sql.starts_with("SHOW CREATE TRIGGER "))
            ++trigger_texts;
        else
            (std::find(sources.begin(), sources.end(), sql) != sources.end() ? reread : catalogue).push_back(sql);
    }
    EXPECT_EQ(catalogue.size(), 1u + 3u + 6u + 1u + 1u + 2u);
    EXPECT_EQ(create_texts, whole->get_schemas()->get(0)->get_tables()->size());
    std::size_t triggers = 0;
    for (const auto& table : *whole->get_schemas()->get(0)->get_tables()) triggers += table->get_triggers()->size();
    EXPECT_EQ(trigger_texts, triggers);
    EXPECT_EQ(reread, sources);

    auto by_object = MetaSchema::with_names(db(), db());
    {
        LogCapture log;
        ASSERT_TRUE(m_adapter->fill_meta_schema(by_object, false).has_value());
        for (const auto& t : *by_object->get_tables()) ASSERT_TRUE(m_adapter->fill_meta_table(t, true).has_value());
        for (const auto& v : *by_object->get_views()) ASSERT_TRUE(m_adapter->fill_meta_view(v).has_value());
        for (const auto& e : *by_object->get_events()) ASSERT_TRUE(m_adapter->fill_meta_event(e).has_value());
        for (const auto& f : *by_object->get_functions())
            ASSERT_TRUE(m_adapter->fill_meta_function(f).has_value());
        // The same warnings too: the function without parameters, named after the routine fill.
        EXPECT_EQ(warnings_at_once, log.warnings());
        ASSERT_EQ(log.warnings().size(), 1u);
        EXPECT_NE(log.warnings()[0].find("MariaDBAdapter::fill_meta_function: assertion"), std::string::npos)
            << log.warnings()[0];
    }

    EXPECT_EQ(at_once->get_tables()->size(), 6u);
    EXPECT_FALSE(at_once->get_tables()->get(0)->get_columns()->empty());
    EXPECT_TRUE(find_named(at_once->get_functions(), "f_add")->is_filled());
    EXPECT_EQ(to_json(*at_once), to_json(*by_object));
    for (std::size_t i = 0; i < at_once->get_tables()->size(); ++i)
        EXPECT_EQ(at_once->get_tables()->get(i)->is_filled(), by_object->get_tables()->get(i)->is_filled());

    // A server before 10.5 has no schema comment.
    m_connection->set_version("10.4.32-MariaDB");
    ASSERT_EQ(choose_adapter_variant(m_connection->get_version()), MariaDBAdapterVariant::BelowV105);
    auto old = MariaDBAdapterBelowV105::create(m_connection.get());
    auto older = MetaDatabase::with_name(db());
    ASSERT_TRUE(old->fill_meta_database(older, false).has_value());
    EXPECT_EQ(m_connection->statements().back().find("SCHEMA_COMMENT"), std::string::npos);
    EXPECT_EQ(older->get_comment(), "");
    EXPECT_EQ(older->get_attributes().at("COLLATE"), "utf8mb4_general_ci");
    EXPECT_EQ(older->get_schemas()->size(), 1u);
}

TEST_F(MariaDBAdapterOnServer, UsersAndRolesWithDetailsMembersAndGrants) {
    auto user = MetaUser::with_names("", "", s_user + "@%", "USER");
    ASSERT_TRUE(m_adapter->fill_meta_user(user).has_value());
    EXPECT_TRUE(user->is_filled());
    const auto& attributes = user->get_attributes();
    EXPECT_EQ(attributes.at("SSL_TYPE"), "SPECIFIED");
    EXPECT_EQ(attributes.at("X509_ISSUER"), "/CN=ca");
    EXPECT_EQ(attributes.at("X509_SUBJECT"), "/CN=bob");
    EXPECT_EQ(attributes.at("X509_CIPHER"), "AES256-SHA");
    EXPECT_EQ(attributes.at("MAX_QUERIES"), "10");
    EXPECT_EQ(attributes.at("MAX_UPDATES"), "20");
    EXPECT_EQ(attributes.at("MAX_CONNECTIONS"), "5");
    EXPECT_EQ(attributes.at("USER_CONNECTIONS"), "3");
    EXPECT_EQ(attributes.at("PLUGIN"), "mysql_native_password");
    EXPECT_TRUE(attributes.contains("ACCOUNT_STATE"));
    EXPECT_EQ(user->get_password().rfind("*", 0), 0u);
    EXPECT_EQ(user->get_relations(), (Ombrix::Core::StringMap{{s_role + "=" + s_user + "@%", "true"}}));
    EXPECT_EQ(user->get_privileges().at(db() + ".kinds"), "INSERT, UPDATE, GRANT OPTION");
    EXPECT_EQ(user->get_privileges().at("*.*"), "USAGE");
    EXPECT_EQ(user->get_privileges().at(db() + ".grant option"), "SELECT");

    auto role = MetaRole::with_names("", "", s_role, "ROLE");
    ASSERT_TRUE(m_adapter->fill_meta_role(role).has_value());
    EXPECT_TRUE(role->is_filled());
    EXPECT_EQ(role->get_relations().at(s_role + "=" + s_user + "@%"), "true");
    EXPECT_EQ(role->get_privileges().at(db() + ".*"), "SELECT");

    auto root = MetaUser::with_names("", "", Sandbox::get().user + "@localhost", "USER");
    ASSERT_TRUE(m_adapter->fill_meta_user(root).has_value());
    EXPECT_TRUE(root->is_filled());
    EXPECT_TRUE(root->get_privileges().contains("*.*"));
}

}  // namespace
