#include "solvane/Helpers/helper_text.hpp"

#include <glib.h>
#include <uchardet/uchardet.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "providers/Core/error.hpp"
#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Foundation/logging.hpp"

namespace Ombrix::Solvane::Helpers {

using Foundation::LoggingService;

namespace {

// The library's resource bundle: the file types the client recognises, compiled in as the resource
// "/org/gnome/Ombrix/settings/extensions.json". Each member is a file type; "signs" are
// "<decimal offset>,<upper-case hex bytes>" and any one of them identifies the type. Members are
// tried in this order, so longer or more specific signs come before shorter ones that could share a
// prefix with them.
constexpr std::string_view kExtensionsResource = R"json({
  "png":   { "mime": "image/png", "signs": ["0,89504E470D0A1A0A"] },
  "jpg":   { "mime": "image/jpeg", "signs": ["0,FFD8FF"] },
  "gif":   { "mime": "image/gif", "signs": ["0,474946383761", "0,474946383961"] },
  "bmp":   { "mime": "image/bmp", "signs": ["0,424D"] },
  "tiff":  { "mime": "image/tiff", "signs": ["0,49492A00", "0,4D4D002A"] },
  "webp":  { "mime": "image/webp", "signs": ["8,57454250"] },
  "psd":   { "mime": "image/vnd.adobe.photoshop", "signs": ["0,38425053"] },
  "pdf":   { "mime": "application/pdf", "signs": ["0,255044462D"] },
  "ps":    { "mime": "application/postscript", "signs": ["0,2521"] },
  "rtf":   { "mime": "application/rtf", "signs": ["0,7B5C727466"] },
  "xml":   { "mime": "application/xml", "signs": ["0,3C3F786D6C20"] },
  "zip":   { "mime": "application/zip", "signs": ["0,504B0304", "0,504B0506", "0,504B0708"] },
  "gz":    { "mime": "application/gzip", "signs": ["0,1F8B"] },
  "bz2":   { "mime": "application/x-bzip2", "signs": ["0,425A68"] },
  "xz":    { "mime": "application/x-xz", "signs": ["0,FD377A585A00"] },
  "zst":   { "mime": "application/zstd", "signs": ["0,28B52FFD"] },
  "lz4":   { "mime": "application/x-lz4", "signs": ["0,04224D18"] },
  "7z":    { "mime": "application/x-7z-compressed", "signs": ["0,377ABCAF271C"] },
  "rar":   { "mime": "application/vnd.rar", "signs": ["0,526172211A07"] },
  "cab":   { "mime": "application/vnd.ms-cab-compressed", "signs": ["0,4D534346"] },
  "tar":   { "mime": "application/x-tar", "signs": ["257,7573746172"] },
  "iso":   { "mime": "application/x-iso9660-image", "signs": ["32769,4344303031"] },
  "ole":   { "mime": "application/x-ole-storage", "signs": ["0,D0CF11E0A1B11AE1"] },
  "sqlite":{ "mime": "application/vnd.sqlite3", "signs": ["0,53514C69746520666F726D6174203300"] },
  "elf":   { "mime": "application/x-executable", "signs": ["0,7F454C46"] },
  "exe":   { "mime": "application/vnd.microsoft.portable-executable", "signs": ["0,4D5A"] },
  "woff":  { "mime": "font/woff", "signs": ["0,774F4646"] },
  "woff2": { "mime": "font/woff2", "signs": ["0,774F4632"] },
  "otf":   { "mime": "font/otf", "signs": ["0,4F54544F"] },
  "ttf":   { "mime": "font/ttf", "signs": ["0,0001000000"] },
  "mp3":   { "mime": "audio/mpeg", "signs": ["0,494433", "0,FFFB"] },
  "ogg":   { "mime": "audio/ogg", "signs": ["0,4F676753"] },
  "flac":  { "mime": "audio/flac", "signs": ["0,664C6143"] },
  "wav":   { "mime": "audio/wav", "signs": ["8,57415645"] },
  "mid":   { "mime": "audio/midi", "signs": ["0,4D546864"] },
  "avi":   { "mime": "video/x-msvideo", "signs": ["8,41564920"] }
})json";

constexpr std::string_view kUnknownType = "unknown/unknown";

// ---- case folding that keeps byte positions ---------------------------------------------------

// `text` with every character upper-cased on its own, and for each byte of the result the byte
// offset in `text` of the character it came from (plus one final entry, the length of `text`).
// Bytes that are not valid UTF-8 are kept as they are.
struct Folded {
    std::string text;
    std::vector<std::size_t> origin;
};

