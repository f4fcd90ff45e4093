#include "solvane/Transform/restore.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/text.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Data/compress.hpp"
#include "solvane/Supports/Data/journal.hpp"
#include "solvane/Supports/Data/load_format.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Transform/dump.hpp"

namespace Ombrix::Solvane::Transform {

namespace DB = Supports::Database;
using Contracts::Database::IConnection;
using Providers::Contracts::DataType;
using Supports::Data::escape_field;
using Supports::Data::unescape_field;

namespace {

// ---- Reading the heads of statements ----

/// A small reader of SQL words: skips blanks and comments (not the executable /*! … */ kind),
/// reads bare words and backtick names.
struct Words {
    std::string_view text;
    std::size_t at = 0;

    void skip() {
        for (;;) {
            while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
            if (text.compare(at, 2, "/*") == 0 && text.compare(at, 3, "/*!") != 0) {
                const auto end = text.find("*/", at + 2);
                at = end == std::string_view::npos ? text.size() : end + 2;
            } else if (text.compare(at, 2, "--") == 0 || text.compare(at, 1, "#") == 0) {
                const auto end = text.find('\n', at);
                at = end == std::string_view::npos ? text.size() : end + 1;
            } else {
                return;
            }
        }
    }
    /// The next bare word in upper case ("" when a name or anything else comes).
    std::string word() {
        skip();
        // An executable comment reads as what it holds.
        if (text.compare(at, 3, "/*!") == 0) {
            at += 3;
            while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == 'M')) ++at;
            skip();
        }
        const auto begin = at;
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_')) ++at;
        return Core::ascii_upper(text.substr(begin, at - begin));
    }
    bool next_is(std::string_view expected) {
        const auto saved = at;
        if (word() == expected) return true;
        at = saved;
        return false;
    }
    /// The next name, where it begins and ends; nothing when no name comes.
    std::optional<std::pair<std::size_t, std::size_t>> name() {
        skip();
        const auto begin = at;
        if (at < text.size() && text[at] == '`') {
            for (++at; at < text.size(); ++at) {
                if (text[at] != '`') continue;
                if (at + 1 < text.size() && text[at + 1] == '`') {
                    ++at;
                    continue;
                }
                ++at;
                return std::make_pair(begin, at);
            }
            return std::nullopt;
        }
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_' ||
                                    text[at] == '$' || static_cast<unsigned char>(text[at]) >= 0x80))
            ++at;
        if (at == begin) return std::nullopt;
        return std::make_pair(begin, at);
    }
};

std::string name_value(std::string_view written) {
    if (written.empty() || written.front() != '`') return std::string(written);
    std::string value;
    for (std::size_t i = 1; i + 1 < written.size(); ++i) {
        value += written[i];
        if (written[i] == '`') ++i;
    }
    return value;
}

/// Where the statement names a schema itself (CREATE DATABASE x, USE x, …): the name's place.
std::optional<std::pair<std::size_t, std::size_t>> schema_name_place(std::string_view statement) {
    Words words{statement};
    const auto first = words.word();
    if (first == "USE") return words.name();
    if (first != "CREATE" && first != "ALTER" && first != "DROP") return std::nullopt;
    const auto second = words.word();
    if (second != "DATABASE" && second != "SCHEMA") return std::nullopt;
    if (first == "CREATE" && words.next_is("IF") && !(words.next_is("NOT") && words.next_is("EXISTS"))) return std::nullopt;
    if (first == "DROP" && words.next_is("IF") && !words.next_is("EXISTS")) return std::nullopt;
    return words.name();
}

/// Statements that set up the session rather than change the server: run again on a resume.
bool is_session_statement(std::string_view statement) {
    Words words{statement};
    const auto first = words.word();
    if (first == "SET") return words.word() != "GLOBAL";
    return first == "USE" || first == "LOCK" || first == "UNLOCK";
}

/// What a statement does to the script's own transactions.
enum class Transaction { NONE, OPEN, CLOSE, AUTOCOMMIT_OFF, AUTOCOMMIT_ON };

Transaction transaction_of(std::string_view statement) {
    Words words{statement};
    const auto first = words.word();
    if (first == "START") return words.next_is("TRANSACTION") ? Transaction::OPEN : Transaction::NONE;
    if (first == "BEGIN") return words.next_is("NOT") ? Transaction::NONE : Transaction::OPEN;
    if (first == "COMMIT" || first == "ROLLBACK") return words.next_is("TO") ? Transaction::NONE : Transaction::CLOSE;
    if (first == "SET" && words.next_is("AUTOCOMMIT")) {
        words.skip();
        if (words.at < statement.size() && statement[words.at] == '=') ++words.at;
        const auto value = words.word();
        return value == "0" || value == "OFF" ? Transaction::AUTOCOMMIT_OFF : Transaction::AUTOCOMMIT_ON;
    }
    return Transaction::NONE;
}

