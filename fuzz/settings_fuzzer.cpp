// The settings file: UserSetting::load and save (seven sections of preferences in settings.json).
// Invariant: a file that loads, saved and loaded again, saves to the same JSON.
#include "fuzz_support.hpp"
#include "solvane/Contracts/Setting/setting.hpp"

using namespace Ombrix;
using Solvane::Contracts::Setting::UserSetting;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fuzz::ScratchFile file("settings");
    if (!file.write(Fuzz::as_text(data, size))) return 0;
    auto setting = UserSetting::create();
    if (!setting->load(file.path())) return 0;

    OMBRIX_FUZZ_CHECK(setting->save().has_value(), "saving loaded settings failed");
    const std::string saved = file.read();
    auto reloaded = UserSetting::create();
    OMBRIX_FUZZ_CHECK(reloaded->load(file.path()).has_value(), saved);
    OMBRIX_FUZZ_CHECK(reloaded->save().has_value(), "saving reloaded settings failed");
    const std::string saved_again = file.read();
    OMBRIX_FUZZ_CHECK(saved == saved_again, saved + "\n----- saved again -----\n" + saved_again);
    return 0;
}
