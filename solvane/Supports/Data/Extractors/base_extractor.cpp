#include "solvane/Supports/Data/Extractors/base_extractor.hpp"

#include <fcntl.h>
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_string.hpp"
#include "providers/Core/text.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Foundation/logging.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Supports/Data/load_format.hpp"
#include "solvane/Supports/Database/cluster.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/snapshot.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

using Data::append_hex_digits;
using Data::append_load_escaped;
using Data::local_load_statement;
using Data::travels_as_hex;

using Foundation::LoggingService;
using Providers::Contracts::ColumnModel;
using Providers::Contracts::RowModel;
using Providers::Contracts::ValueBinary;
using Providers::Contracts::ValueNull;
using Providers::Contracts::ValueString;

namespace {

constexpr std::size_t kSinkBuffer = 1U << 20;

Core::Error io_error(int code, std::string_view name) {
    return Core::Error{"g-io-error-quark", static_cast<int>(g_io_error_from_errno(code)),
                       std::string(name) + ": " + g_strerror(code)};
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// A decimal number as SQL reads it: sign, digits with an optional fraction, optional exponent.
bool is_number(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < text.size() && is_digit(text[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == text.size();
}

/// "0x" followed by an even number of hexadecimal digits: how binary cells travel as text.
bool is_binary_text(std::string_view text) {
    if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() % 2 != 0) return false;
    return std::all_of(text.begin() + 2, text.end(), [](char c) { return g_ascii_isxdigit(c) != 0; });
}

bool is_number_kind(DataType type) {
    switch (type) {
        case DataType::BOOLEAN:
        case DataType::INT8:
        case DataType::INT16:
        case DataType::INT32:
        case DataType::INT64:
        case DataType::UINT8:
        case DataType::UINT16:
        case DataType::UINT32:
        case DataType::UINT64:
        case DataType::MONEY:
        case DataType::FLOAT:
        case DataType::DOUBLE: return true;
        default: return false;
    }
}

bool is_temporal_kind(DataType type) {
    return type == DataType::DATE || type == DataType::TIME || type == DataType::DATETIME ||
           type == DataType::TIMESTAMP || type == DataType::TIMESPAN;
}

/// `text` as a string literal that reads back the same whatever the session's sql_mode and
/// whoever reads the script: in quotes with each quote doubled, or, when it holds a backslash (an
/// escape unless the mode holds NO_BACKSLASH_ESCAPES), a NUL byte (which the command-line client
/// refuses in a script) or a carriage return (which it drops before a line feed), as
/// _utf8mb4 X'…', which the server converts to the column's character set.
void append_quoted(std::string& out, std::string_view text) {
    // Three scans of the whole text, each a fast one, rather than one that looks up every byte.
    if (text.find('\\') != std::string_view::npos || text.find('\0') != std::string_view::npos ||
        text.find('\r') != std::string_view::npos) {
        out += "_utf8mb4 X'";
        append_hex_digits(out, text);
        out += '\'';
        return;
    }
    out += '\'';
    std::size_t start = 0;
    for (std::size_t at = text.find('\''); at != std::string_view::npos; at = text.find('\'', start)) {
        out.append(text, start, at + 1 - start);
        out += '\'';
        start = at + 1;
    }
    out.append(text, start, std::string_view::npos);
    out += '\'';
}

void append_hex_literal(std::string& out, std::string_view bytes) {
    out += "X'";
    append_hex_digits(out, bytes);
    out += '\'';
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sinks

FileSink::FileSink(int fd, std::string name, bool owned) : m_fd(fd), m_name(std::move(name)), m_owned(owned) {
    m_buffer.reserve(kSinkBuffer);
}

Core::Result<std::unique_ptr<FileSink>> FileSink::create(std::string_view filename) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, Core::fail("default", -1, "no file name"));
    const std::string name(filename);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Core::fail(io_error(errno, name));
    return std::unique_ptr<FileSink>(new FileSink(fd, name, true));
}

std::unique_ptr<FileSink> FileSink::standard_output() {
    return std::unique_ptr<FileSink>(new FileSink(STDOUT_FILENO, "standard output", false));
}

FileSink::~FileSink() {
    if (m_fd >= 0) (void)close();
}

Core::Status FileSink::drain() {
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            m_buffer.clear();
            return Core::fail(io_error(code, m_name));
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    return {};
}

Core::Status FileSink::write(std::string_view text) {
    if (m_fd < 0) return Core::fail("g-io-error-quark", G_IO_ERROR_CLOSED, m_name + ": stream is closed");
    if (m_buffer.size() + text.size() > kSinkBuffer) {
        if (auto drained = drain(); !drained) return drained;
        if (text.size() >= kSinkBuffer) {
            m_buffer.assign(text);
            return drain();
        }
    }
    m_buffer.append(text);
    return {};
}

Core::Status FileSink::close() {
    if (m_fd < 0) return {};
    Core::Status outcome = drain();
    if (m_owned && ::close(m_fd) != 0 && outcome) outcome = Core::fail(io_error(errno, m_name));
    m_fd = -1;
    return outcome;
}

// ---------------------------------------------------------------------------------------------
// Cells

bool is_binary_kind(DataType type) {
    return type == DataType::BINARY || type == DataType::BLOB || type == DataType::GEOMETRY;
}

void append_binary_text(std::string& out, std::string_view bytes) {
    out += "0x";
    append_hex_digits(out, bytes);
}

Cell cell_of(const ValuePtr& value, std::string& scratch) {
    if (!value || value->get_is_null()) return Cell{{}, true};
    if (const auto* binary = dynamic_cast<const ValueBinary*>(value.get())) {
        // The bytes are handed out as a copy: keep them where the cell can point.
        const auto bytes = binary->get_itsvalue();
        scratch.assign(bytes.begin(), bytes.end());
        return Cell{scratch, false};
    }
    scratch = value->to_string();
    return Cell{scratch, false};
}

std::vector<ColumnInfo> columns_of(const TableModel& model) {
    std::vector<ColumnInfo> columns;
    const auto& list = model.get_columns();
    columns.reserve(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) {
        const auto column = list->get(i);
        columns.push_back(ColumnInfo{column ? column->get_name() : std::string(),
                                     column ? column->get_data_type() : DataType::STRING});
    }
    return columns;
}

const std::vector<std::string>& RowReader::header() const {
    static const std::vector<std::string> none;
    return none;
}

// ---------------------------------------------------------------------------------------------
// BaseExtractor

BaseExtractor::BaseExtractor(std::string_view file_ext) : m_file_ext(file_ext) {}

OMBRIX_DEFINE_TYPE(BaseExtractor, "OmbrixSolvaneSupportsDataExtractorsBaseExtractor", [](auto& builder) {
    builder.abstract();
});

void BaseExtractor::set_continue_on_error(bool value) {
    if (m_continue_on_error == value) return;
    m_continue_on_error = value;
    notify(ombrix_name_continue_on_error);
}

std::string BaseExtractor::option(std::string_view key, std::string_view fallback) const {
    const auto it = m_options.find(key);
    return it == m_options.end() ? std::string(fallback) : it->second;
}

std::unique_ptr<RowWriter> BaseExtractor::create_writer(TextSink&, const ProgressCallback&, std::uint64_t,
                                                        std::optional<Core::Error>&) {
    return nullptr;
}

Core::Result<std::int64_t> BaseExtractor::export_model(const TableModel& model, TextSink& sink,
                                                       const ProgressCallback& progress) {
    const std::size_t rows = model.get_n_items();
    std::optional<Core::Error> error;
    auto writer = create_writer(sink, progress, rows, error);
    if (!writer) {
        if (error) return Core::fail(std::move(*error));
        return 0;
    }
    const auto columns = columns_of(model);
    OMBRIX_RETURN_IF_ERROR(writer->begin(columns));
    std::vector<std::string> scratch(columns.size());
    std::vector<Cell> cells(columns.size());
    for (std::size_t r = 0; r < rows; ++r) {
        const auto row = model.get_item(r);
        for (std::size_t c = 0; c < columns.size(); ++c)
            cells[c] = cell_of(row && c < row->get_n_items() ? row->get_value_at(c) : nullptr, scratch[c]);
        OMBRIX_RETURN_IF_ERROR(writer->row(cells.data()));
    }
    OMBRIX_RETURN_IF_ERROR(writer->end());
    return static_cast<std::int64_t>(rows);
}

Core::Result<std::int64_t> BaseExtractor::export_to_text(const std::shared_ptr<TableModel>& model,
                                                         std::string& buffer, const ProgressCallback& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(model, 0);
    std::string text;
    StringSink sink(text);
    auto exported = export_model(*model, sink, progress);
    if (!exported) return exported;
    buffer = std::move(text);
    return exported;
}

Core::Result<std::int64_t> BaseExtractor::export_to_file(const std::shared_ptr<TableModel>& model,
                                                         std::string_view filename, const ProgressCallback& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(model, 0);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, 0);
    LoggingService::info(nullptr, "export to file: %s", std::string(filename).c_str());
    std::string buffer;
    auto exported = export_to_text(model, buffer, progress);
    if (!exported) return exported;
    // Nothing exported leaves an existing file as it was and creates no new one.
    if (*exported == 0) return 0;
    auto sink = FileSink::create(filename);
    OMBRIX_RETURN_IF_ERROR(sink);
    OMBRIX_RETURN_IF_ERROR((*sink)->write(buffer));
    OMBRIX_RETURN_IF_ERROR((*sink)->close());
    return exported;
}

Core::Result<std::int64_t> BaseExtractor::stream_to_file(const std::shared_ptr<TableModel>& model,
                                                         std::string_view filename, const ProgressCallback& progress) {
    OMBRIX_RETURN_VAL_IF_NULL(model, 0);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(filename, 0);
    LoggingService::info(nullptr, "export to file: %s", std::string(filename).c_str());
    auto sink = FileSink::create(filename);
    OMBRIX_RETURN_IF_ERROR(sink);
    auto exported = export_model(*model, **sink, progress);
    auto closed = (*sink)->close();
    if (!exported) return exported;
    OMBRIX_RETURN_IF_ERROR(closed);
    return exported;
}

void BaseExtractor::append_sql_literal(std::string& out, DataType data_type, const Cell& cell) {
    if (cell.null) {
        out += "NULL";
        return;
    }
    if (is_binary_kind(data_type)) {
        append_hex_literal(out, cell.text);
        return;
    }
    if (data_type == DataType::BOOLEAN && (cell.text == "true" || cell.text == "false")) {
        out += cell.text == "true" ? "TRUE" : "FALSE";
        return;
    }
    // A number goes bare only when it reads as one; anything else is quoted like a text.
    if (is_number_kind(data_type) && is_number(cell.text)) {
        out += cell.text;
        return;
    }
    append_quoted(out, cell.text);
}

std::string BaseExtractor::format_column_value(DataType data_type, const ValuePtr& data_value) {
    std::string scratch;
    Cell cell = cell_of(data_value, scratch);
    bool binary = data_value && dynamic_cast<const ValueBinary*>(data_value.get()) != nullptr;
    // A geometry in the server's form is its bytes, not the digits it shows.
    if (const auto* geometry = dynamic_cast<const Providers::Contracts::ValueGeometry*>(data_value.get());
        geometry && geometry->is_binary() && !cell.null) {
        scratch = geometry->get_itsvalue();
        cell = Cell{scratch, false};
        binary = true;
    }
    // The bytes of a BIT column as the number they are: compared with a column of BIT, a string of
    // bytes is read as a decimal number and fails, or finds another row.
    if (binary && !cell.null && data_type == DataType::BOOLEAN && cell.text.size() <= 8) {
        std::uint64_t number = 0;
        for (const char byte : cell.text) number = (number << 8) | static_cast<unsigned char>(byte);
        return std::to_string(number);
    }
    std::string out;
    append_sql_literal(out, binary ? DataType::BINARY : data_type, cell);
    return out;
}

namespace {

bool equals_ignoring_case(std::string_view text, std::string_view word) {
    return text.size() == word.size() && g_ascii_strncasecmp(text.data(), word.data(), word.size()) == 0;
}

/// X'…' of "0x…" text (checked by the caller), its digits kept as they are.
void append_hex_text_literal(std::string& out, std::string_view text) {
    out += "X'";
    out.append(text.substr(2));
    out += '\'';
}

/// Appends the literal of an imported text to `out`, or gives the reason it cannot be one.
std::optional<Core::Error> append_text_literal(std::string& out, DataType data_type,
                                               std::optional<std::string_view> data_value, bool exact) {
    if (!data_value || data_value->data() == nullptr) {
        out += "NULL";
        return std::nullopt;
    }
    const std::string_view text = *data_value;
    const std::string_view trim = Core::trim(text);
    if (is_number_kind(data_type)) {
        if (trim.empty()) {
            out += "NULL";
        } else if (is_number(trim)) {
            out += trim;
        } else if (data_type == DataType::BOOLEAN && equals_ignoring_case(trim, "true")) {
            out += "TRUE";
        } else if (data_type == DataType::BOOLEAN && equals_ignoring_case(trim, "false")) {
            out += "FALSE";
        } else if (data_type == DataType::BOOLEAN && is_binary_text(trim)) {
            append_hex_text_literal(out, trim);
        } else {
            return Core::Error{"default", -1,
                               Core::strprintf(Core::tr("'%s' is not a number"), std::string(text).c_str())};
        }
        return std::nullopt;
    }
    if (trim.empty() && (!exact || is_temporal_kind(data_type)))
        out += "NULL";
    else if (is_binary_kind(data_type) && is_binary_text(text))
        append_hex_text_literal(out, text);
    else
        append_quoted(out, text);
    return std::nullopt;
}

}  // namespace

Core::Result<std::string> BaseExtractor::format_column_text(DataType data_type,
                                                            std::optional<std::string_view> data_value, bool exact) {
    std::string out;
    if (auto error = append_text_literal(out, data_type, data_value, exact)) return Core::fail(std::move(*error));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Local data loads: rows as the server's tab-separated load format

namespace {

/// Appends one field of the load format for an imported text, or gives the reason it cannot be
/// stored (the same reasons as the literal of the text).
std::optional<Core::Error> append_load_field(std::string& out, DataType type, std::optional<std::string_view> value,
                                             bool exact) {
    if (!value || value->data() == nullptr) {
        out += "\\N";
        return std::nullopt;
    }
    const std::string_view text = *value;
    const std::string_view trim = Core::trim(text);
    if (type == DataType::BOOLEAN) {
        if (trim.empty()) {
            out += "\\N";
        } else if (is_binary_text(trim)) {
            out.append(trim.substr(2));
        } else if (equals_ignoring_case(trim, "true") || equals_ignoring_case(trim, "false")) {
            out += equals_ignoring_case(trim, "true") ? "01" : "00";
        } else if (!trim.empty() && std::all_of(trim.begin(), trim.end(), is_digit) && trim.size() <= 19) {
            std::uint64_t number = std::strtoull(std::string(trim).c_str(), nullptr, 10);
            std::string bytes;
            do {
                bytes.insert(bytes.begin(), static_cast<char>(number & 0xFF));
                number >>= 8;
            } while (number != 0);
            append_hex_digits(out, bytes);
        } else {
            return Core::Error{"default", -1, Core::strprintf(Core::tr("'%s' is not a number"), std::string(text).c_str())};
        }
        return std::nullopt;
    }
    if (is_number_kind(type)) {
        if (trim.empty())
            out += "\\N";
        else if (is_number(trim))
            out.append(trim);
        else
            return Core::Error{"default", -1, Core::strprintf(Core::tr("'%s' is not a number"), std::string(text).c_str())};
        return std::nullopt;
    }
    if (trim.empty() && (!exact || is_temporal_kind(type))) {
        out += "\\N";
    } else if (is_binary_kind(type)) {
        if (is_binary_text(text))
            out.append(text.substr(2));
        else
            append_hex_digits(out, text);
    } else {
        append_load_escaped(out, text);
    }
    return std::nullopt;
}

/// The INSERT tuple "(…)" of one line of the load format, for sending a refused batch again row by
/// row.
std::string tuple_of_line(std::string_view line, const std::vector<DataType>& types) {
    std::string tuple = "(";
    std::size_t field = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        const std::string_view raw = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (field) tuple += ", ";
        const DataType type = field < types.size() ? types[field] : DataType::STRING;
        if (raw == "\\N") {
            tuple += "NULL";
        } else if (travels_as_hex(type)) {
            tuple += "X'";
            tuple.append(raw);
            tuple += '\'';
        } else if (is_number_kind(type)) {
            tuple.append(raw);
        } else {
            std::string text;
            text.reserve(raw.size());
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] != '\\' || i + 1 == raw.size()) {
                    text += raw[i];
                    continue;
                }
                const char next = raw[++i];
                text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next == '0' ? '\0' : next;
            }
            append_quoted(tuple, text);
        }
        ++field;
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    tuple += ')';
    return tuple;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Statements of an imported row

namespace {

/// The source column that feeds `column` (its object data "SOURCE"); "" when none does.
std::string_view source_of(const MetaModel::MetaColumn& column) {
    const Core::Value* source = column.get_data("SOURCE");
    return source ? std::string_view(source->get_string()) : std::string_view();
}

/// Every source name some column of `table` takes its value from.
std::set<std::string, std::less<>> fed_names_of(const MetaModel::MetaTable& table) {
    std::set<std::string, std::less<>> names;
    for (const auto& column : *table.get_columns())
        if (column && !source_of(*column).empty()) names.emplace(source_of(*column));
    return names;
}

/// Why a row cannot be imported as it stands, before any statement is made: a cell count other
/// than the names given for the source's columns, or (with option "STRICT_NAMES") a name of the
/// row's own that feeds no column of the table or stands twice. Empty when the row is fine.
std::string row_defect(const SourceRow& row, const std::vector<std::string>& names, bool names_given,
                       const std::set<std::string, std::less<>>* fed_names) {
    if (!row.defect.empty()) return row.defect;
    if (row.names.empty()) {
        if (names_given && row.values.size() != names.size())
            return Core::strprintf(Core::tr("line %llu has %zu fields, but %zu column names are given"),
                                   static_cast<unsigned long long>(row.number), row.values.size(), names.size());
        return {};
    }
    if (!fed_names) return {};
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        const auto& name = row.names[i];
        if (std::find(row.names.begin(), row.names.begin() + static_cast<std::ptrdiff_t>(i), name) !=
            row.names.begin() + static_cast<std::ptrdiff_t>(i))
            return Core::strprintf(Core::tr("the name %s stands twice"), name.c_str());
        if (!fed_names->contains(name)) return Core::strprintf(Core::tr("the table has no column for %s"), name.c_str());
    }
    return {};
}

/// Whether the table's engine undoes a failed statement (InnoDB does; MyISAM, Aria and MEMORY do
/// not), as the server says; no when it cannot tell.
bool table_rolls_back(Contracts::Database::IConnection& connection, const MetaModel::MetaTable& table) {
    auto engines = Database::table_engines(connection, {{table.get_schema(), table.get_name()}});
    return engines && engines->size() == 1 && engines->front().transactional;
}

Core::Error no_column_error() {
    return Core::Error{"default", -1, Core::tr("the row holds no column of the table")};
}

/// The target columns an imported row feeds, with their literals, and the key columns among them.
struct MappedRow {
    Contracts::Database::StringArray names;
    Contracts::Database::StringArray literals;
    Contracts::Database::StringArray key_names;
    Contracts::Database::StringArray key_literals;
};

/// For each column of the table in order: the column names its source under the object data
/// "SOURCE"; the first header equal to it gives the value. Columns without a source, or whose
/// source is not among the headers, are left out.
Core::Result<MappedRow> map_row(const MetaModel::MetaTable& table, const std::vector<std::string>& headers,
                                const std::vector<std::optional<std::string>>& values, bool exact, bool complete) {
    MappedRow mapped;
    const auto& columns = table.get_columns();
    // Rows are found by the row key: the primary key, else a unique key of NOT NULL columns.
    const auto row_key = table.row_key();
    for (std::size_t i = 0; columns && i < columns->size(); ++i) {
        const auto column = columns->get(i);
        if (!column || column->is_generated()) continue;
        const std::string_view source = source_of(*column);
        if (source.empty()) continue;
        const auto found = std::find(headers.begin(), headers.end(), source);
        if (found == headers.end() && !complete) continue;
        const auto index = static_cast<std::size_t>(found - headers.begin());
        std::optional<std::string_view> value;  // NULL when a complete row does not name it
        if (index < values.size() && values[index]) value = *values[index];
        auto literal = BaseExtractor::format_column_text(column->get_data_type(), value, exact);
        if (!literal)
            return Core::fail(literal.error().domain, literal.error().code,
                              Core::strprintf(Core::tr("column %s: %s"), column->get_name().c_str(),
                                              literal.error().message.c_str()));
        std::string name = Database::mariadb_quote_identifier(column->get_name());
        if (std::find(row_key.begin(), row_key.end(), column->get_name()) != row_key.end()) {
            mapped.key_names.push_back(name);
            mapped.key_literals.push_back(*literal);
        }
        mapped.names.push_back(std::move(name));
        mapped.literals.push_back(std::move(*literal));
    }
    if (mapped.names.empty()) return Core::fail(no_column_error());
    return mapped;
}

Core::Error no_key_error() {
    return Core::Error{"default", -1,
                       Core::tr("no primary-key column among the imported columns: the statement would change "
                                "every row of the table")};
}

}  // namespace

