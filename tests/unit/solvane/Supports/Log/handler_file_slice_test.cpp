#include "solvane/Supports/Log/handler_file_slice.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "providers/Core/regex.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::IFormatter;
using Solvane::Contracts::Log::LogLevel;
using Solvane::Supports::Log::SliceFileLogHandler;
using Testing::read_text;
using Testing::TempDir;
using Testing::write_text;

namespace {

// The message and a newline: line lengths the test controls to the byte.
class BareFormatter final : public IFormatter {
public:
    std::string format(LogLevel, std::string_view, std::string_view, std::string_view message) const override {
        return std::string(message) + "\n";
    }
};

std::shared_ptr<SliceFileLogHandler> bare_handler(const TempDir& dir, std::int64_t max_size) {
    auto handler = SliceFileLogHandler::create();
    EXPECT_TRUE(handler->initialize("MAIN", dir.path(), max_size));
    handler->set_formatter(std::make_shared<BareFormatter>());
    return handler;
}

std::vector<std::string> log_files(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(SliceFileLogHandler, TheLineThatCrossesTheLimitStartsTheNextFile) {
    TempDir dir;
    auto handler = bare_handler(dir, 100);
    const std::string a(39, 'a'), b(39, 'b'), c(39, 'c'), d(39, 'd'), e(19, 'e'), f(39, 'f');
    for (const auto& text : {a, b, c, d, e, f}) handler->publish(LogLevel::PLAIN, "S", "N", text);
    handler->close();

    // 40 + 40 fit; the third line would make 120: it opens 001. 40 + 40 + 20 = 100 is not over.
    EXPECT_EQ(log_files(dir), (std::vector<std::string>{"MAIN-000.log", "MAIN-001.log", "MAIN-002.log"}));
    EXPECT_EQ(read_text(dir.file("MAIN-000.log")), a + "\n" + b + "\n");
    EXPECT_EQ(read_text(dir.file("MAIN-001.log")), c + "\n" + d + "\n" + e + "\n");
    EXPECT_EQ(read_text(dir.file("MAIN-002.log")), f + "\n");
}

TEST(SliceFileLogHandler, WithoutALimitEverythingGoesToOneFile) {
    TempDir dir;
    auto handler = bare_handler(dir, 0);
    for (int i = 0; i < 200; ++i) handler->publish(LogLevel::RISKY, "S", "N", std::string(100, 'x'));
    handler->close();
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"MAIN-000.log"});
    EXPECT_EQ(read_text(dir.file("MAIN-000.log")).size(), 200u * 101u);
}

TEST(SliceFileLogHandler, ALineLongerThanTheLimitFillsAFileOfItsOwn) {
    TempDir dir;
    auto handler = bare_handler(dir, 10);
    handler->publish(LogLevel::PLAIN, "S", "N", std::string(30, 'l'));
    handler->publish(LogLevel::PLAIN, "S", "N", "short");
    handler->publish(LogLevel::PLAIN, "S", "N", std::string(30, 'm'));
    handler->close();
    // No empty file is left behind for the long lines.
    EXPECT_EQ(log_files(dir), (std::vector<std::string>{"MAIN-000.log", "MAIN-001.log", "MAIN-002.log"}));
    EXPECT_EQ(read_text(dir.file("MAIN-000.log")), std::string(30, 'l') + "\n");
    EXPECT_EQ(read_text(dir.file("MAIN-001.log")), "short\n");
    EXPECT_EQ(read_text(dir.file("MAIN-002.log")), std::string(30, 'm') + "\n");
}

