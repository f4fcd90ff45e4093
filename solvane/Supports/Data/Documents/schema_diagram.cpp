#include "solvane/Supports/Data/Documents/schema_diagram.hpp"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <glib.h>
#include <gvc.h>
#include <gvplugin.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "providers/Core/text.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents {

namespace {

// A column list as the model keeps it: names joined by ",", each bare or in backticks.
std::vector<std::string> diagram_column_list(std::string_view text) {
    std::vector<std::string> names;
    std::size_t i = 0;
    while (i < text.size()) {
        std::string name;
        if (text[i] == '`') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == '`') {
                    if (i + 1 < text.size() && text[i + 1] == '`') {
                        name += '`';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    name += text[i];
                }
            }
            while (i < text.size() && text[i] != ',') ++i;
        } else {
            const std::size_t end = std::min(text.find(',', i), text.size());
            name.assign(text.substr(i, end - i));
            i = end;
        }
        names.push_back(std::move(name));
        if (i < text.size() && text[i] == ',') ++i;
    }
    return names;
}

// The column of an index key part ("name(10) DESC"), empty when the part keys only a prefix of it.
std::string diagram_key_column(std::string part) {
    if (part.size() > 5 && part.ends_with(" DESC")) part.resize(part.size() - 5);
    if (!part.empty() && part.back() == ')') {
        const std::size_t open = part.rfind('(');
        if (open != std::string::npos && open > 0 &&
            std::all_of(part.begin() + static_cast<std::ptrdiff_t>(open) + 1, part.end() - 1,
                        [](unsigned char c) { return std::isdigit(c); }))
            return {};
    }
    return part;
}

constexpr auto xml_escaped = &Extractors::HtmlExtractor::escaped;

// Text inside an HTML-like label of the layout library: entities for the markup characters, and
// no control character (the library's parser refuses them).
std::string label_escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                out += ' ';
            else
                out += c;
        }
    }
    return out;
}

// A double-quoted string of the graph language; the library reads "\" escapes in some attributes.
std::string dot_quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            out += ' ';
        else
            out += c;
    }
    out += '"';
    return out;
}

std::string marks_of(const DiagramColumn& column) {
    std::string marks;
    const auto add = [&](std::string_view mark) {
        if (!marks.empty()) marks += ' ';
        marks += mark;
    };
    if (column.primary) add("PK");
    if (column.foreign) add("FK");
    if (column.unique && !column.primary) add("U");
    if (column.not_null && !column.primary) add("NN");
    return marks;
}

// A word the Mermaid grammar takes as an attribute's type or name: letters, digits, "_", "-",
// parentheses and brackets, not starting with a digit or "-".
std::string mermaid_word(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (std::isalnum(u) && u < 0x80) || c == '_' || c == '-' || c == '(' || c == ')' || c == '[' || c == ']'
                   ? c
                   : '_';
    }
    if (out.empty() || !(std::isalpha(static_cast<unsigned char>(out[0])) || out[0] == '_')) out.insert(0, "_");
    return out;
}

// A Mermaid quoted string: it ends at the next double quote, which therefore becomes a single one;
// angle brackets become their single-quotation look-alikes, so that no viewer takes a label for
// markup.
std::string mermaid_quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '\'';
        else if (c == '<')
            out += "\u2039";
        else if (c == '>')
            out += "\u203A";
        else
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    out += '"';
    return out;
}

constexpr std::size_t kShownColumns = 60;

// Layout and rendering share the library's global state: one context, one caller at a time.
std::mutex& layout_lock() {
    static std::mutex lock;
    return lock;
}

std::string& layout_errors() {
    static std::string errors;
    return errors;
}

int collect_layout_error(char* message) {
    layout_errors() += message;
    return 0;
}

// The plugins an SVG needs: the layout engines and the core renderers. Without a text-layout
// plugin the library measures text by its built-in font metrics, several times faster than asking
// the system's fonts. The diagrams are lettered in a monospaced face, whose every glyph is 0.6 em
// wide in the metrics and in the monospaced font of any system, so the texts fit their boxes in
// whatever browser shows the SVG.
GVC_t* svg_context() {
    static GVC_t* context = []() -> GVC_t* {
        agseterrf(collect_layout_error);
        agseterr(AGERR);
        std::string directory;
        if (const char* set = g_getenv("GVBINDIR")) {
            directory = set;
        } else {
            Dl_info info{};
            if (dladdr(reinterpret_cast<void*>(&gvContext), &info) == 0 || !info.dli_fname) return nullptr;
            gchar* libdir = g_path_get_dirname(info.dli_fname);
            directory = std::string(libdir) + "/graphviz";
            g_free(libdir);
        }
        std::vector<gvplugin_library_t*> libraries;
        for (const char* name : {"core", "dot_layout", "neato_layout"}) {
            const std::string file = directory + "/libgvplugin_" + name + ".so.6";
            void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) return nullptr;
            auto* library = static_cast<gvplugin_library_t*>(dlsym(handle, (std::string("gvplugin_") + name + "_LTX_library").c_str()));
            if (!library) return nullptr;
            libraries.push_back(library);
        }
        static const lt_symlist_t none[] = {{nullptr, nullptr}};
        GVC_t* made = gvContextPlugins(none, 0);
        for (auto* library : libraries) gvAddLibrary(made, library);
        return made;
    }();
    return context;
}

