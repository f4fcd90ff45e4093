#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Foundation/logging.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr int kParseOptions = XML_PARSE_NONET;  // no entity substitution, no DTD loading

const xmlChar* xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const char* chars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

/// The length of the UTF-8 sequence at `text[i]` (a byte of 0x80 or more) when it encodes a
/// character XML 1.0 allows, else 0 (invalid UTF-8, U+FFFE, U+FFFF).
std::size_t xml_char_length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        need = 1;
    else if (lead == 0xE0)
        need = 2, low = 0xA0;
    else if (lead == 0xED)
        need = 2, high = 0x9F;  // no surrogates
    else if (lead >= 0xE1 && lead <= 0xEF)
        need = 2;
    else if (lead == 0xF0)
        need = 3, low = 0x90;
    else if (lead == 0xF4)
        need = 3, high = 0x8F;
    else if (lead >= 0xF1 && lead <= 0xF3)
        need = 3;
    else
        return 0;
    if (i + need >= text.size()) return 0;  // cut short
    for (std::size_t k = 1; k <= need; ++k) {
        const unsigned char c = byte(i + k);
        if (c < low || c > high) return 0;
        low = 0x80;
        high = 0xBF;
    }
    if (lead == 0xEF && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE) return 0;  // U+FFFE, U+FFFF
    return need + 1;
}

/// Appends `text` escaped for element content or, with `attribute`, for a quoted attribute value.
/// Carriage returns (and in attributes tabs and line feeds) become character references, since
/// a reader would otherwise normalise them. False when the text holds a character XML 1.0
/// cannot carry.
bool append_escaped(std::string& out, std::string_view text, bool attribute) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::string_view reference;
        if (c >= 0x80) {
            const std::size_t length = xml_char_length(text, i);
            if (length == 0) return false;
            i += length;
            continue;
        }
        switch (c) {
            case '&':
                reference = "&amp;";
                break;
            case '<':
                reference = "&lt;";
                break;
            case '>':
                reference = "&gt;";
                break;
            case '\r':
                reference = "&#13;";
                break;
            case '"':
                if (attribute) reference = "&quot;";
                break;
            case '\n':
                if (attribute) reference = "&#10;";
                break;
            case '\t':
                if (attribute) reference = "&#9;";
                break;
            default:
                if (c < 0x20) return false;
        }
        if (reference.empty()) {
            ++i;
            continue;
        }
        out.append(text, start, i - start);
        out += reference;
        start = ++i;
    }
    out.append(text, start, text.size() - start);
    return true;
}

Core::Error xml_error(std::string message) { return Core::Error{"XML", -1, std::move(message)}; }

// ---------------------------------------------------------------------------------------------
// Names

