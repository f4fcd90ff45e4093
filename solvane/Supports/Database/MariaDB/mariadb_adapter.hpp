/// @file The MariaDB adapter: fills meta objects from the server's catalogue.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/adapter.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// Reads `information_schema`, the `mysql` tables and SHOW statements into meta objects. Every
/// name that reaches SQL is quoted for its place, so any schema, table, routine or account name is
/// safe. Most fills mark their object "FILLED" and do nothing the next time. Runs on the caller's
/// thread; every query goes through the connection's `execute_as_model`, and a query error ends
/// the operation and is returned unchanged (what was set stays set, the mark is not attached).
///
/// A recursive schema fill reads each catalogue once for the whole schema and hands the rows to
/// the tables, events and functions; the result is the same as filling every object by itself.
class OMBRIX_SOLVANE_EXPORT MariaDBAdapter : public Adapter {
public:
    static constexpr std::array<std::string_view, 5> TYPE_LIST_NUMERIC = {"DECIMAL", "DOUBLE", "FLOAT", "NUMERIC",
                                                                          "REAL"};
    static constexpr std::array<std::string_view, 4> TYPE_LIST_DATETIME = {"DATE", "TIME", "DATETIME", "TIMESTAMP"};
    static constexpr std::array<std::string_view, 4> TYPE_LIST_VARCHAR = {"CHAR", "VARCHAR", "BINARY", "VARBINARY"};
    /// The data slot set on a routine whose body the account may not read (the catalogue gives none
    /// unless it is the definer or may read mysql.proc): its body reads as empty.
    static constexpr std::string_view BODY_HIDDEN = "BODY_HIDDEN";

    /// An adapter reading through `connection`, which owns it and must outlive it; a null
    /// `connection` writes the critical "connection != NULL" and gives null.
    static std::shared_ptr<MariaDBAdapter> create(IConnection* connection);

    OMBRIX_OBJECT(MariaDBAdapter, Adapter);

