// The MariaDB builder's texts for ordinary names and values, blank for blank, and the cases where
// the written text must differ from the naive one for the server to take it.
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"

#include <gtest/gtest.h>

#include <functional>

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
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/null_connection.hpp"

using namespace Ombrix::Solvane::MetaModel;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::DataVersion;
using Ombrix::Solvane::Supports::Database::MariaDBBuilder;

namespace {

std::shared_ptr<MetaColumn> column(MetaTable& table, const std::string& name, const std::string& type,
                                   std::uint64_t length = 0, std::uint8_t scale = 0) {
    auto made = table.new_column(name, DataType::UNKNOWN);
    made->set_raw_type(type);
    made->set_length(length);
    made->set_scale(scale);
    return made;
}

std::shared_ptr<MetaTable> table_of(const std::string& engine = "InnoDB") {
    auto table = MetaTable::with_names("s", "s", "t");
    if (!engine.empty()) table->set_option("ENGINE", engine);
    return table;
}

std::shared_ptr<MetaIndex> index_of(const std::string& name, const std::string& method, Ombrix::Core::StringList parts,
                                    const std::string& kind = "") {
    auto index = MetaIndex::with_names("s", "s", "t", name);
    index->set_method(method);
    index->set_kind(kind);
    index->set_columns(std::move(parts));
    return index;
}

class MariaDBBuilderTest : public ::testing::Test {
protected:
    Ombrix::Testing::NullConnection m_connection;
    std::shared_ptr<MariaDBBuilder> m_builder = MariaDBBuilder::create(&m_connection);
};

struct Case {
    const char* what;
    std::function<std::string(MariaDBBuilder&)> build;
    std::string expected;
};

}  // namespace

