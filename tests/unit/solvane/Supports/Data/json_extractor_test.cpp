#include "solvane/Supports/Data/Extractors/json_extractor.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix::Providers::Contracts;
using namespace Ombrix::Solvane::Supports::Data::Extractors;

struct Column {
    std::string name;
    DataType type;
};

std::shared_ptr<TableModel> make_model(const std::vector<Column>& columns,
                                       const std::vector<std::vector<ValuePtr>>& rows) {
    auto model = TableModel::create();
    for (const auto& c : columns) model->get_columns()->append(ColumnModel::new_full(c.name, c.type));
    for (const auto& r : rows) model->get_rows()->append(RowModel::create(r));
    return model;
}

std::string export_text(const std::shared_ptr<TableModel>& model) {
    std::string text = "stale";
    auto rows = JsonExtractor::create("json")->export_to_text(model, text, nullptr);
    EXPECT_TRUE(rows.has_value()) << (rows ? "" : rows.error().message);
    return text;
}

Ombrix::Core::Result<std::vector<SourceRow>> read_rows(const std::string& text) {
    auto reader = JsonExtractor::create("json")->open_reader(std::make_shared<const std::string>(text));
    if (!reader) return std::unexpected(reader.error());
    std::vector<SourceRow> rows;
    for (SourceRow row; true;) {
        auto more = (*reader)->next(row);
        if (!more) return std::unexpected(more.error());
        if (!*more) return rows;
        rows.push_back(row);
    }
}

