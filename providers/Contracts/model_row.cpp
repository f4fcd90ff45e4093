#include "providers/Contracts/model_row.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace Ombrix::Providers::Contracts {

namespace {

/// One freed list of live values per thread, kept for the next row of the same width: a walk
/// through a result makes and drops one value at a time, and would otherwise allocate and free a
/// list at every cell.
struct SpareLive {
    ValueObject** cells = nullptr;
    std::uint32_t count = 0;
    ~SpareLive() { delete[] cells; }
};
[[gnu::tls_model("initial-exec")]] thread_local SpareLive spare_live;

ValueObject** take_live(std::uint32_t count) {
    if (spare_live.cells && spare_live.count == count) {
        ValueObject** cells = std::exchange(spare_live.cells, nullptr);
        std::fill_n(cells, count, nullptr);
        return cells;
    }
    return new ValueObject*[count]();
}

void give_live(ValueObject** cells, std::uint32_t count) {
    if (spare_live.cells) delete[] spare_live.cells;
    spare_live.cells = cells;
    spare_live.count = count;
}

/// The value of one cell as the server sent it: NULL for a null pointer, else the decoder's.
ValuePtr value_of(const ICellDecoder& decoder, std::size_t column, const char* bytes, std::size_t length) {
    return bytes ? decoder.decode(column, std::string_view(bytes, length)) : ValueNull::create();
}

}  // namespace

DataType ICellDecoder::describe(std::size_t column, std::string_view bytes, std::string& text) const {
    const ValuePtr value = decode(column, bytes);
    text = value->to_string();
    return value->get_data_type();
}

/// The cells of a row as the server sent them, in one allocation: this header, then where each
/// cell ends (an offset into the bytes; kNull marks a NULL cell), then every cell's bytes back to
/// back. `live` lists the values made on demand that something still holds (allocated with the
/// first, freed with the last).
struct PackedCells {
    static constexpr std::uint32_t kNull = 0x80000000u;
    /// The most bytes a packed row holds; a longer row is made of values at once.
    static constexpr std::size_t kMaxBytes = kNull - 1;

    std::shared_ptr<const ICellDecoder> decoder;
    RowModel* row = nullptr;
    ValueObject** live = nullptr;
    std::uint32_t count = 0;
    std::uint32_t alive = 0;
    std::size_t size = 0;  ///< bytes after the header

    std::uint32_t* ends() { return reinterpret_cast<std::uint32_t*>(this + 1); }
    const std::uint32_t* ends() const { return reinterpret_cast<const std::uint32_t*>(this + 1); }
    char* bytes() { return reinterpret_cast<char*>(ends() + count); }
    const char* bytes() const { return reinterpret_cast<const char*>(ends() + count); }

    static PackedCells* make(std::shared_ptr<const ICellDecoder> decoder, std::uint32_t count, std::size_t size) {
        void* memory = ::operator new(sizeof(PackedCells) + size);
        auto* packed = new (memory) PackedCells;
        packed->decoder = std::move(decoder);
        packed->count = count;
        packed->size = size;
        return packed;
    }

    /// The value of cell `index`, decoded afresh.
    ValuePtr decode(std::uint32_t index) const {
        const std::uint32_t end = ends()[index];
        const std::uint32_t start = index == 0 ? 0 : ends()[index - 1] & ~kNull;
        return value_of(*decoder, index, (end & kNull) ? nullptr : bytes() + start, end - start);
    }

    /// The data type and text form of cell `index`, read from its bytes.
    DataType describe(std::uint32_t index, std::string& text) const {
        const std::uint32_t end = ends()[index];
        if (end & kNull) {
            static const ValuePtr null = ValueNull::create();
            text = null->to_string();
            return null->get_data_type();
        }
        const std::uint32_t start = index == 0 ? 0 : ends()[index - 1] & ~kNull;
        return decoder->describe(index, std::string_view(bytes() + start, end - start), text);
    }

    /// The value of cell `index` if one made on demand is still held.
    ValuePtr held(std::uint32_t index) const {
        if (!live || !live[index]) return nullptr;
        return std::static_pointer_cast<ValueObject>(live[index]->weak_from_this().lock());
    }

    /// Forgets every value made on demand (they live on as values of their own).
    void detach_all() noexcept {
        if (!live) return;
        for (std::uint32_t i = 0; i < count; ++i)
            if (live[i]) live[i]->m_home = nullptr;
        give_live(live, count);
        live = nullptr;
        alive = 0;
    }
};

void RowModel::PackedDeleter::operator()(PackedCells* packed) const noexcept {
    packed->detach_all();
    packed->~PackedCells();
    ::operator delete(packed);
}

RowModel::RowModel() = default;

RowModel::~RowModel() = default;

std::shared_ptr<RowModel> RowModel::create() {
    auto row = Core::make_object<RowModel>();
    row->m_values = ValueList::create();
    return row;
}

std::shared_ptr<RowModel> RowModel::create(std::vector<ValuePtr> values) {
    auto row = Core::make_object<RowModel>();
    row->m_values = ValueList::create(std::move(values));
    return row;
}

