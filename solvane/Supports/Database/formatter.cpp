#include "solvane/Supports/Database/formatter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Exceptions/sql_error.hpp"
#include "solvane/Supports/Database/sql_lexing.hpp"

namespace Ombrix::Solvane::Supports::Database {

namespace {

// How beautify works. A lexer reads the text once and writes a working copy in which every run of
// whitespace is one space and every token that must come out byte for byte (a quoted text, a
// comment, a stray control byte) is one symbol byte; the tokens themselves stay in the caller's
// text. The keyword rules then run over that copy in a fixed order, each one a single
// left-to-right pass that marks line starts with kBreak. The order matters, since each rule sees
// what the earlier ones wrote (an AND already moved to its own line no longer has a space in front
// of it). Last, the copy is cut into lines at the marks and at the '...' literals, and the lines
// are indented by how deep in sub-selects they sit, while the symbols are replaced by their
// tokens. Every pass is linear, and none backtracks.
//
// Bytes below 0x20 never reach the working copy from the input (whitespace becomes a space and
// other control bytes travel as tokens), so these symbols cannot be confused with the user's text.
constexpr char kBreak = '\x01';       // a new line starts here
constexpr char kCommentEnd = '\x02';  // the line end after a -- or # comment: always a new line
constexpr char kToken = '\x03';       // a token kept verbatim: "...", `...`, /* */, a comment, a control byte
constexpr char kLiteral = '\x04';     // a '...' literal, kept verbatim; it also cuts layout lines

constexpr std::string_view kUnit = "    ";
constexpr std::size_t kMaxIndent = 100;  // deeper sub-selects stay at this indentation

constexpr bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }

constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A byte that continues a name, a number or a variable: a keyword glued to one is part of it.
constexpr bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

// ---------------------------------------------------------------------------------------------
// Lexer

enum class TokenKind { Code, Space, Literal, Quoted, LineComment, BlockComment, Control, Command };

struct Token {
    TokenKind kind;
    std::size_t end;
};

// The server reads "--" as a comment only when a blank or a control character (or the end of the
// text) follows it: "1--1" is one minus minus one.
bool starts_dash_comment(std::string_view text, std::size_t pos) {
    if (pos + 1 >= text.size() || text[pos] != '-' || text[pos + 1] != '-') return false;
    return pos + 2 == text.size() || is_space(text[pos + 2]) || is_control(text[pos + 2]);
}

// A line comment ends before the line feed and the carriage returns in front of it (a CR LF, or
// the CR CR LF of a file converted twice), which belong to the line end the layout writes.
std::size_t line_comment_end(std::string_view text, std::size_t start) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return text.size();
    while (end > start + 1 && text[end - 1] == '\r') --end;
    return end;
}

constexpr std::string_view kDelimiterWord = "DELIMITER";

// Whether the letters of DELIMITER, in any case, stand at `pos`.
bool delimiter_letters_at(std::string_view text, std::size_t pos) {
    if (text.size() - pos < kDelimiterWord.size()) return false;
    for (std::size_t i = 0; i < kDelimiterWord.size(); ++i)
        if (ascii_upper(text[pos + i]) != kDelimiterWord[i]) return false;
    return true;
}

// Whether the word DELIMITER, then white space or the end of the text, stands at `pos`: a command
// when it starts a line, as the script splitter reads it.
bool is_delimiter_word(std::string_view text, std::size_t pos) {
    const std::size_t after = pos + kDelimiterWord.size();
    return delimiter_letters_at(text, pos) && (after == text.size() || is_space(text[after]));
}

// A script's DELIMITER command: the word at the start of a line, then its argument up to the line
// end. The client reads it by lines, so it keeps a line of its own, as a line comment does; the end
// of that line, or npos when `pos` holds no such command.
std::size_t delimiter_command_end(std::string_view text, std::size_t pos) {
    if (!is_delimiter_word(text, pos)) return std::string_view::npos;
    return line_comment_end(text, pos);
}

constexpr bool ends_code_run(char c) {
    return is_space(c) || is_control(c) || c == '\'' || c == '"' || c == '`' || c == '#' || c == '-' || c == '/';
}

