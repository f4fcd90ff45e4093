// Connections through SSH tunnels to the sandbox server, served by a private sshd on loopback
// with its own host key, client key and configuration.
#include <arpa/inet.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "tests/support/log_records.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix;
using Providers::Contracts::Server;
using Solvane::Contracts::Database::DBStatus;
using Solvane::Supports::Database::MariaDBConnection;
using Solvane::Supports::Database::SshTunnel;
using Testing::Sandbox;
using LogLevel = Solvane::Contracts::Log::LogLevel;

bool accepts(unsigned port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

unsigned free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool alive(int pid) { return pid > 0 && kill(pid, 0) == 0; }

// A private sshd on a free loopback port; `password_user`, when given, may also log in by password.
class PrivateSshd {
public:
    explicit PrivateSshd(const std::string& password_user = {}) {
        m_port = free_port();
        const std::string dir = m_dir.path();
        if (!run("ssh-keygen -q -t ed25519 -N '' -f " + dir + "/host_key") ||
            !run("ssh-keygen -q -t ed25519 -N '' -f " + dir + "/client_key") ||
            !run("cp " + dir + "/client_key.pub " + dir + "/authorized_keys"))
            return;
        mkdir("/run/sshd", 0755);  // the privilege separation folder sshd insists on
        std::ofstream config(dir + "/sshd_config");
        config << "Port " << m_port << "\nListenAddress 127.0.0.1\nHostKey " << dir << "/host_key\n"
               << "PidFile " << dir << "/sshd.pid\nAuthorizedKeysFile " << dir << "/authorized_keys\n"
               << "StrictModes no\nUsePAM no\nPermitRootLogin yes\nAllowTcpForwarding yes\n"
               << "KbdInteractiveAuthentication no\n"
               << "PasswordAuthentication " << (password_user.empty() ? "no" : "yes") << "\n";
        if (!password_user.empty()) config << "AllowUsers root " << password_user << "\n";
        config.close();
        const gchar* argv[] = {"/usr/sbin/sshd", "-D", "-e", "-f", nullptr, nullptr};
        const std::string config_path = dir + "/sshd_config";
        argv[4] = config_path.c_str();
        // Its output goes nowhere (an inherited pipe would hold the test runner past the test),
        // and it ends with the test process even when that one dies without cleaning up.
        GSubprocessLauncher* launcher =
            g_subprocess_launcher_new(static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                                                    G_SUBPROCESS_FLAGS_STDERR_SILENCE));
        g_subprocess_launcher_set_child_setup(
            launcher, [](gpointer) { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, nullptr);
        m_process = g_subprocess_launcher_spawnv(launcher, argv, nullptr);
        g_object_unref(launcher);
        for (int i = 0; m_process && i < 200 && !accepts(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~PrivateSshd() {
        if (!m_process) return;
        g_subprocess_send_signal(m_process, SIGTERM);
        g_subprocess_wait(m_process, nullptr, nullptr);
        g_object_unref(m_process);
    }

    bool ready() const { return m_process && accepts(m_port); }
    unsigned port() const { return m_port; }
    std::string key() const { return m_dir.file("client_key"); }

private:
    Testing::TempDir m_dir;
    unsigned m_port = 0;
    GSubprocess* m_process = nullptr;
};

// The sandbox profile over a tunnel through `sshd`; the tunnel reaches the server as 127.0.0.1.
std::shared_ptr<Server> tunnelled_profile(const PrivateSshd& sshd) {
    auto server = Sandbox::get().profile();
    server->set_ssh_using(true);
    server->set_ssh_process("ssh");
    server->set_ssh_host("127.0.0.1");
    server->set_ssh_port(sshd.port());
    server->set_ssh_username("root");
    server->set_ssh_auth_type("publickey");
    server->set_ssh_key_private_file(sshd.key());
    return server;
}

const std::vector<std::string> kTestHostKeys{"StrictHostKeyChecking=no", "UserKnownHostsFile=/dev/null"};

class SshTunnelOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (Sandbox::get().port > 55535) GTEST_SKIP() << "the sandbox port plus 10000 is not a port";
        ASSERT_TRUE(m_sshd.ready()) << "the private sshd did not start";
    }
    PrivateSshd m_sshd;
};

TEST_F(SshTunnelOnServer, KeyTunnelCarriesTheConnectionAndEndsWithIt) {
    Testing::LogRecords log;
    auto server = tunnelled_profile(m_sshd);
    auto connection = MariaDBConnection::create();
    connection->set_ssh_options(kTestHostKeys);
    OMBRIX_ASSERT_DONE(connection->open(server, nullptr));
    EXPECT_EQ(connection->get_status(), DBStatus::Opened);
    EXPECT_EQ(connection->get_server(), server);  // the profile, not the loopback copy

    const unsigned local = Sandbox::get().port + 10000;
    auto tunnel = connection->get_tunnel();
    ASSERT_NE(tunnel, nullptr);
    EXPECT_EQ(tunnel->get_local_port(), local);
    const int pid = tunnel->get_pid();
    EXPECT_TRUE(alive(pid));
    EXPECT_TRUE(log.has(LogLevel::DEBUG, "launch ssh tunnel......"));
    EXPECT_TRUE(log.has(LogLevel::PLAIN, "Lauch ssh tunnel successfully."));
    EXPECT_TRUE(log.has(LogLevel::DEBUG, "connect to server: 127.0.0.1:" + std::to_string(local) + "......"));

    OMBRIX_ASSERT_OK(value, connection->execute_as_scalar("SELECT 40 + 2"));
    EXPECT_EQ(value->to_string(), "42");

    // Another connection to another target cannot take over the same local port.
    auto other = Sandbox::get().profile();
    other->set_host("localhost");
    other->set_ssh_using(true);
    other->set_ssh_host("127.0.0.1");
    other->set_ssh_port(m_sshd.port());
    other->set_ssh_username("root");
    other->set_ssh_auth_type("publickey");
    other->set_ssh_key_private_file(m_sshd.key());
    auto second = MariaDBConnection::create();
    second->set_ssh_options(kTestHostKeys);
    auto refused = second->open(other, nullptr);
    ASSERT_FALSE(refused.has_value());
    EXPECT_NE(refused.error().message.find("another server"), std::string::npos) << refused.error().message;
    // The tunnel's error is the caller's to report: no record of a failed launch of its own.
    EXPECT_FALSE(log.has(LogLevel::RISKY, "Failed to lauch ssh tunnel."));
    EXPECT_EQ(second->get_status(), DBStatus::Failed);

    // The connection itself may be pointed at that other target: its own old tunnel makes room.
    tunnel.reset();
    OMBRIX_ASSERT_DONE(connection->open(other, nullptr));
    EXPECT_FALSE(alive(pid));
    ASSERT_NE(connection->get_tunnel(), nullptr);
    const int repointed = connection->get_tunnel()->get_pid();
    EXPECT_TRUE(alive(repointed));
    OMBRIX_ASSERT_OK(through_other, connection->execute_as_scalar("SELECT 6 * 7"));
    EXPECT_EQ(through_other->to_string(), "42");
    // Opening the same target again keeps the tunnel that runs.
    OMBRIX_ASSERT_DONE(connection->reopen());
    EXPECT_EQ(connection->get_tunnel()->get_pid(), repointed);

    connection->close();
    EXPECT_EQ(connection->get_tunnel(), nullptr);
    EXPECT_FALSE(alive(repointed));
    EXPECT_FALSE(accepts(local));

    // A connection that goes away ends its tunnel too, and so does an open that fails.
    auto short_lived = MariaDBConnection::create();
    short_lived->set_ssh_options(kTestHostKeys);
    OMBRIX_ASSERT_DONE(short_lived->open(server, nullptr));
    const int second_pid = short_lived->get_tunnel()->get_pid();
    EXPECT_TRUE(alive(second_pid));
    short_lived.reset();
    EXPECT_FALSE(alive(second_pid));

    server->set_password("wrong");
    auto failing = MariaDBConnection::create();
    failing->set_ssh_options(kTestHostKeys);
    auto denied = failing->open(server, nullptr);
    ASSERT_FALSE(denied.has_value());
    EXPECT_EQ(denied.error().code, 1045);
    EXPECT_EQ(failing->get_tunnel(), nullptr);
    EXPECT_FALSE(accepts(local));
}

TEST_F(SshTunnelOnServer, ARefusedLoginFailsWithWhatTheClientSaid) {
    auto server = tunnelled_profile(m_sshd);
    server->set_ssh_key_private_file(m_sshd.key() + ".pub");  // not a private key
    auto connection = MariaDBConnection::create();
    connection->set_ssh_options(kTestHostKeys);
    auto opened = connection->open(server, nullptr);
    ASSERT_FALSE(opened.has_value());
    EXPECT_NE(opened.error().message.find("The SSH tunnel ended before it was ready: "), std::string::npos);
    EXPECT_NE(opened.error().message.find("Permission denied"), std::string::npos) << opened.error().message;
    EXPECT_EQ(connection->get_status(), DBStatus::Failed);
    EXPECT_EQ(connection->get_tunnel(), nullptr);
}

TEST_F(SshTunnelOnServer, AKilledTunnelEndsTheRunningStatementWithAClearError) {
    // Short limits for this process's sessions, back to the library's when the test ends.
    using Providers::Supports::MariaDBProvider;
    struct Limits {
        MariaDBProvider::Timeouts saved = MariaDBProvider::get_timeouts();
        Limits() { MariaDBProvider::set_timeouts({3, 3, 3}); }
        ~Limits() { MariaDBProvider::set_timeouts(saved); }
    } limits;
    auto connection = MariaDBConnection::create();
    connection->set_ssh_options(kTestHostKeys);
    OMBRIX_ASSERT_DONE(connection->open(tunnelled_profile(m_sshd), nullptr));
    const int pid = connection->get_tunnel()->get_pid();

    // The tunnel's program is killed while a statement runs through it.
    const std::string sleep = "SELECT SLEEP(30)";
    Core::Result<Providers::Contracts::ValuePtr> slept = nullptr;
    std::thread statement([&] { slept = connection->execute_as_scalar(sleep); });
    auto watcher = MariaDBConnection::create();
    OMBRIX_ASSERT_DONE(watcher->open(Sandbox::get().profile(), nullptr));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        auto seen = watcher->execute_as_scalar("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO = '" +
                                               sleep + "'");
        if (seen && (*seen)->to_string() == "1") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    statement.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count();
    EXPECT_LT(seconds, 10.0);
    ASSERT_FALSE(slept.has_value());
    EXPECT_EQ(slept.error().code, 2013) << slept.error().message;
    EXPECT_NE(slept.error().message.find("Lost connection to server"), std::string::npos) << slept.error().message;
    EXPECT_NE(slept.error().message.find("the SSH tunnel has ended"), std::string::npos) << slept.error().message;

    // What comes next fails at once, naming the tunnel, and the connection closes.
    const auto again = std::chrono::steady_clock::now();
    auto next = connection->execute_as_scalar("SELECT 1");
    ASSERT_FALSE(next.has_value());
    EXPECT_NE(next.error().message.find("the SSH tunnel has ended"), std::string::npos) << next.error().message;
    connection->close();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - again).count(), 10.0);
    EXPECT_FALSE(alive(pid));
    std::cout << "[fault] tunnel killed: " << seconds << " s after the kill: " << slept.error().message << " / then "
              << next.error().message << "\n";
}

