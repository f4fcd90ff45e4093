/// @file Export of a table model as a Markdown table.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// Writes a header line of column names, a separator line and one line per data row. A NULL cell
/// is an empty cell; binary cells are written as "0x" and upper-case hex. Reports progress after
/// every row with the row's line.
class OMBRIX_SOLVANE_EXPORT MarkdownExtractor final : public BaseExtractor {
public:
    /// A null extension writes the critical "file_extension != NULL" and gives null.
    static std::shared_ptr<MarkdownExtractor> create(std::string_view file_extension);

    OMBRIX_OBJECT(MarkdownExtractor, BaseExtractor);

    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;

    /// Appends `text` fit for one table cell: "|" becomes "\|" and every line break ("\r\n",
    /// "\n" or "\r") becomes "<br>", since either would otherwise end the cell or the row; "<",
    /// ">" and "&" become "&lt;", "&gt;" and "&amp;", since a renderer would take them as HTML.
    static void append_escaped(std::string& out, std::string_view text);

private:
    explicit MarkdownExtractor(std::string_view file_extension) : BaseExtractor(file_extension) {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
