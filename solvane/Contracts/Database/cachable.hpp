/// @file The connection's string cache contract.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// Per-connection strings the host keeps across requests.
class OMBRIX_SOLVANE_EXPORT ICachable {
public:
    virtual ~ICachable() = default;
    /// Sets the value for `key`, replacing an earlier one.
    virtual void append(std::string_view key, std::string_view value) = 0;
    /// A copy of the value stored for `key`, if any.
    virtual std::optional<std::string> lookup(std::string_view key) const = 0;
    virtual void clear() = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
