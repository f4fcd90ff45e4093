#include "solvane/Supports/Data/Extractors/dsv_extractor.hpp"

#include <gio/gio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Foundation/logging.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

constexpr std::string_view kDefaultQuote = "\"";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Files are read in chunks of this size; only the row being read is kept beyond that.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

enum class QuoteTime { IFNEED, ALWAYS, OTHER };

/// The dialect as the options give it at the start of an operation.
struct Dialect {
    std::string prefix;
    std::string suffix;
    std::string null_text;
    bool has_null = false;  // NULL_VALUE is set: NULL and the null text can be told apart
    bool has_header = true;
    std::string column;
    std::string row;
    std::string quote_left;
    std::string quote_right;
    std::string escape_left;
    std::string escape_right;
    QuoteTime time = QuoteTime::IFNEED;
};

std::string option_of(const OptionMap& options, std::string_view key, std::string_view fallback) {
    auto it = options.find(key);
    return it == options.end() ? std::string(fallback) : it->second;
}

Dialect read_dialect(const OptionMap& options) {
    Dialect d;
    d.prefix = option_of(options, kOptionRowPrefix, "");
    d.suffix = option_of(options, kOptionRowSuffix, "");
    d.has_null = options.find(kOptionNullValue) != options.end();
    d.null_text = option_of(options, kOptionNullValue, "");
    d.has_header = option_of(options, kOptionHasHeader, "true") == "true";
    d.column = option_of(options, kOptionDelimiterColumn, ",");
    d.row = option_of(options, kOptionDelimiterRow, "\n");

    // "left-right-leftescape-rightescape", first ";"-entry only. A missing or empty part follows
    // from the ones given: the right quote is the left one and each escape doubles its quote, so
    // a list of one quote character still gives a dialect that reads back what it writes.
    std::string parts[4];
    std::string list = option_of(options, kOptionQuotationList, "");
    std::string_view entry(list);
    entry = entry.substr(0, entry.find(';'));
    for (std::size_t i = 0; i < 4 && !entry.empty(); ++i) {
        std::size_t dash = entry.find('-');
        parts[i] = std::string(entry.substr(0, dash));
        if (dash == std::string_view::npos) break;
        entry.remove_prefix(dash + 1);
    }
    d.quote_left = parts[0].empty() ? std::string(kDefaultQuote) : std::move(parts[0]);
    d.quote_right = parts[1].empty() ? d.quote_left : std::move(parts[1]);
    d.escape_left = parts[2].empty() ? d.quote_left + d.quote_left : std::move(parts[2]);
    d.escape_right = parts[3].empty() ? d.quote_right + d.quote_right : std::move(parts[3]);

    std::string time = option_of(options, kOptionQuotationTime, "ifneed");
    d.time = time == "ifneed" ? QuoteTime::IFNEED : time == "always" ? QuoteTime::ALWAYS : QuoteTime::OTHER;
    return d;
}

using ByteTable = std::array<std::uint8_t, 256>;

inline std::uint8_t byte_of(char c) { return static_cast<std::uint8_t>(c); }

// ---------------------------------------------------------------------------------------------
// Writing