std::shared_ptr<RowModel> RowModel::create_packed(std::shared_ptr<const ICellDecoder> decoder, std::size_t count,
                                                  const char* const* cells, const unsigned long* lengths) {
    OMBRIX_RETURN_VAL_IF_NULL(decoder, nullptr);
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (cells[i]) total += lengths[i];
    if (total > PackedCells::kMaxBytes) {
        std::vector<ValuePtr> values;
        values.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            values.push_back(value_of(*decoder, i, cells[i], cells[i] ? lengths[i] : 0));
        return create(std::move(values));
    }
    const std::size_t size = count * sizeof(std::uint32_t) + total;
    auto row = Core::make_object<RowModel>();
    row->m_packed.reset(PackedCells::make(std::move(decoder), static_cast<std::uint32_t>(count), size));
    PackedCells& packed = *row->m_packed;
    packed.row = row.get();
    std::uint32_t* ends = packed.ends();
    char* const bytes = packed.bytes();
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!cells[i]) {
            ends[i] = end | PackedCells::kNull;
            continue;
        }
        std::memcpy(bytes + end, cells[i], lengths[i]);
        end += static_cast<std::uint32_t>(lengths[i]);
        ends[i] = end;
    }
    return row;
}

OMBRIX_DEFINE_TYPE(RowModel, "OmbrixProvidersContractsRowModel");

void RowModel::unpack() const {
    PackedCells& packed = *m_packed;
    std::vector<ValuePtr> values;
    values.reserve(packed.count);
    for (std::uint32_t i = 0; i < packed.count; ++i) {
        ValuePtr value = packed.held(i);
        values.push_back(value ? std::move(value) : packed.decode(i));
    }
    m_values = ValueList::create(std::move(values));
    m_packed.reset();
}

ValuePtr RowModel::get_value_at(std::size_t index) const {
    if (!m_packed) return m_values->get(index);
    PackedCells& packed = *m_packed;
    if (index >= packed.count) return nullptr;
    const auto cell = static_cast<std::uint32_t>(index);
    if (ValuePtr value = packed.held(cell)) return value;
    ValuePtr value = packed.decode(cell);
    if (!packed.live) packed.live = take_live(packed.count);
    // A value of the same cell that is still being destroyed leaves its slot to this one.
    if (!packed.live[cell]) ++packed.alive;
    packed.live[cell] = value.get();
    value->m_home = &packed;
    value->m_cell = cell;
    return value;
}

std::optional<DataType> RowModel::read_cell(std::size_t index, std::string& text) const {
    if (m_packed && index < m_packed->count) {
        const auto cell = static_cast<std::uint32_t>(index);
        if (!m_packed->live || !m_packed->live[cell]) return m_packed->describe(cell, text);
    }
    const ValuePtr value = get_value_at(index);
    if (!value) return std::nullopt;
    text = value->to_string();
    return value->get_data_type();
}

void RowModel::keep(PackedCells* home) { home->row->unpack(); }

void RowModel::release(PackedCells* home, std::uint32_t cell, const ValueObject* value) noexcept {
    if (home->live[cell] != value) return;
    home->live[cell] = nullptr;
    if (--home->alive == 0) {
        give_live(home->live, home->count);
        home->live = nullptr;
    }
}

const std::shared_ptr<ValueList>& RowModel::get_values() const {
    if (m_packed) unpack();
    return m_values;
}

std::size_t RowModel::get_n_items() const { return m_packed ? m_packed->count : m_values->size(); }

void RowModel::set_value_at(std::size_t position, ValuePtr value) {
    OMBRIX_RETURN_IF_NULL(value);
    const auto& values = get_values();
    OMBRIX_RETURN_IF_FAIL(position < values->size());
    values->set(position, std::move(value));
}

std::shared_ptr<RowModel> RowModel::clone() const {
    auto copy = Core::make_object<RowModel>();
    copy->m_version = m_version;
    if (m_packed) {
        // Still packed: the copy gets its own copy of the bytes, decoded when it is first read.
        const PackedCells& packed = *m_packed;
        copy->m_packed.reset(PackedCells::make(packed.decoder, packed.count, packed.size));
        copy->m_packed->row = copy.get();
        std::memcpy(copy->m_packed->ends(), packed.ends(), packed.size);
        return copy;
    }
    std::vector<ValuePtr> values;
    values.reserve(m_values->size());
    for (const auto& value : *m_values) values.push_back(value ? value->clone() : nullptr);
    copy->m_values = ValueList::create(std::move(values));
    return copy;
}

// ---------------------------------------------------------------- the values' side

ValueObject::~ValueObject() {
    if (m_home) RowModel::release(m_home, m_cell, this);
}

void ValueObject::itsvalue_changed() {
    if (m_home) RowModel::keep(m_home);
    notify("itsvalue");
}

void ValueObject::extras_attached() {
    if (m_home) RowModel::keep(m_home);
}

}  // namespace Ombrix::Providers::Contracts
