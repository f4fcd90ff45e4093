#include "solvane/Supports/Database/snapshot.hpp"

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

}  // namespace Ombrix::Solvane::Supports::Database
