// The MariaDB connection on the sandbox server: opening and closing with status, signals and log
// records, every execute form synchronously and on worker threads, transactions and errors.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/value_object.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/log_records.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using namespace Ombrix;
using Providers::Contracts::Server;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValueObject;
using Solvane::Contracts::Database::DBStatus;
using Solvane::Supports::Database::MariaDBAdapterVariant;
using Solvane::Supports::Database::MariaDBConnection;
using Solvane::Supports::Database::mariadb_quote_identifier;
using Testing::LogRecords;
using Testing::Sandbox;
using Testing::ScratchSchema;
using LogLevel = Solvane::Contracts::Log::LogLevel;

// Runs the default main loop until the callback of an asynchronous call has its result.
Core::AsyncResultPtr wait_for(const std::function<void(Core::AsyncReadyCallback)>& start) {
    Core::AsyncResultPtr result;
    start([&result](Core::AsyncResultPtr r) { result = std::move(r); });
    Core::run_main_until([&] { return result != nullptr; });
    return result;
}

class ConnectionOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_schema = std::make_unique<ScratchSchema>("conn");
        m_server = Sandbox::get().profile();
        m_server->set_initial(m_schema->name());
        m_connection = MariaDBConnection::create();
        m_connection->signal_opened().connect([this](auto&) { ++m_opened; });
        m_connection->signal_closed().connect([this](auto&) { ++m_closed; });
        m_connection->signal_notify().connect([this](std::string_view name) {
            if (name == "status") m_statuses.push_back(m_connection->get_status());
        });
    }
    void TearDown() override {
        if (m_connection) m_connection->close();
    }

    std::string table(const std::string& name) const {
        return mariadb_quote_identifier(m_schema->name()) + "." + mariadb_quote_identifier(name);
    }
    std::int64_t count_rows(MariaDBConnection& connection, const std::string& name) {
        auto value = connection.execute_as_scalar("SELECT COUNT(*) FROM " + table(name));
        EXPECT_TRUE(value.has_value()) << (value ? "" : Testing::describe(value.error()));
        return value && *value ? std::stoll((*value)->to_string()) : -1;
    }

    LogRecords m_log;
    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Server> m_server;
    std::shared_ptr<MariaDBConnection> m_connection;
    int m_opened = 0;
    int m_closed = 0;
    std::vector<DBStatus> m_statuses;
};

TEST_F(ConnectionOnServer, OpensAndClosesWithStatusSignalsVersionAndLogRecords) {
    EXPECT_EQ(m_connection->get_status(), DBStatus::Unknown);
    EXPECT_EQ(m_connection->get_version(), "");
    auto owner = Server::create();
    OMBRIX_ASSERT_DONE(m_connection->open(m_server, owner));
    EXPECT_EQ(m_connection->get_status(), DBStatus::Opened);
    EXPECT_EQ(m_opened, 1);
    EXPECT_EQ(m_connection->get_server(), m_server);
    EXPECT_EQ(m_connection->get_owner(), owner);
    EXPECT_NE(m_connection->get_version().find("MariaDB"), std::string::npos) << m_connection->get_version();
    EXPECT_EQ(m_connection->get_property("version").get_string(), m_connection->get_version());
    // The sandbox runs 10.11, which sorts before "10.5.0" byte by byte.
    EXPECT_EQ(m_connection->get_adapter_variant(), MariaDBAdapterVariant::Current);
    EXPECT_NE(m_connection->adapter(), nullptr);
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "SQL: select version();"));
    EXPECT_TRUE(m_log.has(LogLevel::RISKY, "update_version: " + m_connection->get_version()));
    EXPECT_TRUE(m_log.has(LogLevel::DEBUG, "SQL: connection opened"));
    // They are the profile's records: its own connection log has them too.
    const auto own = Solvane::Foundation::LoggingService::get_manager()->open(m_server->get_uuid())->recent(0);
    EXPECT_NE(own.find("SQL: select version();"), std::string::npos) << own;
    EXPECT_NE(own.find("update_version: " + m_connection->get_version()), std::string::npos) << own;

    // The dialect objects are made once; the formatter carries the connection's two options.
    EXPECT_EQ(m_connection->statement(), m_connection->statement());
    EXPECT_NE(std::dynamic_pointer_cast<Solvane::Supports::Database::MariaDBStatement>(m_connection->statement()),
              nullptr);
    EXPECT_EQ(m_connection->builder(), m_connection->builder());
    EXPECT_EQ(m_connection->formatter(), m_connection->formatter());
    auto cache = m_connection->cache();
    EXPECT_EQ(cache, m_connection->cache());
    cache->append("generated", "text");

    OMBRIX_ASSERT_DONE(m_connection->reopen());
    EXPECT_EQ(m_opened, 2);

    m_connection->close();
    EXPECT_EQ(m_connection->get_status(), DBStatus::Closed);
    EXPECT_EQ(m_closed, 1);
    EXPECT_EQ(cache->lookup("generated"), std::nullopt);
    m_connection->close();  // not open: nothing happens
    EXPECT_EQ(m_closed, 1);
    EXPECT_EQ(m_statuses, (std::vector<DBStatus>{DBStatus::Opened, DBStatus::Closed}));

    Testing::LogCapture criticals;
    auto begun = m_connection->transaction();
    ASSERT_TRUE(begun.has_value());
    EXPECT_FALSE(*begun);
    EXPECT_FALSE(m_connection->commit().has_value());  // nothing was committed: not a success
    EXPECT_TRUE(criticals.has_critical("m_connection.is_opened"));
}

