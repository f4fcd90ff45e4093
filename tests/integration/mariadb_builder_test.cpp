// The MariaDB builder against the sandbox server: every kind of object is read from one schema,
// built under another schema's name, run there and read again, and the two models must be equal;
// patches made on a read model must give, once run, what the edited model says.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "providers/Core/json.hpp"
#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Transform/patcher.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using namespace Ombrix::Solvane::MetaModel;
namespace DB = Ombrix::Solvane::Supports::Database;
using Ombrix::Providers::Contracts::DataVersion;
using Ombrix::Testing::describe;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;

// The tables every test reads from; a quote in a name, composite keys, prefix and full-text indexes,
// generated columns, a cycle of foreign keys, history tables and engine options.
const char* const kTables[] = {
    "CREATE TABLE `parent` (a INT NOT NULL, b VARCHAR(10) NOT NULL, c INT, PRIMARY KEY (b, a), UNIQUE KEY uq_c (c)) "
    "ENGINE=InnoDB COMMENT='parents'",
    "CREATE TABLE `kinds` (id INT(10) UNSIGNED NOT NULL AUTO_INCREMENT, z INT(6) UNSIGNED ZEROFILL, price "
    "DECIMAL(10,2) NOT NULL DEFAULT 0.00 COMMENT 'it''s gross', at DATETIME(3) NULL, stamp TIMESTAMP(3) NOT NULL "
    "DEFAULT CURRENT_TIMESTAMP(3) ON UPDATE CURRENT_TIMESTAMP(3), colour ENUM('red','dark-blue') DEFAULT 'red', "
    "flags SET('x','y.z'), doubled INT AS (z * 2) VIRTUAL, kept INT AS (z + 1) PERSISTENT, note TEXT CHARACTER SET "
    "latin1 COLLATE latin1_swedish_ci, pa INT, pb VARCHAR(10), f FLOAT, f2 FLOAT(7,3), d DOUBLE, bits BIT(5) DEFAULT "
    "b'101', j JSON, u UUID, t TIME(6), big BIGINT UNSIGNED DEFAULT 18446744073709551615, blob_ MEDIUMBLOB, "
    "PRIMARY KEY (id), UNIQUE KEY uq_price_at (price, at), FULLTEXT KEY ft_note (note) COMMENT 'words', KEY "
    "ix_prefix (note(10), pa DESC), CONSTRAINT fk_parent FOREIGN KEY (pb, pa) REFERENCES parent (b, a) ON DELETE "
    "CASCADE ON UPDATE SET NULL, CONSTRAINT positive CHECK (price >= 0)) ENGINE=InnoDB ROW_FORMAT=DYNAMIC "
    "COMMENT='all kinds'",
    "CREATE TABLE `it's ``odd``` (`col 1` INT, `order` INT, CONSTRAINT `check'q` CHECK (`col 1` > 0), INDEX `ix odd` "
    "(`col 1`, `order`)) ENGINE=MyISAM",
    "CREATE TABLE cyc1 (id INT PRIMARY KEY, o INT, KEY (o))",
    "CREATE TABLE cyc2 (id INT PRIMARY KEY, o INT, CONSTRAINT c2 FOREIGN KEY (o) REFERENCES cyc1 (id))",
    "ALTER TABLE cyc1 ADD CONSTRAINT c1 FOREIGN KEY (o) REFERENCES cyc2 (id)",
    "CREATE TABLE hist (x INT) WITH SYSTEM VERSIONING",
    "CREATE TABLE hist2 (x INT, s TIMESTAMP(6) GENERATED ALWAYS AS ROW START, e TIMESTAMP(6) GENERATED ALWAYS AS "
    "ROW END, PERIOD FOR SYSTEM_TIME (s, e)) WITH SYSTEM VERSIONING",
    "CREATE TABLE aria (a INT) ENGINE=Aria MAX_ROWS=100 PAGE_CHECKSUM=1",
    "CREATE TABLE keyed (name TEXT NOT NULL, hidden INT INVISIBLE DEFAULT 1, PRIMARY KEY (name(20)))",
    "CREATE TABLE pkt (id INT NOT NULL AUTO_INCREMENT, b INT NOT NULL, c INT NOT NULL, PRIMARY KEY (id)) PARTITION BY "
    "RANGE (id) (PARTITION p0 VALUES LESS THAN (100), PARTITION p1 VALUES LESS THAN MAXVALUE)",
    "CREATE TABLE shapes (g POINT NOT NULL, b BLOB COMPRESSED, c VARCHAR(1000), e ENUM('x','y') CHARACTER SET "
    "binary, d VARCHAR(5) COLLATE utf8mb4_bin AS (LEFT(c, 5)) VIRTUAL, SPATIAL KEY sp (g), KEY ig (e) IGNORED, "
    "UNIQUE KEY uc (c) USING HASH) CHARSET latin1",
};