/// Writes rows line by line; a cell is quoted (and its quotes escaped) when reading it back
/// unquoted would change it.
class DsvWriter final : public RowWriter {
public:
    DsvWriter(TextSink& sink, ProgressCallback progress, std::uint64_t total, Dialect dialect)
        : RowWriter(sink, std::move(progress), total), m_d(std::move(dialect)) {
        // 1: the byte starts something that may need quotes; 2: the byte alone needs them.
        m_trigger.fill(0);
        auto maybe = [this](const std::string& s) {
            if (!s.empty() && m_trigger[byte_of(s[0])] == 0) m_trigger[byte_of(s[0])] = 1;
        };
        maybe(m_d.column);
        maybe(m_d.quote_left);
        maybe(m_d.quote_right);
        for (char c : m_d.row) m_trigger[byte_of(c)] = 2;
        m_trigger[byte_of('\r')] = 2;
        m_trigger[byte_of('\n')] = 2;
        m_same_quotes = m_d.quote_left == m_d.quote_right;
        m_suffix_row = m_d.suffix + m_d.row;
    }

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_binary.clear();
        for (const auto& column : columns) m_binary.push_back(is_binary_kind(column.type));
        if (!m_d.has_header) return {};
        m_line.clear();
        m_line += m_d.prefix;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) m_line += m_d.column;
            const std::string& name = columns[i].name;
            if (m_d.time != QuoteTime::IFNEED || needs_quotes(name) || (i == 0 && hides_as_bom(name)) ||
                ends_early(name, i + 1 < columns.size() ? m_d.column : m_suffix_row)) {
                if (!append_quoted(name)) return unquotable(0, i);
            } else {
                m_line += name;
            }
        }
        m_line += m_d.suffix;
        m_line += m_d.row;
        m_at_start = false;
        return m_sink.write(m_line);
    }

    Core::Status row(const Cell* cells) override {
        m_line.clear();
        m_line += m_d.prefix;
        for (std::size_t i = 0; i < m_binary.size(); ++i) {
            if (i > 0) m_line += m_d.column;
            const Cell& cell = cells[i];
            if (cell.null) {
                m_line += m_d.null_text;
                continue;
            }
            std::string_view text = cell.text;
            if (m_binary[i]) {
                m_hex.clear();
                append_binary_text(m_hex, cell.text);
                text = m_hex;
            }
            const std::string& after = i + 1 < m_binary.size() ? m_d.column : m_suffix_row;
            if (m_d.time == QuoteTime::ALWAYS || needs_quotes(text) || (m_d.has_null && text == m_d.null_text) ||
                (i == 0 && hides_as_bom(text)) || ends_early(text, after)) {
                if (!append_quoted(text)) return unquotable(rows_written() + 1, i);
            } else {
                m_line += text;
            }
        }
        m_line += m_d.suffix;
        m_line += m_d.row;
        m_at_start = false;
        if (auto written = m_sink.write(m_line); !written) return written;
        report(m_line);
        return {};
    }

    Core::Status end() override { return {}; }