TEST(SshTunnelPassword, PasswordTunnelRunsThroughSshpass) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a local user for password login needs root";
    if (Sandbox::get().port > 55535) GTEST_SKIP() << "the sandbox port plus 10000 is not a port";
    if (!run("command -v sshpass") || !run("command -v useradd")) GTEST_SKIP() << "sshpass or useradd is missing";
    const std::string user = "ombrixtun" + std::to_string(getpid() % 100000);
    const std::string password = "Tun'nel \"pass\" $1";
    if (!run("useradd --no-create-home --shell /bin/sh " + user)) GTEST_SKIP() << "cannot create a local user";
    struct RemoveUser {
        std::string name;
        ~RemoveUser() { run("userdel " + name); }
    } remove{user};
    {
        // chpasswd reads "user:password" lines; the password goes through a pipe, never a command line.
        FILE* pipe = popen("chpasswd", "w");
        ASSERT_NE(pipe, nullptr);
        fprintf(pipe, "%s:%s\n", user.c_str(), password.c_str());
        ASSERT_EQ(pclose(pipe), 0);
    }
    PrivateSshd sshd(user);
    ASSERT_TRUE(sshd.ready());

    auto server = tunnelled_profile(sshd);
    server->set_ssh_username(user);
    server->set_ssh_auth_type("password");
    server->set_ssh_key_private_file("");
    server->set_ssh_password(password);
    auto connection = MariaDBConnection::create();
    connection->set_ssh_options(kTestHostKeys);
    OMBRIX_ASSERT_DONE(connection->open(server, nullptr));
    auto tunnel = connection->get_tunnel();
    ASSERT_NE(tunnel, nullptr);
    EXPECT_EQ(tunnel->get_command().argv.front(), "sshpass");
    OMBRIX_ASSERT_OK(value, connection->execute_as_scalar("SELECT 7"));
    EXPECT_EQ(value->to_string(), "7");
    const int pid = tunnel->get_pid();
    tunnel.reset();
    connection->close();
    EXPECT_FALSE(alive(pid));

    server->set_ssh_password("wrong");
    auto refused = connection->open(server, nullptr);
    ASSERT_FALSE(refused.has_value());
    EXPECT_NE(refused.error().message.find("The SSH tunnel ended before it was ready: "), std::string::npos)
        << refused.error().message;
}

}  // namespace
