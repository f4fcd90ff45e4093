/// @file Running the built command-line client as a user runs it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_dir.hpp"

namespace Ombrix::Testing {

/// What a run of the client gave back.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs `ombrix ARGS` with a profile file and a log folder of its own under `home` and `input` on its
/// standard input; no profile means the sandbox server.
CliRun run_cli(const TempDir& home, const std::vector<std::string>& args, const std::string& input = {});

/// Any program (found on the search path) run as `run_cli` runs the client: `input` on its standard
/// input, its output and status gathered.
CliRun run_program(const TempDir& home, const std::vector<std::string>& argv, const std::string& input = {});

/// The standard command-line client of the sandbox server as a user runs it: its own defaults
/// (batch output, no column names), `script` on its standard input, in `database` when given.
CliRun run_client(const TempDir& home, const std::string& script, const std::string& database = {});

/// `ombrix ARGS` started as `run_cli` runs it, but left running: for tests that signal it.
class CliProcess {
public:
    CliProcess(const TempDir& home, const std::vector<std::string>& args, const std::string& input = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    /// Sends `signal` to the client.
    void signal(int signal) const;
    /// Waits up to `seconds` for the client to end; a client still running is killed and its
    /// status is -1.
    CliRun wait(double seconds);

private:
    const TempDir& m_home;
    int m_pid = -1;
};

}  // namespace Ombrix::Testing
