/// @file Export of a table model as an HTML page holding one table.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// Writes a page with a styled table: a header row of column names, then one row per data row.
/// Names and cell texts are HTML-escaped, a NULL cell is an empty cell and binary cells are
/// written as "0x" and upper-case hex. Reports progress after every row with the row's text.
class OMBRIX_SOLVANE_EXPORT HtmlExtractor final : public BaseExtractor {
public:
    /// A null extension writes the critical "file_extension != NULL" and gives null.
    static std::shared_ptr<HtmlExtractor> create(std::string_view file_extension);

    OMBRIX_OBJECT(HtmlExtractor, BaseExtractor);

    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;

    /// Appends `text` with & < > " ' replaced by their character references, so that it is safe
    /// both as element content and inside a quoted attribute value.
    static void append_escaped(std::string& out, std::string_view text);
    /// `text` escaped as `append_escaped` does.
    static std::string escaped(std::string_view text);

private:
    explicit HtmlExtractor(std::string_view file_extension) : BaseExtractor(file_extension) {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
