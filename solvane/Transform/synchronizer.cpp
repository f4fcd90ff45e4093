#include "solvane/Transform/synchronizer.hpp"

#include "solvane/Supports/Database/cluster.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <unordered_map>

#include "providers/Contracts/model_column.hpp"
#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_binary.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Supports/Data/load_format.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"

namespace Ombrix::Solvane::Transform {

namespace {

namespace MM = MetaModel;
namespace DB = Supports::Database;
using Providers::Contracts::DataSetModel;
using Providers::Contracts::DataVersion;
using Providers::Contracts::DBObject;
using Providers::Contracts::RowModel;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;

Core::Error failure(std::string message) { return Core::Error{"default", -1, std::move(message)}; }

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

/// A script as the statements to run one after the other; never cut inside quotes, comments or
/// a stored program's body.
std::vector<std::string> statements_of(std::string_view script) {
    std::vector<std::string> texts;
    for (auto& statement : DB::split_script(script)) texts.push_back(std::move(statement.text));
    return texts;
}

// ---------------------------------------------------------------- structure

/// The views in an order that creates each after the views its definition reads (a cycle, which
/// the server would refuse anyway, keeps the listed order).
std::vector<std::shared_ptr<MM::MetaView>> in_dependence_order(const MM::MetaViewList& views) {
    std::unordered_map<std::string, std::shared_ptr<MM::MetaView>> by_name;
    for (const auto& view : views)
        if (view) by_name.emplace(view->get_name(), view);
    std::set<std::string> placed;
    std::set<std::string> visiting;
    std::vector<std::shared_ptr<MM::MetaView>> ordered;
    std::function<void(const std::shared_ptr<MM::MetaView>&)> place = [&](const std::shared_ptr<MM::MetaView>& view) {
        const std::string& name = view->get_name();
        if (placed.contains(name) || !visiting.insert(name).second) return;
        for (const auto& used : DB::sql_identifiers(view->get_definition())) {
            if (used == name) continue;
            if (const auto it = by_name.find(used); it != by_name.end()) place(it->second);
        }
        visiting.erase(name);
        placed.insert(name);
        ordered.push_back(view);
    };
    for (const auto& view : views)
        if (view) place(view);
    return ordered;
}


}  // namespace

std::string selection_key(std::string_view nick, std::string_view name) {
    return "OPTION|" + std::string(nick) + "|" + std::string(name);
}

// ---------------------------------------------------------------- SynchronizerBase

SynchronizerBase::SynchronizerBase(OptionMap options)
    : m_patcher(Patcher::create()), m_options(std::move(options)) {}

SynchronizerBase::ConnectionPtr SynchronizerBase::get_server_source() const {
    std::lock_guard lock(m_mutex);
    return m_server_source;
}

void SynchronizerBase::set_server_source(ConnectionPtr connection) {
    {
        std::lock_guard lock(m_mutex);
        if (m_server_source == connection) return;
        m_server_source = std::move(connection);
    }
    notify("server-source");
}

SynchronizerBase::ConnectionPtr SynchronizerBase::get_server_target() const {
    std::lock_guard lock(m_mutex);
    return m_server_target;
}

void SynchronizerBase::set_server_target(ConnectionPtr connection) {
    {
        std::lock_guard lock(m_mutex);
        if (m_server_target == connection) return;
        m_server_target = std::move(connection);
    }
    notify("server-target");
}

std::shared_ptr<Contracts::ThreadProgress> SynchronizerBase::get_progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

void SynchronizerBase::set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) {
    {
        std::lock_guard lock(m_mutex);
        if (m_progress == progress) return;
        m_progress = std::move(progress);
    }
    notify("progress");
}

std::string SynchronizerBase::option(std::string_view key, std::string_view fallback) const {
    const auto it = m_options.find(key);
    return it == m_options.end() ? std::string(fallback) : it->second;
}

Core::Status SynchronizerBase::check_connections() const {
    const auto server_source = get_server_source();
    const auto server_target = get_server_target();
    OMBRIX_RETURN_VAL_IF_NULL(server_source, Core::fail(failure(Core::tr("the source connection is not set"))));
    OMBRIX_RETURN_VAL_IF_NULL(server_target, Core::fail(failure(Core::tr("the target connection is not set"))));
    return {};
}

