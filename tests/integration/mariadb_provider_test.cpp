// The MariaDB provider against the sandbox server: opening (plain and TLS), errors, batches,
// transactions, readers and threads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Core::Error;
using Ombrix::Providers::Contracts::Server;
using Ombrix::Providers::Contracts::TableModel;
using Ombrix::Providers::Contracts::ValueError;
using Ombrix::Providers::Contracts::ValueUInt64;
using Ombrix::Testing::describe;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::value_class;
namespace Supports = Ombrix::Providers::Supports;

constexpr const char* kNoData = "No data return by non-select statement";

/// A provider on a scratch schema of its own.
class MariaDBProvider : public ::testing::Test {
protected:
    void SetUp() override {
        m_schema = std::make_unique<ScratchSchema>("provider");
        m_provider = open_provider(m_schema->name());
        ASSERT_NE(m_provider, nullptr);
    }

    /// A profile of the sandbox on this test's schema.
    std::shared_ptr<Server> profile() const {
        auto server = Sandbox::get().profile();
        server->set_initial(m_schema->name());
        return server;
    }

    /// The text of the first cell of `sql`, read on `provider`; "<error ...>" when it fails.
    static std::string scalar(Supports::MariaDBProvider& provider, const std::string& sql) {
        auto value = provider.execute_scalar(sql, false);
        if (!value) return "<error " + describe(value.error()) + ">";
        return (*value)->to_string();
    }

    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Supports::MariaDBProvider> m_provider;
};

/// The TLS cipher of a provider's session; "" when the session is not encrypted.
std::string cipher_of(Supports::MariaDBProvider& provider) {
    auto status = provider.execute_model("SHOW STATUS LIKE 'Ssl_cipher'", false);
    if (!status) return "<error " + describe(status.error()) + ">";
    if ((*status)->get_n_items() != 1) return "<no row>";
    return (*status)->get_value_at(1, 0)->to_string();
}

void expect_error(const Error& error, int code, const std::string& message_part) {
    EXPECT_EQ(error.domain, "MariaDB");
    EXPECT_EQ(error.code, code);
    EXPECT_NE(error.message.find(message_part), std::string::npos) << error.message;
}

TEST_F(MariaDBProvider, OpensTheInitialDatabaseOrMysqlWhenNoneIsGiven) {
    EXPECT_TRUE(m_provider->get_is_opened());
    EXPECT_TRUE(m_provider->get_property("is-opened").get_boolean());
    EXPECT_EQ(scalar(*m_provider, "SELECT DATABASE()"), m_schema->name());
    EXPECT_EQ(m_provider->get_charset(), "utf8mb4");
    EXPECT_EQ(scalar(*m_provider, "SELECT @@character_set_client"), "utf8mb4");
    EXPECT_EQ(scalar(*m_provider, "SELECT @@character_set_results"), "utf8mb4");
    EXPECT_GT(m_provider->get_server_version(), 100000u);

    auto plain = open_provider("");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(scalar(*plain, "SELECT DATABASE()"), "mysql");
    EXPECT_EQ(scalar(*plain, "SELECT @@autocommit"), "1");

    // Opening again replaces the connection.
    OMBRIX_ASSERT_DONE(plain->open(profile(), ""));
    EXPECT_EQ(scalar(*plain, "SELECT DATABASE()"), m_schema->name());

    plain->close();
    EXPECT_FALSE(plain->get_is_opened());
    EXPECT_EQ(plain->get_server_version(), 0u);
}

