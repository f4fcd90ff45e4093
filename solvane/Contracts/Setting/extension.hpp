/// @file The extension section of the user's settings: the plug-ins to load.
#pragma once

#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// The plug-ins the host loads at start-up, as one text the host reads.
class OMBRIX_SOLVANE_EXPORT ExtensionSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(ExtensionSetting, Core::Object);

    /// The setter keeps a copy and notifies only when the text changes.
    OMBRIX_PROPERTY(std::string, loaded_plugins, "");

private:
    ExtensionSetting() = default;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