private:
    // A first cell of the text that starts with a byte-order mark would lose it to the reader, which
    // skips a mark there: such a cell is quoted.
    bool hides_as_bom(std::string_view text) const {
        return m_at_start && m_d.prefix.empty() && text.starts_with(kUtf8Bom);
    }

    // Whether the reader, meeting `text` and then `after` (what the writer puts next), would find a
    // delimiter of several bytes that starts inside the text: "a|" before "||" reads as "a" and a
    // cell starting with '|'. Delimiters that fit inside the text already make it quoted.
    bool ends_early(std::string_view text, std::string_view after) const {
        for (const std::string* delimiter : {&m_d.column, &m_suffix_row, &m_d.row}) {
            const std::size_t size = delimiter->size();
            if (size < 2 || text.empty()) continue;
            const std::size_t kept = std::min(text.size(), size - 1);
            std::string joined(text.substr(text.size() - kept));
            joined.append(after.substr(0, size - 1));
            if (joined.find(*delimiter) < kept) return true;
        }
        return false;
    }

    bool needs_quotes(std::string_view text) const {
        const char* p = text.data();
        const char* end = p + text.size();
        for (; p < end; ++p) {
            std::uint8_t kind = m_trigger[byte_of(*p)];
            if (kind == 0) continue;
            if (kind == 2) return true;
            std::string_view rest(p, static_cast<std::size_t>(end - p));
            if ((!m_d.column.empty() && rest.starts_with(m_d.column)) || rest.starts_with(m_d.quote_left) ||
                rest.starts_with(m_d.quote_right))
                return true;
        }
        return false;
    }

    // A dialect whose escapes are not doubled quotes cannot carry every text: with "\"" as the
    // escape of '"', a text that ends with '\' would end in "\"" and never close. Such a cell is
    // refused rather than written to read back as something else (`row` 0 is the header).
    static Core::Status unquotable(std::uint64_t row, std::size_t column) {
        return Core::fail("default", -1,
                          Core::strprintf(Core::tr("row %llu, column %d: the cell cannot be quoted with the quotes and "
                                                   "escapes of QUOTATION_LIST so that it reads back"),
                                          static_cast<unsigned long long>(row), static_cast<int>(column + 1)));
    }

    // Whether a quoted cell as written (both quotes included) reads as `text`, by the reader's rules.
    bool reads_back(std::string_view quoted, std::string_view text) const {
        std::string cell;
        for (std::size_t p = m_d.quote_left.size(); p < quoted.size();) {
            const std::string_view rest = quoted.substr(p);
            if (rest.starts_with(m_d.escape_left)) {
                cell += m_d.quote_left;
                p += m_d.escape_left.size();
            } else if (rest.starts_with(m_d.escape_right)) {
                cell += m_d.quote_right;
                p += m_d.escape_right.size();
            } else if (rest.starts_with(m_d.quote_right)) {
                return p + m_d.quote_right.size() == quoted.size() && cell == text;
            } else {
                cell += quoted[p++];
            }
        }
        return false;
    }

    // One pass, so an escape that itself holds a quote is never escaped again. False (with the
    // cell written anyway) when the written cell would not read back as `text`.
    bool append_quoted(std::string_view text) {
        const std::size_t start = m_line.size();
        m_line += m_d.quote_left;
        const char first_left = m_d.quote_left[0];
        const char first_right = m_d.quote_right[0];
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t next = text.find(first_left, pos);
            if (first_right != first_left) next = std::min(next, text.find(first_right, pos));
            if (next == std::string_view::npos) next = text.size();
            m_line.append(text, pos, next - pos);
            if (next == text.size()) break;
            std::string_view rest = text.substr(next);
            if (rest.starts_with(m_d.quote_left)) {
                m_line += m_d.escape_left;
                pos = next + m_d.quote_left.size();
            } else if (!m_same_quotes && rest.starts_with(m_d.quote_right)) {
                m_line += m_d.escape_right;
                pos = next + m_d.quote_right.size();
            } else {
                m_line += text[next];
                pos = next + 1;
            }
        }
        m_line += m_d.quote_right;
        // Doubled quotes, the default, always read back; other escapes are checked.
        if (m_d.escape_left == m_d.quote_left + m_d.quote_left && m_d.escape_right == m_d.quote_right + m_d.quote_right)
            return true;
        return reads_back(std::string_view(m_line).substr(start), text);
    }

    Dialect m_d;
    ByteTable m_trigger{};
    bool m_same_quotes = true;
    bool m_at_start = true;  // nothing written yet
    std::string m_suffix_row;
    std::vector<bool> m_binary;
    std::string m_line;
    std::string m_hex;
};

// ---------------------------------------------------------------------------------------------
// Reading

/// The first position in [p, end) whose byte is in `table` (`single` >= 0: the only such byte).
inline const char* scan(const char* p, const char* end, const ByteTable& table, int single) {
    if (single >= 0) {
        const void* hit = std::memchr(p, single, static_cast<std::size_t>(end - p));
        return hit ? static_cast<const char*>(hit) : end;
    }
    while (end - p >= 4) {
        if (table[byte_of(p[0])]) return p;
        if (table[byte_of(p[1])]) return p + 1;
        if (table[byte_of(p[2])]) return p + 2;
        if (table[byte_of(p[3])]) return p + 3;
        p += 4;
    }
    while (p < end && !table[byte_of(*p)]) ++p;
    return p;
}

/// -1 when `table` holds several bytes, else its one byte.
int single_byte(const ByteTable& table) {
    int found = -1;
    for (int c = 0; c < 256; ++c) {
        if (!table[static_cast<std::size_t>(c)]) continue;
        if (found >= 0) return -1;
        found = c;
    }
    return found;
}