TEST(SliceFileLogHandler, StartupAppendsToTheNewestFileUnlessItIsTooLarge) {
    TempDir dir;
    for (int i = 0; i <= 4; ++i) write_text(dir.file("MAIN-00" + std::to_string(i) + ".log"), "old " + std::to_string(i) + "\n");
    // Files of other logs, or copies, never count.
    write_text(dir.file("MAIN-009.log.gz"), "");
    write_text(dir.file("XMAIN-008.log"), "");
    write_text(dir.file("OTHER-007.log"), "");

    {
        auto handler = bare_handler(dir, 100);
        EXPECT_EQ(handler->get_current_path(), dir.file("MAIN-004.log"));
        handler->publish(LogLevel::PLAIN, "S", "N", "appended");
        handler->close();
    }
    EXPECT_EQ(read_text(dir.file("MAIN-004.log")), "old 4\nappended\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("MAIN-005.log")));

    write_text(dir.file("MAIN-004.log"), std::string(101, 'z'));
    {
        auto handler = bare_handler(dir, 100);
        EXPECT_EQ(handler->get_current_path(), dir.file("MAIN-005.log"));
        handler->publish(LogLevel::PLAIN, "S", "N", "fresh");
        handler->close();
    }
    EXPECT_EQ(read_text(dir.file("MAIN-004.log")), std::string(101, 'z'));
    EXPECT_EQ(read_text(dir.file("MAIN-005.log")), "fresh\n");
}

TEST(SliceFileLogHandler, AFileExactlyAtTheLimitIsStillAppendedTo) {
    TempDir dir;
    write_text(dir.file("MAIN-000.log"), std::string(99, 'z') + "\n");
    auto handler = bare_handler(dir, 100);
    EXPECT_EQ(handler->get_current_path(), dir.file("MAIN-000.log"));
    handler->publish(LogLevel::PLAIN, "S", "N", "next");
    handler->close();
    // The size on disk counts: the first new line already crosses the limit.
    EXPECT_EQ(read_text(dir.file("MAIN-001.log")), "next\n");
}

TEST(SliceFileLogHandler, PublishesAtOrBelowItsThresholdWithTheDefaultLayout) {
    TempDir dir;
    auto handler = SliceFileLogHandler::create();
    ASSERT_TRUE(handler->initialize("MAIN", dir.path(), 0));
    EXPECT_EQ(handler->get_threshold(), LogLevel::PLAIN);
    handler->publish(LogLevel::DEBUG, "db1", "conn", "dropped");
    handler->publish(LogLevel::PLAIN, "db1", "conn", "kept");
    handler->set_threshold(LogLevel::RISKY);
    handler->publish(LogLevel::PLAIN, "db1", "conn", "dropped too");
    handler->publish(LogLevel::RISKY, "db1", "conn", "risky");
    handler->close();

    const std::string text = read_text(dir.file("MAIN-000.log"));
    const Core::Regex line("^\\d{8} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\[db1\\]\\[conn\\]\\[(PLAIN|RISKY)\\] (kept|risky)$",
                           G_REGEX_MULTILINE);
    EXPECT_EQ(line.match_all(text).size(), 2u) << text;
    EXPECT_EQ(text.find("dropped"), std::string::npos);
}

TEST(SliceFileLogHandler, FilesArePrivateAndClosedHandlersDropRecords) {
    TempDir dir;
    auto handler = bare_handler(dir, 0);
    handler->publish(LogLevel::PLAIN, "S", "N", "one");
    struct stat info {};
    ASSERT_EQ(stat(dir.file("MAIN-000.log").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    handler->close();
    handler->publish(LogLevel::PLAIN, "S", "N", "two");
    EXPECT_EQ(read_text(dir.file("MAIN-000.log")), "one\n");
    EXPECT_EQ(handler->get_current_path(), "");
}

TEST(SliceFileLogHandler, AMissingFolderFailsInitialization) {
    TempDir dir;
    auto handler = SliceFileLogHandler::create();
    const auto status = handler->initialize("MAIN", dir.file("missing"), 0);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().domain, "g-io-error-quark");
    handler->publish(LogLevel::RISKY, "S", "N", "nowhere");
    EXPECT_TRUE(log_files(dir).empty());
}
