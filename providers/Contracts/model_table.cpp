#include "providers/Contracts/model_table.hpp"

namespace Ombrix::Providers::Contracts {

TableModel::TableModel() : m_rows(RowList::create()), m_columns(ColumnList::create()) {}

std::shared_ptr<TableModel> TableModel::new_with_types(const std::vector<DataType>& types) {
    auto table = create();
    for (DataType type : types) table->m_columns->append(ColumnModel::new_with_type(type));
    return table;
}

OMBRIX_DEFINE_TYPE(TableModel, "OmbrixProvidersContractsTableModel");

ValuePtr TableModel::get_value_at(std::size_t column, std::size_t row) const {
    auto item = m_rows->get(row);
    return item ? item->get_value_at(column) : nullptr;
}

void TableModel::set_value_at(std::size_t column, std::size_t row, ValuePtr value) {
    OMBRIX_RETURN_IF_NULL(value);
    OMBRIX_RETURN_IF_FAIL(row < m_rows->size());
    (*m_rows)[row]->set_value_at(column, std::move(value));
}

std::shared_ptr<RowModel> TableModel::template_() const {
    auto row = RowModel::create();
    row->set_version(DataVersion::INSERT);
    const auto& values = row->get_values();
    values->reserve(m_columns->size());
    for (const auto& column : *m_columns)
        values->append(IValue::factory(column ? column->get_data_type() : DataType::UNKNOWN));
    return row;
}

std::shared_ptr<RowModel> TableModel::create(std::size_t& position) {
    auto row = template_();
    position = append(row);
    return row;
}

std::size_t TableModel::append(std::shared_ptr<RowModel> row) {
    OMBRIX_RETURN_VAL_IF_NULL(row, 0);
    const std::size_t index = m_rows->append(std::move(row));
    m_items_changed.emit(static_cast<unsigned>(index), 0, 1);
    return index;
}

std::size_t TableModel::insert(std::int64_t position, std::shared_ptr<RowModel> row) {
    OMBRIX_RETURN_VAL_IF_NULL(row, 0);
    if (position < 0) return append(std::move(row));
    const std::size_t index = m_rows->insert(static_cast<std::size_t>(position), std::move(row));
    m_items_changed.emit(static_cast<unsigned>(index), 0, 1);
    return index;
}

void TableModel::delete_(const std::shared_ptr<RowModel>& row) {
    OMBRIX_RETURN_IF_NULL(row);
    if (auto index = m_rows->find(row)) delete_at(*index);
}

std::shared_ptr<RowModel> TableModel::delete_at(std::size_t position) {
    auto row = m_rows->remove_at(position);
    if (row) m_items_changed.emit(static_cast<unsigned>(position), 1, 0);
    return row;
}

bool TableModel::find(const std::shared_ptr<RowModel>& row, std::size_t& position) const {
    position = 0;
    OMBRIX_RETURN_VAL_IF_NULL(row, false);
    auto index = m_rows->find(row);
    if (!index) return false;
    position = *index;
    return true;
}

void TableModel::clear(bool columns_too) {
    const std::size_t removed = m_rows->size();
    m_rows->clear();
    if (columns_too) m_columns->clear();
    m_items_changed.emit(0, static_cast<unsigned>(removed), 0);
}

void TableModel::update_row_version(std::size_t position, DataVersion version) {
    OMBRIX_RETURN_IF_FAIL(position < m_rows->size());
    const auto& row = (*m_rows)[position];
    if (version == DataVersion::DELETE) {
        if (row->get_version() == DataVersion::INSERT)
            m_rows->remove_at(position);
        else
            row->set_version(DataVersion::DELETE);
    } else if (version == DataVersion::UPDATE) {
        if (row->get_version() == DataVersion::INITIAL) row->set_version(DataVersion::UPDATE);
    }
}

}  // namespace Ombrix::Providers::Contracts