TEST_F(ConnectionOnServer, AFailedOpenSetsFailedAndReportsTheServersError) {
    m_server->set_password("not the password");
    auto opened = m_connection->open(m_server, nullptr);
    ASSERT_FALSE(opened.has_value());
    EXPECT_EQ(opened.error().domain, "MariaDB");
    EXPECT_EQ(opened.error().code, 1045);
    EXPECT_EQ(m_connection->get_status(), DBStatus::Failed);
    EXPECT_EQ(m_opened, 0);
    EXPECT_TRUE(m_log.has(LogLevel::RISKY, "SQL: Failed to open connection: " + opened.error().message));

    auto async = wait_for([&](auto done) { m_connection->reopen_async(done); });
    auto finished = m_connection->reopen_finish(async);
    ASSERT_FALSE(finished.has_value());
    EXPECT_EQ(finished.error(), (Core::Error{"default", 1045, opened.error().message}));
    EXPECT_TRUE(m_log.has(LogLevel::RISKY, "Failed to open connection: 1045 -> " + opened.error().message));
    EXPECT_EQ(m_opened, 0);

    Testing::LogCapture criticals;
    EXPECT_FALSE(m_connection->open(nullptr, nullptr).has_value());
    EXPECT_TRUE(criticals.has_critical("server != NULL"));
}

TEST_F(ConnectionOnServer, EveryExecuteFormRunsAndLogsSynchronously) {
    OMBRIX_ASSERT_DONE(m_connection->open(m_server, nullptr));
    m_log.clear();
    OMBRIX_ASSERT_OK(created, m_connection->execute_no_query("CREATE TABLE " + table("t") + " (id INT PRIMARY KEY, name TEXT)"));
    EXPECT_EQ(created, 0);
    const std::string insert = "INSERT INTO " + table("t") + " VALUES (1, 'a'), (2, 'b'), (3, NULL)";
    OMBRIX_ASSERT_OK(inserted, m_connection->execute_no_query(insert));
    EXPECT_EQ(inserted, 3);
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "SQL: " + insert));
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "affected rows: 3"));

    m_log.clear();
    OMBRIX_ASSERT_OK(model, m_connection->execute_as_model("SELECT id, name FROM " + table("t") + " ORDER BY id"));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->get_n_items(), 3u);
    EXPECT_EQ(model->get_value_at(1, 1)->to_string(), "b");
    EXPECT_EQ(m_log.count("affected rows: 3"), 1u);

    m_log.clear();
    OMBRIX_ASSERT_OK(scalar, m_connection->execute_as_scalar("SELECT name FROM " + table("t") + " WHERE id = 2"));
    EXPECT_EQ(scalar->to_string(), "b");
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "affected rows: 1"));

    m_log.clear();
    OMBRIX_ASSERT_OK(reader, m_connection->execute_reader("SELECT id FROM " + table("t")));
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "affected rows: 0"));

    m_log.clear();
    OMBRIX_ASSERT_OK(results, m_connection->execute("SELECT 1 AS x; UPDATE " + table("t") + " SET name = 'z' WHERE id = 1"));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<TableModel>(results[0]), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<ValueObject>(results[1])->to_string(), "1");
    EXPECT_EQ(m_log.count("affected rows: 1"), 1u);
    EXPECT_EQ(m_log.count("affected rows: true"), 1u);

    // The server's error reaches the caller unchanged.
    auto bad = m_connection->execute_no_query("SELEKT 1");
    ASSERT_FALSE(bad.has_value());
    EXPECT_EQ(bad.error().domain, "MariaDB");
    EXPECT_EQ(bad.error().code, 1064);
    auto missing = m_connection->execute_as_model("SELECT * FROM " + table("nope"));
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().code, 1146);

    Testing::LogCapture criticals;
    EXPECT_FALSE(m_connection->execute(std::string_view()).has_value());
    EXPECT_TRUE(criticals.has_critical("statements != NULL"));
}

