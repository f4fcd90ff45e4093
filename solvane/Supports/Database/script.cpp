#include "solvane/Supports/Database/script.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Supports/Database/sql_lexing.hpp"

namespace Ombrix::Solvane::Supports::Database {

namespace {

constexpr bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

constexpr bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20; }

constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A byte of an unquoted name, keyword, number or variable. '@' belongs to them so that an unquoted
// user@host is one word.
constexpr bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

bool iequals(std::string_view text, std::string_view upper) {
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(), [](char a, char b) { return ascii_upper(a) == b; });
}

std::string_view trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_space(text[begin])) ++begin;
    while (end > begin && is_space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// ---------------------------------------------------------------------------------------------
// Lexer

enum class Kind : std::uint8_t {
    Space,
    LineComment,   // -- or #, up to the line end
    BlockComment,  // /* */ (an unclosed one runs to the end)
    VersionOpen,   // /*!NNNNN or /*M!NNNNNN: what follows is SQL up to the matching */
    VersionClose,  // the */ of a versioned comment
    Quoted,        // '...' or "..."
    Name,          // `...`
    Word,
    Symbol,        // any other single byte
    Delimiter,
    End,
};

struct Token {
    Kind kind = Kind::End;
    std::size_t begin = 0;
    std::size_t end = 0;
};

class Lexer {
public:
    Lexer(std::string_view text, std::string_view delimiter) : m_text(text), m_delimiter(delimiter) {}

    std::string_view text() const { return m_text; }
    std::string_view slice(const Token& token) const { return m_text.substr(token.begin, token.end - token.begin); }

    // The token at `pos`. Inside a versioned comment (`in_version`) a "*/" closes it. The delimiter is
    // looked for before anything else, even inside a word, as the command-line client does.
    Token at(std::size_t pos, bool in_version) const {
        const std::size_t n = m_text.size();
        if (pos >= n) return {Kind::End, n, n};
        const char c = m_text[pos];
        const char next = pos + 1 < n ? m_text[pos + 1] : '\0';
        if (delimiter_at(pos)) return {Kind::Delimiter, pos, pos + m_delimiter.size()};
        if (is_space(c)) {
            std::size_t end = pos + 1;
            while (end < n && is_space(m_text[end]) && !delimiter_at(end)) ++end;
            return {Kind::Space, pos, end};
        }
        // The server reads "--" as a comment only when a blank or a control byte (or the end) follows.
        if (c == '#' || (c == '-' && next == '-' && (pos + 2 == n || is_control(m_text[pos + 2]) ||
                                                    is_space(m_text[pos + 2])))) {
            const std::size_t eol = m_text.find('\n', pos);
            return {Kind::LineComment, pos, eol == std::string_view::npos ? n : eol};
        }
        if (c == '/' && next == '*') {
            std::size_t end = pos + 2;
            if (end < n && m_text[end] == '!')
                end += 1;
            else if (end + 1 < n && m_text[end] == 'M' && m_text[end + 1] == '!')
                end += 2;
            if (end > pos + 2) {
                while (end < n && m_text[end] >= '0' && m_text[end] <= '9') ++end;
                return {Kind::VersionOpen, pos, end};
            }
            const std::size_t close = m_text.find("*/", pos + 2);
            return {Kind::BlockComment, pos, close == std::string_view::npos ? n : close + 2};
        }
        if (in_version && c == '*' && next == '/') return {Kind::VersionClose, pos, pos + 2};
        if (c == '\'' || c == '"') return {Kind::Quoted, pos, sql_quoted_end(m_text, pos, c)};
        if (c == '`') return {Kind::Name, pos, sql_quoted_end(m_text, pos, c)};
        if (is_word_char(c)) {
            std::size_t end = pos + 1;
            while (end < n && is_word_char(m_text[end]) && !delimiter_at(end)) ++end;
            return {Kind::Word, pos, end};
        }
        return {Kind::Symbol, pos, pos + 1};
    }

    // The next token from `pos` that is neither white space nor a comment (nor a versioned
    // comment's marks); End at the end of the text.
    Token significant(std::size_t pos, bool in_version) const {
        while (true) {
            const Token token = at(pos, in_version);
            switch (token.kind) {
            case Kind::Space:
            case Kind::LineComment:
            case Kind::BlockComment:
                break;
            case Kind::VersionOpen:
                in_version = true;
                break;
            case Kind::VersionClose:
                in_version = false;
                break;
            default:
                return token;
            }
            pos = token.end;
        }
    }

private:
    bool delimiter_at(std::size_t pos) const {
        return !m_delimiter.empty() && m_text.compare(pos, m_delimiter.size(), m_delimiter) == 0;
    }

    std::string_view m_text;
    std::string_view m_delimiter;
};

// ---------------------------------------------------------------------------------------------
// Stored programs

// Words that start a statement of a stored program's body: met right after a procedure's or a
// function's parameters or a trigger's FOR EACH ROW, they show that the body has begun.
constexpr std::array kStatementWords = std::to_array<std::string_view>({
    "ALTER",    "ANALYZE",  "CALL",     "CHANGE",   "CHECK",   "CLOSE",    "COMMIT",   "CREATE",
    "DEALLOCATE", "DECLARE", "DELETE",  "DESCRIBE", "DO",      "DROP",     "EXECUTE",  "EXPLAIN",
    "FETCH",    "FLUSH",    "GET",      "GRANT",    "HANDLER", "INSERT",   "ITERATE",  "KILL",
    "LEAVE",    "LOAD",     "LOCK",     "OPEN",     "OPTIMIZE", "PREPARE", "PURGE",    "RELEASE",
    "RENAME",   "REPAIR",   "REPLACE",  "RESET",    "RESIGNAL", "RETURN",  "REVOKE",   "ROLLBACK",
    "SAVEPOINT", "SELECT",  "SET",      "SHOW",     "SIGNAL",  "START",    "TABLE",    "TRUNCATE",
    "UNLOCK",   "UPDATE",   "USE",      "VALUES",   "WITH",    "XA",
});

// Words that may follow END to name the block it closes.
constexpr std::array kBlockWords = std::to_array<std::string_view>({"CASE", "FOR", "IF", "LOOP", "REPEAT", "WHILE"});

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

enum class Program : std::uint8_t { None, Trigger, Function, Procedure, Event, Anonymous, Package };
enum class Block : std::uint8_t { Begin, If, CaseStatement, CaseExpression, Loop, While, Repeat, For };
// Where a DECLARE ... HANDLER FOR head has been read to.
enum class Handler : std::uint8_t { None, For, Condition, Sqlstate, NotFound, AfterCondition };

// How far the head of the statement has been read.
enum class Phase : std::uint8_t {
    First,          // nothing read yet
    Create,         // after CREATE (OR REPLACE, a definer, AGGREGATE)
    CreateOr,       // after CREATE OR
    Alter,          // after ALTER (a definer)
    DefinerEquals,  // after DEFINER
    DefinerUser,    // after DEFINER =
    AfterUser,      // after the user: an @host or the () of CURRENT_USER() may follow
    DefinerHost,    // after a bare '@'
    DefinerParen,   // after CURRENT_USER(
    BeginNot,       // after a leading BEGIN
    BeginAtomic,    // after BEGIN NOT
    Body,           // inside a stored program
    Plain,          // any other statement: its first delimiter ends it
};

// Reads one statement token by token and tells whether a ';' ends it. For a stored program it keeps
// the stack of open blocks of the body; a ';' ends the program only when none is open.
class StatementReader {
public:
    explicit StatementReader(const Lexer& lexer) : m_lexer(lexer) {}

    // Feeds the next token that is neither white space, a comment, nor a delimiter.
    void feed(const Token& token, bool in_version) {
        if (m_phase == Phase::Plain) return;  // nothing more to learn: the first ';' ends it
        const std::string_view text = m_lexer.slice(token);
        std::string word;
        if (token.kind == Kind::Word) {
            word.resize(text.size());
            std::transform(text.begin(), text.end(), word.begin(), ascii_upper);
        }
        read_token(token, text, word, in_version);
        m_after_dot = is_symbol(token, text, '.');
        if (token.kind == Kind::Word) {
            m_before_previous = std::move(m_previous);
            m_previous = std::move(word);
        } else {
            m_before_previous.clear();
            m_previous.clear();
        }
    }

    // Whether the statement is known to be no stored program: nothing more it reads changes what ends it.
    bool plain() const { return m_phase == Phase::Plain; }

    // Whether a ';' met now ends the statement.
    bool semicolon_ends() {
        if (m_phase != Phase::Body || m_blocks.empty()) return true;
        // A statement of the body ended: the next one starts here.
        m_start_next = true;
        m_header = false;
        m_depth = 0;
        m_skip_block_word = false;
        m_handler = Handler::None;
        return false;
    }

private:
    void read_token(const Token& token, std::string_view text, const std::string& word, bool in_version) {
        const bool is_word = token.kind == Kind::Word;
        const bool is_user = is_word || token.kind == Kind::Quoted || token.kind == Kind::Name;
        switch (m_phase) {
        case Phase::First:
            m_phase = word == "CREATE" ? Phase::Create
                      : word == "ALTER" ? Phase::Alter
                      : word == "BEGIN" ? Phase::BeginNot
                                        : Phase::Plain;
            return;
        case Phase::Create:
            if (word == "OR") {
                m_phase = Phase::CreateOr;
            } else if (word == "DEFINER") {
                m_after_definer = Phase::Create;
                m_phase = Phase::DefinerEquals;
            } else if (word == "AGGREGATE") {
                // stays
            } else if (word == "TRIGGER") {
                start(Program::Trigger);
            } else if (word == "FUNCTION") {
                start(Program::Function);
            } else if (word == "PROCEDURE") {
                start(Program::Procedure);
            } else if (word == "EVENT") {
                start(Program::Event);
            } else if (word == "PACKAGE") {
                start(Program::Package);
            } else {
                m_phase = Phase::Plain;
            }
            return;
        case Phase::CreateOr:
            m_phase = word == "REPLACE" ? Phase::Create : Phase::Plain;
            return;
        case Phase::Alter:
            if (word == "DEFINER") {
                m_after_definer = Phase::Alter;
                m_phase = Phase::DefinerEquals;
            } else if (word == "EVENT") {
                start(Program::Event);
            } else {
                m_phase = Phase::Plain;
            }
            return;
        case Phase::DefinerEquals:
            m_phase = is_symbol(token, text, '=') ? Phase::DefinerUser : Phase::Plain;
            return;
        case Phase::DefinerUser:
            // `u`@`h`, 'u'@'h', u@h, u@'h', a role, CURRENT_USER[()], CURRENT_ROLE[()]
            if (!is_user)
                m_phase = Phase::Plain;
            else
                m_phase = is_word && text.size() > 1 && text.back() == '@' ? Phase::DefinerHost : Phase::AfterUser;
            return;
        case Phase::AfterUser:
            if (is_word && text.front() == '@') {
                m_phase = text.size() == 1 ? Phase::DefinerHost : m_after_definer;
                return;
            }
            if (is_symbol(token, text, '(')) {
                m_phase = Phase::DefinerParen;
                return;
            }
            m_phase = m_after_definer;
            read_token(token, text, word, in_version);
            return;
        case Phase::DefinerHost:
            m_phase = is_user ? m_after_definer : Phase::Plain;
            return;
        case Phase::DefinerParen:
            m_phase = is_symbol(token, text, ')') ? m_after_definer : Phase::Plain;
            return;
        case Phase::BeginNot:
            m_phase = word == "NOT" ? Phase::BeginAtomic : Phase::Plain;
            return;
        case Phase::BeginAtomic:
            if (word == "ATOMIC") {
                start(Program::Anonymous);
                m_blocks.push_back(Block::Begin);
                m_start_next = true;
            } else {
                m_phase = Phase::Plain;
            }
            return;
        case Phase::Body:
            read_body(token, text, word, in_version);
            return;
        case Phase::Plain:
            return;
        }
    }

    void start(Program program) {
        m_phase = Phase::Body;
        m_program = program;
        m_await_parameters = program == Program::Function || program == Program::Procedure;
    }

    static bool is_symbol(const Token& token, std::string_view text, char c) {
        return token.kind == Kind::Symbol && text.front() == c;
    }

    // The significant token after `token`, for the few words whose meaning depends on it.
    Token next_after(const Token& token, bool in_version) const { return m_lexer.significant(token.end, in_version); }

    void read_body(const Token& token, std::string_view text, const std::string& word, bool in_version) {
        // A token starts a statement of the body right after ';', BEGIN, THEN, ... and, in the head
        // of a procedure, a function or a trigger, wherever the body may begin.
        bool at_start = m_start_next || (m_header && m_depth == 0);
        m_start_next = false;
        const bool skip = std::exchange(m_skip_block_word, false);
        if (m_handler != Handler::None) {
            const bool after_conditions = m_handler == Handler::AfterCondition;
            if (read_handler_condition(token, text, word)) return;
            at_start = at_start || after_conditions;  // the handler's statement
        }

        if (token.kind == Kind::Symbol) {
            switch (text.front()) {
            case '(':
                ++m_depth;
                break;
            case ')':
                if (m_depth > 0) --m_depth;
                if (m_depth == 0 && m_await_parameters) {
                    m_await_parameters = false;
                    m_header = true;
                }
                break;
            case ',':
            case '.':  // RETURNS TYPE OF t.c
                break;
            case ':':
                // "label:" starts a statement; ":=" is an assignment.
                if (token.end >= m_lexer.text().size() || m_lexer.text()[token.end] != '=') m_start_next = true;
                m_header = false;
                break;
            default:
                m_header = false;
                break;
            }
            return;
        }
        if (token.kind != Kind::Word) return;  // quoted texts and names (COMMENT 'x', FOLLOWS `t`)
        if (skip && contains(kBlockWords, word)) return;  // END IF, END LOOP, ...
        if (m_after_dot) return;  // a qualified name such as t.end

        if (m_depth > 0) {
            // Inside parentheses only CASE expressions open and close.
            if (word == "CASE")
                m_blocks.push_back(Block::CaseExpression);
            else if (word == "END" && !m_blocks.empty() && m_blocks.back() == Block::CaseExpression)
                m_blocks.pop_back();
            return;
        }

        if ((word == "AS" || word == "IS") && m_program == Program::Package && m_blocks.empty()) {
            // A package (or its body) is one block from its AS to its END, its routines inside.
            open(Block::Begin, true);
        } else if (word == "BEGIN") {
            open(Block::Begin, true);
        } else if (word == "CASE") {
            open(at_start ? Block::CaseStatement : Block::CaseExpression, false);
        } else if (word == "IF") {
            // IF(a, b, c) is a function and IF [NOT] EXISTS a clause, unless a statement starts here:
            // there "IF EXISTS (SELECT ...) THEN" is the statement.
            if (at_start || !opens_clause_or_call(next_after(token, in_version))) open(Block::If, false);
        } else if (word == "LOOP") {
            open(Block::Loop, true);
        } else if (word == "WHILE") {
            open(Block::While, false);
        } else if (word == "REPEAT") {
            // REPEAT('x', 3) is the function.
            const Token next = next_after(token, in_version);
            if (at_start || !is_symbol(next, m_lexer.slice(next), '(')) open(Block::Repeat, true);
        } else if (word == "FOR") {
            // FOR EACH ROW, FOR UPDATE, CURSOR FOR, HANDLER FOR are clauses; a FOR loop starts a statement.
            if (at_start) open(Block::For, false);
        } else if (word == "END") {
            if (!m_blocks.empty()) m_blocks.pop_back();
            m_skip_block_word = true;
            m_header = false;
        } else if (word == "THEN" || word == "ELSE") {
            // Statements follow in an IF or a CASE statement; an expression in a CASE expression.
            if (!m_blocks.empty() && (m_blocks.back() == Block::If || m_blocks.back() == Block::CaseStatement))
                m_start_next = true;
        } else if (word == "DO") {
            // WHILE ... DO, FOR ... DO and an event's DO lead to statements; DO at a statement's
            // start is the DO statement, followed by expressions.
            if (!at_start) m_start_next = true;
            m_header = false;
        } else if (word == "HANDLER" && (m_previous == "CONTINUE" || m_previous == "EXIT" || m_previous == "UNDO")) {
            m_handler = Handler::For;
        } else if (word == "ROW") {
            if (m_program == Program::Trigger && m_previous == "EACH" && m_before_previous == "FOR") m_header = true;
        } else if (m_header && contains(kStatementWords, word) &&
                   !(word == "SET" && (m_previous == "CHARACTER" || m_previous == "RETURNS"))) {
            m_header = false;
        }
    }

    // Reads a token of DECLARE ... HANDLER FOR <conditions>; false for the first token after them,
    // which starts the handler's statement.
    bool read_handler_condition(const Token& token, std::string_view text, const std::string& word) {
        const bool is_name = token.kind == Kind::Word || token.kind == Kind::Name;
        switch (m_handler) {
        case Handler::For:
            m_handler = word == "FOR" ? Handler::Condition : Handler::None;
            return m_handler != Handler::None;
        case Handler::Condition:
            // SQLSTATE [VALUE] 'xxxxx', NOT FOUND, SQLWARNING, SQLEXCEPTION, an error number or a name
            m_handler = word == "SQLSTATE" ? Handler::Sqlstate
                        : word == "NOT"    ? Handler::NotFound
                        : is_name          ? Handler::AfterCondition
                                           : Handler::None;
            return m_handler != Handler::None;
        case Handler::Sqlstate:
            if (word == "VALUE") return true;
            m_handler = token.kind == Kind::Quoted ? Handler::AfterCondition : Handler::None;
            return m_handler != Handler::None;
        case Handler::NotFound:
            m_handler = word == "FOUND" ? Handler::AfterCondition : Handler::None;
            return m_handler != Handler::None;
        case Handler::AfterCondition:
            m_handler = is_symbol(token, text, ',') ? Handler::Condition : Handler::None;
            return m_handler != Handler::None;
        case Handler::None:
            break;
        }
        return false;
    }

    bool opens_clause_or_call(const Token& next) const {
        const std::string_view text = m_lexer.slice(next);
        if (next.kind == Kind::Symbol) return text.front() == '(';
        return next.kind == Kind::Word && (iequals(text, "NOT") || iequals(text, "EXISTS"));
    }

    void open(Block block, bool statements_follow) {
        m_blocks.push_back(block);
        m_header = false;
        if (statements_follow) m_start_next = true;
    }

    const Lexer& m_lexer;
    Phase m_phase = Phase::First;
    Phase m_after_definer = Phase::Create;
    Program m_program = Program::None;
    std::vector<Block> m_blocks;
    std::size_t m_depth = 0;          // parentheses open at this point
    bool m_start_next = false;        // the next token starts a statement of the body
    bool m_header = false;            // between a head and the body, where the body may begin
    bool m_await_parameters = false;  // the next parentheses are a routine's parameters
    bool m_skip_block_word = false;   // after END, a block word names what it closes
    bool m_after_dot = false;         // the previous token was '.'
    Handler m_handler = Handler::None;
    std::string m_previous;           // the previous word, upper case ("" after another token)
    std::string m_before_previous;
};

// ---------------------------------------------------------------------------------------------
// Splitting

std::size_t count_lines(std::string_view text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

bool is_delimiter_command(std::string_view text, const Token& word) {
    return word.kind == Kind::Word && iequals(text.substr(word.begin, word.end - word.begin), "DELIMITER") &&
           (word.end == text.size() || is_space(text[word.end]));
}

// Reads the argument of the DELIMITER command whose word ends at `pos` into `delimiter` and returns
// where the line after it starts. A missing argument, or one holding a backslash, changes nothing,
// as with the command-line client.
std::size_t read_delimiter_command(std::string_view text, std::size_t pos, std::string& delimiter) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !is_space(text[end])) ++end;
    const std::string_view argument = text.substr(pos, end - pos);
    if (!argument.empty() && argument.find('\\') == std::string_view::npos) delimiter.assign(argument);
    const std::size_t eol = text.find('\n', end);
    return eol == std::string_view::npos ? text.size() : eol + 1;
}