// The next token; `line_start`: only blanks since the last line end, where a DELIMITER command may
// stand.
Token next_token(std::string_view text, std::size_t pos, bool line_start) {
    const char c = text[pos];
    if (line_start && (c == 'D' || c == 'd'))
        if (const std::size_t end = delimiter_command_end(text, pos); end != std::string_view::npos)
            return {TokenKind::Command, end};
    if (is_space(c)) {
        std::size_t end = pos + 1;
        while (end < text.size() && is_space(text[end])) ++end;
        return {TokenKind::Space, end};
    }
    switch (c) {
    case '\'':
        return {TokenKind::Literal, sql_quoted_end(text, pos, c)};
    case '"':
    case '`':
        return {TokenKind::Quoted, sql_quoted_end(text, pos, c)};
    case '#':
        return {TokenKind::LineComment, line_comment_end(text, pos)};
    case '-':
        if (starts_dash_comment(text, pos)) return {TokenKind::LineComment, line_comment_end(text, pos)};
        break;
    case '/':
        if (pos + 1 < text.size() && text[pos + 1] == '*') {
            const std::size_t close = text.find("*/", pos + 2);
            return {TokenKind::BlockComment, close == std::string_view::npos ? text.size() : close + 2};
        }
        break;
    default:
        if (is_control(c)) return {TokenKind::Control, pos + 1};
        break;
    }
    std::size_t end = pos + 1;  // a '-' or '/' that opens nothing is code
    while (end < text.size() && !ends_code_run(text[end])) ++end;
    return {TokenKind::Code, end};
}

// ---------------------------------------------------------------------------------------------
// Keyword rules

// One element of a rule's pattern. Words match ASCII letters in either case; spaces are the single
// spaces of the working copy (and the indentation that earlier rules wrote); a word end matches,
// without taking a byte, where no name byte follows.
struct Element {
    enum class Kind { Char, Word, Spaces, SomeSpaces, WordEnd } kind;
    char c = 0;
    std::string_view word;
};

struct Rule {
    std::vector<Element> pattern;
    std::string replacement;
};

Element ch(char c) { return {Element::Kind::Char, c, {}}; }
Element word(std::string_view w) { return {Element::Kind::Word, 0, w}; }
Element spaces() { return {Element::Kind::Spaces, 0, {}}; }
Element some_spaces() { return {Element::Kind::SomeSpaces, 0, {}}; }
Element word_end() { return {Element::Kind::WordEnd, 0, {}}; }

// " KEYWORD " becomes `before` KEYWORD `after`.
Rule keyword(std::string_view kw, std::string before, std::string_view after = " ") {
    return {{ch(' '), word(kw), ch(' ')}, before.append(kw).append(after)};
}

std::string brk(int units = 0) {
    std::string s(1, kBreak);
    for (int i = 0; i < units; ++i) s += kUnit;
    return s;
}

// The rules in the order they run; they write every keyword they match in capitals.
const std::vector<Rule>& keyword_rules() {
    static const std::vector<Rule> rules = [] {
        std::vector<Rule> r;
        r.push_back(keyword("AND", brk(2)));
        r.push_back(keyword("BETWEEN", brk(1)));
        r.push_back(keyword("CASE", brk(1)));
        r.push_back(keyword("ELSE", brk(1)));
        r.push_back(keyword("END", brk(1)));
        r.push_back(keyword("FROM", brk()));
        // "group bytes" is no GROUP BY: the BY must end its word, or the rule would split a name.
        r.push_back({{ch(' '), word("GROUP"), some_spaces(), word("BY"), word_end()}, brk() + "GROUP BY "});
        r.push_back(keyword("HAVING", brk()));
        r.push_back(keyword("IN", " "));
        r.push_back(keyword("JOIN", brk()));
        // The JOIN rule has split a qualified join; these put the qualifier back in front of it.
        for (std::string_view qualifier : {"CROSS", "INNER", "LEFT", "RIGHT"})
            r.push_back({{ch(' '), word(qualifier), ch(kBreak), word("JOIN"), ch(' ')},
                         brk() + std::string(qualifier) + " JOIN "});
        r.push_back(keyword("ON", brk(1)));
        r.push_back(keyword("OR", brk(2)));
        r.push_back({{ch(' '), word("ORDER"), some_spaces(), word("BY"), word_end()}, brk() + "ORDER BY "});
        r.push_back(keyword("OVER", brk(1)));
        r.push_back({{ch('('), spaces(), word("SELECT"), ch(' ')}, brk() + "(SELECT "});
        r.push_back({{ch(')'), spaces(), word("SELECT"), ch(' ')}, ")" + brk() + "SELECT "});
        r.push_back(keyword("THEN", " ", brk(1)));
        r.push_back(keyword("UNION", brk(), brk()));
        r.push_back(keyword("USING", brk()));
        r.push_back(keyword("WHEN", brk(1)));
        r.push_back(keyword("WHERE", brk()));
        r.push_back(keyword("WITH", brk()));
        for (std::string_view kw : {"ALL", "AS", "ASC", "DESC", "DISTINCT", "EXISTS", "NOT", "NULL", "LIKE"})
            r.push_back(keyword(kw, " "));
        return r;
    }();
    return rules;
}

