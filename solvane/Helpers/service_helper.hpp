/// @file The services the library looks up, each by its one key.
#pragma once

#include <memory>

#include "solvane/solvane_export.h"

namespace Ombrix::Providers::Contracts {
class ServerSetting;
}
namespace Ombrix::Solvane::Contracts::Crypto {
class ISymmetricCipher;
class IAsymmetricCipher;
}  // namespace Ombrix::Solvane::Contracts::Crypto
namespace Ombrix::Solvane::Contracts::Setting {
class UserSetting;
}

namespace Ombrix::Solvane::Helpers {

/// Each function resolves one service from the process-wide container: what the host registered
/// under that key, or null when nothing can stand behind it.
class OMBRIX_SOLVANE_EXPORT ServiceHelper {
public:
    ServiceHelper() = delete;

    /// The user's settings.
    static std::shared_ptr<Contracts::Setting::UserSetting> setting();
    /// The connection profiles.
    static std::shared_ptr<Providers::Contracts::ServerSetting> servers();
    /// The symmetric cipher that protects stored passwords.
    static std::shared_ptr<Contracts::Crypto::ISymmetricCipher> cipher();
    /// The public-key cipher.
    static std::shared_ptr<Contracts::Crypto::IAsymmetricCipher> pubkey();
};

}  // namespace Ombrix::Solvane::Helpers
