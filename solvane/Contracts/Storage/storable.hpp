/// @file The storage hook of the client's own objects.
#pragma once

#include <string_view>

#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Storage {

/// An object the client keeps somewhere (a file name, a key): the library only dispatches.
class OMBRIX_SOLVANE_EXPORT IStorable {
public:
    virtual ~IStorable() = default;

    [[nodiscard]] virtual Core::Status load(std::string_view location) = 0;
    [[nodiscard]] virtual Core::Status save(std::string_view location) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Storage
