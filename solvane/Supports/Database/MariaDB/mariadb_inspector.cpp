#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"

#include <glib.h>

#include <map>

#include "providers/Core/datetime.hpp"
#include "providers/Core/error.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Database {

namespace {

using Contracts::Database::DbMetaType;
using Providers::Contracts::DataType;

/// How the default text of a column type is made.
enum class Default { Zero, ZeroPoint, Date, Time, DateTime, Quotes, Bytes };

/// What the inspector knows about one native type name.
struct NativeType {
    DataType data_type;
    std::string_view glib_type;
    Default fallback;
};

/// Every native type name the inspector knows, keyed by its upper-case form; built once on first use.
const std::map<std::string, NativeType, std::less<>>& native_types() {
    static const std::map<std::string, NativeType, std::less<>> types = [] {
        std::map<std::string, NativeType, std::less<>> t;
        auto add = [&t](std::initializer_list<const char*> names, DataType data_type, std::string_view glib_type,
                        Default fallback) {
            for (const char* name : names) t.emplace(name, NativeType{data_type, glib_type, fallback});
        };
        add({"TINYINT"}, DataType::INT8, "gchar", Default::Zero);
        add({"SMALLINT", "YEAR"}, DataType::INT16, "gint", Default::Zero);
        add({"MEDIUMINT", "INT", "INTEGER"}, DataType::INT32, "gint", Default::Zero);
        add({"BIGINT"}, DataType::INT64, "gint64", Default::Zero);
        add({"FLOAT"}, DataType::FLOAT, "gfloat", Default::ZeroPoint);
        add({"DOUBLE", "REAL"}, DataType::DOUBLE, "gdouble", Default::ZeroPoint);
        add({"DECIMAL", "NUMERIC"}, DataType::MONEY, "gfloat", Default::ZeroPoint);
        add({"DATE"}, DataType::DATE, "GDate", Default::Date);
        add({"TIME"}, DataType::TIME, "gpointer", Default::Time);
        add({"DATETIME", "TIMESTAMP"}, DataType::DATETIME, "GDateTime", Default::DateTime);
        add({"CHAR"}, DataType::STRING, "gchar", Default::Quotes);
        add({"VARCHAR", "TINYTEXT", "TEXT", "MEDIUMTEXT", "LONGTEXT", "ENUM", "SET", "JSON"}, DataType::STRING,
            "gchararray", Default::Quotes);
        add({"BIT"}, DataType::BOOLEAN, "gboolean", Default::Bytes);
        add({"BINARY", "VARBINARY"}, DataType::BINARY, "GBytes", Default::Bytes);
        add({"TINYBLOB", "BLOB", "MEDIUMBLOB", "LONGBLOB"}, DataType::BLOB, "GBytes", Default::Bytes);
        add({"GEOMETRY", "POINT", "LINESTRING", "POLYGON", "MULTIPOINT", "MULTILINESTRING", "MULTIPOLYGON",
             "GEOMETRYCOLLECTION"},
            DataType::GEOMETRY, "gchararray", Default::Quotes);
        return t;
    }();
    return types;
}

/// The entry of `native_type` after upper-casing, or null for a name the inspector does not know.
const NativeType* find_native_type(std::string_view native_type) {
    const std::string upper = Core::take_string(g_utf8_strup(native_type.data(), static_cast<gssize>(native_type.size())));
    const auto& types = native_types();
    auto it = types.find(upper);
    return it == types.end() ? nullptr : &it->second;
}

/// A default-constructed view is how a null text reaches us.
bool is_null(std::string_view text) { return text.data() == nullptr; }

std::vector<std::string> column_types() {
    // The group headers are shown to the user, so they go through the catalogue; the type names
    // are SQL and never do.
    return {Core::tr("##Numeric"), "BIT", "BOOLEAN", "TINYINT", "SMALLINT", "MEDIUMINT", "INT", "BIGINT", "FLOAT",
            "DOUBLE", "DECIMAL",
            Core::tr("##String"), "CHAR", "VARCHAR", "TINYTEXT", "MEDIUMTEXT", "TEXT", "LONGTEXT", "ENUM", "SET",
            Core::tr("##Date time"), "YEAR", "DATE", "TIME", "DATETIME", "TIMESTAMP",
            Core::tr("##Binary"), "BINARY", "VARBINARY", "TINYBLOB", "MEDIUMBLOB", "BLOB", "LONGBLOB",
            Core::tr("##Spatial"), "GEOMETRY", "POINT", "LINESTRING", "POLYGON", "MULTIPOINT", "MULTILINESTRING",
            "MULTIPOLYGON", "GEOMETRYCOLLECTION",
            Core::tr("##Special"), "JSON"};
}

}  // namespace

