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
    /// Name "", type UNKNOWN, size 0.
    static std::shared_ptr<ColumnModel> create();
    static std::shared_ptr<ColumnModel> new_with_type(DataType type);
    static std::shared_ptr<ColumnModel> new_full(std::string_view column_name, DataType type);
    static std::shared_ptr<ColumnModel> new_full_size(std::string_view column_name, DataType type,
                                                      std::uint64_t size);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::string& get_name() const { return m_name; }
    void set_name(std::string_view name);
    /// The display title; empty when unset.
    const std::string& get_title() const { return m_title; }
    void set_title(std::string_view title);
    DataType get_data_type() const { return m_data_type; }
    void set_data_type(DataType type);
    std::uint64_t get_data_size() const { return m_data_size; }
    void set_data_size(std::uint64_t size);

private:
    ColumnModel() = default;
    std::string m_name;
    std::string m_title;
    DataType m_data_type = DataType::UNKNOWN;
    std::uint64_t m_data_size = 0;
};

using ColumnList = Core::ListModel<ColumnModel>;

}  // namespace Ombrix::Providers::Contracts
