#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"

#include <cctype>
#include <functional>
#include <vector>

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
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Supports/Database/sql_lexing.hpp"

namespace Ombrix::Solvane::Supports::Database {

using namespace MetaModel;

namespace {

bool is_word_byte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           c >= 0x80;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

/// One name found in a text: where it stands and what it reads as.
struct Name {
    std::size_t begin;
    std::size_t end;
    std::string value;
};

/// Walks `text` and calls `found` for every name outside literals and comments.
void scan_names(std::string_view text, const std::function<void(const Name&)>& found) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            i = sql_quoted_end(text, i, c);
        } else if (c == '`') {
            std::string value;
            std::size_t j = i + 1;
            while (j < n) {
                if (text[j] == '`') {
                    if (j + 1 < n && text[j + 1] == '`') {
                        value += '`';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            found(Name{i, j, std::move(value)});
            i = j;
        } else if (c == '@') {
            // A variable is no name of the schema: @sys.x, @`a`, @'a', @@session.sql_mode.
            std::size_t j = i + 1;
            if (j < n && text[j] == '@') ++j;
            if (j < n && (text[j] == '`' || text[j] == '\'' || text[j] == '"')) {
                j = sql_quoted_end(text, j, text[j]);
            } else {
                while (j < n && (is_word_byte(static_cast<unsigned char>(text[j])) || text[j] == '.')) ++j;
            }
            i = j;
        } else if (c == '#' || (c == '-' && i + 1 < n && text[i + 1] == '-' && (i + 2 == n || is_blank(text[i + 2])))) {
            while (i < n && text[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            if (i + 2 < n && (text[i + 2] == '!' || (text[i + 2] == 'M' && i + 3 < n && text[i + 3] == '!'))) {
                // An executable comment holds SQL: its text is read, its markers are not.
                i += text[i + 2] == '!' ? 3 : 4;
                while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
            } else {
                const auto close = text.find("*/", i + 2);
                i = close == std::string_view::npos ? n : close + 2;
            }
        } else if (is_word_byte(static_cast<unsigned char>(c))) {
            std::size_t j = i;
            while (j < n && is_word_byte(static_cast<unsigned char>(text[j]))) ++j;
            // A word that starts with a digit is a number here (1, 1e5, 0x1F).
            if (!(c >= '0' && c <= '9')) found(Name{i, j, std::string(text.substr(i, j - i))});
            i = j;
        } else {
            ++i;
        }
    }
}

}  // namespace

std::vector<std::string> sql_identifiers(std::string_view text) {
    std::vector<std::string> names;
    scan_names(text, [&](const Name& name) { names.push_back(name.value); });
    return names;
}

namespace {

bool word_ends_at(std::string_view text, std::size_t end, std::string_view word) {
    if (end < word.size()) return false;
    const std::size_t begin = end - word.size();
    if (begin > 0 && is_word_byte(static_cast<unsigned char>(text[begin - 1]))) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[begin + i])) != word[i]) return false;
    return true;
}

bool word_starts_at(std::string_view text, std::size_t begin, std::string_view word) {
    if (begin + word.size() > text.size()) return false;
    if (begin + word.size() < text.size() && is_word_byte(static_cast<unsigned char>(text[begin + word.size()])))
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[begin + i])) != word[i]) return false;
    return true;
}

}  // namespace