/// Streams rows out of a text or a file. Cells that start with the left quote are unquoted and
/// unescaped; every other cell is taken verbatim. A quoted cell may hold delimiters and line ends.
class DsvReader final : public RowReader {
public:
    DsvReader(Dialect dialect, std::shared_ptr<const std::string> text)
        : m_d(std::move(dialect)), m_text(std::move(text)) {
        m_p = m_text->data();
        m_end = m_p + m_text->size();
        m_eof = true;
        setup();
    }

    DsvReader(Dialect dialect, GInputStream* stream, std::string filename)
        : m_d(std::move(dialect)), m_stream(stream), m_filename(std::move(filename)) {
        setup();
        m_buffer.resize(kChunkSize + m_lookahead);
        m_p = m_end = m_buffer.data();
    }

    ~DsvReader() override {
        if (m_stream) {
            g_input_stream_close(m_stream, nullptr, nullptr);
            g_object_unref(m_stream);
        }
    }

    DsvReader(const DsvReader&) = delete;
    DsvReader& operator=(const DsvReader&) = delete;

    /// Skips a byte-order mark and reads the header line when there is one.
    Core::Status start() {
        if (ensure(kUtf8Bom.size()) && std::memcmp(m_p, kUtf8Bom.data(), kUtf8Bom.size()) == 0)
            m_p += kUtf8Bom.size();
        if (m_error) return Core::fail(*m_error);
        if (!m_d.has_header) return {};
        SourceRow names;
        std::size_t count = 0;
        auto read = read_row(names, count);
        OMBRIX_RETURN_IF_ERROR(read);
        if (!*read) return {};
        if (count == 0) count = 1;  // an empty first line names one column ""
        m_header.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            m_header.push_back(i < names.values.size() ? names.values[i].value_or(m_d.null_text) : std::string());
        m_expected = count;
        return {};
    }

    const std::vector<std::string>& header() const override { return m_header; }

    Core::Result<bool> next(SourceRow& row) override {
        row.names.clear();
        row.defect.clear();
        for (;;) {
            std::size_t count = 0;
            auto read = read_row(row, count);
            OMBRIX_RETURN_IF_ERROR(read);
            if (!*read) {
                row.values.clear();
                return false;
            }
            if (count == 0) {
                // Nothing between two row delimiters: a blank line between the rows of a
                // multi-column text, but the one empty cell of a one-column text.
                if (m_expected > 1) continue;
                slot(row, 0);
                if (m_d.has_null && m_d.null_text.empty()) row.values[0].reset();
                count = 1;
            }
            row.values.resize(count);
            row.number = m_row_line;
            if (m_expected == 0)
                m_expected = count;
            else if (count != m_expected)
                row.defect = Core::strprintf(Core::tr("line %llu has %d fields, expected %d"),
                                             static_cast<unsigned long long>(m_row_line), static_cast<int>(count),
                                             static_cast<int>(m_expected));
            return true;
        }
    }

private:
    enum class End { CELL, ROW };

    void setup() {
        m_count_lines = m_d.row.find('\n') != std::string::npos;
        m_lf_row = m_d.row == "\n";
        m_column_first = m_d.column.size() > m_d.row.size();

        // A one-byte delimiter that starts no other delimiter ends a cell or row on sight.
        auto starts = [](const std::string& s, char c) { return !s.empty() && s[0] == c; };
        if (m_d.column.size() == 1 && !starts(m_d.row, m_d.column[0]) && !starts(m_d.suffix, m_d.column[0]) &&
            m_d.column[0] != '\n')
            m_column_byte = byte_of(m_d.column[0]);
        if (m_d.row.size() == 1 && !starts(m_d.column, m_d.row[0]) && !starts(m_d.suffix, m_d.row[0]))
            m_row_byte = byte_of(m_d.row[0]);

        m_plain.fill(0);
        if (!m_d.column.empty()) m_plain[byte_of(m_d.column[0])] = 1;
        if (!m_d.row.empty()) m_plain[byte_of(m_d.row[0])] = 1;
        if (!m_d.suffix.empty()) m_plain[byte_of(m_d.suffix[0])] = 1;
        if (m_lf_row) m_plain[byte_of('\r')] = 1;
        m_plain_single = single_byte(m_plain);

        m_quoted.fill(0);
        m_quoted[byte_of(m_d.quote_right[0])] = 1;
        m_quoted[byte_of(m_d.escape_left[0])] = 1;
        m_quoted[byte_of(m_d.escape_right[0])] = 1;
        m_quoted_single = single_byte(m_quoted);

        m_lookahead = std::max({m_d.column.size(), m_d.row.size() + 1, m_d.prefix.size(), m_d.quote_left.size(),
                                m_d.quote_right.size(), m_d.escape_left.size(), m_d.escape_right.size(),
                                m_d.suffix.size() + m_d.row.size() + 1, kUtf8Bom.size()});
    }

