#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix::Providers::Contracts;
using namespace Ombrix::Solvane::Supports::Data::Extractors;
using Cells = std::vector<std::optional<std::string>>;

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

std::shared_ptr<XmlExtractor> extractor(const OptionMap& options = {}) {
    auto made = XmlExtractor::create("xml");
    made->get_options() = options;
    return made;
}

Ombrix::Core::Result<std::string> export_text(const std::shared_ptr<TableModel>& model, const OptionMap& options = {}) {
    std::string text;
    auto rows = extractor(options)->export_to_text(model, text, nullptr);
    if (!rows) return std::unexpected(rows.error());
    return text;
}

Ombrix::Core::Result<std::vector<SourceRow>> read_rows(const std::string& text, const OptionMap& options = {}) {
    auto reader = extractor(options)->open_reader(std::make_shared<const std::string>(text));
    if (!reader) return std::unexpected(reader.error());
    std::vector<SourceRow> rows;
    for (SourceRow row; true;) {
        auto more = (*reader)->next(row);
        if (!more) return std::unexpected(more.error());
        if (!*more) return rows;
        rows.push_back(row);
    }
}

const auto kSmall = [] {
    return make_model(
        {{"id", DataType::INT32}, {"name", DataType::STRING}},
        {{ValueInt32::create(7), ValueString::create("x")}, {ValueInt32::create(8), ValueNull::create()}});
};

TEST(XmlExtractorExport, ExactTextsPerStorage) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    const std::string first =
        "    <RECORD>\n        <id>7</id>\n        <name>x</name>\n    </RECORD>\n    <RECORD>\n        <id>8</id>\n";
    EXPECT_EQ(export_text(kSmall()), head + "<RECORDS xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
                                         first + "        <name xsi:nil=\"true\"/>\n    </RECORD>\n</RECORDS>\n");
    EXPECT_EQ(export_text(kSmall(), {{"NULL_VALUE", "NULL"}}),
              head + "<RECORDS>\n" + first + "        <name>NULL</name>\n    </RECORD>\n</RECORDS>\n");
    EXPECT_EQ(export_text(kSmall(), {{"STORAGE", "attribute"}}),
              head + "<RECORDS>\n    <RECORD id=\"7\" name=\"x\"/>\n    <RECORD id=\"8\"/>\n</RECORDS>\n");
    EXPECT_EQ(export_text(make_model({{"id", DataType::INT32}}, {}), {{"STORAGE", "attribute"}}),
              head + "<RECORDS/>\n");
}

TEST(XmlExtractorExport, KeepsLineBreaksAndTabsThroughCharacterReferences) {
    const auto model = make_model({{"v", DataType::STRING}}, {{ValueString::create("a\r\nb\tc\rd\n\"<&>'")}});
    EXPECT_NE(export_text(model)->find("<v>a&#13;\nb\tc&#13;d\n\"&lt;&amp;&gt;'</v>"), std::string::npos);
    EXPECT_NE(
        export_text(model, {{"STORAGE", "attribute"}})->find("v=\"a&#13;&#10;b&#9;c&#13;d&#10;&quot;&lt;&amp;&gt;'\""),
        std::string::npos);
}

TEST(XmlExtractorExport, RefusesWhatXmlCannotCarry) {
    const struct {
        std::string column;
        std::string cell;
        std::string storage;
        std::string named;  // a text the message holds
    } cases[] = {
        {"", "", "", "\"\""},
        {"a\xFF", "", "", "a\xFF"},
        {"c", "a\x01", "", "row 1, column c"},
        {"c", "a\xFF", "attribute", "row 1, column c"},
        {"c", "\xEF\xBF\xBF", "", "row 1, column c"},
        {"c", "\xED\xA0\x80", "", "row 1, column c"},
    };
    for (const auto& c : cases) {
        auto text = export_text(make_model({{c.column, DataType::STRING}}, {{ValueString::create(c.cell)}}),
                                {{"STORAGE", c.storage}});
        ASSERT_FALSE(text.has_value()) << c.column << c.cell;
        EXPECT_EQ(text.error().domain, "XML");
        EXPECT_NE(text.error().message.find(c.named), std::string::npos) << text.error().message;
    }
    auto twice =
        export_text(make_model({{"a", DataType::STRING}, {"a", DataType::STRING}}, {}), {{"STORAGE", "attribute"}});
    EXPECT_FALSE(twice.has_value());
    // An attribute has no form for a text equal to the NULL text.
    auto null_text = export_text(kSmall(), {{"STORAGE", "attribute"}, {"NULL_VALUE", "x"}});
    ASSERT_FALSE(null_text.has_value());
    EXPECT_NE(null_text.error().message.find("row 1, column name"), std::string::npos) << null_text.error().message;
}