/// The table a plain INSERT [IGNORE] INTO writes, as written: what a resume counts to tell whether
/// the statement committed. Nothing for other statements, and for INSERTs whose count says nothing
/// (ON DUPLICATE KEY UPDATE changes rows rather than adding them).
std::optional<std::string> counted_insert_table(std::string_view statement) {
    Words words{statement};
    if (words.word() != "INSERT") return std::nullopt;
    (void)words.next_is("IGNORE");
    if (!words.next_is("INTO")) return std::nullopt;
    auto first = words.name();
    if (!first) return std::nullopt;
    std::string table(statement.substr(first->first, first->second - first->first));
    words.skip();
    if (words.at < statement.size() && statement[words.at] == '.') {
        ++words.at;
        auto second = words.name();
        if (!second) return std::nullopt;
        table += "." + std::string(statement.substr(second->first, second->second - second->first));
    }
    if (Core::contains_ascii_folded(statement, "duplicate")) return std::nullopt;
    return table;
}

// ---- Rows as a load ----

/// A multi-row INSERT of a dump of ours as a local data load: the statement, its file and rows.
struct InsertAsLoad {
    std::string statement;
    std::string data;
    std::int64_t rows = 0;
};

/// The load that stores what `statement` would, when it has exactly the shape dumps write
/// ("INSERT INTO `t` (`a`, …) VALUES\n(…),\n(…)" with NULL, numbers, '…' without a backslash,
/// _utf8mb4 X'…' texts and X'…' bytes); nothing for anything else, which runs as it is. The server
/// reads the load's fields several times faster than it parses the same rows as SQL.
std::optional<InsertAsLoad> insert_as_load(std::string_view statement) {
    static constexpr std::string_view kInsert = "INSERT INTO ";
    if (!statement.starts_with(kInsert)) return std::nullopt;
    Words words{statement, kInsert.size()};
    const auto table = words.name();
    if (!table || statement[table->first] != '`' || statement.compare(table->second, 2, " (") != 0) return std::nullopt;
    std::vector<std::string> columns;
    std::size_t at = table->second + 2;
    while (at < statement.size() && statement[at] == '`') {
        Words column{statement, at};
        const auto name = column.name();
        if (!name) return std::nullopt;
        columns.emplace_back(statement.substr(name->first, name->second - name->first));
        at = name->second;
        if (statement.compare(at, 2, ", ") == 0) at += 2;
    }
    static constexpr std::string_view kValues = ") VALUES\n";
    if (columns.empty() || statement.compare(at, kValues.size(), kValues) != 0) return std::nullopt;
    at += kValues.size();

    InsertAsLoad load;
    load.data.reserve(statement.size());
    // Per column: 0 not told yet (NULLs only), 1 text, 2 bytes (X'…', which go through UNHEX).
    std::vector<char> kinds(columns.size(), 0);
    std::string bytes;
    const auto decode_hex = [&](std::size_t from, std::size_t to) -> bool {
        if ((to - from) % 2 != 0) return false;
        bytes.clear();
        for (std::size_t i = from; i < to; i += 2) {
            const int high = g_ascii_xdigit_value(statement[i]);
            const int low = g_ascii_xdigit_value(statement[i + 1]);
            if (high < 0 || low < 0) return false;
            bytes += static_cast<char>(high * 16 + low);
        }
        return true;
    };
    const auto kind_is = [&](std::size_t column, char kind) {
        if (kinds[column] == 0) kinds[column] = kind;
        return kinds[column] == kind;
    };
    for (;;) {
        if (at >= statement.size() || statement[at] != '(') return std::nullopt;
        ++at;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c) {
                if (statement.compare(at, 2, ", ") != 0) return std::nullopt;
                at += 2;
                load.data += '\t';
            }
            if (at >= statement.size()) return std::nullopt;
            const char first = statement[at];
            if (statement.compare(at, 4, "NULL") == 0) {
                load.data += "\\N";
                at += 4;
            } else if (first == '\'') {
                if (!kind_is(c, 1)) return std::nullopt;
                ++at;
                for (;;) {
                    const auto end = statement.find('\'', at);
                    if (end == std::string_view::npos) return std::nullopt;
                    const auto piece = statement.substr(at, end - at);
                    // Under NO_BACKSLASH_ESCAPES a backslash means itself: such texts are not ours.
                    if (piece.find('\\') != std::string_view::npos) return std::nullopt;
                    Supports::Data::append_load_escaped(load.data, piece);
                    at = end + 1;
                    if (at < statement.size() && statement[at] == '\'') {
                        load.data += '\'';
                        ++at;
                        continue;
                    }
                    break;
                }
            } else if (statement.compare(at, 11, "_utf8mb4 X'") == 0 || statement.compare(at, 2, "X'") == 0) {
                const bool text = first == '_';
                if (!kind_is(c, text ? 1 : 2)) return std::nullopt;
                at += text ? 11 : 2;
                const auto end = statement.find('\'', at);
                if (end == std::string_view::npos) return std::nullopt;
                if (text) {
                    if (!decode_hex(at, end)) return std::nullopt;
                    Supports::Data::append_load_escaped(load.data, bytes);
                } else {
                    for (std::size_t i = at; i < end; ++i)
                        if (!g_ascii_isxdigit(statement[i])) return std::nullopt;
                    load.data.append(statement, at, end - at);
                }
                at = end + 1;
            } else {
                const auto begin = at;
                while (at < statement.size() &&
                       (std::isdigit(static_cast<unsigned char>(statement[at])) || statement[at] == '-' ||
                        statement[at] == '+' || statement[at] == '.' || statement[at] == 'e' || statement[at] == 'E'))
                    ++at;
                if (at == begin || !kind_is(c, 1)) return std::nullopt;
                load.data.append(statement, begin, at - begin);
            }
        }
        if (at >= statement.size() || statement[at] != ')') return std::nullopt;
        ++at;
        load.data += '\n';
        ++load.rows;
        if (statement.compare(at, 3, ",\n(") == 0) {
            at += 2;
            continue;
        }
        while (at < statement.size() && (std::isspace(static_cast<unsigned char>(statement[at])) || statement[at] == ';')) ++at;
        if (at != statement.size()) return std::nullopt;
        break;
    }
    std::vector<DataType> types;
    for (const char kind : kinds) types.push_back(kind == 2 ? DataType::BINARY : DataType::STRING);
    load.statement = Supports::Data::local_load_statement(
        {}, name_value(statement.substr(table->first, table->second - table->first)), columns, types);
    return load;
}