    // Input -----------------------------------------------------------------------------------

    /// Reads the next chunk after the unread bytes; false at the end of the input or on error.
    bool refill() {
        if (m_eof) return false;
        std::size_t pending = static_cast<std::size_t>(m_end - m_p);
        if (pending > 0 && m_p != m_buffer.data()) std::memmove(m_buffer.data(), m_p, pending);
        m_p = m_buffer.data();
        m_end = m_p + pending;
        GError* error = nullptr;
        gssize n = g_input_stream_read(m_stream, m_buffer.data() + pending, m_buffer.size() - pending, nullptr,
                                       &error);
        if (n < 0) {
            Core::Error e = Core::take_error(error);
            e.message = Core::strprintf(Core::tr("cannot read %s: %s"), m_filename.c_str(), e.message.c_str());
            m_error = std::move(e);
            m_eof = true;
            return false;
        }
        if (n == 0) {
            m_eof = true;
            return false;
        }
        m_end += n;
        return true;
    }

    /// Whether `n` bytes are available at the read position (reading more when needed). Only
    /// called once everything before the read position is copied out.
    bool ensure(std::size_t n) {
        while (static_cast<std::size_t>(m_end - m_p) < n)
            if (!refill()) return false;
        return true;
    }

    std::size_t available() const { return static_cast<std::size_t>(m_end - m_p); }

    bool match(std::string_view s, std::size_t offset = 0) {
        if (s.empty() || !ensure(offset + s.size())) return false;
        return std::memcmp(m_p + offset, s.data(), s.size()) == 0;
    }

    /// Whether the row ends `offset` bytes ahead: the row delimiter ("\r\n" too when it is "\n")
    /// or the end of the input. `length` receives the delimiter's length.
    bool row_end_at(std::size_t offset, std::size_t& length) {
        if (match(m_d.row, offset)) {
            length = m_d.row.size();
            return true;
        }
        if (m_lf_row && match("\r\n", offset)) {
            length = 2;
            return true;
        }
        if (!m_error && !ensure(offset + 1) && available() == offset) {
            length = 0;
            return true;
        }
        return false;
    }

    void consume(std::size_t n) {
        if (m_count_lines) m_line += static_cast<std::uint64_t>(std::count(m_p, m_p + n, '\n'));
        m_p += n;
    }

    void consume_row_end(std::size_t n) {
        consume(n);
        if (!m_count_lines) ++m_line;
    }

    // Rows ------------------------------------------------------------------------------------

    static std::string& slot(SourceRow& row, std::size_t index) {
        if (index < row.values.size()) {
            auto& cell = row.values[index];
            if (cell)
                cell->clear();
            else
                cell.emplace();
            return *cell;
        }
        row.values.emplace_back(std::in_place);
        return *row.values.back();
    }