TEST(XmlExtractorNames, NamesThatAreNoXmlNamesAreEncodedAndDecoded) {
    const struct {
        std::string name;
        std::string element;
        std::string attribute;
    } cases[] = {
        {"id", "id", "id"},
        {"0b2", "_x0030_b2", "_x0030_b2"},
        {"a b", "a_x0020_b", "a_x0020_b"},
        {"\xC3\xBC", "\xC3\xBC", "\xC3\xBC"},                // ü is a name character
        {"_x0041_", "_x005F_x0041_", "_x005F_x0041_"},  // would read as "A"
        {"coord_x", "coord_x", "coord_x"},              // no escape follows
        {"p:a", "p_x003A_a", "p_x003A_a"},
        {"-1.5", "_x002D_1.5", "_x002D_1.5"},
        {"a\xC3\x97" "b", "a_x00D7_b", "a_x00D7_b"},  // U+00D7 is not one
        {"xmlns", "xmlns", "_x0078_mlns"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XmlExtractor::encode_name(c.name, false), c.element) << c.name;
        EXPECT_EQ(XmlExtractor::encode_name(c.name, true), c.attribute) << c.name;
        EXPECT_EQ(XmlExtractor::decode_name(c.element), c.name);
        EXPECT_EQ(XmlExtractor::decode_name(c.attribute), c.name);
    }
    // Escapes of no character, or cut short, stay as they are.
    for (const std::string plain : {"_x0000_", "_xD800_", "_x12_", "_x00410", "_xZZZZ_"})
        EXPECT_EQ(XmlExtractor::decode_name(plain), plain);
    EXPECT_EQ(XmlExtractor::decode_name("_x0001F600_"), "\xF0\x9F\x98\x80");
    EXPECT_FALSE(XmlExtractor::encode_name("", false));
}

TEST(XmlExtractorRead, AnyLayoutOfRecords) {
    const std::string xsi = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
    const struct {
        std::string text;
        OptionMap options;
        std::vector<Cells> rows;
        std::vector<std::string> names;  // of the first row
    } cases[] = {
        {"<RECORDS><RECORD><a>1</a><b/><c></c><d> </d></RECORD></RECORDS>",
         {},
         {{"1", "", "", " "}},
         {"a", "b", "c", "d"}},
        {"<RECORDS" + xsi +
             ">\n\t<RECORD>\n <a>x&amp;<![CDATA[<y>]]>&#13;&#x1F600;</a>\n<b xsi:nil='true'/><c xsi:nil=\"true\"></c>"
             "</RECORD><!-- note --></RECORDS>",
         {},
         {{"x&<y>\r\xF0\x9F\x98\x80", std::nullopt, std::nullopt}},
         {"a", "b", "c"}},
        {"<RECORDS><RECORD b=\"2\" a=\"x&#10;y\"/><RECORD a=\"-\"></RECORD></RECORDS>",
         {},
         {{"2", "x\ny"}, {"-"}},
         {"b", "a"}},
        {"<RECORDS><RECORD a=\"NULL\" b=\"\"/><RECORD><a>NULL</a></RECORD></RECORDS>",
         {{"NULL_VALUE", "NULL"}},
         {{std::nullopt, ""}, {std::nullopt}},
         {"a", "b"}},
        {"<doc><other><RECORD><a>1</a></RECORD></other><RECORDS><x><RECORD/></x><RECORD><RECORD>r</RECORD></RECORD></"
         "RECORDS>"
         "<RECORDS><RECORD/></RECORDS></doc>",
         {},
         {{"r"}},
         {"RECORD"}},
        {"<root><RECORD><a>1</a></RECORD></root>", {}, {}, {}},
        {"<RECORDS/>", {}, {}, {}},
    };
    for (const auto& c : cases) {
        auto rows = read_rows(c.text, c.options);
        ASSERT_TRUE(rows.has_value()) << c.text << ": " << rows.error().message;
        ASSERT_EQ(rows->size(), c.rows.size()) << c.text;
        for (std::size_t i = 0; i < rows->size(); ++i) {
            EXPECT_EQ((*rows)[i].values, c.rows[i]) << c.text;
            EXPECT_EQ((*rows)[i].number, i + 1);
        }
        if (!rows->empty()) {
            EXPECT_EQ(rows->front().names, c.names) << c.text;
        }
    }
}

TEST(XmlExtractorRead, BrokenDocumentsGiveAnErrorAndNoRow) {
    const std::string cases[] = {
        "",
        "<RECORDS><RECORD><a>1</a></RECORD>",
        "<RECORDS><RECORD><a>1</b></RECORD></RECORDS>",
        "<RECORDS><RECORD><a>&undefined;</a></RECORD></RECORDS>",
        "<RECORDS><RECORD><p:a>1</p:a></RECORD></RECORDS>",
        "<RECORDS><RECORD a=\"1\" a=\"2\"/></RECORDS>",
    };
    for (const auto& text : cases) {
        auto rows = read_rows(text);
        ASSERT_FALSE(rows.has_value()) << text;
        EXPECT_EQ(rows.error().domain, "XML");
        EXPECT_NE(rows.error().message.find("line 1"), std::string::npos) << rows.error().message;
        EXPECT_FALSE(extractor()->load_from_text(text, 0).has_value());
    }
    auto missing = extractor({{"FILENAME", "/nonexistent/records.xml"}})->load_from_file(0);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error(), (Ombrix::Core::Error{"default", -1, "load xml document failed."}));
}

