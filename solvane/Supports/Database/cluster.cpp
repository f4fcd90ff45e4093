#include "solvane/Supports/Database/cluster.hpp"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "providers/Contracts/model_table.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Database {

WriteLimits write_limits(Contracts::Database::IConnection& connection, std::size_t fallback) {
    WriteLimits limits;
    limits.bytes = fallback;
    auto model = connection.execute_as_model(
        "SHOW VARIABLES WHERE Variable_name IN ('wsrep_on', 'wsrep_max_ws_rows', 'wsrep_max_ws_size')");
    if (!model) return limits;
    std::string on, rows, size;
    for (std::size_t r = 0; r < (*model)->get_n_items(); ++r) {
        const auto name = (*model)->get_value_at(0, r);
        const auto value = (*model)->get_value_at(1, r);
        if (!name || !value) continue;
        const std::string key = name->to_string();
        (key == "wsrep_on" ? on : key == "wsrep_max_ws_rows" ? rows : size) = value->to_string();
    }
    if (Core::ascii_upper(on) != "ON") return limits;
    limits.cluster = true;
    const long long max_rows = std::atoll(rows.c_str());
    limits.rows = max_rows > 0 ? max_rows : 10000;
    constexpr std::size_t kFlowControlBytes = 4U << 20;
    const long long max_size = std::atoll(size.c_str());
    limits.bytes = std::min(fallback, kFlowControlBytes);
    if (max_size > 0) limits.bytes = std::min(limits.bytes, static_cast<std::size_t>(max_size / 2));
    return limits;
}

std::string cluster_table_warning(const std::string& name, bool has_primary_key, const std::string& engine) {
    if (!engine.empty() && Core::ascii_upper(engine) != "INNODB")
        return name + " keeps its rows in " + engine + ": a cluster replicates only InnoDB tables, so the other "
               "nodes will not have its rows";
    if (!has_primary_key)
        return name + " has no primary key: a cluster replicates its rows slowly (each row found by a scan on "
               "every node), and a node may apply them in another order";
    return {};
}

namespace {
std::atomic<std::int64_t> g_conflict_retries{0};
}  // namespace

std::int64_t conflict_retries() { return g_conflict_retries.load(); }

void count_conflict_retry() { ++g_conflict_retries; }

bool passing_refusal(const Core::Error& error) {
    return error.domain == "MariaDB" && (error.code == 1213 || error.code == 1180 || error.code == 1047);
}

unsigned long conflict_backoff_microseconds(int attempt) {
    const unsigned long base = 20000UL << std::min(attempt - 1, 6);
    return std::min(base, 1280000UL) + static_cast<unsigned long>(g_random_int_range(0, 20000));
}

}  // namespace Ombrix::Solvane::Supports::Database
