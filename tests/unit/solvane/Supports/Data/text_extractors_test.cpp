#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Data/Extractors/markdown_extractor.hpp"
#include "solvane/Supports/Data/Extractors/sql_extractor.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {
namespace {

using Providers::Contracts::ColumnModel;
using Providers::Contracts::RowModel;
using Providers::Contracts::ValueBinary;
using Providers::Contracts::ValueInt32;
using Providers::Contracts::ValueNull;
using Providers::Contracts::ValueString;

std::shared_ptr<TableModel> model_of(const std::vector<std::pair<std::string, DataType>>& columns,
                                     const std::vector<std::vector<ValuePtr>>& rows) {
    auto model = TableModel::create();
    for (const auto& [name, type] : columns) model->get_columns()->append(ColumnModel::new_full(name, type));
    for (const auto& row : rows) model->append(RowModel::create(row));
    return model;
}

ValuePtr text(std::string_view value) { return ValueString::create(value); }
ValuePtr number(std::int32_t value) { return ValueInt32::create(value); }
ValuePtr null() { return ValueNull::create(); }

struct Progress {
    std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> calls;
    ProgressCallback callback() {
        return [this](std::uint64_t total, std::uint64_t index, std::string_view row) {
            calls.emplace_back(total, index, std::string(row));
        };
    }
};

// A row full of what breaks markup: tags, both quotes, an ampersand, a pipe and line breaks.
const std::string kHostile = "<script>alert('x')</script> & \"q\" a|b\r\nc\nd\re";

TEST(HtmlExtractor, WritesThePageAroundEscapedRowsAndReportsEachRow) {
    auto extractor = HtmlExtractor::create("html");
    ASSERT_NE(extractor, nullptr);
    EXPECT_EQ(extractor->get_file_extention(), "html");
    auto model = model_of({{"a", DataType::INT32}, {"b", DataType::STRING}},
                          {{number(1), text("x")}, {null(), text(kHostile)}});
    Progress progress;
    std::string buffer = "old";
    auto exported = extractor->export_to_text(model, buffer, progress.callback());
    ASSERT_TRUE(exported.has_value()) << exported.error().message;
    EXPECT_EQ(*exported, 2);

    const std::string hostile_row =
        "<tr><td></td><td>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot; a|b\r\nc\nd\re</td></tr>";
    EXPECT_EQ(buffer,
              "<!DOCTYPE html>\n<html>\n\t<head>\n"
              "\t\t<meta charset=\"UTF-8\">\n"
              "\t\t<style>table { border-collapse: collapse; width: 100%; } th, td { text-align: left; padding: 8px; } "
              "tr:nth-child(even) { background-color: rgba(0, 0, 0, 0.05); } th { background-color: #7799AA; color: "
              "white; }</style>\n"
              "\t</head>\n\t<body>\n"
              "\t\t<table>\n"
              "\t\t\t<tr><th>a</th><th>b</th></tr>\n"
              "\t\t\t<tr><td>1</td><td>x</td></tr>\n"
              "\t\t\t" + hostile_row + "\n"
              "\t\t</table>\n\t</body>\n</html>");
    ASSERT_EQ(progress.calls.size(), 2u);
    EXPECT_EQ(progress.calls[0], std::make_tuple(2u, 1u, std::string("<tr><td>1</td><td>x</td></tr>")));
    EXPECT_EQ(progress.calls[1], std::make_tuple(2u, 2u, hostile_row));
}

TEST(HtmlExtractor, EscapesColumnNamesAndWritesBinaryCellsAsHex) {
    auto extractor = HtmlExtractor::create("htm");
    const std::uint8_t bytes[] = {0x00, 0xAB, '<'};
    auto model = model_of({{"x<y>\"'&", DataType::STRING}, {"raw", DataType::BLOB}},
                          {{text("a"), ValueBinary::create(bytes, sizeof bytes)}});
    std::string buffer;
    ASSERT_TRUE(extractor->export_to_text(model, buffer, {}).has_value());
    EXPECT_NE(buffer.find("<tr><th>x&lt;y&gt;&quot;&#39;&amp;</th><th>raw</th></tr>"), std::string::npos) << buffer;
    EXPECT_NE(buffer.find("<tr><td>a</td><td>0x00AB3C</td></tr>"), std::string::npos) << buffer;
}

TEST(MarkdownExtractor, WritesHeaderSeparatorAndEscapedRows) {
    auto extractor = MarkdownExtractor::create("md");
    auto model = model_of({{"id", DataType::INT32}, {"name", DataType::STRING}, {"c|d", DataType::STRING}},
                          {{number(1), null(), text("z")}, {number(2), text(kHostile), text("")}});
    Progress progress;
    std::string buffer;
    auto exported = extractor->export_to_text(model, buffer, progress.callback());
    ASSERT_TRUE(exported.has_value()) << exported.error().message;
    EXPECT_EQ(*exported, 2);
    const std::string second =
        "| 2 | &lt;script&gt;alert('x')&lt;/script&gt; &amp; \"q\" a\\|b<br>c<br>d<br>e |  |";
    EXPECT_EQ(buffer,
              "| id | name | c\\|d |\n"
              "|----|------|------|\n"
              "| 1 | | z |\n" +
                  second + "\n");
    ASSERT_EQ(progress.calls.size(), 2u);
    EXPECT_EQ(progress.calls[0], std::make_tuple(2u, 1u, std::string("| 1 | | z |")));
    EXPECT_EQ(progress.calls[1], std::make_tuple(2u, 2u, second));
}

TEST(MarkdownExtractor, RefusesANullExtension) {
    Testing::LogCapture log;
    EXPECT_EQ(MarkdownExtractor::create(std::string_view()), nullptr);
    EXPECT_EQ(HtmlExtractor::create(std::string_view()), nullptr);
    EXPECT_TRUE(log.has_critical("file_extension != NULL"));
}

TEST(HtmlExtractor, ModelWithoutRowsWritesNoFile) {
    Testing::TempDir dir;
    const std::vector<std::shared_ptr<BaseExtractor>> extractors = {HtmlExtractor::create("html"),
                                                                    MarkdownExtractor::create("md")};
    for (const auto& extractor : extractors) {
        SCOPED_TRACE(extractor->type_name());
        const std::string path = dir.file("empty." + extractor->get_file_extention());
        auto exported = extractor->export_to_file(model_of({{"a", DataType::INT32}}, {}), path, {});
        ASSERT_TRUE(exported.has_value());
        EXPECT_EQ(*exported, 0);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

// The same rows through both statement formats: names that need quoting, a quote and a
// backslash in a text, a NULL cell and a binary cell.
TEST(SqlInsertExtractor, WritesOneStatementPerRowLikeTheUpdateExtractor) {
    const std::uint8_t bytes[] = {0x01, 0xFF};
    auto model = model_of({{"id", DataType::INT32}, {"name", DataType::STRING}, {"we`ird\"col", DataType::BLOB}},
                          {{number(1), text("O'Brien"), null()},
                           {number(2), text("a\\b"), ValueBinary::create(bytes, sizeof bytes)}});
    struct Case {
        std::shared_ptr<BaseExtractor> extractor;
        std::string table;
        std::string expected;
    };
    const Case cases[] = {
        {SqlInsertExtractor::create(), "t",
         "INSERT INTO `t`(`id`,`name`,`we``ird\"col`) VALUES(1, 'O''Brien', NULL);\n"
         "INSERT INTO `t`(`id`,`name`,`we``ird\"col`) VALUES(2, _utf8mb4 X'615C62', X'01FF');\n"},
        {SqlInsertExtractor::create(), "my`t",
         "INSERT INTO `my``t`(`id`,`name`,`we``ird\"col`) VALUES(1, 'O''Brien', NULL);\n"
         "INSERT INTO `my``t`(`id`,`name`,`we``ird\"col`) VALUES(2, _utf8mb4 X'615C62', X'01FF');\n"},
        {SqlUpdateExtractor::create(), "t",
         "UPDATE `t` SET `id` = 1, `name` = 'O''Brien', `we``ird\"col` = NULL WHERE `id` = 1;\n"
         "UPDATE `t` SET `id` = 2, `name` = _utf8mb4 X'615C62', `we``ird\"col` = X'01FF' WHERE `id` = 2;\n"},
        {SqlUpdateExtractor::create(), "t; DROP TABLE x; --",
         "UPDATE `t; DROP TABLE x; --` SET `id` = 1, `name` = 'O''Brien', `we``ird\"col` = NULL WHERE `id` = 1;\n"
         "UPDATE `t; DROP TABLE x; --` SET `id` = 2, `name` = _utf8mb4 X'615C62', `we``ird\"col` = X'01FF' WHERE `id` = 2;\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.extractor->get_file_extention(), "sql");
        c.extractor->get_options()["TABLENAME"] = c.table;
        Progress progress;
        std::string buffer;
        auto exported = c.extractor->export_to_text(model, buffer, progress.callback());
        ASSERT_TRUE(exported.has_value()) << exported.error().message;
        EXPECT_EQ(*exported, 2);
        EXPECT_EQ(buffer, c.expected);
        EXPECT_TRUE(progress.calls.empty());
    }
}

TEST(SqlUpdateExtractor, RefusesToExportWithoutATableName) {
    Testing::TempDir dir;
    auto model = model_of({{"id", DataType::INT32}}, {{number(1)}});
    const std::vector<std::shared_ptr<BaseExtractor>> extractors = {SqlInsertExtractor::create(),
                                                                    SqlUpdateExtractor::create()};
    for (const auto& extractor : extractors) {
        SCOPED_TRACE(extractor->type_name());
        for (const bool empty : {false, true}) {
            if (empty) extractor->get_options()["TABLENAME"] = "";
            std::string buffer = "kept";
            auto exported = extractor->export_to_text(model, buffer, {});
            ASSERT_FALSE(exported.has_value());
            EXPECT_EQ(exported.error().domain, "default");
            EXPECT_EQ(exported.error().code, -1);
            EXPECT_NE(exported.error().message.find("TABLENAME"), std::string::npos);
            EXPECT_EQ(buffer, "kept");
            const std::string path = dir.file("out.sql");
            EXPECT_FALSE(extractor->export_to_file(model, path, {}).has_value());
            EXPECT_FALSE(std::filesystem::exists(path));
        }
    }
}

}  // namespace
}  // namespace Ombrix::Solvane::Supports::Data::Extractors