Core::Result<std::string> BaseExtractor::build_insert_data_sql(
    const std::shared_ptr<Contracts::Database::IConnection>& connection,
    const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
    const std::vector<std::optional<std::string>>& values, bool complete) const {
    OMBRIX_RETURN_VAL_IF_NULL(connection, Core::fail("default", -1, "no connection"));
    OMBRIX_RETURN_VAL_IF_NULL(table, Core::fail("default", -1, "no table"));
    auto mapped = map_row(*table, headers, values, exact_cells(), complete);
    OMBRIX_RETURN_IF_ERROR(mapped);
    return connection->statement()->build_sql_insert(table->get_schema(), table->get_name(), mapped->names,
                                                     mapped->literals);
}

Core::Result<std::string> BaseExtractor::build_update_data_sql(
    const std::shared_ptr<Contracts::Database::IConnection>& connection,
    const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
    const std::vector<std::optional<std::string>>& values, bool complete) const {
    OMBRIX_RETURN_VAL_IF_NULL(connection, Core::fail("default", -1, "no connection"));
    OMBRIX_RETURN_VAL_IF_NULL(table, Core::fail("default", -1, "no table"));
    auto mapped = map_row(*table, headers, values, exact_cells(), complete);
    OMBRIX_RETURN_IF_ERROR(mapped);
    if (mapped->key_names.empty()) return Core::fail(no_key_error());
    return connection->statement()->build_sql_update(table->get_schema(), table->get_name(), mapped->names,
                                                     mapped->literals, mapped->key_names, mapped->key_literals);
}

