/// @file Synchronizers: bring a target schema's structure, or a target table's rows, in line with a source.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/model_dataset.hpp"
#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Data/exporter.hpp"
#include "solvane/Contracts/Transform/thread_progress.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Transform/patcher.hpp"
#include "solvane/Transform/row_chunks.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

using OptionMap = Contracts::Data::OptionMap;

/// Option keys both synchronizers read (each absent key reads as "").
inline constexpr std::string_view kOptionSourceDatabase = "OPTION|SOURCE|DATABASE";
inline constexpr std::string_view kOptionSourceSchema = "OPTION|SOURCE|SCHEMA";
inline constexpr std::string_view kOptionTargetDatabase = "OPTION|TARGET|DATABASE";
inline constexpr std::string_view kOptionTargetSchema = "OPTION|TARGET|SCHEMA";
/// "true": a failing script is counted and the run goes on; anything else stops the run there.
inline constexpr std::string_view kOptionContinue = "OPTION|RESULT|CONTINUE";
/// The table whose rows the userdata synchronizer compares, on each side (the target's defaults
/// to the source's).
inline constexpr std::string_view kOptionSourceTable = "OPTION|SOURCE|TABLE";
inline constexpr std::string_view kOptionTargetTable = "OPTION|TARGET|TABLE";
/// "true": the userdata synchronizer locks the target table while it writes.
inline constexpr std::string_view kOptionTargetLock = "OPTION|TARGET|LOCK";
/// "false": the userdata synchronizer writes with the target's foreign keys unchecked (a whole
/// schema, whose tables are synced one after the other: a child's rows may come before their
/// parents', and a parent's deletion must not cascade).
inline constexpr std::string_view kOptionTargetForeignKeys = "OPTION|TARGET|FOREIGN_KEY_CHECKS";
/// "held": the source connection already reads in a consistent snapshot its caller opened and
/// ends (several tables read at one moment); otherwise the userdata synchronizer opens its own.
inline constexpr std::string_view kOptionSourceSnapshot = "OPTION|SOURCE|SNAPSHOT";

/// The key whose presence selects an object for the structure script: "OPTION|<nick>|<name>", the
/// nick being "table", "view", "function" (procedures too) or "event".
OMBRIX_SOLVANE_EXPORT std::string selection_key(std::string_view nick, std::string_view name);

/// What a synchronizer shows before it runs.
class OMBRIX_SOLVANE_EXPORT ISynchronize {
public:
    virtual ~ISynchronize() = default;
    /// The patched model of the comparison (a MetaSchema or a DataSetModel); null when the two
    /// sides are identical. Load errors are passed up.
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Core::Object>> preview() = 0;
    /// The SQL scripts that, run on the target in order, bring it in line with the source; empty
    /// when the two sides are identical. Load errors are passed up.
    [[nodiscard]] virtual Core::Result<std::vector<std::string>> generate() = 0;
};

/// What both synchronizers share: the connections, the progress record with the recursive mutex
/// that guards it, the option map, the start time of the run and the patcher.
///
/// The host sets both connections (and, for `handle`, the progress record), calls `initialize`,
/// may call `preview` and `generate` any number of times, then runs `handle` once, possibly on a
/// worker thread while it polls the progress record. Nothing else may use the synchronizer while
/// `handle` runs.
class OMBRIX_SOLVANE_EXPORT SynchronizerBase : public Core::Object, public ITransform, public ISynchronize {
public:
    using ConnectionPtr = std::shared_ptr<Contracts::Database::IConnection>;

    ConnectionPtr get_server_source() const override;
    void set_server_source(ConnectionPtr connection) override;
    ConnectionPtr get_server_target() const override;
    void set_server_target(ConnectionPtr connection) override;
    std::shared_ptr<Contracts::ThreadProgress> get_progress() const override;
    void set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) override;
    /// Runs the scripts of `generate` on the target, cut into units by `units_of`, one progress
    /// step per unit. A load error is logged as an uncaught error and nothing else happens; so
    /// does nothing when there is nothing to change (the finished flag stays unset).
    [[nodiscard]] Core::Status handle() override;

    const OptionMap& get_options() const { return m_options; }

