// Hostile names through every part of the system, on a server of the test's own (so that a
// before-and-after snapshot of the whole server is exact while other tests share the sandbox):
// 301 names generated from a fixed seed become schemas, tables, columns, indexes, views,
// routines, triggers, events and users; the builder creates them, the explorer lists them, the
// adapter reads them, the transfer copies them (command line and library), the extractors carry
// them through CSV, TSV, JSON, XML and SQL, and every name must come back byte for byte.
//
// The server's rules the generator keeps (probed where they vary between servers):
// - no name ends with a blank (refused; a user name would lose it silently);
// - identifiers are utf8mb3 on servers whose system character set is utf8mb3: a 4-byte UTF-8
//   character is refused in a name (and stored as '?' in a user name or comment), so 4-byte
//   characters then travel in cell data only;
// - 64 characters (not bytes) at most;
// - an account is named user@host and split at its first at sign, so a user name holds none;
// - schema, table, view and trigger names are file names on the server, where every character
//   but [0-9A-Za-z_] takes up to five bytes: they stay within 200 encoded bytes;
// - a column alias loses its leading blanks, so a view names such a column without them;
// - names equal under the catalogue's case- and accent-insensitive collation are one name, so
//   every generated name carries a number of its own, the only digits in it.
#include <gtest/gtest.h>
#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "solvane/Contracts/Transform/thread_progress.hpp"
#include "solvane/Model/Constraints/check.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/index.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Transform/transfer.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/second_server.hpp"
#include "tests/support/temp_dir.hpp"

// A namespace of its own: the unity build puts this file together with others.
namespace {
namespace names_round_trip {

namespace DB = Ombrix::Solvane::Supports::Database;
namespace MM = Ombrix::Solvane::MetaModel;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::DBObject;
using Ombrix::Testing::describe;
using Ombrix::Testing::SecondServer;
using Ombrix::Testing::TempDir;
using Texts = std::vector<std::string>;
// Multisets: a name listed twice is a fault of its own.
using Lines = std::multiset<std::string>;

// The test's own quoting, independent of the library's.
std::string q(std::string_view name) {
    std::string out = "`";
    for (const char c : name) out += c == '`' ? std::string("``") : std::string(1, c);
    return out + "`";
}
std::string lit(std::string_view text) {
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("''") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out + "'";
}

/// A name as a failure shows it: between brackets and as bytes, so that a lost blank or a
/// changed byte is visible.
std::string shown(std::string_view name) {
    static const char* const digits = "0123456789abcdef";
    std::string out = "[" + std::string(name) + "] (";
    for (const unsigned char c : name) out += std::string{digits[c >> 4], digits[c & 15]};
    return out + ")";
}

/// Inventory lines hold names joined by a byte no name holds.
constexpr char kSep = '\x1f';
std::string line(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const auto part : parts) out += (out.empty() ? "" : std::string(1, kSep)) + std::string(part);
    return out;
}

/// Fails with every line one side has and the other lacks, each name shown byte by byte.
void expect_same(const Lines& actual, const Lines& expected, const std::string& what) {
    std::string missing, extra;
    const auto render = [](const std::string& text) {
        std::string out;
        std::size_t at = 0;
        for (std::size_t next; (next = text.find(kSep, at)) != std::string::npos; at = next + 1)
            out += shown(text.substr(at, next - at)) + " ";
        return out + shown(text.substr(at));
    };
    Texts lacking, surplus;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(lacking));
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(surplus));
    for (const auto& l : lacking) missing += "\n  missing: " + render(l);
    for (const auto& l : surplus) extra += "\n  unexpected: " + render(l);
    EXPECT_TRUE(missing.empty() && extra.empty()) << what << missing << extra;
}

// ---------------------------------------------------------------- the names

enum class Kind { Schema, Table, Column, Index, View, Routine, Trigger, Event, User };

struct KindPlan {
    Kind kind;
    const char* label;
    int count;
};
// 301 names. Schemas: three built, and the two targets of the copies, whose names differ from
// their sources' in letter case alone (the server keeps such schemas apart, its catalogue may
// not). Tables: nine per built schema, plus the exchange table, its sibling and their
// six copies. Columns: three per ordinary table, fourteen in the exchange table, six in its
// sibling. Indexes: one per ordinary table, a unique one on every third, four made on their own.
// Views, triggers and events: nine, nine and seven per schema; routines: five functions and five
// procedures per schema; users: fifteen.
constexpr KindPlan kPlan[] = {
    {Kind::Schema, "schema", 5},    {Kind::Table, "table", 35}, {Kind::Column, "column", 101},
    {Kind::Index, "index", 40},     {Kind::View, "view", 27},   {Kind::Routine, "routine", 30},
    {Kind::Trigger, "trigger", 27}, {Kind::Event, "event", 21}, {Kind::User, "user", 15}};