/// Whether `c` may start an XML name (without a namespace colon).
bool is_name_start(gunichar c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

/// Whether `c` may stand in an XML name after its first character.
bool is_name_char(gunichar c) {
    return is_name_start(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

/// The code point of an escape `_xHHHH_` or `_xHHHHHHHH_` at `name[at]` and the escape's length,
/// or a length of 0 when none starts there (or it names no character a name can hold).
std::pair<gunichar, std::size_t> escape_at(std::string_view name, std::size_t at) {
    if (name.compare(at, 2, "_x") != 0) return {0, 0};
    for (const std::size_t digits : {4U, 8U}) {
        const std::size_t end = at + 2 + digits;
        if (end >= name.size() || name[end] != '_') continue;
        gunichar code = 0;
        bool hex = true;
        for (std::size_t i = at + 2; i < end && hex; ++i) {
            const int value = g_ascii_xdigit_value(name[i]);
            hex = value >= 0;
            code = code * 16 + static_cast<gunichar>(value);
        }
        if (hex && code != 0 && g_unichar_validate(code)) return {code, digits + 3};
    }
    return {0, 0};
}

}  // namespace

std::optional<std::string> XmlExtractor::encode_name(std::string_view name, bool attribute) {
    if (name.empty() || !g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) return std::nullopt;
    // As an attribute, "xmlns" would declare a namespace rather than carry a cell.
    if (attribute && name == "xmlns") return std::string("_x0078_mlns");
    std::string out;
    const char* p = name.data();
    const char* end = p + name.size();
    for (bool first = true; p < end; first = false) {
        const gunichar c = g_utf8_get_char(p);
        const char* next = g_utf8_next_char(p);
        const auto at = static_cast<std::size_t>(p - name.data());
        if (c == '_' && escape_at(name, at).second != 0) {
            out += "_x005F_";  // a "_x" that would read as an escape
        } else if (first ? is_name_start(c) : is_name_char(c)) {
            out.append(p, next);
        } else {
            out += Core::strprintf(c > 0xFFFF ? "_x%08X_" : "_x%04X_", static_cast<unsigned>(c));
        }
        p = next;
    }
    return out;
}

std::string XmlExtractor::decode_name(std::string_view name) {
    std::string out;
    for (std::size_t at = 0; at < name.size();) {
        const auto [code, length] = escape_at(name, at);
        if (length == 0) {
            out += name[at++];
            continue;
        }
        char bytes[8];
        out.append(bytes, static_cast<std::size_t>(g_unichar_to_utf8(code, bytes)));
        at += length;
    }
    return out;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Writing

/// Where libxml2's output buffer sends its bytes: the sink, until the first failure. The
/// callback never reports the failure to libxml2 (which would print it); the writer checks
/// `error` after each call instead.
struct Output {
    TextSink* sink = nullptr;
    std::optional<Core::Error> error;
    bool discard = false;  // set while tearing down
};

int write_output(void* context, const char* buffer, int length) {
    auto* output = static_cast<Output*>(context);
    if (output->discard || output->error) return length;
    if (auto status = output->sink->write(std::string_view(buffer, static_cast<std::size_t>(length))); !status)
        output->error = status.error();
    return length;
}

int close_output(void*) { return 0; }

struct TextWriterFree {
    void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
};

class XmlWriter final : public RowWriter {
public:
    XmlWriter(TextSink& sink, const ProgressCallback& progress, std::uint64_t total, bool attributes,
              std::optional<std::string> null_value)
        : RowWriter(sink, progress, total), m_attributes(attributes), m_null_value(std::move(null_value)) {
        m_output.sink = &sink;
    }

    ~XmlWriter() override {
        // Whatever libxml2 still holds after a failure is dropped, not written.
        m_output.discard = true;
    }

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_names.clear();
        m_labels.clear();
        m_binary.clear();
        std::set<std::string> seen;
        for (const auto& column : columns) {
            // A name that is no XML name is written encoded (_xHHHH_), and read back decoded.
            std::optional<std::string> name;
            if (column.name.find('\0') == std::string::npos) name = XmlExtractor::encode_name(column.name, m_attributes);
            if (!name)
                return Core::fail(xml_error(
                    Core::strprintf(Core::tr("column name \"%s\" cannot be written as an XML name."), column.name.c_str())));
            if (m_attributes && !seen.insert(*name).second)
                return Core::fail(xml_error(Core::strprintf(
                    Core::tr("column name \"%s\" stands twice: the attributes of a record need different names."),
                    column.name.c_str())));
            m_names.push_back(std::move(*name));
            m_labels.push_back(column.name);
            m_binary.push_back(is_binary_kind(column.type));
        }
        if (m_null_value) {
            m_null_text.clear();
            (void)append_escaped(m_null_text, *m_null_value, m_attributes);  // checked by the extractor
        }

        xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(write_output, close_output, &m_output, nullptr);
        if (buffer == nullptr) return Core::fail(xml_error(Core::tr("the XML writer cannot be created.")));
        m_writer.reset(xmlNewTextWriter(buffer));
        if (!m_writer) {
            xmlOutputBufferClose(buffer);
            return Core::fail(xml_error(Core::tr("the XML writer cannot be created.")));
        }
        xmlTextWriterPtr w = m_writer.get();
        if (auto s = check(xmlTextWriterSetIndent(w, 1)); !s) return s;
        if (auto s = check(xmlTextWriterSetIndentString(w, xml("    "))); !s) return s;
        if (auto s = raw(kDeclaration); !s) return s;
        if (auto s = check(xmlTextWriterStartElement(w, xml("RECORDS"))); !s) return s;
        // Without a NULL text, child storage marks NULL cells with xsi:nil.
        if (!m_attributes && !m_null_value)
            if (auto s = check(xmlTextWriterWriteAttribute(w, xml("xmlns:xsi"), xml(kXsiNamespace))); !s) return s;
        return {};
    }

    // libxml2 writes an element as a dozen small buffer writes and allocations; a row of ten
    // cells so costs about ten times what formatting it here does. So each RECORD is formatted
    // here, in the writer's layout, and handed to the writer as one piece of markup.
    Core::Status row(const Cell* cells) override {
        m_text.assign("\n    <RECORD");
        if (!m_attributes && !m_names.empty()) m_text += '>';
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            const Cell& cell = cells[i];
            const bool nil = cell.null && !m_null_value;
            if (m_attributes) {
                if (nil) continue;  // an absent attribute is NULL
                m_text += ' ';
                m_text += m_names[i];
                m_text += "=\"";
            } else {
                m_text += "\n        <";
                m_text += m_names[i];
                if (nil) {
                    m_text += " xsi:nil=\"true\"/>";
                    continue;
                }
                m_text += '>';
            }
            const std::size_t start = m_text.size();
            if (cell.null) {
                m_text += m_null_text;
            } else if (m_null_value && is_null_text(cell, m_binary[i])) {
                // A text equal to the NULL text stands in a CDATA section, which is read as text;
                // an attribute has no such form.
                if (m_attributes || m_null_value->find('\r') != std::string::npos)
                    return Core::fail(xml_error(Core::strprintf(
                        Core::tr("row %llu, column %s: the text equals the NULL text and would read back as NULL."),
                        static_cast<unsigned long long>(m_index + 1), m_labels[i].c_str())));
                append_cdata(m_text, *m_null_value);
            } else if (m_binary[i]) {
                append_binary_text(m_text, cell.text);
            } else if (!append_escaped(m_text, cell.text, m_attributes)) {
                return Core::fail(xml_error(
                    Core::strprintf(Core::tr("row %llu, column %s: the text holds a character that XML cannot carry."),
                                    static_cast<unsigned long long>(m_index + 1), m_labels[i].c_str())));
            }
            if (m_attributes) {
                m_text += '"';
            } else if (m_text.size() == start) {
                m_text.back() = '/';  // an empty text is an empty tag
                m_text += '>';
            } else {
                m_text += "</";
                m_text += m_names[i];
                m_text += '>';
            }
        }
        m_text += m_attributes || m_names.empty() ? "/>" : "\n    </RECORD>";
        if (auto s = raw(m_text); !s) return s;
        report("");
        return {};
    }

    Core::Status end() override {
        if (m_index > 0)
            if (auto s = raw("\n"); !s) return s;
        if (auto s = check(xmlTextWriterEndElement(m_writer.get())); !s) return s;
        return check(xmlTextWriterFlush(m_writer.get()));
    }

private:
    /// Whether the cell as written would read as the NULL text.
    bool is_null_text(const Cell& cell, bool binary) {
        if (!binary) return cell.text == *m_null_value;
        m_scratch.clear();
        append_binary_text(m_scratch, cell.text);
        return m_scratch == *m_null_value;
    }

    /// `text` as CDATA sections, split where it holds the section's end "]]>".
    static void append_cdata(std::string& out, std::string_view text) {
        out += "<![CDATA[";
        for (std::size_t at = text.find("]]>"); at != std::string_view::npos; at = text.find("]]>")) {
            out.append(text.substr(0, at + 2));
            out += "]]><![CDATA[";
            text.remove_prefix(at + 2);
        }
        out.append(text);
        out += "]]>";
    }

    /// Hands markup to the writer, in pieces libxml2's int lengths can hold.
    Core::Status raw(std::string_view text) {
        constexpr std::size_t kPiece = std::size_t{1} << 30;
        for (std::size_t done = 0; done < text.size(); done += kPiece) {
            const std::size_t length = std::min(kPiece, text.size() - done);
            if (auto s =
                    check(xmlTextWriterWriteRawLen(m_writer.get(), xml(text.data() + done), static_cast<int>(length)));
                !s)
                return s;
        }
        return {};
    }

    Core::Status check(int result) const {
        if (m_output.error) return Core::fail(*m_output.error);
        if (result >= 0) return {};
        return Core::fail(xml_error(Core::tr("the XML writer failed.")));
    }

    bool m_attributes;
    std::optional<std::string> m_null_value;
    std::string m_null_text;  // the NULL text, escaped
    std::vector<std::string> m_names;   // as written
    std::vector<std::string> m_labels;  // as the columns are named, for messages
    std::vector<bool> m_binary;
    std::string m_text;     // reused for every row
    std::string m_scratch;  // a binary cell's text
    Output m_output;     // declared before the writer, which flushes into it when freed
    std::unique_ptr<xmlTextWriter, TextWriterFree> m_writer;
};

// ---------------------------------------------------------------------------------------------
// Reading

/// The first error (not warning) libxml2 reports while parsing.
struct ParseErrors {
    std::optional<Core::Error> first;
};

void on_parse_error(void* context, xmlErrorPtr error) {
    auto* errors = static_cast<ParseErrors*>(context);
    if (error == nullptr || error->level < XML_ERR_ERROR || errors->first) return;
    std::string message = error->message ? error->message : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    errors->first = xml_error(Core::strprintf(Core::tr("line %d: %s"), error->line, message.c_str()));
}

/// A text too long for libxml2's in-memory reader is read through callbacks.
struct MemoryInput {
    const std::string* text = nullptr;
    std::size_t position = 0;
};

int read_memory(void* context, char* buffer, int length) {
    auto* input = static_cast<MemoryInput*>(context);
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(length), input->text->size() - input->position);
    std::memcpy(buffer, input->text->data() + input->position, count);
    input->position += count;
    return static_cast<int>(count);
}

