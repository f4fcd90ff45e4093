#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"

namespace Ombrix::Solvane::Supports::Database {

using namespace MetaModel;

namespace {

// ---- small text helpers

std::string ident(std::string_view name) { return mariadb_quote_identifier(name); }
std::string lit(std::string_view text) { return mariadb_escape_literal(text); }

/// `text` escaped for a literal of a stored program's statement, which runs in the program's own
/// SQL mode (`in_its_session`): under NO_BACKSLASH_ESCAPES a backslash is an ordinary character.
std::string lit_in(const MetaObject& object, std::string_view text) {
    const auto mode = object.get_attributes().find("SQL_MODE");
    if (mode == object.get_attributes().end() || mode->second.find("NO_BACKSLASH_ESCAPES") == std::string::npos)
        return lit(text);
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '\'') out += c;
    }
    return out;
}

/// `schema`.`name`, or `name` alone when no schema is known.
std::string qualified(std::string_view schema, std::string_view name) {
    return schema.empty() ? ident(name) : ident(schema) + "." + ident(name);
}

// Where the statements' own form writes a name without quotes, an ordinary name stays bare and any
// other is quoted: `bare` gives name or `na me`, `bare_qualified` schema.name.
std::string bare(std::string_view name) { return mariadb_bare_identifier(name); }
std::string bare_qualified(std::string_view schema, std::string_view name) {
    return schema.empty() ? bare(name) : bare(schema) + "." + bare(name);
}

std::string trim(std::string_view text) { return std::string(Core::trim(text)); }

void drop_last(std::string& text, std::size_t count, std::size_t longer_than) {
    if (text.size() > longer_than) text.erase(text.size() - std::min(count, text.size()));
}

bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

template <std::size_t N>
bool in_list(const std::array<std::string_view, N>& list, std::string_view word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

/// An account or definer "user@host" as `user`@`host` (split at the first at sign); a name without
/// one is a role (`name`), and CURRENT_USER stays a keyword.
std::string account(std::string_view text) {
    // A host name holds no at sign, a user name may: the last one separates them.
    const auto at = text.rfind('@');
    if (at == std::string_view::npos) {
        const std::string upper = Core::ascii_upper(text);
        if (upper == "CURRENT_USER" || upper == "CURRENT_USER()") return std::string(text);
        return ident(text);
    }
    return ident(text.substr(0, at)) + "@" + ident(text.substr(at + 1));
}

/// A role's name as the server knows it: a role has no host, and a name given in account form
/// ("r@", "r@h") is the part before its '@', as the adapter reads it.
std::string role_name(const std::string& name) { return name.substr(0, name.find('@')); }

std::string attribute(const MetaObject& object, const std::string& key) {
    const auto& attributes = object.get_attributes();
    const auto found = attributes.find(key);
    return found == attributes.end() ? std::string() : found->second;
}

bool has_attribute(const MetaObject& object, const std::string& key) {
    return object.get_attributes().contains(key);
}

template <class T>
std::vector<std::shared_ptr<T>> constraints_of(const MetaTable& table) {
    std::vector<std::shared_ptr<T>> result;
    for (const auto& constraint : *table.get_constraints())
        if (auto typed = std::dynamic_pointer_cast<T>(constraint)) result.push_back(std::move(typed));
    return result;
}

bool is_drop(DataVersion version) { return version == DataVersion::DELETE; }
bool is_replaced(DataVersion version) { return version == DataVersion::DELETE || version == DataVersion::UPDATE; }
bool is_defined(DataVersion version) { return version != DataVersion::IDENTICAL && version != DataVersion::DELETE; }

/// A column's collation clause; the binary character set has no collation the server takes by name
/// everywhere (ENUM refuses COLLATE binary).
std::string collation_clause(std::string_view collation) {
    if (collation == "binary") return "CHARACTER SET binary ";
    return "COLLATE " + std::string(collation) + " ";
}

/// A stored program's or view's statement in the session it was created in (its attributes
/// SQL_MODE and COLLATION_CONNECTION), the session's own settings put back afterwards; as it
/// stands when it names neither.
std::string in_its_session(const MetaObject& object, std::string statement) {
    const auto& attributes = object.get_attributes();
    const auto mode = attributes.find("SQL_MODE");
    const auto collation = attributes.find("COLLATION_CONNECTION");
    std::string save;
    std::string set;
    std::string restore;
    if (mode != attributes.end()) {
        save += "@ombrix_sql_mode = @@SESSION.sql_mode, ";
        set += "SESSION sql_mode = '" + lit(mode->second) + "', ";
        restore += "SESSION sql_mode = @ombrix_sql_mode, ";
    }
    if (collation != attributes.end()) {
        save += "@ombrix_collation = @@SESSION.collation_connection, ";
        set += "SESSION collation_connection = '" + lit(collation->second) + "', ";
        restore += "SESSION collation_connection = @ombrix_collation, ";
    }
    if (set.empty()) return statement;
    set.erase(set.size() - 2);
    restore.erase(restore.size() - 2);
    return "SET " + save + set + ";\n" + statement + "\nSET " + restore + ";";
}

// ---- column types

constexpr std::array<std::string_view, 2> kExactNumerics = {"DECIMAL", "NUMERIC"};
constexpr std::array<std::string_view, 3> kApproximateNumerics = {"DOUBLE", "FLOAT", "REAL"};
constexpr std::array<std::string_view, 4> kStringTypes = {"CHAR", "VARCHAR", "BINARY", "VARBINARY"};
constexpr std::array<std::string_view, 2> kEnumerations = {"ENUM", "SET"};
constexpr std::array<std::string_view, 3> kFractionalTemporals = {"TIME", "DATETIME", "TIMESTAMP"};
// Types whose size is part of their name: a length would turn TEXT(65535) into another type or
// into a syntax error (MEDIUMTEXT(255)).
constexpr std::array<std::string_view, 13> kSizedByName = {
    "TINYTEXT", "TEXT",     "MEDIUMTEXT", "LONGTEXT", "TINYBLOB", "BLOB", "MEDIUMBLOB",
    "LONGBLOB", "JSON",     "LONG",       "DATE",     "YEAR",     "BOOLEAN"};

/// The size part of a column type, with its trailing blank.
std::string size_suffix(const MetaColumn& column, std::string_view type) {
    const std::string upper = Core::ascii_upper(type);
    const auto length = static_cast<unsigned long long>(column.get_length());
    const unsigned scale = column.get_scale();
    // Sizes the numbers alone cannot tell from a default (FLOAT(7,0), CHAR(0), YEAR(2)) are marked.
    const bool sized = attribute(column, "SIZED") == "YES";
    if (in_list(kEnumerations, upper)) return "(" + column.get_enum_values() + ") ";
    if (in_list(kExactNumerics, upper)) return Core::strprintf("(%llu, %u) ", length, scale);
    // A missing scale reads as 0, and FLOAT(12, 0) would round every value to an integer: a scale of
    // 0 is written only where it was declared.
    if (in_list(kApproximateNumerics, upper))
        return scale > 0 || (sized && length > 0) ? Core::strprintf("(%llu, %u) ", length, scale) : std::string(" ");
    if (upper == "YEAR" && sized && length == 2) return "(2) ";
    if (in_list(kSizedByName, upper)) return " ";
    if (in_list(kFractionalTemporals, upper)) return scale > 0 ? Core::strprintf("(%u) ", scale) : std::string(" ");
    if (length != 0 || (sized && in_list(kStringTypes, upper))) return Core::strprintf("(%llu) ", length);
    return in_list(kStringTypes, upper) ? "(32) " : " ";
}

bool is_period_column(const MetaColumn& column, std::string_view which) {
    return column.get_is_virtual() && Core::ascii_upper(trim(column.get_expression())) == which;
}

/// The key part as written between the parentheses of a key: a column of the table by its quoted
/// name; a column with a prefix length or an order ("name(10) DESC") with its name quoted;
/// anything else (an expression) as it stands.
std::string key_part(std::string_view part, const MetaTable* table) {
    if (table && table->get_column(part)) return bare(part);
    if (!part.empty() && part.front() == '`') return std::string(part);
    std::string_view name = part;
    std::string suffix;
    const std::string upper = Core::ascii_upper(name);
    for (std::string_view order : {std::string_view(" DESC"), std::string_view(" ASC")}) {
        if (ends_with(upper, order)) {
            suffix = std::string(name.substr(name.size() - order.size()));
            name.remove_suffix(order.size());
            break;
        }
    }
    if (!name.empty() && name.back() == ')') {
        const auto open = name.rfind('(');
        const auto digits = open == std::string_view::npos ? std::string_view() : name.substr(open + 1, name.size() - open - 2);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            suffix = std::string(name.substr(open)) + suffix;
            name = name.substr(0, open);
        }
    }
    if (name.empty()) return std::string(part);
    if (table && !table->get_column(name) && suffix.empty()) return std::string(part);
    return bare(name) + suffix;
}