// Every plugin the system has, for the raster and page formats (drawn with the system's fonts).
GVC_t* full_context() {
    static GVC_t* context = [] {
        agseterrf(collect_layout_error);
        agseterr(AGERR);
        return gvContext();
    }();
    return context;
}

// SQL words after which a name in a FROM list is no alias.
bool ends_table_reference(std::string_view upper) {
    static const std::set<std::string_view> words = {
        "WHERE", "JOIN", "ON", "USING", "GROUP", "ORDER", "LIMIT", "LEFT", "RIGHT", "INNER", "CROSS", "NATURAL",
        "STRAIGHT_JOIN", "UNION", "EXCEPT", "INTERSECT", "HAVING", "WINDOW", "FOR", "LOCK", "INTO", "PROCEDURE",
        "FULL", "OUTER", "AS", "OFFSET", "FETCH", "RETURNING", "USE", "IGNORE", "FORCE", "PARTITION"};
    return words.contains(upper);
}

struct SqlToken {
    std::string text;
    bool identifier = false;  // a word or a quoted name
    bool quoted = false;
};

std::vector<SqlToken> sql_tokens(std::string_view sql) {
    std::vector<SqlToken> tokens;
    std::size_t i = 0;
    const auto word_char = [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; };
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '#' || (c == '-' && sql.substr(i, 3) == "-- ")) {
            while (i < sql.size() && sql[i] != '\n') ++i;
        } else if (c == '/' && sql.substr(i, 2) == "/*") {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (c == '\'' || c == '"') {
            for (++i; i < sql.size(); ++i) {
                if (sql[i] == '\\') {
                    ++i;
                } else if (sql[i] == c) {
                    if (i + 1 < sql.size() && sql[i + 1] == c)
                        ++i;
                    else
                        break;
                }
            }
            ++i;
            tokens.push_back({"'", false, false});
        } else if (c == '`') {
            std::string name;
            for (++i; i < sql.size(); ++i) {
                if (sql[i] == '`') {
                    if (i + 1 < sql.size() && sql[i + 1] == '`')
                        ++i;
                    else
                        break;
                }
                name += sql[i];
            }
            ++i;
            tokens.push_back({std::move(name), true, true});
        } else if (word_char(static_cast<unsigned char>(c))) {
            const std::size_t start = i;
            while (i < sql.size() && word_char(static_cast<unsigned char>(sql[i]))) ++i;
            tokens.push_back({std::string(sql.substr(start, i - start)), true, false});
        } else {
            tokens.push_back({std::string(1, c), false, false});
            ++i;
        }
    }
    return tokens;
}

}  // namespace

std::string SchemaDiagram::anchor(std::string_view schema, std::string_view name) {
    std::string out = "o-";
    const auto add = [&](std::string_view text) {
        static constexpr char kHex[] = "0123456789abcdef";
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if ((std::isalnum(u) && u < 0x80) || c == '-' || c == '_') {
                out += c;
            } else {
                out += '.';
                out += kHex[u >> 4];
                out += kHex[u & 15];
            }
        }
    };
    add(schema);
    out += "..";
    add(name);
    return out;
}

std::vector<std::pair<std::string, std::string>> SchemaDiagram::view_reads(std::string_view definition,
                                                                           std::string_view schema) {
    const auto tokens = sql_tokens(definition);
    std::vector<std::pair<std::string, std::string>> reads;
    const auto upper = [&](std::size_t i) {
        return i < tokens.size() && !tokens[i].quoted ? Core::ascii_upper(tokens[i].text) : std::string();
    };
    // One table reference from token `i` on; returns the token after it and its alias.
    const auto reference = [&](std::size_t i) -> std::size_t {
        while (i < tokens.size() && tokens[i].text == "(" && !tokens[i].quoted) ++i;
        if (i >= tokens.size() || !tokens[i].identifier) return i;
        const std::string first = upper(i);
        if (first == "SELECT" || first == "WITH" || first == "VALUES" || first == "LATERAL") return i;
        std::string owner(schema);
        std::string name = tokens[i].text;
        ++i;
        if (i + 1 < tokens.size() && tokens[i].text == "." && !tokens[i].quoted && tokens[i + 1].identifier) {
            owner = name;
            name = tokens[i + 1].text;
            i += 2;
        }
        if (i < tokens.size() && tokens[i].text == "(" && !tokens[i].quoted) return i;  // a table function
        const std::pair<std::string, std::string> read{owner, name};
        if (std::find(reads.begin(), reads.end(), read) == reads.end()) reads.push_back(read);
        if (upper(i) == "AS") ++i;
        if (i < tokens.size() && tokens[i].identifier && (tokens[i].quoted || !ends_table_reference(upper(i)))) ++i;
        return i;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string word = upper(i);
        if (word != "FROM" && word != "JOIN" && word != "STRAIGHT_JOIN") continue;
        std::size_t next = reference(i + 1);
        while (next < tokens.size() && tokens[next].text == "," && !tokens[next].quoted) next = reference(next + 1);
        i = next > i ? next - 1 : i;
    }
    return reads;
}