struct TextReaderFree {
    void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using TextReader = std::unique_ptr<xmlTextReader, TextReaderFree>;

/// What a reader reads: a text, or the named file.
struct Source {
    std::shared_ptr<const std::string> text;
    std::string filename;
};

/// A reader over `source` reporting its errors into `errors`; `input` serves huge texts.
TextReader open_source(const Source& source, ParseErrors& errors, MemoryInput& input) {
    xmlTextReaderPtr reader = nullptr;
    if (!source.text) {
        reader = xmlReaderForFile(source.filename.c_str(), nullptr, kParseOptions);
    } else if (source.text->size() <= static_cast<std::size_t>(INT_MAX)) {
        reader =
            xmlReaderForMemory(source.text->data(), static_cast<int>(source.text->size()), "", nullptr, kParseOptions);
    } else {
        input = MemoryInput{source.text.get(), 0};
        reader = xmlReaderForIO(read_memory, nullptr, &input, "", nullptr, kParseOptions);
    }
    if (reader != nullptr) xmlTextReaderSetStructuredErrorHandler(reader, on_parse_error, &errors);
    return TextReader(reader);
}

Core::Error open_failed() { return Core::Error{"default", -1, Core::tr("load xml document failed.")}; }

bool named(xmlTextReaderPtr reader, const char* name) {
    const xmlChar* own = xmlTextReaderConstName(reader);
    return own != nullptr && std::strcmp(chars(own), name) == 0;
}

/// Reads the whole document once: an error unless it is well-formed, else the number of RECORD
/// elements of its first RECORDS element.
Core::Result<std::uint64_t> check_document(const Source& source) {
    ParseErrors errors;
    MemoryInput input;
    TextReader reader = open_source(source, errors, input);
    if (!reader) return Core::fail(open_failed());
    xmlTextReaderPtr r = reader.get();
    int records_depth = -1;
    bool records_done = false;
    std::uint64_t count = 0;
    int result = 0;
    while ((result = xmlTextReaderRead(r)) == 1 && !errors.first) {
        // Entities are not expanded (a document must not make the reader fetch or build text of
        // its own choosing): a reference would silently read as empty text, so it is refused.
        if (xmlTextReaderNodeType(r) == XML_READER_TYPE_ENTITY_REFERENCE)
            return Core::fail(xml_error(Core::strprintf(Core::tr("line %d: entity references are not read"),
                                                        xmlTextReaderGetParserLineNumber(r))));
        if (records_done || xmlTextReaderNodeType(r) != XML_READER_TYPE_ELEMENT) continue;
        const int depth = xmlTextReaderDepth(r);
        if (records_depth < 0) {
            if (named(r, "RECORDS")) {
                records_depth = depth;
                records_done = xmlTextReaderIsEmptyElement(r) == 1;
            }
        } else if (depth <= records_depth) {
            records_done = true;
        } else if (depth == records_depth + 1 && named(r, "RECORD")) {
            ++count;
        }
    }
    if (errors.first) return Core::fail(*errors.first);
    if (result < 0) return Core::fail(xml_error(Core::tr("the XML document is not well-formed.")));
    return count;
}

class XmlReader final : public RowReader {
public:
    XmlReader(Source source, std::optional<std::string> null_value, bool attribute_storage, std::uint64_t total)
        : m_source(std::move(source)),
          m_null_value(std::move(null_value)),
          m_attribute_storage(attribute_storage),
          m_total(total) {}

