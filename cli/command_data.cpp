// ombrix export, ombrix import and ombrix doc: table data to and from files in the exchange
// formats, and the data dictionary of a schema.
#include "command_data.hpp"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.hpp"
#include "describe.hpp"
#include "interrupt.hpp"
#include "output.hpp"
#include "providers/Core/async.hpp"
#include "providers/Core/glib.hpp"
#include <glib/gstdio.h>
#include "providers/Supports/MariaDB/provider.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Supports/Data/Documents/html_document.hpp"
#include "solvane/Supports/Data/Documents/markdown_document.hpp"
#include "solvane/Supports/Data/Documents/rich_document.hpp"
#include "solvane/Supports/Data/journal.hpp"
#include "solvane/Supports/Data/Documents/schema_diagram.hpp"
#include "solvane/Supports/Data/Extractors/dsv_extractor.hpp"
#include "solvane/Supports/Data/Extractors/html_extractor.hpp"
#include "solvane/Supports/Data/Extractors/json_extractor.hpp"
#include "solvane/Supports/Data/Extractors/markdown_extractor.hpp"
#include "solvane/Supports/Data/Extractors/sql_extractor.hpp"
#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"

namespace Ombrix::Cli {

namespace X = Solvane::Supports::Data::Extractors;
namespace MM = Solvane::MetaModel;

// ---------------------------------------------------------------- shared pieces

void add_format_options(CLI::App& command, FormatOptions& options) {
    command.add_option("--delimiter", options.delimiter, "Column delimiter of csv/tsv (default , or a tab)");
    command.add_option("--quote", options.quote, "When csv/tsv cells are quoted: ifneed (default) or always")
        ->check(CLI::IsMember({"ifneed", "always"}));
    command.add_flag("--header,!--no-header", options.header, "Whether csv/tsv has a header line (default: yes)");
    command.add_option("--null-text", options.null_text,
                       "Text written for NULL and read back as NULL (csv, tsv, xml); without it an empty "
                       "cell is NULL on import");
    command.add_option("--encoding", options.encoding, "Character set of the csv/tsv file (default UTF-8)");
    command.add_option("--xml-storage", options.xml_storage,
                       "Where xml puts a row's cells: element (default) or attribute (a NULL is an attribute "
                       "left out)")
        ->check(CLI::IsMember({"element", "attribute"}));
}

std::shared_ptr<X::BaseExtractor> make_extractor(const std::string& format, const FormatOptions& options,
                                                 const std::string& table_name) {
    std::shared_ptr<X::BaseExtractor> extractor;
    if (format == "csv" || format == "tsv") {
        auto dsv = X::DsvExtractor::create(format);
        auto& o = dsv->get_options();
        o["DELIMITER_COLUMN"] = options.delimiter ? *options.delimiter : (format == "csv" ? "," : "\t");
        o["DELIMITER_ROWNEW"] = "\n";
        o["QUOTATION_TIME"] = options.quote;
        o["HAS_HEADER"] = options.header ? "true" : "false";
        if (options.encoding) o["ENCODING"] = *options.encoding;
        extractor = dsv;
    } else if (format == "json") {
        extractor = X::JsonExtractor::create("json");
    } else if (format == "xml") {
        extractor = X::XmlExtractor::create("xml");
        extractor->get_options()[std::string(X::kOptionStorage)] = options.xml_storage;
    } else if (format == "html") {
        extractor = X::HtmlExtractor::create("html");
    } else if (format == "md") {
        extractor = X::MarkdownExtractor::create("md");
    } else if (format == "sql-insert" || format == "sql-update") {
        if (format == "sql-insert")
            extractor = X::SqlInsertExtractor::create();
        else
            extractor = X::SqlUpdateExtractor::create();
        if (!table_name.empty()) extractor->get_options()["TABLENAME"] = table_name;
    } else {
        throw Failure("unknown format: " + format);
    }
    if (options.null_text) extractor->get_options()["NULL_VALUE"] = *options.null_text;
    return extractor;
}

namespace {

/// Rows done and rows per second on stderr, at most four times a second, only on a terminal.
class ProgressLine {
public:
    explicit ProgressLine(std::string what) : m_what(std::move(what)), m_enabled(isatty(STDERR_FILENO) != 0) {}
    ~ProgressLine() {
        if (m_shown) std::fputs("\r\033[K", stderr);
    }
    void update(std::uint64_t rows) {
        if (!m_enabled || (rows & 1023) != 0) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(250)) return;
        m_last = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::fprintf(stderr, "\r%s: %llu rows, %.0f rows/s\033[K", m_what.c_str(), static_cast<unsigned long long>(rows),
                     seconds > 0 ? static_cast<double>(rows) / seconds : 0.0);
        m_shown = true;
    }

private:
    std::string m_what;
    bool m_enabled;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last = m_start;
};

/// A sink that converts UTF-8 into another character set before handing the text on, through one
/// converter for the whole output (so a byte-order mark, where the character set has one, comes
/// once); every write holds whole characters (the delimited-text writer writes whole lines).
class ConvertingSink final : public X::TextSink {
public:
    ConvertingSink(X::TextSink& inner, std::string charset) : m_inner(inner), m_charset(std::move(charset)) {
        m_converter = g_iconv_open(m_charset.c_str(), "UTF-8");
    }
    ~ConvertingSink() override {
        if (m_converter != reinterpret_cast<GIConv>(-1)) g_iconv_close(m_converter);
    }
    Core::Status write(std::string_view text) override {
        if (m_converter == reinterpret_cast<GIConv>(-1))
            return Core::fail("default", -1, "cannot convert text to " + m_charset + ": unknown character set");
        ++m_writes;
        gchar* in = const_cast<gchar*>(text.data());
        gsize in_left = text.size();
        while (in_left > 0) {
            char buffer[65536];
            gchar* out = buffer;
            gsize out_left = sizeof buffer;
            const gsize done = g_iconv(m_converter, &in, &in_left, &out, &out_left);
            if (out != buffer)
                if (auto written = m_inner.write(std::string_view(buffer, static_cast<std::size_t>(out - buffer)));
                    !written)
                    return written;
            if (done == static_cast<gsize>(-1) && errno != E2BIG)
                return Core::fail("default", -1,
                                  "line " + std::to_string(m_writes) + " of the output holds text that " + m_charset +
                                      " cannot represent");
        }
        return {};
    }
    Core::Status close() override { return m_inner.close(); }

private:
    X::TextSink& m_inner;
    std::string m_charset;
    GIConv m_converter;
    std::uint64_t m_writes = 0;  // one line of the output per write
};

/// What a failure of the exchange says to the user: the server's errors as the other commands
/// print them, the library's own by their message alone.
std::string message_of(const Core::Error& error) {
    return error.domain == "MariaDB" ? describe_error(error) : error.message;
}

/// A backtick name at the start of `text` ("`a``b`" reads a`b) and where it ends; nullopt when
/// `text` does not start with one that closes.
std::optional<std::pair<std::string, std::size_t>> backtick_name(std::string_view text) {
    if (text.empty() || text.front() != '`') return std::nullopt;
    std::string name;
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (text[at] != '`') {
            name += text[at];
        } else if (at + 1 < text.size() && text[at + 1] == '`') {
            name += '`';
            ++at;
        } else {
            return std::pair{name, at + 1};
        }
    }
    return std::nullopt;
}

