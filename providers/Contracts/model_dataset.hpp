/// @file Several result tables that belong together.
#pragma once

#include <memory>

#include "providers/Contracts/model_table.hpp"

namespace Ombrix::Providers::Contracts {

/// A list of TableModels that callers fill with tables that belong together.
class OMBRIX_PROVIDERS_EXPORT DataSetModel final : public Core::Object {
public:
    OMBRIX_CREATABLE_OBJECT(DataSetModel, Core::Object);

    OMBRIX_PROPERTY_READONLY(std::shared_ptr<TableList>, tables, nullptr);
    const std::shared_ptr<TableList>& get_tables() const { return m_tables; }
    std::size_t get_n_items() const { return m_tables->size(); }
    /// The table at `position`, or null past the end.
    std::shared_ptr<TableModel> get_item(std::size_t position) const { return m_tables->get(position); }

private:
    DataSetModel() : m_tables(TableList::create()) {}
    std::shared_ptr<TableList> m_tables;
};

}  // namespace Ombrix::Providers::Contracts
