/// @file Connection profiles: servers, their groups and organizations, and the profile file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/Core/list_model.hpp"
#include "providers/Core/object.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Providers::Contracts {

/// One database server the user can open: where it is, how to log in, tunnel and TLS settings.
class OMBRIX_PROVIDERS_EXPORT Server final : public Core::Object {
public:
    /// Every property at its default: provider "UNKNOWN", ssh-port 22, ssh-auth-type "password", ssl-mode "require".
    static std::shared_ptr<Server> create();
    /// A profile of `provider` with a fresh upper-case UUID.
    static std::shared_ptr<Server> new_with_provider(std::string_view provider);

    /// Copies every writable property; with `new_uuid` the copy gets a fresh upper-case UUID.
    std::shared_ptr<Server> clone(bool new_uuid) const;

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::string& get_uuid() const { return m_uuid; }
    void set_uuid(std::string_view value);
    const std::string& get_provider() const { return m_provider; }
    void set_provider(std::string_view value);
    const std::string& get_driver() const { return m_driver; }
    void set_driver(std::string_view value);
    const std::string& get_title() const { return m_title; }
    void set_title(std::string_view value);
    const std::string& get_host() const { return m_host; }
    void set_host(std::string_view value);
    std::uint16_t get_port() const { return m_port; }
    /// Keeps the low 16 bits (70000 stores 4464).
    void set_port(std::uint32_t value);
    const std::string& get_username() const { return m_username; }
    void set_username(std::string_view value);
    const std::string& get_password() const { return m_password; }
    void set_password(std::string_view value);
    const std::string& get_initial() const { return m_initial; }
    void set_initial(std::string_view value);
    const std::string& get_filename() const { return m_filename; }
    void set_filename(std::string_view value);
    const std::string& get_location() const { return m_location; }
    void set_location(std::string_view value);
    const std::string& get_extensions() const { return m_extensions; }
    void set_extensions(std::string_view value);
    const std::vector<std::string>& get_databases() const { return m_databases; }
    void set_databases(std::vector<std::string> value);
    const std::string& get_options() const { return m_options; }
    void set_options(std::string_view value);
    bool get_ssh_using() const { return m_ssh_using; }
    void set_ssh_using(bool value);
    const std::string& get_ssh_process() const { return m_ssh_process; }
    void set_ssh_process(std::string_view value);
    const std::string& get_ssh_host() const { return m_ssh_host; }
    void set_ssh_host(std::string_view value);
    std::uint16_t get_ssh_port() const { return m_ssh_port; }
    /// Keeps the low 16 bits.
    void set_ssh_port(std::uint32_t value);
    const std::string& get_ssh_auth_type() const { return m_ssh_auth_type; }
    void set_ssh_auth_type(std::string_view value);
    const std::string& get_ssh_username() const { return m_ssh_username; }
    void set_ssh_username(std::string_view value);
    const std::string& get_ssh_password() const { return m_ssh_password; }
    void set_ssh_password(std::string_view value);
    const std::string& get_ssh_key_private_file() const { return m_ssh_key_private_file; }
    void set_ssh_key_private_file(std::string_view value);
    bool get_ssl_using() const { return m_ssl_using; }
    void set_ssl_using(bool value);
    const std::string& get_ssl_ca_file() const { return m_ssl_ca_file; }
    void set_ssl_ca_file(std::string_view value);
    const std::string& get_ssl_cert_file() const { return m_ssl_cert_file; }
    void set_ssl_cert_file(std::string_view value);
    const std::string& get_ssl_key_file() const { return m_ssl_key_file; }
    void set_ssl_key_file(std::string_view value);
    const std::string& get_ssl_mode() const { return m_ssl_mode; }
    void set_ssl_mode(std::string_view value);
    const std::string& get_ssl_password() const { return m_ssl_password; }
    void set_ssl_password(std::string_view value);

private:
    Server() = default;
    void set_text(std::string& field, std::string_view value, std::string_view name);

    std::string m_uuid;
    std::string m_provider = "UNKNOWN";
    std::string m_driver;
    std::string m_title;
    std::string m_host;
    std::uint16_t m_port = 0;
    std::string m_username;
    std::string m_password;
    std::string m_initial;
    std::string m_filename;
    std::string m_location;
    std::string m_extensions;
    std::vector<std::string> m_databases;
    std::string m_options;
    bool m_ssh_using = false;
    std::string m_ssh_process;
    std::string m_ssh_host;
    std::uint16_t m_ssh_port = 22;
    std::string m_ssh_auth_type = "password";
    std::string m_ssh_username;
    std::string m_ssh_password;
    std::string m_ssh_key_private_file;
    bool m_ssl_using = false;
    std::string m_ssl_ca_file;
    std::string m_ssl_cert_file;
    std::string m_ssl_key_file;
    std::string m_ssl_mode = "require";
    std::string m_ssl_password;
};

