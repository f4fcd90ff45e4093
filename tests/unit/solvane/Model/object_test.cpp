#include <gtest/gtest.h>

#include "providers/Core/json.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/synonym.hpp"
#include "solvane/Model/user.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/meta_samples.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

namespace {

std::vector<std::string> property_names(const Core::TypeInfo& type) {
    std::vector<std::string> names;
    for (const auto* property : type.properties()) names.push_back(property->name);
    return names;
}

}  // namespace

TEST(MetaObject, EveryClassIsRegisteredUnderItsNameWithItsKind) {
    const std::vector<std::pair<std::string, DBObject>> classes = {
        {"MetaObject", DBObject::UNKNOWN},     {"MetaClassify", DBObject::UNKNOWN},
        {"MetaDatabase", DBObject::DATABASE},  {"MetaSchema", DBObject::SCHEMA},
        {"MetaTable", DBObject::TABLE},        {"MetaColumn", DBObject::COLUMN},
        {"MetaIndex", DBObject::INDEX},        {"MetaConstraint", DBObject::CONTRAINT},
        {"MetaUnique", DBObject::UNIQUE},      {"MetaForeignKey", DBObject::FOREIGN},
        {"MetaCheck", DBObject::CHECK},        {"MetaExclude", DBObject::EXCLUDE},
        {"MetaView", DBObject::VIEW},          {"Materialized", DBObject::VIEW},
        {"MetaFunction", DBObject::PROCEDURE}, {"MetaTrigger", DBObject::TRIGGER},
        {"MetaEvent", DBObject::EVENT},        {"MetaRule", DBObject::RULE},
        {"MetaSynonym", DBObject::SYNONYM},    {"MetaUser", DBObject::USER},
        {"MetaRole", DBObject::ROLE},
    };
    for (const auto& [name, kind] : classes) {
        SCOPED_TRACE(name);
        const Core::TypeInfo* type = Core::TypeInfo::lookup("OmbrixSolvaneMetaModel" + name);
        ASSERT_NE(type, nullptr);
        auto object = std::dynamic_pointer_cast<MetaObject>(type->create());
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->character(), kind);
        // Every class starts with the base properties, in their order.
        const auto names = property_names(*type);
        ASSERT_GE(names.size(), 7u);
        EXPECT_EQ(
            std::vector<std::string>(names.begin(), names.begin() + 7),
            (std::vector<std::string>{"database", "schema", "name", "comment", "attributes", "original", "version"}));
    }
}

TEST(MetaObject, DefaultsOfTheClassesWithNonEmptyOnes) {
    EXPECT_TRUE(MetaCheck::with_name("c", "x > 0")->get_no_inherit());
    EXPECT_FALSE(MetaCheck::with_name("c", "x > 0")->get_enforced());
    EXPECT_EQ(MetaCheck::with_name("c", "x > 0")->get_check(), "x > 0");
    EXPECT_EQ(MetaTrigger::create()->get_for_each(), "ROW");
    EXPECT_TRUE(Materialized::create()->get_with_data());
    EXPECT_EQ(Materialized::create()->get_property("with-data").get_boolean(), true);

    auto function = MetaFunction::with_names("d", "s", "f");
    EXPECT_EQ(function->character(), DBObject::PROCEDURE);
    function->set_is_function(true);
    EXPECT_EQ(function->character(), DBObject::FUNCTION);

    auto key = MetaForeignKey::with_names("fk", "shop", "customers");
    EXPECT_EQ(key->get_name(), "fk");
    EXPECT_EQ(key->get_refer_schema(), "shop");
    EXPECT_EQ(key->get_refer_table(), "customers");
    auto synonym = MetaSynonym::with_names("shop", "clients");
    EXPECT_EQ(synonym->get_schema(), "shop");
    EXPECT_EQ(synonym->get_name(), "clients");
    EXPECT_EQ(synonym->get_database(), "");
    auto user = MetaUser::with_names("", "", "alice@%", "USER");
    EXPECT_EQ(user->get_typename(), "USER");
    EXPECT_EQ(MetaRole::with_names("", "", "auditor", "ROLE")->get_typename(), "ROLE");
    auto trigger = MetaTrigger::with_body("t", "SET @x = 1");
    EXPECT_EQ(trigger->get_body(), "SET @x = 1");
}