// Everything else, which needs the tables.
const char* const kPrograms[] = {
    "CREATE TRIGGER kinds_bi BEFORE INSERT ON kinds FOR EACH ROW BEGIN SET NEW.note = 'first;'; END",
    "CREATE TRIGGER `kinds_bi'2` BEFORE INSERT ON kinds FOR EACH ROW FOLLOWS kinds_bi SET NEW.pa = NULL",
    "CREATE TRIGGER kinds_b0 BEFORE INSERT ON kinds FOR EACH ROW PRECEDES kinds_bi IF NEW.pa < 0 THEN SET NEW.pa = "
    "0; END IF",
    "CREATE TRIGGER kinds_au AFTER UPDATE ON kinds FOR EACH ROW SET @changed = NEW.id",
    "CREATE FUNCTION f_add(a INT, b INT) RETURNS INT DETERMINISTIC COMMENT 'adds' RETURN a + b",
    "CREATE FUNCTION f_block(x INT) RETURNS VARCHAR(20) READS SQL DATA SQL SECURITY INVOKER BEGIN RETURN "
    "CONCAT('v', x); END",
    "CREATE AGGREGATE FUNCTION f_sum(x INT) RETURNS INT BEGIN DECLARE t INT DEFAULT 0; DECLARE CONTINUE HANDLER "
    "FOR NOT FOUND RETURN t; LOOP FETCH GROUP NEXT ROW; SET t = t + x; END LOOP; END",
    "SET sql_mode = 'ANSI_QUOTES,PIPES_AS_CONCAT'",
    "CREATE FUNCTION f_ansi() RETURNS VARCHAR(10) BEGIN DECLARE \"v\" VARCHAR(10) DEFAULT 'a' || 'b'; RETURN \"v\"; END",
    "SET sql_mode = DEFAULT",
    "SET NAMES latin1",
    "CREATE VIEW v_latin AS SELECT 'a' AS c",
    "SET NAMES utf8mb4",
    "CREATE PROCEDURE p_io(IN a INT, OUT b INT, INOUT c INT) MODIFIES SQL DATA BEGIN SET b = a; SET c = c + a; END",
    "CREATE PROCEDURE p_none() BEGIN END",
    // Character sets of a return value and a parameter, which the schema's default would replace.
    "CREATE FUNCTION f_latin(s VARCHAR(5) CHARSET latin1) RETURNS VARCHAR(5) CHARSET latin1 COLLATE latin1_bin "
    "RETURN s",
    // The catalogue's copies of these bodies have their escapes resolved and introducers dropped;
    // the texts as written must come back.
    "CREATE PROCEDURE p_text() SELECT 'a\\\\b', 'q\\'x', \"dq\\\"x\", _latin1'\\x' AS y, 'FOR EACH ROW' AS z",
    "CREATE TRIGGER `for each row` BEFORE INSERT ON kinds FOR EACH ROW FOLLOWS `kinds_bi'2` SET NEW.note = "
    "REPLACE(NEW.note, '\\\\', '/')",
    "CREATE EVENT e_text ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DISABLE COMMENT 'do it' DO UPDATE kinds "
    "SET note = 'a\\\\b'",
    "CREATE EVENT e_hex ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' DISABLE DO UPDATE kinds SET note = "
    "_latin1 0x41",
    "CREATE ALGORITHM=MERGE SQL SECURITY INVOKER VIEW `priced` AS SELECT id, price FROM kinds WHERE price > 0 WITH "
    "CASCADED CHECK OPTION",
    "CREATE VIEW `v on v` AS SELECT id, f_add(id, 1) AS n, IF(price > 1, 'x, y', 'z') AS k FROM priced",
    "CREATE VIEW v_cte AS WITH c AS (SELECT a FROM parent) SELECT a FROM c",
    "CREATE VIEW v_union AS (SELECT a FROM parent) UNION (SELECT id FROM cyc1)",
    "CREATE EVENT e_once ON SCHEDULE AT '2030-01-01 00:00:00' ON COMPLETION PRESERVE DISABLE COMMENT 'once' DO "
    "DELETE FROM kinds",
    "CREATE EVENT e_daily ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 00:00:00' ENDS '2031-01-01 00:00:00' DO BEGIN "
    "UPDATE kinds SET note = 'x'; DELETE FROM aria; END",
    "CREATE EVENT e_odd ON SCHEDULE EVERY '1:30' HOUR_MINUTE STARTS '2030-01-01 00:00:00' DO SELECT 1",
};

