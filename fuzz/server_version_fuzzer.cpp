// Server version texts: ServerVersion::parse, compare_versions and choose_adapter_variant.
// The input is up to three version texts, one per line. Invariants: a parsed version written back
// as "major.minor.patch" reads as the same numbers (and the same MariaDB mark); the comparison of
// texts is a total order (antisymmetric and transitive); at_least agrees with it; the adapter
// variant follows the numbers alone.
#include <compare>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/server_version.hpp"

using namespace Ombrix::Solvane::Supports::Database;
using Ombrix::Fuzz::as_text;

namespace {

std::string written(const ServerVersion& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

std::strong_ordering reversed(std::strong_ordering o) { return 0 <=> o; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Ombrix::Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = as_text(data, size);
    std::vector<std::string_view> texts;
    std::size_t start = 0;
    while (texts.size() < 2) {
        const std::size_t eol = input.find('\n', start);
        if (eol == std::string_view::npos) break;
        texts.push_back(input.substr(start, eol - start));
        start = eol + 1;
    }
    texts.push_back(input.substr(start));

    for (const auto text : texts) {
        const auto version = ServerVersion::parse(text);
        const bool current = choose_adapter_variant(text) == MariaDBAdapterVariant::Current;
        if (!version) {
            OMBRIX_FUZZ_CHECK(!current, std::string(text));
            continue;
        }
        OMBRIX_FUZZ_CHECK(version->major >= 0 && version->minor >= 0 && version->patch >= 0, std::string(text));
        OMBRIX_FUZZ_CHECK(current == version->at_least(10, 5, 0), std::string(text));

        const auto again = ServerVersion::parse(written(*version));
        OMBRIX_FUZZ_CHECK(again && *again == *version && !again->mariadb, written(*version));
        // "5.5.5-" before a MariaDB version is the legacy prefix, not a version of its own.
        if (version->mariadb && !(version->major == 5 && version->minor == 5 && version->patch == 5)) {
            const auto marked = ServerVersion::parse(written(*version) + "-MariaDB-log");
            OMBRIX_FUZZ_CHECK(marked && *marked == *version && marked->mariadb, written(*version));
        }
        OMBRIX_FUZZ_CHECK(version->at_least(version->major, version->minor, version->patch), std::string(text));
    }

    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = 0; j < texts.size(); ++j) {
            const auto ij = compare_versions(texts[i], texts[j]);
            OMBRIX_FUZZ_CHECK(ij == reversed(compare_versions(texts[j], texts[i])), std::string(input));
            if (i == j) OMBRIX_FUZZ_CHECK(ij == 0, std::string(texts[i]));
            for (std::size_t k = 0; k < texts.size(); ++k) {
                if (ij <= 0 && compare_versions(texts[j], texts[k]) <= 0)
                    OMBRIX_FUZZ_CHECK(compare_versions(texts[i], texts[k]) <= 0, std::string(input));
            }
        }
    }
    return 0;
}