protected:
    explicit SynchronizerBase(OptionMap options);

    /// The option's value, or `fallback` when it is not set.
    std::string option(std::string_view key, std::string_view fallback = {}) const;
    bool has_option(std::string_view key) const { return m_options.find(key) != m_options.end(); }

    /// Cuts the scripts of `generate` into the units `handle` runs, each one progress step.
    virtual std::vector<std::vector<std::string>> units_of(const std::vector<std::string>& scripts) const = 0;
    /// Records the start of a run: the elapsed times of the progress record count from here.
    void begin_run();
    /// Runs each unit (the statements of one script, or one statement) on the target; a unit is
    /// one progress step, and its first failing statement fails it. Without CONTINUE a failed
    /// unit ends the run. Sets the finished flag afterwards.
    void run_units(const std::vector<std::vector<std::string>>& units, bool go_on);

    /// Both connections, or the critical and an error.
    [[nodiscard]] Core::Status check_connections() const;

    std::shared_ptr<Patcher> m_patcher;

    void step(bool success, std::string_view text);
    void finish();

private:
    /// Microseconds since `handle` started.
    std::int64_t elapsed() const;

    mutable std::recursive_mutex m_mutex;  // guards the connections and the progress record
    ConnectionPtr m_server_source;
    ConnectionPtr m_server_target;
    std::shared_ptr<Contracts::ThreadProgress> m_progress;
    OptionMap m_options;
    std::chrono::steady_clock::time_point m_start{};
};

/// Brings the structure of one target schema in line with a source schema: the tables, views,
/// routines and events whose selection keys are in the option map are created, altered, replaced
/// or dropped in the target so that they match the source. Every script is aimed at the target
/// schema by name (its objects qualified with it), whatever the connection's current database.
class OMBRIX_SOLVANE_EXPORT StructureSynchronizer final : public SynchronizerBase {
public:
    static std::shared_ptr<StructureSynchronizer> create(OptionMap options);

    OMBRIX_OBJECT(StructureSynchronizer, Core::Object);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_source);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_target);
    OMBRIX_TRANSFORM_PROGRESS_PROPERTY();

    /// Makes both schema models from the four name options and fills them, each from its own
    /// connection, with everything they hold (procedures read like functions).
    [[nodiscard]] Core::Status initialize() override;
    /// Compares the loaded models (names neutralised) and reloads them clean; the patched schema,
    /// or null when identical.
    [[nodiscard]] Core::Result<std::shared_ptr<Core::Object>> preview() override;
    /// Reloads both schemas, compares them and writes one script per selected object that differs:
    /// tables (referenced ones first), then routines, views (each after the views it reads) and
    /// events. A new object gets its create script, a changed table its ALTER script, a changed
    /// view, routine or event a drop, a line end and its create script, an object only in the
    /// target its drop. A routine whose body the source account may not read gets no script: see
    /// `get_left_out`.
    [[nodiscard]] Core::Result<std::vector<std::string>> generate() override;
    /// The routines ("procedure `s`.`p`") the last `generate` left out because their bodies are
    /// hidden from the source account: creating or replacing them would write empty bodies.
    const std::vector<std::string>& get_left_out() const { return m_left_out; }

    OMBRIX_PROPERTY_READONLY(std::shared_ptr<MetaModel::MetaSchema>, schema_source, nullptr);
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<MetaModel::MetaSchema>, schema_target, nullptr);
    const std::shared_ptr<MetaModel::MetaSchema>& get_schema_source() const { return m_schema_source; }
    const std::shared_ptr<MetaModel::MetaSchema>& get_schema_target() const { return m_schema_target; }

private:
    explicit StructureSynchronizer(OptionMap options) : SynchronizerBase(std::move(options)) {}

    /// One unit per script: its statements, preceded by a change of the connection's current
    /// database to the target schema (where it stays afterwards).
    std::vector<std::vector<std::string>> units_of(const std::vector<std::string>& scripts) const override;

    [[nodiscard]] Core::Status load();

    std::shared_ptr<MetaModel::MetaSchema> m_schema_source;
    std::shared_ptr<MetaModel::MetaSchema> m_schema_target;
    std::vector<std::string> m_left_out;
};

/// Brings the rows of one target table in line with a source table, matched by the target's
/// primary key (or a unique key of NOT NULL columns; two keys equal under their collation are one
/// row): rows only in the target are deleted, rows that differ are updated in the columns that
/// differ, rows only in the source are inserted. The rows are compared over the target table's
/// stored columns, which the source table must have too, by chunks of keys whose row-hash sums the
/// servers compute (see TableRowComparison): memory holds one chunk whatever the table's size.
/// The source is read in one snapshot; the target is taken to be quiet (option
/// OPTION|TARGET|LOCK "true" locks it while the changes are written). The table is named by the
/// options OPTION|SOURCE|TABLE and OPTION|TARGET|TABLE; without them nothing is compared. The data
/// sets stay empty: rows are never loaded whole.
class OMBRIX_SOLVANE_EXPORT UserdataSynchronizer final : public SynchronizerBase {
public:
    static std::shared_ptr<UserdataSynchronizer> create(OptionMap options);