TEST_F(MariaDBBuilderTest, TablesColumnsAndTheirSizes) {
    const std::vector<Case> cases = {
        {"the plain example",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             auto id = column(*table, "id", "INT");
             id->set_is_unsigned(true);
             id->set_is_primary_key(true);
             id->set_auto_increment(true);
             id->set_not_null(true);
             column(*table, "name", "VARCHAR", 50);
             return b.build_table(table);
         },
         "CREATE TABLE IF NOT EXISTS `s`.`t` (\n"
         "    `id` INT UNSIGNED PRIMARY KEY NOT NULL AUTO_INCREMENT,\n"
         "    `name` VARCHAR(50) NULL\n"
         ") ENGINE = InnoDB;"},
        {"sizes: exact numerics always, approximate only with a scale, none for text families",
         [](MariaDBBuilder& b) {
             auto table = table_of("");
             column(*table, "d", "DECIMAL", 10, 2);
             column(*table, "z", "DECIMAL");
             column(*table, "f", "FLOAT", 12);
             column(*table, "g", "DOUBLE", 7, 3);
             column(*table, "tx", "TEXT", 65535);
             column(*table, "mt", "MEDIUMTEXT", 16777215);
             column(*table, "lb", "LONGBLOB", 4294967295ULL);
             column(*table, "v", "VARCHAR");
             column(*table, "i", "INT");
             column(*table, "dt", "DATETIME", 0, 6);
             column(*table, "b", "BIT", 5);
             auto e = column(*table, "e", "ENUM");
             e->set_enum_values("'a','b'");
             return b.build_table_columns(table, true, false);
         },
         "    `d` DECIMAL(10, 2) NULL,\n    `z` DECIMAL(0, 0) NULL,\n    `f` FLOAT NULL,\n    `g` DOUBLE(7, 3) NULL,\n"
         "    `tx` TEXT NULL,\n    `mt` MEDIUMTEXT NULL,\n    `lb` LONGBLOB NULL,\n    `v` VARCHAR(32) NULL,\n"
         "    `i` INT NULL,\n    `dt` DATETIME(6) NULL,\n    `b` BIT(5) NULL,\n    `e` ENUM('a','b') NULL,\n"},
        {"attributes in their order, quoting their texts",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             auto c = column(*table, "c", "VARCHAR", 20);
             c->set_not_null(true);
             c->set_default_value("'x'");
             c->set_comment("it's");
             c->set_collation("utf8mb4_bin");
             auto z = column(*table, "z", "INT", 6);
             z->set_is_unsigned(true);
             z->set_is_fill_zero(true);
             auto ts = column(*table, "ts", "TIMESTAMP", 0, 3);
             ts->set_default_value("current_timestamp(3)");
             ts->set_update_timestamp(true);
             ts->set_not_null(true);
             return b.build_table_columns(table, true, false);
         },
         "    `c` VARCHAR(20) NOT NULL DEFAULT 'x' COMMENT 'it''s' COLLATE utf8mb4_bin,\n"
         "    `z` INT(6) UNSIGNED ZEROFILL NULL,\n"
         "    `ts` TIMESTAMP(3) NOT NULL DEFAULT current_timestamp(3) ON UPDATE CURRENT_TIMESTAMP(3),\n"},
        {"generated columns take no NULL clause; a composite key is one clause in key order",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             auto a = column(*table, "a", "INT");
             a->set_is_primary_key(true);
             a->set_primary_ordinal(2);
             a->set_not_null(true);
             auto k = column(*table, "k", "VARCHAR", 10);
             k->set_is_primary_key(true);
             k->set_primary_ordinal(1);
             k->set_not_null(true);
             auto g = column(*table, "g", "INT");
             g->set_is_virtual(true);
             g->set_is_generated_always(true);
             g->set_virtual_type("VIRTUAL");
             g->set_expression("`a` * 2");
             return b.build_table(table);
         },
         "CREATE TABLE IF NOT EXISTS `s`.`t` (\n"
         "    `a` INT NOT NULL,\n"
         "    `k` VARCHAR(10) NOT NULL,\n"
         "    `g` INT GENERATED ALWAYS AS (`a` * 2) VIRTUAL,\n"
         "    PRIMARY KEY (`k`, `a`)\n"
         ") ENGINE = InnoDB;"},
        {"a table keeping history names its period and says so after its options",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             column(*table, "x", "INT");
             for (const char* which : {"ROW START", "ROW END"}) {
                 auto p = column(*table, which == std::string("ROW START") ? "s" : "e", "TIMESTAMP", 0, 6);
                 p->set_is_virtual(true);
                 p->set_is_generated_always(true);
                 p->set_virtual_type("STORED");
                 p->set_expression(which);
             }
             table->set_option("SYSTEM_VERSIONING", "YES");
             table->set_comment("h");
             return b.build_table(table);
         },
         "CREATE TABLE IF NOT EXISTS `s`.`t` (\n"
         "    `x` INT NULL,\n"
         "    `s` TIMESTAMP(6) GENERATED ALWAYS AS ROW START,\n"
         "    `e` TIMESTAMP(6) GENERATED ALWAYS AS ROW END,\n"
         "    PERIOD FOR SYSTEM_TIME (`s`, `e`)\n"
         ") ENGINE = InnoDB COMMENT = 'h' WITH SYSTEM VERSIONING;"},
        {"indexes, keys, checks and triggers of a new table",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             column(*table, "a", "INT");
             column(*table, "note", "TEXT", 65535);
             table->get_indexes()->append(index_of("u", "BTREE", {"a"}, "UNIQUE"));
             table->get_indexes()->append(index_of("p", "BTREE", {"note(10) DESC", "a"}));
             table->get_indexes()->append(index_of("ft", "FULLTEXT", {"note"}));
             auto key = MetaForeignKey::with_names("fk", "s", "p");
             key->set_local_columns("a");
             key->set_refer_columns("id");
             key->set_delete_action("CASCADE");
             table->get_constraints()->append(key);
             auto other = MetaForeignKey::with_names("fk_other", "elsewhere", "q");
             other->set_local_columns("a");
             other->set_refer_columns("id");
             table->get_constraints()->append(other);
             table->get_constraints()->append(MetaCheck::with_name("positive", "`a` > 0"));
             auto trigger = MetaTrigger::with_body("tr", "SET NEW.a = 1");
             trigger->set_timing("BEFORE");
             trigger->set_event("INSERT");
             table->get_triggers()->append(trigger);
             return b.build_table(table);
         },
         "CREATE TABLE IF NOT EXISTS `s`.`t` (\n"
         "    `a` INT NULL,\n"
         "    `note` TEXT NULL,\n"
         "    UNIQUE INDEX `u` USING BTREE (a),\n"
         "    INDEX `p` USING BTREE (note(10) DESC, a),\n"
         "    FULLTEXT INDEX `ft` (note),\n"
         "    CONSTRAINT FOREIGN KEY `fk`(a) REFERENCES `p`(id) ON DELETE CASCADE,\n"
         "    CONSTRAINT FOREIGN KEY `fk_other`(a) REFERENCES `elsewhere`.`q`(id),\n"
         "    CONSTRAINT `positive` CHECK (`a` > 0)\n"
         ") ENGINE = InnoDB;\n"
         "CREATE TRIGGER `s`.`tr`\n"
         "BEFORE INSERT\n"
         "ON `s`.`t` FOR EACH ROW\n"
         "SET NEW.a = 1;\n\n"},
        // A method stands where the model has one, whatever the engine: a model read from a server
        // keeps only the methods its table gave, which the server writes back as given.
        {"index methods on every engine",
         [](MariaDBBuilder& b) {
             std::string text;
             for (const char* engine : {"MyISAM", "MEMORY", ""}) {
                 auto table = table_of(engine);
                 column(*table, "a", "INT");
                 table->get_indexes()->append(index_of("h", "HASH", {"a"}));
                 table->get_indexes()->append(index_of("b", "BTREE", {"a"}));
                 text += b.build_table_indexes(table, false);
             }
             return text;
         },
         "    INDEX `h` USING HASH (a),\n    INDEX `b` USING BTREE (a),\n"
         "    INDEX `h` USING HASH (a),\n    INDEX `b` USING BTREE (a),\n"
         "    INDEX `h` USING HASH (a),\n    INDEX `b` USING BTREE (a),\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.build(*m_builder), c.expected) << c.what;
}

