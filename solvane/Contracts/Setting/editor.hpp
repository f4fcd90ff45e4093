/// @file The editor section of the user's settings: highlighting, indentation, font and style.
#pragma once

#include <sigc++/signal.h>

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// How the SQL editor looks and behaves.
class OMBRIX_SOLVANE_EXPORT EditorSetting final : public Core::Object {
public:
    using ChangedSignal = sigc::signal<void()>;

    OMBRIX_CREATABLE_OBJECT(EditorSetting, Core::Object);

    OMBRIX_PROPERTY(bool, highlight_syntax, true);
    OMBRIX_PROPERTY(bool, highlight_matching_brackets, true);
    OMBRIX_PROPERTY(bool, highlight_current_line, true);
    OMBRIX_PROPERTY(bool, autocompletion, true);
    OMBRIX_PROPERTY(bool, code_fold, false);
    OMBRIX_PROPERTY(bool, text_wrap, true);
    OMBRIX_PROPERTY(bool, display_line_numbers, true);
    OMBRIX_PROPERTY(bool, insert_tab_as_spaces, true);
    OMBRIX_PROPERTY(bool, auto_indent, true);
    OMBRIX_PROPERTY(std::int32_t, indent_width, 4);
    OMBRIX_PROPERTY(std::int32_t, tab_width, 4);
    OMBRIX_PROPERTY(std::string, font_with_size, "");
    OMBRIX_PROPERTY(bool, overview_map, false);
    OMBRIX_PROPERTY(std::string, style_scheme, "Adwaita");

    /// Emitted after any property of the section really changed (once per change).
    ChangedSignal& signal_changed() { return m_changed; }

private:
    EditorSetting();
    ChangedSignal m_changed;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
