#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"

#include <utility>

#include "providers/Core/error.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Providers::Contracts::DataType;
using Providers::Contracts::DBObject;
using Providers::Contracts::Server;

namespace {

// Short names for the two quoting contexts every text below uses.
std::string lit(std::string_view text) { return mariadb_escape_literal(text); }
std::string text_lit(std::string_view text) { return mariadb_quote_literal(text); }
std::string id(std::string_view name) { return mariadb_escape_identifier(name); }

struct Account {
    std::string_view user;
    std::string_view host;
    bool has_host = false;
};

// "user@host" split at the first "@"; without one the whole text is the user, on any host.
Account split_account(std::string_view name) {
    const auto at = name.find('@');
    if (at == std::string_view::npos) return {name, "%", false};
    return {name.substr(0, at), name.substr(at + 1), true};
}

// A role is named by the text before the first "@".
std::string_view role_of(std::string_view name) { return name.substr(0, name.find('@')); }

// `user`@`host` when the name carries a host, else `name`: the account form of DROP USER/ROLE.
std::string quoted_account(std::string_view name) {
    const Account account = split_account(name);
    if (!account.has_host) return mariadb_quote_identifier(name);
    return mariadb_quote_identifier(account.user) + "@" + mariadb_quote_identifier(account.host);
}

// `schema`.`name`, or `name` when no schema is given.
std::string qualified(std::string_view schema, std::string_view name) {
    if (schema.empty()) return mariadb_quote_identifier(name);
    return mariadb_quote_identifier(schema) + "." + mariadb_quote_identifier(name);
}

// The closing of a GRANT: "GRANT OPTION" cannot stand in a privilege list, so it becomes USAGE
// and the statement asks for the option instead. Returns the rights to write and the ending.
std::pair<std::string, std::string_view> grant_option_form(std::string_view rights) {
    constexpr std::string_view option = "GRANT OPTION";
    std::string out(rights);
    if (out.find(option) == std::string::npos) return {std::move(out), "`;"};
    for (auto pos = out.find(option); pos != std::string::npos; pos = out.find(option, pos + 5))
        out.replace(pos, option.size(), "USAGE");
    return {std::move(out), "` WITH GRANT OPTION;"};
}

}  // namespace

std::shared_ptr<MariaDBStatement> MariaDBStatement::create(Contracts::Database::IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return Core::make_object<MariaDBStatement>(connection);
}

std::string MariaDBStatement::build_connection_string(const std::shared_ptr<Server>& server) {
    OMBRIX_RETURN_VAL_IF_NULL(server, std::string{});
    std::string text = "DRIVER={" + server->get_driver() + "};" + "SERVER=" + server->get_host() + ";" +
                       "DATABASE=" + server->get_initial() + ";" + "PORT=" + std::to_string(server->get_port()) + ";" +
                       "USER=" + server->get_username() + ";" + "PASSWORD=" + server->get_password() + ";" +
                       "CHARSET=utf8mb4;";
    if (server->get_ssl_using()) {
        text += "SSLCA=" + server->get_ssl_ca_file() + ";" + "SSLCERT=" + server->get_ssl_cert_file() + ";" +
                "SSLKEY=" + server->get_ssl_key_file() + ";" + "SSLCIPHER=" + server->get_ssl_password() + ";" +
                "SSLVERIFY=1;";
    }
    text += "INTERACTIVE=1;";
    return text;
}

std::string MariaDBStatement::show_databases(int& column) {
    column = 0;
    return "SHOW DATABASES;";
}

std::string MariaDBStatement::change_database(std::string_view database) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    return "use " + mariadb_bare_identifier(database) + ";";
}

std::string MariaDBStatement::show_tables(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    // A table that keeps its rows' history is a table all the same (its type names no TABLE).
    return "SELECT table_name, table_schema, engine FROM information_schema.tables WHERE table_schema = " +
           text_lit(database) + " AND (table_type LIKE '%TABLE%' OR table_type = 'SYSTEM VERSIONED') ORDER BY table_name;";
}

std::string MariaDBStatement::show_views(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "SELECT table_name, table_schema, engine FROM information_schema.tables WHERE table_schema = " +
           text_lit(database) + " AND table_type LIKE '%VIEW%' ORDER BY table_name;";
}

std::string MariaDBStatement::build_explain(std::string_view statement, std::string_view format) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(format, {});
    if (format.empty()) return "EXPLAIN " + std::string(statement) + ";";
    return "EXPLAIN FORMAT=" + std::string(format) + " " + std::string(statement) + ";";
}

