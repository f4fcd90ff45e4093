#include "solvane/Contracts/Setting/logging.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(LoggingSetting, "OmbrixSolvaneContractsSettingLoggingSetting");

}  // namespace Ombrix::Solvane::Contracts::Setting