// ---- The journal ----

/// What a load has committed, file by file: "done" after each statement, "begin" with the count of
/// rows the table held before each counted INSERT, "finished" when a file is whole.
class Journal {
public:
    struct FileState {
        std::size_t done = 0;
        std::optional<std::size_t> begun;
        std::int64_t begun_count = 0;
        bool finished = false;
        /// Whether the earlier load stopped while a transaction of the script committed.
        bool committing = false;
        /// Whether the journal names the file at all.
        bool seen = false;
        std::optional<std::size_t> committing_at;
        /// The one table the transaction that was committing wrote, and its rows before and after.
        std::optional<std::string> commit_table;
        std::int64_t commit_before = 0;
        std::int64_t commit_after = 0;
    };

    Core::Status open(const std::string& path, const std::string& key, bool resume, std::vector<std::string>& notes) {
        const auto found = Supports::Data::JournalFile::read_lines(path);
        const bool exists = found.has_value();
        if (exists && !resume)
            return Core::fail("default", -1,
                              "an earlier load of this dump stopped before its end (its journal is " + path +
                                  "): --resume finishes it; remove the journal to load the dump from the start");
        if (!exists && resume) notes.push_back("no journal of an earlier load (" + path + "): loading from the start");
        if (exists) {
            const auto& lines = *found;
            if (lines.empty() || lines.front() != "ombrix-restore-journal 1\t" + escape_field(key))
                return Core::fail("default", -1,
                                  "the journal " + path +
                                      " is of a load of another dump or into another schema: it cannot be resumed here");
            for (std::size_t i = 1; i < lines.size(); ++i) {
                const auto parts = Core::split(lines[i], '\t');
                if (parts.size() < 2) continue;
                auto& state = m_files[unescape_field(parts[1])];
                state.seen = true;
                if (parts[0] == "done" && parts.size() == 3) {
                    state.done = std::max<std::size_t>(state.done, std::strtoull(parts[2].c_str(), nullptr, 10) + 1);
                } else if (parts[0] == "begin" && parts.size() == 4) {
                    state.begun = std::strtoull(parts[2].c_str(), nullptr, 10);
                    state.begun_count = std::strtoll(parts[3].c_str(), nullptr, 10);
                } else if (parts[0] == "finished") {
                    state.finished = true;
                } else if (parts[0] == "commit" && (parts.size() == 3 || parts.size() == 6)) {
                    state.committing_at = std::strtoull(parts[2].c_str(), nullptr, 10);
                    state.commit_table.reset();
                    if (parts.size() == 6) {
                        state.commit_table = unescape_field(parts[3]);
                        state.commit_before = std::strtoll(parts[4].c_str(), nullptr, 10);
                        state.commit_after = std::strtoll(parts[5].c_str(), nullptr, 10);
                    }
                }
            }
        }
        OMBRIX_RETURN_IF_ERROR(m_file.open(path, exists));
        if (!exists) return append("ombrix-restore-journal 1\t" + escape_field(key));
        return {};
    }

