#include "solvane/Supports/Log/logger.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "solvane/Supports/Log/handler_console.hpp"
#include "solvane/Supports/Log/handler_delegate.hpp"
#include "solvane/Supports/Log/handler_file_slice.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"
#include "tests/support/console_capture.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::LogLevel;
using namespace Solvane::Supports::Log;

namespace {

struct Received {
    LogLevel level;
    std::string message;
    bool operator==(const Received&) const = default;
};

// A delegate handler that records what reaches it.
std::shared_ptr<DelegateHandler> recording_handler(std::vector<Received>& received) {
    return DelegateHandler::create(
        [&received](const std::shared_ptr<void>&, LogLevel level, std::string_view message) {
            received.push_back({level, std::string(message)});
        },
        std::make_shared<int>(0));
}

}  // namespace

TEST(Logger, ADebugRecordReachesOnlyTheConsoleAtDefaultThresholds) {
    Testing::TempDir dir;
    Testing::ConsoleCapture console;
    auto logger = Logger::create("MAIN");
    std::vector<Received> delegated;
    auto delegate = recording_handler(delegated);
    auto slice = SliceFileLogHandler::create();
    ASSERT_TRUE(slice->initialize("MAIN", dir.path(), 0));
    auto temp = TempFileLogHandler::create();
    temp->initialize("MAIN-LOGGER-TEST");
    const std::string temp_path = temp->get_path();
    for (const std::shared_ptr<ILogHandler>& handler :
         std::vector<std::shared_ptr<ILogHandler>>{GLibLogHandler::create(), delegate, slice, temp})
        logger->append_handler(handler);

    logger->debug("db1", "conn", "rows: %d", 7);
    EXPECT_TRUE(delegated.empty());
    EXPECT_EQ(temp->recent(0), "");
    EXPECT_EQ(Testing::read_text(dir.file("MAIN-000.log")), "");
    const auto records = console.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].first, G_LOG_LEVEL_DEBUG);
    EXPECT_EQ(records[0].second, "rows: 7");

    // Each handler filters by its own threshold.
    delegate->set_threshold(LogLevel::DEBUG);
    slice->set_threshold(LogLevel::RISKY);
    logger->debug("db1", "conn", "second");
    logger->message("db1", "conn", "plain");
    EXPECT_EQ(delegated, (std::vector<Received>{{LogLevel::DEBUG, "second"}, {LogLevel::PLAIN, "plain"}}));
    EXPECT_EQ(Testing::read_text(dir.file("MAIN-000.log")), "");
    EXPECT_NE(temp->recent(0).find("plain"), std::string::npos);
    EXPECT_EQ(temp->recent(0).find("second"), std::string::npos);
    logger->close();
    std::filesystem::remove(temp_path);
}

TEST(Logger, RecordFunctionsMapToTheirLevels) {
    auto logger = Logger::create("MAIN");
    std::vector<Received> received;
    auto delegate = recording_handler(received);
    delegate->set_threshold(LogLevel::DEBUG);
    logger->append_handler(delegate);
    logger->error("S", "N", "e%s", "1");
    logger->critical("S", "N", "c");
    logger->warning("S", "N", "w");
    logger->message("S", "N", "m");
    logger->info("S", "N", "i");
    logger->debug("S", "N", "d");
    EXPECT_EQ(received, (std::vector<Received>{{LogLevel::RISKY, "e1"},
                                               {LogLevel::RISKY, "c"},
                                               {LogLevel::RISKY, "w"},
                                               {LogLevel::PLAIN, "m"},
                                               {LogLevel::PLAIN, "i"},
                                               {LogLevel::DEBUG, "d"}}));
}

TEST(Logger, NullArgumentsAreRefusedWithACritical) {
    Testing::LogCapture log;
    auto logger = Logger::create("MAIN");
    std::vector<Received> received;
    logger->append_handler(recording_handler(received));
    logger->message(nullptr, "N", "x");
    logger->error("S", nullptr, "x");
    logger->info("S", "N", nullptr);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(log.criticals().size(), 3u);
    EXPECT_TRUE(log.has_critical("assertion 't_server != NULL' failed"));
    EXPECT_TRUE(log.has_critical("assertion 't_name != NULL' failed"));
    EXPECT_TRUE(log.has_critical("assertion 'format != NULL' failed"));
}

