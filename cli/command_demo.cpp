// ombrix demo: start the sandbox server and show what the back end does with it.
#include <iostream>

#include "commands.hpp"

namespace Ombrix::Cli {

void add_demo_command(CLI::App& app, Context& context) {
    auto* demo = app.add_subcommand("demo", "Start the sandbox MariaDB server, add a \"sandbox\" profile and tour it");
    demo->callback([&context] {
        const SandboxInfo sandbox = ensure_sandbox();
        std::cout << "Sandbox MariaDB server running on " << sandbox.host << ":" << sandbox.port << " (files in "
                  << sandbox.dir << ")\n";

        auto setting = context.load_profiles();
        if (auto old = find_profile(*setting, "sandbox")) setting->remove(old, "", "");
        auto server = sandbox_profile(sandbox, "sandbox");
        setting->append(server, "", "");
        if (auto saved = setting->save(); !saved) throw Failure("cannot write the profile file: " + saved.error().message);
        std::cout << "Profile \"sandbox\" (" << server->get_uuid() << ") saved to " << setting->get_filename() << "\n";
    });
}

}  // namespace Ombrix::Cli
