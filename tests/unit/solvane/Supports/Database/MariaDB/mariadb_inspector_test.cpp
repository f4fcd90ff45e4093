#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "providers/Core/datetime.hpp"
#include "providers/Core/text.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/message_catalogue.hpp"
#include "tests/support/provider_connection.hpp"

namespace {

using Ombrix::Core::DateTime;
using Ombrix::Core::tr;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Solvane::Contracts::Database::DbMetaType;
using Ombrix::Solvane::Contracts::Database::kDbMetaTypeCount;
using Ombrix::Solvane::Supports::Database::MariaDBInspector;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::MessageCatalogue;
using Ombrix::Testing::ProviderConnection;

class MariaDBInspectorTest : public ::testing::Test {
protected:
    ProviderConnection m_connection{nullptr};
    std::shared_ptr<MariaDBInspector> m_inspector = MariaDBInspector::create(&m_connection);
};

TEST_F(MariaDBInspectorTest, IsMadeForAConnectionAndRefusesNone) {
    ASSERT_NE(m_inspector, nullptr);
    EXPECT_EQ(m_inspector->get_connection(), &m_connection);
    EXPECT_EQ(m_inspector->type_name(), "OmbrixSolvaneSupportsDatabaseMariaDBInspector");

    LogCapture log;
    EXPECT_EQ(MariaDBInspector::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("conn != NULL"));
}

using Words = std::vector<std::string>;
using Lists = std::vector<std::pair<DbMetaType, Words>>;

Lists queries_and_templates() {
    return {
        {DbMetaType::CHARSET, {"SHOW CHARACTER SET;", "SHOW CHARACTER SET LIKE '%%%s%%';"}},
        {DbMetaType::COLLATION, {"SHOW COLLATION;", "SHOW COLLATION WHERE Charset = '%s';"}},
        {DbMetaType::INDEX_PARSER,
         {"SELECT PLUGIN_NAME FROM information_schema.`PLUGINS` WHERE PLUGIN_TYPE = 'FTPARSER' ORDER BY PLUGIN_NAME "
          "ASC;"}},
        {DbMetaType::PLUGIN_AUTH,
         {"SELECT PLUGIN_NAME FROM INFORMATION_SCHEMA.PLUGINS WHERE PLUGIN_STATUS = 'ACTIVE' AND PLUGIN_TYPE = "
          "'AUTHENTICATION';"}},
        {DbMetaType::TABLE_ENGINE,
         {"SELECT ENGINE FROM information_schema.`ENGINES` WHERE support <> 'NO' ORDER BY ENGINE ASC;"}},
        {DbMetaType::TABLE_TABLESPACE,
         {"SELECT DISTINCT (TABLESPACE_NAME) AS TABLESPACE FROM information_schema.FILES WHERE "
          "FILE_TYPE='TABLESPACE' AND TABLESPACE_NAME like '%%%s%%';"}},
        {DbMetaType::TEMPLATE_FUNCTION, {"  # Routine body\n  \n  RETURN %s;"}},
        {DbMetaType::TEMPLATE_PROCEDURE, {"  # Routine body\n  "}},
        {DbMetaType::TRIGGER_TEMPLATE, {""}},
        {DbMetaType::DATASET_STATEMENT, {"SELECT", "SHOW"}},
        {DbMetaType::EXPLORABLE,
         {"database", "schema", "table", "view", "index", "trigger", "routine", "function", "procedure", "user",
          "role", "sequence", "event", "package"}},
    };
}

Lists table_column_and_index_words() {
    return {
        {DbMetaType::COLUMN_DEFAULT, {"EMPYT STRING", "NULL"}},
        {DbMetaType::COMPRESSION, {"LZ4", "ZLIB", "NONE"}},
        {DbMetaType::FOREIGNKEY_ACTION, {"CASCADE", "NO ACTION", "RESTRICT", "SET NULL"}},
        {DbMetaType::FOREIGNKEY_MATCH, {"FULL", "PARTIAL", "SIMPLE"}},
        {DbMetaType::INDEX_ALGORITHM, {"DEFAULT", "INPLACE", "COPY", "NOCOPY", "INSTANT"}},
        {DbMetaType::INDEX_KEY_BLOCK_SIZE, {"0", "1", "2", "4", "8", "16"}},
        {DbMetaType::INDEX_LOCK, {"DEFAULT", "NONE", "SHARED", "EXCLUSIVE"}},
        {DbMetaType::INDEX_METHOD, {"BTREE", "HASH", "RTREE"}},
        {DbMetaType::INDEX_TYPE, {"FULLTEXT", "SPATIAL", "UNIQUE"}},
        {DbMetaType::INSERT_METHOD, {"0", "1", "DEFAULT"}},
        {DbMetaType::ONCONFLICT, {"FAIL", "ABORT", "IGNORE", "REPLACE", "ROLLBACK"}},
        {DbMetaType::ORDER_NORMAL, {"ASC", "DESC"}},
        {DbMetaType::ROW_FORMAT, {"COMPACT", "COMPRESSED", "DEFAULT", "DYNAMIC", "FIXED", "REDUNDANT"}},
        {DbMetaType::TABLE_STORAGE, {"DEFAULT", "DISK", "MEMORY"}},
        {DbMetaType::VIRTUAL_TYPE, {"STORED", "VIRTUAL"}},
    };
}

Lists routine_trigger_and_view_words() {
    return {
        {DbMetaType::ROUTINE_DIRECTION, {"IN", "OUT", "INOUT"}},
        {DbMetaType::ROUTINE_DATA_ACCESS, {"CONTAINS SQL", "NO SQL", "READS SQL DATA", "MODIFIES SQL DATA"}},
        {DbMetaType::ROUTINE_TYPE, {"FUNCTION", "PROCEDURE"}},
        {DbMetaType::TRIGGER_FIRE_EVENT, {"DELETE", "INSERT", "UPDATE"}},
        {DbMetaType::TRIGGER_FIRE_TIME, {"AFTER", "BEFORE"}},
        {DbMetaType::TRIGGER_ORDER, {"FOLLOWS", "PRECEDES"}},
        {DbMetaType::VIEW_ALGORITHM, {"UNDEFINED", "MERGE", "TEMPTABLE"}},
        {DbMetaType::VIEW_SECURITY, {"DEFINER", "INVOKER"}},
        {DbMetaType::VIEW_CHECK_OPTION, {"CASCADED", "LOCAL"}},
    };
}

Lists synchronisation_options() {
    return {
        {DbMetaType::SYNC_TRANSFER,
         {"AUTOINC", "CHARSET", "CHECK", "ENGINE", "FOREIGN", "INDEX", "OPTION", "PARTITION", "PRIMARY", "TRIGGER",
          "UNIQUE", "BLOB", "INSERT", "LOCK_TARGET", "TRANSACTION", "CONTINUE", "CREATE_DATABASE", "CREATE_SCHEMA",
          "DEFINER", "DROP_OBJECT", "LOCK_SOURCE"}},
        {DbMetaType::SYNC_STRUCTURE,
         {"AUTOINC", "CHARSET", "CHECK", "ENGINE", "FOREIGN", "INDEX", "OPTION", "PARTITION", "PRIMARY", "TRIGGER",
          "UNIQUE", "DEFINER", "EVENT", "FUNCTION", "IDENTIFIER", "VIEW"}},
        {DbMetaType::SYNC_DATA, {"DELETE", "INSERT", "UPDATE"}},
    };
}

Lists column_types() {
    const auto headed = [](const char* header) { return std::string(tr(header)); };
    return {{DbMetaType::COLUMN_TYPE,
             {headed("##Numeric"), "BIT", "BOOLEAN", "TINYINT", "SMALLINT", "MEDIUMINT", "INT", "BIGINT", "FLOAT",
              "DOUBLE", "DECIMAL", headed("##String"), "CHAR", "VARCHAR", "TINYTEXT", "MEDIUMTEXT", "TEXT", "LONGTEXT",
              "ENUM", "SET", headed("##Date time"), "YEAR", "DATE", "TIME", "DATETIME", "TIMESTAMP", headed("##Binary"),
              "BINARY", "VARBINARY", "TINYBLOB", "MEDIUMBLOB", "BLOB", "LONGBLOB", headed("##Spatial"), "GEOMETRY",
              "POINT", "LINESTRING", "POLYGON", "MULTIPOINT", "MULTILINESTRING", "MULTIPOLYGON", "GEOMETRYCOLLECTION",
              headed("##Special"), "JSON"}}};
}

class MariaDBInspectorSupport : public MariaDBInspectorTest {
protected:
    void expect_lists(const Lists& lists) const {
        for (const auto& [type, words] : lists) EXPECT_EQ(m_inspector->support(type), words) << to_string(type);
    }
};

TEST_F(MariaDBInspectorSupport, QueriesAndTemplatesKeepTheirPlaceholders) { expect_lists(queries_and_templates()); }
TEST_F(MariaDBInspectorSupport, TableColumnAndIndexWords) { expect_lists(table_column_and_index_words()); }
TEST_F(MariaDBInspectorSupport, RoutineTriggerAndViewWords) { expect_lists(routine_trigger_and_view_words()); }
TEST_F(MariaDBInspectorSupport, SynchronisationOptions) { expect_lists(synchronisation_options()); }

TEST_F(MariaDBInspectorSupport, ColumnTypesUnderTranslatedGroupHeaders) {
    ASSERT_EQ(column_types().front().second.size(), 44u);
    expect_lists(column_types());

    // The headers are looked up in the "ombrix" catalogue; the type names never are.
    const MessageCatalogue catalogue({{"##Numeric", "Numérique"}, {"##Special", "Spécial"}, {"INT", "ENTIER"}});
    const Words translated = m_inspector->support(DbMetaType::COLUMN_TYPE);
    ASSERT_EQ(translated.size(), 44u);
    EXPECT_EQ(translated[0], "Numérique");
    EXPECT_EQ(translated[42], "Spécial");
    EXPECT_EQ(translated[6], "INT");
    EXPECT_EQ(translated[11], "##String");
}

TEST_F(MariaDBInspectorSupport, EveryOtherKeyHasNoWords) {
    std::set<DbMetaType> listed;
    for (const Lists& group : {queries_and_templates(), table_column_and_index_words(),
                               routine_trigger_and_view_words(), synchronisation_options(), column_types()})
        for (const auto& entry : group) listed.insert(entry.first);
    ASSERT_EQ(listed.size(), 39u);
    for (int value = 0; value < kDbMetaTypeCount; ++value) {
        const auto type = static_cast<DbMetaType>(value);
        if (!listed.contains(type)) {
            EXPECT_TRUE(m_inspector->support(type).empty()) << to_string(type);
        }
    }
}

TEST_F(MariaDBInspectorTest, EveryOfferedColumnTypeReadsBackAsAKnownDataType) {
    // A column made from the list must not come back as UNKNOWN; BOOLEAN alone is a synonym the
    // server stores as TINYINT, and the headers (starting at 0, 11, 20, 26, 33 and 42) are no types.
    const std::set<std::size_t> headers = {0, 11, 20, 26, 33, 42};
    const auto types = m_inspector->support(DbMetaType::COLUMN_TYPE);
    ASSERT_EQ(types.size(), 44u);
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (headers.contains(i) || types[i] == "BOOLEAN") continue;
        EXPECT_NE(m_inspector->get_data_type(types[i]), DataType::UNKNOWN) << types[i];
    }
}

