#include "solvane/Foundation/logging.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "providers/Core/regex.hpp"
#include "solvane/Foundation/services.hpp"
#include "solvane/Supports/Log/handler_delegate.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"
#include "solvane/Supports/Log/manager.hpp"
#include "tests/support/console_capture.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Solvane::Contracts::Log::ILogManager;
using Solvane::Contracts::Log::LogLevel;
using Solvane::Foundation::LoggingService;
using Solvane::Foundation::Services;
using Solvane::Supports::Log::DelegateHandler;
using Solvane::Supports::Log::LogManager;
using Solvane::Supports::Log::TempFileLogHandler;

namespace {

const char* const kStamp = "\\d{8} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} ";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the text does not end with a whole line";
    return lines;
}

// The main log's lines with their time stamps checked and removed.
std::vector<std::string> unstamped_lines(const std::string& text) {
    std::vector<std::string> result;
    const Core::Regex stamp(std::string("^") + kStamp);
    for (const auto& line : lines_of(text)) {
        EXPECT_TRUE(stamp.is_match(line)) << line;
        result.push_back(stamp.replace_literal(line, ""));
    }
    return result;
}

class LoggingServiceTest : public ::testing::Test {
protected:
    void SetUp() override { Services::register_type<ILogManager, LogManager>(); }

    void TearDown() override {
        collect_temporary_files();
        LoggingService::shutdown();
        for (const auto& path : m_files) std::filesystem::remove(path);
    }

    // The connection logs' temporary files outlive the logs by design: note the ones made here, while
    // their logs are still open, to remove them at the end.
    void collect_temporary_files() {
        if (const auto manager = LoggingService::get_manager()) {
            for (const auto& uuid : m_connections)
                for (const auto& handler : manager->open(uuid)->get_handlers())
                    if (auto temp = std::dynamic_pointer_cast<TempFileLogHandler>(handler))
                        m_files.push_back(temp->get_path());
        }
        m_connections.clear();
    }

    std::string main_log() const { return Testing::read_text(m_dir.file("MAIN-UUID-000.log")); }

    Testing::TempDir m_dir;
    std::vector<std::string> m_connections;
    std::vector<std::string> m_files;
};

}  // namespace

// Runs in a process of its own: exits with 0 when the records reached the GLib log unchanged.
[[noreturn]] void log_before_initialize_and_exit() {
    Testing::ConsoleCapture console;
    LoggingService::message("CONN-UUID", "SQL: %s", "select 1");
    LoggingService::error(nullptr, "failed %d", 3);
    LoggingService::debug(nullptr, "detail");
    using Record = std::pair<GLogLevelFlags, std::string>;
    const bool forwarded = console.records() == std::vector<Record>{{G_LOG_LEVEL_MESSAGE, "SQL: select 1"},
                                                                    {G_LOG_LEVEL_WARNING, "failed 3"},
                                                                    {G_LOG_LEVEL_DEBUG, "detail"}};
    const bool nothing_added = !LoggingService::append_handler(DelegateHandler::create(
        [](const std::shared_ptr<void>&, LogLevel, std::string_view) {}, std::make_shared<int>(0)));
    std::exit(forwarded && nothing_added && !LoggingService::get_manager() ? 0 : 1);
}

TEST(LoggingService, RecordsBeforeInitializeGoToTheGLibLog) {
    // A fresh process is sure to have no manager yet, whatever ran before in this one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(log_before_initialize_and_exit(), ::testing::ExitedWithCode(0), "");
}

TEST(LoggingService, InitializeWithoutARegisteredManagerStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, g_get_tmp_dir(), 0), "null != s_Log_manager");
}

TEST_F(LoggingServiceTest, ConnectionRecordsGoToTheirLogAndToTheMainLog) {
    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, m_dir.path().c_str(), 0);
    m_connections = {"CONN-A"};

    // A connection nobody named yet prints empty fields.
    LoggingService::message("CONN-A", "SQL: %s", "select '100%'");
    LoggingService::get_manager()->open("CONN-A")->initialize("db1", "conn-a");
    LoggingService::info("CONN-A", "affected rows: %d", 3);
    LoggingService::error("CONN-A", "failed");
    LoggingService::debug("CONN-A", "below the threshold");
    LoggingService::warning(nullptr, "main only");
    LoggingService::critical("MAIN-UUID", "main too");

    EXPECT_EQ(unstamped_lines(main_log()), (std::vector<std::string>{
                                               "[][][PLAIN] SQL: select '100%'",
                                               "[db1][conn-a][PLAIN] affected rows: 3",
                                               "[db1][conn-a][RISKY] failed",
                                               "[SYS][SYS][RISKY] main only",
                                               "[SYS][SYS][RISKY] main too",
                                           }));
    const auto connection = lines_of(LoggingService::get_manager()->open("CONN-A")->recent(0));
    ASSERT_EQ(connection.size(), 3u);
    EXPECT_TRUE(Core::Regex("^\\d{2}:\\d{2}:\\d{2}\\.\\d{3} SQL: select '100%'$").is_match(connection[0]));
    EXPECT_TRUE(connection[2].ends_with(" failed"));
}

