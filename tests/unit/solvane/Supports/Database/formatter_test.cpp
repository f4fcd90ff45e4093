#include "solvane/Supports/Database/formatter.hpp"
#include "solvane/Supports/Database/script.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "providers/Core/regex.hpp"
#include "solvane/Exceptions/sql_error.hpp"
#include "tests/support/log_capture.hpp"

namespace {

using Ombrix::Core::Regex;
using Ombrix::Solvane::Contracts::Database::IFormattable;
using Ombrix::Solvane::Supports::Database::Formatter;
using Ombrix::Solvane::Supports::Database::split_script;
using Ombrix::Solvane::Supports::Database::kFormatterLineBreak;
using Ombrix::Solvane::Supports::Database::kFormatterLineBreakValue;
using Ombrix::Solvane::Supports::Database::kFormatterLineStart;
using Ombrix::Solvane::Supports::Database::kFormatterLineStartValue;

std::string beautify(std::string_view sql) {
    auto result = Formatter::create()->beautify(sql);
    EXPECT_TRUE(result.has_value());
    return result.value_or("<failed>");
}

std::string minify(std::string_view sql) { return Formatter::create()->minify(sql); }

// The layout rules written the slow way, as ordered regular-expression substitutions over the whole
// text, to check the single-pass formatter against. It does not know quotes other than '...' nor
// comments, so it is only fed text where that makes no difference.
class RegexLayout {
public:
    RegexLayout() {
        const std::string t = "    ";
        const std::string m = "~::~";
        auto caseless = G_REGEX_CASELESS;
        add(" AND ", m + t + t + "AND ", caseless);
        add(" BETWEEN ", m + t + "BETWEEN ", caseless);
        add(" CASE ", m + t + "CASE ", caseless);
        add(" ELSE ", m + t + "ELSE ", caseless);
        add(" END ", m + t + "END ", caseless);
        add(" FROM ", m + "FROM ", caseless);
        add(" GROUP\\s{1,}BY(?![A-Za-z0-9_$@])", m + "GROUP BY ", caseless);
        add(" HAVING ", m + "HAVING ", caseless);
        add(" IN ", " IN ", caseless);
        add(" JOIN ", m + "JOIN ", caseless);
        for (std::string q : {"CROSS", "INNER", "LEFT", "RIGHT"}) add(" " + q + "~::~{1,}JOIN ", m + q + " JOIN ", caseless);
        add(" ON ", m + t + "ON ", caseless);
        add(" OR ", m + t + t + "OR ", caseless);
        add(" ORDER\\s{1,}BY(?![A-Za-z0-9_$@])", m + "ORDER BY ", caseless);
        add(" OVER ", m + t + "OVER ", caseless);
        add("\\(\\s{0,}SELECT ", m + "(SELECT ", caseless);
        add("\\)\\s{0,}SELECT ", ")" + m + "SELECT ", caseless);
        add(" THEN ", " THEN" + m + t, caseless);
        add(" UNION ", m + "UNION" + m, caseless);
        add(" USING ", m + "USING ", caseless);
        add(" WHEN ", m + t + "WHEN ", caseless);
        add(" WHERE ", m + "WHERE ", caseless);
        add(" WITH ", m + "WITH ", caseless);
        for (std::string k : {"ALL", "AS", "ASC", "DESC", "DISTINCT", "EXISTS", "NOT", "NULL", "LIKE"})
            add(" " + k + " ", " " + k + " ", caseless);
    }

    std::string minify(const std::string& text) const {
        std::string s = Regex("\\s{1,}").replace_literal(text, " ");
        s = Regex("\\s{1,}\\(").replace_literal(s, "(");
        return Regex("\\s{1,}\\)").replace_literal(s, ")");
    }