Core::Result<std::string> BaseExtractor::build_delete_data_sql(
    const std::shared_ptr<Contracts::Database::IConnection>& connection,
    const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
    const std::vector<std::optional<std::string>>& values, bool complete) const {
    OMBRIX_RETURN_VAL_IF_NULL(connection, Core::fail("default", -1, "no connection"));
    OMBRIX_RETURN_VAL_IF_NULL(table, Core::fail("default", -1, "no table"));
    auto mapped = map_row(*table, headers, values, exact_cells(), complete);
    OMBRIX_RETURN_IF_ERROR(mapped);
    if (mapped->key_names.empty()) return Core::fail(no_key_error());
    return connection->statement()->build_sql_delete(table->get_schema(), table->get_name(), mapped->key_names,
                                                     mapped->key_literals);
}

// ---------------------------------------------------------------------------------------------
// ImportingExtractor

OMBRIX_DEFINE_TYPE(ImportingExtractor, "OmbrixSolvaneSupportsDataExtractorsImportingExtractor", [](auto& builder) {
    builder.abstract();
});

std::string ImportingExtractor::row_failure_text(std::uint64_t index, std::string_view message) const {
    return Core::strprintf("create row failed:%d -> %s", static_cast<int>(index), std::string(message).c_str());
}

std::vector<std::string> ImportingExtractor::source_columns(const RowReader& reader) const {
    if (has_option(kOptionColumns)) return Core::split(option(kOptionColumns), ',');
    return reader.header();
}

