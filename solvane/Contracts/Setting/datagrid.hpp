/// @file The data-grid section of the user's settings: submission, row limit, font and cell colours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// How result grids submit edits, how many rows they fetch and how their cells are coloured
/// (colours are CSS "rgba(...)" texts).
class OMBRIX_SOLVANE_EXPORT DataGridSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(DataGridSetting, Core::Object);

    OMBRIX_PROPERTY(std::string, submit_mode, "live");
    OMBRIX_PROPERTY(std::int32_t, records_limit, 1000);
    OMBRIX_PROPERTY(std::string, font_with_size, "monospace 10");
    OMBRIX_PROPERTY(std::string, color_bg_dark, "rgba(0, 0, 0, 0.05)");
    OMBRIX_PROPERTY(std::string, color_bg_light, "rgba(255, 255, 255, 0.05)");
    OMBRIX_PROPERTY(std::string, color_bg_dirty, "rgba(245, 108, 108, 0.3)");
    OMBRIX_PROPERTY(std::string, color_text, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_integer, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_float, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_datetime, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_binary, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_spatial, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_compute, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_others, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_dbnull, "rgba(0, 0, 0, 1.0)");
    OMBRIX_PROPERTY(std::string, color_current, "rgba(204, 204, 204, 0.8)");

private:
    DataGridSetting() = default;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