TEST(MariaDBBuilderMapped, WithoutNativeTypesTheInspectorNamesThem) {
    // An unopened connection hands out its inspector; nothing is sent anywhere.
    auto connection = Ombrix::Solvane::Supports::Database::MariaDBConnection::create();
    auto builder = std::dynamic_pointer_cast<MariaDBBuilder>(connection->builder());
    ASSERT_NE(builder, nullptr);
    auto table = MetaTable::with_names("s", "s", "t");
    auto id = table->new_column("id", DataType::INT32);
    id->set_raw_type("MEDIUMINT");
    auto name = table->new_column("name", DataType::STRING);
    name->set_raw_type("TINYTEXT");
    name->set_length(40);
    EXPECT_EQ(builder->build_table_columns(table, false, false), "    `id` INTEGER NULL,\n    `name` VARCHAR(40) NULL,\n");
    EXPECT_EQ(builder->build_table_columns(table, true, false),
              "    `id` MEDIUMINT NULL,\n    `name` TINYTEXT NULL,\n");
}

TEST_F(MariaDBBuilderTest, PatchesFollowTheEditStates) {
    const std::vector<Case> cases = {
        {"columns: drops first, then changes with their place; no key restated",
         [](MariaDBBuilder& b) {
             auto table = table_of("");
             auto gone = column(*table, "gone", "INT");
             gone->set_version(DataVersion::DELETE);
             auto kept = column(*table, "kept", "INT");
             kept->set_version(DataVersion::IDENTICAL);
             auto renamed = column(*table, "new_name", "VARCHAR", 10);
             renamed->set_original("old_name");
             renamed->set_after("kept");
             renamed->set_is_primary_key(true);
             renamed->set_version(DataVersion::UPDATE);
             auto first = column(*table, "first", "INT");
             first->set_version(DataVersion::INSERT);
             return b.patch_table(table);
         },
         "ALTER TABLE `s`.`t`\n"
         "    DROP COLUMN `gone`,\n"
         "    CHANGE COLUMN `old_name` `new_name` VARCHAR(10) NULL AFTER `kept`,\n"
         "    ADD COLUMN `first` INT NULL FIRST;\n"},
        {"an updated index is dropped and added again; checks and keys drop by name",
         [](MariaDBBuilder& b) {
             auto table = table_of("");
             auto a = column(*table, "a", "INT");
             a->set_version(DataVersion::IDENTICAL);
             auto index = index_of("i", "BTREE", {"a"}, "UNIQUE");
             index->set_version(DataVersion::UPDATE);
             table->get_indexes()->append(index);
             auto key = MetaForeignKey::with_names("fk", "s", "p");
             key->set_version(DataVersion::DELETE);
             table->get_constraints()->append(key);
             auto check = MetaCheck::with_name("c", "a > 0");
             check->set_version(DataVersion::INSERT);
             table->get_constraints()->append(check);
             return b.patch_table(table);
         },
         "ALTER TABLE `s`.`t`\n"
         "    DROP INDEX `i`,\n"
         "    ADD UNIQUE INDEX `i` USING BTREE (a),\n"
         "    DROP FOREIGN KEY fk,\n"
         "    ADD CONSTRAINT `c` CHECK (a > 0);\n"},
        {"only an option changed",
         [](MariaDBBuilder& b) {
             auto table = MetaTable::with_names("s", "s", "t");
             table->set_option("ENGINE", "MyISAM");
             table->set_option("COMMENT", "new");
             return b.patch_table(table);
         },
         "ALTER TABLE `s`.`t`\n    ENGINE = MyISAM, COMMENT = 'new';\n"},
        {"only a trigger changed: no empty ALTER TABLE",
         [](MariaDBBuilder& b) {
             auto table = MetaTable::with_names("s", "s", "t");
             auto trigger = MetaTrigger::with_body("tr", "BEGIN SET @x = 1; END");
             trigger->set_timing("AFTER");
             trigger->set_event("DELETE");
             trigger->set_version(DataVersion::UPDATE);
             table->get_triggers()->append(trigger);
             return b.patch_table(table);
         },
         "DROP TRIGGER IF EXISTS s.tr;\n"
         "CREATE TRIGGER `s`.`tr`\nAFTER DELETE\nON `s`.`t` FOR EACH ROW\nBEGIN SET @x = 1; END;\n\n\n"},
        {"unchanged and untouched tables give nothing",
         [](MariaDBBuilder& b) {
             auto table = table_of();
             table->set_version(DataVersion::IDENTICAL);
             std::string text = b.build_patch(table);
             table->set_version(DataVersion::INITIAL);
             return text + b.build_patch(table);
         },
         ""},
        {"routines and events are dropped and created again, qualified",
         [](MariaDBBuilder& b) {
             auto procedure = MetaFunction::with_names("s", "s", "p");
             procedure->set_body("SELECT 1");
             procedure->set_version(DataVersion::UPDATE);
             return b.build_patch(procedure);
         },
         "DROP PROCEDURE IF EXISTS `s`.`p`;\nCREATE PROCEDURE s.p()\nSELECT 1;"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.build(*m_builder), c.expected) << c.what;
}

TEST_F(MariaDBBuilderTest, OtherObjects) {
    const std::vector<Case> cases = {
        {"a plain database",
         [](MariaDBBuilder& b) { return b.create_database(MetaDatabase::with_name("d")); },
         "CREATE DATABASE IF NOT EXISTS `d`;\n"},
        {"equal databases alter nothing; a changed one says what changed",
         [](MariaDBBuilder& b) {
             auto old_one = MetaDatabase::with_name("d");
             auto new_one = MetaDatabase::with_name("d");
             std::string text = b.alter_database(old_one, new_one);
             new_one->set_attribute("COLLATE", "utf8mb4_bin");
             new_one->set_comment("c");
             return text + b.alter_database(old_one, new_one);
         },
         "ALTER DATABASE `d`\n  COLLATE = 'utf8mb4_bin'\n  COMMENT = 'c';"},
        {"a stand-alone index",
         [](MariaDBBuilder& b) {
             auto index = index_of("i", "BTREE", {"a", "b"});
             index->set_algorithm("INPLACE");
             return b.build_index(index);
         },
         "CREATE INDEX `i` ON `s`.`t`( \n    a,\n    b\n)\nALGORITHM = INPLACE;"},
        {"a view with its attributes",
         [](MariaDBBuilder& b) {
             auto view = MetaView::with_names("s", "s", "v");
             view->set_definition("select `t`.`a` AS `a` from `s`.`t`");
             view->set_attribute("ALGORITHM", "MERGE");
             view->set_attribute("DEFINER", "root@localhost");
             view->set_attribute("SECURITY", "INVOKER");
             view->set_attribute("CHECK", "CASCADED");
             return b.build_view(view) + "|" + b.patch_view(view);
         },
         "CREATE ALGORITHM = MERGE DEFINER = `root`@`localhost` SQL SECURITY INVOKER VIEW `s`.`v` AS select "
         "`t`.`a` AS `a` from `s`.`t`\nWITH CASCADED CHECK OPTION;|ALTER ALGORITHM = MERGE DEFINER = "
         "`root`@`localhost` SQL SECURITY INVOKER VIEW `s`.`v` AS select `t`.`a` AS `a` from `s`.`t`\nWITH "
         "CASCADED CHECK OPTION;"},
        {"a function: a body of statements in a block, a single statement bare",
         [](MariaDBBuilder& b) {
             auto function = MetaFunction::with_names("s", "s", "f");
             function->set_is_function(true);
             function->set_parameters({"a INT", "b INT"});
             function->set_return_type("int(11)");
             function->set_attribute("DEFINER", "root@localhost");
             function->set_attribute("DETERMINISTIC", "YES");
             function->set_attribute("COMMENT", "it's");
             function->set_attribute("SQL SECURITY", "INVOKER");
             function->set_body("DECLARE x INT; SET x = a; RETURN x + b;");
             std::string text = b.build_function(function);
             function->set_body("RETURN a + b");
             return text + "|" + b.build_function(function);
         },
         "CREATE DEFINER = `root`@`localhost` FUNCTION s.f(a INT, b INT) RETURNS int(11) COMMENT 'it''s' "
         "DETERMINISTIC SQL SECURITY INVOKER\nBEGIN\n  DECLARE x INT; SET x = a; RETURN x + b;\nEND;|"
         "CREATE DEFINER = `root`@`localhost` FUNCTION s.f(a INT, b INT) RETURNS int(11) COMMENT 'it''s' "
         "DETERMINISTIC SQL SECURITY INVOKER\nRETURN a + b;"},
        {"callers",
         [](MariaDBBuilder& b) {
             auto procedure = MetaFunction::with_names("s", "s", "p");
             procedure->set_parameters({"IN a INT", "OUT b INT", "INOUT c INT => 5"});
             auto function = MetaFunction::with_names("s", "s", "f");
             function->set_is_function(true);
             return b.build_caller(procedure) + "|" + b.build_caller(function);
         },
         "SET @c = 5;\nCALL `s`.`p`(_, @b, @c)|SELECT `s`.`f`()"},
        {"a stand-alone trigger: a body of statements in a block, one terminator",
         [](MariaDBBuilder& b) {
             auto trigger = MetaTrigger::with_names("s", "s", "tr");
             trigger->set_definer("root@localhost");
             trigger->set_timing("BEFORE");
             trigger->set_event("UPDATE");
             trigger->set_target("t");
             trigger->set_order("FOLLOWS");
             trigger->set_trigger("other");
             trigger->set_body("SET NEW.a = 1;");
             return b.build_trigger(trigger);
         },
         "CREATE DEFINER = `root`@`localhost` TRIGGER `s`.`tr` BEFORE UPDATE ON s.t FOR EACH ROW FOLLOWS "
         "other\nBEGIN\n SET NEW.a = 1;\nEND;\n"},
        {"events: the definer as an account, the state as CREATE EVENT takes it, a terminated statement",
         [](MariaDBBuilder& b) {
             auto event = MetaEvent::with_names("s", "s", "e");
             event->set_schedule("EVERY 1 DAY");
             event->set_completion("NOT PRESERVE");
             event->set_state("DISABLED");
             event->set_comment("daily");
             event->set_body("DELETE FROM t; DELETE FROM u;");
             std::string text = b.build_event(event);
             event->set_definer("root@localhost");
             event->set_state("ENABLED");
             event->set_body("DELETE FROM t");
             return text + "|" + b.build_event(event) + "|" + b.patch_event(event);
         },
         "CREATE EVENT IF NOT EXISTS`s`.`e`\n\tON SCHEDULE EVERY 1 DAY ON COMPLETION NOT PRESERVE DISABLE\n"
         "\tCOMMENT 'daily'\n\tDO BEGIN\n\t\tDELETE FROM t; DELETE FROM u;\n\tEND;\n|"
         "CREATE DEFINER = `root`@`localhost` EVENT IF NOT EXISTS `s`.`e`\n\tON SCHEDULE EVERY 1 DAY ON COMPLETION "
         "NOT PRESERVE ENABLE\n\tCOMMENT 'daily'\n\tDO DELETE FROM t;\n|"
         "ALTER DEFINER = `root`@`localhost` EVENT `s`.`e`\n\tON SCHEDULE EVERY 1 DAY ON COMPLETION NOT PRESERVE "
         "ENABLE\n\tCOMMENT 'daily'\n\tDO DELETE FROM t;\n"},
        {"users: a password as given, a stored hash as a hash, TLS parts and limits",
         [](MariaDBBuilder& b) {
             auto user = MetaUser::with_names("", "", "bob", "USER");
             user->set_password("pw");
             for (const auto& [key, value] :
                  {std::pair<const char*, const char*>{"PLUGIN", "default"}, {"SSL_TYPE", "SPECIFIED"},
                   {"X509_SUBJECT", "/CN=bob"}, {"X509_CIPHER", "AES"}, {"MAX_QUERIES", "1"}, {"MAX_UPDATES", "2"},
                   {"MAX_CONNECTIONS", "3"}, {"USER_CONNECTIONS", "4"}, {"MAX_STATEMENT_TIME", "5"},
                   {"PASSWORD_POLICY", "NEVER"}})
                 user->set_attribute(key, value);
             std::string text = b.build_user(user);
             auto loaded = MetaUser::with_names("", "", "amy@%", "USER");
             loaded->set_password("*D821809F681A40A6E379B50D0463EFAE20BDD122");
             loaded->set_attribute("PLUGIN", "mysql_native_password");
             loaded->set_attribute("SSL_TYPE", "ANY");
             loaded->set_attribute("PASSWORD_POLICY", "N");
             loaded->set_attribute("PASSWORD_LIFETIME", "30");
             return text + "|" + b.build_user(loaded);
         },
         "CREATE USER `bob`@`%` IDENTIFIED BY 'pw' \n  REQUIRE SUBJECT '/CN=bob' AND CIPHER 'AES' \n  WITH "
         "MAX_QUERIES_PER_HOUR 1 MAX_UPDATES_PER_HOUR 2 MAX_CONNECTIONS_PER_HOUR 3 MAX_USER_CONNECTIONS 4 "
         "MAX_STATEMENT_TIME 5\n  PASSWORD EXPIRE NEVER;\n|"
         "CREATE USER `amy`@`%` IDENTIFIED BY PASSWORD '*D821809F681A40A6E379B50D0463EFAE20BDD122' \n  REQUIRE SSL "
         "\n  WITH MAX_QUERIES_PER_HOUR 0 MAX_UPDATES_PER_HOUR 0 MAX_CONNECTIONS_PER_HOUR 0 MAX_USER_CONNECTIONS 0 "
         "MAX_STATEMENT_TIME 0\n  PASSWORD EXPIRE INTERVAL 30 DAY;\n"},
        {"roles, and what users and roles hold",
         [](MariaDBBuilder& b) {
             auto role = MetaRole::with_names("", "", "reader", "ROLE");
             role->set_privileges({{"shop.*", "SELECT, GRANT OPTION"}, {"*.*", "USAGE"}});
             role->set_relations({{"reader=bob@%", "true"}, {"reader=boss@", "false"}});
             auto named = MetaRole::with_names("", "", "r@h", "ROLE");
             named->set_attribute("WITH ADMIN", "root@localhost");
             return b.build_role(role) + "|" + b.build_role(named) + "|" + b.build_grants(role);
         },
         "CREATE ROLE `reader`;|CREATE ROLE `r` WITH ADMIN `root`@`localhost`;|"
         "GRANT SELECT ON `shop`.* TO `reader` WITH GRANT OPTION;\n"
         "GRANT `reader` TO `bob`@`%` WITH ADMIN OPTION;\nGRANT `reader` TO `boss`;\n"},
        {"drops name their schema and quote their names",
         [](MariaDBBuilder& b) {
             auto schema = MetaSchema::with_names("s", "s");
             schema->get_tables()->append(MetaTable::with_names("s", "s", "t"));
             schema->get_views()->append(MetaView::with_names("s", "s", "v"));
             auto function = MetaFunction::with_names("s", "s", "f");
             function->set_is_function(true);
             schema->get_functions()->append(function);
             schema->get_events()->append(MetaEvent::with_names("s", "s", "e"));
             return b.build_delete(schema) + "|" + b.build_delete(index_of("i", "", {})) + "|" +
                    b.build_delete(MetaUser::with_names("", "", "bob@%", "USER")) + "|" +
                    b.build_delete(MetaRole::with_names("", "", "r", "ROLE"));
         },
         "DROP VIEW IF EXISTS `s`.`v`;DROP TABLE IF EXISTS `s`.`t`;DROP FUNCTION IF EXISTS `s`.`f`;DROP EVENT IF "
         "EXISTS `s`.`e`;|DROP INDEX `i` ON `s`.`t`;|DROP USER IF EXISTS bob@`%`;|DROP ROLE IF EXISTS r;"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.build(*m_builder), c.expected) << c.what;
}

TEST_F(MariaDBBuilderTest, SchemaScriptsRunInOrder) {
    // c references b, b references a; x and y reference each other; v2 selects from v1, which
    // selects from c.
    auto schema = MetaSchema::with_names("s", "s");
    const auto add_table = [&](const std::string& name, const std::string& refers) {
        auto table = MetaTable::with_names("s", "s", name);
        column(*table, "id", "INT");
        if (!refers.empty()) {
            auto key = MetaForeignKey::with_names("fk_" + name, "s", refers);
            key->set_local_columns("id");
            key->set_refer_columns("id");
            table->get_constraints()->append(key);
        }
        schema->get_tables()->append(table);
    };
    add_table("c", "b");
    add_table("x", "y");
    add_table("b", "a");
    add_table("y", "x");
    add_table("a", "");
    for (const auto& [name, definition] : {std::pair<const char*, const char*>{"v2", "select `id` from `v1`"},
                                           {"v1", "select `id` from `c`"}}) {
        auto view = MetaView::with_names("s", "s", name);
        view->set_definition(definition);
        schema->get_views()->append(view);
    }
    const std::string text = m_builder->build_schema(schema);
    const auto at = [&](const std::string& part) {
        const auto found = text.find(part);
        EXPECT_NE(found, std::string::npos) << part << "\n" << text;
        return found;
    };
    EXPECT_LT(at("EXISTS `s`.`a`"), at("EXISTS `s`.`b`"));
    EXPECT_LT(at("EXISTS `s`.`b`"), at("EXISTS `s`.`c`"));
    EXPECT_LT(at("VIEW `s`.`v1`"), at("VIEW `s`.`v2`"));
    EXPECT_LT(at("EXISTS `s`.`c`"), at("VIEW `s`.`v1`"));
    // The cycle is closed by one key added after both tables exist.
    EXPECT_LT(at("EXISTS `s`.`y`"), at("ALTER TABLE `s`.`y` ADD CONSTRAINT FOREIGN KEY `fk_y`(id) REFERENCES `x`(id);"));
    EXPECT_EQ(text.find("REFERENCES `x`"), text.rfind("REFERENCES `x`"));
    // The model keeps its own order.
    EXPECT_EQ(schema->get_tables()->get(0)->get_name(), "c");
}

TEST(MariaDBSqlText, JoinGroupsAtTheHeadOfFromAreLeftOut) {
    using Ombrix::Solvane::Supports::Database::ungroup_joins;
    // What the server writes for a view given comma joins, and for the same view read back: one text.
    EXPECT_EQ(ungroup_joins("select `a`.`id` AS `id` from ((`a` join `b`) join `c`) where `a`.`id` = `b`.`id`"),
              "select `a`.`id` AS `id` from `a` join `b` join `c` where `a`.`id` = `b`.`id`");
    EXPECT_EQ(ungroup_joins("select 1 from `a` where x in (select y from (`b` join `c`) where 1)"),
              "select 1 from `a` where x in (select y from `b` join `c` where 1)");
    EXPECT_EQ(ungroup_joins("select 1 from ((`a` left join `b` on(`a`.`i` = `b`.`i`)) left join `c` on(`c`.`i` = 1))"),
              "select 1 from `a` left join `b` on(`a`.`i` = `b`.`i`) left join `c` on(`c`.`i` = 1)");
    // Right-nested joins, derived tables, unions and quoted text keep their parentheses; inside a
    // derived table its own FROM is read alike.
    for (const char* kept : {"select 1 from `a` join (`b` join `c` on(1)) on(2)", "(select 1 from `a`) union (select 2 from `b`)",
                             "select 'from (a join b)' from `t`", "select 1 from (`a`)"})
        EXPECT_EQ(ungroup_joins(kept), kept);
    EXPECT_EQ(ungroup_joins("select 1 from (select 1 from (`a` join `b`)) `d`"), "select 1 from (select 1 from `a` join `b`) `d`");
    // A group glued to the words around it leaves them apart, not fused into other names.
    EXPECT_EQ(ungroup_joins("select 1 from(a join b)where x"), "select 1 from a join b where x");
    EXPECT_EQ(ungroup_joins("select 1 from((a join b)join c)"), "select 1 from a join b join c");
    // Nor does a dropped parenthesis glue a word to an @ before it, making a variable of it.
    EXPECT_EQ(ungroup_joins("select 1 from(a join b@)where x"), "select 1 from a join b@ where x");
    // A derived table that starts with a parenthesised query keeps its parentheses, also once the
    // join group of its own FROM is gone (read again, the text stays as it is).
    const std::string derived = "select 1 from ((select 1) union select 2 from a join b) x";
    EXPECT_EQ(ungroup_joins("select 1 from ((select 1) union select 2 from (a join b)) x"), derived);
    EXPECT_EQ(ungroup_joins(derived), derived);
}

TEST_F(MariaDBBuilderTest, RetargetMovesQualifiedNamesOnly) {
    using Ombrix::Solvane::Supports::Database::requalify;
    EXPECT_EQ(requalify("select `old`.`t`.`a` AS `a` from `old`.`t` where x = 'old.t'", "old", "new"),
              "select `new`.`t`.`a` AS `a` from `new`.`t` where x = 'old.t'");
    // A bare name stays bare unless the new one needs quotes; variables are no names of a schema.
    EXPECT_EQ(requalify("select old.t.old from old . t /* old.t */", "old", "new"), "select new.t.old from new . t /* old.t */");
    EXPECT_EQ(requalify("select old.t", "old", "select"), "select `select`.t");
    EXPECT_EQ(requalify("set @old.x = old.f(@@old.y, @`old`.z, @'old'.w)", "old", "new"),
              "set @old.x = new.f(@@old.y, @`old`.z, @'old'.w)");
    EXPECT_EQ(requalify("select `old` from old_t", "old", "new"), "select `old` from old_t");
}

TEST_F(MariaDBBuilderTest, NullArgumentsAreRefused) {
    Ombrix::Testing::LogCapture log;
    EXPECT_EQ(m_builder->build_table(nullptr), "");
    EXPECT_EQ(m_builder->build_create(nullptr, true), "");
    EXPECT_EQ(m_builder->build_user(nullptr), "");
    EXPECT_TRUE(log.has_critical("table != NULL"));
    EXPECT_TRUE(log.has_critical("meta_object != NULL"));
    EXPECT_TRUE(log.has_critical("user != NULL"));
    EXPECT_EQ(MariaDBBuilder::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("connection != NULL"));
}
