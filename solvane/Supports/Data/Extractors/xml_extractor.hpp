/// @file Export and import of table data as an XML document: <RECORDS><RECORD>...</RECORD></RECORDS>.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// Option "STORAGE": "attribute" writes a row's cells as attributes of its RECORD element;
/// anything else ("element") as child elements. On reading, "attribute" makes an empty RECORD a
/// row of NULLs.
inline constexpr std::string_view kOptionStorage = "STORAGE";

/// Writes the declaration, a root RECORDS and one RECORD per row, indented by four spaces per
/// level, streaming through the sink. A NULL cell is written as the text of option "NULL_VALUE"
/// when it is set; otherwise as an empty child carrying xsi:nil="true" (child storage) or as no
/// attribute at all (attribute storage). A text equal to the NULL text is written as CDATA (child
/// storage) or fails the export (attribute storage). Line breaks, carriage returns and tabs are
/// written as character references wherever XML would otherwise change them. A column name that
/// is no XML name is written encoded as `encode_name` does; a cell holding a character XML cannot
/// carry fails the export.
///
/// Reading first checks that the whole document is well-formed (a broken one yields no row),
/// then walks the RECORD elements of the first RECORDS element in any layout: the child
/// elements of a RECORD, or its attributes when it has none, name its cells (decoded). A record
/// of attributes lacks only its NULL cells. xsi:nil="true" and, when option "NULL_VALUE" is set,
/// a text equal to it outside CDATA read as NULL. No external entity, DTD or network resource is
/// ever loaded. An import counts the records it processed.
class OMBRIX_SOLVANE_EXPORT XmlExtractor final : public ImportingExtractor {
public:
    /// A null extension writes the critical "file_extension != NULL" and gives null.
    static std::shared_ptr<XmlExtractor> create(std::string_view file_extension);

    OMBRIX_OBJECT(XmlExtractor, ImportingExtractor);

    /// Streams the document into the file (created or replaced, also for a model without rows);
    /// a file that cannot be created is an error.
    [[nodiscard]] Core::Result<std::int64_t> export_to_file(const std::shared_ptr<TableModel>& model,
                                                            std::string_view filename,
                                                            const ProgressCallback& progress) override;
    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;
    [[nodiscard]] Core::Result<std::unique_ptr<RowReader>> open_reader(
        std::shared_ptr<const std::string> text) override;

    /// `name` as an XML name (without a colon): unchanged when it is one; otherwise each character
    /// a name cannot hold there as `_xHHHH_` (`_xHHHHHHHH_` beyond U+FFFF) with its code point in
    /// upper-case hexadecimal ("0b2" is "_x0030_b2", "a b" is "a_x0020_b"), and an underscore that
    /// would start such an escape as `_x005F_`. As an `attribute`, "xmlns" is "_x0078_mlns".
    /// Nothing for an empty name or one that is not UTF-8.
    static std::optional<std::string> encode_name(std::string_view name, bool attribute);
    /// The name `encode_name` was given: every escape `_xHHHH_` or `_xHHHHHHHH_` of a character
    /// read back as it.
    static std::string decode_name(std::string_view name);

protected:
    ImportCount import_count() const override { return ImportCount::RECORDS_PROCESSED; }
    std::string row_failure_text(std::uint64_t index, std::string_view message) const override;

private:
    explicit XmlExtractor(std::string_view file_extension) : ImportingExtractor(file_extension) {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
