#include "solvane/Transform/transfer.hpp"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <limits>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

#include <glib/gstdio.h>

#include "providers/Contracts/model_table.hpp"
#include "providers/Core/text.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/journal.hpp"
#include "solvane/Supports/Data/load_format.hpp"
#include "solvane/Supports/Data/row_hash.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Supports/Database/snapshot.hpp"

namespace Ombrix::Solvane::Transform {

namespace MM = MetaModel;
namespace DB = Supports::Database;
using Foundation::LoggingService;
using Providers::Contracts::DataType;
using Providers::Supports::MariaDBProvider;
using Providers::Supports::MariaDBReader;

namespace {

std::string trimmed_text(std::string_view text) { return std::string(Core::trim(text)); }
using Core::split;

constexpr std::size_t kBatchBytes = 8U << 20;  // one local data load, one transaction
// Tables of at most this many rows (by the source's estimate) go as multi-row INSERTs, each of at
// most kStatementBytes: one statement where a load takes a transaction and two round trips.
constexpr std::int64_t kSmallTableRows = 1000;
constexpr std::size_t kStatementBytes = 1U << 20;
/// The data slot of a column FIELDS kept: the name of the source column it is filled from.
constexpr std::string_view kSourceColumn = "SOURCE COLUMN";

std::string qname(std::string_view name) { return DB::mariadb_quote_identifier(name); }

/// `names` as literals for IN (…), each once.
std::string literal_list(const std::vector<std::string>& names) {
    std::set<std::string> seen;
    std::string list;
    for (const auto& name : names)
        if (seen.insert(name).second) list += (list.empty() ? "" : ", ") + DB::mariadb_quote_literal(name);
    return list;
}

/// Whether a session still has its server: one that lost it has nothing left to restore (and
/// sending would only log in again, waiting on a server that may not answer).
bool still_connected(Contracts::Database::IConnection& connection) {
    auto provider = std::dynamic_pointer_cast<MariaDBProvider>(connection.get_provider());
    return !provider || provider->is_connected();
}

std::string joined(const std::vector<std::string>& items, bool quote) {
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) out += ", ";
        out += quote ? qname(item) : item;
    }
    return out;
}

/// The source columns of a copy as the SELECT list that reads their exact values ("1" for a table of
/// generated columns only, whose rows are rows of defaults).
std::string read_list(const std::vector<std::string>& columns, const std::vector<DataType>& types) {
    std::string list;
    for (std::size_t i = 0; i < columns.size(); ++i)
        list += (i ? ", " : "") + Supports::Data::exact_read(qname(columns[i]), i < types.size() && types[i] == DataType::FLOAT);
    return list.empty() ? "1" : list;
}

/// One item of FIELDS ("a=x; b = y; c"): the source column and the name it takes in the target,
/// blanks around either left out; a name alone keeps its name.
struct FieldPair {
    std::string source;
    std::string target;
    bool renamed = false;  // written with '='
};