    OMBRIX_OBJECT(UserdataSynchronizer, Core::Object);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_source);
    OMBRIX_TRANSFORM_CONNECTION_PROPERTY(server_target);
    OMBRIX_TRANSFORM_PROGRESS_PROPERTY();

    /// Rows a run changed (or, without applying, would change).
    struct Counts {
        std::int64_t inserted = 0;
        std::int64_t updated = 0;
        std::int64_t deleted = 0;
    };

    /// Makes both (empty) data sets and reads both tables' columns and keys. A missing table, a
    /// column the source lacks and key columns whose type or collation differ are errors; a target
    /// without a usable key is not (`has_key` says so, and comparing it fails).
    [[nodiscard]] Core::Status initialize() override;
    /// The patched data set: one table whose rows are marked DELETE (the target's values), UPDATE
    /// (the source's values, each value's "VERSION" slot telling whether it changed) and INSERT
    /// (the source's values); null when the rows match.
    [[nodiscard]] Core::Result<std::shared_ptr<Core::Object>> preview() override;
    /// One script for the table when its rows differ: its DELETE, then UPDATE, then INSERT
    /// statements, one per line, each ending with ";".
    [[nodiscard]] Core::Result<std::vector<std::string>> generate() override;
    /// Compares chunk by chunk and writes each chunk's changes to the target as it goes, one
    /// progress step per statement. A statement that a unique key of the target refuses for now
    /// (a value that a later chunk's row gives up) is tried again at the end.
    [[nodiscard]] Core::Status handle() override;

    /// The streaming form of `generate` and `handle`: each chunk's statements go to `on_statement`
    /// as they are made and, with `apply`, are run on the target (in one transaction per chunk).
    /// Stops at the first failing statement unless CONTINUE is "true"; the failures are counted in
    /// `get_failures`, the error of the first returned.
    [[nodiscard]] Core::Status synchronize(bool apply, const std::function<void(const std::string&)>& on_statement);

    bool has_key() const { return m_comparison && m_comparison->has_key(); }
    /// A table without a key: rows only in the source and only in the target.
    [[nodiscard]] Core::Result<std::pair<std::int64_t, std::int64_t>> count_unmatched();
    const Counts& get_counts() const { return m_counts; }
    std::int64_t get_failures() const { return m_failures; }
    /// The target table's triggers, once initialized: they fire for each row written.
    std::vector<std::string> target_triggers() const {
        return m_comparison ? m_comparison->target_triggers() : std::vector<std::string>{};
    }
    /// "`schema`.`table`" of the target, once initialized.
    std::string target_name() const { return m_comparison ? m_comparison->target_name() : std::string(); }
    /// Called while the rows are compared, once initialized, with the source's rows compared so far.
    void set_compare_progress(std::function<void(std::int64_t)> on_progress) {
        if (m_comparison) m_comparison->set_progress(std::move(on_progress));
    }

    OMBRIX_PROPERTY_READONLY(std::shared_ptr<Providers::Contracts::DataSetModel>, dataset_source, nullptr);
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<Providers::Contracts::DataSetModel>, dataset_target, nullptr);
    const std::shared_ptr<Providers::Contracts::DataSetModel>& get_dataset_source() const { return m_dataset_source; }
    const std::shared_ptr<Providers::Contracts::DataSetModel>& get_dataset_target() const { return m_dataset_target; }

private:
    explicit UserdataSynchronizer(OptionMap options) : SynchronizerBase(std::move(options)) {}

    /// One unit per statement: a failing row need not hold back the others.
    std::vector<std::vector<std::string>> units_of(const std::vector<std::string>& scripts) const override;

    std::shared_ptr<Providers::Contracts::DataSetModel> m_dataset_source;
    std::shared_ptr<Providers::Contracts::DataSetModel> m_dataset_target;
    std::unique_ptr<TableRowComparison> m_comparison;
    Counts m_counts;
    std::int64_t m_failures = 0;
    bool m_reporting = false;  // handle(): each statement is a progress step
};

}  // namespace Ombrix::Solvane::Transform