void ImportingExtractor::refuse(std::uint64_t number, std::uint64_t index, std::string_view message) const {
    // A bulk import refuses from its reading and its sending thread.
    std::lock_guard lock(m_refuse_mutex);
    LoggingService::error(nullptr, "%s", row_failure_text(index, message).c_str());
    if (m_refusal_handler) m_refusal_handler(number, message);
}

namespace {

/// Builds a model of text cells from a reader. Columns come from the source's header, else from
/// the rows' own names (a name first seen in a later row adds a column, NULL in the rows before),
/// else "C0", "C1", ...
Core::Result<std::shared_ptr<TableModel>> load_model(RowReader& reader, std::int64_t max_rows) {
    std::shared_ptr<TableModel> model;
    std::vector<std::string> names;
    bool by_name = false;
    auto make_model = [&](std::vector<std::string> column_names) {
        model = TableModel::create();
        names = std::move(column_names);
        for (const auto& name : names) model->get_columns()->append(ColumnModel::new_full(name, DataType::STRING));
    };
    SourceRow row;
    std::int64_t loaded = 0;
    while (true) {
        row.names.clear();
        // Readers set every cell of the row themselves (reusing the strings of the last one).
        row.defect.clear();
        auto more = reader.next(row);
        OMBRIX_RETURN_IF_ERROR(more);
        if (!model && !reader.header().empty()) make_model(reader.header());
        if (!*more) break;
        // A record that made no row (not an object, say) names no columns and holds no cells.
        if (!row.defect.empty() && row.names.empty() && row.values.empty()) continue;
        // Rows that name their cells make the columns as names come, even from a first row that
        // names none (an XML record of NULLs).
        const bool named = reader.names_rows() || !row.names.empty();
        if (!model) {
            if (named) {
                by_name = true;
                make_model(row.names);
            } else {
                std::vector<std::string> generated;
                for (std::size_t i = 0; i < row.values.size(); ++i) generated.push_back(Core::strprintf("C%d", static_cast<int>(i)));
                make_model(std::move(generated));
            }
        }
        std::vector<ValuePtr> values;
        values.reserve(names.size());
        if (by_name && named) {
            // A name the earlier records lacked (an attribute left out for NULL) adds a column,
            // NULL in the rows before.
            for (const auto& name : row.names) {
                if (std::find(names.begin(), names.end(), name) != names.end()) continue;
                names.push_back(name);
                model->get_columns()->append(ColumnModel::new_full(name, DataType::STRING));
                for (std::size_t r = 0; r < model->get_n_items(); ++r)
                    model->get_item(r)->get_values()->append(ValueNull::create());
            }
            for (const auto& name : names) {
                const auto found = std::find(row.names.begin(), row.names.end(), name);
                const auto index = static_cast<std::size_t>(found - row.names.begin());
                if (found == row.names.end() || index >= row.values.size() || !row.values[index])
                    values.push_back(ValueNull::create());
                else
                    values.push_back(ValueString::create(*row.values[index]));
            }
        } else {
            // A row shorter than the columns is dropped; cells beyond them are ignored.
            if (row.values.size() < names.size()) continue;
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (row.values[i])
                    values.push_back(ValueString::create(*row.values[i]));
                else
                    values.push_back(ValueNull::create());
            }
        }
        model->get_rows()->append(RowModel::create(std::move(values)));
        if (max_rows > 0 && ++loaded >= max_rows) break;
    }
    return model;
}

}  // namespace