SchemaDiagram SchemaDiagram::of(const MetaModel::MetaDatabase& database) {
    SchemaDiagram diagram;
    std::map<std::pair<std::string, std::string>, std::size_t> index;
    struct Pending {
        std::size_t from;
        std::shared_ptr<MetaModel::MetaForeignKey> key;
    };
    std::vector<Pending> keys;
    std::vector<std::pair<std::size_t, std::string>> views;
    const auto& schemas = database.get_schemas()->items();
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables()) {
            if (!table) continue;
            DiagramNode node{table->get_schema().empty() ? schema->get_name() : table->get_schema(), table->get_name(),
                             table->get_comment(), false, {}};
            std::set<std::string> foreign;
            for (const auto& constraint : *table->get_constraints())
                if (auto key = std::dynamic_pointer_cast<MetaModel::MetaForeignKey>(constraint)) {
                    for (auto& column : diagram_column_list(key->get_local_columns())) foreign.insert(column);
                    keys.push_back({diagram.m_nodes.size(), key});
                }
            std::set<std::string> unique;
            for (const auto& idx : *table->get_indexes())
                if (idx && idx->get_kind() == "UNIQUE" && idx->get_columns().size() == 1)
                    unique.insert(diagram_key_column(idx->get_columns().front()));
            for (const auto& column : *table->get_columns()) {
                if (!column) continue;
                node.columns.push_back({column->get_name(), Database::MariaDBBuilder::column_type(*column), column->get_is_primary_key(),
                                        foreign.contains(column->get_name()), unique.contains(column->get_name()),
                                        column->get_not_null() || column->get_is_primary_key()});
            }
            index[{node.schema, node.name}] = diagram.m_nodes.size();
            diagram.m_nodes.push_back(std::move(node));
        }
        for (const auto& view : *schema->get_views()) {
            if (!view) continue;
            DiagramNode node{view->get_schema().empty() ? schema->get_name() : view->get_schema(), view->get_name(),
                             view->get_comment(), true, {}};
            if (view->get_columns())
                for (const auto& column : *view->get_columns())
                    if (column)
                        node.columns.push_back({column->get_name(), Database::MariaDBBuilder::column_type(*column), false, false, false,
                                                column->get_not_null()});
            views.emplace_back(diagram.m_nodes.size(), view->get_definition());
            index[{node.schema, node.name}] = diagram.m_nodes.size();
            diagram.m_nodes.push_back(std::move(node));
        }
    }
    // Which column sets are keys of their table (the primary key, or a unique key over whole
    // columns): a foreign key over one reaches one row per row.
    const auto is_key = [&](std::size_t node, const std::vector<std::string>& columns) {
        const auto& holder = diagram.m_nodes[node];
        std::set<std::string> wanted(columns.begin(), columns.end());
        std::set<std::string> primary;
        for (const auto& column : holder.columns)
            if (column.primary) primary.insert(column.name);
        return !primary.empty() && primary == wanted;
    };
    std::map<std::size_t, std::vector<std::set<std::string>>> unique_sets;
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables()) {
            if (!table) continue;
            const auto found = index.find({table->get_schema().empty() ? schema->get_name() : table->get_schema(),
                                           table->get_name()});
            if (found == index.end()) continue;
            for (const auto& idx : *table->get_indexes()) {
                if (!idx || idx->get_kind() != "UNIQUE") continue;
                std::set<std::string> set;
                bool whole = true;
                for (const auto& part : idx->get_columns()) {
                    auto column = diagram_key_column(part);
                    if (column.empty()) whole = false;
                    set.insert(std::move(column));
                }
                if (whole) unique_sets[found->second].push_back(std::move(set));
            }
        }
    }
    for (const auto& [from, key] : keys) {
        const std::string refer_schema = key->get_refer_schema().empty() ? diagram.m_nodes[from].schema
                                                                          : key->get_refer_schema();
        const auto target = index.find({refer_schema, key->get_refer_table()});
        if (target == index.end()) continue;
        DiagramEdge edge;
        edge.from = from;
        edge.to = target->second;
        edge.name = key->get_name();
        edge.from_columns = diagram_column_list(key->get_local_columns());
        edge.to_columns = diagram_column_list(key->get_refer_columns());
        for (const auto& name : edge.from_columns)
            for (const auto& column : diagram.m_nodes[from].columns)
                if (column.name == name && !column.not_null) edge.optional = true;
        edge.one = is_key(from, edge.from_columns);
        if (!edge.one) {
            const std::set<std::string> wanted(edge.from_columns.begin(), edge.from_columns.end());
            for (const auto& set : unique_sets[from])
                if (set == wanted) edge.one = true;
        }
        diagram.m_edges.push_back(std::move(edge));
    }
    for (const auto& [from, definition] : views) {
        for (const auto& [schema, name] : view_reads(definition, diagram.m_nodes[from].schema)) {
            const auto target = index.find({schema, name});
            if (target == index.end() || target->second == from) continue;
            DiagramEdge edge;
            edge.from = from;
            edge.to = target->second;
            edge.reads = true;
            diagram.m_edges.push_back(std::move(edge));
        }
    }
    for (std::size_t n = 0; n < diagram.m_nodes.size(); ++n) diagram.m_nodes[n].number = n + 1;
    for (std::size_t e = 0; e < diagram.m_edges.size(); ++e) diagram.m_edges[e].number = e + 1;
    return diagram;
}

