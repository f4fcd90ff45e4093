/// @file The lexical rules every reader of SQL text here shares: where a quoted part ends.
#pragma once

#include <cstddef>
#include <string_view>

namespace Ombrix::Solvane::Supports::Database {

/// The end (one past the closing quote) of the quoted text opened at `start` by `quote` (' " or `).
/// A doubled quote stays inside; so does a quote after a backslash, except in backtick names, where
/// the backslash is an ordinary character. An unclosed quote runs to the end of the text.
inline std::size_t sql_quoted_end(std::string_view text, std::size_t start, char quote) {
    const bool backslash_escapes = quote != '`';
    std::size_t i = start + 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && backslash_escapes) {
            i += 2;
        } else if (c == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote)
                i += 2;
            else
                return i + 1;
        } else {
            ++i;
        }
    }
    return text.size();
}

}  // namespace Ombrix::Solvane::Supports::Database
