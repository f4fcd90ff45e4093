#include "providers/Core/json.hpp"
#include "solvane/Model/index.hpp"

#include <gtest/gtest.h>

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaIndex, KeyPartsAreAppendedInOrderAndCopiedByClone) {
    auto index = MetaIndex::with_names("shop", "sales", "orders", "ix");
    EXPECT_EQ(index->get_entity(), "orders");
    EXPECT_EQ(index->get_schema(), "sales");
    EXPECT_EQ(index->get_database(), "shop");
    EXPECT_EQ(index->get_key_block_size(), 0u);
    std::vector<std::string> notified;
    index->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    index->append("b");
    index->append("a");
    EXPECT_EQ(index->get_columns(), (Core::StringList{"b", "a"}));
    EXPECT_EQ(notified, (std::vector<std::string>{"columns", "columns"}));

    auto copy = clone_as(*index);
    copy->append("c");
    EXPECT_EQ(index->get_columns(), (Core::StringList{"b", "a"}));
    EXPECT_EQ(copy->get_columns(), (Core::StringList{"b", "a", "c"}));
}

TEST(MetaIndex, JsonKeepsTheIndexClassPropertyAndTheKeyParts) {
    auto index = MetaIndex::with_names("shop", "shop", "orders", "ft");
    index->set_class("FULLTEXT");
    index->set_parser("ngram");
    index->set_is_visible(true);
    index->set_key_block_size(16);
    index->append("title");
    index->append("body");

    // The index's own "class" property owns the member of that name.
    const std::string text = to_json(*index);
    auto node = Core::Json::parse(text);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ((*node)["class"], "FULLTEXT");
    EXPECT_EQ((*node)["columns"], (Core::Json::Node{"title", "body"}));
    EXPECT_EQ((*node)["key-block-size"], 16);

    auto read = from_json_as<MetaIndex>(text);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ(to_json(**read), text);
    EXPECT_EQ((*read)->get_class(), "FULLTEXT");
}
