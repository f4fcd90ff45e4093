#include "solvane/Helpers/helper_datetime.hpp"

#include <gtest/gtest.h>

#include "providers/Core/regex.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using Solvane::Helpers::DateTimeHelper;

namespace {

constexpr std::int64_t kHour = 3600000000;
constexpr std::int64_t kMinute = 60000000;
constexpr std::int64_t kSecond = 1000000;

// 2024-01-31 10:00:05 and 62.5 ms, local time (1/16 s is exact in binary).
Core::DateTime fixed_moment() { return Core::DateTime::local(2024, 1, 31, 10, 0, 5.0625); }

bool matches(const std::string& pattern, const std::string& text) { return Core::Regex(pattern).is_match(text); }

}  // namespace

TEST(DateTimeHelper, FormatsAGivenMomentWithZeroPaddedMilliseconds) {
    const auto moment = fixed_moment();
    EXPECT_EQ(DateTimeHelper::datetime_as_string(moment, "%Y-%m-%d %H:%M:%S"), "2024-01-31 10:00:05");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%Y-%m-%d %H:%M:%S", "%03lli"), "2024-01-31 10:00:05.062");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%H%M", "%lli"), "1000.62");
    // Any integer conversion is read as the 64-bit value it is given.
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "%04d"), "05.0062");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "%x%%"), "05.3e%");
}

TEST(DateTimeHelper, TheNamedStampsHaveTheirLayouts) {
    EXPECT_TRUE(matches("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$", DateTimeHelper::datetime_as_normal()));
    EXPECT_TRUE(matches("^\\d{14}$", DateTimeHelper::datetime_as_compact()));
    EXPECT_TRUE(matches("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$", DateTimeHelper::datetime_as_iso8601()));
    EXPECT_TRUE(matches("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$", DateTimeHelper::datetime_with_ms_normal()));
    EXPECT_TRUE(matches("^\\d{14}\\.\\d{3}$", DateTimeHelper::datetime_with_ms_compact()));
    EXPECT_TRUE(matches("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3}$", DateTimeHelper::datetime_with_ms_iso8601()));
    EXPECT_TRUE(matches("^\\d{4}\\.\\d{3}$", DateTimeHelper::datetime_as_string_ms("%Y", "%03lli")));

    // The stamp is the local time now.
    const auto before = Core::DateTime::now_local().add_seconds(-1);
    const auto stamp = Core::DateTime::from_iso8601(DateTimeHelper::datetime_as_iso8601(), Core::Zone::Local);
    const auto after = Core::DateTime::now_local();
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
}

TEST(DateTimeHelper, RefusesFormatsThatCouldReadPastTheirArgument) {
    Testing::LogCapture log;
    const auto moment = fixed_moment();
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "%s"), "");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "%d %d"), "");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "ms"), "");
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms(moment, "%S", "%n"), "");
    EXPECT_EQ(log.criticals().size(), 4u);
    EXPECT_TRUE(log.has_critical("ms_format_has_one_integer_conversion"));

    EXPECT_EQ(DateTimeHelper::datetime_as_string(nullptr), "");
    EXPECT_TRUE(log.has_critical("assertion 'format != NULL' failed"));
    EXPECT_EQ(DateTimeHelper::datetime_as_string_ms("%S", nullptr), "");
    EXPECT_TRUE(log.has_critical("assertion 'ms_format != NULL' failed"));
}

TEST(DateTimeHelper, TimeSpansCountHoursBeyondADay) {
    EXPECT_EQ(DateTimeHelper::format_time_span(25 * kHour + kMinute + kSecond), "25:01:01");
    EXPECT_EQ(DateTimeHelper::format_time_span(0), "00:00:00");
    EXPECT_EQ(DateTimeHelper::format_time_span(kSecond - 1), "00:00:00");
    EXPECT_EQ(DateTimeHelper::format_time_span(120 * kHour + 59 * kMinute + 59 * kSecond), "120:59:59");
    EXPECT_EQ(DateTimeHelper::format_time_span_micro(25 * kHour + kMinute + kSecond + 7999), "25:01:01.007");
    EXPECT_EQ(DateTimeHelper::format_time_span_micro(999), "00:00:00.000");
}

TEST(DateTimeHelper, TimeSpanUnitsStartAtTheLargestUnitReached) {
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(0), "0ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(999999), "999ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(1000000), "1S 0ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(59999999), "59S 999ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(60000000), "1M 0S 0ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(kHour - 1), "59M 59S 999ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(kHour), "1H 0M 0S 0ms");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(26 * kHour + 2 * kMinute + 3 * kSecond + 4000), "26H 2M 3S 4ms");
}

TEST(DateTimeHelper, NegativeSpansPrintTheirMagnitudeWithASign) {
    EXPECT_EQ(DateTimeHelper::format_time_span(-(kHour + 2 * kSecond)), "-01:00:02");
    EXPECT_EQ(DateTimeHelper::format_time_span_micro(-1500000), "-00:00:01.500");
    EXPECT_EQ(DateTimeHelper::format_time_span_unit(-1500000), "-1S 500ms");
    EXPECT_EQ(DateTimeHelper::format_time_span(INT64_MIN), "-2562047788:00:54");
}
