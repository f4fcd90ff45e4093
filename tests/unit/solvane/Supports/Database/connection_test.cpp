#include "solvane/Supports/Database/connection.hpp"

#include <gtest/gtest.h>

#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_explorer.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"
#include "solvane/Supports/Database/formatter.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/log_records.hpp"
#include "tests/support/provider.hpp"

using namespace Ombrix;
using Providers::Contracts::Server;
using Solvane::Contracts::Database::DBStatus;
using Solvane::Supports::Database::ConnectionImpl;
using Solvane::Supports::Database::Formatter;
using Solvane::Supports::Database::MariaDBConnection;
using LogLevel = Solvane::Contracts::Log::LogLevel;

TEST(ConnectionImpl, BareConnectionHandsOutOnlyItsFormatterAndCache) {
    auto connection = ConnectionImpl::create();
    EXPECT_EQ(connection->adapter(), nullptr);
    EXPECT_EQ(connection->builder(), nullptr);
    EXPECT_EQ(connection->explorer(), nullptr);
    EXPECT_EQ(connection->inspector(), nullptr);
    EXPECT_EQ(connection->statement(), nullptr);
    EXPECT_EQ(connection->get_provider(), nullptr);

    auto formatter = std::dynamic_pointer_cast<Formatter>(connection->formatter());
    ASSERT_NE(formatter, nullptr);
    EXPECT_EQ(connection->formatter(), formatter);
    EXPECT_EQ(formatter->get_option("LINE_START"),
              "SELECT,FROM,WHERE,SET,ORDER BY,GROUP BY,LIMIT,DROP,VALUES,UPDATE,HAVING,ADD,AFTER,ALTER TABLE,"
              "DELETE FROM,UNION ALL,UNION,EXCEPT,INTERSECT");
    EXPECT_EQ(formatter->get_option("LINE_BREAK"),
              "LEFT OUTER JOIN,RIGHT OUTER JOIN,LEFT JOIN,RIGHT JOIN,OUTER JOIN,INNER JOIN,JOIN,XOR,OR,AND");
    auto cache = connection->cache();
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(connection->cache(), cache);
}

TEST(ConnectionImpl, StatusPropertyNotifiesOnlyOnChange) {
    auto connection = ConnectionImpl::create();
    EXPECT_EQ(connection->type_name(), "OmbrixSolvaneSupportsDatabaseConnectionImpl");
    std::vector<std::string> notified;
    connection->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    EXPECT_EQ(connection->get_status(), DBStatus::Unknown);
    EXPECT_TRUE(connection->set_property("status", Core::Value::from_enum(static_cast<int>(DBStatus::Closed))));
    connection->set_status(DBStatus::Closed);
    EXPECT_EQ(connection->get_status(), DBStatus::Closed);
    EXPECT_EQ(notified, std::vector<std::string>{"status"});
    // The other properties are read-only.
    Testing::LogCapture warnings;
    EXPECT_FALSE(connection->set_property("version", Core::Value::from_string("1")));
}

TEST(ConnectionImpl, UnopenedConnectionNeitherClosesNorRunsAnything) {
    Testing::LogRecords log;
    auto connection = MariaDBConnection::create();
    int closed = 0;
    connection->signal_closed().connect([&](auto&) { ++closed; });
    connection->close();
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(connection->get_status(), DBStatus::Unknown);

    Testing::LogCapture criticals;
    auto begun = connection->transaction();
    ASSERT_TRUE(begun.has_value());
    EXPECT_FALSE(*begun);
    EXPECT_FALSE(connection->rollback().has_value());
    EXPECT_TRUE(criticals.has_critical("m_connection.is_opened"));

    // Without a server the provider's error comes back unchanged.
    auto value = connection->execute_as_scalar("SELECT 1");
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().domain, "MariaDB");
    EXPECT_TRUE(log.has(LogLevel::PLAIN, "SQL: SELECT 1"));
    EXPECT_EQ(log.count("affected rows: 1"), 0u);

    EXPECT_FALSE(connection->execute_no_query(std::string_view()).has_value());
    EXPECT_TRUE(criticals.has_critical("sql != NULL"));
}

