// JSON documents of rows ({"RECORDS": [ {...}, ... ]}): JsonExtractor's reader (the import and load
// path) from a text and from a file, and its writer. Invariants: a text and the same bytes in a file
// read as the same rows; rows that name the same members, written back, read as the same cells.
#include "loader_support.hpp"
#include "solvane/Supports/Data/Extractors/json_extractor.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::Supports::Data::Extractors;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fuzz::ScratchFile file("json");
    const auto text = std::make_shared<const std::string>(Fuzz::as_text(data, size));
    if (!file.write(*text)) return 0;
    auto extractor = JsonExtractor::create("json");
    (void)extractor->load_from_text(*text, 0);

    const Fuzz::Reading from_text = Fuzz::read_all(*extractor, text);
    extractor->get_options()["FILENAME"] = file.path();
    const Fuzz::Reading from_file = Fuzz::read_all(*extractor, nullptr);
    extractor->get_options().erase("FILENAME");
    OMBRIX_FUZZ_CHECK(Fuzz::same_reading(from_text, from_file),
                      "text:\n" + Fuzz::describe(from_text) + "file:\n" + Fuzz::describe(from_file));
    Fuzz::check_named_round_trip(*extractor, from_text, true, "written JSON rows read back as they were");
    return 0;
}