TEST_F(LoggingServiceTest, AHandlerOnTheMainLogSeesEveryConnectionsRecords) {
    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, m_dir.path().c_str(), 0);
    m_connections = {"CONN-B"};
    std::vector<std::string> printed;
    auto verbose = DelegateHandler::create(
        [&](const std::shared_ptr<void>&, LogLevel level, std::string_view message) {
            printed.push_back(std::string(Solvane::Contracts::Log::to_string(level)) + " " + std::string(message));
        },
        std::make_shared<int>(0));
    verbose->set_threshold(LogLevel::DEBUG);
    ASSERT_TRUE(LoggingService::append_handler(verbose));

    LoggingService::message("CONN-B", "SQL: %s", "select 1");
    LoggingService::debug(nullptr, "detail");
    LoggingService::delete_handler(verbose);
    LoggingService::message("CONN-B", "not seen");
    EXPECT_EQ(printed, (std::vector<std::string>{"plain SQL: select 1", "debug detail"}));
}

TEST_F(LoggingServiceTest, AfterShutdownRecordsGoToTheGLibLogUntilInitializedAgain) {
    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, m_dir.path().c_str(), 0);
    LoggingService::shutdown();
    {
        Testing::ConsoleCapture console;
        LoggingService::message(nullptr, "after shutdown");
        ASSERT_EQ(console.records().size(), 1u);
        EXPECT_EQ(console.records()[0].second, "after shutdown");
    }
    EXPECT_EQ(main_log(), "");

    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, m_dir.path().c_str(), 0);
    LoggingService::message(nullptr, "back");
    EXPECT_EQ(unstamped_lines(main_log()), std::vector<std::string>{"[SYS][SYS][PLAIN] back"});
}

TEST_F(LoggingServiceTest, NullArgumentsAreRefusedWithACritical) {
    Testing::LogCapture log;
    LoggingService::initialize(nullptr, LogLevel::PLAIN, m_dir.path().c_str(), 0);
    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, nullptr, 0);
    EXPECT_TRUE(log.has_critical("assertion 'uuid_default != NULL' failed"));
    EXPECT_TRUE(log.has_critical("assertion 'log_file_dir != NULL' failed"));
    const char* no_format = nullptr;
    LoggingService::message(nullptr, no_format, 1);
    EXPECT_TRUE(log.has_critical("assertion 'format != NULL' failed"));
    EXPECT_EQ(log.criticals().size(), 3u);
}

TEST_F(LoggingServiceTest, ManyThreadsLoseNoRecordAndTearNoLine) {
    constexpr int kThreads = 8;
    constexpr int kRecords = 400;
    constexpr std::int64_t kMaxSize = 8192;
    LoggingService::initialize("MAIN-UUID", LogLevel::PLAIN, m_dir.path().c_str(), kMaxSize);
    m_connections = {"CONN-1", "CONN-2"};
    const std::string padding(40, '=');

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const char* uuid = t % 3 == 0 ? nullptr : (t % 3 == 1 ? "CONN-1" : "CONN-2");
            for (int i = 0; i < kRecords; ++i) LoggingService::message(uuid, "thread=%d seq=%d %s", t, i, padding.c_str());
        });
    }
    for (auto& thread : threads) thread.join();

    std::map<std::string, int> per_connection;
    for (const auto& uuid : m_connections)
        per_connection[uuid] = static_cast<int>(lines_of(LoggingService::get_manager()->open(uuid)->recent(0)).size());
    collect_temporary_files();
    LoggingService::shutdown();

    const Core::Regex line(std::string("^") + kStamp + "\\[(SYS|)\\]\\[(SYS|)\\]\\[PLAIN\\] thread=(\\d+) seq=(\\d+) " +
                           padding + "$");
    std::set<std::pair<int, int>> seen;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        ++files;
        EXPECT_LE(static_cast<std::int64_t>(entry.file_size()), kMaxSize) << entry.path();
        for (const auto& text : lines_of(Testing::read_text(entry.path()))) {
            const auto match = line.match(text);
            ASSERT_TRUE(match.has_value()) << "torn line in " << entry.path() << ": " << text;
            seen.emplace(std::stoi(match->group(3)), std::stoi(match->group(4)));
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kRecords));
    EXPECT_GT(files, 10);
    // Threads 1, 4, 7 wrote to CONN-1; 2 and 5 to CONN-2.
    EXPECT_EQ(per_connection["CONN-1"], 3 * kRecords);
    EXPECT_EQ(per_connection["CONN-2"], 2 * kRecords);
}