TEST(MetaObject, SettersNotifyOnlyRealChanges) {
    auto object = MetaTable::with_names("shop", "shop", "orders");
    std::vector<std::string> notified;
    object->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    object->set_name("orders");
    object->set_comment("c");
    object->set_comment("c");
    object->set_version(DataVersion::INITIAL);
    object->set_version(DataVersion::UPDATE);
    object->set_attribute("k", "v");
    object->set_attribute("k", "v");
    object->set_option("ENGINE", "Aria");
    object->set_option("ENGINE", "Aria");
    EXPECT_TRUE(object->set_property("original", Core::Value::from_string("old")));
    EXPECT_TRUE(object->set_property("original", Core::Value::from_string("old")));
    EXPECT_EQ(notified, (std::vector<std::string>{"comment", "version", "attributes", "options", "original"}));
}

TEST(MetaObject, ResetEmptiesTheEditableStateButKeepsTheNames) {
    auto object = MetaColumn::with_type("id", DataType::INT32, "int(11)");
    object->set_database("shop");
    object->set_schema("sales");
    object->set_comment("key");
    object->set_original("ident");
    object->set_attribute("extra", "auto_increment");
    object->set_version(DataVersion::UPDATE);
    object->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    ASSERT_TRUE(object->is_filled());

    object->reset();
    EXPECT_EQ(object->get_comment(), "");
    EXPECT_EQ(object->get_original(), "");
    EXPECT_TRUE(object->get_attributes().empty());
    EXPECT_EQ(object->get_version(), DataVersion::INITIAL);
    EXPECT_FALSE(object->is_filled());
    EXPECT_EQ(object->get_name(), "id");
    EXPECT_EQ(object->get_schema(), "sales");
    EXPECT_EQ(object->get_database(), "shop");

    // A second reset has nothing left to change.
    std::vector<std::string> notified;
    object->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    object->reset();
    EXPECT_TRUE(notified.empty());
}

TEST(MetaObject, CloneCopiesEveryPropertyIntoAnIndependentObject) {
    auto column = MetaColumn::with_type("total", DataType::DECIMAL, "decimal(12,2)");
    column->set_length(12);
    column->set_scale(2);
    column->set_ordinal(70000);  // keeps the low 16 bits
    column->set_version(DataVersion::INSERT);
    column->set_attribute("extra", "");
    column->set_original("amount");

    auto copy = clone_as(*column);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, column);
    EXPECT_EQ(copy->get_ordinal(), 4464);
    EXPECT_EQ(to_json(*copy), to_json(*column));

    copy->set_attribute("extra", "changed");
    copy->set_attribute("more", "x");
    EXPECT_EQ(column->get_attributes(), (Core::StringMap{{"extra", ""}}));
}

TEST(MetaClassify, KeepsTheKindItWasMadeWithAndSharesItsChildren) {
    auto table = MetaTable::with_names("shop", "shop", "orders");
    auto folder = MetaClassify::with_array(DBObject::TABLE, "shop", "shop", "Tables", {table, nullptr});
    EXPECT_EQ(folder->character(), DBObject::TABLE);
    EXPECT_EQ(folder->get_name(), "Tables");
    ASSERT_NE(folder->get_children(), nullptr);
    ASSERT_EQ(folder->get_children()->get_n_items(), 2u);
    EXPECT_EQ(folder->get_children()->get_object(0), table);
    EXPECT_EQ(folder->get_children()->get_object(1), nullptr);

    auto copy = clone_as(*folder);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->character(), DBObject::TABLE);
    EXPECT_EQ(copy->get_children(), folder->get_children());

    EXPECT_EQ(MetaClassify::create(DBObject::VIEW, "d", "s", "Views")->get_children(), nullptr);

    Testing::LogCapture log;
    EXPECT_EQ(MetaClassify::with_model(DBObject::VIEW, "d", "s", "Views", nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("list_model != NULL"));
}

TEST(MetaObject, JsonTextsNameTheirClassAndReadBackAsIt) {
    auto table = Testing::sample_orders("shop", "shop");
    const std::string text = to_json(*table);
    auto node = Core::Json::parse(text);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ(node->begin().key(), "class");
    EXPECT_EQ((*node)["class"], "OmbrixSolvaneMetaModelMetaTable");

    auto any = from_json(text);
    ASSERT_TRUE(any.has_value()) << any.error().message;
    EXPECT_EQ((*any)->type_name(), "OmbrixSolvaneMetaModelMetaTable");
    EXPECT_EQ(to_json(**any), text);
    auto typed = from_json_as<MetaTable>(text);
    ASSERT_TRUE(typed.has_value());
    EXPECT_EQ((*typed)->get_columns()->size(), 3u);

    // Without a "class" member the expected class decides.
    auto plain = Core::Json::serialize(*table).dump();
    EXPECT_FALSE(from_json(plain).has_value());
    auto expected = from_json_as<MetaTable>(plain);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(to_json(**expected), text);

    // A class other than the expected one, a class outside the meta model and bad text are errors.
    auto wrong = from_json_as<MetaSchema>(text);
    ASSERT_FALSE(wrong.has_value());
    EXPECT_EQ(wrong.error().domain, "JSON");
    EXPECT_FALSE(from_json(R"({"class":"OmbrixProvidersContractsServer","host":"x"})").has_value());
    EXPECT_FALSE(from_json("[1, 2]").has_value());
    auto broken = from_json("{\"class\": ");
    ASSERT_FALSE(broken.has_value());
    EXPECT_EQ(broken.error().domain, "JSON");
}

