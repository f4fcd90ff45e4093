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
#include "solvane/Supports/Data/compress.hpp"
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
    /// Readers working at once (directory dumps only; 1 in a single file). More than one share one
    /// snapshot through a brief global read lock; an account without the RELOAD privilege for it
    /// gets one reader and a warning.
    int parallel = 1;
    /// Hold tables without transactions read-locked for the whole dump, so that they too are read
    /// at the snapshot's moment (their writers wait).
    bool lock_tables = false;
    /// Rows from which a table with a single integer key is split into key ranges, one file each
    /// (directory dumps with more than one reader).
    std::int64_t range_rows = 100000;
    /// Opens another session on the source, as the one given: for readers beyond the first and for
    /// the lock of lock_tables.
    std::function<Core::Result<std::shared_ptr<Contracts::Database::IConnection>>()> connect;
};

/// The file that lists a directory dump's files, in the order they load, written last: a directory
/// without it is not a whole dump.
inline constexpr const char* kDumpManifest = "ombrix-dump.manifest";

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

/// Writes the schemas of `source` into the directory `directory` (created when missing; it must
/// hold no dump already): the structure of every schema in one file, the rows of each table (or of
/// each key range of a big table) in a file of its own, each loadable alone by the standard client,
/// then the counters, triggers and events in one file, and last the manifest (kDumpManifest) that
/// lists them. Files are compressed as `compression` says. `options.parallel` readers share the
/// snapshot.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<DumpReport> dump_to_directory(
    const std::shared_ptr<Contracts::Database::IConnection>& source, const DumpOptions& options,
    const std::string& directory, Supports::Data::Compression compression,
    const std::function<void(const std::string& table, std::int64_t rows)>& progress = {});

/// One file of a directory dump, as its manifest lists it.
struct DumpFile {
    enum class Kind { STRUCTURE, ROWS, PROGRAMS };
    Kind kind = Kind::STRUCTURE;
    /// The file's name within the directory.
    std::string name;
    /// For rows: the schema and table they go into, and the key range they cover ("" for all).
    std::string schema;
    std::string table;
    std::string range;
};

/// A directory dump's manifest.
struct DumpManifest {
    std::vector<std::string> schemas;
    std::vector<DumpFile> files;
    /// The manifest's own text, which tells one dump from another.
    std::string text;
};

/// Reads the manifest of the directory dump `directory`; an error when it has none or it is cut.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<DumpManifest> read_dump_manifest(const std::string& directory);

/// The schemas a single-file dump names in its header (the names it creates), or none when `text`
/// does not start as a dump of ours does.
OMBRIX_SOLVANE_EXPORT std::vector<std::string> dump_header_schemas(std::string_view text);

}  // namespace Ombrix::Solvane::Transform
