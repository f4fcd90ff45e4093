/// @file The user's settings: seven sections kept in one JSON file.
#pragma once

#include <sigc++/connection.h>
#include <sigc++/signal.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Setting/datagrid.hpp"
#include "solvane/Contracts/Setting/datatool.hpp"
#include "solvane/Contracts/Setting/editor.hpp"
#include "solvane/Contracts/Setting/extension.hpp"
#include "solvane/Contracts/Setting/general.hpp"
#include "solvane/Contracts/Setting/logging.hpp"
#include "solvane/Contracts/Setting/network.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Setting {

/// The user's preferences: the file they were loaded from and one object per section, each made
/// with its defaults. In the file every section is a nested object whose members are its properties.
class OMBRIX_SOLVANE_EXPORT UserSetting final : public Core::Object {
public:
    using ChangedSignal = sigc::signal<void()>;

    OMBRIX_CREATABLE_OBJECT(UserSetting, Core::Object);
    ~UserSetting() override;

    /// Reads `filename` (remembered for `save` even when reading fails, so a host can start from the
    /// defaults of a file not written yet). Every section that differs from the current one replaces
    /// it, with a notification per section, then `changed` is emitted once. Members missing from the
    /// file keep their defaults; unknown members are ignored. Read and parse errors pass through; a
    /// root that is not a settings object is "UserSetting" -2, and the sections stay as they were.
    [[nodiscard]] Core::Status load(const std::string& filename);
    /// Writes every property to the remembered file, pretty-printed with an indent of 2, as a file
    /// only the owner may read (it holds the proxy password). Write errors pass through; without a
    /// remembered file name the error is "UserSetting" -1.
    [[nodiscard]] Core::Status save() const;

    const std::string& get_filename() const { return m_filename; }
    /// Emitted after a load that replaced a section and after any property of a section changed.
    ChangedSignal& signal_changed() { return m_changed; }

    /// The section whose property name is `name` ("general" … "extension"); any other name is
    /// "UserSetting" -3, with a message listing the sections.
    [[nodiscard]] Core::Result<std::shared_ptr<Core::Object>> section(std::string_view name) const;
    /// Sets `section`.`property` from its text: bool true/false/1/0, whole numbers within the
    /// property's range (no sign for unsigned ones), decimal numbers, date-times in ISO 8601, texts
    /// as they are. An unknown section or property is "UserSetting" -3; a text that is no value of
    /// the property's type is "UserSetting" -4, and the property keeps its value.
    [[nodiscard]] Core::Status set_from_text(std::string_view section, std::string_view property,
                                             std::string_view text);

    // Replacing a section (never with null) notifies its name; `changed` then follows the new one.
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<GeneralSetting>, general, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<EditorSetting>, editor, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<DataGridSetting>, datagrid, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<NetworkSetting>, network, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<LoggingSetting>, logging, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<DataToolSetting>, datatool, nullptr);
    OMBRIX_PROPERTY_SETTER(std::shared_ptr<ExtensionSetting>, extension, nullptr);

    /// A section written as null or as no object keeps its defaults: the model never holds a null section.
    bool deserialize_property(const Core::PropertySpec& property, const nlohmann::ordered_json& node) override;

private:
    UserSetting();

    template <class S>
    void replace(std::shared_ptr<S>& field, std::shared_ptr<S> value, std::size_t slot, std::string_view name);

    std::string m_filename;
    ChangedSignal m_changed;
    /// One per section, in property order: relays the section's notifications as `changed`.
    std::array<sigc::connection, 7> m_watches;
};

}  // namespace Ombrix::Solvane::Contracts::Setting
