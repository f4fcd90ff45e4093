/// @file SSH tunnels: the program a profile names, started in the background for a connection.
#pragma once

#include <gio/gio.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "providers/Contracts/face_server.hpp"
#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The tunnel's local end listens on the profile's port plus this.
inline constexpr std::uint32_t kTunnelPortOffset = 10000;

/// How to start the tunnel of a profile: the program and its arguments, one per element, and the
/// variables that only the child's environment gets (the password, for sshpass).
struct OMBRIX_SOLVANE_EXPORT TunnelCommand {
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    /// The local port the tunnel listens on, on 127.0.0.1.
    std::uint16_t local_port = 0;

    bool operator==(const TunnelCommand&) const = default;
};

/// Builds the tunnel command of `server`. The SSH server is `ssh-host` (or `host` when it is
/// empty), reached on `ssh-port` as `ssh-username`; the tunnel forwards 127.0.0.1:<port + 10000>
/// to `host`:`port` as seen from the SSH server. `ssh-process` names the client program ("ssh"
/// when empty); a name containing "plink" gets plink's options, any other OpenSSH's, with
/// `ssh_options` (such as "UserKnownHostsFile=/path") each passed as one `-o` before ours, so they
/// win. With `ssh-auth-type` "publickey" the client logs in with `ssh-key-private-file` (or its
/// own keys when that is empty) and never prompts; otherwise it runs under `sshpass -e`, which
/// reads the password from SSHPASS in the child's environment, never from the command line.
/// Fails when a local port above 65535 would be needed or when no host is named.
OMBRIX_SOLVANE_EXPORT Core::Result<TunnelCommand> build_tunnel_command(
    const Providers::Contracts::Server& server, const std::vector<std::string>& ssh_options = {});

/// A running tunnel program, ended (with everything it started) when the last holder lets go.
/// Connections share a tunnel only when they would start exactly the same command; a request for
/// a port that carries a tunnel to another target fails, so no connection ever reaches a server
/// other than its own.
class OMBRIX_SOLVANE_EXPORT SshTunnel {
public:
    /// Starts the tunnel of `server` in the background, or shares the live one that was started
    /// with the same command, and waits until its local port accepts connections. Fails with the
    /// spawn error, with the program's standard error when it exits before it is ready, when the
    /// port is taken by something else, or when `timeout` passes (the program is then ended).
    /// Blocks the calling thread while it waits.
    static Core::Result<std::shared_ptr<SshTunnel>> acquire(
        const std::shared_ptr<Providers::Contracts::Server>& server, const std::vector<std::string>& ssh_options = {},
        std::chrono::milliseconds timeout = std::chrono::seconds(30));

    ~SshTunnel();
    SshTunnel(const SshTunnel&) = delete;
    SshTunnel& operator=(const SshTunnel&) = delete;

    std::uint16_t get_local_port() const { return m_command.local_port; }
    const TunnelCommand& get_command() const { return m_command; }
    /// The process id of the started program; 0 before the start and after it ended.
    int get_pid() const;
    /// Whether the program still runs.
    bool is_running() const;
    /// What the program wrote on its standard error so far (its first 64 KiB).
    std::string get_stderr() const;

private:
    OMBRIX_OBJECT_FACTORY_ACCESS;
    enum class State { New, Ready, Failed };

    explicit SshTunnel(TunnelCommand command) : m_command(std::move(command)) {}
    /// Spawns the program and waits for its port; on failure the program is ended.
    Core::Status start(std::chrono::milliseconds timeout);
    /// Ends the program's process group: politely, then for good.
    void terminate();
    /// The error of a program that exited before it was ready.
    Core::Error exit_error();
    bool usable() const;

    const TunnelCommand m_command;
    std::mutex m_start_mutex;  // held while the program starts, so sharers wait for the outcome
    std::atomic<State> m_state{State::New};
    std::optional<Core::Error> m_error;  // written once, under the start mutex
    GSubprocess* m_process = nullptr;
    GCancellable* m_cancel_read = nullptr;
    std::thread m_stderr_reader;
    mutable std::mutex m_stderr_mutex;
    std::string m_stderr;
};

}  // namespace Ombrix::Solvane::Supports::Database