std::size_t SchemaDiagram::find(std::string_view name) const {
    for (std::size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].name == name || m_nodes[i].schema + "." + m_nodes[i].name == name) return i;
    return m_nodes.size();
}

SchemaDiagram SchemaDiagram::subset(const std::vector<bool>& keep) const {
    SchemaDiagram out;
    std::vector<std::size_t> renumbered(m_nodes.size(), m_nodes.size());
    for (std::size_t i = 0; i < m_nodes.size(); ++i)
        if (keep[i]) {
            renumbered[i] = out.m_nodes.size();
            out.m_nodes.push_back(m_nodes[i]);
        }
    for (const auto& edge : m_edges)
        if (keep[edge.from] && keep[edge.to]) {
            auto copy = edge;
            copy.from = renumbered[edge.from];
            copy.to = renumbered[edge.to];
            out.m_edges.push_back(std::move(copy));
        }
    return out;
}

Core::Result<SchemaDiagram> SchemaDiagram::only(const std::vector<std::string>& names) const {
    std::vector<bool> keep(m_nodes.size(), false);
    for (const auto& name : names) {
        const std::size_t i = find(name);
        if (i == m_nodes.size()) return Core::fail("default", -1, "no table or view named '" + name + "'");
        keep[i] = true;
    }
    return subset(keep);
}

Core::Result<SchemaDiagram> SchemaDiagram::around(std::string_view name, unsigned depth) const {
    const std::size_t start = find(name);
    if (start == m_nodes.size()) return Core::fail("default", -1, "no table or view named '" + std::string(name) + "'");
    std::vector<bool> keep(m_nodes.size(), false);
    keep[start] = true;
    std::vector<std::size_t> frontier{start};
    for (unsigned level = 0; level < depth && !frontier.empty(); ++level) {
        std::vector<std::size_t> next;
        for (const auto& edge : m_edges)
            for (const std::size_t at : frontier) {
                const std::size_t other = edge.from == at ? edge.to : edge.to == at ? edge.from : m_nodes.size();
                if (other < m_nodes.size() && !keep[other]) {
                    keep[other] = true;
                    next.push_back(other);
                }
            }
        frontier = std::move(next);
    }
    return subset(keep);
}

std::vector<std::vector<std::size_t>> SchemaDiagram::components() const {
    std::vector<std::size_t> parent(m_nodes.size());
    for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = i;
    const auto root = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (const auto& edge : m_edges) parent[root(edge.from)] = root(edge.to);
    std::map<std::size_t, std::size_t> group;
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        const auto [at, added] = group.try_emplace(root(i), groups.size());
        if (added) groups.emplace_back();
        groups[at->second].push_back(i);
    }
    return groups;
}

std::string SchemaDiagram::engine() const {
    for (const auto& group : components())
        if (group.size() > kLayeredLimit) return "sfdp";
    return "dot";
}

std::string SchemaDiagram::to_dot(bool links) const { return dot_text(links, engine(), true); }