// Hand-made names handed out first: injection-shaped text, lone quoting characters, pattern
// characters, reserved words, and pairs that differ in letter case alone where the server keeps
// such names apart (schemas, tables and views, triggers, users). None holds a digit, so none
// meets a generated name.
const std::map<Kind, Texts> kFixed = {
    {Kind::Schema,
     {"x`; DROP DATABASE mysql; --", "%_\\' sixty-four characters: é€中 select `ORDER` from \"where\" .xyz", " a.b\"c",
      "X`; drop database MYSQL; --", "%_\\' SIXTY-FOUR CHARACTERS: É€中 SELECT `order` FROM \"WHERE\" .XYZ"}},
    {Kind::Table, {"'", "`", "\\", "\"", ".", "%", "_", "select", "a.b", "``", "' OR ''='", " lead"}},
    {Kind::Column, {"'", "`", "\\", "\"", "%", "_", ".", "Order", " x", "a\\`b'c\"d"}},
    {Kind::Index, {"`", "'", "%_", "Key", "a.b"}},
    {Kind::View, {"SELECT", "''", "\\\\", "from", "v.w"}},
    {Kind::Routine, {"'", "`", "Procedure", "%"}},
    {Kind::Trigger, {"\"", "`'", "trigger", "TRIGGER"}},
    {Kind::Event, {"'", "``", "Event.x"}},
    {Kind::User, {"'", "`", "%", " u\\", "Select", "\\\"", "sELECT"}},
};

std::size_t code_points(std::string_view text) {
    std::size_t n = 0;
    for (const unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

/// The first `count` characters of `text`.
std::string first_code_points(const std::string& text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && n++ == count) break;
    return text.substr(0, at);
}

/// What a name takes as a file name on the server, at most.
std::size_t file_name_bytes(std::string_view name) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if ((c & 0xC0) == 0x80) continue;
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bytes += plain ? 1 : 5;
    }
    return bytes;
}

class NameGenerator {
public:
    NameGenerator(unsigned seed, bool four_byte_names) : m_random(seed), m_four_byte(four_byte_names) {}

    /// The next name for `kind`.
    std::string next(Kind kind) {
        auto& fixed = m_fixed_used[kind];
        if (kFixed.contains(kind) && fixed < kFixed.at(kind).size()) return kFixed.at(kind)[fixed++];
        const std::string tag = std::to_string(m_serial++);
        // Every fourth name of a kind is as long as a name may be.
        const bool long_name = m_generated[kind]++ % 4 == 1;
        const bool file_backed =
            kind == Kind::Schema || kind == Kind::Table || kind == Kind::View || kind == Kind::Trigger;
        for (;;) {
            std::string name = chance(15) ? " " : "";
            if (long_name) {
                name += tag;
                while (code_points(name) < 64) name += piece(kind);
                name = first_code_points(name, 64);
            } else {
                const std::size_t pieces = 1 + pick(5);
                const std::size_t at = pick(pieces + 1);
                for (std::size_t i = 0; i <= pieces; ++i) {
                    if (i == at) name += tag;
                    if (i < pieces) name += piece(kind);
                }
            }
            if (name.back() == ' ') name.back() = 'z';
            if (!file_backed || file_name_bytes(name) <= 200) return name;
        }
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }
    bool chance(std::size_t percent) { return pick(100) < percent; }
    std::string pick_of(std::initializer_list<const char*> list) { return *(list.begin() + pick(list.size())); }

    std::string piece(Kind kind) {
        switch (pick(5)) {
            case 0:
                return pick_of({"select", "ORDER", "Key", "from", "TaBle", "group", "Where", "index", "DESC", "use",
                                "Null", "default", "Trigger", "procedure", "column", "LIKE", "update"});
            case 1: {
                std::string letters;
                for (std::size_t n = 1 + pick(3); n > 0; --n)
                    letters += static_cast<char>((chance(50) ? 'a' : 'A') + static_cast<char>(pick(26)));
                return letters;
            }
            case 2:
                if (m_four_byte && kind != Kind::User && chance(40)) return pick_of({"😀", "𝄞", "𠜎"});
                return pick_of({"é", "Ä", "ß", "€", "中", "ж", "Ω"});
            default:
                return pick_of({"'", "\"", "`", "\\", "%", "_", ".", " "});
        }
    }

    std::mt19937 m_random;
    bool m_four_byte;
    int m_serial = 0;
    std::map<Kind, std::size_t> m_fixed_used;
    std::map<Kind, std::size_t> m_generated;
};

// ---------------------------------------------------------------- the private server

/// A plain client session on the test's server, for setting up and for the snapshots.
class Client {
public:
    Client(const std::string& port, const std::string& password) : m_mysql(mysql_init(nullptr)) {
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        m_open = mysql_real_connect(m_mysql, "127.0.0.1", "root", password.c_str(), nullptr,
                                    static_cast<unsigned>(std::atoi(port.c_str())), nullptr, 0) != nullptr;
    }
    ~Client() { mysql_close(m_mysql); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool open() const { return m_open; }
    /// Runs one statement; "" on success, else the server's message.
    std::string run(const std::string& sql) {
        if (mysql_real_query(m_mysql, sql.data(), sql.size()) != 0) return mysql_error(m_mysql);
        if (MYSQL_RES* result = mysql_store_result(m_mysql)) mysql_free_result(result);
        return {};
    }
    /// Each row's cells joined by the inventory separator (NULL as "NULL").
    Lines rows(const std::string& sql) {
        Lines out;
        if (mysql_real_query(m_mysql, sql.data(), sql.size()) != 0) {
            ADD_FAILURE() << mysql_error(m_mysql) << " in: " << sql;
            return out;
        }
        MYSQL_RES* result = mysql_store_result(m_mysql);
        if (!result) return out;
        const unsigned fields = mysql_num_fields(result);
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            const unsigned long* lengths = mysql_fetch_lengths(result);
            std::string text;
            for (unsigned i = 0; i < fields; ++i)
                text += (i ? std::string(1, kSep) : "") + (row[i] ? std::string(row[i], lengths[i]) : "NULL");
            out.insert(text);
        }
        mysql_free_result(result);
        return out;
    }

private:
    MYSQL* m_mysql;
    bool m_open = false;
};

