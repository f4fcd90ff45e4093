/// @file The server's tab-separated load format, as the fast import and the copy between servers
/// write it for LOAD DATA LOCAL INFILE: fields escaped with a backslash, NULL as \N, the cells of
/// binary and BIT columns as hexadecimal digits stored through UNHEX().
#pragma once

#include <glib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "providers/Supports/MariaDB/reader.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/cluster.hpp"

namespace Ombrix::Solvane::Supports::Data {

using Providers::Contracts::DataType;

/// Columns whose cells travel as hexadecimal digits and are stored through UNHEX(): the binary
/// kinds and BIT (BOOLEAN), which takes "0x…" texts, numbers and true/false.
inline bool travels_as_hex(DataType type) {
    return Extractors::is_binary_kind(type) || type == DataType::BOOLEAN;
}

inline void append_load_escaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = nullptr;
        switch (c) {
            case '\\': escape = "\\\\"; break;
            case '\t': escape = "\\t"; break;
            case '\n': escape = "\\n"; break;
            case '\r': escape = "\\r"; break;
            case '\0': escape = "\\0"; break;
            default: continue;
        }
        out.append(text, start, i - start);
        out += escape;
        start = i + 1;
    }
    out.append(text, start, std::string_view::npos);
}

/// Each byte as two upper-case hexadecimal digits, appended to `out` (binary cells of every row of
/// an export or a copy go through here, so the room is made once).
inline void append_hex_digits(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 2);
    char* p = out.data() + start;
    for (const unsigned char c : bytes) {
        *p++ = kDigits[c >> 4];
        *p++ = kDigits[c & 15];
    }
}

/// The kind each of the reader's first `columns` cells travels as: the reader's own, but bytes
/// (binary kinds, binary strings, BIT among them) as BINARY, written as X'…' or hexadecimal digits.
inline std::vector<DataType> cell_kinds(Providers::Supports::MariaDBReader& reader, std::size_t columns) {
    std::vector<DataType> kinds;
    for (std::size_t i = 0; i < columns; ++i) {
        const auto column = static_cast<std::uint16_t>(i);
        const DataType type = reader.get_data_type(column);
        const bool bytes = Extractors::is_binary_kind(type) || (type == DataType::STRING && reader.get_is_binary(column));
        kinds.push_back(bytes ? DataType::BINARY : type);
    }
    return kinds;
}

/// "(v1, v2, …)": the reader's current row as SQL literals of `kinds` (see `cell_kinds`), which read
/// the same under every sql_mode, as a dump's and a copy's INSERTs write them.
inline void append_row_literals(std::string& out, Providers::Supports::MariaDBReader& reader,
                                const std::vector<DataType>& kinds) {
    out += '(';
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i) out += ", ";
        const auto cell = reader.get_cell_view(static_cast<std::uint16_t>(i));
        Extractors::BaseExtractor::append_sql_literal(out, kinds[i], Extractors::Cell{cell, cell.data() == nullptr});
    }
    out += ')';
}

/// How every local data load begins; IGNORE or REPLACE may follow.
inline constexpr std::string_view kLocalLoadHead = "LOAD DATA LOCAL INFILE 'ombrix-import' ";

/// The LOAD DATA LOCAL INFILE statement for `columns` (quoted names) of `schema`.`table` (of the
/// session's schema when `schema` is empty), their
/// types deciding which go through UNHEX(): the file itself is served from memory. The tab, backslash
/// and line feed are written in hexadecimal, which reads the same under every sql_mode.
/// `duplicates` is "", "IGNORE" (a row whose key the table holds is skipped) or "REPLACE" (it
/// replaces the row there).
inline std::string local_load_statement(std::string_view schema, std::string_view table,
                                        const std::vector<std::string>& columns, const std::vector<DataType>& types,
                                        std::string_view duplicates = {}) {
    std::string sql = std::string(kLocalLoadHead) +
                      (duplicates.empty() ? std::string() : std::string(duplicates) + " ") + "INTO TABLE " +
                      (schema.empty() ? std::string() : Database::mariadb_quote_identifier(schema) + ".") +
                      Database::mariadb_quote_identifier(table) +
                      " CHARACTER SET utf8mb4 FIELDS TERMINATED BY X'09' ESCAPED BY X'5C' LINES TERMINATED BY X'0A' (";
    std::string sets;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        if (i < types.size() && travels_as_hex(types[i])) {
            const std::string variable = "@c" + std::to_string(i);
            sql += variable;
            sets += (sets.empty() ? " SET " : ", ") + columns[i] + " = UNHEX(" + variable + ")";
        } else {
            sql += columns[i];
        }
    }
    return sql + ")" + sets;
}

