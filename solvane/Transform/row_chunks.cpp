#include "solvane/Transform/row_chunks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "providers/Contracts/model_column.hpp"
#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/text.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Contracts/Database/inspectable.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Data/row_hash.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/snapshot.hpp"

namespace Ombrix::Solvane::Transform {

namespace {

namespace DB = Supports::Database;
using Providers::Contracts::ColumnModel;
using Providers::Contracts::DataType;
using Providers::Contracts::RowModel;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;
using Connection = Contracts::Database::IConnection;

Core::Error comparison_failure(std::string message) { return Core::Error{"default", -1, std::move(message)}; }

std::string table_name(const std::string& schema, const std::string& table) {
    return DB::mariadb_quote_identifier(schema) + "." + DB::mariadb_quote_identifier(table);
}

std::string cell_text(const TableModel& model, std::size_t column, std::size_t row) {
    const auto value = model.get_value_at(column, row);
    return value && !value->get_is_null() ? value->to_string() : std::string();
}

/// A column as the catalogue describes it.
struct CatalogueColumn {
    std::string name;
    std::string data_type;
    std::string column_type;
    std::string charset;
    std::string collation;
    bool generated = false;
    bool nullable = true;
    bool period_end = false;  // a versioned table's ROW END, which the server adds to its unique keys
    bool on_update = false;   // set by the server whenever its row is updated (ON UPDATE …)
};

/// The table's columns in order, or an error when the catalogue lists none. Compared by exact
/// name on this side: the catalogue matches names as the file system does.
Core::Result<std::vector<CatalogueColumn>> read_columns(Connection& connection, const std::string& schema,
                                                        const std::string& table) {
    auto rows = connection.execute_as_model(
        "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, IFNULL(CHARACTER_SET_NAME, ''), "
        "IFNULL(COLLATION_NAME, ''), IS_GENERATED, IS_NULLABLE, EXTRA, IFNULL(GENERATION_EXPRESSION, '') FROM "
        "information_schema.COLUMNS WHERE "
        "TABLE_SCHEMA = " + DB::mariadb_quote_literal(schema) + " AND TABLE_NAME = " +
            DB::mariadb_quote_literal(table) + " ORDER BY ORDINAL_POSITION",
        false);
    OMBRIX_RETURN_IF_ERROR(rows);
    std::vector<CatalogueColumn> columns;
    const auto& model = **rows;
    for (std::size_t i = 0; i < model.get_n_items(); ++i) {
        if (cell_text(model, 0, i) != table) continue;
        CatalogueColumn column;
        column.name = cell_text(model, 1, i);
        column.data_type = Core::ascii_lower(cell_text(model, 2, i));
        column.column_type = cell_text(model, 3, i);
        column.charset = cell_text(model, 4, i);
        column.collation = cell_text(model, 5, i);
        const std::string extra = Core::ascii_lower(cell_text(model, 8, i));
        // Computed columns and the period columns of a versioned table are the server's to write.
        column.generated = cell_text(model, 6, i) == "ALWAYS" || extra.find("generated") != std::string::npos ||
                           extra.find("row start") != std::string::npos || extra.find("row end") != std::string::npos;
        column.nullable = cell_text(model, 7, i) == "YES";
        column.period_end = column.generated && Core::ascii_upper(cell_text(model, 9, i)) == "ROW END";
        column.on_update = extra.find("on update") != std::string::npos;
        columns.push_back(std::move(column));
    }
    if (columns.empty())
        return Core::fail(comparison_failure(Core::strprintf(Core::tr("no table %s"), table_name(schema, table).c_str())));
    return columns;
}

/// The unique keys of the table, the primary key first, each as its columns in order.
Core::Result<std::vector<std::vector<std::string>>> read_unique_keys(Connection& connection, const std::string& schema,
                                                                    const std::string& table) {
    auto rows = connection.execute_as_model(
        "SELECT TABLE_NAME, INDEX_NAME, COLUMN_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = " +
            DB::mariadb_quote_literal(schema) + " AND TABLE_NAME = " + DB::mariadb_quote_literal(table) +
            " AND NON_UNIQUE = 0 ORDER BY INDEX_NAME = 'PRIMARY' DESC, INDEX_NAME, SEQ_IN_INDEX",
        false);
    OMBRIX_RETURN_IF_ERROR(rows);
    std::vector<std::vector<std::string>> keys;
    std::string current;
    const auto& model = **rows;
    for (std::size_t i = 0; i < model.get_n_items(); ++i) {
        if (cell_text(model, 0, i) != table) continue;
        const std::string index = cell_text(model, 1, i);
        if (keys.empty() || index != current) keys.emplace_back();
        current = index;
        keys.back().push_back(cell_text(model, 2, i));
    }
    return keys;
}

Core::Result<std::shared_ptr<TableModel>> model_of(Connection& connection, const std::string& sql) {
    return connection.execute_as_model(sql, false);
}

std::string where_of(const std::string& condition) { return condition.empty() ? std::string() : " WHERE " + condition; }

// Integer keys reach 2^64 - 1 and down to -2^63: their arithmetic needs wider integers.
__extension__ using Int128 = __int128;
__extension__ using UInt128 = unsigned __int128;

/// An integer key's text as a number; nothing for NULL or another text.
std::optional<Int128> integer_of(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const bool negative = text[0] == '-';
    Int128 value = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || i > 21) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::string integer_text(Int128 value) {
    if (value == 0) return "0";
    const bool negative = value < 0;
    UInt128 magnitude = negative ? static_cast<UInt128>(-value) : static_cast<UInt128>(value);
    std::string digits;
    while (magnitude > 0) {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    }
    return negative ? "-" + digits : digits;
}

/// Runs `work` on a thread of its own while the caller goes on; `get` waits for its result.
template <class F>
auto in_parallel(F&& work) {
    return std::async(std::launch::async, std::forward<F>(work));
}

}  // namespace

bool RowChanges::empty() const {
    const auto none = [](const std::shared_ptr<TableModel>& rows) { return !rows || rows->get_n_items() == 0; };
    return none(inserted) && none(updated) && none(deleted);
}

TableRowComparison::~TableRowComparison() = default;

std::string TableRowComparison::source_name() const { return table_name(m_source.schema, m_source.table); }
std::string TableRowComparison::target_name() const { return table_name(m_target.schema, m_target.table); }

Core::Result<std::unique_ptr<TableRowComparison>> TableRowComparison::prepare(Side source, Side target) {
    if (!source.connection || !target.connection) return Core::fail(comparison_failure("both connections are needed"));
    auto source_columns = read_columns(*source.connection, source.schema, source.table);
    OMBRIX_RETURN_IF_ERROR(source_columns);
    auto target_columns = read_columns(*target.connection, target.schema, target.table);
    OMBRIX_RETURN_IF_ERROR(target_columns);
    auto keys = read_unique_keys(*target.connection, target.schema, target.table);
    OMBRIX_RETURN_IF_ERROR(keys);

    std::unique_ptr<TableRowComparison> comparison(new TableRowComparison());
    comparison->m_source = std::move(source);
    comparison->m_target = std::move(target);
    auto& self = *comparison;
    const auto inspector = self.m_target.connection->inspector();
    std::map<std::string, const CatalogueColumn*> source_by_name, target_by_name;
    for (const auto& column : *source_columns) source_by_name.emplace(column.name, &column);
    for (const auto& column : *target_columns) target_by_name.emplace(column.name, &column);
    std::map<std::string, std::size_t> position;
    for (const auto& column : *target_columns) {
        if (column.generated) continue;
        const auto other = source_by_name.find(column.name);
        if (other == source_by_name.end())
            return Core::fail(comparison_failure(Core::strprintf(Core::tr("the source table %s has no column `%s`"),
                                                      self.source_name().c_str(), column.name.c_str())));
        const CatalogueColumn& theirs = *other->second;
        Column compared;
        compared.name = column.name;
        compared.quoted = DB::mariadb_quote_identifier(column.name);
        compared.type = inspector ? inspector->get_data_type(column.data_type) : DataType::UNKNOWN;
        compared.column_type = column.column_type;
        compared.collation = column.collation;
        compared.charset = column.charset;
        compared.widen = column.data_type == "float" || theirs.data_type == "float";
        compared.on_update = column.on_update;
        // A DECIMAL of another scale, or a time of another fraction, reads otherwise on each side
        // even once written: the source's values are read as the target stores them.
        static constexpr std::string_view scaled[] = {"decimal", "datetime", "timestamp", "time"};
        if (column.data_type == theirs.data_type && column.column_type != theirs.column_type &&
            std::find(std::begin(scaled), std::end(scaled), column.data_type) != std::end(scaled)) {
            const std::string type = column.column_type.substr(0, column.column_type.find(' '));
            compared.source_cast = Core::ascii_upper(type);
            if (compared.source_cast.starts_with("TIMESTAMP"))
                compared.source_cast = "DATETIME" + compared.source_cast.substr(9);
        }
        if (!column.charset.empty() && !theirs.charset.empty() && column.charset != theirs.charset)
            compared.convert_to = "utf8mb4";
        if (column.data_type == theirs.data_type) compared.hash_form = column.data_type;
        position[column.name] = self.m_columns.size();
        self.m_columns.push_back(std::move(compared));
    }

    // The primary key, else the first unique key of NOT NULL columns.
    for (const auto& key : *keys) {
        std::vector<std::size_t> positions;
        for (const auto& name : key) {
            const auto column = target_by_name.find(name);
            // The current rows are unique without the end of their period.
            if (column != target_by_name.end() && column->second->period_end) continue;
            const auto found = position.find(name);
            if (found == position.end() || column == target_by_name.end() || column->second->nullable) {
                positions.clear();
                break;
            }
            positions.push_back(found->second);
        }
        if (!positions.empty()) {
            self.m_key = std::move(positions);
            break;
        }
    }
    // Keys compare by their type and collation: if those differ, two rows the target holds apart
    // could be one row of the source, or the other way round.
    for (const std::size_t k : self.m_key) {
        const Column& column = self.m_columns[k];
        const CatalogueColumn& theirs = *source_by_name.at(column.name);
        if (theirs.column_type != column.column_type || theirs.collation != column.collation) {
            const auto describe = [](const std::string& type, const std::string& collation) {
                return collation.empty() ? type : type + " COLLATE " + collation;
            };
            return Core::fail(comparison_failure(Core::strprintf(
                Core::tr("key column `%s` is %s in %s but %s in %s: rows cannot be matched"), column.name.c_str(),
                describe(theirs.column_type, theirs.collation).c_str(), self.source_name().c_str(),
                describe(column.column_type, column.collation).c_str(), self.target_name().c_str())));
        }
    }

    auto triggers = model_of(*self.m_target.connection,
                             "SELECT EVENT_OBJECT_TABLE, TRIGGER_NAME FROM information_schema.TRIGGERS WHERE "
                             "EVENT_OBJECT_SCHEMA = " + DB::mariadb_quote_literal(self.m_target.schema) +
                                 " AND EVENT_OBJECT_TABLE = " + DB::mariadb_quote_literal(self.m_target.table));
    OMBRIX_RETURN_IF_ERROR(triggers);
    for (std::size_t i = 0; i < (*triggers)->get_n_items(); ++i)
        if (cell_text(**triggers, 0, i) == self.m_target.table) self.m_triggers.push_back(cell_text(**triggers, 1, i));

    const auto version = [](Connection& connection) -> unsigned long {
        const auto provider = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection.get_provider());
        return provider ? provider->get_server_version() : 0;
    };
    self.m_crc32c = std::min(version(*self.m_source.connection), version(*self.m_target.connection)) >=
                    Supports::Data::kCrc32cVersion;
    self.make_sql();
    return comparison;
}

