/// @file Character-set guessing, file types from leading signatures, and word-array text operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/value.hpp"
#include "solvane/solvane_export.h"

struct uchardet;

namespace Ombrix::Solvane::Helpers {

/// Guesses the character set of raw bytes with one shared detector.
class OMBRIX_SOLVANE_EXPORT EncodingHelper {
public:
    /// The process-wide helper, created (with its detector) on first use. Thread-safe.
    static std::shared_ptr<EncodingHelper> get_singleton();

    /// The name of the character set the detector reports for `bytes` ("UTF-8", "ISO-8859-1", "ASCII",
    /// ...), or "" when it cannot tell. Calls are serialized on the shared detector. `bytes` may be
    /// null only when `length` is 0.
    std::string detect_buffer(const std::uint8_t* bytes, std::size_t length);
    /// Files are not examined: always "". `filename` is required.
    std::string detect_file(const char* filename);
    /// Streams are not examined: always "". `stream` is required.
    std::string detect_stream(std::istream* stream);

    ~EncodingHelper();
    EncodingHelper(const EncodingHelper&) = delete;
    EncodingHelper& operator=(const EncodingHelper&) = delete;

private:
    EncodingHelper();
    struct DetectorDeleter {
        void operator()(uchardet* detector) const;
    };
    std::mutex m_mutex;
    std::unique_ptr<uchardet, DetectorDeleter> m_detector;
};

/// One recognised file type: its key, its MIME type and its signs, each "<decimal offset>,<HEX BYTES>"
/// (upper-case hexadecimal, two digits per byte).
struct OMBRIX_SOLVANE_EXPORT FileTypeSignature {
    std::string key;
    std::string mime;
    std::vector<std::string> signs;

    bool operator==(const FileTypeSignature&) const = default;
};

/// Recognises binary content by the signature bytes it starts with.
class OMBRIX_SOLVANE_EXPORT FileTypeHelper {
public:
    /// The process-wide helper, created on first use with the signatures of the bundled resource
    /// "/org/gnome/Ombrix/settings/extensions.json". Thread-safe; the list never changes afterwards.
    static std::shared_ptr<FileTypeHelper> get_singleton();
    /// A separate helper with the signatures of `resource_text`, a resource in the same format (for
    /// tools and tests). A text that does not parse, a root that is not an object and an empty root
    /// are reported through the logging service and leave the list empty.
    static std::shared_ptr<FileTypeHelper> from_resource_text(std::string_view resource_text);

    /// The MIME type of the first signature (in resource order) one of whose signs matches `bytes`,
    /// or "unknown/unknown". A sign only matches when all its bytes lie within `length`. `bytes` may be
    /// null only when `length` is 0.
    std::string guess_file_type(const std::uint8_t* bytes, std::size_t length) const;

    /// The loaded signatures, in resource order.
    const std::vector<FileTypeSignature>& get_signatures() const { return m_signatures; }

private:
    FileTypeHelper() = default;
    void load(std::string_view resource_text);
    std::vector<FileTypeSignature> m_signatures;
};

/// Small text operations over arrays of words. A null text argument is a failed precondition (a
/// critical) and gives the empty value. Case-insensitive comparisons fold each character to upper
/// case on its own (so byte positions in the original text stay meaningful), except `search_array`,
/// which compares ASCII case-insensitively.
class OMBRIX_SOLVANE_EXPORT StringHelper {
public:
    StringHelper() = delete;

    /// Every run of word characters and apostrophes with its first letter upper-cased and the rest
    /// lower-cased ("hello WORLD it's" gives "Hello World It's"). When the text cannot be processed
    /// (invalid UTF-8) the failure is logged at debug level and `text` comes back unchanged.
    static std::string proper_case(const char* text);
    /// "key=value<separator>" for every entry, in the map's order.
    static std::string stringify_data(const Core::StringMap& map, const char* separator);
    /// The pieces of `text` between `separator`s, each split at its first "=" into key and value; a
    /// piece without "=" gives its key with no value. Later keys overwrite earlier ones; "" gives no
    /// entries. `separator` must not be empty.
    static std::map<std::string, std::optional<std::string>> arraify_data(const char* text, const char* separator);
    /// `text` without leading and trailing runs of any of `chars` (every character of `chars` is taken
    /// literally, ']' '^' '-' '\' included). An empty `chars` leaves the text unchanged.
    static std::string trim_chars(const char* text, const char* chars);

    /// Whether any of `words` occurs in `text`.
    static bool contains_array(const char* text, const std::vector<std::string>& words, bool case_sensitive);
    /// The byte position in `text` of the first of `words` (in array order) that occurs in it, or -1.
    static int index_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive);
    /// The index of the first word equal to `text`, or -1.
    static int search_array(const std::vector<std::string>& words, const char* text, bool case_sensitive);
    /// The index of the first word that starts with `text`, or -1.
    static int search_array_prefix(const std::vector<std::string>& words, const char* text, bool case_sensitive);
    /// The index of the first word that ends with `text`, or -1.
    static int search_array_suffix(const std::vector<std::string>& words, const char* text, bool case_sensitive);
    /// Whether `text` starts with any of `words`.
    static bool prefix_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive);
    /// Whether `text` ends with any of `words`.
    static bool suffix_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive);

    /// `text` with, pair by pair in order, every literal occurrence of `search[i]` replaced by
    /// `replace[i]` (an empty search word is skipped). No value when the arrays differ in length.
    static std::optional<std::string> replace_array(const char* text, const std::vector<std::string>& search,
                                                    const std::vector<std::string>& replace);
    /// Compares two word lists after trimming blanks (empty words are skipped): new words found among
    /// the old go to `same`, the other new ones to `added`, old words missing from the new to
    /// `removed`. Each output is replaced and keeps input order.
    static void diff_array(const std::vector<std::string>& old_words, const std::vector<std::string>& new_words,
                           std::vector<std::string>& same, std::vector<std::string>& removed,
                           std::vector<std::string>& added);
};

}  // namespace Ombrix::Solvane::Helpers