    Core::Status open() {
        m_reader = open_source(m_source, m_errors, m_input);
        if (!m_reader) return Core::fail(open_failed());
        return {};
    }

    std::uint64_t total() const override { return m_total; }
    bool names_rows() const override { return true; }

    Core::Result<bool> next(SourceRow& row) override {
        xmlTextReaderPtr r = m_reader.get();
        while (!m_done) {
            OMBRIX_RETURN_IF_ERROR(advance());
            if (m_done) break;
            const int type = xmlTextReaderNodeType(r);
            const int depth = xmlTextReaderDepth(r);
            if (m_records_depth < 0) {
                if (type == XML_READER_TYPE_ELEMENT && named(r, "RECORDS")) {
                    m_records_depth = depth;
                    m_done = xmlTextReaderIsEmptyElement(r) == 1;
                }
            } else if (depth <= m_records_depth) {
                m_done = true;  // the end of RECORDS
            } else if (type == XML_READER_TYPE_ELEMENT && depth == m_records_depth + 1 && named(r, "RECORD")) {
                OMBRIX_RETURN_IF_ERROR(read_record(row));
                return true;
            }
        }
        return false;
    }

private:
    /// Moves to the next node; at the end of the document sets `m_done`.
    Core::Status advance() {
        const int result = xmlTextReaderRead(m_reader.get());
        if (m_errors.first) {
            m_done = true;
            return Core::fail(*m_errors.first);
        }
        if (result < 0) {
            m_done = true;
            return Core::fail(xml_error(Core::tr("the XML document is not well-formed.")));
        }
        if (result == 0) m_done = true;
        return {};
    }

