/// @file What a server that is a node of a synchronously replicated cluster asks of those who write
/// to it: write sets of bounded rows and bytes, and tables it can replicate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "providers/Core/error.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// How large one transaction may be on a server.
struct WriteLimits {
    /// A node of a cluster (wsrep is on): each transaction is a write set every node certifies
    /// and applies.
    bool cluster = false;
    /// Rows per transaction, 0 for no limit.
    std::int64_t rows = 0;
    /// Bytes of rows per transaction (what a batch carries, a little below what the node refuses).
    std::size_t bytes = 0;
};

/// The limits of the server behind `connection`. Outside a cluster: no row limit and `fallback`
/// bytes. In a cluster: at most wsrep_max_ws_rows rows (10,000 when that is 0) and at most half of
/// wsrep_max_ws_size bytes, 4 MiB at the most: a write set that large is applied by every node
/// before the next, and larger ones make the slowest node pause the cluster (flow control). A
/// server that cannot be asked counts as no cluster.
OMBRIX_SOLVANE_EXPORT WriteLimits write_limits(Contracts::Database::IConnection& connection, std::size_t fallback);

/// What a table's replication in a cluster lacks: "" when it has a primary key and keeps its rows
/// in InnoDB; else a sentence naming `name` and why its rows may replicate badly or not at all.
OMBRIX_SOLVANE_EXPORT std::string cluster_table_warning(const std::string& name, bool has_primary_key,
                                                        const std::string& engine);

/// How many transactions this process ran again after a deadlock or a cluster's certification
/// conflict (both error 1213), and the counting of one more.
OMBRIX_SOLVANE_EXPORT std::int64_t conflict_retries();
OMBRIX_SOLVANE_EXPORT void count_conflict_retry();
/// The pause before retry `attempt` (from 1): doubling from 20 ms, with up to 20 ms of jitter so
/// that writers that met each other do not meet again, 1.3 s at the most.
OMBRIX_SOLVANE_EXPORT unsigned long conflict_backoff_microseconds(int attempt);
/// Tries a transaction runs before its conflict is an error: about eight seconds of pauses, long
/// enough for a cluster to notice a lost node and go on without it.
inline constexpr int kConflictAttempts = 12;
/// Whether `error` refused a whole transaction for a passing reason, so that the same transaction
/// may run again: a deadlock or a cluster's certification conflict (1213), a write set the cluster
/// could not replicate while it changed its members (1180), a node not yet back in its cluster's
/// primary component (1047).
OMBRIX_SOLVANE_EXPORT bool passing_refusal(const Core::Error& error);

}  // namespace Ombrix::Solvane::Supports::Database
