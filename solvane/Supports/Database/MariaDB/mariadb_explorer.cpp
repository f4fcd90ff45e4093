#include "solvane/Supports/Database/MariaDB/mariadb_explorer.hpp"

#include <string>
#include <vector>

#include "providers/Core/text.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/server_version.hpp"

namespace Ombrix::Solvane::Supports::Database {

namespace {

using Providers::Contracts::DBObject;
using Providers::Contracts::TableModel;

/// One catalogue list: its query (with one '%s' for the schema, or none) and its column titles.
///
/// The catalogue compares names without regard to letter case, while the server keeps schemas
/// (and tables and triggers) apart that differ in case alone: a schema is matched with BINARY
/// wherever the catalogue reads every schema's rows, so that "Shop" lists nothing of "shop". The
/// tables' own catalogue opens only the schema it is given and needs no such help.
struct Listing {
    std::string_view query;
    std::vector<const char*> titles;
};

constexpr std::string_view kRoutineColumns =
    "SELECT r.ROUTINE_NAME, r.ROUTINE_TYPE, r.IS_DETERMINISTIC, r.SECURITY_TYPE, r.`DEFINER`, r.CREATED, "
    "r.LAST_ALTERED, r.ROUTINE_COMMENT FROM information_schema.ROUTINES r WHERE BINARY ROUTINE_SCHEMA = '%s' AND ";

const std::vector<const char*> kRoutineTitles = {"Name",        "Type",          "Deterministic", "Security type",
                                                 "Definer",     "Create time",   "Modified time", "Comment"};

/// The list of `kind`, or null for a kind this dialect does not list (databases and schemas are
/// chosen by server version elsewhere).
const Listing* find_listing(DBObject kind) {
    static const std::string function_query =
        std::string(kRoutineColumns) + "ROUTINE_TYPE = 'FUNCTION' ORDER BY ROUTINE_NAME ASC;";
    static const std::string procedure_query =
        std::string(kRoutineColumns) + "ROUTINE_TYPE = 'PROCEDURE' ORDER BY ROUTINE_NAME ASC;";
    static const std::string routine_query =
        std::string(kRoutineColumns) + "ROUTINE_TYPE IN ('FUNCTION', 'PROCEDURE') ORDER BY ROUTINE_NAME ASC;";

    static const Listing event{
        "SELECT EVENT_NAME, EVENT_TYPE, STATUS, DEFINER, CREATED, LAST_ALTERED, IF(EVENT_TYPE = 'ONE TIME', "
        "EXECUTE_AT, LAST_EXECUTED) AS EXECUTED_TIME, ON_COMPLETION, EVENT_COMMENT FROM information_schema.EVENTS "
        "WHERE BINARY EVENT_SCHEMA = '%s' ORDER BY EVENT_NAME ASC",
        {"Name", "Event type", "Status", "Definer", "Create time", "Modified time", "Executed time", "Completion",
         "Comment"}};
    static const Listing function{function_query, kRoutineTitles};
    static const Listing procedure{procedure_query, kRoutineTitles};
    static const Listing routine{routine_query, kRoutineTitles};
    static const Listing package{
        "SELECT ROUTINE_NAME, SECURITY_TYPE, DEFINER, CREATED, LAST_ALTERED, ROUTINE_COMMENT FROM "
        "information_schema.ROUTINES WHERE BINARY ROUTINE_SCHEMA = '%s' AND ROUTINE_TYPE = 'PACKAGE' ORDER BY "
        "ROUTINE_NAME ASC;",
        {"Name", "Security type", "Definer", "Create time", "Modified time", "Comment"}};
    static const Listing index{
        "SELECT DISTINCT INDEX_NAME, TABLE_NAME, NON_UNIQUE, INDEX_TYPE, INDEX_COMMENT FROM "
        "`information_schema`.`STATISTICS` WHERE BINARY INDEX_SCHEMA = '%s' AND INDEX_NAME <> 'PRIMARY' ORDER BY "
        "INDEX_NAME ASC",
        {"Name", "Table", "Unique", "Type", "Comment"}};
    static const Listing role{
        "SELECT User, default_role FROM mysql.user WHERE BINARY is_role IN ('Y', 'y') ORDER BY User ASC;",
        {"Name", "Default role"}};
    static const Listing user{
        "SELECT CONCAT(user, '@', host) AS name, ssl_type, super_priv, plugin, max_questions, max_updates, "
        "max_connections, max_user_connections FROM mysql.user WHERE BINARY is_role IN ('N', 'n') ORDER BY user ASC;",
        {"Name", "SSL type", "Super user", "Auth plugin", "Max queries per hour", "Max updates per hour",
         "Max connections per hour", "Max user connections"}};
    static const Listing sequence{
        "SELECT t.TABLE_NAME, t.ROW_FORMAT, t.CREATE_TIME, t.UPDATE_TIME, t.`ENGINE`, t.TABLE_COLLATION, "
        "t.TABLE_COMMENT FROM information_schema.`TABLES` AS t WHERE t.TABLE_SCHEMA = '%s' AND t.TABLE_TYPE = "
        "'SEQUENCE' ORDER BY t.TABLE_NAME ASC;",
        {"Name", "Row format", "Create time", "Update time", "Engine", "Collation", "Comment"}};
    static const Listing table{
        "\r\n"
        "SELECT t.TABLE_NAME, t.AUTO_INCREMENT, t.ROW_FORMAT, t.TABLE_ROWS, t.DATA_LENGTH, \r\n"
        "    t.CREATE_TIME, t.UPDATE_TIME, t.`ENGINE`, t.TABLE_COLLATION, t.TABLE_COMMENT \r\n"
        "FROM information_schema.`TABLES` AS t \r\n"
        "WHERE t.TABLE_SCHEMA = '%s' AND t.TABLE_TYPE in ('BASE TABLE', 'SYSTEM VIEW') \r\n"
        "ORDER BY t.TABLE_NAME ASC;",
        {"Name", "Auto increment", "Row format", "Rows", "Data length", "Create time", "Update time", "Engine",
         "Collation", "Comment"}};
    static const Listing trigger{
        "SELECT TRIGGER_NAME, EVENT_MANIPULATION, CONCAT(EVENT_OBJECT_SCHEMA, '.', EVENT_OBJECT_TABLE) AS object, "
        "ACTION_ORDER, ACTION_TIMING, CREATED, DEFINER FROM `information_schema`.`TRIGGERS` WHERE "
        "BINARY TRIGGER_SCHEMA='%s' ORDER BY TRIGGER_NAME ASC;",
        {"Name", "Event", "Object", "Order", "Time", "Created", "Definer"}};
    static const Listing view{
        "SELECT t.TABLE_NAME, v.CHECK_OPTION, v.IS_UPDATABLE, v.SECURITY_TYPE, v.DEFINER FROM "
        "INFORMATION_SCHEMA.tables t left join information_schema.VIEWS v on BINARY t.TABLE_SCHEMA = v.TABLE_SCHEMA "
        "and BINARY t.TABLE_NAME = v.TABLE_NAME WHERE t.table_type = 'VIEW' and t.TABLE_SCHEMA = '%s' ORDER BY "
        "t.TABLE_NAME ASC",
        {"Name", "Check option", "Updatable", "Security type", "Definer"}};

    switch (kind) {
    case DBObject::EVENT: return &event;
    case DBObject::FUNCTION: return &function;
    case DBObject::PROCEDURE: return &procedure;
    case DBObject::ROUTINE: return &routine;
    case DBObject::PACKAGE: return &package;
    case DBObject::INDEX: return &index;
    case DBObject::ROLE: return &role;
    case DBObject::USER: return &user;
    case DBObject::SEQUENCE: return &sequence;
    case DBObject::TABLE: return &table;
    case DBObject::TRIGGER: return &trigger;
    case DBObject::VIEW: return &view;
    default: return nullptr;
    }
}

const Listing& schema_listing(bool with_comment) {
    static const Listing older{
        "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM `information_schema`.`SCHEMATA` "
        "ORDER BY SCHEMA_NAME ASC;",
        {"Name", "Default character", "Default collation"}};
    static const Listing newer{
        "SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME, SCHEMA_COMMENT FROM "
        "`information_schema`.`SCHEMATA` ORDER BY SCHEMA_NAME ASC;",
        {"Name", "Default character", "Default collation", "Comment"}};
    return with_comment ? newer : older;
}

/// `query` with its "%s" (if any) replaced by `schema`. Every "%s" of the catalogue queries stands
/// inside a '...' literal; the quotes and the name are replaced together by a literal that reads
/// back as the name in any sql_mode, so a quote or backslash in it cannot end the literal early.
std::string fill_query(std::string_view query, std::string_view schema) {
    std::string sql(query);
    if (auto at = sql.find("'%s'"); at != std::string::npos) sql.replace(at, 4, mariadb_quote_literal(schema));
    return sql;
}

}  // namespace

std::shared_ptr<MariaDBExplorer> MariaDBExplorer::create(Contracts::Database::IConnection* conn) {
    OMBRIX_RETURN_VAL_IF_NULL(conn, nullptr);
    return Core::make_object<MariaDBExplorer>(conn);
}

bool MariaDBExplorer::has_schema_comment(std::string_view version) {
    // SCHEMA_COMMENT came with 10.5.0. Compared as numbers, since texts put "10.11" before "10.5";
    // a text that cannot be read gets the query every server answers.
    const auto parsed = ServerVersion::parse(version);
    return parsed && parsed->at_least(10, 5, 0);
}

Core::Result<std::shared_ptr<TableModel>> MariaDBExplorer::load_objects(std::string_view database,
                                                                        std::string_view schema, DBObject kind,
                                                                        std::string_view extra_data) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, std::shared_ptr<TableModel>());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, std::shared_ptr<TableModel>());
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(extra_data, std::shared_ptr<TableModel>());

    const Listing* listing = nullptr;
    if (kind == DBObject::DATABASE || kind == DBObject::SCHEMA)
        listing = &schema_listing(has_schema_comment(m_connection->get_version()));
    else
        listing = find_listing(kind);
    if (!listing) return TableModel::create();

    auto model = m_connection->execute_as_model(fill_query(listing->query, schema), false);
    if (!model || !*model) return model;
    const auto& columns = (*model)->get_columns();
    for (std::size_t i = 0; i < listing->titles.size() && i < columns->size(); ++i)
        columns->get(i)->set_title(Core::tr(listing->titles[i]));
    return model;
}

OMBRIX_DEFINE_TYPE(MariaDBExplorer, "OmbrixSolvaneSupportsDatabaseMariaDBExplorer");

}  // namespace Ombrix::Solvane::Supports::Database
