// Work on worker threads: a call whose thread cannot start still completes, with an error.
#include "providers/Core/async.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

#include "providers/Supports/MariaDB/provider.hpp"  // OMBRIX_SANITIZED_BUILD

namespace {

using namespace Ombrix;

/// The process's current virtual size in bytes.
rlim_t virtual_size() {
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST(RunInThread, AThreadThatCannotStartCompletesTheCallWithAnError) {
#if OMBRIX_SANITIZED_BUILD
    GTEST_SKIP() << "the sanitizers reserve address space of their own: an address-space limit stops them first";
#endif
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Threads that never end hold every stack the C library keeps for reuse, then too little
        // address space is left for a new thread's stack: starting one fails.
        for (int i = 0; i < 16; ++i) std::thread([] { ::pause(); }).detach();
        const rlimit limit{virtual_size() + (1u << 20), virtual_size() + (1u << 20)};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        Core::AsyncResultPtr result;
        Core::run_in_thread([] { return Core::AsyncResult::from(Core::Status{}); },
                            [&result](Core::AsyncResultPtr r) { result = std::move(r); });
        Core::run_main_until([&result] { return result != nullptr; });
        const bool failed = result->failed() &&
                            result->error()->message.rfind("cannot start a worker thread: ", 0) == 0;
        _exit(failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
