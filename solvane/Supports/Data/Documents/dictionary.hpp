/// @file What both data dictionaries share: filling translated texts, the nine cells of a column,
/// and the walk that numbers the index across schemas and writes one section at a time.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Documents::detail {

/// Appends a (translated) text whose "%s" marks are replaced, in order, by `args`; a translation
/// with fewer marks drops the rest, one with more keeps the extra marks as they are.
inline void append_filled(std::string& out, std::string_view format, std::initializer_list<std::string_view> args) {
    auto arg = args.begin();
    std::size_t start = 0;
    for (std::size_t mark = format.find("%s"); mark != std::string_view::npos && arg != args.end();
         mark = format.find("%s", start)) {
        out.append(format, start, mark - start);
        out += *arg++;
        start = mark + 2;
    }
    out.append(format, start, format.size() - start);
}

/// The nine cells of a column's row: ordinal, name, raw type, length, scale, null, primary key,
/// default and comment, the texts passed through `escape`.
template <class Escape>
std::array<std::string, 9> column_cells(const MetaModel::MetaColumn& column, Escape escape) {
    return {std::to_string(column.get_ordinal()),
            escape(column.get_name()),
            escape(column.get_raw_type()),
            std::to_string(column.get_length()),
            std::to_string(static_cast<unsigned>(column.get_scale())),
            column.get_not_null() ? Core::tr("No") : Core::tr("Yes"),
            column.get_is_primary_key() ? Core::tr("Yes") : "",
            escape(column.get_default_value()),
            escape(column.get_comment())};
}

/// Writes `head`, then an index row per table and then per view of each schema in order, numbered
/// from 1 across the schemas (`index_row(out, number, object, kind)`), then `index_end`; then, schema
/// by schema, `separator` and the section of each table (`table_section`) and each view
/// (`view_section`), one write per section so the buffer stays small.
template <class IndexRow, class TableSection, class ViewSection>
Core::Status write_dictionary(Extractors::TextSink& sink, std::string head, const MetaModel::MetaDatabase& database,
                              IndexRow index_row, std::string_view index_end, std::string_view separator,
                              TableSection table_section, ViewSection view_section) {
    std::string out = std::move(head);
    const auto& schemas = database.get_schemas()->items();
    unsigned number = 0;
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables())
            if (table) index_row(out, ++number, *table, Core::tr("Data table"));
        for (const auto& view : *schema->get_views())
            if (view) index_row(out, ++number, *view, Core::tr("Data view"));
    }
    out += index_end;
    if (auto status = sink.write(out); !status) return status;
    for (const auto& schema : schemas) {
        if (!schema) continue;
        for (const auto& table : *schema->get_tables()) {
            out.assign(separator);
            table_section(out, table);
            if (auto status = sink.write(out); !status) return status;
        }
        for (const auto& view : *schema->get_views()) {
            out.assign(separator);
            view_section(out, view);
            if (auto status = sink.write(out); !status) return status;
        }
    }
    return {};
}

}  // namespace Ombrix::Solvane::Supports::Data::Documents::detail