/// "SCHEMA.TABLE", split at the first period; either name may be given in backticks as SQL writes
/// it, which is how a schema whose name holds a period is named (`my.db`.t).
std::pair<std::string, std::string> split_table(const std::string& qualified) {
    std::string schema;
    std::size_t dot = qualified.find('.');
    if (const auto quoted = backtick_name(qualified)) {
        schema = quoted->first;
        const bool dotted = quoted->second < qualified.size() && qualified[quoted->second] == '.';
        dot = dotted ? quoted->second : std::string::npos;
    } else if (dot != std::string::npos) {
        schema = qualified.substr(0, dot);
    }
    if (dot == std::string::npos || schema.empty() || dot + 1 == qualified.size())
        throw Failure("give the table as SCHEMA.TABLE: " + qualified);
    std::string table = qualified.substr(dot + 1);
    if (const auto quoted = backtick_name(table); quoted && quoted->second == table.size()) table = quoted->first;
    if (table.empty()) throw Failure("give the table as SCHEMA.TABLE: " + qualified);
    return {schema, table};
}

std::shared_ptr<Providers::Supports::MariaDBProvider> provider_of(const Connection& connection) {
    auto provider = std::dynamic_pointer_cast<Providers::Supports::MariaDBProvider>(connection->get_provider());
    if (!provider) throw Failure("the connection has no MariaDB provider");
    return provider;
}