std::string SchemaDiagram::dot_text(bool links, const std::string& layout, bool legend) const {
    std::string out = "digraph schema {\n";
    out += "  graph [layout=" + layout +
           ", rankdir=LR, pack=true, nodesep=0.3, ranksep=0.7, fontname=\"Courier\", fontsize=10, labelloc=b, "
           "labeljust=l";
    if (layout != "dot") out += ", overlap=prism, splines=line";
    if (legend)
        out += ",\n    label=<<TABLE BORDER=\"1\" COLOR=\"#999999\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"2\">"
           "<TR><TD ALIGN=\"LEFT\"><B>Legend</B></TD></TR>"
           "<TR><TD ALIGN=\"LEFT\">PK primary key, FK foreign key, U unique, NN not null</TD></TR>"
           "<TR><TD ALIGN=\"LEFT\">Line ends: bar = one, circle = optional, crow's foot = many</TD></TR>"
           "<TR><TD ALIGN=\"LEFT\">Dashed box: view; dashed line: an object the view reads</TD></TR>"
           "</TABLE>>";
    out += "];\n";
    out += "  node [shape=plain, fontname=\"Courier\", fontsize=10];\n";
    out += "  edge [dir=both, arrowsize=0.8, color=\"#556677\", fontname=\"Courier\", fontsize=8];\n";
    // The row of each column that takes part in an edge gets ports: "iN" on its left cell, "oN" on
    // its right one.
    std::vector<std::map<std::string, std::size_t>> ports(m_nodes.size());
    for (std::size_t n = 0; n < m_nodes.size(); ++n)
        for (std::size_t c = 0; c < m_nodes[n].columns.size() && c < kShownColumns; ++c)
            ports[n].try_emplace(m_nodes[n].columns[c].name, c + 1);
    for (std::size_t n = 0; n < m_nodes.size(); ++n) {
        const auto& node = m_nodes[n];
        const std::string title = node.schema + "." + node.name;
        out += "  n" + std::to_string(node.number) + " [id=\"n" + std::to_string(node.number) + "\"";
        if (links) out += ", URL=\"#" + anchor(node.schema, node.name) + "\"";
        out += ", tooltip=" + dot_quoted(title);
        if (node.view) out += ", shape=box, style=\"dashed,rounded\", color=\"#556677\", margin=0";
        out += ", label=<<TABLE BORDER=\"";
        out += node.view ? "0" : "1";
        // A painted background makes the whole box, not only its texts, the link a click follows.
        out += "\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"3\" COLOR=\"#556677\" BGCOLOR=\"white\">";
        out += "<TR><TD COLSPAN=\"3\" BGCOLOR=\"";
        out += node.view ? "#D8E2E8" : "#7799AA";
        out += "\"><FONT COLOR=\"";
        out += node.view ? "#223344" : "white";
        out += "\"><B>" + label_escaped(node.name) + "</B></FONT></TD></TR>";
        for (std::size_t c = 0; c < node.columns.size() && c < kShownColumns; ++c) {
            const auto& column = node.columns[c];
            const std::string port = std::to_string(c + 1);
            // The label language refuses an empty FONT element.
            const std::string marks = marks_of(column);
            out += "<TR><TD PORT=\"i" + port + "\" ALIGN=\"LEFT\">";
            if (!marks.empty()) out += "<FONT COLOR=\"#AA5500\">" + marks + "</FONT>";
            out += "</TD><TD ALIGN=\"LEFT\">";
            out += column.primary ? "<U>" + label_escaped(column.name) + "</U>" : label_escaped(column.name);
            out += "</TD><TD PORT=\"o" + port + "\" ALIGN=\"LEFT\">";
            if (!column.type.empty()) out += "<FONT COLOR=\"#667788\">" + label_escaped(column.type) + "</FONT>";
            out += "</TD></TR>";
        }
        if (node.columns.size() > kShownColumns)
            out += "<TR><TD COLSPAN=\"3\" ALIGN=\"LEFT\"><I>" +
                   std::to_string(node.columns.size() - kShownColumns) + " more columns</I></TD></TR>";
        if (node.columns.empty()) out += "<TR><TD COLSPAN=\"3\"> </TD></TR>";
        out += "</TABLE>>];\n";
    }
    for (std::size_t e = 0; e < m_edges.size(); ++e) {
        const auto& edge = m_edges[e];
        const auto port = [&](std::size_t node, const std::vector<std::string>& columns, char side) {
            if (columns.empty()) return std::string();
            const auto found = ports[node].find(columns.front());
            return found == ports[node].end() ? std::string() : ":" + std::string(1, side) + std::to_string(found->second);
        };
        out += "  n" + std::to_string(m_nodes[edge.from].number) + port(edge.from, edge.from_columns, 'o') + " -> n" +
               std::to_string(m_nodes[edge.to].number) + port(edge.to, edge.to_columns, 'i') + " [id=\"e" +
               std::to_string(edge.number) +
               "\"";
        if (edge.reads) {
            out += ", style=dashed, dir=forward, arrowhead=vee, tooltip=" +
                   dot_quoted(m_nodes[edge.from].name + " reads " + m_nodes[edge.to].name);
        } else {
            // The holder's end says how many of its rows reach one referenced row (always maybe
            // none); the referenced end says whether every holder row reaches one.
            out += ", arrowtail=";
            out += edge.one ? "teeodot" : "crowodot";
            out += ", arrowhead=";
            out += edge.optional ? "teeodot" : "teetee";
            out += ", tooltip=" + dot_quoted(edge.name);
        }
        out += "];\n";
    }
    out += "}\n";
    return out;
}