TEST_F(MariaDBInspectorTest, NativeTypesMapToDataTypesAndGlibTypes) {
    struct Case {
        const char* native;
        DataType data_type;
        const char* glib;
    };
    const std::vector<Case> cases = {
        {"TINYINT", DataType::INT8, "gchar"},         {"SMALLINT", DataType::INT16, "gint"},
        {"MEDIUMINT", DataType::INT32, "gint"},       {"INT", DataType::INT32, "gint"},
        {"INTEGER", DataType::INT32, "gint"},         {"BIGINT", DataType::INT64, "gint64"},
        {"YEAR", DataType::INT16, "gint"},            {"FLOAT", DataType::FLOAT, "gfloat"},
        {"DOUBLE", DataType::DOUBLE, "gdouble"},      {"REAL", DataType::DOUBLE, "gdouble"},
        {"DECIMAL", DataType::MONEY, "gfloat"},       {"NUMERIC", DataType::MONEY, "gfloat"},
        {"DATE", DataType::DATE, "GDate"},            {"TIME", DataType::TIME, "gpointer"},
        {"DATETIME", DataType::DATETIME, "GDateTime"}, {"TIMESTAMP", DataType::DATETIME, "GDateTime"},
        {"CHAR", DataType::STRING, "gchar"},          {"VARCHAR", DataType::STRING, "gchararray"},
        {"TINYTEXT", DataType::STRING, "gchararray"}, {"TEXT", DataType::STRING, "gchararray"},
        {"MEDIUMTEXT", DataType::STRING, "gchararray"}, {"LONGTEXT", DataType::STRING, "gchararray"},
        {"ENUM", DataType::STRING, "gchararray"},     {"SET", DataType::STRING, "gchararray"},
        {"JSON", DataType::STRING, "gchararray"},     {"BIT", DataType::BOOLEAN, "gboolean"},
        {"BINARY", DataType::BINARY, "GBytes"},       {"VARBINARY", DataType::BINARY, "GBytes"},
        {"TINYBLOB", DataType::BLOB, "GBytes"},       {"BLOB", DataType::BLOB, "GBytes"},
        {"MEDIUMBLOB", DataType::BLOB, "GBytes"},     {"LONGBLOB", DataType::BLOB, "GBytes"},
        {"GEOMETRY", DataType::GEOMETRY, "gchararray"}, {"POINT", DataType::GEOMETRY, "gchararray"},
        {"LINESTRING", DataType::GEOMETRY, "gchararray"}, {"POLYGON", DataType::GEOMETRY, "gchararray"},
        {"MULTIPOINT", DataType::GEOMETRY, "gchararray"}, {"MULTILINESTRING", DataType::GEOMETRY, "gchararray"},
        {"MULTIPOLYGON", DataType::GEOMETRY, "gchararray"},
        {"GEOMETRYCOLLECTION", DataType::GEOMETRY, "gchararray"},
        // Names are upper-cased before they are compared, and compared whole.
        {"int", DataType::INT32, "gint"},             {"Varchar", DataType::STRING, "gchararray"},
        {"geometrycollection", DataType::GEOMETRY, "gchararray"},
        {"INT UNSIGNED", DataType::UNKNOWN, "void"},  {"INT(11)", DataType::UNKNOWN, "void"},
        {"BOOLEAN", DataType::UNKNOWN, "void"},       {"UUID", DataType::UNKNOWN, "void"},
        {"", DataType::UNKNOWN, "void"},              {"Ünt", DataType::UNKNOWN, "void"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m_inspector->get_data_type(c.native), c.data_type) << c.native;
        EXPECT_EQ(m_inspector->get_glib_type(c.native), c.glib) << c.native;
    }
}