    FileState state(const std::string& file) const {
        const auto found = m_files.find(file);
        if (found == m_files.end()) return FileState{};
        FileState state = found->second;
        state.committing = state.committing_at && *state.committing_at >= state.done;
        return state;
    }
    Core::Status committing(const std::string& file, std::size_t index) {
        return append("commit\t" + escape_field(file) + "\t" + std::to_string(index));
    }
    Core::Status committing(const std::string& file, std::size_t index, const std::string& table, std::int64_t before,
                            std::int64_t after) {
        return append("commit\t" + escape_field(file) + "\t" + std::to_string(index) + "\t" + escape_field(table) + "\t" +
                      std::to_string(before) + "\t" + std::to_string(after));
    }
    Core::Status begin(const std::string& file, std::size_t index, std::int64_t count) {
        return append("begin\t" + escape_field(file) + "\t" + std::to_string(index) + "\t" + std::to_string(count));
    }
    Core::Status done(const std::string& file, std::size_t index) {
        return append("done\t" + escape_field(file) + "\t" + std::to_string(index));
    }
    Core::Status finished(const std::string& file) { return append("finished\t" + escape_field(file)); }

    /// The load is whole: nothing is left to resume.
    void remove() { m_file.remove(); }

private:
    Core::Status append(const std::string& line) { return m_file.append(line); }

    Supports::Data::JournalFile m_file;
    std::map<std::string, FileState> m_files;
};

/// A digest of the first megabyte and the size of `path`: what tells one dump file from another.
std::string file_identity(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return path;
    std::string head(1U << 20, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(head.data()), head.size());
    std::string identity = std::string(digest) + " " + std::to_string(size);
    g_free(digest);
    return identity;
}

// ---- Loading ----

/// One file to load: its path, the name the journal and messages give it, and the rows it holds.
struct Unit {
    std::string path;
    std::string name;
    const DumpFile* scope = nullptr;
    /// Whether its header names the schemas a target renames (a single-file dump).
    bool headed = false;
};

struct Loader {
    const RestoreOptions& options;
    Journal* journal = nullptr;
    std::string from;  // the schema renamed ("" for none)
    std::string to;
    std::string prefix;  // run before a plain script
    std::string key;     // the journal's key
    const std::function<void(const std::string&, std::size_t, std::size_t)>& progress;
    std::mutex lock;
    std::int64_t statements = 0;
    std::int64_t skipped = 0;

    /// Where the statements go: a dump of one schema (`schemas`, from its header or manifest) moves
    /// to the target schema; a plain script runs with it as its default schema.
    Core::Status choose_rename(const std::vector<std::string>& schemas) {
        if (options.target_schema.empty()) return {};
        if (schemas.size() > 1)
            return Core::fail("default", -1,
                              "the dump holds " + std::to_string(schemas.size()) +
                                  " schemas, which keep their names: a target schema renames a dump of one");
        if (schemas.size() == 1) {
            from = schemas.front();
            to = options.target_schema;
        } else {
            // A script of someone else's: its unqualified names go to the target schema.
            prefix = "USE " + DB::mariadb_quote_identifier(options.target_schema);
        }
        return {};
    }

    /// The rows each table's range held before the parallel loads of a directory began, by file.
    std::map<std::string, std::int64_t> counted_before;

    /// Counts each rows file's table (its key range) before several sessions load side by side,
    /// so that no count runs while another session loads the same table: InnoDB's bulk-insert path
    /// (a load into an empty table with unique and foreign-key checks off, as dumps set) can hang
    /// for good on MariaDB 10.11 together with a session estimating a key range of that table.
    void count_before(IConnection& connection, const std::vector<Unit>& units) {
        for (const auto& unit : units) {
            if (!unit.scope || unit.scope->table.empty()) continue;
            const std::string schema = !from.empty() && unit.scope->schema == from ? to : unit.scope->schema;
            const std::string table = DB::mariadb_quote_identifier(schema) + "." +
                                      DB::mariadb_quote_identifier(unit.scope->table);
            if (auto counted = count(connection, table, unit)) counted_before[unit.name] = *counted;
        }
    }

    Core::Result<std::int64_t> count(IConnection& connection, const std::string& table, const Unit& unit) {
        // A file's own table, counted before the loads began: nothing but this file writes its range.
        if (const auto found = counted_before.find(unit.name);
            found != counted_before.end() && unit.scope && table.ends_with(DB::mariadb_quote_identifier(unit.scope->table)))
            return found->second;
        std::string sql = "SELECT COUNT(*) FROM " + table;
        if (unit.scope && !unit.scope->range.empty()) sql += " WHERE " + unit.scope->range;
        auto counted = connection.execute_as_scalar(sql, false);
        OMBRIX_RETURN_IF_ERROR(counted);
        if (!*counted) return Core::fail("default", -1, "no count of " + table);
        return std::strtoll((*counted)->to_string().c_str(), nullptr, 10);
    }

