#include "solvane/Supports/Database/statement.hpp"

#include <cstddef>

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Contracts::Database::StringArray;
using Providers::Contracts::DataType;
using Providers::Contracts::DBObject;
using Providers::Contracts::Server;

namespace {

// "name" in standard SQL: a double quote inside is written twice.
std::string double_quoted(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// "<c0>=<v0><sep><c1>=<v1>..." of two lists of the same length.
std::string join_pairs(const StringArray& columns, const StringArray& values, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += separator;
        out += columns[i];
        out += '=';
        out += values[i];
    }
    return out;
}

std::string join(const StringArray& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

}  // namespace

std::shared_ptr<Statement> Statement::create(Contracts::Database::IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return Core::make_object<Statement>(connection);
}

std::string Statement::build_connection_string(const std::shared_ptr<Server>& server) {
    OMBRIX_RETURN_VAL_IF_NULL(server, std::string{});
    return "DRIVER={" + server->get_driver() + "};" + "SERVER=" + server->get_host() + ";" +
           "DATABASE=" + server->get_initial() + ";" + "PORT=" + std::to_string(server->get_port()) + ";" +
           "UID=" + server->get_username() + ";" + "PWD=" + server->get_password() + ";";
}

// The catalogue and object operations need a dialect: the portable answer is no statement, and
// the result column is reset so a caller never reads a stale index. Every text argument is still
// required, as in every dialect, so a caller's missing text shows here too.

std::string Statement::show_databases(int& column) {
    column = 0;
    return {};
}

std::string Statement::show_tables(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_views(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::change_database(std::string_view database) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    return {};
}

std::string Statement::build_explain(std::string_view statement, std::string_view format) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(format, {});
    return "EXPLAIN " + std::string(statement) + ";";
}

std::string Statement::build_analyze(std::string_view statement, std::string_view format) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(format, {});
    return "ANALYZE " + std::string(statement) + ";";
}

std::string Statement::show_table_spaces(std::string_view database, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    column = 0;
    return {};
}

std::string Statement::show_table_schemas(std::string_view database, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    column = 0;
    return {};
}

