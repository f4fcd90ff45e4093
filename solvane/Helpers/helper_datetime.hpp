/// @file Time stamps for progress messages, file names and logs, and texts for durations.
#pragma once

#include <cstdint>
#include <string>

#include "providers/Core/datetime.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Helpers {

/// Static helpers over the local time zone. Milliseconds are the microseconds of the moment divided
/// by 1000, printed "%03lli". Durations are signed microseconds; a negative one prints as "-" and
/// the text of its magnitude.
class OMBRIX_SOLVANE_EXPORT DateTimeHelper {
public:
    DateTimeHelper() = delete;

    /// The local time now in `format` (GDateTime conversions); "" for an invalid format.
    static std::string datetime_as_string(const char* format);
    /// "<now in `format`>.<milliseconds printed with `ms_format`>". `ms_format` is a printf format with
    /// exactly one integer conversion ("%03lli"); any other is refused with a critical and gives "".
    static std::string datetime_as_string_ms(const char* format, const char* ms_format);
    /// The same two forms at a given moment (the others read the clock once and call these).
    static std::string datetime_as_string(const Core::DateTime& moment, const char* format);
    static std::string datetime_as_string_ms(const Core::DateTime& moment, const char* format, const char* ms_format);

    /// "%Y-%m-%d %H:%M:%S"
    static std::string datetime_as_normal();
    /// "%Y%m%d%H%M%S"
    static std::string datetime_as_compact();
    /// "%Y-%m-%dT%H:%M:%S"
    static std::string datetime_as_iso8601();
    /// "%Y-%m-%d %H:%M:%S.mmm"
    static std::string datetime_with_ms_normal();
    /// "%Y%m%d%H%M%S.mmm"
    static std::string datetime_with_ms_compact();
    /// "%Y-%m-%dT%H:%M:%S.mmm"
    static std::string datetime_with_ms_iso8601();

    /// "HH:MM:SS"; hours are not limited to 24 (25 h 1 min 1 s is "25:01:01").
    static std::string format_time_span(std::int64_t span);
    /// "HH:MM:SS.mmm"
    static std::string format_time_span_micro(std::int64_t span);
    /// Translated units: "1H 2M 3S 4ms" from one hour, "2M 3S 4ms" from one minute, "3S 4ms" from
    /// one second, "4ms" below.
    static std::string format_time_span_unit(std::int64_t span);
};

}  // namespace Ombrix::Solvane::Helpers
