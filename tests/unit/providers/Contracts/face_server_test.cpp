#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "providers/Contracts/face_server.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using Providers::Contracts::Organization;
using Providers::Contracts::Server;
using Providers::Contracts::ServerGroup;
using Providers::Contracts::ServerSetting;
using Providers::Contracts::ServerVendors;

namespace {

using Ombrix::Testing::TempDir;

bool is_upper_uuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return text[14] == '4';
}

std::vector<std::string> titles(const std::vector<std::shared_ptr<Server>>& servers) {
    std::vector<std::string> out;
    for (const auto& server : servers) out.push_back(server->get_title());
    return out;
}

std::shared_ptr<Server> titled(const std::string& title) {
    auto server = Server::new_with_provider("MariaDB");
    server->set_title(title);
    return server;
}

}  // namespace

// ---------------------------------------------------------------- Server

TEST(Server, NewHasTheConstructionDefaults) {
    auto server = Server::create();
    EXPECT_EQ(server->get_uuid(), "");
    EXPECT_EQ(server->get_provider(), "UNKNOWN");
    EXPECT_EQ(server->get_port(), 0);
    EXPECT_EQ(server->get_ssh_port(), 22);
    EXPECT_EQ(server->get_ssh_auth_type(), "password");
    EXPECT_EQ(server->get_ssl_mode(), "require");
    EXPECT_FALSE(server->get_ssh_using());
    EXPECT_FALSE(server->get_ssl_using());
    EXPECT_TRUE(server->get_databases().empty());
    EXPECT_TRUE(server->get_hosts().empty());
    EXPECT_EQ(server->get_host_pick(), "order");
    for (const auto* property : server->type_info().properties()) {
        if (property->kind != Core::ValueType::String) continue;
        const std::string name = property->name;
        if (name == "provider" || name == "ssh-auth-type" || name == "ssl-mode" || name == "host-pick") continue;
        EXPECT_EQ(server->get_property(name).get_string(), "") << name;
    }

    auto mariadb = Server::new_with_provider("MariaDB");
    EXPECT_EQ(mariadb->get_provider(), "MariaDB");
    EXPECT_TRUE(is_upper_uuid(mariadb->get_uuid())) << mariadb->get_uuid();
    EXPECT_NE(Server::new_with_provider("MariaDB")->get_uuid(), mariadb->get_uuid());
}

TEST(Server, CloneCopiesEveryPropertyIntoAnIndependentProfile) {
    auto source = Server::new_with_provider("MariaDB");
    source->set_title("prod");
    source->set_host("db1");
    source->set_port(3307);
    source->set_password("s3cret");
    source->set_databases({"app", "audit"});
    source->set_ssh_using(true);
    source->set_ssh_port(2222);
    source->set_ssl_mode("verify-full");

    auto same = source->clone(false);
    ASSERT_NE(same, source);
    for (const auto* property : source->type_info().properties())
        EXPECT_EQ(same->get_property(property->name), source->get_property(property->name)) << property->name;

    auto renewed = source->clone(true);
    EXPECT_TRUE(is_upper_uuid(renewed->get_uuid())) << renewed->get_uuid();
    EXPECT_NE(renewed->get_uuid(), source->get_uuid());
    EXPECT_EQ(renewed->get_host(), "db1");
    EXPECT_EQ(renewed->get_ssl_mode(), "verify-full");

    // The copy owns its strings and its list of databases.
    same->set_host("db2");
    same->set_databases({"other"});
    EXPECT_EQ(source->get_host(), "db1");
    EXPECT_EQ(source->get_databases(), (std::vector<std::string>{"app", "audit"}));
    source->set_title("changed");
    EXPECT_EQ(same->get_title(), "prod");
}

