// XML documents of rows (<RECORDS><RECORD>...</RECORD></RECORDS>): XmlExtractor's reader (the import
// and load path) from a text and from a file, and its writer with cells as child elements and as
// attributes. Invariants: a text and the same bytes in a file read as the same rows; rows that name
// the same cells, written back, read as the same cells (or the writer refuses them).
#include "loader_support.hpp"
#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::Supports::Data::Extractors;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fuzz::ScratchFile file("xml");
    const auto text = std::make_shared<const std::string>(Fuzz::as_text(data, size));
    if (!file.write(*text)) return 0;

    for (const bool attributes : {false, true}) {
        auto extractor = XmlExtractor::create("xml");
        // Attributes cannot mark NULL by themselves being there: a NULL text stands for it.
        if (attributes) {
            extractor->get_options()["STORAGE"] = "attribute";
            extractor->get_options()["NULL_VALUE"] = "NULL";
        } else {
            (void)extractor->load_from_text(*text, 0);
        }
        const Fuzz::Reading from_text = Fuzz::read_all(*extractor, text);
        extractor->get_options()["FILENAME"] = file.path();
        const Fuzz::Reading from_file = Fuzz::read_all(*extractor, nullptr);
        extractor->get_options().erase("FILENAME");
        OMBRIX_FUZZ_CHECK(Fuzz::same_reading(from_text, from_file),
                          "text:\n" + Fuzz::describe(from_text) + "file:\n" + Fuzz::describe(from_file));
        Fuzz::check_named_round_trip(*extractor, from_text, true,
                                     attributes ? "written XML attributes read back as they were"
                                                : "written XML elements read back as they were");
    }
    return 0;
}
