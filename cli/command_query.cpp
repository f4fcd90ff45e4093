// ombrix query: run SQL, or a script of statements, on a profile's server and print what comes back.
#include <cctype>
#include <iostream>
#include <iterator>
#include <optional>
#include <vector>

#include "command_data.hpp"
#include "commands.hpp"
#include "interrupt.hpp"
#include "output.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/file.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/script.hpp"

namespace Ombrix::Cli {

namespace {

using Solvane::Supports::Database::ScriptStatement;

struct QueryOptions {
    std::string profile;
    bool batch = false;
    std::string sql;
    std::string file;
    std::string format = "grid";
    FormatOptions format_options;
};

/// How result grids are printed: the aligned grid, or an exchange format.
std::shared_ptr<Solvane::Supports::Data::Extractors::BaseExtractor> g_extractor;

void print_model(const Providers::Contracts::TableModel& model) {
    if (!g_extractor) {
        print_grid(std::cout, model);
        return;
    }
    std::string text;
    Solvane::Supports::Data::Extractors::StringSink sink(text);
    auto written = g_extractor->export_model(model, sink, {});
    if (!written) throw Failure("query: " + written.error().message);
    // Formats whose text does not end with a line end get one, so that results stay apart.
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::cout << text;
}

/// Prints one result of a statement: its result grid, or its affected-row count.
void print_result(const std::shared_ptr<Core::Object>& result) {
    if (auto model = std::dynamic_pointer_cast<Providers::Contracts::TableModel>(result))
        print_model(*model);
    else if (auto value = std::dynamic_pointer_cast<Providers::Contracts::ValueObject>(result))
        std::cout << "Affected rows: " << value->to_string() << "\n";
}

std::string read_script(const std::string& file) {
    if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    auto text = Core::read_file(file);
    if (!text) throw Failure("cannot read " + file + ": " + text.error().message);
    return std::move(*text);
}

/// Prints the results of one statement after `printed` others, a blank line between two; the error
/// that ended it, if any (a CALL's later result may be the error that stopped it).
std::optional<Core::Error> print_results(const std::vector<std::shared_ptr<Core::Object>>& results,
                                         std::size_t& printed) {
    for (const auto& result : results) {
        if (auto error = std::dynamic_pointer_cast<Providers::Contracts::ValueError>(result))
            return Core::Error{"MariaDB", error->get_code(), error->get_message()};
        if (printed++ > 0) std::cout << "\n";
        print_result(result);
    }
    return std::nullopt;
}

/// Runs the statements one at a time, printing every result, and stops at the first that fails.
/// With `name_statement` (a script, or a text of several statements) the failure names the
/// statement and its line; otherwise it is the server's error alone.
/// Whether `sql` only reads: such a statement may run again on another node of a cluster.
bool only_reads(std::string_view sql) {
    const std::size_t start = sql.find_first_not_of(" \t\r\n(");
    if (start == std::string_view::npos) return false;
    std::size_t end = start;
    while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end]))) ++end;
    const std::string word = Core::ascii_upper(sql.substr(start, end - start));
    return word == "SELECT" || word == "SHOW" || word == "DESC" || word == "DESCRIBE" || word == "EXPLAIN" ||
           word == "WITH" || word == "VALUES" || word == "TABLE";
}

void run_statements(const Connection& connection, const std::vector<ScriptStatement>& statements,
                    bool name_statement, std::size_t hosts) {
    std::size_t printed = 0;
    // A read that lost its host runs again on the next one, while nothing ran before it that set
    // something of the session (its database, its variables) the next host would not have.
    bool session_kept = true;
    std::size_t moves = 0;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        const auto& statement = statements[i];
        auto results = connection->execute(statement.text);
        while (!results && session_kept && moves + 1 < hosts && only_reads(statement.text) &&
               fails_over(results.error()) && !interrupted()) {
            ++moves;
            std::cerr << "ombrix: query: " << results.error().message << "; reading again through the next host\n";
            if (auto reopened = connection->reopen(); !reopened) break;
            std::cerr << "ombrix: query: now through " << connection->get_endpoint() << "\n";
            results = connection->execute(statement.text);
        }
        if (!only_reads(statement.text)) session_kept = false;
        const auto failure = results ? print_results(*results, printed) : std::optional<Core::Error>(results.error());
        if (!failure && !interrupted()) continue;
        std::cout.flush();
        if (interrupted())
            throw Failure("query: interrupted: " + std::to_string(failure ? i : i + 1) + " of " +
                              std::to_string(statements.size()) + " statement(s) completed",
                          kInterruptedExit);
        if (!name_statement) throw DatabaseFailure(describe_error(*failure));
        throw Failure("statement " + std::to_string(i + 1) + " (line " + std::to_string(statement.line) +
                      ") failed: " + describe_error(*failure));
    }
}

}  // namespace

void add_query_command(CLI::App& app, Context& context) {
    auto options = std::make_shared<QueryOptions>();
    auto* query = app.add_subcommand("query", "Run SQL or a script file and print the result grids or affected-row counts");
    query->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
    query->add_flag("--batch", options->batch, "Accepted for older scripts: every statement runs and prints anyway");
    auto* file = query->add_option("-f,--file", options->file,
                                   "Run the statements of a script file (- for standard input) one by one; "
                                   "DELIMITER lines are read as the mariadb client reads them");
    auto* sql = query->add_option("SQL", options->sql, "The SQL text (default: a script read from standard input)");
    query->add_option("--format", options->format, "How result rows are printed: grid (default), csv, tsv, json or md")
        ->check(CLI::IsMember({"grid", "csv", "tsv", "json", "md"}));
    add_format_options(*query, options->format_options);
    query->callback([&context, options, sql, file] {
        if (sql->count() > 0 && file->count() > 0) throw Failure("query: give the SQL text or --file FILE, not both");
        g_extractor = options->format == "grid" ? nullptr : make_extractor(options->format, options->format_options, "");
        if (sql->count() == 0 && file->count() == 0) options->file = "-";

        // Every statement runs on its own and every result is printed, as the mariadb client does.
        const bool from_file = !options->file.empty();
        const auto statements =
            Solvane::Supports::Database::split_script(from_file ? read_script(options->file) : options->sql);
        auto connection = open_connection(context, options->profile);
        struct Closer {
            const Connection& connection;
            ~Closer() { connection->close(); }
        } closer{connection};
        run_statements(connection, statements, from_file || statements.size() > 1,
                       context.resolve_profile(options->profile)->endpoints().size());
    });
}

}  // namespace Ombrix::Cli