Core::Result<std::shared_ptr<TableModel>> ImportingExtractor::load_from_file(std::int64_t max_rows) {
    auto reader = open_reader(nullptr);
    OMBRIX_RETURN_IF_ERROR(reader);
    return load_model(**reader, max_rows);
}

Core::Result<std::shared_ptr<TableModel>> ImportingExtractor::load_from_text(std::string_view textbuffer,
                                                                             std::int64_t max_rows) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(textbuffer, Core::fail("default", -1, "no text"));
    auto reader = open_reader(std::make_shared<const std::string>(textbuffer));
    OMBRIX_RETURN_IF_ERROR(reader);
    return load_model(**reader, text_load_honours_max_rows() ? max_rows : 0);
}

/// One import in progress. The row-by-row form reads a row, runs its statement(s) through the
/// connection's asynchronous calls and reads the next row from the completion, so every step runs
/// on the main context; the bulk form runs the same loop synchronously on a worker thread and
/// groups INSERTs into multi-row statements.
struct ImportRun : std::enable_shared_from_this<ImportRun> {
    std::shared_ptr<ImportingExtractor> owner;
    std::unique_ptr<RowReader> reader;
    std::shared_ptr<Contracts::Database::IConnection> connection;
    std::shared_ptr<MetaModel::MetaTable> table;
    ProgressCallback progress;
    Core::AsyncReadyCallback callback;
    std::vector<std::string> columns;
    std::string action;
    bool continue_on_error = true;
    unsigned long long batch_bytes = 1ULL << 20;
    std::uint64_t skip_rows = 0;  // leading source rows a resumed import leaves out
    ImportingExtractor::BatchObserver observer;
    bool rolls_back = true;  // the target table undoes a failed statement
    ImportCount count_kind = ImportCount::ROWS_WITHOUT_ERROR;
    std::uint64_t index = 0;  // rows read, 0-based position of the current one
    std::int64_t succeeded = 0;
    std::int64_t affected = 0;
    std::atomic<std::int64_t> processed{0};  // read by the sending thread of a bulk import
    SourceRow row;

    std::int64_t result() const {
        switch (count_kind) {
            case ImportCount::AFFECTED_ROWS: return affected;
            case ImportCount::RECORDS_PROCESSED: return processed;
            default: return succeeded;
        }
    }

    bool columns_known = false;
    bool names_given = false;  // option "COLUMNS" names the source's columns
    std::optional<std::set<std::string, std::less<>>> fed_names;  // with option "STRICT_NAMES"

    /// Sets the row's defect when it cannot be imported as it stands.
    void check_row() { row.defect = row_defect(row, headers(), names_given, fed_names ? &*fed_names : nullptr); }

    /// The source names of the current row: its own, else the source's columns, which are known
    /// once the first row has been read (a header line comes before it).
    const std::vector<std::string>& headers() {
        if (!row.names.empty()) return row.names;
        if (!columns_known) {
            columns = owner->source_columns(*reader);
            columns_known = true;
        }
        return columns;
    }