std::string ident(const std::string& name) { return DB::mariadb_quote_identifier(name); }

std::string script_of(const std::string& schema, const char* const* begin, const char* const* end) {
    std::string sql = "USE " + ident(schema) + ";";
    for (auto it = begin; it != end; ++it) sql += std::string(*it) + ";";
    return sql;
}

/// A model's JSON with its edit states left out and `schema` read as "SCHEMA": what two reads
/// of the same structure under different names have in common.
std::string comparable(const MetaObject& object, const std::string& schema) {
    auto node = Ombrix::Core::Json::serialize(object);
    std::function<void(Ombrix::Core::Json::Node&)> clean = [&](Ombrix::Core::Json::Node& item) {
        if (item.is_object()) {
            item.erase("version");
            // When the account was last given its password is no part of its definition.
            if (item.contains("PASSWORD_CHANGED")) item.erase("PASSWORD_CHANGED");
            // The server lists a table's indexes in an order of its own.
            if (item.contains("indexes") && item["indexes"].is_array())
                std::sort(item["indexes"].begin(), item["indexes"].end(),
                          [](const auto& a, const auto& b) { return a.value("name", "") < b.value("name", ""); });
            for (auto& [key, member] : item.items()) clean(member);
        } else if (item.is_array()) {
            for (auto& member : item) clean(member);
        }
    };
    clean(node);
    std::string text = node.dump(2);
    for (std::size_t at = text.find(schema); at != std::string::npos; at = text.find(schema, at))
        text.replace(at, schema.size(), "SCHEMA");
    return text;
}

class MariaDBBuilderOnServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_source = new ScratchSchema("bld'q");
        Sandbox::get().exec(script_of(source(), std::begin(kTables), std::end(kTables)));
        Sandbox::get().exec(script_of(source(), std::begin(kPrograms), std::end(kPrograms)));
    }
    static void TearDownTestSuite() {
        delete s_source;
        s_source = nullptr;
    }

    void SetUp() override {
        m_target = std::make_unique<ScratchSchema>("bld_copy");
        m_connection = DB::MariaDBConnection::create();
        auto opened = m_connection->open(Sandbox::get().profile(), nullptr);
        ASSERT_TRUE(opened.has_value()) << describe(opened.error());
        m_builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(m_connection->builder());
        ASSERT_NE(m_builder, nullptr);
    }
    void TearDown() override {
        if (m_connection) m_connection->close();
    }

    static const std::string& source() { return s_source->name(); }
    const std::string& target() const { return m_target->name(); }

    /// Runs a script statement by statement in the target schema; fails the test at the first error.
    void run(const std::string& script) {
        auto used = m_connection->execute_no_query("USE " + ident(target()), false);
        ASSERT_TRUE(used.has_value()) << describe(used.error());
        for (const auto& statement : DB::split_script(script)) {
            auto ran = m_connection->execute_no_query(statement.text, false);
            ASSERT_TRUE(ran.has_value()) << describe(ran.error()) << "\nin:\n" << statement.text;
        }
    }

    std::shared_ptr<MetaSchema> read_schema(const std::string& name) {
        auto schema = MetaSchema::with_names(name, name);
        auto filled = m_connection->adapter()->fill_meta_schema(schema, true);
        EXPECT_TRUE(filled.has_value()) << describe(filled.error());
        for (const auto& procedure : *schema->get_procedures()) {
            auto read = m_connection->adapter()->fill_meta_function(procedure);
            EXPECT_TRUE(read.has_value()) << describe(read.error());
        }
        return schema;
    }

    /// Builds every object of `objects` (read from the source) for the target, runs the scripts,
    /// reads the objects again from the target and compares each pair.
    template <class T>
    void round_trip(const std::vector<std::shared_ptr<T>>& objects,
                    const std::function<std::shared_ptr<T>(MetaSchema&, const std::string&)>& find) {
        std::string script;
        for (const auto& object : objects) {
            DB::retarget_schema(*object, source(), target());
            script += m_builder->build_create(object, true) + "\n";
        }
        run(script);
        auto copy = read_schema(target());
        for (const auto& object : objects) {
            auto again = find(*copy, object->get_name());
            ASSERT_NE(again, nullptr) << object->get_name();
            EXPECT_EQ(comparable(*again, target()), comparable(*object, target())) << object->get_name();
        }
    }

    static inline ScratchSchema* s_source = nullptr;
    std::unique_ptr<ScratchSchema> m_target;
    std::shared_ptr<DB::MariaDBConnection> m_connection;
    std::shared_ptr<DB::MariaDBBuilder> m_builder;
};