    /// Whether the table a statement wrote has transactions (so that a statement is all or nothing).
    static Core::Result<bool> transactional(IConnection& connection, const std::string& table) {
        Words words{table};
        auto first = words.name();
        std::string schema_sql = "DATABASE()";
        std::string name = first ? name_value(table.substr(first->first, first->second - first->first)) : table;
        words.skip();
        if (words.at < table.size() && table[words.at] == '.') {
            ++words.at;
            if (auto second = words.name()) {
                schema_sql = DB::mariadb_quote_literal(name);
                name = name_value(table.substr(second->first, second->second - second->first));
            }
        }
        auto found = connection.execute_as_scalar(
            "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e ON e.ENGINE = "
            "t.ENGINE WHERE t.TABLE_SCHEMA = " + schema_sql + " AND t.TABLE_NAME = " + DB::mariadb_quote_literal(name),
            false);
        OMBRIX_RETURN_IF_ERROR(found);
        return *found && (*found)->to_string() == "YES";
    }

    /// Runs an INSERT; one of rows in bulk goes to the provider with its head alone logged, so that
    /// the log does not hold the dump's data a second time.
    static Core::Result<std::int64_t> insert(IConnection& connection, const std::string& sql) {
        static constexpr std::size_t kLoggedWhole = 1U << 16;
        auto provider = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection.get_provider());
        if (sql.size() <= kLoggedWhole || !provider) return connection.execute_no_query(sql, false);
        const auto server = connection.get_server();
        const std::string uuid = server ? server->get_uuid() : std::string();
        Foundation::LoggingService::info(uuid.empty() ? nullptr : uuid.c_str(), "SQL: %s… (%zu bytes)",
                                         sql.substr(0, 200).c_str(), sql.size());
        return provider->execute_affect(sql, false);
    }

    /// Stores the rows of an INSERT into `table`: as a local data load in a transaction of its own
    /// when `may_load` (a dump of ours, outside a transaction of the script's and outside history
    /// rows) and the table has transactions, so that the load too is all or nothing; else as it is.
    static Core::Result<std::int64_t> store_rows(IConnection& connection, const std::string& sql, const std::string& table,
                                                 bool may_load, std::map<std::string, bool>& loads) {
        auto provider = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection.get_provider());
        if (may_load && provider) {
            auto known = loads.find(table);
            if (known == loads.end()) {
                auto whole = transactional(connection, table);
                OMBRIX_RETURN_IF_ERROR(whole);
                known = loads.emplace(table, *whole).first;
            }
            if (known->second) {
                if (auto load = insert_as_load(sql)) {
                    OMBRIX_RETURN_IF_ERROR(Supports::Data::load_batch(*provider, load->statement, load->data, load->rows, true));
                    return load->rows;
                }
            }
        }
        return insert(connection, sql);
    }

    Core::Status run(IConnection& connection, const std::string& sql) {
        auto results = connection.execute(sql, false);
        OMBRIX_RETURN_IF_ERROR(results);
        for (const auto& result : *results)
            if (auto error = std::dynamic_pointer_cast<Providers::Contracts::ValueError>(result))
                return Core::fail("MariaDB", error->get_code(), error->get_message());
        return {};
    }

    Core::Status load(IConnection& connection, const Unit& unit) {
        const auto state = journal ? journal->state(unit.name) : Journal::FileState{};
        if (state.finished) {
            std::lock_guard guard(lock);
            skipped += static_cast<std::int64_t>(state.done);
            return {};
        }
        // A session of an earlier load that lost its client may still be running its last statement;
        // the count that tells whether it committed waits for it to end. The lock is the session's
        // and goes with it.
        std::string lock_name;
        if (journal) {
            gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, (key + "\n" + unit.name).c_str(), -1);
            lock_name = DB::mariadb_quote_literal(std::string("ombrix-restore-") + std::string(digest).substr(0, 40));
            g_free(digest);
            auto locked = connection.execute_as_scalar("SELECT GET_LOCK(" + lock_name + ", 3600)", false);
            OMBRIX_RETURN_IF_ERROR(locked);
            if (!*locked || (*locked)->to_string() != "1")
                return Core::fail("default", -1, "another load of " + unit.name + " is still running");
        }
        struct Release {
            Loader& loader;
            IConnection& connection;
            const std::string& name;
            ~Release() {
                if (!name.empty()) (void)loader.run(connection, "DO RELEASE_LOCK(" + name + ")");
            }
        } release{*this, connection, lock_name};
        if (!prefix.empty() && !unit.headed) OMBRIX_RETURN_IF_ERROR(run(connection, prefix));

        // The script is read a piece at a time: memory holds a piece and the statement in hand.
        auto opened = Supports::Data::UncompressedReader::open(unit.path);
        if (!opened) return Core::fail("default", -1, "cannot read " + unit.path + ": " + opened.error().message);
        auto& reader = *opened;
        DB::ScriptSplitter splitter;
        std::string piece;
        std::size_t piece_size = 1U << 22;
        std::size_t index = 0;
        bool ended = false;
        bool headed = false;
        // Whether statements run inside a transaction of the script's own (their commit is its
        // COMMIT's), and whether the script turned autocommit off.
        bool explicit_transaction = false;
        bool autocommit_off = false;
        // The rows each table held, as far as this file knows, before its next INSERT.
        std::map<std::string, std::int64_t> held;
        // In the transaction under way: the rows of each table it wrote before it and now, and
        // whether it did anything else (so that counts cannot tell whether it committed).
        std::map<std::string, std::pair<std::int64_t, std::int64_t>> written;
        bool unclear = false;
        // Whether the file is a dump of ours (its rows may go as loads), whether history rows are
        // being written, and which tables have transactions.
        bool ours = unit.scope != nullptr;
        bool history = false;
        std::map<std::string, bool> loads;
        // Statements the earlier load committed, and whether its last commit was looked into.
        std::size_t done = state.done;
        bool resolved = false;
        while (!ended) {
            std::vector<DB::ScriptStatement> script;
            {
                piece.resize(piece_size);
                auto got = reader->read(piece.data(), piece.size());
                if (!got) return Core::fail("default", -1, "cannot read " + unit.path + ": " + got.error().message);
                piece.resize(*got);
                if (unit.headed && index == 0 && splitter.pending() == 0 && !headed) {
                    // The header comes first: it says what a target schema renames.
                    headed = true;
                    const auto schemas = dump_header_schemas(piece);
                    ours = !schemas.empty();
                    OMBRIX_RETURN_IF_ERROR(choose_rename(schemas));
                    if (!prefix.empty()) OMBRIX_RETURN_IF_ERROR(run(connection, prefix));
                }
                if (*got == 0) {
                    script = splitter.finish();
                    ended = true;
                } else {
                    script = splitter.feed(piece);
                    // A statement longer than a piece: read it in bigger ones rather than splitting
                    // its start again and again.
                    if (script.empty() && splitter.pending() >= piece_size) piece_size *= 2;
                }
            }
            for (auto& item : script) {
                const std::size_t i = index++;
                if (progress) {
                    std::lock_guard guard(lock);
                    progress(unit.name, i + 1, 0);
                }
                const std::string statement = from.empty() ? std::move(item.text) : rename_schema_in(item.text, from, to);
                const bool session = is_session_statement(statement);
                const Transaction transaction = transaction_of(statement);
                const std::string first_word = Words{statement}.word();
                const auto failed = [&](const Core::Error& error) {
                    return Core::fail(error.domain, error.code,
                                      unit.name + ", statement " + std::to_string(i + 1) + " (line " +
                                          std::to_string(item.line) + ") failed: " + error.domain + " error " +
                                          std::to_string(error.code) + ": " + error.message);
                };
                const bool was_in_transaction = explicit_transaction || autocommit_off;
                if (transaction == Transaction::OPEN) explicit_transaction = true;
                if (transaction == Transaction::AUTOCOMMIT_OFF) autocommit_off = true;
                if (transaction == Transaction::AUTOCOMMIT_ON) autocommit_off = false;
                if (transaction == Transaction::CLOSE || transaction == Transaction::AUTOCOMMIT_ON)
                    explicit_transaction = false;
                const bool in_transaction = explicit_transaction || autocommit_off;
                const bool commits = was_in_transaction && ((transaction == Transaction::CLOSE && first_word == "COMMIT") ||
                                                            transaction == Transaction::AUTOCOMMIT_ON);

                // Where the earlier load stopped while a transaction committed, the count of the one
                // table it wrote tells whether the commit took.
                if (state.committing && i == state.done && !resolved) {
                    resolved = true;
                    if (!state.commit_table)
                        return Core::fail("default", -1,
                                          unit.name + ", statement " + std::to_string(*state.committing_at + 1) +
                                              ": the earlier load stopped while a transaction committed, and nothing "
                                              "tells whether it did; load the dump again from the start");
                    auto now = count(connection, *state.commit_table, unit);
                    if (!now) return failed(now.error());
                    if (*now == state.commit_after) {
                        done = *state.committing_at + 1;
                    } else if (*now != state.commit_before) {
                        return Core::fail("default", -1,
                                          unit.name + ": " + *state.commit_table + " holds " + std::to_string(*now) +
                                              " rows, neither what it held before the transaction the earlier load "
                                              "stopped in nor after it; load the dump again from the start");
                    }
                    held[*state.commit_table] = *now;
                }
                if (i < done && !session && transaction == Transaction::NONE) {
                    std::lock_guard guard(lock);
                    ++skipped;
                    continue;
                }
                if (session && first_word == "SET" && statement.find("system_versioning_insert_history") != std::string::npos)
                    history = statement.find("= 1") != std::string::npos;
                const bool may_load = ours && !history && !in_transaction;
                const auto into =
                    first_word == "INSERT" && (journal || may_load) ? counted_insert_table(statement) : std::nullopt;
                const auto inserted = journal ? into : std::nullopt;
                const bool uncertain = state.seen && i == state.done && done == state.done && !session;
                if (!in_transaction && uncertain && state.begun == i && inserted) {
                    // The earlier load began this INSERT and did not hear back: the count tells.
                    auto now = count(connection, *inserted, unit);
                    if (!now) return failed(now.error());
                    if (*now != state.begun_count) {
                        auto whole = transactional(connection, *inserted);
                        if (!whole) return failed(whole.error());
                        if (!*whole)
                            return Core::fail("default", -1,
                                              unit.name + ", statement " + std::to_string(i + 1) +
                                                  ": the earlier load may have stored part of it in " + *inserted +
                                                  ", which has no transactions; load the dump again from the start");
                        held[*inserted] = *now;
                        OMBRIX_RETURN_IF_ERROR(journal->done(unit.name, i));
                        std::lock_guard guard(lock);
                        ++skipped;
                        continue;
                    }
                } else if (!in_transaction && uncertain && journal && !inserted && first_word == "INSERT") {
                    return Core::fail("default", -1,
                                      unit.name + ", statement " + std::to_string(i + 1) +
                                          ": the earlier load may have committed it, and nothing tells whether it "
                                          "did; load the dump again from the start");
                }
                if (inserted) {
                    if (!held.contains(*inserted)) {
                        auto before = count(connection, *inserted, unit);
                        if (!before) return failed(before.error());
                        held[*inserted] = *before;
                    }
                    if (in_transaction)
                        written.try_emplace(*inserted, held[*inserted], held[*inserted]);
                    else
                        OMBRIX_RETURN_IF_ERROR(journal->begin(unit.name, i, held[*inserted]));
                    auto added = store_rows(connection, statement, *inserted, may_load, loads);
                    // Sessions loading key ranges of one table side by side may meet in a deadlock,
                    // which undoes the statement alone (outside a transaction of the script's own):
                    // it runs again.
                    for (int attempt = 1; !added && !in_transaction && added.error().domain == "MariaDB" &&
                                          added.error().code == 1213 && attempt < 5;
                         ++attempt) {
                        g_usleep(static_cast<gulong>(20000 * attempt));
                        added = store_rows(connection, statement, *inserted, may_load, loads);
                    }
                    if (!added) return failed(added.error());
                    held[*inserted] += *added;
                    if (in_transaction) written[*inserted].second = held[*inserted];
                } else {
                    if (journal && commits) {
                        if (written.size() == 1 && !unclear)
                            OMBRIX_RETURN_IF_ERROR(journal->committing(unit.name, i, written.begin()->first,
                                                                       written.begin()->second.first,
                                                                       written.begin()->second.second));
                        else
                            OMBRIX_RETURN_IF_ERROR(journal->committing(unit.name, i));
                    }
                    Core::Status ran;
                    if (into && may_load) {
                        auto added = store_rows(connection, statement, *into, may_load, loads);
                        if (!added) ran = Core::fail(added.error());
                    } else {
                        ran = run(connection, statement);
                    }
                    // What a statement the earlier load may have run leaves behind is no failure.
                    static constexpr int kExists[] = {1007, 1050, 1304, 1359, 1537, 1061, 1826};
                    if (!ran && !(uncertain && ran.error().domain == "MariaDB" &&
                                  std::find(std::begin(kExists), std::end(kExists), ran.error().code) != std::end(kExists)))
                        return failed(ran.error());
                    // A rolled back transaction leaves its tables as they were.
                    if (transaction == Transaction::CLOSE && first_word == "ROLLBACK")
                        for (const auto& [table, counts] : written) held[table] = counts.first;
                    if (in_transaction && !session && transaction == Transaction::NONE) unclear = true;
                }
                if (transaction != Transaction::NONE) {
                    written.clear();
                    unclear = false;
                }
                // Inside a transaction of the script's own, nothing is committed before its end.
                if (journal && (!in_transaction || commits)) OMBRIX_RETURN_IF_ERROR(journal->done(unit.name, i));
                std::lock_guard guard(lock);
                ++statements;
            }
        }
        if (journal) OMBRIX_RETURN_IF_ERROR(journal->finished(unit.name));
        return {};
    }
};

}  // namespace

