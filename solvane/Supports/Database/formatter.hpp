/// @file The SQL formatter every connection hands out: editor layout and one-line form.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/formattable.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The two options a connection sets on its formatter right after making it, in this order.
inline constexpr std::string_view kFormatterLineStart = "LINE_START";
inline constexpr std::string_view kFormatterLineStartValue =
    "SELECT,FROM,WHERE,SET,ORDER BY,GROUP BY,LIMIT,DROP,VALUES,UPDATE,HAVING,ADD,AFTER,ALTER TABLE,DELETE FROM,"
    "UNION ALL,UNION,EXCEPT,INTERSECT";
inline constexpr std::string_view kFormatterLineBreak = "LINE_BREAK";
inline constexpr std::string_view kFormatterLineBreakValue =
    "LEFT OUTER JOIN,RIGHT OUTER JOIN,LEFT JOIN,RIGHT JOIN,OUTER JOIN,INNER JOIN,JOIN,XOR,OR,AND";

/// Rewrites SQL text around its keywords. `beautify` starts FROM, WHERE, GROUP BY, HAVING,
/// ORDER BY, UNION, USING, WITH and joins on a new line, indents ON, CASE, WHEN, ELSE, END,
/// BETWEEN and OVER one unit and AND/OR two, puts each column of a SELECT list on its own line and
/// indents sub-selects; `minify` packs everything onto one line. Quoted text (single, double and
/// backtick quotes) and comments are never changed, and a `--` or `#` comment keeps the line end
/// that closes it, so the formatted text always means what the original meant.
/// Both operations take time linear in the text and may run on any number of threads at once.
class OMBRIX_SOLVANE_EXPORT Formatter final : public Core::Object, public Contracts::Database::IFormattable {
public:

    /// Stores the pair; the layout does not depend on any option. A null name or value writes the
    /// critical "name != NULL" / "value != NULL" and stores nothing.
    void option(std::string_view name, std::string_view value) override;
    /// The value stored under `name`, if any.
    std::optional<std::string> get_option(std::string_view name) const;

    /// Any text, even one that is not SQL, gets a layout; only a null view fails (the critical
    /// "statements != NULL", then SQLError::MISSING_PARAMETER).
    [[nodiscard]] Core::Result<std::string> beautify(std::string_view statements) const override;
    /// A null view writes the critical "statements != NULL" and gives "".
    [[nodiscard]] std::string minify(std::string_view statements) const override;

    OMBRIX_CREATABLE_OBJECT(Formatter, Core::Object);

private:
    Formatter() = default;

    mutable std::mutex m_options_mutex;  // options may be set while other threads format
    std::map<std::string, std::string, std::less<>> m_options;
};

}  // namespace Ombrix::Solvane::Supports::Database
