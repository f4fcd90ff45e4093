/// @file A schema written as one SQL script that the standard client loads: its structure, its rows
/// read in one consistent snapshot, then its triggers and events.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Transform {

struct DumpOptions {
    /// The schemas to write, in this order.
    std::vector<std::string> schemas;
    /// The name each is written for (empty: its own), as `ddl --as` does.
    std::map<std::string, std::string, std::less<>> rename;
    /// Tables, views and sequences to write (empty: every object of the schemas).
    std::vector<std::string> tables;
    /// A condition per table that picks the rows written.
    std::map<std::string, std::string, std::less<>> where;
    /// Whether rows are written at all.
    bool data = true;
    /// The size a multi-row INSERT grows to before the next begins.
    std::size_t statement_bytes = 1U << 20;
};

struct DumpReport {
    std::int64_t tables = 0;
    std::int64_t rows = 0;
    /// What the reader should know (tables read outside the snapshot).
    std::vector<std::string> warnings;
    /// What the dump leaves out of the source (a versioned table's history): a dump with
    /// omissions is not the whole source.
    std::vector<std::string> omissions;
};

/// Writes the schemas of `source` into `sink`: a header (the server, the snapshot's
/// @@gtid_binlog_pos), then per schema its structure as `ddl` writes it (session settings
/// included), its rows as multi-row INSERTs in the session settings rows need (no foreign-key or
/// unique checks, UTC), AUTO_INCREMENT counters, then triggers and events. Every row is read in
/// one consistent snapshot of the source session. Memory stays bounded by the statement size.
/// `progress` hears of each table's rows as they are written.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<DumpReport> dump_schemas(
    const std::shared_ptr<Contracts::Database::IConnection>& source, const DumpOptions& options,
    Supports::Data::Extractors::TextSink& sink,
    const std::function<void(const std::string& table, std::int64_t rows)>& progress = {});

}  // namespace Ombrix::Solvane::Transform