std::int64_t SynchronizerBase::elapsed() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start).count();
}

void SynchronizerBase::step(bool success, std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_progress) m_progress->step(success, text, elapsed());
}

void SynchronizerBase::run_units(const std::vector<std::vector<std::string>>& units, bool go_on) {
    const auto target = get_server_target();
    // The session settings a script sets (an SQL mode that takes what the server accepted under a
    // lax one), put back afterwards.
    (void)Supports::Database::run_statements(*target, Supports::Database::MariaDBBuilder::session_prologue(false));
    std::string mode;
    for (const auto& unit : units) {
        std::optional<Core::Error> failed;
        for (const auto& statement : unit) {
            if (const auto set = Supports::Database::MariaDBBuilder::session_mode_for(statement, mode); !set.empty())
                (void)target->execute_no_query(set, false);
            auto ran = target->execute_no_query(statement, false);
            if (!ran) {
                failed = std::move(ran.error());
                break;
            }
        }
        step(!failed, failed ? std::string_view(failed->message) : std::string_view());
        if (failed && !go_on) break;
    }
    (void)Supports::Database::run_statements(*target, Supports::Database::MariaDBBuilder::session_epilogue(false));
    finish();
}

void SynchronizerBase::finish() {
    std::lock_guard lock(m_mutex);
    if (m_progress) m_progress->set_finished(elapsed());
}

Core::Status SynchronizerBase::handle() {
    begin_run();
    const bool go_on = option(kOptionContinue, "false") == "true";
    auto scripts = generate();
    if (!scripts) {
        Core::log_uncaught(__FILE__, __LINE__, scripts.error());
        return {};
    }
    if (scripts->empty()) return {};
    run_units(units_of(*scripts), go_on);
    return {};
}

void SynchronizerBase::begin_run() {
    std::lock_guard lock(m_mutex);
    m_start = std::chrono::steady_clock::now();
}

// ---------------------------------------------------------------- StructureSynchronizer

std::shared_ptr<StructureSynchronizer> StructureSynchronizer::create(OptionMap options) {
    return Core::make_object<StructureSynchronizer>(std::move(options));
}

Core::Status StructureSynchronizer::initialize() {
    if (auto checked = check_connections(); !checked) return checked;
    m_schema_source = MM::MetaSchema::with_names(option(kOptionSourceDatabase), option(kOptionSourceSchema));
    m_schema_target = MM::MetaSchema::with_names(option(kOptionTargetDatabase), option(kOptionTargetSchema));
    return load();
}

Core::Status StructureSynchronizer::load() {
    const std::pair<std::shared_ptr<MM::MetaSchema>, ConnectionPtr> sides[] = {
        {m_schema_source, get_server_source()}, {m_schema_target, get_server_target()}};
    for (const auto& [schema, connection] : sides) {
        schema->reset();
        schema->get_procedures()->clear();
        const auto adapter = connection->adapter();
        if (auto filled = adapter->fill_meta_schema(schema, true); !filled) return filled;
        // A schema's procedures are routines like its functions: read one by one (the schema's
        // recursive read leaves them) and compared in the function list.
        for (const auto& procedure : *schema->get_procedures()) {
            if (auto filled = adapter->fill_meta_function(procedure); !filled) return filled;
            schema->get_functions()->append(procedure);
        }
        schema->get_procedures()->clear();
    }
    return {};
}

Core::Result<std::shared_ptr<Core::Object>> StructureSynchronizer::preview() {
    if (!m_schema_source || !m_schema_target) {
        OMBRIX_RETURN_IF_ERROR(initialize());
    }
    std::shared_ptr<MM::MetaSchema> patched;
    m_patcher->diff_meta_schema(m_schema_source, m_schema_target, false, &patched);
    // The comparison marked the loaded objects; the models are read again clean.
    OMBRIX_RETURN_IF_ERROR(load());
    return std::shared_ptr<Core::Object>(std::move(patched));
}