std::string Statement::show_checks(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_excludes(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_foreigns(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_rules(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_uniques(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_indexes(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_triggers(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_functions(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_procedures(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::call_function(std::string_view database, std::string_view user_schema, std::string_view function,
                                     std::string_view parameters) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(function, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(parameters, {});
    return {};
}

std::string Statement::call_procedure(std::string_view database, std::string_view user_schema,
                                      std::string_view procedure, std::string_view parameters) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(procedure, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(parameters, {});
    return {};
}

std::string Statement::show_source(DBObject, std::string_view database, std::string_view user_schema,
                                   std::string_view name, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, {});
    column = 0;
    return {};
}

std::string Statement::show_structure(std::string_view database, std::string_view user_schema, std::string_view table,
                                      int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    column = 0;
    return {};
}

std::string Statement::show_content(std::string_view database, std::string_view user_schema, std::string_view table,
                                    std::string_view columns, std::string_view where, std::string_view order,
                                    std::int64_t, std::int32_t) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(columns, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(where, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(order, {});
    return {};
}

std::string Statement::show_users(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_roles(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return {};
}

std::string Statement::show_user_detail(std::string_view database, std::string_view user_schema,
                                        std::string_view username) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    return {};
}

std::string Statement::show_role_detail(std::string_view database, std::string_view user_schema,
                                        std::string_view rolename) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    return {};
}

std::string Statement::show_user_rights(std::string_view database, std::string_view user_schema,
                                        std::string_view username) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    return {};
}

std::string Statement::show_role_rights(std::string_view database, std::string_view user_schema,
                                        std::string_view rolename) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    return {};
}

std::string Statement::grant_user_rights(std::string_view database, std::string_view user_schema,
                                         std::string_view username, std::string_view rights, std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    return {};
}

std::string Statement::revoke_user_rights(std::string_view database, std::string_view user_schema,
                                          std::string_view username, std::string_view rights, std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    return {};
}

std::string Statement::grant_role_rights(std::string_view database, std::string_view user_schema,
                                         std::string_view rolename, std::string_view rights, std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    return {};
}

std::string Statement::revoke_role_rights(std::string_view database, std::string_view user_schema,
                                          std::string_view rolename, std::string_view rights, std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    return {};
}

std::string Statement::show_privileges(int& column, int& context_column) {
    column = 0;
    context_column = 0;
    return {};
}

std::string Statement::flush_privileges() { return {}; }

std::string Statement::show_effected(std::string_view database, std::string_view user_schema, std::string_view table,
                                     std::string_view where) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(where, {});
    return {};
}

std::string Statement::show_relations(std::string_view database, std::string_view user_schema,
                                      std::string_view table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    return {};
}

std::string Statement::rename_object(DBObject, std::string_view database, std::string_view user_schema,
                                     std::string_view old_name, std::string_view new_name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(old_name, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(new_name, {});
    return {};
}

std::string Statement::drop_object(DBObject, std::string_view database, std::string_view user_schema,
                                   std::string_view object_name, std::string_view object_target) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object_name, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object_target, {});
    return {};
}

std::string Statement::empty_table(std::string_view database, std::string_view user_schema,
                                   std::string_view table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    return {};
}

std::string Statement::transaction(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, {});
    return "START TRANSACTION;";
}

std::string Statement::rollback(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, {});
    return "ROLLBACK;";
}

std::string Statement::commit(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, {});
    return "COMMIT;";
}

bool Statement::packs_bare(DataType type) {
    switch (type) {
        case DataType::BOOLEAN:
        case DataType::INT8:
        case DataType::INT16:
        case DataType::INT32:
        case DataType::INT64:
        case DataType::UINT8:
        case DataType::UINT16:
        case DataType::UINT32:
        case DataType::UINT64:
        case DataType::ENUM:
        case DataType::SET:
        case DataType::MONEY:
        case DataType::FLOAT:
        case DataType::DOUBLE:
        case DataType::OBJECT:
            return true;
        default:
            return false;
    }
}

std::string Statement::pack_value(DataType type, std::string_view value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(value, {});
    if (packs_bare(type)) return std::string(value);
    if (type == DataType::BINARY || type == DataType::BLOB) return "X'" + std::string(value) + "'";
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string Statement::quote_identifier(std::string_view identifier, std::string_view schema) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(identifier, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, {});
    if (schema.empty()) return double_quoted(identifier);
    return double_quoted(schema) + "." + double_quoted(identifier);
}

std::string Statement::build_sql_update(std::string_view schema, std::string_view table, const StringArray& columns,
                                        const StringArray& values, const StringArray& key_columns,
                                        const StringArray& key_values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    // Every column is paired with the value at its index: lists of different lengths would read
    // past the shorter one.
    OMBRIX_RETURN_VAL_IF_FAIL(columns.size() == values.size(), std::string{});
    OMBRIX_RETURN_VAL_IF_FAIL(key_columns.size() == key_values.size(), std::string{});
    std::string sql = "UPDATE " + quote_identifier(table, schema) + " SET " + join_pairs(columns, values, ", ");
    if (!key_columns.empty()) sql += " WHERE " + join_pairs(key_columns, key_values, " AND ");
    sql += ";";
    return sql;
}

std::string Statement::build_sql_insert(std::string_view schema, std::string_view table, const StringArray& columns,
                                        const StringArray& values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    return "INSERT INTO " + quote_identifier(table, schema) + "(" + join(columns, ", ") + ") VALUES(" +
           join(values, ", ") + ");";
}

std::string Statement::build_sql_delete(std::string_view schema, std::string_view table, const StringArray& key_columns,
                                        const StringArray& key_values) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    OMBRIX_RETURN_VAL_IF_FAIL(key_columns.size() == key_values.size(), std::string{});
    std::string sql = "DELETE FROM " + quote_identifier(table, schema);
    if (!key_columns.empty()) sql += " WHERE " + join_pairs(key_columns, key_values, " AND ");
    sql += ";";
    return sql;
}

std::string Statement::build_sql_view(std::string_view user_schema, std::string_view view_name,
                                      std::string_view statements) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(view_name, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statements, {});
    // Backticks in every dialect's view text; a backtick inside a name is written twice.
    auto name = [](std::string_view text) {
        std::string out = "`";
        for (const char c : text) {
            if (c == '`') out += '`';
            out += c;
        }
        return out + "`";
    };
    if (user_schema.empty()) return "CREATE VIEW " + name(view_name) + " AS " + std::string(statements);
    return "CREATE VIEW " + name(user_schema) + "." + name(view_name) + " AS " + std::string(statements);
}

OMBRIX_DEFINE_TYPE(Statement, "OmbrixSolvaneSupportsDatabaseStatement");

}  // namespace Ombrix::Solvane::Supports::Database
