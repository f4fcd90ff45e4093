#include "providers/Core/json.hpp"
#include "solvane/Model/function.hpp"

#include <gtest/gtest.h>

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaFunction, ParametersAreAJsonArrayAndCopiedByClone) {
    auto function = MetaFunction::with_names("shop", "shop", "with_tax");
    function->set_is_function(true);
    function->set_return_type("decimal(12,2)");
    function->set_parameters({"IN amount decimal(12,2)", "IN rate decimal(4,2)"});

    auto node = Core::Json::serialize(*function);
    EXPECT_EQ(node["parameters"], (Core::Json::Node{"IN amount decimal(12,2)", "IN rate decimal(4,2)"}));
    EXPECT_EQ(node["is-function"], true);
    auto read = from_json_as<MetaFunction>(to_json(*function));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(to_json(**read), to_json(*function));
    EXPECT_EQ((*read)->character(), DBObject::FUNCTION);

    auto copy = clone_as(*function);
    copy->set_parameters({});
    EXPECT_EQ(function->get_parameters().size(), 2u);

    // Non-string elements of a stored list are dropped, not turned into garbage.
    auto mixed = from_json_as<MetaFunction>(R"({"name":"f","parameters":["IN a int", 3, null]})");
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ((*mixed)->get_parameters(), (Core::StringList{"IN a int"}));
}
