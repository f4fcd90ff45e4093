/// @file The cipher contracts: a pass-phrase cipher for stored secrets and a public-key cipher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Crypto {

/// The error domain of every cipher failure.
inline constexpr std::string_view kCryptoErrorDomain = "Crypto";

/// What an encryption or decryption produced: the whole output buffer and how many of its bytes
/// are valid (the buffer is sized before the operation runs, so it may be longer).
struct CipherOutput {
    std::vector<std::uint8_t> buffer;
    std::size_t length = 0;
};

/// Both halves of a key pair in PEM form, each with a terminating zero byte.
struct PemKeyPair {
    std::vector<std::uint8_t> public_key;
    std::vector<std::uint8_t> private_key;
};

/// A symmetric cipher keyed by a pass phrase and a salt. The operations keep this order;
/// implementations are Core::Objects. One object is not used from two threads at once.
class OMBRIX_SOLVANE_EXPORT ISymmetricCipher {
public:
    virtual ~ISymmetricCipher() = default;

    /// Derives key and IV from `key` and `salt`, replacing the earlier ones. Null views write the
    /// critical "key != NULL" / "salt != NULL".
    [[nodiscard]] virtual Core::Status initialize(std::string_view key, std::string_view salt) = 0;
    [[nodiscard]] virtual Core::Result<CipherOutput> encrypt(std::span<const std::uint8_t> data) = 0;
    [[nodiscard]] virtual Core::Result<CipherOutput> decrypt(std::span<const std::uint8_t> data) = 0;
};

/// A public-key cipher with PEM key files. The operations keep this order; implementations are
/// Core::Objects. One object is not used from two threads at once.
class OMBRIX_SOLVANE_EXPORT IAsymmetricCipher {
public:
    virtual ~IAsymmetricCipher() = default;

    /// Generates a new key pair, replacing the current key.
    [[nodiscard]] virtual Core::Status initialize() = 0;
    /// Replaces the current key with the public key read from a PEM file.
    [[nodiscard]] virtual Core::Status load_public_key(std::string_view public_key_file) = 0;
    /// Replaces the current key with the private key read from an unencrypted PEM file.
    [[nodiscard]] virtual Core::Status load_private_key(std::string_view private_key_file) = 0;
    /// The current key's public and private PEM texts.
    virtual PemKeyPair save_key() const = 0;
    /// Writes the current key's public and private PEM files.
    [[nodiscard]] virtual Core::Status save_key_file(std::string_view public_key, std::string_view private_key) = 0;
    [[nodiscard]] virtual Core::Result<CipherOutput> encrypt(std::span<const std::uint8_t> data) = 0;
    [[nodiscard]] virtual Core::Result<CipherOutput> decrypt(std::span<const std::uint8_t> data) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Crypto