std::string key_parts(const Core::StringList& parts, const MetaTable* table) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) text += ", ";
        text += key_part(part, table);
    }
    return text;
}

/// Whether a trigger's head as written ("tr BEFORE INSERT ON `s`.t FOR EACH ROW FOLLOWS x ") still
/// names this trigger, its timing and event, and this table (a name qualified by this schema or
/// not at all): a renamed table or a changed model is written in the builder's own layout.
bool head_names(std::string_view head, const MetaTrigger& trigger, const MetaTable& table) {
    const std::vector<std::string> words = sql_identifiers(head);
    std::size_t i = 0;
    // [schema .] name: the words are the names without their quotes and periods.
    const auto name_is = [&](const std::string& wanted) {
        if (i + 1 < words.size() && words[i] == table.get_schema() && words[i + 1] == wanted) i += 2;
        else if (i < words.size() && words[i] == wanted) i += 1;
        else return false;
        return true;
    };
    const auto word_is = [&](std::string_view wanted) {
        return i < words.size() && Core::ascii_upper(words[i++]) == Core::ascii_upper(wanted);
    };
    if (!name_is(trigger.get_name()) || !word_is(trigger.get_timing()) || !word_is(trigger.get_event()) ||
        !word_is("ON") || !name_is(table.get_name()) || !word_is("FOR") || !word_is("EACH") || !word_is("ROW"))
        return false;
    if (i == words.size()) return true;
    const std::string order = Core::ascii_upper(words[i++]);
    return (order == "FOLLOWS" || order == "PRECEDES") && i + 1 == words.size();
}

// ---- stored-program bodies

/// Whether a body must stand between BEGIN and END: it holds several statements, ends with a
/// statement terminator (what remains of a BEGIN ... END block once its keywords are gone), or
/// is empty. A single statement, compound or not, stands bare, so that the server keeps the very
/// text the model holds.
bool needs_block(std::string_view body) {
    const std::string text = trim(body);
    if (text.empty() || ends_with(text, ";")) return true;
    return !is_single_body_statement(text);
}

/// A body that needs a block, with the terminator its last statement needs.
std::string terminated(std::string_view body) {
    std::string text = trim(body);
    if (!ends_with(text, ";") && !text.empty()) text += ";";
    return text;
}

// ---- dependence order

struct TableOrder {
    std::vector<std::shared_ptr<MetaTable>> tables;
    std::set<const MetaForeignKey*> deferred;
};

/// The referenced table of a key when it is one of the schema's own.
bool refers_inside(const MetaForeignKey& key, const MetaTable& table) {
    return key.get_refer_schema().empty() || key.get_refer_schema() == table.get_schema();
}

/// The tables with every table after the ones it references (a depth-first walk in the schema's
/// own order); a key that would close a cycle is set apart to be added once all tables exist.
TableOrder order_tables(const std::vector<std::shared_ptr<MetaTable>>& tables) {
    TableOrder order;
    std::unordered_map<std::string, std::shared_ptr<MetaTable>> by_name;
    for (const auto& table : tables)
        if (table) by_name.emplace(table->get_name(), table);
    std::unordered_map<const MetaTable*, int> state;  // 1 while visiting, 2 when placed
    std::function<void(const std::shared_ptr<MetaTable>&)> visit = [&](const std::shared_ptr<MetaTable>& table) {
        state[table.get()] = 1;
        for (const auto& key : constraints_of<MetaForeignKey>(*table)) {
            if (key->get_version() == DataVersion::DELETE || !refers_inside(*key, *table)) continue;
            const auto target = by_name.find(key->get_refer_table());
            if (target == by_name.end() || target->second == table) continue;
            const int seen = state[target->second.get()];
            if (seen == 1)
                order.deferred.insert(key.get());
            else if (seen == 0)
                visit(target->second);
        }
        state[table.get()] = 2;
        order.tables.push_back(table);
    };
    for (const auto& table : tables)
        if (table && state[table.get()] == 0) visit(table);
    return order;
}

/// The views with every view after the views its definition names.
std::vector<std::shared_ptr<MetaView>> order_views(const std::vector<std::shared_ptr<MetaView>>& views) {
    std::unordered_map<std::string, std::shared_ptr<MetaView>> by_name;
    for (const auto& view : views)
        if (view) by_name.emplace(view->get_name(), view);
    std::vector<std::shared_ptr<MetaView>> ordered;
    std::unordered_map<const MetaView*, int> state;
    std::function<void(const std::shared_ptr<MetaView>&)> visit = [&](const std::shared_ptr<MetaView>& view) {
        state[view.get()] = 1;
        for (const auto& name : sql_identifiers(view->get_definition())) {
            const auto target = by_name.find(name);
            if (target != by_name.end() && target->second != view && state[target->second.get()] == 0)
                visit(target->second);
        }
        state[view.get()] = 2;
        ordered.push_back(view);
    };
    for (const auto& view : views)
        if (view && state[view.get()] == 0) visit(view);
    return ordered;
}

template <class T>
std::vector<std::shared_ptr<T>> with_version(const std::shared_ptr<Core::ListModel<T>>& list,
                                             std::initializer_list<DataVersion> versions) {
    std::vector<std::shared_ptr<T>> result;
    for (const auto& item : *list)
        if (item && std::find(versions.begin(), versions.end(), item->get_version()) != versions.end())
            result.push_back(item);
    return result;
}

std::string foreign_key_definition(const MetaTable& table, const MetaForeignKey& key) {
    const std::string refer = refers_inside(key, table) ? ident(key.get_refer_table())
                                                        : qualified(key.get_refer_schema(), key.get_refer_table());
    std::string text = "CONSTRAINT FOREIGN KEY " + ident(key.get_name()) + "(" + key.get_local_columns() + ") ";
    text += "REFERENCES " + refer + "(" + key.get_refer_columns() + ") ";
    if (!key.get_match_method().empty()) text += "MATCH " + key.get_match_method() + " ";
    if (!key.get_update_action().empty()) text += "ON UPDATE " + key.get_update_action() + " ";
    if (!key.get_delete_action().empty()) text += "ON DELETE " + key.get_delete_action() + " ";
    return text;
}

/// The server's STATUS words are not the words CREATE EVENT takes.
std::string event_state(std::string_view state) {
    const std::string upper = Core::ascii_upper(trim(state));
    if (upper == "ENABLED") return "ENABLE";
    if (upper == "DISABLED") return "DISABLE";
    if (upper == "SLAVESIDE_DISABLED") return "DISABLE ON SLAVE";
    return std::string(state);
}

/// A privileges key ("db.*", "db.table", "`a.b`.table", "*.*") with each name quoted again.
std::string grant_object(std::string_view object) {
    std::string text;
    for (const auto& name : mariadb_privilege_names(object)) {
        if (!text.empty()) text += ".";
        text += name == "*" ? std::string("*") : ident(name);
    }
    return text;
}

}  // namespace

// ---- construction

std::shared_ptr<MariaDBBuilder> MariaDBBuilder::create(IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return Core::make_object<MariaDBBuilder>(connection);
}

OMBRIX_DEFINE_TYPE(MariaDBBuilder, "OmbrixSolvaneSupportsDatabaseMariaDBBuilder");

// ---- the contract's operations: a model read from a server writes its own types

std::string MariaDBBuilder::build_create(const MetaObjectPtr& meta_object) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    return build_create(meta_object, true);
}

std::string MariaDBBuilder::build_patch(const MetaObjectPtr& meta_object) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    return build_patch(meta_object, true);
}

std::string MariaDBBuilder::create_database(const std::shared_ptr<MetaDatabase>& database) {
    OMBRIX_RETURN_VAL_IF_NULL(database, {});
    return create_database(database, true);
}

std::string MariaDBBuilder::build_schema(const std::shared_ptr<MetaSchema>& schema) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    return build_schema(schema, true);
}

std::string MariaDBBuilder::build_table(const std::shared_ptr<MetaTable>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return build_table(table, true);
}

// ---- dispatch

bool MariaDBBuilder::is_sequence(const MetaTable& table) {
    const auto& options = table.get_options();
    const auto found = options.find(std::string(SEQUENCE));
    return found != options.end() && found->second == "YES";
}

std::string MariaDBBuilder::build_sequence(const std::shared_ptr<MetaTable>& sequence) {
    OMBRIX_RETURN_VAL_IF_NULL(sequence, {});
    const std::string name = qualified(sequence->get_schema(), sequence->get_name());
    std::string text = "CREATE SEQUENCE IF NOT EXISTS " + name + " " + attribute(*sequence, std::string(SEQUENCE_DEFINITION)) + ";";
    if (const Core::Value* next = sequence->get_data(std::string(SEQUENCE_NEXT))) {
        // A sequence that has handed out values goes on where its source stands.
        const std::string definition = Core::ascii_lower(attribute(*sequence, std::string(SEQUENCE_DEFINITION)));
        const std::string position = next->get_string();
        if (!position.empty() && definition.find("start with " + position + " ") == std::string::npos)
            text += "\nALTER SEQUENCE " + name + " RESTART WITH " + position + ";";
    }
    return text;
}

