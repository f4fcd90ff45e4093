/// @file The network section of the user's settings: the proxy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// The proxy the host goes through; `proxy-type` is the host's code. The password is kept as
/// given, which is why the settings file is the owner's alone.
class OMBRIX_SOLVANE_EXPORT NetworkSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(NetworkSetting, Core::Object);

    OMBRIX_PROPERTY(bool, proxy_using, false);
    OMBRIX_PROPERTY(std::uint32_t, proxy_type, 0);
    OMBRIX_PROPERTY(std::string, proxy_host, "");
    OMBRIX_PROPERTY(std::uint32_t, proxy_port, 8080);
    OMBRIX_PROPERTY(std::string, proxy_username, "");
    OMBRIX_PROPERTY(std::string, proxy_password, "");

private:
    NetworkSetting() = default;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
