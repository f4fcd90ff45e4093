#include "solvane/Contracts/Database/database.hpp"

#include <array>
#include <utility>
#include <vector>

#include "providers/Core/enumeration.hpp"

namespace Ombrix::Solvane::Contracts::Database {

namespace {

constexpr std::array<std::string_view, kDbMetaTypeCount> kMetaTypeNames{
    "NONE", "AUTHENTICATION", "AUTHENTICATION_LOGIN", "CHARSET", "COLLATION", "COLUMN_DEFAULT", "COLUMN_NAME",
    "COLUMN_TYPE", "COMPRESSION", "COMPRESSION_DATA", "COMPRESSION_XML", "CREDENTIAL", "DATA_TYPE",
    "DATASET_STATEMENT", "DEFERRED_ACTION", "ENDPOINT", "EXPLORABLE", "FOREIGNKEY_ACTION", "FOREIGNKEY_MATCH",
    "IDENTITY_ACTION", "INDEX_ALGORITHM", "INDEX_BUFFERING", "INDEX_FAST_UPDATE", "INDEX_KEY_BLOCK_SIZE",
    "INDEX_LOCK", "INDEX_METHOD", "INDEX_PARSER", "INDEX_TYPE", "INSERT_METHOD", "USER_LANGUAGE", "LOCK_ESCALATION",
    "LOGIN_ASYMMETRIC_KEY", "LOGIN_CERTIFICATE", "LOGIN_NAME", "ONCONFLICT", "OPERATOR_CLASS", "ORDER_NORMAL",
    "ORDER_NULLS", "PERMISSION", "PLUGIN_AUTH", "ROLE_APPLICATION", "ROLE_DATABASE", "ROLE_OWNER", "ROLE_SERVER",
    "ROUTINE_ALL", "ROUTINE_DIRECTION", "ROUTINE_FUNCTION", "ROUTINE_LANGUAGE", "ROUTINE_DATA_ACCESS",
    "ROUTINE_PROCEDURE", "ROUTINE_SECURITY", "ROUTINE_TYPE", "ROW_FORMAT", "RULE_ACTION", "RULE_APPLY", "RULE_EVENT",
    "SYNC_TRANSFER", "SYNC_STRUCTURE", "SYNC_DATA", "SERVERS", "TABLE_COMMIT", "TABLE_ENGINE", "TABLE_INHERITS",
    "TABLE_FLAG", "TABLE_NAME", "TABLE_NAMESPACE", "TABLE_OWNER", "TABLE_PARTITION", "TABLE_SCHEMA", "TABLE_STORAGE",
    "TABLE_TABLESPACE", "TABLE_TEMPLATE", "TEMPLATE_FUNCTION", "TEMPLATE_PROCEDURE", "TRIGGER_DEFERRABLE",
    "TRIGGER_DEFERRED", "TRIGGER_DEFINITION_TYPE", "TRIGGER_EXECUTOR", "TRIGGER_FIRE_EVENT", "TRIGGER_FIRE_TIME",
    "TRIGGER_FIRE_TIME_TABLE", "TRIGGER_FIRE_TIME_VIEW", "TRIGGER_FOR_EACH", "TRIGGER_ORDER", "TRIGGER_TEMPLATE",
    "TRIGGER_TYPE", "TYPE_STANDARD", "TYPE_USER_DEFINED", "VERSION_METHOD", "VERSION_POSITION", "VIRTUAL_TYPE",
    "VIEW_ALGORITHM", "VIEW_SECURITY", "VIEW_CHECK_OPTION"};

std::string nick_of(std::string_view name) {
    std::string nick(name);
    for (char& c : nick) c = c == '_' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return nick;
}

std::vector<std::pair<DbMetaType, std::string_view>> meta_type_members() {
    std::vector<std::pair<DbMetaType, std::string_view>> members;
    for (std::size_t i = 0; i < kMetaTypeNames.size(); ++i)
        members.emplace_back(static_cast<DbMetaType>(i), kMetaTypeNames[i]);
    return members;
}

OMBRIX_REGISTER_ENUM(DBStatus, Core::EnumInfo::define<DBStatus>("OmbrixSolvaneContractsDatabaseDBStatus",
                                                                "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_STATUS_",
                                                                {{DBStatus::Unknown, "Unknown"},
                                                                 {DBStatus::Closed, "Closed"},
                                                                 {DBStatus::Opened, "Opened"},
                                                                 {DBStatus::Failed, "Failed"}}));
OMBRIX_REGISTER_ENUM(DbMetaType, Core::EnumInfo::define<DbMetaType>("OmbrixSolvaneContractsDatabaseDbMetaType",
                                                                    "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_META_TYPE_",
                                                                    meta_type_members()));

}  // namespace

std::string_view to_string(DBStatus status) {
    switch (status) {
        case DBStatus::Unknown: return "unknown";
        case DBStatus::Closed: return "closed";
        case DBStatus::Opened: return "opened";
        case DBStatus::Failed: return "failed";
    }
    return "";
}

std::string to_string(SqlAction action) {
    static constexpr std::array<std::string_view, 6> nicks{"nothing", "insert", "update", "delete", "schema", "feature"};
    const auto index = static_cast<std::size_t>(action);
    return index < nicks.size() ? std::string(nicks[index]) : std::string();
}

std::string to_string(DbMetaType type) {
    const auto index = static_cast<std::size_t>(type);
    return index < kMetaTypeNames.size() ? nick_of(kMetaTypeNames[index]) : std::string();
}

std::optional<DbMetaType> db_meta_type_from_string(std::string_view nick) {
    for (std::size_t i = 0; i < kMetaTypeNames.size(); ++i)
        if (nick_of(kMetaTypeNames[i]) == nick) return static_cast<DbMetaType>(i);
    return std::nullopt;
}

}  // namespace Ombrix::Solvane::Contracts::Database