TEST_F(MariaDBInspectorTest, DataTypesMapToNativeTypes) {
    const std::vector<std::pair<DataType, const char*>> named = {
        {DataType::BOOLEAN, "BOOLEAN"},   {DataType::INT8, "TINYINT"},   {DataType::UINT8, "TINYINT"},
        {DataType::INT16, "SMALLINT"},    {DataType::UINT16, "SMALLINT"}, {DataType::INT32, "INTEGER"},
        {DataType::UINT32, "INTEGER"},    {DataType::INT64, "BIGINT"},   {DataType::UINT64, "BIGINT"},
        {DataType::ENUM, "ENUM"},         {DataType::SET, "SET"},         {DataType::MONEY, "DECIMAL"},
        {DataType::FLOAT, "FLOAT"},       {DataType::DOUBLE, "DOUBLE"},   {DataType::DATE, "DATE"},
        {DataType::TIME, "TIME"},         {DataType::DATETIME, "DATETIME"}, {DataType::XML, "LONGTEXT"},
        {DataType::JSON, "JSON"},         {DataType::GEOMETRY, "GEOMETRY"}, {DataType::BINARY, "BLOB"},
        {DataType::OBJECT, "BLOB"},       {DataType::BLOB, "LONGBLOB"},
    };
    std::set<DataType> seen;
    for (const auto& [type, native] : named) {
        EXPECT_EQ(m_inspector->get_sql_type(type), native) << to_string(type);
        seen.insert(type);
    }
    // Everything else, DECIMAL and TIMESTAMP included, is written as VARCHAR.
    for (int value = 0; value <= static_cast<int>(DataType::ERROR); ++value) {
        const auto type = static_cast<DataType>(value);
        if (!seen.contains(type)) {
            EXPECT_EQ(m_inspector->get_sql_type(type), "VARCHAR") << to_string(type);
        }
    }
    EXPECT_EQ(m_inspector->get_sql_type(DataType::DECIMAL), "VARCHAR");
    EXPECT_EQ(m_inspector->get_sql_type(DataType::TIMESTAMP), "VARCHAR");
}