Core::Result<std::vector<std::string>> StructureSynchronizer::generate() {
    OMBRIX_RETURN_IF_ERROR(check_connections());
    if (!m_schema_source || !m_schema_target) {
        OMBRIX_RETURN_IF_ERROR(initialize());
    } else if (auto loaded = load(); !loaded) {
        return Core::fail(loaded.error());
    }

    std::vector<std::string> scripts;
    std::shared_ptr<MM::MetaSchema> patched;
    if (m_patcher->diff_meta_schema(m_schema_source, m_schema_target, false, &patched) == DataVersion::IDENTICAL ||
        !patched)
        return scripts;

    const auto target = get_server_target();
    const auto builder = target->builder();
    const auto mariadb = std::dynamic_pointer_cast<DB::MariaDBBuilder>(builder);
    const auto statement = target->statement();
    const std::string& from = m_schema_source->get_name();
    const std::string& to = m_schema_target->get_name();
    const std::string& database = m_schema_target->get_database();

    // Created and changed objects come from the source: they are moved to the target schema,
    // qualifiers in their SQL included, before their scripts are written.
    const auto aim = [&](MM::MetaObject& object) {
        if (object.get_version() != DataVersion::DELETE && from != to) DB::retarget_schema(object, from, to);
        object.set_database(database);
        object.set_schema(to);
    };
    const auto drop = [&](const MM::MetaObject& object) {
        return statement->drop_object(object.character(), database, to, object.get_name(), "");
    };
    const auto add = [&](std::string script) {
        if (!trimmed(script).empty()) scripts.push_back(std::move(script));
    };
    // A changed view, routine or event is dropped and created again.
    const auto replace = [&](MM::MetaObject& object, const std::function<std::string()>& create) {
        if (!has_option(selection_key(to_string(object.character() == DBObject::PROCEDURE ? DBObject::FUNCTION
                                                                                          : object.character()),
                                      object.get_name())))
            return;
        aim(object);
        switch (object.get_version()) {
            case DataVersion::INSERT:
                add(create());
                break;
            case DataVersion::UPDATE:
                add(drop(object) + "\n" + create());
                break;
            case DataVersion::DELETE:
                add(drop(object));
                break;
            default:
                break;
        }
    };

    // Sequences before the tables whose defaults take their next values (and dropped with them).
    for (const auto& sequence : *patched->get_sequences()) {
        if (!sequence || !has_option(selection_key("sequence", sequence->get_name()))) continue;
        aim(*sequence);
        if (sequence->get_version() != DataVersion::IDENTICAL) add(builder->build_patch(sequence));
    }
    // A table is created after the tables its foreign keys reference.
    if (const auto sql = std::dynamic_pointer_cast<DB::SqlBuilder>(builder); sql && patched->get_tables()->size() > 1)
        sql->order_with_dependence(patched, static_cast<int>(patched->get_tables()->size()) - 2);
    for (const auto& table : *patched->get_tables()) {
        if (!table || !has_option(selection_key("table", table->get_name()))) continue;
        aim(*table);
        switch (table->get_version()) {
            case DataVersion::INSERT:
                add(mariadb ? mariadb->build_table(table, true) : builder->build_table(table));
                break;
            case DataVersion::UPDATE:
                add(builder->patch_table(table));
                break;
            case DataVersion::DELETE:
                add(drop(*table));
                break;
            default:
                break;
        }
    }
    // Routines come before views: the server refuses a view that calls a routine it does not
    // know, while a routine's body is only checked when it runs.
    // A routine whose body the source account may not read would be written with an empty one:
    // it is left out of the scripts (the target's stays as it is) and named.
    m_left_out.clear();
    const auto hidden_in_source = [&](const MM::MetaFunction& function) {
        for (const auto& routine : *m_schema_source->get_functions())
            if (routine->get_name() == function.get_name() && routine->routine_type() == function.routine_type())
                return routine->has_data(DB::MariaDBAdapter::BODY_HIDDEN);
        return false;
    };
    for (const auto& function : *patched->get_functions()) {
        if (!function) continue;
        const auto version = function->get_version();
        if ((version == DataVersion::INSERT || version == DataVersion::UPDATE) && hidden_in_source(*function)) {
            if (has_option(selection_key("function", function->get_name())))
                m_left_out.push_back(std::string(function->get_is_function() ? "function " : "procedure ") +
                                     DB::mariadb_quote_identifier(from) + "." +
                                     DB::mariadb_quote_identifier(function->get_name()));
            continue;
        }
        replace(*function, [&] { return builder->build_function(function); });
    }
    for (const auto& view : in_dependence_order(*patched->get_views()))
        replace(*view, [&] { return builder->build_view(view); });
    for (const auto& event : *patched->get_events())
        if (event) replace(*event, [&] { return builder->build_event(event); });
    return scripts;
}

