// ombrix settings show|set: the user's settings file.
#include <glib.h>
#include <glib/gstdio.h>

#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Contracts/Setting/setting.hpp"

namespace Ombrix::Cli {

namespace {

using Solvane::Contracts::Setting::UserSetting;

struct SettingsOptions {
    std::string file;
    std::string section;
    std::string name;
    std::string value;
};

/// --settings, or settings.json in the folder of the profile file (the user's config folder).
std::string settings_path(const Context& context, const SettingsOptions& options) {
    if (!options.file.empty()) return options.file;
    gchar* folder = g_path_get_dirname(context.profiles_path().c_str());
    gchar* path = g_build_filename(folder, "settings.json", nullptr);
    std::string result = path;
    g_free(path);
    g_free(folder);
    return result;
}

/// The settings of `path`, or the defaults when the file does not exist yet (nothing is written).
std::shared_ptr<UserSetting> load_settings(const std::string& path) {
    auto setting = UserSetting::create();
    const bool exists = Core::file_exists(path);
    // Loading a missing file fails but names it, so that `save` writes it.
    auto loaded = setting->load(path);
    if (!loaded && exists) throw Failure("cannot read the settings file " + path + ": " + loaded.error().message);
    return setting;
}

}  // namespace

void add_settings_command(CLI::App& app, Context& context) {
    auto options = std::make_shared<SettingsOptions>();
    auto* settings = app.add_subcommand("settings", "Show or change the user's settings file");
    settings->add_option("--settings", options->file, "Settings file (default: settings.json beside the profile file)");
    settings->require_subcommand(1);

    auto* show = settings->add_subcommand("show",
                                          "Print the settings (or one section) as JSON; a missing file "
                                          "shows the defaults");
    show->add_option("section", options->section, "general, editor, datagrid, network, logging, datatool or extension");
    show->callback([&context, options] {
        auto setting = load_settings(settings_path(context, *options));
        Core::Json::Node node;
        if (options->section.empty()) {
            node = Core::Json::serialize(*setting);
        } else {
            auto section = setting->section(options->section);
            if (!section) throw Failure(section.error().message);
            node = Core::Json::serialize(**section);
        }
        std::cout << Core::Json::to_pretty(node, 2) << "\n";
    });

    auto* set = settings->add_subcommand("set", "Change one property and save the file");
    set->add_option("name", options->name, "SECTION.PROPERTY, e.g. general.window-left")->required();
    set->add_option("value", options->value, "The new value (booleans: true, false, 1, 0; date-times: ISO 8601)")
        ->required();
    set->callback([&context, options] {
        const auto dot = options->name.find('.');
        if (dot == std::string::npos)
            throw Failure("expected SECTION.PROPERTY (e.g. general.window-left), got '" + options->name + "'");
        const std::string path = settings_path(context, *options);
        auto setting = load_settings(path);
        if (auto status =
                setting->set_from_text(options->name.substr(0, dot), options->name.substr(dot + 1), options->value);
            !status)
            throw Failure(status.error().message);
        gchar* folder = g_path_get_dirname(path.c_str());
        g_mkdir_with_parents(folder, 0700);
        g_free(folder);
        if (auto saved = setting->save(); !saved)
            throw Failure("cannot write the settings file " + path + ": " + saved.error().message);
    });
}

}  // namespace Ombrix::Cli
