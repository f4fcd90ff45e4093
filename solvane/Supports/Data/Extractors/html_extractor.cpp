#include "solvane/Supports/Data/Extractors/html_extractor.hpp"

#include <vector>

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

constexpr std::string_view kPageStart =
    "<!DOCTYPE html>\n<html>\n\t<head>\n"
    "\t\t<meta charset=\"UTF-8\">\n"
    "\t\t<style>table { border-collapse: collapse; width: 100%; } th, td { text-align: left; padding: 8px; } "
    "tr:nth-child(even) { background-color: rgba(0, 0, 0, 0.05); } th { background-color: #7799AA; color: white; "
    "}</style>\n"
    "\t</head>\n\t<body>\n"
    "\t\t<table>\n";
constexpr std::string_view kPageEnd = "\t\t</table>\n\t</body>\n</html>";
constexpr std::string_view kRowIndent = "\t\t\t";

class HtmlWriter final : public RowWriter {
public:
    using RowWriter::RowWriter;

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_binary.clear();
        m_binary.reserve(columns.size());
        m_line.assign(kPageStart);
        m_line += kRowIndent;
        m_line += "<tr>";
        for (const auto& column : columns) {
            m_binary.push_back(is_binary_kind(column.type));
            m_line += "<th>";
            HtmlExtractor::append_escaped(m_line, column.name);
            m_line += "</th>";
        }
        m_line += "</tr>\n";
        return m_sink.write(m_line);
    }

    Core::Status row(const Cell* cells) override {
        m_line.assign(kRowIndent);
        m_line += "<tr>";
        for (std::size_t i = 0; i < m_binary.size(); ++i) {
            m_line += "<td>";
            const Cell& cell = cells[i];
            if (!cell.null) {
                if (m_binary[i])
                    append_binary_text(m_line, cell.text);
                else
                    HtmlExtractor::append_escaped(m_line, cell.text);
            }
            m_line += "</td>";
        }
        m_line += "</tr>\n";
        if (auto status = m_sink.write(m_line); !status) return status;
        // The row's text is the line without its indentation and line feed.
        report(std::string_view(m_line).substr(kRowIndent.size(), m_line.size() - kRowIndent.size() - 1));
        return {};
    }

    Core::Status end() override { return m_sink.write(kPageEnd); }

private:
    std::vector<bool> m_binary;  // per column: whether its cells are bytes
    std::string m_line;          // reused for every row
};

}  // namespace

std::shared_ptr<HtmlExtractor> HtmlExtractor::create(std::string_view file_extension) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(file_extension, nullptr);
    return Core::make_object<HtmlExtractor>(file_extension);
}

std::unique_ptr<RowWriter> HtmlExtractor::create_writer(TextSink& sink, const ProgressCallback& progress,
                                                        std::uint64_t total, std::optional<Core::Error>&) {
    return std::make_unique<HtmlWriter>(sink, progress, total);
}

void HtmlExtractor::append_escaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string_view reference;
        switch (text[i]) {
        case '&': reference = "&amp;"; break;
        case '<': reference = "&lt;"; break;
        case '>': reference = "&gt;"; break;
        case '"': reference = "&quot;"; break;
        case '\'': reference = "&#39;"; break;
        default: continue;
        }
        out.append(text, start, i - start);
        out += reference;
        start = i + 1;
    }
    out.append(text, start, text.size() - start);
}

std::string HtmlExtractor::escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    append_escaped(out, text);
    return out;
}

OMBRIX_DEFINE_TYPE(HtmlExtractor, "OmbrixSolvaneSupportsDataExtractorsHtmlExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