/// Everything on the server that has a name, for the before-and-after comparison.
Lines server_snapshot(Client& client) {
    Lines all;
    for (const char* sql : {
             "SELECT 'schema', SCHEMA_NAME, DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA",
             "SELECT 'account', User, Host, Priv FROM mysql.global_priv",
             "SELECT 'db grant', Host, Db, User FROM mysql.db",
             "SELECT 'table grant', Host, Db, User, Table_name FROM mysql.tables_priv",
             "SELECT 'role', Host, User, Role FROM mysql.roles_mapping",
             "SELECT 'table', TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES",
             "SELECT 'column', TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS",
             "SELECT 'index', TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, COLUMN_NAME FROM information_schema.STATISTICS",
             "SELECT 'routine', ROUTINE_SCHEMA, ROUTINE_NAME, ROUTINE_TYPE FROM information_schema.ROUTINES",
             "SELECT 'trigger', TRIGGER_SCHEMA, TRIGGER_NAME FROM information_schema.TRIGGERS",
             "SELECT 'event', EVENT_SCHEMA, EVENT_NAME FROM information_schema.EVENTS",
         })
        all.merge(client.rows(sql));
    return all;
}

// ---------------------------------------------------------------- what the test builds

struct TableShape {
    std::string name;
    Texts columns;       // the first is the primary key (INT), the second a VARCHAR, the rest INT or VARCHAR
    Texts text_columns;  // which of them are VARCHAR
};

struct SchemaShape {
    std::string name;
    std::shared_ptr<MM::MetaSchema> model;
    std::vector<std::shared_ptr<MM::MetaIndex>> loose_indexes;  // made by CREATE INDEX of their own
    std::vector<Texts> loose_columns;                           // and the names of their columns
};

/// A view definition as the server reads it: a column alias loses its leading blanks ("` a` AS ` a`"
/// gives a column "a"), so a definition written with them and one read back differ by them alone.
std::string without_alias_blanks(std::string text) {
    static constexpr std::string_view kAlias = "` AS `";
    for (auto at = text.find(kAlias); at != std::string::npos; at = text.find(kAlias, at + 1)) {
        const auto name = at + kAlias.size();
        text.erase(name, std::min(text.find_first_not_of(' ', name), text.size()) - name);
    }
    return text;
}

/// Each object of a schema model as a line: tables, columns (in order), primary keys, indexes with
/// their columns, triggers, views with their columns, functions, procedures and events. With
/// `bodies` also the SQL each carries, the schema's own name in it read as "<self>".
Lines inventory(const MM::MetaSchema& schema, bool bodies = false) {
    Lines out;
    const auto self = [&](std::string text) {
        const std::string own = q(schema.get_name());
        for (auto at = text.find(own); at != std::string::npos; at = text.find(own, at))
            text.replace(at, own.size(), "<self>");
        return text;
    };
    for (const auto& table : *schema.get_tables()) {
        const std::string& t = table->get_name();
        out.insert(line({"table", t}));
        int position = 0;
        for (const auto& column : *table->get_columns()) {
            out.insert(line({"column", t, std::to_string(++position), column->get_name()}));
            if (column->get_is_primary_key()) out.insert(line({"primary key", t, column->get_name()}));
        }
        for (const auto& index : *table->get_indexes()) {
            std::string columns;
            for (const auto& part : index->get_columns())
                columns += (columns.empty() ? "" : std::string(1, kSep)) + part;
            out.insert(line({"index", t, index->get_name(), columns}));
        }
        for (const auto& constraint : *table->get_constraints())
            if (auto check = std::dynamic_pointer_cast<MM::MetaCheck>(constraint)) {
                out.insert(line({"check", t, check->get_name()}));
                if (bodies) out.insert(line({"check clause", t, check->get_name(), check->get_check()}));
            }
        for (const auto& trigger : *table->get_triggers()) {
            out.insert(line({"trigger", t, trigger->get_name()}));
            if (bodies) out.insert(line({"trigger body", trigger->get_name(), self(trigger->get_body())}));
        }
    }
    for (const auto& view : *schema.get_views()) {
        out.insert(line({"view", view->get_name()}));
        for (const auto& column : *view->get_columns())
            out.insert(line({"view column", view->get_name(), column->get_name()}));
        if (bodies)
            out.insert(line({"view body", view->get_name(), self(without_alias_blanks(view->get_definition()))}));
    }
    for (const auto& function : *schema.get_functions()) {
        out.insert(line({"function", function->get_name()}));
        if (bodies) {
            out.insert(line({"function body", function->get_name(), self(function->get_body())}));
            for (const auto& parameter : function->get_parameters())
                out.insert(line({"parameter", function->get_name(), parameter}));
        }
    }
    for (const auto& procedure : *schema.get_procedures()) {
        out.insert(line({"procedure", procedure->get_name()}));
        if (bodies) {
            out.insert(line({"procedure body", procedure->get_name(), self(procedure->get_body())}));
            for (const auto& parameter : procedure->get_parameters())
                out.insert(line({"parameter", procedure->get_name(), parameter}));
        }
    }
    for (const auto& event : *schema.get_events()) {
        out.insert(line({"event", event->get_name()}));
        if (bodies) out.insert(line({"event body", event->get_name(), self(event->get_body())}));
    }
    return out;
}

