// The SQL formatter: Formatter::beautify and Formatter::minify. Invariant: the layout changes only
// the white space between tokens and the case of the keywords it writes in capitals, so the input,
// its beautified form, its minified form and the minified beautified form all read as the same
// token sequence, with quoted texts, comments and control bytes byte for byte the same; the minified
// form is one line except after a line comment and around a DELIMITER command (which keeps its own
// line, as written), and minifying it again changes nothing.
//
// The tokens are read here the way the server reads them: white space separates; '...', "..." and
// `...` (with the project's shared quoting rule), # and "-- " comments to the line end, /* */
// comments; names, keywords and numbers as runs of name bytes (compared without regard to ASCII
// case); the operators whose bytes must stay together (<=, <>, :=, ...); any other byte alone. A
// DELIMITER command, which the client reads by lines before the server sees anything, is its line.
#include <array>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "solvane/Supports/Database/formatter.hpp"
#include "solvane/Supports/Database/sql_lexing.hpp"

using namespace Ombrix;
using Solvane::Supports::Database::Formatter;
using Solvane::Supports::Database::sql_quoted_end;

namespace {

enum class Kind { Word, Operator, Quoted, LineComment, BlockComment, Control, Command };

struct Token {
    Kind kind;
    std::string_view text;
    std::string_view space_before;  // the white space between this token and the one before it
};

constexpr bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
constexpr bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }
constexpr bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '@' || static_cast<unsigned char>(c) >= 0x80;
}
constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr std::array<std::string_view, 12> kOperators = {
    "<=>", "->>", "<=", ">=", "<>", "!=", ":=", "||", "&&", "<<", ">>", "->"};

bool is_command_line(std::string_view text, std::size_t start);

// The end of a line-ending token: before the line feed and the carriage returns in front of it.
std::size_t line_token_end(std::string_view text, std::size_t pos) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    while (end > pos + 1 && text[end - 1] == '\r') --end;
    return end;
}

std::vector<Token> tokens_of(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    std::size_t space_start = 0;
    bool line_start = true;  // only white space since the last line feed outside a token
    while (pos < text.size()) {
        const char c = text[pos];
        if (is_space(c)) {
            if (c == '\n') line_start = true;
            ++pos;
            continue;
        }
        const std::string_view space = text.substr(space_start, pos - space_start);
        std::size_t end = pos + 1;
        Kind kind = Kind::Operator;
        if (line_start && is_command_line(text, pos)) {
            kind = Kind::Command;
            end = line_token_end(text, pos);
        } else if (c == '\'' || c == '"' || c == '`') {
            kind = Kind::Quoted;
            end = sql_quoted_end(text, pos, c);
        } else if (c == '#' || (c == '-' && pos + 1 < text.size() && text[pos + 1] == '-' &&
                                (pos + 2 == text.size() || is_space(text[pos + 2]) || is_control(text[pos + 2])))) {
            kind = Kind::LineComment;
            // To the line end; carriage returns before it are white space, whichever line end the
            // layout writes after the comment.
            end = line_token_end(text, pos);
        } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '*') {
            kind = Kind::BlockComment;
            end = text.find("*/", pos + 2);
            end = end == std::string_view::npos ? text.size() : end + 2;
        } else if (is_control(c)) {
            kind = Kind::Control;
        } else if (is_name_char(c)) {
            kind = Kind::Word;
            while (end < text.size() && is_name_char(text[end])) ++end;
        } else {
            for (const auto op : kOperators) {
                if (text.substr(pos, op.size()) == op) {
                    end = pos + op.size();
                    break;
                }
            }
        }
        tokens.push_back({kind, text.substr(pos, end - pos), space});
        pos = space_start = end;
        line_start = false;
    }
    return tokens;
}

bool same_token(const Token& a, const Token& b) {
    if (a.kind != b.kind || a.text.size() != b.text.size()) return false;
    if (a.kind != Kind::Word) return a.text == b.text;
    for (std::size_t i = 0; i < a.text.size(); ++i)
        if (upper(a.text[i]) != upper(b.text[i])) return false;
    return true;
}