TEST_F(MariaDBProvider, ErrorsCarryTheServersNumbersAndMessages) {
    LogCapture log;
    auto syntax = m_provider->execute_affect("SELEC 1", false);
    ASSERT_FALSE(syntax);
    expect_error(syntax.error(), 1064, "SQL syntax");

    auto missing = m_provider->execute_model("SELECT * FROM no_such_table", false);
    ASSERT_FALSE(missing);
    expect_error(missing.error(), 1146, "no_such_table");
    auto missing_reader = m_provider->execute_reader("SELECT * FROM no_such_table");
    ASSERT_FALSE(missing_reader);
    expect_error(missing_reader.error(), 1146, "no_such_table");
    auto missing_scalar = m_provider->execute_scalar("SELECT * FROM no_such_table", false);
    ASSERT_FALSE(missing_scalar);
    expect_error(missing_scalar.error(), 1146, "no_such_table");
    auto duplicate = m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY); INSERT INTO t VALUES (1), (1)",
                                                false);
    ASSERT_FALSE(duplicate);
    expect_error(duplicate.error(), 1062, "Duplicate entry");
    // Every client failure logs the connection's options for whoever reads the log.
    ASSERT_FALSE(log.warnings().empty());
    // Led by the source position, as every developer line of the libraries is.
    const std::regex positioned(R"(^\S*reader\.cpp:[0-9]+: Connection options:\n)");
    EXPECT_TRUE(std::regex_search(log.warnings().front(), positioned)) << log.warnings().front();
    EXPECT_NE(log.warnings().front().find("Charset name: utf8mb4\n"), std::string::npos);
    // The options as the session was opened with them, one line each, in a fixed order.
    const std::string& options = log.warnings().front();
    std::size_t at = 0;
    const std::string sizes = "\nAuto reconnect: 1\nMax packet size: 4294967295\nNet buffer size: " +
                              std::to_string(Supports::MariaDBProvider::kNetBufferLength) +
                              "\nConnect timeout: 3600\nRead timeout: 3600\nWrite timeout: 3600\n";
    for (const std::string& line : {std::string("Connection options:\nDefault options file: "),
                                   std::string("\nDefault options group: "),
                                   std::string("\nCharset name: utf8mb4\nPlugin path: "), std::string("\nDefault auth: "),
                                   std::string("\nPublic key: "), sizes}) {
        const auto found = options.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing \"" << line << "\" in:\n" << options;
        at = found + std::string_view(line).size();
    }
    EXPECT_EQ(at, options.size()) << options;

    // The provider is still usable after each failure.
    EXPECT_EQ(scalar(*m_provider, "SELECT 6 * 7"), "42");

    auto wrong = profile();
    wrong->set_password("not-the-password");
    auto refused = Supports::MariaDBProvider::create();
    auto opened = refused->open(wrong, "");
    ASSERT_FALSE(opened);
    expect_error(opened.error(), 1045, "Access denied");
    EXPECT_FALSE(refused->get_is_opened());

    auto unknown_db = profile();
    unknown_db->set_initial(m_schema->name() + "_absent");
    auto opened_unknown = Supports::MariaDBProvider::create()->open(unknown_db, "");
    ASSERT_FALSE(opened_unknown);
    expect_error(opened_unknown.error(), 1049, "Unknown database");
}

TEST(MariaDBProviderClosed, EveryCallFailsWithAClearErrorInsteadOfCrashing) {
    auto never = Supports::MariaDBProvider::create();
    auto closed = open_provider("");
    ASSERT_NE(closed, nullptr);
    closed->close();
    closed->close();  // closing twice is harmless
    auto refused = Supports::MariaDBProvider::create();
    auto wrong = Sandbox::get().profile();
    wrong->set_password("not-the-password");
    {
        LogCapture log;
        ASSERT_FALSE(refused->open(wrong, ""));
    }
    for (auto* provider : {never.get(), closed.get(), refused.get()}) {
        SCOPED_TRACE(provider == never.get() ? "never opened" : provider == closed.get() ? "closed" : "open failed");
        EXPECT_FALSE(provider->get_is_opened());
        EXPECT_EQ(provider->get_charset(), "");
        auto check = [](const Error& error) {
            EXPECT_EQ(error.domain, "MariaDB");
            EXPECT_EQ(error.code, -1);
            EXPECT_EQ(error.message, "The connection is not open.");
        };
        auto model = provider->execute_model("SELECT 1", false);
        ASSERT_FALSE(model);
        check(model.error());
        auto affect = provider->execute_affect("DO 1", false);
        ASSERT_FALSE(affect);
        check(affect.error());
        auto scalar = provider->execute_scalar("SELECT 1", false);
        ASSERT_FALSE(scalar);
        check(scalar.error());
        auto batch = provider->execute_statements("SELECT 1; SELECT 2", false);
        ASSERT_FALSE(batch);
        check(batch.error());
        auto reader = provider->execute_reader("SELECT 1");
        ASSERT_FALSE(reader);
        check(reader.error());
        auto begun = provider->transaction();
        ASSERT_FALSE(begun);
        check(begun.error());
        auto committed = provider->commit();
        ASSERT_FALSE(committed);
        check(committed.error());
        auto rolled_back = provider->rollback();
        ASSERT_FALSE(rolled_back);
        check(rolled_back.error());
    }
}