std::shared_ptr<MariaDBInspector> MariaDBInspector::create(Contracts::Database::IConnection* conn) {
    OMBRIX_RETURN_VAL_IF_NULL(conn, nullptr);
    return Core::make_object<MariaDBInspector>(conn);
}

std::vector<std::string> MariaDBInspector::support(DbMetaType type) const {
    switch (type) {
    case DbMetaType::CHARSET:
        return {"SHOW CHARACTER SET;", "SHOW CHARACTER SET LIKE '%%%s%%';"};
    case DbMetaType::COLLATION:
        return {"SHOW COLLATION;", "SHOW COLLATION WHERE Charset = '%s';"};
    case DbMetaType::COLUMN_DEFAULT:
        // The misspelling is what hosts match on; it is a marker, never SQL.
        return {"EMPYT STRING", "NULL"};
    case DbMetaType::COLUMN_TYPE:
        return column_types();
    case DbMetaType::COMPRESSION:
        return {"LZ4", "ZLIB", "NONE"};
    case DbMetaType::DATASET_STATEMENT:
        return {"SELECT", "SHOW"};
    case DbMetaType::EXPLORABLE:
        return {"database", "schema",    "table", "view", "index",    "trigger", "routine",
                "function", "procedure", "user",  "role", "sequence", "event",   "package"};
    case DbMetaType::FOREIGNKEY_ACTION:
        return {"CASCADE", "NO ACTION", "RESTRICT", "SET NULL"};
    case DbMetaType::FOREIGNKEY_MATCH:
        return {"FULL", "PARTIAL", "SIMPLE"};
    case DbMetaType::INDEX_ALGORITHM:
        return {"DEFAULT", "INPLACE", "COPY", "NOCOPY", "INSTANT"};
    case DbMetaType::INDEX_KEY_BLOCK_SIZE:
        return {"0", "1", "2", "4", "8", "16"};
    case DbMetaType::INDEX_LOCK:
        return {"DEFAULT", "NONE", "SHARED", "EXCLUSIVE"};
    case DbMetaType::INDEX_METHOD:
        return {"BTREE", "HASH", "RTREE"};
    case DbMetaType::INDEX_PARSER:
        return {"SELECT PLUGIN_NAME FROM information_schema.`PLUGINS` WHERE PLUGIN_TYPE = 'FTPARSER' ORDER BY "
                "PLUGIN_NAME ASC;"};
    case DbMetaType::INDEX_TYPE:
        return {"FULLTEXT", "SPATIAL", "UNIQUE"};
    case DbMetaType::INSERT_METHOD:
        return {"0", "1", "DEFAULT"};
    case DbMetaType::ONCONFLICT:
        return {"FAIL", "ABORT", "IGNORE", "REPLACE", "ROLLBACK"};
    case DbMetaType::ORDER_NORMAL:
        return {"ASC", "DESC"};
    case DbMetaType::PLUGIN_AUTH:
        return {"SELECT PLUGIN_NAME FROM INFORMATION_SCHEMA.PLUGINS WHERE PLUGIN_STATUS = 'ACTIVE' AND PLUGIN_TYPE = "
                "'AUTHENTICATION';"};
    case DbMetaType::ROUTINE_DIRECTION:
        return {"IN", "OUT", "INOUT"};
    case DbMetaType::ROUTINE_DATA_ACCESS:
        return {"CONTAINS SQL", "NO SQL", "READS SQL DATA", "MODIFIES SQL DATA"};
    case DbMetaType::ROUTINE_TYPE:
        return {"FUNCTION", "PROCEDURE"};
    case DbMetaType::ROW_FORMAT:
        return {"COMPACT", "COMPRESSED", "DEFAULT", "DYNAMIC", "FIXED", "REDUNDANT"};
    case DbMetaType::SYNC_TRANSFER:
        return {"AUTOINC", "CHARSET",     "CHECK",       "ENGINE",   "FOREIGN",         "INDEX",
                "OPTION",  "PARTITION",   "PRIMARY",     "TRIGGER",  "UNIQUE",          "BLOB",
                "INSERT",  "LOCK_TARGET", "TRANSACTION", "CONTINUE", "CREATE_DATABASE", "CREATE_SCHEMA",
                "DEFINER", "DROP_OBJECT", "LOCK_SOURCE"};
    case DbMetaType::SYNC_STRUCTURE:
        return {"AUTOINC", "CHARSET", "CHECK",   "ENGINE",  "FOREIGN", "INDEX", "OPTION",   "PARTITION",
                "PRIMARY", "TRIGGER", "UNIQUE",  "DEFINER", "EVENT",   "FUNCTION", "IDENTIFIER", "VIEW"};
    case DbMetaType::SYNC_DATA:
        return {"DELETE", "INSERT", "UPDATE"};
    case DbMetaType::TABLE_ENGINE:
        return {"SELECT ENGINE FROM information_schema.`ENGINES` WHERE support <> 'NO' ORDER BY ENGINE ASC;"};
    case DbMetaType::TABLE_STORAGE:
        return {"DEFAULT", "DISK", "MEMORY"};
    case DbMetaType::TABLE_TABLESPACE:
        return {"SELECT DISTINCT (TABLESPACE_NAME) AS TABLESPACE FROM information_schema.FILES WHERE "
                "FILE_TYPE='TABLESPACE' AND TABLESPACE_NAME like '%%%s%%';"};
    case DbMetaType::TEMPLATE_FUNCTION:
        return {"  # Routine body\n  \n  RETURN %s;"};
    case DbMetaType::TEMPLATE_PROCEDURE:
        return {"  # Routine body\n  "};
    case DbMetaType::TRIGGER_FIRE_EVENT:
        return {"DELETE", "INSERT", "UPDATE"};
    case DbMetaType::TRIGGER_FIRE_TIME:
        return {"AFTER", "BEFORE"};
    case DbMetaType::TRIGGER_ORDER:
        return {"FOLLOWS", "PRECEDES"};
    case DbMetaType::TRIGGER_TEMPLATE:
        return {""};
    case DbMetaType::VIRTUAL_TYPE:
        return {"STORED", "VIRTUAL"};
    case DbMetaType::VIEW_ALGORITHM:
        return {"UNDEFINED", "MERGE", "TEMPTABLE"};
    case DbMetaType::VIEW_SECURITY:
        return {"DEFINER", "INVOKER"};
    case DbMetaType::VIEW_CHECK_OPTION:
        return {"CASCADED", "LOCAL"};
    default:
        return {};
    }
}