std::vector<std::vector<std::string>> StructureSynchronizer::units_of(const std::vector<std::string>& scripts) const {
    // The objects are named with their schema, but the server reads an unqualified routine called
    // in a view's definition (which is how it stores one of the view's own schema) in the current
    // database: each script runs with the target schema as that.
    const std::string use = get_server_target()->statement()->change_database(m_schema_target->get_name());
    std::vector<std::vector<std::string>> units;
    for (const auto& script : scripts) {
        auto statements = statements_of(trimmed(script));
        if (statements.empty()) continue;
        if (!use.empty()) statements.insert(statements.begin(), use);
        units.push_back(std::move(statements));
    }
    return units;
}

OMBRIX_DEFINE_TYPE(StructureSynchronizer, "OmbrixSolvaneTransformStructureSynchronizer", [](auto& builder) {
    builder.factory([] { return std::shared_ptr<Core::Object>(StructureSynchronizer::create({})); });
});

// ---------------------------------------------------------------- UserdataSynchronizer

std::shared_ptr<UserdataSynchronizer> UserdataSynchronizer::create(OptionMap options) {
    return Core::make_object<UserdataSynchronizer>(std::move(options));
}

Core::Status UserdataSynchronizer::initialize() {
    if (auto checked = check_connections(); !checked) return checked;
    const auto source = get_server_source();
    const auto target = get_server_target();
    m_dataset_source = DataSetModel::create();
    m_dataset_target = DataSetModel::create();
    m_comparison.reset();
    if (auto filled = source->adapter()->fill_data_set(m_dataset_source); !filled) return filled;
    if (auto filled = target->adapter()->fill_data_set(m_dataset_target); !filled) return filled;

    const std::string source_table = option(kOptionSourceTable);
    if (source_table.empty()) return {};
    // MariaDB's schema is its database: either option names it.
    const auto schema_of = [&](std::string_view schema_key, std::string_view database_key) {
        std::string schema = option(schema_key);
        return schema.empty() ? option(database_key) : schema;
    };
    std::string target_table = option(kOptionTargetTable);
    if (target_table.empty()) target_table = source_table;
    auto comparison = TableRowComparison::prepare(
        {source, schema_of(kOptionSourceSchema, kOptionSourceDatabase), source_table},
        {target, schema_of(kOptionTargetSchema, kOptionTargetDatabase), target_table});
    OMBRIX_RETURN_IF_ERROR(comparison);
    m_comparison = std::move(*comparison);
    m_comparison->set_source_snapshot_held(option(kOptionSourceSnapshot) == "held");
    return {};
}

Core::Result<std::pair<std::int64_t, std::int64_t>> UserdataSynchronizer::count_unmatched() {
    if (!m_comparison) return Core::fail(failure("no table to compare"));
    return m_comparison->count_unmatched();
}

Core::Result<std::shared_ptr<Core::Object>> UserdataSynchronizer::preview() {
    if (!m_comparison) {
        OMBRIX_RETURN_IF_ERROR(initialize());
        if (!m_comparison) return std::shared_ptr<Core::Object>();
    }
    std::shared_ptr<TableModel> patched;
    const auto add = [&](const TableModel& rows, std::size_t row, DataVersion version, const std::vector<bool>* changed) {
        std::vector<ValuePtr> values;
        for (std::size_t i = 0; i < rows.get_columns()->size(); ++i) {
            auto value = rows.get_value_at(i, row);
            if (changed && value)
                value->set_data(Patcher::VERSION,
                                Core::Value::from_int(static_cast<int>((*changed)[i] ? DataVersion::UPDATE
                                                                                   : DataVersion::IDENTICAL)));
            values.push_back(std::move(value));
        }
        auto added = RowModel::create(std::move(values));
        added->set_version(version);
        patched->append(std::move(added));
    };
    auto compared = m_comparison->compare([&](RowChanges& changes) -> Core::Status {
        if (!patched) {
            patched = TableModel::create();
            patched->get_columns()->append_all(changes.inserted->get_columns()->items());
        }
        for (std::size_t i = 0; i < changes.deleted->get_n_items(); ++i) add(*changes.deleted, i, DataVersion::DELETE, nullptr);
        for (std::size_t i = 0; i < changes.updated->get_n_items(); ++i) {
            const auto changed = m_comparison->changed_columns(changes, i);
            if (std::find(changed.begin(), changed.end(), true) == changed.end()) continue;
            add(*changes.updated, i, DataVersion::UPDATE, &changed);
        }
        for (std::size_t i = 0; i < changes.inserted->get_n_items(); ++i) add(*changes.inserted, i, DataVersion::INSERT, nullptr);
        return {};
    });
    OMBRIX_RETURN_IF_ERROR(compared);
    if (!patched || patched->get_n_items() == 0) return std::shared_ptr<Core::Object>();
    auto set = DataSetModel::create();
    set->get_tables()->append(patched);
    return std::shared_ptr<Core::Object>(set);
}