// ---------------------------------------------------------------- export

struct ExportOptions {
    std::string profile;
    std::string table;
    std::string sql;
    std::string format = "csv";
    std::string output;
    std::string table_name;
    std::string key;
    FormatOptions format_options;
};

void run_export(const Context& context, const ExportOptions& options) {
    if (options.table.empty() == options.sql.empty()) throw Failure("export: give --table SCHEMA.TABLE or --sql QUERY");
    const bool statements = options.format == "sql-insert" || options.format == "sql-update";
    if (statements && options.table.empty() && options.table_name.empty())
        throw Failure("export: give --table-name for the statements of a query's rows");
    const bool updates = options.format == "sql-update";
    if (!options.key.empty() && !updates) throw Failure("export: --key applies to sql-update only");
    if (updates && options.table.empty() && options.key.empty())
        throw Failure("export: give --key COLUMN[,COLUMN] for the UPDATEs of a query's rows: the columns that find "
                      "each row");
    // JSON, XML and HTML name their encoding (UTF-8) inside; only delimited text is converted, a
    // whole line at a time.
    if (options.format_options.encoding && options.format != "csv" && options.format != "tsv")
        throw Failure("export: --encoding applies to csv and tsv only");
    std::string name = options.table_name;
    std::string schema, table;
    if (!options.table.empty()) {
        std::tie(schema, table) = split_table(options.table);
        if (name.empty()) name = table;
    }
    auto extractor = make_extractor(options.format, options.format_options, name);
    if (!options.key.empty()) extractor->get_options()[std::string(X::kOptionKey)] = options.key;

    auto connection = open_connection(context, options.profile);
    auto provider = provider_of(connection);
    std::string statement = options.sql;
    if (!options.table.empty()) {
        // Statements leave generated columns out: the server computes them and refuses a value.
        std::string list = "*";
        if (statements) {
            auto object = std::dynamic_pointer_cast<MM::MetaTable>(read_object(connection, schema, table));
            if (!object) throw Failure("export: " + options.table + " is not a table");
            // UPDATEs find their rows by the primary key, else a unique key of NOT NULL columns.
            if (updates && options.key.empty()) {
                const auto key = object->row_key();
                if (key.empty())
                    throw Failure("export: " + options.table +
                                  " has no primary key and no unique key of NOT NULL columns to find its rows by; "
                                  "name one with --key COLUMN[,COLUMN]");
                std::string names;
                for (const auto& name : key) names += (names.empty() ? "" : ",") + name;
                extractor->get_options()[std::string(X::kOptionKey)] = names;
            }
            list.clear();
            for (const auto& column : *object->get_columns()) {
                if (column->is_generated()) continue;
                list += (list.empty() ? "" : ", ") + Solvane::Supports::Database::mariadb_quote_identifier(column->get_name());
            }
        }
        statement = "SELECT " + list + " FROM " + Solvane::Supports::Database::mariadb_quote_identifier(schema) + "." +
                    Solvane::Supports::Database::mariadb_quote_identifier(table);
    }

    const bool to_file = !options.output.empty() && options.output != "-";
    std::unique_ptr<X::FileSink> file;
    if (!to_file) {
        file = X::FileSink::standard_output();
    } else {
        auto created = X::FileSink::create(options.output);
        if (!created) throw Failure("cannot write " + options.output + ": " + created.error().message);
        file = std::move(*created);
    }
    // A failed export leaves no file behind that could pass for a complete one.
    std::uint64_t rows = 0;
    auto fail = [&](const std::string& message, bool database) {
        (void)file->close();
        if (to_file) g_unlink(options.output.c_str());
        if (interrupted())
            throw Failure("export: interrupted after " + std::to_string(rows) + " row(s)" +
                              (to_file ? "; the incomplete file was removed" : ""),
                          kInterruptedExit);
        if (database) throw DatabaseFailure(message);
        throw Failure("export: " + message);
    };
    std::unique_ptr<ConvertingSink> converting;
    X::TextSink* sink = file.get();
    if (options.format_options.encoding && !options.format_options.encoding->empty() &&
        g_ascii_strcasecmp(options.format_options.encoding->c_str(), "UTF-8") != 0) {
        converting = std::make_unique<ConvertingSink>(*file, *options.format_options.encoding);
        sink = converting.get();
    }

    ProgressLine progress("export");
    std::optional<Core::Error> error;
    auto writer = extractor->create_writer(*sink, {}, 0, error);
    if (!writer) fail(error ? message_of(*error) : std::string("the format cannot export"), false);
    std::vector<X::ColumnInfo> columns;
    std::vector<X::Cell> cells;
    bool writing_failed = false;
    auto streamed = provider->execute_streamed(
        statement,
        [&](Providers::Supports::MariaDBReader& reader) -> Core::Status {
            // Bytes of the binary character set travel as binary cells, whatever type they map to
            // (numbers and dates also come in the binary character set: only strings count).
            const auto count = static_cast<std::uint16_t>(reader.get_field_count());
            for (std::uint16_t i = 0; i < count; ++i) {
                auto type = reader.get_data_type(i);
                if (type == Providers::Contracts::DataType::STRING && reader.get_is_binary(i))
                    type = Providers::Contracts::DataType::BINARY;
                columns.push_back(X::ColumnInfo{reader.get_name(i), type});
            }
            cells.resize(columns.size());
            auto begun = writer->begin(columns);
            writing_failed = !begun;
            return begun;
        },
        [&](Providers::Supports::MariaDBReader& reader) -> Core::Status {
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const auto view = reader.get_cell_view(static_cast<std::uint16_t>(i));
                cells[i] = X::Cell{view, view.data() == nullptr};
            }
            progress.update(++rows);
            auto written = writer->row(cells.data());
            writing_failed = !written;
            return written;
        });
    connection->close();
    if (!streamed) fail(writing_failed ? message_of(streamed.error()) : describe_error(streamed.error()), !writing_failed);
    if (auto ended = writer->end(); !ended) fail(message_of(ended.error()), false);
    if (auto closed = sink->close(); !closed) fail(message_of(closed.error()), false);
    if (to_file) std::cerr << "Exported rows: " << rows << "\n";
}

