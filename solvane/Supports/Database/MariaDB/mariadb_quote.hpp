/// @file Quoting of names for MariaDB SQL text: string literals, backtick names and LIKE patterns.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Database {

// Every name the MariaDB dialect writes into SQL goes through one of these. The provider lets a
// text carry several statements, so a name that closed its quotes early would run SQL of its own;
// escaping keeps each name inside its quotes whatever it holds. With the server's default
// sql_mode a backslash escapes inside '...', so it is doubled as well as the quote; a backslash in
// a backtick name is an ordinary character.

/// The text to write between single quotes so the server reads back exactly `text`.
inline std::string mariadb_escape_literal(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\'')
            out += "''";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

/// The text to write between backticks so the server reads back exactly `name`.
inline std::string mariadb_escape_identifier(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    for (const char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    return out;
}

/// `text` as a complete string literal that the server reads back as `text` whatever the
/// session's sql_mode: '...' with each quote doubled, or, when it holds a backslash (an escape
/// unless the mode holds NO_BACKSLASH_ESCAPES) or a NUL byte, as _utf8mb4 X'...'. For values and
/// catalogue comparisons; where the grammar wants a plain text literal (account names, COMMENT),
/// the builder writes '...' for its scripts' own mode.
inline std::string mariadb_quote_literal(std::string_view text) {
    if (text.find('\\') != std::string_view::npos || text.find('\0') != std::string_view::npos)
        return "_utf8mb4 X'" + Core::hex_upper(text.data(), text.size()) + "'";
    std::string out = "'";
    out.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

/// `name` as a complete backtick name: `...`.
inline std::string mariadb_quote_identifier(std::string_view name) {
    return "`" + mariadb_escape_identifier(name) + "`";
}

/// Whether the server reads `word` (in any letter case) as a reserved word, which cannot stand as
/// a bare name: `USE order;` or `KEY (desc)` do not parse.
inline bool mariadb_is_reserved_word(std::string_view word) {
    // Sorted; the words the server refuses as a bare database, account or column name.
    // clang-format off
    static constexpr std::array<std::string_view, 245> kReserved = {
    "ACCESSIBLE", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "AS", "ASC", "ASENSITIVE", "BEFORE", "BETWEEN",
    "BIGINT", "BINARY", "BLOB", "BOTH", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER", "CHECK",
    "COLLATE", "COLUMN", "CONDITION", "CONSTRAINT", "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT_DATE",
    "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASES", "DAY_HOUR",
    "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DEC", "DECIMAL", "DECLARE", "DEFAULT", "DELAYED", "DELETE",
    "DELETE_DOMAIN_ID", "DESC", "DESCRIBE", "DETERMINISTIC", "DISTINCT", "DISTINCTROW", "DIV", "DOUBLE",
    "DO_DOMAIN_IDS", "DROP", "DUAL", "EACH", "ELSE", "ELSEIF", "ENCLOSED", "ESCAPED", "EXCEPT", "EXISTS",
    "EXIT", "EXPLAIN", "FALSE", "FETCH", "FLOAT", "FLOAT4", "FLOAT8", "FOR", "FORCE", "FOREIGN", "FROM",
    "FULLTEXT", "GRANT", "GROUP", "HAVING", "HIGH_PRIORITY", "HOUR_MICROSECOND", "HOUR_MINUTE", "HOUR_SECOND",
    "IF", "IGNORE", "IGNORE_DOMAIN_IDS", "IN", "INDEX", "INFILE", "INNER", "INOUT", "INSENSITIVE", "INSERT",
    "INT", "INT1", "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT", "INTERVAL", "INTO", "IS", "ITERATE",
    "JOIN", "KEY", "KEYS", "KILL", "LEADING", "LEAVE", "LEFT", "LIKE", "LIMIT", "LINEAR", "LINES", "LOAD",
    "LOCALTIME", "LOCALTIMESTAMP", "LOCK", "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY",
    "MASTER_DEMOTE_TO_REPLICA", "MASTER_DEMOTE_TO_SLAVE", "MASTER_SSL_VERIFY_SERVER_CERT", "MATCH", "MAXVALUE",
    "MEDIUMBLOB", "MEDIUMINT", "MEDIUMTEXT", "MIDDLEINT", "MINUTE_MICROSECOND", "MINUTE_SECOND", "MOD",
    "MODIFIES", "NATURAL", "NOT", "NO_WRITE_TO_BINLOG", "NULL", "NUMERIC", "OFFSET", "ON", "OPTIMIZE",
    "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER", "OUTFILE", "OVER", "PAGE_CHECKSUM", "PARSE_VCOL_EXPR",
    "PARTITION", "PORTION", "PRECISION", "PRIMARY", "PROCEDURE", "PURGE", "RANGE", "READ", "READS",
    "READ_WRITE", "REAL", "RECURSIVE", "REFERENCES", "REF_SYSTEM_ID", "REGEXP", "RELEASE", "RENAME", "REPEAT",
    "REPLACE", "REQUIRE", "RESIGNAL", "RESTRICT", "RETURN", "RETURNING", "REVOKE", "RIGHT", "RLIKE", "ROWS",
    "ROW_NUMBER", "SCHEMAS", "SECOND_MICROSECOND", "SELECT", "SENSITIVE", "SEPARATOR", "SET", "SHOW", "SIGNAL",
    "SMALLINT", "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION", "SQLSTATE", "SQLWARNING", "SQL_BIG_RESULT",
    "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL", "STARTING", "STATS_AUTO_RECALC", "STATS_PERSISTENT",
    "STATS_SAMPLE_PAGES", "STRAIGHT_JOIN", "TABLE", "TERMINATED", "THEN", "TINYBLOB", "TINYINT", "TINYTEXT",
    "TO", "TRAILING", "TRIGGER", "TRUE", "UNDO", "UNION", "UNIQUE", "UNLOCK", "UNSIGNED", "UPDATE", "USAGE",
    "USE", "USING", "UTC_DATE", "UTC_TIME", "UTC_TIMESTAMP", "VALUES", "VARBINARY", "VARCHAR", "VARCHARACTER",
    "VARYING", "WHEN", "WHERE", "WHILE", "WITH", "WRITE", "XOR", "YEAR_MONTH", "ZEROFILL",
    };
    // clang-format on
    if (word.empty() || word.size() > 32) return false;
    std::string upper(word);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return std::binary_search(kReserved.begin(), kReserved.end(), std::string_view(upper));
}

/// `name` where the grammar takes a bare name (USE, user@host parts): as it is when it is made of
/// letters, digits, `_` and `$` only, starts with no digit and is no reserved word, so ordinary
/// names read as they were given; otherwise as a backtick name. A leading digit is quoted because
/// the server may read the name as a number ("1e5", "0x1F").
inline std::string mariadb_bare_identifier(std::string_view name) {
    bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9');
    for (const char c : name) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
                            static_cast<unsigned char>(c) >= 0x80;
        if (!digit && !letter) plain = false;
    }
    if (plain && !mariadb_is_reserved_word(name)) return std::string(name);
    return mariadb_quote_identifier(name);
}

/// The key of a user's or role's privileges map for a grant's object: its names joined by periods
/// ("shop.*", "shop.orders", "*.*"), each as it is unless it holds a period or a backtick, then as
/// a backtick name, so that `mariadb_privilege_names` reads every key back as the names it was
/// made of (`a.b`.t is table "t" of schema "a.b").
inline std::string mariadb_privilege_key(const std::vector<std::string>& names) {
    std::string key;
    for (const auto& name : names) {
        if (!key.empty()) key += '.';
        key += name.find_first_of(".`") == std::string::npos ? name : mariadb_quote_identifier(name);
    }
    return key;
}

/// The names of a grant's object as SHOW GRANTS writes it (`shop`.`orders`, `shop`.*, *.*) or as a
/// privileges key holds it: a part in backticks is the name inside (doubled backticks read as
/// one), any other part runs to the next period.
inline std::vector<std::string> mariadb_privilege_names(std::string_view object) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at <= object.size()) {
        std::string name;
        if (at < object.size() && object[at] == '`') {
            for (++at; at < object.size(); ++at) {
                if (object[at] != '`') {
                    name += object[at];
                } else if (at + 1 < object.size() && object[at + 1] == '`') {
                    name += '`';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            // Anything between the closing backtick and the next period belongs to no name.
            at = std::min(object.find('.', at), object.size());
        } else {
            const auto dot = std::min(object.find('.', at), object.size());
            name = object.substr(at, dot - at);
            at = dot;
        }
        names.push_back(std::move(name));
        ++at;  // past the period
    }
    return names;
}

}  // namespace Ombrix::Solvane::Supports::Database
