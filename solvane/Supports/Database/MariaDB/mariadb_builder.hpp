/// @file The MariaDB builder: meta objects into MariaDB DDL text.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <vector>
#include <string>
#include <string_view>

#include "solvane/Supports/Database/sql_builder.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::MetaModel {
class MetaColumn;
class MetaConstraint;
class MetaForeignKey;
}  // namespace Ombrix::Solvane::MetaModel

namespace Ombrix::Solvane::Supports::Database {

/// Writes CREATE, ALTER and DROP statements for every kind of meta object; never runs them.
///
/// Names are backtick-quoted and literals (comments, passwords, definers) escaped for their
/// context, and every object is qualified with its schema when the model names one, so a script
/// never depends on the session's current database. What the model carries as SQL (defaults,
/// expressions, check clauses, view and routine bodies, key parts with a prefix or order, grants)
/// is written as it stands.
///
/// The contract's operations without a `native` flag use the columns' own server types
/// (`raw-type`), as a model read from a server needs. Stateless apart from the connection, which
/// supplies the inspector for mapped types; callable from any thread while the meta objects are
/// not changed meanwhile.
class OMBRIX_SOLVANE_EXPORT MariaDBBuilder : public SqlBuilder {
public:
    using MetaObjectPtr = std::shared_ptr<MetaModel::MetaObject>;

    /// A builder for `connection`, which owns it; a null `connection` writes the critical
    /// "connection != NULL" and gives null.
    static std::shared_ptr<MariaDBBuilder> create(IConnection* connection);

    OMBRIX_OBJECT(MariaDBBuilder, SqlBuilder);

    // ---- the contract, with native types

