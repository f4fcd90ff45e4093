#include "solvane/Helpers/helper_text.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/log_capture.hpp"
#include "tests/support/log_records.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::LogLevel;
using Solvane::Helpers::EncodingHelper;
using Solvane::Helpers::FileTypeHelper;
using Solvane::Helpers::StringHelper;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::string>;

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

// `head` at `offset` of an otherwise zero buffer of `size` bytes.
Bytes at_offset(std::size_t offset, std::string_view head, std::size_t size) {
    Bytes out(size, 0);
    std::copy(head.begin(), head.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    return out;
}

std::string guess(const FileTypeHelper& helper, const Bytes& bytes) {
    return helper.guess_file_type(bytes.data(), bytes.size());
}

}  // namespace

TEST(FileTypeHelper, BundledSignaturesRecogniseCommonTypes) {
    using namespace std::string_view_literals;
    struct Case {
        Bytes bytes;
        const char* mime;
    };
    const Case cases[] = {
        {bytes_of("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"sv), "image/png"},
        {bytes_of("\xFF\xD8\xFF\xE0\0\x10JFIF"sv), "image/jpeg"},
        {bytes_of("GIF89a\x01\0"sv), "image/gif"},
        {bytes_of("BM\x36\0\0\0"sv), "image/bmp"},
        {bytes_of("II*\0\x08\0\0\0"sv), "image/tiff"},
        {bytes_of("MM\0*\0\0\0\x08"sv), "image/tiff"},
        {bytes_of("RIFF\x24\0\0\0WEBPVP8 "sv), "image/webp"},
        {bytes_of("RIFF\x24\0\0\0WAVEfmt "sv), "audio/wav"},
        {bytes_of("%PDF-1.7\n"sv), "application/pdf"},
        {bytes_of("PK\x03\x04\x14\0"sv), "application/zip"},
        {bytes_of("\x1F\x8B\x08\0"sv), "application/gzip"},
        {bytes_of("BZh91AY&SY"sv), "application/x-bzip2"},
        {bytes_of("7z\xBC\xAF\x27\x1C\0\x04"sv), "application/x-7z-compressed"},
        {bytes_of("Rar!\x1A\x07\x01\0"sv), "application/vnd.rar"},
        {bytes_of("ID3\x04\0\0"sv), "audio/mpeg"},
        {bytes_of("OggS\0\x02"sv), "audio/ogg"},
        {bytes_of("fLaC\0\0\0\x22"sv), "audio/flac"},
        {bytes_of("SQLite format 3\0\x10\0"sv), "application/vnd.sqlite3"},
        {bytes_of("\x7F" "ELF\x02\x01\x01"sv), "application/x-executable"},
        {at_offset(257, "ustar\0"sv, 512), "application/x-tar"},
        {bytes_of("SQLite format 3"sv), "unknown/unknown"},  // one byte short of the sign
        {bytes_of("hello, world"sv), "unknown/unknown"},
        {Bytes{}, "unknown/unknown"},
    };
    const auto helper = FileTypeHelper::get_singleton();
    EXPECT_EQ(helper, FileTypeHelper::get_singleton());
    for (const auto& c : cases) EXPECT_EQ(guess(*helper, c.bytes), c.mime) << std::string(c.bytes.begin(), c.bytes.end());
}

TEST(FileTypeHelper, SignsMatchInOrderUpToTheLastByteOfTheBuffer) {
    const auto helper = FileTypeHelper::from_resource_text(R"({
        "broken": { "mime": "x/broken", "signs": ["AABB", "1,aabb", "0,"] },
        "first":  { "mime": "x/first",  "signs": ["9,00", "2,AABB"] },
        "second": { "mime": "x/second", "signs": ["2,AABB"] }
    })");
    ASSERT_EQ(helper->get_signatures().size(), 3u);
    EXPECT_EQ(helper->get_signatures()[1].key, "first");
    EXPECT_EQ(helper->get_signatures()[1].signs, (Words{"9,00", "2,AABB"}));
    struct Case {
        Bytes bytes;
        const char* mime;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0xAA, 0xBB}, "x/first"},        // the sign ends at the last byte
        {{0x00, 0x00, 0xAA, 0xBB, 0x01}, "x/first"},
        {{0x00, 0x00, 0xAA}, "unknown/unknown"},      // shorter than the sign
        {{0x00, 0xAA, 0xBB}, "unknown/unknown"},      // lower-case signs never match
        {{}, "unknown/unknown"},
    };
    for (const auto& c : cases) EXPECT_EQ(guess(*helper, c.bytes), c.mime);
}

