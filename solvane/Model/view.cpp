#include "solvane/Model/view.hpp"

#include <cctype>
#include <optional>
#include <vector>

#include "providers/Core/json.hpp"

namespace Ombrix::Solvane::MetaModel {

namespace {

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool is_word_byte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 || c == '_' || c == '$' || u >= 0x80;
}

std::string trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

bool word_at(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size()) return false;
    if (at > 0 && is_word_byte(text[at - 1])) return false;
    if (at + word.size() < text.size() && is_word_byte(text[at + word.size()])) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
    return true;
}

/// Where the quoted part or comment that starts at `at` ends (one past it); `at` itself when
/// nothing quoted starts there.
std::size_t skip_quoted(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
        const char close = c == '[' ? ']' : c;
        std::size_t i = at + 1;
        while (i < text.size()) {
            if (text[i] == '\\' && c != '`' && c != '[') {
                i += 2;
            } else if (text[i] == close) {
                if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
                    i += 2;
                } else {
                    return i + 1;
                }
            } else {
                ++i;
            }
        }
        return text.size();
    }
    if (c == '#' || (c == '-' && at + 2 <= text.size() && text.substr(at, 2) == "--")) {
        const auto end = text.find('\n', at);
        return end == std::string_view::npos ? text.size() : end + 1;
    }
    if (c == '/' && at + 1 < text.size() && text[at + 1] == '*') {
        const auto end = text.find("*/", at + 2);
        return end == std::string_view::npos ? text.size() : end + 2;
    }
    return at;
}

/// Calls `visit(position)` for every character of `text` at parenthesis depth 0 outside quotes and
/// comments; `visit` returns false to stop.
template <class Visit>
void walk_top_level(std::string_view text, Visit visit) {
    int depth = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t skipped = skip_quoted(text, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        const char c = text[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth > 0) --depth;
        } else if (depth == 0 && !visit(i)) {
            return;
        }
        ++i;
    }
}

/// A name without its quotes: `a``b` reads a`b, "x" reads x, [x] reads x.
std::string unquote(std::string_view name) {
    name = std::string_view(name);
    if (name.size() >= 2) {
        const char open = name.front();
        const char close = name.back();
        if ((open == '`' && close == '`') || (open == '"' && close == '"') || (open == '\'' && close == '\'') ||
            (open == '[' && close == ']')) {
            std::string out;
            const std::string_view inner = name.substr(1, name.size() - 2);
            for (std::size_t i = 0; i < inner.size(); ++i) {
                out += inner[i];
                if (open != '[' && inner[i] == open && i + 1 < inner.size() && inner[i + 1] == open) ++i;
            }
            return out;
        }
    }
    return std::string(name);
}

/// The parts of a (qualified) name, or nothing when `item` is not one name: a.b, `a`.`b`, t.*.
std::optional<std::vector<std::string>> name_parts(std::string_view item) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < item.size()) {
        std::size_t end = skip_quoted(item, i);
        if (end == i) {
            if (item[i] == '*') {
                end = i + 1;
            } else {
                while (end < item.size() && is_word_byte(item[end])) ++end;
                if (end == i) return std::nullopt;
            }
        }
        parts.push_back(unquote(item.substr(i, end - i)));
        i = end;
        while (i < item.size() && is_blank(item[i])) ++i;
        if (i == item.size()) break;
        if (item[i] != '.') return std::nullopt;
        ++i;
        while (i < item.size() && is_blank(item[i])) ++i;
    }
    if (parts.empty()) return std::nullopt;
    return parts;
}

// Words that may follow SELECT before its first item.
constexpr std::string_view kSelectModifiers[] = {"ALL", "DISTINCT", "DISTINCTROW", "HIGH_PRIORITY", "STRAIGHT_JOIN",
                                                 "SQL_SMALL_RESULT", "SQL_BIG_RESULT", "SQL_BUFFER_RESULT",
                                                 "SQL_CACHE", "SQL_NO_CACHE", "SQL_CALC_FOUND_ROWS"};

