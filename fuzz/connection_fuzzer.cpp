// How a profile becomes the texts that open a connection. The library parses no connection string
// of its own: it builds one (KEY=value; items, which the MariaDB provider does not read) and the
// SSH tunnel's command line from the profile's fields. This target reads a profile (a JSON object,
// as one server of the profile file) and checks both.
//
// Invariants: the connection string of a profile whose fields hold no ';' reads back, item by item,
// as the documented keys in the documented order with the fields' values. The tunnel command never
// lets a profile field become an option of the client program: every argument after the program is
// one of our options, the value of one, or, last, the SSH host, which does not start with '-'; the
// SSH password never reaches the command line (the command is the same whatever the password is),
// only the environment of sshpass.
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"
#include "providers/Contracts/face_server.hpp"
#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"
#include "scripted_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"
#include "solvane/Supports/Database/ssh_tunnel.hpp"
#include "solvane/Supports/Database/statement.hpp"

using namespace Ombrix;
using Providers::Contracts::Server;
using namespace Ombrix::Solvane::Supports::Database;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

// Reads "KEY=value;KEY=value;" back; false when the text is not of that form.
bool read_items(std::string_view text, Items& items) {
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        if (end == std::string_view::npos) return false;
        const std::string_view item = text.substr(0, end);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) return false;
        items.emplace_back(std::string(item.substr(0, equals)), std::string(item.substr(equals + 1)));
        text.remove_prefix(end + 1);
    }
    return true;
}

void check_connection_string(const std::string& text, const Items& expected) {
    Items items;
    OMBRIX_FUZZ_CHECK(read_items(text, items) && items == expected, text);
}

std::string listing(const std::vector<std::string>& argv) {
    std::string out;
    for (const auto& arg : argv) out.append("[").append(arg).append("] ");
    return out;
}

void check_tunnel(const Server& server) {
    auto command = build_tunnel_command(server, {"UserKnownHostsFile=/dev/null"});
    if (!command) return;
    const auto& argv = command->argv;
    const bool publickey = Core::ascii_lower(server.get_ssh_auth_type()) == "publickey";
    const std::string program = server.get_ssh_process().empty() ? "ssh" : server.get_ssh_process();
    const bool plink = program.find("plink") != std::string::npos;
    const std::string destination = server.get_ssh_host().empty() ? server.get_host() : server.get_ssh_host();

    std::size_t i = 0;
    if (!publickey) {
        OMBRIX_FUZZ_CHECK(argv.size() >= 2 && argv[0] == "sshpass" && argv[1] == "-e", listing(argv));
        i = 2;
    }
    OMBRIX_FUZZ_CHECK(i < argv.size() && argv[i] == program, listing(argv));
    ++i;
    static const std::set<std::string> kFlags = {"-N", "-ssh", "-batch"};
    static const std::set<std::string> kValued = {"-o", "-p", "-P", "-l", "-i", "-L"};
    for (; i + 1 < argv.size(); ++i) {
        if (kFlags.contains(argv[i])) continue;
        OMBRIX_FUZZ_CHECK(kValued.contains(argv[i]), "a field became an argument of its own: " + listing(argv));
        ++i;  // the option's value
        OMBRIX_FUZZ_CHECK(i + 1 < argv.size(), "the command ends in an option: " + listing(argv));
    }
    OMBRIX_FUZZ_CHECK(i + 1 == argv.size() && argv[i] == destination && !destination.starts_with('-'),
                      "the SSH host is not the last argument: " + listing(argv));
    (void)plink;

    // The password changes the environment, never the command line.
    auto other = server.clone(false);
    other->set_ssh_password(server.get_ssh_password() + "\x01other");
    auto again = build_tunnel_command(*other, {"UserKnownHostsFile=/dev/null"});
    OMBRIX_FUZZ_CHECK(again && again->argv == argv, "the SSH password reached the command line: " + listing(argv));
    for (const auto& [name, value] : command->environment)
        OMBRIX_FUZZ_CHECK(name == "SSHPASS" && !publickey && value == server.get_ssh_password(), name);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto node = Core::Json::parse(Fuzz::as_text(data, size));
    if (!node) return 0;
    auto server = std::dynamic_pointer_cast<Server>(Core::Json::deserialize(*node, Server::static_type()));
    if (!server) return 0;

    Fuzz::ScriptedConnection connection;
    const std::string port = std::to_string(server->get_port());
    const std::string fields[] = {server->get_driver(),        server->get_host(),         server->get_initial(),
                                  server->get_username(),      server->get_password(),     server->get_ssl_ca_file(),
                                  server->get_ssl_cert_file(), server->get_ssl_key_file(), server->get_ssl_password()};
    bool plain = true;
    for (const auto& field : fields) plain = plain && field.find(';') == std::string::npos;
    const std::string mariadb = MariaDBStatement::create(&connection)->build_connection_string(server);
    const std::string portable = Statement::create(&connection)->build_connection_string(server);
    if (plain) {
        const std::string driver = "{" + server->get_driver() + "}";
        check_connection_string(portable, {{"DRIVER", driver},
                                           {"SERVER", server->get_host()},
                                           {"DATABASE", server->get_initial()},
                                           {"PORT", port},
                                           {"UID", server->get_username()},
                                           {"PWD", server->get_password()}});
        Items expected = {{"DRIVER", driver},    {"SERVER", server->get_host()},   {"DATABASE", server->get_initial()},
                          {"PORT", port},        {"USER", server->get_username()}, {"PASSWORD", server->get_password()},
                          {"CHARSET", "utf8mb4"}};
        if (server->get_ssl_using()) {
            expected.insert(expected.end(), {{"SSLCA", server->get_ssl_ca_file()},
                                             {"SSLCERT", server->get_ssl_cert_file()},
                                             {"SSLKEY", server->get_ssl_key_file()},
                                             {"SSLCIPHER", server->get_ssl_password()},
                                             {"SSLVERIFY", "1"}});
        }
        expected.emplace_back("INTERACTIVE", "1");
        check_connection_string(mariadb, expected);
    }
    check_tunnel(*server);
    return 0;
}
