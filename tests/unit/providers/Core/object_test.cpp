#include <gtest/gtest.h>

#include "providers/Contracts/face_server.hpp"
#include "providers/Core/json.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using Providers::Contracts::Server;

TEST(Object, RegisteredTypesAreFoundByNameAndMadeWithTheirDefaults) {
    const Core::TypeInfo* type = Core::TypeInfo::lookup("OmbrixProvidersContractsServer");
    ASSERT_NE(type, nullptr);
    auto object = type->create();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->type_name(), "OmbrixProvidersContractsServer");
    EXPECT_EQ(object->get_property("ssh-port").get_uint(), 22u);
    EXPECT_EQ(object->get_property("provider").get_string(), "UNKNOWN");
    EXPECT_EQ(type->properties().size(), 30u);
    EXPECT_EQ(type->properties().front()->name, "uuid");
    EXPECT_EQ(type->properties().back()->name, "host-pick");
}

TEST(Object, GenericPropertyAccessNotifiesOnlyOnChange) {
    auto server = Server::create();
    std::vector<std::string> notified;
    server->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    EXPECT_TRUE(server->set_property("host", Core::Value::from_string("db1")));
    EXPECT_TRUE(server->set_property("host", Core::Value::from_string("db1")));
    server->set_port(3306);
    server->set_port(3306);
    EXPECT_EQ(notified, (std::vector<std::string>{"host", "port"}));
    EXPECT_EQ(server->get_property("host").get_string(), "db1");
}

TEST(Object, UnknownPropertiesWarnAndChangeNothing) {
    Testing::LogCapture log;
    auto server = Server::create();
    EXPECT_FALSE(server->set_property("no-such", Core::Value::from_int(1)));
    EXPECT_FALSE(server->get_property("no-such").is_valid());
    EXPECT_EQ(log.warnings().size(), 2u);
}

TEST(Object, DataSlotsHoldValuesUntilRemoved) {
    auto server = Server::create();
    EXPECT_FALSE(server->has_data("FILLED"));
    server->set_data("FILLED", Core::Value::from_int(1));
    ASSERT_NE(server->get_data("FILLED"), nullptr);
    EXPECT_EQ(server->get_data("FILLED")->get_int(), 1);
    server->set_data("FILLED", Core::Value());
    EXPECT_FALSE(server->has_data("FILLED"));
}