void TableRowComparison::make_sql() {
    std::vector<Supports::Data::HashedColumn> cells;
    std::set<std::string> charsets;  // of the text read as it is
    m_select.clear();
    m_source_select.clear();
    for (const auto& column : m_columns) {
        m_select += (m_select.empty() ? "" : ", ") + Supports::Data::exact_read(column.quoted, column.widen);
        m_source_select += (m_source_select.empty() ? "" : ", ") +
                           (column.source_cast.empty()
                                ? Supports::Data::exact_read(column.quoted, column.widen)
                                : "CAST(" + column.quoted + " AS " + column.source_cast + ") AS " + column.quoted);
        cells.push_back({column.quoted, column.widen, column.convert_to, Supports::Data::hash_form(column.hash_form)});
        if (cells.back().form == Supports::Data::HashedColumn::Form::Bytes && !column.charset.empty())
            charsets.insert(column.convert_to.empty() ? column.charset : column.convert_to);
    }
    if (m_select.empty()) m_select = m_source_select = "1";
    // A row's size: the bytes of its strings and other texts, eight for each number or time.
    std::size_t fixed = 0;
    m_row_bytes.clear();
    for (const auto& cell : cells) {
        if (cell.form == Supports::Data::HashedColumn::Form::Plain)
            fixed += 8;
        else
            m_row_bytes += "IFNULL(LENGTH(" + cell.quoted_name + "), 0) + ";
    }
    m_row_bytes = "(" + m_row_bytes + std::to_string(fixed) + ")";
    for (auto& cell : cells) cell.as_binary = charsets.size() > 1;
    m_hash = Supports::Data::row_hash(cells, m_crc32c);
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i].cast_as = m_columns[i].source_cast;
    m_source_hash = Supports::Data::row_hash(cells, m_crc32c);

    // What makes two keys the same row: under a collation its weights (after the trailing blanks
    // a PAD SPACE collation ignores), otherwise the exact text.
    std::string parts;
    m_key_list.clear();
    for (const std::size_t k : m_key) {
        const Column& column = m_columns[k];
        m_key_list += (m_key_list.empty() ? "" : ", ") + column.quoted;
        std::string part;
        if (!column.collation.empty()) {
            const bool pad = column.collation.find("nopad") == std::string::npos;
            part = "HEX(WEIGHT_STRING(" + (pad ? "RTRIM(" + column.quoted + ")" : column.quoted) + "))";
        } else {
            part = "HEX(CONCAT(" + Supports::Data::hashed_value({column.quoted, column.widen}) + "))";
        }
        parts += (parts.empty() ? "" : ", ") + part;
    }
    m_key_norm = "CONCAT_WS(','," + parts + ")";
}