using ServerList = Core::ListModel<Server>;

/// A named group of servers.
class OMBRIX_PROVIDERS_EXPORT ServerGroup final : public Core::Object {
public:
    static std::shared_ptr<ServerGroup> create();
    static std::shared_ptr<ServerGroup> new_with_name(std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::string& get_name() const { return m_name; }
    void set_name(std::string_view name);
    const std::shared_ptr<ServerList>& get_servers() const { return m_servers; }
    /// Replaces the list reference (shared, not copied).
    void set_servers(std::shared_ptr<ServerList> servers);

private:
    ServerGroup();
    std::string m_name;
    std::shared_ptr<ServerList> m_servers;
};

using ServerGroupList = Core::ListModel<ServerGroup>;

/// A named organization holding groups of servers.
class OMBRIX_PROVIDERS_EXPORT Organization final : public Core::Object {
public:
    static std::shared_ptr<Organization> create();
    static std::shared_ptr<Organization> new_with_name(std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::string& get_name() const { return m_name; }
    void set_name(std::string_view name);
    const std::shared_ptr<ServerGroupList>& get_groups() const { return m_groups; }
    void set_groups(std::shared_ptr<ServerGroupList> groups);

private:
    Organization();
    std::string m_name;
    std::shared_ptr<ServerGroupList> m_groups;
};

using OrganizationList = Core::ListModel<Organization>;

/// The root of the profile tree, stored as one pretty-printed JSON file.
class OMBRIX_PROVIDERS_EXPORT ServerSetting final : public Core::Object {
public:
    using ChangedSignal = sigc::signal<void()>;

    static std::shared_ptr<ServerSetting> create();

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// Reads the tree from `filename` (remembered for `save` even when reading fails). Parse and
    /// read errors pass through; a root that is not a profile tree is "ServerSetting" -2.
    [[nodiscard]] Core::Status load(const std::string& filename);
    /// Writes the tree to the file last loaded, pretty-printed with an indent of 2.
    [[nodiscard]] Core::Status save() const;

    /// Adds `server` to the list the placement rules select; empty names mean "none". Emits `changed`.
    void append(const std::shared_ptr<Server>& server, std::string_view group_name, std::string_view org_name);
    /// Removes `server` (identity) from the list the same rules select. Emits `changed`.
    void remove(const std::shared_ptr<Server>& server, std::string_view group_name, std::string_view org_name);
    /// Every server of the tree: organizations' groups, then top-level groups, then loose servers.
    std::vector<std::shared_ptr<Server>> unite_servers() const;

    const std::shared_ptr<OrganizationList>& get_organizations() const { return m_organizations; }
    void set_organizations(std::shared_ptr<OrganizationList> organizations);
    const std::shared_ptr<ServerGroupList>& get_groups() const { return m_groups; }
    void set_groups(std::shared_ptr<ServerGroupList> groups);
    const std::shared_ptr<ServerList>& get_servers() const { return m_servers; }
    void set_servers(std::shared_ptr<ServerList> servers);

    const std::string& get_filename() const { return m_filename; }
    /// Emitted after every `append` and `remove`.
    ChangedSignal& signal_changed() { return m_changed; }

private:
    ServerSetting();
    ServerList* target_list(std::string_view group_name, std::string_view org_name) const;

    std::shared_ptr<OrganizationList> m_organizations;
    std::shared_ptr<ServerGroupList> m_groups;
    std::shared_ptr<ServerList> m_servers;
    std::string m_filename;
    ChangedSignal m_changed;
};

/// Vendor names a profile may carry (a registered type with no members of its own).
class OMBRIX_PROVIDERS_EXPORT ServerVendors final : public Core::Object {
public:
    static std::shared_ptr<ServerVendors> create();
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// The vendors this build can open.
    static constexpr std::array<std::string_view, 1> ARRAY_SUPPORT{"MariaDB"};
    /// The server vendors whose structure can be handled.
    static constexpr std::array<std::string_view, 5> ARRAY_STRUCTURE{"MariaDB", "MySQL", "Oracle", "PostgreSQL",
                                                                     "SQLServer"};
    /// Every vendor a profile may name.
    static constexpr std::array<std::string_view, 8> ARRAY_DATABASE{
        "Access", "Excel", "SQLite", "MariaDB", "MySQL", "Oracle", "PostgreSQL", "SQLServer"};
    /// The file-based vendors (those that use `filename`, `location` and `extensions`).
    static constexpr std::array<std::string_view, 3> ARRAY_LOCAL{"Access", "Excel", "SQLite"};

private:
    ServerVendors() = default;
};

}  // namespace Ombrix::Providers::Contracts