TEST_F(MariaDBProvider, UnsetTextsAreRefusedWithACriticalAndNothingIsSent) {
    LogCapture log;
    const std::string_view unset;
    auto affect = m_provider->execute_affect(unset, false);
    auto model = m_provider->execute_model(unset, false);
    auto scalar_value = m_provider->execute_scalar(unset, false);
    auto reader = m_provider->execute_reader(unset);
    auto batch = m_provider->execute_statements(unset, false);
    auto opened = m_provider->open(profile(), unset);
    for (const auto* error : {&affect.error(), &model.error(), &scalar_value.error(), &reader.error(), &batch.error(),
                              &opened.error()}) {
        EXPECT_EQ(error->domain, "MariaDB");
        EXPECT_EQ(error->code, -1);
        EXPECT_TRUE(error->message.ends_with(" != NULL")) << error->message;
    }
    EXPECT_EQ(opened.error().message, "connection_string != NULL");
    EXPECT_EQ(log.criticals().size(), 6u);
    EXPECT_TRUE(log.has_critical("statements != NULL"));
    // Nothing reached the server (no "empty query" error was logged) and the connection is intact.
    EXPECT_TRUE(log.warnings().empty());
    EXPECT_EQ(scalar(*m_provider, "SELECT DATABASE()"), m_schema->name());
}

TEST_F(MariaDBProvider, StatementsWithoutRowsGiveCountsNotModels) {
    auto names = m_provider->execute_model("SET NAMES 'utf8'", false);
    ASSERT_FALSE(names);
    expect_error(names.error(), -1, kNoData);
    EXPECT_EQ(names.error().message, kNoData);
    auto names_reader = m_provider->execute_reader("SET NAMES 'utf8mb4'");
    ASSERT_FALSE(names_reader);
    EXPECT_EQ(names_reader.error(), (Error{"MariaDB", -1, kNoData}));

    OMBRIX_ASSERT_OK(created, m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY, v INT)", false));
    EXPECT_EQ(created, 0);
    OMBRIX_ASSERT_OK(inserted, m_provider->execute_scalar("INSERT INTO t VALUES (1, 10), (2, 20), (3, 30)", false));
    EXPECT_EQ(value_class(inserted), "ValueUInt64");
    EXPECT_EQ(inserted->to_string(), "3");
    OMBRIX_ASSERT_OK(updated, m_provider->execute_affect("UPDATE t SET v = v + 1 WHERE id < 3", false));
    EXPECT_EQ(updated, 2);

    // A SELECT without rows gives the count of affected rows (0), not null.
    OMBRIX_ASSERT_OK(nothing, m_provider->execute_scalar("SELECT v FROM t WHERE id = 99", false));
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(value_class(nothing), "ValueUInt64");
    EXPECT_EQ(std::static_pointer_cast<ValueUInt64>(nothing)->get_uint64(), 0u);
    OMBRIX_ASSERT_OK(first, m_provider->execute_scalar("SELECT v, id FROM t ORDER BY id DESC", false));
    EXPECT_EQ(value_class(first), "ValueInt32");
    EXPECT_EQ(first->to_string(), "30");
    OMBRIX_ASSERT_OK(null_cell, m_provider->execute_scalar("SELECT NULL", false));
    EXPECT_EQ(value_class(null_cell), "ValueNull");

    // A model of a result without rows still describes its columns.
    OMBRIX_ASSERT_OK(empty, m_provider->execute_model("SELECT id, v FROM t WHERE id = 99", false));
    EXPECT_EQ(empty->get_columns()->size(), 2u);
    EXPECT_EQ(empty->get_n_items(), 0u);
}

