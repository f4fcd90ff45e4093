#include "solvane/Supports/Log/handler_file_temp.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "providers/Core/regex.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::LogLevel;
using Solvane::Supports::Log::TempFileLogHandler;

namespace {

// Removes the handler's file at the end of a test: the system itself leaves temporary logs behind.
struct RemoveAfter {
    std::string path;
    ~RemoveAfter() {
        if (!path.empty()) std::filesystem::remove(path);
    }
};

}  // namespace

TEST(TempFileLogHandler, RecentReturnsEverythingWrittenAndWritingGoesOnAfterIt) {
    auto handler = TempFileLogHandler::create();
    handler->initialize("0A1B2C3D-TEMP");
    RemoveAfter cleanup{handler->get_path()};

    EXPECT_EQ(handler->recent(0), "");
    handler->publish(LogLevel::PLAIN, "db1", "conn", "SQL: select 1");
    handler->publish(LogLevel::RISKY, "db1", "conn", "affected rows: 3");
    const std::string first = handler->recent(10);
    const Core::Regex two("^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} SQL: select 1\\n\\d{2}:\\d{2}:\\d{2}\\.\\d{3} affected rows: 3\\n$");
    EXPECT_TRUE(two.is_match(first)) << first;

    // Reading must not move where the next line is written.
    handler->publish(LogLevel::PLAIN, "db1", "conn", "third");
    const std::string second = handler->recent(10);
    EXPECT_EQ(second.substr(0, first.size()), first);
    EXPECT_TRUE(Core::Regex("^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} third\\n$").is_match(second.substr(first.size())));
    EXPECT_EQ(Testing::read_text(handler->get_path()), second);
}

TEST(TempFileLogHandler, IsAPrivateFileNamedAfterTheLogInTheTemporaryFolder) {
    auto handler = TempFileLogHandler::create();
    handler->initialize("0A1B2C3D-NAME");
    const std::string path = handler->get_path();
    RemoveAfter cleanup{path};
    ASSERT_FALSE(path.empty());
    const std::filesystem::path file(path);
    EXPECT_EQ(file.parent_path(), std::filesystem::path(g_get_tmp_dir()));
    EXPECT_TRUE(Core::Regex("^0A1B2C3D-NAME-\\w{6}\\.log$").is_match(file.filename().string())) << path;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Closing keeps the file for the host; the handler then has nothing to give back.
    handler->publish(LogLevel::PLAIN, "", "", "kept");
    handler->close();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(handler->recent(0), "");
    handler->publish(LogLevel::PLAIN, "", "", "dropped");
    EXPECT_EQ(Testing::read_text(path).find("dropped"), std::string::npos);
}

TEST(TempFileLogHandler, DropsRecordsAboveItsThreshold) {
    auto handler = TempFileLogHandler::create();
    handler->initialize("0A1B2C3D-LEVEL");
    RemoveAfter cleanup{handler->get_path()};
    EXPECT_EQ(handler->get_threshold(), LogLevel::PLAIN);
    handler->publish(LogLevel::DEBUG, "", "", "debug line");
    EXPECT_EQ(handler->recent(0), "");
    handler->set_threshold(LogLevel::DEBUG);
    handler->publish(LogLevel::DEBUG, "", "", "debug line");
    EXPECT_NE(handler->recent(0).find("debug line"), std::string::npos);
}

TEST(TempFileLogHandler, AFileThatCannotBeMadeIsAWarningAndLaterRecordsAreDropped) {
    Testing::LogCapture log;
    auto handler = TempFileLogHandler::create();
    handler->initialize("no/such/folder");
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_NE(log.warnings()[0].find("Failed to open file: "), std::string::npos);
    handler->publish(LogLevel::RISKY, "", "", "lost");
    EXPECT_EQ(handler->recent(0), "");
    EXPECT_EQ(handler->get_path(), "");
    EXPECT_EQ(log.warnings().size(), 1u);
}
