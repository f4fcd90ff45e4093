/// @file What every data format shares: options, text sinks, row writers and readers, SQL literals,
/// the statements of an imported row, loading into a model and the two import paths.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Data/exporter.hpp"
#include "solvane/Contracts/Data/importer.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data::Extractors {

using Contracts::Data::OptionMap;
using Contracts::Data::ProgressCallback;
using Providers::Contracts::DataType;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;

// ---------------------------------------------------------------------------------------------
// Writing

/// Where a writer puts its text. Sinks buffer; `close` flushes and reports the first failure.
class OMBRIX_SOLVANE_EXPORT TextSink {
public:
    virtual ~TextSink() = default;
    [[nodiscard]] virtual Core::Status write(std::string_view text) = 0;
    [[nodiscard]] virtual Core::Status close() { return {}; }
};

/// Appends to a string the caller owns.
class OMBRIX_SOLVANE_EXPORT StringSink final : public TextSink {
public:
    explicit StringSink(std::string& out) : m_out(out) {}
    [[nodiscard]] Core::Status write(std::string_view text) override {
        m_out.append(text);
        return {};
    }

private:
    std::string& m_out;
};

/// Writes to a file (created or replaced) or to standard output through a large buffer.
class OMBRIX_SOLVANE_EXPORT FileSink final : public TextSink {
public:
    /// Creates or truncates `filename`; the error names the file and the system's reason.
    [[nodiscard]] static Core::Result<std::unique_ptr<FileSink>> create(std::string_view filename);
    /// Standard output; closing it flushes and leaves the descriptor open.
    static std::unique_ptr<FileSink> standard_output();
    ~FileSink() override;

    [[nodiscard]] Core::Status write(std::string_view text) override;
    [[nodiscard]] Core::Status close() override;

private:
    FileSink(int fd, std::string name, bool owned);
    [[nodiscard]] Core::Status drain();

    int m_fd = -1;
    std::string m_name;
    bool m_owned = true;
    std::string m_buffer;
};

/// A column as writers see it.
struct ColumnInfo {
    std::string name;
    DataType type = DataType::STRING;
};

/// One cell handed to a writer: the value's text form, or for the binary kinds (`is_binary_kind`)
/// its raw bytes, which text formats write as `binary_text` gives them.
struct Cell {
    std::string_view text;
    bool null = false;
};

/// BINARY, BLOB and GEOMETRY: kinds whose cells are bytes rather than text.
OMBRIX_SOLVANE_EXPORT bool is_binary_kind(DataType type);
/// "0x" and the bytes in upper-case hexadecimal: how text formats carry binary cells.
OMBRIX_SOLVANE_EXPORT void append_binary_text(std::string& out, std::string_view bytes);
/// The cell of `value`: null for a missing value or the null value; raw bytes for binary values,
/// else `to_string` (kept in `scratch`, which must outlive the cell).
OMBRIX_SOLVANE_EXPORT Cell cell_of(const ValuePtr& value, std::string& scratch);
/// The columns of a model as writers see them.
OMBRIX_SOLVANE_EXPORT std::vector<ColumnInfo> columns_of(const TableModel& model);

/// Writes rows of one format as they come: `begin` once, `row` per data row, `end` once. Every row
/// has one cell per column given to `begin`. Writers that report progress call `report` after each
/// row with the text made for it.
class OMBRIX_SOLVANE_EXPORT RowWriter {
public:
    RowWriter(TextSink& sink, ProgressCallback progress, std::uint64_t total)
        : m_sink(sink), m_progress(std::move(progress)), m_total(total) {}
    virtual ~RowWriter() = default;

    [[nodiscard]] virtual Core::Status begin(const std::vector<ColumnInfo>& columns) = 0;
    [[nodiscard]] virtual Core::Status row(const Cell* cells) = 0;
    [[nodiscard]] virtual Core::Status end() = 0;

    std::uint64_t rows_written() const { return m_index; }

protected:
    void report(std::string_view text) {
        ++m_index;
        if (m_progress) m_progress(m_total, m_index, text);
    }

