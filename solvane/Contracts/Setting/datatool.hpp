/// @file The data-tool section of the user's settings: external programs.
#pragma once

#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// The external editor the host opens cell values in.
class OMBRIX_SOLVANE_EXPORT DataToolSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(DataToolSetting, Core::Object);

    OMBRIX_PROPERTY(std::string, external_editor, "");

private:
    DataToolSetting() = default;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