    std::string beautify(const std::string& text) const {
        const std::string unit = "    ";
        std::string s = m_space.replace_literal(text, " ");
        s = Regex("\\'").replace_literal(s, "~::~'");
        // A line that follows a literal starts with its closing quote.
        std::vector<std::pair<std::string, bool>> lines;
        const auto pieces = split(s);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i % 2 == 1) {
                lines.emplace_back(pieces[i], false);
            } else {
                bool first = true;
                for (auto& line : split_sql(pieces[i])) {
                    lines.emplace_back(std::move(line), i > 0 && first);
                    first = false;
                }
            }
        }
        auto indent = [](int depth) { return "\n" + std::string(4 * static_cast<std::size_t>(depth), ' '); };
        int depth = 0;
        long level = 0;
        std::string out;
        for (auto [line, closing] : lines) {
            level += std::count(line.begin(), line.end(), '(') - std::count(line.begin(), line.end(), ')');
            if (line.find("SELECT") != std::string::npos) line = Regex("\\,").replace_literal(line, ",\n" + unit + unit);
            if (Regex("\\s{0,}\\(\\s{0,}SELECT\\s{0,}").is_match(line)) {
                // The line break goes after the closing quote, not into the literal.
                ++depth;
                out += closing ? "'" + indent(depth) + line.substr(1) : indent(depth) + line;
            } else if (line.find('\'') != std::string::npos) {
                if (level < 1 && depth > 0) --depth;
                out += line;
            } else {
                out += indent(depth) + line;
                if (level < 1 && depth > 0) --depth;
            }
        }
        out = Regex("^\\n{1,}").replace_literal(out, "");
        return Regex("\\n{1,}").replace_literal(out, "\n");
    }

private:
    void add(const std::string& pattern, std::string replacement, GRegexCompileFlags flags) {
        m_steps.emplace_back(Regex(pattern, flags), std::move(replacement));
    }

    // Splits at every marker; the empty text gives no piece at all.
    static std::vector<std::string> split(const std::string& s) {
        std::vector<std::string> out;
        if (s.empty()) return out;
        std::size_t start = 0;
        for (std::size_t at = s.find("~::~"); at != std::string::npos; at = s.find("~::~", start)) {
            out.push_back(s.substr(start, at - start));
            start = at + 4;
        }
        out.push_back(s.substr(start));
        return out;
    }

    std::vector<std::string> split_sql(const std::string& piece) const {
        std::string s = m_space.replace_literal(piece, " ");
        for (const auto& [regex, replacement] : m_steps) s = regex.replace_literal(s, replacement);
        // SELECT loses the blanks in front of it, except where they follow a name or a number.
        s = Regex("(?<=[A-Za-z0-9_$@])( +)SELECT(?= )", G_REGEX_CASELESS).replace(s, "\\1SELECT");
        s = Regex("(?<![A-Za-z0-9_$@ ]) *(?<![A-Za-z0-9_$@])SELECT(?= )", G_REGEX_CASELESS).replace_literal(s, "SELECT");
        s = Regex("(~::~){2,}").replace_literal(s, "~::~");
        return split(s);
    }

    Regex m_space{"\\s{1,}"};
    std::vector<std::pair<Regex, std::string>> m_steps;
};

// Random statements built from keywords, names, numbers, simple literals and punctuation, joined by
// random blanks (or none).
std::string random_statement(std::mt19937& rng) {
    static const std::vector<std::string> words = {
        "select", "SELECT", "Select", "from", "FROM", "where", "and", "AND", "or", "between", "case", "when", "then",
        "else", "end", "group by", "GROUP  BY", "order by", "having", "in", "IN", "join", "inner join", "left join",
        "right join", "cross join", "left outer join", "on", "over", "union", "union all", "using", "with", "all",
        "as", "asc", "desc", "distinct", "exists", "not", "null", "like", "insert into t", "values", "update",
        "set", "limit", "a", "b", "t", "u.x", "user_select", "myselect", "SELECTED", "x1", "`q`", "\"dq\"", "@v",
        "1", "42", "3.5", ",", "(", ")", "=", "*", ";", "(select", "( select", ")select", ") select", "+", ">",
        "'v'", "'abc'", "''", "'FROM'"};
    static const std::vector<std::string> blanks = {"", " ", " ", " ", "  ", "\n", "\t ", " \n  "};
    std::uniform_int_distribution<std::size_t> length(1, 40);
    std::uniform_int_distribution<std::size_t> pick_word(0, words.size() - 1);
    std::uniform_int_distribution<std::size_t> pick_blank(0, blanks.size() - 1);
    std::string s;
    const std::size_t n = length(rng);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& w = words[pick_word(rng)];
        std::string blank = blanks[pick_blank(rng)];
        // Two literals in a row would read as one literal with a doubled quote.
        if (blank.empty() && w.front() == '\'' && !s.empty() && s.back() == '\'') blank = " ";
        s += blank;
        s += w;
    }
    return s + blanks[pick_blank(rng)];
}