TEST(Server, PortsKeepTheLowSixteenBitsAndNotifyOnlyOnChange) {
    auto server = Server::create();
    std::vector<std::string> notified;
    server->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });

    server->set_port(70000);
    EXPECT_EQ(server->get_port(), 4464);
    server->set_port(4464);  // the same stored value: no notification
    server->set_ssh_port(65536 + 22);
    EXPECT_EQ(server->get_ssh_port(), 22);  // unchanged from the default: no notification
    server->set_ssh_port(70000);
    EXPECT_EQ(server->get_ssh_port(), 4464);
    EXPECT_TRUE(server->set_property("port", Core::Value::from_uint(65535 + 3307 + 1)));
    EXPECT_EQ(server->get_port(), 3307);

    server->set_host("db1");
    server->set_host("db1");
    server->set_ssl_using(true);
    server->set_ssl_using(true);
    server->set_databases({"a"});
    server->set_databases({"a"});
    server->set_provider("UNKNOWN");  // equal to the default
    EXPECT_EQ(notified, (std::vector<std::string>{"port", "ssh-port", "port", "host", "ssl-using", "databases"}));
}

// A server of several hosts: each entry read with its port, the profile's port where it gives
// none, and the profile's own host and port when it lists none.
TEST(Server, EndpointsReadEveryFormOfHostAndPort) {
    const struct {
        const char* text;
        std::optional<std::pair<std::string, std::uint16_t>> read;
    } cases[] = {
        {"db1", std::pair<std::string, std::uint16_t>{"db1", 3307}},
        {"db1:3310", std::pair<std::string, std::uint16_t>{"db1", 3310}},
        {"[::1]:3311", std::pair<std::string, std::uint16_t>{"::1", 3311}},
        {"[fe80::1]", std::pair<std::string, std::uint16_t>{"fe80::1", 3307}},
        {"::1", std::pair<std::string, std::uint16_t>{"::1", 3307}},
        {"", std::nullopt},
        {"[::1", std::nullopt},
        {"db1:0", std::nullopt},
        {"db1:65536", std::nullopt},
        {"db1:33a", std::nullopt},
        {"[::1]x", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto endpoint = Server::parse_endpoint(c.text, 3307);
        ASSERT_EQ(endpoint.has_value(), c.read.has_value()) << c.text;
        if (endpoint) {
            EXPECT_EQ(std::make_pair(endpoint->host, endpoint->port), *c.read) << c.text;
        }
    }
    EXPECT_EQ(Server::parse_endpoint("[::1]:3311", 1)->text(), "[::1]:3311");

    auto server = Server::create();
    server->set_host("one");
    EXPECT_EQ(server->endpoints().front().text(), "one:3306");
    server->set_port(3309);
    server->set_hosts({"a", "b:3310", "[::1]", "bad:x"});
    std::vector<std::string> texts;
    for (const auto& endpoint : server->endpoints()) texts.push_back(endpoint.text());
    EXPECT_EQ(texts, (std::vector<std::string>{"a:3309", "b:3310", "[::1]:3309"}));
}

TEST(Server, EveryPropertyStoresAndNotifiesUnderItsOwnName) {
    auto server = Server::create();
    std::vector<std::string> notified;
    server->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    const auto& properties = server->type_info().properties();
    ASSERT_EQ(properties.size(), 30u);
    for (const auto* property : properties) {
        SCOPED_TRACE(property->name);
        Core::Value value;
        switch (property->kind) {
            case Core::ValueType::String: value = Core::Value::from_string("v-" + property->name); break;
            case Core::ValueType::UInt: value = Core::Value::from_uint(1234); break;
            case Core::ValueType::Boolean: value = Core::Value::from_boolean(true); break;
            case Core::ValueType::Strv: value = Core::Value::from_strv({"d1", "d2"}); break;
            default: FAIL() << "unexpected kind";
        }
        notified.clear();
        ASSERT_TRUE(server->set_property(property->name, value));
        EXPECT_EQ(notified, std::vector<std::string>{property->name});
        EXPECT_EQ(server->get_property(property->name), value);
        ASSERT_TRUE(server->set_property(property->name, value));
        EXPECT_EQ(notified.size(), 1u);
    }
    EXPECT_EQ(server->get_ssh_key_private_file(), "v-ssh-key-private-file");
    EXPECT_EQ(server->get_ssl_password(), "v-ssl-password");
}

TEST(Server, NullTextsToTheConstructorsWriteACriticalAndMakeNothing) {
    Testing::LogCapture log;
    EXPECT_EQ(Server::new_with_provider(std::string_view()), nullptr);
    EXPECT_TRUE(log.has_critical("_provider != NULL"));
    EXPECT_EQ(ServerGroup::new_with_name(std::string_view()), nullptr);
    EXPECT_EQ(Organization::new_with_name(std::string_view()), nullptr);
    EXPECT_EQ(log.criticals().size(), 3u);
    EXPECT_TRUE(log.has_critical("name != NULL"));

    // An empty text is a name like any other.
    ASSERT_NE(ServerGroup::new_with_name(""), nullptr);
    ASSERT_NE(Organization::new_with_name(""), nullptr);
    auto blank = Server::new_with_provider("");
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->get_provider(), "");
    EXPECT_EQ(log.criticals().size(), 3u);
}

