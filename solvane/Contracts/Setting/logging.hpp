/// @file The logging section of the user's settings: log file size and level.
#pragma once

#include <cstdint>
#include <memory>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// The largest log file and the level the host logs at (the host's codes).
class OMBRIX_SOLVANE_EXPORT LoggingSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(LoggingSetting, Core::Object);

    OMBRIX_PROPERTY(std::uint32_t, file_size_max, 0);
    OMBRIX_PROPERTY(std::uint32_t, logger_level, 0);

private:
    LoggingSetting() = default;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