bool match_at(std::string_view s, std::size_t p, const std::vector<Element>& pattern, std::size_t& end) {
    for (const Element& e : pattern) {
        switch (e.kind) {
        case Element::Kind::Char:
            if (p >= s.size() || s[p] != e.c) return false;
            ++p;
            break;
        case Element::Kind::Word:
            if (s.size() - p < e.word.size()) return false;
            for (std::size_t i = 0; i < e.word.size(); ++i)
                if (ascii_upper(s[p + i]) != e.word[i]) return false;
            p += e.word.size();
            break;
        case Element::Kind::WordEnd:
            if (p < s.size() && is_name_char(s[p])) return false;
            break;
        case Element::Kind::Spaces:
        case Element::Kind::SomeSpaces: {
            const std::size_t first = p;
            while (p < s.size() && s[p] == ' ') ++p;
            if (e.kind == Element::Kind::SomeSpaces && p == first) return false;
            break;
        }
        }
    }
    end = p;
    return true;
}

// Replaces every match of `rule`, left to right without overlaps. Returns false, and leaves `out`
// alone, when nothing matched; a text without the keyword is not copied.
bool apply(std::string_view in, std::string& out, const Rule& rule) {
    const char first = rule.pattern.front().c;
    bool changed = false;
    std::size_t copied = 0;
    std::size_t pos = 0;
    while (pos < in.size()) {
        const void* hit = std::memchr(in.data() + pos, first, in.size() - pos);
        if (!hit) break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - in.data());
        std::size_t end = 0;
        if (!match_at(in, at, rule.pattern, end)) {
            pos = at + 1;
            continue;
        }
        if (!changed) {
            out.clear();
            out.reserve(in.size() + in.size() / 8 + 64);
            changed = true;
        }
        out.append(in, copied, at - copied);
        // A line break right after "--" would make a comment of it: "5--(SELECT 1)" subtracts, and
        // stays on its line. (Other rules put their breaks where a blank stood, which no "--" in
        // code ever precedes.)
        std::string_view replacement = rule.replacement;
        if (replacement.front() == kBreak && out.ends_with("--")) {
            const std::size_t kept = replacement.find_first_not_of(' ', 1);
            replacement.remove_prefix(kept == std::string_view::npos ? replacement.size() : kept);
        }
        out += replacement;
        copied = pos = end;
    }
    if (changed) out.append(in, copied);
    return changed;
}

// "select " in any case becomes "SELECT ", and the blanks in front of it go, so that a SELECT
// after THEN starts its line without the indentation. Blanks that follow a name or a number stay:
// without them "INSERT INTO t SELECT", "UNION ALL SELECT" or "AS SELECT" would fuse into a
// different word. A "select" that ends a longer name ("user_select") is left alone.
bool apply_select(std::string_view in, std::string& out) {
    constexpr std::string_view kSelect = "SELECT ";
    bool changed = false;
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i + kSelect.size() <= in.size()) {
        if (ascii_upper(in[i]) != 'S') {
            ++i;
            continue;
        }
        bool found = true;
        for (std::size_t k = 1; k < kSelect.size() && found; ++k) found = ascii_upper(in[i + k]) == kSelect[k];
        if (!found || (i > 0 && is_name_char(in[i - 1]))) {
            ++i;
            continue;
        }
        std::size_t from = i;
        while (from > copied && in[from - 1] == ' ') --from;
        const bool keep_blanks = from < i && from > 0 && is_name_char(in[from - 1]);
        if (!changed) {
            out.clear();
            out.reserve(in.size() + 64);
            changed = true;
        }
        out.append(in, copied, (keep_blanks ? i : from) - copied);
        out += kSelect;
        copied = i = i + kSelect.size();
    }
    if (changed) out.append(in, copied);
    return changed;
}

// ---------------------------------------------------------------------------------------------
// Layout

// The working copy of a text: whitespace collapsed, verbatim tokens replaced by symbols.
struct Working {
    std::string code;
    std::vector<std::string_view> tokens;  // the verbatim tokens, in the order of their symbols
};

