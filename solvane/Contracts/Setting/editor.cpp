#include "solvane/Contracts/Setting/editor.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

OMBRIX_DEFINE_TYPE(EditorSetting, "OmbrixSolvaneContractsSettingEditorSetting");

EditorSetting::EditorSetting() {
    // Open editors restyle themselves on one signal, whatever property changed.
    signal_notify().connect([this](std::string_view) { m_changed.emit(); });
}

}  // namespace Ombrix::Solvane::Contracts::Setting