TEST_F(MariaDBProvider, BatchesGiveOneObjectPerStatementAndStopAtAFailure) {
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY, v INT);"
                                                       "INSERT INTO t VALUES (1, 1), (2, 2), (3, 3)",
                                                       false));
    OMBRIX_ASSERT_OK(mixed, m_provider->execute_statements(
                                "SELECT id FROM t WHERE id = 1; UPDATE t SET v = v * 10 WHERE id > 1;"
                                "SELECT id, v FROM t ORDER BY id",
                                false));
    ASSERT_EQ(mixed.size(), 3u);
    auto one = std::dynamic_pointer_cast<TableModel>(mixed[0]);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->get_n_items(), 1u);
    auto count = std::dynamic_pointer_cast<ValueUInt64>(mixed[1]);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->get_uint64(), 2u);
    auto all = std::dynamic_pointer_cast<TableModel>(mixed[2]);
    ASSERT_NE(all, nullptr);
    ASSERT_EQ(all->get_n_items(), 3u);
    EXPECT_EQ(all->get_value_at(1, 2)->to_string(), "30");

    // A later statement fails: the results before it, then its error; nothing after it runs.
    OMBRIX_ASSERT_OK(failing, m_provider->execute_statements(
                                  "SELECT 1; INSERT INTO t VALUES (4, 4); SELECT * FROM missing_table;"
                                  " INSERT INTO t VALUES (5, 5)",
                                  false));
    ASSERT_EQ(failing.size(), 3u);
    EXPECT_NE(std::dynamic_pointer_cast<TableModel>(failing[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<ValueUInt64>(failing[1]), nullptr);
    auto error = std::dynamic_pointer_cast<ValueError>(failing[2]);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->get_code(), 1146);
    EXPECT_NE(error->get_message().find("missing_table"), std::string::npos);
    // The next unrelated call sees none of it.
    EXPECT_EQ(scalar(*m_provider, "SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "1,2,3,4");

    // A result that fails while its rows arrive (the sub-select finds two rows for id 3) stands as
    // its error; the batch would go on, but the server runs nothing after a failed statement.
    OMBRIX_ASSERT_OK(unreadable, m_provider->execute_statements(
                                     "SELECT 1; SELECT id, (SELECT u.id FROM t AS u WHERE u.id < t.id) FROM t"
                                     " ORDER BY id; INSERT INTO t VALUES (6, 6)",
                                     false));
    ASSERT_EQ(unreadable.size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<TableModel>(unreadable[0]), nullptr);
    auto unstored = std::dynamic_pointer_cast<ValueError>(unreadable[1]);
    ASSERT_NE(unstored, nullptr);
    EXPECT_EQ(unstored->get_code(), 1242);
    EXPECT_EQ(scalar(*m_provider, "SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "1,2,3,4");

    // A failing first statement fails the call.
    auto first_fails = m_provider->execute_statements("SELECT * FROM missing_table; SELECT 1", false);
    ASSERT_FALSE(first_fails);
    expect_error(first_fails.error(), 1146, "missing_table");
    EXPECT_EQ(scalar(*m_provider, "SELECT 'clean'"), "clean");
}

TEST_F(MariaDBProvider, EachCallDrainsItsOwnResultsAndReportsTheirFirstError) {
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY)", false));
    // A later statement of the text fails: the call fails with its error; the server stopped there.
    auto affect = m_provider->execute_affect(
        "INSERT INTO t VALUES (1); INSERT INTO missing_table VALUES (2); INSERT INTO t VALUES (3)", false);
    ASSERT_FALSE(affect);
    expect_error(affect.error(), 1146, "missing_table");
    EXPECT_EQ(scalar(*m_provider, "SELECT COUNT(*) FROM t"), "1");

    auto model = m_provider->execute_model("SELECT id FROM t; SELECT * FROM missing_table", false);
    ASSERT_FALSE(model);
    expect_error(model.error(), 1146, "missing_table");
    auto scalar_call = m_provider->execute_scalar("SELECT 5; SELEC 6", false);
    ASSERT_FALSE(scalar_call);
    expect_error(scalar_call.error(), 1064, "SELEC 6");
    auto reader = m_provider->execute_reader("SELECT 5; SELECT * FROM missing_table");
    ASSERT_FALSE(reader);
    expect_error(reader.error(), 1146, "missing_table");

    // Results a call did not ask for never reach the next call.
    OMBRIX_ASSERT_OK(inserted, m_provider->execute_affect("INSERT INTO t VALUES (2); SELECT 'left over'", false));
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(scalar(*m_provider, "SELECT 'mine'"), "mine");
    OMBRIX_ASSERT_OK(first_only, m_provider->execute_model("SELECT 'a'; SELECT 'b', 'c'", false));
    ASSERT_EQ(first_only->get_columns()->size(), 1u);
    EXPECT_EQ(first_only->get_value_at(0, 0)->to_string(), "a");
    OMBRIX_ASSERT_OK(next, m_provider->execute_model("SELECT id FROM t ORDER BY id", false));
    ASSERT_EQ(next->get_n_items(), 2u);
    EXPECT_EQ(next->get_value_at(0, 1)->to_string(), "2");
}

TEST_F(MariaDBProvider, CommitAndRollbackEndTheTransactionAndRestoreAutocommit) {
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY) ENGINE=InnoDB", false));
    auto observer = open_provider(m_schema->name());
    ASSERT_NE(observer, nullptr);
    auto seen = [&] { return scalar(*observer, "SELECT COUNT(*) FROM t"); };

    OMBRIX_ASSERT_OK(begun, m_provider->transaction());
    EXPECT_TRUE(begun);
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("INSERT INTO t VALUES (1)", false));
    EXPECT_EQ(scalar(*m_provider, "SELECT COUNT(*) FROM t"), "1");
    EXPECT_EQ(seen(), "0");
    OMBRIX_ASSERT_DONE(m_provider->rollback());
    EXPECT_EQ(scalar(*m_provider, "SELECT COUNT(*) FROM t"), "0");
    EXPECT_EQ(scalar(*m_provider, "SELECT @@autocommit"), "1");
    // After the rollback a write commits on its own.
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("INSERT INTO t VALUES (2)", false));
    EXPECT_EQ(seen(), "1");

    OMBRIX_ASSERT_OK(again, m_provider->transaction());
    EXPECT_TRUE(again);
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("INSERT INTO t VALUES (3)", false));
    EXPECT_EQ(seen(), "1");
    OMBRIX_ASSERT_DONE(m_provider->commit());
    EXPECT_EQ(seen(), "2");
    EXPECT_EQ(scalar(*m_provider, "SELECT @@autocommit"), "1");
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("INSERT INTO t VALUES (4)", false));
    EXPECT_EQ(seen(), "3");
}

