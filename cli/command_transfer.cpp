// ombrix transfer: copy a schema's structure and rows to another schema, on the same server or
// another, with progress on stderr and a verification of what arrived.
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "commands.hpp"
#include "output.hpp"
#include "solvane/Transform/transfer.hpp"

namespace Ombrix::Cli {

namespace {

namespace T = Solvane::Transform;

struct TransferOptions {
    std::string source;
    std::string target;
    std::string tables;
    std::vector<std::string> renames;
    std::vector<std::string> wheres;
    std::vector<std::string> fields;
    bool drop = false;
    bool continue_on_error = false;
    bool structure_only = false;
    bool data_only = false;
    bool verify = false;
    long long batch = 0;
    bool page_by_page = false;
    std::string on_duplicate;
    int parallel = 0;
    bool resume = false;
    bool lock_tables = false;
};

/// Where a copy of `source` into `target` keeps its journal: the user's cache folder, by the two
/// schemas' names (not by host: a copy resumed through another node finds it).
std::string transfer_journal(const std::string& source, const std::string& target) {
    gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, (source + "\n" + target).c_str(), -1);
    gchar* path = g_build_filename(g_get_user_cache_dir(), "ombrix", (std::string("transfer-") + std::string(digest).substr(0, 24) + ".journal").c_str(), nullptr);
    std::string result = path;
    g_free(path);
    g_free(digest);
    return result;
}

std::vector<std::string> split_list(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, separator))
        if (!item.empty()) items.push_back(item);
    return items;
}

/// "TABLE:VALUE" of a per-table option.
std::pair<std::string, std::string> table_value(const std::string& argument, const char* option) {
    const auto colon = argument.find(':');
    if (colon == std::string::npos || colon == 0)
        throw Failure(std::string("transfer: ") + option + " takes TABLE:VALUE, not '" + argument + "'");
    return {argument.substr(0, colon), argument.substr(colon + 1)};
}