/// Fails, quoting the first of them, when the statement `target` ran last raised a warning above a
/// note (`count`: its warning count): a value cut, rounded or replaced, or a row skipped. A load or
/// an INSERT IGNORE stores such rows anyway, so the rows would differ from what was sent. With
/// `skipping_duplicates`, a row left out for a key the table holds (1062) is what was asked for.
inline Core::Status refuse_warnings(Providers::Supports::MariaDBProvider& target, unsigned count,
                                    bool skipping_duplicates = false) {
    if (count == 0) return {};
    auto shown = target.execute_model("SHOW WARNINGS");
    if (!shown) return Core::fail(shown.error());
    const auto& model = **shown;
    for (std::size_t r = 0; r < model.get_n_items(); ++r) {
        const auto level = model.get_value_at(0, r);
        const auto code = model.get_value_at(1, r);
        if ((level && level->to_string() == "Note") || (skipping_duplicates && code && code->to_string() == "1062"))
            continue;
        const auto message = model.get_value_at(2, r);
        return Core::fail("default", -1,
                          "the server changed or skipped values (" + std::to_string(count) + " warning(s)), first: " +
                              (level ? level->to_string() : std::string()) + " " + (code ? code->to_string() : std::string()) +
                              ": " + (message ? message->to_string() : std::string()));
    }
    return {};
}

/// Stores `data` (`rows` lines of the load format) with `statement` in a transaction of its own:
/// committed only when the server stored every row (and, with `warnings_refuse`, raised no warning
/// above a note: to a load a skipped duplicate or a truncated value is only a warning, and with
/// IGNORE in `statement` only a skipped duplicate passes); otherwise rolled back,
/// and the error says why. A `rows` below 0 takes whatever the load stored (a load that skips or
/// replaces rows whose key the table holds).
inline Core::Status load_batch_once(Providers::Supports::MariaDBProvider& target, const std::string& statement,
                                    std::string_view data, std::int64_t rows, bool warnings_refuse) {
    std::size_t offset = 0;
    const std::function<long(char*, std::size_t)> feed = [&](char* buffer, std::size_t size) -> long {
        const std::size_t n = std::min(size, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, n);
        offset += n;
        return static_cast<long>(n);
    };
    if (auto begun = target.execute_affect("START TRANSACTION"); !begun) {
        if (!Providers::Supports::MariaDBProvider::is_connection_lost(begun.error()))
            (void)target.execute_affect("ROLLBACK");
        return Core::fail(begun.error());
    }
    Core::Status outcome;
    auto loaded = target.execute_local_data(statement, feed);
    if (!loaded)
        outcome = Core::fail(loaded.error());
    else if (rows >= 0 && loaded->rows != rows) {
        outcome = refuse_warnings(target, loaded->warnings);
        if (outcome) outcome = Core::fail("default", -1, std::to_string(rows - loaded->rows) + " row(s) not stored");
    } else if (warnings_refuse) {
        const bool skipping = statement.starts_with(std::string(kLocalLoadHead) + "IGNORE ");
        outcome = refuse_warnings(target, loaded->warnings, skipping);
    }
    if (outcome) {
        if (auto committed = target.execute_affect("COMMIT"); !committed) outcome = Core::fail(committed.error());
    }
    // A session that lost its server has lost its transaction with it: a ROLLBACK would only log
    // in again first.
    if (!outcome && !Providers::Supports::MariaDBProvider::is_connection_lost(outcome.error()))
        (void)target.execute_affect("ROLLBACK");
    return outcome;
}

/// `load_batch_once`, run again (with a growing pause) when sessions loading parts of one table
/// side by side meet in a deadlock, when a cluster refuses the batch for a conflict with a write on
/// another node, or while the cluster changes its members (Database::passing_refusal): each time
/// the server has undone the whole transaction, so nothing of the batch stays. Each retry is counted
/// (Database::conflict_retries).
inline Core::Status load_batch(Providers::Supports::MariaDBProvider& target, const std::string& statement,
                               std::string_view data, std::int64_t rows, bool warnings_refuse) {
    auto outcome = load_batch_once(target, statement, data, rows, warnings_refuse);
    for (int attempt = 1; !outcome && Database::passing_refusal(outcome.error()) && attempt < Database::kConflictAttempts;
         ++attempt) {
        Database::count_conflict_retry();
        g_usleep(static_cast<gulong>(Database::conflict_backoff_microseconds(attempt)));
        outcome = load_batch_once(target, statement, data, rows, warnings_refuse);
    }
    return outcome;
}

}  // namespace Ombrix::Solvane::Supports::Data
