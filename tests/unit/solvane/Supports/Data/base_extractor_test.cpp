#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "solvane/Supports/Data/Extractors/json_extractor.hpp"
#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix::Solvane::Supports::Data::Extractors;
using Ombrix::Providers::Contracts::DataType;
namespace PC = Ombrix::Providers::Contracts;

TEST(BaseExtractor, LiteralsOfCellValuesAreSafeForEveryKind) {
    struct Case {
        DataType type;
        PC::ValuePtr value;
        std::string literal;
    };
    const std::vector<Case> cases = {
        {DataType::STRING, PC::ValueString::create("O'Brien"), "'O''Brien'"},
        {DataType::WSTRING, PC::ValueString::create("O'Brien"), "'O''Brien'"},
        {DataType::ENUM, PC::ValueString::create("a'); DROP TABLE t; --"), "'a''); DROP TABLE t; --'"},
        // A backslash or a NUL reads alike under every sql_mode only in hexadecimal.
        {DataType::ENUM, PC::ValueString::create("a\\'); DROP"), "_utf8mb4 X'615C27293B2044524F50'"},
        {DataType::STRING, PC::ValueString::create(std::string("a\0b", 3)), "_utf8mb4 X'610062'"},
        // The command-line client drops a carriage return before a line feed, even in quotes.
        {DataType::STRING, PC::ValueString::create("a\r\nb"), "_utf8mb4 X'610D0A62'"},
        {DataType::DECIMAL, PC::ValueString::create("12.50"), "'12.50'"},
        {DataType::INT32, PC::ValueInt32::create(-7), "-7"},
        {DataType::UINT64, PC::ValueUInt64::create(18446744073709551615ULL), "18446744073709551615"},
        {DataType::INT32, PC::ValueString::create("1); DROP TABLE t"), "'1); DROP TABLE t'"},
        {DataType::DOUBLE, PC::ValueString::create("-2.25e-300"), "-2.25e-300"},
        {DataType::BINARY, PC::ValueBinary::create(Ombrix::Core::Bytes{0x00, 0xFF, 0x27}), "X'00FF27'"},
        {DataType::STRING, PC::ValueBinary::create(Ombrix::Core::Bytes{}), "X''"},
        {DataType::DATETIME, PC::ValueString::create("2024-02-29 23:59:59.123456"), "'2024-02-29 23:59:59.123456'"},
        {DataType::INT32, PC::ValueNull::create(), "NULL"},
        {DataType::STRING, nullptr, "NULL"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BaseExtractor::format_column_value(c.type, c.value), c.literal) << c.literal;
}

TEST(BaseExtractor, LiteralsOfImportedTextsRefuseWhatIsNotANumber) {
    struct Case {
        DataType type;
        std::optional<std::string_view> text;
        bool exact;
        std::string literal;  // "" when refused
    };
    const std::vector<Case> cases = {
        {DataType::INT32, "  42 ", false, "42"},
        {DataType::INT32, "   ", false, "NULL"},
        {DataType::INT32, "", true, "NULL"},
        {DataType::INT32, "1); DROP TABLE t; --", false, ""},
        {DataType::MONEY, "-0.5e3", false, "-0.5e3"},
        {DataType::BOOLEAN, "0x15", false, "X'15'"},
        {DataType::BOOLEAN, "true", false, "TRUE"},
        {DataType::STRING, "  x ", false, "'  x '"},
        {DataType::STRING, "", false, "NULL"},
        {DataType::STRING, "", true, "''"},
        {DataType::STRING, "back\\slash", true, "_utf8mb4 X'6261636B5C736C617368'"},
        {DataType::STRING, "'q'", true, "'''q'''"},
        {DataType::BLOB, "0x00ff", true, "X'00ff'"},
        {DataType::BLOB, "plain", true, "'plain'"},
        {DataType::DATE, " ", true, "NULL"},
        {DataType::TIME, "838:59:59", true, "'838:59:59'"},
        {DataType::STRING, std::nullopt, true, "NULL"},
    };
    for (const auto& c : cases) {
        auto literal = BaseExtractor::format_column_text(c.type, c.text, c.exact);
        if (c.literal.empty())
            EXPECT_FALSE(literal) << (c.text ? *c.text : "null");
        else
            EXPECT_EQ(literal.value_or("<refused>"), c.literal) << (c.text ? *c.text : "null");
    }
}

TEST(BaseExtractor, CellsCarryBinaryBytesWholeAndSinksReportFailures) {
    std::string scratch;
    const auto cell = cell_of(PC::ValueBinary::create(Ombrix::Core::Bytes{'a', 0x00, 'b'}), scratch);
    EXPECT_EQ(cell.text, std::string_view("a\0b", 3));
    std::string hex;
    append_binary_text(hex, cell.text);
    EXPECT_EQ(hex, "0x610062");
    EXPECT_TRUE(cell_of(PC::ValueNull::create(), scratch).null);

    Ombrix::Testing::TempDir dir;
    auto sink = FileSink::create(dir.file("out.txt"));
    ASSERT_TRUE(sink);
    ASSERT_TRUE((*sink)->write(std::string(3 << 20, 'x')));
    ASSERT_TRUE((*sink)->write("end"));
    ASSERT_TRUE((*sink)->close());
    EXPECT_EQ(Ombrix::Testing::read_text(dir.file("out.txt")).size(), (3U << 20) + 3);
    EXPECT_FALSE(FileSink::create(dir.file("missing/out.txt")));
}

TEST(ImportingExtractor, LoadsByNameAndGrowsColumnsForNamesFirstMissing) {
    // Members in another order land in their own columns; a member the first record lacked (an
    // attribute left out for NULL) adds a column, NULL in the rows before it.
    auto json = JsonExtractor::create("json");
    auto model = json->load_from_text(R"({"RECORDS": [{"a": 1, "b": "x"}, {"b": "y", "a": 2, "c": null}, 7]})", 0);
    ASSERT_TRUE(model && *model);
    auto xml = XmlExtractor::create("xml");
    auto attributes = xml->load_from_text(
        "<?xml version=\"1.0\"?><RECORDS><RECORD a=\"1\" b=\"x\"/><RECORD b=\"y\" a=\"2\" c=\"\"/></RECORDS>", 0);
    ASSERT_TRUE(attributes && *attributes);
    for (const auto& loaded : {*model, *attributes}) {
        ASSERT_EQ(loaded->get_columns()->size(), 3U);
        ASSERT_EQ(loaded->get_n_items(), 2U);
        EXPECT_EQ(loaded->get_columns()->get(2)->get_name(), "c");
        EXPECT_EQ(loaded->get_value_at(0, 1)->to_string(), "2");
        EXPECT_EQ(loaded->get_value_at(1, 1)->to_string(), "y");
        EXPECT_TRUE(loaded->get_value_at(2, 0)->get_is_null());
    }
    EXPECT_TRUE((*model)->get_value_at(2, 1)->get_is_null());
    EXPECT_EQ((*attributes)->get_value_at(2, 1)->to_string(), "");
}

}  // namespace
