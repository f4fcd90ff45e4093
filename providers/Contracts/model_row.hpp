/// @file A row of a result model: its cell values and its edit state.
#pragma once

#include <memory>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/list_model.hpp"

namespace Ombrix::Providers::Contracts {

using ValueList = Core::ListModel<ValueObject>;

/// One row: a list of values, one per column, and a DataVersion edit state.
class OMBRIX_PROVIDERS_EXPORT RowModel : public Core::Object {
public:
    /// Version INITIAL, no values.
    static std::shared_ptr<RowModel> create();
    /// A row holding `values` (version INITIAL).
    static std::shared_ptr<RowModel> create(std::vector<ValuePtr> values);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DataVersion get_version() const { return m_version; }
    void set_version(DataVersion version);
    /// The values, in column order (the list itself may be changed).
    const std::shared_ptr<ValueList>& get_values() const { return m_values; }

    std::size_t get_n_items() const { return m_values->size(); }
    /// The value at `index`, or null outside 0 to count-1.
    ValuePtr get_value_at(std::size_t index) const { return m_values->get(index); }
    /// Replaces the value at `position`; a null value or a position past the end writes a critical
    /// and changes nothing.
    void set_value_at(std::size_t position, ValuePtr value);

    /// A new row with the same version and a clone of each value, in order.
    virtual std::shared_ptr<RowModel> clone() const;

protected:
    RowModel();

private:
    DataVersion m_version = DataVersion::INITIAL;
    std::shared_ptr<ValueList> m_values;
};

using RowList = Core::ListModel<RowModel>;

}  // namespace Ombrix::Providers::Contracts
