#include "solvane/Transform/dump.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>

#include "providers/Supports/MariaDB/provider.hpp"
#include "providers/Supports/MariaDB/reader.hpp"
#include "providers/Core/text.hpp"
#include "providers/Contracts/model_table.hpp"
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
#include "solvane/Supports/Data/journal.hpp"
#include "solvane/Supports/Data/load_format.hpp"
#include "solvane/Supports/Data/row_hash.hpp"

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

/// What reads one table's rows (or one key range of them) and how they are written.
struct RowsQuery {
    std::string label;      // `schema`.`table` for progress
    std::string select;     // the SELECT that reads them, in key order
    std::string head;       // "INSERT INTO `t` (…) VALUES\n"
    std::size_t columns = 0;
    bool history = false;   // every version of a versioned table's rows, with their periods
};

/// Whether a table keeps its rows' history (system versioning).
bool is_versioned(const MM::MetaTable& table) {
    return table.get_options().contains(std::string(DB::MariaDBBuilder::SYSTEM_VERSIONING));
}

RowsQuery rows_query(const MM::MetaTable& table, const std::string& source_schema, const DumpOptions& options,
                     const std::string& range) {
    std::vector<std::string> names;
    std::string read;  // the SELECT list: the names, FLOAT read exactly
    for (const auto& column : *table.get_columns())
        if (!column->is_generated()) {
            names.push_back(backticked(column->get_name()));
            read += (read.empty() ? "" : ", ") +
                    Supports::Data::exact_read(names.back(),
                                               column->get_data_type() == Providers::Contracts::DataType::FLOAT);
        }
    RowsQuery query;
    // A versioned table's past rows go too, each with its period, which a session that sets
    // system_versioning_insert_history may write.
    std::pair<std::string, std::string> period{"row_start", "row_end"};
    query.history = is_versioned(table);
    if (query.history) {
        for (const auto& column : *table.get_columns()) {
            const std::string expression = Core::ascii_upper(column->get_expression());
            if (expression.find("ROW START") != std::string::npos) period.first = column->get_name();
            if (expression.find("ROW END") != std::string::npos) period.second = column->get_name();
        }
        names.push_back(backticked(period.first));
        names.push_back(backticked(period.second));
        read += (read.empty() ? "" : ", ") + names[names.size() - 2] + ", " + names.back();
    }
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ", ") + name;
    query.label = backticked(source_schema) + "." + backticked(table.get_name());
    // A table whose every column is generated gets a row of defaults per row: "()".
    query.select = "SELECT " + (read.empty() ? std::string("1") : read) + " FROM " + query.label;
    if (query.history) query.select += " FOR SYSTEM_TIME ALL";
    std::string condition;
    if (const auto found = options.where.find(table.get_name()); found != options.where.end())
        condition = "(" + found->second + ")";
    if (!range.empty()) condition += (condition.empty() ? "" : " AND ") + range;
    if (!condition.empty()) query.select += " WHERE " + condition;
    if (const auto key = table.row_key(); !key.empty()) {
        std::string order;
        for (const auto& name : key) order += (order.empty() ? "" : ", ") + backticked(name);
        // A row and its past versions share the key; the end of their periods tells them apart.
        if (query.history) order += ", " + backticked(period.second);
        query.select += " ORDER BY " + order;
    }
    // Written after the schema's USE: unqualified.
    query.head = "INSERT INTO " + backticked(table.get_name()) + " (" + list + ") VALUES\n";
    query.columns = names.size();
    return query;
}