    TextSink& m_sink;
    ProgressCallback m_progress;
    std::uint64_t m_total = 0;
    std::uint64_t m_index = 0;
};

// ---------------------------------------------------------------------------------------------
// Reading

/// One row read from a source.
struct SourceRow {
    /// The row's own column names (JSON members, XML children or attributes); empty when the
    /// source names its columns once (`RowReader::header`) or not at all.
    std::vector<std::string> names;
    /// The cells; an empty optional is NULL.
    std::vector<std::optional<std::string>> values;
    /// 1-based line (delimited text) or record number (JSON, XML), for messages.
    std::uint64_t number = 0;
    /// Set when the source could not make a proper row of this line (too few cells): the row is
    /// dropped when loading and refused, with this message, when importing.
    std::string defect;
    /// Set when the row names every cell it has and a name it lacks is NULL (an XML record whose
    /// cells are attributes: NULL is an attribute left out); otherwise a column whose source the row
    /// does not name is left out of its statement.
    bool complete = false;
};

/// Reads the rows of one source in order.
class OMBRIX_SOLVANE_EXPORT RowReader {
public:
    virtual ~RowReader() = default;
    /// Column names the source declares before its rows (a header line), else empty.
    virtual const std::vector<std::string>& header() const;
    /// The number of rows when the source knows it up front (a parsed document), else 0.
    virtual std::uint64_t total() const { return 0; }
    /// Whether every row names its own cells (JSON members, XML elements or attributes), even a row
    /// that names none.
    virtual bool names_rows() const { return false; }
    /// Fills `row` with the next row: true, or false at the end of the source.
    [[nodiscard]] virtual Core::Result<bool> next(SourceRow& row) = 0;
};

// ---------------------------------------------------------------------------------------------
// The base class

/// How an import's finish counts (each format states its own).
enum class ImportCount {
    ROWS_WITHOUT_ERROR,  // rows imported without error
    AFFECTED_ROWS,       // the sum of the rows the statements affected
    RECORDS_PROCESSED,   // every record, failed-but-continued ones included
};

/// Option keys shared by several formats.
inline constexpr std::string_view kOptionFilename = "FILENAME";
inline constexpr std::string_view kOptionAction = "ACTION";
inline constexpr std::string_view kOptionColumns = "COLUMNS";
inline constexpr std::string_view kOptionNullValue = "NULL_VALUE";
/// "true" sends an import's rows as multi-row statements sized to the server's packet limit, one
/// transaction per statement, retrying a failed batch row by row (off by default). Into a table
/// that cannot roll back (MyISAM, Aria, MEMORY) each row goes alone, as a failed batch may have
/// stored some of its rows.
inline constexpr std::string_view kOptionBulk = "BULK";
/// "true" refuses a row whose own names (JSON members, XML children or attributes) include one that
/// feeds no column of the table, or one that stands twice (off by default: unmapped names are
/// passed over).
inline constexpr std::string_view kOptionStrictNames = "STRICT_NAMES";

/// Base of every format: the option map, the base file path and SQL literals. Formats provide a
/// writer (`create_writer`); model exports and streamed exports both go through it.
class OMBRIX_SOLVANE_EXPORT BaseExtractor : public Core::Object, public Contracts::Data::IExporter {
public:
    OMBRIX_OBJECT(BaseExtractor, Core::Object);

    OptionMap& get_options() override { return m_options; }
    const OptionMap& get_options() const { return m_options; }
    OMBRIX_PROPERTY_READONLY(std::string, file_extention, std::string());
    OMBRIX_PROPERTY_VIA(bool, continue_on_error, true, Core::ReadWrite);
    const std::string& get_file_extention() const override { return m_file_ext; }
    bool get_continue_on_error() const override { return m_continue_on_error; }
    void set_continue_on_error(bool value) override;

