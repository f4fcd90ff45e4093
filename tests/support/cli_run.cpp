#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace Ombrix::Testing {

namespace {

/// `argv` as one shell command line, each word quoted.
std::string shell_words(const std::vector<std::string>& argv) {
    std::string command;
    for (const auto& arg : argv) {
        gchar* quoted = g_shell_quote(arg.c_str());
        command += std::string(quoted) + " ";
        g_free(quoted);
    }
    return command;
}

std::vector<std::string> client_argv(const TempDir& home, const std::vector<std::string>& args) {
    std::vector<std::string> argv{OMBRIX_CLI_PATH, "--profiles", home.file("profiles.json"), "--log-dir",
                                  home.file("logs")};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

CliProcess::CliProcess(const TempDir& home, const std::vector<std::string>& args, const std::string& input)
    : m_home(home) {
    write_text(home.file("bg-stdin"), input);
    // `exec` makes the client the process whose id we hold; its output goes to files of the home.
    const std::string command = "exec " + shell_words(client_argv(home, args)) + "< " +
                                shell_words({home.file("bg-stdin")}) + "> " + shell_words({home.file("bg-stdout")}) +
                                "2> " + shell_words({home.file("bg-stderr")});
    const gchar* shell[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(shell), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                       &pid, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return;
    }
    m_pid = pid;
}

CliProcess::~CliProcess() {
    if (m_pid > 0) (void)wait(0);
}

void CliProcess::signal(int signal) const {
    if (m_pid > 0) ::kill(m_pid, signal);
}

CliRun CliProcess::wait(double seconds) {
    CliRun run;
    if (m_pid <= 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int wait_status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, &wait_status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (done == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &wait_status, 0);
        run.status = -1;
    } else {
        run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    }
    m_pid = -1;
    run.out = read_text(m_home.file("bg-stdout"));
    run.err = read_text(m_home.file("bg-stderr"));
    return run;
}

CliRun run_cli(const TempDir& home, const std::vector<std::string>& args, const std::string& input) {
    return run_program(home, client_argv(home, args), input);
}

CliRun run_client(const TempDir& home, const std::string& script, const std::string& database) {
    const Sandbox& sandbox = Sandbox::get();
    std::vector<std::string> argv = {"mariadb",
                                     "--no-defaults",
                                     "--host=" + sandbox.host,
                                     "--port=" + std::to_string(sandbox.port),
                                     "--user=" + sandbox.user,
                                     "--password=" + sandbox.password,
                                     "--batch",
                                     "--skip-column-names"};
    if (!database.empty()) argv.push_back("--database=" + database);
    return run_program(home, argv, script);
}

CliRun run_program(const TempDir& home, const std::vector<std::string>& argv, const std::string& input) {
    // Through the shell, so that the input comes from a file like a user's redirection.
    std::string command = shell_words(argv);
    const std::string in = home.file("stdin");
    write_text(in, input);
    gchar* quoted_in = g_shell_quote(in.c_str());
    command += std::string("< ") + quoted_in;
    g_free(quoted_in);
    const gchar* shell[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint wait_status = 0;
    GError* error = nullptr;
    CliRun run;
    if (!g_spawn_sync(nullptr, const_cast<gchar**>(shell), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, &err,
                      &wait_status, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return run;
    }
    run.out = out ? out : "";
    run.err = err ? err : "";
    g_free(out);
    g_free(err);
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return run;
}

}  // namespace Ombrix::Testing