TEST_F(MariaDBProvider, AReaderStaysReadableAfterLaterCalls) {
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(10));"
                                                       "INSERT INTO t VALUES (1, 'one'), (2, 'two'), (3, 'three')",
                                                       false));
    OMBRIX_ASSERT_OK(reader, m_provider->execute_reader("SELECT id, name FROM t ORDER BY id"));
    OMBRIX_ASSERT_OK(first, reader->read());
    ASSERT_TRUE(first);
    EXPECT_EQ(reader->get_string(1), "one");

    // Other statements on the same provider, a second reader and a model in between.
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("INSERT INTO t VALUES (4, 'four')", false));
    OMBRIX_ASSERT_OK(other, m_provider->execute_reader("SELECT name FROM t WHERE id = 4"));
    OMBRIX_ASSERT_OK(model, m_provider->execute_model("SELECT * FROM t", false));
    EXPECT_EQ(model->get_n_items(), 4u);
    OMBRIX_ASSERT_OK(batch, m_provider->execute_statements("SELECT 1; SELECT 2", false));
    EXPECT_EQ(batch.size(), 2u);

    OMBRIX_ASSERT_OK(second, reader->read());
    ASSERT_TRUE(second);
    EXPECT_EQ(reader->get_int32(0), 2);
    EXPECT_EQ(reader->get_string(1), "two");
    // Even closing the connection leaves a stored result readable.
    m_provider->close();
    OMBRIX_ASSERT_OK(third, reader->read());
    ASSERT_TRUE(third);
    EXPECT_EQ(reader->get_string(1), "three");
    OMBRIX_ASSERT_OK(end, reader->read());
    EXPECT_FALSE(end);
    OMBRIX_ASSERT_OK(other_row, other->read());
    ASSERT_TRUE(other_row);
    EXPECT_EQ(other->get_string(0), "four");
    m_provider.reset();
    other.reset();
    reader.reset();
}