Folded fold_upper(std::string_view text) {
    Folded folded;
    folded.text.reserve(text.size());
    folded.origin.reserve(text.size() + 1);
    std::size_t i = 0;
    while (i < text.size()) {
        const char* p = text.data() + i;
        const gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - i));
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            folded.text += text[i];
            folded.origin.push_back(i);
            ++i;
            continue;
        }
        const auto length = static_cast<std::size_t>(g_utf8_next_char(p) - p);
        char buffer[6];
        const int n = g_unichar_to_utf8(g_unichar_toupper(c), buffer);
        for (int k = 0; k < n; ++k) {
            folded.text += buffer[k];
            folded.origin.push_back(i);
        }
        i += length;
    }
    folded.origin.push_back(text.size());
    return folded;
}

std::string upper(std::string_view text) { return fold_upper(text).text; }

bool ascii_equal_caseless(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (g_ascii_toupper(a[i]) != g_ascii_toupper(b[i])) return false;
    return true;
}

// Leading and trailing ASCII blanks removed, as g_strstrip does.
std::string_view strip(std::string_view text) {
    while (!text.empty() && g_ascii_isspace(text.front())) text.remove_prefix(1);
    while (!text.empty() && g_ascii_isspace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> stripped_words(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    for (const auto& word : words) {
        const auto trimmed = strip(word);
        if (!trimmed.empty()) out.emplace_back(trimmed);
    }
    return out;
}

bool contains(const std::vector<std::string>& words, const std::string& word) {
    for (const auto& w : words)
        if (w == word) return true;
    return false;
}

// ---- proper case -----------------------------------------------------------------------------

gboolean append_proper_word(const GMatchInfo* info, GString* result, gpointer) {
    gchar* word = g_match_info_fetch(info, 0);
    if (word && *word) {
        const gchar* rest = g_utf8_next_char(word);
        gchar* head = g_utf8_strup(word, rest - word);
        gchar* tail = g_utf8_strdown(rest, -1);
        g_string_append(result, head);
        g_string_append(result, tail);
        g_free(head);
        g_free(tail);
    }
    g_free(word);
    return FALSE;
}

const GRegex* word_regex() {
    // Compiled once for the process; never freed.
    static GRegex* const regex = [] {
        GError* error = nullptr;
        GRegex* compiled = g_regex_new("[\\w']+", static_cast<GRegexCompileFlags>(G_REGEX_CASELESS | G_REGEX_MULTILINE),
                                       GRegexMatchFlags(0), &error);
        if (!compiled) {
            LoggingService::debug(nullptr, "%s", error->message);
            g_error_free(error);
        }
        return compiled;
    }();
    return regex;
}

}  // namespace

// ---- EncodingHelper ---------------------------------------------------------------------------

void EncodingHelper::DetectorDeleter::operator()(uchardet* detector) const { uchardet_delete(detector); }

EncodingHelper::EncodingHelper() : m_detector(uchardet_new()) {}

EncodingHelper::~EncodingHelper() = default;

std::shared_ptr<EncodingHelper> EncodingHelper::get_singleton() {
    static const std::shared_ptr<EncodingHelper> instance(new EncodingHelper());
    return instance;
}

std::string EncodingHelper::detect_buffer(const std::uint8_t* bytes, std::size_t length) {
    if (length > 0) OMBRIX_RETURN_VAL_IF_NULL(bytes, std::string());
    std::lock_guard lock(m_mutex);
    if (!m_detector) return {};
    uchardet_reset(m_detector.get());
    if (length > 0) uchardet_handle_data(m_detector.get(), reinterpret_cast<const char*>(bytes), length);
    uchardet_data_end(m_detector.get());
    const char* charset = uchardet_get_charset(m_detector.get());
    return charset ? std::string(charset) : std::string();
}

std::string EncodingHelper::detect_file(const char* filename) {
    OMBRIX_RETURN_VAL_IF_NULL(filename, std::string());
    return {};
}

std::string EncodingHelper::detect_stream(std::istream* stream) {
    OMBRIX_RETURN_VAL_IF_NULL(stream, std::string());
    return {};
}

// ---- FileTypeHelper ---------------------------------------------------------------------------

std::shared_ptr<FileTypeHelper> FileTypeHelper::get_singleton() {
    static const std::shared_ptr<FileTypeHelper> instance = from_resource_text(kExtensionsResource);
    return instance;
}

std::shared_ptr<FileTypeHelper> FileTypeHelper::from_resource_text(std::string_view resource_text) {
    std::shared_ptr<FileTypeHelper> helper(new FileTypeHelper());
    helper->load(resource_text);
    return helper;
}

void FileTypeHelper::load(std::string_view resource_text) {
    nlohmann::ordered_json root;
    try {
        root = nlohmann::ordered_json::parse(resource_text);
    } catch (const nlohmann::json::exception& e) {
        LoggingService::error(nullptr, "load file type info failed: %s", e.what());
        return;
    }
    if (!root.is_object()) {
        LoggingService::warning(nullptr, "Failed to load and get file type json root object.");
        return;
    }
    if (root.empty()) {
        LoggingService::warning(nullptr, "Root object is empty object");
        return;
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        const auto& member = it.value();
        // A member without an object, a "mime" text or a "signs" array is not a file type.
        if (!member.is_object()) continue;
        const auto mime = member.find("mime");
        const auto signs = member.find("signs");
        if (mime == member.end() || !mime->is_string() || signs == member.end() || !signs->is_array()) continue;
        FileTypeSignature signature;
        signature.key = it.key();
        signature.mime = mime->get<std::string>();
        for (const auto& sign : *signs)
            if (sign.is_string()) signature.signs.push_back(sign.get<std::string>());
        m_signatures.push_back(std::move(signature));
    }
}

std::string FileTypeHelper::guess_file_type(const std::uint8_t* bytes, std::size_t length) const {
    if (length > 0) OMBRIX_RETURN_VAL_IF_NULL(bytes, std::string(kUnknownType));
    for (const auto& signature : m_signatures) {
        for (const auto& sign : signature.signs) {
            const auto comma = sign.find(',');
            if (comma == std::string::npos) continue;
            const std::int64_t offset = Core::parse_atoi(std::string_view(sign).substr(0, comma));
            const std::string_view hex = std::string_view(sign).substr(comma + 1);
            const std::size_t count = hex.size() / 2;
            // A sign without bytes would match anything: it is ignored.
            if (offset < 0 || count == 0) continue;
            const auto start = static_cast<std::uint64_t>(offset);
            // The sign's last byte may be the buffer's last byte (end <= length).
            if (start > length || count > length - start) continue;
            if (Core::hex_upper(bytes + start, count) == hex) return signature.mime;
        }
    }
    return std::string(kUnknownType);
}

// ---- StringHelper -----------------------------------------------------------------------------

std::string StringHelper::proper_case(const char* text) {
    OMBRIX_RETURN_VAL_IF_NULL(text, std::string());
    if (*text == '\0') return {};
    const GRegex* regex = word_regex();
    if (!regex) return text;
    GError* error = nullptr;
    gchar* out = g_regex_replace_eval(regex, text, -1, 0, GRegexMatchFlags(0), append_proper_word, nullptr, &error);
    if (!out) {
        LoggingService::debug(nullptr, "%s", error ? error->message : "proper case failed");
        if (error) g_error_free(error);
        return text;
    }
    std::string result(out);
    g_free(out);
    return result;
}

std::string StringHelper::stringify_data(const Core::StringMap& map, const char* separator) {
    OMBRIX_RETURN_VAL_IF_NULL(separator, std::string());
    std::string out;
    for (const auto& [key, value] : map) out += Core::strprintf("%s=%s%s", key.c_str(), value.c_str(), separator);
    return out;
}

std::map<std::string, std::optional<std::string>> StringHelper::arraify_data(const char* text, const char* separator) {
    using Map = std::map<std::string, std::optional<std::string>>;
    OMBRIX_RETURN_VAL_IF_NULL(text, Map());
    OMBRIX_RETURN_VAL_IF_NULL(separator, Map());
    const bool separator_is_not_empty = *separator != '\0';
    OMBRIX_RETURN_VAL_IF_FAIL(separator_is_not_empty, Map());
    Map map;
    const std::string_view all(text);
    const std::string_view sep(separator);
    if (all.empty()) return map;
    std::size_t start = 0;
    while (true) {
        const auto next = all.find(sep, start);
        const auto piece = all.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start);
        const auto equals = piece.find('=');
        if (equals == std::string_view::npos)
            map[std::string(piece)] = std::nullopt;
        else
            map[std::string(piece.substr(0, equals))] = std::string(piece.substr(equals + 1));
        if (next == std::string_view::npos) break;
        start = next + sep.size();
    }
    return map;
}

