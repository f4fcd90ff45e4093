/// @file Text helpers: translation, locale-independent numbers, printf-style texts, UUIDs.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "providers/providers_export.h"

namespace Ombrix::Core {

/// The message catalogue's translation of `msgid` in domain "ombrix".
OMBRIX_PROVIDERS_EXPORT const char* tr(const char* msgid);

/// printf-style formatting into a std::string (for %s, %d and friends; numbers with a decimal
/// point go through `format_fixed` so the C locale never matters).
OMBRIX_PROVIDERS_EXPORT std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
OMBRIX_PROVIDERS_EXPORT std::string vstrprintf(const char* format, va_list args);

/// `value` with `digits` digits after the point, always with '.' (the shape of C's "%f").
OMBRIX_PROVIDERS_EXPORT std::string format_fixed(double value, int digits = 6);
/// The shortest text that reads back as the same double ("%g"-like, locale-independent).
OMBRIX_PROVIDERS_EXPORT std::string format_double(double value);

/// C atoi: leading blanks, optional sign, decimal digits up to the first other character; 0 when none.
/// A number outside the signed 64-bit range saturates, as glibc's atoi does before its narrowing.
OMBRIX_PROVIDERS_EXPORT std::int64_t parse_atoi(std::string_view text);
/// Signed 64-bit with base detection (0x hexadecimal, leading 0 octal), locale-independent; 0 when none.
OMBRIX_PROVIDERS_EXPORT std::int64_t parse_int64_auto(std::string_view text);
/// Unsigned 64-bit with base detection, locale-independent; 0 when none.
OMBRIX_PROVIDERS_EXPORT std::uint64_t parse_uint64_auto(std::string_view text);
/// Decimal signed 64-bit, saturating like strtoll; 0 when none.
OMBRIX_PROVIDERS_EXPORT std::int64_t parse_int64_dec(std::string_view text);
/// Decimal unsigned 64-bit, saturating like strtoull; 0 when none.
OMBRIX_PROVIDERS_EXPORT std::uint64_t parse_uint64_dec(std::string_view text);
/// A double read locale-independently (g_ascii_strtod); 0 when none.
OMBRIX_PROVIDERS_EXPORT double parse_double(std::string_view text);
/// A single-precision float read locale-independently; 0 when none.
OMBRIX_PROVIDERS_EXPORT float parse_float(std::string_view text);

/// UTF-16 code units (host order) as UTF-8; "" when they are not valid UTF-16 (a failure other
/// than bad code units is also logged as an unexpected error).
OMBRIX_PROVIDERS_EXPORT std::string utf16_to_utf8(const void* units, std::size_t count);

/// Each byte as two upper-case hexadecimal digits, no separators ("" for no bytes).
OMBRIX_PROVIDERS_EXPORT std::string hex_upper(const void* data, std::size_t length);
/// The same, written into `hex` (its storage reused).
OMBRIX_PROVIDERS_EXPORT void hex_upper_into(const void* data, std::size_t length, std::string& hex);

/// A fresh random version-4 UUID text, lower case (36 characters).
OMBRIX_PROVIDERS_EXPORT std::string random_uuid();
/// A fresh random version-4 UUID text, upper case.
OMBRIX_PROVIDERS_EXPORT std::string random_uuid_upper();

/// `text` without leading and trailing blanks (space, tab, line feed, carriage return, form feed,
/// vertical tab).
OMBRIX_PROVIDERS_EXPORT std::string_view trim(std::string_view text);
/// The pieces of `text` between the `separator`s, empty ones included ("" gives one empty piece).
OMBRIX_PROVIDERS_EXPORT std::vector<std::string> split(std::string_view text, char separator);
/// The KEY=VALUE lines of `text` (a shell environment file); lines without '=' are skipped and a
/// later key wins.
OMBRIX_PROVIDERS_EXPORT std::map<std::string, std::string> parse_key_values(std::string_view text);

/// ASCII lower/upper case of `text`.
OMBRIX_PROVIDERS_EXPORT std::string ascii_lower(std::string_view text);
OMBRIX_PROVIDERS_EXPORT std::string ascii_upper(std::string_view text);
/// Whether `text` holds `lower` (lower-case ASCII) in any case of its ASCII letters, without a
/// folded copy of `text`.
OMBRIX_PROVIDERS_EXPORT bool contains_ascii_folded(std::string_view text, std::string_view lower);

}  // namespace Ombrix::Core
