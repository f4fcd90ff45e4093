// The profile file: ServerSetting::load and save (the tree of organizations, groups and servers the
// command-line client keeps in profiles.json). Invariant: a file that loads, saved and loaded again,
// saves to the same JSON; every server of a loaded tree can be listed.
#include "fuzz_support.hpp"
#include "providers/Contracts/face_server.hpp"

using namespace Ombrix;
using Providers::Contracts::ServerSetting;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fuzz::ScratchFile file("profile");
    if (!file.write(Fuzz::as_text(data, size))) return 0;
    auto setting = ServerSetting::create();
    if (!setting->load(file.path())) return 0;
    for (const auto& server : setting->unite_servers()) OMBRIX_FUZZ_CHECK(server != nullptr, "a listed server is null");

    OMBRIX_FUZZ_CHECK(setting->save().has_value(), "saving a loaded profile tree failed");
    const std::string saved = file.read();
    auto reloaded = ServerSetting::create();
    OMBRIX_FUZZ_CHECK(reloaded->load(file.path()).has_value(), saved);
    OMBRIX_FUZZ_CHECK(reloaded->save().has_value(), "saving a reloaded profile tree failed");
    const std::string saved_again = file.read();
    OMBRIX_FUZZ_CHECK(saved == saved_again, saved + "\n----- saved again -----\n" + saved_again);
    return 0;
}
