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

}  // namespace Ombrix::Testing