std::shared_ptr<ValueBinary> binary(std::string_view bytes) {
    return ValueBinary::create(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(JsonExtractorExport, PrintsLikeAPrettyPrinter) {
    const auto small = make_model({{"id", DataType::INT32}, {"name", DataType::STRING}},
                                  {{ValueInt32::create(7), ValueString::create("x")}});
    EXPECT_EQ(
        export_text(small),
        "{\n    \"RECORDS\": [\n        {\n            \"id\": 7,\n            \"name\": \"x\"\n        }\n    ]\n}");
    EXPECT_EQ(export_text(make_model({{"id", DataType::INT32}}, {})), "{\n    \"RECORDS\": []\n}");
    EXPECT_EQ(export_text(make_model({}, {{}, {}})), "{\n    \"RECORDS\": [\n        {},\n        {}\n    ]\n}");
}

TEST(JsonExtractorExport, MemberValueFollowsColumnType) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    const struct {
        DataType type;
        ValuePtr value;
        std::string json;
    } cases[] = {
        {DataType::DBNULL, ValueString::create("a"), "null"},
        {DataType::INT32, ValueNull::create(), "null"},
        {DataType::STRING, ValueNull::create(), "null"},
        {DataType::BOOLEAN, ValueBoolean::create(true), "true"},
        {DataType::BOOLEAN, ValueString::create("1"), "true"},
        {DataType::BOOLEAN, ValueString::create("0"), "false"},
        {DataType::UINT64, ValueUInt64::create(max), "18446744073709551615"},
        {DataType::INT64, ValueString::create("-9223372036854775808"), "-9223372036854775808"},
        {DataType::INT64, ValueString::create("99999999999999999999"), "\"99999999999999999999\""},
        {DataType::INT32, ValueString::create("007"), "\"007\""},
        {DataType::DOUBLE, ValueString::create("-1.5e+20"), "-1.5e+20"},
        {DataType::FLOAT, ValueString::create("1e999"), "\"1e999\""},
        {DataType::MONEY, ValueString::create("nan"), "\"nan\""},
        {DataType::DECIMAL, ValueString::create("12.50"), "\"12.50\""},
        {DataType::BLOB, binary(std::string("\x00\xAB\"", 3)), "\"0x00AB22\""},
        {DataType::STRING, ValueString::create(std::string("a\"\\/\b\f\n\r\t\x01\x1F\x7F\0z", 14)),
         "\"a\\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u001f\x7F\\u0000z\""},
        {DataType::STRING, ValueString::create("\xF0\x9F\x98\x80 \xFF \xE2\x82"),
         "\"\xF0\x9F\x98\x80 \xEF\xBF\xBD \xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        const auto text = export_text(make_model({{"v", c.type}}, {{c.value}}));
        EXPECT_NE(text.find("\"v\": " + c.json + "\n"), std::string::npos) << text;
    }
}

TEST(JsonExtractorExport, EscapesStringsAsTheReferencePrinterDoes) {
    std::mt19937 random(42);
    const char pool[] = {'a',    '"',    '\\',   '\n',   '\x01', '\x7F', '\x80', '\xBF', '\xC3',
                         '\xE0', '\xED', '\xEF', '\xF0', '\xF4', '\xFF', '\xA0', '\x9F', '\x90'};
    for (int n = 0; n < 5000; ++n) {
        std::string text;
        for (int k = random() % 8; k > 0; --k) text += pool[random() % sizeof pool];
        std::string ours;
        JsonExtractor::append_string(ours, text);
        const auto reference = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        ASSERT_EQ(ours, reference) << nlohmann::json(text).dump(-1, ' ', true,
                                                                nlohmann::json::error_handler_t::replace);
    }
}

TEST(JsonExtractorExport, ReportsEachRowAndAlwaysWritesTheFile) {
    Ombrix::Testing::TempDir dir;
    auto extractor = JsonExtractor::create("json");
    const auto model = make_model({{"id", DataType::INT32}}, {{ValueInt32::create(1)}, {ValueInt32::create(2)}});
    std::vector<std::uint64_t> calls;
    auto rows = extractor->export_to_file(model, dir.file("a.json"),
                                          [&](std::uint64_t total, std::uint64_t i, std::string_view text) {
                                              EXPECT_EQ(total, 2U);
                                              EXPECT_EQ(text, "");
                                              calls.push_back(i);
                                          });
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(*rows, 2);
    EXPECT_EQ(calls, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(Ombrix::Testing::read_text(dir.file("a.json")), export_text(model));

    ASSERT_TRUE(extractor->export_to_file(make_model({{"id", DataType::INT32}}, {}), dir.file("b.json"), nullptr));
    EXPECT_EQ(Ombrix::Testing::read_text(dir.file("b.json")), "{\n    \"RECORDS\": []\n}");
    EXPECT_FALSE(extractor->export_to_file(model, dir.file("missing/c.json"), nullptr).has_value());
}

TEST(JsonExtractorRead, MemberTextsByJsonKind) {
    auto rows = read_rows(R"({"RECORDS": [{"s": "a\"b\\n", "i": -7, "u": 18446744073709551615, "f": 1.5, "g": 1e20,
        "h": 0.1, "t": true, "n": false, "z": null, "e": "", "o": {"a": [1, "x"]}}, 5]})");
    ASSERT_TRUE(rows.has_value()) << rows.error().message;
    ASSERT_EQ(rows->size(), 2U);
    const SourceRow& row = (*rows)[0];
    EXPECT_EQ(row.number, 1U);
    EXPECT_EQ(row.names, (std::vector<std::string>{"s", "i", "u", "f", "g", "h", "t", "n", "z", "e", "o"}));
    const std::vector<std::optional<std::string>> expected = {
        "a\"b\\n", "-7", "18446744073709551615", "1.5", "1e+20", "0.1", "1", "0", std::nullopt, "", R"({"a":[1,"x"]})"};
    EXPECT_EQ(row.values, expected);
    EXPECT_EQ((*rows)[1].number, 2U);
    EXPECT_EQ((*rows)[1].defect, "record 2 is not an object");
}