std::vector<FieldPair> field_pairs(std::string_view fields) {
    std::vector<FieldPair> pairs;
    for (const auto& item : split(fields, ';')) {
        if (trimmed_text(item).empty()) continue;
        const auto equal = item.find('=');
        FieldPair pair;
        pair.source = trimmed_text(std::string_view(item).substr(0, equal));
        pair.renamed = equal != std::string::npos;
        pair.target = pair.renamed ? trimmed_text(std::string_view(item).substr(equal + 1)) : std::string();
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

/// The row filters of RECORDS ("c1; c2;"), each one record set; blank items (a trailing ';')
/// are none, and no filter at all is the whole table.
std::vector<std::string> record_sets(std::string_view records) {
    std::vector<std::string> sets;
    for (const auto& item : split(records, ';'))
        if (auto filter = trimmed_text(item); !filter.empty()) sets.push_back(std::move(filter));
    if (sets.empty()) sets.emplace_back();
    return sets;
}

/// A page size: 1000 for a value that is missing, unreadable or not positive; at most the 32-bit
/// range.
std::int32_t batch_of(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0) return 1000;
    return static_cast<std::int32_t>(std::min<long long>(value, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

/// One table (or view) to fill: where the rows come from and where they go.
struct Transfer::Copy {
    std::string database;
    std::string schema;
    std::string table;
    std::string target_schema;
    std::string target_table;
    std::vector<std::string> source_columns;
    std::vector<std::string> target_columns;
    std::vector<DataType> types;
    std::vector<std::string> key;  // the source's primary-key columns, in key order
    std::int32_t batch = 1000;
    std::vector<std::string> records;  // row filters, one record set each
    bool whole = true;                 // every column, every row: the checksums of both sides compare
    bool narrowed = false;             // FIELDS picked (or renamed) the columns
    bool counter = false;              // the table has an AUTO_INCREMENT column whose counter follows the source's
    bool versioned = false;            // the source keeps its rows' history (system versioning)
    std::pair<std::string, std::string> period{"row_start", "row_end"};  // its period columns
    bool history = false;              // the history rows are copied too, with their periods
    TableReport report;
    // The sessions this copy reads and writes through (a lane of a parallel copy).
    Contracts::Database::IConnection* source = nullptr;
    Contracts::Database::IConnection* target = nullptr;
    std::string range;  // the key range it copies ("" for every row)
    std::string task;   // its name in the journal
    std::int64_t estimate = -1;  // the source's row estimate (-1: not asked)
};

namespace {

/// What a copy has committed, task by task (the structure, a table or a key range of it, the
/// programs): a resumed copy does again only what the journal does not name.
class CopyJournal {
public:
    Core::Status open(const std::string& path, const std::string& key, bool resume, std::vector<std::string>& notes) {
        const auto found = resume ? Supports::Data::JournalFile::read_lines(path) : std::nullopt;
        if (resume && !found) notes.push_back("no journal of an earlier copy (" + path + "): copying from the start");
        if (found) {
            if (found->empty() || found->front() != "ombrix-transfer-journal 1\t" + Supports::Data::escape_field(key))
                return Core::fail("default", -1,
                                  "the journal " + path + " is of a copy with other options: it cannot be resumed "
                                  "(copy again without --resume to start over)");
            for (const auto& line : *found) {
                const auto parts = Core::split(line, '\t');
                if (parts.size() == 3 && parts[0] == "done")
                    m_done[Supports::Data::unescape_field(parts[1])] = std::strtoll(parts[2].c_str(), nullptr, 10);
            }
        }
        OMBRIX_RETURN_IF_ERROR(m_file.open(path, found.has_value()));
        if (!found) return m_file.append("ombrix-transfer-journal 1\t" + Supports::Data::escape_field(key));
        return {};
    }
    bool active() const { return m_file.is_open(); }
    bool any() const { return !m_done.empty(); }
    std::optional<std::int64_t> done(const std::string& task) const {
        const auto found = m_done.find(task);
        if (found == m_done.end()) return std::nullopt;
        return found->second;
    }
    Core::Status mark(const std::string& task, std::int64_t rows) {
        return m_file.append("done\t" + Supports::Data::escape_field(task) + "\t" + std::to_string(rows));
    }
    /// The copy is whole: nothing is left to resume.
    void remove() { m_file.remove(); }

private:
    Supports::Data::JournalFile m_file;
    std::map<std::string, std::int64_t> m_done;
};

}  // namespace

struct Transfer::Journal : CopyJournal {};

Transfer::Transfer(Options options) : m_options(std::move(options)) {}

Transfer::~Transfer() = default;

std::shared_ptr<Transfer> Transfer::create(Options options) { return Core::make_object<Transfer>(std::move(options)); }

OMBRIX_DEFINE_TYPE(Transfer, "OmbrixSolvaneTransformTransfer");

void Transfer::set_server_source(std::shared_ptr<Contracts::Database::IConnection> connection) {
    if (m_source == connection) return;
    m_source = std::move(connection);
    notify("server-source");
}
void Transfer::set_server_target(std::shared_ptr<Contracts::Database::IConnection> connection) {
    if (m_target == connection) return;
    m_target = std::move(connection);
    notify("server-target");
}
void Transfer::set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) {
    if (m_progress == progress) return;
    m_progress = std::move(progress);
    notify("progress");
}

std::vector<Transfer::TableReport> Transfer::get_reports() const {
    std::lock_guard lock(m_reports_mutex);
    return m_reports;
}

std::string Transfer::option(std::string_view key, std::string_view fallback) const {
    const auto it = m_options.find(key);
    return it == m_options.end() ? std::string(fallback) : it->second;
}

std::int64_t Transfer::elapsed() const { return g_get_monotonic_time() - m_start; }

void Transfer::step(bool success, const std::string& text) {
    if (m_progress) m_progress->step(success, text, elapsed());
}

void Transfer::log(const std::string& text) { LoggingService::info(nullptr, "%s", text.c_str()); }

std::string Transfer::collect_columns_customize(std::string_view fields, bool source_side) {
    std::vector<std::string> sides;
    for (const auto& pair : field_pairs(fields)) sides.push_back(source_side ? pair.source : pair.target);
    return joined(sides, false);
}

Core::Result<std::shared_ptr<MM::MetaDatabase>> Transfer::load_meta_data(bool continue_on_error) {
    const std::string name = option("OPTION|SOURCE|DATABASE");
    // A schema that is not there would read as an empty one, and the copy of nothing succeed.
    auto found = m_source->execute_as_scalar(
        "SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = " + DB::mariadb_quote_literal(name));
    OMBRIX_RETURN_IF_ERROR(found);
    if (!*found || (*found)->to_string() == "0") {
        step(false, "Load meta data......\nno schema named '" + name + "' on the source");
        return Core::fail("default", -1, "no schema named '" + name + "' on the source");
    }
    auto database = MM::MetaDatabase::with_name(name);
    auto adapter = m_source->adapter();
    Core::Status filled = adapter->fill_meta_database(database, true);
    // A schema's recursive read leaves its procedures to be read one by one.
    for (const auto& schema : *database->get_schemas())
        for (const auto& procedure : *schema->get_procedures())
            if (filled) filled = adapter->fill_meta_function(procedure);
    if (!filled) {
        step(false, "Load meta data......\n" + filled.error().message);
        if (!continue_on_error) return Core::fail(filled.error());
        return database;
    }
    step(true, "Load meta data......[done]");
    return database;
}

Core::Status Transfer::handle() {
    OMBRIX_RETURN_VAL_IF_NULL(m_source, Core::fail("default", -1, "no source connection"));
    OMBRIX_RETURN_VAL_IF_NULL(m_target, Core::fail("default", -1, "no target connection"));
    if (!m_progress) m_progress = Contracts::ThreadProgress::create();
    m_start = g_get_monotonic_time();
    m_progress->reset_counters();
    {
        std::lock_guard lock(m_reports_mutex);
        m_reports.clear();
        m_warnings.clear();
    }
    const bool continue_on_error = option("OPTION|RESULT|CONTINUE") == "true";
    log(std::string("Process continue: ") + (continue_on_error ? "true" : "false"));

    Core::Status outcome = run(continue_on_error);

    if (!outcome) log("Process is broken: " + outcome.error().message);
    log("Handle finished.");
    m_progress->set_finished(elapsed());
    return outcome;
}

Core::Status Transfer::run(bool continue_on_error) {
    OMBRIX_RETURN_IF_ERROR(open_journal());
    auto loaded = load_meta_data(continue_on_error);
    OMBRIX_RETURN_IF_ERROR(loaded);
    auto database = *loaded;
    trim(*database);
    m_limits = DB::write_limits(*m_target, kBatchBytes);
    if (m_limits.cluster)
        for (const auto& schema : *database->get_schemas())
            for (const auto& table : *schema->get_tables()) {
                if (table->has_data("FROM VIEW")) continue;
                const auto columns = table->get_columns();
                const bool keyed = columns && std::any_of(columns->begin(), columns->end(),
                                                          [](const auto& column) { return column->get_is_primary_key(); });
                const auto options = table->get_options();
                const auto engine = options.find("ENGINE");
                if (auto warning = DB::cluster_table_warning(schema->get_name() + "." + table->get_name(), keyed,
                                                             engine == options.end() ? std::string() : engine->second);
                    !warning.empty())
                    warn(warning);
            }
    const bool structure = option("OPTION|RESULT|STRUCTURE", "true") != "false";
    if (structure) {
        if (auto hidden = leave_out_hidden_routines(*database, continue_on_error); !hidden) return hidden;
        if (!m_journal->done("structure")) {
            const std::int64_t began = g_get_monotonic_time();
            if (auto built = copy_structure(*database, continue_on_error); !built) return built;
            OMBRIX_RETURN_IF_ERROR(m_journal->mark("structure", 0));
            // In a cluster each statement of the structure holds every node until all have run it.
            if (m_limits.cluster) {
                char seconds[32];
                g_ascii_formatd(seconds, sizeof seconds, "%.1f",
                                static_cast<double>(g_get_monotonic_time() - began) / 1e6);
                m_notes.push_back(std::string("the structure took ") + seconds +
                                  " s, each statement run by every node of the cluster in the same order");
            }
        }
    }
    if (structure && option("OPTION|RESULT|DATA", "true") == "false") {
        // A copy of the structure alone hands out the ids its source would hand out next too.
        for (const auto& schema : *database->get_schemas())
            for (const auto& table : *schema->get_tables()) {
                const auto columns = table->get_columns();
                if (table->has_data("FROM VIEW") || !columns ||
                    std::none_of(columns->begin(), columns->end(),
                                 [](const auto& column) { return column->get_auto_increment(); }))
                    continue;
                carry_counter(copy_of(*database, *schema, *table));
            }
    }
    if (option("OPTION|RESULT|DATA", "true") != "false") {
        // The rows, then what would act on rows as they arrive: triggers and events. Rows go in
        // before the rows they reference may exist (and cycles have no order at all): the target
        // session checks no foreign key while they do, however the copy ends. (The structure is
        // built with the checks on: a key added while they are off is stored with NO ACTION for
        // RESTRICT.) The target takes the rows in the settings a script of rows sets: the session's
        // own SQL mode with NO_AUTO_VALUE_ON_ZERO (a 0 stays a 0 in an AUTO_INCREMENT column), and
        // temporal values in UTC, which the source session gives them in too.
        (void)DB::run_statements(*m_target, DB::MariaDBBuilder::session_prologue(true));
        // Unique keys stay checked between loads: a target's table may have a key its source lacks
        // (--data-only). (A bulk load turns them off for itself.)
        (void)DB::run_statements(*m_target, "SET UNIQUE_CHECKS = @OLD_UNIQUE_CHECKS;");
        (void)DB::run_statements(*m_source, "SET @OLD_TIME_ZONE = @@TIME_ZONE, TIME_ZONE = '+00:00';");
        // Rows the target holds are neither emptied out nor mixed with the copy's unless asked.
        // A resumed copy finds the rows it copied before.
        Core::Status copied = m_journal->any() ? Core::Status{} : refuse_filled_targets(*database);
        m_targets_empty = copied && !m_journal->any() && duplicates_keyword().empty();
        if (copied) copied = copy_rows(*database, continue_on_error);
        if (still_connected(*m_target))
            (void)DB::run_statements(*m_target, DB::MariaDBBuilder::session_epilogue(true));
        if (still_connected(*m_source))
            (void)DB::run_statements(*m_source, "COMMIT;\nSET TIME_ZONE = @OLD_TIME_ZONE;");
        if (!copied) return copied;
    }
    // A copy of the structure alone has its triggers and events too, after the tables.
    if (!structure || m_journal->done("programs")) {
        m_journal->remove();
        return {};
    }
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(m_target->builder());
    if (!builder) return Core::fail("default", -1, "the target has no MariaDB builder");
    for (const auto& schema : *database->get_schemas()) {
        std::string script;
        for (const auto& table : *schema->get_tables()) script += builder->build_table_triggers(table, true) + "\n";
        for (const auto& event : *schema->get_events()) script += builder->build_event(event) + "\n";
        if (script.empty()) continue;
        if (auto ran = run_script("USE " + qname(schema->get_name()) + ";\n" + script, "create trigger", continue_on_error);
            !ran)
            return ran;
    }
    OMBRIX_RETURN_IF_ERROR(m_journal->mark("programs", 0));
    m_journal->remove();
    return {};
}

Core::Status Transfer::leave_out_hidden_routines(MM::MetaDatabase& database, bool continue_on_error) {
    // A routine whose body the source account may not read would be created empty: it is named,
    // and either the run stops before anything is written or, going on after failures, it is left
    // out as a failed step.
    std::vector<std::string> names;
    for (const auto& schema : *database.get_schemas())
        for (const auto* list : {&schema->get_functions(), &schema->get_procedures()}) {
            std::vector<std::size_t> hidden;
            for (std::size_t i = 0; i < (*list)->size(); ++i) {
                const auto routine = (*list)->get(i);
                if (!routine->has_data(DB::MariaDBAdapter::BODY_HIDDEN)) continue;
                const std::string name = std::string(routine->get_is_function() ? "function " : "procedure ") +
                                         qname(option("OPTION|SOURCE|DATABASE")) + "." + qname(routine->get_name());
                warn("the body of " + name +
                     " is hidden from the source account (it takes the routine's definer or SELECT on mysql.proc): "
                     "it is not copied");
                names.push_back(name);
                hidden.push_back(i);
                if (continue_on_error)
                    step(false, "create routine......the body of " + name + " is hidden from the source account");
            }
            if (continue_on_error)
                for (auto it = hidden.rbegin(); it != hidden.rend(); ++it) (*list)->remove_at(*it);
        }
    if (names.empty() || continue_on_error) return {};
    std::string all;
    for (const auto& name : names) all += (all.empty() ? "" : ", ") + name;
    step(false, "create routine......hidden bodies: " + all);
    return Core::fail("default", -1,
                      "routine bodies are hidden from the source account (" + all +
                          "); nothing was copied (going on after failures copies the rest without them)");
}

void Transfer::trim(MM::MetaDatabase& database) {
    const auto& schemas = database.get_schemas();
    for (std::size_t s = schemas->size(); s-- > 0;) {
        const auto schema = schemas->get(s);
        const std::string name = schema->get_name();
        const std::string schema_key = "schema|" + name + "|";
        if (!m_options.contains(schema_key + "MODE")) {
            schemas->remove_at(s);
            continue;
        }
        log("Handle schema: " + schema_key + "MODE ==> " + option(schema_key + "MODE"));
        log("Handle schema: " + database.get_name() + "." + name + "......");
        std::string target = name;
        if (option(schema_key + "MODE") == "true") target = option(schema_key + "NAME", name);
        // Every member names the schema it lives in: they all follow a new name.
        if (target != name) {
            DB::retarget_schema(*schema, name, target);
            schema->set_name(target);
        }
        // The columns FIELDS names stay, under their new names; each remembers the source column
        // its rows come from, which is all the copy of the rows goes by.
        auto apply_fields = [](const std::shared_ptr<MM::MetaColumnList>& columns, const std::string& fields) {
            if (!columns || fields == "ALL") return;
            const auto pairs = field_pairs(fields);
            // A column stays when a pair names it whole: looking for "name=" anywhere in the text
            // would keep a column "d" for a pair "id=…".
            const auto pair_of = [&](const std::string& name) {
                return std::find_if(pairs.begin(), pairs.end(), [&](const FieldPair& pair) { return pair.source == name; });
            };
            for (std::size_t c = columns->size(); c-- > 0;)
                if (pair_of(columns->get(c)->get_name()) == pairs.end()) columns->remove_at(c);
            // Each column is renamed once, by its own name: "a=b; b=a" swaps the two.
            for (const auto& column : *columns) {
                const auto pair = pair_of(column->get_name());
                column->set_data(kSourceColumn, Core::Value::from_string(column->get_name()));
                if (pair->renamed && !pair->target.empty()) column->set_name(pair->target);
            }
        };
        const auto& tables = schema->get_tables();
        for (std::size_t t = tables->size(); t-- > 0;) {
            const auto table = tables->get(t);
            const std::string key = "table|" + table->get_name() + "|";
            if (!m_options.contains(key + "MODE")) {
                tables->remove_at(t);
                continue;
            }
            log("Handle table: " + database.get_name() + "." + target + "." + table->get_name() + "......");
            if (option(key + "MODE") == "true") {
                const std::string old_name = table->get_name();
                table->set_data("SOURCE NAME", Core::Value::from_string(old_name));
                table->set_name(option(key + "NAME", old_name));
                // Keys that reference the table follow its new name.
                if (table->get_name() != old_name)
                    for (const auto& other : *tables)
                        for (const auto& constraint : *other->get_constraints())
                            if (auto foreign = std::dynamic_pointer_cast<MM::MetaForeignKey>(constraint);
                                foreign && foreign->get_refer_table() == old_name &&
                                (foreign->get_refer_schema().empty() || foreign->get_refer_schema() == target))
                                foreign->set_refer_table(table->get_name());
                apply_fields(table->get_columns(), option(key + "FIELDS", "ALL"));
            }
            step(true, "tidy table: " + database.get_name() + "." + target + "." + table->get_name() + "......[done]");
        }
        const auto& views = schema->get_views();
        for (std::size_t v = views->size(); v-- > 0;) {
            const auto view = views->get(v);
            const std::string key = "table|" + view->get_name() + "|";
            if (!m_options.contains(key + "MODE")) {
                views->remove_at(v);
                continue;
            }
            log("Handle view: " + database.get_name() + "." + target + "." + view->get_name() + "......");
            const std::string source_name = view->get_name();
            if (option(key + "MODE") == "true") view->set_name(option(key + "NAME", view->get_name()));
            if (option(key + "VIEW2TABLE") == "true") {
                // The view's rows land in a table of its (new) name, which takes the view's place.
                auto table = MM::MetaTable::with_names(view->get_database(), view->get_schema(), view->get_name());
                table->set_data("SOURCE NAME", Core::Value::from_string(source_name));
                table->set_data("FROM VIEW", Core::Value::from_int(1));
                for (const auto& column : *view->get_columns()) {
                    auto copy = std::dynamic_pointer_cast<MM::MetaColumn>(column->clone());
                    copy->set_is_primary_key(false);
                    table->get_columns()->append(copy);
                }
                apply_fields(table->get_columns(), option("view|" + source_name + "|FIELDS", "ALL"));
                tables->append(table);
                views->remove_at(v);
            }
            step(true, "tidy view: " + database.get_name() + "." + target + "." + view->get_name() + "......[done]");
        }
        log("Handle schema: " + database.get_name() + "." + target + "......[done]");
    }
}

namespace {

/// Whether a statement of a structure script creates a table that references no other, so that it
/// may run beside others like it in any order.
bool creates_lone_table(std::string_view text) {
    const auto head = Core::ascii_upper(text.substr(0, 13));
    if (head != "CREATE TABLE ") return false;
    return !Core::contains_ascii_folded(text, "references");
}

/// Statements that set up a session: replayed on the other sessions of a parallel script.
bool sets_session(std::string_view text) {
    const auto head = Core::ascii_upper(text.substr(0, 4));
    return head == "SET " || head == "USE ";
}

}  // namespace

Core::Status Transfer::run_script(const std::string& script, const char* what, bool continue_on_error) {
    const auto run_one = [&](Contracts::Database::IConnection& target, const std::string& text) -> Core::Status {
        log("transfer_structure: " + text);
        auto ran = target.execute_no_query(text);
        if (ran) {
            step(true, std::string(what) + "......[done]\n" + text);
            return {};
        }
        step(false, std::string(what) + "......" + ran.error().message + "\n" + text);
        if (!continue_on_error || Providers::Supports::MariaDBProvider::is_interrupted(ran.error()))
            return Core::fail(ran.error());
        return {};
    };
    // Tables that reference none are created by several sessions at once, when the copy has them;
    // the rest in order, on the transfer's own session.
    const int wanted = std::max(1, static_cast<int>(std::strtol(option("OPTION|RESULT|PARALLEL", "1").c_str(), nullptr, 10)));
    std::vector<std::string> session;  // the settings the script made so far
    std::vector<std::string> batch;
    std::vector<std::shared_ptr<Contracts::Database::IConnection>> helpers;
    struct Closer {
        std::vector<std::shared_ptr<Contracts::Database::IConnection>>& helpers;
        ~Closer() {
            for (const auto& helper : helpers) helper->close();
        }
    } closer{helpers};
    const auto flush = [&]() -> Core::Status {
        if (batch.size() < 8 || wanted < 2 || !m_connect_target) {
            for (const auto& text : batch) OMBRIX_RETURN_IF_ERROR(run_one(*m_target, text));
            batch.clear();
            return {};
        }
        while (static_cast<int>(helpers.size()) + 1 < wanted) {
            auto helper = m_connect_target();
            OMBRIX_RETURN_IF_ERROR(helper);
            helpers.push_back(std::move(*helper));
        }
        std::vector<Contracts::Database::IConnection*> sessions{m_target.get()};
        for (const auto& helper : helpers) {
            for (const auto& text : session) OMBRIX_RETURN_IF_ERROR(run_one(*helper, text));
            sessions.push_back(helper.get());
        }
        std::mutex lock;
        std::size_t next = 0;
        std::optional<Core::Error> failure;
        const auto work = [&](Contracts::Database::IConnection& target) {
            for (;;) {
                std::size_t index = 0;
                {
                    std::lock_guard guard(lock);
                    if (failure || next == batch.size()) return;
                    index = next++;
                }
                auto ran = run_one(target, batch[index]);
                std::lock_guard guard(lock);
                if (!ran && !failure) failure = ran.error();
            }
        };
        std::vector<std::thread> threads;
        for (std::size_t i = 1; i < sessions.size(); ++i) threads.emplace_back([&, i] { work(*sessions[i]); });
        work(*sessions.front());
        for (auto& thread : threads) thread.join();
        batch.clear();
        if (failure) return Core::fail(*failure);
        return {};
    };
    for (const auto& statement : DB::split_script(script)) {
        std::string text = trimmed_text(statement.text);
        if (text.empty()) continue;
        if (creates_lone_table(text)) {
            batch.push_back(std::move(text));
            continue;
        }
        OMBRIX_RETURN_IF_ERROR(flush());
        if (sets_session(text)) session.push_back(text);
        OMBRIX_RETURN_IF_ERROR(run_one(*m_target, text));
    }
    return flush();
}

Core::Status Transfer::copy_structure(MM::MetaDatabase& database, bool continue_on_error) {
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(m_target->builder());
    if (!builder) return Core::fail("default", -1, "the target has no MariaDB builder");
    for (const auto& schema : *database.get_schemas()) {
        // Triggers and events come after the rows; the rest of the schema now. They are set
        // aside while the script is built and put back for later.
        std::vector<std::vector<std::shared_ptr<MM::MetaTrigger>>> triggers;
        for (const auto& table : *schema->get_tables()) {
            triggers.push_back(table->get_triggers()->items());
            table->get_triggers()->clear();
        }
        const auto events = schema->get_events()->items();
        schema->get_events()->clear();
        auto target_database = MM::MetaDatabase::with_name(schema->get_name());
        for (const char* attribute : {"CHARACTER SET", "COLLATE"})
            if (const auto found = database.get_attributes().find(attribute); found != database.get_attributes().end())
                target_database->set_attribute(attribute, found->second);
        target_database->set_comment(database.get_comment());
        std::string drops;
        if (option("OPTION|RESULT|DROP_OBJECT") == "true") {
            // Only what is copied goes: the selected tables and views of the target schema.
            for (const auto& view : *schema->get_views()) drops += builder->build_delete(view) + "\n";
            for (const auto& table : *schema->get_tables()) drops += builder->build_delete(table) + "\n";
            for (const auto& function : *schema->get_functions()) drops += builder->build_delete(function) + "\n";
            for (const auto& procedure : *schema->get_procedures()) drops += builder->build_delete(procedure) + "\n";
            for (const auto& event : events) drops += builder->build_delete(event) + "\n";
        }
        const std::string script = builder->build_schema_script(schema, target_database, true);
        std::size_t t = 0;
        for (const auto& table : *schema->get_tables())
            for (const auto& trigger : triggers[t++]) table->get_triggers()->append(trigger);
        for (const auto& event : events) schema->get_events()->append(event);

        if (!drops.empty()) {
            // Tables that reference each other go in any order.
            (void)m_target->execute_no_query("SET @ombrix_fk_checks = @@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS = 0");
            auto dropped = run_script(drops, "drop object", continue_on_error);
            (void)m_target->execute_no_query("SET FOREIGN_KEY_CHECKS = IFNULL(@ombrix_fk_checks, 1)");
            if (!dropped) return dropped;
        }
        log("Transfer schema: " + database.get_name() + "." + schema->get_name() + "......\n" + script);
        if (auto built = run_script(script, "create table", continue_on_error); !built) return built;
        log("Transfer schema: " + database.get_name() + "." + schema->get_name() + "......[done]");
    }
    log("Call transfer_structure...[done]");
    return {};
}

Transfer::Copy Transfer::copy_of(const MM::MetaDatabase& database, const MM::MetaSchema& schema,
                                 const MM::MetaTable& table) const {
    // The trimmed model holds the target's names; a table keeps the name it had in the source.
    const Core::Value* from = table.get_data("SOURCE NAME");
    Copy copy;
    copy.database = database.get_name();
    copy.schema = option("OPTION|SOURCE|DATABASE");
    copy.table = from ? from->get_string() : table.get_name();
    copy.target_schema = schema.get_name();
    copy.target_table = table.get_name();
    copy.report.source = copy.schema + "." + copy.table;
    copy.report.target = copy.target_schema + "." + copy.target_table;
    copy.source = m_source.get();
    copy.target = m_target.get();
    return copy;
}

std::string Transfer::duplicates_keyword() const {
    const std::string given = option("OPTION|RESULT|ON_DUPLICATE");
    return given == "skip" ? "IGNORE" : given == "replace" ? "REPLACE" : "";
}

Core::Status Transfer::refuse_filled_targets(const MM::MetaDatabase& source) {
    if (!duplicates_keyword().empty()) return {};
    // The target's tables, asked once: a table the target lacks fails where its rows are copied.
    std::vector<std::pair<std::string, std::string>> targets;
    std::vector<std::string> target_schemas;
    for (const auto& schema : *source.get_schemas())
        for (const auto& table : *schema->get_tables()) {
            const Copy copy = copy_of(source, *schema, *table);
            targets.emplace_back(copy.target_schema, copy.target_table);
            target_schemas.push_back(copy.target_schema);
        }
    if (targets.empty()) return {};
    const std::string schemas = literal_list(target_schemas);
    std::set<std::pair<std::string, std::string>> existing;
    auto listed = m_target->execute_as_model("SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.TABLES WHERE "
                                             "TABLE_SCHEMA IN (" + schemas + ")");
    OMBRIX_RETURN_IF_ERROR(listed);
    // Compared without case: a server that folds names (lower_case_table_names) lists them folded.
    const auto folded = [](const std::string& text) { return Core::ascii_lower(text); };
    for (std::size_t r = 0; r < (*listed)->get_n_items(); ++r)
        existing.emplace(folded((*listed)->get_value_at(0, r)->to_string()),
                         folded((*listed)->get_value_at(1, r)->to_string()));
    std::vector<std::string> names;
    for (const auto& [schema, table] : targets)
        if (existing.contains({folded(schema), folded(table)})) names.push_back(qname(schema) + "." + qname(table));
    // Whether each holds a row, a hundred tables a query.
    std::string filled;
    for (std::size_t first = 0; first < names.size(); first += 100) {
        std::string sql;
        const std::size_t last = std::min(names.size(), first + 100);
        for (std::size_t i = first; i < last; ++i)
            sql += (sql.empty() ? "" : " UNION ALL ") + std::string("SELECT ") + std::to_string(i) + " FROM (SELECT 1 FROM " +
                   names[i] + " LIMIT 1) t" + std::to_string(i);
        auto found = m_target->execute_as_model(sql, false);
        OMBRIX_RETURN_IF_ERROR(found);
        for (std::size_t r = 0; r < (*found)->get_n_items(); ++r) {
            const auto index = std::strtoull((*found)->get_value_at(0, r)->to_string().c_str(), nullptr, 10);
            if (index < names.size()) filled += (filled.empty() ? "" : ", ") + names[index];
        }
    }
    if (filled.empty()) return {};
    return Core::fail(std::string(FILLED_TARGET), -1,
                      "the target already holds rows in " + filled +
                          ": nothing was copied (say whether a row whose key is there already is skipped or "
                          "replaces the row there)");
}

Transfer::Copy Transfer::table_copy(const MM::MetaDatabase& source, const MM::MetaSchema& schema,
                                    const MM::MetaTable& table) const {
    Copy copy = copy_of(source, schema, table);
    const std::string key = "table|" + copy.table + "|";
    const bool custom = option(key + "MODE") == "true";
    // The trimmed table holds the target names; a column FIELDS kept names its source.
    const auto columns = table.get_columns();
    // Pages follow the row key: the primary key, else a unique key of NOT NULL columns.
    const auto row_key = table.row_key();
    for (std::size_t i = 0; columns && i < columns->size(); ++i) {
        const auto column = columns->get(i);
        if (column->is_generated()) continue;
        const Core::Value* source_column = column->get_data(kSourceColumn);
        if (source_column) copy.whole = false, copy.narrowed = true;
        copy.target_columns.push_back(column->get_name());
        copy.source_columns.push_back(source_column ? source_column->get_string() : column->get_name());
        copy.types.push_back(column->get_data_type());
        // Keys are ordered by their source names.
        if (std::find(row_key.begin(), row_key.end(), column->get_name()) != row_key.end())
            copy.key.push_back(copy.source_columns.back());
        if (column->get_auto_increment()) copy.counter = true;
    }
    if (table.has_data("FROM VIEW")) copy.whole = false;
    copy.records = {""};
    if (custom) {
        copy.batch = batch_of(option(key + "BATCH", "1000"));
        copy.records = record_sets(option(key + "RECORDS"));
        if (!copy.records.front().empty()) copy.whole = false;
    }
    if (table.has_data("FROM VIEW")) copy.counter = false;
    copy.versioned = !table.has_data("FROM VIEW") &&
                     table.get_options().contains(std::string(DB::MariaDBBuilder::SYSTEM_VERSIONING));
    if (copy.versioned)
        for (const auto& column : *columns) {
            const std::string expression = Core::ascii_upper(trimmed_text(column->get_expression()));
            if (expression == "ROW START") copy.period.first = column->get_name();
            if (expression == "ROW END") copy.period.second = column->get_name();
        }
    return copy;
}


Core::Status Transfer::open_journal() {
    m_journal = std::make_unique<Journal>();
    const std::string path = option("OPTION|RESULT|JOURNAL");
    if (path.empty()) return {};
    // The copy is known by what it copies and how, not by the servers' hosts.
    std::string key;
    for (const auto& [name, value] : m_options)
        if (name != "OPTION|RESULT|JOURNAL" && name != "OPTION|RESULT|RESUME" && name != "OPTION|RESULT|PARALLEL" &&
            name != "OPTION|RESULT|VERIFY" && name != "OPTION|RESULT|CONTINUE" && name != "OPTION|RESULT|LOCK_TABLES")
            key += name + "=" + value + "\n";
    return m_journal->open(path, key, option("OPTION|RESULT|RESUME") == "true", m_notes);
}

Core::Status Transfer::copy_rows(const MM::MetaDatabase& source, bool continue_on_error) {
    log("Call transfer_user_data...");
    std::vector<Copy> tables;
    std::vector<std::pair<std::string, std::string>> read;  // what the snapshot covers
    for (const auto& schema : *source.get_schemas())
        for (const auto& table : *schema->get_tables()) {
            tables.push_back(table_copy(source, *schema, *table));
            if (!table->has_data("FROM VIEW")) read.emplace_back(tables.back().schema, tables.back().table);
        }

    // The lanes: reader and writer pairs, the first the transfer's own sessions. Every reader
    // reads the same moment.
    struct Lane {
        std::shared_ptr<Contracts::Database::IConnection> source;
        std::shared_ptr<Contracts::Database::IConnection> target;
    };
    std::vector<Lane> lanes{{m_source, m_target}};
    const int wanted = std::max(1, static_cast<int>(std::strtol(option("OPTION|RESULT|PARALLEL", "1").c_str(), nullptr, 10)));
    for (int i = 1; i < wanted && m_connect_source && m_connect_target && tables.size() > 0; ++i) {
        auto reader = m_connect_source();
        OMBRIX_RETURN_IF_ERROR(reader);
        auto writer = m_connect_target();
        OMBRIX_RETURN_IF_ERROR(writer);
        (void)DB::run_statements(**writer, DB::MariaDBBuilder::session_prologue(true));
        (void)DB::run_statements(**writer, "SET UNIQUE_CHECKS = @OLD_UNIQUE_CHECKS;");
        (void)DB::run_statements(**reader, "SET TIME_ZONE = '+00:00';");
        lanes.push_back({std::move(*reader), std::move(*writer)});
    }
    struct Closer {
        std::vector<Lane>& lanes;
        ~Closer() {
            for (std::size_t i = 1; i < lanes.size(); ++i) {
                lanes[i].source->close();
                lanes[i].target->close();
            }
        }
    } closer{lanes};
    // Tables without transactions held read-locked from before the snapshot to the end of the copy,
    // when asked: they then stand as they were at its moment.
    std::shared_ptr<Contracts::Database::IConnection> locker;
    std::vector<std::string> locked;
    struct Unlock {
        std::shared_ptr<Contracts::Database::IConnection>& locker;
        ~Unlock() {
            if (!locker) return;
            (void)DB::run_statements(*locker, "UNLOCK TABLES;");
            locker->close();
        }
    } unlock{locker};
    if (option("OPTION|RESULT|LOCK_TABLES") == "true") {
        if (!m_connect_source) return Core::fail("default", -1, "locking the tables takes another session on the source");
        auto opened = m_connect_source();
        OMBRIX_RETURN_IF_ERROR(opened);
        locker = std::move(*opened);
        auto held = DB::lock_loose_tables(*locker, read);
        OMBRIX_RETURN_IF_ERROR(held);
        locked = std::move(*held);
    }
    Core::Result<DB::Snapshot> snapshot = Core::fail("default", -1, "");
    if (lanes.size() > 1) {
        std::vector<Contracts::Database::IConnection*> readers;
        for (const auto& lane : lanes) readers.push_back(lane.source.get());
        snapshot = DB::open_shared_snapshot(*m_source, readers, read);
        if (!snapshot && snapshot.error().domain == "MariaDB" && snapshot.error().code == 1227) {
            warn("the source refuses FLUSH TABLES WITH READ LOCK to this account (it takes the RELOAD privilege): one "
                 "reader copies every table, so that the copy stays one moment");
            for (std::size_t i = 1; i < lanes.size(); ++i) {
                lanes[i].source->close();
                lanes[i].target->close();
            }
            lanes.resize(1);
        }
    }
    if (lanes.size() == 1) snapshot = DB::open_snapshot(*m_source, read);
    OMBRIX_RETURN_IF_ERROR(snapshot);
    for (const auto& table : snapshot->loose_tables)
        if (std::find(locked.begin(), locked.end(), table) == locked.end())
            warn("table " + table +
                 " has no transactions: its rows are read as they stand when it is copied, not at the moment the "
                 "other tables are (--lock-tables holds it still)");
    log("snapshot at gtid_binlog_pos '" + snapshot->gtid_position + "'");

    // The tasks: each table, or each key range of a big one when several lanes share the work.
    struct Task {
        std::size_t table = 0;
        std::string range;
        std::string id;
    };
    const bool bulk = option("OPTION|RESULT|BULK") == "true" &&
                      std::dynamic_pointer_cast<MariaDBProvider>(m_source->get_provider()) &&
                      std::dynamic_pointer_cast<MariaDBProvider>(m_target->get_provider());
    std::map<std::pair<std::string, std::string>, std::int64_t> estimates;
    if (bulk) {
        auto found = DB::table_estimates(*m_source, {option("OPTION|SOURCE|DATABASE")});
        OMBRIX_RETURN_IF_ERROR(found);
        estimates = std::move(*found);
        for (auto& copy : tables)
            if (const auto estimate = estimates.find({copy.schema, copy.table}); estimate != estimates.end())
                copy.estimate = estimate->second;
    }
    const std::int64_t range_rows = std::strtoll(option("OPTION|RESULT|RANGE_ROWS", "100000").c_str(), nullptr, 10);
    std::vector<Task> tasks;
    std::vector<std::size_t> pending(tables.size(), 0);  // per table: its tasks not yet copied
    std::vector<std::vector<std::string>> redo(tables.size());  // per table: the ranges copied again
    std::vector<bool> whole_again(tables.size(), false);
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const Copy& copy = tables[t];
        std::vector<std::string> ranges{""};
        if (lanes.size() > 1 && bulk && !copy.versioned && copy.whole && copy.key.size() == 1) {
            auto split = DB::key_ranges(*m_source, copy.schema, copy.table, copy.key.front(),
                                        estimates[{copy.schema, copy.table}], range_rows, static_cast<int>(lanes.size()));
            OMBRIX_RETURN_IF_ERROR(split);
            ranges = std::move(*split);
        }
        bool any_done = false;
        for (const auto& range : ranges) {
            Task task{t, range, copy.report.target + (range.empty() ? "" : " where " + range)};
            if (m_journal->done(task.id)) {
                any_done = true;
                continue;
            }
            tasks.push_back(task);
            redo[t].push_back(range);
            ++pending[t];
        }
        whole_again[t] = !any_done;
        // A table done whole counts the rows the journal says.
        for (const auto& range : ranges)
            if (const auto rows = m_journal->done(copy.report.target + (range.empty() ? "" : " where " + range)))
                tables[t].report.rows += *rows;
    }

    // Which target tables keep history, asked once for all of them rather than table by table.
    {
        std::vector<std::string> target_schemas;
        for (const auto& copy : tables) target_schemas.push_back(copy.target_schema);
        if (const std::string schemas = literal_list(target_schemas); !schemas.empty()) {
            auto found = m_target->execute_as_model(
                "SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.TABLES WHERE TABLE_TYPE = 'SYSTEM VERSIONED' "
                "AND TABLE_SCHEMA IN (" + schemas + ")");
            OMBRIX_RETURN_IF_ERROR(found);
            std::set<std::pair<std::string, std::string>> versioned;
            for (std::size_t r = 0; r < (*found)->get_n_items(); ++r)
                versioned.emplace((*found)->get_value_at(0, r)->to_string(), (*found)->get_value_at(1, r)->to_string());
            m_versioned_targets = std::move(versioned);
        }
    }
    struct Forget {
        std::optional<std::set<std::pair<std::string, std::string>>>& known;
        ~Forget() { known.reset(); }
    } forget{m_versioned_targets};

    // The targets are emptied first (of the ranges copied again, when a copy resumes).
    std::vector<std::optional<Core::Error>> errors(tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        if (redo[t].empty()) continue;
        const bool everything = whole_again[t] || std::find(redo[t].begin(), redo[t].end(), "") != redo[t].end();
        if (auto emptied = empty_target(tables[t], everything ? std::vector<std::string>{} : redo[t]); !emptied) {
            errors[t] = emptied.error();
            if (!continue_on_error) return emptied;
        }
    }

    // The lanes take the tasks in order.
    std::mutex lock;
    std::size_t next = 0;
    bool stop = false;
    std::vector<double> seconds(tables.size(), 0);
    const auto work = [&](const Lane& lane) {
        for (;;) {
            Task task;
            {
                std::lock_guard guard(lock);
                while (next < tasks.size() && errors[tasks[next].table]) ++next;
                if (stop || next == tasks.size()) return;
                task = tasks[next++];
            }
            Copy copy = tables[task.table];
            copy.source = lane.source.get();
            copy.target = lane.target.get();
            copy.range = task.range;
            copy.report.rows = 0;
            log("Transfer table: " + copy.database + "." + copy.schema + "." + copy.table +
                (task.range.empty() ? "" : " where " + task.range));
            const std::int64_t started = g_get_monotonic_time();
            Core::Status copied = copy_table(copy);
            if (copied) copied = m_journal->mark(task.id, copy.report.rows);
            std::lock_guard guard(lock);
            seconds[task.table] += static_cast<double>(g_get_monotonic_time() - started) / 1e6;
            if (task.range.empty()) {
                // The table whole: what its copy learned (history columns among them) serves its end.
                const std::int64_t before = tables[task.table].report.rows;
                tables[task.table] = copy;
                tables[task.table].report.rows += before;
                tables[task.table].source = m_source.get();
                tables[task.table].target = m_target.get();
            } else {
                tables[task.table].report.rows += copy.report.rows;
            }
            if (copied) --pending[task.table];
            if (!copied && !errors[task.table]) errors[task.table] = copied.error();
            // A cancelled copy stops whatever continue-on-error says.
            if (!copied && (!continue_on_error || Providers::Supports::MariaDBProvider::is_interrupted(copied.error())))
                stop = true;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < lanes.size(); ++i) threads.emplace_back([&, i] { work(lanes[i]); });
    work(lanes.front());
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 1; i < lanes.size(); ++i) {
        (void)DB::run_statements(*lanes[i].source, "COMMIT;");
        (void)DB::run_statements(*lanes[i].target, DB::MariaDBBuilder::session_epilogue(true));
    }

    // Each table's end, in order: its counter, its verification, its report.
    std::optional<Core::Error> first_error;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        Copy& copy = tables[t];
        copy.report.seconds = seconds[t];
        const std::string name = copy.database + "." + copy.schema + "." + copy.table;
        if (!errors[t] && pending[t] > 0) continue;  // not reached before the copy stopped
        if (!errors[t]) {
            if (copy.counter) carry_counter(copy);
            step(true, "transfer table data " + name + "......[done]\n");
            log("Transfer table: " + name + "......[done]");
            if (option("OPTION|RESULT|VERIFY") == "true") verify(copy, copy.report);
        } else {
            copy.report.error = errors[t]->message;
            step(false, "transfer table data " + name + "......\n" + errors[t]->message);
            log("Transfer table: " + name + "......[failed]");
            if (!first_error) first_error = errors[t];
        }
        std::lock_guard guard(m_reports_mutex);
        m_reports.push_back(copy.report);
    }
    if (first_error && (!continue_on_error || Providers::Supports::MariaDBProvider::is_interrupted(*first_error)))
        return Core::fail(*first_error);
    log("Call transfer_user_data...[done]");
    return {};
}

Core::Result<bool> Transfer::target_versioned(const Copy& copy) {
    if (m_versioned_targets) return m_versioned_targets->contains({copy.target_schema, copy.target_table});
    auto target_type = copy.target->execute_as_scalar(
        "SELECT TABLE_TYPE FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
        DB::mariadb_quote_literal(copy.target_schema) + " AND TABLE_NAME = " + DB::mariadb_quote_literal(copy.target_table));
    OMBRIX_RETURN_IF_ERROR(target_type);
    return *target_type && (*target_type)->to_string() == "SYSTEM VERSIONED";
}

Core::Status Transfer::empty_target(const Copy& copy, const std::vector<std::string>& ranges) {
    if (!duplicates_keyword().empty()) return {};  // the rows there stay: the copy's rows join them
    auto statement = copy.target->statement();
    const std::string target_name = qname(copy.target_schema) + "." + qname(copy.target_table);
    auto versioned = target_versioned(copy);
    OMBRIX_RETURN_IF_ERROR(versioned);
    // A table found empty a moment ago needs no emptying (one that keeps history may hold old rows).
    if (m_targets_empty && !*versioned) return {};
    if (!ranges.empty()) {
        // A resumed copy empties only the key ranges it copies again.
        for (const auto& range : ranges)
            if (auto emptied = copy.target->execute_no_query("DELETE FROM " + target_name + " WHERE " + range); !emptied)
                return Core::fail(emptied.error());
    } else if (*versioned) {
        // A table that keeps its rows' history refuses TRUNCATE: its rows go, then their history.
        for (const std::string& sql : {"DELETE FROM " + target_name, "DELETE HISTORY FROM " + target_name})
            if (auto emptied = copy.target->execute_no_query(sql); !emptied) return Core::fail(emptied.error());
    } else {
        auto emptied =
            copy.target->execute_no_query(statement->empty_table(copy.database, copy.target_schema, copy.target_table));
        OMBRIX_RETURN_IF_ERROR(emptied);
    }
    step(true, "truncate table: " + copy.database + "." + copy.target_schema + "." + copy.target_table + "......[done]");
    return {};
}

Core::Status Transfer::copy_table(Copy& copy) {
    auto versioned = target_versioned(copy);
    OMBRIX_RETURN_IF_ERROR(versioned);
    const bool target_versioned = *versioned;

    // The history of a versioned table goes along where the target takes rows with the periods
    // they had (system_versioning_insert_history, MariaDB 10.11 and later); else its current rows
    // only, and the user is told. A copy that was to be whole then differs from its source: the
    // step fails (FIELDS, which picks columns on purpose, only warns).
    copy.history = false;
    if (copy.versioned) {
        std::string why;
        if (!target_versioned)
            why = "the target table keeps no history";
        else if (copy.narrowed)
            why = "FIELDS picks its columns";
        else if (auto secure = copy.target->execute_as_scalar("SELECT @@secure_timestamp");
                 !secure || !*secure || (*secure)->to_string() != "NO")
            why = "the target server's secure_timestamp does not let a session set row periods";
        else if (auto allowed = copy.target->execute_no_query("SET @@session.system_versioning_insert_history = 1");
                 !allowed)
            why = "the target server does not take history rows (" + allowed.error().message + ")";
        else
            copy.history = true;
        if (!copy.history) {
            const std::string text =
                "the history of " + copy.report.source + " was not copied (" + why + "); only its current rows were";
            warn(text);
            if (!copy.narrowed) step(false, "copy history......" + text);
        }
    }
    if (copy.history) {
        copy.source_columns.push_back(copy.period.first);
        copy.source_columns.push_back(copy.period.second);
        copy.target_columns.push_back(copy.period.first);
        copy.target_columns.push_back(copy.period.second);
        copy.types.push_back(DataType::TIMESTAMP);
        copy.types.push_back(DataType::TIMESTAMP);
        // A row and its past versions share the key; the end of their periods tells them apart.
        if (!copy.key.empty()) copy.key.push_back(copy.period.second);
    }
    struct Restore {
        Contracts::Database::IConnection& target;
        bool history;
        ~Restore() {
            if (history && still_connected(target))
                (void)target.execute_no_query("SET @@session.system_versioning_insert_history = 0");
        }
    } restore{*copy.target, copy.history};
    log("Recordsets: " + std::to_string(copy.records.size()) + " -> " + [&] {
        std::string all;
        for (const auto& r : copy.records) all += (all.empty() ? "" : ";") + r;
        return all;
    }());
    const bool bulk = option("OPTION|RESULT|BULK") == "true" &&
                      std::dynamic_pointer_cast<MariaDBProvider>(copy.source->get_provider()) &&
                      std::dynamic_pointer_cast<MariaDBProvider>(copy.target->get_provider());
    return bulk ? copy_table_bulk(copy) : copy_table_pages(copy);
}

void Transfer::carry_counter(const Copy& copy) {
    // The copy hands out the ids the source would hand out next: its AUTO_INCREMENT counter goes
    // along (the server keeps it above the highest id the rows hold).
    auto counter = copy.source->execute_as_scalar(
        "SELECT AUTO_INCREMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
        DB::mariadb_quote_literal(copy.schema) + " AND TABLE_NAME = " + DB::mariadb_quote_literal(copy.table));
    std::string value = counter && *counter ? (*counter)->to_string() : std::string();
    if (!value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const std::string sql = "ALTER TABLE " + qname(copy.target_schema) + "." + qname(copy.target_table) +
                                " AUTO_INCREMENT = " + value;
        if (auto altered = copy.target->execute_no_query(sql); !altered) {
            step(false, "auto-increment counter of " + copy.report.target + "......" + altered.error().message + "\n" + sql);
            return;
        }
        log("transfer counter: " + sql);
    } else if (!counter) {
        step(false, "auto-increment counter of " + copy.report.source + "......" + counter.error().message);
    }
}

void Transfer::tell_progress(const std::string& table, std::int64_t rows) {
    if (!m_table_progress) return;
    std::lock_guard lock(m_table_progress_mutex);
    m_table_progress(table, rows);
}

void Transfer::warn(const std::string& text) {
    LoggingService::warning(nullptr, "%s", text.c_str());
    std::lock_guard lock(m_reports_mutex);
    m_warnings.push_back(text);
}

std::vector<std::string> Transfer::get_warnings() const {
    std::lock_guard lock(m_reports_mutex);
    return m_warnings;
}

Core::Status Transfer::copy_table_pages(Copy& copy) {
    auto statement = copy.source->statement();
    // A table whose every column is generated has rows all the same: they are counted, and as
    // many rows of defaults are inserted.
    const std::string columns = read_list(copy.source_columns, copy.types);
    // Pages follow the primary key (every column when there is none), so none is read twice or
    // left out.
    const std::string order = joined(copy.key.empty() ? copy.source_columns : copy.key, true);
    // Every version of a versioned table's rows, when its history is copied.
    const auto from = [&](std::string select, const std::string& filter) {
        select += " FROM " + qname(copy.schema) + "." + qname(copy.table) + " FOR SYSTEM_TIME ALL";
        if (!filter.empty()) select += " WHERE " + filter;
        return select;
    };
    for (const auto& record_set : copy.records) {
        const std::string filter = trimmed_text(record_set);
        const std::string count_sql = copy.history ? from("SELECT COUNT(*)", filter) + ";"
                                                   : statement->show_effected(copy.database, copy.schema, copy.table, filter);
        auto counted = copy.source->execute_as_scalar(count_sql);
        OMBRIX_RETURN_IF_ERROR(counted);
        const std::int64_t count = std::strtoll((*counted)->to_string().c_str(), nullptr, 10);
        log("Handle recordset: " + filter + " -> " + std::to_string(count) + "\n" + count_sql);
        for (std::int64_t offset = 0; offset == 0 || offset < count; offset += copy.batch) {
            const std::string sql =
                copy.history ? from("SELECT " + columns, filter) + " ORDER BY " + order + " LIMIT " +
                                   std::to_string(copy.batch) + " OFFSET " + std::to_string(offset) + ";"
                             : statement->show_content(copy.database, copy.schema, copy.table, columns, filter, order,
                                                       offset, copy.batch);
            auto page = copy.source->execute_as_model(sql);
            OMBRIX_RETURN_IF_ERROR(page);
            log("Transfer recordset: " + std::to_string((*page)->get_n_items()) + " ==>\n" + sql);
            if (m_progress)
                m_progress->message("transfer data " + copy.database + "." + copy.schema + "." + copy.table + "......\n" + sql,
                                    elapsed());
            if (auto inserted = transfer_data_model(**page, copy); !inserted) return inserted;
            tell_progress(copy.report.target, copy.report.rows);
            if (count <= copy.batch) break;
        }
    }
    return {};
}

Core::Status Transfer::transfer_data_model(const Providers::Contracts::TableModel& model, Copy& copy) {
    const std::size_t k = std::min(copy.target_columns.size(), model.get_columns()->size());
    log("Call transfer_data_model: " + copy.target_schema + "." + copy.target_table + "(" +
        joined(copy.target_columns, false) + "), values(" + std::to_string(model.get_n_items()) + ")");
    std::vector<std::string> names;
    for (std::size_t i = 0; i < k; ++i) names.push_back(qname(copy.target_columns[i]));
    auto statement = copy.target->statement();
    const std::string keyword = duplicates_keyword();
    for (std::size_t r = 0; r < model.get_n_items(); ++r) {
        std::vector<std::string> values;
        for (std::size_t c = 0; c < k; ++c)
            values.push_back(Supports::Data::Extractors::BaseExtractor::format_column_value(
                model.get_columns()->get(c)->get_data_type(), model.get_value_at(c, r)));
        std::string sql = statement->build_sql_insert(copy.target_schema, copy.target_table, names, values);
        if (!keyword.empty() && sql.starts_with("INSERT "))
            sql = (keyword == "REPLACE" ? "REPLACE " : "INSERT IGNORE ") + sql.substr(7);
        auto inserted = copy.target->execute_no_query(sql);
        if (inserted) {
            log("Insert SQL: " + sql);
            step(true, sql);
            copy.report.rows += 1;
        } else {
            step(false, sql + "\n" + inserted.error().message);
        }
    }
    log("Call transfer_data_model......[done]");
    return {};
}

/// The SELECT that reads the rows of `copy` one record set (`filter`) picks, in key order.
std::string Transfer::rows_select(const Copy& copy, std::string_view record_set) {
    std::string filter = trimmed_text(record_set);
    if (!copy.range.empty()) filter = filter.empty() ? copy.range : "(" + filter + ") AND " + copy.range;
    // A table whose every column is generated gets a row without fields per row: one of defaults.
    std::string sql = "SELECT " + read_list(copy.source_columns, copy.types) +
                      " FROM " + qname(copy.schema) + "." + qname(copy.table);
    if (copy.history) sql += " FOR SYSTEM_TIME ALL";
    if (!filter.empty()) sql += " WHERE " + filter;
    if (!copy.key.empty()) sql += " ORDER BY " + joined(copy.key, true);
    return sql;
}

Core::Status Transfer::copy_table_inserts(Copy& copy) {
    auto source = std::dynamic_pointer_cast<MariaDBProvider>(copy.source->get_provider());
    auto target = std::dynamic_pointer_cast<MariaDBProvider>(copy.target->get_provider());
    const std::string duplicates = duplicates_keyword();
    std::string head = duplicates == "REPLACE" ? "REPLACE INTO " : duplicates == "IGNORE" ? "INSERT IGNORE INTO " : "INSERT INTO ";
    head += qname(copy.target_schema) + "." + qname(copy.target_table) + " (" + joined(copy.target_columns, true) +
            ") VALUES ";
    std::string statement;
    std::int64_t in_statement = 0;
    std::int64_t number = 0;
    bool in_transaction = false;
    // Sends the statement in hand; `last` when no row follows (a single statement needs no
    // transaction of its own: it is stored whole or not at all).
    const auto flush = [&](bool last) -> Core::Status {
        if (in_statement == 0 && !in_transaction) return {};
        ++number;
        const auto failed = [&](const Core::Error& error) {
            return Core::fail(error.domain, error.code,
                              "table " + copy.report.target + ", batch " + std::to_string(number) + " (rows " +
                                  std::to_string(copy.report.rows + 1) + " to " +
                                  std::to_string(copy.report.rows + in_statement) + "): " + error.message);
        };
        if (!last && !in_transaction) {
            if (auto begun = target->execute_affect("START TRANSACTION"); !begun) return failed(begun.error());
            in_transaction = true;
        }
        if (in_statement > 0) {
            auto stored = target->execute_affect(statement);
            if (!stored) return failed(stored.error());
            if (duplicates.empty() && *stored != in_statement)
                return failed(Core::Error{"default", -1,
                                          std::to_string(in_statement - *stored) + " row(s) not stored"});
            if (auto refused = Supports::Data::refuse_warnings(*target, target->warning_count(), duplicates == "IGNORE");
                !refused)
                return failed(refused.error());
        }
        if (last && in_transaction) {
            if (auto committed = target->execute_affect("COMMIT"); !committed) return failed(committed.error());
            in_transaction = false;
        }
        copy.report.rows += in_statement;
        statement.clear();
        in_statement = 0;
        step(true, "transfer data " + copy.database + "." + copy.schema + "." + copy.table + "......batch " +
                       std::to_string(number) + ", " + std::to_string(copy.report.rows) + " rows");
        tell_progress(copy.report.target, copy.report.rows);
        return {};
    };
    Core::Status outcome;
    std::optional<Core::Error> write_error;
    for (const auto& record_set : copy.records) {
        std::vector<DataType> kinds;
        auto streamed = source->execute_streamed(
            rows_select(copy, record_set),
            [&](MariaDBReader& r) -> Core::Status {
                kinds = Supports::Data::cell_kinds(r, copy.source_columns.size());
                return {};
            },
            [&](MariaDBReader& r) -> Core::Status {
                statement += in_statement == 0 ? head : ",";
                Supports::Data::append_row_literals(statement, r, kinds);
                ++in_statement;
                if (statement.size() < kStatementBytes) return {};
                auto flushed = flush(false);
                if (!flushed) write_error = flushed.error();
                return flushed;
            });
        if (write_error) {
            outcome = Core::fail(*write_error);
            break;
        }
        if (!streamed) {
            outcome = Core::fail(streamed.error().domain, streamed.error().code,
                                 "table " + copy.report.source + ", reading after row " +
                                     std::to_string(copy.report.rows) + ": " + streamed.error().message);
            break;
        }
    }
    if (outcome) outcome = flush(true);
    // A session that lost its server has lost its transaction with it.
    if (in_transaction && still_connected(*copy.target)) (void)target->execute_affect("ROLLBACK");
    return outcome;
}

Core::Status Transfer::copy_table_bulk(Copy& copy) {
    // A small table goes in one transaction of INSERTs; in a cluster, only one well inside a write set.
    const std::int64_t small = m_limits.rows > 0 ? std::min(kSmallTableRows, m_limits.rows / 2) : kSmallTableRows;
    if (copy.range.empty() && copy.estimate >= 0 && copy.estimate <= small) return copy_table_inserts(copy);
    auto source = std::dynamic_pointer_cast<MariaDBProvider>(copy.source->get_provider());
    auto target = std::dynamic_pointer_cast<MariaDBProvider>(copy.target->get_provider());
    // Checks the copy does not need while it loads, back on however the load ends.
    (void)target->execute_affect("SET @ombrix_unique_checks = @@UNIQUE_CHECKS, UNIQUE_CHECKS = 0");
    struct Restore {
        MariaDBProvider& target;
        ~Restore() {
            if (target.is_connected())
                (void)target.execute_affect("SET UNIQUE_CHECKS = IFNULL(@ombrix_unique_checks, 1)");
        }
    } restore{*target};

    std::vector<std::string> target_names;
    for (const auto& name : copy.target_columns) target_names.push_back(qname(name));
    for (const auto& record_set : copy.records) {
        // A table whose every column is generated gets a line without fields per row, which the
        // load takes as a row of defaults.
        const std::string sql = rows_select(copy, record_set);

        struct Batch {
            std::string data;
            std::int64_t rows = 0;
        };
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Batch> ready;
        bool finished = false;
        bool cancelled = false;
        std::optional<Core::Error> read_error;
        std::string load;
        std::vector<bool> hex;

        // The reading side: one unbuffered read, cut into batches, at most two waiting.
        std::thread reader([&] {
            Batch batch;
            batch.data.reserve(kBatchBytes + (1U << 16));
            auto hand_over = [&]() -> bool {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready.size() < 2 || cancelled; });
                if (cancelled) return false;
                ready.push_back(std::move(batch));
                batch = Batch{};
                batch.data.reserve(kBatchBytes + (1U << 16));
                changed.notify_all();
                return true;
            };
            auto streamed = source->execute_streamed(
                sql,
                [&](MariaDBReader& r) -> Core::Status {
                    std::vector<DataType> types = Supports::Data::cell_kinds(r, copy.source_columns.size());
                    for (auto& type : types) {
                        hex.push_back(type == DataType::BINARY);
                        if (type != DataType::BINARY) type = DataType::STRING;
                    }
                    std::lock_guard lock(mutex);
                    load = Supports::Data::local_load_statement(copy.target_schema, copy.target_table, target_names,
                                                                types, duplicates_keyword());
                    return {};
                },
                [&](MariaDBReader& r) -> Core::Status {
                    for (std::size_t i = 0; i < hex.size(); ++i) {
                        if (i) batch.data += '\t';
                        const auto cell = r.get_cell_view(static_cast<std::uint16_t>(i));
                        if (cell.data() == nullptr)
                            batch.data += "\\N";
                        else if (hex[i])
                            Supports::Data::append_hex_digits(batch.data, cell);
                        else
                            Supports::Data::append_load_escaped(batch.data, cell);
                    }
                    batch.data += '\n';
                    ++batch.rows;
                    if ((batch.data.size() >= m_limits.bytes ||
                         (m_limits.rows > 0 && batch.rows >= m_limits.rows)) &&
                        !hand_over())
                        return Core::fail("default", -1, "the copy was stopped");
                    return {};
                });
            if (streamed && batch.rows > 0) hand_over();
            std::lock_guard lock(mutex);
            if (!streamed && !cancelled) read_error = streamed.error();
            finished = true;
            changed.notify_all();
        });

        // The writing side: each batch in its own transaction.
        std::optional<Core::Error> write_error;
        std::int64_t number = 0;
        while (true) {
            Batch batch;
            std::string statement;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !ready.empty() || finished; });
                if (ready.empty()) break;
                batch = std::move(ready.front());
                ready.pop_front();
                statement = load;
                changed.notify_all();
            }
            ++number;
            const std::int64_t expected = duplicates_keyword().empty() ? batch.rows : -1;
            if (auto stored = Supports::Data::load_batch(*target, statement, batch.data, expected, true); !stored) {
                const Core::Error& error = stored.error();
                write_error = Core::Error{error.domain, error.code,
                                          "table " + copy.report.target + ", batch " + std::to_string(number) +
                                              " (rows " + std::to_string(copy.report.rows + 1) + " to " +
                                              std::to_string(copy.report.rows + batch.rows) + "): " + error.message};
                break;
            }
            copy.report.rows += batch.rows;
            step(true, "transfer data " + copy.database + "." + copy.schema + "." + copy.table + "......batch " +
                           std::to_string(number) + ", " + std::to_string(copy.report.rows) + " rows");
            tell_progress(copy.report.target, copy.report.rows);
        }
        {
            std::lock_guard lock(mutex);
            cancelled = true;
            changed.notify_all();
        }
        reader.join();
        if (write_error) return Core::fail(*write_error);
        if (read_error)
            return Core::fail(read_error->domain, read_error->code,
                              "table " + copy.report.source + ", reading after row " + std::to_string(copy.report.rows) +
                                  ": " + read_error->message);
    }
    return {};
}

