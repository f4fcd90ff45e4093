#include "solvane/Transform/dump.hpp"

#include <algorithm>
#include <ctime>

#include "providers/Supports/MariaDB/provider.hpp"
#include "providers/Supports/MariaDB/reader.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Supports/Database/snapshot.hpp"

namespace Ombrix::Solvane::Transform {

namespace DB = Supports::Database;
namespace MM = MetaModel;
namespace X = Supports::Data::Extractors;
using Providers::Contracts::DataType;
using Providers::Supports::MariaDBProvider;
using Providers::Supports::MariaDBReader;

namespace {

std::string backticked(std::string_view name) { return DB::mariadb_quote_identifier(name); }

/// A schema as the dump reads it: its whole model, the objects not asked for left out.
Core::Result<DB::WholeSchema> read_schema(Contracts::Database::IConnection& connection, const std::string& name,
                                     const DumpOptions& options) {
    auto read = DB::read_whole_schema(connection, name);
    OMBRIX_RETURN_IF_ERROR(read);
    const auto& schema = read->schema;
    // A routine whose body the account cannot read would be written empty.
    for (const auto* list : {&schema->get_functions(), &schema->get_procedures()})
        for (const auto& routine : **list)
            if (routine->has_data(DB::MariaDBAdapter::BODY_HIDDEN))
                return Core::fail("default", -1,
                                  "the body of " + backticked(name) + "." + backticked(routine->get_name()) +
                                      " is hidden from this account (it takes the routine's definer or SELECT on "
                                      "mysql.proc): the dump would create it empty");
    if (!options.tables.empty()) {
        const auto wanted = [&](const auto& object) {
            return std::find(options.tables.begin(), options.tables.end(), object->get_name()) != options.tables.end();
        };
        const auto keep = [&](auto& list) {
            std::vector<typename std::decay_t<decltype(*list)>::value_type> kept;
            for (const auto& object : *list)
                if (wanted(object)) kept.push_back(object);
            list->clear();
            for (auto& object : kept) list->append(std::move(object));
        };
        keep(schema->get_tables());
        keep(schema->get_views());
        keep(schema->get_sequences());
        schema->get_functions()->clear();
        schema->get_procedures()->clear();
        schema->get_events()->clear();
    }
    return std::move(*read);
}

/// Writes the rows of one table as multi-row INSERTs; the number of rows.
Core::Result<std::int64_t> dump_rows(MariaDBProvider& provider, const MM::MetaTable& table,
                                     const std::string& source_schema, const DumpOptions& options, X::TextSink& sink,
                                     const std::function<void(const std::string&, std::int64_t)>& progress) {
    std::vector<std::string> names;
    for (const auto& column : *table.get_columns())
        if (!column->is_generated()) names.push_back(backticked(column->get_name()));
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ", ") + name;
    // A table whose every column is generated gets a row of defaults per row: "()".
    std::string sql = "SELECT " + (list.empty() ? std::string("1") : list) + " FROM " + backticked(source_schema) + "." + backticked(table.get_name());
    if (const auto found = options.where.find(table.get_name()); found != options.where.end())
        sql += " WHERE " + found->second;
    if (const auto key = table.row_key(); !key.empty()) {
        std::string order;
        for (const auto& name : key) order += (order.empty() ? "" : ", ") + backticked(name);
        sql += " ORDER BY " + order;
    }
    // Written after the schema's USE: unqualified.
    const std::string head = "INSERT INTO " + backticked(table.get_name()) + " (" + list + ") VALUES\n";
    std::vector<DataType> types;
    std::string statement;
    statement.reserve(options.statement_bytes + (1U << 16));
    std::int64_t rows = 0;
    std::int64_t in_statement = 0;
    const auto flush = [&]() -> Core::Status {
        if (in_statement == 0) return {};
        statement += ";\n";
        OMBRIX_RETURN_IF_ERROR(sink.write(statement));
        statement.clear();
        in_statement = 0;
        if (progress) progress(source_schema + "." + table.get_name(), rows);
        return {};
    };
    auto streamed = provider.execute_streamed(
        sql,
        [&](MariaDBReader& reader) -> Core::Status {
            for (std::uint16_t i = 0; i < static_cast<std::uint16_t>(names.size()); ++i) {
                DataType type = reader.get_data_type(i);
                // Bytes travel as X'…', whatever type they come as (BIT among them).
                if (X::is_binary_kind(type) || (type == DataType::STRING && reader.get_is_binary(i)))
                    type = DataType::BINARY;
                types.push_back(type);
            }
            return {};
        },
        [&](MariaDBReader& reader) -> Core::Status {
            statement += in_statement == 0 ? head + "(" : ",\n(";
            for (std::size_t i = 0; i < types.size(); ++i) {
                if (i) statement += ", ";
                const auto cell = reader.get_cell_view(static_cast<std::uint16_t>(i));
                X::BaseExtractor::append_sql_literal(statement, types[i], X::Cell{cell, cell.data() == nullptr});
            }
            statement += ')';
            ++rows;
            ++in_statement;
            if (statement.size() >= options.statement_bytes) return flush();
            return {};
        });
    OMBRIX_RETURN_IF_ERROR(streamed);
    OMBRIX_RETURN_IF_ERROR(flush());
    return rows;
}

std::string now_utc() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

}  // namespace

