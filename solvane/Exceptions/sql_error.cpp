#include "solvane/Exceptions/sql_error.hpp"

#include <array>

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

}  // namespace Ombrix::Solvane::Exceptions