std::vector<std::string> TableRowComparison::key_literals(const TableModel& rows, std::size_t row,
                                                          std::size_t first) const {
    std::vector<std::string> literals;
    for (std::size_t i = 0; i < m_key.size(); ++i)
        literals.push_back(Supports::Data::Extractors::BaseExtractor::format_column_value(
            m_columns[m_key[i]].type, rows.get_value_at(first + i, row)));
    return literals;
}

std::string TableRowComparison::literal(const TableModel& rows, std::size_t row, std::size_t column) const {
    return Supports::Data::Extractors::BaseExtractor::format_column_value(m_columns[column].type,
                                                                         rows.get_value_at(column, row));
}

std::string TableRowComparison::key_condition(const std::vector<std::string>& literals, const char* op) const {
    // (a, b) > (x, y) spelt out as a > x OR (a = x AND b > y), which the range optimizer reads;
    // "<=" adds the equal row.
    const bool upper = std::string_view(op) == "<=";
    const char* strict = upper ? " < " : " > ";
    std::string condition;
    std::string equal;
    for (std::size_t i = 0; i < m_key.size(); ++i) {
        const std::string& name = m_columns[m_key[i]].quoted;
        const bool last = i + 1 == m_key.size();
        const std::string part = equal + name + (last && m_key.size() == 1 ? (upper ? " <= " : " > ") : strict) + literals[i];
        condition += (condition.empty() ? "" : " OR ") + (m_key.size() > 1 ? "(" + part + ")" : part);
        equal += name + " = " + literals[i] + " AND ";
    }
    if (upper && m_key.size() > 1) condition += " OR (" + equal.substr(0, equal.size() - 5) + ")";
    return m_key.size() > 1 ? "(" + condition + ")" : condition;
}