// ---------------------------------------------------------------- import

struct ImportOptions {
    std::string profile;
    std::string table;
    std::string format = "csv";
    std::string file;
    std::string action = "append";
    std::string columns;
    bool stop_on_error = false;
    bool row_by_row = false;
    bool resume = false;
    FormatOptions format_options;
};

/// Where an import keeps its journal: the user's cache folder, by the table, the input (the file's
/// path, or the digest of what standard input gave) and the action.
std::string import_journal(const std::string& table, const std::string& input, const std::string& action) {
    gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, (table + "\n" + input + "\n" + action).c_str(), -1);
    gchar* path = g_build_filename(g_get_user_cache_dir(), "ombrix",
                                   (std::string("import-") + std::string(digest).substr(0, 24) + ".journal").c_str(),
                                   nullptr);
    std::string result = path;
    g_free(path);
    g_free(digest);
    return result;
}

/// What an import has stored, batch by batch, so that it can go on where it stopped: the source
/// rows read through each stored batch, and, for rows appended, the table's row count around each
/// batch, which tells after a lost connection whether the batch in flight was stored. The other
/// actions give the same table when a row runs twice, so only the rows through the last mark run
/// again.
class ImportJournal {
public:
    ImportJournal(std::string path, bool counts) : m_path(std::move(path)), m_counts(counts) {}

