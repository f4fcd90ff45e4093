// Reads a whole schema into the meta model through a MariaDB connection
// (fill_meta_schema, recursive) and prints the wall time of the fill and how
// many statements it sent to the server.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "solvane/Model/schema.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

namespace {

int usage() {
    std::fprintf(stderr, "usage: schema_bench HOST PORT USER PASSWORD SCHEMA\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Ombrix;
    if (argc != 6) return usage();
    auto server = Providers::Contracts::Server::new_with_provider("MariaDB");
    server->set_host(argv[1]);
    server->set_port(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    server->set_username(argv[3]);
    server->set_password(argv[4]);
    const std::string name = argv[5];

    auto connection = Solvane::Supports::Database::MariaDBConnection::create();
    if (auto opened = connection->open(server, nullptr); !opened) {
        std::fprintf(stderr, "open: %s\n", opened.error().message.c_str());
        return 1;
    }
    // The session's statement counter, read before and after; the reading itself
    // counts once.
    const auto questions = [&]() -> long long {
        auto value = connection->execute_as_scalar(
            "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS WHERE "
            "VARIABLE_NAME = 'QUESTIONS'");
        return value && *value ? std::atoll((*value)->to_string().c_str()) : -1;
    };
    const long long before = questions();

    auto schema = Solvane::MetaModel::MetaSchema::with_names(name, name);
    const auto start = std::chrono::steady_clock::now();
    auto filled = connection->adapter()->fill_meta_schema(schema, true);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!filled) {
        std::fprintf(stderr, "fill: %s\n", filled.error().message.c_str());
        return 1;
    }
    const long long after = questions();

    std::size_t columns = 0;
    for (const auto& table : *schema->get_tables()) columns += table->get_columns()->size();
    std::printf(
        "seconds=%.3f queries=%lld tables=%zu views=%zu functions=%zu "
        "procedures=%zu columns=%zu\n",
        seconds, after - before - 1, schema->get_tables()->size(), schema->get_views()->size(),
        schema->get_functions()->size(), schema->get_procedures()->size(), columns);
    connection->close();
    return 0;
}
