/// @file Export of a table model as SQL statements, one per row: INSERTs or UPDATEs.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

/// The table the statements name.
inline constexpr std::string_view kOptionTableName = "TABLENAME";
/// The columns an UPDATE finds its row by, comma-separated (default: the first column).
inline constexpr std::string_view kOptionKey = "KEY";

/// One "INSERT INTO `t`(`a`,`b`) VALUES(…);" line per row, for the table named by option
/// "TABLENAME"; identifiers are backtick-quoted. File extension "sql"; no progress reports.
class OMBRIX_SOLVANE_EXPORT SqlInsertExtractor final : public BaseExtractor {
public:

    OMBRIX_CREATABLE_OBJECT(SqlInsertExtractor, BaseExtractor);

    /// Null, with an error (domain "default", code -1), when option "TABLENAME" is missing or empty.
    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;

private:
    SqlInsertExtractor() : BaseExtractor("sql") {}
};

/// One "UPDATE `t` SET `a` = …, `b` = … WHERE `a` = …;" line per row, for the table named by option
/// "TABLENAME", found by the columns option "KEY" names (joined by AND), else by the first column.
/// A row whose key holds a NULL fails the export: "= NULL" would find no row. File extension
/// "sql"; no progress reports.
class OMBRIX_SOLVANE_EXPORT SqlUpdateExtractor final : public BaseExtractor {
public:

    OMBRIX_CREATABLE_OBJECT(SqlUpdateExtractor, BaseExtractor);

    /// Null, with an error (domain "default", code -1), when option "TABLENAME" is missing or
    /// empty. A model without columns, or without a column "KEY" names, makes `begin` fail.
    std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress, std::uint64_t total,
                                             std::optional<Core::Error>& error) override;

private:
    SqlUpdateExtractor() : BaseExtractor("sql") {}
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
