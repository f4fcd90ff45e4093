/// @file Comparing a table's rows on two connections by chunks of keys: each side's server sums its
/// row hashes over the same key range, and only ranges whose sums differ have their rows fetched.
/// Memory holds one chunk; what travels grows with the differences, not with the table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

/// The rows one chunk of a comparison found different, each table with the compared columns.
struct OMBRIX_SOLVANE_EXPORT RowChanges {
    std::shared_ptr<Providers::Contracts::TableModel> inserted;        // the source's rows the target lacks
    std::shared_ptr<Providers::Contracts::TableModel> updated;         // the source's rows the target holds otherwise
    std::shared_ptr<Providers::Contracts::TableModel> updated_target;  // those target rows, in the same order
    std::shared_ptr<Providers::Contracts::TableModel> deleted;         // the target's rows the source lacks
    bool empty() const;
};

/// The statements that turn a chunk's target rows into the source's: one DELETE for the rows that
/// go, one UPDATE per changed row (its changed columns only), INSERTs of many rows.
struct OMBRIX_SOLVANE_EXPORT RowStatements {
    std::vector<std::string> deletes;
    std::vector<std::string> updates;
    std::vector<std::size_t> update_rows;  // the row of `updated` each UPDATE writes, in order
    std::vector<std::string> inserts;
    std::vector<std::size_t> insert_rows;  // how many rows each INSERT writes, in order
};

/// One table on each side, compared over the target's stored columns (generated ones take no part;
/// the source must have each), rows matched by the target's primary key or else a unique key of
/// NOT NULL columns. Key columns must have the same type and collation on both sides: two keys
/// equal under the collation are the same row.
class OMBRIX_SOLVANE_EXPORT TableRowComparison {
public:
    struct Side {
        std::shared_ptr<Contracts::Database::IConnection> connection;
        std::string schema;
        std::string table;
    };

    /// Reads both tables' columns and keys from the catalogue (for these tables alone) and checks
    /// that they can be compared. A table that is missing, a column the source lacks and key
    /// columns whose types differ are errors; a target without a usable key is not (see `has_key`).
    [[nodiscard]] static Core::Result<std::unique_ptr<TableRowComparison>> prepare(Side source, Side target);

    ~TableRowComparison();

    bool has_key() const { return !m_key.empty(); }
    /// "`schema`.`table`" of each side.
    std::string source_name() const;
    std::string target_name() const;
    /// The target table's triggers: writing its rows fires them.
    const std::vector<std::string>& target_triggers() const { return m_triggers; }

    /// Walks both tables in key order, `chunk_rows` source rows at a time, and hands each chunk's
    /// differences to `on_changes` (which may write them to the target: the next chunk is read
    /// after it returns), in batches whose rows hold about 16 MB at most, whatever their width.
    /// The source is read in one consistent snapshot when it has a session of its own (its
    /// caller's, see set_source_snapshot_held); both sessions read times in UTC. Refused for a
    /// table without a key.
    [[nodiscard]] Core::Status compare(const std::function<Core::Status(RowChanges&)>& on_changes,
                                       std::size_t chunk_rows = 1000);

    /// Whether the source connection already reads in a snapshot its caller opened and ends, so
    /// that several tables are compared at one moment; otherwise compare() opens one for itself.
    void set_source_snapshot_held(bool held) { m_snapshot_held = held; }
    /// Called by compare() after each chunk with the source's rows compared so far.
    void set_progress(std::function<void(std::int64_t)> on_progress) { m_on_progress = std::move(on_progress); }

    /// The statements for `changes`, aimed at the target table.
    RowStatements statements(const RowChanges& changes) const;

    /// A table without a key: the rows only in the source and only in the target, counted as
    /// multisets of whole rows (bounded memory: rows are grouped by their hash's top bits first).
    [[nodiscard]] Core::Result<std::pair<std::int64_t, std::int64_t>> count_unmatched();

    /// Each column of `changes.updated` that differs from the target's row: by position.
    std::vector<bool> changed_columns(const RowChanges& changes, std::size_t row) const;

    /// A compared column: how it is read, written and hashed.
    struct Column {
        std::string name;
        std::string quoted;
        Providers::Contracts::DataType type = Providers::Contracts::DataType::UNKNOWN;  // the target's
        std::string column_type;                                                        // the target's
        std::string collation;                                                          // the target's
        std::string charset;                                                            // the target's
        bool widen = false;     // FLOAT on either side: read and hashed as DOUBLE
        std::string convert_to;  // text of other character sets on the two sides
        std::string hash_form;   // the catalogue's DATA_TYPE when both sides declare it alike
        bool on_update = false;  // the target sets it when its row is updated (ON UPDATE …)
        std::string source_cast;  // the source's value read as the target's type (another scale or fraction)
    };

private:
    TableRowComparison() = default;

    /// Lists the keys in `range` (a chunk of about `chunk` rows) on both sides and hands the rows
    /// that differ to `on_changes` in batches of about kBatchBytes; `found` tells whether any did,
    /// `source_rows` how many rows the source holds there.
    [[nodiscard]] Core::Status chunk_changes(const std::string& range, std::size_t chunk,
                                             const std::function<Core::Status(RowChanges&)>& on_changes, bool& found,
                                             std::int64_t& source_rows);
    std::string literal(const Providers::Contracts::TableModel& rows, std::size_t row, std::size_t column) const;
    std::string key_condition(const std::vector<std::string>& literals, const char* op) const;
    std::string key_match(const std::vector<std::string>& literals) const;
    /// The literals of the key of `rows`' row `row`, whose key columns start at `first`.
    std::vector<std::string> key_literals(const Providers::Contracts::TableModel& rows, std::size_t row, std::size_t first) const;
    /// Makes the SQL pieces every chunk uses, once the columns and the key are known.
    void make_sql();

    Side m_source;
    Side m_target;
    std::vector<Column> m_columns;
    std::vector<std::size_t> m_key;            // positions of the key columns in m_columns
    std::vector<std::string> m_triggers;
    bool m_crc32c = true;
    bool m_snapshot_held = false;
    std::function<void(std::int64_t)> m_on_progress;
    std::string m_key_list;  // the key columns, in order (the order of every walk)
    std::string m_key_norm;  // what makes two keys one row
    std::string m_hash;      // the row hash, on the target
    std::string m_select;    // the compared columns, read exactly, on the target
    std::string m_source_hash;    // the same on the source, its values as the target stores them
    std::string m_source_select;
    std::string m_row_bytes;  // about how many bytes a row's cells hold
    static constexpr std::size_t kBatchBytes = 16U << 20;  // the rows' bytes fetched and handed on at once
};

}  // namespace Ombrix::Solvane::Transform