    /// The statements of the current row for the action, in the order they run ("merge" runs its
    /// INSERT only when the UPDATE changed nothing); empty for an action that runs nothing.
    Core::Result<std::vector<std::string>> statements() {
        const auto& names = headers();
        auto one = [](Core::Result<std::string> sql) -> Core::Result<std::vector<std::string>> {
            OMBRIX_RETURN_IF_ERROR(sql);
            return std::vector<std::string>{std::move(*sql)};
        };
        const bool complete = row.complete;
        if (action == "append" || action == "replace")
            return one(owner->build_insert_data_sql(connection, table, names, row.values, complete));
        if (action == "update")
            return one(owner->build_update_data_sql(connection, table, names, row.values, complete));
        if (action == "delete")
            return one(owner->build_delete_data_sql(connection, table, names, row.values, complete));
        if (action == "merge") {
            auto update = owner->build_update_data_sql(connection, table, names, row.values, complete);
            OMBRIX_RETURN_IF_ERROR(update);
            auto insert = owner->build_insert_data_sql(connection, table, names, row.values, complete);
            OMBRIX_RETURN_IF_ERROR(insert);
            return std::vector<std::string>{std::move(*update), std::move(*insert)};
        }
        return Core::fail("default", -1, Core::strprintf(Core::tr("unknown import action '%s'"), action.c_str()));
    }

    void finish(Core::Result<std::int64_t> outcome) {
        owner->m_rows_imported = succeeded;
        auto done = std::move(callback);
        callback = nullptr;
        if (done) done(Core::AsyncResult::from(std::move(outcome)));
    }

    /// Whether a failure ends the import: any failure without continue-on-error, and an
    /// interrupted statement (a cancelled import) or a lost connection always.
    bool stops_on(const Core::Error& error) const {
        return !continue_on_error || Providers::Supports::MariaDBProvider::is_interrupted(error) ||
               Providers::Supports::MariaDBProvider::is_connection_lost(error);
    }

    /// Records a failed row; false when the import stops there.
    bool row_failed(const Core::Error& error) {
        owner->refuse(row.number, index, error.message);
        if (stops_on(error)) {
            finish(Core::fail(error));
            return false;
        }
        return true;
    }

    void row_done(std::int64_t rows_affected) {
        ++succeeded;
        affected += rows_affected;
    }

    void after_row() {
        ++processed;
        ++index;
        if (progress) progress(reader->total(), static_cast<std::uint64_t>(affected), "");
    }

    // Row by row, on the main context -------------------------------------------------------
    void step() {
        row.names.clear();
        row.complete = false;
        // Readers set every cell of the row themselves (reusing the strings of the last one).
        row.defect.clear();
        auto more = reader->next(row);
        if (!more) return finish(Core::fail(more.error()));
        if (!*more) return finish(result());
        check_row();
        if (!row.defect.empty()) {
            if (!row_failed(Core::Error{"default", -1, row.defect})) return;
            after_row();
            return schedule();
        }
        auto sql = statements();
        if (!sql) {
            if (!row_failed(sql.error())) return;
            after_row();
            return schedule();
        }
        run(std::move(*sql), 0);
    }

    /// Runs statement `at` of `sql`; a "merge" runs its second statement only after an UPDATE that
    /// affected nothing.
    void run(std::vector<std::string> sql, std::size_t at) {
        auto self = shared_from_this();
        const std::string text = sql[at];
        connection->execute_no_query_async(text, [self, sql = std::move(sql), at](Core::AsyncResultPtr result) mutable {
            auto outcome = self->connection->execute_no_query_finish(result);
            if (!outcome) {
                if (!self->row_failed(outcome.error())) return;
            } else if (*outcome == 0 && at + 1 < sql.size()) {
                return self->run(std::move(sql), at + 1);
            } else {
                self->row_done(*outcome);
            }
            self->after_row();
            self->step();
        });
    }

    /// Reads the next row from an idle callback, so that long runs of rows without statements do
    /// not grow the stack.
    void schedule() {
        auto self = shared_from_this();
        Core::post_to_main([self] { self->step(); });
    }

    // Bulk, on a worker thread ---------------------------------------------------------------

    /// Where the cells of rows with the same source names go: one entry per table column fed.
    struct Plan {
        std::vector<std::string> headers;
        bool complete = false;            // columns not among the headers take NULL
        std::vector<std::size_t> source;  // index of the feeding cell (none: NULL)
        std::vector<DataType> types;
        std::vector<std::string> names;   // the table columns, quoted, in the table's order
        std::vector<std::string> labels;  // the same, as messages name them
        std::string prefix;               // INSERT INTO `s`.`t` (`a`, `b`) VALUES
        std::string load;                 // LOAD DATA LOCAL INFILE … (`a`, @c1) SET `b` = UNHEX(@c1)
    };

    void plan_for(Plan& plan, const std::vector<std::string>& names_of_row, bool complete) const {
        plan.headers = names_of_row;
        plan.complete = complete;
        plan.source.clear();
        plan.types.clear();
        plan.names.clear();
        plan.labels.clear();
        const auto& columns = table->get_columns();
        for (std::size_t i = 0; columns && i < columns->size(); ++i) {
            const auto column = columns->get(i);
            if (!column || column->is_generated()) continue;
            const std::string_view source = source_of(*column);
            if (source.empty()) continue;
            const auto found = std::find(plan.headers.begin(), plan.headers.end(), source);
            if (found == plan.headers.end() && !complete) continue;
            plan.source.push_back(found == plan.headers.end() ? std::string::npos
                                                              : static_cast<std::size_t>(found - plan.headers.begin()));
            plan.types.push_back(column->get_data_type());
            plan.names.push_back(Database::mariadb_quote_identifier(column->get_name()));
            plan.labels.push_back(column->get_name());
        }
        plan.prefix = "INSERT INTO " + Database::mariadb_quote_identifier(table->get_schema()) + "." +
                      Database::mariadb_quote_identifier(table->get_name()) + " (";
        for (std::size_t i = 0; i < plan.names.size(); ++i) {
            if (i) plan.prefix += ", ";
            plan.prefix += plan.names[i];
        }
        plan.prefix += ") VALUES ";
        plan.load = local_load_statement(table->get_schema(), table->get_name(), plan.names, plan.types);
    }

    /// One batch of rows encoded for sending, with where each row sits in it.
    struct Batch {
        struct Pending {
            std::uint64_t number;
            std::uint64_t position;
            std::size_t begin;
            std::size_t end;
        };
        std::shared_ptr<const Plan> plan;
        std::string data;  // load-format lines, or the INSERT prefix and its tuples
        std::vector<Pending> pending;
    };

