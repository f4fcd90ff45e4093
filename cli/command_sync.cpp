// ombrix sync: the scripts that bring a target schema's structure, or a target table's rows, in
// line with a source, printed and, with --apply, run on the target.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <thread>

#include "commands.hpp"
#include "solvane/Supports/Database/cluster.hpp"
#include "describe.hpp"
#include "output.hpp"
#include "providers/Contracts/value_object.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Supports/Database/snapshot.hpp"
#include "solvane/Transform/synchronizer.hpp"

namespace Ombrix::Cli {

namespace {

namespace T = Solvane::Transform;
namespace DB = Solvane::Supports::Database;

struct SyncOptions {
    std::string source;
    std::string target;
    bool apply = false;
    bool go_on = false;
    bool allow_drop = false;
    bool lock_target = false;
};

/// A library error as the one line the user reads: the server's errors as the server says them.
[[noreturn]] void fail_with(const Core::Error& error) {
    if (error.domain == "MariaDB") throw DatabaseFailure(describe_error(error));
    throw Failure(error.message);
}

void require_schema(const Connection& connection, const std::string& schema) {
    auto found = connection->execute_as_scalar(
        "SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = " + DB::mariadb_quote_literal(schema),
        false);
    if (!found) throw DatabaseFailure(describe_error(found.error()));
    if (!*found || (*found)->to_string() == "0") throw Failure("no schema named '" + schema + "'");
}

/// The structure synchronizer over the two connections, initialised, and the scripts it generates,
/// printed on stdout with the session settings it runs them in.
std::pair<std::shared_ptr<T::StructureSynchronizer>, std::vector<std::string>> generate(
    T::OptionMap map, const Connection& source, const Connection& target) {
    auto synchronizer = T::StructureSynchronizer::create(std::move(map));
    synchronizer->set_server_source(source);
    synchronizer->set_server_target(target);
    if (auto initialized = synchronizer->initialize(); !initialized) fail_with(initialized.error());
    auto scripts = synchronizer->generate();
    if (!scripts) fail_with(scripts.error());
    if (!scripts->empty()) {
        std::vector<std::string> statements;
        for (const auto& script : *scripts)
            for (auto& statement : DB::split_script(script)) statements.push_back(std::move(statement.text));
        std::cout << DB::MariaDBBuilder::script_in_session(statements) << std::flush;
    }
    return {std::move(synchronizer), std::move(*scripts)};
}

/// Runs the synchronizer's `handle` on a worker thread while the progress record is watched: its
/// messages go to stderr as they come. A failed step is a failure of the command.
void apply(T::SynchronizerBase& synchronizer, std::size_t total, const std::string& what, const std::string& target) {
    const bool tty = isatty(STDERR_FILENO) != 0;
    auto progress = Solvane::Contracts::ThreadProgress::create();
    synchronizer.set_progress(progress);
    // On a node of a cluster each statement holds every node until all have run it: its time is told.
    const auto target_connection = synchronizer.get_server_target();
    const bool cluster = target_connection && Solvane::Supports::Database::write_limits(*target_connection, 0).cluster;
    const auto began = std::chrono::steady_clock::now();
    std::atomic<bool> done = false;
    std::thread worker([&] {
        (void)synchronizer.handle();
        done = true;
    });
    std::int64_t shown = -1;
    const auto drain = [&] {
        std::string message;
        bool printed = false;
        while (progress->pop_message(message)) {
            if (tty && shown >= 0 && !printed) std::cerr << "\n";
            std::cerr << "ombrix: " << message << "\n";
            printed = true;
        }
        const auto state = progress->snapshot();
        if (tty && (state.step != shown || printed)) {
            std::cerr << "\rombrix: applying " << state.step << "/" << total << std::flush;
            shown = state.step;
        }
    };
    while (!done) {
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    worker.join();
    drain();
    if (tty && shown >= 0) std::cerr << "\n";
    if (cluster)
        std::fprintf(stderr, "ombrix: the %s took %.1f s, each statement run by every node of the cluster in the same order\n",
                     what.c_str(), std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());

    const auto state = progress->snapshot();
    if (state.failure > 0)
        throw Failure(std::to_string(state.failure) + " of " + std::to_string(state.step) + " " + what +
                      " failed; " + target + " is partly changed");
    if (!state.finished) throw Failure("nothing was applied: the two sides could not be read again");
    std::cerr << "ombrix: applied " << state.success << " " << what << " to " << target << "\n";
}

/// Names each routine of `schema` whose body the `side` account may not read (it reads as empty).
void warn_hidden_bodies(const std::shared_ptr<Solvane::MetaModel::MetaSchema>& schema, const char* side) {
    if (!schema) return;
    for (const auto* list : {&schema->get_functions(), &schema->get_procedures()})
        for (const auto& routine : **list)
            if (routine->has_data(DB::MariaDBAdapter::BODY_HIDDEN))
                std::cerr << "ombrix: warning: the body of " << (routine->get_is_function() ? "function " : "procedure ")
                          << DB::mariadb_quote_identifier(schema->get_name()) << "."
                          << DB::mariadb_quote_identifier(routine->get_name()) << " is hidden from the " << side
                          << " account (it takes the routine's definer or SELECT on mysql.proc); it reads as empty\n";
}

/// Selects every table, view, routine and event of `schema` for the structure script.
void select_all(T::OptionMap& options, const Connection& connection, const std::string& name) {
    const auto schema = read_schema(connection, name, false);
    for (const auto& table : *schema->get_tables()) options[T::selection_key("table", table->get_name())] = "true";
    for (const auto& sequence : *schema->get_sequences())
        options[T::selection_key("sequence", sequence->get_name())] = "true";
    for (const auto& view : *schema->get_views()) options[T::selection_key("view", view->get_name())] = "true";
    for (const auto* list : {&schema->get_functions(), &schema->get_procedures()})
        for (const auto& routine : **list) options[T::selection_key("function", routine->get_name())] = "true";
    for (const auto& event : *schema->get_events()) options[T::selection_key("event", event->get_name())] = "true";
}

void run_structure(const Context& context, const SyncOptions& options) {
    const auto [source_profile, source_schema] = split_profile(options.source);
    const auto [target_profile, target_schema] = split_profile(options.target);
    if (source_schema.empty() || target_schema.empty())
        throw Failure("--source and --target each name a schema: [PROFILE:]SCHEMA");
    auto source = open_connection(context, source_profile);
    auto target = open_connection(context, target_profile);
    require_schema(source, source_schema);
    require_schema(target, target_schema);

    T::OptionMap map{{std::string(T::kOptionSourceDatabase), source_schema},
                     {std::string(T::kOptionSourceSchema), source_schema},
                     {std::string(T::kOptionTargetDatabase), target_schema},
                     {std::string(T::kOptionTargetSchema), target_schema},
                     {std::string(T::kOptionContinue), options.go_on ? "true" : "false"}};
    select_all(map, source, source_schema);
    select_all(map, target, target_schema);

    auto [synchronizer, scripts] = generate(std::move(map), source, target);
    // Routine bodies an account may not read: compared as empty, and never written as such.
    warn_hidden_bodies(synchronizer->get_schema_source(), "source");
    warn_hidden_bodies(synchronizer->get_schema_target(), "target");
    const auto left_out = synchronizer->get_left_out();
    for (const auto& routine : left_out)
        std::cerr << "ombrix: warning: " << routine << " is left out of the scripts: they would create it empty\n";
    const auto fail_if_left_out = [&] {
        if (!left_out.empty())
            throw Failure(std::to_string(left_out.size()) +
                          " routine(s) left out: their bodies are hidden from the source account");
    };
    if (scripts.empty()) return fail_if_left_out();
    // What the scripts would destroy is said, and applied only when asked for, as with ombrix diff.
    auto patched = synchronizer->preview();
    if (!patched) fail_with(patched.error());
    std::vector<std::string> destructive;
    if (const auto schema = std::dynamic_pointer_cast<Solvane::MetaModel::MetaSchema>(*patched))
        destructive = destructive_changes(*schema);
    for (const auto& change : destructive) std::cerr << "ombrix: destructive: the script " << change << "\n";
    if (!options.apply) return fail_if_left_out();
    if (!destructive.empty() && !options.allow_drop)
        throw Failure("refusing to apply scripts that drop what the target holds (--allow-drop to apply them)");
    apply(*synchronizer, scripts.size(), "script(s)", target_schema);
    fail_if_left_out();
}

/// "[PROFILE:]SCHEMA[.TABLE]" as its parts; the table is empty when the argument names a schema.
struct TableArgument {
    std::string profile;
    std::string schema;
    std::string table;
};

TableArgument table_argument(const std::string& argument) {
    TableArgument parts;
    std::string rest;
    std::tie(parts.profile, rest) = split_profile(argument);
    const auto dot = rest.find('.');
    parts.schema = rest.substr(0, dot);
    if (dot != std::string::npos) {
        parts.table = rest.substr(dot + 1);
        if (parts.table.empty()) throw Failure("'" + argument + "' names no table ([PROFILE:]SCHEMA.TABLE)");
    }
    if (parts.schema.empty()) throw Failure("'" + argument + "' names no schema ([PROFILE:]SCHEMA[.TABLE])");
    return parts;
}

/// The tables of `schema` whose TABLE_TYPE is one of `types` (quoted, comma-separated), by exact
/// name.
std::set<std::string> schema_tables(const Connection& connection, const std::string& schema, const std::string& types) {
    auto rows = connection->execute_as_model(
        "SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
            DB::mariadb_quote_literal(schema) + " AND TABLE_TYPE IN (" + types + ")",
        false);
    if (!rows) throw DatabaseFailure(describe_error(rows.error()));
    std::set<std::string> names;
    for (const auto& row : *(*rows)->get_rows())
        if (row->get_value_at(0)->to_string() == schema) names.insert(row->get_value_at(1)->to_string());
    return names;
}

/// Syncs the rows of one table and says on stderr what changed; false when it failed.
bool sync_table(const SyncOptions& options, const Connection& source, const TableArgument& from,
                const Connection& target, const TableArgument& to, bool whole_schema) {
    T::OptionMap map{{std::string(T::kOptionSourceDatabase), from.schema},
                     {std::string(T::kOptionSourceSchema), from.schema},
                     {std::string(T::kOptionSourceTable), from.table},
                     {std::string(T::kOptionTargetDatabase), to.schema},
                     {std::string(T::kOptionTargetSchema), to.schema},
                     {std::string(T::kOptionTargetTable), to.table},
                     {std::string(T::kOptionContinue), options.go_on ? "true" : "false"},
                     {std::string(T::kOptionTargetLock), options.lock_target ? "true" : "false"},
                     {std::string(T::kOptionTargetForeignKeys), whole_schema ? "false" : "true"},
                     {std::string(T::kOptionSourceSnapshot), whole_schema ? "held" : ""}};
    const std::string name = DB::mariadb_quote_identifier(to.schema) + "." + DB::mariadb_quote_identifier(to.table);
    const auto say_error = [&](const Core::Error& error) {
        std::cerr << "ombrix: " << (error.domain == "MariaDB" ? describe_error(error) : error.message) << "\n";
        return false;
    };
    auto synchronizer = T::UserdataSynchronizer::create(std::move(map));
    synchronizer->set_server_source(source);
    synchronizer->set_server_target(target);
    if (auto initialized = synchronizer->initialize(); !initialized) return say_error(initialized.error());
    if (!synchronizer->has_key()) {
        // Rows that cannot be told apart are counted, never guessed at.
        auto counts = synchronizer->count_unmatched();
        if (!counts) return say_error(counts.error());
        std::cerr << "ombrix: table " << name
                  << " has neither a primary key nor a unique key of NOT NULL columns: its rows cannot be matched ("
                  << counts->first << " row(s) only in the source, " << counts->second << " only in the target)\n";
        return false;
    }
    if (options.apply && !synchronizer->target_triggers().empty()) {
        std::string names;
        for (const auto& trigger : synchronizer->target_triggers())
            names += (names.empty() ? "" : ", ") + DB::mariadb_quote_identifier(trigger);
        std::cerr << "ombrix: warning: " << name << " has triggers (" << names
                  << "): they fire for each row written, and what they change is theirs\n";
    }
    // On a terminal: the rows compared and the statements made so far, at most ten times a second.
    const bool tty = isatty(STDERR_FILENO) != 0;
    std::int64_t written = 0, compared = 0;
    bool shown = false;
    auto last = std::chrono::steady_clock::now();
    const auto show = [&](bool now) {
        const auto at = std::chrono::steady_clock::now();
        if (!tty || (!now && at - last < std::chrono::milliseconds(100))) return;
        last = at;
        shown = true;
        std::cerr << "\rombrix: " << name << ": " << compared << " row(s) compared, " << written << " statement(s)"
                  << std::flush;
    };
    synchronizer->set_compare_progress([&](std::int64_t rows) {
        compared = rows;
        show(false);
    });
    auto done = synchronizer->synchronize(options.apply, [&](const std::string& statement) {
        std::cout << statement << '\n';
        ++written;
        show(false);
    });
    std::cout << std::flush;
    if (shown) {
        show(true);
        std::cerr << "\n";
    }
    const auto& counts = synchronizer->get_counts();
    if (options.apply)
        std::cerr << "ombrix: " << name << ": " << counts.inserted << " inserted, " << counts.updated << " updated, "
                  << counts.deleted << " deleted\n";
    else
        std::cerr << "ombrix: " << name << ": " << counts.inserted << " to insert, " << counts.updated << " to update, "
                  << counts.deleted << " to delete\n";
    if (!done) {
        if (synchronizer->get_failures() > 0)
            std::cerr << "ombrix: " << synchronizer->get_failures() << " statement(s) failed; " << name
                      << " is partly changed\n";
        return say_error(done.error());
    }
    return true;
}

/// Gives each sequence the two schemas share the source's next value (the first one its cache has
/// not handed out, as read in the source's snapshot), and says so on stderr; false when one failed.
/// A sequence on one side only goes to `alone` (its schema, its name, the other schema).
bool sync_sequences(const SyncOptions& options, const Connection& source, const std::string& source_schema,
                    const Connection& target, const std::string& target_schema,
                    const std::function<void(const std::string&, const std::string&, const std::string&)>& alone) {
    const auto source_sequences = schema_tables(source, source_schema, "'SEQUENCE'");
    const auto target_sequences = schema_tables(target, target_schema, "'SEQUENCE'");
    for (const auto& sequence : target_sequences)
        if (!source_sequences.contains(sequence)) alone(target_schema, sequence, source_schema);
    bool ok = true;
    for (const auto& sequence : source_sequences) {
        if (!target_sequences.contains(sequence)) {
            alone(source_schema, sequence, target_schema);
            continue;
        }
        const std::string from = DB::mariadb_quote_identifier(source_schema) + "." + DB::mariadb_quote_identifier(sequence);
        const std::string to = DB::mariadb_quote_identifier(target_schema) + "." + DB::mariadb_quote_identifier(sequence);
        const auto next = [&](const Connection& connection, const std::string& name) -> std::optional<std::string> {
            auto value = connection->execute_as_scalar("SELECT next_not_cached_value FROM " + name, false);
            if (!value || !*value) {
                std::cerr << "ombrix: " << (value ? "sequence " + name + " has no value" : describe_error(value.error()))
                          << "\n";
                return std::nullopt;
            }
            return (*value)->to_string();
        };
        const auto wanted = next(source, from);
        const auto held = next(target, to);
        if (!wanted || !held) {
            ok = false;
            continue;
        }
        if (*wanted == *held) continue;
        const std::string statement = "ALTER SEQUENCE " + to + " RESTART WITH " + *wanted + ";";
        std::cout << statement << std::endl;
        if (options.apply) {
            if (auto done = target->execute_no_query(statement, false); !done) {
                std::cerr << "ombrix: " << describe_error(done.error()) << "\n";
                ok = false;
                continue;
            }
        }
        std::cerr << "ombrix: " << to << ": " << (options.apply ? "restarted at " : "to restart at ") << *wanted << "\n";
    }
    return ok;
}

void run_data(const Context& context, const SyncOptions& options) {
    const auto from = table_argument(options.source);
    const auto to = table_argument(options.target);
    if (from.table.empty() != to.table.empty())
        throw Failure("--source and --target name two tables or two schemas");
    auto source = open_connection(context, from.profile);
    auto target = open_connection(context, to.profile);
    if (!from.table.empty()) {
        // What went wrong is said already.
        if (!sync_table(options, source, from, target, to, false)) throw DatabaseFailure("");
        return;
    }
    // Every table the two schemas have in common, each on its own; one exit code for all.
    require_schema(source, from.schema);
    require_schema(target, to.schema);
    const std::string tables = "'BASE TABLE', 'SYSTEM VERSIONED'";
    const auto source_tables = schema_tables(source, from.schema, tables);
    const auto target_tables = schema_tables(target, to.schema, tables);
    // One moment of the source for every table, so that their rows agree with each other as they
    // did then: a child's rows and their parents' come from the same instant.
    std::vector<std::pair<std::string, std::string>> common;
    for (const auto& table : source_tables)
        if (target_tables.contains(table)) common.emplace_back(from.schema, table);
    auto snapshot = DB::open_snapshot(*source, common);
    if (!snapshot) fail_with(snapshot.error());
    struct EndSnapshot {
        const Connection& source;
        ~EndSnapshot() { (void)source->execute_no_query("COMMIT", false); }
    } end_snapshot{source};
    for (const auto& table : snapshot->loose_tables)
        std::cerr << "ombrix: warning: table " << table
                  << " has no transactions: its rows are read as they stand when it is synced, not at the moment "
                     "the other tables are\n";
    // A table on one side only is named and fails the command: its rows are not where they should be.
    std::size_t failed = 0, synced = 0, unmatched = 0;
    const auto alone = [&](const std::string& schema, const std::string& table, const std::string& other) {
        std::cerr << "ombrix: " << DB::mariadb_quote_identifier(schema) << "." << DB::mariadb_quote_identifier(table)
                  << " has no table in " << DB::mariadb_quote_identifier(other) << ": not synced (sync structure first)\n";
        ++unmatched;
    };
    for (const auto& table : source_tables) {
        if (!target_tables.contains(table)) {
            alone(from.schema, table, to.schema);
            continue;
        }
        TableArgument one_from = from, one_to = to;
        one_from.table = one_to.table = table;
        ++synced;
        if (!sync_table(options, source, one_from, target, one_to, true)) ++failed;
    }
    for (const auto& table : target_tables)
        if (!source_tables.contains(table)) alone(to.schema, table, from.schema);
    if (!sync_sequences(options, source, from.schema, target, to.schema, alone)) ++failed;
    const std::string without = std::to_string(unmatched) + " table(s) on one side only";
    if (failed > 0)
        throw Failure(std::to_string(failed) + " of " + std::to_string(synced) + " table(s) failed" +
                      (unmatched > 0 ? "; " + without : std::string()));
    if (unmatched > 0) throw Failure(without);
}

void add_common_options(CLI::App& command, SyncOptions& options) {
    command.add_flag("--apply", options.apply, "Run the printed statements on the target");
    command.add_flag("--continue", options.go_on, "With --apply, go on after a failing script");
}

}  // namespace

void add_sync_commands(CLI::App& app, Context& context) {
    auto* sync = app.add_subcommand("sync", "Bring a target schema's structure or a target table's rows in line with a source");
    sync->require_subcommand(1);

    auto structure_options = std::make_shared<SyncOptions>();
    auto* structure = sync->add_subcommand(
        "structure", "Print the scripts that give the target schema the source's tables, views, routines and events");
    structure->add_option("--source", structure_options->source, "[PROFILE:]SCHEMA whose structure is wanted")->required();
    structure->add_option("--target", structure_options->target, "[PROFILE:]SCHEMA to change")->required();
    add_common_options(*structure, *structure_options);
    structure->add_flag("--allow-drop", structure_options->allow_drop,
                        "Let --apply drop tables, columns, views, routines and events of the target");
    structure->callback([&context, structure_options] { run_structure(context, *structure_options); });

    auto data_options = std::make_shared<SyncOptions>();
    auto* data = sync->add_subcommand(
        "data", "Print the statements that give the target table the source table's rows (matched by key)");
    data->add_option("--source", data_options->source,
                     "[PROFILE:]SCHEMA.TABLE whose rows are wanted, or [PROFILE:]SCHEMA for every table")
        ->required();
    data->add_option("--target", data_options->target, "[PROFILE:]SCHEMA.TABLE (or [PROFILE:]SCHEMA) to change")
        ->required();
    add_common_options(*data, *data_options);
    data->add_flag("--lock-target", data_options->lock_target,
                   "Lock each target table while its changes are written (the target is otherwise taken to be quiet)");
    data->callback([&context, data_options] { run_data(context, *data_options); });
}

}  // namespace Ombrix::Cli
