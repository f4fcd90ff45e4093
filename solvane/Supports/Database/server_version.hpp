/// @file Server version texts read as numbers, so that "10.11.2" comes after "10.5.0".
#pragma once

#include <compare>
#include <optional>
#include <string_view>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// The major.minor.patch numbers of a version text such as "10.11.6-MariaDB-0+deb12u1" or
/// "8.0.36", and whether the server says it is MariaDB. Comparisons look at the numbers only.
struct OMBRIX_SOLVANE_EXPORT ServerVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    bool mariadb = false;

    /// Reads the leading numbers of `text`; a missing minor or patch number counts as 0. The
    /// "5.5.5-" prefix that old MariaDB servers put before their real version is skipped. Nothing
    /// when the text does not start with a number.
    static std::optional<ServerVersion> parse(std::string_view text);

    /// Whether this version is `major`.`minor`.`patch` or later.
    bool at_least(int major_wanted, int minor_wanted, int patch_wanted = 0) const;

    std::strong_ordering operator<=>(const ServerVersion& other) const;
    bool operator==(const ServerVersion& other) const;
};

/// Compares two version texts by their numbers; a text that cannot be read sorts before every
/// readable one (and two unreadable texts are equal).
OMBRIX_SOLVANE_EXPORT std::strong_ordering compare_versions(std::string_view left, std::string_view right);

}  // namespace Ombrix::Solvane::Supports::Database
