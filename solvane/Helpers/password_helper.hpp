/// @file Protection of the passwords a connection profile stores, and random passwords.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "providers/Contracts/face_server.hpp"
#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Helpers {

/// Static helpers. A profile's passwords are protected with the symmetric cipher registered in the
/// services, keyed by the current user's name and salted with the host name: the key is made from
/// the environment and stored nowhere, which binds stored passwords to one account on one machine.
/// This keeps casual readers of a profile file out but is no protection against anyone who can
/// read the file and knows whose it is; its format is fixed because existing profiles depend on it.
///
/// Every call initialises the shared registered cipher, so callers serialise these calls.
class OMBRIX_SOLVANE_EXPORT PasswordHelper {
public:
    PasswordHelper() = delete;

    static constexpr std::string_view NUMBERS = "1234567890";
    static constexpr std::string_view SPECIALS = "~!@#$%^&*<>;:,?";
    static constexpr std::string_view VOWELS = "aeiouAEIOU";
    static constexpr std::string_view CONSONANTS = "bcdfghjklmnpqrstvwxyzBCDFGHJKLMNPQRSTVWXYZ";

    /// Replaces each non-empty `password`, `ssh-password` (only with `ssh-using`) and `ssl-password`
    /// (only with `ssl-using`) by the Base64 text of its cipher text. A failure is logged as
    /// "encrypt password failed: %s" and stops there: fields already replaced stay replaced, the
    /// others stay in clear. A null server writes the critical "server != NULL".
    static void encrypt_password(const std::shared_ptr<Providers::Contracts::Server>& server);
    /// The reverse of `encrypt_password`, over the same fields; failures are logged as
    /// "decrypt password failed: %s".
    static void decrypt_password(const std::shared_ptr<Providers::Contracts::Server>& server);

    /// `length` characters; for each one a class (NUMBERS, SPECIALS, VOWELS, CONSONANTS) is chosen
    /// uniformly, then a character of that class uniformly, from the operating system's
    /// cryptographic random source. Fails only when that source cannot deliver.
    [[nodiscard]] static Core::Result<std::string> generate_password(std::size_t length);
};

}  // namespace Ombrix::Solvane::Helpers
