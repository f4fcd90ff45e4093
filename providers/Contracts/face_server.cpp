#include "providers/Contracts/face_server.hpp"

#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

using Core::OmitDefault;
using Core::ReadWrite;

// ---------------------------------------------------------------- Server

std::shared_ptr<Server> Server::create() { return std::shared_ptr<Server>(new Server()); }

std::shared_ptr<Server> Server::new_with_provider(std::string_view provider) {
    if (provider.data() == nullptr) [[unlikely]] {
        // The condition reads as the exported constructor names its argument.
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "_provider != NULL");
        return nullptr;
    }
    auto server = create();
    server->set_provider(provider);
    server->set_uuid(Core::random_uuid_upper());
    return server;
}

std::shared_ptr<Server> Server::clone(bool new_uuid) const {
    auto copy = create();
    for (const Core::PropertySpec* property : type_info().properties()) {
        if (property->writable()) property->setter(*copy, property->getter(*this));
    }
    if (new_uuid) copy->set_uuid(Core::random_uuid_upper());
    return copy;
}

const Core::TypeInfo& Server::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<Server, Core::Object>("OmbrixProvidersContractsServer")
            .property("uuid", &Server::get_uuid, &Server::set_uuid, "")
            .property("provider", &Server::get_provider, &Server::set_provider, "")
            .property("driver", &Server::get_driver, &Server::set_driver, "")
            .property("title", &Server::get_title, &Server::set_title, "")
            .property("host", &Server::get_host, &Server::set_host, "")
            .property<std::uint32_t>("port", &Server::get_port, &Server::set_port, 0, ReadWrite | OmitDefault)
            .property("username", &Server::get_username, &Server::set_username, "")
            .property("password", &Server::get_password, &Server::set_password, "")
            .property("initial", &Server::get_initial, &Server::set_initial, "")
            .property("filename", &Server::get_filename, &Server::set_filename, "")
            .property("location", &Server::get_location, &Server::set_location, "")
            .property("extensions", &Server::get_extensions, &Server::set_extensions, "")
            .property("databases", &Server::get_databases, &Server::set_databases, std::vector<std::string>{})
            .property("options", &Server::get_options, &Server::set_options, "")
            .property("ssh-using", &Server::get_ssh_using, &Server::set_ssh_using, false, ReadWrite | OmitDefault)
            .property("ssh-process", &Server::get_ssh_process, &Server::set_ssh_process, "")
            .property("ssh-host", &Server::get_ssh_host, &Server::set_ssh_host, "")
            .property<std::uint32_t>("ssh-port", &Server::get_ssh_port, &Server::set_ssh_port, 22,
                                     ReadWrite | OmitDefault)
            .property("ssh-auth-type", &Server::get_ssh_auth_type, &Server::set_ssh_auth_type, "")
            .property("ssh-username", &Server::get_ssh_username, &Server::set_ssh_username, "")
            .property("ssh-password", &Server::get_ssh_password, &Server::set_ssh_password, "")
            .property("ssh-key-private-file", &Server::get_ssh_key_private_file, &Server::set_ssh_key_private_file, "")
            .property("ssl-using", &Server::get_ssl_using, &Server::set_ssl_using, false, ReadWrite | OmitDefault)
            .property("ssl-ca-file", &Server::get_ssl_ca_file, &Server::set_ssl_ca_file, "")
            .property("ssl-cert-file", &Server::get_ssl_cert_file, &Server::set_ssl_cert_file, "")
            .property("ssl-key-file", &Server::get_ssl_key_file, &Server::set_ssl_key_file, "")
            .property("ssl-mode", &Server::get_ssl_mode, &Server::set_ssl_mode, "")
            .property("ssl-password", &Server::get_ssl_password, &Server::set_ssl_password, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(Server);

void Server::set_text(std::string& field, std::string_view value, std::string_view name) {
    if (field == value) return;
    field.assign(value);
    notify(name);
}

void Server::set_uuid(std::string_view value) { set_text(m_uuid, value, "uuid"); }
void Server::set_provider(std::string_view value) { set_text(m_provider, value, "provider"); }
void Server::set_driver(std::string_view value) { set_text(m_driver, value, "driver"); }
void Server::set_title(std::string_view value) { set_text(m_title, value, "title"); }
void Server::set_host(std::string_view value) { set_text(m_host, value, "host"); }
void Server::set_port(std::uint32_t value) { set_and_notify(m_port, static_cast<std::uint16_t>(value), "port"); }
void Server::set_username(std::string_view value) { set_text(m_username, value, "username"); }
void Server::set_password(std::string_view value) { set_text(m_password, value, "password"); }
void Server::set_initial(std::string_view value) { set_text(m_initial, value, "initial"); }
void Server::set_filename(std::string_view value) { set_text(m_filename, value, "filename"); }
void Server::set_location(std::string_view value) { set_text(m_location, value, "location"); }
void Server::set_extensions(std::string_view value) { set_text(m_extensions, value, "extensions"); }
void Server::set_databases(std::vector<std::string> value) { set_and_notify(m_databases, std::move(value), "databases"); }
void Server::set_options(std::string_view value) { set_text(m_options, value, "options"); }
void Server::set_ssh_using(bool value) { set_and_notify(m_ssh_using, value, "ssh-using"); }
void Server::set_ssh_process(std::string_view value) { set_text(m_ssh_process, value, "ssh-process"); }
void Server::set_ssh_host(std::string_view value) { set_text(m_ssh_host, value, "ssh-host"); }
void Server::set_ssh_port(std::uint32_t value) {
    set_and_notify(m_ssh_port, static_cast<std::uint16_t>(value), "ssh-port");
}
void Server::set_ssh_auth_type(std::string_view value) { set_text(m_ssh_auth_type, value, "ssh-auth-type"); }
void Server::set_ssh_username(std::string_view value) { set_text(m_ssh_username, value, "ssh-username"); }
void Server::set_ssh_password(std::string_view value) { set_text(m_ssh_password, value, "ssh-password"); }
void Server::set_ssh_key_private_file(std::string_view value) {
    set_text(m_ssh_key_private_file, value, "ssh-key-private-file");
}
void Server::set_ssl_using(bool value) { set_and_notify(m_ssl_using, value, "ssl-using"); }
void Server::set_ssl_ca_file(std::string_view value) { set_text(m_ssl_ca_file, value, "ssl-ca-file"); }
void Server::set_ssl_cert_file(std::string_view value) { set_text(m_ssl_cert_file, value, "ssl-cert-file"); }
void Server::set_ssl_key_file(std::string_view value) { set_text(m_ssl_key_file, value, "ssl-key-file"); }
void Server::set_ssl_mode(std::string_view value) { set_text(m_ssl_mode, value, "ssl-mode"); }
void Server::set_ssl_password(std::string_view value) { set_text(m_ssl_password, value, "ssl-password"); }

// ---------------------------------------------------------------- ServerGroup

ServerGroup::ServerGroup() : m_servers(ServerList::create()) {}

std::shared_ptr<ServerGroup> ServerGroup::create() { return std::shared_ptr<ServerGroup>(new ServerGroup()); }

std::shared_ptr<ServerGroup> ServerGroup::new_with_name(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto group = create();
    group->set_name(name);
    return group;
}

const Core::TypeInfo& ServerGroup::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ServerGroup, Core::Object>("OmbrixProvidersContractsServerGroup")
            .property("name", &ServerGroup::get_name, &ServerGroup::set_name, "")
            .property("servers", &ServerGroup::get_servers, &ServerGroup::set_servers, nullptr)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ServerGroup);