/// Writes the rows `query` reads as multi-row INSERTs; the number of rows.
Core::Result<std::int64_t> write_rows(MariaDBProvider& provider, const RowsQuery& query, std::size_t statement_bytes,
                                      X::TextSink& sink,
                                      const std::function<void(const std::string&, std::int64_t)>& progress) {
    std::vector<DataType> types;
    std::string statement;
    statement.reserve(statement_bytes + (1U << 16));
    std::int64_t rows = 0;
    std::int64_t in_statement = 0;
    const auto flush = [&]() -> Core::Status {
        if (in_statement == 0) return {};
        statement += ";\n";
        OMBRIX_RETURN_IF_ERROR(sink.write(statement));
        statement.clear();
        in_statement = 0;
        if (progress) progress(query.label, rows);
        return {};
    };
    auto streamed = provider.execute_streamed(
        query.select,
        [&](MariaDBReader& reader) -> Core::Status {
            types = Supports::Data::cell_kinds(reader, query.columns);
            return {};
        },
        [&](MariaDBReader& reader) -> Core::Status {
            if (rows == 0 && query.history) statement += "SET @@SESSION.system_versioning_insert_history = 1;\n";
            statement += in_statement == 0 ? query.head : ",\n";
            Supports::Data::append_row_literals(statement, reader, types);
            ++rows;
            ++in_statement;
            if (statement.size() >= statement_bytes) return flush();
            return {};
        });
    OMBRIX_RETURN_IF_ERROR(streamed);
    OMBRIX_RETURN_IF_ERROR(flush());
    if (rows > 0 && query.history) OMBRIX_RETURN_IF_ERROR(sink.write("SET @@SESSION.system_versioning_insert_history = 0;\n"));
    return rows;
}

/// "ALTER TABLE … AUTO_INCREMENT = n;\n" where the table has a counter: it goes on where the
/// source's stands, above the ids of deleted rows too.
Core::Result<std::string> counter_text(Contracts::Database::IConnection& source, const std::string& schema,
                                       const MM::MetaTable& table) {
    const auto columns = table.get_columns();
    if (std::none_of(columns->begin(), columns->end(), [](const auto& c) { return c->get_auto_increment(); }))
        return std::string();
    auto counter = source.execute_as_scalar(
        "SELECT AUTO_INCREMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = " + DB::mariadb_quote_literal(schema) +
        " AND TABLE_NAME = " + DB::mariadb_quote_literal(table.get_name()));
    OMBRIX_RETURN_IF_ERROR(counter);
    if (!*counter || (*counter)->to_string().empty()) return std::string();
    return "ALTER TABLE " + backticked(table.get_name()) + " AUTO_INCREMENT = " + (*counter)->to_string() + ";\n";
}

std::string now_utc() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

/// The schemas as the dump reads them, checked against what was asked for.
struct Prepared {
    std::vector<DB::WholeSchema> reads;
    /// Schema and name of every table read.
    std::vector<std::pair<std::string, std::string>> tables;
};