template <class T>
std::shared_ptr<T> named(const std::shared_ptr<Ombrix::Core::ListModel<T>>& list, const std::string& name) {
    for (const auto& item : *list)
        if (item->get_name() == name) return item;
    return nullptr;
}

TEST_F(MariaDBBuilderOnServer, TablesRoundTrip) {
    auto schema = read_schema(source());
    // Tables in an order that runs, the cycle's second key added by hand afterwards.
    std::vector<std::shared_ptr<MetaTable>> tables;
    for (const char* name :
         {"parent", "kinds", "it's `odd`", "hist", "hist2", "aria", "cyc1", "cyc2", "keyed", "pkt", "shapes"})
        tables.push_back(named(schema->get_tables(), name));
    auto cycle_key = std::dynamic_pointer_cast<MetaForeignKey>(named(tables[6]->get_constraints(), "c1"));
    ASSERT_NE(cycle_key, nullptr);
    tables[6]->get_constraints()->remove(cycle_key);
    round_trip<MetaTable>(tables, [](MetaSchema& copy, const std::string& name) { return named(copy.get_tables(), name); });
    // What the server keeps of each table matches the source's own text, for the quoting.
    EXPECT_EQ(tables.size(), read_schema(target())->get_tables()->size());
}

TEST_F(MariaDBBuilderOnServer, TriggersKeepTheirOrder) {
    Sandbox::get().exec(script_of(target(), std::begin(kTables), std::end(kTables)));
    auto schema = read_schema(source());
    auto kinds = named(schema->get_tables(), "kinds");
    std::vector<std::shared_ptr<MetaTrigger>> triggers;
    for (const auto& trigger : *kinds->get_triggers()) {
        auto alone = MetaTrigger::with_names(source(), source(), trigger->get_name());
        auto filled = m_connection->adapter()->fill_meta_trigger(alone);
        ASSERT_TRUE(filled.has_value()) << describe(filled.error());
        triggers.push_back(alone);
    }
    ASSERT_EQ(triggers.size(), 5u);
    round_trip<MetaTrigger>(triggers, [&](MetaSchema&, const std::string& name) {
        auto again = MetaTrigger::with_names(target(), target(), name);
        EXPECT_TRUE(m_connection->adapter()->fill_meta_trigger(again).has_value());
        return again;
    });
    // Created in the source's order, the triggers of one event and time fire in that order.
    const auto order = [&](const std::string& schema_name) {
        auto rows = m_connection->execute_as_model(
            "SELECT TRIGGER_NAME, ACTION_ORDER FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = '" +
                DB::mariadb_escape_literal(schema_name) + "' ORDER BY ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORDER",
            false);
        std::string text;
        for (std::size_t i = 0; rows && i < (*rows)->get_n_items(); ++i)
            text += (*rows)->get_value_at(0, i)->to_string() + "=" + (*rows)->get_value_at(1, i)->to_string() + " ";
        return text;
    };
    EXPECT_EQ(order(target()), order(source()));
    EXPECT_EQ(order(source()), "kinds_au=1 kinds_b0=1 kinds_bi=2 kinds_bi'2=3 for each row=4 ");
}