std::shared_ptr<MM::MetaColumn> column_of(const std::string& name, bool text) {
    auto column = text ? MM::MetaColumn::with_type(name, DataType::STRING, "VARCHAR")
                       : MM::MetaColumn::with_type(name, DataType::INT32, "INT");
    if (text) column->set_length(100);
    return column;
}

/// A table model: the first column the primary key, the text columns VARCHAR(100), the others INT.
std::shared_ptr<MM::MetaTable> table_model(const std::string& schema, const TableShape& shape) {
    auto table = MM::MetaTable::with_names(schema, schema, shape.name);
    for (const auto& name : shape.columns) {
        const bool text =
            std::find(shape.text_columns.begin(), shape.text_columns.end(), name) != shape.text_columns.end();
        auto column = column_of(name, text);
        if (name == shape.columns.front()) {
            column->set_not_null(true);
            column->set_is_primary_key(true);
            column->set_primary_ordinal(1);
        }
        table->get_columns()->append(column);
    }
    table->set_option("ENGINE", "InnoDB");
    return table;
}

/// Cells that break naive formats, 4-byte UTF-8 among them (which names cannot hold here).
const Texts kCells = {"quote ' and \" and ` and \\ and %_",
                      "4-byte \xF0\x9F\x98\x80 \xF0\x9D\x84\x9E \xF0\xA0\x9C\x8E",
                      "comma, semicolon; tab\there",
                      "line\nbreak\r\nand \\N",
                      "NULL",
                      ""};

std::string insert_rows(const std::string& schema, const TableShape& shape, int rows) {
    std::string sql = "INSERT INTO " + q(schema) + "." + q(shape.name) + " VALUES ";
    for (int r = 0; r < rows; ++r) {
        sql += r ? ", (" : "(";
        for (std::size_t c = 0; c < shape.columns.size(); ++c) {
            const bool text = std::find(shape.text_columns.begin(), shape.text_columns.end(), shape.columns[c]) !=
                              shape.text_columns.end();
            if (c > 0) sql += ", ";
            if (c == 0)
                sql += std::to_string(r + 1);
            else if (r == rows - 1 && rows > 1)
                sql += "NULL";
            else
                sql +=
                    text ? lit(kCells[(c + static_cast<std::size_t>(r)) % kCells.size()]) : std::to_string(r * 7 + 1);
        }
        sql += ")";
    }
    return sql;
}

template <class T>
Texts names_of(const std::shared_ptr<Ombrix::Core::ListModel<T>>& list) {
    Texts out;
    for (const auto& item : *list) out.push_back(item->get_name());
    return out;
}

/// The privileges key of a schema (table "*") or a table: each name bare unless it holds a
/// period or a backtick, then backtick-quoted.
std::string privilege_key(const std::string& schema, const std::string& table) {
    const auto part = [](const std::string& name) {
        return name.find_first_of(".`") == std::string::npos ? name : q(name);
    };
    return part(schema) + "." + (table == "*" ? std::string("*") : part(table));
}

class NamesRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* text = std::getenv("OMBRIX_NAMES_SEED"))
            m_seed = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
        m_started = std::chrono::steady_clock::now();
    }

    /// Runs a builder script statement by statement; fails (naming the statement) at the first error.
    void run_script(const std::string& script, const std::string& what) {
        for (const auto& statement : DB::split_script(script)) {
            auto ran = m_connection->execute_no_query(statement.text, false);
            ASSERT_TRUE(ran.has_value()) << what << ": " << describe(ran.error()) << "\nin:\n" << statement.text;
        }
    }

    /// The explorer's list of `kind` in `schema`: the first column of every row, or the first two.
    Lines listed(const std::string& schema, DBObject kind, bool two_columns = false) {
        Lines out;
        auto model = m_connection->explorer()->load_objects(schema, schema, kind, "");
        EXPECT_TRUE(model.has_value()) << to_string(kind) << ": " << (model ? "" : describe(model.error()));
        if (!model || !*model) return out;
        for (std::size_t r = 0; r < (*model)->get_n_items(); ++r) {
            if (two_columns)
                out.insert(
                    line({(*model)->get_value_at(0, r)->to_string(), (*model)->get_value_at(1, r)->to_string()}));
            else
                out.insert((*model)->get_value_at(0, r)->to_string());
        }
        return out;
    }

    /// The whole schema read by the adapter's schema-wide path (procedures one by one).
    std::shared_ptr<MM::MetaSchema> read_schema(const std::string& name) {
        auto schema = MM::MetaSchema::with_names(name, name);
        auto filled = m_connection->adapter()->fill_meta_schema(schema, true);
        EXPECT_TRUE(filled.has_value()) << "schema " << shown(name) << ": " << describe(filled.error());
        for (const auto& procedure : *schema->get_procedures()) {
            auto read = m_connection->adapter()->fill_meta_function(procedure);
            EXPECT_TRUE(read.has_value()) << shown(procedure->get_name()) << ": " << describe(read.error());
        }
        return schema;
    }

    Ombrix::Testing::CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(m_home, args, input);
    }

    unsigned m_seed = 20240516;
    std::chrono::steady_clock::time_point m_started;
    TempDir m_home;
    std::shared_ptr<DB::MariaDBConnection> m_connection;
};