void Transfer::verify(Copy& copy, TableReport& report) {
    // The same table on both sides compares by CHECKSUM TABLE first. That sum also depends on how
    // the table was declared (an explicit ROW_FORMAT changes it), so when it differs, and whenever
    // the sides hold other columns, a filter or a view's rows, a sum of row hashes over the
    // columns copied decides.
    auto checksum = [](Contracts::Database::IConnection& connection, const std::string& name) -> std::string {
        auto count = connection.execute_as_model("SELECT COUNT(*) FROM " + name);
        auto sum = connection.execute_as_model("CHECKSUM TABLE " + name);
        if (!count || !sum || (*count)->get_n_items() == 0 || (*sum)->get_n_items() == 0) return "?";
        return (*count)->get_value_at(0, 0)->to_string() + " rows, checksum " + (*sum)->get_value_at(1, 0)->to_string();
    };
    // Both sides hash alike: CRC32C only when both servers have it.
    const auto version = [](Contracts::Database::IConnection& connection) -> unsigned long {
        const auto provider = std::dynamic_pointer_cast<MariaDBProvider>(connection.get_provider());
        return provider ? provider->get_server_version() : 0;
    };
    const bool crc32c = std::min(version(*copy.source), version(*copy.target)) >= Supports::Data::kCrc32cVersion;
    auto hashed = [crc32c, &copy](Contracts::Database::IConnection& connection, const std::string& name,
                                  const std::vector<std::string>& columns, const std::string& filter) -> std::string {
        std::vector<Supports::Data::HashedColumn> cells;
        for (std::size_t i = 0; i < columns.size(); ++i)
            cells.push_back({qname(columns[i]), i < copy.types.size() && copy.types[i] == DataType::FLOAT});
        std::string sql = "SELECT COUNT(*), IFNULL(SUM(" + Supports::Data::row_hash(cells, crc32c) + "), 0) FROM " + name;
        if (!filter.empty()) sql += " WHERE " + filter;
        auto model = connection.execute_as_model(sql);
        if (!model || (*model)->get_n_items() == 0) return "?";
        return (*model)->get_value_at(0, 0)->to_string() + " rows, hash " + (*model)->get_value_at(1, 0)->to_string();
    };
    const std::string source_name = qname(copy.schema) + "." + qname(copy.table);
    const std::string target_name = qname(copy.target_schema) + "." + qname(copy.target_table);
    std::string source, target;
    if (copy.whole) {
        source = checksum(*copy.source, source_name);
        target = checksum(*copy.target, target_name);
    }
    if (!copy.whole || source != target) {
        std::string filters;
        for (const auto& r : copy.records)
            if (!trimmed_text(r).empty()) filters += (filters.empty() ? "(" : " OR (") + trimmed_text(r) + ")";
        source = hashed(*copy.source, source_name, copy.source_columns, filters);
        target = hashed(*copy.target, target_name, copy.target_columns, "");
    }
    report.verified = source != "?" && source == target;
    report.verification = "source " + source + "; target " + target;

    // Every node of the target's cluster, read once it has applied what it received.
    if (m_nodes.empty())
        for (const auto& [name, connect] : m_connect_nodes) {
            auto opened = connect();
            std::shared_ptr<Contracts::Database::IConnection> node;
            std::string error;
            if (!opened) {
                error = opened.error().message;
            } else {
                node = *opened;
                if (auto waited = node->execute_no_query("SET SESSION wsrep_sync_wait = 1"); !waited) {
                    error = waited.error().message;
                    node.reset();
                }
            }
            m_nodes.emplace_back(node, error);
        }
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        const auto& [node, error] = m_nodes[i];
        const std::string& name = m_connect_nodes[i].first;
        if (!node) {
            report.nodes.emplace_back(name, "unreachable: " + error);
            report.nodes_agree = false;
            continue;
        }
        std::string there;
        if (copy.whole && source.find("checksum") != std::string::npos)
            there = checksum(*node, target_name);
        else
            there = hashed(*node, target_name, copy.target_columns, "");
        const bool same = there != "?" && there == source;
        report.nodes.emplace_back(name, same ? "equal" : "DIFFERENT (" + there + ")");
        if (!same) report.nodes_agree = false;
    }
}

}  // namespace Ombrix::Solvane::Transform
