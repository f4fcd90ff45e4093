#include "solvane/Foundation/version.hpp"

namespace Ombrix::Solvane::Foundation {

const char* version() { return OMBRIX_VERSION; }

}  // namespace Ombrix::Solvane::Foundation
