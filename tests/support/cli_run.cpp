#include "tests/support/cli_run.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace Ombrix::Testing {

CliRun run_cli(const TempDir& home, const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv{OMBRIX_CLI_PATH, "--profiles", home.file("profiles.json"), "--log-dir",
                                  home.file("logs")};
    argv.insert(argv.end(), args.begin(), args.end());
    // Through the shell, so that the input comes from a file like a user's redirection.
    std::string command;
    for (const auto& arg : argv) {
        gchar* quoted = g_shell_quote(arg.c_str());
        command += std::string(quoted) + " ";
        g_free(quoted);
    }
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
    if (!g_spawn_sync(nullptr, const_cast<gchar**>(shell), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
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