    /// Opens the journal; with `resume`, reads where the earlier import stopped (`count` gives the
    /// table's rows now, asked only when the earlier import ended inside a batch).
    void open(bool resume, const std::function<std::int64_t()>& count) {
        const auto found = resume ? Solvane::Supports::Data::JournalFile::read_lines(m_path) : std::nullopt;
        if (resume && !found) std::cerr << "ombrix: import: no journal of an earlier import: importing from the start\n";
        if (found) {
            if (found->empty() || found->front() != kHead)
                throw Failure("import: the journal " + m_path + " is not an import's: import without --resume");
            std::optional<std::vector<std::string>> sending;
            for (std::size_t i = 1; i < found->size(); ++i) {
                const auto parts = Core::split((*found)[i], '\t');
                if (parts.size() >= 2 && parts[0] == "start") m_count = std::atoll(parts[1].c_str());
                if (parts.size() >= 2 && parts[0] == "done") {
                    m_skip = std::strtoull(parts[1].c_str(), nullptr, 10);
                    if (parts.size() >= 3) m_count = std::atoll(parts[2].c_str());
                    sending.reset();
                }
                if (parts.size() == 4 && parts[0] == "sending") sending = parts;
            }
            if (sending && m_counts) {
                // The batch in flight when the import stopped: its rows are there, or none are.
                const std::int64_t before = std::atoll((*sending)[2].c_str());
                const std::int64_t rows = std::atoll((*sending)[3].c_str());
                const std::int64_t now = count();
                if (now == before + rows) {
                    m_skip = std::strtoull((*sending)[1].c_str(), nullptr, 10);
                    m_count = now;
                } else if (now != before) {
                    throw Failure("import: the table holds " + std::to_string(now) + " rows, neither the " +
                                  std::to_string(before) + " before the last batch nor the " +
                                  std::to_string(before + rows) +
                                  " after it: another writer changed it, and the import cannot tell what it stored; "
                                  "import again without --resume");
                }
            }
            if (m_skip > 0)
                std::cerr << "ombrix: import: going on after source row " << m_skip << " (the journal " << m_path
                          << ")\n";
        }
        if (auto opened = m_file.open(m_path, found.has_value()); !opened)
            throw Failure("import: " + opened.error().message);
        if (!found) {
            append(kHead);
            if (m_counts) {
                m_count = count();
                append("start\t" + std::to_string(m_count));
            }
        }
    }
    std::uint64_t skip() const { return m_skip; }

    Core::Status observe(std::uint64_t end, std::int64_t rows, bool committed) {
        if (!committed) return m_file.append("sending\t" + std::to_string(end) + "\t" + std::to_string(m_count) + "\t" +
                                             std::to_string(rows));
        m_count += rows;
        // Rows of the other actions are marked every 64: running up to that many again changes nothing.
        if (rows == 0 && end % 64 != 0) return {};
        return m_file.append("done\t" + std::to_string(end) + "\t" + std::to_string(m_count));
    }
    /// The import is whole: nothing is left to resume.
    void remove() { m_file.remove(); }

private:
    static constexpr const char* kHead = "ombrix-import-journal 1";
    void append(const std::string& line) {
        if (auto written = m_file.append(line); !written) throw Failure("import: " + written.error().message);
    }
    std::string m_path;
    bool m_counts;
    std::uint64_t m_skip = 0;
    std::int64_t m_count = 0;
    Solvane::Supports::Data::JournalFile m_file;
};