TEST_F(ConnectionOnServer, EveryAsynchronousFormCompletesOnTheMainLoop) {
    auto opened = wait_for([&](auto done) { m_connection->open_async(m_server, nullptr, done); });
    OMBRIX_ASSERT_DONE(m_connection->open_finish(opened));
    EXPECT_EQ(m_opened, 1);
    EXPECT_EQ(m_connection->get_status(), DBStatus::Opened);
    EXPECT_EQ(m_connection->get_adapter_variant(), MariaDBAdapterVariant::Current);

    const std::string create = "CREATE TABLE " + table("a") + " (id INT)";
    auto created = wait_for([&](auto done) { m_connection->execute_no_query_async(create, done); });
    OMBRIX_ASSERT_DONE(m_connection->execute_no_query_finish(created));
    EXPECT_TRUE(m_log.has(LogLevel::PLAIN, "SQL: " + create));

    auto inserted = wait_for(
        [&](auto done) { m_connection->execute_no_query_async("INSERT INTO " + table("a") + " VALUES (1), (2)", done); });
    OMBRIX_ASSERT_OK(count, m_connection->execute_no_query_finish(inserted));
    EXPECT_EQ(count, 2);

    auto modelled = wait_for([&](auto done) { m_connection->execute_as_model_async("SELECT id FROM " + table("a"), done); });
    OMBRIX_ASSERT_OK(model, m_connection->execute_as_model_finish(modelled));
    EXPECT_EQ(model->get_n_items(), 2u);

    auto scalar = wait_for([&](auto done) { m_connection->execute_as_scalar_async("SELECT SUM(id) FROM " + table("a"), done); });
    OMBRIX_ASSERT_OK(sum, m_connection->execute_as_scalar_finish(scalar));
    EXPECT_EQ(sum->to_string(), "3");

    auto batch = wait_for([&](auto done) { m_connection->execute_async("SELECT 1; DELETE FROM " + table("a"), done); });
    OMBRIX_ASSERT_OK(results, m_connection->execute_finish(batch));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<ValueObject>(results[1])->to_string(), "2");

    // Errors of the worker come back through _finish with the server's code and message.
    m_log.clear();
    auto bad = wait_for([&](auto done) { m_connection->execute_as_model_async("SELECT * FROM " + table("nope"), done); });
    auto failed = m_connection->execute_as_model_finish(bad);
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().domain, "default");
    EXPECT_EQ(failed.error().code, 1146);
    EXPECT_NE(failed.error().message.find("nope"), std::string::npos);
    EXPECT_TRUE(m_log.has(LogLevel::RISKY, "failed: 1146 -> " + failed.error().message));
    auto bad_count = wait_for([&](auto done) { m_connection->execute_no_query_async("SELEKT", done); });
    EXPECT_EQ(m_connection->execute_no_query_finish(bad_count).error().code, 1064);
    auto bad_scalar = wait_for([&](auto done) { m_connection->execute_as_scalar_async("SELEKT", done); });
    EXPECT_EQ(m_connection->execute_as_scalar_finish(bad_scalar).error().code, 1064);

    auto reopened = wait_for([&](auto done) { m_connection->reopen_async(done); });
    OMBRIX_ASSERT_DONE(m_connection->reopen_finish(reopened));
    EXPECT_EQ(m_opened, 2);

    // A closed provider fails every form, whatever the code of its error.
    m_connection->close();
    auto closed = wait_for([&](auto done) { m_connection->execute_async("SELECT 1", done); });
    EXPECT_FALSE(m_connection->execute_finish(closed).has_value());
    auto closed_count = wait_for([&](auto done) { m_connection->execute_no_query_async("SELECT 1", done); });
    EXPECT_FALSE(m_connection->execute_no_query_finish(closed_count).has_value());
}