Core::Result<DumpReport> dump_schemas(const std::shared_ptr<Contracts::Database::IConnection>& source,
                                      const DumpOptions& options, X::TextSink& sink,
                                      const std::function<void(const std::string&, std::int64_t)>& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(source, Core::fail("default", -1, "no source connection"));
    auto provider = std::dynamic_pointer_cast<MariaDBProvider>(source->get_provider());
    if (!provider) return Core::fail("default", -1, "the source has no MariaDB provider");
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(source->builder());
    if (!builder) return Core::fail("default", -1, "the source has no MariaDB builder");

    // The structure as it stands before the rows are read.
    std::vector<DB::WholeSchema> reads;
    std::vector<std::pair<std::string, std::string>> tables;
    for (const auto& name : options.schemas) {
        auto read = read_schema(*source, name, options);
        OMBRIX_RETURN_IF_ERROR(read);
        for (const auto& table : *read->schema->get_tables()) tables.emplace_back(name, table->get_name());
        reads.push_back(std::move(*read));
    }
    // A name asked for that names nothing would leave out in silence what the user meant.
    const auto dumped = [&](const std::string& wanted) {
        return std::any_of(reads.begin(), reads.end(), [&](const DB::WholeSchema& read) {
            const auto named = [&](const auto& list) {
                return std::any_of(list->begin(), list->end(), [&](const auto& object) { return object->get_name() == wanted; });
            };
            return named(read.schema->get_tables()) || named(read.schema->get_views()) ||
                   named(read.schema->get_sequences());
        });
    };
    for (const auto& wanted : options.tables)
        if (!dumped(wanted)) return Core::fail("default", -1, "no table, view or sequence named '" + wanted + "'");
    for (const auto& where : options.where) {
        const auto& wanted = where.first;
        if (std::none_of(tables.begin(), tables.end(), [&](const auto& table) { return table.second == wanted; }))
            return Core::fail("default", -1, "--where names no table of the dump: '" + wanted + "'");
    }

    DumpReport report;
    OMBRIX_RETURN_IF_ERROR(DB::run_statements(*source, "SET @OLD_TIME_ZONE = @@TIME_ZONE, TIME_ZONE = '+00:00';"));
    auto snapshot = DB::open_snapshot(*source, tables);
    OMBRIX_RETURN_IF_ERROR(snapshot);
    struct End {
        Contracts::Database::IConnection& source;
        ~End() { (void)DB::run_statements(source, "COMMIT;\nSET TIME_ZONE = @OLD_TIME_ZONE;"); }
    } end{*source};

    std::string header = "-- ombrix dump of";
    for (const auto& name : options.schemas) header += " " + backticked(name);
    header += "\n-- server " + provider->get_server_info() + ", read " + now_utc() +
              " in one consistent snapshot, gtid_binlog_pos '" + snapshot->gtid_position + "'\n";
    for (const auto& table : snapshot->loose_tables) {
        header += "-- " + table + " has no transactions: its rows are as they stood when it was read\n";
        report.warnings.push_back("table " + table + " has no transactions: its rows are read as they stand when "
                                  "it is read, not at the snapshot's moment");
    }
    OMBRIX_RETURN_IF_ERROR(sink.write(header + "\n"));

    for (auto& read : reads) {
        const std::string from = read.schema->get_name();
        const auto renamed = options.rename.find(from);
        const std::string to = renamed == options.rename.end() || renamed->second.empty() ? from : renamed->second;
        if (to != from) {
            DB::retarget_schema(*read.database, from, to);
            read.database->set_name(to);
        }
        const auto parts = builder->build_schema_parts(read.schema, read.database, true);
        // Bodies that hold ';' go under a delimiter of their own, for the standard client.
        OMBRIX_RETURN_IF_ERROR(sink.write(DB::runnable_script(parts.structure) + "\n"));
        if (options.data) {
            OMBRIX_RETURN_IF_ERROR(sink.write(DB::MariaDBBuilder::rows_prologue() + "\n"));
            for (const auto& table : *read.schema->get_tables()) {
                if (DB::MariaDBBuilder::is_sequence(*table)) continue;
                if (table->get_options().contains(std::string(DB::MariaDBBuilder::SYSTEM_VERSIONING)))
                    report.omissions.push_back("the history of " + backticked(from) + "." + backticked(table->get_name()) +
                                              " is not in the dump: only its current rows are");
                auto rows = dump_rows(*provider, *table, from, options, sink, progress);
                OMBRIX_RETURN_IF_ERROR(rows);
                report.rows += *rows;
                ++report.tables;
                // The counter goes on where the source's stands, above the ids of deleted rows too.
                const auto columns = table->get_columns();
                if (std::any_of(columns->begin(), columns->end(), [](const auto& c) { return c->get_auto_increment(); })) {
                    auto counter = source->execute_as_scalar(
                        "SELECT AUTO_INCREMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
                        DB::mariadb_quote_literal(from) + " AND TABLE_NAME = " + DB::mariadb_quote_literal(table->get_name()));
                    if (counter && *counter && !(*counter)->to_string().empty())
                        OMBRIX_RETURN_IF_ERROR(sink.write("ALTER TABLE " + backticked(table->get_name()) + " AUTO_INCREMENT = " +
                                                          (*counter)->to_string() + ";\n"));
                }
            }
            OMBRIX_RETURN_IF_ERROR(sink.write(DB::MariaDBBuilder::rows_epilogue() + "\n"));
        }
        OMBRIX_RETURN_IF_ERROR(
            sink.write(DB::runnable_script(parts.programs + "\n" + DB::MariaDBBuilder::session_epilogue(false)) + "\n"));
    }
    return report;
}

}  // namespace Ombrix::Solvane::Transform
