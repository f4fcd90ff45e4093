#include "solvane/Supports/Data/Documents/rich_document.hpp"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "providers/Core/error.hpp"
#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Data/Documents/schema_diagram.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {

namespace {

using MetaModel::MetaColumn;
using MetaModel::MetaTable;

constexpr auto h = &Extractors::HtmlExtractor::escaped;

// A Markdown table cell or line: the characters Markdown or inline HTML would act on are escaped,
// line breaks become spaces. An underscore inside a word emphasises nothing and stays bare, so that
// names read as they are.
std::string md(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    const auto word = [&](std::size_t i) {
        return i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_');
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_' && i > 0 && word(i - 1) && word(i + 1)) {
            out += c;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\n':
        case '\r': out += ' '; break;
        case '\\': case '|': case '*': case '_': case '`': case '[': case ']': case '#': case '~': case '!':
            out += '\\';
            out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

std::string routine_anchor(std::string_view schema, std::string_view name, bool function) {
    return (function ? "f" : "p") + SchemaDiagram::anchor(schema, name).substr(1);
}

// Where a table's foreign keys point and which point at it, across every schema of the database.
struct ForeignKeyUse {
    const MetaTable* holder;
    std::shared_ptr<MetaModel::MetaForeignKey> key;
};

struct Catalogue {
    std::map<std::pair<std::string, std::string>, std::vector<ForeignKeyUse>> referenced_by;
    std::set<std::pair<std::string, std::string>> documented;
    std::map<std::pair<std::string, std::string>, std::vector<std::pair<std::string, std::string>>> read_by;
};

std::string schema_of(const MetaModel::MetaObject& object, const MetaModel::MetaSchema& schema) {
    return object.get_schema().empty() ? schema.get_name() : object.get_schema();
}

Catalogue catalogue_of(const MetaModel::MetaDatabase& database) {
    Catalogue catalogue;
    for (const auto& schema : database.get_schemas()->items()) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables()) {
            if (!table) continue;
            const std::string owner = schema_of(*table, *schema);
            catalogue.documented.insert({owner, table->get_name()});
            for (const auto& constraint : *table->get_constraints())
                if (auto key = std::dynamic_pointer_cast<MetaModel::MetaForeignKey>(constraint))
                    catalogue.referenced_by[{key->get_refer_schema().empty() ? owner : key->get_refer_schema(),
                                             key->get_refer_table()}]
                        .push_back({table.get(), key});
        }
        for (const auto& view : *schema->get_views()) {
            if (!view) continue;
            const std::string owner = schema_of(*view, *schema);
            catalogue.documented.insert({owner, view->get_name()});
            for (const auto& read : SchemaDiagram::view_reads(view->get_definition(), owner))
                catalogue.read_by[read].push_back({owner, view->get_name()});
        }
    }
    return catalogue;
}

// The column's extra facts: counter, generation, ON UPDATE.
std::string extra_of(const MetaColumn& column) {
    std::string extra;
    const auto add = [&](const std::string& text) {
        if (!extra.empty()) extra += "; ";
        extra += text;
    };
    if (column.get_auto_increment()) add("AUTO_INCREMENT");
    if (!column.get_expression().empty())
        add(std::string("GENERATED AS (") + column.get_expression() + ")" +
            (column.get_is_virtual() ? " VIRTUAL" : " STORED"));
    if (column.get_update_timestamp()) add("ON UPDATE");
    if (!column.get_collation().empty()) add(column.get_collation());
    return extra;
}

std::string primary_key_of(const MetaTable& table) {
    std::vector<std::pair<unsigned, std::string>> parts;
    for (const auto& column : *table.get_columns())
        if (column && column->get_is_primary_key()) parts.emplace_back(column->get_primary_ordinal(), column->get_name());
    std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& [ordinal, name] : parts) out += (out.empty() ? "" : ", ") + name;
    return out;
}

std::string joined_parts(const Core::StringList& parts) {
    std::string out;
    for (const auto& part : parts) out += (out.empty() ? "" : ", ") + part;
    return out;
}