std::string MariaDBStatement::build_analyze(std::string_view statement, std::string_view format) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(statement, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(format, {});
    if (format.empty()) return "ANALYZE " + std::string(statement) + ";";
    return "ANALYZE FORMAT=" + std::string(format) + " " + std::string(statement) + ";";
}

std::string MariaDBStatement::show_table_spaces(std::string_view database, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    column = 0;
    return "SELECT " + text_lit(database) + " as name;";
}

std::string MariaDBStatement::show_table_schemas(std::string_view database, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    column = 0;
    return "SELECT " + text_lit(database) + " as name;";
}

std::string MariaDBStatement::show_checks(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
           text_lit(database) + " AND CONSTRAINT_TYPE = 'CHECK';";
}

std::string MariaDBStatement::show_foreigns(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
           text_lit(database) + " AND CONSTRAINT_TYPE = 'FOREIGN KEY';";
}

std::string MariaDBStatement::show_uniques(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "select CONSTRAINT_NAME from INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
           text_lit(database) + " AND CONSTRAINT_TYPE = 'UNIQUE';";
}

std::string MariaDBStatement::show_indexes(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "SELECT DISTINCT CONCAT(TABLE_NAME, '.', INDEX_NAME) FROM INFORMATION_SCHEMA.STATISTICS  WHERE "
           "table_schema = " +
           text_lit(database) + ";";
}

std::string MariaDBStatement::show_triggers(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = " + text_lit(database) + ";";
}

std::string MariaDBStatement::show_functions(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 1;
    return "SHOW FUNCTION STATUS WHERE Db = " + text_lit(database);
}

std::string MariaDBStatement::show_procedures(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 1;
    return "SHOW PROCEDURE STATUS WHERE Db = " + text_lit(database);
}

std::string MariaDBStatement::call_function(std::string_view database, std::string_view user_schema,
                                            std::string_view function, std::string_view parameters) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(function, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(parameters, {});
    return "SELECT `" + id(user_schema) + "`.`" + id(function) + "`" + std::string(parameters) + ";";
}

std::string MariaDBStatement::call_procedure(std::string_view database, std::string_view user_schema,
                                             std::string_view procedure, std::string_view parameters) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(procedure, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(parameters, {});
    return "CALL `" + id(user_schema) + "`.`" + id(procedure) + "`" + std::string(parameters) + ";";
}

std::string MariaDBStatement::show_source(DBObject kind, std::string_view database, std::string_view user_schema,
                                          std::string_view name, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, {});
    const std::string target = "`" + id(user_schema) + "`.`" + id(name) + "`;";
    switch (kind) {
        case DBObject::EVENT:
            column = 3;
            return "SHOW CREATE EVENT " + target;
        case DBObject::FUNCTION:
            column = 2;
            return "SHOW CREATE FUNCTION " + target;
        case DBObject::PACKAGE:
            column = 2;
            return "SHOW CREATE PACKAGE " + target;
        case DBObject::PROCEDURE:
            column = 2;
            return "SHOW CREATE PROCEDURE   " + target;
        case DBObject::SEQUENCE:
            column = 1;
            return "SHOW CREATE SEQUENCE " + target;
        case DBObject::TABLE:
            column = 1;
            return "SHOW CREATE TABLE " + target;
        case DBObject::TRIGGER:
            column = 2;
            return "SHOW CREATE TRIGGER " + target;
        case DBObject::USER: {
            // An account is user@host, never schema.name, and the server answers with one column.
            const Account account = split_account(name);
            column = 0;
            return "SHOW CREATE USER `" + id(account.user) + "`@`" + id(account.host) + "`;";
        }
        case DBObject::VIEW:
            column = 1;
            return "SHOW CREATE VIEW " + target;
        default:
            column = 1;
            return {};
    }
}

std::string MariaDBStatement::show_structure(std::string_view database, std::string_view user_schema,
                                             std::string_view table, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    column = 0;
    return "SHOW FULL COLUMNS FROM `" + id(user_schema) + "`.`" + id(table) + "`;";
}