TEST(ServerVendors, ArraysListTheVendorsWithTheirLengths) {
    const auto* type = Core::TypeInfo::lookup("OmbrixProvidersContractsServerVendors");
    ASSERT_NE(type, nullptr);
    EXPECT_TRUE(type->properties().empty());
    auto made = type->create();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->type_name(), "OmbrixProvidersContractsServerVendors");


    EXPECT_EQ(ServerVendors::ARRAY_SUPPORT.size(), 1u);
    EXPECT_EQ(ServerVendors::ARRAY_SUPPORT[0], "MariaDB");
    EXPECT_EQ(ServerVendors::ARRAY_STRUCTURE.size(), 5u);
    EXPECT_EQ(std::vector<std::string_view>(ServerVendors::ARRAY_STRUCTURE.begin(), ServerVendors::ARRAY_STRUCTURE.end()),
              (std::vector<std::string_view>{"MariaDB", "MySQL", "Oracle", "PostgreSQL", "SQLServer"}));
    EXPECT_EQ(ServerVendors::ARRAY_DATABASE.size(), 8u);
    EXPECT_EQ(std::vector<std::string_view>(ServerVendors::ARRAY_DATABASE.begin(), ServerVendors::ARRAY_DATABASE.end()),
              (std::vector<std::string_view>{"Access", "Excel", "SQLite", "MariaDB", "MySQL", "Oracle", "PostgreSQL",
                                             "SQLServer"}));
    EXPECT_EQ(ServerVendors::ARRAY_LOCAL.size(), 3u);
    EXPECT_EQ(std::vector<std::string_view>(ServerVendors::ARRAY_LOCAL.begin(), ServerVendors::ARRAY_LOCAL.end()),
              (std::vector<std::string_view>{"Access", "Excel", "SQLite"}));
}

// ---------------------------------------------------------------- ServerSetting: placement

class ServerSettingTree : public ::testing::Test {
protected:
    void SetUp() override {
        setting = ServerSetting::create();
        acme = Organization::new_with_name("acme");
        acme_prod = ServerGroup::new_with_name("prod");
        acme->get_groups()->append(acme_prod);
        setting->get_organizations()->append(acme);
        top_prod = ServerGroup::new_with_name("prod");
        top_dev = ServerGroup::new_with_name("dev");
        setting->get_groups()->append(top_prod);
        setting->get_groups()->append(top_dev);
        setting->signal_changed().connect([this] { ++changed; });
    }

    std::shared_ptr<ServerSetting> setting;
    std::shared_ptr<Organization> acme;
    std::shared_ptr<ServerGroup> acme_prod, top_prod, top_dev;
    int changed = 0;
};

