/// @file One moment of a server for a copy: the reading session's consistent snapshot.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// What a snapshot covers.
struct Snapshot {
    /// The tables asked for whose engine has no transactions (MyISAM, Aria, ...), as
    /// "`schema`.`table` (ENGINE)": read as they stand when their turn comes, not at the moment.
    std::vector<std::string> loose_tables;
    /// The server's @@gtid_binlog_pos when the snapshot was taken ("" when it has none).
    std::string gtid_position;
};

/// A table's engine, and whether that engine has transactions (undoes a failed statement).
struct TableEngine {
    std::string schema;
    std::string table;
    std::string engine;
    bool transactional = false;
};

/// The engines of those of `tables` (schema and table names) the server's catalogue lists, in
/// schema and table order.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<std::vector<TableEngine>> table_engines(
    Contracts::Database::IConnection& connection, const std::vector<std::pair<std::string, std::string>>& tables);

/// Starts on `connection` the transaction every row of a copy is read in: REPEATABLE READ (for that
/// transaction only), START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY. `tables` (schema and
/// table names) are looked up for engines without transactions. End it with COMMIT.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<Snapshot> open_snapshot(
    Contracts::Database::IConnection& connection, const std::vector<std::pair<std::string, std::string>>& tables);

/// Opens one snapshot that every connection of `readers` reads in: `coordinator` (one of them, or
/// another) holds FLUSH TABLES WITH READ LOCK while each reader opens its transaction as
/// open_snapshot does, reads @@gtid_binlog_pos under the lock, then lets go, so that no commit falls
/// between two readers' moments. A coordinator without the RELOAD privilege gets the server's error
/// (1227) and no reader has begun. End each reader's transaction with COMMIT.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<Snapshot> open_shared_snapshot(
    Contracts::Database::IConnection& coordinator, const std::vector<Contracts::Database::IConnection*>& readers,
    const std::vector<std::pair<std::string, std::string>>& tables);

/// Holds a read lock (LOCK TABLES … READ) on `connection` over those of `tables` whose engine has no
/// transactions, so that nobody changes them until the connection says UNLOCK TABLES or closes; the
/// names locked, as open_snapshot names loose tables. Take it before the snapshot opens: the locked
/// tables then stand as they were at the snapshot's moment for as long as the lock is held.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<std::vector<std::string>> lock_loose_tables(
    Contracts::Database::IConnection& connection, const std::vector<std::pair<std::string, std::string>>& tables);

/// A table's key ranges for readers working at once: conditions on its integer key column `key`
/// that together cover every value, each about `range_rows` rows of the `estimate`; one empty
/// condition (the whole table) when it is small, there is one reader, or `key` is empty or not an
/// integer column.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<std::vector<std::string>> key_ranges(
    Contracts::Database::IConnection& connection, const std::string& schema, const std::string& table,
    const std::string& key, std::int64_t estimate, std::int64_t range_rows, int readers);

/// The row estimates the catalogue keeps (information_schema.TABLES.TABLE_ROWS) of the tables of
/// `schemas`, by schema and table name.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<std::map<std::pair<std::string, std::string>, std::int64_t>>
table_estimates(Contracts::Database::IConnection& connection, const std::vector<std::string>& schemas);

}  // namespace Ombrix::Solvane::Supports::Database