TEST_F(MariaDBProvider, ModelsHoldEveryRowOfALargeResult) {
    // Enough rows that the model is filled while the server is still sending.
    OMBRIX_ASSERT_OK(model, m_provider->execute_model(
                                "SELECT seq, REPEAT('x', seq % 200) AS pad FROM seq_1_to_20000", false));
    ASSERT_EQ(model->get_n_items(), 20000u);
    EXPECT_EQ(model->get_value_at(0, 19999)->to_string(), "20000");
    EXPECT_EQ(model->get_columns()->get(1)->get_data_size(), 199u);
    EXPECT_EQ(scalar(*m_provider, "SELECT 'after'"), "after");

    // The server fails after it has sent rows: the call fails with its error, not a partial model.
    const std::string failing = "SELECT seq, IF(seq = 3000, (SELECT 1 UNION SELECT 2), seq) FROM seq_1_to_5000";
    auto partial = m_provider->execute_model(failing, false);
    ASSERT_FALSE(partial);
    expect_error(partial.error(), 1242, "more than 1 row");
    EXPECT_EQ(scalar(*m_provider, "SELECT 'still usable'"), "still usable");
    auto stored = m_provider->execute_reader(failing);
    ASSERT_FALSE(stored);
    expect_error(stored.error(), 1242, "more than 1 row");
    EXPECT_EQ(scalar(*m_provider, "SELECT 'usable again'"), "usable again");
}

TEST_F(MariaDBProvider, TlsSessionsUseTheProfilesFiles) {
    const Sandbox& sandbox = Sandbox::get();
    EXPECT_EQ(cipher_of(*m_provider), "");  // not encrypted without ssl-using

    auto secured = profile();
    secured->set_ssl_using(true);
    secured->set_ssl_ca_file(sandbox.ssl_ca);
    secured->set_ssl_cert_file(sandbox.ssl_cert);
    secured->set_ssl_key_file(sandbox.ssl_key);
    auto tls = Supports::MariaDBProvider::create();
    OMBRIX_ASSERT_DONE(tls->open(secured, ""));
    EXPECT_NE(cipher_of(*tls), "");
    EXPECT_EQ(scalar(*tls, "SELECT DATABASE()"), m_schema->name());

    // An encrypted client key opens with its passphrase, and not without the right one.
    auto encrypted = secured->clone(false);
    encrypted->set_ssl_key_file(sandbox.ssl_key_encrypted);
    encrypted->set_ssl_password(sandbox.ssl_key_password);
    auto protected_key = Supports::MariaDBProvider::create();
    OMBRIX_ASSERT_DONE(protected_key->open(encrypted, ""));
    EXPECT_NE(cipher_of(*protected_key), "");

    LogCapture log;
    encrypted->set_ssl_password("not-the-passphrase");
    auto wrong = Supports::MariaDBProvider::create()->open(encrypted, "");
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().domain, "MariaDB");
    EXPECT_GT(wrong.error().code, 0);

    // TLS that cannot be set up never falls back to a plain session.
    auto broken = secured->clone(false);
    broken->set_ssl_ca_file(sandbox.dir + "/tls/no-such-ca.pem");
    auto refused = Supports::MariaDBProvider::create()->open(broken, "");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().domain, "MariaDB");
}

