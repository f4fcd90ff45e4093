#include "solvane/Supports/Data/Extractors/json_extractor.hpp"

#include <glib.h>

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Foundation/logging.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

using Json = nlohmann::ordered_json;

/// Documents nested deeper than this are refused: printing a nested member value recurses.
constexpr int kMaxDepth = 512;

/// How a column's cells are written.
enum class Kind : unsigned char { NULL_, BOOLEAN, INTEGER, NUMBER, BINARY, TEXT };

Kind kind_of(DataType type) {
    switch (type) {
        case DataType::DBNULL:
            return Kind::NULL_;
        case DataType::BOOLEAN:
            return Kind::BOOLEAN;
        case DataType::INT8:
        case DataType::INT16:
        case DataType::INT32:
        case DataType::INT64:
        case DataType::UINT8:
        case DataType::UINT16:
        case DataType::UINT32:
        case DataType::UINT64:
            return Kind::INTEGER;
        case DataType::MONEY:
        case DataType::FLOAT:
        case DataType::DOUBLE:
            return Kind::NUMBER;
        default:
            return is_binary_kind(type) ? Kind::BINARY : Kind::TEXT;
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// The end of the JSON integer part (-?(0|[1-9][0-9]*)) at the start of `text`, or 0 when none.
std::size_t integer_part(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    if (i == text.size() || !is_digit(text[i])) return 0;
    if (text[i++] != '0')
        while (i < text.size() && is_digit(text[i])) ++i;
    return i;
}

/// Whether `text` is a JSON integer that fits 64 bits (signed when negative, else unsigned),
/// so that a reader takes it back as the same integer.
bool is_json_integer(std::string_view text) {
    if (integer_part(text) != text.size()) return false;
    const char* end = text.data() + text.size();
    if (text.front() == '-') {
        std::int64_t value = 0;
        return std::from_chars(text.data(), end, value).ec == std::errc();
    }
    std::uint64_t value = 0;
    return std::from_chars(text.data(), end, value).ec == std::errc();
}

/// Whether `text` is a JSON number whose value is a finite double.
bool is_json_number(std::string_view text) {
    std::size_t i = integer_part(text);
    if (i == 0) return false;
    if (i < text.size() && text[i] == '.') {
        const std::size_t start = ++i;
        while (i < text.size() && is_digit(text[i])) ++i;
        if (i == start) return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t start = i;
        while (i < text.size() && is_digit(text[i])) ++i;
        if (i == start) return false;
    }
    if (i != text.size()) return false;
    // A huge exponent overflows; readers refuse such a number.
    const std::string copy(text);
    return std::isfinite(g_ascii_strtod(copy.c_str(), nullptr));
}

bool is_true(std::string_view text) {
    return text == "1" || (text.size() == 4 && g_ascii_strncasecmp(text.data(), "true", 4) == 0);
}

/// The length of the valid UTF-8 sequence at `text[i]` (a byte of 0x80 or more), or 0 when it is
/// invalid; `skip` then receives the length of its longest valid beginning (at least 1), the
/// bytes one replacement character stands for.
std::size_t utf8_length(std::string_view text, std::size_t i, std::size_t& skip) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        need = 1;
    else if (lead == 0xE0)
        need = 2, low = 0xA0;
    else if (lead == 0xED)
        need = 2, high = 0x9F;
    else if (lead >= 0xE1 && lead <= 0xEF)
        need = 2;
    else if (lead == 0xF0)
        need = 3, low = 0x90;
    else if (lead == 0xF4)
        need = 3, high = 0x8F;
    else if (lead >= 0xF1 && lead <= 0xF3)
        need = 3;
    else {
        skip = 1;
        return 0;
    }
    std::size_t k = 1;
    for (; k <= need && i + k < text.size(); ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if (c < low || c > high) break;
        low = 0x80;
        high = 0xBF;
    }
    if (k > need) return need + 1;
    skip = k;
    return 0;
}

/// The shortest text that reads back as the same double.
std::string shortest(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// ---------------------------------------------------------------------------------------------
// Writing

constexpr std::string_view kDocumentStart = "{\n    \"RECORDS\": [";

class JsonWriter final : public RowWriter {
public:
    using RowWriter::RowWriter;

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_kinds.clear();
        m_keys.clear();
        for (const auto& column : columns) {
            m_kinds.push_back(kind_of(column.type));
            std::string key(m_keys.empty() ? "\n            " : ",\n            ");
            JsonExtractor::append_string(key, column.name);
            key += ": ";
            m_keys.push_back(std::move(key));
        }
        return m_sink.write(kDocumentStart);
    }

    Core::Status row(const Cell* cells) override {
        m_text.assign(m_index == 0 ? "\n        {" : ",\n        {");
        for (std::size_t i = 0; i < m_kinds.size(); ++i) {
            m_text += m_keys[i];
            append_value(m_kinds[i], cells[i]);
        }
        m_text += m_kinds.empty() ? "}" : "\n        }";
        if (auto status = m_sink.write(m_text); !status) return status;
        report("");
        return {};
    }

    Core::Status end() override { return m_sink.write(m_index == 0 ? "]\n}" : "\n    ]\n}"); }

private:
    void append_value(Kind kind, const Cell& cell) {
        if (cell.null || kind == Kind::NULL_) {
            m_text += "null";
            return;
        }
        switch (kind) {
            case Kind::BOOLEAN:
                m_text += is_true(cell.text) ? "true" : "false";
                return;
            case Kind::INTEGER:
                if (is_json_integer(cell.text)) {
                    m_text += cell.text;
                    return;
                }
                break;
            case Kind::NUMBER:
                if (is_json_number(cell.text)) {
                    m_text += cell.text;
                    return;
                }
                break;
            case Kind::BINARY:
                // Hexadecimal digits need no escaping.
                m_text += '"';
                append_binary_text(m_text, cell.text);
                m_text += '"';
                return;
            default:
                break;
        }
        JsonExtractor::append_string(m_text, cell.text);
    }

    std::vector<Kind> m_kinds;        // per column
    std::vector<std::string> m_keys;  // per column: separator, indentation, quoted name, ": "
    std::string m_text;               // reused for every row
};

// ---------------------------------------------------------------------------------------------
// Reading

class JsonReader final : public RowReader {
public:
    explicit JsonReader(Json document) : m_document(std::move(document)), m_records(&m_document["RECORDS"]) {}

    std::uint64_t total() const override { return m_records->size(); }
    bool names_rows() const override { return true; }

    Core::Result<bool> next(SourceRow& row) override {
        if (m_next >= m_records->size()) return false;
        Json& element = (*m_records)[m_next];
        row.number = ++m_next;
        row.names.clear();
        row.values.clear();
        row.defect.clear();
        if (!element.is_object()) {
            row.defect = Core::strprintf(Core::tr("record %d is not an object"), static_cast<int>(row.number));
        } else {
            row.names.reserve(element.size());
            row.values.reserve(element.size());
            for (auto& member : element.items()) {
                row.names.push_back(member.key());
                row.values.push_back(text_of(member.value()));
                // Formatting a record per cell costs more than the parse: only when someone reads it.
                static const bool logging = !g_log_writer_default_would_drop(G_LOG_LEVEL_DEBUG, G_LOG_DOMAIN);
                if (logging) {
                    const auto& value = row.values.back();
                    g_debug("cell value: %d --> %s", static_cast<int>(row.values.size() - 1),
                            value ? value->c_str() : "(null)");
                }
            }
        }
        element = nullptr;  // the row is read: let its memory go
        return true;
    }

private:
    static std::optional<std::string> text_of(Json& value) {
        switch (value.type()) {
            case Json::value_t::null:
                return std::nullopt;
            case Json::value_t::string:
                return std::move(value.get_ref<std::string&>());
            case Json::value_t::boolean:
                return std::string(value.get<bool>() ? "1" : "0");
            case Json::value_t::number_integer:
                return std::to_string(value.get<std::int64_t>());
            case Json::value_t::number_unsigned:
                return std::to_string(value.get<std::uint64_t>());
            case Json::value_t::number_float:
                return shortest(value.get<double>());
            default:
                return value.dump(-1, ' ', false, Json::error_handler_t::replace);
        }
    }

    Json m_document;
    Json* m_records;
    std::size_t m_next = 0;
};

/// Whether the arrays and objects of `text` nest deeper than `limit` (strings are passed over;
/// the text need not be valid JSON).
bool nests_deeper(std::string_view text, int limit) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
            case '"':
                for (++i; i < text.size() && text[i] != '"'; ++i)
                    if (text[i] == '\\') ++i;
                break;
            case '[':
            case '{':
                if (++depth > limit) return true;
                break;
            case ']':
            case '}':
                --depth;
                break;
            default:
                break;
        }
    }
    return false;
}