TEST_F(ServerSettingTree, AppendFollowsThePlacementWalk) {
    struct Case {
        const char* group;
        const char* org;
        std::shared_ptr<Providers::Contracts::ServerList> expected;
    };
    const std::vector<Case> cases{
        {"", "", setting->get_servers()},                 // no names: loose servers
        {"prod", "acme", acme_prod->get_servers()},       // the organization's group
        {"", "acme", setting->get_servers()},             // organization without a group name
        {"dev", "acme", setting->get_servers()},          // the group is not in that organization:
                                                          // loose servers, not the top-level "dev"
        {"prod", "nobody", top_prod->get_servers()},      // unknown organization: the top-level walk
        {"dev", "", top_dev->get_servers()},              // top-level group
        {"missing", "", setting->get_servers()},          // unknown group
        {"missing", "nobody", setting->get_servers()},    // nothing matches
        {"PROD", "", setting->get_servers()},             // names are case-sensitive
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("group '") + c.group + "' org '" + c.org + "'");
        auto server = titled("s");
        const int before = changed;
        setting->append(server, c.group, c.org);
        EXPECT_EQ(changed, before + 1);
        EXPECT_TRUE(c.expected->contains(server));
        const auto all = setting->unite_servers();
        EXPECT_EQ(std::count(all.begin(), all.end(), server), 1);
        // Removal takes the same walk and only touches that list.
        setting->remove(server, c.group, c.org);
        EXPECT_EQ(changed, before + 2);
        EXPECT_FALSE(c.expected->contains(server));
    }
    // Nothing was ever created by the walk.
    EXPECT_EQ(setting->get_organizations()->size(), 1u);
    EXPECT_EQ(setting->get_groups()->size(), 2u);
    EXPECT_EQ(acme->get_groups()->size(), 1u);
}

TEST_F(ServerSettingTree, RemoveUsesIdentityAndStillSignalsOnce) {
    auto a = titled("a");
    auto twin = a->clone(false);
    setting->append(a, "", "");
    setting->remove(twin, "", "");  // equal content, another object
    EXPECT_EQ(setting->get_servers()->size(), 1u);
    setting->remove(a, "dev", "");  // looked for in the wrong list
    EXPECT_EQ(setting->get_servers()->size(), 1u);
    setting->remove(a, "", "");
    EXPECT_EQ(setting->get_servers()->size(), 0u);
    EXPECT_EQ(changed, 4);

    Testing::LogCapture log;
    setting->append(nullptr, "", "");
    setting->remove(nullptr, "", "");
    EXPECT_EQ(changed, 4);
    EXPECT_TRUE(log.has_critical("server != NULL"));

    // A null name is refused before anything moves; "" is the way to say "none".
    setting->append(a, std::string_view(), "");
    setting->append(a, "", std::string_view());
    EXPECT_EQ(setting->get_servers()->size(), 0u);
    setting->append(a, "", "");
    setting->remove(a, std::string_view(), "");
    setting->remove(a, "", std::string_view());
    EXPECT_EQ(setting->get_servers()->size(), 1u);
    EXPECT_EQ(changed, 5);
    EXPECT_TRUE(log.has_critical("group_name != NULL"));
    EXPECT_TRUE(log.has_critical("org_name != NULL"));
    EXPECT_EQ(log.criticals().size(), 6u);
}

TEST_F(ServerSettingTree, UniteServersListsOrganizationsThenGroupsThenLooseServers) {
    auto second_org = Organization::new_with_name("beta");
    auto beta_g = ServerGroup::new_with_name("g");
    second_org->get_groups()->append(beta_g);
    setting->get_organizations()->append(second_org);

    auto shared = titled("shared");
    setting->append(titled("loose1"), "", "");
    setting->append(titled("dev1"), "dev", "");
    setting->append(titled("beta1"), "g", "beta");
    setting->append(titled("acme1"), "prod", "acme");
    setting->append(titled("prod1"), "prod", "");
    setting->append(titled("acme2"), "prod", "acme");
    setting->append(shared, "", "");
    setting->append(shared, "dev", "");  // duplicates stay

    EXPECT_EQ(titles(setting->unite_servers()),
              (std::vector<std::string>{"acme1", "acme2", "beta1", "prod1", "dev1", "shared", "loose1", "shared"}));
}