std::string StringHelper::trim_chars(const char* text, const char* chars) {
    OMBRIX_RETURN_VAL_IF_NULL(text, std::string());
    OMBRIX_RETURN_VAL_IF_NULL(chars, std::string());
    if (*chars == '\0') return text;
    // Inside the bracket expression only these characters are special; escaping them keeps every
    // character of `chars` literal (a "]" cannot close the class early, "^" cannot negate it, "-"
    // cannot make a range, "\" cannot start an escape, "[" cannot start a POSIX class).
    std::string members;
    for (const char* p = chars; *p; ++p) {
        if (std::strchr("\\]^-[", *p)) members += '\\';
        members += *p;
    }
    const auto regex = Core::Regex::compile(Core::strprintf("^[%s]+|[%s]+$", members.c_str(), members.c_str()));
    if (!regex) return text;
    return regex->replace_literal(text, "");
}

bool StringHelper::contains_array(const char* text, const std::vector<std::string>& words, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, false);
    const std::string subject = case_sensitive ? std::string(text) : upper(text);
    for (const auto& word : words)
        if (subject.find(case_sensitive ? word : upper(word)) != std::string::npos) return true;
    return false;
}

int StringHelper::index_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, -1);
    if (case_sensitive) {
        const std::string_view subject(text);
        for (const auto& word : words) {
            const auto at = subject.find(word);
            if (at != std::string_view::npos) return static_cast<int>(at);
        }
        return -1;
    }
    const Folded subject = fold_upper(text);
    for (const auto& word : words) {
        const auto at = subject.text.find(upper(word));
        if (at != std::string::npos) return static_cast<int>(subject.origin[at]);
    }
    return -1;
}

