/// @file The OpenSSL ciphers: AES-256-CBC keyed by a pass phrase, and RSA-2048 with OAEP padding.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Crypto/cipher.hpp"
#include "solvane/solvane_export.h"

// OpenSSL's handle types, kept out of this header.
struct evp_cipher_ctx_st;
struct evp_pkey_st;
struct evp_pkey_ctx_st;
struct bignum_st;

namespace Ombrix::Solvane::Supports::Crypto {

/// AES-256-CBC with PKCS#7 padding. Key and IV come from `EVP_BytesToKey` (SHA-1, two rounds, the
/// first 8 bytes of the salt, zero-padded when the salt is shorter) and every call starts from the
/// same IV, so equal plain texts give equal cipher texts. Stored profiles depend on this exact
/// derivation: changing it makes every protected password unreadable. Until `initialize` runs,
/// key and IV are all zero. Failures are Crypto errors with code -1.
class OMBRIX_SOLVANE_EXPORT OpenSSLSymmetricCipher final : public Core::Object,
                                                         public Contracts::Crypto::ISymmetricCipher {
public:
    ~OpenSSLSymmetricCipher() override;

    /// Fails with "Failed to generate Cipher key and iv" when the derivation fails.
    [[nodiscard]] Core::Status initialize(std::string_view key, std::string_view salt) override;
    /// n bytes give a buffer of n + 16 bytes holding n rounded up to the next whole block (a full
    /// padding block when n already is a multiple of 16); the bytes after the cipher text are zero.
    [[nodiscard]] Core::Result<Contracts::Crypto::CipherOutput> encrypt(std::span<const std::uint8_t> data) override;
    /// n bytes give a buffer of n + 1 bytes holding the plain text and a zero byte after it. A
    /// wrong key usually fails with "Failed to decrypt data finally" (the padding check), but may
    /// also yield garbage when the padding happens to verify.
    [[nodiscard]] Core::Result<Contracts::Crypto::CipherOutput> decrypt(std::span<const std::uint8_t> data) override;

    OMBRIX_CREATABLE_OBJECT(OpenSSLSymmetricCipher, Core::Object);

private:
    OpenSSLSymmetricCipher();

    std::string m_key_text;
    std::string m_salt_text;
    std::array<std::uint8_t, 32> m_key{};
    std::array<std::uint8_t, 32> m_iv{};  // the cipher uses the first 16 bytes
    evp_cipher_ctx_st* m_context = nullptr;  // reset and reused by every call
};

/// RSA-2048 with OAEP padding (OpenSSL's default parameters: SHA-1, so at most 214 bytes of plain
/// text per call). Keys are PEM files: SubjectPublicKeyInfo "PUBLIC KEY" and unencrypted PKCS#8
/// "PRIVATE KEY". There is no key until `initialize` or a successful load. Failures are Crypto
/// errors whose code is -1, or the failing OpenSSL call's result.
class OMBRIX_SOLVANE_EXPORT OpenSSLAsymmetricCipher final : public Core::Object,
                                                          public Contracts::Crypto::IAsymmetricCipher {
public:
    ~OpenSSLAsymmetricCipher() override;

    /// A new 2048-bit key with public exponent 65537. A generation that reports success without
    /// giving an RSA key fails with "Failed to set RSA engine to public key.".
    [[nodiscard]] Core::Status initialize() override;
    /// On success the loaded key is printed to standard output. A failed load leaves no key.
    [[nodiscard]] Core::Status load_public_key(std::string_view public_key_file) override;
    /// A key protected by a pass phrase fails to load (no pass phrase is asked for). The key is
    /// never printed. A failed load leaves no key.
    [[nodiscard]] Core::Status load_private_key(std::string_view private_key_file) override;
    /// Without a key both texts are empty apart from their zero byte.
    Contracts::Crypto::PemKeyPair save_key() const override;
    /// Writes the private key file first, then the public one, replacing existing files. The
    /// private key file is created with mode 0600 and the public key file with 0644 (less what the
    /// process's umask removes); neither is ever readable by others while it is being written.
    [[nodiscard]] Core::Status save_key_file(std::string_view public_key, std::string_view private_key) override;
    /// Works with a public or a private key; the buffer has the key's size in bytes.
    [[nodiscard]] Core::Result<Contracts::Crypto::CipherOutput> encrypt(std::span<const std::uint8_t> data) override;
    /// Needs a private key.
    [[nodiscard]] Core::Result<Contracts::Crypto::CipherOutput> decrypt(std::span<const std::uint8_t> data) override;

    /// Signing is not offered: always the Crypto error "signing is not supported" (an empty
    /// signature would pass for one).
    [[nodiscard]] Core::Result<std::vector<std::uint8_t>> sign(std::span<const std::uint8_t> data) const;

    /// The key generation `initialize` calls (OpenSSL's EVP_PKEY_keygen), replaced in tests; null
    /// puts OpenSSL's back.
    using Keygen = int (*)(evp_pkey_ctx_st* context, evp_pkey_st** key);
    static void set_keygen(Keygen keygen);

    /// Writes the current key's public part in PEM form to standard output; nothing without a key.
    void print_public() const;
    /// Writes the current private key in PEM form to standard output; nothing without a private key.
    void print_private() const;

    OMBRIX_CREATABLE_OBJECT(OpenSSLAsymmetricCipher, Core::Object);

private:
    OpenSSLAsymmetricCipher() = default;
    void replace_key(evp_pkey_st* key);

    bignum_st* m_exponent = nullptr;
    evp_pkey_st* m_key = nullptr;
};

}  // namespace Ombrix::Solvane::Supports::Crypto