std::string restore_journal_path(const std::string& path) {
    if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) return path + G_DIR_SEPARATOR_S + "ombrix-restore.journal";
    return path + ".ombrix-journal";
}

namespace {

/// Whether `statement` may use `name` as a qualifier: somewhere it stands (bare or quoted) before a
/// period. A quick look that spares the full reading of statements that cannot.
bool may_qualify(std::string_view statement, const std::string& name) {
    for (const std::string& written : {name, DB::mariadb_quote_identifier(name)}) {
        for (auto at = statement.find(written); at != std::string_view::npos; at = statement.find(written, at + 1)) {
            auto after = at + written.size();
            while (after < statement.size() && std::isspace(static_cast<unsigned char>(statement[after]))) ++after;
            if (after < statement.size() && statement[after] == '.') return true;
        }
    }
    return false;
}

}  // namespace

std::string rename_schema_in(std::string_view statement, const std::string& from, const std::string& to) {
    if (from == to) return std::string(statement);
    const auto place = schema_name_place(statement);
    if (!place && !may_qualify(statement, from)) return std::string(statement);
    std::string text(statement);
    if (place && name_value(std::string_view(text).substr(place->first, place->second - place->first)) == from)
        text.replace(place->first, place->second - place->first, DB::mariadb_quote_identifier(to));
    return DB::requalify(text, from, to);
}

