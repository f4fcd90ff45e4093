// ombrix format: lay out SQL for reading, or pack it onto one line.
#include <iostream>
#include <iterator>

#include "commands.hpp"
#include "providers/Core/file.hpp"
#include "solvane/Supports/Database/formatter.hpp"

namespace Ombrix::Cli {

namespace {

struct FormatOptions {
    bool minify = false;
    std::string file = "-";
};

std::string read_input(const std::string& file) {
    if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    auto text = Core::read_file(file);
    if (!text) throw Failure("cannot read " + file + ": " + text.error().message);
    return *text;
}

}  // namespace

void add_format_command(CLI::App& app, Context&) {
    auto options = std::make_shared<FormatOptions>();
    auto* format = app.add_subcommand("format", "Beautify (or --minify) SQL from a file or standard input");
    format->add_flag("--minify", options->minify, "Pack the statements onto one line");
    format->add_option("FILE", options->file, "SQL file, or - for standard input (default)");
    format->callback([options] {
        const std::string input = read_input(options->file);
        auto formatter = Solvane::Supports::Database::Formatter::create();
        // The same layout options a connection gives its formatter.
        formatter->option(Solvane::Supports::Database::kFormatterLineStart,
                          Solvane::Supports::Database::kFormatterLineStartValue);
        formatter->option(Solvane::Supports::Database::kFormatterLineBreak,
                          Solvane::Supports::Database::kFormatterLineBreakValue);
        if (options->minify) {
            std::cout << formatter->minify(input) << "\n";
            return;
        }
        auto laid_out = formatter->beautify(input);
        if (!laid_out) throw Failure("cannot format: " + laid_out.error().message);
        std::cout << *laid_out;
        if (laid_out->empty() || laid_out->back() != '\n') std::cout << "\n";
    });
}

}  // namespace Ombrix::Cli
