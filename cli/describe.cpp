// Readable summaries of filled meta objects.
#include "describe.hpp"

#include <algorithm>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "output.hpp"
#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/Constraints/unique.hpp"
#include "solvane/Model/column.hpp"
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
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"

namespace Ombrix::Cli {

namespace MM = Solvane::MetaModel;

namespace {

std::string join(const std::vector<std::string>& parts, const char* separator = ", ") {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

std::string qualified(const MM::MetaObject& object) {
    return object.get_schema().empty() || object.get_schema() == object.get_name()
               ? object.get_name()
               : object.get_schema() + "." + object.get_name();
}

void print_comment(std::ostream& out, const MM::MetaObject& object, const std::string& indent) {
    if (!object.get_comment().empty()) out << indent << "comment: " << object.get_comment() << "\n";
}

void print_map(std::ostream& out, const char* title, const Core::StringMap& map, const std::string& indent) {
    if (map.empty()) return;
    out << indent << title << ":\n";
    for (const auto& [key, value] : map) out << indent << "  " << key << (value.empty() ? "" : ": " + value) << "\n";
}

void print_body(std::ostream& out, const std::string& body, const std::string& indent) {
    if (body.empty()) return;
    out << indent << "body:\n";
    std::size_t start = 0;
    while (start <= body.size()) {
        const auto end = body.find('\n', start);
        out << indent << "  " << body.substr(start, end == std::string::npos ? std::string::npos : end - start) << "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

std::string column_line(const MM::MetaColumn& column) {
    std::string line = column.get_name() + "  " + Solvane::Supports::Database::MariaDBBuilder::column_type(column);
    if (column.get_not_null()) line += "  NOT NULL";
    if (column.get_auto_increment()) line += "  AUTO_INCREMENT";
    if (!column.get_expression().empty())
        line += "  AS (" + column.get_expression() + ")" +
                (column.get_virtual_type().empty() ? "" : " " + column.get_virtual_type());
    else if (!column.get_default_value().empty())
        line += "  DEFAULT " + column.get_default_value();
    if (column.get_update_timestamp()) line += "  ON UPDATE";
    if (!column.get_collation().empty()) line += "  COLLATE " + column.get_collation();
    if (!column.get_comment().empty()) line += "  -- " + column.get_comment();
    return line;
}

std::string constraint_line(const MM::MetaConstraint& constraint) {
    if (const auto* unique = dynamic_cast<const MM::MetaUnique*>(&constraint))
        return (unique->get_is_primary_key() ? "PRIMARY KEY (" : "UNIQUE " + unique->get_name() + " (") +
               unique->get_columns() + ")";
    if (const auto* foreign = dynamic_cast<const MM::MetaForeignKey*>(&constraint)) {
        std::string line = "FOREIGN KEY " + foreign->get_name() + " (" + foreign->get_local_columns() +
                           ") REFERENCES " +
                           (foreign->get_refer_schema().empty() ? "" : foreign->get_refer_schema() + ".") +
                           foreign->get_refer_table() + " (" + foreign->get_refer_columns() + ")";
        if (!foreign->get_delete_action().empty()) line += " ON DELETE " + foreign->get_delete_action();
        if (!foreign->get_update_action().empty()) line += " ON UPDATE " + foreign->get_update_action();
        return line;
    }
    if (const auto* check = dynamic_cast<const MM::MetaCheck*>(&constraint))
        return "CHECK " + check->get_name() + " (" + check->get_check() + ")";
    return "CONSTRAINT " + constraint.get_name();
}

void print_trigger(std::ostream& out, const MM::MetaTrigger& trigger, const std::string& indent) {
    out << indent << trigger.get_name() << "  " << trigger.get_timing() << " " << trigger.get_event();
    if (!trigger.get_order().empty()) out << "  " << trigger.get_order();
    out << "\n";
}

void print_table(std::ostream& out, const MM::MetaTable& table, const std::string& indent) {
    out << indent << "table " << qualified(table) << "\n";
    const std::string inner = indent + "  ";
    print_comment(out, table, inner);
    out << inner << "columns:\n";
    std::vector<std::pair<int, std::string>> primary;
    for (const auto& column : *table.get_columns()) {
        out << inner << "  " << column_line(*column) << "\n";
        if (column->get_is_primary_key()) primary.emplace_back(column->get_primary_ordinal(), column->get_name());
    }
    if (!primary.empty()) {
        std::sort(primary.begin(), primary.end());
        std::vector<std::string> names;
        for (auto& entry : primary) names.push_back(entry.second);
        out << inner << "primary key: " << join(names) << "\n";
    }
    if (table.get_constraints()->size() > 0) {
        out << inner << "constraints:\n";
        for (const auto& constraint : *table.get_constraints())
            out << inner << "  " << constraint_line(*constraint) << "\n";
    }
    if (table.get_indexes()->size() > 0) {
        out << inner << "indexes:\n";
        for (const auto& index : *table.get_indexes())
            out << inner << "  " << index->get_name() << (index->get_kind().empty() ? "" : "  " + index->get_kind())
                << " (" << join(index->get_columns()) << ")\n";
    }
    if (table.get_triggers()->size() > 0) {
        out << inner << "triggers:\n";
        for (const auto& trigger : *table.get_triggers()) print_trigger(out, *trigger, inner + "  ");
    }
    print_map(out, "options", table.get_options(), inner);
}

void print_view(std::ostream& out, const MM::MetaView& view, const std::string& indent) {
    out << indent << "view " << qualified(view) << "\n";
    const std::string inner = indent + "  ";
    print_comment(out, view, inner);
    if (view.get_columns()->size() > 0) {
        std::vector<std::string> names;
        for (const auto& column : *view.get_columns()) names.push_back(column->get_name());
        out << inner << "columns: " << join(names) << "\n";
    }
    if (!view.get_definition().empty()) out << inner << "definition: " << view.get_definition() << "\n";
}

void print_function(std::ostream& out, const MM::MetaFunction& function, const std::string& indent, bool detail) {
    out << indent << (function.get_is_function() ? "function " : "procedure ") << qualified(function) << "("
        << join(function.get_parameters()) << ")";
    if (!function.get_return_type().empty()) out << " RETURNS " << function.get_return_type();
    out << "\n";
    if (detail) {
        print_comment(out, function, indent + "  ");
        print_body(out, function.get_body(), indent + "  ");
    }
}

void print_event(std::ostream& out, const MM::MetaEvent& event, const std::string& indent, bool detail) {
    out << indent << "event " << qualified(event) << "  " << event.get_schedule();
    if (!event.get_state().empty()) out << "  " << event.get_state();
    out << "\n";
    if (detail) print_body(out, event.get_body(), indent + "  ");
}

void print_schema(std::ostream& out, const MM::MetaSchema& schema) {
    out << "schema " << schema.get_name() << "\n";
    print_comment(out, schema, "  ");
    for (const auto& table : *schema.get_tables()) print_table(out, *table, "  ");
    for (const auto& view : *schema.get_views()) print_view(out, *view, "  ");
    for (const auto& function : *schema.get_functions()) print_function(out, *function, "  ", false);
    for (const auto& procedure : *schema.get_procedures()) print_function(out, *procedure, "  ", false);
    for (const auto& event : *schema.get_events()) print_event(out, *event, "  ", false);
    out << "  " << schema.get_tables()->size() << " tables, " << schema.get_views()->size() << " views, "
        << schema.get_functions()->size() << " functions, " << schema.get_procedures()->size() << " procedures, "
        << schema.get_events()->size() << " events\n";
}

}  // namespace

void print_summary(std::ostream& out, const MM::MetaObject& object) {
    if (const auto* schema = dynamic_cast<const MM::MetaSchema*>(&object)) return print_schema(out, *schema);
    if (const auto* table = dynamic_cast<const MM::MetaTable*>(&object)) return print_table(out, *table, "");
    if (const auto* view = dynamic_cast<const MM::MetaView*>(&object)) return print_view(out, *view, "");
    if (const auto* function = dynamic_cast<const MM::MetaFunction*>(&object))
        return print_function(out, *function, "", true);
    if (const auto* event = dynamic_cast<const MM::MetaEvent*>(&object)) return print_event(out, *event, "", true);
    if (const auto* trigger = dynamic_cast<const MM::MetaTrigger*>(&object)) {
        out << "trigger " << qualified(*trigger) << " ON " << trigger->get_target() << "\n";
        print_trigger(out, *trigger, "  ");
        return print_body(out, trigger->get_body(), "  ");
    }
    if (const auto* user = dynamic_cast<const MM::MetaUser*>(&object)) {
        out << "user " << user->get_name() << "\n";
        print_map(out, "attributes", user->get_attributes(), "  ");
        print_map(out, "relations", user->get_relations(), "  ");
        return print_map(out, "privileges", user->get_privileges(), "  ");
    }
    if (const auto* role = dynamic_cast<const MM::MetaRole*>(&object)) {
        out << "role " << role->get_name() << "\n";
        print_map(out, "relations", role->get_relations(), "  ");
        return print_map(out, "privileges", role->get_privileges(), "  ");
    }
    out << object.type_info().name() << " " << qualified(object) << "\n";
    print_comment(out, object, "  ");
}

namespace {

template <class List>
std::shared_ptr<MM::MetaObject> find_in(const List& list, const std::string& name) {
    for (const auto& item : *list)
        if (item->get_name() == name) return item;
    return nullptr;
}

}  // namespace

namespace {

/// A routine whose body the account may not read is written with an empty one: the user hears of it.
void warn_if_hidden(const MM::MetaFunction& routine) {
    if (!routine.has_data(Solvane::Supports::Database::MariaDBAdapter::BODY_HIDDEN)) return;
    namespace DB = Solvane::Supports::Database;
    std::cerr << "ombrix: warning: the body of " << (routine.get_is_function() ? "function " : "procedure ")
              << DB::mariadb_quote_identifier(routine.get_schema()) << "."
              << DB::mariadb_quote_identifier(routine.get_name())
              << " is hidden from this account (it takes the routine's definer or SELECT on mysql.proc); it reads "
                 "as empty\n";
}

}  // namespace

std::shared_ptr<MM::MetaObject> read_object(const Connection& connection, const std::string& schema_name,
                                            const std::string& name) {
    auto adapter = connection->adapter();
    const auto not_found = [&] {
        return Failure("no table, sequence, view, routine, event or trigger named '" + name + "' in '" + schema_name +
                       "'");
    };
    const auto fill = [&](const std::shared_ptr<MM::MetaObject>& found) {
        // Procedures are routines too, but the kind dispatch only fills functions.
        if (auto routine = std::dynamic_pointer_cast<MM::MetaFunction>(found)) {
            check_database(adapter->fill_meta_function(routine));
            warn_if_hidden(*routine);
        } else {
            check_database(adapter->fill_meta_object(found, true));
        }
        return found;
    };
    // Each kind of object is asked for by its name alone, so that the cost does not grow with the
    // schema; an adapter that cannot do so lists the schema.
    if (auto mariadb = std::dynamic_pointer_cast<Solvane::Supports::Database::MariaDBAdapter>(adapter)) {
        auto object = mariadb->find_object(schema_name, name);
        if (!object) throw DatabaseFailure(describe_error(object.error()));
        if (!*object) throw not_found();
        return fill(*object);
    }
    auto schema = read_schema(connection, schema_name, false);
    for (const auto* list : {&schema->get_tables(), &schema->get_sequences()})
        if (auto table = std::dynamic_pointer_cast<MM::MetaTable>(find_in(*list, name))) {
            check_database(adapter->fill_meta_table(table, true));
            return table;
        }
    std::shared_ptr<MM::MetaObject> found = find_in(schema->get_views(), name);
    if (!found) found = find_in(schema->get_functions(), name);
    if (!found) found = find_in(schema->get_procedures(), name);
    if (!found) found = find_in(schema->get_events(), name);
    if (!found) {
        // Triggers hang off their tables; the explorer's list says whether one has
        // this name.
        auto triggers = connection->explorer()->load_objects(schema_name, schema_name, Providers::Contracts::DBObject::TRIGGER, "");
        if (!triggers) throw DatabaseFailure(describe_error(triggers.error()));
        for (const auto& row : *(*triggers)->get_rows())
            if (row->get_n_items() > 0 && row->get_value_at(0)->to_string() == name)
                found = MM::MetaTrigger::with_names(schema_name, schema_name, name);
    }
    if (!found) throw not_found();
    return fill(found);
}

SchemaRead read_full_schema(const Connection& connection, const std::string& name, bool outline) {
    auto read = Solvane::Supports::Database::read_whole_schema(*connection, name, outline);
    if (!read && read.error().domain == "default") throw Failure(read.error().message);  // no such schema
    if (!read) throw DatabaseFailure(describe_error(read.error()));
    for (const auto* list : {&read->schema->get_functions(), &read->schema->get_procedures()})
        for (const auto& routine : **list) warn_if_hidden(*routine);
    return std::move(*read);
}

std::shared_ptr<MM::MetaSchema> read_schema(const Connection& connection, const std::string& name, bool recursive) {
    auto schema = MM::MetaSchema::with_names(name, name);
    check_database(connection->adapter()->fill_meta_schema(schema, recursive));
    return schema;
}

std::vector<std::string> destructive_changes(const MM::MetaSchema& patched) {
    using Providers::Contracts::DataVersion;
    namespace DB = Solvane::Supports::Database;
    std::vector<std::string> changes;
    const auto name = [&](const MM::MetaObject& object) {
        return DB::mariadb_quote_identifier(patched.get_name()) + "." + DB::mariadb_quote_identifier(object.get_name());
    };
    for (const auto& table : *patched.get_tables()) {
        if (table->get_version() == DataVersion::DELETE) {
            changes.push_back("drops table " + name(*table));
            continue;
        }
        if (table->get_version() != DataVersion::UPDATE) continue;
        for (const auto& column : *table->get_columns())
            if (column->get_version() == DataVersion::DELETE)
                changes.push_back("drops column " + DB::mariadb_quote_identifier(column->get_name()) + " of " +
                                  name(*table));
    }
    for (const auto& view : *patched.get_views())
        if (view->get_version() == DataVersion::DELETE) changes.push_back("drops view " + name(*view));
    for (const auto& routine : *patched.get_functions())
        if (routine->get_version() == DataVersion::DELETE)
            changes.push_back(std::string("drops ") + (routine->get_is_function() ? "function " : "procedure ") +
                              name(*routine));
    for (const auto& event : *patched.get_events())
        if (event->get_version() == DataVersion::DELETE) changes.push_back("drops event " + name(*event));
    return changes;
}

}  // namespace Ombrix::Cli