TEST_F(MariaDBProvider, SslModesVerifyTheChainAndTheHostName) {
    const Sandbox& sandbox = Sandbox::get();
    Ombrix::Testing::TempDir dir;
    const std::string other_ca = dir.file("other-ca.pem");
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Another-CA -keyout '" +
                           dir.file("other-key.pem") + "' -out '" + other_ca + "' >/dev/null 2>&1")
                              .c_str()),
              0);
    auto secured = profile();
    secured->set_ssl_using(true);
    secured->set_ssl_ca_file(sandbox.ssl_ca);
    const auto opens = [&](const std::string& mode, const std::string& host, const std::string& ca) {
        auto server = secured->clone(false);
        server->set_ssl_mode(mode);
        server->set_host(host);
        server->set_ssl_ca_file(ca);
        LogCapture quiet;
        auto provider = Supports::MariaDBProvider::create();
        auto opened = provider->open(server, "");
        return opened ? std::string("open") : opened.error().message;
    };
    // The sandbox's certificate names 127.0.0.1; 2130706433 is the same address by another name.
    const std::string other_name = "2130706433";
    EXPECT_EQ(opens("verify-ca", "127.0.0.1", sandbox.ssl_ca), "open");
    EXPECT_EQ(opens("verify-identity", "127.0.0.1", sandbox.ssl_ca), "open");
    EXPECT_EQ(opens("verify-ca", other_name, sandbox.ssl_ca), "open");
    EXPECT_EQ(opens("require", other_name, sandbox.ssl_ca), "open");
    EXPECT_NE(opens("verify-identity", other_name, sandbox.ssl_ca), "open");
    EXPECT_NE(opens("verify-ca", "127.0.0.1", other_ca), "open");
    EXPECT_NE(opens("verify-identity", "127.0.0.1", other_ca), "open");
    EXPECT_EQ(opens("verify-identity", "127.0.0.1", ""), "ssl-mode verify-identity needs a CA file (ssl-ca)");
}

TEST_F(MariaDBProvider, UsersThatRequireTlsLogInOnlyOverTls) {
    const Sandbox& sandbox = Sandbox::get();
    const std::string user = "ombrix_tls_" + std::to_string(getpid());
    struct DropUser {
        std::string user;
        ~DropUser() { Sandbox::get().exec("DROP USER IF EXISTS '" + user + "'@'127.0.0.1'"); }
    } drop{user};
    sandbox.exec("CREATE USER '" + user + "'@'127.0.0.1' IDENTIFIED BY 'Tls-only-1' REQUIRE SSL;"
                 "GRANT ALL PRIVILEGES ON `" + m_schema->name() + "`.* TO '" + user + "'@'127.0.0.1'");
    ASSERT_FALSE(HasFatalFailure());

    auto plain = profile();
    plain->set_username(user);
    plain->set_password("Tls-only-1");
    LogCapture log;
    auto refused = Supports::MariaDBProvider::create()->open(plain, "");
    ASSERT_FALSE(refused);
    expect_error(refused.error(), 1045, "Access denied");

    auto secured = plain->clone(false);
    secured->set_ssl_using(true);
    secured->set_ssl_ca_file(sandbox.ssl_ca);
    secured->set_ssl_cert_file(sandbox.ssl_cert);
    secured->set_ssl_key_file(sandbox.ssl_key);
    auto tls = Supports::MariaDBProvider::create();
    OMBRIX_ASSERT_DONE(tls->open(secured, ""));
    EXPECT_NE(cipher_of(*tls), "");
    EXPECT_EQ(scalar(*tls, "SELECT CURRENT_USER()"), user + "@127.0.0.1");
}

