/// @file A connection that reaches no server, for the targets that drive dialect objects.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/model_column.hpp"
#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Contracts/value_string.hpp"
#include "solvane/Contracts/Database/connection.hpp"

namespace Ombrix::Fuzz {

using Providers::Contracts::ColumnModel;
using Providers::Contracts::DataType;
using Providers::Contracts::RowModel;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValueNull;
using Providers::Contracts::ValuePtr;
using Providers::Contracts::ValueString;
namespace Contracts = Solvane::Contracts;

/// Rows of cells: one result set.
using Section = std::vector<std::vector<std::string_view>>;

/// A connection that reaches no server: every catalogue query gets the next result set of the
/// input, everything else fails.
class ScriptedConnection final : public Contracts::Database::IConnection {
public:
    explicit ScriptedConnection(std::vector<Section> sections = {}) : m_sections(std::move(sections)) {}

    Core::Result<std::shared_ptr<TableModel>> execute_as_model(std::string_view, bool) override {
        if (++m_queries > 4096) return Core::fail(refused());
        if (m_sections.empty()) return TableModel::create();
        const Section& section = m_sections[m_next++ % m_sections.size()];
        std::size_t width = 0;
        for (const auto& row : section) width = std::max(width, row.size());
        auto model = TableModel::create();
        for (std::size_t i = 0; i < width; ++i)
            model->get_columns()->append(ColumnModel::new_full("c" + std::to_string(i), DataType::STRING));
        for (const auto& cells : section) {
            std::vector<ValuePtr> values;
            for (const auto cell : cells) {
                if (cell == "\\N")
                    values.push_back(ValueNull::create());
                else
                    values.push_back(ValueString::create(cell));
            }
            model->append(RowModel::create(std::move(values)));
        }
        return model;
    }

    std::shared_ptr<Contracts::Database::IAdaptable> adapter() override { return nullptr; }
    std::shared_ptr<Contracts::Database::IBuildable> builder() override { return nullptr; }
    std::shared_ptr<Contracts::Database::IExplorable> explorer() override { return nullptr; }
    std::shared_ptr<Contracts::Database::IInspectable> inspector() override { return nullptr; }
    std::shared_ptr<Contracts::Database::IStatement> statement() override { return nullptr; }
    std::shared_ptr<Contracts::Database::IFormattable> formatter() override { return nullptr; }
    std::shared_ptr<Contracts::Database::ICachable> cache() override { return nullptr; }
    Core::Status open(const std::shared_ptr<Providers::Contracts::Server>&,
                      const std::shared_ptr<Core::Object>&) override {
        return Core::fail(refused());
    }
    Core::Status reopen() override { return Core::fail(refused()); }
    void open_async(const std::shared_ptr<Providers::Contracts::Server>&, const std::shared_ptr<Core::Object>&,
                    Core::AsyncReadyCallback) override {}
    Core::Status open_finish(const Core::AsyncResultPtr&) override { return Core::fail(refused()); }
    void reopen_async(Core::AsyncReadyCallback) override {}
    Core::Status reopen_finish(const Core::AsyncResultPtr&) override { return Core::fail(refused()); }
    void close() override {}
    void execute_no_query_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<std::int64_t> execute_no_query_finish(const Core::AsyncResultPtr&) override {
        return Core::fail(refused());
    }
    Core::Result<std::int64_t> execute_no_query(std::string_view, bool) override { return Core::fail(refused()); }
    void execute_as_model_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<std::shared_ptr<TableModel>> execute_as_model_finish(const Core::AsyncResultPtr&) override {
        return Core::fail(refused());
    }
    void execute_as_scalar_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<ValuePtr> execute_as_scalar_finish(const Core::AsyncResultPtr&) override {
        return Core::fail(refused());
    }
    Core::Result<ValuePtr> execute_as_scalar(std::string_view, bool) override { return Core::fail(refused()); }
    void execute_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<ObjectList> execute_finish(const Core::AsyncResultPtr&) override { return Core::fail(refused()); }
    Core::Result<ObjectList> execute(std::string_view, bool) override { return Core::fail(refused()); }
    Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> execute_reader(std::string_view) override {
        return Core::fail(refused());
    }
    Core::Result<bool> transaction() override { return Core::fail(refused()); }
    Core::Status rollback() override { return Core::fail(refused()); }
    Core::Status commit() override { return Core::fail(refused()); }
    std::shared_ptr<Providers::Contracts::Server> get_server() const override { return nullptr; }
    std::shared_ptr<Providers::Contracts::IProvider> get_provider() const override { return nullptr; }
    Contracts::Database::DBStatus get_status() const override { return Contracts::Database::DBStatus::Unknown; }
    void set_status(Contracts::Database::DBStatus) override {}
    std::string get_version() const override { return "10.11.6-MariaDB"; }
    ConnectionSignal& signal_opened() override { return m_opened; }
    ConnectionSignal& signal_closed() override { return m_closed; }

private:
    static Core::Error refused() { return Core::Error{"MariaDB", -1, "no server"}; }

    std::vector<Section> m_sections;
    std::size_t m_next = 0;
    std::size_t m_queries = 0;
    ConnectionSignal m_opened;
    ConnectionSignal m_closed;
};

}  // namespace Ombrix::Fuzz