    /// Sends one batch: a local data load in its own transaction (or a multi-row INSERT); a batch
    /// the server does not take whole is rolled back and sent again row by row, so that only the
    /// bad rows are refused.
    Core::Status send(Batch& batch, Providers::Supports::MariaDBProvider* provider) {
        if (batch.pending.empty()) return {};
        const Plan& plan = *batch.plan;
        // A table that cannot roll back keeps whatever part of a failed batch it stored, and the
        // server may have cut values to store it: each row goes alone, stored whole or refused.
        if (!rolls_back) return send_rows(batch, provider);
        Core::Status whole;
        if (provider) {
            whole = Data::load_batch(*provider, plan.load, batch.data,
                                     static_cast<std::int64_t>(batch.pending.size()), true);
        } else {
            batch.data += ';';
            auto outcome = connection->execute_no_query(batch.data);
            if (outcome)
                affected += *outcome - static_cast<std::int64_t>(batch.pending.size());
            else
                whole = Core::fail(outcome.error());
        }
        if (whole) {
            succeeded += static_cast<std::int64_t>(batch.pending.size());
            affected += static_cast<std::int64_t>(batch.pending.size());
            return {};
        }
        // Without a connection no row of the batch is at fault, and none can go in alone.
        if (Providers::Supports::MariaDBProvider::is_connection_lost(whole.error())) return whole;
        return send_rows(batch, provider);
    }

    /// Sends the rows of a batch one INSERT each, refusing those the server does not take.
    Core::Status send_rows(Batch& batch, Providers::Supports::MariaDBProvider* provider) {
        const Plan& plan = *batch.plan;
        for (const auto& one : batch.pending) {
            const std::string_view encoded = std::string_view(batch.data).substr(one.begin, one.end - one.begin);
            const std::string single =
                plan.prefix + (provider ? tuple_of_line(encoded, plan.types) : std::string(encoded)) + ";";
            auto alone = connection->execute_no_query(single);
            if (alone) {
                ++succeeded;
                affected += *alone;
                continue;
            }
            owner->refuse(one.number, one.position, alone.error().message);
            if (stops_on(alone.error())) return Core::fail(alone.error());
        }
        return {};
    }

    /// Reads every row and sends INSERTs as local data loads (on a MariaDB connection) or as
    /// multi-row INSERTs sized to the packet limit; other actions run row by row. Reading and
    /// encoding run on a thread of their own, one batch ahead of the sending.
    Core::Result<std::int64_t> run_bulk() {
        std::size_t limit = 1U << 20;
        if (auto packet = connection->execute_as_scalar("SELECT @@max_allowed_packet"); packet && *packet) {
            const auto value = std::strtoull((*packet)->to_string().c_str(), nullptr, 10);
            if (value > 8192) limit = static_cast<std::size_t>(std::min<unsigned long long>(value / 2, batch_bytes));
        }
        const bool exact = owner->exact_cells();
        const bool inserting = action == "append" || action == "replace";
        rolls_back = table_rolls_back(*connection, *table);
        auto provider_holder = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection->get_provider());
        // Rows that go one by one go as INSERTs from the start.
        Providers::Supports::MariaDBProvider* provider = inserting && rolls_back ? provider_holder.get() : nullptr;
        if (provider) limit = std::max<std::size_t>(limit, 16U << 20);
        // A node of a cluster takes write sets of bounded rows and bytes.
        const auto limits = Database::write_limits(*connection, limit);
        limit = limits.bytes;
        const std::int64_t row_limit = limits.rows;

        // The hand-over between the reading thread and this one: at most two batches wait.
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Batch> ready;
        bool finished = false;
        bool cancelled = false;
        std::optional<Core::Error> read_error;

        auto produce = [&]() {
            std::shared_ptr<Plan> plan;
            // Batches are sized up front: growing by doubling would hold twice the memory.
            Batch batch;
            batch.data.reserve(limit + (1U << 16));
            auto hand_over = [&]() -> bool {
                if (batch.pending.empty()) {
                    batch.data.clear();
                    return true;
                }
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready.size() < 2 || cancelled; });
                if (cancelled) return false;
                ready.push_back(std::move(batch));
                batch = Batch{};
                batch.data.reserve(limit + (1U << 16));
                batch.plan = plan;
                changed.notify_all();
                return true;
            };
            auto fail = [&](Core::Error error) {
                std::lock_guard lock(mutex);
                if (!read_error) read_error = std::move(error);
            };
            while (true) {
                {
                    std::lock_guard lock(mutex);
                    if (cancelled) break;
                }
                row.names.clear();
                row.complete = false;
                row.defect.clear();
                auto more = reader->next(row);
                if (!more) {
                    if (hand_over()) fail(more.error());
                    break;
                }
                if (!*more) {
                    hand_over();
                    break;
                }
                ++processed;
                const std::uint64_t position = index++;
                if (position < skip_rows) continue;
                check_row();
                if (!row.defect.empty()) {
                    owner->refuse(row.number, position, row.defect);
                    if (!continue_on_error) {
                        if (hand_over()) fail(Core::Error{"default", -1, row.defect});
                        break;
                    }
                    continue;
                }
                if (!inserting) {
                    auto done = run_statements_of_row(position);
                    if (done && observer) done = observer(position + 1, 0, true);
                    if (!done) {
                        fail(done.error());
                        break;
                    }
                    continue;
                }
                const auto& names_of_row = headers();
                if (!plan || names_of_row != plan->headers || row.complete != plan->complete) {
                    if (!hand_over()) break;
                    plan = std::make_shared<Plan>();
                    plan_for(*plan, names_of_row, row.complete);
                    batch.plan = plan;
                }
                if (plan->names.empty()) {
                    owner->refuse(row.number, position, no_column_error().message);
                    if (!continue_on_error) {
                        if (hand_over()) fail(no_column_error());
                        break;
                    }
                    continue;
                }
                const std::size_t mark = batch.data.size();
                std::optional<Core::Error> refused;
                for (std::size_t i = 0; i < plan->source.size() && !refused; ++i) {
                    if (provider)
                        batch.data += i ? "\t" : "";
                    else
                        batch.data += i ? ", " : (batch.pending.empty() ? plan->prefix + "(" : ",(");
                    const std::size_t from = plan->source[i];
                    std::optional<std::string_view> value;
                    if (from < row.values.size() && row.values[from]) value = *row.values[from];
                    auto error = provider ? append_load_field(batch.data, plan->types[i], value, exact)
                                          : append_text_literal(batch.data, plan->types[i], value, exact);
                    if (error)
                        refused = Core::Error{error->domain, error->code,
                                              Core::strprintf(Core::tr("column %s: %s"), plan->labels[i].c_str(),
                                                              error->message.c_str())};
                }
                if (refused) {
                    batch.data.resize(mark);
                    owner->refuse(row.number, position, refused->message);
                    if (!continue_on_error) {
                        if (hand_over()) fail(std::move(*refused));
                        break;
                    }
                    continue;
                }
                // Where the row sits: its line, or its tuple without the separator before it.
                std::size_t begin = mark;
                if (!provider) begin = batch.pending.empty() ? plan->prefix.size() : mark + 1;
                if (!provider) batch.data += ')';
                batch.pending.push_back(Batch::Pending{row.number, position, begin, batch.data.size()});
                if (provider) batch.data += '\n';
                if ((batch.data.size() >= limit ||
                     (row_limit > 0 && static_cast<std::int64_t>(batch.pending.size()) >= row_limit)) &&
                    !hand_over())
                    break;
            }
            std::lock_guard lock(mutex);
            finished = true;
            changed.notify_all();
        };

        std::thread producer(produce);
        Core::Status sent;
        while (true) {
            Batch batch;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !ready.empty() || finished; });
                if (ready.empty()) break;
                batch = std::move(ready.front());
                ready.pop_front();
                changed.notify_all();
            }
            const std::uint64_t end = batch.pending.empty() ? 0 : batch.pending.back().position + 1;
            const std::int64_t before = succeeded;
            if (observer && !batch.pending.empty())
                sent = observer(end, static_cast<std::int64_t>(batch.pending.size()), false);
            if (sent) sent = send(batch, provider);
            if (sent && observer && !batch.pending.empty()) sent = observer(end, succeeded - before, true);
            if (!sent) {
                std::lock_guard lock(mutex);
                cancelled = true;
                changed.notify_all();
                break;
            }
            if (progress) progress(reader->total(), static_cast<std::uint64_t>(processed), "");
        }
        producer.join();
        OMBRIX_RETURN_IF_ERROR(sent);
        if (read_error) return Core::fail(std::move(*read_error));
        return result();
    }

    /// The statements of the current row for an action other than INSERT, run at once: a failure
    /// refuses the row, and stops the import (the error) unless continue-on-error.
    Core::Status run_statements_of_row(std::uint64_t position) {
        auto sql = statements();
        if (!sql) {
            owner->refuse(row.number, position, sql.error().message);
            if (!continue_on_error) return Core::fail(sql.error());
            return {};
        }
        for (std::size_t i = 0; i < sql->size(); ++i) {
            auto outcome = connection->execute_no_query((*sql)[i]);
            if (!outcome) {
                owner->refuse(row.number, position, outcome.error().message);
                if (stops_on(outcome.error())) return Core::fail(outcome.error());
                return {};
            }
            // A merge runs its INSERT only when the UPDATE changed nothing.
            if (*outcome != 0 || i + 1 == sql->size()) {
                affected += *outcome;
                break;
            }
        }
        ++succeeded;
        return {};
    }
};

