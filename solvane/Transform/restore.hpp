/// @file Loading a dump (one file, compressed or not, or a directory of files) or any SQL script
/// back into a server: statement by statement, under another schema name if asked, with several
/// sessions at once for a directory's rows, and resumable after a fault through a journal kept
/// beside the dump.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

struct RestoreOptions {
    /// A dump file (plain, gzip or zstd), a directory dump, an SQL script, or "-" for standard input.
    std::string path;
    /// The schema a single-schema dump is loaded into (empty: the name it was dumped under). A plain
    /// script runs with it as its default schema.
    std::string target_schema;
    /// Sessions loading a directory's row files at once.
    int parallel = 1;
    /// Go on from where the journal says an earlier load of the same dump into the same schema
    /// stopped, without running again what it committed.
    bool resume = false;
    /// Opens another session on the target, as the one given (for parallel loading).
    std::function<Core::Result<std::shared_ptr<Contracts::Database::IConnection>>()> connect;
};

struct RestoreReport {
    std::int64_t files = 0;
    std::int64_t statements = 0;
    /// Statements a resumed load found committed by the earlier one and did not run again.
    std::int64_t skipped = 0;
    /// What the user should know (a resume without a journal, fewer sessions than asked for).
    std::vector<std::string> notes;
};

/// The journal a load of `path` keeps: beside a file, or inside a directory.
OMBRIX_SOLVANE_EXPORT std::string restore_journal_path(const std::string& path);

/// Loads `options.path` into `target`. A failed statement stops the load with an error naming the
/// file, the statement's number and line, and the server's error (domain and code kept). The journal
/// records each statement as it commits and goes once the load is whole; a load that finds a journal
/// it did not resume from refuses to start, since the earlier load's rows are in the target.
/// `progress` hears of each statement begun: its file, its number, and the file's count where it is
/// known (0 while the file is being read).
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<RestoreReport> restore_dump(
    const std::shared_ptr<Contracts::Database::IConnection>& target, const RestoreOptions& options,
    const std::function<void(const std::string& file, std::size_t statement, std::size_t statements)>& progress = {});

/// `statement` moved from schema `from` to schema `to`: the name after CREATE/ALTER/DROP DATABASE
/// (or SCHEMA) and USE, and every use of `from` as a qualifier (as the model's retargeting does).
OMBRIX_SOLVANE_EXPORT std::string rename_schema_in(std::string_view statement, const std::string& from,
                                                   const std::string& to);

}  // namespace Ombrix::Solvane::Transform
