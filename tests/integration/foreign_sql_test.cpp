// Scripts written elsewhere: the server's own sys schema, as its packages ship it, read and written
// back by the client. Its routines hold backslash escapes in string literals, user variables named
// like the schema (@sys.statement_truncate_len), a utf8mb3 character set in a utf8mb4 world and
// definers named after the schema (mariadb.sys@localhost): the faults that hand-made fixtures
// never thought of.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Testing::CliRun;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

constexpr const char* kSysSchemaScript = "/usr/share/mysql/mysql_sys_schema.sql";

class ForeignSql : public ::testing::Test {
protected:
    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(home, args, input);
    }

    /// The one value a query gives, as csv prints it.
    std::string scalar(const std::string& sql) {
        const auto run = ombrix({"query", "--format", "csv", "--no-header", sql});
        EXPECT_EQ(run.status, 0) << sql << "\n" << run.err;
        std::string value = run.out;
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        return value;
    }

    TempDir home;
};

// The script the server ships loads through `ombrix query`; `ombrix ddl` writes it back under
// another name, as it is, beautified and minified; each script loads again, and the copy written as
// it is has the very structure of the original, with routines that give the same answers.
TEST_F(ForeignSql, TheServersSysSchemaRoundTrips) {
    if (!std::filesystem::exists(kSysSchemaScript)) GTEST_SKIP() << kSysSchemaScript << " is not installed";
    auto run = ombrix({"query", "-f", kSysSchemaScript});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string routines = scalar("SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = 'sys'");
    const std::string views = scalar("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = 'sys'");
    ASSERT_NE(routines, "0");

    for (const std::string layout : {"as written", "beautified", "minified"}) {
        SCOPED_TRACE(layout);
        ScratchSchema copy("sys_copy");
        run = ombrix({"ddl", "sys", "--as", copy.name()});
        ASSERT_EQ(run.status, 0) << run.err;
        std::string script = run.out;
        if (layout != "as written") {
            run = layout == "beautified" ? ombrix({"format"}, script) : ombrix({"format", "--minify"}, script);
            ASSERT_EQ(run.status, 0) << run.err;
            script = run.out;
        }
        run = ombrix({"query", "-f", "-"}, script);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string in_copy = "= '" + copy.name() + "'";
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA " + in_copy), routines);
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA " + in_copy), views);
        // A backslash in a literal, and a user variable named like the schema.
        const std::string path = "'C:\\\\data\\\\emp\\\\t.ibd'";
        EXPECT_EQ(scalar("SELECT `" + copy.name() + "`.extract_schema_from_file_name(" + path + ")"), "emp");
        EXPECT_EQ(scalar("SELECT `" + copy.name() + "`.format_statement(REPEAT('x', 100)) = "
                         "sys.format_statement(REPEAT('x', 100))"),
                  "1");
        if (layout == "as written") {
            run = ombrix({"diff", "sys", copy.name()});
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
}

}  // namespace
