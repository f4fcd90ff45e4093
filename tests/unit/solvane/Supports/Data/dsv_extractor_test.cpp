#include "solvane/Supports/Data/Extractors/dsv_extractor.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix::Solvane::Supports::Data::Extractors;
using Ombrix::Providers::Contracts::ColumnModel;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::RowModel;
using Ombrix::Providers::Contracts::TableModel;
using Ombrix::Providers::Contracts::ValueBinary;
using Ombrix::Providers::Contracts::ValueInt32;
using Ombrix::Providers::Contracts::ValueNull;
using Ombrix::Providers::Contracts::ValuePtr;
using Ombrix::Providers::Contracts::ValueString;
using Options = std::map<std::string, std::string>;
using Cells = std::vector<std::optional<std::string>>;

std::shared_ptr<DsvExtractor> extractor(const Options& options) {
    auto dsv = DsvExtractor::create("csv");
    for (const auto& [key, value] : options) dsv->get_options()[key] = value;
    return dsv;
}

std::shared_ptr<TableModel> model_of(const std::vector<std::pair<std::string, DataType>>& columns,
                                     const std::vector<std::vector<ValuePtr>>& rows) {
    auto model = TableModel::create();
    for (const auto& [name, type] : columns) model->get_columns()->append(ColumnModel::new_full(name, type));
    for (const auto& row : rows) model->get_rows()->append(RowModel::create(row));
    return model;
}

std::string export_text(DsvExtractor& dsv, const std::shared_ptr<TableModel>& model) {
    std::string text;
    auto exported = dsv.export_to_text(model, text, nullptr);
    EXPECT_TRUE(exported.has_value());
    return text;
}

struct Read {
    std::vector<std::string> header;
    std::vector<Cells> rows;
    std::vector<std::uint64_t> numbers;
    std::vector<std::string> defects;
    std::optional<std::string> error;
};

Read read_all(DsvExtractor& dsv, std::shared_ptr<const std::string> text) {
    Read out;
    auto reader = dsv.open_reader(std::move(text));
    if (!reader) return Read{{}, {}, {}, {}, reader.error().message};
    out.header = (*reader)->header();
    SourceRow row;
    for (;;) {
        auto more = (*reader)->next(row);
        if (!more) {
            out.error = more.error().message;
            break;
        }
        if (!*more) break;
        out.rows.push_back(row.values);
        out.numbers.push_back(row.number);
        if (!row.defect.empty()) out.defects.push_back(row.defect);
    }
    return out;
}

Read read_text(const Options& options, const std::string& text) {
    return read_all(*extractor(options), std::make_shared<const std::string>(text));
}

TEST(DsvExtractor, CreateRefusesANullExtension) {
    Ombrix::Testing::LogCapture log;
    EXPECT_EQ(DsvExtractor::create(std::string_view()), nullptr);
    EXPECT_TRUE(log.has_critical("file_extension != NULL"));
}

TEST(DsvExtractor, ExportQuotesWhatWouldNotReadBack) {
    auto model = model_of({{"id", DataType::INT32}, {"a,b", DataType::STRING}, {"n", DataType::STRING},
                           {"s", DataType::STRING}, {"e", DataType::STRING}},
                          {{ValueInt32::create(1), ValueString::create("a,b"), ValueNull::create(),
                            ValueString::create("say \"hi\""), ValueString::create("")}});
    struct Case {
        Options options;
        std::string expected;
    } cases[] = {
        {{}, "id,\"a,b\",n,s,e\n1,\"a,b\",,\"say \"\"hi\"\"\",\n"},
        {{{"QUOTATION_TIME", "always"}},
         "\"id\",\"a,b\",\"n\",\"s\",\"e\"\n\"1\",\"a,b\",,\"say \"\"hi\"\"\",\"\"\n"},
        {{{"NULL_VALUE", ""}, {"HAS_HEADER", "false"}}, "1,\"a,b\",,\"say \"\"hi\"\"\",\"\"\n"},
        {{{"NULL_VALUE", "\\N"}, {"HAS_HEADER", "no"}, {"DELIMITER_COLUMN", "\t"}},
         "1\ta,b\t\\N\t\"say \"\"hi\"\"\"\t\n"},
        {{{"QUOTATION_TIME", "never"}, {"QUOTATION_LIST", "[-]-[[-]];x-y"}, {"DELIMITER_COLUMN", ";"},
          {"DELIMITER_ROWNEW", "\r\n"}, {"ROW_PREFIX", "<"}, {"ROW_SUFFIX", ">"}},
         "<[id];[a,b];[n];[s];[e]>\r\n<1;a,b;;say \"hi\";>\r\n"},
        {{{"QUOTATION_LIST", "'"}, {"HAS_HEADER", "false"}}, "1,'a,b',,say \"hi\",\n"},
    };
    for (const auto& c : cases) {
        auto dsv = extractor(c.options);
        std::vector<std::string> lines;
        std::string text;
        auto exported = dsv->export_to_text(
            model, text, [&](std::uint64_t, std::uint64_t, std::string_view line) { lines.emplace_back(line); });
        ASSERT_TRUE(exported.has_value());
        EXPECT_EQ(*exported, 1);
        EXPECT_EQ(text, c.expected);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(c.expected.ends_with(lines[0]));
    }
}