TEST(ConnectionImpl, BareConnectionFailsToOpenAndKeepsTheProfile) {
    Testing::LogRecords log;
    auto connection = ConnectionImpl::create();
    auto server = Server::new_with_provider("MariaDB");
    auto opened = connection->open(server, nullptr);
    EXPECT_FALSE(opened.has_value());
    EXPECT_EQ(connection->get_status(), DBStatus::Failed);
    EXPECT_EQ(connection->get_server(), server);
    EXPECT_TRUE(log.has(LogLevel::RISKY, "SQL: Failed to open connection: " + opened.error().message));
}

TEST(MariaDBConnection, MakesItsDialectObjectsOnceAndStartsWithTheCurrentAdapter) {
    auto connection = MariaDBConnection::create();
    EXPECT_EQ(connection->type_name(), "OmbrixSolvaneSupportsDatabaseMariaDBConnection");
    ASSERT_NE(connection->get_provider(), nullptr);
    ASSERT_NE(connection->statement(), nullptr);
    EXPECT_EQ(connection->statement(), connection->statement());
    EXPECT_EQ(connection->get_adapter_variant(), Solvane::Supports::Database::MariaDBAdapterVariant::Current);
    ASSERT_NE(connection->adapter(), nullptr);
    EXPECT_EQ(connection->adapter(), connection->adapter());
    ASSERT_NE(connection->builder(), nullptr);
    EXPECT_EQ(connection->builder(), connection->builder());
    EXPECT_NE(std::dynamic_pointer_cast<Solvane::Supports::Database::MariaDBExplorer>(connection->explorer()), nullptr);
    EXPECT_EQ(connection->explorer(), connection->explorer());
    EXPECT_NE(std::dynamic_pointer_cast<Solvane::Supports::Database::MariaDBInspector>(connection->inspector()), nullptr);
    EXPECT_EQ(connection->inspector(), connection->inspector());
}

namespace {

// A provider whose every call fails with an error of code 0, or with an empty message.
class FailingProvider final : public Providers::Contracts::IProvider {
public:
    Core::Result<std::int64_t> execute_affect(std::string_view, bool) override { return Core::fail("MariaDB", 0, "lost"); }
    Core::Result<std::vector<std::shared_ptr<Core::Object>>> execute_statements(std::string_view, bool) override {
        return Core::fail("MariaDB", 2013, "");
    }
    Core::Result<Providers::Contracts::ValuePtr> execute_scalar(std::string_view, bool) override {
        return Core::fail("MariaDB", 0, "");
    }
};

class ConnectionOverFailingProvider final : public ConnectionImpl {
public:
    static std::shared_ptr<ConnectionOverFailingProvider> create() {
        auto connection = std::shared_ptr<ConnectionOverFailingProvider>(new ConnectionOverFailingProvider());
        connection->set_provider(std::make_shared<FailingProvider>());
        return connection;
    }

private:
    ConnectionOverFailingProvider() = default;
};

Core::AsyncResultPtr wait_for(const std::function<void(Core::AsyncReadyCallback)>& start) {
    Core::AsyncResultPtr result;
    start([&result](Core::AsyncResultPtr r) { result = std::move(r); });
    Core::run_main_until([&] { return result != nullptr; });
    return result;
}

}  // namespace