TEST_F(MariaDBBuilderOnServer, RoutinesViewsAndEventsRoundTrip) {
    Sandbox::get().exec(script_of(target(), std::begin(kTables), std::end(kTables)));
    auto schema = read_schema(source());
    std::vector<std::shared_ptr<MetaFunction>> routines = schema->get_functions()->items();
    for (const auto& procedure : *schema->get_procedures()) routines.push_back(procedure);
    ASSERT_EQ(routines.size(), 8u);
    const auto latin = named(schema->get_functions(), "f_latin");
    EXPECT_EQ(latin->get_return_type(), "varchar(5) CHARSET latin1 COLLATE latin1_bin");
    // The parameter as written, its character set with it.
    EXPECT_EQ(latin->get_parameters(), std::vector<std::string>{"s VARCHAR(5) CHARSET latin1"});
    round_trip<MetaFunction>(routines, [](MetaSchema& copy, const std::string& name) {
        auto found = named(copy.get_functions(), name);
        return found ? found : named(copy.get_procedures(), name);
    });
    // Views on views: the one a view selects from is created first.
    std::vector<std::shared_ptr<MetaView>> views;
    for (const char* name : {"priced", "v on v", "v_cte", "v_union", "v_latin"})
        views.push_back(named(schema->get_views(), name));
    round_trip<MetaView>(views, [](MetaSchema& copy, const std::string& name) { return named(copy.get_views(), name); });
    EXPECT_EQ((*named(schema->get_views(), "v on v")->get_columns())[2]->get_name(), "k");
    // An introducer before a number, which the catalogue's copy drops even without a quote in sight.
    EXPECT_EQ(named(schema->get_events(), "e_hex")->get_body(), "UPDATE kinds SET note = _latin1 0x41");
    round_trip<MetaEvent>(schema->get_events()->items(),
                          [](MetaSchema& copy, const std::string& name) { return named(copy.get_events(), name); });
}

TEST_F(MariaDBBuilderOnServer, UsersAndRolesRoundTrip) {
    const std::string user_name = "bld_amy_" + std::to_string(getpid());
    const std::string role_name = "bld_reader_" + std::to_string(getpid());
    const std::string account = ident(user_name) + "@'%'";
    const auto drop = [&] {
        Sandbox::get().exec("DROP USER IF EXISTS " + account + "; DROP ROLE IF EXISTS " + ident(role_name));
    };
    drop();
    Sandbox::get().exec("CREATE USER " + account +
                        " IDENTIFIED BY 'pw' REQUIRE ISSUER '/CN=ca' AND SUBJECT '/CN=amy' AND CIPHER 'AES256-SHA' WITH "
                        "MAX_QUERIES_PER_HOUR 10 MAX_UPDATES_PER_HOUR 20 MAX_CONNECTIONS_PER_HOUR 5 "
                        "MAX_USER_CONNECTIONS 3 MAX_STATEMENT_TIME 1.5 PASSWORD EXPIRE INTERVAL 30 DAY; CREATE ROLE " +
                        ident(role_name) + "; GRANT SELECT ON " + ident(source()) + ".* TO " + ident(role_name) +
                        "; GRANT " + ident(role_name) + " TO " + account + " WITH ADMIN OPTION; GRANT INSERT, UPDATE ON " +
                        ident(source()) + ".`kinds` TO " + account + " WITH GRANT OPTION");
    const auto read = [&] {
        auto user = MetaUser::with_names("", "", user_name + "@%", "USER");
        auto role = MetaRole::with_names("", "", role_name, "ROLE");
        EXPECT_TRUE(m_connection->adapter()->fill_meta_user(user).has_value());
        EXPECT_TRUE(m_connection->adapter()->fill_meta_role(role).has_value());
        return std::make_pair(user, role);
    };
    const auto [user, role] = read();
    ASSERT_FALSE(user->get_privileges().empty());
    ASSERT_FALSE(role->get_relations().empty());
    const std::string script = m_builder->build_create(role) + "\n" + m_builder->build_create(user) +
                               m_builder->build_grants(role) + m_builder->build_grants(user);
    drop();
    run(script);
    const auto [user_again, role_again] = read();
    EXPECT_EQ(comparable(*user_again, source()), comparable(*user, source()));
    EXPECT_EQ(comparable(*role_again, source()), comparable(*role, source()));
    drop();
}

