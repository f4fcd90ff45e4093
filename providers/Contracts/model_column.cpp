#include "providers/Contracts/model_column.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ColumnModel> ColumnModel::new_with_type(DataType type) {
    auto column = create();
    column->m_data_type = type;
    return column;
}

std::shared_ptr<ColumnModel> ColumnModel::new_full(std::string_view column_name, DataType type) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(column_name, nullptr);
    return new_full_size(column_name, type, 0);
}

std::shared_ptr<ColumnModel> ColumnModel::new_full_size(std::string_view column_name, DataType type,
                                                        std::uint64_t size) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(column_name, nullptr);
    auto column = create();
    column->m_name.assign(column_name);
    column->m_data_type = type;
    column->m_data_size = size;
    return column;
}

OMBRIX_DEFINE_TYPE(ColumnModel, "OmbrixProvidersContractsColumnModel");

void ColumnModel::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify(ombrix_name_name);
}

void ColumnModel::set_title(std::string_view title) {
    if (m_title == title) return;
    m_title.assign(title);
    notify(ombrix_name_title);
}

void ColumnModel::set_data_size(std::uint64_t size) { set_and_notify(m_data_size, size, ombrix_name_data_size); }

}  // namespace Ombrix::Providers::Contracts