TEST(ConnectionImpl, AsynchronousFormsFailOnEveryWorkerError) {
    Testing::LogRecords log;
    auto connection = ConnectionOverFailingProvider::create();

    auto count = wait_for([&](auto done) { connection->execute_no_query_async("DELETE FROM t", done); });
    auto counted = connection->execute_no_query_finish(count);
    ASSERT_FALSE(counted.has_value()) << "an error of code 0 passed as " << *counted;
    EXPECT_EQ(counted.error(), (Core::Error{"default", 0, "lost"}));
    EXPECT_TRUE(log.has(LogLevel::RISKY, "failed: 0 -> lost"));

    auto batch = wait_for([&](auto done) { connection->execute_async("SELECT 1", done); });
    auto results = connection->execute_finish(batch);
    ASSERT_FALSE(results.has_value());
    EXPECT_EQ(results.error(), (Core::Error{"default", 2013, ""}));

    auto scalar = wait_for([&](auto done) { connection->execute_as_scalar_async("SELECT 1", done); });
    EXPECT_FALSE(connection->execute_as_scalar_finish(scalar).has_value());

    // The synchronous forms hand the provider's error over unchanged.
    auto direct = connection->execute_no_query("DELETE FROM t");
    ASSERT_FALSE(direct.has_value());
    EXPECT_EQ(direct.error(), (Core::Error{"MariaDB", 0, "lost"}));
}

namespace {

// A provider that opens, counts five billion rows and answers a batch with a result set of two
// rows, an affected-row count, a null entry and an object that is neither.
class ScriptedProvider final : public Providers::Contracts::IProvider {
public:
    Core::Status open(const std::shared_ptr<Server>&, std::string_view) override {
        m_opened = true;
        return {};
    }
    void close() override { m_opened = false; }
    bool get_is_opened() const override { return m_opened; }
    Core::Result<std::int64_t> execute_affect(std::string_view, bool) override { return 5'000'000'000; }
    Core::Result<std::vector<std::shared_ptr<Core::Object>>> execute_statements(std::string_view, bool) override {
        auto model = Providers::Contracts::TableModel::create();
        model->append(Providers::Contracts::RowModel::create());
        model->append(Providers::Contracts::RowModel::create());
        return std::vector<std::shared_ptr<Core::Object>>{model, Providers::Contracts::ValueUInt64::create(4), nullptr,
                                                          Server::create()};
    }
    Core::Result<Providers::Contracts::ValuePtr> execute_scalar(std::string_view, bool) override {
        return Core::fail("MariaDB", 1146, "no such table");
    }

private:
    bool m_opened = false;
};

class ScriptedConnection final : public ConnectionImpl {
public:
    static std::shared_ptr<ScriptedConnection> create() {
        auto connection = std::shared_ptr<ScriptedConnection>(new ScriptedConnection());
        connection->set_provider(std::make_shared<ScriptedProvider>());
        return connection;
    }

private:
    ScriptedConnection() = default;
};

}  // namespace

TEST(ConnectionImpl, LogsUnderTheProfilesUuidWithWholeCountsAndOneLinePerResult) {
    Testing::LogRecords log;
    auto connection = ScriptedConnection::create();
    auto server = Server::new_with_provider("MariaDB");
    OMBRIX_ASSERT_DONE(connection->open(server, nullptr));

    OMBRIX_ASSERT_OK(count, connection->execute_no_query("DELETE FROM big"));
    EXPECT_EQ(count, 5'000'000'000);
    EXPECT_TRUE(log.has(LogLevel::PLAIN, "affected rows: 5000000000"));

    OMBRIX_ASSERT_OK(results, connection->execute("SELECT 1; DELETE FROM t"));
    EXPECT_EQ(results.size(), 4u);
    EXPECT_EQ(log.count("affected rows: 2"), 1u);
    EXPECT_EQ(log.count("affected rows: true"), 1u);  // the count only: null and foreign entries log nothing

    auto failed = wait_for([&](auto done) { connection->execute_as_scalar_async("SELECT x FROM gone", done); });
    EXPECT_FALSE(connection->execute_as_scalar_finish(failed).has_value());

    // Each record also went to the connection's own log, kept under the profile's uuid.
    const auto own = Solvane::Foundation::LoggingService::get_manager()->open(server->get_uuid())->recent(0);
    for (const char* text : {"SQL: DELETE FROM big", "affected rows: 5000000000", "SQL: SELECT 1; DELETE FROM t",
                             "affected rows: true", "SQL: SELECT x FROM gone", "failed: 1146 -> no such table"})
        EXPECT_NE(own.find(text), std::string::npos) << text << " is missing from\n" << own;
}