// The columns a definition's select list names, or nullopt when it has no recognisable select
// list. The list is the one of the first SELECT outside parentheses (a CTE's or a subquery's own
// lists do not count) up to its FROM; items are split at commas outside parentheses, quotes and
// comments, so function calls, IF and CASE expressions stay whole. An item is named by its alias
// (after its last AS), else by the last part of its name, else by its own text.
std::optional<std::vector<std::shared_ptr<MetaColumn>>> derive_columns(std::string_view definition) {
    std::size_t select = std::string_view::npos;
    walk_top_level(definition, [&](std::size_t at) {
        if (!word_at(definition, at, "SELECT")) return true;
        select = at;
        return false;
    });
    if (select == std::string_view::npos) return std::nullopt;
    std::size_t list_begin = select + 6;
    std::string_view rest = definition.substr(list_begin);
    std::size_t from = std::string_view::npos;
    std::vector<std::size_t> commas;
    walk_top_level(rest, [&](std::size_t at) {
        if (word_at(rest, at, "FROM")) {
            from = at;
            return false;
        }
        if (rest[at] == ',') commas.push_back(at);
        return true;
    });
    if (from == std::string_view::npos) return std::nullopt;
    std::string_view list = rest.substr(0, from);
    // Modifiers before the first item are not part of it.
    for (bool again = true; again;) {
        again = false;
        const std::size_t first = list.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos) break;
        for (std::string_view modifier : kSelectModifiers) {
            if (word_at(list, first, modifier)) {
                const std::size_t cut = first + modifier.size();
                for (auto& comma : commas) comma -= cut;
                list = list.substr(cut);
                again = true;
                break;
            }
        }
    }

    std::vector<std::shared_ptr<MetaColumn>> columns;
    std::size_t begin = 0;
    commas.push_back(list.size());
    for (const std::size_t end : commas) {
        const std::string item = trim(list.substr(begin, end - begin));
        begin = end + 1;
        if (item.empty()) continue;
        std::size_t alias = std::string_view::npos;
        walk_top_level(item, [&](std::size_t at) {
            if (word_at(item, at, "AS")) alias = at;
            return true;
        });
        auto column = MetaColumn::create();
        if (alias != std::string_view::npos) {
            column->set_name(unquote(trim(std::string_view(item).substr(alias + 2))));
            column->set_raw_type(trim(std::string_view(item).substr(0, alias)));
        } else {
            const auto parts = name_parts(item);
            column->set_name(parts ? parts->back() : item);
            column->set_raw_type(item);
        }
        columns.push_back(std::move(column));
    }
    if (columns.empty()) return std::nullopt;
    return columns;
}

}  // namespace

// ---------------------------------------------------------------- MetaView

MetaView::MetaView() : m_columns(MetaColumnList::create()) {}

std::shared_ptr<MetaView> MetaView::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto view = create();
    view->set_names(database, schema, name);
    return view;
}

OMBRIX_DEFINE_TYPE(MetaView, "OmbrixSolvaneMetaModelMetaView");

std::shared_ptr<MetaObject> MetaView::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaView>(MetaObject::clone());
    if (!copy) return nullptr;
    auto columns = clone_list(m_columns);
    copy->m_columns->clear();
    copy->m_columns->append_all(columns->take_items());
    return copy;
}

void MetaView::set_definition(std::string_view definition) {
    m_definition.assign(definition);
    if (auto columns = derive_columns(m_definition)) {
        m_columns->clear();
        m_columns->append_all(std::move(*columns));
    }
    // Notified even when the text stays: the columns were derived again.
    notify(ombrix_name_definition);
}

bool MetaView::deserialize_property(const Core::PropertySpec& property, const Core::Json::Node& node) {
    if (property.name != "columns") return MetaObject::deserialize_property(property, node);
    // A stored view keeps the columns it was stored with (read from the server's catalogue, they
    // say more than the definition does); the definition, read first, gave them only in passing.
    if (!node.is_array()) return false;
    std::vector<std::shared_ptr<MetaColumn>> columns;
    for (const auto& element : node)
        if (auto column = std::dynamic_pointer_cast<MetaColumn>(
                Core::Json::deserialize(element, MetaColumn::static_type())))
            columns.push_back(std::move(column));
    m_columns->clear();
    m_columns->append_all(std::move(columns));
    return true;
}

// ---------------------------------------------------------------- Materialized

std::shared_ptr<Materialized> Materialized::with_names(std::string_view database, std::string_view schema,
                                                       std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto view = create();
    view->set_names(database, schema, name);
    return view;
}

OMBRIX_DEFINE_TYPE(Materialized, "OmbrixSolvaneMetaModelMaterialized");

}  // namespace Ombrix::Solvane::MetaModel
