/// @file Export and import of table data as a JSON document: {"RECORDS": [ {row}, ... ]}.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// Writes one object with the member "RECORDS", an array holding one object per row whose
/// members are the columns in order, printed with four spaces per level. Members are typed by
/// column: null for DBNULL columns and NULL cells, true/false for BOOLEAN, bare numbers for
/// integer, MONEY, FLOAT and DOUBLE cells that are numbers, "0x" and upper-case hex for binary
/// kinds, strings otherwise. Invalid UTF-8 in a text is written as U+FFFD. The document is
/// written row by row, never held whole.
///
/// Reading parses the whole document first (so a document that is not well-formed yields no
/// row), then gives each element of "RECORDS" as a row named by its own members: strings as
/// they are, numbers as their shortest decimal text, true/false as "1"/"0", null as NULL and
/// nested objects or arrays as their compact JSON text. An import counts affected rows and
/// reports progress.
class OMBRIX_SOLVANE_EXPORT JsonExtractor final : public ImportingExtractor {
public:
    /// A null extension writes the critical "file_extension != NULL" and gives null.
    static std::shared_ptr<JsonExtractor> create(std::string_view file_extension);

    OMBRIX_OBJECT(JsonExtractor, ImportingExtractor);

    /// Streams the document into the file (created or replaced, also for a model without rows).
    [[nodiscard]] Core::Result<std::int64_t> export_to_file(const std::shared_ptr<TableModel>& model,
                                                            std::string_view filename,
                                                            const ProgressCallback& progress) override;
    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;
    [[nodiscard]] Core::Result<std::unique_ptr<RowReader>> open_reader(
        std::shared_ptr<const std::string> text) override;

    /// Appends `text` as a JSON string literal (quotes included), escaped as a compact JSON
    /// printer does: \" \\ \b \f \n \r \t, other control characters as \u00xx, everything else
    /// as raw UTF-8, each invalid UTF-8 sequence replaced by U+FFFD.
    static void append_string(std::string& out, std::string_view text);

protected:
    ImportCount import_count() const override { return ImportCount::AFFECTED_ROWS; }
    bool import_reports_progress() const override { return true; }
    std::string row_failure_text(std::uint64_t index, std::string_view message) const override;

private:
    explicit JsonExtractor(std::string_view file_extension) : ImportingExtractor(file_extension) {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