std::string MariaDBBuilder::build_create(const MetaObjectPtr& meta_object, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    switch (meta_object->character()) {
    case DBObject::DATABASE: return create_database(std::dynamic_pointer_cast<MetaDatabase>(meta_object), native);
    case DBObject::EVENT: return build_event(std::dynamic_pointer_cast<MetaEvent>(meta_object));
    case DBObject::FUNCTION:
    case DBObject::PROCEDURE: return build_function(std::dynamic_pointer_cast<MetaFunction>(meta_object));
    case DBObject::INDEX: return build_index(std::dynamic_pointer_cast<MetaIndex>(meta_object));
    case DBObject::ROLE: return build_role(std::dynamic_pointer_cast<MetaRole>(meta_object));
    case DBObject::SCHEMA: return build_schema(std::dynamic_pointer_cast<MetaSchema>(meta_object), native);
    case DBObject::TABLE: {
        auto table = std::dynamic_pointer_cast<MetaTable>(meta_object);
        return is_sequence(*table) ? build_sequence(table) : build_table(table, native);
    }
    case DBObject::TRIGGER: return build_trigger(std::dynamic_pointer_cast<MetaTrigger>(meta_object));
    case DBObject::USER: return build_user(std::dynamic_pointer_cast<MetaUser>(meta_object));
    case DBObject::VIEW: return build_view(std::dynamic_pointer_cast<MetaView>(meta_object));
    default: return {};
    }
}

std::string MariaDBBuilder::build_delete(const MetaObjectPtr& meta_object) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    const MetaObject& object = *meta_object;
    const std::string& schema = object.get_schema();
    const std::string& name = object.get_name();
    switch (object.character()) {
    case DBObject::DATABASE: return "DROP DATABASE IF EXISTS " + ident(name) + ";";
    case DBObject::EVENT: return "DROP EVENT IF EXISTS " + qualified(schema, name) + ";";
    case DBObject::FUNCTION: return "DROP FUNCTION IF EXISTS " + qualified(schema, name) + ";";
    case DBObject::PROCEDURE: {
        const auto& routine = static_cast<const MetaFunction&>(object);
        return "DROP " + routine.routine_type() + " IF EXISTS " + qualified(schema, name) + ";";
    }
    case DBObject::INDEX: {
        const auto& index = static_cast<const MetaIndex&>(object);
        return "DROP INDEX " + ident(name) + " ON " + qualified(schema, index.get_entity()) + ";";
    }
    case DBObject::ROLE: return "DROP ROLE IF EXISTS " + bare(role_name(name)) + ";";
    case DBObject::SCHEMA: {
        // What uses an object goes before it: views, then tables children first (the reverse of the
        // order they are created in; a key that closes a cycle is dropped with its table first),
        // then routines (a package's body before the package) and events.
        const auto& owner = static_cast<const MetaSchema&>(object);
        std::string text;
        for (const auto& view : *owner.get_views())
            text += "DROP VIEW IF EXISTS " + qualified(view->get_schema(), view->get_name()) + ";";
        const TableOrder order = order_tables(owner.get_tables()->items());
        for (const auto& table : order.tables)
            for (const auto& key : constraints_of<MetaForeignKey>(*table))
                if (order.deferred.contains(key.get()))
                    text += "ALTER TABLE " + qualified(table->get_schema(), table->get_name()) + " DROP FOREIGN KEY " +
                            bare(key->get_name()) + ";";
        for (auto table = order.tables.rbegin(); table != order.tables.rend(); ++table)
            text += "DROP TABLE IF EXISTS " + qualified((*table)->get_schema(), (*table)->get_name()) + ";";
        std::vector<std::shared_ptr<MetaFunction>> routines = owner.get_functions()->items();
        for (const auto& procedure : *owner.get_procedures()) routines.push_back(procedure);
        for (auto routine = routines.rbegin(); routine != routines.rend(); ++routine)
            text += "DROP " + (*routine)->routine_type() + " IF EXISTS " +
                    qualified((*routine)->get_schema(), (*routine)->get_name()) + ";";
        for (const auto& event : *owner.get_events())
            text += "DROP EVENT IF EXISTS " + qualified(event->get_schema(), event->get_name()) + ";";
        return text;
    }
    case DBObject::TABLE:
        return std::string(is_sequence(static_cast<const MetaTable&>(object)) ? "DROP SEQUENCE" : "DROP TABLE") +
               " IF EXISTS " + qualified(schema, name) + ";";
    case DBObject::TRIGGER: return "DROP TRIGGER IF EXISTS " + qualified(schema, name) + ";";
    case DBObject::USER: {
        const auto at = name.rfind('@');
        if (at == std::string::npos) return "DROP USER IF EXISTS " + bare(name) + ";";
        return "DROP USER IF EXISTS " + bare(name.substr(0, at)) + "@" + bare(name.substr(at + 1)) + ";";
    }
    case DBObject::VIEW: return "DROP VIEW IF EXISTS " + qualified(schema, name) + ";";
    default: return {};
    }
}

std::string MariaDBBuilder::build_patch(const MetaObjectPtr& meta_object, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    const DataVersion version = meta_object->get_version();
    switch (meta_object->character()) {
    case DBObject::EVENT:
    case DBObject::FUNCTION:
    case DBObject::PROCEDURE:
        if (version == DataVersion::INSERT) return build_create(meta_object, native);
        if (version == DataVersion::UPDATE) return build_delete(meta_object) + "\n" + build_create(meta_object, native);
        if (version == DataVersion::DELETE) return build_delete(meta_object);
        return {};
    case DBObject::TABLE: {
        auto table = std::dynamic_pointer_cast<MetaTable>(meta_object);
        if (is_sequence(*table) && version == DataVersion::UPDATE) {
            // The definition as ALTER SEQUENCE takes it: without the table options at its end.
            std::string definition = attribute(*table, std::string(SEQUENCE_DEFINITION));
            if (const auto engine = definition.find(" ENGINE="); engine != std::string::npos) definition.resize(engine);
            return "ALTER SEQUENCE " + qualified(table->get_schema(), table->get_name()) + " " + definition + ";";
        }
        if (is_sequence(*table) && version == DataVersion::INSERT) return build_sequence(table);
        if (version == DataVersion::INSERT) return build_table(table, native);
        if (version == DataVersion::UPDATE) return patch_table(table);
        if (version == DataVersion::DELETE) return build_delete(meta_object);
        return {};
    }
    case DBObject::VIEW: {
        auto view = std::dynamic_pointer_cast<MetaView>(meta_object);
        if (version == DataVersion::INSERT) return build_view(view);
        if (version == DataVersion::UPDATE) return patch_view(view);
        if (version == DataVersion::DELETE) return build_delete(meta_object);
        return {};
    }
    case DBObject::ROLE:
        if (version == DataVersion::DELETE) return build_delete(meta_object);
        return build_role(std::dynamic_pointer_cast<MetaRole>(meta_object));
    case DBObject::USER:
        if (version == DataVersion::DELETE) return build_delete(meta_object);
        return build_user(std::dynamic_pointer_cast<MetaUser>(meta_object));
    default: return {};
    }
}

// ---- tables

std::string MariaDBBuilder::build_table_columns(const std::shared_ptr<MetaTable>& table, bool native, bool patch) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return columns_text(*table, native, patch);
}