    /// Whether the current element carries xsi:nil="true".
    bool is_nil() const {
        xmlTextReaderPtr r = m_reader.get();
        if (xmlTextReaderHasAttributes(r) != 1) return false;
        xmlChar* value = xmlTextReaderGetAttributeNs(r, xml("nil"), xml(kXsiNamespace));
        if (value == nullptr) return false;
        const bool nil = std::strcmp(chars(value), "true") == 0 || std::strcmp(chars(value), "1") == 0;
        xmlFree(value);
        return nil;
    }

    /// Reads the RECORD element the reader is on: its child elements, or its attributes when it
    /// has no child element. Names are read decoded. A record of attributes names every cell that
    /// is not NULL, so the names it lacks are NULL; so are all of an empty record's when the
    /// storage is "attribute".
    Core::Status read_record(SourceRow& row) {
        xmlTextReaderPtr r = m_reader.get();
        row.names.clear();
        row.values.clear();
        row.defect.clear();
        m_literal.clear();
        row.number = ++m_number;
        m_attribute_names.clear();
        m_attribute_values.clear();
        if (xmlTextReaderHasAttributes(r) == 1) {
            while (xmlTextReaderMoveToNextAttribute(r) == 1) {
                if (xmlTextReaderIsNamespaceDecl(r) == 1) continue;
                const xmlChar* value = xmlTextReaderConstValue(r);
                m_attribute_names.push_back(XmlExtractor::decode_name(chars(xmlTextReaderConstName(r))));
                m_attribute_values.emplace_back(value ? chars(value) : "");
            }
            xmlTextReaderMoveToElement(r);
        }
        if (xmlTextReaderIsEmptyElement(r) != 1) {
            const int depth = xmlTextReaderDepth(r);
            bool in_child = false;
            bool nil = false;
            while (true) {
                if (auto read = advance(); !read) return read;
                if (m_done) return Core::fail(xml_error(Core::tr("the XML document is not well-formed.")));
                const int type = xmlTextReaderNodeType(r);
                const int at = xmlTextReaderDepth(r);
                if (at == depth + 1) {
                    if (type == XML_READER_TYPE_ELEMENT) {
                        row.names.push_back(XmlExtractor::decode_name(chars(xmlTextReaderConstName(r))));
                        m_literal.push_back(false);
                        nil = is_nil();
                        if (xmlTextReaderIsEmptyElement(r) == 1) {
                            row.values.emplace_back(nil ? std::nullopt : std::optional<std::string>(std::string()));
                        } else {
                            row.values.emplace_back(std::string());
                            in_child = true;
                        }
                    } else if (type == XML_READER_TYPE_END_ELEMENT && in_child) {
                        if (nil) row.values.back().reset();
                        in_child = false;
                    }
                } else if (at > depth + 1) {
                    // The child's text: all its text and CDATA, nested elements' included.
                    if (in_child &&
                        (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                         type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE)) {
                        if (const xmlChar* value = xmlTextReaderConstValue(r)) row.values.back()->append(chars(value));
                        // Text in a CDATA section is never the NULL text.
                        if (type == XML_READER_TYPE_CDATA) m_literal.back() = true;
                    }
                } else if (type == XML_READER_TYPE_END_ELEMENT) {
                    break;  // the end of the RECORD
                }
            }
        }
        if (row.names.empty()) {
            row.complete = m_attribute_storage || !m_attribute_names.empty();
            row.names.swap(m_attribute_names);
            row.values.assign(std::make_move_iterator(m_attribute_values.begin()),
                              std::make_move_iterator(m_attribute_values.end()));
            m_literal.assign(row.values.size(), false);
        }
        if (m_null_value)
            for (std::size_t i = 0; i < row.values.size(); ++i)
                if (row.values[i] && !m_literal[i] && *row.values[i] == *m_null_value) row.values[i].reset();
        return {};
    }