std::string ungroup_joins(std::string_view text) {
    const std::size_t n = text.size();
    // Matching parentheses, outside quotes.
    std::vector<std::size_t> match(n, std::string_view::npos);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < n;) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`') {
            i = sql_quoted_end(text, i, c);
            continue;
        }
        if (c == '(') open.push_back(i);
        if (c == ')' && !open.empty()) {
            match[open.back()] = i;
            match[i] = open.back();
            open.pop_back();
        }
        ++i;
    }
    std::vector<bool> dropped(n, false);
    for (std::size_t p = 0; p < n; ++p) {
        // In quotes a '(' has no match, so only real parentheses get here.
        if (text[p] != '(' || match[p] == std::string_view::npos) continue;
        std::size_t before = p;
        while (before > 0 && is_blank(text[before - 1])) --before;
        const bool heads_from = word_ends_at(text, before, "FROM") || (before > 0 && text[before - 1] == '(' && dropped[before - 1]);
        if (!heads_from) continue;
        const std::size_t close = match[p];
        std::size_t first = p + 1;
        while (first < close && is_blank(text[first])) ++first;
        if (word_starts_at(text, first, "SELECT") || word_starts_at(text, first, "WITH") ||
            word_starts_at(text, first, "VALUES"))
            continue;
        // Only a group holding a join at its own level, and no query of its own: one whose SELECT,
        // FROM or UNION stands at its level ("((select 1) union select 2 from (a join b)) x") is a
        // derived table, whatever joins its last FROM reads once its own group is gone.
        bool joins = false;
        bool query = false;
        for (std::size_t i = p + 1; i < close && !query;) {
            const char c = text[i];
            if (c == '\'' || c == '"' || c == '`') {
                i = sql_quoted_end(text, i, c);
                continue;
            }
            if (c == '(' && match[i] != std::string_view::npos) {
                i = match[i] + 1;
                continue;
            }
            if (!is_word_byte(static_cast<unsigned char>(text[i - 1]))) {
                if (word_starts_at(text, i, "JOIN"))
                    joins = true;
                else
                    query = word_starts_at(text, i, "SELECT") || word_starts_at(text, i, "FROM") ||
                            word_starts_at(text, i, "UNION") || word_starts_at(text, i, "EXCEPT") ||
                            word_starts_at(text, i, "INTERSECT");
            }
            ++i;
        }
        if (!joins || query) continue;
        dropped[p] = true;
        dropped[close] = true;
    }
    std::string result;
    result.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!dropped[i]) {
            result += text[i];
            continue;
        }
        // A parenthesis between two words keeps them apart: from(a join b)where reads from a join b where.
        // So does one after a variable's @, which would take the next word or quote into the variable.
        std::size_t next = i + 1;
        while (next < n && dropped[next]) ++next;
        if (result.empty() || next >= n) continue;
        const auto after = static_cast<unsigned char>(text[next]);
        const bool word_after = is_word_byte(after);
        if ((is_word_byte(static_cast<unsigned char>(result.back())) && word_after) ||
            (result.back() == '@' && (word_after || after == '`' || after == '\'' || after == '"' || after == '@' ||
                                      after == '.')))
            result += ' ';
    }
    return result;
}

bool is_single_body_statement(std::string_view body) {
    // Read as the body of a trigger, which may be any one statement, the splitter tells where the
    // first statement ends; one statement is all there is when nothing follows it.
    static constexpr std::string_view kHead = "CREATE TRIGGER t BEFORE INSERT ON t FOR EACH ROW\n";
    std::string text(kHead);
    text += body;
    return split_script(text).size() == 1;
}

std::string requalify(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty() || from == to) return std::string(text);
    std::string result;
    std::size_t copied = 0;
    scan_names(text, [&](const Name& name) {
        if (name.value != from) return;
        std::size_t after = name.end;
        while (after < text.size() && is_blank(text[after])) ++after;
        if (after >= text.size() || text[after] != '.') return;
        std::size_t before = name.begin;
        while (before > 0 && is_blank(text[before - 1])) --before;
        if (before > 0 && text[before - 1] == '.') return;
        result.append(text, copied, name.begin - copied);
        // A bare name stays bare where the new one may be: the text reads as it was written.
        result += text[name.begin] == '`' ? mariadb_quote_identifier(to) : mariadb_bare_identifier(to);
        copied = name.end;
    });
    result.append(text, copied, std::string_view::npos);
    return result;
}

