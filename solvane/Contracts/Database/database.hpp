/// @file The enumerations that travel with the database contracts: connection state, statement
/// actions and the inspector's vocabulary keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// The state of a connection; registered (Core::EnumInfo) as "OmbrixSolvaneContractsDatabaseDBStatus".
enum class DBStatus : int { Unknown = 0, Closed = 1, Opened = 2, Failed = 3 };

/// The kind of change a generated statement performs.
enum class SqlAction : int { NOTHING = 0, INSERT = 1, UPDATE = 2, DELETE = 3, SCHEMA = 4, FEATURE = 5 };

/// The key by which the inspector is asked for a list of dialect words or queries. The values are
/// stored and compared as numbers: the order is binding. Registered (Core::EnumInfo) with the value
/// names "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_META_TYPE_<MEMBER>".
enum class DbMetaType : int {
    NONE, AUTHENTICATION, AUTHENTICATION_LOGIN, CHARSET, COLLATION, COLUMN_DEFAULT, COLUMN_NAME, COLUMN_TYPE,
    COMPRESSION, COMPRESSION_DATA, COMPRESSION_XML, CREDENTIAL, DATA_TYPE, DATASET_STATEMENT, DEFERRED_ACTION,
    ENDPOINT, EXPLORABLE, FOREIGNKEY_ACTION, FOREIGNKEY_MATCH, IDENTITY_ACTION, INDEX_ALGORITHM, INDEX_BUFFERING,
    INDEX_FAST_UPDATE, INDEX_KEY_BLOCK_SIZE, INDEX_LOCK, INDEX_METHOD, INDEX_PARSER, INDEX_TYPE, INSERT_METHOD,
    USER_LANGUAGE, LOCK_ESCALATION, LOGIN_ASYMMETRIC_KEY, LOGIN_CERTIFICATE, LOGIN_NAME, ONCONFLICT, OPERATOR_CLASS,
    ORDER_NORMAL, ORDER_NULLS, PERMISSION, PLUGIN_AUTH, ROLE_APPLICATION, ROLE_DATABASE, ROLE_OWNER, ROLE_SERVER,
    ROUTINE_ALL, ROUTINE_DIRECTION, ROUTINE_FUNCTION, ROUTINE_LANGUAGE, ROUTINE_DATA_ACCESS, ROUTINE_PROCEDURE,
    ROUTINE_SECURITY, ROUTINE_TYPE, ROW_FORMAT, RULE_ACTION, RULE_APPLY, RULE_EVENT, SYNC_TRANSFER, SYNC_STRUCTURE,
    SYNC_DATA, SERVERS, TABLE_COMMIT, TABLE_ENGINE, TABLE_INHERITS, TABLE_FLAG, TABLE_NAME, TABLE_NAMESPACE,
    TABLE_OWNER, TABLE_PARTITION, TABLE_SCHEMA, TABLE_STORAGE, TABLE_TABLESPACE, TABLE_TEMPLATE, TEMPLATE_FUNCTION,
    TEMPLATE_PROCEDURE, TRIGGER_DEFERRABLE, TRIGGER_DEFERRED, TRIGGER_DEFINITION_TYPE, TRIGGER_EXECUTOR,
    TRIGGER_FIRE_EVENT, TRIGGER_FIRE_TIME, TRIGGER_FIRE_TIME_TABLE, TRIGGER_FIRE_TIME_VIEW, TRIGGER_FOR_EACH,
    TRIGGER_ORDER, TRIGGER_TEMPLATE, TRIGGER_TYPE, TYPE_STANDARD, TYPE_USER_DEFINED, VERSION_METHOD,
    VERSION_POSITION, VIRTUAL_TYPE, VIEW_ALGORITHM, VIEW_SECURITY, VIEW_CHECK_OPTION,
};

/// The number of DbMetaType members (94).
inline constexpr int kDbMetaTypeCount = 94;

/// The nick of a status ("opened").
OMBRIX_SOLVANE_EXPORT std::string_view to_string(DBStatus status);
/// The nick of an action ("feature").
OMBRIX_SOLVANE_EXPORT std::string to_string(SqlAction action);
/// The nick of a vocabulary key: the member in lower case with '-' for '_' ("foreignkey-action").
OMBRIX_SOLVANE_EXPORT std::string to_string(DbMetaType type);
/// The key of a nick, if any.
OMBRIX_SOLVANE_EXPORT std::optional<DbMetaType> db_meta_type_from_string(std::string_view nick);

}  // namespace Ombrix::Solvane::Contracts::Database