// ---------------------------------------------------------------- ServerSetting: file

TEST_F(ServerSettingTree, SaveAndLoadRoundTripTheWholeTree) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("servers.json");

    auto full = titled("full");
    full->set_host("db.example.org");
    full->set_port(3307);
    full->set_username("app");
    full->set_password("p\"w\\d");
    full->set_databases({"app", "audit"});
    full->set_ssh_using(true);
    full->set_ssh_host("bastion");
    full->set_ssh_port(2222);
    full->set_ssl_using(true);
    full->set_ssl_mode("verify-ca");
    auto plain = Server::create();  // every default, empty title
    setting->append(full, "prod", "acme");
    setting->append(titled("dev1"), "dev", "");
    setting->append(plain, "", "");

    // A profile tree never loaded has no file; saving there fails with the platform's error.
    ASSERT_FALSE(setting->save().has_value());
    ASSERT_FALSE(setting->load(path).has_value());  // not there yet, but the name is kept for saving
    EXPECT_EQ(setting->get_filename(), path);
    ASSERT_TRUE(setting->save().has_value());

    auto text = Core::read_file(path);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\n  \"organizations\": ["), std::string::npos) << *text;  // pretty, indent 2
    auto root = Core::Json::parse(*text);
    ASSERT_TRUE(root.has_value());
    const auto& loose = (*root)["servers"];
    ASSERT_EQ(loose.size(), 1u);
    EXPECT_FALSE(loose[0].contains("port"));
    EXPECT_FALSE(loose[0].contains("ssh-using"));
    EXPECT_FALSE(loose[0].contains("ssh-port"));
    EXPECT_FALSE(loose[0].contains("ssl-using"));
    ASSERT_TRUE(loose[0].contains("title"));
    EXPECT_EQ(loose[0]["title"], "");
    EXPECT_EQ(loose[0]["provider"], "UNKNOWN");
    const auto& written = (*root)["organizations"][0]["groups"][0]["servers"][0];
    EXPECT_EQ(written["port"], 3307);
    EXPECT_EQ(written["ssh-port"], 2222);
    EXPECT_EQ(written["ssh-using"], true);
    EXPECT_EQ(written["databases"], (nlohmann::ordered_json{"app", "audit"}));

    auto copy = ServerSetting::create();
    std::vector<std::string> notified;
    int copy_changed = 0;
    copy->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    copy->signal_changed().connect([&] { ++copy_changed; });
    ASSERT_TRUE(copy->load(path).has_value());
    EXPECT_EQ(notified, (std::vector<std::string>{"groups", "servers", "organizations"}));
    EXPECT_EQ(copy_changed, 0);

    ASSERT_EQ(copy->get_organizations()->size(), 1u);
    EXPECT_EQ(copy->get_organizations()->get(0)->get_name(), "acme");
    ASSERT_EQ(copy->get_groups()->size(), 2u);
    EXPECT_EQ(copy->get_groups()->get(1)->get_name(), "dev");
    const auto before = setting->unite_servers();
    const auto after = copy->unite_servers();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        for (const auto* property : before[i]->type_info().properties())
            EXPECT_EQ(after[i]->get_property(property->name), before[i]->get_property(property->name))
                << i << " " << property->name;
}

