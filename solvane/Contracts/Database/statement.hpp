/// @file The statement factory contract: ready-made SQL texts for the host's requests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/face_server.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

using StringArray = std::vector<std::string>;

/// Produces SQL texts; runs nothing. `column` receives the zero-based index of the result column
/// that carries what the caller wants (the object's name; for `show_source` the source text).
/// `database` is the catalogue and `user_schema` the schema (MariaDB uses `database` as the schema).
class OMBRIX_SOLVANE_EXPORT IStatement {
public:
    virtual ~IStatement() = default;

    virtual std::string build_connection_string(const std::shared_ptr<Providers::Contracts::Server>& server) = 0;
    virtual std::string show_databases(int& column) = 0;
    virtual std::string show_tables(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_views(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string change_database(std::string_view database) = 0;
    virtual std::string build_explain(std::string_view statement, std::string_view format) = 0;
    virtual std::string build_analyze(std::string_view statement, std::string_view format) = 0;
    virtual std::string show_table_spaces(std::string_view database, int& column) = 0;
    virtual std::string show_table_schemas(std::string_view database, int& column) = 0;
    virtual std::string show_checks(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_excludes(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_foreigns(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_rules(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_uniques(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_indexes(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_triggers(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_functions(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_procedures(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string call_function(std::string_view database, std::string_view user_schema,
                                      std::string_view function, std::string_view parameters) = 0;
    virtual std::string call_procedure(std::string_view database, std::string_view user_schema,
                                       std::string_view procedure, std::string_view parameters) = 0;
    virtual std::string show_source(Providers::Contracts::DBObject kind, std::string_view database,
                                    std::string_view user_schema, std::string_view name, int& column) = 0;
    virtual std::string show_structure(std::string_view database, std::string_view user_schema,
                                       std::string_view table, int& column) = 0;
    virtual std::string show_content(std::string_view database, std::string_view user_schema, std::string_view table,
                                     std::string_view columns, std::string_view where, std::string_view order,
                                     std::int64_t offset, std::int32_t limit) = 0;
    virtual std::string show_users(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_roles(std::string_view database, std::string_view user_schema, int& column) = 0;
    virtual std::string show_user_detail(std::string_view database, std::string_view user_schema,
                                         std::string_view username) = 0;
    virtual std::string show_role_detail(std::string_view database, std::string_view user_schema,
                                         std::string_view rolename) = 0;
    virtual std::string show_user_rights(std::string_view database, std::string_view user_schema,
                                         std::string_view username) = 0;
    virtual std::string show_role_rights(std::string_view database, std::string_view user_schema,
                                         std::string_view rolename) = 0;
    virtual std::string grant_user_rights(std::string_view database, std::string_view user_schema,
                                          std::string_view username, std::string_view rights,
                                          std::string_view object) = 0;
    virtual std::string revoke_user_rights(std::string_view database, std::string_view user_schema,
                                           std::string_view username, std::string_view rights,
                                           std::string_view object) = 0;
    virtual std::string grant_role_rights(std::string_view database, std::string_view user_schema,
                                          std::string_view rolename, std::string_view rights,
                                          std::string_view object) = 0;
    virtual std::string revoke_role_rights(std::string_view database, std::string_view user_schema,
                                           std::string_view rolename, std::string_view rights,
                                           std::string_view object) = 0;
    virtual std::string show_privileges(int& column, int& context_column) = 0;
    virtual std::string flush_privileges() = 0;
    virtual std::string show_effected(std::string_view database, std::string_view user_schema,
                                      std::string_view table, std::string_view where) = 0;
    virtual std::string show_relations(std::string_view database, std::string_view user_schema,
                                       std::string_view table) = 0;
    virtual std::string rename_object(Providers::Contracts::DBObject kind, std::string_view database,
                                      std::string_view user_schema, std::string_view old_name,
                                      std::string_view new_name) = 0;
    virtual std::string drop_object(Providers::Contracts::DBObject kind, std::string_view database,
                                    std::string_view user_schema, std::string_view object_name,
                                    std::string_view object_target) = 0;
    virtual std::string empty_table(std::string_view database, std::string_view user_schema,
                                    std::string_view table) = 0;
    virtual std::string transaction(std::string_view name) = 0;
    virtual std::string rollback(std::string_view name) = 0;
    virtual std::string commit(std::string_view name) = 0;
    virtual std::string pack_value(Providers::Contracts::DataType type, std::string_view value) = 0;
    virtual std::string quote_identifier(std::string_view identifier, std::string_view schema) = 0;
    virtual std::string build_sql_update(std::string_view schema, std::string_view table, const StringArray& columns,
                                         const StringArray& values, const StringArray& key_columns,
                                         const StringArray& key_values) = 0;
    virtual std::string build_sql_insert(std::string_view schema, std::string_view table, const StringArray& columns,
                                         const StringArray& values) = 0;
    virtual std::string build_sql_delete(std::string_view schema, std::string_view table,
                                         const StringArray& key_columns, const StringArray& key_values) = 0;
    virtual std::string build_sql_view(std::string_view user_schema, std::string_view view_name,
                                       std::string_view statements) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