    /// The base path: logs "export to file: %s", exports to text and writes the file unless no row
    /// was exported (then an existing file stays as it is).
    [[nodiscard]] Core::Result<std::int64_t> export_to_file(const std::shared_ptr<TableModel>& model,
                                                            std::string_view filename,
                                                            const ProgressCallback& progress) override;
    /// Drives the format's writer over the model into `buffer`; 0 for a format without one.
    [[nodiscard]] Core::Result<std::int64_t> export_to_text(const std::shared_ptr<TableModel>& model,
                                                            std::string& buffer,
                                                            const ProgressCallback& progress) override;

    /// The format's writer over `sink` (reading the options now), or null when the format has
    /// none or its options are unusable (`error` then says why).
    virtual std::unique_ptr<RowWriter> create_writer(TextSink& sink, const ProgressCallback& progress,
                                                     std::uint64_t total, std::optional<Core::Error>& error);
    /// Writes the model straight into the file through the format's writer, creating the file even
    /// when there is no row: the file path of the formats that stream (delimited text, JSON, XML).
    [[nodiscard]] Core::Result<std::int64_t> stream_to_file(const std::shared_ptr<TableModel>& model,
                                                            std::string_view filename,
                                                            const ProgressCallback& progress);
    /// Writes every row of `model` through a writer over `sink`: the number of rows written.
    [[nodiscard]] Core::Result<std::int64_t> export_model(const TableModel& model, TextSink& sink,
                                                          const ProgressCallback& progress);

    /// The SQL literal of a cell value: NULL for the null value; numbers bare; binary kinds as
    /// X'…', but the bytes of a BIT column (BOOLEAN) as the unsigned number they are; everything
    /// else as a literal that reads alike under every sql_mode (see the .cpp).
    static std::string format_column_value(DataType data_type, const ValuePtr& data_value);
    /// The same literal for a cell of a column of `data_type`, appended to `out`.
    static void append_sql_literal(std::string& out, DataType data_type, const Cell& cell);
    /// The SQL literal of an imported text for a column of `data_type`, or the reason it cannot
    /// be one (a numeric column given something other than a number). A blank text is NULL for
    /// every kind unless `exact` (the source tells NULL from the empty text), when only numeric and
    /// temporal kinds take a blank as NULL.
    [[nodiscard]] static Core::Result<std::string> format_column_text(DataType data_type,
                                                                      std::optional<std::string_view> data_value,
                                                                      bool exact = false);

protected:
    explicit BaseExtractor(std::string_view file_ext);

    /// Whether the format's imported cells tell NULL from the empty text (see `format_column_text`).
    virtual bool exact_cells() const { return true; }

    /// The statement texts for one row and option "ACTION" (see the .cpp), or why the row is
    /// refused (a cell its column cannot take, no column of the table, no key to find it by).
    /// With `complete`, a column whose source is not among `headers` takes NULL.
    [[nodiscard]] Core::Result<std::string> build_insert_data_sql(
        const std::shared_ptr<Contracts::Database::IConnection>& connection,
        const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
        const std::vector<std::optional<std::string>>& values, bool complete = false) const;
    [[nodiscard]] Core::Result<std::string> build_update_data_sql(
        const std::shared_ptr<Contracts::Database::IConnection>& connection,
        const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
        const std::vector<std::optional<std::string>>& values, bool complete = false) const;
    [[nodiscard]] Core::Result<std::string> build_delete_data_sql(
        const std::shared_ptr<Contracts::Database::IConnection>& connection,
        const std::shared_ptr<MetaModel::MetaTable>& table, const std::vector<std::string>& headers,
        const std::vector<std::optional<std::string>>& values, bool complete = false) const;

    /// The option's value, or `fallback` when it is not set.
    std::string option(std::string_view key, std::string_view fallback = {}) const;
    bool has_option(std::string_view key) const { return m_options.find(key) != m_options.end(); }

private:
    std::string m_file_ext;
    OptionMap m_options;
    bool m_continue_on_error = true;
};

/// Base of the formats that also read: loading into a model of text cells and importing into a
/// table, either row by row as statements awaited one after the other on the main context, or,
/// with option "BULK" set to "true", as multi-row INSERTs on a worker thread.
class OMBRIX_SOLVANE_EXPORT ImportingExtractor : public BaseExtractor, public Contracts::Data::IImporter {
public:
    using RefusalHandler = std::function<void(std::uint64_t number, std::string_view message)>;