Core::Result<Prepared> prepare(Contracts::Database::IConnection& source, const DumpOptions& options) {
    Prepared prepared;
    for (const auto& name : options.schemas) {
        auto read = read_schema(source, name, options);
        OMBRIX_RETURN_IF_ERROR(read);
        for (const auto& table : *read->schema->get_tables()) prepared.tables.emplace_back(name, table->get_name());
        prepared.reads.push_back(std::move(*read));
    }
    // A name asked for that names nothing would leave out in silence what the user meant.
    const auto dumped = [&](const std::string& wanted) {
        return std::any_of(prepared.reads.begin(), prepared.reads.end(), [&](const DB::WholeSchema& read) {
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
        if (std::none_of(prepared.tables.begin(), prepared.tables.end(),
                         [&](const auto& table) { return table.second == wanted; }))
            return Core::fail("default", -1, "--where names no table of the dump: '" + wanted + "'");
    }
    return prepared;
}

/// The name schema `from` is written for.
std::string written_name(const DumpOptions& options, const std::string& from) {
    const auto renamed = options.rename.find(from);
    return renamed == options.rename.end() || renamed->second.empty() ? from : renamed->second;
}

/// Moves a read schema to the name it is written for.
void retarget(DB::WholeSchema& read, const std::string& from, const std::string& to) {
    if (to == from) return;
    DB::retarget_schema(*read.database, from, to);
    read.database->set_name(to);
}

/// The dump's first lines: what it holds and the moment it was read at.
std::string header_text(const DumpOptions& options, MariaDBProvider& provider, const DB::Snapshot& snapshot,
                        const std::vector<std::string>& locked, DumpReport& report) {
    std::string header = "-- ombrix dump of";
    for (const auto& name : options.schemas) header += " " + backticked(written_name(options, name));
    header += "\n-- server " + provider.get_server_info() + ", read " + now_utc() +
              " in one consistent snapshot, gtid_binlog_pos '" + snapshot.gtid_position + "'\n";
    for (const auto& table : locked)
        header += "-- " + table + " has no transactions: it was read-locked from the snapshot's moment on\n";
    for (const auto& table : snapshot.loose_tables) {
        if (std::find(locked.begin(), locked.end(), table) != locked.end()) continue;
        header += "-- " + table + " has no transactions: its rows are as they stood when it was read\n";
        report.warnings.push_back("table " + table + " has no transactions: its rows are read as they stand when "
                                  "it is read, not at the snapshot's moment (--lock-tables holds it still)");
    }
    return header;
}


/// The sessions a dump reads through, ended (and the locks let go) however the dump ends.
struct Sessions {
    std::shared_ptr<Contracts::Database::IConnection> source;
    std::vector<std::shared_ptr<Contracts::Database::IConnection>> extra;
    std::shared_ptr<Contracts::Database::IConnection> locker;
    bool began = false;

    ~Sessions() {
        if (began) (void)DB::run_statements(*source, "COMMIT;\nSET TIME_ZONE = @OLD_TIME_ZONE;");
        for (const auto& reader : extra) reader->close();
        if (locker) {
            (void)DB::run_statements(*locker, "UNLOCK TABLES;");
            locker->close();
        }
    }

    std::vector<Contracts::Database::IConnection*> readers() const {
        std::vector<Contracts::Database::IConnection*> all{source.get()};
        for (const auto& reader : extra) all.push_back(reader.get());
        return all;
    }
};

/// Opens the sessions and the snapshot: `wanted` readers (fewer when the source refuses the global
/// read lock that lets them share one moment), and the lock of `--lock-tables`.
Core::Result<DB::Snapshot> open_sessions(Sessions& sessions, const DumpOptions& options, int wanted,
                                         const std::vector<std::pair<std::string, std::string>>& tables,
                                         std::vector<std::string>& locked, DumpReport& report) {
    if ((wanted > 1 || options.lock_tables) && !options.connect)
        return Core::fail("default", -1, "more than one session on the source is needed, and none can be opened");
    if (options.lock_tables) {
        auto locker = options.connect();
        OMBRIX_RETURN_IF_ERROR(locker);
        sessions.locker = std::move(*locker);
        auto held = DB::lock_loose_tables(*sessions.locker, tables);
        OMBRIX_RETURN_IF_ERROR(held);
        locked = std::move(*held);
    }
    for (int i = 1; i < wanted; ++i) {
        auto reader = options.connect();
        OMBRIX_RETURN_IF_ERROR(reader);
        OMBRIX_RETURN_IF_ERROR(DB::run_statements(**reader, "SET TIME_ZONE = '+00:00';"));
        sessions.extra.push_back(std::move(*reader));
    }
    OMBRIX_RETURN_IF_ERROR(DB::run_statements(*sessions.source, "SET @OLD_TIME_ZONE = @@TIME_ZONE, TIME_ZONE = '+00:00';"));
    if (sessions.extra.empty()) {
        auto snapshot = DB::open_snapshot(*sessions.source, tables);
        sessions.began = static_cast<bool>(snapshot);
        return snapshot;
    }
    auto snapshot = DB::open_shared_snapshot(*sessions.source, sessions.readers(), tables);
    if (!snapshot && snapshot.error().domain == "MariaDB" && snapshot.error().code == 1227) {
        // Readers that open their snapshots one after another would each see another moment.
        report.warnings.push_back("the source refuses FLUSH TABLES WITH READ LOCK to this account (it takes the "
                                  "RELOAD privilege): one reader reads every table, so that the dump stays one moment");
        for (const auto& reader : sessions.extra) reader->close();
        sessions.extra.clear();
        snapshot = DB::open_snapshot(*sessions.source, tables);
    }
    sessions.began = static_cast<bool>(snapshot);
    if (!snapshot) {
        for (const auto& reader : sessions.extra) (void)DB::run_statements(*reader, "ROLLBACK;");
    }
    return snapshot;
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
    auto prepared = prepare(*source, options);
    OMBRIX_RETURN_IF_ERROR(prepared);
    DumpReport report;
    Sessions sessions{source};
    std::vector<std::string> locked;
    auto snapshot = open_sessions(sessions, options, 1, prepared->tables, locked, report);
    OMBRIX_RETURN_IF_ERROR(snapshot);
    OMBRIX_RETURN_IF_ERROR(sink.write(header_text(options, *provider, *snapshot, locked, report) + "\n"));

    for (auto& read : prepared->reads) {
        const std::string from = read.schema->get_name();
        retarget(read, from, written_name(options, from));
        const auto parts = builder->build_schema_parts(read.schema, read.database, true);
        // Bodies that hold ';' go under a delimiter of their own, for the standard client.
        OMBRIX_RETURN_IF_ERROR(sink.write(DB::runnable_script(parts.structure) + "\n"));
        if (options.data) {
            OMBRIX_RETURN_IF_ERROR(sink.write(DB::MariaDBBuilder::rows_prologue() + "\n"));
            for (const auto& table : *read.schema->get_tables()) {
                if (DB::MariaDBBuilder::is_sequence(*table)) continue;
                auto rows = write_rows(*provider, rows_query(*table, from, options, {}), options.statement_bytes, sink,
                                       progress);
                OMBRIX_RETURN_IF_ERROR(rows);
                report.rows += *rows;
                ++report.tables;
                auto counter = counter_text(*source, from, *table);
                OMBRIX_RETURN_IF_ERROR(counter);
                OMBRIX_RETURN_IF_ERROR(sink.write(*counter));
            }
            OMBRIX_RETURN_IF_ERROR(sink.write(DB::MariaDBBuilder::rows_epilogue() + "\n"));
        }
        OMBRIX_RETURN_IF_ERROR(
            sink.write(DB::runnable_script(parts.programs + "\n" + DB::MariaDBBuilder::session_epilogue(false)) + "\n"));
    }
    return report;
}

namespace {

/// A name for a file that says what it holds: letters, digits and '_' of `text`, the rest as '_'.
std::string file_stem(const std::string& text) {
    std::string stem;
    for (const unsigned char c : text) {
        if (stem.size() >= 48) break;
        stem += (std::isalnum(c) || c == '_') && c < 0x80 ? static_cast<char>(c) : '_';
    }
    return stem;
}


/// Writes `text` to `path` through `compression`.
Core::Status write_file(const std::string& path, Supports::Data::Compression compression,
                        const std::function<Core::Status(X::TextSink&)>& write) {
    auto file = X::FileSink::create(path);
    OMBRIX_RETURN_IF_ERROR(file);
    auto sink = Supports::Data::compressing_sink(std::move(*file), compression);
    auto written = write(*sink);
    auto closed = sink->close();
    OMBRIX_RETURN_IF_ERROR(written);
    return closed;
}

struct RowsTask {
    RowsQuery query;
    DumpFile file;
    std::string prologue;
    std::int64_t estimate = 0;
};

}  // namespace

Core::Result<DumpReport> dump_to_directory(const std::shared_ptr<Contracts::Database::IConnection>& source,
                                           const DumpOptions& options, const std::string& directory,
                                           Supports::Data::Compression compression,
                                           const std::function<void(const std::string&, std::int64_t)>& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(source, Core::fail("default", -1, "no source connection"));
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(source->builder());
    if (!builder) return Core::fail("default", -1, "the source has no MariaDB builder");
    if (g_mkdir_with_parents(directory.c_str(), 0755) != 0)
        return Core::fail("default", -1, "cannot create the directory " + directory + ": " + g_strerror(errno));
    if (GDir* dir = g_dir_open(directory.c_str(), 0, nullptr)) {
        const bool empty = g_dir_read_name(dir) == nullptr;
        g_dir_close(dir);
        if (!empty) return Core::fail("default", -1, "the directory " + directory + " is not empty");
    }
    const std::string extension = compression == Supports::Data::Compression::GZIP   ? ".gz"
                                  : compression == Supports::Data::Compression::ZSTD ? ".zst"
                                                                                    : "";
    const auto path = [&](const std::string& name) { return directory + G_DIR_SEPARATOR_S + name; };
    // Whatever the dump wrote goes again when it fails: no part of it can pass for a dump.
    std::vector<std::string> written;
    std::mutex written_lock;
    struct Cleanup {
        std::vector<std::string>& files;
        bool keep = false;
        ~Cleanup() {
            if (!keep)
                for (const auto& file : files) g_unlink(file.c_str());
        }
    } cleanup{written};
    const auto created = [&](const std::string& name) {
        std::lock_guard guard(written_lock);
        written.push_back(path(name));
    };

    auto prepared = prepare(*source, options);
    OMBRIX_RETURN_IF_ERROR(prepared);
    // Row estimates, to split the big tables and to give the longest work out first.
    auto estimated = DB::table_estimates(*source, options.schemas);
    OMBRIX_RETURN_IF_ERROR(estimated);
    auto& estimates = *estimated;

    DumpReport report;
    Sessions sessions{source};
    std::vector<std::string> locked;
    const int wanted = options.data ? std::max(1, options.parallel) : 1;
    auto snapshot = open_sessions(sessions, options, wanted, prepared->tables, locked, report);
    OMBRIX_RETURN_IF_ERROR(snapshot);
    const auto readers = sessions.readers();
    const std::string header = header_text(options, *std::dynamic_pointer_cast<MariaDBProvider>(source->get_provider()),
                                           *snapshot, locked, report);

    std::string structure = header + "\n";
    std::string programs = header + "\n";
    std::vector<RowsTask> tasks;
    for (auto& read : prepared->reads) {
        const std::string from = read.schema->get_name();
        const std::string to = written_name(options, from);
        std::vector<std::shared_ptr<MM::MetaTable>> tables(read.schema->get_tables()->begin(),
                                                           read.schema->get_tables()->end());
        retarget(read, from, to);
        const auto parts = builder->build_schema_parts(read.schema, read.database, true);
        structure += DB::runnable_script(parts.structure) + "\n";
        std::string counters;
        const std::string use = "USE " + backticked(to) + ";\n";
        for (const auto& table : tables) {
            if (!options.data || DB::MariaDBBuilder::is_sequence(*table)) continue;
            const auto key = table->row_key();
            auto ranges = DB::key_ranges(*source, from, table->get_name(), key.size() == 1 ? key.front() : std::string(),
                                         estimates[{from, table->get_name()}], options.range_rows,
                                         static_cast<int>(readers.size()));
            OMBRIX_RETURN_IF_ERROR(ranges);
            for (const auto& range : *ranges) {
                RowsTask task;
                task.query = rows_query(*table, from, options, range);
                char number[16];
                std::snprintf(number, sizeof number, "%05zu", tasks.size() + 1);
                task.file = DumpFile{DumpFile::Kind::ROWS,
                                     std::string("rows-") + number + "-" + file_stem(to + "." + table->get_name()) + ".sql" +
                                         extension,
                                     to, table->get_name(), range};
                task.prologue = "-- rows of " + backticked(to) + "." + backticked(table->get_name()) +
                                (range.empty() ? "" : " where " + range) + "\n" +
                                DB::MariaDBBuilder::session_prologue(true) + use;
                task.estimate = estimates[{from, table->get_name()}] / static_cast<std::int64_t>(ranges->size());
                tasks.push_back(std::move(task));
            }
            ++report.tables;
            auto counter = counter_text(*source, from, *table);
            OMBRIX_RETURN_IF_ERROR(counter);
            counters += *counter;
        }
        programs += DB::runnable_script(DB::MariaDBBuilder::session_prologue(false) + use + counters + parts.programs + "\n" +
                                        DB::MariaDBBuilder::session_epilogue(false)) +
                    "\n";
    }

    const std::string structure_name = "structure.sql" + extension;
    const std::string programs_name = "programs.sql" + extension;
    created(structure_name);
    OMBRIX_RETURN_IF_ERROR(write_file(path(structure_name), compression,
                                      [&](X::TextSink& sink) { return sink.write(structure); }));

    // The readers take the tasks, biggest first, each into a file of its own.
    std::vector<std::size_t> order(tasks.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return tasks[a].estimate > tasks[b].estimate; });
    std::mutex lock;
    std::size_t next = 0;
    std::optional<Core::Error> failure;
    std::int64_t rows = 0;
    const auto work = [&](Contracts::Database::IConnection& reader) {
        auto provider = std::dynamic_pointer_cast<MariaDBProvider>(reader.get_provider());
        const auto told = [&](const std::string& table, std::int64_t count) {
            std::lock_guard guard(lock);
            if (progress) progress(table, count);
        };
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard guard(lock);
                if (failure || next == order.size()) return;
                index = order[next++];
            }
            const RowsTask& task = tasks[index];
            created(task.file.name);
            std::int64_t count = 0;
            auto status = write_file(path(task.file.name), compression, [&](X::TextSink& sink) -> Core::Status {
                OMBRIX_RETURN_IF_ERROR(sink.write(task.prologue));
                auto wrote = write_rows(*provider, task.query, options.statement_bytes, sink, told);
                OMBRIX_RETURN_IF_ERROR(wrote);
                count = *wrote;
                return sink.write(DB::MariaDBBuilder::session_epilogue(true));
            });
            std::lock_guard guard(lock);
            if (!status && !failure) failure = status.error();
            rows += count;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < readers.size(); ++i) threads.emplace_back([&, i] { work(*readers[i]); });
    work(*readers.front());
    for (auto& thread : threads) thread.join();
    if (failure) return Core::fail(*failure);
    report.rows = rows;

    created(programs_name);
    OMBRIX_RETURN_IF_ERROR(write_file(path(programs_name), compression,
                                      [&](X::TextSink& sink) { return sink.write(programs); }));

    std::string manifest = "ombrix-dump 1\n";
    for (const auto& name : options.schemas) manifest += "schema\t" + Supports::Data::escape_field(written_name(options, name)) + "\n";
    manifest += "structure\t" + Supports::Data::escape_field(structure_name) + "\n";
    for (const auto& task : tasks)
        manifest += "rows\t" + Supports::Data::escape_field(task.file.name) + "\t" + Supports::Data::escape_field(task.file.schema) + "\t" +
                    Supports::Data::escape_field(task.file.table) + "\t" + Supports::Data::escape_field(task.file.range) + "\n";
    manifest += "programs\t" + Supports::Data::escape_field(programs_name) + "\nend\n";
    created(kDumpManifest);
    OMBRIX_RETURN_IF_ERROR(write_file(path(kDumpManifest), Supports::Data::Compression::NONE,
                                      [&](X::TextSink& sink) { return sink.write(manifest); }));
    cleanup.keep = true;
    return report;
}

