/// @file The portable statement factory: defaults every dialect's statements start from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Contracts/Database/statement.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// SQL texts that need no dialect: an ODBC-style connection string, EXPLAIN/ANALYZE, transaction
/// control, value packing, double-quote identifiers and INSERT/UPDATE/DELETE/CREATE VIEW. Every
/// catalogue listing and object operation is dialect-specific and gives "" (column 0) here.
/// Builds text only; it never runs anything, so one instance may serve several threads.
/// Every text argument is required, in this class and its dialects: a null view (a
/// default-constructed `std::string_view`, a C caller's null string) writes the critical
/// "<argument> != NULL" and gives ""; an empty text is an ordinary argument.
class OMBRIX_SOLVANE_EXPORT Statement : public Core::Object, public Contracts::Database::IStatement {
public:
    /// A factory serving `connection`, which must outlive it (the connection owns its statement
    /// factory, so no reference is taken). A null connection writes the critical
    /// "connection != NULL" and gives null.
    static std::shared_ptr<Statement> create(Contracts::Database::IConnection* connection);

    /// The connection this factory was made for.
    Contracts::Database::IConnection* get_connection() const { return m_connection; }

    /// "DRIVER={driver};SERVER=host;DATABASE=initial;PORT=port;UID=username;PWD=password;"; ""
    /// (with a critical) for a null profile.
    std::string build_connection_string(const std::shared_ptr<Providers::Contracts::Server>& server) override;
    std::string show_databases(int& column) override;
    std::string show_tables(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_views(std::string_view database, std::string_view user_schema, int& column) override;
    std::string change_database(std::string_view database) override;
    /// "EXPLAIN statement;"; `format` is not used.
    std::string build_explain(std::string_view statement, std::string_view format) override;
    /// "ANALYZE statement;"; `format` is not used.
    std::string build_analyze(std::string_view statement, std::string_view format) override;
    std::string show_table_spaces(std::string_view database, int& column) override;
    std::string show_table_schemas(std::string_view database, int& column) override;
    std::string show_checks(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_excludes(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_foreigns(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_rules(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_uniques(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_indexes(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_triggers(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_functions(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_procedures(std::string_view database, std::string_view user_schema, int& column) override;
    std::string call_function(std::string_view database, std::string_view user_schema, std::string_view function,
                              std::string_view parameters) override;
    std::string call_procedure(std::string_view database, std::string_view user_schema, std::string_view procedure,
                               std::string_view parameters) override;
    std::string show_source(Providers::Contracts::DBObject kind, std::string_view database,
                            std::string_view user_schema, std::string_view name, int& column) override;
    std::string show_structure(std::string_view database, std::string_view user_schema, std::string_view table,
                               int& column) override;
    std::string show_content(std::string_view database, std::string_view user_schema, std::string_view table,
                             std::string_view columns, std::string_view where, std::string_view order,
                             std::int64_t offset, std::int32_t limit) override;
    std::string show_users(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_roles(std::string_view database, std::string_view user_schema, int& column) override;
    std::string show_user_detail(std::string_view database, std::string_view user_schema,
                                 std::string_view username) override;
    std::string show_role_detail(std::string_view database, std::string_view user_schema,
                                 std::string_view rolename) override;
    std::string show_user_rights(std::string_view database, std::string_view user_schema,
                                 std::string_view username) override;
    std::string show_role_rights(std::string_view database, std::string_view user_schema,
                                 std::string_view rolename) override;
    std::string grant_user_rights(std::string_view database, std::string_view user_schema, std::string_view username,
                                  std::string_view rights, std::string_view object) override;
    std::string revoke_user_rights(std::string_view database, std::string_view user_schema, std::string_view username,
                                   std::string_view rights, std::string_view object) override;
    std::string grant_role_rights(std::string_view database, std::string_view user_schema, std::string_view rolename,
                                  std::string_view rights, std::string_view object) override;
    std::string revoke_role_rights(std::string_view database, std::string_view user_schema, std::string_view rolename,
                                   std::string_view rights, std::string_view object) override;
    std::string show_privileges(int& column, int& context_column) override;
    std::string flush_privileges() override;
    std::string show_effected(std::string_view database, std::string_view user_schema, std::string_view table,
                              std::string_view where) override;
    std::string show_relations(std::string_view database, std::string_view user_schema,
                               std::string_view table) override;
    std::string rename_object(Providers::Contracts::DBObject kind, std::string_view database,
                              std::string_view user_schema, std::string_view old_name,
                              std::string_view new_name) override;
    std::string drop_object(Providers::Contracts::DBObject kind, std::string_view database,
                            std::string_view user_schema, std::string_view object_name,
                            std::string_view object_target) override;
    std::string empty_table(std::string_view database, std::string_view user_schema, std::string_view table) override;
    /// "START TRANSACTION;"; `name` is not used.
    std::string transaction(std::string_view name) override;
    /// "ROLLBACK;"; `name` is not used.
    std::string rollback(std::string_view name) override;
    /// "COMMIT;"; `name` is not used.
    std::string commit(std::string_view name) override;
    /// Numbers, booleans, ENUM, SET and OBJECT as they are; BINARY and BLOB as X'value' (the value
    /// is hex digits); everything else as a standard string literal with each quote doubled.
    std::string pack_value(Providers::Contracts::DataType type, std::string_view value) override;
    /// "identifier", "schema"."identifier", "schema"."" or "" (embedded double quotes doubled).
    std::string quote_identifier(std::string_view identifier, std::string_view schema) override;
    /// "UPDATE <table> SET c=v, ... [WHERE k=v AND ...];" with the table through `quote_identifier`;
    /// columns and values are SQL fragments and go in as given. Lists of different lengths write a
    /// critical and give "".
    std::string build_sql_update(std::string_view schema, std::string_view table,
                                 const Contracts::Database::StringArray& columns,
                                 const Contracts::Database::StringArray& values,
                                 const Contracts::Database::StringArray& key_columns,
                                 const Contracts::Database::StringArray& key_values) override;
    /// "INSERT INTO <table>(c, ...) VALUES(v, ...);" with the table through `quote_identifier`.
    std::string build_sql_insert(std::string_view schema, std::string_view table,
                                 const Contracts::Database::StringArray& columns,
                                 const Contracts::Database::StringArray& values) override;
    /// "DELETE FROM <table>[ WHERE k=v AND ...];"; key lists of different lengths give "" (critical).
    std::string build_sql_delete(std::string_view schema, std::string_view table,
                                 const Contracts::Database::StringArray& key_columns,
                                 const Contracts::Database::StringArray& key_values) override;
    /// "CREATE VIEW `view` AS statements" or "CREATE VIEW `schema`.`view` AS statements"; no ";".
    std::string build_sql_view(std::string_view user_schema, std::string_view view_name,
                               std::string_view statements) override;

    OMBRIX_OBJECT(Statement, Core::Object);

protected:
    explicit Statement(Contracts::Database::IConnection* connection) : m_connection(connection) {}

    /// Whether `pack_value` writes a value of `type` as it is: numbers, booleans, ENUM, SET, OBJECT.
    static bool packs_bare(Providers::Contracts::DataType type);

private:
    Contracts::Database::IConnection* m_connection;  // not owned: the connection owns this factory
};

}  // namespace Ombrix::Solvane::Supports::Database
