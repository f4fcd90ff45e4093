#include "solvane/Transform/synchronizer.hpp"

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
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
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

// ---------------------------------------------------------------- rows

bool is_invisible(const MM::MetaColumn& column) {
    const auto& attributes = column.get_attributes();
    const auto it = attributes.find("INVISIBLE");
    return it != attributes.end() && it->second == "YES";
}

/// The key of a row as one text; each part is length-prefixed so that no two keys read alike.
std::string key_text(const RowModel& row, const std::vector<std::size_t>& key) {
    std::string text;
    std::string part;
    for (const std::size_t position : key) {
        const auto type = row.read_cell(position, part);
        if (!type || *type == Providers::Contracts::DataType::DBNULL) {
            text += "N;";
            continue;
        }
        // The text of bytes ends at their first NUL: a key of bytes counts every one of them.
        if (Supports::Data::Extractors::is_binary_kind(*type)) {
            const auto value = row.get_value_at(position);
            if (const auto* bytes = dynamic_cast<const Providers::Contracts::ValueBinary*>(value.get()))
                part = bytes->to_hexadecimal();
        }
        text += std::to_string(part.size()) + ":" + part;
    }
    return text;
}

std::string qualified_name(std::string_view schema, std::string_view table) {
    return "`" + std::string(schema) + "`.`" + std::string(table) + "`";
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
    std::lock_guard lock(m_mutex);
    m_server_source = std::move(connection);
}

SynchronizerBase::ConnectionPtr SynchronizerBase::get_server_target() const {
    std::lock_guard lock(m_mutex);
    return m_server_target;
}

void SynchronizerBase::set_server_target(ConnectionPtr connection) {
    std::lock_guard lock(m_mutex);
    m_server_target = std::move(connection);
}

std::shared_ptr<Contracts::ThreadProgress> SynchronizerBase::get_progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

void SynchronizerBase::set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) {
    std::lock_guard lock(m_mutex);
    m_progress = std::move(progress);
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
    m_key.clear();
    m_types.clear();
    if (auto filled = source->adapter()->fill_data_set(m_dataset_source); !filled) return filled;
    if (auto filled = target->adapter()->fill_data_set(m_dataset_target); !filled) return filled;

    const std::string source_table = option(kOptionSourceTable);
    if (source_table.empty()) return {};
    // MariaDB's schema is its database: either option names it.
    const auto schema_of = [&](std::string_view schema_key, std::string_view database_key) {
        std::string schema = option(schema_key);
        return schema.empty() ? option(database_key) : schema;
    };
    const std::string source_schema = schema_of(kOptionSourceSchema, kOptionSourceDatabase);
    m_target_schema = schema_of(kOptionTargetSchema, kOptionTargetDatabase);
    m_target_table = option(kOptionTargetTable);
    if (m_target_table.empty()) m_target_table = source_table;

    const auto read = [](const ConnectionPtr& connection, const std::string& schema,
                         const std::string& name) -> Core::Result<std::shared_ptr<MM::MetaTable>> {
        auto table = MM::MetaTable::with_names(schema, schema, name);
        OMBRIX_RETURN_IF_ERROR(connection->adapter()->fill_meta_table(table, true));
        if (table->get_columns()->empty())
            return Core::fail(failure(
                Core::strprintf(Core::tr("no table %s"), qualified_name(schema, name).c_str())));
        return table;
    };
    auto source_meta = read(source, source_schema, source_table);
    OMBRIX_RETURN_IF_ERROR(source_meta);
    auto target_meta = read(target, m_target_schema, m_target_table);
    OMBRIX_RETURN_IF_ERROR(target_meta);

    // The target's own columns, as far as a statement may write them.
    std::vector<std::string> columns;
    for (const auto& column : *(*target_meta)->get_columns()) {
        if (column->is_generated() || is_invisible(*column)) continue;
        if (!(*source_meta)->get_column(column->get_name()))
            return Core::fail(failure(Core::strprintf(Core::tr("the source table %s has no column `%s`"),
                                                      qualified_name(source_schema, source_table).c_str(),
                                                      column->get_name().c_str())));
        columns.push_back(column->get_name());
        m_types.push_back(column->get_data_type());
    }
    // Without a key a row of the target cannot be told apart, and a statement would change rows
    // it was not meant for.
    const auto key = (*target_meta)->row_key();
    for (const auto& name : key) {
        const auto it = std::find(columns.begin(), columns.end(), name);
        if (it == columns.end()) {
            m_key.clear();
            break;
        }
        m_key.push_back(static_cast<std::size_t>(it - columns.begin()));
    }
    if (m_key.empty())
        return Core::fail(failure(Core::strprintf(
            Core::tr("table %s has neither a primary key nor a unique key of NOT NULL columns: its rows cannot "
                     "be matched"),
            qualified_name(m_target_schema, m_target_table).c_str())));

    const auto statement = target->statement();
    std::string select_list;
    for (const auto& name : columns) select_list += (select_list.empty() ? "" : ", ") + statement->quote_identifier(name, "");
    std::string order;
    for (const auto& name : key) order += (order.empty() ? "" : ", ") + statement->quote_identifier(name, "");
    const auto load = [&](const ConnectionPtr& connection, const std::string& schema, const std::string& table,
                          const std::shared_ptr<DataSetModel>& dataset) -> Core::Status {
        auto rows = connection->execute_as_model("SELECT " + select_list + " FROM " +
                                                     connection->statement()->quote_identifier(table, schema) +
                                                     " ORDER BY " + order,
                                                 false);
        OMBRIX_RETURN_IF_ERROR(rows);
        dataset->get_tables()->append(*rows);
        return {};
    };
    if (auto loaded = load(source, source_schema, source_table, m_dataset_source); !loaded) return loaded;
    return load(target, m_target_schema, m_target_table, m_dataset_target);
}

