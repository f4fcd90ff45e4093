/// @file Quoting of names for MariaDB SQL text: string literals, backtick names and LIKE patterns.
#pragma once

#include <string>
#include <string_view>

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

/// The text to write between single quotes after LIKE so the pattern matches exactly `text`:
/// `%`, `_` and `\` lose their pattern meaning (LIKE's default escape character is `\`), then the
/// result is escaped as a literal.
inline std::string mariadb_escape_like(std::string_view text) {
    std::string pattern;
    pattern.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return mariadb_escape_literal(pattern);
}

/// `text` as a complete string literal: '...'.
inline std::string mariadb_quote_literal(std::string_view text) { return "'" + mariadb_escape_literal(text) + "'"; }

/// `name` as a complete backtick name: `...`.
inline std::string mariadb_quote_identifier(std::string_view name) {
    return "`" + mariadb_escape_identifier(name) + "`";
}

/// `name` where the grammar takes a bare name (USE, user@host parts): as it is when it is made of
/// letters, digits, `_` and `$` only (and is not all digits), so ordinary names read as they were
/// given; otherwise as a backtick name.
inline std::string mariadb_bare_identifier(std::string_view name) {
    bool plain = !name.empty();
    bool all_digits = true;
    for (const char c : name) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
                            static_cast<unsigned char>(c) >= 0x80;
        if (!digit) all_digits = false;
        if (!digit && !letter) plain = false;
    }
    if (plain && !all_digits) return std::string(name);
    return mariadb_quote_identifier(name);
}

}  // namespace Ombrix::Solvane::Supports::Database