TEST_F(MariaDBInspectorTest, NativeNamesOfSignedAndStoredTypesReadBackAsTheSameType) {
    for (DataType type : {DataType::INT8, DataType::INT16, DataType::INT32, DataType::INT64, DataType::MONEY,
                          DataType::FLOAT, DataType::DOUBLE, DataType::DATE, DataType::TIME, DataType::DATETIME,
                          DataType::STRING, DataType::GEOMETRY, DataType::BLOB})
        EXPECT_EQ(m_inspector->get_data_type(m_inspector->get_sql_type(type)), type) << to_string(type);
    // DECIMAL cells are MONEY on the way in.
    EXPECT_EQ(m_inspector->get_data_type(m_inspector->get_sql_type(DataType::MONEY)), DataType::MONEY);
}

TEST_F(MariaDBInspectorTest, TypeDefaultsAreLiteralsOfTheirKind) {
    for (const char* native : {"TINYINT", "SMALLINT", "MEDIUMINT", "INT", "INTEGER", "BIGINT", "YEAR", "int"})
        EXPECT_EQ(m_inspector->get_type_default(native), "0") << native;
    for (const char* native : {"FLOAT", "DOUBLE", "REAL", "DECIMAL", "NUMERIC"})
        EXPECT_EQ(m_inspector->get_type_default(native), "0.0") << native;
    for (const char* native :
         {"CHAR", "VARCHAR", "TINYTEXT", "TEXT", "MEDIUMTEXT", "LONGTEXT", "ENUM", "SET", "JSON", "GEOMETRY", "POINT",
          "GEOMETRYCOLLECTION", "BOOLEAN", "INT UNSIGNED", ""})
        EXPECT_EQ(m_inspector->get_type_default(native), "''") << native;
    for (const char* native : {"BIT", "BINARY", "VARBINARY", "TINYBLOB", "BLOB", "MEDIUMBLOB", "LONGBLOB"})
        EXPECT_EQ(m_inspector->get_type_default(native), "0x0000") << native;
}