std::string TableRowComparison::key_match(const std::vector<std::string>& literals) const {
    std::string match;
    for (std::size_t i = 0; i < m_key.size(); ++i)
        match += (i ? " AND " : "") + m_columns[m_key[i]].quoted + "=" + literals[i];
    return match;
}

Core::Status TableRowComparison::compare(const std::function<Core::Status(RowChanges&)>& on_changes,
                                         std::size_t chunk_rows) {
    if (!has_key())
        return Core::fail(comparison_failure(Core::strprintf(
            Core::tr("table %s has neither a primary key nor a unique key of NOT NULL columns: its rows cannot "
                     "be matched"),
            target_name().c_str())));
    if (chunk_rows == 0) chunk_rows = 1000;
    Connection& source = *m_source.connection;
    Connection& target = *m_target.connection;
    const bool shared = m_source.connection == m_target.connection;

    // Times read alike on both sides whatever their sessions' zones; the source stands still.
    const auto run = [](Connection& connection, const std::string& sql) -> Core::Status {
        auto done = connection.execute_no_query(sql, false);
        if (!done) return Core::fail(done.error());
        return {};
    };
    OMBRIX_RETURN_IF_ERROR(run(source, "SET @ombrix_time_zone = @@TIME_ZONE, TIME_ZONE = '+00:00'"));
    if (!shared) OMBRIX_RETURN_IF_ERROR(run(target, "SET @ombrix_time_zone = @@TIME_ZONE, TIME_ZONE = '+00:00'"));
    bool snapshot = false;
    struct Restore {
        Connection& source;
        Connection& target;
        bool shared;
        bool& snapshot;
        ~Restore() {
            if (snapshot) (void)source.execute_no_query("COMMIT", false);
            (void)source.execute_no_query("SET TIME_ZONE = @ombrix_time_zone", false);
            if (!shared) (void)target.execute_no_query("SET TIME_ZONE = @ombrix_time_zone", false);
        }
    } restore{source, target, shared, snapshot};
    if (!shared && !m_snapshot_held) {
        auto opened = DB::open_snapshot(source, {{m_source.schema, m_source.table}});
        OMBRIX_RETURN_IF_ERROR(opened);
        snapshot = true;
    }

    const std::string source_table = source_name();
    const std::string target_table = target_name();

    // A key of one integer column: after a chunk of known density the next one's end is reckoned
    // from it rather than counted off by the server, whose count reads every key of the chunk.
    // Between the least and the greatest key either side holds; the last chunk is open above.
    std::optional<Int128> low_key, last_key;
    if (m_key.size() == 1) {
        static constexpr std::string_view integers[] = {"tinyint", "smallint", "mediumint", "int", "bigint"};
        const Column& key = m_columns[m_key[0]];
        if (std::find(std::begin(integers), std::end(integers), key.hash_form) != std::end(integers)) {
            const std::string ends = "SELECT MIN(" + key.quoted + "), MAX(" + key.quoted + ") FROM ";
            auto target_ends = in_parallel([&] { return model_of(target, ends + target_table); });
            auto source_ends = model_of(source, ends + source_table);
            auto target_done = target_ends.get();
            OMBRIX_RETURN_IF_ERROR(source_ends);
            OMBRIX_RETURN_IF_ERROR(target_done);
            for (const auto* side : {&*source_ends, &*target_done}) {
                const auto least = integer_of(cell_text(**side, 0, 0));
                const auto greatest = integer_of(cell_text(**side, 1, 0));
                if (least && (!low_key || *least - 1 < *low_key)) low_key = *least - 1;
                if (greatest && (!last_key || *greatest > *last_key)) last_key = greatest;
            }
        }
    }
    long double density = 0;  // source rows per key value in the last chunk of known bounds

    std::vector<std::string> low;  // the last key of the chunk before, as literals
    std::int64_t compared = 0;     // the source's rows of the chunks done
    // Chunks grow while they match (fewer round trips over equal rows) and fall back to
    // `chunk_rows` at a difference (fewer rows listed around it).
    std::size_t rows = chunk_rows;
    bool listing = false;
    while (true) {
        const std::size_t chunk = rows;
        const std::string above = low.empty() ? std::string() : key_condition(low, ">");
        std::vector<std::string> high;
        // A chunk about to be summed, of an integer key whose density is known: its end reckoned.
        const bool reckoned = !listing && density > 0 && low_key && last_key;
        if (reckoned) {
            const long double width = std::min<long double>(std::ceil(static_cast<long double>(chunk) / density), 1e30L);
            const Int128 end = *low_key + std::max<Int128>(1, static_cast<Int128>(width));
            if (end < *last_key) high = {integer_text(end)};
        } else {
            // The chunk ends at the source's chunk-th key after the last one.
            const auto bound_sql = [&](const std::string& table) {
                return "SELECT " + m_key_list + " FROM " + table + where_of(above) + " ORDER BY " + m_key_list +
                       " LIMIT 1 OFFSET " + std::to_string(chunk - 1);
            };
            auto bound = model_of(source, bound_sql(source_table));
            OMBRIX_RETURN_IF_ERROR(bound);
            // Past the source's last chunk, the target's keys cut what it holds beyond: its rows are
            // listed a chunk at a time as well.
            if ((*bound)->get_n_items() == 0) {
                bound = model_of(target, bound_sql(target_table));
                OMBRIX_RETURN_IF_ERROR(bound);
            }
            if ((*bound)->get_n_items() > 0) high = key_literals(**bound, 0, 0);
        }
        std::string range = above;
        if (!high.empty()) range += (range.empty() ? "" : " AND ") + key_condition(high, "<=");

        // Right after a difference the chunk is listed at once: differences tend to come together,
        // and summing a chunk that is then listed hashes its rows twice.
        bool same = false;
        std::int64_t source_rows = 0;  // in this chunk
        if (!listing) {
            const auto sums = [&](const std::string& hash) {
                return "SELECT COUNT(*), CAST(IFNULL(SUM(" + hash + "), 0) AS CHAR) FROM ";
            };
            auto target_sums = in_parallel([&] { return model_of(target, sums(m_hash) + target_table + where_of(range)); });
            auto source_sums = model_of(source, sums(m_source_hash) + source_table + where_of(range));
            auto target_done = target_sums.get();
            OMBRIX_RETURN_IF_ERROR(source_sums);
            OMBRIX_RETURN_IF_ERROR(target_done);
            same = cell_text(**source_sums, 0, 0) == cell_text(**target_done, 0, 0) &&
                   cell_text(**source_sums, 1, 0) == cell_text(**target_done, 1, 0);
            source_rows = std::strtoll(cell_text(**source_sums, 0, 0).c_str(), nullptr, 10);
            const std::int64_t target_rows = std::strtoll(cell_text(**target_done, 0, 0).c_str(), nullptr, 10);
            // A reckoned chunk that took in far more rows than meant is not listed whole: it is
            // cut again by counted ends.
            if (!same && reckoned &&
                std::max(source_rows, target_rows) > static_cast<std::int64_t>(chunk_rows) * 64) {
                density = 0;
                rows = chunk_rows;
                continue;
            }
        }
        if (!same) {
            bool found = false;
            OMBRIX_RETURN_IF_ERROR(chunk_changes(range, chunk, on_changes, found, source_rows));
            same = !found;
        }
        compared += source_rows;
        if (m_on_progress) m_on_progress(compared);
        listing = !same;
        rows = same ? std::min(chunk * 2, chunk_rows * 32) : chunk_rows;
        if (high.empty()) break;
        const auto high_key = low_key ? integer_of(high[0]) : std::nullopt;
        if (high_key && *high_key > *low_key)
            density = source_rows > 0 ? static_cast<long double>(source_rows) / static_cast<long double>(*high_key - *low_key) : 0;
        low_key = high_key;
        low = std::move(high);
    }
    return {};
}

