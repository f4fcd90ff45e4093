/// @file The library's version.
#pragma once

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Foundation {

/// The version of libsolvane (and of the whole back end), "major.minor.patch".
OMBRIX_SOLVANE_EXPORT const char* version();

}  // namespace Ombrix::Solvane::Foundation
