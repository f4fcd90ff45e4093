#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Ombrix::Solvane::Supports::Database;

TEST(MariaDBQuote, LiteralsReadTheSameInEverySqlMode) {
    EXPECT_EQ(mariadb_escape_literal(""), "");
    EXPECT_EQ(mariadb_escape_literal("plain `name` \"x\" 100%_"), "plain `name` \"x\" 100%_");
    EXPECT_EQ(mariadb_escape_literal("o'k\\"), "o''k\\\\");
    // A whole literal doubles its quotes; a backslash or NUL byte, which NO_BACKSLASH_ESCAPES
    // reads otherwise, turns it into hexadecimal.
    EXPECT_EQ(mariadb_quote_literal("o'k"), "'o''k'");
    EXPECT_EQ(mariadb_quote_literal("a'\\b"), "_utf8mb4 X'61275C62'");
    EXPECT_EQ(mariadb_quote_literal(std::string("a\0", 2)), "_utf8mb4 X'6100'");
}

TEST(MariaDBQuote, IdentifiersDoubleBackticksOnly) {
    EXPECT_EQ(mariadb_escape_identifier("a'\\\"b"), "a'\\\"b");
    EXPECT_EQ(mariadb_quote_identifier("``"), "``````");
    EXPECT_EQ(mariadb_quote_identifier(""), "``");
}

TEST(MariaDBQuote, PrivilegeKeysReadBackAsTheNamesTheyWereMadeOf) {
    struct Case {
        std::vector<std::string> names;
        const char* key;
    };
    const Case cases[] = {
        {{"shop", "*"}, "shop.*"},
        {{"*", "*"}, "*.*"},
        {{"it's", "grant option"}, "it's.grant option"},
        {{"a.b", "c"}, "`a.b`.c"},
        {{"x`y", "t.u`"}, "`x``y`.`t.u```"},
        {{"`", "."}, "````.`.`"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mariadb_privilege_key(c.names), c.key);
        EXPECT_EQ(mariadb_privilege_names(c.key), c.names) << c.key;
    }
    // As SHOW GRANTS writes an object: every name quoted, the wildcard bare.
    EXPECT_EQ(mariadb_privilege_names("`sh.op`.*"), (std::vector<std::string>{"sh.op", "*"}));
    EXPECT_EQ(mariadb_privilege_names("`a``b`.`c`"), (std::vector<std::string>{"a`b", "c"}));
}

TEST(MariaDBQuote, BareNamesStayBareOnlyWhenTheGrammarReadsThemAsOne) {
    EXPECT_EQ(mariadb_bare_identifier("shop_2$"), "shop_2$");
    EXPECT_EQ(mariadb_bare_identifier("h\xc3\xa9tel"), "h\xc3\xa9tel");
    EXPECT_EQ(mariadb_bare_identifier("localhost"), "localhost");
    EXPECT_EQ(mariadb_bare_identifier("%"), "`%`");
    EXPECT_EQ(mariadb_bare_identifier("10.0.0.1"), "`10.0.0.1`");
    EXPECT_EQ(mariadb_bare_identifier("123"), "`123`");
    EXPECT_EQ(mariadb_bare_identifier(""), "``");
    EXPECT_EQ(mariadb_bare_identifier("a; DROP"), "`a; DROP`");
    EXPECT_EQ(mariadb_bare_identifier("a`b"), "`a``b`");
    // Names the server would read as a number or a reserved word.
    EXPECT_EQ(mariadb_bare_identifier("1e5"), "`1e5`");
    EXPECT_EQ(mariadb_bare_identifier("0x1F"), "`0x1F`");
    EXPECT_EQ(mariadb_bare_identifier("2nd"), "`2nd`");
    EXPECT_EQ(mariadb_bare_identifier("order"), "`order`");
    EXPECT_EQ(mariadb_bare_identifier("Select"), "`Select`");
    EXPECT_EQ(mariadb_bare_identifier("KEY"), "`KEY`");
    EXPECT_EQ(mariadb_bare_identifier("accessible"), "`accessible`");
    EXPECT_EQ(mariadb_bare_identifier("zerofill"), "`zerofill`");
    // Keywords the server also takes as names stay bare.
    EXPECT_EQ(mariadb_bare_identifier("status"), "status");
    EXPECT_EQ(mariadb_bare_identifier("user"), "user");
    EXPECT_EQ(mariadb_bare_identifier("orders"), "orders");
    EXPECT_EQ(mariadb_bare_identifier("a1e5"), "a1e5");
}

}  // namespace