Core::Result<Json> parse(std::string_view text) {
    // Checked before parsing: a parser callback would do it at many times the cost.
    if (nests_deeper(text, kMaxDepth))
        return Core::fail("JSON", -1,
                          Core::strprintf(Core::tr("invalid json format: nested deeper than %d levels."), kMaxDepth));
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const std::exception& e) {
        return Core::fail("JSON", -1, e.what());
    }
}

}  // namespace

std::shared_ptr<JsonExtractor> JsonExtractor::create(std::string_view file_extension) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(file_extension, nullptr);
    return Core::make_object<JsonExtractor>(file_extension);
}

void JsonExtractor::append_string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t start = 0;  // beginning of the bytes not yet copied
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            std::size_t skip = 0;
            if (const std::size_t length = utf8_length(text, i, skip); length != 0) {
                i += length;
                continue;
            }
            out.append(text, start, i - start);
            out += "\xEF\xBF\xBD";
            i += skip;
            start = i;
            continue;
        }
        out.append(text, start, i - start);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
        }
        start = ++i;
    }
    out.append(text, start, text.size() - start);
    out += '"';
}

Core::Result<std::int64_t> JsonExtractor::export_to_file(const std::shared_ptr<TableModel>& model,
                                                         std::string_view filename, const ProgressCallback& progress) {
    return stream_to_file(model, filename, progress);
}

