#include "providers/Contracts/model_column.hpp"

namespace Ombrix::Providers::Contracts {

namespace {
constexpr unsigned kConstructFlags = Core::ReadWrite | Core::Construct;
}

std::shared_ptr<ColumnModel> ColumnModel::create() { return std::shared_ptr<ColumnModel>(new ColumnModel()); }

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

const Core::TypeInfo& ColumnModel::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ColumnModel, Core::Object>("OmbrixProvidersContractsColumnModel")
            .property("name", &ColumnModel::get_name, &ColumnModel::set_name, "", kConstructFlags)
            .property("title", &ColumnModel::get_title, &ColumnModel::set_title, "", kConstructFlags)
            .property("data-type", &ColumnModel::get_data_type, &ColumnModel::set_data_type, DataType::UNKNOWN,
                      kConstructFlags)
            .property("data-size", &ColumnModel::get_data_size, &ColumnModel::set_data_size, std::uint64_t{0},
                      kConstructFlags)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ColumnModel);

void ColumnModel::set_name(std::string_view name) {
    if (m_name == name) return;
    m_name.assign(name);
    notify("name");
}

void ColumnModel::set_title(std::string_view title) {
    if (m_title == title) return;
    m_title.assign(title);
    notify("title");
}

void ColumnModel::set_data_type(DataType type) { set_and_notify(m_data_type, type, "data-type"); }

void ColumnModel::set_data_size(std::uint64_t size) { set_and_notify(m_data_size, size, "data-size"); }

}  // namespace Ombrix::Providers::Contracts
