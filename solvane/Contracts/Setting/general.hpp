/// @file The general section of the user's settings: window geometry, look and start-up behaviour.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Core/datetime.hpp"
#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// Window geometry, locale, colour scheme, title and tool bars, start page and update checks. The
/// numeric codes (`window-state`, `user-locale`, `color-scheme`, `starter-page`, `snippet-mode`)
/// mean what the host makes of them.
class OMBRIX_SOLVANE_EXPORT GeneralSetting final : public Core::Object {
    OMBRIX_CREATABLE_OBJECT(GeneralSetting, Core::Object);

    OMBRIX_PROPERTY(std::int32_t, window_left, 0);
    OMBRIX_PROPERTY(std::int32_t, window_top, 0);
    OMBRIX_PROPERTY(std::int32_t, window_width, 0);
    OMBRIX_PROPERTY(std::int32_t, window_height, 0);
    OMBRIX_PROPERTY(std::int32_t, window_state, 0);
    OMBRIX_PROPERTY(std::uint32_t, user_locale, 0);
    OMBRIX_PROPERTY(std::uint32_t, color_scheme, 0);
    /// The current time (UTC) when the object is made; written as ISO 8601 ("" when unset).
    OMBRIX_PROPERTY(Core::DateTime, broadcasting, Core::DateTime());
    OMBRIX_PROPERTY(std::string, titlebar_background, "none");
    OMBRIX_PROPERTY(bool, toolbar_main_icon, false);
    OMBRIX_PROPERTY(bool, toolbar_main_text, true);
    OMBRIX_PROPERTY(bool, toolbar_minor_text, true);
    OMBRIX_PROPERTY(std::uint32_t, starter_page, 0);
    /// Spelled so in the settings file.
    OMBRIX_PROPERTY(double, connecton_icon_size, 96.0);
    OMBRIX_PROPERTY(std::uint32_t, snippet_mode, 1);
    OMBRIX_PROPERTY(bool, check_updates_on_startup, false);

private:
    GeneralSetting();
};

}  // namespace Ombrix::Solvane::Contracts::Setting