void ServerGroup::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify("name");
}

void ServerGroup::set_servers(std::shared_ptr<ServerList> servers) {
    set_and_notify(m_servers, std::move(servers), "servers");
}

// ---------------------------------------------------------------- Organization

Organization::Organization() : m_groups(ServerGroupList::create()) {}

std::shared_ptr<Organization> Organization::create() { return std::shared_ptr<Organization>(new Organization()); }

std::shared_ptr<Organization> Organization::new_with_name(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto organization = create();
    organization->set_name(name);
    return organization;
}

const Core::TypeInfo& Organization::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<Organization, Core::Object>("OmbrixProvidersContractsOrganization")
            .property("name", &Organization::get_name, &Organization::set_name, "")
            .property("groups", &Organization::get_groups, &Organization::set_groups, nullptr)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(Organization);

void Organization::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify("name");
}

void Organization::set_groups(std::shared_ptr<ServerGroupList> groups) {
    set_and_notify(m_groups, std::move(groups), "groups");
}

// ---------------------------------------------------------------- ServerSetting

ServerSetting::ServerSetting()
    : m_organizations(OrganizationList::create()), m_groups(ServerGroupList::create()), m_servers(ServerList::create()) {}

std::shared_ptr<ServerSetting> ServerSetting::create() { return std::shared_ptr<ServerSetting>(new ServerSetting()); }