std::string describe(const std::vector<Token>& tokens) {
    std::string out;
    for (const auto& token : tokens) out.append("[").append(token.text).append("]");
    return out;
}

void check_same_tokens(const std::vector<Token>& expected, std::string_view output, const char* what,
                       std::string_view input) {
    const auto actual = tokens_of(output);
    bool same = actual.size() == expected.size();
    for (std::size_t i = 0; same && i < actual.size(); ++i) same = same_token(actual[i], expected[i]);
    if (!same)
        Fuzz::broken(what, "input:  " + describe(expected) + "\noutput: " + describe(actual) + "\n----- input -----\n" +
                               std::string(input) + "\n----- output -----\n" + std::string(output));
}

// Whether the line that starts at `start` is a DELIMITER command (the word at the start of a line,
// after blanks only, then white space or the end of the text).
bool is_command_line(std::string_view text, std::size_t start) {
    std::size_t word = start;
    while (word < text.size() && text[word] != '\n' && is_space(text[word])) ++word;
    static constexpr std::string_view kWord = "DELIMITER";
    if (text.size() - word < kWord.size()) return false;
    for (std::size_t i = 0; i < kWord.size(); ++i)
        if (upper(text[word + i]) != kWord[i]) return false;
    return text.size() - word == kWord.size() || is_space(text[word + kWord.size()]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto formatter = Formatter::create();
    const std::string_view input = Fuzz::as_text(data, size);
    const auto expected = tokens_of(input);

    const auto beautified = formatter->beautify(input);
    OMBRIX_FUZZ_CHECK(beautified.has_value(), std::string(input));
    check_same_tokens(expected, *beautified, "beautify keeps the token sequence", input);

    const std::string minified = formatter->minify(input);
    check_same_tokens(expected, minified, "minify keeps the token sequence", input);
    const auto minified_tokens = tokens_of(minified);
    // For each token, the start of its line when that line is a DELIMITER command, else npos.
    std::vector<std::size_t> command_lines(minified_tokens.size(), std::string_view::npos);
    {
        std::size_t line = 0;
        bool command = is_command_line(minified, 0);
        for (std::size_t i = 0; i < minified_tokens.size(); ++i) {
            const std::string_view space = minified_tokens[i].space_before;
            if (const auto feed = space.rfind('\n'); feed != std::string_view::npos) {
                line = static_cast<std::size_t>(space.data() - minified.data()) + feed + 1;
                command = is_command_line(minified, line);
            }
            if (command) command_lines[i] = line;
        }
    }
    const auto command_line = [&](std::size_t i) { return command_lines[i]; };
    for (std::size_t i = 0; i < minified_tokens.size(); ++i) {
        const std::string_view space = minified_tokens[i].space_before;
        // A line comment keeps its line end (and the carriage returns that end its own text).
        const bool line_end =
            !space.empty() && space.back() == '\n' && space.find_first_not_of('\r') == space.size() - 1;
        const bool after_line_comment = i > 0 && minified_tokens[i - 1].kind == Kind::LineComment;
        // A DELIMITER command stands on a line of its own as it was written.
        const std::size_t line = command_line(i);
        const std::size_t previous_line = i > 0 ? command_line(i - 1) : std::string_view::npos;
        if (line != std::string_view::npos && line == previous_line) continue;
        const bool around_command =
            (line != std::string_view::npos || previous_line != std::string_view::npos) && space.find('\n') != std::string_view::npos;
        OMBRIX_FUZZ_CHECK(space.empty() || space == " " || (line_end && after_line_comment) || around_command,
                          "minify leaves other white space than one blank between tokens:\n" + minified);
    }
    OMBRIX_FUZZ_CHECK(formatter->minify(minified) == minified, "minify of a minified text changes it:\n" + minified);

    check_same_tokens(expected, formatter->minify(*beautified), "minify of beautify keeps the token sequence", input);
    return 0;
}
