// ombrix dump and ombrix restore: schemas as one SQL script (plain, gzip or zstd) read in one
// consistent snapshot, and scripts loaded back statement by statement.
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <iostream>
#include <memory>

#include "commands.hpp"
#include "interrupt.hpp"
#include "output.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Data/compress.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Transform/dump.hpp"
#include "solvane/Transform/restore.hpp"

namespace Ombrix::Cli {

namespace {

namespace D = Solvane::Supports::Data;
namespace X = Solvane::Supports::Data::Extractors;

struct DumpCommandOptions {
    std::string profile;
    std::vector<std::string> schemas;
    std::string output;
    std::string as;
    std::string compress;
    std::string tables;
    std::vector<std::string> wheres;
    bool no_data = false;
    int parallel = 0;
    bool lock_tables = false;
    std::int64_t rows_per_file = 0;
};

/// Whether `path` names a directory: it ends in '/' or is one.
bool names_directory(const std::string& path) {
    return !path.empty() && (path.back() == '/' || g_file_test(path.c_str(), G_FILE_TEST_IS_DIR));
}

/// What a dump says when it ends: its failure, or its warnings and counts.
void report_dump(const Core::Result<Solvane::Transform::DumpReport>& dumped, const std::string& removed) {
    if (!dumped) {
        if (interrupted()) throw Failure("dump: interrupted; " + removed + " was removed", kInterruptedExit);
        const Core::Error& error = dumped.error();
        if (error.domain == "MariaDB") throw DatabaseFailure("dump: " + describe_error(error));
        throw Failure("dump: " + error.message);
    }
    for (const auto& warning : dumped->warnings) std::cerr << "ombrix: warning: " << warning << "\n";
    for (const auto& omission : dumped->omissions) std::cerr << "ombrix: warning: " << omission << "\n";
    std::cerr << "Tables: " << dumped->tables << ", rows: " << dumped->rows << "\n";
    if (!dumped->omissions.empty())
        throw Failure("dump: the dump is not the whole source (" + std::to_string(dumped->omissions.size()) +
                      " omission(s) named above)");
}

void run_dump(const Context& context, const DumpCommandOptions& options) {
    const auto compression = D::compression_named(options.compress);
    if (!compression) throw Failure("dump: --compress takes gzip or zstd");
    if (!options.as.empty() && options.schemas.size() != 1) throw Failure("dump: --as renames one schema only");
    Solvane::Transform::DumpOptions dump;
    dump.schemas = options.schemas;
    if (!options.as.empty()) dump.rename[options.schemas.front()] = options.as;
    for (auto& table : Core::split(options.tables, ','))
        if (!table.empty()) dump.tables.push_back(std::move(table));
    for (const auto& where : options.wheres) {
        const auto colon = where.find(':');
        if (colon == std::string::npos || colon == 0) throw Failure("dump: --where takes TABLE:CONDITION");
        dump.where[where.substr(0, colon)] = where.substr(colon + 1);
    }
    dump.data = !options.no_data;
    dump.lock_tables = options.lock_tables;
    if (options.rows_per_file > 0) dump.range_rows = options.rows_per_file;
    dump.connect = connector(context, options.profile);
    const bool to_directory = names_directory(options.output) || options.parallel > 0;
    if (to_directory) {
        if (options.output.empty() || options.output == "-")
            throw Failure("dump: --parallel writes a directory of files: name it with -o DIR/");
        dump.parallel = options.parallel > 0 ? options.parallel : default_parallel();
        auto connection = open_connection(context, options.profile);
        const bool terminal = isatty(STDERR_FILENO) != 0;
        auto dumped = Solvane::Transform::dump_to_directory(
            connection, dump, options.output, *compression, [&](const std::string& table, std::int64_t rows) {
                if (terminal) std::fprintf(stderr, "\r%s: %lld rows\033[K", table.c_str(), static_cast<long long>(rows));
            });
        connection->close();
        if (terminal) std::fputs("\r\033[K", stderr);
        report_dump(dumped, options.output + " (the files written were removed)");
        return;
    }

    const bool to_file = !options.output.empty() && options.output != "-";
    if (!to_file && *compression != D::Compression::NONE && isatty(STDOUT_FILENO))
        throw Failure("dump: compressed output goes to a file (-o) or a pipe, not a terminal");
    auto sink = D::compressing_sink(open_output(options.output, "dump"), *compression);

    auto connection = open_connection(context, options.profile);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    auto dumped = Solvane::Transform::dump_schemas(connection, dump, *sink, [&](const std::string& table, std::int64_t rows) {
        if (terminal) std::fprintf(stderr, "\r%s: %lld rows\033[K", table.c_str(), static_cast<long long>(rows));
    });
    connection->close();
    if (terminal) std::fputs("\r\033[K", stderr);
    auto closed = sink->close();
    // A failed dump leaves no file that could pass for a whole one.
    if (!dumped || !closed) {
        if (to_file) g_unlink(options.output.c_str());
        if (dumped) dumped = Core::fail(closed.error());
    }
    report_dump(dumped, "the incomplete file");
}

struct RestoreCommandOptions {
    std::string profile;
    std::string file;
    std::string target;
    int parallel = 0;
    bool resume = false;
};

void run_restore(const Context& context, const RestoreCommandOptions& options) {
    Solvane::Transform::RestoreOptions restore;
    restore.path = options.file;
    std::string profile = options.profile;
    if (!options.target.empty()) {
        auto [target_profile, schema] = split_profile(options.target);
        if (schema.empty()) throw Failure("restore: --target takes [PROFILE:]SCHEMA");
        if (!target_profile.empty() && !profile.empty() && target_profile != profile)
            throw Failure("restore: --profile and --target name two servers");
        if (!target_profile.empty()) profile = target_profile;
        restore.target_schema = schema;
    }
    restore.parallel = options.parallel > 0 ? options.parallel : default_parallel();
    restore.resume = options.resume;
    restore.connect = connector(context, profile);
    auto connection = open_connection(context, profile);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    // A profile of several hosts (a cluster's nodes) goes on through the next host when the one in
    // use is lost, from the load's journal.
    const std::size_t hosts = context.resolve_profile(profile)->endpoints().size();
    Core::Result<Solvane::Transform::RestoreReport> restored = Core::fail("default", -1, "not run");
    for (std::size_t attempt = 0;; ++attempt) {
        restore.resume = options.resume || attempt > 0;
        restored = Solvane::Transform::restore_dump(
            connection, restore, [&](const std::string& file, std::size_t statement, std::size_t) {
                if (terminal && statement % 64 == 1)
                    std::fprintf(stderr, "\rrestore: %s: statement %zu\033[K", file.c_str(), statement);
            });
        if (terminal) std::fputs("\r\033[K", stderr);
        if (!restored && attempt + 1 < hosts && !interrupted() && fails_over(restored.error())) {
            std::cerr << "ombrix: restore: " << restored.error().message
                      << "; going on through the next host, from the load's journal\n";
            if (auto reopened = connection->reopen(); !reopened) throw DatabaseFailure(describe_error(reopened.error()));
            std::cerr << "ombrix: restore: now through " << connection->get_endpoint() << "\n";
            continue;
        }
        break;
    }
    connection->close();
    if (!restored) {
        const Core::Error& error = restored.error();
        if (interrupted())
            throw Failure("restore: interrupted (" + error.message + "); --resume goes on from there", kInterruptedExit);
        if (error.domain == "MariaDB") throw DatabaseFailure("restore: " + error.message);
        throw Failure("restore: " + error.message);
    }
    for (const auto& note : restored->notes) std::cerr << "ombrix: " << note << "\n";
    std::cerr << "Statements: " << restored->statements;
    if (restored->skipped > 0) std::cerr << ", already loaded: " << restored->skipped;
    std::cerr << "\n";
}

}  // namespace

void add_dump_commands(CLI::App& app, Context& context) {
    {
        auto options = std::make_shared<DumpCommandOptions>();
        auto* command = app.add_subcommand(
            "dump", "Write schemas as one SQL script: structure, rows read in one consistent snapshot, then triggers "
                    "and events");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("SCHEMA", options->schemas, "The schemas to dump")->required();
        command->add_option("-o,--output", options->output,
                            "The file to write (default: standard output), or a directory (ending in '/', or one "
                            "already) for a file per table");
        command->add_option("--as", options->as, "Write the dump of one schema for a schema of this name");
        command->add_option("--compress", options->compress, "gzip or zstd")
            ->check(CLI::IsMember({"gzip", "zstd"}));
        command->add_option("--tables", options->tables, "Tables, views and sequences to dump, comma-separated");
        command->add_option("--where", options->wheres, "TABLE:CONDITION: dump only the rows that match (repeatable)");
        command->add_flag("--no-data", options->no_data, "The structure alone");
        command->add_option("--parallel", options->parallel,
                            "Readers at once, on one snapshot (default: the smaller of 4 and the cores); writes a "
                            "directory")
            ->check(CLI::Range(1, 64));
        command->add_option("--rows-per-file", options->rows_per_file,
                            "In a directory, split a table with a single integer key into key ranges of about this "
                            "many rows, a file each (default 100000)")
            ->check(CLI::PositiveNumber);
        command->add_flag("--lock-tables", options->lock_tables,
                          "Hold tables without transactions read-locked for the whole dump, so that they too are "
                          "read at the snapshot's moment");
        command->callback([&context, options] { run_dump(context, *options); });
    }
    {
        auto options = std::make_shared<RestoreCommandOptions>();
        auto* command = app.add_subcommand(
            "restore", "Load a dump (a file, plain, gzip or zstd, or a directory) or an SQL script, statement by "
                       "statement");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("FILE", options->file, "The dump, its directory, or a script (- for standard input)")
            ->required();
        command->add_option("--target", options->target,
                            "[PROFILE:]SCHEMA: load a dump of one schema under this name (a script: its default "
                            "schema)");
        command->add_option("--parallel", options->parallel,
                            "Sessions loading a directory's rows at once (default: the smaller of 4 and the cores)")
            ->check(CLI::Range(1, 64));
        command->add_flag("--resume", options->resume,
                          "Finish a load that stopped, from its journal, without loading twice what it committed");
        command->callback([&context, options] { run_restore(context, *options); });
    }
}

}  // namespace Ombrix::Cli