std::string MariaDBStatement::show_content(std::string_view database, std::string_view user_schema,
                                           std::string_view table, std::string_view columns, std::string_view where,
                                           std::string_view order, std::int64_t offset, std::int32_t limit) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(columns, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(where, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(order, {});
    std::string sql = "SELECT " + std::string(columns) + " FROM `" + id(user_schema) + "`.`" + id(table) + "` ";
    if (!where.empty()) sql += "WHERE " + std::string(where) + " ";
    if (!order.empty()) sql += "ORDER BY " + std::string(order) + " ";
    if (limit > 0) sql += "LIMIT " + std::to_string(limit) + " OFFSET " + std::to_string(offset) + ";";
    return sql;
}

std::string MariaDBStatement::show_users(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "SELECT CONCAT(`user`, '@', `host`) username FROM `mysql`.`user` WHERE BINARY is_role IN ('N', 'n') "
           "ORDER BY username ASC;";
}

std::string MariaDBStatement::show_roles(std::string_view database, std::string_view user_schema, int& column) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    column = 0;
    return "SELECT User FROM `mysql`.`user` WHERE BINARY is_role IN ('Y', 'y') ORDER BY User ASC;";
}

std::string MariaDBStatement::show_user_detail(std::string_view database, std::string_view user_schema,
                                               std::string_view username) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    const Account account = split_account(username);
    return "SELECT mu.Host, mu.User, authentication_string, plugin, password_expired, ssl_type, ssl_cipher, "
           "x509_issuer, x509_subject, max_questions, max_updates, max_connections, max_user_connections, "
           "max_statement_time, JSON_VALUE(mgp.priv, '$.password_last_changed') as password_last_changed, "
           "JSON_VALUE(mgp.priv, '$.password_lifetime') as password_lifetime, JSON_VALUE(mgp.priv, "
           "'$.account_locked') as account_locked FROM mysql.user mu, mysql.global_priv mgp "
           "WHERE mu.host = mgp.host AND mu.user = mgp.user AND mu.HOST = " +
           text_lit(account.host) + " AND mu.USER =" + text_lit(account.user) + ";";
}

std::string MariaDBStatement::show_role_detail(std::string_view database, std::string_view user_schema,
                                               std::string_view rolename) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    return "SELECT `Host`, `User` FROM mysql.global_priv WHERE JSON_VALUE(Priv, '$.is_role') = true AND USER=" +
           text_lit(role_of(rolename)) + ";";
}

std::string MariaDBStatement::show_user_rights(std::string_view database, std::string_view user_schema,
                                               std::string_view username) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    const Account account = split_account(username);
    return "SHOW GRANTS FOR `" + id(account.user) + "`@`" + id(account.host) + "`;";
}

std::string MariaDBStatement::show_role_rights(std::string_view database, std::string_view user_schema,
                                               std::string_view rolename) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    return "SHOW GRANTS FOR `" + id(role_of(rolename)) + "`;";
}

std::string MariaDBStatement::grant_user_rights(std::string_view database, std::string_view user_schema,
                                                std::string_view username, std::string_view rights,
                                                std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    const Account account = split_account(username);
    const auto [granted, ending] = grant_option_form(rights);
    return "GRANT " + granted + " ON " + std::string(object) + " TO `" + id(account.user) + "`@`" + id(account.host) +
           std::string(ending);
}

std::string MariaDBStatement::revoke_user_rights(std::string_view database, std::string_view user_schema,
                                                 std::string_view username, std::string_view rights,
                                                 std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(username, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    const Account account = split_account(username);
    return "REVOKE " + std::string(rights) + " ON " + std::string(object) + " FROM `" + id(account.user) + "`@`" +
           id(account.host) + "`;";
}

std::string MariaDBStatement::grant_role_rights(std::string_view database, std::string_view user_schema,
                                                std::string_view rolename, std::string_view rights,
                                                std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    const auto [granted, ending] = grant_option_form(rights);
    return "GRANT " + granted + " ON " + std::string(object) + " TO `" + id(role_of(rolename)) + std::string(ending);
}

std::string MariaDBStatement::revoke_role_rights(std::string_view database, std::string_view user_schema,
                                                 std::string_view rolename, std::string_view rights,
                                                 std::string_view object) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rolename, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(rights, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object, {});
    return "REVOKE " + std::string(rights) + " ON " + std::string(object) + " FROM `" + id(role_of(rolename)) + "`;";
}

std::string MariaDBStatement::show_privileges(int& column, int& context_column) {
    column = 0;
    context_column = 1;
    return "SHOW PRIVILEGES;";
}

std::string MariaDBStatement::flush_privileges() { return "FLUSH PRIVILEGES;"; }

std::string MariaDBStatement::show_effected(std::string_view database, std::string_view user_schema,
                                            std::string_view table, std::string_view where) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(where, {});
    std::string sql = "SELECT count(*) FROM `" + id(user_schema) + "`.`" + id(table) + "`";
    if (where.empty()) return sql + ";";
    return sql + " WHERE " + std::string(where) + ";";
}

