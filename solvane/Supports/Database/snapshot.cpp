#include "solvane/Supports/Database/snapshot.hpp"

#include <cerrno>
#include <cstdlib>

#include "providers/Contracts/model_table.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/script.hpp"

namespace Ombrix::Solvane::Supports::Database {

Core::Result<std::vector<TableEngine>> table_engines(Contracts::Database::IConnection& connection,
                                                    const std::vector<std::pair<std::string, std::string>>& tables) {
    std::vector<TableEngine> engines;
    std::string list;
    for (const auto& [schema, table] : tables)
        list += std::string(list.empty() ? "" : ", ") + "(" + mariadb_quote_literal(schema) + ", " +
                mariadb_quote_literal(table) + ")";
    if (list.empty()) return engines;
    auto found = connection.execute_as_model(
        "SELECT t.TABLE_SCHEMA, t.TABLE_NAME, t.ENGINE, e.TRANSACTIONS FROM information_schema.TABLES t JOIN "
        "information_schema.ENGINES e ON e.ENGINE = t.ENGINE WHERE (t.TABLE_SCHEMA, t.TABLE_NAME) IN (" + list +
        ") ORDER BY 1, 2");
    OMBRIX_RETURN_IF_ERROR(found);
    for (std::size_t r = 0; r < (*found)->get_n_items(); ++r)
        engines.push_back(TableEngine{(*found)->get_value_at(0, r)->to_string(), (*found)->get_value_at(1, r)->to_string(),
                                      (*found)->get_value_at(2, r)->to_string(),
                                      (*found)->get_value_at(3, r)->to_string() == "YES"});
    return engines;
}

namespace {

Core::Result<std::vector<std::string>> loose_tables(Contracts::Database::IConnection& connection,
                                                    const std::vector<std::pair<std::string, std::string>>& tables,
                                                    std::string* lock_list = nullptr) {
    std::vector<std::string> loose;
    auto engines = table_engines(connection, tables);
    OMBRIX_RETURN_IF_ERROR(engines);
    for (const auto& found : *engines) {
        if (found.transactional) continue;
        const std::string name = mariadb_quote_identifier(found.schema) + "." + mariadb_quote_identifier(found.table);
        loose.push_back(name + " (" + found.engine + ")");
        if (lock_list) *lock_list += (lock_list->empty() ? "" : ", ") + name + " READ";
    }
    return loose;
}

Core::Status begin_snapshot(Contracts::Database::IConnection& connection) {
    // The next transaction only: the session's own level stays as it was.
    return run_statements(connection,
                          "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ;\n"
                          "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY;");
}

// Where a replica seeded from the copy would go on (the position with the snapshot's binary log
// position where the server keeps one).
std::string gtid_position(Contracts::Database::IConnection& connection) {
    if (auto position = connection.execute_as_scalar("SELECT @@GLOBAL.gtid_binlog_pos", false); position && *position)
        return (*position)->to_string();
    return {};
}

}  // namespace

Core::Result<Snapshot> open_snapshot(Contracts::Database::IConnection& connection,
                                     const std::vector<std::pair<std::string, std::string>>& tables) {
    Snapshot snapshot;
    auto loose = loose_tables(connection, tables);
    OMBRIX_RETURN_IF_ERROR(loose);
    snapshot.loose_tables = std::move(*loose);
    OMBRIX_RETURN_IF_ERROR(begin_snapshot(connection));
    snapshot.gtid_position = gtid_position(connection);
    return snapshot;
}

Core::Result<Snapshot> open_shared_snapshot(Contracts::Database::IConnection& coordinator,
                                            const std::vector<Contracts::Database::IConnection*>& readers,
                                            const std::vector<std::pair<std::string, std::string>>& tables) {
    Snapshot snapshot;
    auto loose = loose_tables(coordinator, tables);
    OMBRIX_RETURN_IF_ERROR(loose);
    snapshot.loose_tables = std::move(*loose);
    OMBRIX_RETURN_IF_ERROR(run_statements(coordinator, "FLUSH TABLES WITH READ LOCK;"));
    Core::Status opened;
    for (auto* reader : readers)
        if (opened = begin_snapshot(*reader); !opened) break;
    if (opened) snapshot.gtid_position = gtid_position(coordinator);
    const auto released = run_statements(coordinator, "UNLOCK TABLES;");
    OMBRIX_RETURN_IF_ERROR(opened);
    OMBRIX_RETURN_IF_ERROR(released);
    return snapshot;
}

Core::Result<std::vector<std::string>> lock_loose_tables(Contracts::Database::IConnection& connection,
                                                         const std::vector<std::pair<std::string, std::string>>& tables) {
    std::string list;
    auto loose = loose_tables(connection, tables, &list);
    OMBRIX_RETURN_IF_ERROR(loose);
    if (!list.empty()) OMBRIX_RETURN_IF_ERROR(run_statements(connection, "LOCK TABLES " + list + ";"));
    return loose;
}

Core::Result<std::vector<std::string>> key_ranges(Contracts::Database::IConnection& connection, const std::string& schema,
                                                  const std::string& table, const std::string& key,
                                                  std::int64_t estimate, std::int64_t range_rows, int readers) {
    if (readers < 2 || key.empty() || range_rows <= 0 || estimate < 2 * range_rows) return std::vector<std::string>{""};
    const std::string column = mariadb_quote_identifier(key);
    auto bounds = connection.execute_as_model("SELECT MIN(" + column + "), MAX(" + column + ") FROM " +
                                              mariadb_quote_identifier(schema) + "." + mariadb_quote_identifier(table));
    OMBRIX_RETURN_IF_ERROR(bounds);
    if ((*bounds)->get_n_items() != 1) return std::vector<std::string>{""};
    const auto number = [](const std::string& text, long long& value) {
        char* end = nullptr;
        errno = 0;
        value = std::strtoll(text.c_str(), &end, 10);
        return !text.empty() && errno == 0 && end && *end == '\0';
    };
    long long low = 0, high = 0;
    if (!number((*bounds)->get_value_at(0, 0)->to_string(), low) ||
        !number((*bounds)->get_value_at(1, 0)->to_string(), high) || high <= low)
        return std::vector<std::string>{""};
    const long long pieces = std::min<long long>(estimate / range_rows, 64);
    const long double step = (static_cast<long double>(high) - static_cast<long double>(low) + 1) / pieces;
    std::vector<long long> cuts;
    for (long long i = 1; i < pieces; ++i) {
        const auto cut = static_cast<long long>(static_cast<long double>(low) + step * i);
        if (cut > low && cut <= high && (cuts.empty() || cut > cuts.back())) cuts.push_back(cut);
    }
    std::vector<std::string> ranges;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        std::string range;
        if (i > 0) range = column + " >= " + std::to_string(cuts[i - 1]);
        if (i < cuts.size()) range += (range.empty() ? "" : " AND ") + column + " < " + std::to_string(cuts[i]);
        ranges.push_back(range);
    }
    return ranges;
}

Core::Result<std::map<std::pair<std::string, std::string>, std::int64_t>> table_estimates(
    Contracts::Database::IConnection& connection, const std::vector<std::string>& schemas) {
    std::map<std::pair<std::string, std::string>, std::int64_t> estimates;
    std::string list;
    for (const auto& name : schemas) list += (list.empty() ? "" : ", ") + mariadb_quote_literal(name);
    if (list.empty()) return estimates;
    auto found = connection.execute_as_model(
        "SELECT TABLE_SCHEMA, TABLE_NAME, IFNULL(TABLE_ROWS, 0) FROM information_schema.TABLES WHERE TABLE_SCHEMA IN (" +
        list + ")");
    OMBRIX_RETURN_IF_ERROR(found);
    for (std::size_t r = 0; r < (*found)->get_n_items(); ++r)
        estimates[{(*found)->get_value_at(0, r)->to_string(), (*found)->get_value_at(1, r)->to_string()}] =
            std::strtoll((*found)->get_value_at(2, r)->to_string().c_str(), nullptr, 10);
    return estimates;
}

}  // namespace Ombrix::Solvane::Supports::Database
