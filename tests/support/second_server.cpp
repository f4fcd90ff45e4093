#include "tests/support/second_server.hpp"

#include <glib.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "providers/Core/text.hpp"

namespace Ombrix::Testing {

bool SecondServer::start() { return run_script("start"); }

bool SecondServer::restart() { return run_script("restart"); }

bool SecondServer::run_script(const char* what) {
    gchar* out = nullptr;
    gint status = 0;
    const std::string command = std::string(OMBRIX_SANDBOX_SCRIPT) + " " + what + " " + dir();
    if (!g_spawn_command_line_sync(command.c_str(), &out, nullptr, &status, nullptr)) return false;
    auto env = Core::parse_key_values(out ? out : "");
    g_free(out);
    m_port = env["OMBRIX_SANDBOX_PORT"];
    m_password = env["OMBRIX_SANDBOX_PASSWORD"];
    return status == 0 && !m_port.empty();
}

long SecondServer::pid() const {
    std::ifstream pid_file(m_dir.file("server/mysqld.pid"));
    long pid = 0;
    pid_file >> pid;
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0 ? pid : 0;
}

void SecondServer::kill_now() {
    const long id = pid();
    if (id <= 0) return;
    ::kill(static_cast<pid_t>(id), SIGCONT);
    ::kill(static_cast<pid_t>(id), SIGKILL);
    for (int i = 0; i < 500 && ::kill(static_cast<pid_t>(id), 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void SecondServer::pause() {
    if (const long id = pid(); id > 0) ::kill(static_cast<pid_t>(id), SIGSTOP);
}

void SecondServer::resume() {
    if (const long id = pid(); id > 0) ::kill(static_cast<pid_t>(id), SIGCONT);
}

SecondServer::~SecondServer() {
    resume();
    const std::string command = std::string(OMBRIX_SANDBOX_SCRIPT) + " stop " + dir();
    g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace Ombrix::Testing