Working lex_for_layout(std::string_view text) {
    Working w;
    w.code.reserve(text.size() / 2 + 16);
    TokenKind previous = TokenKind::Space;
    bool line_start = true;
    for (std::size_t pos = 0; pos < text.size();) {
        const Token t = next_token(text, pos, line_start);
        line_start = t.kind == TokenKind::Space &&
                     (line_start || text.substr(pos, t.end - pos).find('\n') != std::string_view::npos);
        switch (t.kind) {
        case TokenKind::Code:
            w.code.append(text, pos, t.end - pos);
            break;
        case TokenKind::Space:
            // The line end that closes a line comment or a command must survive, or the next
            // line would become part of it.
            if (previous == TokenKind::LineComment || previous == TokenKind::Command) w.code += kCommentEnd;
            w.code += ' ';
            break;
        case TokenKind::Command:
            // A line of its own: a line end before it too.
            if (!w.code.empty() && w.code.back() == ' ') w.code.pop_back();
            if (!w.code.empty() && w.code.back() != kCommentEnd) w.code += kCommentEnd;
            w.code += kToken;
            w.tokens.push_back(text.substr(pos, t.end - pos));
            break;
        case TokenKind::Literal:
            w.code += kLiteral;
            w.tokens.push_back(text.substr(pos, t.end - pos));
            break;
        default:
            w.code += kToken;
            w.tokens.push_back(text.substr(pos, t.end - pos));
            break;
        }
        previous = t.kind;
        pos = t.end;
    }
    return w;
}

// Whether, in the working copy, blanks and then the word DELIMITER stand at `pos` with a blank, a
// line mark or the end after it: a line that began there would read as a DELIMITER command, so
// the layout starts none there.
bool delimiter_word_ahead(std::string_view code, std::size_t pos) {
    while (pos < code.size() && (code[pos] == ' ' || code[pos] == kBreak)) ++pos;
    if (!delimiter_letters_at(code, pos)) return false;
    const std::size_t after = pos + kDelimiterWord.size();
    return after == code.size() || code[after] == ' ' || code[after] == kBreak || code[after] == kCommentEnd;
}

// Turns the marked working copy into indented lines. A line that holds a '...' literal is cut
// around it: the literal and whatever follows it up to the next line start join the line before
// them without indentation, so a literal never gets a line break in front of it.
class LineWriter {
public:
    LineWriter(const std::vector<std::string_view>& tokens, std::size_t size_hint) : m_tokens(tokens) {
        m_out.reserve(size_hint);
    }

    void line(std::string_view code) {
        std::size_t pos = 0;
        bool after_literal = false;
        for (;;) {
            const std::size_t literal = code.find(kLiteral, pos);
            const std::size_t end = literal == std::string_view::npos ? code.size() : literal;
            piece(code.substr(pos, end - pos), after_literal);
            if (literal == std::string_view::npos) return;
            piece(code.substr(literal, 1), true);
            pos = literal + 1;
            after_literal = true;
        }
    }

    std::string take() { return std::move(m_out); }

private:
    // `glued`: the piece is a literal or follows one.
    void piece(std::string_view code, bool glued) {
        for (char c : code) {
            if (c == '(') ++m_level;
            else if (c == ')') --m_level;
        }
        const bool select_line = code.find("SELECT") != std::string_view::npos;
        if (opens_subselect(code)) {
            ++m_depth;
            // After a literal, a line that began with the word DELIMITER would read as a command.
            if (!(glued && delimiter_word_ahead(code, 0))) indent();
            write(code, select_line);
        } else if (glued) {
            close_subselect();
            write(code, select_line);
        } else {
            indent();
            write(code, select_line);
            close_subselect();
        }
    }

    // An opening parenthesis, blanks, then "SELECT": a sub-select starts on this line.
    static bool opens_subselect(std::string_view code) {
        for (std::size_t p = code.find('('); p != std::string_view::npos; p = code.find('(', p + 1)) {
            std::size_t q = p + 1;
            while (q < code.size() && code[q] == ' ') ++q;
            if (code.substr(q, 6) == "SELECT") return true;
        }
        return false;
    }

    void close_subselect() {
        if (m_level < 1 && m_depth > 0) --m_depth;
    }

    // A line feed and the indentation of the current depth. Runs of line feeds collapse into one,
    // and none opens the text.
    void indent() {
        if (!m_out.empty() && !m_at_line_feed) {
            m_out += '\n';
            m_at_line_feed = true;
        }
        const std::size_t units = std::min(m_depth, kMaxIndent);
        if (units > 0) {
            m_out.append(units * kUnit.size(), ' ');
            m_at_line_feed = false;
        }
    }