std::string MariaDBBuilder::column_type(const MetaColumn& column) {
    std::string text = column.get_raw_type() + size_suffix(column, column.get_raw_type());
    if (column.get_is_unsigned()) text += "UNSIGNED ";
    if (column.get_is_fill_zero()) text += "ZEROFILL ";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string MariaDBBuilder::columns_text(const MetaTable& table, bool native, bool patch) {
    std::string text;
    for (const auto& column : *table.get_columns())
        if (is_drop(column->get_version())) text += "    DROP COLUMN " + ident(column->get_name()) + ",\n";

    std::vector<std::shared_ptr<MetaColumn>> keys;
    for (const auto& column : *table.get_columns())
        if (column->get_is_primary_key() && !is_drop(column->get_version())) keys.push_back(column);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a->get_primary_ordinal() < b->get_primary_ordinal(); });
    // A patch from a comparison knows the key the table had; a changed key is dropped and added
    // as a whole, never restated on its columns.
    const auto& attributes = table.get_attributes();
    const auto previous = attributes.find(std::string(MetaTable::PREVIOUS_PRIMARY_KEY));
    const bool key_known = patch && previous != attributes.end();
    std::string key_names;
    for (const auto& key : keys) key_names += (key_names.empty() ? "" : ",") + key->get_name();
    const bool key_changed = key_known && key_names != previous->second;
    if (key_changed && !previous->second.empty()) {
        // Dropping every column of the old key drops the key with them.
        bool key_dropped = true;
        for (std::size_t at = 0, next; at <= previous->second.size(); at = next + 1) {
            next = previous->second.find(',', at);
            if (next == std::string::npos) next = previous->second.size();
            const auto column = table.get_column(previous->second.substr(at, next - at));
            if (!column || !is_drop(column->get_version())) key_dropped = false;
        }
        if (!key_dropped) text += "    DROP PRIMARY KEY,\n";
    }
    // A key over several columns is one PRIMARY KEY clause; on each column it would be refused
    // ("Multiple primary key defined"). A key on a column's prefix needs the clause too.
    const std::string key_method = attribute(table, std::string(PRIMARY_KEY_METHOD));
    const bool key_on_column =
        !key_known && keys.size() == 1 && keys.front()->get_primary_length() == 0 && key_method.empty();
    const auto inspector = native ? nullptr : get_conn()->inspector();

    for (const auto& column : *table.get_columns()) {
        const DataVersion version = column->get_version();
        if (!is_defined(version)) continue;
        std::string line = "    ";
        if (patch && version == DataVersion::INSERT) line += "ADD COLUMN ";
        if (patch && version == DataVersion::UPDATE)
            line += "CHANGE COLUMN " + ident(column->get_original().empty() ? column->get_name() : column->get_original()) +
                    " ";
        const std::string type = native || !inspector ? column->get_raw_type()
                                                      : inspector->get_sql_type(column->get_data_type());
        line += ident(column->get_name()) + " " + type;
        line += size_suffix(*column, type);
        // A generated column takes its collation only before the generation clause, and the binary
        // character set is a type attribute: both stand right after the type.
        const bool collation_first =
            !column->get_collation().empty() && (column->get_is_virtual() || column->get_collation() == "binary");
        if (collation_first) line += collation_clause(column->get_collation());
        if (attribute(*column, "COMPRESSED") == "YES") line += "COMPRESSED ";
        if (column->get_is_unsigned()) line += "UNSIGNED ";
        if (column->get_is_fill_zero()) line += "ZEROFILL ";
        // Changing a column never restates the key: the key stays where it is.
        if (column->get_is_primary_key() && key_on_column && !(patch && version == DataVersion::UPDATE))
            line += "PRIMARY KEY ";
        if (column->get_is_virtual()) {
            // A generated column takes no NULL, default or auto-increment clause.
            if (is_period_column(*column, "ROW START") || is_period_column(*column, "ROW END")) {
                line += "GENERATED ALWAYS AS " + Core::ascii_upper(trim(column->get_expression())) + " ";
            } else {
                if (column->get_is_generated_always()) line += "GENERATED ALWAYS ";
                line += "AS (" + column->get_expression() + ") ";
                if (!column->get_virtual_type().empty()) line += column->get_virtual_type() + " ";
            }
        } else {
            line += column->get_not_null() ? "NOT NULL " : "NULL ";
            if (!column->get_default_value().empty()) line += "DEFAULT " + column->get_default_value() + " ";
            if (column->get_update_timestamp())
                line += column->get_scale() > 0 ? Core::strprintf("ON UPDATE CURRENT_TIMESTAMP(%u) ", column->get_scale())
                                                : std::string("ON UPDATE CURRENT_TIMESTAMP ");
            if (column->get_auto_increment()) line += "AUTO_INCREMENT ";
        }
        if (attribute(*column, "INVISIBLE") == "YES") line += "INVISIBLE ";
        if (!column->get_comment().empty()) line += "COMMENT '" + lit(column->get_comment()) + "' ";
        if (!column->get_collation().empty() && !collation_first) line += collation_clause(column->get_collation());
        if (const std::string check = attribute(*column, "CHECK"); !check.empty()) line += "CHECK (" + check + ") ";
        if (patch) line += column->get_after().empty() ? "FIRST " : "AFTER " + ident(column->get_after()) + " ";
        drop_last(line, 1, 1);
        text += line + ",\n";
    }

    if (((!patch && !key_on_column) || key_changed) && !keys.empty()) {
        std::string names;
        for (const auto& key : keys) {
            names += (names.empty() ? "" : ", ") + ident(key->get_name());
            if (key->get_primary_length() > 0)
                names += Core::strprintf("(%llu)", static_cast<unsigned long long>(key->get_primary_length()));
        }
        text += std::string(patch ? "    ADD " : "    ") + "PRIMARY KEY (" + names + ")" +
                (key_method.empty() ? "" : " USING " + key_method) + ",\n";
    }
    if (const std::string period = attribute(table, std::string(APPLICATION_PERIOD)); !patch && !period.empty())
        text += "    PERIOD FOR " + period + ",\n";
    // A patch from a comparison knows the period the table had: a changed one is dropped and added.
    if (patch && has_attribute(table, "PREVIOUS " + std::string(APPLICATION_PERIOD))) {
        const std::string before = attribute(table, "PREVIOUS " + std::string(APPLICATION_PERIOD));
        const std::string after = attribute(table, std::string(APPLICATION_PERIOD));
        // The period's name is its text up to the blank before its columns.
        if (!before.empty()) text += "    DROP PERIOD FOR " + before.substr(0, before.find(" (")) + ",\n";
        if (!after.empty()) text += "    ADD PERIOD FOR " + after + ",\n";
    }
    if (!patch) {
        std::shared_ptr<MetaColumn> start;
        std::shared_ptr<MetaColumn> end;
        for (const auto& column : *table.get_columns()) {
            if (is_drop(column->get_version())) continue;
            if (is_period_column(*column, "ROW START")) start = column;
            if (is_period_column(*column, "ROW END")) end = column;
        }
        if (start && end)
            text += "    PERIOD FOR SYSTEM_TIME (" + ident(start->get_name()) + ", " + ident(end->get_name()) + "),\n";
    }
    return text;
}

std::string MariaDBBuilder::build_table_indexes(const std::shared_ptr<MetaTable>& table, bool patch) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    std::string text;
    for (const auto& index : *table->get_indexes())
        if (is_replaced(index->get_version())) text += "    DROP INDEX " + ident(index->get_name()) + ",\n";

    for (const auto& index : *table->get_indexes()) {
        if (!is_defined(index->get_version())) continue;
        std::string line = "    ";
        if (patch) line += "ADD ";
        const std::string method = Core::ascii_upper(index->get_method());
        if (!index->get_kind().empty())
            line += index->get_kind() + " ";
        else if (method == "FULLTEXT" || method == "SPATIAL")
            line += method + " ";  // the catalogue names these kinds as the index's type
        line += "INDEX " + ident(index->get_name()) + " ";
        // The method stands where the table gave one: a model read from a server keeps no other.
        if (method == "BTREE" || method == "HASH" || method == "RTREE") line += "USING " + method + " ";
        line += "(" + key_parts(index->get_columns(), table.get()) + ") ";
        if (attribute(*index, "IGNORED") == "YES") line += "IGNORED ";
        if (index->get_key_block_size() != 0)
            line += Core::strprintf("KEY_BLOCK_SIZE = %llu ", static_cast<unsigned long long>(index->get_key_block_size()));
        if (!index->get_comment().empty()) line += "COMMENT '" + lit(index->get_comment()) + "' ";
        drop_last(line, 1, 0);
        text += line + ",\n";
    }
    return text;
}

std::string MariaDBBuilder::build_table_foreigns(const std::shared_ptr<MetaTable>& table, bool patch) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return foreigns_text(*table, patch, [](const MetaForeignKey&) { return false; }, true);
}

std::string MariaDBBuilder::foreigns_text(const MetaTable& table, bool patch,
                                          const std::function<bool(const MetaForeignKey&)>& skip, bool drop_updated) {
    std::string text;
    const auto keys = constraints_of<MetaForeignKey>(table);
    for (const auto& key : keys)
        if (is_drop(key->get_version()) || (drop_updated && key->get_version() == DataVersion::UPDATE))
            text += "    DROP FOREIGN KEY " + bare(key->get_name()) + ",\n";
    for (const auto& key : keys) {
        if (!is_defined(key->get_version()) || skip(*key)) continue;
        std::string line = std::string("    ") + (patch ? "ADD " : "") + foreign_key_definition(table, *key);
        drop_last(line, 1, 0);
        text += line + ",\n";
    }
    return text;
}

std::string MariaDBBuilder::build_table_checks(const std::shared_ptr<MetaTable>& table, bool patch) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    std::string text;
    const auto checks = constraints_of<MetaCheck>(*table);
    // The server names a check's removal DROP CONSTRAINT; it has no DROP CHECK.
    for (const auto& check : checks)
        if (is_replaced(check->get_version())) text += "    DROP CONSTRAINT " + bare(check->get_name()) + ",\n";
    // No enforcement clause: the server takes none, and every check is enforced.
    for (const auto& check : checks) {
        if (!is_defined(check->get_version())) continue;
        text += std::string("    ") + (patch ? "ADD " : "") + "CONSTRAINT " + ident(check->get_name()) + " CHECK (" +
                check->get_check() + "),\n";
    }
    return text;
}

