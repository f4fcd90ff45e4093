/// @file The MariaDB statement factory: catalogue listings, object operations and account rights.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Supports/Database/statement.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The MariaDB texts of the statement factory. Every name written into a text is quoted for its
/// place (see mariadb_quote.hpp), so names holding quotes, backticks or backslashes stay names;
/// the SQL fragments a caller passes on purpose (column lists, conditions, orderings, rights,
/// grant objects, parameter lists, statements) go in as given. Account arguments are "user@host"
/// (host "%" without "@"); role arguments use the text before the first "@".
class OMBRIX_SOLVANE_EXPORT MariaDBStatement : public Statement {
public:
    /// A factory serving `connection` (not owned); null gives null with the critical "connection != NULL".
    static std::shared_ptr<MariaDBStatement> create(Contracts::Database::IConnection* connection);

    /// Driver, server, database, port, user, password, "CHARSET=utf8mb4;", the TLS settings when
    /// the profile uses TLS, and "INTERACTIVE=1;".
    std::string build_connection_string(const std::shared_ptr<Providers::Contracts::Server>& server) override;
    std::string show_databases(int& column) override;
    /// "use <database>;" — an ordinary name as it is, any other in backticks.
    std::string change_database(std::string_view database) override;
    std::string show_tables(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_views(std::string_view database, std::string_view user_schema, int& column) override;
    /// "EXPLAIN [FORMAT=<format> ]<statement>;".
    std::string build_explain(std::string_view statement, std::string_view format) override;
    /// "ANALYZE [FORMAT=<format> ]<statement>;".
    std::string build_analyze(std::string_view statement, std::string_view format) override;
    std::string show_table_spaces(std::string_view database, int& column) override;
    std::string show_table_schemas(std::string_view database, int& column) override;
    std::string show_checks(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_foreigns(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_uniques(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_indexes(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_triggers(std::string_view database, std::string_view user_schema, int& column) override;
    /// SHOW FUNCTION STATUS of the database; the name is in column 1.
    std::string show_functions(std::string_view database, std::string_view user_schema, int& column) override;
    /// SHOW PROCEDURE STATUS of the database; the name is in column 1.
    std::string show_procedures(std::string_view database, std::string_view user_schema, int& column) override;
    /// "SELECT `schema`.`function`<parameters>;" — `parameters` includes its parentheses.
    std::string call_function(std::string_view database, std::string_view user_schema, std::string_view function,
                              std::string_view parameters) override;
    /// "CALL `schema`.`procedure`<parameters>;".
    std::string call_procedure(std::string_view database, std::string_view user_schema, std::string_view procedure,
                               std::string_view parameters) override;
    /// SHOW CREATE of the kind; `column` is where the definition arrives. A USER is named by the
    /// account in `name` ("user@host"); kinds without a SHOW CREATE give "" (column 1).
    std::string show_source(Providers::Contracts::DBObject kind, std::string_view database,
                            std::string_view user_schema, std::string_view name, int& column) override;
    std::string show_structure(std::string_view database, std::string_view user_schema, std::string_view table,
                               int& column) override;
    /// A page of rows: LIMIT/OFFSET and the closing ";" only when `limit` > 0; without them the
    /// text ends with a blank so the caller may append clauses.
    std::string show_content(std::string_view database, std::string_view user_schema, std::string_view table,
                             std::string_view columns, std::string_view where, std::string_view order,
                             std::int64_t offset, std::int32_t limit) override;
    std::string show_users(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_roles(std::string_view database, std::string_view user_schema, int& column) override;
    /// The 17 columns of an account's settings from mysql.user and mysql.global_priv.
    std::string show_user_detail(std::string_view database, std::string_view user_schema,
                                 std::string_view username) override;
    std::string show_role_detail(std::string_view database, std::string_view user_schema,
                                 std::string_view rolename) override;
    std::string show_user_rights(std::string_view database, std::string_view user_schema,
                                 std::string_view username) override;
    std::string show_role_rights(std::string_view database, std::string_view user_schema,
                                 std::string_view rolename) override;
    /// GRANT; "GRANT OPTION" in `rights` becomes USAGE plus a closing WITH GRANT OPTION.
    std::string grant_user_rights(std::string_view database, std::string_view user_schema, std::string_view username,
                                  std::string_view rights, std::string_view object) override;
    std::string revoke_user_rights(std::string_view database, std::string_view user_schema, std::string_view username,
                                   std::string_view rights, std::string_view object) override;
    /// GRANT to a role, with the same GRANT OPTION form as for users.
    std::string grant_role_rights(std::string_view database, std::string_view user_schema, std::string_view rolename,
                                  std::string_view rights, std::string_view object) override;
    std::string revoke_role_rights(std::string_view database, std::string_view user_schema, std::string_view rolename,
                                   std::string_view rights, std::string_view object) override;
    /// "SHOW PRIVILEGES;": the privilege in column 0, its context in column 1.
    std::string show_privileges(int& column, int& context_column) override;
    std::string flush_privileges() override;
    /// The row count of the table, under `where` when it is not empty.
    std::string show_effected(std::string_view database, std::string_view user_schema, std::string_view table,
                              std::string_view where) override;
    std::string show_relations(std::string_view database, std::string_view user_schema,
                               std::string_view table) override;
    /// RENAME TABLE for tables and views (inside `user_schema` when it is given), RENAME USER for
    /// accounts; "" for other kinds.
    std::string rename_object(Providers::Contracts::DBObject kind, std::string_view database,
                              std::string_view user_schema, std::string_view old_name,
                              std::string_view new_name) override;
    /// DROP ... IF EXISTS of the kind; objects that live in a schema are qualified with
    /// `user_schema` when it is given, so the drop never reaches a same-named object of the
    /// connection's current database. INDEX drops `object_target` on the table `object_name`.
    std::string drop_object(Providers::Contracts::DBObject kind, std::string_view database,
                            std::string_view user_schema, std::string_view object_name,
                            std::string_view object_target) override;
    std::string empty_table(std::string_view database, std::string_view user_schema, std::string_view table) override;
    /// As the portable form, except that string literals also escape the backslash (the server
    /// reads it as an escape), and the hex digits of BINARY/BLOB cannot close their quote.
    std::string pack_value(Providers::Contracts::DataType type, std::string_view value) override;
    /// "``", "`schema`.``", "`identifier`" or "`schema`.`identifier`" (backticks inside doubled).
    std::string quote_identifier(std::string_view identifier, std::string_view schema) override;

    OMBRIX_OBJECT(MariaDBStatement, Statement);

protected:
    explicit MariaDBStatement(Contracts::Database::IConnection* connection) : Statement(connection) {}
};

}  // namespace Ombrix::Solvane::Supports::Database