namespace {

void retarget_names(MetaObject& object, std::string_view from, const std::string& to) {
    if (object.get_database() == from) object.set_database(to);
    if (object.get_schema() == from) object.set_schema(to);
}

void retarget_table(MetaTable& table, std::string_view from, const std::string& to) {
    retarget_names(table, from, to);
    for (const auto& column : *table.get_columns()) {
        retarget_names(*column, from, to);
        column->set_expression(requalify(column->get_expression(), from, to));
        column->set_default_value(requalify(column->get_default_value(), from, to));
        if (const auto check = column->get_attributes().find("CHECK"); check != column->get_attributes().end())
            column->set_attribute("CHECK", requalify(check->second, from, to));
    }
    for (const auto& index : *table.get_indexes()) retarget_names(*index, from, to);
    for (const auto& constraint : *table.get_constraints()) {
        retarget_names(*constraint, from, to);
        if (auto key = std::dynamic_pointer_cast<MetaForeignKey>(constraint)) {
            if (key->get_refer_schema() == from) key->set_refer_schema(to);
            if (key->get_refer_database() == from) key->set_refer_database(to);
        } else if (auto check = std::dynamic_pointer_cast<MetaCheck>(constraint)) {
            check->set_check(requalify(check->get_check(), from, to));
        }
    }
    for (const auto& trigger : *table.get_triggers()) {
        retarget_names(*trigger, from, to);
        trigger->set_body(requalify(trigger->get_body(), from, to));
        if (const Core::Value* head = trigger->get_data("WRITTEN_HEAD"))
            trigger->set_data("WRITTEN_HEAD", Core::Value::from_string(requalify(head->get_string(), from, to)));
    }
}

void retarget_view(MetaView& view, std::string_view from, const std::string& to) {
    retarget_names(view, from, to);
    // Setting a definition derives the columns from it again; a view read from a server keeps the
    // columns the catalogue gave it.
    auto columns = view.get_columns()->items();
    view.set_definition(requalify(view.get_definition(), from, to));
    view.get_columns()->clear();
    view.get_columns()->append_all(std::move(columns));
}

}  // namespace

void retarget_schema(MetaObject& object, std::string_view from, std::string_view to) {
    const std::string target(to);
    if (auto* database = dynamic_cast<MetaDatabase*>(&object)) {
        retarget_names(*database, from, target);
        if (database->get_name() == from) database->set_name(target);
        for (const auto& schema : *database->get_schemas()) retarget_schema(*schema, from, to);
    } else if (auto* schema = dynamic_cast<MetaSchema*>(&object)) {
        retarget_names(*schema, from, target);
        if (schema->get_name() == from) schema->set_name(target);
        for (const auto& table : *schema->get_tables()) retarget_table(*table, from, target);
        for (const auto& sequence : *schema->get_sequences()) retarget_table(*sequence, from, target);
        for (const auto& view : *schema->get_views()) retarget_view(*view, from, target);
        for (const auto& view : *schema->get_miews()) retarget_view(*view, from, target);
        for (const auto& function : *schema->get_functions()) retarget_schema(*function, from, to);
        for (const auto& procedure : *schema->get_procedures()) retarget_schema(*procedure, from, to);
        for (const auto& event : *schema->get_events()) retarget_schema(*event, from, to);
    } else if (auto* table = dynamic_cast<MetaTable*>(&object)) {
        retarget_table(*table, from, target);
    } else if (auto* view = dynamic_cast<MetaView*>(&object)) {
        retarget_view(*view, from, target);
    } else if (auto* function = dynamic_cast<MetaFunction*>(&object)) {
        retarget_names(*function, from, target);
        function->set_body(requalify(function->get_body(), from, to));
        for (const char* slot : {"WRITTEN_PARAMETERS", "WRITTEN_BODY"})
            if (const Core::Value* written = function->get_data(slot))
                function->set_data(slot, Core::Value::from_string(requalify(written->get_string(), from, to)));
    } else if (auto* event = dynamic_cast<MetaEvent*>(&object)) {
        retarget_names(*event, from, target);
        event->set_body(requalify(event->get_body(), from, to));
    } else if (auto* trigger = dynamic_cast<MetaTrigger*>(&object)) {
        retarget_names(*trigger, from, target);
        trigger->set_body(requalify(trigger->get_body(), from, to));
    } else {
        retarget_names(object, from, target);
    }
}

}  // namespace Ombrix::Solvane::Supports::Database