std::string MariaDBBuilder::option_format(std::string_view key, std::string_view value) {
    static constexpr std::array<std::string_view, 5> kQuoted = {"COMPRESSION", "DATA DIRECTORY", "INDEX DIRECTORY",
                                                                "ENCRYPTION", "CONNECTION"};
    if (in_list(kQuoted, key)) return "'" + lit(value) + "'";
    return std::string(value);
}

std::string MariaDBBuilder::build_table_options(const std::shared_ptr<MetaTable>& table, bool patch) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    const auto& options = table->get_options();
    std::string text = patch ? "    " : "";
    for (const auto& [key, value] : options) {
        if (key == "COMMENT" || key == SYSTEM_VERSIONING || key == PARTITIONING) continue;
        // In a patch an option given back empty was removed: the row format goes back to the default.
        if (value.empty()) {
            if (patch && key == "ROW_FORMAT") text += "ROW_FORMAT = DEFAULT, ";
            continue;
        }
        text += key + " = " + option_format(key, value) + (patch ? ", " : " ");
    }
    const auto versioning = options.find(std::string(SYSTEM_VERSIONING));
    const bool versioned = versioning != options.end() && Core::ascii_upper(versioning->second) == "YES";
    if (patch && versioned) text += "ADD SYSTEM VERSIONING, ";
    if (patch && versioning != options.end() && versioning->second.empty()) text += "DROP SYSTEM VERSIONING, ";
    if (!patch) {
        if (!table->get_comment().empty())
            text += "COMMENT = '" + lit(table->get_comment()) + "'";
        else
            drop_last(text, 1, 1);
        if (versioned) text += " WITH SYSTEM VERSIONING";
        if (const auto partitioning = options.find(std::string(PARTITIONING));
            partitioning != options.end() && !partitioning->second.empty())
            text += "\n" + partitioning->second;
    } else {
        const auto comment = options.find("COMMENT");
        if (comment != options.end())
            text += "COMMENT = '" + lit(comment->second) + "'";
        else
            drop_last(text, 2, 4);
    }
    return trim(text);
}

std::string MariaDBBuilder::build_table_triggers(const std::shared_ptr<MetaTable>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return build_table_triggers(table, false);
}

std::string MariaDBBuilder::build_table_triggers(const std::shared_ptr<MetaTable>& table, bool in_schema) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    std::string text;
    const std::string& schema = table->get_schema();
    for (const auto& trigger : *table->get_triggers())
        if (is_replaced(trigger->get_version()))
            text += "DROP TRIGGER IF EXISTS " + bare_qualified(schema, trigger->get_name()) + ";\n";
    for (const auto& trigger : *table->get_triggers()) {
        if (!is_defined(trigger->get_version())) continue;
        std::string statement = "CREATE ";
        if (!trigger->get_definer().empty()) statement += "DEFINER = " + account(trigger->get_definer()) + " ";
        const Core::Value* head = in_schema ? trigger->get_data(std::string(WRITTEN_HEAD)) : nullptr;
        if (head && head_names(head->get_string(), *trigger, *table)) {
            statement += "TRIGGER " + head->get_string();
        } else {
            statement += "TRIGGER " + qualified(schema, trigger->get_name()) + "\n";
            statement += trigger->get_timing() + " " + trigger->get_event() + "\n";
            statement += "ON " + qualified(schema, table->get_name()) + " FOR EACH ROW\n";
        }
        const std::string body = trim(trigger->get_body());
        statement += body + (ends_with(body, ";") ? "" : ";");
        text += in_its_session(*trigger, std::move(statement)) + "\n\n";
    }
    if (!text.empty()) text += "\n";
    return text;
}

std::string MariaDBBuilder::create_table_text(const std::shared_ptr<MetaTable>& table, bool native,
                                              const std::function<bool(const MetaForeignKey&)>& skip) {
    std::string text = "CREATE TABLE IF NOT EXISTS " + qualified(table->get_schema(), table->get_name()) + " (\n";
    text += columns_text(*table, native, false);
    text += build_table_indexes(table, false);
    text += foreigns_text(*table, false, skip, true);
    text += build_table_checks(table, false);
    drop_last(text, 2, 2);
    text += "\n) ";
    text += build_table_options(table, false);
    text += ";\n";
    return text;
}

std::string MariaDBBuilder::build_table(const std::shared_ptr<MetaTable>& table, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    std::string text = create_table_text(table, native, [](const MetaForeignKey&) { return false; });
    text += build_table_triggers(table);
    drop_last(text, 1, 1);
    return text;
}

std::string MariaDBBuilder::patch_table(const std::shared_ptr<MetaTable>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    // The server refuses to drop a foreign key and add one of the same name in one statement, so a
    // changed key is dropped by a statement of its own first.
    std::string text;
    for (const auto& key : constraints_of<MetaForeignKey>(*table))
        if (key->get_version() == DataVersion::UPDATE) text += "    DROP FOREIGN KEY " + bare(key->get_name()) + ",\n";
    if (!text.empty()) {
        drop_last(text, 2, 0);
        text = "ALTER TABLE " + qualified(table->get_schema(), table->get_name()) + "\n" + text + ";\n";
    }
    std::string clauses = columns_text(*table, true, true);
    clauses += build_table_indexes(table, true);
    clauses += foreigns_text(*table, true, [](const MetaForeignKey&) { return false; }, false);
    clauses += build_table_checks(table, true);
    const std::string options = build_table_options(table, true);
    // Partitioning follows the other changes, without a comma.
    const auto partitioning = table->get_options().find(std::string(PARTITIONING));
    // A partitioning given back empty was removed.
    const std::string partitions = partitioning == table->get_options().end() ? std::string()
                                   : partitioning->second.empty()             ? std::string("REMOVE PARTITIONING")
                                                                              : partitioning->second;
    // A table whose only change is a trigger gets no ALTER TABLE: one without clauses is refused.
    if (!clauses.empty() || options.size() > 4 || !partitions.empty()) {
        text += "ALTER TABLE " + qualified(table->get_schema(), table->get_name()) + "\n" + clauses;
        if (options.size() > 4)
            text += "    " + options;
        else if (!clauses.empty())
            drop_last(text, 2, 2);  // the last clause's ",\n"
        else
            drop_last(text, 1, 0);  // the line end after the name
        if (!partitions.empty()) text += "\n" + partitions;
        text += ";\n";
    }
    text += build_table_triggers(table);
    return text;
}

// ---- databases and schemas

std::string MariaDBBuilder::create_database(const std::shared_ptr<MetaDatabase>& database, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(database, {});
    std::string text = "CREATE DATABASE IF NOT EXISTS " + ident(database->get_name()) + "\n";
    if (const auto charset = attribute(*database, "CHARACTER SET"); !charset.empty())
        text += "  CHARACTER SET = '" + lit(charset) + "'\n";
    if (const auto collation = attribute(*database, "COLLATE"); !collation.empty())
        text += "  COLLATE = '" + lit(collation) + "'\n";
    if (!database->get_comment().empty()) text += "  COMMENT = '" + lit(database->get_comment()) + "'\n";
    drop_last(text, 1, 0);
    text += ";\n";
    for (const auto& schema : *database->get_schemas()) text += build_schema(schema, native);
    return text;
}

std::string MariaDBBuilder::alter_database(const std::shared_ptr<MetaDatabase>& database_old,
                                           const std::shared_ptr<MetaDatabase>& database_new) {
    OMBRIX_RETURN_VAL_IF_NULL(database_old, {});
    OMBRIX_RETURN_VAL_IF_NULL(database_new, {});
    const std::string head = "ALTER DATABASE " + ident(database_new->get_name()) + "\n";
    std::string text = head;
    for (const char* key : {"CHARACTER SET", "COLLATE"}) {
        const bool had = has_attribute(*database_old, key);
        const bool has = has_attribute(*database_new, key);
        // An attribute the new model lacks is left as it is: there is no value to give it.
        if (has && (had != has || attribute(*database_old, key) != attribute(*database_new, key)))
            text += std::string("  ") + key + " = '" + lit(attribute(*database_new, key)) + "'\n";
    }
    if (database_old->get_comment() != database_new->get_comment())
        text += "  COMMENT = '" + lit(database_new->get_comment()) + "'\n";
    if (text.size() == head.size()) return {};
    text.back() = ';';
    return text;
}

std::string MariaDBBuilder::build_schema(const std::shared_ptr<MetaSchema>& schema, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    const TableOrder order = order_tables(schema->get_tables()->items());
    const auto deferred = [&](const MetaForeignKey& key) { return order.deferred.contains(&key); };
    std::string text;
    for (const auto& table : order.tables) {
        std::string script = create_table_text(table, native, deferred) + build_table_triggers(table);
        drop_last(script, 1, 1);
        text += script + "\n";
    }
    text += deferred_keys_text(order.tables, order.deferred);
    // Functions before views: a view that calls a stored function is refused while it is missing.
    for (const auto& function : *schema->get_functions()) text += build_function(function) + "\n";
    for (const auto& view : order_views(schema->get_views()->items())) text += build_view(view) + "\n";
    text += "\n";
    return text;
}

