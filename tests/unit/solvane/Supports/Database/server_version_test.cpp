#include "solvane/Supports/Database/server_version.hpp"

#include <gtest/gtest.h>

#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"

using namespace Ombrix::Solvane::Supports::Database;

TEST(ServerVersion, ComparesNumbersNotBytes) {
    EXPECT_EQ(compare_versions("10.11.2-MariaDB", "10.5.0"), std::strong_ordering::greater);
    EXPECT_EQ(compare_versions("5.7.40", "10.5.0"), std::strong_ordering::less);
    EXPECT_EQ(compare_versions("10.5.0", "10.5"), std::strong_ordering::equal);
    EXPECT_EQ(compare_versions("10.5.10", "10.5.9"), std::strong_ordering::greater);
    EXPECT_EQ(compare_versions("11.0.2", "10.99.99"), std::strong_ordering::greater);
    // An unreadable text sorts first.
    EXPECT_EQ(compare_versions("", "1.0"), std::strong_ordering::less);
    EXPECT_EQ(compare_versions("garbage", ""), std::strong_ordering::equal);
}

TEST(ServerVersion, ParsesDistributionSuffixesAndTheLegacyPrefix) {
    auto version = ServerVersion::parse("10.11.6-MariaDB-0+deb12u1");
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 10);
    EXPECT_EQ(version->minor, 11);
    EXPECT_EQ(version->patch, 6);
    EXPECT_TRUE(version->mariadb);

    version = ServerVersion::parse("5.5.5-10.4.32-MariaDB");
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ((*version <=> ServerVersion{10, 4, 32, true}), std::strong_ordering::equal);

    version = ServerVersion::parse("8.0.36");
    ASSERT_TRUE(version.has_value());
    EXPECT_FALSE(version->mariadb);
    EXPECT_TRUE(version->at_least(8, 0, 36));
    EXPECT_FALSE(version->at_least(8, 1));

    EXPECT_FALSE(ServerVersion::parse("").has_value());
    EXPECT_FALSE(ServerVersion::parse("-1.2").has_value());
    EXPECT_FALSE(ServerVersion::parse("MariaDB").has_value());
}

TEST(MariaDBConnection, ChoosesTheAdapterByNumericServerVersion) {
    using V = MariaDBAdapterVariant;
    EXPECT_EQ(choose_adapter_variant("10.11.2-MariaDB"), V::Current);  // sorts before "10.5.0" byte-wise
    EXPECT_EQ(choose_adapter_variant("10.11.6-MariaDB-0+deb12u1"), V::Current);
    EXPECT_EQ(choose_adapter_variant("10.5.0-MariaDB"), V::Current);
    EXPECT_EQ(choose_adapter_variant("10.6.1-MariaDB-log"), V::Current);
    EXPECT_EQ(choose_adapter_variant("11.0.2-MariaDB"), V::Current);
    EXPECT_EQ(choose_adapter_variant("10.4.32-MariaDB"), V::BelowV105);
    EXPECT_EQ(choose_adapter_variant("5.5.5-10.4.32-MariaDB"), V::BelowV105);
    // A bare number counts by itself, whatever the server calls itself.
    EXPECT_EQ(choose_adapter_variant("10.6.1"), V::Current);
    EXPECT_EQ(choose_adapter_variant("10.5"), V::Current);
    EXPECT_EQ(choose_adapter_variant("10.4.99"), V::BelowV105);
    // Sorts after "10.5.0" byte-wise, but the numbers are lower.
    EXPECT_EQ(choose_adapter_variant("5.7.40"), V::BelowV105);
    EXPECT_EQ(choose_adapter_variant("8.0.36"), V::BelowV105);
    // Unreadable: the older catalogue, which every server can answer.
    EXPECT_EQ(choose_adapter_variant(""), V::BelowV105);
    EXPECT_EQ(choose_adapter_variant("unknown"), V::BelowV105);
}