    OMBRIX_OBJECT(ImportingExtractor, BaseExtractor);

    /// Called for every row an import refuses, with its number and the reason (on the thread
    /// that imports).
    void set_refusal_handler(RefusalHandler handler) { m_refusal_handler = std::move(handler); }
    /// What a bulk import tells of its progress, so that a journal can resume it: `end` is the
    /// number of source rows read through the batch (or row) in question. For a batch of INSERT
    /// rows it is called before the batch is sent (`committed` false, `rows` the batch's rows) and
    /// once it is stored (`committed` true, `rows` those stored); for the other actions after each
    /// row (`committed` true, `rows` 0). A failure stops the import with that error. Option
    /// "SKIP_ROWS" (a number) leaves that many leading source rows unread by the table: those a
    /// journal says are in.
    using BatchObserver = std::function<Core::Status(std::uint64_t end, std::int64_t rows, bool committed)>;
    void set_batch_observer(BatchObserver observer) { m_batch_observer = std::move(observer); }
    /// The rows the last finished import stored without error (whatever its finish counts).
    std::int64_t get_rows_imported() const { return m_rows_imported.load(); }

    // Importing -------------------------------------------------------------------------------
    void import_from_file(const std::shared_ptr<Contracts::Database::IConnection>& connection,
                          const std::shared_ptr<MetaModel::MetaTable>& table, const ProgressCallback& progress,
                          Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::int64_t> import_from_file_finish(const Core::AsyncResultPtr& result) override;
    void import_from_text(std::string_view textbuffer,
                          const std::shared_ptr<Contracts::Database::IConnection>& connection,
                          const std::shared_ptr<MetaModel::MetaTable>& table, const ProgressCallback& progress,
                          Core::AsyncReadyCallback callback) override;
    [[nodiscard]] Core::Result<std::int64_t> import_from_text_finish(const Core::AsyncResultPtr& result) override;
    [[nodiscard]] Core::Result<std::shared_ptr<TableModel>> load_from_file(std::int64_t max_rows) override;
    /// Loads every row whatever `max_rows` says.
    [[nodiscard]] Core::Result<std::shared_ptr<TableModel>> load_from_text(std::string_view textbuffer,
                                                                           std::int64_t max_rows) override;

    /// A reader over `text`, or over the file named by option "FILENAME" when `text` is null.
    [[nodiscard]] virtual Core::Result<std::unique_ptr<RowReader>> open_reader(
        std::shared_ptr<const std::string> text) = 0;

protected:
    using BaseExtractor::BaseExtractor;

    /// How this format's import finish counts.
    virtual ImportCount import_count() const { return ImportCount::ROWS_WITHOUT_ERROR; }
    /// Whether this format reports import progress (after each row: rows in the source, count).
    virtual bool import_reports_progress() const { return false; }
    /// Whether `load_from_text` honours `max_rows`.
    virtual bool text_load_honours_max_rows() const { return false; }
    /// The log text of a failed row: "create row failed:%d -> %s" or "import row failed: %s".
    virtual std::string row_failure_text(std::uint64_t index, std::string_view message) const;
    /// The source column names of rows that do not name their own (default: option "COLUMNS"
    /// split at ",", else the reader's header).
    virtual std::vector<std::string> source_columns(const RowReader& reader) const;

private:
    void start_import(std::shared_ptr<const std::string> text,
                      const std::shared_ptr<Contracts::Database::IConnection>& connection,
                      const std::shared_ptr<MetaModel::MetaTable>& table, const ProgressCallback& progress,
                      Core::AsyncReadyCallback callback);
    void refuse(std::uint64_t number, std::uint64_t index, std::string_view message) const;

    RefusalHandler m_refusal_handler;
    BatchObserver m_batch_observer;
    mutable std::mutex m_refuse_mutex;
    std::atomic<std::int64_t> m_rows_imported{0};

    friend struct ImportRun;
};

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