TEST(DsvExtractor, ExportRefusesCellsItsEscapesCannotCarry) {
    // Backslash escapes: a quoted cell cannot end with a backslash, which would escape its closing
    // quote; everything else reads back.
    auto dsv = extractor({{"QUOTATION_LIST", "\"-\"-\\\"-\\\""}});
    auto good = model_of({{"s", DataType::STRING}}, {{ValueString::create("say \"hi\", a\\b")}});
    const std::string text = export_text(*dsv, good);
    EXPECT_EQ(text, "s\n\"say \\\"hi\\\", a\\b\"\n");
    auto loaded = dsv->load_from_text(text, 0);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ((*loaded)->get_value_at(0, 0)->to_string(), "say \"hi\", a\\b");

    std::string out;
    auto bad = model_of({{"s", DataType::STRING}}, {{ValueString::create("two\nlines\\")}});
    auto refused = dsv->export_to_text(bad, out, nullptr);
    ASSERT_FALSE(refused.has_value());
    EXPECT_NE(refused.error().message.find("row 1, column 1"), std::string::npos) << refused.error().message;
}

TEST(DsvExtractor, ReaderSplitsRowsSoundly) {
    const std::optional<std::string> null;
    struct Case {
        Options options;
        std::string text;
        std::vector<std::string> header;
        std::vector<Cells> rows;
        std::vector<std::uint64_t> numbers;
        std::vector<std::string> defects;
    } cases[] = {
        {{}, "a,b\n1,2\n", {"a", "b"}, {{"1", "2"}}, {2}, {}},
        {{}, "\xEF\xBB\xBF" "a,b\n1,2", {"a", "b"}, {{"1", "2"}}, {2}, {}},
        {{}, "a,b\r\n1,2\r\n\r\n3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}, {2, 4}, {}},
        {{{"DELIMITER_ROWNEW", "\r\n"}}, "a,b\r\n1,x\ny\r\n", {"a", "b"}, {{"1", "x\ny"}}, {2}, {}},
        {{}, "\"a,1\",\"b\"\"\"\n\"x,y\",2\n\"say \"\"hi\"\"\",\"\"\n", {"a,1", "b\""},
         {{"x,y", "2"}, {"say \"hi\"", ""}}, {2, 3}, {}},
        {{}, "a,b\n\"q\"tail,x\"y\"\n", {"a", "b"}, {{"qtail", "x\"y\""}}, {2}, {}},
        {{}, "a,b\n\"l1\nl2\",x\n\n3,4\n", {"a", "b"}, {{"l1\nl2", "x"}, {"3", "4"}}, {2, 5}, {}},
        {{}, "a\n\nx\n", {"a"}, {{""}, {"x"}}, {2, 3}, {}},
        {{}, "a,b,c\n1,2\n1,2,3,4\n", {"a", "b", "c"}, {{"1", "2"}, {"1", "2", "3", "4"}}, {2, 3},
         {"line 2 has 2 fields, expected 3", "line 3 has 4 fields, expected 3"}},
        {{{"HAS_HEADER", "false"}}, "1,2\n3,4,", {}, {{"1", "2"}, {"3", "4", ""}}, {1, 2},
         {"line 2 has 3 fields, expected 2"}},
        {{{"NULL_VALUE", ""}}, "a,b,c\n,\"\",x\n", {"a", "b", "c"}, {{null, "", "x"}}, {2}, {}},
        {{{"NULL_VALUE", "\\N"}, {"DELIMITER_COLUMN", "\t"}}, "a\tb\n\\N\t\"\\N\"\n", {"a", "b"},
         {{null, "\\N"}}, {2}, {}},
        {{}, ",\n,\n", {"", ""}, {{"", ""}}, {2}, {}},
        {{{"ROW_PREFIX", "["}, {"ROW_SUFFIX", "]"}}, "[a,b]\n[\"x]\",y]]\r\n[[,\"\"]\n", {"a", "b"},
         {{"x]", "y]"}, {"[", ""}}, {2, 3}, {}},
        {{{"QUOTATION_LIST", "<->-<<->>"}, {"DELIMITER_COLUMN", "||"}, {"DELIMITER_ROWNEW", "|\n"}},
         "a||b|\n<x<<|\n>>>||y|\n", {"a", "b"}, {{"x<|\n>", "y"}}, {2}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Read read = read_text(c.options, c.text);
        ASSERT_FALSE(read.error) << *read.error;
        EXPECT_EQ(read.header, c.header);
        EXPECT_EQ(read.rows, c.rows);
        EXPECT_EQ(read.numbers, c.numbers);
        EXPECT_EQ(read.defects, c.defects);
    }
}

TEST(DsvExtractor, UnterminatedQuotedCellIsAnError) {
    for (const std::string text : {"a\n\"abc\n", "a\n1\n\"x\"\"\n2\n"}) {
        SCOPED_TRACE(text);
        Read read = read_text({}, text);
        ASSERT_TRUE(read.error);
        EXPECT_EQ(*read.error, text[2] == '1' ? "unterminated quoted cell starting at line 3"
                                              : "unterminated quoted cell starting at line 2");
    }
}

TEST(DsvExtractor, LoadNamesColumnsFromHeaderOrByPosition) {
    auto loaded = extractor({{"HAS_HEADER", "false"}})->load_from_text("1,x\n2,y\n", 0);
    ASSERT_TRUE(loaded.has_value());
    auto model = *loaded;
    ASSERT_EQ(model->get_columns()->size(), 2u);
    EXPECT_EQ(model->get_columns()->get(0)->get_name(), "C0");
    EXPECT_EQ(model->get_columns()->get(1)->get_name(), "C1");
    ASSERT_EQ(model->get_n_items(), 2u);
    EXPECT_EQ(model->get_value_at(1, 1)->to_string(), "y");
}

// Every awkward cell survives export -> load -> export, byte for byte, in each dialect.
TEST(DsvExtractor, HostileCellsRoundTrip) {
    // The first text, and the first column's name, start with a byte-order mark, which the reader
    // skips at the start of a text unless it is quoted.
    const std::vector<std::string> texts = {
        "\xEF\xBB\xBF" "bom",
        "\"dq\"", "'sq'", "a,b", "a\tb", "crlf\r\nx", "lone\rcr", "lf\n", "back\\slash\\", "\t", "\xF0\x9F\x98\x80",
        "", "\\N", " lead", "\"", "\"\"\"", "ends|",
    };
    std::vector<std::vector<ValuePtr>> rows;
    for (const auto& text : texts)
        rows.push_back({ValueString::create(text), ValueNull::create(),
                        ValueBinary::create(Ombrix::Core::Bytes{0x00, 0xFF, 0x2C}), ValueString::create(text)});
    auto model = model_of({{"\xEF\xBB\xBF" "text", DataType::STRING},
                           {"nul", DataType::STRING},
                           {"bin", DataType::BINARY},
                           {"last", DataType::STRING}},
                          rows);
    for (const Options& options : {Options{{"NULL_VALUE", ""}},
                                   Options{{"NULL_VALUE", "\\N"}, {"DELIMITER_COLUMN", "\t"}},
                                   Options{{"NULL_VALUE", "NULL"}, {"QUOTATION_TIME", "always"}},
                                   Options{{"NULL_VALUE", ""}, {"HAS_HEADER", "false"}},
                                   // "ends|" before "||" would end at its own '|'.
                                   Options{{"NULL_VALUE", "NULL"}, {"DELIMITER_COLUMN", "||"}}}) {
        auto dsv = extractor(options);
        const std::string first = export_text(*dsv, model);
        auto loaded = dsv->load_from_text(first, 0);
        ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
        ASSERT_EQ((*loaded)->get_n_items(), texts.size()) << first;
        if (!options.contains("HAS_HEADER")) {
            EXPECT_EQ((*loaded)->get_columns()->get(0)->get_name(), "\xEF\xBB\xBF" "text");
        }
        for (std::size_t r = 0; r < texts.size(); ++r) {
            EXPECT_EQ((*loaded)->get_value_at(0, r)->to_string(), texts[r]);
            EXPECT_TRUE((*loaded)->get_value_at(1, r)->get_is_null());
            EXPECT_EQ((*loaded)->get_value_at(2, r)->to_string(), "0x00FF2C");
            EXPECT_EQ((*loaded)->get_value_at(3, r)->to_string(), texts[r]);
        }
        // The reloaded binary column is text now; its hex form needs no quotes in these dialects.
        EXPECT_EQ(export_text(*dsv, *loaded), first);
    }
}

TEST(DsvExtractor, FilesStreamAndConvert) {
    Ombrix::Testing::TempDir dir;
    auto dsv = extractor({});
    auto empty = model_of({{"a", DataType::STRING}, {"b", DataType::STRING}}, {});
    auto written = dsv->export_to_file(empty, dir.file("empty.csv"), nullptr);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, 0);
    EXPECT_EQ(Ombrix::Testing::read_text(dir.file("empty.csv")), "a,b\n");
    EXPECT_FALSE(dsv->export_to_file(empty, dir.file("missing/x.csv"), nullptr).has_value());

    // Latin-1 text, with a quoted cell that spans chunks of the streaming reader.
    std::string big(3 << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 7) big[i] = '"';
    std::string doubled;
    for (char c : big) doubled += c == '"' ? std::string("\"\"") : std::string(1, c);
    Ombrix::Testing::write_text(dir.file("latin1.csv"), "caf\xE9,n\r\n\"" + doubled + "\",\xE0\n\xFF,2");
    auto latin = extractor({{"FILENAME", dir.file("latin1.csv")}, {"ENCODING", "ISO-8859-1"}});
    Read read = read_all(*latin, nullptr);
    ASSERT_FALSE(read.error) << *read.error;
    EXPECT_EQ(read.header, (std::vector<std::string>{"caf\xC3\xA9", "n"}));
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_TRUE(read.rows[0][0] == big);
    EXPECT_EQ(read.rows[0][1], "\xC3\xA0");
    EXPECT_EQ(read.rows[1], (Cells{"\xC3\xBF", "2"}));
    EXPECT_EQ(read.numbers, (std::vector<std::uint64_t>{2, 3}));

    // Delimiters, quotes and escapes of several bytes fall on chunk boundaries too: the file reads
    // as the same text in memory does.
    const Options odd = {{"DELIMITER_COLUMN", "||"}, {"DELIMITER_ROWNEW", "\r\n"}, {"QUOTATION_LIST", "<<->>"},
                         {"NULL_VALUE", "~"}, {"ROW_SUFFIX", ";;"}};
    std::string text;
    for (int i = 0; text.size() < (5u << 20); ++i)
        text += std::to_string(i) + "||<<a>>>>b||c\r\n>>||~||<<~>>||" + std::string(i % 97, 'z') + ";;\r\n";
    Ombrix::Testing::write_text(dir.file("odd.csv"), text);
    auto odd_file = extractor(odd);
    odd_file->get_options()["FILENAME"] = dir.file("odd.csv");
    Read from_file = read_all(*odd_file, nullptr);
    Read from_text = read_text(odd, text);
    ASSERT_FALSE(from_file.error);
    ASSERT_GT(from_text.rows.size(), 1u);
    EXPECT_EQ(from_text.rows[0], (Cells{"1", "a>>b||c\r\n", std::nullopt, "~", "z"}));
    EXPECT_TRUE(from_file.rows == from_text.rows);
    EXPECT_TRUE(from_file.numbers == from_text.numbers);
    EXPECT_TRUE(from_text.defects.empty());

    for (const char* encoding : {"NO-SUCH-CHARSET", "ASCII"}) {
        auto bad = extractor({{"FILENAME", dir.file("latin1.csv")}, {"ENCODING", encoding}});
        Read failed = read_all(*bad, nullptr);
        ASSERT_TRUE(failed.error) << encoding;
        EXPECT_NE(failed.error->find("latin1.csv"), std::string::npos) << *failed.error;
    }
}

}  // namespace
