/// @file What every command of the command-line client shares: global options, profiles, the sandbox.
#pragma once

#include <memory>
#include <stdexcept>
#include <functional>
#include <string>
#include <utility>

#include "providers/Contracts/face_server.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

namespace Ombrix::Cli {

/// A failure to report as one line ("ombrix: <message>") with a non-zero exit (1 unless a command
/// says otherwise, as `diff` does with 2).
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message, int exit_code = 1)
        : std::runtime_error(message), m_exit_code(exit_code) {}
    int exit_code() const { return m_exit_code; }

private:
    int m_exit_code;
};

/// A failure the database reported, printed as it stands ("MariaDB error <code>: <message>").
class DatabaseFailure : public Failure {
public:
    using Failure::Failure;
};

/// The settings of a running sandbox server.
struct SandboxInfo {
    std::string host;
    unsigned port = 0;
    std::string user;
    std::string password;
    std::string dir;
};

/// Global options and the services commands need.
struct Context {
    std::string profiles_file;  ///< --profiles; the user's config folder by default
    std::string log_dir;        ///< --log-dir
    bool verbose = false;       ///< --verbose
    unsigned connect_timeout = 10;  ///< --connect-timeout, seconds to reach a server and log in
    unsigned read_timeout = 0;      ///< --read-timeout, seconds to wait for a server's answer; 0 waits on
    int exit_code = 0;          ///< what a command that succeeded wants the process to return

    /// The profile file to use.
    std::string profiles_path() const;
    /// The folder of the main log files.
    std::string log_folder() const;
    /// The profile tree, created empty (and saved) when the file does not exist yet.
    std::shared_ptr<Providers::Contracts::ServerSetting> load_profiles() const;
    /// The profile titled `name`; with an empty name the embedded sandbox (started on demand).
    std::shared_ptr<Providers::Contracts::Server> resolve_profile(const std::string& name) const;
};

/// An open connection; it ends (with its SSH tunnel, if any) when the last holder lets go.
using Connection = std::shared_ptr<Solvane::Supports::Database::MariaDBConnection>;

/// Opens a connection to the profile titled `profile` (the sandbox when empty); a failure to open is
/// a DatabaseFailure. Every statement it runs is logged (printed with --verbose).
Connection open_connection(const Context& context, const std::string& profile);

/// Opens more sessions of `profile`, for a command that works through several; a failure is an
/// error value.
std::function<Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>>()> connector(
    const Context& context, const std::string& profile);

/// Sessions working at once when the user does not say: the smaller of 4 and the cores.
/// For a profile of several hosts, a connector per host (named "host:port") that opens that host
/// alone; empty for a profile of one host.
std::vector<std::pair<std::string, std::function<Core::Result<std::shared_ptr<Solvane::Contracts::Database::IConnection>>()>>>
node_connectors(const Context& context, const std::string& profile);

/// Whether a command that met `error` may go on through another host of its profile: the server
/// was lost, or the node left its cluster.
bool fails_over(const Core::Error& error);

int default_parallel();

/// Starts the logging service: a main log in the context's log folder, and with --verbose a handler
/// that prints every record (connections' SQL included) on stderr.
void start_logging(const Context& context);
void stop_logging();
/// Remembers that a connection of the profile `uuid` logs in this run, so that its temporary log
/// is removed by `stop_logging`.
void note_connection_log(const std::string& uuid);

/// The word in a profile's "options" that says its stored passwords are protected (see
/// `ombrix profile add --protect`): they are unprotected when a connection opens.
inline constexpr const char* kProtectedOption = "protected-passwords";

/// "[PROFILE:]NAME" split into the profile ("" for the sandbox) and the name after the first ':'.
std::pair<std::string, std::string> split_profile(const std::string& argument);

/// The profile titled `title` in `setting`, or null.
std::shared_ptr<Providers::Contracts::Server> find_profile(const Providers::Contracts::ServerSetting& setting,
                                                           const std::string& title);

/// Starts the sandbox server when none is running and returns its settings.
SandboxInfo ensure_sandbox();
/// A MariaDB profile titled `title` for the sandbox.
std::shared_ptr<Providers::Contracts::Server> sandbox_profile(const SandboxInfo& sandbox, const std::string& title);

}  // namespace Ombrix::Cli