std::string SchemaDiagram::to_mermaid() const {
    std::string out = "erDiagram\n";
    for (std::size_t n = 0; n < m_nodes.size(); ++n) {
        const auto& node = m_nodes[n];
        out += "    e" + std::to_string(n + 1) + "[" + mermaid_quoted(node.schema + "." + node.name) + "]";
        if (node.columns.empty()) {
            out += "\n";
            continue;
        }
        out += " {\n";
        for (const auto& column : node.columns) {
            // A type the grammar cannot hold shows by its leading word; the comment has it whole.
            std::string type = mermaid_word(column.type.empty() ? "-" : column.type);
            if (type != column.type) {
                const std::size_t word = column.type.find_first_not_of(
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
                if (word > 0 && word != std::string::npos) type = mermaid_word(column.type.substr(0, word));
            }
            const std::string name = mermaid_word(column.name);
            out += "        " + type + " " + name;
            std::string keys;
            if (column.primary) keys = "PK";
            if (column.foreign) keys += keys.empty() ? "FK" : ", FK";
            if (column.unique && !column.primary) keys += keys.empty() ? "UK" : ", UK";
            if (!keys.empty()) out += " " + keys;
            std::string note;
            if (name != column.name || type != column.type) note = column.name + " " + column.type;
            if (column.not_null && !column.primary) note += note.empty() ? "not null" : ", not null";
            if (!note.empty()) out += " " + mermaid_quoted(note);
            out += "\n";
        }
        out += "    }\n";
    }
    for (const auto& edge : m_edges) {
        out += "    e" + std::to_string(edge.from + 1) + " ";
        if (edge.reads)
            out += "}o..o{";
        else {
            out += edge.one ? "|o" : "}o";
            out += "--";
            out += edge.optional ? "o|" : "||";
        }
        out += " e" + std::to_string(edge.to + 1) + " : " + mermaid_quoted(edge.reads ? "reads" : edge.name) + "\n";
    }
    return out;
}

namespace {

// Lays out and renders graph text; the caller holds the layout lock (or is the child that does
// nothing else).
Core::Result<std::string> render_text(const std::string& text, const std::string& layout, std::string_view format) {
    GVC_t* context = format == "svg" ? svg_context() : nullptr;
    if (!context) context = full_context();
    layout_errors().clear();
    Agraph_t* graph = agmemread(text.c_str());
    if (!graph) return Core::fail("default", -1, "the diagram could not be read: " + layout_errors());
    if (gvLayout(context, graph, layout.c_str()) != 0) {
        agclose(graph);
        return Core::fail("default", -1, "the diagram could not be laid out: " + layout_errors());
    }
    char* data = nullptr;
    unsigned int length = 0;
    const std::string renderer(format);
    const int rendered = gvRenderData(context, graph, renderer.c_str(), &data, &length);
    std::string out;
    if (rendered == 0 && data) out.assign(data, length);
    if (data) gvFreeRenderData(data);
    gvFreeLayout(context, graph);
    agclose(graph);
    if (rendered != 0)
        return Core::fail("default", -1, "the diagram could not be written as " + renderer + ": " + layout_errors());
    // The library goes on past a label it cannot read, and draws the box without its contents.
    if (!layout_errors().empty()) return Core::fail("default", -1, "the diagram is not whole: " + layout_errors());
    return out;
}

// The size an SVG of the library declares ("123pt" wide), its view box, and what its root holds.
struct SvgPart {
    double width = 0, height = 0;
    std::string view_box, body;
};

std::optional<SvgPart> svg_part(const std::string& svg) {
    const std::size_t root = svg.find("<svg");
    const std::size_t root_end = root == std::string::npos ? root : svg.find('>', root);
    const std::size_t close = svg.rfind("</svg>");
    if (root_end == std::string::npos || close == std::string::npos || close < root_end) return std::nullopt;
    const std::string tag = svg.substr(root, root_end - root);
    const auto attribute = [&](std::string_view name) -> std::string {
        const std::string key = " " + std::string(name) + "=\"";
        const std::size_t at = tag.find(key);
        if (at == std::string::npos) return {};
        const std::size_t from = at + key.size();
        return tag.substr(from, tag.find('"', from) - from);
    };
    SvgPart part;
    part.width = g_ascii_strtod(attribute("width").c_str(), nullptr);
    part.height = g_ascii_strtod(attribute("height").c_str(), nullptr);
    part.view_box = attribute("viewBox");
    part.body = svg.substr(root_end + 1, close - root_end - 1);
    if (part.width <= 0 || part.height <= 0 || part.view_box.empty()) return std::nullopt;
    return part;
}

std::string points(double value) {
    char text[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(text, sizeof text, "%.2f", value);
}

// One SVG of two: side by side or one above the other, whichever makes the squarer picture.
std::optional<std::string> composed_svg(const std::string& first, const std::string& second) {
    auto a = svg_part(first);
    auto b = svg_part(second);
    if (!a || !b) return std::nullopt;
    // Each part names its graph group alike; the second's gets a name of its own.
    constexpr std::string_view kGraph = "id=\"graph0\"";
    if (const std::size_t at = b->body.find(kGraph); at != std::string::npos)
        b->body.replace(at, kGraph.size(), "id=\"graph1\"");
    const double wide_w = a->width + b->width, wide_h = std::max(a->height, b->height);
    const double tall_w = std::max(a->width, b->width), tall_h = a->height + b->height;
    const bool side = std::max(wide_w, wide_h) <= std::max(tall_w, tall_h);
    const double width = side ? wide_w : tall_w, height = side ? wide_h : tall_h;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"" + points(width) +
                      "pt\" height=\"" + points(height) + "pt\" viewBox=\"0.00 0.00 " + points(width) + " " +
                      points(height) +
                      "\" xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n";
    const auto place = [&](const SvgPart& part, double x, double y) {
        out += "<svg x=\"" + points(x) + "\" y=\"" + points(y) + "\" width=\"" + points(part.width) + "\" height=\"" +
               points(part.height) + "\" viewBox=\"" + part.view_box + "\">" + part.body + "</svg>\n";
    };
    place(*a, 0, 0);
    place(*b, side ? a->width : 0, side ? 0 : a->height);
    out += "</svg>\n";
    return out;
}

}  // namespace

std::vector<bool> SchemaDiagram::half() const {
    constexpr std::size_t kWorthASecondProcess = 200;
    if (m_nodes.size() < kWorthASecondProcess) return {};
    auto groups = components();
    if (groups.size() < 2) return {};
    std::vector<std::size_t> weight(m_nodes.size(), 1);
    for (const auto& edge : m_edges) ++weight[edge.from];
    const auto weigh = [&](const std::vector<std::size_t>& group) {
        std::size_t sum = 0;
        for (const std::size_t n : group) sum += weight[n];
        return sum;
    };
    std::stable_sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) { return weigh(a) > weigh(b); });
    std::vector<bool> second(m_nodes.size(), false);
    std::size_t first_weight = 0, second_weight = 0;
    for (const auto& group : groups) {
        const bool to_second = second_weight < first_weight;
        (to_second ? second_weight : first_weight) += weigh(group);
        if (to_second)
            for (const std::size_t n : group) second[n] = true;
    }
    // A second half too small to matter is not worth a process.
    if (second_weight * 4 < first_weight) return {};
    return second;
}

