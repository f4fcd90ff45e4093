#include "solvane/Supports/Data/Documents/html_document.hpp"

#include <initializer_list>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Data/Documents/dictionary.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {

using Extractors::FileSink;
using Extractors::HtmlExtractor;
using MetaModel::MetaColumnList;
using detail::append_filled;

namespace {

constexpr std::string_view kHead =
    "<!DOCTYPE html><html lang=\"en\"><head>"
    "<meta charset=\"utf-8\">\n<meta content=\"IE=edge\" http-equiv=\"X-UA-Compatible\">\n";

constexpr std::string_view kStyle =
    "<style type='text/css'>\n"
    "        body {\n"
    "            padding-bottom: 50px\n"
    "        }\n"
    "\n"
    "        body,\n"
    "        td {\n"
    "            font-family: verdana, fantasy;\n"
    "            font-size: 12px;\n"
    "            line-height: 150%\n"
    "        }\n"
    "\n"
    "        table {\n"
    "            width: 100%;\n"
    "            background-color: #ccc;\n"
    "            margin: 5px 0\n"
    "        }\n"
    "\n"
    "        td {\n"
    "            background-color: #fff;\n"
    "            padding: 3px 3px 3px 10px\n"
    "        }\n"
    "\n"
    "        thead td {\n"
    "            text-align: center;\n"
    "            font-weight: bold;\n"
    "            background-color: #eee\n"
    "        }\n"
    "\n"
    "        a:link,\n"
    "        a:visited,\n"
    "        a:active {\n"
    "            color: #015fb6;\n"
    "            text-decoration: none\n"
    "        }\n"
    "\n"
    "        a:hover {\n"
    "            color: #e33e06\n"
    "        }\n"
    "    </style>";

constexpr std::string_view kTableHead = "<table cellspacing='1'><thead><tr><td style='width:40px;'>";
constexpr std::string_view kTableHeadEnd = "</tr></thead>";
constexpr std::string_view kNumberCell = "<tr><td style='text-align:center;'>";

constexpr auto escaped = &HtmlExtractor::escaped;

// One row of the index: number, link to the section, kind and comment.
void append_index_row(std::string& out, unsigned number, const MetaModel::MetaObject& object, const char* kind) {
    const std::string schema = escaped(object.get_schema());
    const std::string name = escaped(object.get_name());
    out += kNumberCell;
    out += std::to_string(number);
    out += "</td><td><a href='#";
    out += schema;
    out += '.';
    out += name;
    out += "'>";
    out += schema;
    out += '.';
    out += name;
    out += "</a></td><td>";
    out += kind;
    out += "</td><td>";
    HtmlExtractor::append_escaped(out, object.get_comment());
    out += "</td></tr>";
}

void append_cell(std::string& out, std::string_view text) {
    out += "<td>";
    out += text;
    out += "</td>";
}

// The section of a table or a view: both read the same.
void append_section(std::string& out, const MetaModel::MetaObject& object,
                    const std::shared_ptr<MetaColumnList>& columns) {
    const std::string schema = escaped(object.get_schema());
    const std::string name = escaped(object.get_name());
    append_filled(out, "<div style='margin-top:30px;'><a id='%s.%s'></a>", {schema, name});
    out += Core::tr("<a href='#index' style='float:right; margin-top:6px;'>Content</a>");
    append_filled(out, Core::tr("<h3>Table: %s.%s</h3></div>"), {schema, name});
    append_filled(out, Core::tr("<div>Description: %s</div>"), {escaped(object.get_comment())});
    out += Core::tr("<div>Columns:</div>");
    out += kTableHead;
    out += Core::tr(
        "No</td><td>Name</td><td>Type</td><td> Length </td><td>Scale</td><td>Null</td><td>Primary key</td>"
        "<td>Default</td><td>Description</td>");
    out += kTableHeadEnd;
    if (columns) {
        for (const auto& column : *columns) {
            if (!column) continue;
            const auto cells = detail::column_cells(*column, escaped);
            out += kNumberCell;
            out += cells[0];
            out += "</td>";
            for (std::size_t i = 1; i < cells.size(); ++i) append_cell(out, cells[i]);
            out += "</tr>";
        }
    }
    out += "</table>";
}

}  // namespace

Core::Status HtmlDocument::produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                   std::string_view filename, const Contracts::Data::Configuration* cfg,
                                   const Contracts::Data::ProgressCallback&) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, {});
    OMBRIX_RETURN_VAL_IF_NULL(cfg, {});

    auto sink = FileSink::create(filename);
    OMBRIX_RETURN_IF_ERROR(sink);

    const std::string title = escaped(cfg->title);
    std::string out;
    out += kHead;
    append_filled(out, "<title>%s</title>", {title});
    out += kStyle;
    out += "</head><body style='text-align:center;'>\n";
    out += "<div style='width:800px; margin:20px auto; text-align:left;'><a name='index'></a>\n";
    append_filled(out, "<h2 style='text-align:center; line-height:50px;'>%s</h2>", {title});
    append_filled(out, Core::tr("<div><b>Database: </b>%s<br>"), {escaped(meta_database->get_name())});
    append_filled(out, Core::tr("<b>Data version: </b>%s<br/>"), {escaped(cfg->data_version)});
    append_filled(out, Core::tr("<b>Description: </b>%s</div>\n"), {escaped(cfg->description)});

    out += kTableHead;
    out += Core::tr("No</td><td>Name</td><td>Type</td><td>Description</td>");
    out += kTableHeadEnd;
    auto written = detail::write_dictionary(
        **sink, std::move(out), *meta_database, append_index_row, "</table>", "<br/><br/>",
        [this](std::string& text, const auto& table) { make_table_section(text, table); },
        [this](std::string& text, const auto& view) { make_view_section(text, view); });
    if (!written) return written;

    out.assign("</div>");
    if (!cfg->footer_text.empty())
        append_filled(out, "<footer><div><a href=\"%s\">%s</a></div></footer>",
                      {escaped(cfg->footer_link), escaped(cfg->footer_text)});
    out += "</body></html>";
    if (auto status = (*sink)->write(out); !status) return status;
    return (*sink)->close();
}

void HtmlDocument::make_table_section(std::string& out, const std::shared_ptr<MetaModel::MetaTable>& table) const {
    OMBRIX_RETURN_IF_NULL(table);
    append_section(out, *table, table->get_columns());
}

void HtmlDocument::make_view_section(std::string& out, const std::shared_ptr<MetaModel::MetaView>& view) const {
    OMBRIX_RETURN_IF_NULL(view);
    append_section(out, *view, view->get_columns());
}

OMBRIX_DEFINE_TYPE(HtmlDocument, "OmbrixSolvaneSupportsDataDocumentsHtmlDocument");

}  // namespace Ombrix::Solvane::Supports::Data::Documents