TEST(XmlExtractorRead, NeverLoadsExternalEntities) {
    Ombrix::Testing::TempDir dir;
    Ombrix::Testing::write_text(dir.file("secret.txt"), "secret");
    auto rows = read_rows("<!DOCTYPE RECORDS [<!ENTITY x SYSTEM \"file://" + dir.file("secret.txt") +
                          "\">]><RECORDS><RECORD><a>&x;</a></RECORD></RECORDS>");
    // Neither read nor taken as empty text: the document is refused.
    ASSERT_FALSE(rows.has_value());
    EXPECT_EQ(rows.error().message, "line 1: entity references are not read");
}

TEST(XmlExtractorRoundTrip, HostileCellsSurviveExportLoadExport) {
    Ombrix::Testing::TempDir dir;
    // Names that are no XML names, and one that looks like an escape.
    const std::vector<Column> columns = {{"0b2", DataType::STRING},
                                         {"_x0041_", DataType::STRING},
                                         {"a b", DataType::BLOB},
                                         {"\xC3\xBC", DataType::UINT64},
                                         {"xmlns", DataType::DECIMAL},
                                         {"NULL", DataType::STRING}};
    const std::string bytes("\0\xFF", 2);
    // A first row of NULLs (an empty RECORD as attributes), and texts equal to the NULL texts.
    const std::vector<std::vector<ValuePtr>> rows = {
        {ValueNull::create(), ValueNull::create(), ValueNull::create(), ValueNull::create(), ValueNull::create(),
         ValueNull::create()},
        {ValueString::create("q\"'<>&]]>\r\n\r\t\\ \xF0\x9F\x98\x80  "), ValueString::create(""),
         ValueBinary::create(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
         ValueUInt64::create(std::numeric_limits<std::uint64_t>::max()),
         ValueString::create("12345678901234567890123456789012345.123456789012345678901234567890"),
         ValueString::create("NULL")},
        {ValueString::create("\n"), ValueNull::create(), ValueNull::create(), ValueUInt64::create(0),
         ValueString::create(" "), ValueString::create("a]]>b")},
    };
    const OptionMap option_sets[] = {
        {},
        {{"STORAGE", "element"}, {"NULL_VALUE", "NULL"}},
        {{"NULL_VALUE", ""}},
        {{"NULL_VALUE", "a]]>b"}},
        {{"STORAGE", "attribute"}},
        {{"STORAGE", "attribute"}, {"NULL_VALUE", "\\N"}},
    };
    for (const auto& options : option_sets) {
        const std::string storage = options.contains("STORAGE") ? options.at("STORAGE") : "";
        SCOPED_TRACE(storage + " " + (options.contains("NULL_VALUE") ? options.at("NULL_VALUE") : "(no NULL text)"));
        auto out = extractor(options);
        const auto model = make_model(columns, rows);
        ASSERT_TRUE(out->export_to_file(model, dir.file("a.xml"), nullptr).has_value());
        out->get_options()["FILENAME"] = dir.file("a.xml");
        auto loaded = out->load_from_file(0);
        ASSERT_TRUE(loaded.has_value() && *loaded) << (loaded ? "" : loaded.error().message);
        ASSERT_EQ((*loaded)->get_n_items(), rows.size());
        ASSERT_EQ((*loaded)->get_columns()->size(), columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c)
            EXPECT_EQ((*loaded)->get_columns()->get(c)->get_name(), columns[c].name);
        std::vector<std::vector<ValuePtr>> again;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            again.emplace_back();
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const auto value = (*loaded)->get_value_at(c, r);
                const auto original = model->get_value_at(c, r);
                EXPECT_EQ(value->get_is_null(), original->get_is_null()) << storage << r << c;
                if (c == 2 && !value->get_is_null()) {
                    EXPECT_EQ(value->to_string(), "0x00FF");
                    again.back().push_back(original);
                } else {
                    if (!value->get_is_null()) {
                        EXPECT_EQ(value->to_string(), original->to_string()) << storage << r << c;
                    }
                    again.back().push_back(value);
                }
            }
        }
        EXPECT_EQ(export_text(make_model(columns, again), options), Ombrix::Testing::read_text(dir.file("a.xml")));
    }
    EXPECT_FALSE(extractor()->export_to_file(kSmall(), dir.file("missing/a.xml"), nullptr).has_value());
}

}  // namespace