// Whether a byte may start a token other than a word, a number, white space or a plain symbol: a
// quote, a name, a comment, a versioned comment's end.
bool starts_something(char c) {
    return c == '\'' || c == '"' || c == '`' || c == '-' || c == '#' || c == '/' || c == '*';
}

}  // namespace

std::vector<ScriptStatement> ScriptSplitter::split(std::string_view script, bool final, std::size_t& consumed) {
    std::vector<ScriptStatement> statements;
    std::string& delimiter = m_delimiter;
    std::size_t pos = 0;
    std::size_t& line = m_line;
    bool& line_start = m_line_start;  // only blanks since the last line end
    bool& trailing = m_trailing;      // still on the line of the delimiter that ended the last statement
    consumed = 0;

    while (pos < script.size()) {
        // Where this statement begins: a piece of script that ends before it does waits for more.
        const std::size_t begin_pos = pos;
        const std::size_t begin_line = line;
        const bool begin_line_start = line_start;
        const bool begin_trailing = trailing;
        const Lexer lexer(script, delimiter);
        StatementReader reader(lexer);
        const bool programs = delimiter == ";";
        std::size_t start = std::string_view::npos;
        std::size_t start_line = 0;
        std::size_t end = script.size();
        bool has_sql = false;
        bool in_version = false;
        bool restart = false;
        bool ended = false;

        while (pos < script.size()) {
            const Token token = lexer.at(pos, in_version);
            const std::string_view text = lexer.slice(token);
            if (token.kind == Kind::Delimiter) {
                if (!programs || reader.semicolon_ends()) {
                    end = token.begin;
                    pos = token.end;
                    trailing = true;
                    line_start = false;
                    ended = true;
                    break;
                }
            } else if (token.kind == Kind::Space) {
                if (text.find('\n') != std::string_view::npos) {
                    line_start = true;
                    trailing = false;
                }
            } else if (token.kind == Kind::LineComment || token.kind == Kind::BlockComment) {
                // A comment after a delimiter on its line belongs to no statement.
                if (start == std::string_view::npos && !trailing) {
                    start = token.begin;
                    start_line = line;
                }
                line_start = false;
            } else if (!has_sql && line_start && is_delimiter_command(script, token)) {
                if (!final && script.find('\n', token.end) == std::string_view::npos) break;
                pos = read_delimiter_command(script, token.end, delimiter);
                line += 1;
                line_start = true;
                trailing = false;
                restart = true;
                ended = true;
                break;
            } else {
                if (start == std::string_view::npos) {
                    start = token.begin;
                    start_line = line;
                }
                // A lone ';' under another delimiter is as empty as a comment to the server.
                if (!(token.kind == Kind::Symbol && text == ";")) has_sql = true;
                trailing = false;
                line_start = false;
                if (token.kind == Kind::VersionOpen)
                    in_version = true;
                else if (token.kind == Kind::VersionClose)
                    in_version = false;
                else if (programs)
                    reader.feed(token, in_version);
            }
            line += count_lines(text);
            pos = token.end;
            // In a statement under way that is no stored program, the bytes that start nothing (words,
            // numbers, blanks, symbols other than those of quotes, comments and the delimiter) are
            // passed over at once: the rows of a long INSERT are mostly these.
            if (has_sql && !in_version && (!programs || reader.plain())) {
                std::size_t skip = pos;
                const char first = delimiter.front();
                while (skip < script.size() && !starts_something(script[skip]) && script[skip] != first) ++skip;
                if (skip > pos) {
                    line += static_cast<std::size_t>(std::count(script.begin() + pos, script.begin() + skip, '\n'));
                    pos = skip;
                }
            }
        }
        if (!ended && !final) {
            line = begin_line;
            line_start = begin_line_start;
            trailing = begin_trailing;
            consumed = begin_pos;
            return statements;
        }
        consumed = pos;
        if (restart || !has_sql) continue;
        statements.push_back({std::string(trim(script.substr(start, end - start))), start_line});
    }
    consumed = pos;
    return statements;
}

