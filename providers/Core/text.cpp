#include "providers/Core/text.hpp"

#include <glib.h>
#include <libintl.h>

#include <charconv>
#include <cmath>

#include "providers/Core/glib.hpp"

namespace Ombrix::Core {

const char* tr(const char* msgid) { return dgettext("ombrix", msgid); }

std::string vstrprintf(const char* format, va_list args) {
    return take_string(g_strdup_vprintf(format, args));
}

std::string strprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = vstrprintf(format, args);
    va_end(args);
    return result;
}

std::string format_fixed(double value, int digits) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    if (ec != std::errc()) return {};
    return std::string(buffer, end);
}

std::string format_double(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return {};
    return std::string(buffer, end);
}

std::int64_t parse_atoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && g_ascii_isspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Like glibc's atoi (strtol underneath), a number past the 64-bit range saturates; the
    // arithmetic stays unsigned so that no text can overflow a signed value.
    const std::uint64_t bound = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    for (; i < text.size() && g_ascii_isdigit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (bound - digit) / 10 ? bound : magnitude * 10 + digit;
    }
    return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

std::int64_t parse_int64_auto(std::string_view text) {
    const std::string copy(text);
    return g_ascii_strtoll(copy.c_str(), nullptr, 0);
}

std::uint64_t parse_uint64_auto(std::string_view text) {
    const std::string copy(text);
    return g_ascii_strtoull(copy.c_str(), nullptr, 0);
}

std::int64_t parse_int64_dec(std::string_view text) {
    const std::string copy(text);
    return g_ascii_strtoll(copy.c_str(), nullptr, 10);
}

std::uint64_t parse_uint64_dec(std::string_view text) {
    const std::string copy(text);
    return g_ascii_strtoull(copy.c_str(), nullptr, 10);
}

double parse_double(std::string_view text) {
    // A plain number (all a server sends) reads to the same nearest double without the copy.
    double value = 0.0;
    if (auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        ec == std::errc() && ptr == text.data() + text.size() && !text.empty())
        return value;
    const std::string copy(text);
    return g_ascii_strtod(copy.c_str(), nullptr);
}

float parse_float(std::string_view text) {
    // Read as the nearest float, not as a double narrowed afterwards (which can round twice).
    std::size_t i = 0;
    while (i < text.size() && g_ascii_isspace(text[i])) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    float value = 0.0f;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return static_cast<float>(parse_double(text));
    if (ec != std::errc()) return 0.0f;
    (void)ptr;
    return value;
}

std::string utf16_to_utf8(const void* units, std::size_t count) {
    if (count == 0) return {};
    glong written = 0;
    GError* error = nullptr;
    gchar* text = g_utf16_to_utf8(static_cast<const gunichar2*>(units), static_cast<glong>(count), nullptr, &written,
                                  &error);
    if (!text) {
        // Bad code units are the data's own problem; anything else is worth a critical.
        if (error && error->domain != G_CONVERT_ERROR) log_unexpected(__FILE__, __LINE__, take_error(error));
        else if (error) g_error_free(error);
        return {};
    }
    std::string result(text, static_cast<std::size_t>(written));
    g_free(text);
    return result;
}

std::string hex_upper(const void* data, std::size_t length) {
    std::string hex;
    hex_upper_into(data, length, hex);
    return hex;
}

void hex_upper_into(const void* data, std::size_t length, std::string& hex) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    hex.resize(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        hex[2 * i] = digits[bytes[i] >> 4];
        hex[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
}

std::string random_uuid() { return take_string(g_uuid_string_random()); }

std::string random_uuid_upper() { return ascii_upper(random_uuid()); }

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = g_ascii_tolower(c);
    return out;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::map<std::string, std::string> parse_key_values(std::string_view text) {
    std::map<std::string, std::string> values;
    for (std::string_view line : split(text, '\n')) {
        if (const auto eq = line.find('='); eq != std::string_view::npos)
            values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
    }
    return values;
}

std::string ascii_upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = g_ascii_toupper(c);
    return out;
}

bool contains_ascii_folded(std::string_view text, std::string_view lower) {
    // Inline: this runs over every byte of megabyte statements.
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    if (lower.empty()) return true;
    for (std::size_t at = 0; at + lower.size() <= text.size(); ++at) {
        if (fold(text[at]) != lower.front()) continue;
        std::size_t k = 1;
        while (k < lower.size() && fold(text[at + k]) == lower[k]) ++k;
        if (k == lower.size()) return true;
    }
    return false;
}

}  // namespace Ombrix::Core
