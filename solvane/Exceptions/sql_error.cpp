#include "solvane/Exceptions/sql_error.hpp"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "providers/Core/enumeration.hpp"

namespace Ombrix::Solvane::Exceptions {

std::string_view to_string(SQLError code) {
    static constexpr std::array<std::string_view, 33> general{
        "unknown", "error", "internal", "access-denied", "aborted", "busy", "locked", "no-memory", "read-only",
        "interrupted", "io", "corrupt", "not-found", "full", "can-not-open", "protocol", "empty", "schema", "too-big",
        "constraint", "mismatch", "misuse", "nolfs", "auth", "format", "range", "notadb", "data-type", "thread",
        "transaction", "feature-not-supported", "no-sql", "missing-parameter"};
    const int value = static_cast<int>(code);
    switch (code) {
        case SQLError::APP_ERROR_START: return "app-error-start";
        case SQLError::CRYPTOGRAPHY: return "cryptography";
        case SQLError::MYSQL_ERROR_START: return "mysql-error-start";
        case SQLError::POSTGRESQL_ERROR_START: return "postgresql-error-start";
        case SQLError::SQLITE_ERROR_START: return "sqlite-error-start";
        default: break;
    }
    const int index = value - static_cast<int>(SQLError::UNKNOWN);
    if (index >= 0 && index < static_cast<int>(general.size())) return general[static_cast<std::size_t>(index)];
    return "";
}

namespace {

// Every code that has a nick: the range starts, then the general codes that follow the SQLite start.
std::vector<std::pair<SQLError, std::string_view>> sql_error_members() {
    std::vector<std::pair<SQLError, std::string_view>> members;
    for (const SQLError start : {SQLError::APP_ERROR_START, SQLError::CRYPTOGRAPHY, SQLError::MYSQL_ERROR_START,
                                 SQLError::POSTGRESQL_ERROR_START, SQLError::SQLITE_ERROR_START})
        members.emplace_back(start, to_string(start));
    for (int code = static_cast<int>(SQLError::UNKNOWN); code <= static_cast<int>(SQLError::MISSING_PARAMETER); ++code)
        members.emplace_back(static_cast<SQLError>(code), to_string(static_cast<SQLError>(code)));
    return members;
}

OMBRIX_REGISTER_ENUM(SQLError, Core::EnumInfo::define<SQLError>("OmbrixSolvaneExceptionsSQLError",
                                                                "OMBRIX_SOLVANE_EXCEPTIONS_SQL_ERROR_",
                                                                sql_error_members()));

}  // namespace

}  // namespace Ombrix::Solvane::Exceptions
