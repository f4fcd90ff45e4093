/// @file Delimiter-separated values (comma, tab or any other separator): writing and streaming reads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// Option keys of the delimited-text dialect (besides FILENAME, COLUMNS, ACTION and NULL_VALUE).
inline constexpr std::string_view kOptionRowPrefix = "ROW_PREFIX";
inline constexpr std::string_view kOptionRowSuffix = "ROW_SUFFIX";
inline constexpr std::string_view kOptionHasHeader = "HAS_HEADER";
inline constexpr std::string_view kOptionDelimiterColumn = "DELIMITER_COLUMN";
inline constexpr std::string_view kOptionDelimiterRow = "DELIMITER_ROWNEW";
inline constexpr std::string_view kOptionQuotationList = "QUOTATION_LIST";
inline constexpr std::string_view kOptionQuotationTime = "QUOTATION_TIME";
inline constexpr std::string_view kOptionEncoding = "ENCODING";

/// Reads and writes delimited text in a dialect set entirely by options: ROW_PREFIX and ROW_SUFFIX
/// (""), NULL_VALUE (""), HAS_HEADER ("true"), DELIMITER_COLUMN (","), DELIMITER_ROWNEW ("\n"),
/// QUOTATION_LIST (left quote, right quote, left escape and right escape separated by "-", only
/// the first ";"-entry counts; by default '"' and '""'; a missing right quote is the left one and
/// a missing escape doubles its quote), QUOTATION_TIME ("ifneed":
/// quote what needs it; "always": every non-null cell), and for reading FILENAME and ENCODING
/// ("UTF-8").
///
/// A written text reads back as it was written: a cell holding a delimiter, a quote, a line end
/// or, with NULL_VALUE set, the null text itself is quoted. NULL cells can only be told from
/// texts when NULL_VALUE is set; then an unquoted cell equal to it reads as NULL. Escapes other
/// than doubled quotes cannot carry every text (with \" for '"', no quoted cell can end with a
/// backslash): a cell that would read back as something else fails the export.
///
/// Reading streams the text or the file in chunks, so memory stays bounded by the longest row.
class OMBRIX_SOLVANE_EXPORT DsvExtractor final : public ImportingExtractor {

public:
    /// A null `file_extension` writes the critical "file_extension != NULL" and gives null.
    static std::shared_ptr<DsvExtractor> create(std::string_view file_extension);

    OMBRIX_OBJECT(DsvExtractor, ImportingExtractor);

    /// Streams the header and every row into `filename` (created or replaced, also for a model
    /// without rows): the number of rows written, or the error that stopped the export.
    [[nodiscard]] Core::Result<std::int64_t> export_to_file(const std::shared_ptr<TableModel>& model,
                                                            std::string_view filename,
                                                            const ProgressCallback& progress) override;

    /// A writer in the current dialect; it reports each row with its whole line.
    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;

    /// Reads the header line (when HAS_HEADER) right away. A file is read through a character-set
    /// converter when ENCODING is not UTF-8; open and conversion errors name the file.
    [[nodiscard]] Core::Result<std::unique_ptr<RowReader>> open_reader(
        std::shared_ptr<const std::string> text) override;

protected:
    /// Only with NULL_VALUE set can a cell be NULL and an empty text stay empty.
    bool exact_cells() const override;

private:
    explicit DsvExtractor(std::string_view file_extension) : ImportingExtractor(file_extension) {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