int StringHelper::search_array(const std::vector<std::string>& words, const char* text, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, -1);
    for (std::size_t i = 0; i < words.size(); ++i)
        if (case_sensitive ? words[i] == text : ascii_equal_caseless(words[i], text)) return static_cast<int>(i);
    return -1;
}

int StringHelper::search_array_prefix(const std::vector<std::string>& words, const char* text, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, -1);
    const std::string prefix = case_sensitive ? std::string(text) : upper(text);
    for (std::size_t i = 0; i < words.size(); ++i)
        if ((case_sensitive ? words[i] : upper(words[i])).starts_with(prefix)) return static_cast<int>(i);
    return -1;
}

int StringHelper::search_array_suffix(const std::vector<std::string>& words, const char* text, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, -1);
    const std::string suffix = case_sensitive ? std::string(text) : upper(text);
    for (std::size_t i = 0; i < words.size(); ++i)
        if ((case_sensitive ? words[i] : upper(words[i])).ends_with(suffix)) return static_cast<int>(i);
    return -1;
}

bool StringHelper::prefix_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, false);
    const std::string subject = case_sensitive ? std::string(text) : upper(text);
    for (const auto& word : words)
        if (subject.starts_with(case_sensitive ? word : upper(word))) return true;
    return false;
}

bool StringHelper::suffix_with_array(const char* text, const std::vector<std::string>& words, bool case_sensitive) {
    OMBRIX_RETURN_VAL_IF_NULL(text, false);
    const std::string subject = case_sensitive ? std::string(text) : upper(text);
    for (const auto& word : words)
        if (subject.ends_with(case_sensitive ? word : upper(word))) return true;
    return false;
}

std::optional<std::string> StringHelper::replace_array(const char* text, const std::vector<std::string>& search,
                                                       const std::vector<std::string>& replace) {
    OMBRIX_RETURN_VAL_IF_NULL(text, std::nullopt);
    if (search.size() != replace.size()) return std::nullopt;
    std::string result(text);
    for (std::size_t i = 0; i < search.size(); ++i) {
        const std::string& from = search[i];
        if (result.empty() || from.empty()) continue;
        std::string next;
        std::size_t start = 0;
        for (auto at = result.find(from); at != std::string::npos; at = result.find(from, start)) {
            next.append(result, start, at - start);
            next += replace[i];
            start = at + from.size();
        }
        next.append(result, start, std::string::npos);
        result = std::move(next);
    }
    return result;
}

void StringHelper::diff_array(const std::vector<std::string>& old_words, const std::vector<std::string>& new_words,
                              std::vector<std::string>& same, std::vector<std::string>& removed,
                              std::vector<std::string>& added) {
    const auto olds = stripped_words(old_words);
    const auto news = stripped_words(new_words);
    same.clear();
    removed.clear();
    added.clear();
    for (const auto& word : news) (contains(olds, word) ? same : added).push_back(word);
    for (const auto& word : olds)
        if (!contains(news, word)) removed.push_back(word);
}

}  // namespace Ombrix::Solvane::Helpers
