#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "solvane/Model/index.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/provider_connection.hpp"

namespace {

using namespace Ombrix::Solvane::MetaModel;
using Ombrix::Solvane::Supports::Database::MariaDBAdapter;
using Ombrix::Solvane::Supports::Database::MariaDBAdapterBelowV105;
using Ombrix::Solvane::Supports::Database::MariaDBConnection;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::ProviderConnection;

TEST(MariaDBAdapter, StripsBeginEndOnlyFromARealBlock) {
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("BEGIN\n  RETURN 1;\nEND"), "\n  RETURN 1;\n");
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("begin set @a = 1; end"), " set @a = 1; ");
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("BEGIN\nEND"), "\n");
    // Not a block: a statement that merely starts or ends with those letters keeps every character.
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("RETURN CONCAT('a', 'END')"), std::nullopt);
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("BEGINNING_VALUE + LEGEND"), std::nullopt);
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("BEGIN SELECT 1; BACKEND"), std::nullopt);
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("RETURN a + b"), std::nullopt);
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("BEGIN"), std::nullopt);
    EXPECT_EQ(MariaDBAdapter::strip_begin_end(""), std::nullopt);
    // A labelled block does not start with the keyword: left whole.
    EXPECT_EQ(MariaDBAdapter::strip_begin_end("lbl: BEGIN SELECT 1; END lbl"), std::nullopt);
}

TEST(MariaDBAdapter, EnumValuesKeepEveryCharacterBetweenTheParentheses) {
    EXPECT_EQ(MariaDBAdapter::enum_values_of("enum('a','b')"), "'a','b'");
    EXPECT_EQ(MariaDBAdapter::enum_values_of("set('x','y.z','(p)')"), "'x','y.z','(p)'");
    EXPECT_EQ(MariaDBAdapter::enum_values_of("ENUM('it''s','dark-blue')"), "'it''s','dark-blue'");
    EXPECT_EQ(MariaDBAdapter::enum_values_of("int(10) unsigned"), "");
    EXPECT_EQ(MariaDBAdapter::enum_values_of("varchar(20)"), "");
    EXPECT_EQ(MariaDBAdapter::enum_values_of("settings"), "");
}

TEST(MariaDBAdapter, AMariaDBConnectionHandsOutTheMariaDBAdapter) {
    auto connection = MariaDBConnection::create();
    auto adapter = std::dynamic_pointer_cast<MariaDBAdapter>(connection->adapter());
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->type_info().name(), "OmbrixSolvaneSupportsDatabaseMariaDBAdapter");
    EXPECT_EQ(adapter->get_connection(), connection.get());
}

/// Each operation's first query, as recorded by a connection whose queries all fail: the failure
/// comes back unchanged and the object stays unmarked.
class MariaDBAdapterTexts : public ::testing::Test {
protected:
    ProviderConnection m_connection{nullptr};
    std::shared_ptr<MariaDBAdapter> m_adapter = MariaDBAdapter::create(&m_connection);

    /// Runs `fill`, expects the connection's error, and gives the one statement it sent.
    template <class Fill>
    std::string first_text(Fill fill) {
        const std::size_t before = m_connection.statements().size();
        auto status = fill();
        EXPECT_FALSE(status.has_value());
        if (!status) {
            EXPECT_EQ(status.error().domain, "MariaDB");
            EXPECT_EQ(status.error().code, -1);
        }
        EXPECT_EQ(m_connection.statements().size(), before + 1);
        return m_connection.statements().empty() ? std::string() : m_connection.statements().back();
    }
};

