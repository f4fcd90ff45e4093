// ombrix profile add|list|show|remove: the profile file.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

#include "commands.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Helpers/password_helper.hpp"

namespace Ombrix::Cli {

using Providers::Contracts::Server;

namespace {

struct AddOptions {
    std::string name;
    std::vector<std::string> hosts;
    std::string pick = "order";
    unsigned port = 3306;
    std::string user;
    std::string password;
    bool password_prompt = false;
    bool password_stdin = false;
    bool protect = false;
    std::string database;
    std::string ssh_host;
    unsigned ssh_port = 22;
    std::string ssh_user;
    std::string ssh_password;
    std::string ssh_key;
    std::string ssh_auth_type;
    std::string ssh_process;
    bool ssl = false;
    std::string ssl_ca;
    std::string ssl_cert;
    std::string ssl_key;
    std::string ssl_password;
    std::string ssl_mode;
};

/// A secret read from the terminal without echo (the prompt on the terminal too).
std::string read_secret_from_terminal(const std::string& prompt) {
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) throw Failure("no terminal to read the password from (use --password-stdin)");
    (void)!::write(fd, prompt.data(), prompt.size());
    termios saved{};
    const bool is_terminal = tcgetattr(fd, &saved) == 0;
    if (is_terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string secret;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') secret += c;
    if (is_terminal) tcsetattr(fd, TCSAFLUSH, &saved);
    (void)!::write(fd, "\n", 1);
    ::close(fd);
    if (!secret.empty() && secret.back() == '\r') secret.pop_back();
    return secret;
}

/// The first line of standard input, without its line end.
std::string read_secret_from_stdin() {
    std::string secret;
    std::getline(std::cin, secret);
    if (!secret.empty() && secret.back() == '\r') secret.pop_back();
    return secret;
}

void save(const Providers::Contracts::ServerSetting& setting) {
    if (auto saved = setting.save(); !saved)
        throw Failure("cannot write the profile file " + setting.get_filename() + ": " + saved.error().message);
}

/// Encrypts the profile's passwords for this user on this machine, or fails: a password that
/// stayed in clear, or that does not decrypt back to itself, would be stored marked protected and
/// could never be read again.
void protect_passwords(const std::shared_ptr<Server>& shared) {
    Server& server = *shared;
    using Solvane::Helpers::PasswordHelper;
    // The three secrets a profile may hold, each with whether it is in use.
    struct Field {
        std::function<std::string()> get;
        std::function<void(const std::string&)> set;
        bool in_use;
    };
    const std::vector<Field> fields = {
        {[&] { return server.get_password(); }, [&](const std::string& v) { server.set_password(v); }, true},
        {[&] { return server.get_ssh_password(); }, [&](const std::string& v) { server.set_ssh_password(v); },
         server.get_ssh_using()},
        {[&] { return server.get_ssl_password(); }, [&](const std::string& v) { server.set_ssl_password(v); },
         server.get_ssl_using()}};
    std::vector<std::string> clear;
    for (const auto& field : fields) clear.push_back(field.in_use ? field.get() : std::string());

    PasswordHelper::encrypt_password(shared);
    std::vector<std::string> sealed;
    bool changed = true;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        sealed.push_back(fields[i].in_use ? fields[i].get() : std::string());
        if (!clear[i].empty() && sealed[i] == clear[i]) changed = false;
    }
    // What was encrypted must decrypt back to what was given; the encrypted texts are kept.
    PasswordHelper::decrypt_password(shared);
    bool restored = true;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!fields[i].in_use) continue;
        if (fields[i].get() != clear[i]) restored = false;
        fields[i].set(sealed[i]);
    }
    if (!changed || !restored)
        throw Failure("--protect: the passwords could not be encrypted for this user on this machine (the log says "
                      "why); the profile was not stored");
}

}  // namespace