void run_import(const Context& context, const ImportOptions& options) {
    const auto [schema, table_name] = split_table(options.table);
    auto extractor = std::dynamic_pointer_cast<X::ImportingExtractor>(
        make_extractor(options.format, options.format_options, table_name));
    if (!extractor) throw Failure("import: the " + options.format + " format cannot be read");

    auto connection = open_connection(context, options.profile);
    struct Closer {
        const Connection& connection;
        ~Closer() { connection->close(); }
    } closer{connection};
    auto object = read_object(connection, schema, table_name);
    auto table = std::dynamic_pointer_cast<MM::MetaTable>(object);
    if (!table) throw Failure("import: " + options.table + " is not a table");
    // Every column takes the source column of its own name.
    std::vector<std::string> names;
    for (std::size_t i = 0; i < table->get_columns()->size(); ++i) {
        auto column = table->get_columns()->get(i);
        column->set_data("SOURCE", Core::Value::from_string(column->get_name()));
        names.push_back(column->get_name());
    }

    auto& o = extractor->get_options();
    o["ACTION"] = options.action;
    if (!options.row_by_row) o["BULK"] = "true";
    if (const char* bytes = std::getenv("OMBRIX_BULK_BYTES")) o["BULK_BYTES"] = bytes;
    if (!options.columns.empty()) {
        o["COLUMNS"] = options.columns;
    } else if ((options.format == "csv" || options.format == "tsv") && !options.format_options.header) {
        std::string all;
        for (const auto& name : names) all += (all.empty() ? "" : ",") + name;
        o["COLUMNS"] = all;
    }
    extractor->set_continue_on_error(!options.stop_on_error);
    const bool records = options.format == "json" || options.format == "xml";
    std::uint64_t refused = 0;
    extractor->set_refusal_handler([&refused, records](std::uint64_t number, std::string_view message) {
        ++refused;
        std::fprintf(stderr, "ombrix: %s %llu refused: %.*s\n", records ? "record" : "line",
                     static_cast<unsigned long long>(number), static_cast<int>(message.size()), message.data());
    });

    std::shared_ptr<const std::string> text;
    if (options.file == "-")
        text = std::make_shared<const std::string>(std::istreambuf_iterator<char>(std::cin),
                                                   std::istreambuf_iterator<char>());
    else
        o["FILENAME"] = options.file;

    // Every name of the source must be a column of the table, once: a misspelt or repeated name
    // would otherwise lose its cells without a word.
    if (options.format == "json" || options.format == "xml") {
        o["STRICT_NAMES"] = "true";
    } else {
        std::vector<std::string> source;
        if (!options.columns.empty()) {
            std::string item;
            std::istringstream list(options.columns);
            while (std::getline(list, item, ',')) source.push_back(item);
        } else if (options.format_options.header) {
            auto reader = extractor->open_reader(text);
            if (!reader) throw Failure("import: " + message_of(reader.error()));
            X::SourceRow first;
            if (auto read = (*reader)->next(first); !read) throw Failure("import: " + message_of(read.error()));
            source = (*reader)->header();
        }
        for (std::size_t i = 0; i < source.size(); ++i) {
            if (std::find(names.begin(), names.end(), source[i]) == names.end())
                throw Failure("import: " + options.table + " has no column named '" + source[i] + "'");
            if (std::find(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(i), source[i]) !=
                source.begin() + static_cast<std::ptrdiff_t>(i))
                throw Failure("import: the column '" + source[i] + "' is named twice");
        }
    }

    // A bulk import keeps a journal: --resume goes on where an earlier one stopped, and a profile
    // of several hosts (a cluster's nodes) goes on through the next host when the one in use is lost.
    std::string input;
    {
        gchar* named = text ? g_compute_checksum_for_data(G_CHECKSUM_SHA256,
                                                          reinterpret_cast<const guchar*>(text->data()), text->size())
                            : g_canonicalize_filename(options.file.c_str(), nullptr);
        input = (text ? "stdin:" : "") + std::string(named);
        g_free(named);
    }
    const bool journaled = !options.row_by_row;
    const std::size_t hosts = context.resolve_profile(options.profile)->endpoints().size();
    const std::string qualified = "`" + schema + "`.`" + table_name + "`";
    std::int64_t imported = 0;
    Core::Result<std::int64_t> outcome = 0;
    for (std::size_t attempt = 0;; ++attempt) {
        std::optional<ImportJournal> journal;
        if (journaled) {
            journal.emplace(import_journal(options.table, input, options.action), options.action == "append");
            journal->open(options.resume || attempt > 0, [&]() -> std::int64_t {
                auto counted = connection->execute_as_model("SELECT COUNT(*) FROM " +
                                                            Solvane::Supports::Database::mariadb_quote_identifier(schema) +
                                                            "." +
                                                            Solvane::Supports::Database::mariadb_quote_identifier(table_name));
                if (!counted || (*counted)->get_n_items() == 0)
                    throw Failure("import: cannot count the rows of " + qualified);
                return std::atoll((*counted)->get_value_at(0, 0)->to_string().c_str());
            });
            o["SKIP_ROWS"] = std::to_string(journal->skip());
            extractor->set_batch_observer([&journal](std::uint64_t end, std::int64_t rows, bool committed) {
                return journal->observe(end, rows, committed);
            });
        }
        ProgressLine progress("import");
        auto on_progress = [&progress](std::uint64_t, std::uint64_t done, std::string_view) { progress.update(done); };
        bool finished = false;
        outcome = 0;
        auto done = [&](Core::AsyncResultPtr result) {
            outcome = extractor->import_from_file_finish(result);
            finished = true;
        };
        if (text)
            extractor->import_from_text(*text, connection, table, on_progress, done);
        else
            extractor->import_from_file(connection, table, on_progress, done);
        Core::run_main_until([&finished] { return finished; });
        imported += extractor->get_rows_imported();
        if (!outcome && journaled && attempt + 1 < hosts && fails_over(outcome.error())) {
            std::cerr << "ombrix: import: " << message_of(outcome.error())
                      << "; going on through the next host, from the import's journal\n";
            if (auto reopened = connection->reopen(); !reopened) throw DatabaseFailure(describe_error(reopened.error()));
            for (const auto& skipped : connection->get_skipped_hosts()) std::cerr << "ombrix: " << skipped << "\n";
            std::cerr << "ombrix: import: now through " << connection->get_endpoint() << "\n";
            continue;
        }
        if (outcome && journal) journal->remove();
        break;
    }

    std::cout << "Imported rows: " << imported << ", refused rows: " << refused << "\n";
    std::cout.flush();
    if (!outcome) throw Failure("import: " + message_of(outcome.error()));
    if (refused > 0) throw Failure("import: " + std::to_string(refused) + " row(s) refused");
}