// --------------------------------------------------------------------------------------------

TEST(Formatter, MinifyPacksBlanksAndGluesParentheses) {
    EXPECT_EQ(minify(""), "");
    EXPECT_EQ(minify("SELECT  a ,\n b FROM t ( x )"), "SELECT a , b FROM t( x)");
    // Only blanks change: keyword case, ends and everything else stay.
    EXPECT_EQ(minify(" select\t\r\n1 \n"), " select 1 ");
    EXPECT_EQ(minify("f(\n  a,\n  b\n)"), "f( a, b)");
}

TEST(Formatter, BeautifyLaysOutClausesConditionsAndJoins) {
    EXPECT_EQ(beautify(""), "");
    EXPECT_EQ(beautify("select a, b from t where x = 1 and y = 2"),
              "SELECT a,\n         b\nFROM t\nWHERE x = 1\n        AND y = 2");
    EXPECT_EQ(beautify("select a from t inner join u on t.x = u.x"), "SELECT a\nFROM t\nINNER JOIN u\n    ON t.x = u.x");
    EXPECT_EQ(beautify("select a from t union select b from u"), "SELECT a\nFROM t\nUNION\nSELECT b\nFROM u");
    // The pattern ends at BY and the replacement adds a blank: two blanks before the column.
    EXPECT_EQ(beautify("select a from t group by a order by a desc limit 1"),
              "SELECT a\nFROM t\nGROUP BY  a\nORDER BY  a DESC limit 1");
    // A BY that starts a longer name is no clause: the name stays whole.
    EXPECT_EQ(beautify("select a from t group bytes order by\xC3\xA9"),
              "SELECT a\nFROM t group bytes order by\xC3\xA9");
    // CASE takes the blank after "select", which then is no "select " to write in capitals.
    EXPECT_EQ(beautify("select case when a = 1 then b else c end as d from t"),
              "select\n    CASE\n    WHEN a = 1 THEN\n    b\n    ELSE c\n    END AS d\nFROM t");
    EXPECT_EQ(beautify("select a from t where b between 1 and 2 or c is not null"),
              "SELECT a\nFROM t\nWHERE b\n    BETWEEN 1\n        AND 2\n        OR c is NOT null");
    // Semicolons separate nothing: two statements make one layout.
    EXPECT_EQ(beautify("select a from t; select b from u"), "SELECT a\nFROM t;SELECT b\nFROM u");
}

TEST(Formatter, BeautifyLeavesKeywordsWithoutSurroundingBlanksAndNonSelectCommas) {
    // At the very start or end, or glued to a comma or parenthesis, a keyword starts no line.
    EXPECT_EQ(beautify("from t where b = 1 and"), "from t\nWHERE b = 1 and");
    EXPECT_EQ(beautify("select a,from(t) where b = 1"), "SELECT a,\n        from(t)\nWHERE b = 1");
    // A line without SELECT in capitals keeps its commas.
    EXPECT_EQ(beautify("insert into t (a, b) values (1, 2), (3, 4)"), "insert into t (a, b) values (1, 2), (3, 4)");
}

TEST(Formatter, BeautifyIndentsSubSelectsOneUnitPerLevel) {
    EXPECT_EQ(beautify("select * from t where id in (select id from u where v = 'x') and z = 1"),
              "SELECT *\nFROM t\nWHERE id IN \n    (SELECT id\n    FROM u\n    WHERE v = 'x')\n        AND z = 1");
    EXPECT_EQ(beautify("select * from t where id in (select id from u where v = 1) and z = 1"),
              "SELECT *\nFROM t\nWHERE id IN \n    (SELECT id\n    FROM u\n    WHERE v = 1)\n        AND z = 1");
    // A parenthesis inside a literal does not close the sub-select.
    EXPECT_EQ(beautify("select * from t where a in (select b from u where c = ')') and d = 1"),
              "SELECT *\nFROM t\nWHERE a IN \n    (SELECT b\n    FROM u\n    WHERE c = ')')\n        AND d = 1");
}