Core::Result<std::string> SchemaDiagram::render(std::string_view format, bool links) const {
    const std::string layout = engine();
    if (format == "svg") {
        if (const auto second = half(); !second.empty()) {
            std::vector<bool> first(second.size());
            for (std::size_t i = 0; i < second.size(); ++i) first[i] = !second[i];
            const std::string first_text = subset(first).dot_text(links, layout, false);
            const std::string second_text = subset(second).dot_text(links, layout, true);
            std::lock_guard guard(layout_lock());
            int channel[2];
            if (pipe(channel) == 0) {
                const pid_t child = fork();
                if (child == 0) {
                    close(channel[0]);
                    auto drawn = render_text(second_text, layout, format);
                    const std::string reply = drawn ? "0" + *drawn : "1" + drawn.error().message;
                    for (std::size_t at = 0; at < reply.size();) {
                        const ssize_t n = write(channel[1], reply.data() + at, reply.size() - at);
                        if (n <= 0 && errno != EINTR) break;
                        if (n > 0) at += static_cast<std::size_t>(n);
                    }
                    _exit(0);
                }
                close(channel[1]);
                if (child > 0) {
                    auto drawn = render_text(first_text, layout, format);
                    std::string reply;
                    char buffer[65536];
                    for (;;) {
                        const ssize_t n = read(channel[0], buffer, sizeof buffer);
                        if (n > 0)
                            reply.append(buffer, static_cast<std::size_t>(n));
                        else if (n == 0 || errno != EINTR)
                            break;
                    }
                    close(channel[0]);
                    int status = 0;
                    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
                    }
                    if (!drawn) return drawn;
                    if (reply.empty()) return Core::fail("default", -1, "the diagram's second half was not laid out");
                    if (reply[0] != '0') return Core::fail("default", -1, reply.substr(1));
                    if (auto both = composed_svg(*drawn, reply.substr(1))) return *both;
                    return Core::fail("default", -1, "the diagram's halves could not be put together");
                }
                close(channel[0]);
            }
            // No second process: the whole graph here, as below.
            return render_text(to_dot(links), layout, format);
        }
    }
    const std::string text = to_dot(links);
    std::lock_guard guard(layout_lock());
    return render_text(text, layout, format);
}

