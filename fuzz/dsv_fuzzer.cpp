// Delimited text: DsvExtractor's reader (the import and load path) under four dialects, from a text
// and from a file, and its writer. Invariants: a text and the same bytes in a file read as the same
// rows; the rows read, written back in the same dialect, read as the same cells (NULL stays NULL
// where the dialect can tell it from the empty text), or, in a dialect with escapes of its own that
// cannot carry some cell, the writer refuses them.
#include <map>
#include <string>
#include <vector>

#include "loader_support.hpp"
#include "solvane/Supports/Data/Extractors/dsv_extractor.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::Supports::Data::Extractors;

namespace {

using Options = std::map<std::string, std::string>;

const std::vector<Options>& dialects() {
    static const std::vector<Options> list = {
        {},  // comma, line feed, '"' quotes, a header line
        {{"DELIMITER_COLUMN", "\t"}, {"HAS_HEADER", "false"}, {"NULL_VALUE", "\\N"}, {"QUOTATION_TIME", "always"}},
        {{"DELIMITER_COLUMN", ";"}, {"DELIMITER_ROWNEW", "\r\n"}, {"QUOTATION_LIST", "'"}, {"NULL_VALUE", ""}},
        {{"DELIMITER_COLUMN", "||"},
         {"DELIMITER_ROWNEW", "~\n"},
         {"QUOTATION_LIST", "[-]-\\[-\\]"},
         {"ROW_PREFIX", "<"},
         {"ROW_SUFFIX", ">"},
         {"NULL_VALUE", "NULL"}},
    };
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fuzz::ScratchFile file("dsv");
    const auto text = std::make_shared<const std::string>(Fuzz::as_text(data, size));
    if (!file.write(*text)) return 0;

    for (std::size_t d = 0; d < dialects().size(); ++d) {
        auto extractor = DsvExtractor::create("csv");
        for (const auto& [key, value] : dialects()[d]) extractor->get_options()[key] = value;
        const bool has_header = !dialects()[d].contains("HAS_HEADER");
        const bool has_null = dialects()[d].contains("NULL_VALUE");
        if (d == 0) (void)extractor->load_from_text(*text, 0);

        const Fuzz::Reading from_text = Fuzz::read_all(*extractor, text);
        // A file reader fills a buffer of a megabyte, which costs more than the rest of a run under
        // the sanitizers: each input is also read from its file in one dialect only.
        if (d == size % dialects().size()) {
            extractor->get_options()["FILENAME"] = file.path();
            const Fuzz::Reading from_file = Fuzz::read_all(*extractor, nullptr);
            extractor->get_options().erase("FILENAME");
            OMBRIX_FUZZ_CHECK(Fuzz::same_reading(from_text, from_file), "dialect " + std::to_string(d) + "\ntext:\n" +
                                                                            Fuzz::describe(from_text) + "file:\n" +
                                                                            Fuzz::describe(from_file));
        }
        if (!from_text.ok) continue;

        // The proper rows (as many cells as the header or the first row has) go back out.
        std::vector<std::string> names = from_text.header;
        std::vector<const SourceRow*> rows;
        for (const auto& row : from_text.rows) {
            if (!row.defect.empty()) continue;
            if (names.empty() && !has_header)
                for (std::size_t i = 0; i < row.values.size(); ++i) names.push_back("c" + std::to_string(i));
            if (row.values.size() == names.size()) rows.push_back(&row);
        }
        if (names.empty()) continue;
        const auto written = Fuzz::write_rows(*extractor, names, rows);
        // Only escapes of their own (not doubled quotes) may leave a cell that cannot be written.
        const auto quotes = dialects()[d].find("QUOTATION_LIST");
        const bool own_escapes = quotes != dialects()[d].end() && quotes->second.size() > 1;
        if (!written && own_escapes) continue;
        OMBRIX_FUZZ_CHECK(written.has_value(), "dialect " + std::to_string(d) + ": the writer refused the rows");
        const Fuzz::Reading back = Fuzz::read_all(*extractor, std::make_shared<const std::string>(*written));
        bool same = back.ok && back.rows.size() == rows.size() && (!has_header || back.header == names);
        for (std::size_t i = 0; same && i < rows.size(); ++i) {
            auto expected = rows[i]->values;
            if (!has_null)
                for (auto& cell : expected)
                    if (!cell) cell.emplace();
            same = back.rows[i].values == expected && back.rows[i].defect.empty();
        }
        if (!same) {
            Fuzz::Reading sent;
            sent.ok = true;
            sent.header = names;
            for (const SourceRow* row : rows) sent.rows.push_back(*row);
            Fuzz::broken("written rows read back as they were", "dialect " + std::to_string(d) + "\nrows:\n" +
                                                                    Fuzz::describe(sent) + "written:\n" + *written +
                                                                    "\nread back:\n" + Fuzz::describe(back));
        }
    }
    return 0;
}
