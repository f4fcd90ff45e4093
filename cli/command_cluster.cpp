// ombrix cluster status: every host of a profile asked, one by one, how its node stands in its
// cluster.
#include <nlohmann/json.hpp>

#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "commands.hpp"
#include "output.hpp"
#include "providers/Contracts/face_server.hpp"
#include "solvane/Helpers/password_helper.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

namespace Ombrix::Cli {

namespace {

struct ClusterOptions {
    std::string profile;
    bool json = false;
};

/// What one node says of itself; `error` when it could not be asked.
struct NodeState {
    std::string host;
    std::string error;
    bool wsrep = false;
    std::map<std::string, std::string> status;
    std::string get(const std::string& name) const {
        const auto found = status.find(name);
        return found == status.end() ? std::string() : found->second;
    }
};

constexpr const char* kStatusNames[] = {"wsrep_local_state_comment", "wsrep_ready", "wsrep_connected",
                                        "wsrep_cluster_status", "wsrep_cluster_size", "wsrep_cluster_state_uuid",
                                        "wsrep_flow_control_paused", "wsrep_local_recv_queue", "wsrep_local_send_queue"};

NodeState ask_node(const Context& context, const std::shared_ptr<Providers::Contracts::Server>& profile,
                   const Providers::Contracts::Server::Endpoint& endpoint) {
    NodeState node;
    node.host = endpoint.text();
    auto one = profile->clone(false);
    one->set_host(endpoint.host);
    one->set_port(endpoint.port);
    one->set_hosts({});
    auto connection = Solvane::Supports::Database::MariaDBConnection::create();
    if (auto opened = connection->open(one, nullptr); !opened) {
        node.error = describe_error(opened.error());
        return node;
    }
    auto on = connection->execute_as_model("SELECT @@wsrep_on");
    if (!on) {
        node.error = describe_error(on.error());
        connection->close();
        return node;
    }
    const auto value = (*on)->get_value_at(0, 0);
    node.wsrep = value && (value->to_string() == "1" || value->to_string() == "ON");
    std::string names;
    for (const char* name : kStatusNames) names += std::string(names.empty() ? "'" : ", '") + name + "'";
    auto rows = connection->execute_as_model("SHOW GLOBAL STATUS WHERE Variable_name IN (" + names + ")");
    if (!rows) {
        node.error = describe_error(rows.error());
    } else {
        for (std::size_t r = 0; r < (*rows)->get_n_items(); ++r) {
            const auto name = (*rows)->get_value_at(0, r);
            const auto text = (*rows)->get_value_at(1, r);
            if (name && text) node.status[name->to_string()] = text->to_string();
        }
    }
    connection->close();
    (void)context;
    return node;
}

void run_cluster_status(const Context& context, const ClusterOptions& options) {
    auto profile = context.resolve_profile(options.profile);
    if (profile->get_options().find(kProtectedOption) != std::string::npos)
        Solvane::Helpers::PasswordHelper::decrypt_password(profile);
    std::vector<NodeState> nodes;
    for (const auto& endpoint : profile->endpoints()) nodes.push_back(ask_node(context, profile, endpoint));

    // A node is well when it is Synced, ready, connected, in a primary component, and in the same
    // cluster as the first node that answered.
    std::set<std::string> clusters;
    for (const auto& node : nodes)
        if (node.error.empty() && node.wsrep) clusters.insert(node.get("wsrep_cluster_state_uuid"));
    std::vector<std::string> problems;
    bool any_wsrep = false, any_answer = false;
    for (const auto& node : nodes) {
        if (!node.error.empty()) {
            problems.push_back(node.host + ": unreachable (" + node.error + ")");
            continue;
        }
        any_answer = true;
        if (!node.wsrep) {
            problems.push_back(node.host + ": wsrep is off");
            continue;
        }
        any_wsrep = true;
        std::string wrong;
        if (node.get("wsrep_local_state_comment") != "Synced") wrong += "state " + node.get("wsrep_local_state_comment");
        if (node.get("wsrep_ready") != "ON") wrong += std::string(wrong.empty() ? "" : ", ") + "not ready";
        if (node.get("wsrep_connected") != "ON") wrong += std::string(wrong.empty() ? "" : ", ") + "not connected";
        if (node.get("wsrep_cluster_status") != "Primary")
            wrong += std::string(wrong.empty() ? "" : ", ") + "component " + node.get("wsrep_cluster_status");
        if (clusters.size() > 1) wrong += std::string(wrong.empty() ? "" : ", ") + "clusters differ";
        if (!wrong.empty()) problems.push_back(node.host + ": " + wrong);
    }

    if (options.json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const auto& node : nodes) {
            nlohmann::ordered_json entry;
            entry["host"] = node.host;
            if (!node.error.empty()) {
                entry["error"] = node.error;
            } else {
                entry["wsrep_on"] = node.wsrep;
                for (const char* name : kStatusNames) entry[name] = node.get(name);
            }
            out.push_back(std::move(entry));
        }
        std::cout << out.dump(4) << "\n";
    } else {
        std::ostringstream table;
        table << std::left << std::setw(24) << "host" << std::setw(12) << "state" << std::setw(7) << "ready"
              << std::setw(11) << "connected" << std::setw(9) << "size" << std::setw(38) << "cluster" << std::setw(11)
              << "fc paused" << std::setw(7) << "recv q" << "send q\n";
        for (const auto& node : nodes) {
            table << std::setw(24) << node.host;
            if (!node.error.empty())
                table << "unreachable: " << node.error << "\n";
            else if (!node.wsrep)
                table << "wsrep is off\n";
            else
                table << std::setw(12) << node.get("wsrep_local_state_comment") << std::setw(7) << node.get("wsrep_ready")
                      << std::setw(11) << node.get("wsrep_connected") << std::setw(9) << node.get("wsrep_cluster_size")
                      << std::setw(38) << node.get("wsrep_cluster_state_uuid") << std::setw(11)
                      << node.get("wsrep_flow_control_paused") << std::setw(7) << node.get("wsrep_local_recv_queue")
                      << node.get("wsrep_local_send_queue") << "\n";
        }
        std::cout << table.str();
    }
    if (any_answer && !any_wsrep) throw Failure("cluster status: wsrep is off: the server is not a cluster node", 2);
    if (!problems.empty()) {
        std::string text;
        for (const auto& problem : problems) text += (text.empty() ? "" : "; ") + problem;
        throw Failure("cluster status: " + text);
    }
}

}  // namespace

void add_cluster_commands(CLI::App& app, Context& context) {
    auto* cluster = app.add_subcommand("cluster", "The nodes of a cluster the profile lists");
    cluster->require_subcommand(1);
    auto options = std::make_shared<ClusterOptions>();
    auto* status = cluster->add_subcommand(
        "status", "Each listed node's state, readiness, cluster, flow control and queues (exit 1 naming each node "
                  "not Synced in one cluster, 2 when the server is no cluster node)");
    status->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
    status->add_flag("--json", options->json, "One JSON object per node");
    status->callback([&context, options] { run_cluster_status(context, *options); });
}

}  // namespace Ombrix::Cli