TEST(Formatter, BeautifyStopsIndentingAtOneHundredLevels) {
    std::string sql = "select a from t where b in ";
    for (int i = 0; i < 150; ++i) sql += "(select a from t where b in ";
    sql += "(1)" + std::string(150, ')');
    const std::string out = beautify(sql);
    const std::string deepest = "\n" + std::string(400, ' ') + "(SELECT a\n";
    std::size_t at_deepest = 0;
    for (std::size_t p = out.find(deepest); p != std::string::npos; p = out.find(deepest, p + 1)) ++at_deepest;
    EXPECT_EQ(at_deepest, 51u);  // levels 100 to 150
    EXPECT_EQ(out.find(std::string(401, ' ')), std::string::npos);
    EXPECT_NE(out.find("\n    (SELECT a\n    FROM t\n"), std::string::npos);
}

// Whitespace inside a quoted text is data: collapsing it, or breaking the text at a keyword or
// comma, would change the statement.
TEST(Formatter, QuotedTextComesOutByteForByte) {
    const std::string sql = "update  t set a = 'it''s  from', b = 'c\\'  and\n\nx', `odd  name` = \"and  ,  or\" "
                            "where id = 'SELECT a, b'";
    EXPECT_EQ(minify(sql), "update t set a = 'it''s  from', b = 'c\\'  and\n\nx', `odd  name` = \"and  ,  or\" "
                           "where id = 'SELECT a, b'");
    EXPECT_EQ(beautify(sql), "update t set a = 'it''s  from', b = 'c\\'  and\n\nx', `odd  name` = \"and  ,  or\"\n"
                             "WHERE id = 'SELECT a, b'");
    // Keywords in quotes keep their case and break nothing; the literal joins its line unindented.
    EXPECT_EQ(beautify("select `a  b`, \"x from y\", 'from  WHERE, and', c from t"),
              "SELECT `a  b`,\n         \"x from y\",\n         'from  WHERE, and', c\nFROM t");
    // An unclosed quote keeps the rest of the text as it is.
    EXPECT_EQ(minify("select 'a  (b"), "select 'a  (b");
    EXPECT_EQ(beautify("select a from t where b = 'a  from"), "SELECT a\nFROM t\nWHERE b = 'a  from");
}

// A line comment ends at the line end: joining the next line to it would comment that line out.
TEST(Formatter, LineCommentsKeepTheirLineEnd) {
    EXPECT_EQ(minify("DELETE FROM t -- x\nWHERE id = 1"), "DELETE FROM t -- x\nWHERE id = 1");
    EXPECT_EQ(minify("select a # c\r\n  , b -- (d)\n\n (1)"), "select a # c\n, b -- (d)\n(1)");
    // Every carriage return before the line feed is the line end's: a second pass changes nothing.
    EXPECT_EQ(minify("a # c\r\r\n b"), "a # c\nb");
    EXPECT_EQ(minify(minify("a # c\r\r\n b")), "a # c\nb");
    EXPECT_EQ(beautify("delete from t -- x\nlimit 1"), "delete\nFROM t -- x\nlimit 1");
    EXPECT_EQ(beautify("# note\nselect a -- don't\nfrom t where b = 'x  y'"),
              "# note\nSELECT a -- don't\nFROM t\nWHERE b = 'x  y'");
    // "--" without a blank after it is two minus signs; a block comment stays on its line, untouched.
    EXPECT_EQ(minify("select 1--1\n from t"), "select 1--1 from t");
    // A sub-select's line break never goes right after such a "--", which would then be a comment.
    EXPECT_NE(beautify("select 5--(select 1)").find("5--(SELECT 1)"), std::string::npos);
    EXPECT_EQ(beautify("select /* a  from\n b */ x from t"), "SELECT /* a  from\n b */ x\nFROM t");
}

