#include "solvane/Contracts/Setting/datagrid.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(DataGridSetting, "OmbrixSolvaneContractsSettingDataGridSetting");

}  // namespace Ombrix::Solvane::Contracts::Setting