TEST(JsonExtractorRead, BrokenDocumentsGiveAnErrorAndNoRow) {
    const struct {
        std::string text;
        std::string message;  // empty: a parser error
    } cases[] = {
        {"[]", "invalid json format: root object not exist."},
        {R"({"records": []})", "invalid json format: RECORDS member not exist."},
        {R"({"RECORDS": {}})", "invalid json format: object array not exist."},
        {R"({"RECORDS": [{"a": 1}, {"a": 2})", ""},
        {R"({"RECORDS": [{"a": "x)", ""},
        {R"({"RECORDS": [{"a": 1e999}]})", ""},
        {"{\"RECORDS\": [{\"a\": \"\xFF\"}]}", ""},
        {"", ""},
        {R"({"RECORDS": [)" + std::string(100000, '[') + std::string(100000, ']') + "]}", ""},
    };
    for (const auto& c : cases) {
        auto rows = read_rows(c.text);
        ASSERT_FALSE(rows.has_value()) << c.text.substr(0, 40);
        EXPECT_EQ(rows.error().domain, "JSON");
        EXPECT_EQ(rows.error().code, -1);
        if (!c.message.empty()) {
            EXPECT_EQ(rows.error().message, c.message);
        }
        EXPECT_FALSE(JsonExtractor::create("json")->load_from_text(c.text, 0).has_value());
    }
}

TEST(JsonExtractorRoundTrip, HostileCellsSurviveExportLoadExport) {
    const std::vector<Column> columns = {{"s", DataType::STRING}, {"e", DataType::STRING},  {"b", DataType::BINARY},
                                         {"u", DataType::UINT64}, {"d", DataType::DECIMAL}, {"ok", DataType::BOOLEAN},
                                         {"x", DataType::DOUBLE}, {"n", DataType::INT32}};
    const std::vector<std::vector<ValuePtr>> rows = {
        {ValueString::create("q\"<>&\r\n\r\t\\ \xF0\x9F\x98\x80 \x1B"), ValueString::create(""),
         binary(std::string("\0\xFF", 2)), ValueUInt64::create(std::numeric_limits<std::uint64_t>::max()),
         ValueString::create("12345678901234567890123456789012345.123456789012345678901234567890"),
         ValueBoolean::create(true), ValueString::create("-0.25"), ValueNull::create()},
        {ValueNull::create(), ValueNull::create(), ValueNull::create(), ValueUInt64::create(0), ValueString::create(""),
         ValueBoolean::create(false), ValueString::create("3"), ValueInt32::create(-1)},
    };
    const auto first = export_text(make_model(columns, rows));
    EXPECT_EQ(nlohmann::ordered_json::parse(first).dump(4), first);

    // Members in another order are matched by name.
    auto reordered = nlohmann::ordered_json::parse(first);
    nlohmann::ordered_json swapped;
    for (auto it = reordered["RECORDS"][1].rbegin(); it != reordered["RECORDS"][1].rend(); ++it)
        swapped[it.key()] = it.value();
    reordered["RECORDS"][1] = swapped;

    auto loaded = JsonExtractor::create("json")->load_from_text(reordered.dump(), 0);
    ASSERT_TRUE(loaded.has_value() && *loaded) << (loaded ? "" : loaded.error().message);
    ASSERT_EQ((*loaded)->get_n_items(), 2U);
    EXPECT_EQ((*loaded)->get_value_at(1, 0)->to_string(), "");
    EXPECT_TRUE((*loaded)->get_value_at(1, 1)->get_is_null());
    EXPECT_EQ((*loaded)->get_value_at(7, 1)->to_string(), "-1");

    std::vector<std::vector<ValuePtr>> again;
    for (std::size_t r = 0; r < 2; ++r) {
        again.emplace_back();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto value = (*loaded)->get_value_at(c, r);
            if (value->get_is_null()) {
                again.back().push_back(ValueNull::create());
            } else if (columns[c].type == DataType::BINARY) {
                std::string bytes;
                for (std::size_t i = 2; i < value->to_string().size(); i += 2)
                    bytes += static_cast<char>(std::stoi(value->to_string().substr(i, 2), nullptr, 16));
                again.back().push_back(binary(bytes));
            } else {
                again.back().push_back(ValueString::create(value->to_string()));
            }
        }
    }
    EXPECT_EQ(export_text(make_model(columns, again)), first);
}

}  // namespace