TEST_F(MariaDBBuilderOnServer, WholeSchemaScriptRebuildsEverything) {
    auto database = MetaDatabase::with_name(source());
    ASSERT_TRUE(m_connection->adapter()->fill_meta_database(database, true).has_value());
    auto schema = database->get_schemas()->get(0);
    for (const auto& procedure : *schema->get_procedures())
        ASSERT_TRUE(m_connection->adapter()->fill_meta_function(procedure).has_value());
    const std::string before = comparable(*schema, source());
    DB::retarget_schema(*database, source(), target());
    // The target exists and is empty; the script's CREATE DATABASE IF NOT EXISTS leaves it so.
    run(m_builder->build_schema_script(schema, database, true));
    EXPECT_EQ(comparable(*read_schema(target()), target()), before);
    // The script also reads back as the same statements when written for the command-line client.
    const auto statements = DB::split_script(m_builder->build_schema_script(schema, database, true));
    std::vector<std::string> texts;
    for (const auto& statement : statements) texts.push_back(statement.text);
    EXPECT_EQ(DB::split_script(DB::join_script(texts)).size(), statements.size());
}

TEST_F(MariaDBBuilderOnServer, PatchesTurnAReadTableIntoItsEditedModel) {
    Sandbox::get().exec(script_of(target(), std::begin(kTables), std::end(kTables)) +
                        script_of(target(), std::begin(kPrograms), std::end(kPrograms)));
    auto before = read_schema(target());
    auto after = read_schema(target());
    auto kinds = named(after->get_tables(), "kinds");

    // Columns: drop one, add two (one between others), change a type and a default.
    kinds->get_columns()->remove(kinds->get_column("f2"));
    auto added = MetaColumn::with_type("added", Ombrix::Providers::Contracts::DataType::INT32, "INT");
    added->set_not_null(true);
    added->set_default_value("7");
    added->set_after("z");
    kinds->get_columns()->insert(2, added);
    kinds->get_column("at")->set_scale(6);
    kinds->get_column("pa")->set_default_value("5");
    // Indexes, keys and checks: drop some, add others, change one.
    kinds->get_indexes()->remove(named(kinds->get_indexes(), "ix_prefix"));
    auto index = MetaIndex::with_names(target(), target(), "kinds", "ix_new");
    index->set_method("BTREE");
    index->set_columns({"price", "pa"});
    kinds->get_indexes()->append(index);
    std::dynamic_pointer_cast<MetaForeignKey>(named(kinds->get_constraints(), "fk_parent"))->set_delete_action("RESTRICT");
    kinds->get_constraints()->remove(named(kinds->get_constraints(), "positive"));
    kinds->get_constraints()->append(MetaCheck::with_name("small", "`price` < 1000"));
    // Options and triggers.
    kinds->set_comment("changed kinds");
    kinds->set_option("ROW_FORMAT", "COMPACT");
    kinds->get_triggers()->remove(named(kinds->get_triggers(), "kinds_au"));
    auto trigger = MetaTrigger::with_body("kinds_bd", "SET @gone = OLD.id");
    trigger->set_timing("BEFORE");
    trigger->set_event("DELETE");
    trigger->set_definer(named(kinds->get_triggers(), "kinds_bi")->get_definer());
    trigger->set_attributes(named(kinds->get_triggers(), "kinds_bi")->get_attributes());
    kinds->get_triggers()->append(trigger);
    // The primary key grows by a column, another table's key moves to another column.
    auto pkt = named(after->get_tables(), "pkt");
    pkt->get_column("b")->set_is_primary_key(true);
    pkt->get_column("b")->set_primary_ordinal(2);
    pkt->set_option("PARTITION BY", "PARTITION BY HASH (`id`)\nPARTITIONS 3");
    auto keyed = named(after->get_tables(), "keyed");
    keyed->get_column("name")->set_is_primary_key(false);
    keyed->get_column("name")->set_primary_ordinal(0);
    keyed->get_column("name")->set_primary_length(0);
    keyed->get_column("hidden")->set_is_primary_key(true);
    keyed->get_column("hidden")->set_primary_ordinal(1);
    keyed->get_column("hidden")->set_not_null(true);
    // A view and an event change.
    named(after->get_views(), "v_cte")->set_definition(
        "with c as (select `" + target() + "`.`parent`.`b` AS `a` from `" + target() + "`.`parent`)select `c`.`a` AS `a` from `c`");
    named(after->get_events(), "e_once")->set_comment("moved");
    named(after->get_events(), "e_once")->set_schedule("AT '2031-01-01 00:00:00'");

    std::shared_ptr<MetaSchema> patched;
    ASSERT_EQ(Ombrix::Solvane::Transform::Patcher::create()->diff_meta_schema(after, before, false, &patched),
              DataVersion::UPDATE);
    run(m_builder->build_schema_patch(patched, true));
    auto again = read_schema(target());
    auto again_kinds = named(again->get_tables(), "kinds");
    std::vector<std::string> names;
    for (const auto& column : *again_kinds->get_columns()) names.push_back(column->get_name());
    EXPECT_EQ(names, (std::vector<std::string>{"id", "z", "added", "price", "at", "stamp", "colour", "flags", "doubled",
                                               "kept", "note", "pa", "pb", "f", "d", "bits", "j", "u", "t", "big",
                                               "blob_"}));
    // Everything else: the read schema is the edited model, once both carry the server's numbering
    // (positions shift with every added or dropped column) and the types it maps.
    for (const auto& table : *after->get_tables()) {
        auto read_table = named(again->get_tables(), table->get_name());
        ASSERT_NE(read_table, nullptr);
        for (const auto& column : *table->get_columns()) {
            auto read_column = read_table->get_column(column->get_name());
            ASSERT_NE(read_column, nullptr) << column->get_name();
            column->set_ordinal(read_column->get_ordinal());
            column->set_after(read_column->get_after());
            column->set_data_type(read_column->get_data_type());
        }
    }
    // An edited definition names its columns; their types are the server's to tell.
    for (const auto& view : *after->get_views()) {
        view->get_columns()->clear();
        for (const auto& column : *named(again->get_views(), view->get_name())->get_columns())
            view->get_columns()->append(clone_as(*column));
    }
    EXPECT_EQ(comparable(*again, target()), comparable(*after, target()));

    // A column renamed in place keeps its data and its place.
    Sandbox::get().exec("INSERT INTO " + ident(target()) + ".parent (a, b, c) VALUES (1, 'one', 3)");
    auto parent = named(read_schema(target())->get_tables(), "parent");
    // Everything else stays as it is: marked so, and no option to restate.
    for (const auto& column : *parent->get_columns()) column->set_version(DataVersion::IDENTICAL);
    for (const auto& index : *parent->get_indexes()) index->set_version(DataVersion::IDENTICAL);
    for (const auto& constraint : *parent->get_constraints()) constraint->set_version(DataVersion::IDENTICAL);
    parent->set_options({});
    auto renamed = parent->get_column("c");
    renamed->set_original("c");
    renamed->set_name("c_renamed");
    renamed->set_version(DataVersion::UPDATE);
    run(m_builder->patch_table(parent));
    auto parent_again = named(read_schema(target())->get_tables(), "parent");
    ASSERT_NE(parent_again->get_column("c_renamed"), nullptr);
    EXPECT_EQ(parent_again->get_column("c_renamed")->get_after(), "b");
    auto value = m_connection->execute_as_scalar("SELECT c_renamed FROM " + ident(target()) + ".parent", false);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ((*value)->to_string(), "3");
}

}  // namespace

