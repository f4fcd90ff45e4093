#include "solvane/Helpers/service_helper.hpp"

#include "providers/Contracts/face_server.hpp"
#include "solvane/Contracts/Crypto/cipher.hpp"
#include "solvane/Contracts/Setting/setting.hpp"
#include "solvane/Foundation/services.hpp"

namespace Ombrix::Solvane::Helpers {

using Foundation::Services;

std::shared_ptr<Contracts::Setting::UserSetting> ServiceHelper::setting() {
    return Services::get<Contracts::Setting::UserSetting>();
}

std::shared_ptr<Providers::Contracts::ServerSetting> ServiceHelper::servers() {
    return Services::get<Providers::Contracts::ServerSetting>();
}

std::shared_ptr<Contracts::Crypto::ISymmetricCipher> ServiceHelper::cipher() {
    return Services::get<Contracts::Crypto::ISymmetricCipher>();
}

std::shared_ptr<Contracts::Crypto::IAsymmetricCipher> ServiceHelper::pubkey() {
    return Services::get<Contracts::Crypto::IAsymmetricCipher>();
}

}  // namespace Ombrix::Solvane::Helpers