    /// Reads one row's cells into `row.values` (beyond `count` they are stale): false at the end
    /// of the input; `count` 0 for a line with nothing on it.
    Core::Result<bool> read_row(SourceRow& row, std::size_t& count) {
        count = 0;
        if (!ensure(1)) {
            if (m_error) return Core::fail(*m_error);
            return false;
        }
        m_row_line = m_line;
        std::size_t length = 0;
        if (row_end_at(0, length)) {
            consume_row_end(length);
            return true;
        }
        if (match(m_d.prefix)) consume(m_d.prefix.size());
        for (;;) {
            std::string& cell = slot(row, count);
            ++count;
            bool quoted = false;
            if (match(m_d.quote_left)) {
                std::uint64_t start = m_line;
                consume(m_d.quote_left.size());
                if (!read_quoted(cell)) {
                    if (m_error) return Core::fail(*m_error);
                    return Core::fail("default", -1,
                                      Core::strprintf(Core::tr("unterminated quoted cell starting at line %llu"),
                                                      static_cast<unsigned long long>(start)));
                }
                quoted = true;
            }
            End end = read_plain(cell);
            if (m_error) return Core::fail(*m_error);
            if (m_d.has_null && !quoted && cell == m_d.null_text) row.values[count - 1].reset();
            if (end == End::ROW) return true;
        }
    }

    /// The rest of a quoted cell up to its closing quote: false when the input ends first.
    bool read_quoted(std::string& cell) {
        for (;;) {
            const char* hit = scan(m_p, m_end, m_quoted, m_quoted_single);
            if (hit != m_p) {
                if (m_count_lines) m_line += static_cast<std::uint64_t>(std::count(m_p, hit, '\n'));
                cell.append(m_p, static_cast<std::size_t>(hit - m_p));
                m_p = hit;
            }
            if (m_p == m_end) {
                if (!refill()) return false;
                continue;
            }
            if (match(m_d.escape_left)) {
                cell += m_d.quote_left;
                consume(m_d.escape_left.size());
            } else if (match(m_d.escape_right)) {
                cell += m_d.quote_right;
                consume(m_d.escape_right.size());
            } else if (match(m_d.quote_right)) {
                consume(m_d.quote_right.size());
                return true;
            } else {
                cell += *m_p;
                consume(1);
            }
            if (m_error) return false;
        }
    }

    /// Text taken verbatim up to the next column delimiter, or to the row's end (with the row
    /// suffix, when the row ends right after it).
    End read_plain(std::string& cell) {
        for (;;) {
            const char* hit = scan(m_p, m_end, m_plain, m_plain_single);
            if (hit != m_p) {
                if (m_count_lines && !m_lf_row) m_line += static_cast<std::uint64_t>(std::count(m_p, hit, '\n'));
                cell.append(m_p, static_cast<std::size_t>(hit - m_p));
                m_p = hit;
            }
            if (m_p == m_end) {
                if (!refill()) return End::ROW;
                continue;
            }
            // The usual one-byte delimiters need no look-ahead.
            if (byte_of(*m_p) == m_column_byte) {
                ++m_p;
                return End::CELL;
            }
            if (byte_of(*m_p) == m_row_byte) {
                consume_row_end(1);
                return End::ROW;
            }
            std::size_t length = 0;
            if (!m_d.suffix.empty() && match(m_d.suffix) && row_end_at(m_d.suffix.size(), length)) {
                consume(m_d.suffix.size());
                consume_row_end(length);
                return End::ROW;
            }
            if (m_column_first && match(m_d.column)) {
                consume(m_d.column.size());
                return End::CELL;
            }
            if (row_end_at(0, length)) {
                consume_row_end(length);
                return End::ROW;
            }
            if (match(m_d.column)) {
                consume(m_d.column.size());
                return End::CELL;
            }
            if (m_error) return End::ROW;
            cell += *m_p;
            consume(1);
        }
    }

    Dialect m_d;
    std::shared_ptr<const std::string> m_text;  // the text source, or
    GInputStream* m_stream = nullptr;           // the file source (owned)
    std::string m_filename;
    std::vector<char> m_buffer;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    bool m_eof = false;
    std::optional<Core::Error> m_error;

