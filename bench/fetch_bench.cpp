// Fetches a whole table, either into a TableModel through the provider ("ours"; "walk" also reads
// every cell of the model once, its data type and its text) or with a plain client-library loop that stores the result and
// walks every row and cell ("capi"). Prints the wall time and the peak resident set size.
#include <mysql.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "providers/Supports/MariaDB/provider.hpp"

namespace {

double peak_rss_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int usage() {
    std::fprintf(stderr, "usage: fetch_bench ours|walk|capi HOST PORT USER PASSWORD SQL\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) return usage();
    const std::string mode = argv[1];
    const std::string host = argv[2];
    const unsigned port = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const std::string user = argv[4];
    const std::string password = argv[5];
    const std::string sql = argv[6];

    std::size_t rows = 0, cells = 0;
    double seconds = 0;
    if (mode == "ours" || mode == "walk") {
        auto server = Ombrix::Providers::Contracts::Server::new_with_provider("MariaDB");
        server->set_host(host);
        server->set_port(port);
        server->set_username(user);
        server->set_password(password);
        auto provider = Ombrix::Providers::Supports::MariaDBProvider::create();
        if (auto opened = provider->open(server, ""); !opened) {
            std::fprintf(stderr, "open: %s\n", opened.error().message.c_str());
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        auto model = provider->execute_model(sql);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!model) {
            std::fprintf(stderr, "query: %s\n", model.error().message.c_str());
            return 1;
        }
        rows = (*model)->get_n_items();
        cells = rows * (*model)->get_columns()->size();
        if (mode == "walk") {
            // Every cell read once, its type and its text, as a grid scrolling through the result
            // or a comparison reads it (one text buffer for the walk).
            std::size_t total = 0;
            std::string text;
            for (const auto& row : *(*model)->get_rows()) {
                const std::size_t n = row->get_n_items();
                for (std::size_t c = 0; c < n; ++c) {
                    const auto type = row->read_cell(c, text);
                    total += static_cast<std::size_t>(*type) + text.size();
                }
            }
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (total == 42) std::fprintf(stderr, " ");
        }
    } else if (mode == "capi") {
        MYSQL* mysql = mysql_init(nullptr);
        if (!mysql_real_connect(mysql, host.c_str(), user.c_str(), password.c_str(), nullptr, port, nullptr, 0)) {
            std::fprintf(stderr, "open: %s\n", mysql_error(mysql));
            return 1;
        }
        mysql_set_character_set(mysql, "utf8mb4");
        const auto start = std::chrono::steady_clock::now();
        if (mysql_real_query(mysql, sql.data(), sql.size()) != 0) {
            std::fprintf(stderr, "query: %s\n", mysql_error(mysql));
            return 1;
        }
        MYSQL_RES* result = mysql_store_result(mysql);
        const unsigned fields = mysql_num_fields(result);
        unsigned long long bytes = 0;
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            const unsigned long* lengths = mysql_fetch_lengths(result);
            for (unsigned i = 0; i < fields; ++i) {
                if (row[i] && lengths[i]) bytes += static_cast<unsigned char>(row[i][0]) + lengths[i];
                ++cells;
            }
            ++rows;
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (bytes == 42) std::fprintf(stderr, " ");  // keeps the walk from being optimised away
        mysql_free_result(result);
        mysql_close(mysql);
    } else {
        return usage();
    }
    std::printf("rows=%zu cells=%zu seconds=%.3f rss_mb=%.1f\n", rows, cells, seconds, peak_rss_mb());
    return 0;
}
