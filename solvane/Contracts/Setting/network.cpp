#include "solvane/Contracts/Setting/network.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(NetworkSetting, "OmbrixSolvaneContractsSettingNetworkSetting");

}  // namespace Ombrix::Solvane::Contracts::Setting