// A script's DELIMITER command is read by lines: it keeps a line of its own in both layouts, and
// the formatted script splits into the statements it held.
TEST(Formatter, DelimiterCommandsKeepTheirLines) {
    const std::string script = "select 1;\nDELIMITER ;;\ncreate procedure p() begin select 1 from t where a = 'x  y' "
                               "and b = 2; end;;\n  delimiter ;\nselect a, b from t;\n";
    EXPECT_EQ(minify(script), "select 1;\nDELIMITER ;;\ncreate procedure p() begin select 1 from t where a = 'x  y' "
                              "and b = 2; end;;\ndelimiter ;\nselect a, b from t; ");
    EXPECT_EQ(beautify("DELIMITER $$\nselect 1$$"), "DELIMITER $$\nSELECT 1$$");
    EXPECT_EQ(beautify("select 1 from t where a = 'q' and b = 1;\ndelimiter //\nselect 2//"),
              "SELECT 1\nFROM t\nWHERE a = 'q'\n        AND b = 1;\ndelimiter //\nSELECT 2//");
    for (const std::string& text : {minify(script), beautify(script)}) {
        const auto statements = split_script(text);
        ASSERT_EQ(statements.size(), 3u) << text;
        EXPECT_TRUE(statements[1].text.ends_with("end")) << statements[1].text;
    }
    // Only at the start of a line: elsewhere it is a word like any other, and the layout never
    // starts a line with it (after THEN or UNION, or after a literal on a line that seems to open
    // a sub-select) for the client to take as a command.
    EXPECT_EQ(minify("select delimiter ;\n from t"), "select delimiter ; from t");
    for (const std::string text : {"select case when a then delimiter from x end", "select 1 union delimiter ;",
                                   "select a, delimiter 1 from t", "SELECT 'a' delimiter x, EXISTS (SELECTED)"}) {
        const std::string laid_out = beautify(text);
        std::istringstream lines(laid_out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_FALSE(line.substr(line.find_first_not_of(' ')).starts_with("delimiter")) << laid_out;
        EXPECT_NE(laid_out.find("delimiter"), std::string::npos) << laid_out;
    }
    // Any white space after the word makes the command, as the splitter reads it.
    EXPECT_EQ(beautify("-- c\n  delimiter\v\vx\nselect 1"), "-- c\ndelimiter\v\vx\nSELECT 1");
}

// Removing the blank in front of SELECT must not fuse it with the word before it.
TEST(Formatter, SelectNeverFusesWithTheWordBeforeIt) {
    EXPECT_EQ(beautify("insert into t select a from u"), "insert into t SELECT a\nFROM u");
    EXPECT_EQ(beautify("create view v as select a from t"), "create view v AS SELECT a\nFROM t");
    EXPECT_EQ(beautify("select a from t union all select b from u"), "SELECT a\nFROM t\nUNION\nall SELECT b\nFROM u");
    EXPECT_EQ(beautify("select myselect from t"), "SELECT myselect\nFROM t");
    // After THEN the blanks still go: the sub-statement starts its own line.
    EXPECT_EQ(beautify("case when a then select 1 end"), "case\n    WHEN a THEN\nSELECT 1 end");
}

TEST(Formatter, MatchesTheRegexLayoutOnRandomStatements) {
    const RegexLayout reference;
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        const std::string sql = random_statement(rng);
        ASSERT_EQ(beautify(sql), reference.beautify(sql)) << "input: " << sql;
        if (sql.find('\'') == std::string::npos) {
            ASSERT_EQ(minify(sql), reference.minify(sql)) << "input: " << sql;
        }
    }
}

// Inputs that make naive rewriting quadratic: long runs, a huge literal, deep nesting, a long list.
TEST(Formatter, LargeInputsTakeLinearTime) {
    std::string sql = "select a from t where id in (";
    for (int i = 0; i < 100000; ++i) sql += (i ? ", " : "") + std::to_string(i);
    sql += ") and b = '" + std::string(1 << 20, ' ') + "' and c = 1" + std::string(1 << 20, ' ');
    for (int i = 0; i < 50000; ++i) sql += " and and (select";
    const auto start = std::chrono::steady_clock::now();
    const auto formatter = Formatter::create();
    const std::string pretty = formatter->beautify(sql).value_or("");
    const std::string compact = formatter->minify(sql);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);  // a few hundredths when linear; minutes when quadratic
    EXPECT_NE(pretty.find("b = '" + std::string(1 << 20, ' ') + "'\n        AND c = 1"), std::string::npos);
    EXPECT_NE(compact.find("b = '" + std::string(1 << 20, ' ') + "' and c = 1 and and(select"), std::string::npos);
}

