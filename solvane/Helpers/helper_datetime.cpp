#include "solvane/Helpers/helper_datetime.hpp"

#include <cstring>
#include <optional>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Helpers {

namespace {

constexpr std::uint64_t kHour = 3600000000ULL;
constexpr std::uint64_t kMinute = 60000000ULL;
constexpr std::uint64_t kSecond = 1000000ULL;
constexpr std::uint64_t kMillisecond = 1000ULL;

// The caller's millisecond format is handed to printf with one 64-bit integer: rebuild it with
// the "ll" length so that any integer conversion reads the argument correctly, and refuse
// anything else ("%s", "%n", several conversions), which would read memory that is not there.
std::optional<std::string> integer_format(const char* format) {
    std::string out;
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        out += *p;
        if (*p != '%') continue;
        if (p[1] == '%') {
            out += *++p;
            continue;
        }
        ++p;
        while (*p && std::strchr("-+ #0", *p)) out += *p++;
        while (*p >= '0' && *p <= '9') out += *p++;
        if (*p == '.') {
            out += *p++;
            while (*p >= '0' && *p <= '9') out += *p++;
        }
        while (*p && std::strchr("hljztqL", *p)) ++p;  // whatever length was written, "ll" is right
        if (!*p || !std::strchr("diouxX", *p)) return std::nullopt;
        out += "ll";
        out += *p;
        ++conversions;
    }
    if (conversions != 1) return std::nullopt;
    return out;
}

long long milliseconds_of(const Core::DateTime& moment) { return moment.microsecond() / 1000; }

std::uint64_t magnitude(std::int64_t span) {
    return span < 0 ? 0 - static_cast<std::uint64_t>(span) : static_cast<std::uint64_t>(span);
}

const char* sign(std::int64_t span) { return span < 0 ? "-" : ""; }

long long ll(std::uint64_t value) { return static_cast<long long>(value); }

}  // namespace

std::string DateTimeHelper::datetime_as_string(const Core::DateTime& moment, const char* format) {
    OMBRIX_RETURN_VAL_IF_NULL(format, std::string());
    return moment.format(format);
}

std::string DateTimeHelper::datetime_as_string_ms(const Core::DateTime& moment, const char* format,
                                                  const char* ms_format) {
    OMBRIX_RETURN_VAL_IF_NULL(format, std::string());
    OMBRIX_RETURN_VAL_IF_NULL(ms_format, std::string());
    const auto checked = integer_format(ms_format);
    const bool ms_format_has_one_integer_conversion = checked.has_value();
    OMBRIX_RETURN_VAL_IF_FAIL(ms_format_has_one_integer_conversion, std::string());
    const std::string date = moment.format(format);
    const std::string ms = Core::strprintf(checked->c_str(), milliseconds_of(moment));
    return Core::strprintf("%s.%s", date.c_str(), ms.c_str());
}

std::string DateTimeHelper::datetime_as_string(const char* format) {
    return datetime_as_string(Core::DateTime::now_local(), format);
}

std::string DateTimeHelper::datetime_as_string_ms(const char* format, const char* ms_format) {
    return datetime_as_string_ms(Core::DateTime::now_local(), format, ms_format);
}

std::string DateTimeHelper::datetime_as_normal() { return datetime_as_string("%Y-%m-%d %H:%M:%S"); }

std::string DateTimeHelper::datetime_as_compact() { return datetime_as_string("%Y%m%d%H%M%S"); }

std::string DateTimeHelper::datetime_as_iso8601() { return datetime_as_string("%Y-%m-%dT%H:%M:%S"); }

std::string DateTimeHelper::datetime_with_ms_normal() { return datetime_as_string_ms("%Y-%m-%d %H:%M:%S", "%03lli"); }

std::string DateTimeHelper::datetime_with_ms_compact() { return datetime_as_string_ms("%Y%m%d%H%M%S", "%03lli"); }

std::string DateTimeHelper::datetime_with_ms_iso8601() {
    return datetime_as_string_ms("%Y-%m-%dT%H:%M:%S", "%03lli");
}

std::string DateTimeHelper::format_time_span(std::int64_t span) {
    const std::uint64_t m = magnitude(span);
    return sign(span) + Core::strprintf("%02lli:%02lli:%02lli", ll(m / kHour), ll(m % kHour / kMinute),
                                        ll(m % kMinute / kSecond));
}

std::string DateTimeHelper::format_time_span_micro(std::int64_t span) {
    const std::uint64_t m = magnitude(span);
    return sign(span) + Core::strprintf("%02lli:%02lli:%02lli.%03lli", ll(m / kHour), ll(m % kHour / kMinute),
                                        ll(m % kMinute / kSecond), ll(m % kSecond / kMillisecond));
}

std::string DateTimeHelper::format_time_span_unit(std::int64_t span) {
    const std::uint64_t m = magnitude(span);
    const long long hours = ll(m / kHour);
    const long long minutes = ll(m % kHour / kMinute);
    const long long seconds = ll(m % kMinute / kSecond);
    const long long ms = ll(m % kSecond / kMillisecond);
    std::string text;
    if (m >= kHour)
        text = Core::strprintf(Core::tr("%lliH %lliM %lliS %llims"), hours, minutes, seconds, ms);
    else if (m >= kMinute)
        text = Core::strprintf(Core::tr("%lliM %lliS %llims"), minutes, seconds, ms);
    else if (m < kSecond)
        text = Core::strprintf(Core::tr("%llims"), ms);
    else
        text = Core::strprintf(Core::tr("%lliS %llims"), seconds, ms);
    return sign(span) + text;
}

}  // namespace Ombrix::Solvane::Helpers
