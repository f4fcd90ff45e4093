/// @file What the loader targets share: reading every row of a source, and writing rows back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Fuzz {

using Solvane::Supports::Data::Extractors::Cell;
using Solvane::Supports::Data::Extractors::ColumnInfo;
using Solvane::Supports::Data::Extractors::ImportingExtractor;
using Solvane::Supports::Data::Extractors::SourceRow;
using Solvane::Supports::Data::Extractors::StringSink;

/// Everything a reader gave, or the error that stopped it.
struct Reading {
    bool ok = false;
    std::vector<std::string> header;
    std::vector<SourceRow> rows;
};

/// Reads `text` (or, when it is null, the file the extractor's FILENAME option names) to the end.
inline Reading read_all(ImportingExtractor& extractor, std::shared_ptr<const std::string> text) {
    Reading reading;
    auto reader = extractor.open_reader(std::move(text));
    if (!reader) return reading;
    for (;;) {
        SourceRow row;
        auto more = (*reader)->next(row);
        if (!more) return reading;
        if (!*more) break;
        reading.rows.push_back(std::move(row));
    }
    reading.header = (*reader)->header();
    reading.ok = true;
    return reading;
}

inline bool same_rows(const SourceRow& a, const SourceRow& b) {
    return a.names == b.names && a.values == b.values && a.number == b.number && a.defect == b.defect;
}

inline bool same_reading(const Reading& a, const Reading& b) {
    if (a.ok != b.ok || a.header != b.header || a.rows.size() != b.rows.size()) return false;
    for (std::size_t i = 0; i < a.rows.size(); ++i)
        if (!same_rows(a.rows[i], b.rows[i])) return false;
    return true;
}

/// The rows as the extractor's writer writes them, under text columns named `names`; nullopt when
/// the writer refuses them.
inline std::optional<std::string> write_rows(ImportingExtractor& extractor, const std::vector<std::string>& names,
                                             const std::vector<const SourceRow*>& rows) {
    std::string out;
    StringSink sink(out);
    std::optional<Core::Error> error;
    auto writer = extractor.create_writer(sink, nullptr, rows.size(), error);
    if (!writer) return std::nullopt;
    std::vector<ColumnInfo> columns;
    for (const auto& name : names) columns.push_back({name, Providers::Contracts::DataType::STRING});
    if (!writer->begin(columns)) return std::nullopt;
    std::vector<Cell> cells(names.size());
    for (const SourceRow* row : rows) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto& value = row->values[i];
            cells[i] = value ? Cell{*value, false} : Cell{{}, true};
        }
        if (!writer->row(cells.data())) return std::nullopt;
    }
    if (!writer->end()) return std::nullopt;
    if (!sink.close()) return std::nullopt;
    return out;
}

/// A listing of rows for a failure report.
inline std::string describe(const Reading& reading) {
    std::string out = reading.ok ? "header:" : "FAILED header:";
    for (const auto& name : reading.header) out.append(" [").append(name).append("]");
    out += "\n";
    for (const auto& row : reading.rows) {
        out += std::to_string(row.number) + ":";
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            out += " ";
            if (i < row.names.size()) out.append(row.names[i]).append("=");
            out += row.values[i] ? "[" + *row.values[i] + "]" : "NULL";
        }
        if (!row.defect.empty()) out += "  (" + row.defect + ")";
        out += "\n";
    }
    return out;
}

}  // namespace Ombrix::Fuzz

namespace Ombrix::Fuzz {

/// For sources whose rows name their own cells (JSON members, XML children or attributes): the rows
/// that name the same cells as the first row, written back under those names and read again, must
/// read as the same names and cells. `has_null`: whether the format can tell NULL from "" the way
/// the writer is set up (else NULL comes back as "").
inline void check_named_round_trip(ImportingExtractor& extractor, const Reading& reading, bool has_null,
                                   const char* what) {
    if (!reading.ok) return;
    const std::vector<std::string>* names = nullptr;
    std::vector<const SourceRow*> rows;
    for (const auto& row : reading.rows) {
        if (!row.defect.empty() || row.names.empty() || row.names.size() != row.values.size()) continue;
        if (!names) names = &row.names;
        if (row.names == *names) rows.push_back(&row);
    }
    if (!names) return;
    const auto written = write_rows(extractor, *names, rows);
    if (!written) return;  // names or cells the format cannot carry: refused, as documented
    const Reading back = read_all(extractor, std::make_shared<const std::string>(*written));
    bool same = back.ok && back.rows.size() == rows.size();
    for (std::size_t i = 0; same && i < rows.size(); ++i) {
        auto expected = rows[i]->values;
        if (!has_null)
            for (auto& cell : expected)
                if (!cell) cell.emplace();
        same = back.rows[i].names == *names && back.rows[i].values == expected;
    }
    if (!same) {
        Reading sent;
        sent.ok = true;
        for (const SourceRow* row : rows) sent.rows.push_back(*row);
        broken(what, "rows:\n" + describe(sent) + "written:\n" + *written + "\nread back:\n" + describe(back));
    }
}

}  // namespace Ombrix::Fuzz