constexpr std::string_view kStyle = R"(
body { font-family: Helvetica, Arial, sans-serif; font-size: 14px; color: #222; margin: 0; line-height: 1.45; }
header { padding: 16px 24px; background: #34495e; color: #fff; }
header h1 { margin: 0 0 4px 0; font-size: 24px; }
header p { margin: 2px 0; }
.layout { display: flex; align-items: flex-start; }
nav#contents { position: sticky; top: 0; width: 260px; flex: none; max-height: 100vh; overflow: auto;
  padding: 12px; box-sizing: border-box; border-right: 1px solid #ddd; background: #f7f9fa; }
nav#contents input { width: 100%; box-sizing: border-box; padding: 4px 6px; margin-bottom: 8px; }
nav#contents ul { list-style: none; margin: 0; padding: 0; }
nav#contents li { margin: 1px 0; overflow-wrap: anywhere; }
nav#contents .kind { color: #889; font-size: 11px; }
main { flex: 1; min-width: 0; padding: 12px 24px 48px 24px; }
figure#diagram { margin: 0 0 24px 0; overflow: auto; max-height: 80vh; border: 1px solid #ddd; }
figure#diagram svg { display: block; }
figure figcaption { font-size: 12px; color: #667; padding: 4px 8px; }
section.object { border-top: 2px solid #7799aa; margin-top: 28px; padding-top: 4px; }
section.object h2 { font-size: 18px; margin: 6px 0; overflow-wrap: anywhere; }
section.object h3 { font-size: 14px; margin: 14px 0 4px 0; color: #34495e; }
.comment { color: #444; font-style: italic; white-space: pre-wrap; }
table { border-collapse: collapse; width: 100%; margin: 4px 0; }
th, td { text-align: left; vertical-align: top; padding: 3px 8px; border: 1px solid #ddd; overflow-wrap: anywhere; }
th { background: #eef2f4; }
td.number { text-align: right; width: 2em; color: #889; }
pre { background: #f5f5f5; padding: 8px; overflow: auto; white-space: pre-wrap; overflow-wrap: anywhere; }
a { color: #015fb6; text-decoration: none; } a:hover { color: #e33e06; }
svg.neighbourhood { max-width: 100%; height: auto; }
@media print {
  nav#contents { display: none; }
  figure#diagram { max-height: none; overflow: visible; border: none; }
  figure#diagram svg { max-width: 100%; height: auto; }
  section.object { break-inside: avoid-page; }
  h2, h3 { break-after: avoid-page; }
  pre { white-space: pre-wrap; }
}
)";

constexpr std::string_view kScript =
    "(function(){var f=document.getElementById('filter');"
    "var items=document.querySelectorAll('#contents li.entry');"
    "f.addEventListener('input',function(){var q=f.value.toLowerCase();"
    "for(var i=0;i<items.length;i++){var n=items[i].getAttribute('data-name').toLowerCase();"
    "items[i].style.display=n.indexOf(q)<0?'none':'';}});})();";

// The policy's hash of the page's one script: 'sha256-' and the Base64 of its digest.
std::string script_hash() {
    GChecksum* checksum = g_checksum_new(G_CHECKSUM_SHA256);
    g_checksum_update(checksum, reinterpret_cast<const guchar*>(kScript.data()), static_cast<gssize>(kScript.size()));
    guint8 digest[32];
    gsize length = sizeof digest;
    g_checksum_get_digest(checksum, digest, &length);
    g_checksum_free(checksum);
    gchar* encoded = g_base64_encode(digest, length);
    std::string out = std::string("'sha256-") + encoded + "'";
    g_free(encoded);
    return out;
}

// The rendered SVG without its XML prologue and document type, ready to sit inside HTML.
std::string inline_svg(const std::string& svg) {
    const std::size_t start = svg.find("<svg");
    return start == std::string::npos ? svg : svg.substr(start);
}

class HtmlWriter {
public:
    HtmlWriter(const SchemaDiagram& diagram, const Catalogue& catalogue) : m_diagram(diagram), m_catalogue(catalogue) {}

    std::string link(std::string_view schema, std::string_view name) const {
        const std::string text = h(std::string(schema) + "." + std::string(name));
        if (!m_catalogue.documented.contains({std::string(schema), std::string(name)})) return text;
        return "<a href=\"#" + SchemaDiagram::anchor(schema, name) + "\">" + text + "</a>";
    }

    void table_section(std::string& out, const std::string& schema, const MetaTable& table, std::size_t node) const {
        const std::string anchor = SchemaDiagram::anchor(schema, table.get_name());
        out += "<section class=\"object table\" id=\"" + anchor + "\"><h2>Table " + h(schema + "." + table.get_name()) +
               "</h2>\n";
        if (!table.get_comment().empty()) out += "<p class=\"comment\">" + h(table.get_comment()) + "</p>\n";
        if (node < m_diagram.nodes().size()) out += m_diagram.neighbourhood_svg(node) + "\n";
        out += "<h3>Columns</h3>\n<table><thead><tr><th>#</th><th>Name</th><th>Type</th><th>Null</th><th>Default</th>"
               "<th>Key</th><th>Extra</th><th>Comment</th></tr></thead><tbody>\n";
        const auto& node_columns = node < m_diagram.nodes().size() ? m_diagram.nodes()[node].columns
                                                                   : std::vector<DiagramColumn>{};
        std::size_t i = 0;
        for (const auto& column : *table.get_columns()) {
            if (!column) continue;
            std::string key;
            if (i < node_columns.size()) {
                const auto& marks = node_columns[i];
                if (marks.primary) key += "PK ";
                if (marks.foreign) key += "FK ";
                if (marks.unique) key += "U";
            }
            ++i;
            out += "<tr><td class=\"number\">" + std::to_string(column->get_ordinal()) + "</td><td>" +
                   h(column->get_name()) + "</td><td>" + h(Database::MariaDBBuilder::column_type(*column)) + "</td><td>" +
                   (column->get_not_null() || column->get_is_primary_key() ? "NOT NULL" : "NULL") + "</td><td>" +
                   h(column->get_default_value()) + "</td><td>" + h(key) + "</td><td>" + h(extra_of(*column)) +
                   "</td><td>" + h(column->get_comment()) + "</td></tr>\n";
        }
        out += "</tbody></table>\n";

        std::string indexes;
        if (const std::string primary = primary_key_of(table); !primary.empty())
            indexes += "<tr><td>PRIMARY</td><td>PRIMARY KEY</td><td>" + h(primary) + "</td><td></td><td></td></tr>\n";
        for (const auto& index : *table.get_indexes()) {
            if (!index) continue;
            std::string kind = index->get_kind().empty() ? "INDEX" : index->get_kind();
            if (index->get_method() == "FULLTEXT" || index->get_method() == "SPATIAL") kind = index->get_method();
            indexes += "<tr><td>" + h(index->get_name()) + "</td><td>" + h(kind) + "</td><td>" +
                       h(joined_parts(index->get_columns())) + "</td><td>" + h(index->get_method()) + "</td><td>" +
                       h(index->get_comment()) + "</td></tr>\n";
        }
        if (!indexes.empty())
            out += "<h3>Keys and indexes</h3>\n<table><thead><tr><th>Name</th><th>Kind</th><th>Columns</th>"
                   "<th>Method</th><th>Comment</th></tr></thead><tbody>\n" +
                   indexes + "</tbody></table>\n";

        std::string checks, references;
        for (const auto& constraint : *table.get_constraints()) {
            if (auto check = std::dynamic_pointer_cast<MetaModel::MetaCheck>(constraint)) {
                checks += "<tr><td>" + h(check->get_name()) + "</td><td><code>" + h(check->get_check()) +
                          "</code></td></tr>\n";
            } else if (auto key = std::dynamic_pointer_cast<MetaModel::MetaForeignKey>(constraint)) {
                const std::string target_schema = key->get_refer_schema().empty() ? schema : key->get_refer_schema();
                references += "<tr><td>" + h(key->get_name()) + "</td><td>" + h(key->get_local_columns()) + "</td><td>" +
                              link(target_schema, key->get_refer_table()) + " (" + h(key->get_refer_columns()) +
                              ")</td><td>" + h(key->get_delete_action()) + "</td><td>" + h(key->get_update_action()) +
                              "</td></tr>\n";
            }
        }
        if (!checks.empty())
            out += "<h3>Checks</h3>\n<table><thead><tr><th>Name</th><th>Condition</th></tr></thead><tbody>\n" + checks +
                   "</tbody></table>\n";
        if (!references.empty())
            out += "<h3>References</h3>\n<table><thead><tr><th>Foreign key</th><th>Columns</th><th>Referenced</th>"
                   "<th>On delete</th><th>On update</th></tr></thead><tbody>\n" +
                   references + "</tbody></table>\n";
        referenced_by(out, schema, table.get_name());

        std::string triggers;
        for (const auto& trigger : *table.get_triggers()) {
            if (!trigger) continue;
            triggers += "<tr><td>" + h(trigger->get_name()) + "</td><td>" +
                        h(trigger->get_timing() + " " + trigger->get_event()) + "</td><td><pre>" + h(trigger->get_body()) +
                        "</pre></td></tr>\n";
        }
        if (!triggers.empty())
            out += "<h3>Triggers</h3>\n<table><thead><tr><th>Name</th><th>When</th><th>Body</th></tr></thead><tbody>\n" +
                   triggers + "</tbody></table>\n";

        std::string options;
        for (const auto& [name, value] : table.get_options()) {
            if (value.empty() || name == "COMMENT" || (name == "AVG_ROW_LENGTH" && value == "0")) continue;
            options += (options.empty() ? "" : ", ") + h(name) + " " + h(value);
        }
        if (!options.empty()) out += "<h3>Options</h3>\n<p>" + options + "</p>\n";
        out += "</section>\n";
    }

    void referenced_by(std::string& out, const std::string& schema, const std::string& name) const {
        std::string rows;
        const auto found = m_catalogue.referenced_by.find({schema, name});
        if (found != m_catalogue.referenced_by.end())
            for (const auto& use : found->second)
                rows += "<tr><td>" + link(use.holder->get_schema().empty() ? schema : use.holder->get_schema(),
                                          use.holder->get_name()) +
                        "</td><td>" + h(use.key->get_name()) + "</td><td>" + h(use.key->get_local_columns()) +
                        "</td><td>" + h(use.key->get_refer_columns()) + "</td></tr>\n";
        if (!rows.empty())
            out += "<h3>Referenced by</h3>\n<table><thead><tr><th>Table</th><th>Foreign key</th><th>Columns</th>"
                   "<th>Referenced columns</th></tr></thead><tbody>\n" +
                   rows + "</tbody></table>\n";
        const auto readers = m_catalogue.read_by.find({schema, name});
        if (readers != m_catalogue.read_by.end()) {
            out += "<h3>Read by views</h3>\n<p>";
            bool first = true;
            for (const auto& [owner, view] : readers->second) {
                out += (first ? "" : ", ") + link(owner, view);
                first = false;
            }
            out += "</p>\n";
        }
    }

    void view_section(std::string& out, const std::string& schema, const MetaModel::MetaView& view,
                      std::size_t node) const {
        out += "<section class=\"object view\" id=\"" + SchemaDiagram::anchor(schema, view.get_name()) + "\"><h2>View " +
               h(schema + "." + view.get_name()) + "</h2>\n";
        if (!view.get_comment().empty()) out += "<p class=\"comment\">" + h(view.get_comment()) + "</p>\n";
        if (node < m_diagram.nodes().size()) out += m_diagram.neighbourhood_svg(node) + "\n";
        const auto reads = SchemaDiagram::view_reads(view.get_definition(), schema);
        if (!reads.empty()) {
            out += "<h3>Reads</h3>\n<p>";
            for (std::size_t i = 0; i < reads.size(); ++i) out += (i ? ", " : "") + link(reads[i].first, reads[i].second);
            out += "</p>\n";
        }
        if (view.get_columns() && view.get_columns()->get_n_items() > 0) {
            out += "<h3>Columns</h3>\n<table><thead><tr><th>#</th><th>Name</th><th>Type</th><th>Null</th>"
                   "<th>Comment</th></tr></thead><tbody>\n";
            for (const auto& column : *view.get_columns())
                if (column)
                    out += "<tr><td class=\"number\">" + std::to_string(column->get_ordinal()) + "</td><td>" +
                           h(column->get_name()) + "</td><td>" + h(Database::MariaDBBuilder::column_type(*column)) + "</td><td>" +
                           (column->get_not_null() ? "NOT NULL" : "NULL") + "</td><td>" + h(column->get_comment()) +
                           "</td></tr>\n";
            out += "</tbody></table>\n";
        }
        out += "<h3>Definition</h3>\n<pre>" + h(view.get_definition()) + "</pre>\n";
        referenced_by(out, schema, view.get_name());
        out += "</section>\n";
    }

    void routine_section(std::string& out, const std::string& schema, const MetaModel::MetaFunction& routine,
                         bool function) const {
        out += "<section class=\"object routine\" id=\"" + routine_anchor(schema, routine.get_name(), function) +
               "\"><h2>" + (function ? "Function " : "Procedure ") + h(schema + "." + routine.get_name()) + "</h2>\n";
        if (!routine.get_comment().empty()) out += "<p class=\"comment\">" + h(routine.get_comment()) + "</p>\n";
        out += "<p>Parameters: <code>" + h(joined_parts(routine.get_parameters())) + "</code>";
        if (function) out += "<br>Returns: <code>" + h(routine.get_return_type()) + "</code>";
        out += "</p>\n<pre>" + h(routine.get_body()) + "</pre>\n</section>\n";
    }

private:
    const SchemaDiagram& m_diagram;
    const Catalogue& m_catalogue;
};

// Calls `table(schema, table, node)`, `view(schema, view, node)` and `routine(schema, routine,
// is_function)` in document order; `node` is the object's place in the diagram of `of`.
template <class Table, class View, class Routine>
void each_object(const MetaModel::MetaDatabase& database, Table table, View view, Routine routine) {
    std::size_t node = 0;
    for (const auto& schema : database.get_schemas()->items()) {
        if (!schema) continue;
        for (const auto& t : *schema->get_tables())
            if (t) table(schema_of(*t, *schema), *t, node++);
        for (const auto& v : *schema->get_views())
            if (v) view(schema_of(*v, *schema), *v, node++);
        for (const auto& f : *schema->get_functions())
            if (f) routine(schema_of(*f, *schema), *f, true);
        for (const auto& p : *schema->get_procedures())
            if (p) routine(schema_of(*p, *schema), *p, false);
    }
}

Core::Result<std::unique_ptr<Extractors::FileSink>> open_sink(std::string_view filename) {
    if (filename == "-") return Extractors::FileSink::standard_output();
    return Extractors::FileSink::create(filename);
}

}  // namespace

Core::Status RichHtmlDocument::produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback&) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, {});
    OMBRIX_RETURN_VAL_IF_NULL(cfg, {});
    const auto& database = *meta_database;
    const SchemaDiagram diagram = SchemaDiagram::of(database);
    std::string picture;
    if (!diagram.nodes().empty()) {
        auto rendered = diagram.render("svg", true);
        OMBRIX_RETURN_IF_ERROR(rendered);
        picture = inline_svg(*rendered);
    }
    const Catalogue catalogue = catalogue_of(database);
    auto sink = open_sink(filename);
    OMBRIX_RETURN_IF_ERROR(sink);

    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                      "style-src 'unsafe-inline'; img-src data:; script-src " +
                      script_hash() +
                      "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<link rel=\"icon\" href=\"data:,\">\n<title>" +
                      h(cfg->title) + "</title>\n<style>" + std::string(kStyle) + "</style></head>\n<body>\n<header><h1>" +
                      h(cfg->title) + "</h1>\n<p>Database: " + h(database.get_name());
    if (!cfg->data_version.empty()) out += " · Version: " + h(cfg->data_version);
    out += "</p>\n";
    if (!cfg->description.empty()) out += "<p>" + h(cfg->description) + "</p>\n";
    out += "</header>\n<div class=\"layout\">\n<nav id=\"contents\"><input id=\"filter\" type=\"search\" "
           "placeholder=\"Filter\" aria-label=\"Filter the contents\">\n<ul>\n";
    const auto entry = [&](const std::string& schema, const std::string& name, const std::string& anchor,
                           std::string_view kind, std::string_view suffix) {
        const std::string full = schema + "." + name + std::string(suffix);
        out += "<li class=\"entry\" data-name=\"" + h(full) + "\"><a href=\"#" + anchor + "\">" + h(full) +
               "</a> <span class=\"kind\">" + std::string(kind) + "</span></li>\n";
    };
    each_object(
        database,
        [&](const std::string& schema, const MetaTable& t, std::size_t) {
            entry(schema, t.get_name(), SchemaDiagram::anchor(schema, t.get_name()), "table", "");
        },
        [&](const std::string& schema, const MetaModel::MetaView& v, std::size_t) {
            entry(schema, v.get_name(), SchemaDiagram::anchor(schema, v.get_name()), "view", "");
        },
        [&](const std::string& schema, const MetaModel::MetaFunction& r, bool function) {
            entry(schema, r.get_name(), routine_anchor(schema, r.get_name(), function), function ? "function" : "procedure",
                  "()");
        });
    out += "</ul></nav>\n<main>\n";
    if (!picture.empty())
        out += "<figure id=\"diagram\">" + picture +
               "<figcaption>Each box links to its table; the legend explains the marks.</figcaption></figure>\n";
    OMBRIX_RETURN_IF_ERROR((*sink)->write(out));

    const HtmlWriter writer(diagram, catalogue);
    Core::Status written;
    each_object(
        database,
        [&](const std::string& schema, const MetaTable& t, std::size_t node) {
            if (!written) return;
            out.clear();
            writer.table_section(out, schema, t, node);
            written = (*sink)->write(out);
        },
        [&](const std::string& schema, const MetaModel::MetaView& v, std::size_t node) {
            if (!written) return;
            out.clear();
            writer.view_section(out, schema, v, node);
            written = (*sink)->write(out);
        },
        [&](const std::string& schema, const MetaModel::MetaFunction& r, bool function) {
            if (!written) return;
            out.clear();
            writer.routine_section(out, schema, r, function);
            written = (*sink)->write(out);
        });
    OMBRIX_RETURN_IF_ERROR(written);
    out = "</main></div>\n<script>" + std::string(kScript) + "</script>\n</body></html>\n";
    OMBRIX_RETURN_IF_ERROR((*sink)->write(out));
    return (*sink)->close();
}

Core::Status RichMarkdownDocument::produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                           std::string_view filename, const Contracts::Data::Configuration* cfg,
                                           const Contracts::Data::ProgressCallback&) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, {});
    OMBRIX_RETURN_VAL_IF_NULL(cfg, {});
    const auto& database = *meta_database;
    const SchemaDiagram diagram = SchemaDiagram::of(database);
    const Catalogue catalogue = catalogue_of(database);
    auto sink = open_sink(filename);
    OMBRIX_RETURN_IF_ERROR(sink);

    const auto link = [&](const std::string& schema, const std::string& name) {
        const std::string text = md(schema + "." + name);
        if (!catalogue.documented.contains({schema, name})) return text;
        return "[" + text + "](#" + SchemaDiagram::anchor(schema, name) + ")";
    };
    std::string out = "# " + md(cfg->title) + "\n\n**Database:** " + md(database.get_name()) + "  \n";
    if (!cfg->data_version.empty()) out += "**Version:** " + md(cfg->data_version) + "  \n";
    if (!cfg->description.empty()) out += "**Description:** " + md(cfg->description) + "\n";
    out += "\n## Contents\n\n";
    each_object(
        database,
        [&](const std::string& schema, const MetaTable& t, std::size_t) {
            out += "- " + link(schema, t.get_name()) + " (table)\n";
        },
        [&](const std::string& schema, const MetaModel::MetaView& v, std::size_t) {
            out += "- " + link(schema, v.get_name()) + " (view)\n";
        },
        [&](const std::string& schema, const MetaModel::MetaFunction& r, bool function) {
            out += "- [" + md(schema + "." + r.get_name()) + "()](#" + routine_anchor(schema, r.get_name(), function) +
                   ") (" + (function ? "function" : "procedure") + ")\n";
        });
    if (!diagram.nodes().empty()) out += "\n## Diagram\n\n```mermaid\n" + diagram.to_mermaid() + "```\n";
    OMBRIX_RETURN_IF_ERROR((*sink)->write(out));

    const auto referenced_by = [&](std::string& text, const std::string& schema, const std::string& name) {
        const auto found = catalogue.referenced_by.find({schema, name});
        if (found != catalogue.referenced_by.end()) {
            text += "\n**Referenced by**\n\n| Table | Foreign key | Columns | Referenced columns |\n| --- | --- | --- | --- |\n";
            for (const auto& use : found->second)
                text += "| " + link(use.holder->get_schema().empty() ? schema : use.holder->get_schema(),
                                    use.holder->get_name()) +
                        " | " + md(use.key->get_name()) + " | " + md(use.key->get_local_columns()) + " | " +
                        md(use.key->get_refer_columns()) + " |\n";
        }
        const auto readers = catalogue.read_by.find({schema, name});
        if (readers != catalogue.read_by.end()) {
            text += "\n**Read by views:** ";
            for (std::size_t i = 0; i < readers->second.size(); ++i)
                text += (i ? ", " : "") + link(readers->second[i].first, readers->second[i].second);
            text += "\n";
        }
    };
    // A fenced block long enough that no run of backquotes inside can close it.
    const auto fenced = [](const std::string& body) {
        std::size_t longest = 0, run = 0;
        for (const char c : body) {
            run = c == '`' ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
        return fence + "sql\n" + body + "\n" + fence + "\n";
    };
    Core::Status written;
    each_object(
        database,
        [&](const std::string& schema, const MetaTable& t, std::size_t) {
            if (!written) return;
            out = "\n<a id=\"" + SchemaDiagram::anchor(schema, t.get_name()) + "\"></a>\n\n## Table " +
                  md(schema + "." + t.get_name()) + "\n\n";
            if (!t.get_comment().empty()) out += md(t.get_comment()) + "\n\n";
            out += "| # | Name | Type | Null | Default | Extra | Comment |\n| ---: | --- | --- | --- | --- | --- | --- |\n";
            for (const auto& column : *t.get_columns())
                if (column)
                    out += "| " + std::to_string(column->get_ordinal()) + " | " + md(column->get_name()) +
                           (column->get_is_primary_key() ? " (PK)" : "") + " | " + md(Database::MariaDBBuilder::column_type(*column)) + " | " +
                           (column->get_not_null() || column->get_is_primary_key() ? "NOT NULL" : "NULL") + " | " +
                           md(column->get_default_value()) + " | " + md(extra_of(*column)) + " | " +
                           md(column->get_comment()) + " |\n";
            std::string indexes;
            if (const std::string primary = primary_key_of(t); !primary.empty())
                indexes += "| PRIMARY | PRIMARY KEY | " + md(primary) + " |\n";
            for (const auto& index : *t.get_indexes())
                if (index)
                    indexes += "| " + md(index->get_name()) + " | " +
                               md(index->get_kind().empty() ? "INDEX" : index->get_kind()) + " | " +
                               md(joined_parts(index->get_columns())) + " |\n";
            if (!indexes.empty()) out += "\n**Keys and indexes**\n\n| Name | Kind | Columns |\n| --- | --- | --- |\n" + indexes;
            std::string checks, references;
            for (const auto& constraint : *t.get_constraints()) {
                if (auto check = std::dynamic_pointer_cast<MetaModel::MetaCheck>(constraint))
                    checks += "| " + md(check->get_name()) + " | " + md(check->get_check()) + " |\n";
                else if (auto key = std::dynamic_pointer_cast<MetaModel::MetaForeignKey>(constraint))
                    references += "| " + md(key->get_name()) + " | " + md(key->get_local_columns()) + " | " +
                                  link(key->get_refer_schema().empty() ? schema : key->get_refer_schema(),
                                       key->get_refer_table()) +
                                  " (" + md(key->get_refer_columns()) + ") | " + md(key->get_delete_action()) + " | " +
                                  md(key->get_update_action()) + " |\n";
            }
            if (!checks.empty()) out += "\n**Checks**\n\n| Name | Condition |\n| --- | --- |\n" + checks;
            if (!references.empty())
                out += "\n**References**\n\n| Foreign key | Columns | Referenced | On delete | On update |\n"
                       "| --- | --- | --- | --- | --- |\n" +
                       references;
            referenced_by(out, schema, t.get_name());
            for (const auto& trigger : *t.get_triggers())
                if (trigger)
                    out += "\n**Trigger " + md(trigger->get_name()) + "** (" +
                           md(trigger->get_timing() + " " + trigger->get_event()) + ")\n\n" + fenced(trigger->get_body());
            written = (*sink)->write(out);
        },
        [&](const std::string& schema, const MetaModel::MetaView& v, std::size_t) {
            if (!written) return;
            out = "\n<a id=\"" + SchemaDiagram::anchor(schema, v.get_name()) + "\"></a>\n\n## View " +
                  md(schema + "." + v.get_name()) + "\n\n";
            if (!v.get_comment().empty()) out += md(v.get_comment()) + "\n\n";
            const auto reads = SchemaDiagram::view_reads(v.get_definition(), schema);
            if (!reads.empty()) {
                out += "**Reads:** ";
                for (std::size_t i = 0; i < reads.size(); ++i) out += (i ? ", " : "") + link(reads[i].first, reads[i].second);
                out += "\n\n";
            }
            out += fenced(v.get_definition());
            referenced_by(out, schema, v.get_name());
            written = (*sink)->write(out);
        },
        [&](const std::string& schema, const MetaModel::MetaFunction& r, bool function) {
            if (!written) return;
            out = "\n<a id=\"" + routine_anchor(schema, r.get_name(), function) + "\"></a>\n\n## " +
                  (function ? "Function " : "Procedure ") + md(schema + "." + r.get_name()) + "\n\n";
            if (!r.get_comment().empty()) out += md(r.get_comment()) + "\n\n";
            out += "Parameters: " + md(joined_parts(r.get_parameters())) + "\n";
            if (function) out += "Returns: " + md(r.get_return_type()) + "\n";
            out += "\n" + fenced(r.get_body());
            written = (*sink)->write(out);
        });
    OMBRIX_RETURN_IF_ERROR(written);
    return (*sink)->close();
}

OMBRIX_DEFINE_TYPE(RichHtmlDocument, "OmbrixSolvaneSupportsDataDocumentsRichHtmlDocument");
OMBRIX_DEFINE_TYPE(RichMarkdownDocument, "OmbrixSolvaneSupportsDataDocumentsRichMarkdownDocument");

}  // namespace Ombrix::Solvane::Supports::Data::Documents
