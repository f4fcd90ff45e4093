// ombrix meta save and ombrix meta diff: store a schema's model as JSON, and compare two stored
// schema (or table) models without a server.
#include <iostream>

#include "commands.hpp"
#include "describe.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Transform/patcher.hpp"

namespace Ombrix::Cli {

namespace {

struct SaveOptions {
    std::string profile;
    std::string schema;
    std::string output;
};

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

void add_meta_commands(CLI::App& app, Context& context) {
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

    auto save_options = std::make_shared<SaveOptions>();
    auto* save = meta->add_subcommand("save", "Read a schema from the server and store its model as JSON");
    save->add_option("--profile", save_options->profile, "Profile name (default: the sandbox server)");
    save->add_option("SCHEMA", save_options->schema, "The schema to read")->required();
    save->add_option("-o,--output", save_options->output, "The JSON file to write")->required();
    save->callback([&context, save_options] {
        auto connection = open_connection(context, save_options->profile);
        auto schema = read_full_schema(connection, save_options->schema).schema;
        const auto text = Core::Json::to_pretty(Core::Json::serialize(*schema)) + "\n";
        if (auto written = Core::write_file(save_options->output, text); !written)
            throw Failure("cannot write " + save_options->output + ": " + written.error().message);
    });
}

}  // namespace Ombrix::Cli