const Core::TypeInfo& ServerSetting::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ServerSetting, Core::Object>("OmbrixProvidersContractsServerSetting")
            .property("organizations", &ServerSetting::get_organizations, &ServerSetting::set_organizations, nullptr)
            .property("groups", &ServerSetting::get_groups, &ServerSetting::set_groups, nullptr)
            .property("servers", &ServerSetting::get_servers, &ServerSetting::set_servers, nullptr)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ServerSetting);

void ServerSetting::set_organizations(std::shared_ptr<OrganizationList> organizations) {
    set_and_notify(m_organizations, std::move(organizations), "organizations");
}

void ServerSetting::set_groups(std::shared_ptr<ServerGroupList> groups) {
    set_and_notify(m_groups, std::move(groups), "groups");
}

void ServerSetting::set_servers(std::shared_ptr<ServerList> servers) {
    set_and_notify(m_servers, std::move(servers), "servers");
}

Core::Status ServerSetting::load(const std::string& filename) {
    m_filename = filename;
    auto root = Core::Json::parse_file(filename);
    if (!root) return Core::fail(root.error());
    auto loaded = std::dynamic_pointer_cast<ServerSetting>(Core::Json::deserialize(*root, static_type()));
    if (!loaded) return Core::fail("ServerSetting", -2, Core::tr("Failed to load database setting file."));
    set_groups(loaded->m_groups);
    set_servers(loaded->m_servers);
    set_organizations(loaded->m_organizations);
    return {};
}

Core::Status ServerSetting::save() const {
    const std::string text = Core::Json::to_pretty(Core::Json::serialize(*this), 2);
    // The file holds passwords: the owner's alone, wherever it is kept.
    auto written = Core::write_private_file(m_filename, text);
    if (!written) {
        if (written.error().message.empty())
            return Core::fail(std::string(Core::kIoErrorDomain), 0, m_filename);
        return written;
    }
    return {};
}

ServerList* ServerSetting::target_list(std::string_view group_name, std::string_view org_name) const {
    auto find_group = [&](const std::shared_ptr<ServerGroupList>& groups) -> ServerList* {
        if (!groups) return nullptr;
        for (const auto& group : *groups)
            if (group && group->get_name() == group_name) return group->get_servers().get();
        return nullptr;
    };
    if (!org_name.empty() && m_organizations) {
        for (const auto& organization : *m_organizations) {
            if (!organization || organization->get_name() != org_name) continue;
            // An organization matched: its group, or the top-level list when the group is not in it.
            if (!group_name.empty()) {
                if (ServerList* list = find_group(organization->get_groups())) return list;
            }
            return m_servers.get();
        }
    }
    if (!group_name.empty()) {
        if (ServerList* list = find_group(m_groups)) return list;
    }
    return m_servers.get();
}

void ServerSetting::append(const std::shared_ptr<Server>& server, std::string_view group_name,
                           std::string_view org_name) {
    OMBRIX_RETURN_IF_NULL(server);
    OMBRIX_RETURN_IF_NULL_VIEW(group_name);
    OMBRIX_RETURN_IF_NULL_VIEW(org_name);
    if (ServerList* list = target_list(group_name, org_name)) list->append(server);
    m_changed.emit();
}

void ServerSetting::remove(const std::shared_ptr<Server>& server, std::string_view group_name,
                           std::string_view org_name) {
    OMBRIX_RETURN_IF_NULL(server);
    OMBRIX_RETURN_IF_NULL_VIEW(group_name);
    OMBRIX_RETURN_IF_NULL_VIEW(org_name);
    if (ServerList* list = target_list(group_name, org_name)) list->remove(server);
    m_changed.emit();
}

std::vector<std::shared_ptr<Server>> ServerSetting::unite_servers() const {
    std::vector<std::shared_ptr<Server>> all;
    auto add_group = [&](const std::shared_ptr<ServerGroup>& group) {
        if (!group || !group->get_servers()) return;
        for (const auto& server : *group->get_servers()) all.push_back(server);
    };
    if (m_organizations)
        for (const auto& organization : *m_organizations)
            if (organization && organization->get_groups())
                for (const auto& group : *organization->get_groups()) add_group(group);
    if (m_groups)
        for (const auto& group : *m_groups) add_group(group);
    if (m_servers)
        for (const auto& server : *m_servers) all.push_back(server);
    return all;
}

// ---------------------------------------------------------------- ServerVendors

std::shared_ptr<ServerVendors> ServerVendors::create() { return std::shared_ptr<ServerVendors>(new ServerVendors()); }

const Core::TypeInfo& ServerVendors::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ServerVendors, Core::Object>("OmbrixProvidersContractsServerVendors").build();
    return info;
}
OMBRIX_REGISTER_TYPE(ServerVendors);

}  // namespace Ombrix::Providers::Contracts
