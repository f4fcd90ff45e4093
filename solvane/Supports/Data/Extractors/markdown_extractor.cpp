#include "solvane/Supports/Data/Extractors/markdown_extractor.hpp"

#include <vector>

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

class MarkdownWriter final : public RowWriter {
public:
    using RowWriter::RowWriter;

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_binary.clear();
        m_binary.reserve(columns.size());
        std::string header;
        std::string separator;
        for (const auto& column : columns) {
            m_binary.push_back(is_binary_kind(column.type));
            header += "| ";
            const std::size_t start = header.size();
            MarkdownExtractor::append_escaped(header, column.name);
            // As wide as the header cell as written, so that the two lines stay aligned.
            const std::size_t width = header.size() - start;
            header += ' ';
            separator += '|';
            separator.append(width + 2, '-');
        }
        header += "|\n";
        separator += "|\n";
        header += separator;
        return m_sink.write(header);
    }

    Core::Status row(const Cell* cells) override {
        m_line.clear();
        for (std::size_t i = 0; i < m_binary.size(); ++i) {
            const Cell& cell = cells[i];
            m_line += "| ";
            if (cell.null) continue;
            if (m_binary[i])
                append_binary_text(m_line, cell.text);
            else
                MarkdownExtractor::append_escaped(m_line, cell.text);
            m_line += ' ';
        }
        m_line += "|\n";
        if (auto status = m_sink.write(m_line); !status) return status;
        report(std::string_view(m_line).substr(0, m_line.size() - 1));
        return {};
    }

    Core::Status end() override { return {}; }

private:
    std::vector<bool> m_binary;  // per column: whether its cells are bytes
    std::string m_line;          // reused for every row
};

}  // namespace

std::shared_ptr<MarkdownExtractor> MarkdownExtractor::create(std::string_view file_extension) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(file_extension, nullptr);
    return Core::make_object<MarkdownExtractor>(file_extension);
}

std::unique_ptr<RowWriter> MarkdownExtractor::create_writer(TextSink& sink, const ProgressCallback& progress,
                                                            std::uint64_t total, std::optional<Core::Error>&) {
    return std::make_unique<MarkdownWriter>(sink, progress, total);
}

void MarkdownExtractor::append_escaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '|' && c != '\n' && c != '\r' && c != '<' && c != '>' && c != '&') continue;
        out.append(text, start, i - start);
        if (c == '|') {
            out += "\\|";
        } else if (c == '<') {
            out += "&lt;";  // Markdown passes HTML through: a cell must not become markup
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            out += "&amp;";
        } else {
            out += "<br>";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;  // "\r\n" is one break
        }
        start = i + 1;
    }
    out.append(text, start, text.size() - start);
}

OMBRIX_DEFINE_TYPE(MarkdownExtractor, "OmbrixSolvaneSupportsDataExtractorsMarkdownExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
