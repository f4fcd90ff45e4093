#include "interrupt.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "providers/Supports/MariaDB/provider.hpp"

namespace Ombrix::Cli {

namespace {

std::atomic<int> g_presses{0};
int g_wake[2] = {-1, -1};

/// The connections to cancel. Never destroyed: the watcher thread may still use it while the
/// process exits.
struct Watched {
    std::mutex mutex;
    std::vector<std::weak_ptr<Solvane::Supports::Database::MariaDBConnection>> connections;
};
Watched& watched() {
    static auto* instance = new Watched;
    return *instance;
}

void say(const char* text) {
    // Only async-signal-safe calls here and below: this also runs inside the signal handler.
    const auto ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void on_sigint(int) {
    if (g_presses.fetch_add(1) == 0) {
        const char byte = 1;
        const auto ignored = ::write(g_wake[1], &byte, 1);
        (void)ignored;
        return;
    }
    say("\nombrix: interrupted\n");
    ::_exit(kInterruptedExit);
}

/// Waits for the first Ctrl-C, then cancels what the remembered connections run.
void watch() {
    char byte = 0;
    while (::read(g_wake[0], &byte, 1) < 0 && errno == EINTR) {
    }
    std::vector<std::shared_ptr<Providers::Supports::MariaDBProvider>> providers;
    {
        auto& list = watched();
        std::lock_guard lock(list.mutex);
        for (const auto& weak : list.connections)
            if (auto connection = weak.lock())
                if (auto provider =
                        std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection->get_provider()))
                    providers.push_back(std::move(provider));
    }
    if (providers.empty()) {
        say("\nombrix: interrupted\n");
        ::_exit(kInterruptedExit);
    }
    say("\nombrix: interrupted: cancelling the running statement (press Ctrl-C again to quit at once)\n");
    for (const auto& provider : providers) {
        if (auto cancelled = provider->cancel(); !cancelled) {
            const std::string text = "ombrix: cannot cancel on the server: " + cancelled.error().message + "\n";
            say(text.c_str());
        }
    }
}

}  // namespace

void install_interrupt_handling() {
    if (::pipe(g_wake) != 0) return;  // Ctrl-C keeps its default action
    std::thread(watch).detach();
    struct sigaction action {};
    action.sa_handler = on_sigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return g_presses.load() > 0; }

void cancel_on_interrupt(const Connection& connection) {
    auto& list = watched();
    std::lock_guard lock(list.mutex);
    std::erase_if(list.connections, [](const auto& weak) { return weak.expired(); });
    list.connections.push_back(connection);
}

}  // namespace Ombrix::Cli