TEST(MetaObject, AttributesAreAJsonObjectOfStrings) {
    auto object = MetaObject::create();
    object->set_attributes({{"a", "1"}, {"b", ""}});
    auto node = Core::Json::serialize(*object);
    EXPECT_EQ(node["attributes"], (Core::Json::Node{{"a", "1"}, {"b", ""}}));

    // Members that are not strings read as empty strings; the map is replaced, not merged.
    auto read = from_node(Core::Json::Node::parse(R"({"name":"n","attributes":{"x":"y","n":5,"o":null}})"),
                          &MetaObject::static_type());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ((*read)->get_attributes(), (Core::StringMap{{"n", ""}, {"o", ""}, {"x", "y"}}));
}

TEST(MetaObject, ConstructorsRefuseAMissingTextWithACritical) {
    Testing::LogCapture log;
    const std::string_view none;
    // Each call: the object it must refuse to make, and the critical naming the missing argument.
    const std::vector<std::pair<std::shared_ptr<MetaObject>, std::string>> refused = {
        {MetaClassify::create(DBObject::TABLE, none, "s", "Tables"), "database != NULL"},
        {MetaClassify::create(DBObject::TABLE, "d", none, "Tables"), "schema != NULL"},
        {MetaClassify::with_array(DBObject::TABLE, "d", "s", none, {}), "label != NULL"},
        {MetaDatabase::with_name(none), "database != NULL"},
        {MetaDatabase::create()->append(none), "schema_name != NULL"},
        {MetaSchema::with_names("d", none), "schema != NULL"},
        {MetaTable::with_names("d", "s", none), "name != NULL"},
        {MetaColumn::with_type("id", DataType::INT32, none), "native_type != NULL"},
        {MetaTable::create()->new_column(none, DataType::INT32), "name != NULL"},
        {MetaForeignKey::with_names("fk", "s", none), "refere_table != NULL"},
        {MetaForeignKey::with_names("fk", none, "t"), "refer_schema != NULL"},
        {MetaCheck::with_name("ck", none), "expr != NULL"},
        {MetaView::with_names(none, "s", "v"), "database != NULL"},
        {Materialized::with_names("d", "s", none), "name != NULL"},
        {MetaFunction::with_names("d", none, "f"), "schema != NULL"},
        {MetaEvent::with_names("d", "s", none), "name != NULL"},
        {MetaTrigger::with_body("tr", none), "body != NULL"},
        {MetaSynonym::with_names(none, "x"), "_schema != NULL"},
        {MetaSynonym::with_names("s", none), "_name != NULL"},
        {MetaUser::with_names("d", "s", "u", none), "kind != NULL"},
        {MetaRole::with_names("d", "s", "r", none), "role_type != NULL"},
    };
    ASSERT_EQ(log.criticals().size(), refused.size());
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EXPECT_EQ(refused[i].first, nullptr) << refused[i].second;
        EXPECT_NE(log.criticals()[i].find("'" + refused[i].second + "'"), std::string::npos)
            << log.criticals()[i];
    }

    // A refused column leaves no hole in the table.
    auto table = MetaTable::create();
    EXPECT_EQ(table->new_column(none, DataType::INT32), nullptr);
    EXPECT_TRUE(table->get_columns()->empty());
    ASSERT_EQ(log.criticals().size(), refused.size() + 1);

    // Empty texts are texts: they make objects.
    EXPECT_NE(MetaTable::with_names("", "", ""), nullptr);
    auto index = MetaIndex::with_names("d", "s", "t", "i");
    index->append(none);
    index->append("");
    EXPECT_EQ(index->get_columns(), (Core::StringList{""}));
    EXPECT_EQ(log.criticals().size(), refused.size() + 2);
    EXPECT_TRUE(log.has_critical("column != NULL"));
}
