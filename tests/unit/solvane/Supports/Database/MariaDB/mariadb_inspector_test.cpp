#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "providers/Core/datetime.hpp"
#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/provider_connection.hpp"

namespace {

using Ombrix::Core::DateTime;
using Ombrix::Core::tr;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Solvane::Contracts::Database::DbMetaType;
using Ombrix::Solvane::Contracts::Database::kDbMetaTypeCount;
using Ombrix::Solvane::Supports::Database::MariaDBInspector;
using Ombrix::Testing::LogCapture;
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

struct SupportCase {
    DbMetaType type;
    std::size_t length;
    std::string first;
    std::string last;
};

TEST_F(MariaDBInspectorTest, SupportListsHaveTheirLengthsAndEnds) {
    const std::vector<SupportCase> cases = {
        {DbMetaType::CHARSET, 2, "SHOW CHARACTER SET;", "SHOW CHARACTER SET LIKE '%%%s%%';"},
        {DbMetaType::COLLATION, 2, "SHOW COLLATION;", "SHOW COLLATION WHERE Charset = '%s';"},
        {DbMetaType::COLUMN_DEFAULT, 2, "EMPYT STRING", "NULL"},
        {DbMetaType::COLUMN_TYPE, 44, tr("##Numeric"), "JSON"},
        {DbMetaType::COMPRESSION, 3, "LZ4", "NONE"},
        {DbMetaType::DATASET_STATEMENT, 2, "SELECT", "SHOW"},
        {DbMetaType::EXPLORABLE, 14, "database", "package"},
        {DbMetaType::FOREIGNKEY_ACTION, 4, "CASCADE", "SET NULL"},
        {DbMetaType::FOREIGNKEY_MATCH, 3, "FULL", "SIMPLE"},
        {DbMetaType::INDEX_ALGORITHM, 5, "DEFAULT", "INSTANT"},
        {DbMetaType::INDEX_KEY_BLOCK_SIZE, 6, "0", "16"},
        {DbMetaType::INDEX_LOCK, 4, "DEFAULT", "EXCLUSIVE"},
        {DbMetaType::INDEX_METHOD, 3, "BTREE", "RTREE"},
        {DbMetaType::INDEX_PARSER, 1,
         "SELECT PLUGIN_NAME FROM information_schema.`PLUGINS` WHERE PLUGIN_TYPE = 'FTPARSER' ORDER BY PLUGIN_NAME ASC;",
         ""},
        {DbMetaType::INDEX_TYPE, 3, "FULLTEXT", "UNIQUE"},
        {DbMetaType::INSERT_METHOD, 3, "0", "DEFAULT"},
        {DbMetaType::ONCONFLICT, 5, "FAIL", "ROLLBACK"},
        {DbMetaType::ORDER_NORMAL, 2, "ASC", "DESC"},
        {DbMetaType::PLUGIN_AUTH, 1,
         "SELECT PLUGIN_NAME FROM INFORMATION_SCHEMA.PLUGINS WHERE PLUGIN_STATUS = 'ACTIVE' AND PLUGIN_TYPE = "
         "'AUTHENTICATION';",
         ""},
        {DbMetaType::ROUTINE_DIRECTION, 3, "IN", "INOUT"},
        {DbMetaType::ROUTINE_DATA_ACCESS, 4, "CONTAINS SQL", "MODIFIES SQL DATA"},
        {DbMetaType::ROUTINE_TYPE, 2, "FUNCTION", "PROCEDURE"},
        {DbMetaType::ROW_FORMAT, 6, "COMPACT", "REDUNDANT"},
        {DbMetaType::SYNC_TRANSFER, 21, "AUTOINC", "LOCK_SOURCE"},
        {DbMetaType::SYNC_STRUCTURE, 16, "AUTOINC", "VIEW"},
        {DbMetaType::SYNC_DATA, 3, "DELETE", "UPDATE"},
        {DbMetaType::TABLE_ENGINE, 1,
         "SELECT ENGINE FROM information_schema.`ENGINES` WHERE support <> 'NO' ORDER BY ENGINE ASC;", ""},
        {DbMetaType::TABLE_STORAGE, 3, "DEFAULT", "MEMORY"},
        {DbMetaType::TABLE_TABLESPACE, 1,
         "SELECT DISTINCT (TABLESPACE_NAME) AS TABLESPACE FROM information_schema.FILES WHERE FILE_TYPE='TABLESPACE' "
         "AND TABLESPACE_NAME like '%%%s%%';",
         ""},
        {DbMetaType::TEMPLATE_FUNCTION, 1, "  # Routine body\n  \n  RETURN %s;", ""},
        {DbMetaType::TEMPLATE_PROCEDURE, 1, "  # Routine body\n  ", ""},
        {DbMetaType::TRIGGER_FIRE_EVENT, 3, "DELETE", "UPDATE"},
        {DbMetaType::TRIGGER_FIRE_TIME, 2, "AFTER", "BEFORE"},
        {DbMetaType::TRIGGER_ORDER, 2, "FOLLOWS", "PRECEDES"},
        {DbMetaType::TRIGGER_TEMPLATE, 1, "", ""},
        {DbMetaType::VIRTUAL_TYPE, 2, "STORED", "VIRTUAL"},
        {DbMetaType::VIEW_ALGORITHM, 3, "UNDEFINED", "TEMPTABLE"},
        {DbMetaType::VIEW_SECURITY, 2, "DEFINER", "INVOKER"},
        {DbMetaType::VIEW_CHECK_OPTION, 2, "CASCADED", "LOCAL"},
    };
    std::set<DbMetaType> listed;
    for (const auto& c : cases) {
        SCOPED_TRACE(to_string(c.type));
        listed.insert(c.type);
        const auto entries = m_inspector->support(c.type);
        ASSERT_EQ(entries.size(), c.length);
        EXPECT_EQ(entries.front(), c.first);
        // A one-entry list has no separate last entry.
        EXPECT_EQ(entries.back(), c.length == 1 ? c.first : c.last);
    }
    EXPECT_EQ(listed.size(), 39u);

    for (int value = 0; value < kDbMetaTypeCount; ++value) {
        const auto type = static_cast<DbMetaType>(value);
        if (!listed.contains(type)) EXPECT_TRUE(m_inspector->support(type).empty()) << to_string(type);
    }
}

TEST_F(MariaDBInspectorTest, SupportListsKeepTheirInnerOrder) {
    EXPECT_EQ(m_inspector->support(DbMetaType::EXPLORABLE),
              (std::vector<std::string>{"database", "schema", "table", "view", "index", "trigger", "routine", "function",
                                        "procedure", "user", "role", "sequence", "event", "package"}));
    EXPECT_EQ(m_inspector->support(DbMetaType::SYNC_TRANSFER),
              (std::vector<std::string>{"AUTOINC", "CHARSET", "CHECK", "ENGINE", "FOREIGN", "INDEX", "OPTION",
                                        "PARTITION", "PRIMARY", "TRIGGER", "UNIQUE", "BLOB", "INSERT", "LOCK_TARGET",
                                        "TRANSACTION", "CONTINUE", "CREATE_DATABASE", "CREATE_SCHEMA", "DEFINER",
                                        "DROP_OBJECT", "LOCK_SOURCE"}));
    EXPECT_EQ(m_inspector->support(DbMetaType::SYNC_STRUCTURE),
              (std::vector<std::string>{"AUTOINC", "CHARSET", "CHECK", "ENGINE", "FOREIGN", "INDEX", "OPTION",
                                        "PARTITION", "PRIMARY", "TRIGGER", "UNIQUE", "DEFINER", "EVENT", "FUNCTION",
                                        "IDENTIFIER", "VIEW"}));
    EXPECT_EQ(m_inspector->support(DbMetaType::ROUTINE_DATA_ACCESS),
              (std::vector<std::string>{"CONTAINS SQL", "NO SQL", "READS SQL DATA", "MODIFIES SQL DATA"}));
    EXPECT_EQ(m_inspector->support(DbMetaType::INDEX_KEY_BLOCK_SIZE),
              (std::vector<std::string>{"0", "1", "2", "4", "8", "16"}));
}

TEST_F(MariaDBInspectorTest, ColumnTypesAreGroupedUnderTranslatedHeadersAndAllMapToDataTypes) {
    const auto types = m_inspector->support(DbMetaType::COLUMN_TYPE);
    ASSERT_EQ(types.size(), 44u);
    const std::vector<std::pair<std::size_t, const char*>> headers = {
        {0, "##Numeric"}, {11, "##String"}, {20, "##Date time"}, {26, "##Binary"}, {33, "##Spatial"}, {42, "##Special"}};
    for (const auto& [index, msgid] : headers) EXPECT_EQ(types[index], tr(msgid)) << index;

    // Every offered type the user picks must read back as a known data type, else a column made
    // from the list would come back as UNKNOWN; BOOLEAN alone is a synonym the server stores as TINYINT.
    std::set<std::size_t> header_at;
    for (const auto& header : headers) header_at.insert(header.first);
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (header_at.contains(i) || types[i] == "BOOLEAN") continue;
        EXPECT_NE(m_inspector->get_data_type(types[i]), DataType::UNKNOWN) << types[i];
    }
    EXPECT_EQ(types[1], "BIT");
    EXPECT_EQ(types[12], "CHAR");
    EXPECT_EQ(types[21], "YEAR");
    EXPECT_EQ(types[27], "BINARY");
    EXPECT_EQ(types[34], "GEOMETRY");
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
        if (!seen.contains(type)) EXPECT_EQ(m_inspector->get_sql_type(type), "VARCHAR") << to_string(type);
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
        EXPECT_TRUE(Ombrix::Core::Regex(c.shape).is_match(value)) << c.native << ": " << value;
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