std::string MariaDBInspector::get_type_default(std::string_view native_type) const {
    if (is_null(native_type)) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "native_type != NULL");
        return {};
    }
    const NativeType* type = find_native_type(native_type);
    switch (type ? type->fallback : Default::Quotes) {
    case Default::Zero:
        return "0";
    case Default::ZeroPoint:
        return "0.0";
    case Default::Date:
        return Core::DateTime::now_local().format("'%Y-%m-%d'");
    case Default::Time:
        return Core::DateTime::now_local().format("'%H:%M:%S'");
    case Default::DateTime:
        return Core::DateTime::now_local().format("'%Y-%m-%d %H:%M:%S'");
    case Default::Bytes:
        return "0x0000";
    case Default::Quotes:
        break;
    }
    return "''";
}

DataType MariaDBInspector::get_data_type(std::string_view native_type) const {
    if (is_null(native_type)) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "native_type != NULL");
        return DataType::UNKNOWN;
    }
    const NativeType* type = find_native_type(native_type);
    return type ? type->data_type : DataType::UNKNOWN;
}

std::string MariaDBInspector::get_sql_type(DataType type) const {
    switch (type) {
    case DataType::BOOLEAN:
        return "BOOLEAN";
    case DataType::INT8:
    case DataType::UINT8:
        return "TINYINT";
    case DataType::INT16:
    case DataType::UINT16:
        return "SMALLINT";
    case DataType::INT32:
    case DataType::UINT32:
        return "INTEGER";
    case DataType::INT64:
    case DataType::UINT64:
        return "BIGINT";
    case DataType::ENUM:
        return "ENUM";
    case DataType::SET:
        return "SET";
    case DataType::MONEY:
        return "DECIMAL";
    case DataType::FLOAT:
        return "FLOAT";
    case DataType::DOUBLE:
        return "DOUBLE";
    case DataType::DATE:
        return "DATE";
    case DataType::TIME:
        return "TIME";
    case DataType::DATETIME:
        return "DATETIME";
    case DataType::XML:
        return "LONGTEXT";
    case DataType::JSON:
        return "JSON";
    case DataType::GEOMETRY:
        return "GEOMETRY";
    case DataType::BINARY:
    case DataType::OBJECT:
        return "BLOB";
    case DataType::BLOB:
        return "LONGBLOB";
    default:
        return "VARCHAR";  // TIMESPAN, STRING, UUID, and everything MariaDB has no own name for
    }
}

std::string MariaDBInspector::get_glib_type(std::string_view native_type) const {
    if (is_null(native_type)) {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "native_type != NULL");
        return {};  // the invalid type has no name
    }
    const NativeType* type = find_native_type(native_type);
    return std::string(type ? type->glib_type : std::string_view("void"));  // "void" is G_TYPE_NONE's name
}

OMBRIX_DEFINE_TYPE(MariaDBInspector, "OmbrixSolvaneSupportsDatabaseMariaDBInspector");

}  // namespace Ombrix::Solvane::Supports::Database
