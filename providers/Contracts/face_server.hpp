/// @file Connection profiles: servers, their groups and organizations, and the profile file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
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
    /// A profile of `provider` with a fresh upper-case UUID.
    static std::shared_ptr<Server> new_with_provider(std::string_view provider);

    /// Copies every writable property; with `new_uuid` the copy gets a fresh upper-case UUID.
    std::shared_ptr<Server> clone(bool new_uuid) const;

    /// `create()`: Every property at its default: provider "UNKNOWN", ssh-port 22, ssh-auth-type "password", ssl-mode "require".
    OMBRIX_CREATABLE_OBJECT(Server, Core::Object);

    OMBRIX_PROPERTY(std::string, uuid, "");
    OMBRIX_PROPERTY_VIA(std::string, provider, "", Core::ReadWrite);
    OMBRIX_PROPERTY(std::string, driver, "");
    OMBRIX_PROPERTY(std::string, title, "");
    OMBRIX_PROPERTY(std::string, host, "");
    OMBRIX_PROPERTY_VIA(std::uint32_t, port, 0, Core::ReadWrite | Core::OmitDefault);
    OMBRIX_PROPERTY(std::string, username, "");
    OMBRIX_PROPERTY(std::string, password, "");
    OMBRIX_PROPERTY(std::string, initial, "");
    OMBRIX_PROPERTY(std::string, filename, "");
    OMBRIX_PROPERTY(std::string, location, "");
    OMBRIX_PROPERTY(std::string, extensions, "");
    OMBRIX_PROPERTY(std::vector<std::string>, databases, std::vector<std::string>{});
    OMBRIX_PROPERTY(std::string, options, "");
    OMBRIX_PROPERTY_FLAGS(bool, ssh_using, false, Core::ReadWrite | Core::OmitDefault);
    OMBRIX_PROPERTY(std::string, ssh_process, "");
    OMBRIX_PROPERTY(std::string, ssh_host, "");
    OMBRIX_PROPERTY_VIA(std::uint32_t, ssh_port, 22, Core::ReadWrite | Core::OmitDefault);
    OMBRIX_PROPERTY_VIA(std::string, ssh_auth_type, "", Core::ReadWrite);
    OMBRIX_PROPERTY(std::string, ssh_username, "");
    OMBRIX_PROPERTY(std::string, ssh_password, "");
    OMBRIX_PROPERTY(std::string, ssh_key_private_file, "");
    OMBRIX_PROPERTY_FLAGS(bool, ssl_using, false, Core::ReadWrite | Core::OmitDefault);
    OMBRIX_PROPERTY(std::string, ssl_ca_file, "");
    OMBRIX_PROPERTY(std::string, ssl_cert_file, "");
    OMBRIX_PROPERTY(std::string, ssl_key_file, "");
    OMBRIX_PROPERTY_VIA(std::string, ssl_mode, "", Core::ReadWrite);
    OMBRIX_PROPERTY(std::string, ssl_password, "");
    /// Every host of a server reached at several (the nodes of a cluster), each "host", "host:port"
    /// or "[address]:port", in the order given; `host` and `port` hold the first. Empty for a
    /// server of one host.
    OMBRIX_PROPERTY_FLAGS(std::vector<std::string>, hosts, std::vector<std::string>{},
                          Core::ReadWrite | Core::OmitDefault);
    /// Which of `hosts` to try first: "order" (as listed) or "random".
    OMBRIX_PROPERTY(std::string, host_pick, "order");
    const std::string& get_provider() const { return m_provider; }
    void set_provider(std::string_view value);
    std::uint16_t get_port() const { return m_port; }
    /// Keeps the low 16 bits (70000 stores 4464).
    void set_port(std::uint32_t value);
    std::uint16_t get_ssh_port() const { return m_ssh_port; }
    /// Keeps the low 16 bits.
    void set_ssh_port(std::uint32_t value);
    const std::string& get_ssh_auth_type() const { return m_ssh_auth_type; }
    void set_ssh_auth_type(std::string_view value);
    const std::string& get_ssl_mode() const { return m_ssl_mode; }
    void set_ssl_mode(std::string_view value);

    /// A host and port to connect to.
    struct Endpoint {
        std::string host;
        std::uint16_t port = 0;
        /// "host:port", an IPv6 address in brackets.
        std::string text() const;
    };
    /// Reads "host", "host:port", "[address]" or "[address]:port" (an address with several colons
    /// and no brackets is all host); `default_port` where none is given. Nothing for an empty host,
    /// an unclosed bracket or a port outside 1 to 65535.
    static std::optional<Endpoint> parse_endpoint(std::string_view text, std::uint16_t default_port);
    /// Where the server can be reached: each of `hosts` (the port, where an entry gives none, is
    /// `port`, else 3306), or `host` and `port` when `hosts` is empty. Entries that do not read are
    /// left out.
    std::vector<Endpoint> endpoints() const;

private:
    Server() = default;

    std::string m_provider = "UNKNOWN";
    std::uint16_t m_port = 0;
    std::uint16_t m_ssh_port = 22;
    std::string m_ssh_auth_type = "password";
    std::string m_ssl_mode = "require";
};

using ServerList = Core::ListModel<Server>;

/// A named group of servers.
class OMBRIX_PROVIDERS_EXPORT ServerGroup final : public Core::Object {
public:
    static std::shared_ptr<ServerGroup> new_with_name(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(ServerGroup, Core::Object);

    OMBRIX_PROPERTY_SETTER(std::string, name, "");
    /// Replaces the list reference (shared, not copied).
    OMBRIX_PROPERTY(std::shared_ptr<ServerList>, servers, nullptr);

private:
    ServerGroup();
};

using ServerGroupList = Core::ListModel<ServerGroup>;

/// A named organization holding groups of servers.
class OMBRIX_PROVIDERS_EXPORT Organization final : public Core::Object {
public:
    static std::shared_ptr<Organization> new_with_name(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(Organization, Core::Object);

    OMBRIX_PROPERTY_SETTER(std::string, name, "");
    OMBRIX_PROPERTY(std::shared_ptr<ServerGroupList>, groups, nullptr);

private:
    Organization();
};

using OrganizationList = Core::ListModel<Organization>;

/// The root of the profile tree, stored as one pretty-printed JSON file.
class OMBRIX_PROVIDERS_EXPORT ServerSetting final : public Core::Object {
public:
    using ChangedSignal = sigc::signal<void()>;


    OMBRIX_CREATABLE_OBJECT(ServerSetting, Core::Object);

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

    OMBRIX_PROPERTY(std::shared_ptr<OrganizationList>, organizations, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<ServerGroupList>, groups, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<ServerList>, servers, nullptr);

    const std::string& get_filename() const { return m_filename; }
    /// Emitted after every `append` and `remove`.
    ChangedSignal& signal_changed() { return m_changed; }

private:
    ServerSetting();
    ServerList* target_list(std::string_view group_name, std::string_view org_name) const;

    std::string m_filename;
    ChangedSignal m_changed;
};

/// Vendor names a profile may carry (a registered type with no members of its own).
class OMBRIX_PROVIDERS_EXPORT ServerVendors final : public Core::Object {
public:
    OMBRIX_CREATABLE_OBJECT(ServerVendors, Core::Object);

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
