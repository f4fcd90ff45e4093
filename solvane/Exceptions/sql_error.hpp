/// @file The SQL error domain published for callers: codes grouped by back end.
#pragma once

#include <string_view>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Exceptions {

/// Codes of the "ombrix-solvane-exceptions-sql-error-quark" domain: application codes from 0,
/// MySQL/MariaDB from 10000, PostgreSQL from 20000, SQLite and the general codes from 30000.
/// Registered (Core::EnumInfo) as "OmbrixSolvaneExceptionsSQLError".
enum class SQLError : int {
    APP_ERROR_START = 0,
    CRYPTOGRAPHY = 1,
    MYSQL_ERROR_START = 10000,
    POSTGRESQL_ERROR_START = 20000,
    SQLITE_ERROR_START = 30000,
    UNKNOWN, ERROR, INTERNAL, ACCESS_DENIED, ABORTED, BUSY, LOCKED, NO_MEMORY, READ_ONLY, INTERRUPTED, IO,
    CORRUPT, NOT_FOUND, FULL, CAN_NOT_OPEN, PROTOCOL, EMPTY, SCHEMA, TOO_BIG, CONSTRAINT, MISMATCH, MISUSE, NOLFS,
    AUTH, FORMAT, RANGE, NOTADB, DATA_TYPE, THREAD, TRANSACTION, FEATURE_NOT_SUPPORTED, NO_SQL, MISSING_PARAMETER,
};

/// The domain text of SQLError values.
inline constexpr std::string_view kSQLErrorDomain = "ombrix-solvane-exceptions-sql-error-quark";

/// The nick of a code ("access-denied"); "" for a number that is not a member.
OMBRIX_SOLVANE_EXPORT std::string_view to_string(SQLError code);

}  // namespace Ombrix::Solvane::Exceptions
