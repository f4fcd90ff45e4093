#include "solvane/Supports/Log/manager.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "providers/Core/regex.hpp"
#include "solvane/Supports/Log/handler_file_slice.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::LogLevel;
using namespace Solvane::Supports::Log;

namespace {

// Removes the temporary files of the connection logs a test opened.
void remove_temporary_files(const std::shared_ptr<Solvane::Contracts::Log::ILogger>& logger) {
    for (const auto& handler : logger->get_handlers())
        if (auto temp = std::dynamic_pointer_cast<TempFileLogHandler>(handler)) std::filesystem::remove(temp->get_path());
}

}  // namespace

TEST(LogManager, TheMainLogWritesSliceFilesNamedAfterItsUuid) {
    Testing::TempDir dir;
    const std::string folder = dir.file("logs");
    auto manager = LogManager::create();
    EXPECT_EQ(manager->get_main(), nullptr);
    manager->initialize("MAIN-UUID", LogLevel::PLAIN, folder, 0);

    auto main = manager->get_main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(manager->get_property("main").get_object(), std::dynamic_pointer_cast<Core::Object>(main));
    EXPECT_EQ(main->get_uuid(), "MAIN-UUID");
    EXPECT_EQ(main->get_server(), "SYS");
    EXPECT_EQ(main->get_name(), "SYS");
    EXPECT_EQ(manager->open("MAIN-UUID"), main);

    main->message("SYS", "SYS", "started");
    main->debug("SYS", "SYS", "not at PLAIN");
    manager->shutdown();
    const std::string text = Testing::read_text(folder + "/MAIN-UUID-000.log");
    EXPECT_TRUE(Core::Regex("^\\d{8} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\[SYS\\]\\[SYS\\]\\[PLAIN\\] started\\n$").is_match(text))
        << text;
}

TEST(LogManager, ConnectionLogsAreMadeOnceWithATemporaryFile) {
    Testing::TempDir dir;
    auto manager = LogManager::create();
    manager->initialize("MAIN-UUID", LogLevel::DEBUG, dir.path(), 0);

    auto connection = manager->open("CONN-UUID");
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(manager->open("CONN-UUID"), connection);
    EXPECT_EQ(connection->get_name(), "");
    EXPECT_EQ(connection->get_server(), "");
    const auto handlers = connection->get_handlers();
    ASSERT_EQ(handlers.size(), 1u);
    auto temp = std::dynamic_pointer_cast<TempFileLogHandler>(handlers[0]);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->get_threshold(), LogLevel::PLAIN);
    EXPECT_NE(temp->get_path().find("CONN-UUID-"), std::string::npos);

    connection->message("", "", "SQL: %s", "select 1");
    EXPECT_NE(connection->recent(0).find("SQL: select 1"), std::string::npos);

    // Closing forgets the log; the uuid's next record starts a new one.
    manager->close("CONN-UUID");
    EXPECT_TRUE(connection->get_handlers().empty());
    auto reopened = manager->open("CONN-UUID");
    EXPECT_NE(reopened, connection);
    remove_temporary_files(reopened);
    std::filesystem::remove(temp->get_path());
    manager->shutdown();
    EXPECT_TRUE(reopened->get_handlers().empty());
    EXPECT_TRUE(manager->get_main()->get_handlers().empty());
}

TEST(LogManager, AFolderThatCannotBeMadeLeavesTheMainLogWithoutAFile) {
    Testing::TempDir dir;
    Testing::LogCapture log;
    auto manager = LogManager::create();
    manager->initialize("MAIN-UUID", LogLevel::PLAIN, dir.file("two/levels"), 0);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_NE(log.warnings()[0].find("*** Failed creating FileHandler: "), std::string::npos);
    ASSERT_NE(manager->get_main(), nullptr);
    EXPECT_TRUE(manager->get_main()->get_handlers().empty());
    EXPECT_EQ(manager->get_main()->get_name(), "SYS");
}

TEST(LogManager, InitializingAgainReplacesTheMainLogAndItsFiles) {
    Testing::TempDir dir;
    auto manager = LogManager::create();
    manager->initialize("FIRST", LogLevel::PLAIN, dir.path(), 0);
    auto first = manager->get_main();
    manager->initialize("SECOND", LogLevel::PLAIN, dir.path(), 0);
    auto second = manager->get_main();
    EXPECT_NE(first, second);
    // The first main log no longer writes anywhere, nor is it a connection log.
    EXPECT_TRUE(first->get_handlers().empty());
    EXPECT_NE(manager->open("FIRST"), first);
    remove_temporary_files(manager->open("FIRST"));
    second->message("SYS", "SYS", "to the second");
    manager->shutdown();
    EXPECT_NE(Testing::read_text(dir.file("SECOND-000.log")).find("to the second"), std::string::npos);
    EXPECT_EQ(Testing::read_text(dir.file("FIRST-000.log")), "");
}
