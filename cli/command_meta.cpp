// ombrix meta diff: compare two stored schema (or table) models without a server.
#include <iostream>

#include "commands.hpp"
#include "providers/Core/file.hpp"
#include "solvane/Transform/patcher.hpp"

namespace Ombrix::Cli {

namespace {

struct DiffOptions {
    std::string left;
    std::string right;
    bool strict = false;
};

std::string read_model(const std::string& file) {
    auto text = Core::read_file(file);
    if (!text) throw Failure("cannot read " + file + ": " + text.error().message);
    return *text;
}

}  // namespace

void add_meta_commands(CLI::App& app, Context&) {
    auto* meta = app.add_subcommand("meta", "Work with stored meta models (JSON)");
    meta->require_subcommand(1);

    auto diff_options = std::make_shared<DiffOptions>();
    auto* diff = meta->add_subcommand(
        "diff", "Compare two stored models; prints the patched model with each member's edit state");
    diff->add_option("A", diff_options->left, "The model as it is (JSON file)")->required();
    diff->add_option("B", diff_options->right, "The model as it should be (JSON file)")->required();
    diff->add_flag("--strict", diff_options->strict, "Compare database and schema names as they stand");
    diff->callback([diff_options] {
        auto patched = Solvane::Transform::Patcher::diff_json(read_model(diff_options->left),
                                                              read_model(diff_options->right), diff_options->strict);
        if (!patched) throw Failure("cannot compare the models: " + patched.error().message);
        std::cout << *patched;
        if (patched->empty() || patched->back() != '\n') std::cout << "\n";
    });
}

}  // namespace Ombrix::Cli