    ByteTable m_plain{};   // bytes that may end an unquoted run
    ByteTable m_quoted{};  // bytes that may end a quoted run
    int m_plain_single = -1;
    int m_quoted_single = -1;
    std::size_t m_lookahead = 0;
    bool m_count_lines = true;  // lines are counted by '\n', else by row delimiters
    bool m_lf_row = true;
    bool m_column_first = false;
    int m_column_byte = -1;  // the byte (0-255) or -1
    int m_row_byte = -1;

    std::uint64_t m_line = 1;
    std::uint64_t m_row_line = 1;
    std::size_t m_expected = 0;  // cells per row, from the header or the first row
    std::vector<std::string> m_header;
};

bool is_utf8_name(std::string_view encoding) {
    return encoding.empty() || g_ascii_strcasecmp(std::string(encoding).c_str(), "UTF-8") == 0 ||
           g_ascii_strcasecmp(std::string(encoding).c_str(), "UTF8") == 0;
}

/// The file's bytes as UTF-8: the file itself, or read through a converter from `encoding`.
Core::Result<GInputStream*> open_file(const std::string& filename, const std::string& encoding) {
    GFile* file = g_file_new_for_path(filename.c_str());
    GError* error = nullptr;
    GFileInputStream* input = g_file_read(file, nullptr, &error);
    g_object_unref(file);
    if (!input) return Core::fail(Core::take_error(error));
    GInputStream* stream = G_INPUT_STREAM(input);
    if (is_utf8_name(encoding)) return stream;

    GCharsetConverter* converter = g_charset_converter_new("UTF-8", encoding.c_str(), &error);
    if (!converter) {
        g_input_stream_close(stream, nullptr, nullptr);
        g_object_unref(stream);
        Core::Error e = Core::take_error(error);
        e.message = Core::strprintf(Core::tr("cannot read %s: %s"), filename.c_str(), e.message.c_str());
        return Core::fail(std::move(e));
    }
    GInputStream* converted = g_converter_input_stream_new(stream, G_CONVERTER(converter));
    g_object_unref(converter);
    g_object_unref(stream);
    return converted;
}

}  // namespace

std::shared_ptr<DsvExtractor> DsvExtractor::create(std::string_view file_extension) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(file_extension, nullptr);
    return Core::make_object<DsvExtractor>(file_extension);
}

OMBRIX_DEFINE_TYPE(DsvExtractor, "OmbrixSolvaneSupportsDataExtractorsDsvExtractor");

bool DsvExtractor::exact_cells() const { return has_option(kOptionNullValue); }

std::unique_ptr<RowWriter> DsvExtractor::create_writer(TextSink& sink, const ProgressCallback& progress,
                                                       std::uint64_t total, std::optional<Core::Error>& error) {
    error.reset();
    return std::make_unique<DsvWriter>(sink, progress, total, read_dialect(get_options()));
}

Core::Result<std::int64_t> DsvExtractor::export_to_file(const std::shared_ptr<TableModel>& model,
                                                        std::string_view filename, const ProgressCallback& progress) {
    return stream_to_file(model, filename, progress);
}

Core::Result<std::unique_ptr<RowReader>> DsvExtractor::open_reader(std::shared_ptr<const std::string> text) {
    Dialect dialect = read_dialect(get_options());
    std::unique_ptr<DsvReader> reader;
    if (text) {
        reader = std::make_unique<DsvReader>(std::move(dialect), std::move(text));
    } else {
        if (!has_option(kOptionFilename))
            return Core::fail("default", -1, Core::tr("no file to read: option FILENAME is not set"));
        std::string filename = option(kOptionFilename);
        auto stream = open_file(filename, option(kOptionEncoding, "UTF-8"));
        OMBRIX_RETURN_IF_ERROR(stream);
        reader = std::make_unique<DsvReader>(std::move(dialect), *stream, std::move(filename));
    }
    OMBRIX_RETURN_IF_ERROR(reader->start());
    return std::unique_ptr<RowReader>(std::move(reader));
}

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