    Source m_source;
    std::optional<std::string> m_null_value;
    bool m_attribute_storage = false;
    std::uint64_t m_total = 0;
    ParseErrors m_errors;  // these two outlive the reader, which refers to them
    MemoryInput m_input;
    TextReader m_reader;
    int m_records_depth = -1;
    bool m_done = false;
    std::uint64_t m_number = 0;
    std::vector<std::string> m_attribute_names;
    std::vector<std::string> m_attribute_values;
    std::vector<bool> m_literal;  // per cell of the record: its text came from CDATA
};

}  // namespace

std::shared_ptr<XmlExtractor> XmlExtractor::create(std::string_view file_extension) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(file_extension, nullptr);
    return Core::make_object<XmlExtractor>(file_extension);
}

Core::Result<std::int64_t> XmlExtractor::export_to_file(const std::shared_ptr<TableModel>& model,
                                                        std::string_view filename, const ProgressCallback& progress) {
    return stream_to_file(model, filename, progress);
}

std::unique_ptr<RowWriter> XmlExtractor::create_writer(TextSink& sink, const ProgressCallback& progress,
                                                       std::uint64_t total, std::optional<Core::Error>& error) {
    xmlInitParser();
    const bool attributes = option(kOptionStorage) == "attribute";
    std::optional<std::string> null_value;
    if (has_option(kOptionNullValue)) {
        null_value = option(kOptionNullValue);
        std::string scratch;
        if (!append_escaped(scratch, *null_value, attributes)) {
            error = xml_error(Core::tr("option NULL_VALUE holds a character that XML cannot carry."));
            return nullptr;
        }
    }
    return std::make_unique<XmlWriter>(sink, progress, total, attributes, std::move(null_value));
}

Core::Result<std::unique_ptr<RowReader>> XmlExtractor::open_reader(std::shared_ptr<const std::string> text) {
    xmlInitParser();
    Source source{std::move(text), {}};
    if (!source.text) source.filename = option(kOptionFilename);
    auto total = check_document(source);
    OMBRIX_RETURN_IF_ERROR(total);
    std::optional<std::string> null_value;
    if (has_option(kOptionNullValue)) null_value = option(kOptionNullValue);
    auto reader = std::make_unique<XmlReader>(std::move(source), std::move(null_value),
                                              option(kOptionStorage) == "attribute", *total);
    OMBRIX_RETURN_IF_ERROR(reader->open());
    return std::unique_ptr<RowReader>(std::move(reader));
}

std::string XmlExtractor::row_failure_text(std::uint64_t, std::string_view message) const {
    return Core::strprintf("import row failed: %s", std::string(message).c_str());
}

OMBRIX_DEFINE_TYPE(XmlExtractor, "OmbrixSolvaneSupportsDataExtractorsXmlExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
