#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "solvane/Model/database.hpp"
#include "solvane/Supports/Data/Documents/html_document.hpp"
#include "solvane/Supports/Data/Documents/markdown_document.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/message_catalogue.hpp"
#include "tests/support/temp_dir.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {
namespace {

using Contracts::Data::Configuration;
using MetaModel::MetaColumn;
using MetaModel::MetaDatabase;
using MetaModel::MetaTable;
using MetaModel::MetaView;
using Providers::Contracts::DataType;

std::shared_ptr<MetaColumn> add_column(MetaModel::MetaColumnList& columns, std::string_view name,
                                       std::string_view raw_type, std::uint16_t ordinal, std::uint64_t length) {
    auto column = MetaColumn::with_type(name, DataType::STRING, raw_type);
    column->set_ordinal(ordinal);
    column->set_length(length);
    columns.append(column);
    return column;
}

// Schema "s": table "t" (a key column and a column with default and comment) and view "v" without
// columns.
std::shared_ptr<MetaDatabase> small_database() {
    auto database = MetaDatabase::with_name("shop");
    auto schema = database->append("s");
    auto table = MetaTable::with_names("shop", "s", "t");
    table->set_comment("people");
    auto id = add_column(*table->get_columns(), "id", "int(11)", 1, 11);
    id->set_not_null(true);
    id->set_is_primary_key(true);
    auto name = add_column(*table->get_columns(), "name", "decimal(8,2)", 2, 8);
    name->set_scale(2);
    name->set_default_value("x");
    name->set_comment("the name");
    schema->get_tables()->append(table);
    schema->get_views()->append(MetaView::with_names("shop", "s", "v"));
    return database;
}

const Configuration kConfig{"Dict", "1.0", "desc", "made by", "https://e.x/"};

template <class Document>
std::string produce(const std::shared_ptr<MetaDatabase>& database, const Configuration& cfg) {
    Testing::TempDir dir;
    const std::string path = dir.file("doc");
    auto status = Document::create()->produce(database, path, &cfg, {});
    EXPECT_TRUE(status.has_value()) << status.error().message;
    return Testing::read_text(path);
}

TEST(HtmlDocument, WritesIndexSectionsAndFooter) {
    const std::string html_head = "<table cellspacing='1'><thead><tr><td style='width:40px;'>";
    const std::string columns_head =
        html_head +
        "No</td><td>Name</td><td>Type</td><td> Length </td><td>Scale</td><td>Null</td><td>Primary key</td>"
        "<td>Default</td><td>Description</td></tr></thead>";
    const std::string expected =
        "<!DOCTYPE html><html lang=\"en\"><head>"
        "<meta charset=\"utf-8\">\n<meta content=\"IE=edge\" http-equiv=\"X-UA-Compatible\">\n"
        "<title>Dict</title>"
        "<style type='text/css'>\n        body {\n            padding-bottom: 50px\n        }\n\n        body,\n        td {\n            font-family: verdana, fantasy;\n            font-size: 12px;\n            line-height: 150%\n        }\n\n        table {\n            width: 100%;\n            background-color: #ccc;\n            margin: 5px 0\n        }\n\n        td {\n            background-color: #fff;\n            padding: 3px 3px 3px 10px\n        }\n\n        thead td {\n            text-align: center;\n            font-weight: bold;\n            background-color: #eee\n        }\n\n        a:link,\n        a:visited,\n        a:active {\n            color: #015fb6;\n            text-decoration: none\n        }\n\n        a:hover {\n            color: #e33e06\n        }\n    </style>"
        "</head><body style='text-align:center;'>\n"
        "<div style='width:800px; margin:20px auto; text-align:left;'><a name='index'></a>\n"
        "<h2 style='text-align:center; line-height:50px;'>Dict</h2>"
        "<div><b>Database: </b>shop<br><b>Data version: </b>1.0<br/><b>Description: </b>desc</div>\n" +
        html_head + "No</td><td>Name</td><td>Type</td><td>Description</td></tr></thead>" +
        "<tr><td style='text-align:center;'>1</td><td><a href='#s.t'>s.t</a></td><td>Data table</td>"
        "<td>people</td></tr>"
        "<tr><td style='text-align:center;'>2</td><td><a href='#s.v'>s.v</a></td><td>Data view</td>"
        "<td></td></tr></table>"
        "<br/><br/><div style='margin-top:30px;'><a id='s.t'></a>"
        "<a href='#index' style='float:right; margin-top:6px;'>Content</a><h3>Table: s.t</h3></div>"
        "<div>Description: people</div><div>Columns:</div>" +
        columns_head +
        "<tr><td style='text-align:center;'>1</td><td>id</td><td>int(11)</td><td>11</td><td>0</td><td>No</td>"
        "<td>Yes</td><td></td><td></td></tr>"
        "<tr><td style='text-align:center;'>2</td><td>name</td><td>decimal(8,2)</td><td>8</td><td>2</td>"
        "<td>Yes</td><td></td><td>x</td><td>the name</td></tr></table>"
        "<br/><br/><div style='margin-top:30px;'><a id='s.v'></a>"
        "<a href='#index' style='float:right; margin-top:6px;'>Content</a><h3>Table: s.v</h3></div>"
        "<div>Description: </div><div>Columns:</div>" +
        columns_head + "</table></div>"
        "<footer><div><a href=\"https://e.x/\">made by</a></div></footer></body></html>";
    EXPECT_EQ(produce<HtmlDocument>(small_database(), kConfig), expected);

    Configuration no_footer = kConfig;
    no_footer.footer_text.clear();
    const std::string text = produce<HtmlDocument>(small_database(), no_footer);
    EXPECT_EQ(text.find("<footer>"), std::string::npos);
    EXPECT_TRUE(text.ends_with("</table></div></body></html>")) << text;
}

TEST(MarkdownDocument, WritesIndexAndSections) {
    const std::string columns_head =
        "**Columns:**<br/>\n"
        "| No | Name | Type |  Length  | Scale | Null | Primary key | Default | Description |\n"
        "| :--: | :--- | :------: | :----: | :----: | :------: | :--: | :----: | :--: |\n";
    const std::string expected =
        "# Dict\n\n"
        "**Database name:** shop<br/>\n**Data version:** 1.0<br/>\n**Description:** desc\n"
        "| No        | Table        | Type        | Description        |\n"
        "| :-----------: | :----------- | :----------- | :----------- |\n"
        "| 1 | [s.t](#s.t) | Data table | people |\n"
        "| 2 | [s.v](#s.v) | Data view |  |\n"
        "\n\n## **Table:** <a id='s.t'>s.t</a>\n**Description:** people<br/>\n" +
        columns_head +
        "| 1 | id | int(11) | 11 | 0 | No | Yes |  |  |\n"
        "| 2 | name | decimal(8,2) | 8 | 2 | Yes |  | x | the name |\n"
        "\n\n## **Table:** <a id='s.v'>s.v</a>\n**Description:** <br/>\n" +
        columns_head;
    EXPECT_EQ(produce<MarkdownDocument>(small_database(), kConfig), expected);
}

TEST(MarkdownDocument, UsesTheTranslatedTexts) {
    const Testing::MessageCatalogue catalogue({{"Data view", "Vue"},
                                               {"Yes", "Oui"},
                                               {"## **Table:** <a id='%s.%s'>%s.%s</a>\n", "## **Objet :** %s.%s\n"},
                                               {"<h3>Table: %s.%s</h3></div>", "<h3>Objet : %s.%s</h3></div>"}});
    const std::string markdown = produce<MarkdownDocument>(small_database(), kConfig);
    EXPECT_NE(markdown.find("| 2 | [s.v](#s.v) | Vue |  |\n"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("\n\n## **Objet :** s.t\n"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("| 1 | id | int(11) | 11 | 0 | No | Oui |  |  |\n"), std::string::npos) << markdown;
    const std::string html = produce<HtmlDocument>(small_database(), kConfig);
    EXPECT_NE(html.find("<td>Vue</td>"), std::string::npos);
    EXPECT_NE(html.find("<h3>Objet : s.v</h3></div>"), std::string::npos);
}

// Two tables in the first schema and a view in the second: the view is number 3.
std::shared_ptr<MetaDatabase> two_schemas() {
    auto database = MetaDatabase::with_name("db");
    auto first = database->append("a");
    first->get_tables()->append(MetaTable::with_names("db", "a", "t1"));
    first->get_tables()->append(MetaTable::with_names("db", "a", "t2"));
    database->append("b")->get_views()->append(MetaView::with_names("db", "b", "v1"));
    return database;
}

TEST(HtmlDocument, NumbersTheIndexAcrossSchemas) {
    const std::string html = produce<HtmlDocument>(two_schemas(), kConfig);
    EXPECT_NE(html.find("<td style='text-align:center;'>3</td><td><a href='#b.v1'>b.v1</a></td><td>Data view</td>"),
              std::string::npos)
        << html;
    EXPECT_LT(html.find("<a id='a.t2'>"), html.find("<a id='b.v1'>"));
    const std::string markdown = produce<MarkdownDocument>(two_schemas(), kConfig);
    EXPECT_NE(markdown.find("| 3 | [b.v1](#b.v1) | Data view |  |\n"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("| 2 | [a.t2](#a.t2) | Data table |  |\n"), std::string::npos) << markdown;
}

TEST(HtmlDocument, EscapesEveryInsertedText) {
    auto database = MetaDatabase::with_name("d<b>");
    auto table = MetaTable::with_names("d", "s'x", "t&u");
    table->set_comment("<script>\"1|2\"\nnext</script>");
    auto column = add_column(*table->get_columns(), "c|d", "enum('a','b')", 1, 1);
    column->set_default_value("'a'");
    database->append("s'x")->get_tables()->append(table);
    Configuration cfg = kConfig;
    cfg.title = "<T>";
    cfg.footer_link = "x\"onclick=\"y";

    const std::string html = produce<HtmlDocument>(database, cfg);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<T>"), std::string::npos);
    for (const char* part : {"<title>&lt;T&gt;</title>", "<b>Database: </b>d&lt;b&gt;<br>",
                             "<a href='#s&#39;x.t&amp;u'>s&#39;x.t&amp;u</a>", "<a id='s&#39;x.t&amp;u'>",
                             "<td>&lt;script&gt;&quot;1|2&quot;\nnext&lt;/script&gt;</td>",
                             "<td>enum(&#39;a&#39;,&#39;b&#39;)</td>", "<td>&#39;a&#39;</td>",
                             "<a href=\"x&quot;onclick=&quot;y\">"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }

    const std::string markdown = produce<MarkdownDocument>(database, cfg);
    EXPECT_EQ(markdown.find("<script>"), std::string::npos);
    for (const char* part : {"| 1 | [s'x.t&amp;u](#s'x.t&amp;u) | Data table | &lt;script&gt;\"1\\|2\"<br>next&lt;/script&gt; |\n",
                             "## **Table:** <a id='s&#39;x.t&amp;u'>s&#39;x.t&amp;u</a>\n",
                             "| 1 | c\\|d | enum('a','b') | 1 | 0 | Yes |  | 'a' |  |\n"}) {
        EXPECT_NE(markdown.find(part), std::string::npos) << part << "\n" << markdown;
    }
}

TEST(MarkdownDocument, ReportsFileErrorsAndRefusesMissingArguments) {
    Testing::TempDir dir;
    const std::string unreachable = dir.file("missing/doc.md");
    auto markdown = MarkdownDocument::create()->produce(small_database(), unreachable, &kConfig, {});
    EXPECT_FALSE(markdown.has_value());
    auto html = HtmlDocument::create()->produce(small_database(), unreachable, &kConfig, {});
    EXPECT_FALSE(html.has_value());

    Testing::LogCapture log;
    const std::string path = dir.file("doc.md");
    EXPECT_TRUE(MarkdownDocument::create()->produce(nullptr, path, &kConfig, {}).has_value());
    EXPECT_TRUE(MarkdownDocument::create()->produce(small_database(), std::string_view(), &kConfig, {}).has_value());
    EXPECT_TRUE(HtmlDocument::create()->produce(small_database(), path, nullptr, {}).has_value());
    EXPECT_TRUE(log.has_critical("meta_database != NULL"));
    EXPECT_TRUE(log.has_critical("filename != NULL"));
    EXPECT_TRUE(log.has_critical("cfg != NULL"));
    EXPECT_EQ(Testing::read_text(path), "");
}

}  // namespace
}  // namespace Ombrix::Solvane::Supports::Data::Documents