void ImportingExtractor::start_import(std::shared_ptr<const std::string> text,
                                      const std::shared_ptr<Contracts::Database::IConnection>& connection,
                                      const std::shared_ptr<MetaModel::MetaTable>& table,
                                      const ProgressCallback& progress, Core::AsyncReadyCallback callback) {
    OMBRIX_RETURN_IF_NULL(connection);
    OMBRIX_RETURN_IF_NULL(table);
    auto fail_at_once = [&callback](Core::Error error) {
        Core::post_to_main([callback = std::move(callback), error = std::move(error)] {
            if (callback) callback(Core::AsyncResult::failure(error));
        });
    };
    // An action the importer does not know would run nothing for every row.
    const std::string action = option(kOptionAction);
    if (action != "append" && action != "replace" && action != "update" && action != "merge" && action != "delete")
        return fail_at_once(Core::Error{
            "default", -1, Core::strprintf(Core::tr("unknown import action '%s'"), action.c_str())});
    auto reader = open_reader(std::move(text));
    if (!reader) return fail_at_once(reader.error());
    auto run = std::make_shared<ImportRun>();
    run->owner = std::static_pointer_cast<ImportingExtractor>(shared_from_this());
    run->reader = std::move(*reader);
    run->connection = connection;
    run->table = table;
    run->progress = import_reports_progress() || option(kOptionBulk) == "true" ? progress : ProgressCallback{};
    run->callback = std::move(callback);
    run->action = action;
    run->continue_on_error = get_continue_on_error();
    run->names_given = has_option(kOptionColumns);
    if (option(kOptionStrictNames) == "true") run->fed_names = fed_names_of(*table);
    if (const auto bytes = std::strtoull(option("BULK_BYTES").c_str(), nullptr, 10); bytes >= 4096)
        run->batch_bytes = bytes;
    run->skip_rows = std::strtoull(option("SKIP_ROWS").c_str(), nullptr, 10);
    run->observer = m_batch_observer;
    run->count_kind = import_count();
    m_rows_imported = 0;
    if (option(kOptionBulk) == "true") {
        auto done = std::move(run->callback);
        Core::run_in_thread(
            [run]() {
                auto outcome = run->run_bulk();
                run->owner->m_rows_imported = run->succeeded;
                run->owner.reset();
                return Core::AsyncResult::from(std::move(outcome));
            },
            std::move(done));
        return;
    }
    Core::post_to_main([run] { run->step(); });
}

void ImportingExtractor::import_from_file(const std::shared_ptr<Contracts::Database::IConnection>& connection,
                                          const std::shared_ptr<MetaModel::MetaTable>& table,
                                          const ProgressCallback& progress, Core::AsyncReadyCallback callback) {
    start_import(nullptr, connection, table, progress, std::move(callback));
}

Core::Result<std::int64_t> ImportingExtractor::import_from_file_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take<std::int64_t>();
}

void ImportingExtractor::import_from_text(std::string_view textbuffer,
                                          const std::shared_ptr<Contracts::Database::IConnection>& connection,
                                          const std::shared_ptr<MetaModel::MetaTable>& table,
                                          const ProgressCallback& progress, Core::AsyncReadyCallback callback) {
    OMBRIX_RETURN_IF_NULL_VIEW(textbuffer);
    start_import(std::make_shared<const std::string>(textbuffer), connection, table, progress, std::move(callback));
}

Core::Result<std::int64_t> ImportingExtractor::import_from_text_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take<std::int64_t>();
}

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
