#include "solvane/Supports/Data/Documents/markdown_document.hpp"

#include <initializer_list>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/Extractors/markdown_extractor.hpp"
#include "solvane/Supports/Data/Documents/dictionary.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {

using Extractors::FileSink;
using Extractors::MarkdownExtractor;
using MetaModel::MetaColumnList;
using detail::append_filled;

namespace {

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    MarkdownExtractor::append_escaped(out, text);
    return out;
}

// For the raw HTML anchor of a heading: the cell's escapes, which make "<", ">" and "&" entities,
// and the quotes as entities too, so that a quote in a name cannot end the attribute.
std::string escaped_for_anchor(std::string_view text) {
    std::string out;
    for (const char c : escaped(text)) {
        if (c == '\'')
            out += "&#39;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// One line of the index: number, link to the section, kind and comment.
void append_index_row(std::string& out, unsigned number, const MetaModel::MetaObject& object, const char* kind) {
    const std::string qualified = escaped(object.get_schema()) + '.' + escaped(object.get_name());
    out += "| ";
    out += std::to_string(number);
    out += " | [";
    out += qualified;
    out += "](#";
    out += qualified;
    out += ") | ";
    out += kind;
    out += " | ";
    MarkdownExtractor::append_escaped(out, object.get_comment());
    out += " |\n";
}

// The section of a table or a view: both read the same.
void append_section(std::string& out, const MetaModel::MetaObject& object,
                    const std::shared_ptr<MetaColumnList>& columns) {
    const std::string schema = escaped_for_anchor(object.get_schema());
    const std::string name = escaped_for_anchor(object.get_name());
    append_filled(out, Core::tr("## **Table:** <a id='%s.%s'>%s.%s</a>\n"), {schema, name, schema, name});
    append_filled(out, Core::tr("**Description:** %s<br/>\n"), {escaped(object.get_comment())});
    out += Core::tr("**Columns:**<br/>\n");
    out += Core::tr("| No | Name | Type |  Length  | Scale | Null | Primary key | Default | Description |\n");
    out += "| :--: | :--- | :------: | :----: | :----: | :------: | :--: | :----: | :--: |\n";
    if (!columns) return;
    for (const auto& column : *columns) {
        if (!column) continue;
        const auto values = detail::column_cells(*column, escaped);
        for (const auto& value : values) {
            out += "| ";
            out += value;
            out += ' ';
        }
        out += "|\n";
    }
}

}  // namespace

Core::Status MarkdownDocument::produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback&) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, {});
    OMBRIX_RETURN_VAL_IF_NULL(cfg, {});

    auto sink = FileSink::create(filename);
    OMBRIX_RETURN_IF_ERROR(sink);

    std::string out;
    append_filled(out, "# %s\n\n", {escaped(cfg->title)});
    append_filled(out, Core::tr("**Database name:** %s<br/>\n"), {escaped(meta_database->get_name())});
    append_filled(out, Core::tr("**Data version:** %s<br/>\n"), {escaped(cfg->data_version)});
    append_filled(out, Core::tr("**Description:** %s\n"), {escaped(cfg->description)});

    out += Core::tr("| No        | Table        | Type        | Description        |\n");
    out += "| :-----------: | :----------- | :----------- | :----------- |\n";
    auto written = detail::write_dictionary(
        **sink, std::move(out), *meta_database, append_index_row, "", "\n\n",
        [this](std::string& text, const auto& table) { make_table_section(text, table); },
        [this](std::string& text, const auto& view) { make_view_section(text, view); });
    if (!written) return written;
    return (*sink)->close();
}

void MarkdownDocument::make_table_section(std::string& out,
                                          const std::shared_ptr<MetaModel::MetaTable>& table) const {
    OMBRIX_RETURN_IF_NULL(table);
    append_section(out, *table, table->get_columns());
}

void MarkdownDocument::make_view_section(std::string& out, const std::shared_ptr<MetaModel::MetaView>& view) const {
    OMBRIX_RETURN_IF_NULL(view);
    append_section(out, *view, view->get_columns());
}

OMBRIX_DEFINE_TYPE(MarkdownDocument, "OmbrixSolvaneSupportsDataDocumentsMarkdownDocument");

}  // namespace Ombrix::Solvane::Supports::Data::Documents
