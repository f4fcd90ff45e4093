#include "solvane/Model/database.hpp"

#include <gtest/gtest.h>

#include "tests/support/meta_samples.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaDatabase, WithNameSetsAllThreeNames) {
    auto database = MetaDatabase::with_name("shop");
    EXPECT_EQ(database->get_name(), "shop");
    EXPECT_EQ(database->get_schema(), "shop");
    EXPECT_EQ(database->get_database(), "shop");
    EXPECT_TRUE(database->get_schemas()->empty());
}

TEST(MetaDatabase, AppendFindsByExactNameOrCreates) {
    auto database = MetaDatabase::with_name("shop");
    auto first = database->append("s");
    auto again = database->append("s");
    EXPECT_EQ(first, again);
    EXPECT_EQ(database->get_schemas()->size(), 1u);
    EXPECT_EQ(first->get_database(), "shop");
    EXPECT_EQ(first->get_schema(), "s");
    EXPECT_EQ(first->get_name(), "s");

    auto upper = database->append("S");
    EXPECT_NE(upper, first);
    EXPECT_EQ(database->get_schemas()->size(), 2u);
}

TEST(MetaDatabase, CloneOwnsCopiesOfItsSchemas) {
    auto database = MetaDatabase::with_name("shop");
    database->get_schemas()->append(Testing::sample_schema("shop", "shop"));
    database->get_schemas()->append(Testing::sample_schema("shop", "archive"));

    auto copy = clone_as(*database);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_json(*copy), to_json(*database));
    ASSERT_NE(copy->get_schemas(), database->get_schemas());
    ASSERT_EQ(copy->get_schemas()->size(), 2u);
    EXPECT_NE((*copy->get_schemas())[0], (*database->get_schemas())[0]);

    (*copy->get_schemas())[0]->set_name("renamed");
    copy->append("new");
    copy->reset();
    EXPECT_EQ(database->get_schemas()->size(), 2u);
    EXPECT_EQ((*database->get_schemas())[0]->get_name(), "shop");
}

TEST(MetaDatabase, ResetEmptiesTheSchemas) {
    auto database = MetaDatabase::with_name("shop");
    database->append("a");
    database->set_comment("c");
    database->reset();
    EXPECT_TRUE(database->get_schemas()->empty());
    EXPECT_EQ(database->get_comment(), "");
    EXPECT_EQ(database->get_name(), "shop");
}

TEST(MetaDatabase, JsonRoundTripKeepsEverySchema) {
    auto database = MetaDatabase::with_name("shop");
    database->get_schemas()->append(Testing::sample_schema("shop", "shop"));
    database->append("empty");
    const std::string text = to_json(*database);
    auto read = from_json_as<MetaDatabase>(text);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ(to_json(**read), text);
    ASSERT_EQ((*read)->get_schemas()->size(), 2u);
    EXPECT_EQ((*(*read)->get_schemas())[0]->get_tables()->size(), 2u);
}
