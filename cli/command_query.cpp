// ombrix query: run SQL on a profile's server and print what comes back.
#include <iostream>

#include "commands.hpp"
#include "output.hpp"
#include "providers/Contracts/value_object.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

namespace Ombrix::Cli {

namespace {

struct QueryOptions {
    std::string profile;
    bool batch = false;
    std::string sql;
};

/// Prints one result of a statement; false for an error value.
bool print_result(const std::shared_ptr<Core::Object>& result) {
    if (auto model = std::dynamic_pointer_cast<Providers::Contracts::TableModel>(result)) {
        print_grid(std::cout, *model);
        return true;
    }
    if (auto error = std::dynamic_pointer_cast<Providers::Contracts::ValueError>(result)) {
        std::cerr << describe_error(Core::Error{"MariaDB", error->get_code(), error->get_message()}) << "\n";
        return false;
    }
    if (auto value = std::dynamic_pointer_cast<Providers::Contracts::ValueObject>(result))
        std::cout << "Affected rows: " << value->to_string() << "\n";
    return true;
}

}  // namespace

void add_query_command(CLI::App& app, Context& context) {
    auto options = std::make_shared<QueryOptions>();
    auto* query = app.add_subcommand("query", "Run SQL and print the result grid or the affected-row count");
    query->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
    query->add_flag("--batch", options->batch, "Run several statements and print each result");
    query->add_option("SQL", options->sql, "The SQL text")->required();
    query->callback([&context, options] {
        auto connection = open_connection(context, options->profile);
        auto results = connection->execute(options->sql);
        connection->close();
        if (!results) throw DatabaseFailure(describe_error(results.error()));
        bool ok = true;
        bool first = true;
        for (const auto& result : *results) {
            if (!first) std::cout << "\n";
            first = false;
            ok = print_result(result) && ok;
            if (!options->batch) break;
        }
        if (!ok) throw DatabaseFailure("");
    });
}

}  // namespace Ombrix::Cli