std::string SchemaDiagram::neighbourhood_svg(std::size_t index) const {
    if (index >= m_nodes.size()) return {};
    constexpr std::size_t kMax = 12;
    constexpr int kHeight = 22, kGap = 8, kFont = 12;
    std::vector<std::pair<std::size_t, const DiagramEdge*>> left, right;
    bool self = false;
    for (const auto& edge : m_edges) {
        if (edge.from == index && edge.to == index) {
            self = true;
            continue;
        }
        if (edge.to == index && std::none_of(left.begin(), left.end(), [&](const auto& p) { return p.first == edge.from; }))
            left.emplace_back(edge.from, &edge);
        if (edge.from == index && std::none_of(right.begin(), right.end(), [&](const auto& p) { return p.first == edge.to; }))
            right.emplace_back(edge.to, &edge);
    }
    const auto shown = [&](std::string_view name) {
        std::string text;
        std::size_t glyphs = 0;
        for (std::size_t i = 0; i < name.size(); ++i) {
            if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++glyphs > 28) {
                text += "\u2026";
                break;
            }
            text += name[i];
        }
        return std::pair{text, std::min<std::size_t>(glyphs, 29)};
    };
    const auto width_of = [](std::size_t glyphs) { return static_cast<int>(glyphs) * 7 + 20; };
    int side_width = 120;
    for (const auto* list : {&left, &right})
        for (std::size_t i = 0; i < list->size() && i < kMax; ++i)
            side_width = std::max(side_width, width_of(shown(m_nodes[(*list)[i].first].name).second));
    const auto [centre_text, centre_glyphs] = shown(m_nodes[index].name);
    const int centre_width = std::max(120, width_of(centre_glyphs));
    const auto rows = [&](std::size_t n) { return static_cast<int>(std::min(n, kMax) + (n > kMax ? 1 : 0)); };
    const int lines = std::max({1, rows(left.size()), rows(right.size())});
    const int height = lines * (kHeight + kGap) + kGap + (self ? 16 : 0);
    const int column_gap = 60;
    const int width = side_width * 2 + centre_width + column_gap * 2 + 2 * kGap;
    const int centre_x = kGap + side_width + column_gap;
    const int centre_y = (height - kHeight) / 2 + (self ? 8 : 0);
    std::string out = "<svg class=\"neighbourhood\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\" role=\"img\" aria-label=\"" +
                      xml_escaped("neighbours of " + m_nodes[index].name) + "\">";
    const auto box = [&](std::size_t node, int x, int y, int w, bool centre) {
        const auto& target = m_nodes[node];
        std::string text = shown(target.name).first;
        out += "<a href=\"#" + anchor(target.schema, target.name) + "\"><title>" +
               xml_escaped(target.schema + "." + target.name) + "</title><rect x=\"" + std::to_string(x) + "\" y=\"" +
               std::to_string(y) + "\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(kHeight) +
               "\" rx=\"3\" fill=\"" + (centre ? "#7799AA" : "#ffffff") + "\" stroke=\"#556677\"" +
               (target.view ? " stroke-dasharray=\"4 3\"" : "") + "/><text x=\"" + std::to_string(x + 10) +
               "\" y=\"" + std::to_string(y + kHeight / 2 + kFont / 2 - 2) + "\" font-size=\"" + std::to_string(kFont) +
               "\" font-family=\"Helvetica, Arial, sans-serif\" fill=\"" + (centre ? "#ffffff" : "#223344") + "\">" +
               xml_escaped(text) + "</text></a>";
    };
    const auto side = [&](const std::vector<std::pair<std::size_t, const DiagramEdge*>>& list, bool on_left) {
        const int count = rows(list.size());
        const int top = (height - count * (kHeight + kGap) + kGap) / 2 + (self ? 8 : 0);
        for (std::size_t i = 0; i < list.size() && i < kMax; ++i) {
            const int y = top + static_cast<int>(i) * (kHeight + kGap);
            const int x = on_left ? kGap : centre_x + centre_width + column_gap;
            const int x1 = on_left ? kGap + side_width : centre_x + centre_width;
            const int x2 = on_left ? centre_x : centre_x + centre_width + column_gap;
            out += "<line x1=\"" + std::to_string(x1) + "\" y1=\"" +
                   std::to_string(on_left ? y + kHeight / 2 : centre_y + kHeight / 2) + "\" x2=\"" + std::to_string(x2) +
                   "\" y2=\"" + std::to_string(on_left ? centre_y + kHeight / 2 : y + kHeight / 2) +
                   "\" stroke=\"#556677\"" + (list[i].second->reads ? " stroke-dasharray=\"4 3\"" : "") + "/>";
            box(list[i].first, x, y, side_width, false);
        }
        if (list.size() > kMax) {
            const int y = top + static_cast<int>(kMax) * (kHeight + kGap);
            out += "<text x=\"" + std::to_string(on_left ? kGap : centre_x + centre_width + column_gap) + "\" y=\"" +
                   std::to_string(y + kHeight / 2 + kFont / 2 - 2) + "\" font-size=\"" + std::to_string(kFont) +
                   "\" font-family=\"Helvetica, Arial, sans-serif\" fill=\"#556677\">and " +
                   std::to_string(list.size() - kMax) + " more</text>";
        }
    };
    side(left, true);
    side(right, false);
    if (self) {
        const int x = centre_x + centre_width / 2;
        out += "<path d=\"M " + std::to_string(x - 20) + " " + std::to_string(centre_y) + " C " + std::to_string(x - 20) +
               " " + std::to_string(centre_y - 18) + " " + std::to_string(x + 20) + " " + std::to_string(centre_y - 18) +
               " " + std::to_string(x + 20) + " " + std::to_string(centre_y) + "\" fill=\"none\" stroke=\"#556677\"/>";
    }
    box(index, centre_x, centre_y, centre_width, true);
    out += "</svg>";
    return out;
}

}  // namespace Ombrix::Solvane::Supports::Data::Documents