// An asynchronous open notifies `status` and `version` on its worker thread, every completion
// arrives on the main thread, and handlers connected and disconnected from a third thread all the
// while are safe (this test is part of the ThreadSanitizer run).
TEST_F(ConnectionOnServer, AsyncWorkNotifiesOnItsWorkerAndCompletesOnTheMainThread) {
    const auto main_thread = std::this_thread::get_id();
    std::mutex seen_mutex;
    std::vector<std::string> seen;  // "name:main" or "name:worker"
    auto recorder = m_connection->connect_notify([&](std::string_view name) {
        const bool on_main = std::this_thread::get_id() == main_thread;
        std::lock_guard lock(seen_mutex);
        seen.push_back(std::string(name) + (on_main ? ":main" : ":worker"));
    });
    std::atomic<bool> stop{false};
    std::atomic<int> churned{0};
    std::thread churn([&] {
        while (!stop) {
            auto extra = m_connection->connect_notify([](std::string_view) {});
            m_connection->disconnect_notify(extra);
            ++churned;
        }
    });
    std::vector<std::string> completions;
    const auto on_thread = [&](const char* what, Core::AsyncReadyCallback done) {
        return [&, what, done](Core::AsyncResultPtr result) {
            completions.push_back(std::string(what) + (std::this_thread::get_id() == main_thread ? ":main" : ":worker"));
            done(std::move(result));
        };
    };
    for (int round = 0; round < 3; ++round) {
        auto opened = wait_for([&](auto done) { m_connection->open_async(m_server, nullptr, on_thread("open", done)); });
        OMBRIX_ASSERT_DONE(m_connection->open_finish(opened));
        auto scalar = wait_for([&](auto done) { m_connection->execute_as_scalar_async("SELECT 1", on_thread("scalar", done)); });
        OMBRIX_ASSERT_OK(one, m_connection->execute_as_scalar_finish(scalar));
        EXPECT_EQ(one->to_string(), "1");
        m_connection->close();
    }
    stop = true;
    churn.join();
    m_connection->disconnect_notify(recorder);
    EXPECT_GT(churned.load(), 0);
    EXPECT_EQ(completions, (std::vector<std::string>{"open:main", "scalar:main", "open:main", "scalar:main", "open:main",
                                                      "scalar:main"}));
    // The version only changes on the first open; a close is the caller's own, on the main thread.
    EXPECT_EQ(seen, (std::vector<std::string>{"status:worker", "version:worker", "status:main", "status:worker",
                                               "status:main", "status:worker", "status:main"}));
}

TEST_F(ConnectionOnServer, TransactionsCommitAndRollBack) {
    OMBRIX_ASSERT_DONE(m_connection->open(m_server, nullptr));
    OMBRIX_ASSERT_OK(created, m_connection->execute_no_query("CREATE TABLE " + table("tx") + " (id INT) ENGINE=InnoDB"));
    (void)created;
    auto observer = MariaDBConnection::create();
    OMBRIX_ASSERT_DONE(observer->open(m_server, nullptr));

    OMBRIX_ASSERT_OK(begun, m_connection->transaction());
    EXPECT_TRUE(begun);
    OMBRIX_ASSERT_OK(one, m_connection->execute_no_query("INSERT INTO " + table("tx") + " VALUES (1)"));
    EXPECT_EQ(one, 1);
    EXPECT_EQ(count_rows(*m_connection, "tx"), 1);
    EXPECT_EQ(count_rows(*observer, "tx"), 0);
    OMBRIX_ASSERT_DONE(m_connection->rollback());
    EXPECT_EQ(count_rows(*m_connection, "tx"), 0);

    OMBRIX_ASSERT_OK(again, m_connection->transaction());
    EXPECT_TRUE(again);
    OMBRIX_ASSERT_OK(two, m_connection->execute_no_query("INSERT INTO " + table("tx") + " VALUES (2)"));
    EXPECT_EQ(two, 1);
    OMBRIX_ASSERT_DONE(m_connection->commit());
    EXPECT_EQ(count_rows(*observer, "tx"), 1);
    observer->close();
}

}  // namespace