void run_transfer(const Context& context, const TransferOptions& options) {
    if (options.structure_only && options.data_only) throw Failure("transfer: --structure-only or --data-only, not both");
    const auto [source_profile, source_schema] = split_profile(options.source);
    const auto [target_profile, target_schema] = split_profile(options.target);
    if (source_schema.empty() || target_schema.empty()) throw Failure("transfer: give --source and --target as [PROFILE:]SCHEMA");

    // A profile of several hosts (a cluster's nodes) goes on through the next host when the one in
    // use is lost: the copy starts again from its journal, which keeps what was committed, and
    // empties the key ranges it copies again, so no row arrives twice.
    const std::size_t hosts = std::max(context.resolve_profile(source_profile)->endpoints().size(),
                                       context.resolve_profile(target_profile)->endpoints().size());
    for (std::size_t attempt = 0;; ++attempt) {
        const bool resume = options.resume || attempt > 0;

        auto source = open_connection(context, source_profile);
        auto target = open_connection(context, target_profile);
        struct Closer {
            const Connection& a;
            const Connection& b;
            ~Closer() {
                a->close();
                b->close();
            }
        } closer{source, target};

        // Which tables and views: the listed ones, else every one the schema holds, tables that keep
        // their rows' history included.
        std::vector<std::string> names = split_list(options.tables, ',');
        if (names.empty()) {
            int column = 0;
            auto statement = source->statement();
            for (const auto& sql : {statement->show_tables(source_schema, source_schema, column),
                                    statement->show_views(source_schema, source_schema, column)}) {
                auto listed = source->execute_as_model(sql);
                if (!listed) throw DatabaseFailure(describe_error(listed.error()));
                for (std::size_t r = 0; r < (*listed)->get_n_items(); ++r)
                    names.push_back((*listed)->get_value_at(static_cast<std::size_t>(column), r)->to_string());
            }
        }
        T::Transfer::Options o;
        o["OPTION|SOURCE|DATABASE"] = source_schema;
        o["OPTION|RESULT|CONTINUE"] = options.continue_on_error ? "true" : "false";
        o["OPTION|RESULT|DROP_OBJECT"] = options.drop ? "true" : "false";
        if (!options.page_by_page) o["OPTION|RESULT|BULK"] = "true";
        if (!options.on_duplicate.empty()) o["OPTION|RESULT|ON_DUPLICATE"] = options.on_duplicate;
        if (options.verify) o["OPTION|RESULT|VERIFY"] = "true";
        if (options.structure_only) o["OPTION|RESULT|DATA"] = "false";
        if (options.data_only) o["OPTION|RESULT|STRUCTURE"] = "false";
        o["OPTION|RESULT|PARALLEL"] = std::to_string(options.parallel > 0 ? options.parallel : default_parallel());
        o["OPTION|RESULT|JOURNAL"] = transfer_journal(source_schema, target_schema);
        if (resume) o["OPTION|RESULT|RESUME"] = "true";
        if (options.lock_tables) o["OPTION|RESULT|LOCK_TABLES"] = "true";
        o["schema|" + source_schema + "|MODE"] = "true";
        o["schema|" + source_schema + "|NAME"] = target_schema;
        for (const auto& name : names) {
            o["table|" + name + "|MODE"] = "true";
            if (options.batch != 0) o["table|" + name + "|BATCH"] = std::to_string(options.batch);
        }
        for (const auto& rename : options.renames) {
            const auto equal = rename.find('=');
            if (equal == std::string::npos) throw Failure("transfer: --rename takes OLD=NEW, not '" + rename + "'");
            o["table|" + rename.substr(0, equal) + "|NAME"] = rename.substr(equal + 1);
        }
        for (const auto& where : options.wheres) {
            const auto [table, condition] = table_value(where, "--where");
            o["table|" + table + "|RECORDS"] = condition;
        }
        for (const auto& field : options.fields) {
            const auto [table, pairs] = table_value(field, "--fields");
            o["table|" + table + "|FIELDS"] = pairs;
            o["view|" + table + "|FIELDS"] = pairs;
        }

        auto transfer = T::Transfer::create(std::move(o));
        transfer->set_server_source(source);
        transfer->set_server_target(target);
        transfer->set_connectors(connector(context, source_profile), connector(context, target_profile));
        if (options.verify) transfer->set_node_connectors(node_connectors(context, target_profile));
        auto progress = Solvane::Contracts::ThreadProgress::create();
        transfer->set_progress(progress);

        // Progress: a running line per table on a terminal, a line per finished table otherwise.
        const bool terminal = isatty(STDERR_FILENO) != 0;
        std::mutex shown_mutex;
        std::string current;
        std::int64_t current_rows = 0;
        transfer->set_table_progress([&](const std::string& table, std::int64_t rows) {
            std::lock_guard lock(shown_mutex);
            current = table;
            current_rows = rows;
        });
        const auto started = std::chrono::steady_clock::now();
        Core::Status outcome;
        std::atomic<bool> done = false;
        std::thread worker([&] {
            outcome = transfer->handle();
            done = true;
        });
        std::size_t printed = 0;
        auto table_started = std::chrono::steady_clock::now();
        std::string shown_table;
        // Warnings as they come: those of a cluster's tables come before any row is written.
        std::size_t warned = 0;
        auto print_warnings = [&] {
            const auto warnings = transfer->get_warnings();
            for (; warned < warnings.size(); ++warned) {
                if (terminal) std::fputs("\r\033[K", stderr);
                std::cerr << "ombrix: warning: " << warnings[warned] << "\n";
            }
        };
        auto print_finished = [&] {
            print_warnings();
            const auto reports = transfer->get_reports();
            for (; printed < reports.size(); ++printed) {
                const auto& report = reports[printed];
                if (terminal) std::fputs("\r\033[K", stderr);
                std::fprintf(stderr, "%s -> %s: %lld rows, %.1f s, %.0f rows/s%s%s\n", report.source.c_str(),
                             report.target.c_str(), static_cast<long long>(report.rows), report.seconds,
                             report.seconds > 0 ? static_cast<double>(report.rows) / report.seconds : 0.0,
                             report.error.empty() ? "" : ", failed: ", report.error.c_str());
                if (report.verified)
                    std::fprintf(stderr, "  verify %s: %s (%s)\n", report.target.c_str(),
                                 *report.verified ? "equal" : "DIFFERENT", report.verification.c_str());
                for (const auto& [node, state] : report.nodes)
                    std::fprintf(stderr, "  verify %s on %s: %s\n", report.target.c_str(), node.c_str(), state.c_str());
            }
        };
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            print_finished();
            if (!terminal) continue;
            std::lock_guard lock(shown_mutex);
            if (current.empty()) continue;
            if (current != shown_table) {
                shown_table = current;
                table_started = std::chrono::steady_clock::now();
            }
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - table_started).count();
            std::fprintf(stderr, "\r%s: %lld rows, %.0f rows/s\033[K", current.c_str(), static_cast<long long>(current_rows),
                         seconds > 0 ? static_cast<double>(current_rows) / seconds : 0.0);
        }
        worker.join();
        print_finished();
        print_warnings();
        for (const auto& note : transfer->get_notes()) std::cerr << "ombrix: " << note << "\n";

        if (!outcome && attempt + 1 < hosts && fails_over(outcome.error())) {
            std::cerr << "ombrix: transfer: " << outcome.error().message
                      << "; going on through the next host, from the copy's journal\n";
            continue;
        }

        // The failures the run reported, as the progress record queued them.
        std::string message;
        while (progress->pop_message(message))
            if (context.verbose) std::cerr << message << "\n";
        const auto state = progress->snapshot();
        const auto reports = transfer->get_reports();
        std::int64_t rows = 0;
        int failures = 0;
        int differences = 0;
        int unchecked_nodes = 0;
        for (const auto& report : reports) {
            rows += report.rows;
            failures += report.error.empty() ? 0 : 1;
            differences += report.verified && !*report.verified ? 1 : 0;
            unchecked_nodes += report.nodes_agree ? 0 : 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "Tables: %zu, rows: %lld, seconds: %.1f, failures: %lld\n", reports.size(),
                     static_cast<long long>(rows), seconds, static_cast<long long>(state.failure));
        if (const auto retries = Solvane::Supports::Database::conflict_retries(); retries > 0)
            std::fprintf(stderr, "Batches retried after a conflict (deadlock or cluster certification): %lld\n",
                         static_cast<long long>(retries));
        if (!outcome && outcome.error().domain == Solvane::Transform::Transfer::FILLED_TARGET)
            throw Failure("transfer: " + outcome.error().message + ": --on-duplicate skip|replace");
        if (!outcome) throw Failure("transfer: " + outcome.error().message);
        if (failures > 0 || state.failure > 0) throw Failure("transfer: " + std::to_string(state.failure) + " step(s) failed");
        if (differences > 0) throw Failure("transfer: " + std::to_string(differences) + " table(s) differ after the copy");
        if (unchecked_nodes > 0)
            throw Failure("transfer: " + std::to_string(unchecked_nodes) +
                          " table(s) differ on a node of the cluster, or a node could not be asked");
        return;
    }
}

}  // namespace

