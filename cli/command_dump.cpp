// ombrix dump and ombrix restore: schemas as one SQL script (plain, gzip or zstd) read in one
// consistent snapshot, and scripts loaded back statement by statement.
#include <glib/gstdio.h>
#include <unistd.h>

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
};

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

    const bool to_file = !options.output.empty() && options.output != "-";
    if (!to_file && *compression != D::Compression::NONE && isatty(STDOUT_FILENO))
        throw Failure("dump: compressed output goes to a file (-o) or a pipe, not a terminal");
    std::unique_ptr<X::TextSink> file;
    if (to_file) {
        auto created = X::FileSink::create(options.output);
        if (!created) throw Failure("dump: cannot write " + options.output + ": " + created.error().message);
        file = std::move(*created);
    } else {
        file = X::FileSink::standard_output();
    }
    auto sink = D::compressing_sink(std::move(file), *compression);

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
        if (interrupted()) throw Failure("dump: interrupted; the incomplete file was removed", kInterruptedExit);
        const Core::Error& error = !dumped ? dumped.error() : closed.error();
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

struct RestoreOptions {
    std::string profile;
    std::string file;
};

void run_restore(const Context& context, const RestoreOptions& options) {
    auto text = D::read_uncompressed(options.file);
    if (!text) throw Failure("restore: cannot read " + options.file + ": " + text.error().message);
    const auto statements = Solvane::Supports::Database::split_script(*text);
    text->clear();
    auto connection = open_connection(context, options.profile);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        if (terminal && (i % 64 == 0 || i + 1 == statements.size()))
            std::fprintf(stderr, "\rrestore: statement %zu of %zu\033[K", i + 1, statements.size());
        auto results = connection->execute(statements[i].text);
        std::optional<Core::Error> failure;
        if (!results) {
            failure = results.error();
        } else {
            for (const auto& result : *results)
                if (auto error = std::dynamic_pointer_cast<Providers::Contracts::ValueError>(result))
                    failure = Core::Error{"MariaDB", error->get_code(), error->get_message()};
        }
        if (interrupted()) {
            if (terminal) std::fputs("\n", stderr);
            throw Failure("restore: interrupted after " + std::to_string(i) + " of " + std::to_string(statements.size()) +
                              " statement(s)",
                          kInterruptedExit);
        }
        if (!failure) continue;
        if (terminal) std::fputs("\n", stderr);
        throw Failure("restore: " + options.file + ", statement " + std::to_string(i + 1) + " (line " +
                      std::to_string(statements[i].line) + ") failed: " + describe_error(*failure));
    }
    if (terminal) std::fputs("\r\033[K", stderr);
    connection->close();
    std::cerr << "Statements: " << statements.size() << "\n";
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
        command->add_option("-o,--output", options->output, "The file to write (default: standard output)");
        command->add_option("--as", options->as, "Write the dump of one schema for a schema of this name");
        command->add_option("--compress", options->compress, "gzip or zstd")
            ->check(CLI::IsMember({"gzip", "zstd"}));
        command->add_option("--tables", options->tables, "Tables, views and sequences to dump, comma-separated");
        command->add_option("--where", options->wheres, "TABLE:CONDITION: dump only the rows that match (repeatable)");
        command->add_flag("--no-data", options->no_data, "The structure alone");
        command->callback([&context, options] { run_dump(context, *options); });
    }
    {
        auto options = std::make_shared<RestoreOptions>();
        auto* command = app.add_subcommand(
            "restore", "Load a dump or an SQL script (plain, gzip or zstd), statement by statement");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("FILE", options->file, "The dump or script (- for standard input)")->required();
        command->callback([&context, options] { run_restore(context, *options); });
    }
}

}  // namespace Ombrix::Cli