namespace {

// The SQL mode structure is created in: no strict or zero-date checks, as the server may have
// accepted it under a lax mode. And the mode rows and changes to tables holding rows are written
// in: the session's own, strict checks and all (a lax mode would let a value be cut or a NULL made
// '' without a word), where a 0 stays a 0 in an AUTO_INCREMENT column, and a backslash in a
// literal is an escape, as every literal written here expects (NO_BACKSLASH_ESCAPES taken out).
constexpr std::string_view kStructureMode = "'NO_AUTO_VALUE_ON_ZERO'";
constexpr std::string_view kRowsMode =
    "TRIM(BOTH ',' FROM REPLACE(CONCAT(',', @OLD_SQL_MODE, ',NO_AUTO_VALUE_ON_ZERO,'), ',NO_BACKSLASH_ESCAPES,', ','))";

}  // namespace

std::string MariaDBBuilder::session_prologue(bool rows) {
    std::string text =
        "SET @OLD_CHARACTER_SET_CLIENT = @@CHARACTER_SET_CLIENT, @OLD_CHARACTER_SET_RESULTS = "
        "@@CHARACTER_SET_RESULTS, @OLD_COLLATION_CONNECTION = @@COLLATION_CONNECTION;\n"
        "SET NAMES utf8mb4;\n"
        "SET @OLD_SQL_MODE = @@SQL_MODE;\n"
        "SET SQL_MODE = " + std::string(rows ? kRowsMode : kStructureMode) + ";\n";
    if (rows) text += rows_prologue();
    return text;
}

std::string MariaDBBuilder::rows_prologue() {
    return "SET @OLD_FOREIGN_KEY_CHECKS = @@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS = 0;\n"
           "SET @OLD_UNIQUE_CHECKS = @@UNIQUE_CHECKS, UNIQUE_CHECKS = 0;\n"
           "SET @OLD_TIME_ZONE = @@TIME_ZONE, TIME_ZONE = '+00:00';\n";
}

std::string MariaDBBuilder::rows_epilogue() {
    return "SET TIME_ZONE = @OLD_TIME_ZONE;\n"
           "SET UNIQUE_CHECKS = @OLD_UNIQUE_CHECKS;\n"
           "SET FOREIGN_KEY_CHECKS = @OLD_FOREIGN_KEY_CHECKS;\n";
}

std::string MariaDBBuilder::session_mode_for(std::string_view statement, std::string& current) {
    std::size_t at = 0;
    while (at < statement.size() && (statement[at] == ' ' || statement[at] == '\n' || statement[at] == '\t')) ++at;
    // The first two words: CREATE TABLE wants the lax mode, what changes rows the session's own;
    // anything else (a stored program, which sets its own mode, a view, a session setting) runs in
    // whichever the session is in.
    std::string head = Core::ascii_upper(statement.substr(at, 40));
    for (char& c : head)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    const auto starts = [&](std::string_view word) { return head.starts_with(word); };
    const bool creates = starts("CREATE TABLE ") || starts("CREATE SEQUENCE ") || starts("CREATE OR REPLACE TABLE ");
    const bool changes_rows = starts("ALTER TABLE ") || starts("INSERT ") || starts("UPDATE ") ||
                              starts("DELETE ") || starts("REPLACE ") || starts("LOAD ");
    if (!creates && !changes_rows) return {};
    const std::string wanted(creates ? kStructureMode : kRowsMode);
    if (current.empty()) current = kStructureMode;  // as the structure prologue leaves it
    if (wanted == current) return {};
    current = wanted;
    return "SET SQL_MODE = " + wanted + ";";
}

std::string MariaDBBuilder::script_in_session(const std::vector<std::string>& statements) {
    std::vector<std::string> texts;
    texts.reserve(statements.size() + 4);
    std::string mode;
    for (const auto& statement : statements) {
        if (auto set = session_mode_for(statement, mode); !set.empty()) {
            set.pop_back();  // its ';', which the joined script writes
            texts.push_back(std::move(set));
        }
        texts.push_back(statement);
    }
    return session_prologue(false) + join_script(texts) + session_epilogue(false);
}

std::string MariaDBBuilder::session_epilogue(bool rows) {
    std::string text;
    if (rows) text += rows_epilogue();
    text += "SET SQL_MODE = @OLD_SQL_MODE;\n"
            "SET CHARACTER_SET_CLIENT = @OLD_CHARACTER_SET_CLIENT, CHARACTER_SET_RESULTS = @OLD_CHARACTER_SET_RESULTS, "
            "COLLATION_CONNECTION = @OLD_COLLATION_CONNECTION;\n";
    return text;
}

std::string MariaDBBuilder::build_schema_script(const std::shared_ptr<MetaSchema>& schema,
                                                const std::shared_ptr<MetaDatabase>& database, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    const auto parts = build_schema_parts(schema, database, native);
    return parts.structure + parts.programs + "\n" + session_epilogue(false);
}

MariaDBBuilder::SchemaParts MariaDBBuilder::build_schema_parts(const std::shared_ptr<MetaSchema>& schema,
                                                               const std::shared_ptr<MetaDatabase>& database,
                                                               bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    std::string text = session_prologue(false) + "\n";
    if (database) {
        std::string head = "CREATE DATABASE IF NOT EXISTS " + ident(schema->get_name()) + "\n";
        if (const auto charset = attribute(*database, "CHARACTER SET"); !charset.empty())
            head += "  CHARACTER SET = '" + lit(charset) + "'\n";
        if (const auto collation = attribute(*database, "COLLATE"); !collation.empty())
            head += "  COLLATE = '" + lit(collation) + "'\n";
        if (!database->get_comment().empty()) head += "  COMMENT = '" + lit(database->get_comment()) + "'\n";
        drop_last(head, 1, 0);
        text += head + ";\n";
    } else {
        text += "CREATE DATABASE IF NOT EXISTS " + ident(schema->get_name()) + ";\n";
    }
    // A view's unqualified names are read in the current database when it is created.
    text += "USE " + ident(schema->get_name()) + ";\n\n";
    // Sequences before the tables whose defaults take their next values.
    for (const auto& sequence : *schema->get_sequences()) text += build_sequence(sequence) + "\n\n";

    const TableOrder order = order_tables(schema->get_tables()->items());
    const auto deferred = [&](const MetaForeignKey& key) { return order.deferred.contains(&key); };
    for (const auto& table : order.tables) text += create_table_text(table, native, deferred) + "\n";
    if (const auto keys = deferred_keys_text(order.tables, order.deferred); !keys.empty()) text += keys + "\n";
    // Routines before views: a view that calls a stored function is refused while it is missing,
    // while a routine's body is only read when it runs.
    for (const auto& function : *schema->get_functions()) text += build_function(function) + "\n\n";
    for (const auto& procedure : *schema->get_procedures()) text += build_function(procedure) + "\n\n";
    for (const auto& view : order_views(schema->get_views()->items())) text += build_view(view) + "\n\n";
    std::string programs;
    for (const auto& table : order.tables) {
        std::string triggers = build_table_triggers(table, true);
        drop_last(triggers, 1, 0);
        programs += triggers;
    }
    for (const auto& event : *schema->get_events()) programs += build_event(event) + "\n";
    return {std::move(text), std::move(programs)};
}

std::string MariaDBBuilder::deferred_keys_text(const std::vector<std::shared_ptr<MetaTable>>& tables,
                                              const std::set<const MetaForeignKey*>& deferred) {
    std::string text;
    for (const auto& table : tables)
        for (const auto& key : constraints_of<MetaForeignKey>(*table))
            if (deferred.contains(key.get())) {
                std::string clause = foreign_key_definition(*table, *key);
                drop_last(clause, 1, 0);
                text += "ALTER TABLE " + qualified(table->get_schema(), table->get_name()) + " ADD " + clause + ";\n";
            }
    return text;
}