TEST(FileTypeHelper, UnusableResourcesAreLoggedAndLeaveNoSignatures) {
    struct Case {
        const char* text;
        LogLevel level;
        const char* message;  // the start of the record
    };
    const Case cases[] = {
        {"{ not json", LogLevel::RISKY, "load file type info failed: "},
        {"[1, 2]", LogLevel::RISKY, "Failed to load and get file type json root object."},
        {"{}", LogLevel::RISKY, "Root object is empty object"},
    };
    for (const auto& c : cases) {
        Testing::LogRecords log;
        const auto helper = FileTypeHelper::from_resource_text(c.text);
        EXPECT_TRUE(helper->get_signatures().empty()) << c.text;
        EXPECT_EQ(guess(*helper, bytes_of("%PDF-1.7")), "unknown/unknown");
        bool found = false;
        for (const auto& record : log.records())
            if (record.level == c.level && record.message.find(c.message) != std::string::npos) found = true;
        EXPECT_TRUE(found) << c.text;
    }
}

TEST(EncodingHelper, DetectsTheCharacterSetOfBuffers) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view bytes;
        const char* charset;
    };
    const Case cases[] = {
        {"Grüße aus Köln, schöne Äpfel und Öl für die Straße. Ça va très bien, merci beaucoup."sv, "UTF-8"},
        {"Gr\xfc\xdf" "e aus K\xf6ln, sch\xf6ne \xc4pfel und \xd6l f\xfcr die Stra\xdf" "e. Die M\xe4nner "
         "tr\xe4umen von gr\xfcnen W\xe4ldern und s\xfc\xdf" "en Fr\xfc" "chten."sv,
         "ISO-8859-1"},
        {"\xff\xfeH\0e\0l\0l\0o\0"sv, "UTF-16"},
        {"plain words"sv, "ASCII"},
        {""sv, ""},
    };
    const auto helper = EncodingHelper::get_singleton();
    EXPECT_EQ(helper, EncodingHelper::get_singleton());
    // Each call starts afresh: the order of the samples does not matter.
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases)
            EXPECT_EQ(helper->detect_buffer(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()),
                      c.charset);
}

TEST(EncodingHelper, FilesAndStreamsAreNotExaminedButRequired) {
    const auto helper = EncodingHelper::get_singleton();
    std::istringstream stream("hello");
    EXPECT_EQ(helper->detect_file("/etc/hostname"), "");
    EXPECT_EQ(helper->detect_stream(&stream), "");
    Testing::LogCapture capture;
    EXPECT_EQ(helper->detect_file(nullptr), "");
    EXPECT_EQ(helper->detect_stream(nullptr), "");
    EXPECT_EQ(helper->detect_buffer(nullptr, 3), "");
    EXPECT_TRUE(capture.has_critical("filename != NULL"));
    EXPECT_TRUE(capture.has_critical("stream != NULL"));
    EXPECT_TRUE(capture.has_critical("bytes != NULL"));
}

TEST(StringHelper, ProperCaseCapitalisesEveryWord) {
    const std::pair<const char*, const char*> cases[] = {
        {"hello WORLD it's", "Hello World It's"},
        {"", ""},
        {"ÉCOLE été", "École Été"},
        {"first-LINE\nsecond_line", "First-Line\nSecond_line"},
        {"\xff broken", "\xff broken"},  // not UTF-8: unchanged
    };
    Testing::LogCapture capture;
    for (const auto& [text, expected] : cases) EXPECT_EQ(StringHelper::proper_case(text), expected) << text;
}

TEST(StringHelper, StringifiesAndArraifiesData) {
    EXPECT_EQ(StringHelper::stringify_data({{"a", "1"}, {"b", ""}}, ";"), "a=1;b=;");
    EXPECT_EQ(StringHelper::stringify_data({}, ";"), "");
    using Map = std::map<std::string, std::optional<std::string>>;
    const std::tuple<const char*, const char*, Map> cases[] = {
        {"a=1;flag;a=3;c=x=y", ";", Map{{"a", "3"}, {"flag", std::nullopt}, {"c", "x=y"}}},
        {"a=1&&b=", "&&", Map{{"a", "1"}, {"b", ""}}},
        {"a=1;", ";", Map{{"a", "1"}, {"", std::nullopt}}},
        {"", ";", Map{}},
    };
    for (const auto& [text, separator, expected] : cases) EXPECT_EQ(StringHelper::arraify_data(text, separator), expected);
}

TEST(StringHelper, TrimCharsTakesEveryCharacterLiterally) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"xxabcxx", "x", "abc"},   {"  a b  ", " ", "a b"},   {"aaa", "a", ""},
        {"]]a]b]", "]", "a]b"},    {"^^a^", "^", "a"},        {"\\\\a\\", "\\", "a"},
        {"--a-b--", "-", "a-b"},   {"bab", "a-c", "bab"},     {"[:a:]", "[:]", "a"},
        {"abc", "", "abc"},        {"", "x", ""},
    };
    for (const auto& [text, chars, expected] : cases)
        EXPECT_EQ(StringHelper::trim_chars(text, chars), expected) << text << " / " << chars;
}