TEST_F(MariaDBInspectorTest, TemporalDefaultsAreTheQuotedCurrentLocalTime) {
    struct Case {
        const char* native;
        const char* format;
        const char* shape;
    };
    const std::vector<Case> cases = {
        {"DATE", "'%Y-%m-%d'", R"(^'\d{4}-\d{2}-\d{2}'$)"},
        {"time", "'%H:%M:%S'", R"(^'\d{2}:\d{2}:\d{2}'$)"},
        {"DATETIME", "'%Y-%m-%d %H:%M:%S'", R"(^'\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}'$)"},
        {"TIMESTAMP", "'%Y-%m-%d %H:%M:%S'", R"(^'\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}'$)"},
    };
    for (const auto& c : cases) {
        // The clock may tick between the reads: the value must be one of the two moments around it.
        const std::string before = DateTime::now_local().format(c.format);
        const std::string value = m_inspector->get_type_default(c.native);
        const std::string after = DateTime::now_local().format(c.format);
        EXPECT_TRUE(value == before || value == after) << c.native << ": " << value;
        EXPECT_TRUE(g_regex_match_simple(c.shape, value.c_str(), GRegexCompileFlags(0), GRegexMatchFlags(0))) << c.native << ": " << value;
    }
}

TEST_F(MariaDBInspectorTest, NullNativeTypesAreRefusedWithACritical) {
    LogCapture log;
    EXPECT_EQ(m_inspector->get_data_type(std::string_view{}), DataType::UNKNOWN);
    EXPECT_EQ(m_inspector->get_glib_type(std::string_view{}), "");
    EXPECT_EQ(m_inspector->get_type_default(std::string_view{}), "");
    ASSERT_EQ(log.criticals().size(), 3u);
    for (const auto& message : log.criticals()) EXPECT_NE(message.find("native_type != NULL"), std::string::npos);
}

}  // namespace
