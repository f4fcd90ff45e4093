// ombrix: the command-line client of the Ombrix back end.
#include <glib.h>

#include <clocale>
#include <cstdio>
#include <iostream>

#include "commands.hpp"
#include "context.hpp"
#include "interrupt.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Foundation/version.hpp"

namespace {

void log_handler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
    const auto* context = static_cast<const Ombrix::Cli::Context*>(data);
    if ((level & G_LOG_LEVEL_CRITICAL) || context->verbose) g_log_default_handler(domain, level, message, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Ombrix::Cli;
    std::setlocale(LC_ALL, "");

    Context context;
    CLI::App app{"ombrix: the MariaDB back end of the Ombrix database client, on the command line", "ombrix"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("ombrix ") + Ombrix::Solvane::Foundation::version());
    app.add_option("--profiles", context.profiles_file, "Profile file (default: the user's config folder)");
    app.add_option("--log-dir", context.log_dir, "Folder of the main log files");
    app.add_flag("--verbose", context.verbose, "Print the connection's log records");
    app.add_option("--connect-timeout", context.connect_timeout,
                   "Seconds to reach a server and log in before giving up (default 10)")
        ->check(CLI::PositiveNumber);
    app.add_option("--read-timeout", context.read_timeout,
                   "Seconds to wait for a server's answer, or for it to take what is sent, before giving up "
                   "(default: no limit)");

    add_profile_commands(app, context);
    add_demo_command(app, context);
    add_query_command(app, context);
    add_format_command(app, context);
    add_meta_commands(app, context);
    add_schema_commands(app, context);
    add_ddl_commands(app, context);
    add_data_commands(app, context);
    add_transfer_command(app, context);
    add_dump_commands(app, context);
    add_sync_commands(app, context);
    add_keygen_command(app, context);
    add_settings_command(app, context);
    add_cluster_commands(app, context);
    app.parse_complete_callback([&context] {
        start_logging(context);
        auto timeouts = Ombrix::Providers::Supports::MariaDBProvider::get_timeouts();
        timeouts.connect = context.connect_timeout;
        timeouts.read = context.read_timeout;
        // A server that stops taking what is sent (a large load) stalls as surely as one that
        // stops answering: the same limit holds for both.
        if (context.read_timeout > 0) timeouts.write = context.read_timeout;
        Ombrix::Providers::Supports::MariaDBProvider::set_timeouts(timeouts);
    });

    // The libraries' developer diagnostics go to the GLib log: shown with --verbose only, except
    // criticals, which are programming errors worth seeing.
    g_log_set_handler("Ombrix", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK & ~G_LOG_LEVEL_ERROR), log_handler, &context);

    struct LoggingGuard {
        ~LoggingGuard() { stop_logging(); }
    } logging_guard;
    install_interrupt_handling();
    // After a Ctrl-C the command has stopped early, whatever it reports: the exit says so.
    const auto exit_code = [](int code) { return interrupted() ? kInterruptedExit : code; };
    try {
        app.parse(argc, argv);
        if (app.get_subcommands().empty()) {
            std::cout << app.help();
            return 0;
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "ombrix: " << e.what() << "\n";
        return e.get_exit_code() ? e.get_exit_code() : 2;
    } catch (const DatabaseFailure& e) {
        if (*e.what()) std::cerr << e.what() << "\n";
        return exit_code(e.exit_code());
    } catch (const Failure& e) {
        std::cerr << "ombrix: " << e.what() << "\n";
        return exit_code(e.exit_code());
    } catch (const std::exception& e) {
        std::cerr << "ombrix: unexpected failure: " << e.what() << "\n";
        return exit_code(1);
    }
    return exit_code(context.exit_code);
}