Core::Result<RestoreReport> restore_dump(const std::shared_ptr<IConnection>& target, const RestoreOptions& options,
                                         const std::function<void(const std::string&, std::size_t, std::size_t)>& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(target, Core::fail("default", -1, "no target connection"));
    RestoreReport report;
    const bool directory = options.path != "-" && g_file_test(options.path.c_str(), G_FILE_TEST_IS_DIR);
    if (options.resume && options.path == "-")
        return Core::fail("default", -1, "a load from standard input cannot be resumed: it has no journal");

    std::optional<DumpManifest> manifest;
    std::vector<std::string> schemas;
    std::vector<Unit> structure, rows, programs;
    if (directory) {
        auto read = read_dump_manifest(options.path);
        OMBRIX_RETURN_IF_ERROR(read);
        manifest = std::move(*read);
        schemas = manifest->schemas;
        for (const auto& file : manifest->files) {
            Unit unit{options.path + G_DIR_SEPARATOR_S + file.name, file.name, &file, false};
            (file.kind == DumpFile::Kind::STRUCTURE ? structure : file.kind == DumpFile::Kind::ROWS ? rows : programs)
                .push_back(unit);
        }
    } else {
        // Its schemas are known once its header is read.
        structure.push_back(Unit{options.path, options.path, nullptr, true});
    }

    Loader loader{options, nullptr, {}, {}, {}, {}, progress};
    if (directory) OMBRIX_RETURN_IF_ERROR(loader.choose_rename(schemas));

    Journal journal;
    if (options.path != "-") {
        std::string identity;
        if (manifest) {
            gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, manifest->text.c_str(), -1);
            identity = digest;
            g_free(digest);
        } else {
            identity = file_identity(options.path);
        }
        const std::string key =
            identity + " into " + (options.target_schema.empty() ? "(its own schemas)" : options.target_schema);
        OMBRIX_RETURN_IF_ERROR(journal.open(restore_journal_path(options.path), key, options.resume, report.notes));
        loader.journal = &journal;
        loader.key = key;
    }

    for (const auto& unit : structure) OMBRIX_RETURN_IF_ERROR(loader.load(*target, unit));
    if (!rows.empty()) {
        std::vector<std::shared_ptr<IConnection>> sessions;
        const int wanted = std::min<int>(std::max(1, options.parallel), static_cast<int>(rows.size()));
        if (loader.journal && wanted > 1) loader.count_before(*target, rows);
        for (int i = 1; i < wanted && options.connect; ++i) {
            auto session = options.connect();
            OMBRIX_RETURN_IF_ERROR(session);
            sessions.push_back(std::move(*session));
        }
        std::mutex lock;
        std::size_t next = 0;
        std::optional<Core::Error> failure;
        const auto work = [&](IConnection& connection) {
            for (;;) {
                std::size_t index = 0;
                {
                    std::lock_guard guard(lock);
                    if (failure || next == rows.size()) return;
                    index = next++;
                }
                auto loaded = loader.load(connection, rows[index]);
                std::lock_guard guard(lock);
                if (!loaded && !failure) failure = loaded.error();
            }
        };
        std::vector<std::thread> threads;
        for (const auto& session : sessions) threads.emplace_back([&, session] { work(*session); });
        work(*target);
        for (auto& thread : threads) thread.join();
        for (const auto& session : sessions) session->close();
        if (failure) return Core::fail(*failure);
    }
    for (const auto& unit : programs) OMBRIX_RETURN_IF_ERROR(loader.load(*target, unit));
    journal.remove();
    report.files = static_cast<std::int64_t>(structure.size() + rows.size() + programs.size());
    report.statements = loader.statements;
    report.skipped = loader.skipped;
    return report;
}

}  // namespace Ombrix::Solvane::Transform
