#include "solvane/Contracts/Setting/extension.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(ExtensionSetting, "OmbrixSolvaneContractsSettingExtensionSetting");

}  // namespace Ombrix::Solvane::Contracts::Setting