void add_transfer_command(CLI::App& app, Context& context) {
    auto options = std::make_shared<TransferOptions>();
    auto* command = app.add_subcommand("transfer", "Copy a schema's structure and rows to another schema or server");
    command->add_option("--source", options->source, "[PROFILE:]SCHEMA to copy from")->required();
    command->add_option("--target", options->target, "[PROFILE:]SCHEMA to copy to (created when missing)")->required();
    command->add_option("--tables", options->tables, "Tables and views to copy, comma-separated (default: all)");
    command->add_option("--rename", options->renames, "OLD=NEW: a table's name in the target (repeatable)");
    command->add_option("--where", options->wheres, "TABLE:CONDITION: copy only the rows that match (repeatable)");
    command->add_option("--fields", options->fields, "TABLE:src=dst;...: copy these columns into those (repeatable)");
    command->add_flag("--drop", options->drop, "Drop the copied tables and views in the target first");
    command->add_flag("--continue", options->continue_on_error, "Go on after a failing statement or table");
    command->add_flag("--structure-only", options->structure_only, "Create the structure, copy no rows");
    command->add_flag("--data-only", options->data_only, "Copy the rows into the existing structure");
    command->add_flag("--verify", options->verify, "Compare row counts and checksums of both sides afterwards");
    command->add_option("--parallel", options->parallel,
                        "Reader and writer pairs at once, on one snapshot (default: the smaller of 4 and the cores)")
        ->check(CLI::Range(1, 64));
    command->add_flag("--lock-tables", options->lock_tables,
                      "Hold tables without transactions read-locked for the whole copy, so that they too are read "
                      "at the snapshot's moment");
    command->add_flag("--resume", options->resume,
                      "Finish a copy that stopped, from its journal, without copying again the tables and key "
                      "ranges it committed");
    command->add_option("--batch", options->batch, "Rows per page of the page-by-page copy (default 1000)");
    command->add_flag("--page-by-page", options->page_by_page, "Read pages and insert row by row (slow)");
    command->add_option("--on-duplicate", options->on_duplicate,
                        "Copy into tables that already hold rows: skip the rows whose key is there, or replace "
                        "those rows (without it such tables stop the copy before it writes)")
        ->check(CLI::IsMember({"skip", "replace"}));
    command->callback([&context, options] { run_transfer(context, *options); });
}

}  // namespace Ombrix::Cli
