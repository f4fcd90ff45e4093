#include "solvane/Supports/Database/ssh_tunnel.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Exceptions/sql_error.hpp"

namespace Ombrix::Solvane::Supports::Database {

using Exceptions::SQLError;
using Providers::Contracts::Server;

namespace {

constexpr std::size_t kStderrLimit = 64 * 1024;
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr auto kGracePeriod = std::chrono::seconds(3);

Core::Error tunnel_error(SQLError code, std::string message) {
    return Core::Error{std::string(Exceptions::kSQLErrorDomain), static_cast<int>(code), std::move(message)};
}

// An IPv6 address in a -L forwarding argument must be bracketed, or its colons would split the argument.
std::string forward_host(const std::string& host) {
    if (host.find(':') != std::string::npos && !host.starts_with('[')) return "[" + host + "]";
    return host;
}

// Whether something accepts connections on 127.0.0.1:`port`.
bool port_accepts(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// Runs in the child before exec: its own process group, so that ending the tunnel also ends what
// the program started (ssh under sshpass, say).
void own_process_group(gpointer) { setpgid(0, 0); }

// The tunnels of this process by local port: a port carries one target at a time.
struct Registry {
    std::mutex mutex;
    std::map<std::uint16_t, std::weak_ptr<SshTunnel>> tunnels;
};

Registry& registry() {
    static Registry* instance = new Registry();  // never destroyed: tunnels may outlive static destructors
    return *instance;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

Core::Result<TunnelCommand> build_tunnel_command(const Server& server, const std::vector<std::string>& ssh_options) {
    const std::uint32_t local_port = std::uint32_t{server.get_port()} + kTunnelPortOffset;
    if (local_port > 65535)
        return Core::fail(tunnel_error(
            SQLError::RANGE, Core::strprintf(Core::tr("The SSH tunnel would listen on local port %u (the server's "
                                                      "port plus 10000), which is above 65535."),
                                             local_port)));
    const std::string& host = server.get_host();
    const std::string& destination = server.get_ssh_host().empty() ? host : server.get_ssh_host();
    if (host.empty() || destination.empty())
        return Core::fail(tunnel_error(SQLError::MISSING_PARAMETER,
                                       Core::tr("The profile names no host for the SSH tunnel.")));
    // A name starting with '-' would be read as an option by the client program.
    for (const std::string* name : {&host, &destination, &server.get_ssh_username()})
        if (name->starts_with('-'))
            return Core::fail(tunnel_error(
                SQLError::FORMAT,
                Core::strprintf(Core::tr("“%s” is not a valid name for an SSH tunnel."), name->c_str())));

    const std::string program = server.get_ssh_process().empty() ? "ssh" : server.get_ssh_process();
    const bool plink = program.find("plink") != std::string::npos;
    const bool publickey = Core::ascii_lower(server.get_ssh_auth_type()) == "publickey";
    const std::string& key_file = server.get_ssh_key_private_file();
    const std::string forward = Core::strprintf("127.0.0.1:%u:%s:%u", local_port, forward_host(host).c_str(),
                                                static_cast<unsigned>(server.get_port()));

    TunnelCommand command;
    command.local_port = static_cast<std::uint16_t>(local_port);
    auto& argv = command.argv;
    auto add = [&argv](std::initializer_list<std::string> items) { argv.insert(argv.end(), items); };
    if (!publickey) {
        // sshpass answers the password prompt; -e has it read the password from its environment,
        // where no other user can see it (a command line is public).
        add({"sshpass", "-e"});
        command.environment.emplace_back("SSHPASS", server.get_ssh_password());
    }
    argv.push_back(program);
    if (plink) {
        add({"-ssh", "-N", "-P", std::to_string(server.get_ssh_port())});
        if (!server.get_ssh_username().empty()) add({"-l", server.get_ssh_username()});
        if (publickey) {
            argv.push_back("-batch");
            if (!key_file.empty()) add({"-i", key_file});
        }
        add({"-L", forward, destination});
        return command;
    }
    argv.push_back("-N");
    // The client takes the first value it gets for an option: the caller's come first.
    for (const auto& option : ssh_options) add({"-o", option});
    add({"-o", "ExitOnForwardFailure=yes",  // a port it cannot forward ends the program, which we see
         "-o", "StrictHostKeyChecking=accept-new",  // nobody could answer the question; a changed key still fails
         "-o", "ControlMaster=no", "-o", "ControlPath=none",  // our own process, which ends the tunnel when ended
         "-o", "ServerAliveInterval=30", "-o", "ServerAliveCountMax=3", "-o", "LogLevel=ERROR"});
    if (publickey) {
        add({"-o", "BatchMode=yes"});
        if (!key_file.empty()) add({"-o", "IdentitiesOnly=yes", "-i", key_file});
    }
    add({"-p", std::to_string(server.get_ssh_port())});
    if (!server.get_ssh_username().empty()) add({"-l", server.get_ssh_username()});
    add({"-L", forward, destination});
    return command;
}

Core::Result<std::shared_ptr<SshTunnel>> SshTunnel::acquire(const std::shared_ptr<Server>& server,
                                                             const std::vector<std::string>& ssh_options,
                                                             std::chrono::milliseconds timeout) {
    OMBRIX_RETURN_VAL_IF_NULL(server, Core::fail(tunnel_error(SQLError::MISSING_PARAMETER, "server != NULL")));
    auto command = build_tunnel_command(*server, ssh_options);
    OMBRIX_RETURN_IF_ERROR(command);

    std::shared_ptr<SshTunnel> tunnel;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        std::erase_if(r.tunnels, [](const auto& entry) { return entry.second.expired(); });
        auto& slot = r.tunnels[command->local_port];
        if (auto existing = slot.lock(); existing && existing->usable()) {
            if (existing->m_command != *command)
                return Core::fail(tunnel_error(
                    SQLError::BUSY, Core::strprintf(Core::tr("Local port %u already carries an SSH tunnel to "
                                                             "another server."),
                                                    static_cast<unsigned>(command->local_port))));
            tunnel = std::move(existing);
        } else {
            tunnel = Core::make_object<SshTunnel>(std::move(*command));
            slot = tunnel;
        }
    }
    // A sharer that comes while the program starts waits here for the outcome.
    std::lock_guard start_lock(tunnel->m_start_mutex);
    if (tunnel->m_state == State::New) {
        if (auto started = tunnel->start(timeout); !started) {
            tunnel->m_error = started.error();
            tunnel->m_state = State::Failed;
        } else {
            tunnel->m_state = State::Ready;
        }
    }
    if (tunnel->m_state == State::Failed) return Core::fail(*tunnel->m_error);
    return tunnel;
}

bool SshTunnel::usable() const {
    const State state = m_state;
    return state == State::New || (state == State::Ready && is_running());
}

Core::Status SshTunnel::start(std::chrono::milliseconds timeout) {
    const auto port = m_command.local_port;
    // Something else listening there would answer our readiness check and take the connection.
    if (port_accepts(port))
        return Core::fail(tunnel_error(
            SQLError::BUSY, Core::strprintf(Core::tr("Local port %u is already in use; the SSH tunnel cannot "
                                                     "listen there."),
                                            static_cast<unsigned>(port))));

    GSubprocessLauncher* launcher = g_subprocess_launcher_new(
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_PIPE));
    for (const auto& [name, value] : m_command.environment)
        g_subprocess_launcher_setenv(launcher, name.c_str(), value.c_str(), TRUE);
    g_subprocess_launcher_set_child_setup(launcher, own_process_group, nullptr, nullptr);
    std::vector<const gchar*> argv;
    for (const auto& arg : m_command.argv) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    GError* error = nullptr;
    m_process = g_subprocess_launcher_spawnv(launcher, argv.data(), &error);
    g_object_unref(launcher);
    if (!m_process) return Core::fail(Core::take_error(error));

    // The program's standard error is read all along, so that a chatty program never blocks on a
    // full pipe, and what it said is there when it fails.
    m_cancel_read = g_cancellable_new();
    m_stderr_reader = std::thread([this, stream = G_INPUT_STREAM(g_object_ref(g_subprocess_get_stderr_pipe(m_process))),
                                   cancel = G_CANCELLABLE(g_object_ref(m_cancel_read))] {
        char buffer[4096];
        for (;;) {
            const gssize n = g_input_stream_read(stream, buffer, sizeof buffer, cancel, nullptr);
            if (n <= 0) break;
            std::lock_guard lock(m_stderr_mutex);
            const auto room = kStderrLimit - std::min(kStderrLimit, m_stderr.size());
            m_stderr.append(buffer, std::min(room, static_cast<std::size_t>(n)));
        }
        g_object_unref(stream);
        g_object_unref(cancel);
    });

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (!is_running()) return Core::fail(exit_error());
        if (port_accepts(port)) return {};
        if (std::chrono::steady_clock::now() >= deadline) {
            terminate();
            return Core::fail(tunnel_error(
                SQLError::CAN_NOT_OPEN,
                Core::strprintf(Core::tr("The SSH tunnel did not open local port %u in time."),
                                static_cast<unsigned>(port))));
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

Core::Error SshTunnel::exit_error() {
    g_subprocess_wait(m_process, nullptr, nullptr);
    if (m_stderr_reader.joinable()) m_stderr_reader.join();  // the pipe ends with the program
    std::string said = trimmed(get_stderr());
    const bool sshpass = !m_command.argv.empty() && m_command.argv.front() == "sshpass";
    const int status = g_subprocess_get_if_exited(m_process) ? g_subprocess_get_exit_status(m_process) : -1;
    // sshpass tells its own failures only by its exit status.
    if (said.empty() && sshpass && status == 5) said = Core::tr("the SSH password was refused");
    if (said.empty() && sshpass && status == 6) said = Core::tr("the SSH server's host key is not known");
    if (said.empty())
        said = status >= 0 ? Core::strprintf(Core::tr("the program exited with status %d"), status)
                           : std::string(Core::tr("the program was ended by a signal"));
    return tunnel_error(SQLError::CAN_NOT_OPEN,
                        Core::strprintf(Core::tr("The SSH tunnel ended before it was ready: %s"), said.c_str()));
}

int SshTunnel::get_pid() const {
    if (!m_process) return 0;
    const gchar* id = g_subprocess_get_identifier(m_process);
    return id ? static_cast<int>(Core::parse_int64_dec(id)) : 0;
}

bool SshTunnel::is_running() const {
    // GLib reaps the child on its own worker thread and clears the identifier then.
    return m_process && g_subprocess_get_identifier(m_process) != nullptr;
}

std::string SshTunnel::get_stderr() const {
    std::lock_guard lock(m_stderr_mutex);
    return m_stderr;
}

void SshTunnel::terminate() {
    if (!m_process) return;
    if (const int pid = get_pid(); pid > 0) {
        if (kill(-pid, SIGTERM) != 0) kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kGracePeriod;
        while (is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kPollInterval);
        if (is_running() && kill(-pid, SIGKILL) != 0) kill(pid, SIGKILL);
    }
    g_subprocess_wait(m_process, nullptr, nullptr);
}

SshTunnel::~SshTunnel() {
    terminate();
    if (m_cancel_read) g_cancellable_cancel(m_cancel_read);
    if (m_stderr_reader.joinable()) m_stderr_reader.join();
    if (m_cancel_read) g_object_unref(m_cancel_read);
    if (m_process) g_object_unref(m_process);
}

}  // namespace Ombrix::Solvane::Supports::Database