std::vector<ScriptStatement> ScriptSplitter::feed(std::string_view piece) {
    m_buffer.append(piece);
    std::size_t consumed = 0;
    auto statements = split(m_buffer, false, consumed);
    m_buffer.erase(0, consumed);
    return statements;
}

std::vector<ScriptStatement> ScriptSplitter::finish() {
    std::size_t consumed = 0;
    auto statements = split(m_buffer, true, consumed);
    m_buffer.clear();
    return statements;
}

std::vector<ScriptStatement> split_script(std::string_view script) {
    ScriptSplitter splitter;
    std::size_t consumed = 0;
    return splitter.split(script, true, consumed);
}

bool needs_delimiter(std::string_view statement) {
    const Lexer lexer(statement, ";");
    bool in_version = false;
    for (std::size_t pos = 0; pos < statement.size();) {
        const Token token = lexer.at(pos, in_version);
        if (token.kind == Kind::Delimiter) return true;
        if (token.kind == Kind::VersionOpen) in_version = true;
        if (token.kind == Kind::VersionClose) in_version = false;
        pos = token.end;
    }
    return false;
}

namespace {

// Whether `text` ends inside a -- or # comment, where a delimiter written after it would be lost.
bool ends_in_line_comment(std::string_view text) {
    const Lexer lexer(text, "");
    bool in_version = false;
    Token last;
    for (std::size_t pos = 0; pos < text.size(); pos = last.end) {
        last = lexer.at(pos, in_version);
        if (last.kind == Kind::VersionOpen) in_version = true;
        if (last.kind == Kind::VersionClose) in_version = false;
    }
    return last.kind == Kind::LineComment;
}

bool reads_back(const std::string& chunk, std::string_view text) {
    const auto statements = split_script(chunk);
    return statements.size() == 1 && statements.front().text == text;
}

}  // namespace

