/// @file Copying the structure and the rows of schemas, tables and views between two connections.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Transform/thread_progress.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Supports/Database/cluster.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

/// Copies what an option map selects from the source connection to the target connection: the
/// structure (native types, tables in reference order, routines, views; triggers and events after
/// the rows) and the rows. Keys: "OPTION|SOURCE|DATABASE" (the schema to read), "OPTION|RESULT|
/// CONTINUE" and "OPTION|RESULT|DROP_OBJECT"; per schema "schema|S|MODE" / "schema|S|NAME"; per
/// table or view "table|T|MODE", "NAME", "FIELDS" ("view|V|FIELDS" for views), "VIEW2TABLE",
/// "BATCH" and "RECORDS". Besides those:
/// - "OPTION|RESULT|BULK" = "true": rows go in one ordered unbuffered read per table, written as
///   local data loads fed from memory, one transaction per batch, reading one batch ahead of the
///   writing; absent, page by page with one INSERT per row.
/// - "OPTION|RESULT|VERIFY" = "true": after the copy, row counts and checksums of both sides
///   compared per table (see `get_reports`).
/// - "OPTION|RESULT|STRUCTURE" / "OPTION|RESULT|DATA" = "false": leave that phase out (triggers and
///   events come with the structure, after the rows when there are rows).
/// - "OPTION|RESULT|ON_DUPLICATE" = "skip" | "replace": rows go into target tables that already hold
///   rows, a row whose key is there skipped or replacing it; without it such tables fail the run
///   (error domain FILLED_TARGET) before any row is written.
/// Every table's rows are read in one transaction of the source session, a consistent snapshot.
/// FIELDS is "src=dst; src2; ..." (blanks around names ignored); RECORDS is a list of conditions
/// split on ';' (blank items ignored), one record set each. A source schema that does not exist
/// fails the run. A table's AUTO_INCREMENT counter follows its rows; a versioned table's history
/// rows go along where the target takes them (else a warning says they did not). A routine whose
/// body the source account cannot read is never created empty: the run fails before writing
/// anything, or, with CONTINUE, leaves it out as a failed step; either way a warning names it.
/// `handle` runs on a worker thread; the host polls the progress record.
class OMBRIX_SOLVANE_EXPORT Transfer final : public Core::Object, public ITransform {

public:
    using Options = std::map<std::string, std::string, std::less<>>;
    /// The error domain of a run refused because target tables already hold rows.
    static constexpr std::string_view FILLED_TARGET = "ombrix-transfer-filled-target";

    /// What happened to one table.
    struct TableReport {
        std::string source;  // schema.table
        std::string target;
        std::int64_t rows = 0;
        double seconds = 0;
        std::string error;   // empty when the copy succeeded
        /// Set when verified: the counts and checksums of both sides, and whether they agree.
        std::optional<bool> verified;
        std::string verification;
        /// With node connectors: on each node of the target's cluster, whether it holds what the
        /// source holds ("equal", "DIFFERENT (…)" or "unreachable: …").
        std::vector<std::pair<std::string, std::string>> nodes;
        bool nodes_agree = true;
    };
    /// Called on the running thread after each batch (or page) with the table and its rows so far.
    using TableProgress = std::function<void(const std::string& table, std::int64_t rows)>;

    static std::shared_ptr<Transfer> create(Options options);

    OMBRIX_OBJECT(Transfer, Core::Object);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_source);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_target);
    OMBRIX_TRANSFORM_PROGRESS_PROPERTY();

    /// Nothing to prepare.
    [[nodiscard]] Core::Status initialize() override { return {}; }
    /// The whole run: load, trim, structure, rows, verification. The progress record's counters
    /// start at 0 and its finished flag is set at the end, success or not.
    [[nodiscard]] Core::Status handle() override;

    /// The source schema named by "OPTION|SOURCE|DATABASE", read in full (procedures too).
    [[nodiscard]] Core::Result<std::shared_ptr<MetaModel::MetaDatabase>> load_meta_data(bool continue_on_error);
    /// The left (`source_side`) or right sides of "a=x;b=y", joined by ", ".
    static std::string collect_columns_customize(std::string_view fields, bool source_side);

    std::shared_ptr<Contracts::Database::IConnection> get_server_source() const override { return m_source; }
    void set_server_source(std::shared_ptr<Contracts::Database::IConnection> connection) override;
    std::shared_ptr<Contracts::Database::IConnection> get_server_target() const override { return m_target; }
    void set_server_target(std::shared_ptr<Contracts::Database::IConnection> connection) override;
    std::shared_ptr<Contracts::ThreadProgress> get_progress() const override { return m_progress; }
    void set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) override;

    void set_table_progress(TableProgress callback) { m_table_progress = std::move(callback); }

    /// Opens another session like the source's or the target's, for the lanes of a parallel copy.
    using Connector = std::function<Core::Result<std::shared_ptr<Contracts::Database::IConnection>>()>;
    /// With connectors, option PARALLEL (N) copies through N reader and writer pairs, all reading
    /// one moment of the source (tables, and key ranges of big tables of a single integer key, of
    /// about option RANGE_ROWS rows, spread over them); without, through the transfer's own pair.
    void set_connectors(Connector source, Connector target) {
        m_connect_source = std::move(source);
        m_connect_target = std::move(target);
    }
    /// With these, VERIFY also compares each node of the target's cluster with the source, each
    /// read once every write set the node received is applied (wsrep_sync_wait); a node whose
    /// connector fails is named unreachable and fails the verification. Keyed by the node's name.
    void set_node_connectors(std::vector<std::pair<std::string, Connector>> nodes) { m_connect_nodes = std::move(nodes); }
    /// What the run wants the user to know besides warnings (a resume that found no journal).
    std::vector<std::string> get_notes() const { return m_notes; }
    /// The tables copied so far, in order (safe from any thread).
    std::vector<TableReport> get_reports() const;
    /// What the user should hear of that is no failure of the run, or not only one: a routine
    /// whose body the source account may not read, a table whose history stayed behind.
    std::vector<std::string> get_warnings() const;

