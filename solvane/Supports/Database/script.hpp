/// @file SQL scripts cut into statements the way the command-line client and the server read them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {
class IConnection;
}

namespace Ombrix::Solvane::Supports::Database {

/// One statement of a script.
struct ScriptStatement {
    std::string text;      ///< the statement without its delimiter, trimmed of surrounding white space
    std::size_t line = 0;  ///< 1-based line of the script where the text starts

    bool operator==(const ScriptStatement&) const = default;
};

/// The statements of `script` in order. The delimiter starts as ";"; a line whose first word is
/// DELIMITER (any case), met while no statement is in progress, sets it to the next blank-separated
/// token and is not a statement. Delimiters inside quotes, backtick names and comments do not count;
/// the content of a versioned comment (`/*! ... */`, `/*M! ... */`) is SQL, so they count there, as
/// they do for the command-line client. With the delimiter ";", a statement that creates or alters a
/// stored program (CREATE [OR REPLACE] [DEFINER = user] [AGGREGATE] TRIGGER|FUNCTION|PROCEDURE|EVENT,
/// ALTER [DEFINER = user] EVENT, BEGIN NOT ATOMIC) ends only after its body, whose ';' are its own.
/// Comments stay in the statement they are in; comments that follow a delimiter on its line, and
/// statements holding nothing but white space and comments, are dropped (the server would refuse
/// them as empty). Takes time linear in the script.
OMBRIX_SOLVANE_EXPORT std::vector<ScriptStatement> split_script(std::string_view script);

/// split_script for a script that comes in pieces (a file read a chunk at a time): each piece gives
/// the statements that end in what has come so far; the rest waits for the next piece, and finish()
/// gives the last. The statements and their lines are those split_script gives for the whole.
class OMBRIX_SOLVANE_EXPORT ScriptSplitter {
public:
    std::vector<ScriptStatement> feed(std::string_view piece);
    std::vector<ScriptStatement> finish();
    /// The bytes of a statement not ended yet.
    std::size_t pending() const { return m_buffer.size(); }

private:
    friend std::vector<ScriptStatement> split_script(std::string_view script);
    std::vector<ScriptStatement> split(std::string_view script, bool final, std::size_t& consumed);

    std::string m_buffer;
    std::string m_delimiter = ";";
    std::size_t m_line = 1;
    bool m_line_start = true;
    bool m_trailing = false;
};

/// Whether `statement` holds a ';' outside quotes and comments, so that the command-line client
/// would cut it unless it is written under another delimiter.
OMBRIX_SOLVANE_EXPORT bool needs_delimiter(std::string_view statement);

/// `statements` as a script that both split_script and the command-line client read back as the
/// same statements: each ends with ";\n", and one that needs_delimiter is written as
/// "DELIMITER ;;\n<text>;;\nDELIMITER ;\n". Surrounding white space is trimmed and blank texts are
/// left out. A text ending in a line comment gets a line end before its delimiter; in the rare text
/// that holds ";;" itself (or ends with ';'), another delimiter that reads back is chosen. A text
/// that ends inside a quote or comment that nothing closes reads back only as the last statement
/// and is written without a delimiter; a text that starts with the word DELIMITER cannot be written
/// back at all (the client takes it for its command).
OMBRIX_SOLVANE_EXPORT std::string join_script(const std::vector<std::string>& statements);

/// `script` cut into its statements and joined again (`join_script`), so that this system and the
/// standard command-line client both run it: bodies holding ';' under a delimiter of their own.
OMBRIX_SOLVANE_EXPORT std::string runnable_script(std::string_view script);

/// Runs the statements of `script` on `connection` in order, up to the first that fails, whose
/// error is returned (session settings, such as a script's prologue and epilogue).
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Status run_statements(Contracts::Database::IConnection& connection,
                                                                std::string_view script);

}  // namespace Ombrix::Solvane::Supports::Database
