#include "providers/Core/json.hpp"
#include "solvane/Model/table.hpp"

#include <gtest/gtest.h>

#include "tests/support/log_capture.hpp"
#include "tests/support/meta_samples.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

namespace {

std::vector<std::string> constraint_names(const MetaTable& table) {
    std::vector<std::string> names;
    for (const auto& constraint : *table.get_constraints()) names.push_back(constraint->get_name());
    return names;
}

}  // namespace

TEST(MetaTable, RemoveConstraintsTakesOutOneClassAndKeepsTheOrder) {
    auto table = MetaTable::with_names("shop", "shop", "orders");
    auto primary = MetaUnique::with_name("PRIMARY");
    primary->set_is_primary_key(true);
    table->get_constraints()->append(primary);
    table->get_constraints()->append(MetaForeignKey::with_names("fk1", "shop", "a"));
    table->get_constraints()->append(MetaCheck::with_name("chk", "x > 0"));
    table->get_constraints()->append(MetaForeignKey::with_names("fk2", "shop", "b"));

    table->remove_constraints(DBObject::INDEX);
    table->remove_constraints(DBObject::CONTRAINT);
    EXPECT_EQ(constraint_names(*table), (std::vector<std::string>{"PRIMARY", "fk1", "chk", "fk2"}));
    table->remove_constraints(DBObject::FOREIGN);
    EXPECT_EQ(constraint_names(*table), (std::vector<std::string>{"PRIMARY", "chk"}));
    table->remove_constraints(DBObject::UNIQUE);
    EXPECT_EQ(constraint_names(*table), (std::vector<std::string>{"chk"}));
    table->remove_constraints(DBObject::CHECK);
    EXPECT_TRUE(table->get_constraints()->empty());
}

TEST(MetaTable, ResetPartialEmptiesOnlyTheChosenPart) {
    auto table = Testing::sample_orders("shop", "shop");
    const std::string before = to_json(*table);
    for (DBObject kind : {DBObject::INDEX, DBObject::TRIGGER, DBObject::RULE, DBObject::TABLE})
        table->reset_partial(kind);
    EXPECT_EQ(to_json(*table), before);

    table->reset_partial(DBObject::COLUMN);
    EXPECT_TRUE(table->get_columns()->empty());
    EXPECT_EQ(table->get_constraints()->size(), 5u);
    table->reset_partial(DBObject::EXCLUDE);
    EXPECT_EQ(constraint_names(*table),
              (std::vector<std::string>{"PRIMARY", "fk_customer", "positive_total", "uq_customer_total"}));
    EXPECT_EQ(table->get_indexes()->size(), 1u);
    EXPECT_EQ(table->get_triggers()->size(), 1u);
    EXPECT_EQ(table->get_rules()->size(), 1u);
}

TEST(MetaTable, ResetEmptiesEveryPart) {
    auto table = Testing::sample_orders("shop", "shop");
    table->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    table->reset();
    EXPECT_TRUE(table->get_columns()->empty());
    EXPECT_TRUE(table->get_indexes()->empty());
    EXPECT_TRUE(table->get_triggers()->empty());
    EXPECT_TRUE(table->get_constraints()->empty());
    EXPECT_TRUE(table->get_rules()->empty());
    EXPECT_TRUE(table->get_options().empty());
    EXPECT_TRUE(table->get_attributes().empty());
    EXPECT_EQ(table->get_comment(), "");
    EXPECT_FALSE(table->is_filled());
    EXPECT_EQ(table->get_name(), "orders");
}

TEST(MetaTable, ColumnsAreFoundByExactName) {
    auto table = MetaTable::with_names("shop", "shop", "t");
    auto id = table->new_column("Id", DataType::INT32);
    EXPECT_EQ(id->get_data_type(), DataType::INT32);
    EXPECT_EQ(id->get_raw_type(), "");
    EXPECT_EQ(table->get_column("Id"), id);
    EXPECT_EQ(table->get_column("id"), nullptr);
    auto twin = table->new_column("Id", DataType::STRING);
    EXPECT_EQ(table->get_column("Id"), id);  // the first of that name
    EXPECT_EQ(table->get_columns()->size(), 2u);
    EXPECT_NE(twin, id);
}