// ---------------------------------------------------------------- doc

struct DocOptions {
    std::string profile;
    std::string schema;
    std::string format = "html";
    std::string output = "-";
    std::string title;
    std::string description;
    std::string version;
    bool plain = false;
};

void run_doc(const Context& context, const DocOptions& options) {
    namespace Documents = Solvane::Supports::Data::Documents;
    if (options.plain && options.output == "-") throw Failure("doc: --plain writes to a file (-o FILE)");
    auto connection = open_connection(context, options.profile);
    // The full dictionary describes, it does not rebuild: the catalogue's rows tell all it shows.
    auto read = read_full_schema(connection, options.schema, !options.plain);
    connection->close();
    const auto& database = read.database;
    Solvane::Contracts::Data::Configuration cfg;
    cfg.title = options.title.empty() ? options.schema : options.title;
    cfg.data_version = options.version;
    cfg.description = options.description;
    std::shared_ptr<Solvane::Contracts::Data::IDocument> document;
    if (options.plain)
        document = options.format == "md" ? std::shared_ptr<Solvane::Contracts::Data::IDocument>(
                                                Documents::MarkdownDocument::create())
                                          : Documents::HtmlDocument::create();
    else
        document = options.format == "md" ? std::shared_ptr<Solvane::Contracts::Data::IDocument>(
                                                Documents::RichMarkdownDocument::create())
                                          : Documents::RichHtmlDocument::create();
    auto written = document->produce(database, options.output, &cfg, {});
    if (!written) throw Failure("doc: " + message_of(written.error()));
}

struct ErdOptions {
    std::string profile;
    std::string schema;
    std::vector<std::string> tables;
    std::string around;
    unsigned depth = 1;
    std::string format = "svg";
    std::string output = "-";
};

void run_erd(const Context& context, const ErdOptions& options) {
    namespace Documents = Solvane::Supports::Data::Documents;
    const bool binary = options.format == "png" || options.format == "pdf";
    const bool to_file = options.output != "-";
    if (binary && !to_file && isatty(STDOUT_FILENO))
        throw Failure("erd: " + options.format + " goes to a file (-o) or a pipe, not a terminal");
    auto connection = open_connection(context, options.profile);
    auto read = read_full_schema(connection, options.schema, true);
    connection->close();
    auto diagram = Documents::SchemaDiagram::of(*read.database);
    if (!options.tables.empty()) {
        auto chosen = diagram.only(options.tables);
        if (!chosen) throw Failure("erd: " + chosen.error().message);
        diagram = std::move(*chosen);
    }
    if (!options.around.empty()) {
        auto near = diagram.around(options.around, options.depth);
        if (!near) throw Failure("erd: " + near.error().message);
        diagram = std::move(*near);
    }
    std::string text;
    if (options.format == "dot") {
        text = diagram.to_dot();
    } else if (options.format == "mermaid") {
        text = diagram.to_mermaid();
    } else {
        auto rendered = diagram.render(options.format);
        if (!rendered) throw Failure("erd: " + rendered.error().message);
        text = std::move(*rendered);
    }
    auto sink = open_output(options.output, "erd");
    auto written = sink->write(text);
    if (written) written = sink->close();
    if (!written) throw Failure("erd: " + written.error().message);
}

}  // namespace