Core::Result<DumpManifest> read_dump_manifest(const std::string& directory) {
    const std::string path = directory + G_DIR_SEPARATOR_S + kDumpManifest;
    gchar* contents = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
        std::string message = error ? error->message : "unreadable";
        g_clear_error(&error);
        return Core::fail("default", -1, directory + " holds no whole dump (" + message + ")");
    }
    DumpManifest manifest;
    manifest.text.assign(contents, length);
    g_free(contents);
    const auto unescaped = [](const std::string& field) { return Supports::Data::unescape_field(field); };
    bool ended = false;
    bool first = true;
    for (const auto& line : Core::split(manifest.text, '\n')) {
        if (line.empty()) continue;
        if (first) {
            if (line != "ombrix-dump 1") return Core::fail("default", -1, path + " is not a dump manifest of this version");
            first = false;
            continue;
        }
        const auto fields = Core::split(line, '\t');
        if (fields[0] == "end") {
            ended = true;
        } else if (fields[0] == "schema" && fields.size() == 2) {
            manifest.schemas.push_back(unescaped(fields[1]));
        } else if ((fields[0] == "structure" || fields[0] == "programs") && fields.size() == 2) {
            manifest.files.push_back(DumpFile{fields[0] == "structure" ? DumpFile::Kind::STRUCTURE : DumpFile::Kind::PROGRAMS,
                                              unescaped(fields[1]), {}, {}, {}});
        } else if (fields[0] == "rows" && fields.size() == 5) {
            manifest.files.push_back(DumpFile{DumpFile::Kind::ROWS, unescaped(fields[1]), unescaped(fields[2]),
                                              unescaped(fields[3]), unescaped(fields[4])});
        } else {
            return Core::fail("default", -1, path + " has a line this version cannot read: " + line);
        }
    }
    if (!ended) return Core::fail("default", -1, path + " is cut short: the dump is not whole");
    // A name that leaves the directory would read or write elsewhere.
    for (const auto& file : manifest.files)
        if (file.name.empty() || file.name.find('/') != std::string::npos || file.name.find('\\') != std::string::npos ||
            file.name == "." || file.name == "..")
            return Core::fail("default", -1, path + " names a file outside its directory: " + file.name);
    return manifest;
}

std::vector<std::string> dump_header_schemas(std::string_view text) {
    static constexpr std::string_view kHead = "-- ombrix dump of ";
    if (text.substr(0, kHead.size()) != kHead) return {};
    const auto end = text.find('\n');
    return DB::sql_identifiers(text.substr(kHead.size(), end == std::string_view::npos ? end : end - kHead.size()));
}

}  // namespace Ombrix::Solvane::Transform
