#include "context.hpp"

#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Helpers/password_helper.hpp"

#include <iostream>
#include <glib.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "interrupt.hpp"
#include "output.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Cli {

using Providers::Contracts::Server;
using Providers::Contracts::ServerSetting;

namespace {

std::string error_text(const Core::Error& error) { return error.message; }

/// The sandbox script: $OMBRIX_SANDBOX_SCRIPT, the source tree's, or the
/// installed one.
std::string sandbox_script() {
    if (const char* env = std::getenv("OMBRIX_SANDBOX_SCRIPT"); env && *env) return env;
    for (const std::string& candidate :
         {std::string(OMBRIX_SOURCE_DIR "/scripts/mariadb-sandbox"), std::string(OMBRIX_DATA_DIR "/mariadb-sandbox")}) {
        if (g_file_test(candidate.c_str(), G_FILE_TEST_IS_EXECUTABLE)) return candidate;
    }
    throw Failure("cannot find the mariadb-sandbox script (set OMBRIX_SANDBOX_SCRIPT)");
}


}  // namespace

std::string Context::profiles_path() const {
    if (!profiles_file.empty()) return profiles_file;
    return std::string(g_get_user_config_dir()) + "/ombrix/profiles.json";
}

std::shared_ptr<ServerSetting> Context::load_profiles() const {
    const std::string path = profiles_path();
    if (!Core::file_exists(path)) {
        gchar* folder = g_path_get_dirname(path.c_str());
        g_mkdir_with_parents(folder, 0700);
        g_free(folder);
        auto written = Core::write_private_file(path,
                                        "{\n  \"organizations\" : [],\n  \"groups\" : "
                                        "[],\n  \"servers\" : []\n}\n");
        if (!written) throw Failure("cannot create the profile file " + path + ": " + error_text(written.error()));
    }
    auto setting = ServerSetting::create();
    if (auto loaded = setting->load(path); !loaded)
        throw Failure("cannot read the profile file " + path + ": " + error_text(loaded.error()));
    return setting;
}

std::shared_ptr<Server> Context::resolve_profile(const std::string& name) const {
    if (name.empty()) return sandbox_profile(ensure_sandbox(), "sandbox");
    auto setting = load_profiles();
    auto server = find_profile(*setting, name);
    if (!server) throw Failure("no profile named \"" + name + "\" in " + profiles_path());
    return server;
}

std::shared_ptr<Server> find_profile(const ServerSetting& setting, const std::string& title) {
    for (const auto& server : setting.unite_servers())
        if (server->get_title() == title) return server;
    return nullptr;
}

SandboxInfo ensure_sandbox() {
    const std::string script = sandbox_script();
    const gchar* argv[] = {script.c_str(), "start", nullptr};
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = 0;
    GError* error = nullptr;
    const gboolean spawned = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                                          nullptr, &out, &err, &status, &error);
    std::string output = out ? out : "";
    std::string errors = err ? err : "";
    g_free(out);
    g_free(err);
    if (!spawned) {
        std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw Failure("cannot start the sandbox server: " + message);
    }
    if (!g_spawn_check_wait_status(status, nullptr)) {
        while (!errors.empty() && errors.back() == '\n') errors.pop_back();
        throw Failure("the sandbox server did not start: " + errors);
    }
    auto env = Core::parse_key_values(output);
    SandboxInfo info;
    info.host = env["OMBRIX_SANDBOX_HOST"];
    info.port = static_cast<unsigned>(std::strtoul(env["OMBRIX_SANDBOX_PORT"].c_str(), nullptr, 10));
    info.user = env["OMBRIX_SANDBOX_USER"];
    info.password = env["OMBRIX_SANDBOX_PASSWORD"];
    info.dir = env["OMBRIX_SANDBOX_DIR"];
    if (info.port == 0) throw Failure("the sandbox script printed no port");
    return info;
}

std::shared_ptr<Server> sandbox_profile(const SandboxInfo& sandbox, const std::string& title) {
    auto server = Server::new_with_provider("MariaDB");
    server->set_title(title);
    server->set_host(sandbox.host);
    server->set_port(sandbox.port);
    server->set_username(sandbox.user);
    server->set_password(sandbox.password);
    return server;
}

Connection open_connection(const Context& context, const std::string& profile) {
    auto server = context.resolve_profile(profile);
    if (server->get_options().find(kProtectedOption) != std::string::npos)
        Solvane::Helpers::PasswordHelper::decrypt_password(server);
    note_connection_log(server->get_uuid());
    auto connection = Solvane::Supports::Database::MariaDBConnection::create();
    cancel_on_interrupt(connection);
    if (auto opened = connection->open(server, nullptr); !opened) throw DatabaseFailure(describe_error(opened.error()));
    // Each host that did not answer is told of once, however many sessions the command opens.
    static std::set<std::string> told;
    for (const auto& skipped : connection->get_skipped_hosts())
        if (told.insert(skipped.substr(0, skipped.find(": "))).second)
            std::cerr << "ombrix: " << skipped << "; using " << connection->get_endpoint() << "\n";
    return connection;
}

std::vector<std::pair<std::string, std::function<Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>>()>>>
node_connectors(const Context& context, const std::string& profile) {
    std::vector<std::pair<std::string, std::function<Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>>()>>>
        nodes;
    auto server = context.resolve_profile(profile);
    if (server->get_hosts().empty()) return nodes;
    if (server->get_options().find(kProtectedOption) != std::string::npos)
        Solvane::Helpers::PasswordHelper::decrypt_password(server);
    for (const auto& endpoint : server->endpoints()) {
        auto one = server->clone(false);
        one->set_host(endpoint.host);
        one->set_port(endpoint.port);
        one->set_hosts({});
        nodes.emplace_back(endpoint.text(),
                           [one]() -> Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>> {
                               auto connection = Solvane::Supports::Database::MariaDBConnection::create();
                               if (auto opened = connection->open(one, nullptr); !opened) return Core::fail(opened.error());
                               return std::shared_ptr<Solvane::Contracts::Database::IConnection>(connection);
                           });
    }
    return nodes;
}

std::function<Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>>()> connector(
    const Context& context, const std::string& profile) {
    return [&context, profile]() -> Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>> {
        try {
            return std::shared_ptr<Solvane::Contracts::Database::IConnection>(open_connection(context, profile));
        } catch (const Failure& failure) {
            return Core::fail("default", -1, failure.what());
        }
    };
}

bool fails_over(const Core::Error& error) {
    // 1047: a node that left its cluster's primary component takes no statement.
    return Providers::Supports::MariaDBProvider::is_connection_lost(error) ||
           (error.domain == "MariaDB" && error.code == 1047);
}

int default_parallel() { return std::max(1, std::min(4, static_cast<int>(g_get_num_processors()))); }

std::pair<std::string, std::string> split_profile(const std::string& argument) {
    const auto colon = argument.find(':');
    if (colon == std::string::npos) return {std::string(), argument};
    return {argument.substr(0, colon), argument.substr(colon + 1)};
}

}  // namespace Ombrix::Cli