Core::Result<std::vector<std::string>> UserdataSynchronizer::generate() {
    OMBRIX_RETURN_IF_ERROR(check_connections());
    if (!m_comparison) {
        OMBRIX_RETURN_IF_ERROR(initialize());
        if (!m_comparison) return std::vector<std::string>{};
    }
    // The whole table's deletions first and its insertions last, so that a value of another
    // unique key can move from a row that goes to one that comes.
    std::string deletes, updates, inserts;
    auto compared = m_comparison->compare([&](RowChanges& changes) -> Core::Status {
        const auto statements = m_comparison->statements(changes);
        for (const auto& statement : statements.deletes) deletes += statement + "\n";
        for (const auto& statement : statements.updates) updates += statement + "\n";
        for (const auto& statement : statements.inserts) inserts += statement + "\n";
        return {};
    });
    OMBRIX_RETURN_IF_ERROR(compared);
    std::string script = deletes + updates + inserts;
    std::vector<std::string> scripts;
    if (!script.empty()) scripts.push_back(std::move(script));
    return scripts;
}

namespace {

/// A table of `rows`' columns holding its row `row` alone.
std::shared_ptr<TableModel> row_alone(const TableModel& rows, std::size_t row) {
    auto one = TableModel::create();
    one->get_columns()->append_all(rows.get_columns()->items());
    one->append(rows.get_item(row));
    return one;
}

}  // namespace

