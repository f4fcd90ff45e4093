// A hostile server asks for a local file in answer to an ordinary statement: the provider refuses.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#include "providers/Contracts/face_server.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "tests/support/log_capture.hpp"

namespace {

using Ombrix::Providers::Contracts::Server;

/// Just enough of a server to log anyone in, answer every statement with OK, and answer the one
/// statement naming "hostile" with a request for a local file. It records what the client sent
/// back to that request.
class FileAskingServer {
public:
    FileAskingServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FileAskingServer() {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        if (m_thread.joinable()) m_thread.join();
    }

    unsigned port() const { return m_port; }
    /// Every payload the client sent after the file request, back to back; "" for a refusal.
    const std::string& answered() const { return m_answered; }
    bool asked() const { return m_asked; }

private:
    static void put3(std::string& out, std::uint32_t n) {
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>((n >> 8) & 0xFF);
        out += static_cast<char>((n >> 16) & 0xFF);
    }
    bool send_packet(int fd, std::uint8_t sequence, const std::string& payload) {
        std::string packet;
        put3(packet, static_cast<std::uint32_t>(payload.size()));
        packet += static_cast<char>(sequence);
        packet += payload;
        return ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(packet.size());
    }
    bool read_exact(int fd, char* out, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::recv(fd, out, size, 0);
            if (n <= 0) return false;
            out += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool read_packet(int fd, std::uint8_t& sequence, std::string& payload) {
        unsigned char header[4];
        if (!read_exact(fd, reinterpret_cast<char*>(header), 4)) return false;
        const std::size_t size = header[0] | (header[1] << 8) | (header[2] << 16);
        sequence = header[3];
        payload.assign(size, '\0');
        return size == 0 || read_exact(fd, payload.data(), size);
    }
    static std::string ok() { return std::string("\x00\x00\x00\x02\x00\x00\x00", 7); }

    void serve() {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) return;
        // Protocol 10 greeting: version, thread id, scramble, capabilities (4.1 protocol, secure
        // connection, local files, plug-in authentication), utf8mb4, autocommit, plug-in name.
        const std::uint32_t capabilities = 0x00000001 | 0x00000008 | 0x00000080 | 0x00000200 | 0x00002000 |
                                           0x00008000 | 0x00010000 | 0x00020000 | 0x00080000;
        std::string greeting("\x0a", 1);
        greeting += std::string("5.5.5-10.11.0-fake", 18) + '\0';
        greeting += std::string("\x01\x00\x00\x00", 4);
        greeting += "abcdefgh";
        greeting += '\0';
        greeting += static_cast<char>(capabilities & 0xFF);
        greeting += static_cast<char>((capabilities >> 8) & 0xFF);
        greeting += static_cast<char>(45);
        greeting += std::string("\x02\x00", 2);
        greeting += static_cast<char>((capabilities >> 16) & 0xFF);
        greeting += static_cast<char>((capabilities >> 24) & 0xFF);
        greeting += static_cast<char>(21);
        greeting += std::string(10, '\0');
        greeting += "ijklmnopqrst";
        greeting += '\0';
        greeting += std::string("mysql_native_password") + '\0';
        std::uint8_t sequence = 0;
        std::string payload;
        if (send_packet(fd, 0, greeting) && read_packet(fd, sequence, payload) && send_packet(fd, sequence + 1, ok())) {
            while (read_packet(fd, sequence, payload) && !payload.empty() && payload[0] != 0x01) {
                if (payload.find("hostile") == std::string::npos) {
                    if (!send_packet(fd, sequence + 1, ok())) break;
                    continue;
                }
                m_asked = true;
                if (!send_packet(fd, sequence + 1, std::string("\xfb/etc/passwd", 12))) break;
                // The client sends the file's content in packets, then an empty packet; a refusal is
                // the empty packet alone.
                std::string content;
                while (read_packet(fd, sequence, content) && !content.empty()) m_answered += content;
                if (!send_packet(fd, sequence + 1, ok())) break;
            }
        }
        ::close(fd);
    }

    int m_listener = -1;
    unsigned m_port = 0;
    std::thread m_thread;
    std::string m_answered;
    bool m_asked = false;
};

TEST(MariaDBProvider, AFileRequestTheClientDidNotStartIsRefused) {
    // Whatever goes wrong, the test ends in seconds rather than waiting on the fake server.
    using Ombrix::Providers::Supports::MariaDBProvider;
    const auto before = MariaDBProvider::get_timeouts();
    MariaDBProvider::set_timeouts({10, 10, 10});
    struct Restore {
        MariaDBProvider::Timeouts timeouts;
        ~Restore() { MariaDBProvider::set_timeouts(timeouts); }
    } restore{before};
    FileAskingServer hostile;
    auto server = Server::new_with_provider("MariaDB");
    server->set_host("127.0.0.1");
    server->set_port(hostile.port());
    server->set_username("anyone");
    server->set_password("anything");
    auto provider = Ombrix::Providers::Supports::MariaDBProvider::create();
    ASSERT_TRUE(provider->open(server, "")) << "the fake server's log-in";

    Ombrix::Testing::LogCapture log;
    auto sneaky = provider->execute_affect("SELECT 'hostile'");
    EXPECT_FALSE(sneaky) << "an unrequested file load reported as done";
    if (!sneaky) {
        EXPECT_NE(sneaky.error().message.find("refuses to send local files"), std::string::npos)
            << sneaky.error().message;
    }
    provider->close();
    EXPECT_TRUE(hostile.asked());
    EXPECT_EQ(hostile.answered(), "") << "the client sent a local file's content";
}

}  // namespace