std::string MariaDBBuilder::build_schema_patch(const std::shared_ptr<MetaSchema>& patched, bool native) {
    OMBRIX_RETURN_VAL_IF_NULL(patched, {});
    using V = DataVersion;
    std::string text;
    const auto add = [&](const std::string& statement) {
        if (statement.empty()) return;
        text += statement;
        if (!ends_with(text, "\n")) text += "\n";
    };
    // What goes away first, views and programs before the tables they might name.
    for (const auto& view : with_version(patched->get_views(), {V::DELETE})) add(build_delete(view));
    for (const auto& function : with_version(patched->get_functions(), {V::DELETE})) add(build_delete(function));
    for (const auto& procedure : with_version(patched->get_procedures(), {V::DELETE})) add(build_delete(procedure));
    for (const auto& event : with_version(patched->get_events(), {V::DELETE})) add(build_delete(event));
    // New tables in reference order, then the changes, then the drops, the tables that refer to
    // others before those they refer to.
    for (const auto& sequence : with_version(patched->get_sequences(), {V::INSERT, V::UPDATE}))
        add(build_patch(sequence, native));
    const TableOrder created = order_tables(with_version(patched->get_tables(), {V::INSERT}));
    const auto deferred = [&](const MetaForeignKey& key) { return created.deferred.contains(&key); };
    for (const auto& table : created.tables) {
        std::string script = create_table_text(table, native, deferred) + build_table_triggers(table);
        add(script);
    }
    add(deferred_keys_text(created.tables, created.deferred));
    for (const auto& table : with_version(patched->get_tables(), {V::UPDATE})) add(patch_table(table));
    auto dropped = order_tables(with_version(patched->get_tables(), {V::DELETE})).tables;
    std::reverse(dropped.begin(), dropped.end());
    for (const auto& table : dropped) add(build_delete(table));
    for (const auto& sequence : with_version(patched->get_sequences(), {V::DELETE})) add(build_delete(sequence));
    // Programs before views, which may call them; views in dependence order.
    for (const auto& function : with_version(patched->get_functions(), {V::INSERT, V::UPDATE}))
        add(build_patch(function, native));
    for (const auto& procedure : with_version(patched->get_procedures(), {V::INSERT, V::UPDATE}))
        add(build_patch(procedure, native));
    for (const auto& view : order_views(with_version(patched->get_views(), {V::INSERT, V::UPDATE})))
        add(build_patch(view, native));
    for (const auto& event : with_version(patched->get_events(), {V::INSERT, V::UPDATE})) add(build_patch(event, native));
    return text;
}

// ---- indexes, views, routines, triggers, events

std::string MariaDBBuilder::build_index(const std::shared_ptr<MetaIndex>& index) {
    OMBRIX_RETURN_VAL_IF_NULL(index, {});
    std::string text = "CREATE ";
    const std::string method = Core::ascii_upper(index->get_method());
    if (!index->get_kind().empty())
        text += index->get_kind() + " ";
    else if (method == "FULLTEXT" || method == "SPATIAL")
        text += method + " ";
    text += "INDEX " + ident(index->get_name()) + " ON " + qualified(index->get_schema(), index->get_entity()) + "( \n";
    for (const auto& part : index->get_columns()) text += "    " + key_part(part, nullptr) + ",\n";
    drop_last(text, 2, 2);
    text += "\n)\n";
    if (!index->get_with().empty()) text += index->get_with() + "\n";
    if (!index->get_algorithm().empty())
        text += "ALGORITHM = " + index->get_algorithm() + " ";
    else if (!index->get_lock().empty())
        text += "LOCK = " + index->get_lock() + " ";
    drop_last(text, 1, 0);
    text += ";";
    return text;
}

std::string MariaDBBuilder::view_text(const MetaView& view, bool create) {
    std::string text = create ? "CREATE " : "ALTER ";
    if (has_attribute(view, "ALGORITHM")) text += "ALGORITHM = " + attribute(view, "ALGORITHM") + " ";
    if (has_attribute(view, "DEFINER")) text += "DEFINER = " + account(attribute(view, "DEFINER")) + " ";
    if (has_attribute(view, "SECURITY")) text += "SQL SECURITY " + attribute(view, "SECURITY") + " ";
    text += "VIEW " + qualified(view.get_schema(), view.get_name()) + " AS ";
    text += view.get_definition() + "\n";
    if (has_attribute(view, "CHECK")) text += "WITH " + attribute(view, "CHECK") + " CHECK OPTION";
    if (!ends_with(trim(text), ";")) text += ";";
    return in_its_session(view, std::move(text));
}

std::string MariaDBBuilder::build_view(const std::shared_ptr<MetaView>& view) {
    OMBRIX_RETURN_VAL_IF_NULL(view, {});
    return view_text(*view, true);
}

std::string MariaDBBuilder::patch_view(const std::shared_ptr<MetaView>& view) {
    OMBRIX_RETURN_VAL_IF_NULL(view, {});
    return view_text(*view, false);
}

std::string MariaDBBuilder::build_function(const std::shared_ptr<MetaFunction>& function) {
    OMBRIX_RETURN_VAL_IF_NULL(function, {});
    std::string text = "CREATE ";
    if (const auto definer = attribute(*function, "DEFINER"); !definer.empty())
        text += "DEFINER = " + account(definer) + " ";
    if (function->is_package()) {
        // A package or its body: the characteristics, then its text from AS (or IS) to its END,
        // in the SQL mode it was created in (ORACLE).
        text += function->routine_type() + " " + bare_qualified(function->get_schema(), function->get_name()) + " ";
        if (const auto comment = attribute(*function, "COMMENT"); !comment.empty()) text += "COMMENT '" + lit_in(*function, comment) + "' ";
        if (attribute(*function, "SQL SECURITY") == "INVOKER") text += "SQL SECURITY INVOKER ";
        text += trim(function->get_body()) + ";";
        return in_its_session(*function, std::move(text));
    }
    if (function->get_is_function() && attribute(*function, "AGGREGATE") == "YES") text += "AGGREGATE ";
    text += std::string(function->get_is_function() ? "FUNCTION" : "PROCEDURE") + " " +
            bare_qualified(function->get_schema(), function->get_name());
    const auto& parameters = function->get_parameters();
    // A routine read from a server keeps its parameter list and body as written (the server shows
    // them so), written back while the model still says the same.
    const Core::Value* written_parameters = function->get_data(std::string(MariaDBAdapter::WRITTEN_PARAMETERS));
    const Core::Value* written_body = function->get_data(std::string(MariaDBAdapter::WRITTEN_BODY));
    if (written_parameters && MariaDBAdapter::split_parameters(written_parameters->get_string()) == parameters) {
        text += "(" + written_parameters->get_string() + ") ";
    } else if (!parameters.empty()) {
        text += "(";
        for (const auto& parameter : parameters) text += parameter + ", ";
        drop_last(text, 2, 0);
        text += ") ";
    } else {
        text += "() ";
    }
    if (function->get_is_function()) text += "RETURNS " + function->get_return_type() + " ";
    for (const auto& [key, value] : function->get_attributes()) {
        if (key == "DEFINER" || key == "SQL_MODE" || key == "COLLATION_CONNECTION" || key == "AGGREGATE" || value.empty())
            continue;
        if (key == "DETERMINISTIC")
            text += std::string(value == "YES" ? "" : "NOT ") + "DETERMINISTIC ";
        else if (key == "DATA_ACCESS")
            text += value + " ";
        else if (key == "COMMENT")
            text += key + " '" + lit_in(*function, value) + "' ";
        else
            text += key + " " + value + " ";
    }
    drop_last(text, 1, 0);
    text += "\n";
    const std::string& body = function->get_body();
    if (written_body && MariaDBAdapter::program_body(written_body->get_string()) == body &&
        !trim(written_body->get_string()).empty())
        text += trim(written_body->get_string()) + ";";
    else if (needs_block(body))
        text += "BEGIN\n  " + terminated(body) + "\nEND;";
    else
        text += body + ";";
    return in_its_session(*function, std::move(text));
}

std::string MariaDBBuilder::build_caller(const std::shared_ptr<MetaFunction>& function) {
    OMBRIX_RETURN_VAL_IF_NULL(function, {});
    std::string text = std::string(function->get_is_function() ? "SELECT " : "CALL ") +
                       qualified(function->get_schema(), function->get_name());
    const auto& parameters = function->get_parameters();
    if (parameters.empty()) return text + "()";
    static const Core::Regex pattern(
        R"((?<mode>INOUT|OUT|IN)?\s?(?<name>[\w"'`]+)\s?(?<type>[\w.,'"`()]+)?\s?(=>\s?(?<value>[\w']+))?)",
        G_REGEX_CASELESS);
    std::string prefix;
    text += "(";
    for (const auto& parameter : parameters) {
        std::string argument = "_";
        if (const auto match = pattern.match(parameter)) {
            const std::string mode = Core::ascii_upper(match->named("mode"));
            const std::string name = match->named("name");
            const std::string value = match->named("value");
            if (mode == "OUT") {
                argument = "@" + name;
            } else if (mode == "INOUT") {
                prefix += "SET @" + name + " = " + value + ";\n";
                argument = "@" + name;
            } else if (!value.empty()) {
                argument = value;
            }
        } else {
            g_warning("%s: Failed to match: %s", G_STRLOC, parameter.c_str());
        }
        text += argument + ", ";
    }
    drop_last(text, 2, 0);
    text += ")";
    return prefix + text;
}

std::string MariaDBBuilder::build_trigger(const std::shared_ptr<MetaTrigger>& trigger) {
    OMBRIX_RETURN_VAL_IF_NULL(trigger, {});
    std::string text = "CREATE ";
    if (!trigger->get_definer().empty()) text += "DEFINER = " + account(trigger->get_definer()) + " ";
    text += "TRIGGER " + qualified(trigger->get_schema(), trigger->get_name()) + " ";
    text += trigger->get_timing() + " " + trigger->get_event() + " ";
    text += "ON " + bare_qualified(trigger->get_schema(), trigger->get_target()) + " FOR EACH ROW ";
    if (!trigger->get_order().empty())
        text += trigger->get_order() + " " + bare(trigger->get_trigger()) + "\n";
    else
        text += "\n";
    const std::string& body = trigger->get_body();
    if (needs_block(body))
        text += "BEGIN\n " + terminated(body) + "\nEND;";
    else
        text += trim(body) + ";";
    return in_its_session(*trigger, std::move(text)) + "\n";
}