std::unique_ptr<RowWriter> JsonExtractor::create_writer(TextSink& sink, const ProgressCallback& progress,
                                                        std::uint64_t total, std::optional<Core::Error>&) {
    return std::make_unique<JsonWriter>(sink, progress, total);
}

Core::Result<std::unique_ptr<RowReader>> JsonExtractor::open_reader(std::shared_ptr<const std::string> text) {
    Core::Result<Json> document;
    if (text) {
        document = parse(*text);
    } else {
        auto content = Core::read_file(option(kOptionFilename));
        OMBRIX_RETURN_IF_ERROR(content);
        document = parse(*content);
    }
    OMBRIX_RETURN_IF_ERROR(document);
    if (!document->is_object()) return Core::fail("JSON", -1, Core::tr("invalid json format: root object not exist."));
    const auto records = document->find("RECORDS");
    if (records == document->end())
        return Core::fail("JSON", -1, Core::tr("invalid json format: RECORDS member not exist."));
    if (!records->is_array()) return Core::fail("JSON", -1, Core::tr("invalid json format: object array not exist."));
    return std::unique_ptr<RowReader>(std::make_unique<JsonReader>(std::move(*document)));
}

std::string JsonExtractor::row_failure_text(std::uint64_t, std::string_view message) const {
    return Core::strprintf("import row failed: %s", std::string(message).c_str());
}

OMBRIX_DEFINE_TYPE(JsonExtractor, "OmbrixSolvaneSupportsDataExtractorsJsonExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
