#include "solvane/Helpers/password_helper.hpp"

#include <glib.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <array>
#include <cstdint>
#include <span>

#include "solvane/Contracts/Crypto/cipher.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Helpers/service_helper.hpp"

namespace Ombrix::Solvane::Helpers {

using Contracts::Crypto::ISymmetricCipher;
using Contracts::Crypto::kCryptoErrorDomain;
using Providers::Contracts::Server;

namespace {

struct Field {
    const std::string& (Server::*get)() const;
    void (Server::*set)(std::string_view);
    bool (Server::*in_use)() const;  // null: always
};

constexpr std::array<Field, 3> kFields{{
    {&Server::get_password, &Server::set_password, nullptr},
    {&Server::get_ssh_password, &Server::set_ssh_password, &Server::get_ssh_using},
    {&Server::get_ssl_password, &Server::set_ssl_password, &Server::get_ssl_using},
}};

// The registered cipher, keyed for the current user on this machine.
Core::Result<std::shared_ptr<ISymmetricCipher>> user_cipher() {
    auto cipher = ServiceHelper::cipher();
    if (!cipher)
        return Core::fail(std::string(kCryptoErrorDomain), -1, "no symmetric cipher is registered");
    OMBRIX_RETURN_IF_ERROR(cipher->initialize(g_get_user_name(), g_get_host_name()));
    return cipher;
}

Core::Result<std::string> protect(ISymmetricCipher& cipher, const std::string& password) {
    auto out = cipher.encrypt(std::span(reinterpret_cast<const std::uint8_t*>(password.data()), password.size()));
    OMBRIX_RETURN_IF_ERROR(out);
    gchar* text = g_base64_encode(out->buffer.data(), out->length);
    std::string encoded(text);
    g_free(text);
    return encoded;
}

Core::Result<std::string> unprotect(ISymmetricCipher& cipher, const std::string& encoded) {
    gsize size = 0;
    guchar* bytes = g_base64_decode(encoded.c_str(), &size);
    auto out = cipher.decrypt(std::span<const std::uint8_t>(bytes, size));
    g_free(bytes);
    OMBRIX_RETURN_IF_ERROR(out);
    // The plain text ends at its first zero byte.
    std::string password(reinterpret_cast<const char*>(out->buffer.data()));
    OPENSSL_cleanse(out->buffer.data(), out->buffer.size());
    return password;
}

template <class Transform>
void transform_fields(Server& server, const char* failure, Transform transform) {
    auto cipher = user_cipher();
    if (!cipher) {
        Foundation::LoggingService::error(nullptr, failure, cipher.error().message.c_str());
        return;
    }
    for (const Field& field : kFields) {
        if (field.in_use && !(server.*field.in_use)()) continue;
        const std::string& value = (server.*field.get)();
        if (value.empty()) continue;
        auto replaced = transform(**cipher, value);
        if (!replaced) {
            Foundation::LoggingService::error(nullptr, failure, replaced.error().message.c_str());
            return;
        }
        (server.*field.set)(*replaced);
    }
}

// Uniform draws from RAND_bytes, a buffer of random bytes at a time.
class RandomSource {
public:
    ~RandomSource() { OPENSSL_cleanse(m_bytes.data(), m_bytes.size()); }

    // A number below `bound` (at most 256), without modulo bias: bytes from the incomplete last
    // run of `bound` values are drawn again.
    bool below(std::size_t bound, std::size_t& value) {
        const std::size_t limit = 256 - 256 % bound;
        for (;;) {
            if (m_next == m_bytes.size()) {
                if (RAND_bytes(m_bytes.data(), static_cast<int>(m_bytes.size())) != 1) return false;
                m_next = 0;
            }
            const std::size_t byte = m_bytes[m_next++];
            if (byte < limit) {
                value = byte % bound;
                return true;
            }
        }
    }

private:
    std::array<unsigned char, 64> m_bytes{};
    std::size_t m_next = m_bytes.size();
};

}  // namespace

void PasswordHelper::encrypt_password(const std::shared_ptr<Server>& server) {
    OMBRIX_RETURN_IF_NULL(server);
    transform_fields(*server, "encrypt password failed: %s", protect);
}

void PasswordHelper::decrypt_password(const std::shared_ptr<Server>& server) {
    OMBRIX_RETURN_IF_NULL(server);
    transform_fields(*server, "decrypt password failed: %s", unprotect);
}

Core::Result<std::string> PasswordHelper::generate_password(std::size_t length) {
    static constexpr std::array<std::string_view, 4> kClasses{NUMBERS, SPECIALS, VOWELS, CONSONANTS};
    RandomSource random;
    std::string password;
    password.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::size_t which = 0;
        std::size_t pick = 0;
        if (!random.below(kClasses.size(), which) || !random.below(kClasses[which].size(), pick)) {
            OPENSSL_cleanse(password.data(), password.size());
            return Core::fail(std::string(kCryptoErrorDomain), -1, "Failed to generate random bytes");
        }
        password += kClasses[which][pick];
    }
    return password;
}

}  // namespace Ombrix::Solvane::Helpers
