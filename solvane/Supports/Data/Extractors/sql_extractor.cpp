#include "solvane/Supports/Data/Extractors/sql_extractor.hpp"

#include <algorithm>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Data::Extractors {

namespace {

// Appends `name` with every `quote` doubled, which keeps it one identifier between such quotes.
void append_quoted_name(std::string& out, std::string_view name, char quote) {
    out += quote;
    for (const char c : name) {
        out += c;
        if (c == quote) out += quote;
    }
    out += quote;
}

// The table option of a statement export; without it there is nothing to write the rows into.
std::optional<std::string> table_name_or_error(std::string table, std::optional<Core::Error>& error) {
    if (!table.empty()) return table;
    error = Core::Error{"default", -1, Core::tr("no table name given for the SQL export (option TABLENAME)")};
    return std::nullopt;
}

class InsertWriter final : public RowWriter {
public:
    InsertWriter(TextSink& sink, std::string table) : RowWriter(sink, {}, 0), m_table(std::move(table)) {}

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        m_types.clear();
        m_types.reserve(columns.size());
        m_template.assign("INSERT INTO ");
        append_quoted_name(m_template, m_table, '`');
        m_template += '(';
        for (const auto& column : columns) {
            m_types.push_back(column.type);
            append_quoted_name(m_template, column.name, '`');
            m_template += ',';
        }
        if (!columns.empty()) m_template.pop_back();
        m_template += ") VALUES(";
        return {};
    }

    Core::Status row(const Cell* cells) override {
        m_line.assign(m_template);
        for (std::size_t i = 0; i < m_types.size(); ++i) {
            if (i > 0) m_line += ", ";
            BaseExtractor::append_sql_literal(m_line, m_types[i], cells[i]);
        }
        m_line += ");\n";
        if (auto status = m_sink.write(m_line); !status) return status;
        ++m_index;  // counted, but statements report no progress
        return {};
    }

    Core::Status end() override { return {}; }

private:
    std::string m_table;
    std::vector<DataType> m_types;
    std::string m_template;  // "INSERT INTO `t`(`a`,`b`) VALUES("
    std::string m_line;      // reused for every row
};

class UpdateWriter final : public RowWriter {
public:
    UpdateWriter(TextSink& sink, std::string table, std::vector<std::string> key)
        : RowWriter(sink, {}, 0), m_table(std::move(table)), m_key_names(std::move(key)) {}

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        if (columns.empty())
            return Core::fail("default", -1, Core::tr("no column to update by in the SQL export"));
        m_key.clear();
        for (const auto& name : m_key_names) {
            const auto found = std::find_if(columns.begin(), columns.end(),
                                            [&](const ColumnInfo& column) { return column.name == name; });
            if (found == columns.end())
                return Core::fail("default", -1,
                                  Core::strprintf(Core::tr("the key column %s is not among the exported columns"),
                                                  name.c_str()));
            m_key.push_back(static_cast<std::size_t>(found - columns.begin()));
        }
        if (m_key.empty()) m_key.push_back(0);
        m_types.clear();
        m_names.clear();
        m_labels.clear();
        m_types.reserve(columns.size());
        m_names.reserve(columns.size());
        for (const auto& column : columns) {
            m_types.push_back(column.type);
            m_labels.push_back(column.name);
            std::string name;
            // Backticks, as the INSERT writes them: double quotes name a column only under
            // ANSI_QUOTES, and would otherwise make every statement a syntax error.
            append_quoted_name(name, column.name, '`');
            name += " = ";
            m_names.push_back(std::move(name));
        }
        return {};
    }

    Core::Status row(const Cell* cells) override {
        m_line.assign("UPDATE ");
        append_quoted_name(m_line, m_table, '`');  // a bare name would run whatever SQL it holds
        m_line += " SET ";
        for (std::size_t i = 0; i < m_types.size(); ++i) {
            if (i > 0) m_line += ", ";
            m_line += m_names[i];
            BaseExtractor::append_sql_literal(m_line, m_types[i], cells[i]);
        }
        m_line += " WHERE ";
        for (std::size_t k = 0; k < m_key.size(); ++k) {
            const std::size_t i = m_key[k];
            if (cells[i].null)
                return Core::fail("default", -1,
                                  Core::strprintf(Core::tr("row %llu: the key column %s is NULL, so no row can be found by it"),
                                                  static_cast<unsigned long long>(m_index + 1),
                                                  m_labels[i].c_str()));
            if (k > 0) m_line += " AND ";
            m_line += m_names[i];
            BaseExtractor::append_sql_literal(m_line, m_types[i], cells[i]);
        }
        m_line += ";\n";
        if (auto status = m_sink.write(m_line); !status) return status;
        ++m_index;  // counted, but statements report no progress
        return {};
    }

    Core::Status end() override { return {}; }

private:
    std::string m_table;
    std::vector<std::string> m_key_names;  // as option KEY gives them
    std::vector<std::size_t> m_key;        // the key's columns
    std::vector<DataType> m_types;
    std::vector<std::string> m_names;   // per column: "`name` = "
    std::vector<std::string> m_labels;  // per column: its name, for messages
    std::string m_line;                // reused for every row
};

}  // namespace

std::unique_ptr<RowWriter> SqlInsertExtractor::create_writer(TextSink& sink, const ProgressCallback&, std::uint64_t,
                                                             std::optional<Core::Error>& error) {
    auto table = table_name_or_error(option(kOptionTableName), error);
    if (!table) return nullptr;
    return std::make_unique<InsertWriter>(sink, std::move(*table));
}

OMBRIX_DEFINE_TYPE(SqlInsertExtractor, "OmbrixSolvaneSupportsDataExtractorsSqlInsertExtractor");

std::unique_ptr<RowWriter> SqlUpdateExtractor::create_writer(TextSink& sink, const ProgressCallback&, std::uint64_t,
                                                             std::optional<Core::Error>& error) {
    auto table = table_name_or_error(option(kOptionTableName), error);
    if (!table) return nullptr;
    std::vector<std::string> key;
    if (const auto given = option(kOptionKey); !given.empty())
        for (auto& name : Core::split(given, ','))
            if (!name.empty()) key.push_back(std::move(name));
    return std::make_unique<UpdateWriter>(sink, std::move(*table), std::move(key));
}

OMBRIX_DEFINE_TYPE(SqlUpdateExtractor, "OmbrixSolvaneSupportsDataExtractorsSqlUpdateExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