std::string join_script(const std::vector<std::string>& statements) {
    // ";;" is what the client's users know; the others serve a text that holds ";;" itself.
    static constexpr std::array kDelimiters = std::to_array<std::string_view>({";;", "//", "$$", "~~", "%%"});
    std::string script;
    for (const auto& statement : statements) {
        const std::string_view text = trim(statement);
        std::string body(text);
        // Read as it will stand, with a delimiter right after it: a trailing "--" is a comment only
        // before a blank or at the end ("SELECT 1 --;" subtracts).
        if (ends_in_line_comment(body + ";")) body += '\n';
        if (split_script(body + ";").empty()) continue;  // blank, or comments only: no statement
        if (!needs_delimiter(body)) {
            std::string chunk = body + ";\n";
            if (reads_back(chunk, text)) {
                script += chunk;
                continue;
            }
        }
        std::string chosen;
        bool good = false;
        for (const auto delimiter : kDelimiters) {
            std::string chunk = "DELIMITER ";
            chunk.append(delimiter).append("\n").append(body).append(delimiter).append("\nDELIMITER ;\n");
            good = reads_back(chunk, text);
            if (good || chosen.empty()) chosen = std::move(chunk);
            if (good) break;
        }
        // A text that ends inside a quote or a comment that nothing closes swallows every delimiter
        // after it, as it swallowed the rest of the script it came from: it reads back only as the
        // last statement, written without one.
        for (std::size_t i = 0; !good && i < kDelimiters.size(); ++i) {
            std::string chunk = "DELIMITER ";
            chunk.append(kDelimiters[i]).append("\n").append(body).append("\n");
            good = reads_back(chunk, text);
            if (good) chosen = std::move(chunk);
        }
        script += chosen;
    }
    return script;
}

Core::Status run_statements(Contracts::Database::IConnection& connection, std::string_view script) {
    for (const auto& statement : split_script(script))
        if (auto ran = connection.execute_no_query(statement.text, false); !ran) return Core::fail(ran.error());
    return {};
}

std::string runnable_script(std::string_view script) {
    std::vector<std::string> statements;
    for (auto& statement : split_script(script)) statements.push_back(std::move(statement.text));
    return join_script(statements);
}

}  // namespace Ombrix::Solvane::Supports::Database