std::shared_ptr<DataSetModel> UserdataSynchronizer::compare() const {
    if (!m_dataset_source || !m_dataset_target) return nullptr;
    const auto source = m_dataset_source->get_item(0);
    const auto target = m_dataset_target->get_item(0);
    if (!source || !target) return nullptr;

    // The comparison goes by position: the rows are lined up by key first. Rows in both sides
    // share a position; the target's rows the source lacks come after them, where the comparison
    // marks them for deletion; the source's rows the target lacks are added afterwards.
    std::unordered_map<std::string, std::size_t> target_rows;
    for (std::size_t i = 0; i < target->get_n_items(); ++i) target_rows.emplace(key_text(*target->get_item(i), m_key), i);
    auto lined_target = TableModel::create();
    auto lined_source = TableModel::create();
    lined_target->get_columns()->append_all(target->get_columns()->items());
    lined_source->get_columns()->append_all(source->get_columns()->items());
    std::vector<bool> matched(target->get_n_items(), false);
    std::vector<std::shared_ptr<RowModel>> inserts;
    for (std::size_t i = 0; i < source->get_n_items(); ++i) {
        auto row = source->get_item(i);
        const auto found = target_rows.find(key_text(*row, m_key));
        if (found == target_rows.end()) {
            inserts.push_back(std::move(row));
            continue;
        }
        // A source without the target's key may hold the same key twice; the first row counts.
        if (matched[found->second]) continue;
        matched[found->second] = true;
        lined_target->append(target->get_item(found->second));
        lined_source->append(std::move(row));
    }
    for (std::size_t i = 0; i < target->get_n_items(); ++i)
        if (!matched[i]) lined_target->append(target->get_item(i));

    auto from = DataSetModel::create();
    from->get_tables()->append(lined_target);
    auto to = DataSetModel::create();
    to->get_tables()->append(lined_source);
    // Compared as "what turns the target into the source": rows only in the target are marked
    // DELETE, and a changed row carries the source's values.
    std::shared_ptr<DataSetModel> patched;
    m_patcher->diff_data_set(from, to, &patched);
    if (inserts.empty() && (!patched || patched->get_n_items() == 0 || patched->get_item(0)->get_n_items() == 0))
        return nullptr;
    if (!patched) patched = DataSetModel::create();
    if (patched->get_n_items() == 0) {
        auto table = TableModel::create();
        table->get_columns()->append_all(target->get_columns()->items());
        patched->get_tables()->append(table);
    }
    const auto table = patched->get_item(0);
    for (const auto& row : inserts) {
        auto added = RowModel::create(row->get_values()->items());
        added->set_version(DataVersion::INSERT);
        table->append(std::move(added));
    }
    return patched;
}