Core::Status TableRowComparison::chunk_changes(const std::string& range, std::size_t chunk,
                                               const std::function<Core::Status(RowChanges&)>& on_changes,
                                               bool& found, std::int64_t& source_rows) {
    Connection& source = *m_source.connection;
    Connection& target = *m_target.connection;
    const std::string source_table = source_name();
    const std::string target_table = target_name();

    // Which rows differ: each row's key identity, hash, size and key, on both sides.
    const auto list_sql = [&](const std::string& hash) {
        return "SELECT " + m_key_norm + ", " + hash + ", " + m_row_bytes + ", " + m_key_list + " FROM ";
    };
    const std::string ordered = " ORDER BY " + m_key_list;
    auto target_list =
        in_parallel([&] { return model_of(target, list_sql(m_hash) + target_table + where_of(range) + ordered); });
    auto source_list = model_of(source, list_sql(m_source_hash) + source_table + where_of(range) + ordered);
    auto target_rows = target_list.get();
    OMBRIX_RETURN_IF_ERROR(source_list);
    OMBRIX_RETURN_IF_ERROR(target_rows);
    const TableModel& s = **source_list;
    const TableModel& t = **target_rows;
    source_rows = static_cast<std::int64_t>(s.get_n_items());
    std::unordered_map<std::string, std::size_t> in_target;
    for (std::size_t i = 0; i < t.get_n_items(); ++i) in_target.emplace(cell_text(t, 0, i), i);
    std::vector<bool> matched(t.get_n_items(), false);
    std::unordered_set<std::string> seen;
    // A differing key: the rows it names on either side (SIZE_MAX: none) and their bytes.
    struct Wanted {
        std::size_t source = SIZE_MAX;
        std::size_t target = SIZE_MAX;
        std::size_t bytes = 0;
    };
    std::vector<Wanted> deletes, updates, inserts;
    const auto bytes_of = [](const TableModel& rows, std::size_t row) {
        const std::string text = cell_text(rows, 2, row);
        return text.empty() ? std::size_t{0} : static_cast<std::size_t>(std::strtoull(text.c_str(), nullptr, 10));
    };
    // The listing's key columns follow its identity, hash and size.
    constexpr std::size_t kListedKey = 3;
    const auto listed_key = [&](const TableModel& rows, std::size_t row) {
        return key_match(key_literals(rows, row, kListedKey));
    };
    for (std::size_t i = 0; i < s.get_n_items(); ++i) {
        const std::string norm = cell_text(s, 0, i);
        if (!seen.insert(norm).second)
            return Core::fail(comparison_failure(Core::strprintf(
                Core::tr("the source table %s holds two rows whose key is the target's one row (%s)"),
                source_table.c_str(), listed_key(s, i).c_str())));
        const auto other = in_target.find(norm);
        if (other == in_target.end()) {
            inserts.push_back({i, SIZE_MAX, bytes_of(s, i)});
            continue;
        }
        matched[other->second] = true;
        if (cell_text(s, 1, i) == cell_text(t, 1, other->second)) continue;
        updates.push_back({i, other->second, bytes_of(s, i) + bytes_of(t, other->second)});
    }
    for (std::size_t i = 0; i < t.get_n_items(); ++i)
        if (!matched[i]) deletes.push_back({SIZE_MAX, i, bytes_of(t, i)});
    const std::size_t differing = deletes.size() + updates.size() + inserts.size();
    if (differing == 0) return {};
    found = true;

    // The differing rows go in batches of bounded bytes, deletions first and insertions last, so
    // that memory holds a batch whatever the rows' size; a row larger than a batch goes alone.
    std::vector<Wanted> wanted;
    wanted.reserve(differing);
    for (auto* list : {&deletes, &updates, &inserts}) wanted.insert(wanted.end(), list->begin(), list->end());
    const auto rows_sql = [&](const std::string& select) { return "SELECT " + select + ", " + m_key_norm + " FROM "; };
    const std::size_t width = m_columns.size();
    const auto table_like = [&](const TableModel& rows) {
        auto table = TableModel::create();
        const auto& columns = rows.get_columns()->items();
        for (std::size_t i = 0; i < width && i < columns.size(); ++i) table->get_columns()->append(columns[i]);
        return table;
    };
    const auto row_of = [&](const TableModel& rows, std::size_t row) {
        std::vector<ValuePtr> values;
        values.reserve(width);
        for (std::size_t i = 0; i < width; ++i) values.push_back(rows.get_value_at(i, row));
        return RowModel::create(std::move(values));
    };
    for (std::size_t first = 0; first < wanted.size();) {
        std::size_t last = first;
        std::size_t bytes = 0;
        while (last < wanted.size() && (last == first || bytes + wanted[last].bytes <= kBatchBytes)) bytes += wanted[last++].bytes;
        // Their whole rows, each with its key's identity last.
        std::vector<std::string> source_keys, target_keys;
        for (std::size_t i = first; i < last; ++i) {
            if (wanted[i].source != SIZE_MAX) source_keys.push_back(listed_key(s, wanted[i].source));
            if (wanted[i].target != SIZE_MAX) target_keys.push_back(listed_key(t, wanted[i].target));
        }
        // Many of the chunk's rows in one batch: its range reads faster than their keys.
        const bool whole = first == 0 && last == wanted.size() && differing * 4 > chunk;
        const auto fetch = [&](Connection& connection, const std::string& select, const std::string& table,
                               const std::vector<std::string>& keys) -> Core::Result<std::shared_ptr<TableModel>> {
            if (keys.empty()) return TableModel::create();
            std::string condition;
            for (const auto& key : keys) condition += (condition.empty() ? "(" : " OR (") + key + ")";
            return model_of(connection, rows_sql(select) + table + where_of(whole ? range : condition));
        };
        auto target_fetch = in_parallel([&] { return fetch(target, m_select, target_table, target_keys); });
        auto source_fetch = fetch(source, m_source_select, source_table, source_keys);
        auto target_full = target_fetch.get();
        OMBRIX_RETURN_IF_ERROR(source_fetch);
        OMBRIX_RETURN_IF_ERROR(target_full);
        const TableModel& sf = **source_fetch;
        const TableModel& tf = **target_full;
        std::unordered_map<std::string, std::size_t> source_by_key, target_by_key;
        for (std::size_t i = 0; i < sf.get_n_items(); ++i) source_by_key.emplace(cell_text(sf, width, i), i);
        for (std::size_t i = 0; i < tf.get_n_items(); ++i) target_by_key.emplace(cell_text(tf, width, i), i);
        RowChanges changes;
        changes.inserted = table_like(sf);
        changes.updated = table_like(sf);
        changes.updated_target = table_like(tf);
        changes.deleted = table_like(tf);
        for (std::size_t i = first; i < last; ++i) {
            const Wanted& w = wanted[i];
            const auto in_source = w.source == SIZE_MAX ? source_by_key.end() : source_by_key.find(cell_text(s, 0, w.source));
            const auto in_target_rows = w.target == SIZE_MAX ? target_by_key.end() : target_by_key.find(cell_text(t, 0, w.target));
            if (w.source != SIZE_MAX && w.target != SIZE_MAX) {
                if (in_source == source_by_key.end() || in_target_rows == target_by_key.end()) continue;
                changes.updated->append(row_of(sf, in_source->second));
                changes.updated_target->append(row_of(tf, in_target_rows->second));
            } else if (w.source != SIZE_MAX) {
                if (in_source != source_by_key.end()) changes.inserted->append(row_of(sf, in_source->second));
            } else if (in_target_rows != target_by_key.end()) {
                changes.deleted->append(row_of(tf, in_target_rows->second));
            }
        }
        if (!changes.empty()) OMBRIX_RETURN_IF_ERROR(on_changes(changes));
        first = last;
    }
    return {};
}

