// Meta-model JSON: MetaModel::from_json / to_json (what `ombrix meta save` writes) and
// Patcher::diff_json (what `ombrix meta diff` reads). Invariants: a model that loads, saved and
// loaded again, saves to the same JSON; a model compared with itself finds every member of it
// IDENTICAL.
#include <nlohmann/json.hpp>

#include "fuzz_support.hpp"
#include "providers/Contracts/data_type.hpp"
#include "solvane/Model/object.hpp"
#include "solvane/Transform/patcher.hpp"

using namespace Ombrix;
using Fuzz::as_text;

namespace {

// Whether every edit state below the root of `node` is IDENTICAL.
bool members_identical(const nlohmann::ordered_json& node, bool root) {
    if (node.is_object()) {
        if (!root) {
            auto version = node.find("version");
            if (version != node.end() && version->is_number() &&
                version->get<long long>() != static_cast<long long>(Providers::Contracts::DataVersion::IDENTICAL))
                return false;
        }
        for (const auto& [key, member] : node.items())
            if ((member.is_object() || member.is_array()) && !members_identical(member, false)) return false;
    } else if (node.is_array()) {
        for (const auto& member : node)
            if (!members_identical(member, false)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = as_text(data, size);
    if (auto loaded = Solvane::MetaModel::from_json(input)) {
        const std::string saved = Solvane::MetaModel::to_json(**loaded);
        auto reloaded = Solvane::MetaModel::from_json(saved);
        OMBRIX_FUZZ_CHECK(reloaded.has_value(), saved);
        const std::string saved_again = Solvane::MetaModel::to_json(**reloaded);
        OMBRIX_FUZZ_CHECK(saved == saved_again, saved + "\n----- saved again -----\n" + saved_again);
    }
    if (auto patched = Solvane::Transform::Patcher::diff_json(input, input, false)) {
        const auto node = nlohmann::ordered_json::parse(*patched, nullptr, false);
        OMBRIX_FUZZ_CHECK(!node.is_discarded(), *patched);
        OMBRIX_FUZZ_CHECK(members_identical(node, true), *patched);
    }
    return 0;
}
