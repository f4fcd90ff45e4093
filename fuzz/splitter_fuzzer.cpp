// The statement splitter: split_script, needs_delimiter and join_script. Invariants: every statement
// is a non-empty, trimmed piece of the script, the pieces come in script order, and each starts on
// the line it reports; joined with join_script, the statements split back into the same texts
// (unless one starts with the word DELIMITER, which join_script documents it cannot write back).
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "solvane/Supports/Database/script.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::Supports::Database;

namespace {

constexpr bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string listing(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& text : texts) out.append("<<").append(text).append(">>\n");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view script = Fuzz::as_text(data, size);
    const auto statements = split_script(script);

    // Where each line starts, for the line numbers.
    std::vector<std::size_t> line_starts{0};
    for (std::size_t i = 0; i < script.size(); ++i)
        if (script[i] == '\n') line_starts.push_back(i + 1);

    std::vector<std::string> texts;
    std::size_t after_previous = 0;
    for (const auto& statement : statements) {
        const std::string& text = statement.text;
        OMBRIX_FUZZ_CHECK(!text.empty(), std::string(script));
        OMBRIX_FUZZ_CHECK(!is_space(text.front()) && !is_space(text.back()), text);
        OMBRIX_FUZZ_CHECK(statement.line >= 1 && statement.line <= line_starts.size(), text);
        // The first occurrence at or after the line start and the previous statement's end lies on
        // the reported line (the statement itself is one such occurrence).
        const std::size_t from = std::max(after_previous, line_starts[statement.line - 1]);
        const std::size_t at = script.find(text, from);
        OMBRIX_FUZZ_CHECK(at != std::string_view::npos, "statement not found in order at its line:\n" + text);
        const std::size_t line_end =
            statement.line < line_starts.size() ? line_starts[statement.line] : script.size() + 1;
        OMBRIX_FUZZ_CHECK(at < line_end,
                          "statement does not start on its line " + std::to_string(statement.line) + ":\n" + text);
        after_previous = at + text.size();
        texts.push_back(text);
        (void)needs_delimiter(text);
    }

    // Fed in pieces, as a file read a chunk at a time, the script splits the same.
    if (!script.empty()) {
        const std::size_t size = static_cast<unsigned char>(script.front()) % 16 + 1;
        ScriptSplitter splitter;
        std::vector<ScriptStatement> pieces;
        for (std::size_t at = 0; at < script.size(); at += size)
            for (auto& statement : splitter.feed(script.substr(at, size))) pieces.push_back(std::move(statement));
        for (auto& statement : splitter.finish()) pieces.push_back(std::move(statement));
        OMBRIX_FUZZ_CHECK(pieces == statements, "pieces of " + std::to_string(size) + " bytes split otherwise");
    }

    // A text that starts with the word DELIMITER cannot be written back: on a line of its own the
    // client takes it for its command (the server would refuse it anyway).
    for (const auto& text : texts) {
        if (text.size() >= 9 && g_ascii_strncasecmp(text.c_str(), "DELIMITER", 9) == 0 &&
            (text.size() == 9 || is_space(text[9])))
            return 0;
    }
    const std::string joined = join_script(texts);
    std::vector<std::string> again;
    for (const auto& statement : split_script(joined)) again.push_back(statement.text);
    OMBRIX_FUZZ_CHECK(again == texts,
                      "split:\n" + listing(texts) + "joined:\n" + joined + "\nsplit again:\n" + listing(again));
    return 0;
}