TEST(MetaTable, CloneOwnsCopiesOfEveryMember) {
    auto table = Testing::sample_orders("shop", "shop");
    auto copy = clone_as(*table);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_json(*copy), to_json(*table));
    EXPECT_NE(copy->get_columns(), table->get_columns());
    EXPECT_NE((*copy->get_constraints())[1], (*table->get_constraints())[1]);
    EXPECT_EQ((*copy->get_constraints())[1]->type_name(), "OmbrixSolvaneMetaModelMetaForeignKey");

    const std::string before = to_json(*table);
    copy->get_column("total")->set_length(20);
    std::static_pointer_cast<MetaForeignKey>((*copy->get_constraints())[1])->set_delete_action("SET NULL");
    (*copy->get_indexes())[0]->append("id");
    (*copy->get_triggers())[0]->set_timing("AFTER");
    (*copy->get_rules())[0]->set_enable(false);
    copy->set_option("ENGINE", "Aria");
    copy->new_column("extra", DataType::STRING);
    copy->reset_partial(DBObject::CHECK);
    copy->reset();
    EXPECT_EQ(to_json(*table), before);
}

TEST(MetaTable, ConstraintsRoundTripWithTheirClasses) {
    auto table = Testing::sample_orders("shop", "shop");
    const std::string text = to_json(*table);
    auto node = Core::Json::parse(text);
    ASSERT_TRUE(node.has_value());
    const auto& constraints = (*node)["constraints"];
    ASSERT_EQ(constraints.size(), 5u);
    EXPECT_EQ(constraints[0]["class"], "OmbrixSolvaneMetaModelMetaUnique");
    EXPECT_EQ(constraints[1]["class"], "OmbrixSolvaneMetaModelMetaForeignKey");
    EXPECT_EQ(constraints[2]["class"], "OmbrixSolvaneMetaModelMetaCheck");
    EXPECT_EQ(constraints[3]["class"], "OmbrixSolvaneMetaModelMetaExclude");
    EXPECT_EQ(constraints[1]["delete-action"], "CASCADE");
    EXPECT_EQ((*node)["options"], (Core::Json::Node{{"AUTO_INCREMENT", "42"}, {"ENGINE", "InnoDB"}}));

    auto read = from_json_as<MetaTable>(text);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ(to_json(**read), text);
    const auto& list = *(*read)->get_constraints();
    EXPECT_NE(std::dynamic_pointer_cast<MetaUnique>(list[0]), nullptr);
    EXPECT_TRUE(std::static_pointer_cast<MetaUnique>(list[0])->get_is_primary_key());
    EXPECT_NE(std::dynamic_pointer_cast<MetaForeignKey>(list[1]), nullptr);
    EXPECT_TRUE(std::static_pointer_cast<MetaCheck>(list[2])->get_enforced());
    EXPECT_EQ(std::static_pointer_cast<MetaExclude>(list[3])->get_elements(), "period WITH &&");
}

TEST(MetaTable, StoredConstraintsOfOtherClassesAreSkippedWithAWarning) {
    auto node = Core::Json::Node::parse(R"({
        "name": "t",
        "constraints": [
            {"class": "OmbrixSolvaneMetaModelMetaCheck", "name": "ok_check", "check": "a > 0"},
            {"class": "OmbrixSolvaneMetaModelMetaColumn", "name": "a_column"},
            {"class": "OmbrixProvidersContractsServer", "name": "a_server", "host": "x"},
            {"class": "OmbrixSolvaneMetaModelMetaTable", "name": "a_table"},
            {"class": "NoSuchClass", "name": "unknown"},
            {"name": "no_class"},
            "not an object",
            {"class": "OmbrixSolvaneMetaModelMetaConstraint", "name": "plain"},
            {"class": "OmbrixSolvaneMetaModelMetaUnique", "name": "ok_unique"}
        ]})");
    Testing::LogCapture log;
    auto read = from_node(node, &MetaTable::static_type());
    ASSERT_TRUE(read.has_value());
    auto table = std::static_pointer_cast<MetaTable>(*read);
    EXPECT_EQ(constraint_names(*table), (std::vector<std::string>{"ok_check", "plain", "ok_unique"}));
    EXPECT_EQ((*table->get_constraints())[0]->type_name(), "OmbrixSolvaneMetaModelMetaCheck");
    EXPECT_EQ((*table->get_constraints())[1]->type_name(), "OmbrixSolvaneMetaModelMetaConstraint");
    EXPECT_EQ(log.warnings().size(), 6u);
    EXPECT_TRUE(log.criticals().empty());
}

TEST(MetaTable, NullListsAreTakenAsEmptyOnes) {
    auto table = Testing::sample_orders("shop", "shop");
    table->set_columns(nullptr);
    table->set_constraints(nullptr);
    ASSERT_NE(table->get_columns(), nullptr);
    EXPECT_TRUE(table->get_columns()->empty());
    table->reset();
    EXPECT_NE(to_json(*table), "");
}