TEST_F(NamesRoundTrip, EveryNameComesBackByteForByte) {
    SCOPED_TRACE("seed " + std::to_string(m_seed) + " (set OMBRIX_NAMES_SEED to try another)");
    SecondServer server;
    ASSERT_TRUE(server.start());
    Client client(server.port(), server.password());
    ASSERT_TRUE(client.open());
    const Lines before = server_snapshot(client);
    const std::string version = *client.rows("SELECT VERSION()").begin();

    // Whether this server takes 4-byte UTF-8 in a name at all.
    const std::string probe = "ombrix_probe_\xF0\x9F\x98\x80";
    const bool four_byte_names = client.run("CREATE DATABASE " + q(probe)).empty();
    if (four_byte_names) {
        ASSERT_EQ(client.run("DROP DATABASE " + q(probe)), "");
    }

    // ---- the names
    NameGenerator generator(m_seed, four_byte_names);
    std::map<Kind, Texts> names;
    std::map<Kind, std::size_t> used;
    for (const auto& plan : kPlan)
        for (int i = 0; i < plan.count; ++i)
            names[plan.kind].push_back(generator.next(plan.kind));
    const auto take = [&](Kind kind) -> const std::string& { return names[kind].at(used[kind]++); };
    std::cout << "[ names    ] seed " << m_seed << ", server " << version << ", 4-byte UTF-8 in names: "
              << (four_byte_names ? "accepted" : "refused by the server, used in cell data only") << "\n";
    std::size_t total = 0;
    for (const auto& plan : kPlan) {
        std::size_t long_names = 0;
        for (const auto& name : names[plan.kind]) long_names += code_points(name) == 64;
        std::cout << "[ names    ] " << plan.label << ": " << names[plan.kind].size() << " (" << long_names
                  << " of 64 characters)\n";
        total += names[plan.kind].size();
    }
    EXPECT_EQ(total, 301U);

    // ---- the models of three schemas
    m_connection = DB::MariaDBConnection::create();
    auto profile = Ombrix::Providers::Contracts::Server::new_with_provider("MariaDB");
    profile->set_title("names");
    profile->set_host("127.0.0.1");
    profile->set_port(static_cast<unsigned>(std::atoi(server.port().c_str())));
    profile->set_username("root");
    profile->set_password(server.password());
    ASSERT_TRUE(m_connection->open(profile, nullptr).has_value());
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(m_connection->builder());
    ASSERT_NE(builder, nullptr);

    std::vector<SchemaShape> schemas(3);
    std::vector<std::pair<std::string, TableShape>> filled_tables;
    int table_number = 0;
    for (auto& shape : schemas) {
        shape.name = take(Kind::Schema);
        shape.model = MM::MetaSchema::with_names(shape.name, shape.name);
        const std::string& s = shape.name;
        for (int t = 0; t < 9; ++t, ++table_number) {
            TableShape table_shape{take(Kind::Table), {take(Kind::Column), take(Kind::Column), take(Kind::Column)}, {}};
            table_shape.text_columns = {table_shape.columns[1]};
            auto table = table_model(s, table_shape);
            auto index = MM::MetaIndex::with_names(s, s, table_shape.name, take(Kind::Index));
            index->set_columns({table_shape.columns[1]});
            table->get_indexes()->append(index);
            if (table_number % 3 == 0) {
                auto unique = MM::MetaIndex::with_names(s, s, table_shape.name, take(Kind::Index));
                unique->set_kind("UNIQUE");
                unique->set_columns({table_shape.columns[2], table_shape.columns[0]});
                table->get_indexes()->append(unique);
            }
            auto trigger = MM::MetaTrigger::with_body(
                take(Kind::Trigger), "SET NEW." + q(table_shape.columns[2]) + " = NEW." + q(table_shape.columns[2]));
            // A check on every table, named like its trigger (a table's checks and columns share
            // names): a copy of the schema holds checks of the same names.
            table->get_constraints()->append(
                MM::MetaCheck::with_name(trigger->get_name(), q(table_shape.columns[0]) + " > 0"));
            trigger->set_timing("BEFORE");
            trigger->set_event(t % 2 ? "UPDATE" : "INSERT");
            table->get_triggers()->append(trigger);
            shape.model->get_tables()->append(table);
            filled_tables.emplace_back(s, table_shape);

            const std::string from = q(s) + "." + q(table_shape.name);
            auto view = MM::MetaView::with_names(s, s, take(Kind::View));
            view->set_definition("SELECT " + q(table_shape.columns[0]) + ", " + q(table_shape.columns[1]) + " FROM " +
                                 from);
            shape.model->get_views()->append(view);
        }
        for (int r = 0; r < 10; ++r) {
            const auto& table = filled_tables[filled_tables.size() - 9 + static_cast<std::size_t>(r % 9)].second;
            const std::string from = q(s) + "." + q(table.name);
            auto routine = MM::MetaFunction::with_names(s, s, take(Kind::Routine));
            routine->set_is_function(r % 2 == 0);
            if (routine->get_is_function()) {
                routine->set_return_type("INT");
                routine->set_parameters({"x INT"});
                routine->set_attribute("DATA_ACCESS", "READS SQL DATA");
                routine->set_body("RETURN x + (SELECT COUNT(*) FROM " + from + ")");
                shape.model->get_functions()->append(routine);
            } else {
                routine->set_parameters({"IN x INT"});
                routine->set_body("SELECT " + q(table.columns[1]) + " FROM " + from + " WHERE " + q(table.columns[0]) +
                                  " = x");
                shape.model->get_procedures()->append(routine);
            }
        }
        for (int e = 0; e < 7; ++e) {
            const auto& table = filled_tables[filled_tables.size() - 9 + static_cast<std::size_t>(e)].second;
            auto event = MM::MetaEvent::with_names(s, s, take(Kind::Event));
            event->set_schedule("EVERY 1 DAY STARTS '2030-01-01 00:00:00'");
            event->set_completion("NOT PRESERVE");
            event->set_state("DISABLED");
            event->set_body("DELETE FROM " + q(s) + "." + q(table.name) + " WHERE FALSE");
            shape.model->get_events()->append(event);
        }
    }
    // Four more indexes, each made by a statement of its own (its key parts written quoted).
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& [owner, table_shape] = filled_tables[i * 7 + 1];
        auto index = MM::MetaIndex::with_names(owner, owner, table_shape.name, take(Kind::Index));
        index->set_columns({q(table_shape.columns[2]), q(table_shape.columns[1])});
        auto& shape =
            *std::find_if(schemas.begin(), schemas.end(), [&](const SchemaShape& s) { return s.name == owner; });
        shape.loose_indexes.push_back(index);
        shape.loose_columns.push_back({table_shape.columns[2], table_shape.columns[1]});
    }
    // Two exchange tables with hostile column names.
    SchemaShape& exchange_schema = schemas[2];
    TableShape exchange{take(Kind::Table), {}, {}};
    for (int c = 0; c < 14; ++c) exchange.columns.push_back(take(Kind::Column));
    exchange.text_columns.assign(exchange.columns.begin() + 1, exchange.columns.begin() + 11);
    TableShape sibling{take(Kind::Table), {}, {}};
    for (int c = 0; c < 6; ++c) sibling.columns.push_back(take(Kind::Column));
    sibling.text_columns.assign(sibling.columns.begin() + 1, sibling.columns.end());
    for (const auto* shape : {&exchange, &sibling})
        exchange_schema.model->get_tables()->append(table_model(exchange_schema.name, *shape));

    // ---- the builder creates everything; rows go in
    for (auto& shape : schemas) {
        SCOPED_TRACE("schema " + shown(shape.name));
        ASSERT_NO_FATAL_FAILURE(run_script(builder->build_schema_script(shape.model, nullptr, true), "schema script"));
        for (const auto& index : shape.loose_indexes)
            ASSERT_NO_FATAL_FAILURE(
                run_script(builder->build_create(index, true), "index " + shown(index->get_name())));
    }
    for (const auto& [schema, table] : filled_tables) ASSERT_EQ(client.run(insert_rows(schema, table, 2)), "");
    ASSERT_EQ(client.run(insert_rows(exchange_schema.name, exchange, 4)), "");
    ASSERT_EQ(client.run(insert_rows(exchange_schema.name, sibling, 3)), "");

    // Users, each granted a schema and a table with hostile names.
    std::vector<std::shared_ptr<MM::MetaUser>> users;
    for (int u = 0; u < 15; ++u) {
        const std::string account = take(Kind::User) + (u % 2 ? "@localhost" : "@%");
        auto user = MM::MetaUser::with_names("", "", account, "USER");
        user->set_attribute("PLUGIN", "default");
        user->set_password("pw'\\\"`");
        const auto& [schema, table] = filled_tables[static_cast<std::size_t>(u * 5) % filled_tables.size()];
        user->set_privileges({{privilege_key(schemas[static_cast<std::size_t>(u % 3)].name, "*"), "SELECT"},
                              {privilege_key(schema, table.name), "INSERT, UPDATE"}});
        ASSERT_NO_FATAL_FAILURE(
            run_script(builder->build_create(user, true) + builder->build_grants(user), "user " + shown(account)));
        users.push_back(user);
    }
    for (const auto& plan : kPlan) {
        if (plan.kind != Kind::Schema && plan.kind != Kind::Table) {
            EXPECT_EQ(used[plan.kind], names[plan.kind].size()) << plan.label;
        }
    }

    // ---- the transfer copies two schemas, by the command line and page by page by the library, to
    // schemas whose names differ from theirs in letter case alone
    const std::string cli_target = names[Kind::Schema].at(3);
    const std::string library_target = names[Kind::Schema].at(4);
    auto run = ombrix({"profile", "add", "names", "--host", "127.0.0.1", "--port", server.port(), "--user", "root",
                       "--password", server.password()});
    ASSERT_EQ(run.status, 0) << run.err;
    run = ombrix({"transfer", "--source", "names:" + schemas[0].name, "--target", "names:" + cli_target, "--verify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("DIFFERENT"), std::string::npos) << run.err;
    {
        Ombrix::Solvane::Transform::Transfer::Options options{
            {"OPTION|SOURCE|DATABASE", schemas[1].name},
            {"OPTION|RESULT|VERIFY", "true"},
            {"schema|" + schemas[1].name + "|MODE", "true"},
            {"schema|" + schemas[1].name + "|NAME", library_target},
        };
        for (const auto& table : *schemas[1].model->get_tables())
            options["table|" + table->get_name() + "|MODE"] = "true";
        for (const auto& view : *schemas[1].model->get_views()) options["table|" + view->get_name() + "|MODE"] = "true";
        auto transfer = Ombrix::Solvane::Transform::Transfer::create(options);
        auto from = DB::MariaDBConnection::create();
        auto to = DB::MariaDBConnection::create();
        ASSERT_TRUE(from->open(profile, nullptr).has_value());
        ASSERT_TRUE(to->open(profile, nullptr).has_value());
        transfer->set_server_source(from);
        transfer->set_server_target(to);
        auto progress = Ombrix::Solvane::Contracts::ThreadProgress::create();
        transfer->set_progress(progress);
        auto handled = transfer->handle();
        EXPECT_TRUE(handled.has_value()) << (handled ? "" : handled.error().message);
        EXPECT_EQ(progress->snapshot().failure, 0);
        for (const auto& report : transfer->get_reports()) {
            EXPECT_TRUE(report.error.empty()) << shown(report.source) << ": " << report.error;
            EXPECT_TRUE(report.verified && *report.verified) << shown(report.source) << ": " << report.verification;
        }
        from->close();
        to->close();
    }

    // ---- the explorer lists what each of the five schemas holds, and nothing of another's
    struct Listed {
        std::string name;
        const SchemaShape* shape;  // what it holds: its own, or its source's
    };
    const std::vector<Listed> all = {{schemas[0].name, &schemas[0]},
                                     {schemas[1].name, &schemas[1]},
                                     {schemas[2].name, &schemas[2]},
                                     {cli_target, &schemas[0]},
                                     {library_target, &schemas[1]}};
    const Lines listed_schemas = listed("", DBObject::SCHEMA);
    for (const auto& schema : all)
        EXPECT_EQ(listed_schemas.count(schema.name), 1U) << "schema listed: " << shown(schema.name);
    const Lines listed_users = listed("", DBObject::USER);
    for (const auto& user : users)
        EXPECT_EQ(listed_users.count(user->get_name()), 1U) << "user listed: " << shown(user->get_name());
    for (const auto& [name, shape] : all) {
        SCOPED_TRACE("explorer, schema " + shown(name));
        Lines tables, views, functions, procedures, triggers, events, indexes;
        for (const auto& table : *shape->model->get_tables()) {
            tables.insert(table->get_name());
            for (const auto& trigger : *table->get_triggers()) triggers.insert(trigger->get_name());
            for (const auto& index : *table->get_indexes())
                indexes.insert(line({index->get_name(), table->get_name()}));
        }
        for (const auto& index : shape->loose_indexes) indexes.insert(line({index->get_name(), index->get_entity()}));
        for (const auto& view : *shape->model->get_views()) views.insert(view->get_name());
        for (const auto& function : *shape->model->get_functions()) functions.insert(function->get_name());
        for (const auto& procedure : *shape->model->get_procedures()) procedures.insert(procedure->get_name());
        for (const auto& event : *shape->model->get_events()) events.insert(event->get_name());
        expect_same(listed(name, DBObject::TABLE), tables, "tables");
        expect_same(listed(name, DBObject::VIEW), views, "views");
        expect_same(listed(name, DBObject::INDEX, true), indexes, "indexes");
        expect_same(listed(name, DBObject::FUNCTION), functions, "functions");
        expect_same(listed(name, DBObject::PROCEDURE), procedures, "procedures");
        expect_same(listed(name, DBObject::TRIGGER), triggers, "triggers");
        expect_same(listed(name, DBObject::EVENT), events, "events");
    }

    // ---- the adapter reads them: the whole schema at once, and object by object; a copy reads
    // as its source, the SQL its objects carry included
    std::map<std::string, std::shared_ptr<MM::MetaSchema>> read;
    for (const auto& [name, shape] : all) {
        SCOPED_TRACE("adapter, schema " + shown(name));
        // What was built, with the loose indexes on their tables and their key parts as names.
        Lines expected = inventory(*shape->model);
        for (std::size_t i = 0; i < shape->loose_indexes.size(); ++i) {
            const auto& index = shape->loose_indexes[i];
            const auto& columns = shape->loose_columns[i];
            expected.insert(line({"index", index->get_entity(), index->get_name(), line({columns[0], columns[1]})}));
        }
        // View columns are the server's to tell; each view shows the two columns it selects, and
        // the server drops a column alias's leading blanks: the view's column is named without them.
        for (const auto& view : *shape->model->get_views())
            for (auto it = expected.begin(); it != expected.end();)
                it = it->starts_with(line({"view column", view->get_name(), ""})) ? expected.erase(it) : std::next(it);
        for (std::size_t t = 0; t < filled_tables.size(); ++t) {
            if (filled_tables[t].first != shape->name) continue;
            const auto& view = shape->model->get_views()->get(t % 9);
            for (std::size_t c = 0; c < 2; ++c) {
                const std::string& column = filled_tables[t].second.columns[c];
                expected.insert(line({"view column", view->get_name(), column.substr(column.find_first_not_of(' '))}));
            }
        }
        auto schema = read_schema(name);
        expect_same(inventory(*schema), expected, "schema-wide read");
        read[name] = schema;
        if (name != shape->name) expect_same(inventory(*schema, true), inventory(*read[shape->name], true), "copy");

        auto alone = MM::MetaSchema::with_names(name, name);
        for (const auto& table_name : names_of(schema->get_tables())) {
            auto table = MM::MetaTable::with_names(name, name, table_name);
            auto status = m_connection->adapter()->fill_meta_table(table, true);
            EXPECT_TRUE(status.has_value()) << shown(table_name) << ": " << describe(status.error());
            alone->get_tables()->append(table);
            for (const auto& index : *table->get_indexes()) {
                auto single = MM::MetaIndex::with_names(name, name, table_name, index->get_name());
                EXPECT_TRUE(m_connection->adapter()->fill_meta_index(single).has_value());
                EXPECT_EQ(single->get_columns(), index->get_columns()) << "index " << shown(index->get_name());
            }
            for (const auto& trigger : *table->get_triggers()) {
                auto single = MM::MetaTrigger::with_names(name, name, trigger->get_name());
                EXPECT_TRUE(m_connection->adapter()->fill_meta_trigger(single).has_value());
                EXPECT_EQ(single->get_target(), table_name) << "trigger " << shown(trigger->get_name());
                EXPECT_EQ(single->get_body(), trigger->get_body()) << "trigger " << shown(trigger->get_name());
            }
        }
        for (const auto& view_name : names_of(schema->get_views())) {
            auto view = MM::MetaView::with_names(name, name, view_name);
            EXPECT_TRUE(m_connection->adapter()->fill_meta_view(view).has_value());
            alone->get_views()->append(view);
        }
        for (const auto& list : {schema->get_functions(), schema->get_procedures()})
            for (const auto& routine_name : names_of(list)) {
                auto routine = MM::MetaFunction::with_names(name, name, routine_name);
                EXPECT_TRUE(m_connection->adapter()->fill_meta_function(routine).has_value());
                EXPECT_TRUE(routine->is_filled()) << "routine " << shown(routine_name);
                (routine->get_is_function() ? alone->get_functions() : alone->get_procedures())->append(routine);
            }
        for (const auto& event_name : names_of(schema->get_events())) {
            auto event = MM::MetaEvent::with_names(name, name, event_name);
            EXPECT_TRUE(m_connection->adapter()->fill_meta_event(event).has_value());
            alone->get_events()->append(event);
        }
        expect_same(inventory(*alone, true), inventory(*schema, true), "object-by-object read");
    }

    // Users: read, dropped, built again from what was read, and read again the same.
    for (const auto& user : users) {
        SCOPED_TRACE("user " + shown(user->get_name()));
        const auto read_user = [&] {
            auto again = MM::MetaUser::with_names("", "", user->get_name(), "USER");
            auto status = m_connection->adapter()->fill_meta_user(again);
            EXPECT_TRUE(status.has_value()) << describe(status.error());
            return again;
        };
        auto first = read_user();
        EXPECT_TRUE(first->get_attributes().contains("PLUGIN")) << "no account row found";
        auto expected = user->get_privileges();
        expected["*.*"] = "USAGE";
        EXPECT_EQ(first->get_privileges(), expected);
        ASSERT_NO_FATAL_FAILURE(run_script(builder->build_delete(first), "drop user"));
        ASSERT_NO_FATAL_FAILURE(
            run_script(builder->build_create(first, true) + builder->build_grants(first), "user again"));
        auto second = read_user();
        EXPECT_EQ(second->get_privileges(), first->get_privileges());
        EXPECT_EQ(second->get_password(), first->get_password());
    }

    // ---- the extractors carry the hostile table through every format, and back
    const auto checksum = [&](const std::string& table) {
        const Lines rows = client.rows("CHECKSUM TABLE " + q(exchange_schema.name) + "." + q(table));
        return rows.empty() ? std::string() : rows.begin()->substr(rows.begin()->rfind(kSep) + 1);
    };
    struct Case {
        std::string format;
        Texts options;
    };
    for (const Case& c : {Case{"csv", {"--null-text", "\\N"}}, Case{"tsv", {"--null-text", "\\N"}}, Case{"json", {}},
                          Case{"sql-insert", {}}, Case{"xml", {}}, Case{"xml", {"--xml-storage", "attribute"}}}) {
        // Names no XML name can hold travel encoded (_xHHHH_).
        const bool attribute = c.options.size() == 2 && c.options[1] == "attribute";
        const TableShape& source = attribute ? sibling : exchange;
        SCOPED_TRACE(c.format + " of " + shown(source.name));
        const std::string copy = take(Kind::Table);
        const std::string cli_table = q(exchange_schema.name) + "." + q(source.name);
        ASSERT_EQ(client.run("CREATE TABLE " + q(exchange_schema.name) + "." + q(copy) + " LIKE " + cli_table), "");
        const std::string file = m_home.file("rows." + c.format);
        Texts args{"export", "--profile", "names", "--table", cli_table, "--format", c.format, "-o", file};
        if (c.format == "sql-insert") args.insert(args.end(), {"--table-name", copy});
        args.insert(args.end(), c.options.begin(), c.options.end());
        run = ombrix(args);
        ASSERT_EQ(run.status, 0) << run.err;
        if (c.format == "sql-insert") {
            run = ombrix({"query", "--profile", "names", "-f", "-"},
                         "USE " + q(exchange_schema.name) + ";\n" + Ombrix::Testing::read_text(file));
        } else {
            Texts import{"import",   "--profile", "names",  "--table", q(exchange_schema.name) + "." + q(copy),
                         "--format", c.format,    "--file", file};
            import.insert(import.end(), c.options.begin(), c.options.end());
            run = ombrix(import);
        }
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_FALSE(checksum(source.name).empty());
        EXPECT_EQ(checksum(copy), checksum(source.name));
    }
    EXPECT_EQ(used[Kind::Table], names[Kind::Table].size());

    // ---- everything goes, by the builder's own statements; the server is as it was
    for (const auto& user : users) ASSERT_NO_FATAL_FAILURE(run_script(builder->build_delete(user), "drop user"));
    for (const auto& name : names[Kind::Schema])
        ASSERT_NO_FATAL_FAILURE(run_script(builder->build_delete(MM::MetaDatabase::with_name(name)), "drop schema"));
    m_connection->close();
    expect_same(server_snapshot(client), before, "the server after the test");
    std::cout << "[ names    ] " << std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count()
              << " s\n";
}

}  // namespace names_round_trip
}  // namespace
