/// @file A table of results: columns and rows of values, with edit states and change signals.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "providers/Contracts/model_column.hpp"
#include "providers/Contracts/model_result.hpp"
#include "providers/Contracts/model_row.hpp"

namespace Ombrix::Providers::Contracts {

/// Rows of values under a list of columns; the result of a query.
class OMBRIX_PROVIDERS_EXPORT TableModel final : public Core::Object, public IResult {
public:
    using ItemsChangedSignal = Core::ListModelBase::ItemsChangedSignal;

    /// One ColumnModel::new_with_type per entry, in order.
    static std::shared_ptr<TableModel> new_with_types(const std::vector<DataType>& types);

    OMBRIX_CREATABLE_OBJECT(TableModel, Core::Object);

    OMBRIX_PROPERTY_READONLY(std::shared_ptr<RowList>, rows, nullptr);
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<ColumnList>, columns, nullptr);
    const std::shared_ptr<RowList>& get_rows() const { return m_rows; }
    const std::shared_ptr<ColumnList>& get_columns() const { return m_columns; }

    /// The number of rows.
    std::size_t get_n_items() const { return m_rows->size(); }
    /// The row at `position`, or null past the end.
    std::shared_ptr<RowModel> get_item(std::size_t position) const { return m_rows->get(position); }

    /// The value, or null when `row` or `column` is out of range.
    ValuePtr get_value_at(std::size_t column, std::size_t row) const;
    /// Replaces a value; a null value or an out-of-range position writes a critical and changes nothing.
    void set_value_at(std::size_t column, std::size_t row, ValuePtr value);

    /// A new detached row, version INSERT, one empty value per column (made by the value factory).
    std::shared_ptr<RowModel> template_() const;
    /// Like `template_`, appended to the rows; `position` receives its index. Signals one insertion.
    std::shared_ptr<RowModel> create(std::size_t& position);
    /// Appends `row`; returns its index. Signals one insertion.
    std::size_t append(std::shared_ptr<RowModel> row);
    /// Inserts `row` at `position` (a negative position appends); returns its index. Signals one insertion.
    std::size_t insert(std::int64_t position, std::shared_ptr<RowModel> row);
    /// Removes `row` (identity) if present; signals one removal at its former index.
    void delete_(const std::shared_ptr<RowModel>& row);
    /// Removes the row at `position` and returns it; null when out of range.
    std::shared_ptr<RowModel> delete_at(std::size_t position);
    /// Whether `row` (identity) is in the table; `position` receives its index, 0 when absent.
    bool find(const std::shared_ptr<RowModel>& row, std::size_t& position) const;
    /// Empties the rows (and the columns when asked); signals the removal of all former rows at once.
    void clear(bool columns_too);
    /// DELETE drops a row still marked INSERT (without a signal) and marks any other DELETE; UPDATE
    /// marks only an INITIAL row. Other versions change nothing. `position` must be below the row count.
    void update_row_version(std::size_t position, DataVersion version);

    /// Emitted after rows were added or removed through the table: (position, removed, added).
    ItemsChangedSignal& signal_items_changed() { return m_items_changed; }

private:
    TableModel();
    std::shared_ptr<RowList> m_rows;
    std::shared_ptr<ColumnList> m_columns;
    ItemsChangedSignal m_items_changed;
};

using TableList = Core::ListModel<TableModel>;

}  // namespace Ombrix::Providers::Contracts
