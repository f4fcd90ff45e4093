#include "output.hpp"

#include <glib.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "context.hpp"

namespace Ombrix::Cli {

namespace {

std::size_t display_width(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return static_cast<std::size_t>(g_utf8_strlen(text.data(), static_cast<gssize>(text.size())));
    return text.size();
}

}  // namespace

void print_grid(std::ostream& out, const Providers::Contracts::TableModel& model) {
    const auto& columns = *model.get_columns();
    const std::size_t count = columns.size();
    std::vector<std::vector<std::string>> lines;
    lines.reserve(model.get_n_items() + 1);
    std::vector<std::string> header;
    for (const auto& column : columns)
        header.push_back(column->get_title().empty() ? column->get_name() : column->get_title());
    lines.push_back(std::move(header));
    for (const auto& row : *model.get_rows()) {
        std::vector<std::string> cells;
        cells.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            std::string text;
            const auto type = row->read_cell(i, text);
            cells.push_back(!type ? std::string() : *type == Providers::Contracts::DataType::DBNULL ? "NULL" : text);
        }
        lines.push_back(std::move(cells));
    }
    std::vector<std::size_t> widths(count, 0);
    for (const auto& cells : lines)
        for (std::size_t i = 0; i < count; ++i) widths[i] = std::max(widths[i], display_width(cells[i]));
    for (const auto& cells : lines) {
        std::string line;
        for (std::size_t i = 0; i < count; ++i) {
            line += cells[i];
            if (i + 1 < count) line.append(widths[i] - display_width(cells[i]) + 2, ' ');
        }
        out << line << '\n';
    }
}

std::unique_ptr<Solvane::Supports::Data::Extractors::FileSink> open_output(const std::string& path,
                                                                           const std::string& command) {
    namespace X = Solvane::Supports::Data::Extractors;
    if (path.empty() || path == "-") return X::FileSink::standard_output();
    auto created = X::FileSink::create(path);
    if (!created) throw Failure(command + ": cannot write " + path + ": " + created.error().message);
    return std::move(*created);
}

std::string describe_error(const Core::Error& error) {
    return error.domain + " error " + std::to_string(error.code) + ": " + error.message;
}

void check_database(const Core::Status& status) {
    if (!status) throw DatabaseFailure(describe_error(status.error()));
}

}  // namespace Ombrix::Cli
