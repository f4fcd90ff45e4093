#include "solvane/Supports/Data/Documents/markdown_document.hpp"

#include <initializer_list>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Data/Extractors/markdown_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {

using Extractors::FileSink;
using Extractors::HtmlExtractor;
using Extractors::MarkdownExtractor;
using MetaModel::MetaColumnList;

namespace {

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    MarkdownExtractor::append_escaped(out, text);
    return out;
}

// For the raw HTML anchor of a heading: escaped for HTML first, so that a quote in a name cannot
// end the attribute.
std::string escaped_for_anchor(std::string_view text) {
    std::string html;
    html.reserve(text.size());
    HtmlExtractor::append_escaped(html, text);
    return escaped(html);
}

// Appends a (translated) text whose "%s" marks are replaced, in order, by `args`; a translation
// with fewer marks drops the rest, one with more keeps the extra marks as they are.
void append_filled(std::string& out, std::string_view format, std::initializer_list<std::string_view> args) {
    auto arg = args.begin();
    std::size_t start = 0;
    for (std::size_t mark = format.find("%s"); mark != std::string_view::npos && arg != args.end();
         mark = format.find("%s", start)) {
        out.append(format, start, mark - start);
        out += *arg++;
        start = mark + 2;
    }
    out.append(format, start, format.size() - start);
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
        const std::string values[] = {
            std::to_string(column->get_ordinal()),
            escaped(column->get_name()),
            escaped(column->get_raw_type()),
            std::to_string(column->get_length()),
            std::to_string(static_cast<unsigned>(column->get_scale())),
            column->get_not_null() ? Core::tr("No") : Core::tr("Yes"),
            column->get_is_primary_key() ? Core::tr("Yes") : "",
            escaped(column->get_default_value()),
            escaped(column->get_comment()),
        };
        for (const auto& value : values) {
            out += "| ";
            out += value;
            out += ' ';
        }
        out += "|\n";
    }
}

}  // namespace

std::shared_ptr<MarkdownDocument> MarkdownDocument::create() { return Core::make_object<MarkdownDocument>(); }

Core::Status MarkdownDocument::produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback&) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, {});
    OMBRIX_RETURN_VAL_IF_NULL(cfg, {});

    auto sink = FileSink::create(filename);
    if (!sink) return Core::fail(std::move(sink.error()));

    std::string out;
    append_filled(out, "# %s\n\n", {escaped(cfg->title)});
    append_filled(out, Core::tr("**Database name:** %s<br/>\n"), {escaped(meta_database->get_name())});
    append_filled(out, Core::tr("**Data version:** %s<br/>\n"), {escaped(cfg->data_version)});
    append_filled(out, Core::tr("**Description:** %s\n"), {escaped(cfg->description)});

    out += Core::tr("| No        | Table        | Type        | Description        |\n");
    out += "| :-----------: | :----------- | :----------- | :----------- |\n";
    const auto& schemas = meta_database->get_schemas()->items();
    unsigned number = 0;
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables())
            if (table) append_index_row(out, ++number, *table, Core::tr("Data table"));
        for (const auto& view : *schema->get_views())
            if (view) append_index_row(out, ++number, *view, Core::tr("Data view"));
    }
    if (auto status = (*sink)->write(out); !status) return status;

    // One write per section keeps the buffer small for large databases.
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables()) {
            out.assign("\n\n");
            make_table_section(out, table);
            if (auto status = (*sink)->write(out); !status) return status;
        }
        for (const auto& view : *schema->get_views()) {
            out.assign("\n\n");
            make_view_section(out, view);
            if (auto status = (*sink)->write(out); !status) return status;
        }
    }
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

const Core::TypeInfo& MarkdownDocument::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MarkdownDocument, Core::Object>("OmbrixSolvaneSupportsDataDocumentsMarkdownDocument")
            .build();
    return info;
}

OMBRIX_REGISTER_TYPE(MarkdownDocument);

}  // namespace Ombrix::Solvane::Supports::Data::Documents