TEST(Logger, KeepsEachHandlerOnceAndRecentComesFromItsTemporaryFile) {
    auto logger = Logger::create("0A1B2C3D-RECENT");
    EXPECT_EQ(logger->get_uuid(), "0A1B2C3D-RECENT");
    EXPECT_EQ(logger->get_name(), "");
    EXPECT_EQ(logger->get_server(), "");
    std::vector<std::string> notified;
    logger->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    logger->initialize("db1", "conn");
    EXPECT_EQ(logger->get_property("server").get_string(), "db1");
    EXPECT_EQ(logger->get_property("name").get_string(), "conn");
    EXPECT_EQ(notified, (std::vector<std::string>{"server", "name"}));

    std::vector<Received> received;
    auto delegate = recording_handler(received);
    logger->append_handler(delegate);
    logger->append_handler(delegate);
    EXPECT_EQ(logger->get_handlers().size(), 1u);
    EXPECT_EQ(logger->recent(0), "");

    auto temp = TempFileLogHandler::create();
    temp->initialize("0A1B2C3D-RECENT");
    logger->append_handler(temp);
    logger->message("db1", "conn", "hello");
    EXPECT_NE(logger->recent(0).find("hello"), std::string::npos);
    EXPECT_EQ(received.size(), 1u);

    logger->delete_handler(delegate);
    logger->message("db1", "conn", "again");
    EXPECT_EQ(received.size(), 1u);

    logger->remove_handler_all();
    EXPECT_TRUE(logger->get_handlers().empty());
    EXPECT_EQ(logger->recent(0), "");
    std::filesystem::remove(temp->get_path());
}

TEST(Logger, CloseClosesEveryHandlerAndForgetsThem) {
    auto logger = Logger::create("MAIN");
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;
    int calls = 0;
    auto delegate = DelegateHandler::create(
        [token = std::move(token), &calls](const std::shared_ptr<void>&, LogLevel, std::string_view) { ++calls; },
        std::make_shared<int>(0));
    logger->append_handler(delegate);
    logger->message("S", "N", "one");
    logger->close();
    EXPECT_TRUE(logger->get_handlers().empty());
    // Closing released what the callback held, and the handler drops records from then on.
    EXPECT_TRUE(watch.expired());
    delegate->publish(LogLevel::RISKY, "S", "N", "two");
    EXPECT_EQ(calls, 1);
}

TEST(DelegateHandler, NeedsAUserObjectAndHandsItToTheCallback) {
    Testing::LogCapture log;
    EXPECT_EQ(DelegateHandler::create([](const std::shared_ptr<void>&, LogLevel, std::string_view) {}, nullptr),
              nullptr);
    EXPECT_TRUE(log.has_critical("assertion 'user_object != NULL' failed"));

    auto user = std::make_shared<std::string>("owner");
    std::string seen;
    auto handler = DelegateHandler::create(
        [&](const std::shared_ptr<void>& object, LogLevel, std::string_view message) {
            seen = *std::static_pointer_cast<std::string>(object) + ":" + std::string(message);
        },
        user);
    handler->publish(LogLevel::PLAIN, "S", "N", "hi");
    EXPECT_EQ(seen, "owner:hi");

    // Without a callback, records are simply dropped.
    auto silent = DelegateHandler::create(nullptr, user);
    ASSERT_NE(silent, nullptr);
    silent->publish(LogLevel::RISKY, "S", "N", "nothing happens");
    EXPECT_EQ(silent->recent(3), "");
}

TEST(GLibLogHandler, MapsLevelsToTheGLibLogAndIgnoresItsThreshold) {
    Testing::ConsoleCapture console;
    auto handler = GLibLogHandler::create();
    handler->set_threshold(LogLevel::RISKY);
    handler->publish(LogLevel::RISKY, "S", "N", "risky 100%");
    handler->publish(LogLevel::PLAIN, "S", "N", "plain");
    handler->publish(LogLevel::DEBUG, "S", "N", "debug");
    const auto records = console.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], std::make_pair(G_LOG_LEVEL_WARNING, std::string("risky 100%")));
    EXPECT_EQ(records[1], std::make_pair(G_LOG_LEVEL_MESSAGE, std::string("plain")));
    EXPECT_EQ(records[2], std::make_pair(G_LOG_LEVEL_DEBUG, std::string("debug")));
    EXPECT_EQ(handler->recent(5), "");
}

TEST(LogHandlers, ExposeFormatterAndThresholdAsProperties) {
    auto handler = SliceFileLogHandler::create();
    EXPECT_EQ(handler->get_property("threshold").get_int64(), static_cast<int>(LogLevel::PLAIN));
    EXPECT_TRUE(handler->set_property("threshold", Core::Value::from_enum(static_cast<int>(LogLevel::DEBUG))));
    EXPECT_EQ(handler->get_threshold(), LogLevel::DEBUG);
    const auto formatter = handler->get_property("formatter").get_object();
    ASSERT_NE(formatter, nullptr);
    EXPECT_EQ(formatter->type_name(), "OmbrixSolvaneSupportsLogDefaultFormatter");
    EXPECT_EQ(TempFileLogHandler::create()->get_property("formatter").get_object()->type_name(),
              "OmbrixSolvaneSupportsLogSimpleFormatter");
}