TEST(StringHelper, SearchesWordArrays) {
    const Words sql{"insert", "select"};
    EXPECT_TRUE(StringHelper::contains_array("Hello World", {"xyz", "WORLD"}, false));
    EXPECT_FALSE(StringHelper::contains_array("Hello World", {"xyz", "WORLD"}, true));
    EXPECT_TRUE(StringHelper::contains_array("Grüße", {"GRÜSSE", "GRÜ"}, false));
    EXPECT_FALSE(StringHelper::contains_array("", {"a"}, false));
    EXPECT_FALSE(StringHelper::contains_array("abc", {}, true));

    EXPECT_EQ(StringHelper::index_with_array("Hello World", {"world", "hello"}, false), 6);  // array order
    EXPECT_EQ(StringHelper::index_with_array("Hello World", {"world", "Hello"}, true), 0);
    EXPECT_EQ(StringHelper::index_with_array("äö abc", {"ABC"}, false), 5);  // a byte position
    EXPECT_EQ(StringHelper::index_with_array("abc", {"x"}, false), -1);

    EXPECT_EQ(StringHelper::search_array({"alpha", "Beta"}, "beta", false), 1);
    EXPECT_EQ(StringHelper::search_array({"alpha", "Beta"}, "beta", true), -1);
    EXPECT_EQ(StringHelper::search_array({"a", ""}, "", true), 1);
    EXPECT_EQ(StringHelper::search_array({}, "a", false), -1);

    EXPECT_EQ(StringHelper::search_array_prefix({"beta", "alphabet"}, "ALPHA", false), 1);
    EXPECT_EQ(StringHelper::search_array_prefix({"beta", "alphabet"}, "ALPHA", true), -1);
    EXPECT_EQ(StringHelper::search_array_suffix({"alphabet", "beta"}, "TA", false), 1);
    EXPECT_EQ(StringHelper::search_array_suffix({"alphabet", "beta"}, "TA", true), -1);

    EXPECT_TRUE(StringHelper::prefix_with_array("SELECT 1", sql, false));
    EXPECT_FALSE(StringHelper::prefix_with_array("SELECT 1", sql, true));
    EXPECT_TRUE(StringHelper::suffix_with_array("notes.TXT", {".csv", ".txt"}, false));
    EXPECT_FALSE(StringHelper::suffix_with_array("notes.TXT", {".csv", ".txt"}, true));
    EXPECT_FALSE(StringHelper::suffix_with_array("", {".txt"}, false));

    Testing::LogCapture capture;
    EXPECT_FALSE(StringHelper::contains_array(nullptr, sql, true));
    EXPECT_EQ(StringHelper::search_array(sql, nullptr, true), -1);
    EXPECT_EQ(StringHelper::proper_case(nullptr), "");
    EXPECT_TRUE(capture.has_critical("text != NULL"));
}

TEST(StringHelper, ReplacesWordPairsInOrder) {
    EXPECT_EQ(StringHelper::replace_array("a-b-c", {"-", "b"}, {"+", "B"}), "a+B+c");
    EXPECT_EQ(StringHelper::replace_array("ab", {"a", "b"}, {"b", "c"}), "cc");  // later pairs see earlier results
    EXPECT_EQ(StringHelper::replace_array("a.b", {"", "."}, {"x", ""}), "ab");
    EXPECT_EQ(StringHelper::replace_array("", {"a"}, {"b"}), "");
    EXPECT_EQ(StringHelper::replace_array("ab", {"a", "b"}, {"x"}), std::nullopt);
}

TEST(StringHelper, DiffsTrimmedWordLists) {
    Words same{"stale"}, removed{"stale"}, added{"stale"};
    StringHelper::diff_array({"a", "b"}, {"b", "c"}, same, removed, added);
    EXPECT_EQ(same, Words{"b"});
    EXPECT_EQ(removed, Words{"a"});
    EXPECT_EQ(added, Words{"c"});

    StringHelper::diff_array({" x ", "", "y", "z"}, {"z", "y\t", "  ", "w"}, same, removed, added);
    EXPECT_EQ(same, (Words{"z", "y"}));
    EXPECT_EQ(removed, Words{"x"});
    EXPECT_EQ(added, Words{"w"});

    StringHelper::diff_array({}, {}, same, removed, added);
    EXPECT_TRUE(same.empty() && removed.empty() && added.empty());
}
