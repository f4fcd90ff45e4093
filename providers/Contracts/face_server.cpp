#include "providers/Contracts/face_server.hpp"

#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

using Core::OmitDefault;
using Core::ReadWrite;

// ---------------------------------------------------------------- Server

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

OMBRIX_DEFINE_TYPE(Server, "OmbrixProvidersContractsServer");

void Server::set_provider(std::string_view value) { set_and_notify(m_provider, value, ombrix_name_provider); }
void Server::set_port(std::uint32_t value) {
    set_and_notify(m_port, static_cast<std::uint16_t>(value), ombrix_name_port);
}
void Server::set_ssh_port(std::uint32_t value) {
    set_and_notify(m_ssh_port, static_cast<std::uint16_t>(value), ombrix_name_ssh_port);
}
void Server::set_ssh_auth_type(std::string_view value) {
    set_and_notify(m_ssh_auth_type, value, ombrix_name_ssh_auth_type);
}
void Server::set_ssl_mode(std::string_view value) { set_and_notify(m_ssl_mode, value, ombrix_name_ssl_mode); }

std::string Server::Endpoint::text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<Server::Endpoint> Server::parse_endpoint(std::string_view text, std::uint16_t default_port) {
    Endpoint endpoint;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        endpoint.host.assign(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return std::nullopt;
            port = rest.substr(1);
        }
    } else if (const std::size_t colon = text.find(':');
               colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        endpoint.host.assign(text.substr(0, colon));
        port = text.substr(colon + 1);
    } else {
        endpoint.host.assign(text);
    }
    if (endpoint.host.empty()) return std::nullopt;
    endpoint.port = default_port;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
        const unsigned long value = std::stoul(std::string(port));
        if (value < 1 || value > 65535) return std::nullopt;
        endpoint.port = static_cast<std::uint16_t>(value);
    }
    return endpoint;
}

std::vector<Server::Endpoint> Server::endpoints() const {
    const std::uint16_t fallback = m_port != 0 ? m_port : 3306;
    std::vector<Endpoint> out;
    for (const auto& entry : m_hosts)
        if (auto endpoint = parse_endpoint(entry, fallback)) out.push_back(std::move(*endpoint));
    if (out.empty()) out.push_back({get_host(), fallback});
    return out;
}

// ---------------------------------------------------------------- ServerGroup

ServerGroup::ServerGroup() : m_servers(ServerList::create()) {}

std::shared_ptr<ServerGroup> ServerGroup::new_with_name(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto group = create();
    group->set_name(name);
    return group;
}

OMBRIX_DEFINE_TYPE(ServerGroup, "OmbrixProvidersContractsServerGroup");

void ServerGroup::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify(ombrix_name_name);
}

// ---------------------------------------------------------------- Organization

Organization::Organization() : m_groups(ServerGroupList::create()) {}

std::shared_ptr<Organization> Organization::new_with_name(std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto organization = create();
    organization->set_name(name);
    return organization;
}

OMBRIX_DEFINE_TYPE(Organization, "OmbrixProvidersContractsOrganization");

void Organization::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify(ombrix_name_name);
}

// ---------------------------------------------------------------- ServerSetting

ServerSetting::ServerSetting()
    : m_organizations(OrganizationList::create()), m_groups(ServerGroupList::create()), m_servers(ServerList::create()) {}

OMBRIX_DEFINE_TYPE(ServerSetting, "OmbrixProvidersContractsServerSetting");

void ServerSetting::set_groups(std::shared_ptr<ServerGroupList> groups) {
    set_and_notify(m_groups, std::move(groups), ombrix_name_groups);
}

void ServerSetting::set_servers(std::shared_ptr<ServerList> servers) {
    set_and_notify(m_servers, std::move(servers), ombrix_name_servers);
}

Core::Status ServerSetting::load(const std::string& filename) {
    m_filename = filename;
    auto root = Core::Json::parse_file(filename);
    OMBRIX_RETURN_IF_ERROR(root);
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

OMBRIX_DEFINE_TYPE(ServerVendors, "OmbrixProvidersContractsServerVendors");

}  // namespace Ombrix::Providers::Contracts
