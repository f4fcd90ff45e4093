/// @file Printing result models and errors the same way in every command.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

namespace Ombrix::Cli {

/// Prints a header line of column names and one line per row, columns aligned, NULL as "NULL".
void print_grid(std::ostream& out, const Providers::Contracts::TableModel& model);
/// "MariaDB error <code>: <message>" for the provider's errors, "<domain> error ..." for others.
std::string describe_error(const Core::Error& error);

/// Where a command writes its result: the file `path` (created or replaced), or standard output for
/// "" or "-". A file that cannot be made is a Failure naming `command` and the file.
std::unique_ptr<Solvane::Supports::Data::Extractors::FileSink> open_output(const std::string& path,
                                                                           const std::string& command);
/// Throws the database's failure of `status`, if it failed.
void check_database(const Core::Status& status);

}  // namespace Ombrix::Cli
