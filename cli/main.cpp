// ombrix: the command-line client of the Ombrix back end.
#include <clocale>
#include <cstdio>
#include <iostream>

#include "commands.hpp"
#include "context.hpp"
#include "solvane/Foundation/version.hpp"

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

    add_profile_commands(app, context);
    add_demo_command(app, context);

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
    } catch (const Failure& e) {
        std::cerr << "ombrix: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "ombrix: unexpected failure: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
