#include "solvane/Supports/Data/Extractors/sql_extractor.hpp"

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
    UpdateWriter(TextSink& sink, std::string table) : RowWriter(sink, {}, 0), m_table(std::move(table)) {}

    Core::Status begin(const std::vector<ColumnInfo>& columns) override {
        if (columns.empty())
            return Core::fail("default", -1, Core::tr("no column to update by in the SQL export"));
        m_types.clear();
        m_names.clear();
        m_types.reserve(columns.size());
        m_names.reserve(columns.size());
        for (const auto& column : columns) {
            m_types.push_back(column.type);
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
        m_line += m_names[0];
        BaseExtractor::append_sql_literal(m_line, m_types[0], cells[0]);
        m_line += ";\n";
        if (auto status = m_sink.write(m_line); !status) return status;
        ++m_index;  // counted, but statements report no progress
        return {};
    }

    Core::Status end() override { return {}; }

private:
    std::string m_table;
    std::vector<DataType> m_types;
    std::vector<std::string> m_names;  // per column: "`name` = "
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
    return std::make_unique<UpdateWriter>(sink, std::move(*table));
}

OMBRIX_DEFINE_TYPE(SqlUpdateExtractor, "OmbrixSolvaneSupportsDataExtractorsSqlUpdateExtractor");

}  // namespace Ombrix::Solvane::Supports::Data::Extractors
