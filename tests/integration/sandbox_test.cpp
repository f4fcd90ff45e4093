#include <gtest/gtest.h>
#include <mysql.h>

#include "tests/support/sandbox.hpp"

using Ombrix::Testing::Sandbox;

TEST(Sandbox, AcceptsConnectionsWithThePrintedSettingsAndOffersTls) {
    const Sandbox& sandbox = Sandbox::get();
    MYSQL* mysql = mysql_init(nullptr);
    ASSERT_NE(mysql_real_connect(mysql, sandbox.host.c_str(), sandbox.user.c_str(), sandbox.password.c_str(),
                                 nullptr, sandbox.port, nullptr, 0),
              nullptr)
        << mysql_error(mysql);
    ASSERT_EQ(mysql_query(mysql, "SELECT @@have_ssl, @@character_set_server"), 0);
    MYSQL_RES* result = mysql_store_result(mysql);
    ASSERT_NE(result, nullptr);
    MYSQL_ROW row = mysql_fetch_row(result);
    EXPECT_STREQ(row[0], "YES");
    EXPECT_STREQ(row[1], "utf8mb4");
    mysql_free_result(result);
    mysql_close(mysql);
}