std::vector<bool> TableRowComparison::changed_columns(const RowChanges& changes, std::size_t row) const {
    std::vector<bool> changed(m_columns.size(), false);
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        changed[i] = literal(*changes.updated, row, i) != literal(*changes.updated_target, row, i);
    return changed;
}

RowStatements TableRowComparison::statements(const RowChanges& changes) const {
    RowStatements out;
    const std::string table = target_name();
    const auto key_of = [&](const TableModel& rows, std::size_t row) {
        std::vector<std::string> literals;
        for (const std::size_t k : m_key) literals.push_back(literal(rows, row, k));
        return literals;
    };
    constexpr std::size_t kStatementBytes = 1U << 20;
    if (changes.deleted && changes.deleted->get_n_items() > 0) {
        // One statement for many rows: `k` IN (…), or each composite key's match joined by OR.
        const bool single = m_key.size() == 1;
        std::vector<std::string> matches;
        std::size_t bytes = 0;
        const auto flush = [&] {
            if (matches.empty()) return;
            std::string statement = "DELETE FROM " + table + " WHERE ";
            if (single) statement += m_columns[m_key[0]].quoted + " IN (";
            for (std::size_t i = 0; i < matches.size(); ++i) {
                if (i) statement += single ? ", " : " OR ";
                statement += single || matches.size() == 1 ? matches[i] : "(" + matches[i] + ")";
            }
            out.deletes.push_back(statement + (single ? ");" : ";"));
            matches.clear();
            bytes = 0;
        };
        for (std::size_t i = 0; i < changes.deleted->get_n_items(); ++i) {
            const auto key = key_of(*changes.deleted, i);
            matches.push_back(single ? key[0] : key_match(key));
            bytes += matches.back().size();
            if (bytes >= kStatementBytes) flush();
        }
        flush();
    }
    if (changes.updated) {
        for (std::size_t i = 0; i < changes.updated->get_n_items(); ++i) {
            const auto changed = changed_columns(changes, i);
            std::string sets;
            for (std::size_t c = 0; c < m_columns.size(); ++c)
                if (changed[c]) sets += (sets.empty() ? "" : ", ") + m_columns[c].quoted + "=" + literal(*changes.updated, i, c);
            if (sets.empty()) continue;
            // A column the server would set to the time of the UPDATE keeps the source's value.
            for (std::size_t c = 0; c < m_columns.size(); ++c)
                if (!changed[c] && m_columns[c].on_update)
                    sets += ", " + m_columns[c].quoted + "=" + literal(*changes.updated, i, c);
            out.updates.push_back("UPDATE " + table + " SET " + sets + " WHERE " +
                                  key_match(key_of(*changes.updated_target, i)) + ";");
            out.update_rows.push_back(i);
        }
    }
    if (changes.inserted && changes.inserted->get_n_items() > 0) {
        std::string head = "INSERT INTO " + table + "(";
        for (std::size_t c = 0; c < m_columns.size(); ++c) head += (c ? ", " : "") + m_columns[c].quoted;
        head += ") VALUES";
        std::string statement;
        std::size_t in_statement = 0;
        for (std::size_t i = 0; i < changes.inserted->get_n_items(); ++i) {
            statement += statement.empty() ? head + "(" : ", (";
            for (std::size_t c = 0; c < m_columns.size(); ++c)
                statement += (c ? ", " : "") + literal(*changes.inserted, i, c);
            statement += ")";
            ++in_statement;
            if (statement.size() >= kStatementBytes) {
                out.inserts.push_back(statement + ";");
                out.insert_rows.push_back(in_statement);
                statement.clear();
                in_statement = 0;
            }
        }
        if (!statement.empty()) {
            out.inserts.push_back(statement + ";");
            out.insert_rows.push_back(in_statement);
        }
    }
    return out;
}

