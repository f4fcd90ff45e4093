#include "solvane/Contracts/Setting/general.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(GeneralSetting, "OmbrixSolvaneContractsSettingGeneralSetting");

// The registered default stays unset: "now" is a moment of each object, not of the class.
GeneralSetting::GeneralSetting() : m_broadcasting(Core::DateTime::now_utc()) {}

}  // namespace Ombrix::Solvane::Contracts::Setting