std::string MariaDBStatement::show_relations(std::string_view database, std::string_view user_schema,
                                             std::string_view table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    return "SELECT COLUMN_NAME, CONSTRAINT_NAME, REFERENCED_COLUMN_NAME, REFERENCED_TABLE_NAME FROM "
           "information_schema.KEY_COLUMN_USAGE WHERE TABLE_NAME = " +
           text_lit(table) + " AND TABLE_SCHEMA = " + text_lit(user_schema) + ";";
}

std::string MariaDBStatement::rename_object(DBObject kind, std::string_view database, std::string_view user_schema,
                                            std::string_view old_name, std::string_view new_name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(old_name, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(new_name, {});
    switch (kind) {
        case DBObject::TABLE:
        case DBObject::VIEW:
            // Qualified like drop_object: on a connection whose current database is another one,
            // a bare name would rename that database's table of the same name.
            return "RENAME TABLE " + qualified(user_schema, old_name) + " TO " + qualified(user_schema, new_name) + ";";
        case DBObject::USER: {
            // Accounts go in as user@host with bare names where the grammar accepts them; a part
            // such as "%" or one holding a quote has to be in backticks to be read at all.
            auto account = [](std::string_view name) {
                const Account parts = split_account(name);
                std::string out = mariadb_bare_identifier(parts.user);
                if (parts.has_host) out += "@" + mariadb_bare_identifier(parts.host);
                return out;
            };
            return "RENAME USER " + account(old_name) + " TO " + account(new_name) + ";";
        }
        default:
            return {};
    }
}

std::string MariaDBStatement::drop_object(DBObject kind, std::string_view database, std::string_view user_schema,
                                          std::string_view object_name, std::string_view object_target) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object_name, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(object_target, {});
    switch (kind) {
        case DBObject::DATABASE:
            return "DROP DATABASE IF EXISTS " + mariadb_quote_identifier(object_name) + ";";
        case DBObject::EVENT:
            return "DROP EVENT IF EXISTS " + qualified(user_schema, object_name) + ";";
        case DBObject::FUNCTION:
            return "DROP FUNCTION IF EXISTS " + qualified(user_schema, object_name) + ";";
        case DBObject::INDEX:
            return "DROP INDEX " + mariadb_quote_identifier(object_target) + " ON " +
                   qualified(user_schema, object_name) + ";";
        case DBObject::PROCEDURE:
            return "DROP PROCEDURE IF EXISTS " + qualified(user_schema, object_name) + ";";
        case DBObject::ROLE:
            return "DROP ROLE IF EXISTS " + quoted_account(object_name) + ";";
        case DBObject::SCHEMA:
            return "DROP TABLESPACE " + mariadb_quote_identifier(object_name) + ";";
        case DBObject::TABLE:
            return "DROP TABLE IF EXISTS " + qualified(user_schema, object_name) + ";";
        case DBObject::TRIGGER:
            return "DROP TRIGGER IF EXISTS " + qualified(user_schema, object_name) + ";";
        case DBObject::USER:
            return "DROP USER IF EXISTS " + quoted_account(object_name) + ";";
        case DBObject::VIEW:
            return "DROP VIEW IF EXISTS " + qualified(user_schema, object_name) + ";";
        default:
            return {};
    }
}

std::string MariaDBStatement::empty_table(std::string_view database, std::string_view user_schema,
                                          std::string_view table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(user_schema, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(table, {});
    return "TRUNCATE TABLE `" + id(user_schema) + "`.`" + id(table) + "`;";
}

std::string MariaDBStatement::pack_value(DataType type, std::string_view value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(value, {});
    if (packs_bare(type)) return std::string(value);
    // Hex digits are untouched by escaping; anything else stays inside the literal and makes the
    // server reject the text instead of running it.
    if (type == DataType::BINARY || type == DataType::BLOB) return "X'" + lit(value) + "'";
    // A value ending in a backslash would otherwise escape the closing quote.
    return mariadb_quote_literal(value);
}

std::string MariaDBStatement::quote_identifier(std::string_view identifier, std::string_view schema) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(identifier, {});
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, {});
    if (schema.empty()) return mariadb_quote_identifier(identifier);
    return mariadb_quote_identifier(schema) + "." + mariadb_quote_identifier(identifier);
}

OMBRIX_DEFINE_TYPE(MariaDBStatement, "OmbrixSolvaneSupportsDatabaseMariaDBStatement");

}  // namespace Ombrix::Solvane::Supports::Database
