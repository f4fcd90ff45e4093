/// @file A row of a result model: its cell values and its edit state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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
    /// The data type and text form (`get_data_type()`, `to_string()`) of the value `decode` makes
    /// of the cell, the text written into `text`. This one makes the value; a decoder overrides it
    /// to write the text of the kinds it can straight from the bytes.
    virtual DataType describe(std::size_t column, std::string_view bytes, std::string& text) const;
};

/// One row: a list of values, one per column, and a DataVersion edit state.
///
/// What a row costs. A row read from a server keeps its cells packed as the server sent them: one
/// block with a length per cell and the cells' bytes back to back, beside the row object (a
/// million rows of ten cells cost little more than their bytes). Reading a cell (`get_value_at`)
/// makes its value object on demand and does not keep it: the row only registers the value while
/// something holds it, so reading the same cell again while the caller holds it gives the same
/// object, and a value nobody holds any more is freed at once (a full walk of a large result
/// holds one value at a time, not one per cell). A row becomes a list of value objects that it
/// holds for good ("unpacked", the bytes are freed) when its list is asked for (`get_values`,
/// whose list callers may change and observe), when a cell is replaced (`set_value_at`), or when
/// a value it made is changed (its `itsvalue` set) or gets a listener or a data slot: such a
/// value is then the row's own, and the model sees the change. A row made from values is
/// unpacked from the start. Like the list models, a row and the values it made are used by one
/// thread at a time.
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
    /// The value at `index`, or null outside 0 to count-1 (made on demand from a packed row).
    ValuePtr get_value_at(std::size_t index) const;
    /// The data type and text form of the value at `index`, as its `get_data_type()` and
    /// `to_string()` give them (DBNULL for NULL), with the text written into `text`: a caller that
    /// reads many cells (a grid, a comparison) keeps one buffer. A packed cell is read from its
    /// bytes, without making a value where the decoder can. Nullopt outside 0 to count-1.
    std::optional<DataType> read_cell(std::size_t index, std::string& text) const;
    /// Replaces the value at `position`; a null value or a position past the end writes a critical
    /// and changes nothing.
    void set_value_at(std::size_t position, ValuePtr value);

    /// A new row with the same version and a clone of each value, in order.
    virtual std::shared_ptr<RowModel> clone() const;

protected:
    RowModel();

private:
    friend class ValueObject;
    struct PackedDeleter {
        void operator()(PackedCells* packed) const noexcept;
    };
    void unpack() const;
    /// A value made on demand was changed or got a listener: the row keeps it from now on.
    static void keep(PackedCells* home);
    /// A value made on demand is going away.
    static void release(PackedCells* home, std::uint32_t cell, const ValueObject* value) noexcept;

    mutable std::shared_ptr<ValueList> m_values;
    mutable std::unique_ptr<PackedCells, PackedDeleter> m_packed;
};

using RowList = Core::ListModel<RowModel>;

}  // namespace Ombrix::Providers::Contracts
