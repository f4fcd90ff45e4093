/// @file A MariaDB server of a test's own, for tests that kill, pause or restart it.
#pragma once

#include <string>

#include "tests/support/temp_dir.hpp"

namespace Ombrix::Testing {

/// Started by the sandbox script in a temporary folder; stopped and removed when destroyed.
class SecondServer {
public:
    SecondServer() = default;
    ~SecondServer();
    SecondServer(const SecondServer&) = delete;
    SecondServer& operator=(const SecondServer&) = delete;

    /// Starts the server afresh (a start after a kill makes a new, empty one on another port);
    /// false when it did not come up.
    bool start();
    /// Starts a killed server again on its own data, port and password (what it had committed is
    /// there); false when it did not come up.
    bool restart();
    /// SIGKILL, and waits until the process is gone.
    void kill_now();
    /// SIGSTOP / SIGCONT: the server keeps its sockets open but answers nothing while paused.
    void pause();
    void resume();
    /// The server's process id, 0 when it is not running.
    long pid() const;

    const std::string& port() const { return m_port; }
    const std::string& password() const { return m_password; }
    /// The folder the server keeps its data, pid file and logs in.
    std::string dir() const { return m_dir.file("server"); }

private:
    bool run_script(const char* command);

    TempDir m_dir;
    std::string m_port;
    std::string m_password;
};

}  // namespace Ombrix::Testing