TEST(ServerSetting, LoadGivesMissingMembersTheirConstructionDefaults) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("hand.json");
    ASSERT_TRUE(Core::write_file(path, R"({
  "servers": [ { "title": "bare", "host": "h", "unknown-member": 1 }, null, 5, "text",
               { "title": "wide", "port": 70000, "databases": ["x"] },
               { "title": "floats", "port": 3306.9, "ssh-port": 1e300 }, { "ssh-port": -2.5 } ],
  "groups": "not a list",
  "organizations": [ { "name": "o" }, [] ]
})").has_value());

    auto setting = ServerSetting::create();
    ASSERT_TRUE(setting->load(path).has_value());
    // Elements that are not objects never become empty slots in a list.
    ASSERT_EQ(setting->get_servers()->size(), 4u);
    const auto bare = setting->get_servers()->get(0);
    EXPECT_EQ(bare->get_title(), "bare");
    EXPECT_EQ(bare->get_host(), "h");
    EXPECT_EQ(bare->get_ssl_mode(), "require");
    EXPECT_EQ(bare->get_ssh_port(), 22);
    EXPECT_EQ(bare->get_ssh_auth_type(), "password");
    EXPECT_EQ(bare->get_provider(), "UNKNOWN");
    EXPECT_EQ(bare->get_port(), 0);
    const auto wide = setting->get_servers()->get(1);
    EXPECT_EQ(wide->get_port(), 4464);
    EXPECT_EQ(wide->get_databases(), std::vector<std::string>{"x"});
    // A fraction is cut off; a number no unsigned integer holds does not fit and is passed over.
    EXPECT_EQ(setting->get_servers()->get(2)->get_port(), 3306);
    EXPECT_EQ(setting->get_servers()->get(2)->get_ssh_port(), 22);
    EXPECT_EQ(setting->get_servers()->get(3)->get_ssh_port(), 22);
    EXPECT_EQ(setting->get_groups()->size(), 0u);
    ASSERT_EQ(setting->get_organizations()->size(), 1u);
    EXPECT_EQ(setting->get_organizations()->get(0)->get_groups()->size(), 0u);
}

TEST(ServerSetting, LoadFailuresKeepTheListsAndReportTheirCause) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto setting = ServerSetting::create();
    setting->append(Server::create(), "", "");
    const auto servers = setting->get_servers();

    const std::string array_file = dir.file("array.json");
    ASSERT_TRUE(Core::write_file(array_file, "[ { \"servers\": [] } ]").has_value());
    auto status = setting->load(array_file);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "ServerSetting");
    EXPECT_EQ(status.error().code, -2);
    EXPECT_EQ(status.error().message, "Failed to load database setting file.");
    EXPECT_EQ(setting->get_filename(), array_file);

    const std::string missing = dir.file("missing.json");
    status = setting->load(missing);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-file-error-quark");
    EXPECT_EQ(status.error().code, G_FILE_ERROR_NOENT);
    EXPECT_EQ(setting->get_filename(), missing);

    // A syntax error, and a number no double holds (which the JSON library throws as out of range).
    for (const char* text : {"{ \"servers\": [ ", "{ \"servers\": [ { \"port\": 5E806 } ] }"}) {
        const std::string broken = dir.file("broken.json");
        ASSERT_TRUE(Core::write_file(broken, text).has_value());
        status = setting->load(broken);
        ASSERT_FALSE(status.has_value()) << text;
        EXPECT_EQ(status.error().domain, "JSON");
        EXPECT_FALSE(status.error().message.empty());
    }

    EXPECT_EQ(setting->get_servers(), servers);
    EXPECT_EQ(servers->size(), 1u);
}

TEST(ServerSetting, SaveToAnUnwritablePathPassesTheErrorThrough) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto setting = ServerSetting::create();
    const std::string path = dir.file("no-such-folder/servers.json");
    ASSERT_FALSE(setting->load(path).has_value());
    auto status = setting->save();
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-file-error-quark");
    EXPECT_EQ(status.error().code, G_FILE_ERROR_NOENT);
    EXPECT_FALSE(status.error().message.empty());
}