TEST(Formatter, FormatsFromManyThreadsAtOnce) {
    const auto formatter = Formatter::create();
    std::mt19937 rng(7);
    std::vector<std::string> inputs;
    std::vector<std::string> pretty;
    std::vector<std::string> compact;
    for (int i = 0; i < 64; ++i) {
        inputs.push_back(random_statement(rng) + " -- note\n" + random_statement(rng));
        pretty.push_back(formatter->beautify(inputs.back()).value_or(""));
        compact.push_back(formatter->minify(inputs.back()));
    }
    std::vector<int> mismatches(6, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                for (std::size_t i = 0; i < inputs.size(); ++i) {
                    if (formatter->beautify(inputs[i]).value_or("") != pretty[i]) ++mismatches[t];
                    if (formatter->minify(inputs[i]) != compact[i]) ++mismatches[t];
                }
                formatter->option("ROUND", std::to_string(round));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(6, 0));
    EXPECT_EQ(formatter->get_option("ROUND"), "49");
}

TEST(Formatter, IsMadeByTypeNameAndKeepsTheLaterOption) {
    const auto* type = Ombrix::Core::TypeInfo::lookup("OmbrixSolvaneSupportsDatabaseFormatter");
    ASSERT_NE(type, nullptr);
    auto formatter = std::dynamic_pointer_cast<Formatter>(type->create());
    ASSERT_NE(formatter, nullptr);
    IFormattable& contract = *formatter;
    contract.option(kFormatterLineBreak, "OR,AND");
    contract.option(kFormatterLineStart, kFormatterLineStartValue);
    contract.option(kFormatterLineBreak, kFormatterLineBreakValue);
    EXPECT_EQ(formatter->get_option("LINE_BREAK"),
              "LEFT OUTER JOIN,RIGHT OUTER JOIN,LEFT JOIN,RIGHT JOIN,OUTER JOIN,INNER JOIN,JOIN,XOR,OR,AND");
    EXPECT_EQ(formatter->get_option("LINE_START"),
              "SELECT,FROM,WHERE,SET,ORDER BY,GROUP BY,LIMIT,DROP,VALUES,UPDATE,HAVING,ADD,AFTER,ALTER TABLE,"
              "DELETE FROM,UNION ALL,UNION,EXCEPT,INTERSECT");
    EXPECT_EQ(formatter->get_option("XOR"), std::nullopt);
    // Options do not change the layout.
    EXPECT_EQ(contract.beautify("select a from t where b or c").value_or(""), "SELECT a\nFROM t\nWHERE b\n        OR c");
}

TEST(Formatter, RefusesNullTextsWithTheCriticalOfTheArgument) {
    auto formatter = Formatter::create();
    IFormattable& contract = *formatter;
    contract.option("KEEP", "1");
    struct Case {
        const char* operation;
        const char* argument;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"option", "name", [&] { contract.option({}, "2"); }},
        {"option", "value", [&] { contract.option("KEEP", {}); }},
        {"minify", "statements", [&] { EXPECT_EQ(contract.minify({}), ""); }},
        {"beautify", "statements",
         [&] {
             auto laid_out = contract.beautify({});
             ASSERT_FALSE(laid_out.has_value());
             EXPECT_EQ(laid_out.error().domain, Ombrix::Solvane::Exceptions::kSQLErrorDomain);
             EXPECT_EQ(laid_out.error().code,
                       static_cast<int>(Ombrix::Solvane::Exceptions::SQLError::MISSING_PARAMETER));
         }},
    };
    for (const auto& c : cases) {
        Ombrix::Testing::LogCapture log;
        c.call();
        ASSERT_EQ(log.criticals().size(), 1u) << c.operation << " " << c.argument;
        EXPECT_TRUE(log.has_critical(std::string("Formatter::") + c.operation + ": assertion '" + c.argument +
                                     " != NULL' failed"))
            << log.criticals()[0];
    }
    // Nothing was stored, and empty texts are texts.
    EXPECT_EQ(formatter->get_option("KEEP"), "1");
    EXPECT_EQ(formatter->get_option(""), std::nullopt);
    Ombrix::Testing::LogCapture log;
    contract.option("", "");
    EXPECT_EQ(contract.minify(""), "");
    EXPECT_EQ(contract.beautify("").value_or("<failed>"), "");
    EXPECT_TRUE(log.criticals().empty());
}

}  // namespace
