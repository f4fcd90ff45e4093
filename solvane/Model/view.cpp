#include "solvane/Model/view.hpp"

#include <cctype>
#include <optional>
#include <vector>

#include "providers/Core/regex.hpp"

namespace Ombrix::Solvane::MetaModel {

namespace {

constexpr GRegexCompileFlags kViewPatternFlags = static_cast<GRegexCompileFlags>(G_REGEX_CASELESS | G_REGEX_MULTILINE);

// The select list: everything between SELECT and the first FROM that follows it. The list is taken
// up to the first FROM, not the last, so a subquery in WHERE or JOIN does not pour its own text
// into the column list.
const Core::Regex& select_list_pattern() {
    static const Core::Regex pattern(R"(\bselect\s+(?<columns>[\w\s`'".,=()\[\]*]+?)\s+from\b)", kViewPatternFlags);
    return pattern;
}

// One select item, most specific form first. An item ends at a comma or a blank, or at the end of
// the list: the list carries no blank before FROM, and its last item must not be lost.
const Core::Regex& select_item_pattern() {
    static const Core::Regex pattern(R"((?:(?<expr1>[\w`'"\[\]]+\.[\w`'"\[\]]+\s+as\s+[\w`'"\[\]]+))"
                                     R"(|(?<expr2>[\w`'"\[\]]+\s+as\s+[\w`'"\[\]]+))"
                                     R"(|(?<expr3>[\w`'"\[\]]+\.[\w`'"\[\]]+))"
                                     R"(|(?<expr4>[\w`'"\[\]]+\.\*))"
                                     R"(|(?<expr5>\*))"
                                     R"(|(?<expr6>[\w`'"\[\]]+)))"
                                     R"((?:[,\s]+|\z))",
                                     kViewPatternFlags);
    return pattern;
}

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// Where the keyword AS stands between blanks, as its first character's offset; npos when absent.
std::size_t find_alias_keyword(std::string_view item) {
    for (std::size_t i = 1; i + 2 < item.size(); ++i) {
        if (is_blank(item[i - 1]) && (item[i] == 'a' || item[i] == 'A') && (item[i + 1] == 's' || item[i + 1] == 'S') &&
            is_blank(item[i + 2]))
            return i;
    }
    return std::string_view::npos;
}

std::string strip_quotes(std::string_view name) {
    std::string result;
    result.reserve(name.size());
    for (char c : name)
        if (c != '`' && c != '\'' && c != '"' && c != '[' && c != ']') result.push_back(c);
    return result;
}

// The columns a definition's select list names, or nullopt when it has no recognisable select list.
std::optional<std::vector<std::shared_ptr<MetaColumn>>> derive_columns(std::string_view definition) {
    auto list = select_list_pattern().match(definition);
    if (!list) return std::nullopt;
    const std::string columns_text = list->named("columns");
    const auto items = select_item_pattern().match_all(columns_text);
    if (items.empty()) return std::nullopt;

    static constexpr const char* kAlternatives[] = {"expr1", "expr2", "expr3", "expr4", "expr5", "expr6"};
    std::vector<std::shared_ptr<MetaColumn>> columns;
    for (const auto& match : items) {
        std::string item;
        for (const char* alternative : kAlternatives) {
            item = trim(match.named(alternative));
            if (!item.empty()) break;
        }
        if (item.empty()) continue;
        auto column = MetaColumn::create();
        const std::size_t as = find_alias_keyword(item);
        if (as == std::string_view::npos) {
            column->set_name(strip_quotes(item));
            column->set_raw_type(item);
        } else {
            column->set_name(strip_quotes(trim(std::string_view(item).substr(as + 2))));
            column->set_raw_type(trim(std::string_view(item).substr(0, as)));
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

}  // namespace

// ---------------------------------------------------------------- MetaView

MetaView::MetaView() : m_columns(MetaColumnList::create()) {}

std::shared_ptr<MetaView> MetaView::create() { return std::shared_ptr<MetaView>(new MetaView()); }

std::shared_ptr<MetaView> MetaView::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto view = create();
    view->set_names(database, schema, name);
    return view;
}

const Core::TypeInfo& MetaView::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaView, MetaObject>("OmbrixSolvaneMetaModelMetaView")
            .property("definition", &MetaView::get_definition, &MetaView::set_definition, "")
            .property("columns", &MetaView::get_columns, nullptr, nullptr, Core::Readable)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaView);

std::shared_ptr<MetaObject> MetaView::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaView>(MetaObject::clone());
    if (!copy) return nullptr;
    auto columns = clone_list(m_columns);
    copy->m_columns->clear();
    copy->m_columns->append_all(columns->take_items());
    return copy;
}

void MetaView::set_definition(std::string_view definition) {
    const bool changed = m_definition != definition;
    m_definition.assign(definition);
    if (auto columns = derive_columns(m_definition)) {
        m_columns->clear();
        m_columns->append_all(std::move(*columns));
    }
    if (changed) notify("definition");
}

// ---------------------------------------------------------------- Materialized

std::shared_ptr<Materialized> Materialized::create() { return std::shared_ptr<Materialized>(new Materialized()); }

std::shared_ptr<Materialized> Materialized::with_names(std::string_view database, std::string_view schema,
                                                       std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto view = create();
    view->set_names(database, schema, name);
    return view;
}

const Core::TypeInfo& Materialized::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<Materialized, MetaView>("OmbrixSolvaneMetaModelMaterialized")
            .property("table-space", &Materialized::get_table_space, &Materialized::set_table_space, "")
            .property("definer", &Materialized::get_definer, &Materialized::set_definer, "")
            .property("fill-factor", &Materialized::get_fill_factor, &Materialized::set_fill_factor, "")
            .property("with-data", &Materialized::get_with_data, &Materialized::set_with_data, true)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(Materialized);

void Materialized::set_table_space(std::string_view value) { set_text(m_table_space, value, "table-space"); }
void Materialized::set_definer(std::string_view value) { set_text(m_definer, value, "definer"); }
void Materialized::set_fill_factor(std::string_view value) { set_text(m_fill_factor, value, "fill-factor"); }
void Materialized::set_with_data(bool value) { set_and_notify(m_with_data, value, "with-data"); }

}  // namespace Ombrix::Solvane::MetaModel