Core::Result<std::pair<std::int64_t, std::int64_t>> TableRowComparison::count_unmatched() {
    Connection& source = *m_source.connection;
    Connection& target = *m_target.connection;
    const std::string hashed = "(SELECT " + m_hash + " AS h FROM ";
    const std::string source_hashed = "(SELECT " + m_source_hash + " AS h FROM ";
    // Rows grouped by the top 12 bits of their hashes: only groups whose counts or sums differ
    // are looked at row by row.
    const std::string buckets = "SELECT h >> 52, COUNT(*), CAST(SUM(h) AS CHAR) FROM ";
    auto target_buckets = in_parallel([&] { return model_of(target, buckets + hashed + target_name() + ") x GROUP BY 1"); });
    auto source_buckets = model_of(source, buckets + source_hashed + source_name() + ") x GROUP BY 1");
    auto target_done = target_buckets.get();
    OMBRIX_RETURN_IF_ERROR(source_buckets);
    OMBRIX_RETURN_IF_ERROR(target_done);
    struct Bucket {
        std::int64_t count[2] = {0, 0};
        std::string sum[2];
    };
    std::map<std::string, Bucket> all;
    for (int side = 0; side < 2; ++side) {
        const TableModel& rows = side == 0 ? **source_buckets : **target_done;
        for (std::size_t i = 0; i < rows.get_n_items(); ++i) {
            auto& bucket = all[cell_text(rows, 0, i)];
            bucket.count[side] = std::stoll(cell_text(rows, 1, i));
            bucket.sum[side] = cell_text(rows, 2, i);
        }
    }
    std::int64_t only_source = 0, only_target = 0;
    std::vector<std::string> open;  // buckets both sides hold, differently
    for (const auto& [name, bucket] : all) {
        if (bucket.count[0] == bucket.count[1] && bucket.sum[0] == bucket.sum[1]) continue;
        if (bucket.count[0] == 0 || bucket.count[1] == 0) {
            only_source += bucket.count[0];
            only_target += bucket.count[1];
        } else {
            open.push_back(name);
        }
    }
    for (std::size_t first = 0; first < open.size(); first += 256) {
        std::string in;
        for (std::size_t i = first; i < open.size() && i < first + 256; ++i) in += (in.empty() ? "" : ", ") + open[i];
        const std::string rows = "SELECT h, COUNT(*) FROM ";
        const std::string tail = ") x WHERE h >> 52 IN (" + in + ") GROUP BY h";
        auto target_rows = in_parallel([&] { return model_of(target, rows + hashed + target_name() + tail); });
        auto source_rows = model_of(source, rows + source_hashed + source_name() + tail);
        auto target_list = target_rows.get();
        OMBRIX_RETURN_IF_ERROR(source_rows);
        OMBRIX_RETURN_IF_ERROR(target_list);
        std::unordered_map<std::string, std::int64_t> balance;
        for (std::size_t i = 0; i < (*source_rows)->get_n_items(); ++i)
            balance[cell_text(**source_rows, 0, i)] += std::stoll(cell_text(**source_rows, 1, i));
        for (std::size_t i = 0; i < (*target_list)->get_n_items(); ++i)
            balance[cell_text(**target_list, 0, i)] -= std::stoll(cell_text(**target_list, 1, i));
        for (const auto& [row, count] : balance) {
            if (count > 0) only_source += count;
            if (count < 0) only_target -= count;
        }
    }
    return std::make_pair(only_source, only_target);
}

}  // namespace Ombrix::Solvane::Transform