    std::string build_create(const MetaObjectPtr& meta_object) override;
    std::string build_delete(const MetaObjectPtr& meta_object) override;
    std::string build_patch(const MetaObjectPtr& meta_object) override;
    std::string alter_database(const std::shared_ptr<MetaModel::MetaDatabase>& database_old,
                               const std::shared_ptr<MetaModel::MetaDatabase>& database_new) override;
    std::string create_database(const std::shared_ptr<MetaModel::MetaDatabase>& database) override;
    std::string build_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema) override;
    std::string build_table(const std::shared_ptr<MetaModel::MetaTable>& table) override;
    std::string build_view(const std::shared_ptr<MetaModel::MetaView>& view) override;
    std::string build_index(const std::shared_ptr<MetaModel::MetaIndex>& index) override;
    std::string build_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) override;
    std::string build_function(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    std::string build_user(const std::shared_ptr<MetaModel::MetaUser>& user) override;
    std::string build_role(const std::shared_ptr<MetaModel::MetaRole>& role) override;
    std::string build_caller(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    std::string build_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    std::string patch_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    std::string patch_table(const std::shared_ptr<MetaModel::MetaTable>& table) override;
    std::string patch_view(const std::shared_ptr<MetaModel::MetaView>& view) override;

    // ---- the dispatching entry points and the table builders with their `native` flag

    /// The create script of any kind of object: database, event, function or procedure, index,
    /// role, schema, table, trigger, user, view; "" for other kinds.
    virtual std::string build_create(const MetaObjectPtr& meta_object, bool native);
    /// The change script of an object after its `version`: INSERT creates it, DELETE drops it,
    /// UPDATE alters a table or view and drops and re-creates an event or routine; users and roles
    /// are created whatever the version.
    virtual std::string build_patch(const MetaObjectPtr& meta_object, bool native);
    /// CREATE DATABASE with the database's character set, collation and comment, then the script
    /// of each of its schemas.
    virtual std::string create_database(const std::shared_ptr<MetaModel::MetaDatabase>& database, bool native);
    /// The tables (each after the tables it references; foreign keys that close a cycle added
    /// afterwards), then the views (each after the views it selects from), then the functions.
    /// Procedures, events and the schema itself are not written; the model is not reordered.
    virtual std::string build_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema, bool native);
    /// CREATE TABLE IF NOT EXISTS with columns, keys, indexes, foreign keys, checks and options,
    /// followed by the table's triggers. `native` writes each column's `raw-type`; otherwise its
    /// `data-type` mapped through the connection's inspector.
    virtual std::string build_table(const std::shared_ptr<MetaModel::MetaTable>& table, bool native);

    /// Every statement that creates `schema` with all it holds, in an order that runs on a server
    /// where it does not exist yet: CREATE DATABASE (with `database`'s options when given, else
    /// plain) and USE, the tables in reference order without their triggers, the foreign keys that
    /// close a cycle, the functions and procedures, the views in dependence order, the triggers in
    /// their tables' order and the events. Unlike `build_schema` nothing is left out.
    std::string build_schema_script(const std::shared_ptr<MetaModel::MetaSchema>& schema,
                                    const std::shared_ptr<MetaModel::MetaDatabase>& database, bool native);

    /// The statements that begin a script of structure (and, with `rows`, of rows too): they keep
    /// the session's settings aside and set what the script's statements depend on, whatever the
    /// session had: utf8mb4 texts; for structure an SQL mode without strict or zero-date checks (a
    /// server keeps structures it accepted under a lax mode); for rows the session's own mode with
    /// NO_AUTO_VALUE_ON_ZERO, no foreign-key or unique checks and temporal values in UTC.
    /// `session_epilogue` puts the settings back.
    static std::string session_prologue(bool rows);
    static std::string session_epilogue(bool rows);
    /// The settings rows are written in, after a structure prologue (no foreign-key or unique
    /// checks, temporal values in UTC), and the statements that put them back.
    static std::string rows_prologue();
    static std::string rows_epilogue();
    /// After a structure prologue, the statement that sets the SQL mode `statement` runs in when it
    /// differs from `current` (then `current` becomes it), else "". A new table or sequence is
    /// created in the lax mode; a change to a table that may hold rows, and a row, in the session's
    /// own mode, strict checks and all: a lax mode would let it change stored values without a word
    /// (NULLs made '' by NOT NULL, texts cut by a shorter type). Other statements (stored programs,
    /// which set their own mode; views; settings) leave the mode as it is.
    static std::string session_mode_for(std::string_view statement, std::string& current);
    /// `statements` as a script that runs them as our own sessions do (`diff --apply`, the
    /// synchronizer): the structure prologue, each statement after the SQL mode it is written for,
    /// and the epilogue; the literals written here read right only so.
    static std::string script_in_session(const std::vector<std::string>& statements);

    /// A schema's script cut where a dump puts the rows.
    struct SchemaParts {
        /// The structure prologue, the database, sequences, tables, routines and views.
        std::string structure;
        /// What acts on rows as they come (triggers, events), without the epilogue.
        std::string programs;
    };
    /// `build_schema_script` in its two parts: the script is structure, programs and the epilogue.
    SchemaParts build_schema_parts(const std::shared_ptr<MetaModel::MetaSchema>& schema,
                                   const std::shared_ptr<MetaModel::MetaDatabase>& database, bool native);

    /// The statements that turn a schema into another's structure, from the patched schema a
    /// comparison gave (its members marked INSERT, UPDATE or DELETE, all named after the schema to
    /// change), in an order that runs: views, routines and events to drop; new tables in reference
    /// order; changed tables; dropped tables; then routines, views (in dependence order) and
    /// events to create or replace. Unchanged members give nothing.
    std::string build_schema_patch(const std::shared_ptr<MetaModel::MetaSchema>& patched, bool native);

    /// GRANT statements for what a user or role holds: its `privileges` (object → rights, with
    /// ", GRANT OPTION" turned into WITH GRANT OPTION) and its `relations` (role memberships, with
    /// WITH ADMIN OPTION where marked). "" for other objects and for an account holding nothing.
    std::string build_grants(const MetaObjectPtr& meta_object);

    // ---- the sections of a table script (each possibly empty)

    std::string build_table_columns(const std::shared_ptr<MetaModel::MetaTable>& table, bool native, bool patch);
    std::string build_table_indexes(const std::shared_ptr<MetaModel::MetaTable>& table, bool patch);
    std::string build_table_foreigns(const std::shared_ptr<MetaModel::MetaTable>& table, bool patch);
    std::string build_table_checks(const std::shared_ptr<MetaModel::MetaTable>& table, bool patch);
    std::string build_table_options(const std::shared_ptr<MetaModel::MetaTable>& table, bool patch);
    std::string build_table_triggers(const std::shared_ptr<MetaModel::MetaTable>& table);
    /// With `in_schema`, for a script that runs with the table's schema as its current database: a
    /// trigger read from a server is written with its head as written (WRITTEN_HEAD) while that
    /// still names it, its timing, event and table, so the server shows it as the source did.
    std::string build_table_triggers(const std::shared_ptr<MetaModel::MetaTable>& table, bool in_schema);

    /// A column's declared type as the table definition writes it: the raw type with its size,
    /// then UNSIGNED and ZEROFILL when set ("DECIMAL(10, 2) UNSIGNED", "INT(6) UNSIGNED ZEROFILL").
    static std::string column_type(const MetaModel::MetaColumn& column);

    /// `value` between single quotes (escaped) for the options the server reads as strings
    /// (COMPRESSION, DATA DIRECTORY, INDEX DIRECTORY, ENCRYPTION); otherwise as it stands.
    static std::string option_format(std::string_view key, std::string_view value);

    /// The table option that records system versioning ("YES" when the table keeps row history).
    static constexpr std::string_view SYSTEM_VERSIONING = "SYSTEM_VERSIONING";
    /// The table option that holds a partitioned table's partitioning clause as SQL
    /// ("PARTITION BY RANGE (`a`) (PARTITION `p0` ...)"); written after the other options.
    static constexpr std::string_view PARTITIONING = "PARTITION BY";
    /// The table option that marks a sequence ("YES"); its attribute SEQUENCE_DEFINITION holds what
    /// follows the name in its CREATE SEQUENCE text, and its data slot SEQUENCE_NEXT the value it
    /// hands out next.
    static constexpr std::string_view SEQUENCE = "SEQUENCE";
    static constexpr std::string_view SEQUENCE_DEFINITION = "SEQUENCE_DEFINITION";
    static constexpr std::string_view SEQUENCE_NEXT = "SEQUENCE_NEXT";
    static bool is_sequence(const MetaModel::MetaTable& table);
    /// CREATE SEQUENCE, then (where the model knows where the sequence stands and it has moved) the
    /// ALTER SEQUENCE ... RESTART that puts the new one there too.
    std::string build_sequence(const std::shared_ptr<MetaModel::MetaTable>& sequence);

    /// The data slot of a trigger read from a server: its head as written (what follows TRIGGER up
    /// to the body), which the builder writes back while it still names the trigger and its table.
    static constexpr std::string_view WRITTEN_HEAD = "WRITTEN_HEAD";

    /// The table attribute that holds an application-time period as written after PERIOD FOR
    /// ("`p` (`a`, `b`)").
    static constexpr std::string_view APPLICATION_PERIOD = "APPLICATION_PERIOD";
    /// The table attribute that holds the primary key's index method where the table gave one.
    static constexpr std::string_view PRIMARY_KEY_METHOD = "PRIMARY_KEY_METHOD";

protected:
    explicit MariaDBBuilder(IConnection* connection) : SqlBuilder(connection) {}

private:
    /// CREATE TABLE without the triggers; foreign keys for which `skip` answers true are left out.
    std::string create_table_text(const std::shared_ptr<MetaModel::MetaTable>& table, bool native,
                                  const std::function<bool(const MetaModel::MetaForeignKey&)>& skip);
    std::string columns_text(const MetaModel::MetaTable& table, bool native, bool patch);
    /// Drop clauses (for keys to drop, and with `drop_updated` for keys to replace) and definitions.
    std::string foreigns_text(const MetaModel::MetaTable& table, bool patch,
                              const std::function<bool(const MetaModel::MetaForeignKey&)>& skip, bool drop_updated);
    std::string view_text(const MetaModel::MetaView& view, bool create);
    /// ALTER TABLE … ADD for each of the `deferred` foreign keys of `tables`.
    std::string deferred_keys_text(const std::vector<std::shared_ptr<MetaModel::MetaTable>>& tables,
                                   const std::set<const MetaModel::MetaForeignKey*>& deferred);
    std::string event_text(const MetaModel::MetaEvent& event, bool create);
};

}  // namespace Ombrix::Solvane::Supports::Database
