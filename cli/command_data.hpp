/// @file The exchange formats as the commands use them: options and the extractor of a format.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Cli {

/// The format options the data commands share.
struct FormatOptions {
    std::optional<std::string> delimiter;
    std::string quote = "ifneed";
    bool header = true;
    std::optional<std::string> null_text;
    std::optional<std::string> encoding;
    std::string xml_storage = "element";
};

/// Adds --delimiter, --quote, --header/--no-header, --null-text, --encoding and --xml-storage to
/// `command`.
void add_format_options(CLI::App& command, FormatOptions& options);

/// The extractor of `format` (csv, tsv, json, xml, html, md, sql-insert, sql-update) with its options
/// set from `options`; `table_name` names the table of the SQL formats. An unknown format is a Failure.
std::shared_ptr<Solvane::Supports::Data::Extractors::BaseExtractor> make_extractor(const std::string& format,
                                                                                  const FormatOptions& options,
                                                                                  const std::string& table_name);

}  // namespace Ombrix::Cli