std::string UserdataSynchronizer::patch_rows(const TableModel& patched) const {
    const auto statement = get_server_target()->statement();
    const auto& columns = *patched.get_columns();
    std::vector<std::string> names;
    for (const auto& column : columns) names.push_back(statement->quote_identifier(column->get_name(), ""));
    const auto literal = [&](const RowModel& row, std::size_t i) {
        const auto type = i < m_types.size() ? m_types[i] : columns.get(i)->get_data_type();
        return Supports::Data::Extractors::BaseExtractor::format_column_value(type, row.get_value_at(i));
    };
    const auto key_of = [&](const RowModel& row, Contracts::Database::StringArray& key_names,
                            Contracts::Database::StringArray& key_values) {
        for (const std::size_t i : m_key) {
            key_names.push_back(names[i]);
            key_values.push_back(literal(row, i));
        }
    };

    std::string script;
    const auto add = [&](std::string text) {
        if (text.empty()) return;
        script += text;
        script += '\n';
    };
    // Deletions first and insertions last, so that a value of another unique key can move from a
    // row that goes to one that comes.
    for (const auto& row : *patched.get_rows()) {
        if (row->get_version() != DataVersion::DELETE) continue;
        Contracts::Database::StringArray key_names, key_values;
        key_of(*row, key_names, key_values);
        add(statement->build_sql_delete(m_target_schema, m_target_table, key_names, key_values));
    }
    for (const auto& row : *patched.get_rows()) {
        if (row->get_version() != DataVersion::UPDATE) continue;
        Contracts::Database::StringArray changed, values, key_names, key_values;
        for (std::size_t i = 0; i < names.size() && i < row->get_n_items(); ++i) {
            const ValuePtr value = row->get_value_at(i);
            if (!value || Patcher::value_version(*value) != DataVersion::UPDATE) continue;
            changed.push_back(names[i]);
            values.push_back(literal(*row, i));
        }
        if (changed.empty()) continue;
        key_of(*row, key_names, key_values);
        add(statement->build_sql_update(m_target_schema, m_target_table, changed, values, key_names, key_values));
    }
    for (const auto& row : *patched.get_rows()) {
        if (row->get_version() != DataVersion::INSERT) continue;
        Contracts::Database::StringArray values;
        for (std::size_t i = 0; i < names.size(); ++i) values.push_back(literal(*row, i));
        add(statement->build_sql_insert(m_target_schema, m_target_table, names, values));
    }
    return script;
}

Core::Result<std::shared_ptr<Core::Object>> UserdataSynchronizer::preview() {
    if (!m_dataset_source || !m_dataset_target) {
        OMBRIX_RETURN_IF_ERROR(initialize());
    }
    return std::shared_ptr<Core::Object>(compare());
}

Core::Result<std::vector<std::string>> UserdataSynchronizer::generate() {
    OMBRIX_RETURN_IF_ERROR(check_connections());
    if (!m_dataset_source || !m_dataset_target) {
        OMBRIX_RETURN_IF_ERROR(initialize());
    }
    std::vector<std::string> scripts;
    const auto patched = compare();
    if (!patched) return scripts;
    for (const auto& table : *patched->get_tables())
        if (auto script = patch_rows(*table); !script.empty()) scripts.push_back(std::move(script));
    return scripts;
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