TEST_F(MariaDBAdapterTexts, OrdinaryNamesGiveTheExactQueries) {
    auto database = MetaDatabase::with_name("shop");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_database(database, true); }),
              "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME, SCHEMA_COMMENT FROM "
              "`information_schema`.`SCHEMATA` WHERE SCHEMA_NAME = 'shop' ORDER BY SCHEMA_NAME ASC;");
    EXPECT_FALSE(database->is_filled());
    EXPECT_TRUE(database->get_schemas()->empty());

    auto old = MariaDBAdapterBelowV105::create(&m_connection);
    EXPECT_EQ(first_text([&] { return old->fill_meta_database(database, false); }),
              "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM "
              "`information_schema`.`SCHEMATA` WHERE SCHEMA_NAME = 'shop' ORDER BY SCHEMA_NAME ASC;");

    auto schema = MetaSchema::with_names("shop", "shop");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_schema(schema, true); }),
              "SELECT TABLE_NAME, TABLE_TYPE FROM `information_schema`.`TABLES` WHERE TABLE_SCHEMA = 'shop' AND "
              "(TABLE_TYPE IN ('BASE TABLE', 'VIEW', 'SYSTEM VIEW', 'SYSTEM VERSIONED', 'SEQUENCE')) ORDER BY TABLE_NAME ASC;");
    EXPECT_FALSE(schema->is_filled());

    auto table = MetaTable::with_names("shop", "shop", "orders");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_table(table, true); }),
              "SELECT COLUMN_NAME, ORDINAL_POSITION, COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, "
              "CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION, CHARACTER_SET_NAME, "
              "COLLATION_NAME, COLUMN_TYPE, COLUMN_KEY, EXTRA, COLUMN_COMMENT, GENERATION_EXPRESSION FROM "
              "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = 'shop' and TABLE_NAME = 'orders' ORDER BY "
              "ORDINAL_POSITION ASC;");
    EXPECT_FALSE(table->is_filled());

    auto view = MetaView::with_names("shop", "shop", "recent");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_view(view); }), "SELECT VIEW_DEFINITION, CHECK_OPTION, DEFINER, SECURITY_TYPE, ALGORITHM, COLLATION_CONNECTION FROM information_schema.VIEWS WHERE "
              "TABLE_SCHEMA = 'shop' AND TABLE_NAME = 'recent';");

    auto index = MetaIndex::with_names("shop", "shop", "orders", "ix_customer");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_index(index); }),
              "SELECT TABLE_NAME, NON_UNIQUE, INDEX_TYPE, INDEX_COMMENT, SEQ_IN_INDEX, COLUMN_NAME, SUB_PART, COLLATION, "
              "TABLE_SCHEMA FROM `information_schema`.`STATISTICS` WHERE TABLE_SCHEMA = 'shop' AND TABLE_NAME = 'orders' "
              "AND INDEX_NAME = 'ix_customer' ORDER BY SEQ_IN_INDEX ASC;");

    auto trigger = MetaTrigger::with_names("shop", "shop", "orders_bi");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_trigger(trigger); }),
              "SELECT EVENT_OBJECT_TABLE, DEFINER, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORIENTATION, "
              "ACTION_STATEMENT, SQL_MODE, COLLATION_CONNECTION, TRIGGER_SCHEMA, TRIGGER_NAME FROM "
              "information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = 'shop' AND TRIGGER_NAME = 'orders_bi';");

    auto function = MetaFunction::with_names("shop", "shop", "total_of");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_function(function); }),
              "SELECT ROUTINE_TYPE, DATA_TYPE, DTD_IDENTIFIER, ROUTINE_BODY, IS_DETERMINISTIC, SQL_DATA_ACCESS, "
              "SECURITY_TYPE, DEFINER, ROUTINE_COMMENT, ROUTINE_DEFINITION, SQL_MODE, COLLATION_CONNECTION, CHARACTER_SET_NAME, COLLATION_NAME FROM `information_schema`.`ROUTINES` "
              "WHERE BINARY ROUTINE_SCHEMA = 'shop' AND ROUTINE_NAME = 'total_of' AND ROUTINE_TYPE = 'PROCEDURE';");

    auto event = MetaEvent::with_names("shop", "shop", "nightly");
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_event(event); }),
              "SELECT DEFINER, EVENT_DEFINITION, EVENT_TYPE, EXECUTE_AT, INTERVAL_VALUE, INTERVAL_FIELD, STARTS, "
              "ENDS, STATUS, ON_COMPLETION, EVENT_COMMENT, SQL_MODE, COLLATION_CONNECTION FROM `information_schema`.`EVENTS` where BINARY "
              "EVENT_SCHEMA = 'shop' and EVENT_NAME = 'nightly';");

    auto user = MetaUser::with_names("shop", "shop", "bob@%", "USER");
    EXPECT_EQ(first_text([&] { return m_adapter->load_relation(user); }),
              "SELECT Role, CONCAT(USER, '@', HOST) username, Admin_option FROM `mysql`.`roles_mapping` WHERE USER "
              "= 'bob' AND HOST = '%';");
    // The account details come from the statement factory's own text.
    EXPECT_NE(first_text([&] { return m_adapter->fill_meta_user(user); }).find("mu.USER ='bob'"), std::string::npos);

    auto role = MetaRole::with_names("shop", "shop", "reader", "ROLE");
    EXPECT_NE(first_text([&] { return m_adapter->fill_meta_role(role); }).find("USER='reader'"), std::string::npos);
}

TEST_F(MariaDBAdapterTexts, NamesAreQuotedForTheirPlace) {
    const std::string schema = "it's";
    const std::string name = "a`b\\c_%";
    auto table = MetaTable::with_names(schema, schema, name);
    EXPECT_NE(first_text([&] { return m_adapter->fill_meta_table(table, false); })
                  .find("WHERE TABLE_SCHEMA = 'it''s' and TABLE_NAME = _utf8mb4 X'6160625C635F25' ORDER BY"),
              std::string::npos);
    EXPECT_EQ(first_text([&] { return m_adapter->fill_schema_table_options(table); }),
              "SELECT TABLE_NAME, ENGINE, VERSION, ROW_FORMAT, TABLE_ROWS, AVG_ROW_LENGTH, DATA_LENGTH, "
              "MAX_DATA_LENGTH, INDEX_LENGTH, DATA_FREE, AUTO_INCREMENT, CREATE_TIME, UPDATE_TIME, CHECK_TIME, "
              "TABLE_COLLATION, CHECKSUM, CREATE_OPTIONS, TABLE_COMMENT FROM information_schema.TABLES WHERE "
              "TABLE_SCHEMA = 'it''s' AND TABLE_NAME = _utf8mb4 X'6160625C635F25';");
    auto view = MetaView::with_names(schema, schema, name);
    EXPECT_EQ(first_text([&] { return m_adapter->fill_meta_view(view); }), "SELECT VIEW_DEFINITION, CHECK_OPTION, DEFINER, SECURITY_TYPE, ALGORITHM, COLLATION_CONNECTION FROM information_schema.VIEWS WHERE "
              "TABLE_SCHEMA = 'it''s' AND TABLE_NAME = _utf8mb4 X'6160625C635F25';");
    auto user = MetaUser::with_names("", "", "o'k@h\\st", "USER");
    EXPECT_EQ(first_text([&] { return m_adapter->load_relation(user); }),
              "SELECT Role, CONCAT(USER, '@', HOST) username, Admin_option FROM `mysql`.`roles_mapping` WHERE USER "
              "= 'o''k' AND HOST = _utf8mb4 X'685C7374';");
}

