#include "solvane/Supports/Log/formatter_default.hpp"

#include <gtest/gtest.h>

#include "providers/Core/regex.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::LogLevel;
using Solvane::Supports::Log::ColorFormatter;
using Solvane::Supports::Log::DefaultFormatter;
using Solvane::Supports::Log::SimpleFormatter;

namespace {

// 2024-01-31 10:00:05 and 62.5 ms, local time.
Core::DateTime fixed_moment() { return Core::DateTime::local(2024, 1, 31, 10, 0, 5.0625); }

const auto kOutside = static_cast<LogLevel>(7);

}  // namespace

TEST(LogLevel, NicksNumbersAndColours) {
    using Solvane::Contracts::Log::to_color;
    using Solvane::Contracts::Log::to_number;
    using Solvane::Contracts::Log::to_string;
    EXPECT_EQ(to_string(LogLevel::RISKY), "risky");
    EXPECT_EQ(to_string(LogLevel::PLAIN), "plain");
    EXPECT_EQ(to_string(LogLevel::DEBUG), "debug");
    EXPECT_EQ(to_number(LogLevel::RISKY), "0");
    EXPECT_EQ(to_number(LogLevel::DEBUG), "2");
    EXPECT_EQ(to_color(LogLevel::RISKY), "red");
    EXPECT_EQ(to_color(LogLevel::PLAIN), "blue");
    EXPECT_EQ(to_color(LogLevel::DEBUG), "green");
    EXPECT_EQ(to_color(kOutside), "black");
    EXPECT_EQ(to_number(kOutside), "7");
    EXPECT_TRUE(Solvane::Contracts::Log::passes(LogLevel::RISKY, LogLevel::PLAIN));
    EXPECT_TRUE(Solvane::Contracts::Log::passes(LogLevel::PLAIN, LogLevel::PLAIN));
    EXPECT_FALSE(Solvane::Contracts::Log::passes(LogLevel::DEBUG, LogLevel::PLAIN));
}

TEST(DefaultFormatter, WritesDateMillisecondsServerNameAndLevel) {
    auto formatter = DefaultFormatter::create();
    const auto moment = fixed_moment();
    EXPECT_EQ(formatter->format_at(moment, LogLevel::PLAIN, "db1", "conn", "SQL: select 100%"),
              "20240131 10:00:05.062 [db1][conn][PLAIN] SQL: select 100%\n");
    EXPECT_EQ(formatter->format_at(moment, LogLevel::RISKY, "", "", "boom"), "20240131 10:00:05.062 [][][RISKY] boom\n");
    EXPECT_EQ(formatter->format_at(moment, LogLevel::DEBUG, "S", "N", ""), "20240131 10:00:05.062 [S][N][DEBUG] \n");
    EXPECT_EQ(formatter->get_level_name(kOutside), "");
    EXPECT_EQ(formatter->type_name(), "OmbrixSolvaneSupportsLogDefaultFormatter");

    // Without a given moment the line carries the local time now.
    const std::string line = formatter->format(LogLevel::PLAIN, "SYS", "SYS", "hello");
    EXPECT_TRUE(Core::Regex("^\\d{8} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\[SYS\\]\\[SYS\\]\\[PLAIN\\] hello\\n$").is_match(line))
        << line;
    EXPECT_EQ(line.substr(0, 8), Core::DateTime::now_local().format("%Y%m%d"));
}

TEST(ColorFormatter, PadsTheFieldsAndColoursTheLevel) {
    auto formatter = ColorFormatter::create();
    const auto moment = fixed_moment();
    EXPECT_EQ(formatter->get_level_name(LogLevel::RISKY), "\033[1;31mRISKY\033[00m");
    EXPECT_EQ(formatter->get_level_name(LogLevel::PLAIN), "\033[1;34mPLAIN\033[00m");
    EXPECT_EQ(formatter->get_level_name(LogLevel::DEBUG), "\033[1;32mDEBUG\033[00m");
    EXPECT_EQ(formatter->get_level_name(kOutside), "\033[1;37m\033[00m");
    // The level field is padded to 20 bytes, escape sequences included.
    EXPECT_EQ(formatter->format_at(moment, LogLevel::RISKY, "db1", "conn", "boom"),
              "10:00:05.062 [db1         ][conn        ][\033[1;31mRISKY\033[00m   ] boom\n");
    EXPECT_EQ(formatter->format_at(moment, LogLevel::PLAIN, "a-very-long-server", "n", "m"),
              "10:00:05.062 [a-very-long-server][n           ][\033[1;34mPLAIN\033[00m   ] m\n");
    EXPECT_TRUE(formatter->is_a(DefaultFormatter::static_type()));
}

TEST(SimpleFormatter, WritesTheTimeAndTheMessageOnly) {
    auto formatter = SimpleFormatter::create();
    EXPECT_EQ(formatter->format_at(fixed_moment(), LogLevel::RISKY, "db1", "conn", "affected rows: 3"),
              "10:00:05.062 affected rows: 3\n");
    EXPECT_TRUE(Core::Regex("^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} x\\n$")
                    .is_match(formatter->format(LogLevel::PLAIN, "S", "N", "x")));
}