private:
    explicit Transfer(Options options);
public:
    ~Transfer() override;

private:
    /// Tells the table progress callback, one lane at a time.
    void tell_progress(const std::string& table, std::int64_t rows);

    struct Copy;
    std::string option(std::string_view key, std::string_view fallback = {}) const;
    std::int64_t elapsed() const;
    void step(bool success, const std::string& text);
    void log(const std::string& text);
    void warn(const std::string& text);
    Core::Status run(bool continue_on_error);
    Core::Status leave_out_hidden_routines(MetaModel::MetaDatabase& database, bool continue_on_error);
    void trim(MetaModel::MetaDatabase& database);
    Core::Status run_script(const std::string& script, const char* what, bool continue_on_error);
    Core::Status copy_structure(MetaModel::MetaDatabase& database, bool continue_on_error);
    Core::Status copy_rows(const MetaModel::MetaDatabase& source, bool continue_on_error);
    /// Opens the journal option JOURNAL names (none without it): resumed with option RESUME.
    Core::Status open_journal();
    /// A table's copy with its columns, key, filters and lane (the transfer's own sessions).
    Copy table_copy(const MetaModel::MetaDatabase& source, const MetaModel::MetaSchema& schema,
                    const MetaModel::MetaTable& table) const;
    /// Fails, naming them, when target tables hold rows and option ON_DUPLICATE does not say what
    /// becomes of them ("skip": rows whose key is there are left out; "replace": they replace the
    /// rows there); the copy then writes nothing.
    Core::Status refuse_filled_targets(const MetaModel::MetaDatabase& source);
    /// "IGNORE", "REPLACE" or "" as option ON_DUPLICATE says.
    std::string duplicates_keyword() const;
    /// A table's copy named: source and target schema and table, and its report's names.
    Copy copy_of(const MetaModel::MetaDatabase& database, const MetaModel::MetaSchema& schema,
                 const MetaModel::MetaTable& table) const;
    /// Whether the copy's target table keeps its rows' history.
    Core::Result<bool> target_versioned(const Copy& copy);
    /// Empties the copy's target table (or, given `ranges`, those key ranges of it) unless option
    /// ON_DUPLICATE keeps its rows.
    Core::Status empty_target(const Copy& copy, const std::vector<std::string>& ranges);
    /// Loads the copy's rows (its key range of them) through its lane.
    Core::Status copy_table(Copy& copy);
    Core::Status copy_table_pages(Copy& copy);
    Core::Status copy_table_bulk(Copy& copy);
    static std::string rows_select(const Copy& copy, std::string_view record_set);
    /// A small table's rows as multi-row INSERTs (in one transaction when they take more than one).
    Core::Status copy_table_inserts(Copy& copy);
    void carry_counter(const Copy& copy);
    void verify(Copy& copy, TableReport& report);
    Core::Status transfer_data_model(const Providers::Contracts::TableModel& model, Copy& copy);

    Options m_options;
    std::shared_ptr<Contracts::Database::IConnection> m_source;
    std::shared_ptr<Contracts::Database::IConnection> m_target;
    std::shared_ptr<Contracts::ThreadProgress> m_progress;
    TableProgress m_table_progress;
    std::int64_t m_start = 0;  // monotonic microseconds at the start of the run
    mutable std::mutex m_reports_mutex;
    std::vector<TableReport> m_reports;
    std::vector<std::string> m_warnings;
    std::vector<std::string> m_notes;
    std::mutex m_table_progress_mutex;
    /// Every target table was found without rows before the copy began.
    bool m_targets_empty = false;
    /// The target tables that keep history (schema, table), while the rows are copied.
    std::optional<std::set<std::pair<std::string, std::string>>> m_versioned_targets;
    Connector m_connect_source;
    Connector m_connect_target;
    std::vector<std::pair<std::string, Connector>> m_connect_nodes;
    /// The nodes' sessions, opened at the first verification (null: unreachable, with its error).
    std::vector<std::pair<std::shared_ptr<Contracts::Database::IConnection>, std::string>> m_nodes;
    /// What one transaction of the target may hold: in a cluster, its write-set limits.
    Supports::Database::WriteLimits m_limits;
    struct Journal;
    std::unique_ptr<Journal> m_journal;
};

}  // namespace Ombrix::Solvane::Transform