TEST_F(MariaDBAdapterTexts, DispatchFollowsTheKindAndChecksItsObject) {
    const auto dispatched = [&](const std::shared_ptr<MetaObject>& object) {
        const std::size_t before = m_connection.statements().size();
        (void)m_adapter->fill_meta_object(object, false);
        return m_connection.statements().size() == before ? std::string() : m_connection.statements().back();
    };
    EXPECT_NE(dispatched(MetaDatabase::with_name("d")).find("`SCHEMATA`"), std::string::npos);
    EXPECT_NE(dispatched(MetaSchema::with_names("d", "d")).find("`TABLES`"), std::string::npos);
    EXPECT_NE(dispatched(MetaTable::with_names("d", "d", "t")).find("COLUMNS"), std::string::npos);
    EXPECT_NE(dispatched(MetaView::with_names("d", "d", "v")).find("information_schema.VIEWS"), std::string::npos);
    EXPECT_NE(dispatched(MetaEvent::with_names("d", "d", "e")).find("`EVENTS`"), std::string::npos);
    EXPECT_NE(dispatched(MetaIndex::with_names("d", "d", "t", "i")).find("`STATISTICS`"), std::string::npos);
    EXPECT_NE(dispatched(MetaTrigger::with_names("d", "d", "tr")).find("TRIGGERS"), std::string::npos);
    EXPECT_NE(dispatched(MetaRole::with_names("d", "d", "r", "ROLE")).find("global_priv"), std::string::npos);
    EXPECT_NE(dispatched(MetaUser::with_names("d", "d", "u@h", "USER")).find("mysql.user"), std::string::npos);
    auto function = MetaFunction::with_names("d", "d", "f");
    function->set_is_function(true);
    EXPECT_NE(dispatched(function).find("`ROUTINES`"), std::string::npos);
    // A procedure, a column or a constraint is not filled on its own.
    EXPECT_EQ(dispatched(MetaFunction::with_names("d", "d", "p")), "");
    EXPECT_EQ(dispatched(MetaColumn::with_type("c", Ombrix::Providers::Contracts::DataType::INT32, "INT")), "");
    EXPECT_EQ(dispatched(MetaCheck::with_name("c", "a > 0")), "");

    LogCapture log;
    EXPECT_TRUE(m_adapter->fill_meta_database(nullptr, true).has_value());
    EXPECT_TRUE(m_adapter->fill_meta_table(nullptr, true).has_value());
    EXPECT_TRUE(m_adapter->fill_meta_object(nullptr, true).has_value());
    EXPECT_TRUE(log.has_critical("database != NULL"));
    EXPECT_TRUE(log.has_critical("table != NULL"));
    EXPECT_TRUE(log.has_critical("meta_object != NULL"));
    EXPECT_EQ(MariaDBAdapter::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("connection != NULL"));
}

TEST_F(MariaDBAdapterTexts, AFilledObjectIsNotReadAgain) {
    auto table = MetaTable::with_names("d", "d", "t");
    table->set_data(MetaObject::FILLED, Ombrix::Core::Value::from_int(1));
    auto view = MetaView::with_names("d", "d", "v");
    view->set_data(MetaObject::FILLED, Ombrix::Core::Value::from_int(1));
    EXPECT_TRUE(m_adapter->fill_meta_table(table, true).has_value());
    EXPECT_TRUE(m_adapter->fill_meta_view(view).has_value());
    EXPECT_TRUE(m_connection.statements().empty());
    // A filled schema still runs its recursive step: here its (filled) members need no query.
    auto schema = MetaSchema::with_names("d", "d");
    schema->get_tables()->append(table);
    schema->get_views()->append(view);
    schema->set_data(MetaObject::FILLED, Ombrix::Core::Value::from_int(1));
    EXPECT_TRUE(m_adapter->fill_meta_schema(schema, true).has_value());
    EXPECT_TRUE(m_connection.statements().empty());
    // Events carry no mark: they are read every time.
    schema->get_events()->append(MetaEvent::with_names("d", "d", "e"));
    EXPECT_FALSE(m_adapter->fill_meta_schema(schema, true).has_value());
    EXPECT_EQ(m_connection.statements().size(), 1u);
}

}  // namespace
