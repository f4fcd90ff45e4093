#include "providers/Contracts/model_row.hpp"

namespace Ombrix::Providers::Contracts {

RowModel::RowModel() : m_values(ValueList::create()) {}

std::shared_ptr<RowModel> RowModel::create() { return std::shared_ptr<RowModel>(new RowModel()); }

std::shared_ptr<RowModel> RowModel::create(std::vector<ValuePtr> values) {
    auto row = create();
    row->m_values = ValueList::create(std::move(values));
    return row;
}

const Core::TypeInfo& RowModel::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<RowModel, Core::Object>("OmbrixProvidersContractsRowModel")
            .property("version", &RowModel::get_version, &RowModel::set_version, DataVersion::INITIAL)
            .property("values", &RowModel::get_values, nullptr, nullptr, Core::Readable)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(RowModel);

void RowModel::set_version(DataVersion version) { set_and_notify(m_version, version, "version"); }

void RowModel::set_value_at(std::size_t position, ValuePtr value) {
    OMBRIX_RETURN_IF_NULL(value);
    OMBRIX_RETURN_IF_FAIL(position < m_values->size());
    m_values->set(position, std::move(value));
}

std::shared_ptr<RowModel> RowModel::clone() const {
    auto copy = create();
    copy->m_version = m_version;
    copy->m_values->reserve(m_values->size());
    for (const auto& value : *m_values) copy->m_values->append(value ? value->clone() : nullptr);
    return copy;
}

}  // namespace Ombrix::Providers::Contracts