    // The commas of a line that holds a SELECT start the next column on its own line.
    void write(std::string_view code, bool break_commas) {
        std::size_t run = 0;
        for (std::size_t i = 0; i < code.size(); ++i) {
            const char c = code[i];
            if (c == kToken || c == kLiteral) {
                m_out.append(code, run, i - run);
                m_out += m_tokens[m_next_token++];
                run = i + 1;
            } else if (c == ',' && break_commas && !delimiter_word_ahead(code, i + 1)) {
                m_out.append(code, run, i - run);
                m_out += ",\n";
                m_out += kUnit;
                m_out += kUnit;
                run = i + 1;
            }
        }
        m_out.append(code, run, code.size() - run);
        if (!code.empty()) m_at_line_feed = false;
    }

    const std::vector<std::string_view>& m_tokens;
    std::size_t m_next_token = 0;
    std::string m_out;
    bool m_at_line_feed = false;
    std::size_t m_depth = 0;     // sub-selects open around the current line
    std::ptrdiff_t m_level = 0;  // parentheses open so far
};

std::string layout(std::string_view text) {
    Working w = lex_for_layout(text);
    if (w.code.empty()) return {};

    std::string scratch;
    for (const Rule& rule : keyword_rules())
        if (apply(w.code, scratch, rule)) w.code.swap(scratch);
    if (apply_select(w.code, scratch)) w.code.swap(scratch);

    // Lines start at the marks; marks in a row make one line start, and the blank that stood for
    // a comment's line end goes with it.
    LineWriter writer(w.tokens, text.size() + text.size() / 4 + 64);
    std::string& marked = w.code;
    // A line the rules start (after THEN or UNION, say) must not begin with the word DELIMITER,
    // which the client would take for a command: such a break stays a blank.
    for (std::size_t i = 0; i < marked.size(); ++i)
        if (marked[i] == kBreak && delimiter_word_ahead(marked, i + 1)) marked[i] = ' ';
    const std::string_view code = marked;
    std::size_t start = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c != kBreak && c != kCommentEnd) continue;
        writer.line(code.substr(start, i - start));
        for (;;) {
            if (code[i] == kCommentEnd && i + 1 < code.size() && code[i + 1] == ' ') ++i;
            if (i + 1 < code.size() && (code[i + 1] == kBreak || code[i + 1] == kCommentEnd))
                ++i;
            else
                break;
        }
        start = i + 1;
    }
    writer.line(code.substr(start));
    return writer.take();
}

}  // namespace

void Formatter::option(std::string_view name, std::string_view value) {
    OMBRIX_RETURN_IF_NULL_VIEW(name);
    OMBRIX_RETURN_IF_NULL_VIEW(value);
    std::lock_guard lock(m_options_mutex);
    auto it = m_options.find(name);
    if (it != m_options.end())
        it->second.assign(value);
    else
        m_options.emplace(std::string(name), std::string(value));
}

std::optional<std::string> Formatter::get_option(std::string_view name) const {
    std::lock_guard lock(m_options_mutex);
    auto it = m_options.find(name);
    if (it == m_options.end()) return std::nullopt;
    return it->second;
}

Core::Result<std::string> Formatter::beautify(std::string_view statements) const {
    // No text is no layout: a failure the caller can tell from an empty text laid out.
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(
        statements, Core::fail(std::string(Exceptions::kSQLErrorDomain),
                               static_cast<int>(Exceptions::SQLError::MISSING_PARAMETER), "statements != NULL"));
    return layout(statements);
}

std::string Formatter::minify(std::string_view statements) const {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statements, {});
    std::string out;
    out.reserve(statements.size());
    TokenKind previous = TokenKind::Space;
    bool line_start = true;
    for (std::size_t pos = 0; pos < statements.size();) {
        const Token t = next_token(statements, pos, line_start);
        line_start = t.kind == TokenKind::Space &&
                     (line_start || statements.substr(pos, t.end - pos).find('\n') != std::string_view::npos);
        if (t.kind == TokenKind::Space) {
            const char next = t.end < statements.size() ? statements[t.end] : '\0';
            if (previous == TokenKind::LineComment || previous == TokenKind::Command)
                out += '\n';  // without it the next line would join the comment or command
            else if (next != '(' && next != ')')
                out += ' ';
        } else {
            // A command keeps its line: the blank written before it becomes the line end it had.
            if (t.kind == TokenKind::Command && !out.empty() && out.back() != '\n') {
                if (out.back() == ' ') out.pop_back();
                out += '\n';
            }
            out.append(statements, pos, t.end - pos);
        }
        previous = t.kind;
        pos = t.end;
    }
    return out;
}

OMBRIX_DEFINE_TYPE(Formatter, "OmbrixSolvaneSupportsDatabaseFormatter");

}  // namespace Ombrix::Solvane::Supports::Database