// Without an initial database a session starts in "mysql"; an account with rights on its own
// schemas only logs in with no database instead of being turned away. One it names itself it gets.
TEST_F(MariaDBProvider, AnAccountWithoutRightsOnMysqlLogsInWithNoDatabase) {
    const std::string user = "ombrix_own_" + std::to_string(getpid());
    struct DropUser {
        std::string user;
        ~DropUser() { Sandbox::get().exec("DROP USER IF EXISTS '" + user + "'@'%'"); }
    } drop{user};
    Sandbox::get().exec("CREATE USER '" + user + "'@'%' IDENTIFIED BY 'Own-1';GRANT ALL PRIVILEGES ON `" +
                        m_schema->name() + "`.* TO '" + user + "'@'%'");
    ASSERT_FALSE(HasFatalFailure());
    auto own = profile();
    own->set_username(user);
    own->set_password("Own-1");
    own->set_initial("");
    auto provider = Supports::MariaDBProvider::create();
    OMBRIX_ASSERT_DONE(provider->open(own, ""));
    EXPECT_EQ(scalar(*provider, "SELECT CURRENT_USER()"), user + "@%");
    EXPECT_EQ(scalar(*provider, "SELECT DATABASE() IS NULL"), "1");
    provider->close();

    auto root = Sandbox::get().profile();
    root->set_initial("");
    auto rooted = Supports::MariaDBProvider::create();
    OMBRIX_ASSERT_DONE(rooted->open(root, ""));
    EXPECT_EQ(scalar(*rooted, "SELECT DATABASE()"), "mysql");

    own->set_initial("mysql");
    LogCapture log;
    auto refused = Supports::MariaDBProvider::create()->open(own, "");
    ASSERT_FALSE(refused);
    expect_error(refused.error(), 1044, "Access denied");
}

TEST_F(MariaDBProvider, TwoProvidersRunAtTheSameTimeOnTwoThreads) {
    OMBRIX_ASSERT_DONE(m_provider->execute_affect("CREATE TABLE t (worker INT, n INT, PRIMARY KEY (worker, n))",
                                                       false));
    std::mutex mutex;
    std::vector<std::string> failures;
    auto work = [&](int worker) {
        auto provider = Supports::MariaDBProvider::create();
        auto note = [&](const std::string& what) {
            std::lock_guard lock(mutex);
            failures.push_back("worker " + std::to_string(worker) + ": " + what);
        };
        if (auto opened = provider->open(profile(), ""); !opened) return note(describe(opened.error()));
        for (int n = 1; n <= 40; ++n) {
            auto inserted = provider->execute_affect(
                "INSERT INTO t VALUES (" + std::to_string(worker) + ", " + std::to_string(n) + ")", false);
            if (!inserted || *inserted != 1) return note("insert " + std::to_string(n));
            const std::string count =
                scalar(*provider, "SELECT COUNT(*) FROM t WHERE worker = " + std::to_string(worker));
            if (count != std::to_string(n)) return note("count " + count + " after " + std::to_string(n));
        }
    };
    std::thread first(work, 1), second(work, 2);
    first.join();
    second.join();
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(scalar(*m_provider, "SELECT COUNT(*) FROM t"), "80");
}

TEST_F(MariaDBProvider, OneProviderSerialisesCallsFromSeveralThreads) {
    std::mutex mutex;
    std::vector<std::string> failures;
    auto work = [&](int worker) {
        auto note = [&](const std::string& what) {
            std::lock_guard lock(mutex);
            failures.push_back("worker " + std::to_string(worker) + ": " + what);
        };
        for (int i = 0; i < 40; ++i) {
            const std::string n = std::to_string(worker * 1000 + i);
            switch (i % 4) {
                case 0: {
                    if (scalar(*m_provider, "SELECT " + n) != n) return note("scalar " + n);
                    break;
                }
                case 1: {
                    auto model = m_provider->execute_model("SELECT " + n + ", REPEAT('y', " + n + " % 300)", false);
                    if (!model || (*model)->get_n_items() != 1 || (*model)->get_value_at(0, 0)->to_string() != n)
                        return note("model " + n);
                    break;
                }
                case 2: {
                    auto reader = m_provider->execute_reader("SELECT " + n + " UNION ALL SELECT " + n + " + 1");
                    if (!reader) return note("reader " + n + ": " + describe(reader.error()));
                    auto row = (*reader)->read();
                    if (!row || !*row || (*reader)->get_string(0) != n) return note("reader row " + n);
                    break;
                }
                default: {
                    auto batch = m_provider->execute_statements("SELECT " + n + "; DO 1; SELECT " + n, false);
                    if (!batch || batch->size() != 3) return note("batch " + n);
                    break;
                }
            }
        }
    };
    std::vector<std::thread> threads;
    for (int worker = 1; worker <= 4; ++worker) threads.emplace_back(work, worker);
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_TRUE(m_provider->get_is_opened());
}

}  // namespace
