/// @file A column of a result model: its name, title, data type and size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Contracts/data_type.hpp"
#include "providers/Core/list_model.hpp"
#include "providers/Core/object.hpp"

namespace Ombrix::Providers::Contracts {

/// One column of a TableModel.
class OMBRIX_PROVIDERS_EXPORT ColumnModel final : public Core::Object {
public:
    static std::shared_ptr<ColumnModel> new_with_type(DataType type);
    static std::shared_ptr<ColumnModel> new_full(std::string_view column_name, DataType type);
    static std::shared_ptr<ColumnModel> new_full_size(std::string_view column_name, DataType type,
                                                      std::uint64_t size);

    /// `create()`: Name "", type UNKNOWN, size 0.
    OMBRIX_CREATABLE_OBJECT(ColumnModel, Core::Object);

    OMBRIX_PROPERTY_SETTER_FLAGS(std::string, name, "", Core::ReadWrite | Core::Construct);
    /// The display title; empty when unset.
    OMBRIX_PROPERTY_SETTER_FLAGS(std::string, title, "", Core::ReadWrite | Core::Construct);
    OMBRIX_PROPERTY_FLAGS(DataType, data_type, DataType::UNKNOWN, Core::ReadWrite | Core::Construct);
    OMBRIX_PROPERTY_VIA(std::uint64_t, data_size, std::uint64_t{0}, Core::ReadWrite | Core::Construct);
    std::uint64_t get_data_size() const { return m_data_size; }
    void set_data_size(std::uint64_t size);

private:
    ColumnModel() = default;
    std::uint64_t m_data_size = 0;
};

using ColumnList = Core::ListModel<ColumnModel>;

}  // namespace Ombrix::Providers::Contracts
