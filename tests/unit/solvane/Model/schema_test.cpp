#include "providers/Core/json.hpp"
#include "solvane/Model/schema.hpp"

#include <gtest/gtest.h>

#include "tests/support/meta_samples.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaSchema, WithNamesNamesTheSchemaAfterItself) {
    auto schema = MetaSchema::with_names("shop", "sales");
    EXPECT_EQ(schema->get_database(), "shop");
    EXPECT_EQ(schema->get_schema(), "sales");
    EXPECT_EQ(schema->get_name(), "sales");
    for (const char* list : {"events", "functions", "procedures", "tables", "miews", "views"}) {
        SCOPED_TRACE(list);
        auto value = schema->get_property(list).get_object<Core::ListModelBase>();
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->get_n_items(), 0u);
    }
}

TEST(MetaSchema, ResetKeepsProceduresAndMaterializedViewsOnly) {
    auto schema = Testing::sample_schema("shop", "shop");
    schema->set_version(DataVersion::UPDATE);
    schema->set_original("old_shop");
    schema->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    schema->reset();
    EXPECT_TRUE(schema->get_events()->empty());
    EXPECT_TRUE(schema->get_functions()->empty());
    EXPECT_TRUE(schema->get_tables()->empty());
    EXPECT_TRUE(schema->get_views()->empty());
    EXPECT_EQ(schema->get_procedures()->size(), 1u);
    EXPECT_EQ(schema->get_miews()->size(), 1u);
    EXPECT_EQ(schema->get_version(), DataVersion::INITIAL);
    EXPECT_EQ(schema->get_comment(), "");
    EXPECT_EQ(schema->get_original(), "");
    EXPECT_FALSE(schema->is_filled());
}

TEST(MetaSchema, CloneOwnsEveryListAndEveryElement) {
    auto schema = Testing::sample_schema("shop", "shop");
    auto copy = clone_as(*schema);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_json(*copy), to_json(*schema));

    (*copy->get_tables())[0]->set_name("renamed");
    (*copy->get_tables())[0]->get_columns()->clear();
    (*copy->get_views())[0]->set_definition("select x from y");
    (*copy->get_functions())[0]->set_parameters({});
    (*copy->get_miews())[0]->set_with_data(true);
    copy->get_procedures()->clear();
    copy->reset();  // must not empty the source's lists

    const auto& tables = *schema->get_tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0]->get_name(), "orders");
    EXPECT_EQ(tables[0]->get_columns()->size(), 3u);
    ASSERT_EQ(schema->get_views()->size(), 1u);
    EXPECT_EQ((*schema->get_views())[0]->get_columns()->size(), 2u);
    ASSERT_EQ(schema->get_functions()->size(), 1u);
    EXPECT_EQ((*schema->get_functions())[0]->get_parameters().size(), 2u);
    EXPECT_FALSE((*schema->get_miews())[0]->get_with_data());
    EXPECT_EQ(schema->get_procedures()->size(), 1u);
    EXPECT_EQ(schema->get_events()->size(), 1u);
}

TEST(MetaSchema, JsonRoundTripOfAFullSchema) {
    auto schema = Testing::sample_schema("shop", "shop");
    schema->set_attribute("charset", "utf8mb4");
    const std::string text = to_json(*schema);
    auto read = from_json_as<MetaSchema>(text);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ(to_json(**read), text);

    // The lists come back with their own classes and contents.
    const auto& copy = **read;
    ASSERT_EQ(copy.get_miews()->size(), 1u);
    EXPECT_EQ((*copy.get_miews())[0]->type_name(), "OmbrixSolvaneMetaModelMaterialized");
    EXPECT_FALSE((*copy.get_miews())[0]->get_with_data());
    ASSERT_EQ(copy.get_functions()->size(), 1u);
    EXPECT_EQ((*copy.get_functions())[0]->get_parameters(),
              (Core::StringList{"IN amount decimal(12,2)", "IN rate decimal(4,2)"}));
    EXPECT_EQ((*copy.get_procedures())[0]->character(), DBObject::PROCEDURE);
    EXPECT_EQ((*copy.get_events())[0]->get_schedule(), "EVERY 1 DAY");
    const auto& orders = *(*copy.get_tables())[0];
    ASSERT_EQ(orders.get_constraints()->size(), 5u);
    EXPECT_EQ((*orders.get_constraints())[1]->type_name(), "OmbrixSolvaneMetaModelMetaForeignKey");
    EXPECT_EQ((*copy.get_views())[0]->get_columns()->size(), 2u);

    // The stored form: lists are arrays, maps objects, numbers numbers.
    auto node = Core::Json::parse(text);
    ASSERT_TRUE(node.has_value());
    EXPECT_TRUE((*node)["tables"].is_array());
    EXPECT_TRUE((*node)["attributes"].is_object());
    EXPECT_EQ((*node)["tables"][0]["columns"][2]["scale"], 2);
    EXPECT_EQ((*node)["tables"][0]["indexes"][0]["columns"], (Core::Json::Node{"customer_id", "total"}));
}
