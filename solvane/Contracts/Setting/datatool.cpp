#include "solvane/Contracts/Setting/datatool.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(DataToolSetting, "OmbrixSolvaneContractsSettingDataToolSetting");

}  // namespace Ombrix::Solvane::Contracts::Setting