    /// Character set, collation and comment of the database, then its schema of the same name;
    /// with `recursive` that schema is filled recursively. When already filled only the recursive
    /// step runs.
    [[nodiscard]] Core::Status fill_meta_database(const std::shared_ptr<MetaModel::MetaDatabase>& database,
                                                  bool recursive) override;
    /// The tables, views, routines and events of the schema; with `recursive` every table
    /// (recursively), view, event and function is filled too (procedures are not). When already
    /// filled only the recursive step runs.
    [[nodiscard]] Core::Status fill_meta_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema,
                                                bool recursive) override;
    /// The table, sequence or view `name` of `schema` as the schema's listing makes it (not yet
    /// filled), asked of the catalogue for that name alone, so that its cost does not grow with the
    /// schema; null when the schema has no such table, sequence or view.
    [[nodiscard]] Core::Result<std::shared_ptr<MetaModel::MetaObject>> find_table_object(const std::string& schema,
                                                                                        const std::string& name);
    /// Any object `name` of `schema` as the schema's listing makes it: a table, sequence or view
    /// (find_table_object), else a routine (a function before a procedure of the same name), an
    /// event or a trigger (its table named as its text names it), each asked of the catalogue by its
    /// name alone; null when there is none.
    [[nodiscard]] Core::Result<std::shared_ptr<MetaModel::MetaObject>> find_object(const std::string& schema,
                                                                                  const std::string& name);
    /// The columns; with `recursive` also indexes, triggers, foreign keys, checks and options.
    [[nodiscard]] Core::Status fill_meta_table(const std::shared_ptr<MetaModel::MetaTable>& table,
                                               bool recursive) override;
    /// Definition, algorithm, definer, security and check option from the views catalogue, and the
    /// columns the view gives from the columns catalogue. Not exactly one row logs a warning and
    /// returns without error and without the mark.
    [[nodiscard]] Core::Status fill_meta_view(const std::shared_ptr<MetaModel::MetaView>& view) override;
    /// Kind, method, comment and key parts of an index (its `entity` names the table).
    [[nodiscard]] Core::Status fill_meta_index(const std::shared_ptr<MetaModel::MetaIndex>& index) override;
    /// A trigger, read for its table alone when it already names one (its target), else within its
    /// schema.
    [[nodiscard]] Core::Status fill_meta_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) override;
    /// A function or procedure with its attributes, body and parameters. A routine without
    /// parameters is filled but not marked (the parameter query must give rows).
    [[nodiscard]] Core::Status fill_meta_function(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    /// Account details, role memberships and privileges of a user named user@host.
    [[nodiscard]] Core::Status fill_meta_user(const std::shared_ptr<MetaModel::MetaUser>& user) override;
    /// Members and privileges of a role.
    [[nodiscard]] Core::Status fill_meta_role(const std::shared_ptr<MetaModel::MetaRole>& role) override;
    /// Definer, body, kind, schedule, state, completion and comment; never marked, so every call reads again.
    [[nodiscard]] Core::Status fill_meta_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    /// Dispatches on the object's kind (database, schema, table, event, function, index, role,
    /// trigger, user, view); any other kind does nothing.
    [[nodiscard]] Core::Status fill_meta_object(const std::shared_ptr<MetaModel::MetaObject>& meta_object,
                                                bool recursive) override;

    /// The roles granted to the user, into its `relations` ("role=user@host" → "true" when the
    /// user may grant the role on). No row logs a warning and is not an error.
    [[nodiscard]] virtual Core::Status load_relation(const std::shared_ptr<MetaModel::MetaUser>& user);
    /// The table's check constraints, appended to `constraints`.
    [[nodiscard]] virtual Core::Status fill_schema_table_check(const std::shared_ptr<MetaModel::MetaTable>& table);
    /// Engine, row format, average row length, collation, character set and comment of the table,
    /// read from its own schema (not the connection's current one).
    [[nodiscard]] Core::Status fill_schema_table_options(const std::shared_ptr<MetaModel::MetaTable>& table);

    /// The text inside a body that is one BEGIN ... END block (keywords in any case, each a whole
    /// word), without trimming; nothing when the body is not such a block.
    static std::optional<std::string> strip_begin_end(std::string_view body);
    /// A stored program's body as the model keeps it: without the BEGIN ... END that wraps it whole,
    /// and without surrounding white space.
    static std::string program_body(std::string_view body);
    /// A routine's parameter list as written, one text per parameter: cut at the commas outside
    /// quotes and parentheses, each trimmed.
    static Core::StringList split_parameters(std::string_view list);
    /// The data slots of a routine read from a server: its parameter list and its body as written,
    /// which the server shows so; the builder writes them back while the model still says the same.
    static constexpr std::string_view WRITTEN_PARAMETERS = "WRITTEN_PARAMETERS";
    static constexpr std::string_view WRITTEN_BODY = "WRITTEN_BODY";
    /// The values part of an ENUM or SET column type ("enum('a','b')" gives "'a','b'"); "" for
    /// any other type.
    static std::string enum_values_of(std::string_view column_type);

protected:
    explicit MariaDBAdapter(IConnection* connection) : Adapter(connection) {}

    /// Runs the database query with `with_comment` choosing whether SCHEMA_COMMENT is read.
    [[nodiscard]] Core::Status fill_database(const std::shared_ptr<MetaModel::MetaDatabase>& database, bool recursive,
                                             bool with_comment);

private:
    /// Columns (always) and, with `recursive`, the other parts of one table from its own queries.
    [[nodiscard]] Core::Status fill_table_alone(MetaModel::MetaTable& table, bool recursive);
    /// What only a table's CREATE TABLE text tells: explicit index methods, the application-time
    /// period and its WITHOUT OVERLAPS keys, and (when `partitioned`) the partitioning.
    [[nodiscard]] Core::Status fill_create_text(MetaModel::MetaTable& table, bool partitioned);
    /// A sequence's definition and position, from SHOW CREATE SEQUENCE and the sequence itself.
    [[nodiscard]] Core::Status fill_sequence(MetaModel::MetaTable& sequence);
    /// The recursive step of a schema fill, reading each catalogue once for the whole schema.
    [[nodiscard]] Core::Status fill_schema_members(MetaModel::MetaSchema& schema);
    /// Runs a SHOW GRANTS text and merges each grant into `privileges` (object → rights).
    [[nodiscard]] Core::Status fill_privileges(const std::string& sql, Core::StringMap& privileges);

    std::shared_ptr<Contracts::Database::IInspectable> inspector();
    std::shared_ptr<Contracts::Database::IStatement> statement();

    // Used when the connection hands out none of its own; made on first use, under the mutex.
    std::mutex m_fallback_mutex;
    std::shared_ptr<Contracts::Database::IInspectable> m_inspector;
    std::shared_ptr<Contracts::Database::IStatement> m_statement;
};

/// The adapter for servers before 10.5.0, whose schema catalogue has no SCHEMA_COMMENT: the
/// database fill reads no comment; everything else is the MariaDB adapter's.
class OMBRIX_SOLVANE_EXPORT MariaDBAdapterBelowV105 final : public MariaDBAdapter {
public:
    /// As `MariaDBAdapter::create`.
    static std::shared_ptr<MariaDBAdapterBelowV105> create(IConnection* connection);

    OMBRIX_OBJECT(MariaDBAdapterBelowV105, MariaDBAdapter);

    [[nodiscard]] Core::Status fill_meta_database(const std::shared_ptr<MetaModel::MetaDatabase>& database,
                                                  bool recursive) override;

private:
    explicit MariaDBAdapterBelowV105(IConnection* connection) : MariaDBAdapter(connection) {}
};

}  // namespace Ombrix::Solvane::Supports::Database
