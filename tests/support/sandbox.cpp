#include "tests/support/sandbox.hpp"

#include <gtest/gtest.h>
#include <mysql.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <unistd.h>

#include "providers/Core/text.hpp"

namespace Ombrix::Testing {

namespace {

std::map<std::string, std::string> read_env(const std::string& file) {
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Core::parse_key_values(text);
}

}  // namespace

const Sandbox& Sandbox::get() {
    static const Sandbox sandbox = [] {
        Sandbox s;
        const char* dir = std::getenv("OMBRIX_SANDBOX_DIR");
        if (!dir) {
            ADD_FAILURE() << "OMBRIX_SANDBOX_DIR is not set: run the integration tests through ctest";
            return s;
        }
        auto env = read_env(std::string(dir) + "/env");
        s.dir = dir;
        s.host = env["OMBRIX_SANDBOX_HOST"];
        s.port = static_cast<unsigned>(std::atoi(env["OMBRIX_SANDBOX_PORT"].c_str()));
        s.user = env["OMBRIX_SANDBOX_USER"];
        s.password = env["OMBRIX_SANDBOX_PASSWORD"];
        s.ssl_ca = env["OMBRIX_SANDBOX_SSL_CA"];
        s.ssl_cert = env["OMBRIX_SANDBOX_SSL_CERT"];
        s.ssl_key = env["OMBRIX_SANDBOX_SSL_KEY"];
        s.ssl_key_encrypted = env["OMBRIX_SANDBOX_SSL_KEY_ENCRYPTED"];
        s.ssl_key_password = env["OMBRIX_SANDBOX_SSL_KEY_PASSWORD"];
        if (s.port == 0) ADD_FAILURE() << "no sandbox server is running in " << dir;
        return s;
    }();
    return sandbox;
}

std::shared_ptr<Providers::Contracts::Server> Sandbox::profile() const {
    auto server = Providers::Contracts::Server::new_with_provider("MariaDB");
    server->set_title("sandbox");
    server->set_host(host);
    server->set_port(port);
    server->set_username(user);
    server->set_password(password);
    return server;
}

void Sandbox::exec(const std::string& sql) const {
    MYSQL* mysql = mysql_init(nullptr);
    ASSERT_NE(mysql, nullptr);
    ASSERT_NE(mysql_real_connect(mysql, host.c_str(), user.c_str(), password.c_str(), nullptr, port, nullptr,
                                 CLIENT_MULTI_STATEMENTS),
              nullptr)
        << mysql_error(mysql);
    const int rc = mysql_real_query(mysql, sql.data(), sql.size());
    EXPECT_EQ(rc, 0) << mysql_error(mysql) << " in: " << sql;
    // Drain every result of a multi-statement text so errors in later statements show up.
    if (rc == 0) {
        do {
            if (MYSQL_RES* res = mysql_store_result(mysql)) mysql_free_result(res);
        } while (mysql_next_result(mysql) == 0);
        EXPECT_EQ(mysql_errno(mysql), 0u) << mysql_error(mysql) << " in: " << sql;
    }
    mysql_close(mysql);
}

ScratchSchema::ScratchSchema(const std::string& prefix) {
    static std::atomic<int> counter{0};
    m_name = prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    Sandbox::get().exec("DROP DATABASE IF EXISTS `" + m_name + "`; CREATE DATABASE `" + m_name +
                        "` CHARACTER SET utf8mb4");
}

ScratchSchema::~ScratchSchema() { Sandbox::get().exec("DROP DATABASE IF EXISTS `" + m_name + "`"); }

}  // namespace Ombrix::Testing