// Statements the builder writes from hand-made or edited models, each run on the server and its
// outcome read back: what a model says is what the server ends up holding.
TEST_F(MariaDBBuilderOnServer, HandMadeModelsRunAsTheyRead) {
    const std::string t = target();
    const auto scalar = [&](const std::string& sql) {
        auto model = m_connection->execute_as_model(sql, false);
        EXPECT_TRUE(model.has_value()) << sql;
        return model && (*model)->get_n_items() > 0 ? (*model)->get_value_at(0, 0)->to_string() : std::string();
    };
    const auto show_create = [&](const std::string& table) {
        auto model = m_connection->execute_as_model("SHOW CREATE TABLE " + ident(t) + "." + ident(table), false);
        return model && (*model)->get_n_items() > 0 ? (*model)->get_value_at(1, 0)->to_string() : std::string();
    };

    // Only the partitioning changed: the ALTER names its table whole.
    run("CREATE TABLE parts (id INT NOT NULL, PRIMARY KEY (id))");
    auto parts = MetaTable::with_names(t, t, "parts");
    parts->set_option(std::string(DB::MariaDBBuilder::PARTITIONING), "PARTITION BY HASH (`id`) PARTITIONS 2");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->patch_table(parts)));
    EXPECT_NE(show_create("parts").find("PARTITION BY HASH (`id`)"), std::string::npos) << show_create("parts");
    // And removed again.
    parts->set_option(std::string(DB::MariaDBBuilder::PARTITIONING), "");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->patch_table(parts)));
    EXPECT_EQ(show_create("parts").find("PARTITION"), std::string::npos) << show_create("parts");

    // System versioning added and dropped by a patch.
    run("CREATE TABLE versioned (x INT)");
    auto versioned = MetaTable::with_names(t, t, "versioned");
    versioned->set_option(std::string(DB::MariaDBBuilder::SYSTEM_VERSIONING), "YES");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->patch_table(versioned)));
    EXPECT_NE(show_create("versioned").find("WITH SYSTEM VERSIONING"), std::string::npos);
    versioned->set_option(std::string(DB::MariaDBBuilder::SYSTEM_VERSIONING), "");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->patch_table(versioned)));
    EXPECT_EQ(show_create("versioned").find("SYSTEM VERSIONING"), std::string::npos);

    // A text option the server reads as a string.
    auto linked = MetaTable::with_names(t, t, "linked");
    linked->new_column("a", Ombrix::Providers::Contracts::DataType::INT32)->set_raw_type("INT");
    linked->set_option("ENGINE", "InnoDB");
    linked->set_option("CONNECTION", "it's a link");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_table(linked, true)));
    EXPECT_NE(show_create("linked").find("CONNECTION='it''s a link'"), std::string::npos) << show_create("linked");

    // A schema dropped whole: children before their parents, procedures and packages too.
    ScratchSchema doomed("bld_drop");
    const std::string d = doomed.name();
    Sandbox::get().exec("USE " + ident(d) +
                        "; CREATE TABLE p (id INT PRIMARY KEY); CREATE TABLE c (p INT, FOREIGN KEY (p) REFERENCES "
                        "p (id)); CREATE PROCEDURE pr() SELECT 1; CREATE FUNCTION fn() RETURNS INT RETURN 1; "
                        "CREATE VIEW v AS SELECT fn() AS x");
    auto schema = read_schema(d);
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_delete(schema)));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + d + "'"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = '" + d + "'"), "0");

    // The contract's schema script: a view that calls a function comes after it.
    auto rebuilt = read_schema(source());
    rebuilt->get_tables()->clear();
    auto only_views = MetaSchema::with_names(t, t);
    for (const auto& function : *rebuilt->get_functions())
        if (function->get_name() == "f_add") only_views->get_functions()->append(function);
    auto view = MetaView::with_names(t, t, "calls");
    view->set_definition("select `f_add`(1,2) AS `n`");
    only_views->get_views()->append(view);
    DB::retarget_schema(*only_views, source(), t);
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_schema(only_views, true)));
    EXPECT_EQ(scalar("SELECT n FROM " + ident(t) + ".calls"), "3");

    // Accounts: one without a host is any host's, for its grants too; a role has no host; a
    // deletion mark drops them.
    const std::string user_name = "bld_u" + std::to_string(getpid());
    const std::string role_name = "bld_r" + std::to_string(getpid());
    auto user = MetaUser::with_names("", "", user_name, "USER");
    user->set_privileges({{t + ".*", "SELECT"}});
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_user(user) + m_builder->build_grants(user)));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User = '" + user_name + "' AND Host = '%'"), "1");
    auto role = MetaRole::with_names("", "", role_name + "@h", "ROLE");
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_role(role)));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User = '" + role_name + "' AND is_role = 'Y'"), "1");
    user->set_version(DataVersion::DELETE);
    role->set_version(DataVersion::DELETE);
    ASSERT_NO_FATAL_FAILURE(run(m_builder->build_patch(user, true) + "\n" + m_builder->build_patch(role, true)));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User IN ('" + user_name + "', '" + role_name + "')"), "0");

    // A database change that names only what the new model has.
    auto before = MetaDatabase::with_name(t);
    before->set_attribute("CHARACTER SET", "utf8mb4");
    before->set_comment("old");
    auto after = MetaDatabase::with_name(t);
    after->set_comment("new");
    const std::string altered = m_builder->alter_database(before, after);
    EXPECT_EQ(altered.find("CHARACTER SET"), std::string::npos) << altered;
    ASSERT_NO_FATAL_FAILURE(run(altered));
    EXPECT_EQ(scalar("SELECT SCHEMA_COMMENT FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" + t + "'"), "new");
}
