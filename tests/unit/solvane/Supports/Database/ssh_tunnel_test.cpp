#include "solvane/Supports/Database/ssh_tunnel.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "solvane/Exceptions/sql_error.hpp"

using namespace Ombrix;
using Providers::Contracts::Server;
using Solvane::Supports::Database::build_tunnel_command;
using Strings = std::vector<std::string>;

namespace {

std::shared_ptr<Server> ssh_profile() {
    auto server = Server::new_with_provider("MariaDB");
    server->set_host("db.internal");
    server->set_port(3306);
    server->set_ssh_using(true);
    server->set_ssh_process("ssh");
    server->set_ssh_port(2222);
    server->set_ssh_username("alice");
    server->set_ssh_password("pa ss\"word$");
    return server;
}

}  // namespace

TEST(SshTunnel, PasswordTunnelRunsUnderSshpassWithThePasswordOnlyInTheEnvironment) {
    auto server = ssh_profile();
    auto command = build_tunnel_command(*server);
    ASSERT_TRUE(command.has_value()) << command.error().message;
    EXPECT_EQ(command->argv,
              (Strings{"sshpass", "-e", "ssh", "-N", "-o", "ExitOnForwardFailure=yes", "-o",
                       "StrictHostKeyChecking=accept-new", "-o", "ControlMaster=no", "-o", "ControlPath=none", "-o",
                       "ServerAliveInterval=30", "-o", "ServerAliveCountMax=3", "-o", "LogLevel=ERROR", "-p", "2222",
                       "-l", "alice", "-L", "127.0.0.1:13306:db.internal:3306", "db.internal"}));
    EXPECT_EQ(command->environment, (std::vector<std::pair<std::string, std::string>>{{"SSHPASS", "pa ss\"word$"}}));
    EXPECT_EQ(command->local_port, 13306);
    for (const auto& arg : command->argv) EXPECT_EQ(arg.find("word"), std::string::npos) << arg;
}

TEST(SshTunnel, KeyTunnelConnectsToTheSshHostAndPutsCallerOptionsFirst) {
    auto server = ssh_profile();
    server->set_ssh_host("bastion.example");
    server->set_ssh_auth_type("publickey");
    server->set_ssh_key_private_file("/keys/id_ed25519");
    auto command = build_tunnel_command(*server, {"StrictHostKeyChecking=no", "UserKnownHostsFile=/dev/null"});
    ASSERT_TRUE(command.has_value()) << command.error().message;
    EXPECT_EQ(command->argv,
              (Strings{"ssh", "-N", "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o",
                       "ExitOnForwardFailure=yes", "-o", "StrictHostKeyChecking=accept-new", "-o",
                       "ControlMaster=no", "-o", "ControlPath=none", "-o", "ServerAliveInterval=30", "-o",
                       "ServerAliveCountMax=3", "-o", "LogLevel=ERROR", "-o", "BatchMode=yes", "-o",
                       "IdentitiesOnly=yes", "-i", "/keys/id_ed25519", "-p", "2222", "-l", "alice", "-L",
                       "127.0.0.1:13306:db.internal:3306", "bastion.example"}));
    EXPECT_TRUE(command->environment.empty());
}

TEST(SshTunnel, PlinkGetsItsOwnOptions) {
    auto server = ssh_profile();
    server->set_ssh_process("C:\\Tools\\plink.exe");
    auto command = build_tunnel_command(*server);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->argv, (Strings{"sshpass", "-e", "C:\\Tools\\plink.exe", "-ssh", "-N", "-P", "2222", "-l",
                                      "alice", "-L", "127.0.0.1:13306:db.internal:3306", "db.internal"}));
}

TEST(SshTunnel, RefusesUnusablePortsAndNames) {
    auto server = ssh_profile();
    server->set_port(60000);
    auto command = build_tunnel_command(*server);
    ASSERT_FALSE(command.has_value());
    EXPECT_EQ(command.error().code, static_cast<int>(Solvane::Exceptions::SQLError::RANGE));
    EXPECT_NE(command.error().message.find("70000"), std::string::npos);

    server->set_port(55535);  // 65535 is still a port
    EXPECT_TRUE(build_tunnel_command(*server).has_value());

    server->set_host("-oProxyCommand=touch /tmp/x");
    EXPECT_FALSE(build_tunnel_command(*server).has_value());
    server->set_host("");
    EXPECT_FALSE(build_tunnel_command(*server).has_value());
}

TEST(SshTunnel, ForwardsToABracketedIpv6Address) {
    auto server = ssh_profile();
    server->set_host("fd00::5");
    auto command = build_tunnel_command(*server);
    ASSERT_TRUE(command.has_value());
    EXPECT_NE(std::find(command->argv.begin(), command->argv.end(), "127.0.0.1:13306:[fd00::5]:3306"),
              command->argv.end());
}

TEST(SshTunnel, ReportsWhatTheProgramSaidWhenItExitsEarly) {
    // A program that fails at once: its standard error becomes the error message.
    auto server = ssh_profile();
    server->set_ssh_auth_type("publickey");
    server->set_host("127.0.0.1");
    server->set_port(17);  // local port 10017
    server->set_ssh_process("/bin/sh");  // refuses ssh's options and says so on stderr
    auto tunnel = Solvane::Supports::Database::SshTunnel::acquire(server, {}, std::chrono::seconds(5));
    ASSERT_FALSE(tunnel.has_value());
    EXPECT_NE(tunnel.error().message.find("The SSH tunnel ended before it was ready: "), std::string::npos)
        << tunnel.error().message;
    EXPECT_NE(tunnel.error().message.find("-N"), std::string::npos) << tunnel.error().message;

    server->set_ssh_process("/nonexistent/ssh-client");
    tunnel = Solvane::Supports::Database::SshTunnel::acquire(server, {}, std::chrono::seconds(5));
    ASSERT_FALSE(tunnel.has_value());
    EXPECT_FALSE(tunnel.error().message.empty());
}