std::string MariaDBBuilder::event_text(const MetaEvent& event, bool create) {
    std::string text = create ? "CREATE " : "ALTER ";
    const std::string definer = event.get_definer().empty() ? std::string() : "DEFINER = " + account(event.get_definer()) + " ";
    if (create)
        text += definer.empty() ? "EVENT IF NOT EXISTS" : definer + "EVENT IF NOT EXISTS ";
    else
        text += definer + "EVENT ";
    text += qualified(event.get_schema(), event.get_name()) + "\n";
    text += "\tON SCHEDULE " + event.get_schedule() + " ";
    text += "ON COMPLETION " + event.get_completion() + " ";
    text += event_state(event.get_state()) + "\n";
    if (!event.get_comment().empty()) text += "\tCOMMENT '" + lit_in(event, event.get_comment()) + "'\n";
    const std::string& body = event.get_body();
    if (needs_block(body))
        text += "\tDO BEGIN\n\t\t" + terminated(body) + "\n\tEND;";
    else
        text += "\tDO " + trim(body) + ";";
    return in_its_session(event, std::move(text)) + "\n";
}

std::string MariaDBBuilder::build_event(const std::shared_ptr<MetaEvent>& event) {
    OMBRIX_RETURN_VAL_IF_NULL(event, {});
    return event_text(*event, true);
}

std::string MariaDBBuilder::patch_event(const std::shared_ptr<MetaEvent>& event) {
    OMBRIX_RETURN_VAL_IF_NULL(event, {});
    return event_text(*event, false);
}

// ---- users and roles

std::string MariaDBBuilder::build_user(const std::shared_ptr<MetaUser>& user) {
    OMBRIX_RETURN_VAL_IF_NULL(user, {});
    const std::string& name = user->get_name();
    const auto at = name.rfind('@');
    const std::string user_part = name.substr(0, at);
    // A name without a host means any host, as its grants and the server's account statements read it.
    const std::string host_part = at == std::string::npos ? std::string("%") : name.substr(at + 1);
    std::string text = "CREATE USER " + ident(user_part) + "@" + ident(host_part) + " ";

    const std::string plugin = attribute(*user, "PLUGIN");
    const std::string& password = user->get_password();
    if (plugin == "default") {
        text += "IDENTIFIED BY '" + lit(password) + "' ";
    } else if (plugin == "unix_socket") {
        text += "IDENTIFIED WITH " + plugin + " ";
    } else if (plugin == "mysql_native_password") {
        // What the server keeps is the password's hash: given back as a hash, never as a password.
        if (!password.empty()) text += "IDENTIFIED BY PASSWORD '" + lit(password) + "' ";
    } else if (!plugin.empty()) {
        text += "IDENTIFIED VIA " + plugin + (password.empty() ? std::string(" ") : " USING '" + lit(password) + "' ");
    }
    text += "\n  ";

    const std::string ssl = attribute(*user, "SSL_TYPE");
    if (ssl == "NONE") {
        text += "REQUIRE NONE ";
    } else if (ssl == "ANY") {
        text += "REQUIRE SSL ";
    } else if (ssl == "X509") {
        text += "REQUIRE X509 ";
    } else if (ssl == "SPECIFIED") {
        const char* word = "REQUIRE";
        for (const auto& [key, clause] : {std::pair<const char*, const char*>{"X509_ISSUER", "ISSUER"},
                                          {"X509_SUBJECT", "SUBJECT"},
                                          {"X509_CIPHER", "CIPHER"}}) {
            const std::string value = attribute(*user, key);
            if (value.empty()) continue;
            text += std::string(word) + " " + clause + " '" + lit(value) + "' ";
            word = "AND";
        }
    }

    const auto limit = [&](const char* key) {
        const std::string value = attribute(*user, key);
        return value.empty() ? std::string("0") : value;
    };
    text += "\n  WITH ";
    text += "MAX_QUERIES_PER_HOUR " + limit("MAX_QUERIES") + " ";
    text += "MAX_UPDATES_PER_HOUR " + limit("MAX_UPDATES") + " ";
    text += "MAX_CONNECTIONS_PER_HOUR " + limit("MAX_CONNECTIONS") + " ";
    text += "MAX_USER_CONNECTIONS " + limit("USER_CONNECTIONS") + " ";
    text += "MAX_STATEMENT_TIME " + limit("MAX_STATEMENT_TIME");
    text += "\n  ";

    const std::string policy = attribute(*user, "PASSWORD_POLICY");
    const std::string lifetime = attribute(*user, "PASSWORD_LIFETIME");
    const bool numeric_lifetime = !lifetime.empty() && std::all_of(lifetime.begin(), lifetime.end(),
                                                                   [](char c) { return c >= '0' && c <= '9'; });
    if (policy == "DEFAULT") {
        text += "PASSWORD EXPIRE DEFAULT ";
    } else if (policy == "IMMEDIATE" || policy == "Y") {
        // "Y" is how the server's account table says the password has expired.
        text += "PASSWORD EXPIRE ";
    } else if (policy == "INTERVAL") {
        text += "PASSWORD EXPIRE INTERVAL " + lifetime + " DAY ";
    } else if (policy == "NEVER") {
        text += "PASSWORD EXPIRE NEVER ";
    } else if (numeric_lifetime) {
        // The account table keeps a lifetime of its own: 0 days is never, and no value the default.
        text += lifetime == "0" ? std::string("PASSWORD EXPIRE NEVER ") : "PASSWORD EXPIRE INTERVAL " + lifetime + " DAY ";
    }
    if (attribute(*user, "ACCOUNT_STATE") == "true") text += "ACCOUNT LOCK ";
    drop_last(text, 1, 0);
    text += ";\n";
    return text;
}

std::string MariaDBBuilder::build_role(const std::shared_ptr<MetaRole>& role) {
    OMBRIX_RETURN_VAL_IF_NULL(role, {});
    // A role has no host: never written as an account.
    std::string text = "CREATE ROLE " + ident(role_name(role->get_name())) + " ";
    if (has_attribute(*role, "WITH ADMIN")) text += "WITH ADMIN " + account(attribute(*role, "WITH ADMIN")) + " ";
    drop_last(text, 1, 0);
    text += ";";
    return text;
}

std::string MariaDBBuilder::build_grants(const MetaObjectPtr& meta_object) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    const Core::StringMap* privileges = nullptr;
    const Core::StringMap* relations = nullptr;
    std::string grantee;
    if (auto user = std::dynamic_pointer_cast<MetaUser>(meta_object)) {
        privileges = &user->get_privileges();
        relations = &user->get_relations();
        const std::string& name = user->get_name();
        const auto at = name.rfind('@');
        grantee = ident(name.substr(0, at)) + "@" + ident(at == std::string::npos ? std::string("%") : name.substr(at + 1));
    } else if (auto role = std::dynamic_pointer_cast<MetaRole>(meta_object)) {
        privileges = &role->get_privileges();
        relations = &role->get_relations();
        grantee = ident(role_name(role->get_name()));
    } else {
        return {};
    }
    std::string text;
    for (const auto& [object, granted] : *privileges) {
        std::string rights = trim(granted);
        bool grant_option = false;
        static constexpr std::string_view kGrantOption = ", GRANT OPTION";
        if (ends_with(rights, kGrantOption)) {
            rights.erase(rights.size() - kGrantOption.size());
            grant_option = true;
        }
        // USAGE grants nothing: every account holds it.
        if (rights.empty() || (Core::ascii_upper(rights) == "USAGE" && !grant_option)) continue;
        text += "GRANT " + rights + " ON " + grant_object(object) + " TO " + grantee +
                (grant_option ? " WITH GRANT OPTION" : "") + ";\n";
    }
    const bool is_role = std::dynamic_pointer_cast<MetaRole>(meta_object) != nullptr;
    for (const auto& [pair, admin] : *relations) {
        const auto equals = pair.find('=');
        if (equals == std::string::npos) continue;
        const std::string granted_role = pair.substr(0, equals);
        const std::string member = pair.substr(equals + 1);
        // A user's relations name the roles it holds; a role's, the accounts and roles holding it.
        std::string to = grantee;
        std::string what = ident(granted_role);
        if (is_role) {
            const auto at = member.find('@');
            to = at == std::string::npos || at + 1 == member.size() ? ident(member.substr(0, at)) : account(member);
        }
        text += "GRANT " + what + " TO " + to + (admin == "true" ? " WITH ADMIN OPTION" : "") + ";\n";
    }
    return text;
}

}  // namespace Ombrix::Solvane::Supports::Database
