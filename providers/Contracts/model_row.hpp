/// @file A row of a result model: its cell values and its edit state.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/list_model.hpp"

namespace Ombrix::Providers::Contracts {

using ValueList = Core::ListModel<ValueObject>;

/// Turns a cell as the server sent it into a value; shared by the rows of one result.
class OMBRIX_PROVIDERS_EXPORT ICellDecoder {
public:
    virtual ~ICellDecoder() = default;
    /// The value of the cell `bytes` in column `column`; never null.
    virtual ValuePtr decode(std::size_t column, std::string_view bytes) const = 0;
};

/// One row: a list of values, one per column, and a DataVersion edit state.
///
/// A row read from a server may keep its cells packed as the server sent them until something
/// asks for its values: a result of a million rows then costs little more than its bytes, and
/// only the rows a caller touches become value objects (once, then they stay).
class OMBRIX_PROVIDERS_EXPORT RowModel : public Core::Object {

public:
    /// Version INITIAL, no values.
    static std::shared_ptr<RowModel> create();
    /// A row holding `values` (version INITIAL).
    static std::shared_ptr<RowModel> create(std::vector<ValuePtr> values);
    /// A row of `count` packed cells: `cells[i]` with `lengths[i]` bytes, a null pointer for NULL.
    static std::shared_ptr<RowModel> create_packed(std::shared_ptr<const ICellDecoder> decoder, std::size_t count,
                                                   const char* const* cells, const unsigned long* lengths);
    ~RowModel() override;

    OMBRIX_OBJECT(RowModel, Core::Object);

    OMBRIX_PROPERTY(DataVersion, version, DataVersion::INITIAL);
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<ValueList>, values, nullptr);
    /// The values, in column order (the list itself may be changed).
    const std::shared_ptr<ValueList>& get_values() const;

    std::size_t get_n_items() const;
    /// The value at `index`, or null outside 0 to count-1.
    ValuePtr get_value_at(std::size_t index) const { return get_values()->get(index); }
    /// Replaces the value at `position`; a null value or a position past the end writes a critical
    /// and changes nothing.
    void set_value_at(std::size_t position, ValuePtr value);

    /// A new row with the same version and a clone of each value, in order.
    virtual std::shared_ptr<RowModel> clone() const;

protected:
    RowModel();

private:
    struct Packed;
    void unpack() const;

    mutable std::shared_ptr<ValueList> m_values;
    mutable std::unique_ptr<Packed> m_packed;
};

using RowList = Core::ListModel<RowModel>;

}  // namespace Ombrix::Providers::Contracts