void add_data_commands(CLI::App& app, Context& context) {
    {
        auto options = std::make_shared<ExportOptions>();
        auto* command = app.add_subcommand("export", "Write a table or a query's rows as csv, tsv, json, xml, html, md "
                                                     "or SQL statements, streaming from the server");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("--table", options->table,
                            "SCHEMA.TABLE to export (a name holding a period in backticks)");
        command->add_option("--sql", options->sql, "A query whose rows to export");
        command->add_option("--format", options->format, "csv (default), tsv, json, xml, html, md, sql-insert, sql-update")
            ->check(CLI::IsMember({"csv", "tsv", "json", "xml", "html", "md", "sql-insert", "sql-update"}));
        command->add_option("-o,--output", options->output, "Output file (default: standard output)");
        command->add_option("--table-name", options->table_name, "Table name written by sql-insert/sql-update "
                                                                 "(default: the exported table's)");
        command->add_option("--key", options->key,
                            "Columns sql-update finds each row by, comma-separated (default with --table: its "
                            "primary key, else a unique key of NOT NULL columns)");
        add_format_options(*command, options->format_options);
        command->callback([&context, options] { run_export(context, *options); });
    }
    {
        auto options = std::make_shared<ImportOptions>();
        auto* command = app.add_subcommand("import", "Read csv, tsv, json or xml rows into a table");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("--table", options->table,
                            "SCHEMA.TABLE to import into (a name holding a period in backticks)")
            ->required();
        command->add_option("--format", options->format, "csv (default), tsv, json or xml")
            ->check(CLI::IsMember({"csv", "tsv", "json", "xml"}));
        command->add_option("--file", options->file, "The file to read (- for standard input)")->required();
        command->add_option("--action", options->action, "append (default), update, merge or delete")
            ->check(CLI::IsMember({"append", "update", "merge", "delete"}));
        command->add_option("--columns", options->columns,
                            "The file's column names in file order, comma-separated (csv/tsv; default: the header "
                            "line, or the table's columns without one)");
        command->add_flag("--stop-on-error", options->stop_on_error, "Stop at the first refused row");
        command->add_flag("--row-by-row", options->row_by_row,
                          "One statement per row instead of multi-row INSERTs (slower; keeps no journal)");
        command->add_flag("--resume", options->resume,
                          "Go on where an earlier import of the same input into the same table stopped, by its journal");
        add_format_options(*command, options->format_options);
        command->callback([&context, options] { run_import(context, *options); });
    }
    {
        auto options = std::make_shared<DocOptions>();
        auto* command = app.add_subcommand("doc", "Write the data dictionary of a schema as HTML or Markdown");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("SCHEMA", options->schema, "The schema")->required();
        command->add_option("--format", options->format, "html (default) or md")
            ->check(CLI::IsMember({"html", "md"}));
        command->add_option("-o,--output", options->output, "The file to write (default: standard output)");
        command->add_flag("--plain", options->plain,
                          "The plain dictionary: an index and the columns of each table and view, no diagrams");
        command->add_option("--title", options->title, "Document title (default: the schema name)");
        command->add_option("--description", options->description, "Description printed in the header");
        command->add_option("--data-version", options->version, "Version text printed in the header");
        command->callback([&context, options] { run_doc(context, *options); });
    }
    {
        auto options = std::make_shared<ErdOptions>();
        auto* command = app.add_subcommand("erd", "Draw the entity-relationship diagram of a schema");
        command->add_option("--profile", options->profile, "Profile name (default: the sandbox server)");
        command->add_option("SCHEMA", options->schema, "The schema")->required();
        command->add_option("--tables", options->tables, "Only these tables and views, comma-separated")->delimiter(',');
        command->add_option("--around", options->around, "Only this table and its neighbours");
        command->add_option("--depth", options->depth, "How many foreign keys away --around reaches (default 1)");
        command->add_option("--format", options->format, "svg (default), png, pdf, dot or mermaid")
            ->check(CLI::IsMember({"svg", "png", "pdf", "dot", "mermaid"}));
        command->add_option("-o,--output", options->output, "The file to write (default: standard output)");
        command->callback([&context, options] { run_erd(context, *options); });
    }
}

}  // namespace Ombrix::Cli