void add_profile_commands(CLI::App& app, Context& context) {
    auto* profile = app.add_subcommand("profile", "Manage connection profiles");
    profile->require_subcommand(1);

    auto add_options = std::make_shared<AddOptions>();
    auto* add = profile->add_subcommand("add", "Add a MariaDB profile");
    add->add_option("NAME", add_options->name, "Profile name")->required();
    add->add_option("--host", add_options->hosts,
                    "Server host; a cluster's nodes as h1:3306,h2,[::1]:3307 or --host repeated (a host without "
                    "a port takes --port)")
        ->required()
        ->delimiter(',');
    add->add_option("--pick", add_options->pick, "Which host to try first: order (as listed, the default) or random")
        ->check(CLI::IsMember({"order", "random"}));
    add->add_option("--port", add_options->port, "Server port")->check(CLI::Range(1, 65535));
    add->add_option("--user", add_options->user, "Login name")->required();
    auto* password = add->add_option("--password", add_options->password,
                                      "Login password (visible to other users of the machine: prefer the next two)");
    auto* prompt = add->add_flag("--password-prompt", add_options->password_prompt,
                                 "Read the login password from the terminal, without echo")
                       ->excludes(password);
    add->add_flag("--password-stdin", add_options->password_stdin, "Read the login password from standard input")
        ->excludes(password)
        ->excludes(prompt);
    add->add_flag("--protect", add_options->protect,
                  "Store the passwords encrypted for this user on this machine (the file's 0600 mode stays what "
                  "protects them from other users)");
    add->add_option("--database", add_options->database, "Initial database");
    auto* ssh = add->add_option("--ssh-host", add_options->ssh_host, "Open the server through an SSH tunnel via this host");
    add->add_option("--ssh-port", add_options->ssh_port, "SSH port")->check(CLI::Range(1, 65535))->needs(ssh);
    add->add_option("--ssh-user", add_options->ssh_user, "SSH login")->needs(ssh);
    add->add_option("--ssh-password", add_options->ssh_password, "SSH password (password authentication)")->needs(ssh);
    add->add_option("--ssh-key", add_options->ssh_key, "SSH private key file (public-key authentication)")->needs(ssh);
    add->add_option("--ssh-auth-type", add_options->ssh_auth_type, "\"password\" or \"publickey\"")->needs(ssh);
    add->add_option("--ssh-process", add_options->ssh_process, "SSH client program (default: ssh)")->needs(ssh);
    add->add_flag("--ssl", add_options->ssl, "Use TLS towards the server");
    add->add_option("--ssl-ca", add_options->ssl_ca, "TLS CA certificate file");
    add->add_option("--ssl-cert", add_options->ssl_cert, "TLS client certificate file");
    add->add_option("--ssl-key", add_options->ssl_key, "TLS client key file");
    add->add_option("--ssl-password", add_options->ssl_password, "Passphrase of the TLS client key");
    add->add_option("--ssl-mode", add_options->ssl_mode,
                    "With --ssl: require (TLS, the default), verify-ca (the server's certificate chain "
                    "against --ssl-ca) or verify-identity (also the host name)")
        ->check(CLI::IsMember({"require", "verify-ca", "verify-identity"}));
    add->callback([&context, add_options] {
        auto setting = context.load_profiles();
        if (find_profile(*setting, add_options->name))
            throw Failure("a profile named \"" + add_options->name + "\" already exists");
        auto server = Server::new_with_provider("MariaDB");
        server->set_title(add_options->name);
        // The first host is the profile's host and port, so that readers of one host find it there.
        std::vector<Server::Endpoint> endpoints;
        for (const auto& text : add_options->hosts) {
            auto endpoint = Server::parse_endpoint(text, static_cast<std::uint16_t>(add_options->port));
            if (!endpoint) throw Failure("--host " + text + ": not a host, host:port or [address]:port");
            endpoints.push_back(std::move(*endpoint));
        }
        server->set_host(endpoints.front().host);
        server->set_port(endpoints.front().port);
        if (endpoints.size() > 1) {
            std::vector<std::string> hosts;
            for (const auto& endpoint : endpoints) hosts.push_back(endpoint.text());
            server->set_hosts(hosts);
        }
        server->set_host_pick(add_options->pick);
        server->set_username(add_options->user);
        std::string secret = add_options->password;
        if (!secret.empty())
            std::cerr << "ombrix: warning: a password given on the command line is visible to other users of this "
                         "machine; use --password-prompt or --password-stdin\n";
        if (add_options->password_prompt) secret = read_secret_from_terminal("Password for " + add_options->user + ": ");
        if (add_options->password_stdin) secret = read_secret_from_stdin();
        server->set_password(secret);
        server->set_initial(add_options->database);
        if (!add_options->ssh_host.empty()) {
            server->set_ssh_using(true);
            server->set_ssh_host(add_options->ssh_host);
            server->set_ssh_port(add_options->ssh_port);
            server->set_ssh_username(add_options->ssh_user);
            server->set_ssh_password(add_options->ssh_password);
            server->set_ssh_key_private_file(add_options->ssh_key);
            server->set_ssh_process(add_options->ssh_process.empty() ? "ssh" : add_options->ssh_process);
            const bool with_key = !add_options->ssh_key.empty();
            server->set_ssh_auth_type(!add_options->ssh_auth_type.empty() ? add_options->ssh_auth_type
                                      : with_key                         ? "publickey"
                                                                         : "password");
        }
        const bool tls = add_options->ssl || !add_options->ssl_ca.empty() || !add_options->ssl_cert.empty() ||
                         !add_options->ssl_key.empty();
        if (tls) {
            server->set_ssl_using(true);
            server->set_ssl_ca_file(add_options->ssl_ca);
            server->set_ssl_cert_file(add_options->ssl_cert);
            server->set_ssl_key_file(add_options->ssl_key);
            server->set_ssl_password(add_options->ssl_password);
            if (!add_options->ssl_mode.empty()) server->set_ssl_mode(add_options->ssl_mode);
        }
        if (add_options->protect) {
            protect_passwords(server);
            server->set_options(kProtectedOption);
        }
        setting->append(server, "", "");
        save(*setting);
        std::cout << "Added profile \"" << add_options->name << "\" (" << server->get_uuid() << ")\n";
    });

    auto* list = profile->add_subcommand("list", "List the profiles, one name per line");
    list->callback([&context] {
        for (const auto& server : context.load_profiles()->unite_servers()) std::cout << server->get_title() << "\n";
    });

    auto show_name = std::make_shared<std::string>();
    auto* show = profile->add_subcommand("show", "Print a profile as JSON");
    show->add_option("NAME", *show_name, "Profile name")->required();
    show->callback([&context, show_name] {
        auto server = find_profile(*context.load_profiles(), *show_name);
        if (!server) throw Failure("no profile named \"" + *show_name + "\"");
        // Secrets are never printed: only whether one is set.
        auto node = Core::Json::serialize(*server);
        for (const char* key : {"password", "ssh-password", "ssl-password"})
            if (node.contains(key) && node[key].is_string() && !node[key].get<std::string>().empty()) node[key] = "(set)";
        std::cout << Core::Json::to_pretty(node) << "\n";
    });

    auto remove_name = std::make_shared<std::string>();
    auto* remove = profile->add_subcommand("remove", "Remove a profile");
    remove->add_option("NAME", *remove_name, "Profile name")->required();
    remove->callback([&context, remove_name] {
        auto setting = context.load_profiles();
        bool removed = false;
        // A profile may sit in a group or an organization: remove it from whichever list holds it.
        auto drop_from = [&](Providers::Contracts::ServerList& list) {
            for (const auto& server : list.items()) {
                if (server->get_title() == *remove_name) {
                    list.remove(server);
                    removed = true;
                    return;
                }
            }
        };
        drop_from(*setting->get_servers());
        for (const auto& group : *setting->get_groups())
            if (!removed) drop_from(*group->get_servers());
        for (const auto& organization : *setting->get_organizations())
            for (const auto& group : *organization->get_groups())
                if (!removed) drop_from(*group->get_servers());
        if (!removed) throw Failure("no profile named \"" + *remove_name + "\"");
        save(*setting);
        std::cout << "Removed profile \"" << *remove_name << "\"\n";
    });
}

}  // namespace Ombrix::Cli