Core::Status UserdataSynchronizer::synchronize(bool apply, const std::function<void(const std::string&)>& on_statement) {
    OMBRIX_RETURN_IF_ERROR(check_connections());
    if (!m_comparison) {
        OMBRIX_RETURN_IF_ERROR(initialize());
        if (!m_comparison) return {};
    }
    m_counts = {};
    m_failures = 0;
    const bool go_on = option(kOptionContinue, "false") == "true";
    const auto connection = get_server_target();
    const auto target = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection->get_provider());
    if (apply && !target) return Core::fail(failure("the target is not a MariaDB connection"));
    std::optional<Core::Error> first_error;

    // The session the changes are written in: the SQL mode of the statements, no autocommit (one
    // transaction per chunk, which a table lock survives), the lock when asked for.
    bool locked = false;
    if (apply) {
        (void)Supports::Database::run_statements(*connection, Supports::Database::MariaDBBuilder::session_prologue(false));
        (void)target->execute_affect("SET autocommit = 0");
        if (option(kOptionTargetForeignKeys) == "false")
            (void)target->execute_affect("SET @ombrix_foreign_keys = @@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS = 0");
        if (option(kOptionTargetLock) == "true") {
            std::string lock = "LOCK TABLES " + m_comparison->target_name() + " WRITE";
            if (get_server_source() == connection && m_comparison->source_name() != m_comparison->target_name())
                lock += ", " + m_comparison->source_name() + " READ";
            auto taken = target->execute_affect(lock);
            if (!taken) {
                (void)target->execute_affect("SET autocommit = 1");
                return Core::fail(taken.error());
            }
            locked = true;
        }
    }
    struct Restore {
        Providers::Supports::MariaDBProvider* target;
        Contracts::Database::IConnection& connection;
        bool apply;
        bool locked;
        bool foreign_keys_off;
        ~Restore() {
            if (!apply || !target->is_connected()) return;
            (void)target->execute_affect("COMMIT");
            if (locked) (void)target->execute_affect("UNLOCK TABLES");
            (void)target->execute_affect("SET autocommit = 1");
            if (foreign_keys_off) (void)target->execute_affect("SET FOREIGN_KEY_CHECKS = @ombrix_foreign_keys");
            (void)Supports::Database::run_statements(connection, Supports::Database::MariaDBBuilder::session_epilogue(false));
        }
    } restore{target.get(), *connection, apply, locked, option(kOptionTargetForeignKeys) == "false"};

    // On a node of a cluster a transaction stays well inside a write set: it is committed once it
    // has changed half as many rows as one may hold.
    const auto limits = apply ? Supports::Database::write_limits(*connection, 0) : Supports::Database::WriteLimits{};
    std::int64_t written = 0;
    // Runs one statement: the rows it changed, or why it failed (a warning above a note included:
    // the row would differ from the source's).
    const auto execute = [&](const std::string& statement) -> Core::Result<std::int64_t> {
        auto done = target->execute_affect(statement);
        if (!done) return Core::fail(done.error());
        OMBRIX_RETURN_IF_ERROR(Supports::Data::refuse_warnings(*target, target->warning_count(), false));
        written += *done;
        if (limits.cluster && written * 2 >= limits.rows) {
            if (auto committed = target->execute_affect("COMMIT"); !committed) return Core::fail(committed.error());
            written = 0;
        }
        return *done;
    };
    const auto succeeded = [&](std::int64_t* counter, std::int64_t affected) {
        *counter += counter == &m_counts.updated ? 1 : affected;
        if (m_reporting) step(true, {});
    };
    const auto failed = [&](const Core::Error& error) {
        ++m_failures;
        if (!first_error)
            first_error = Core::Error{error.domain, error.code, "table " + m_comparison->target_name() + ": " + error.message};
        if (m_reporting) step(false, error.message);
    };
    const auto duplicate = [](const Core::Error& error) { return error.domain == "MariaDB" && error.code == 1062; };
    // Statements a unique key of the target refused for now, with the count they add to and the
    // refusal.
    struct Waiting {
        std::string statement;
        std::int64_t* counter;
        Core::Error error;
        // An UPDATE's row as a DELETE of the target's row and an INSERT of the source's.
        std::string remove;
        std::string insert;
    };
    std::vector<Waiting> deferred;
    bool stopped = false;
    // Runs one statement; false when the run must stop.
    const auto run = [&](const std::string& statement, std::int64_t* counter, bool may_defer) -> bool {
        auto done = execute(statement);
        if (done) {
            succeeded(counter, *done);
            return true;
        }
        if (may_defer && duplicate(done.error())) {
            deferred.push_back({statement, counter, done.error(), {}, {}});
            return true;
        }
        failed(done.error());
        return go_on;
    };

    auto compared = m_comparison->compare([&](RowChanges& changes) -> Core::Status {
        const auto statements = m_comparison->statements(changes);
        for (const auto* list : {&statements.deletes, &statements.updates, &statements.inserts})
            for (const auto& statement : *list) on_statement(statement);
        if (!apply) {
            m_counts.deleted += static_cast<std::int64_t>(changes.deleted->get_n_items());
            m_counts.updated += static_cast<std::int64_t>(statements.updates.size());
            m_counts.inserted += static_cast<std::int64_t>(changes.inserted->get_n_items());
            return {};
        }
        bool going = true;
        for (const auto& statement : statements.deletes)
            if (going) going = run(statement, &m_counts.deleted, false);
        for (std::size_t n = 0; n < statements.updates.size() && going; ++n) {
            const std::size_t before = deferred.size();
            going = run(statements.updates[n], &m_counts.updated, true);
            if (deferred.size() > before) {
                // Kept to replace the row should its UPDATE never find its unique values free.
                const std::size_t row = statements.update_rows[n];
                RowChanges one;
                one.deleted = row_alone(*changes.updated_target, row);
                one.inserted = row_alone(*changes.updated, row);
                const auto replaced = m_comparison->statements(one);
                deferred.back().remove = replaced.deletes.front();
                deferred.back().insert = replaced.inserts.front();
            }
        }
        std::size_t first_row = 0;  // the first row of the INSERT in hand
        for (std::size_t n = 0; n < statements.inserts.size() && going; ++n) {
            const std::size_t before = deferred.size();
            going = run(statements.inserts[n], &m_counts.inserted, true);
            const std::size_t rows = statements.insert_rows[n];
            // A row of many refused: each of its rows on its own, so that only the refused ones wait.
            if (deferred.size() > before) {
                deferred.pop_back();
                RowChanges one;
                for (std::size_t i = first_row; i < first_row + rows && going; ++i) {
                    one.inserted = row_alone(*changes.inserted, i);
                    for (const auto& single : m_comparison->statements(one).inserts)
                        going = run(single, &m_counts.inserted, true);
                }
            }
            first_row += rows;
        }
        if (auto committed = target->execute_affect("COMMIT"); !committed) return Core::fail(committed.error());
        if (!going) {
            stopped = true;
            return Core::fail(*first_error);
        }
        return {};
    });
    if (!compared && !stopped) return compared;
    // Values of a unique key exchanged between rows, which no order of UPDATEs can write: those
    // rows are deleted and inserted again in one transaction, with foreign keys unchecked so that
    // nothing cascades from the deletions (their keys come back at once). All or none.
    const auto replace_rows = [&](std::vector<Waiting>& waiting) -> bool {
        std::vector<Waiting*> rows;
        for (auto& entry : waiting)
            if (!entry.remove.empty()) rows.push_back(&entry);
        if (rows.empty()) return false;
        (void)target->execute_affect("SET @ombrix_replace_checks = @@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS = 0");
        std::optional<Core::Error> refused;
        for (const bool removing : {true, false})
            for (auto* entry : rows) {
                if (refused) break;
                auto done = target->execute_affect(removing ? entry->remove : entry->insert);
                if (!done)
                    refused = done.error();
                else if (auto checked = Supports::Data::refuse_warnings(*target, target->warning_count(), false); !checked)
                    refused = checked.error();
            }
        (void)target->execute_affect(refused ? "ROLLBACK" : "COMMIT");
        (void)target->execute_affect("SET FOREIGN_KEY_CHECKS = @ombrix_replace_checks");
        if (refused) {
            for (auto* entry : rows) entry->error = *refused;
            return false;
        }
        for (auto* entry : rows) succeeded(entry->counter, 1);
        std::erase_if(waiting, [](const Waiting& entry) { return !entry.remove.empty(); });
        return true;
    };
    // What waited for a value another row gave up: again, until a round changes nothing.
    while (!stopped && !deferred.empty()) {
        auto waiting = std::move(deferred);
        deferred.clear();
        for (auto& entry : waiting) {
            auto done = execute(entry.statement);
            if (done) {
                succeeded(entry.counter, *done);
            } else if (duplicate(done.error())) {
                entry.error = done.error();
                deferred.push_back(std::move(entry));
            } else {
                failed(done.error());
            }
        }
        if (auto committed = target->execute_affect("COMMIT"); !committed) return Core::fail(committed.error());
        if (deferred.size() == waiting.size()) {
            if (replace_rows(deferred)) continue;
            for (const auto& entry : deferred) failed(entry.error);
            break;
        }
    }
    if (first_error) return Core::fail(*first_error);
    return {};
}

Core::Status UserdataSynchronizer::handle() {
    begin_run();
    m_reporting = true;
    auto done = synchronize(true, [](const std::string&) {});
    m_reporting = false;
    if (!done && m_failures == 0) {
        Core::log_uncaught(__FILE__, __LINE__, done.error());
        return {};
    }
    // Rows that already match: nothing ran, and the run is not marked finished.
    if (m_counts.inserted + m_counts.updated + m_counts.deleted + m_failures > 0) finish();
    return {};
}

std::vector<std::vector<std::string>> UserdataSynchronizer::units_of(const std::vector<std::string>& scripts) const {
    std::vector<std::vector<std::string>> units;
    for (const auto& script : scripts)
        for (auto& statement : statements_of(script)) units.push_back({std::move(statement)});
    return units;
}

OMBRIX_DEFINE_TYPE(UserdataSynchronizer, "OmbrixSolvaneTransformUserdataSynchronizer", [](auto& builder) {
    builder.factory([] { return std::shared_ptr<Core::Object>(UserdataSynchronizer::create({})); });
});

}  // namespace Ombrix::Solvane::Transform
