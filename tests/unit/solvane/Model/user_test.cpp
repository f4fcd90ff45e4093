#include "providers/Core/json.hpp"
#include "solvane/Model/user.hpp"

#include <gtest/gtest.h>

#include "solvane/Model/role.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaUser, GrantMapsRoundTripAndAreCopiedByClone) {
    auto user = MetaUser::with_names("", "", "alice@%", "USER");
    user->set_default_schema("shop");
    user->set_password("*2470C0C06DEE42FD1618BB99005ADCA2EC9D1E19");
    user->set_privileges({{"shop.*", "SELECT, INSERT, GRANT OPTION"}, {"shop.orders", "UPDATE"}});
    user->set_relations({{"alice@%=auditor", "true"}});
    user->set_attribute("MAX_QUERIES_PER_HOUR", "100");

    auto node = Core::Json::serialize(*user);
    EXPECT_EQ(node["privileges"]["shop.*"], "SELECT, INSERT, GRANT OPTION");
    EXPECT_EQ(node["relations"], (Core::Json::Node{{"alice@%=auditor", "true"}}));
    auto read = from_json_as<MetaUser>(to_json(*user));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(to_json(**read), to_json(*user));

    auto copy = clone_as(*user);
    auto privileges = copy->get_privileges();
    privileges["shop.orders"] = "DELETE";
    copy->set_privileges(privileges);
    copy->set_relations({});
    EXPECT_EQ(user->get_privileges().at("shop.orders"), "UPDATE");
    EXPECT_EQ(user->get_relations().size(), 1u);
}

TEST(MetaRole, GrantMapsRoundTripAndAreCopiedByClone) {
    auto role = MetaRole::with_names("", "", "auditor", "ROLE");
    role->set_privileges({{"shop.*", "SELECT"}});
    role->set_relations({{"auditor=reader", "false"}});

    // Members that are not strings read as empty strings.
    auto read = from_json_as<MetaRole>(R"({"name":"auditor","privileges":{"shop.*":"SELECT","x":1},"relations":{}})");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ((*read)->get_privileges(), (Core::StringMap{{"shop.*", "SELECT"}, {"x", ""}}));
    auto again = from_json_as<MetaRole>(to_json(*role));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(to_json(**again), to_json(*role));

    auto copy = clone_as(*role);
    copy->set_privileges({});
    EXPECT_EQ(role->get_privileges().size(), 1u);
    EXPECT_EQ(copy->get_typename(), "ROLE");
}
