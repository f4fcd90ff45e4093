#include "providers/Contracts/model_row.hpp"

#include <cstring>

namespace Ombrix::Providers::Contracts {

/// The cells of a row as the server sent them: one block holding the lengths (a null cell has the
/// length kNull) followed by the bytes of every cell, back to back.
struct RowModel::Packed {
    static constexpr std::uint32_t kNull = 0xFFFFFFFFu;

    std::shared_ptr<const ICellDecoder> decoder;
    std::size_t count = 0;
    std::unique_ptr<char[]> block;

    const std::uint32_t* lengths() const { return reinterpret_cast<const std::uint32_t*>(block.get()); }
    const char* bytes() const { return block.get() + count * sizeof(std::uint32_t); }
};

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
    std::size_t total = count * sizeof(std::uint32_t);
    for (std::size_t i = 0; i < count; ++i)
        if (cells[i]) total += lengths[i];
    auto packed = std::make_unique<Packed>();
    packed->decoder = std::move(decoder);
    packed->count = count;
    packed->block.reset(new char[total]);
    auto* out_lengths = reinterpret_cast<std::uint32_t*>(packed->block.get());
    char* out = packed->block.get() + count * sizeof(std::uint32_t);
    for (std::size_t i = 0; i < count; ++i) {
        if (!cells[i]) {
            out_lengths[i] = Packed::kNull;
            continue;
        }
        out_lengths[i] = static_cast<std::uint32_t>(lengths[i]);
        std::memcpy(out, cells[i], lengths[i]);
        out += lengths[i];
    }
    auto row = Core::make_object<RowModel>();
    row->m_packed = std::move(packed);
    return row;
}

OMBRIX_DEFINE_TYPE(RowModel, "OmbrixProvidersContractsRowModel");

void RowModel::unpack() const {
    std::vector<ValuePtr> values;
    values.reserve(m_packed->count);
    const char* bytes = m_packed->bytes();
    const std::uint32_t* lengths = m_packed->lengths();
    for (std::size_t i = 0; i < m_packed->count; ++i) {
        if (lengths[i] == Packed::kNull) {
            values.push_back(ValueNull::create());
            continue;
        }
        values.push_back(m_packed->decoder->decode(i, std::string_view(bytes, lengths[i])));
        bytes += lengths[i];
    }
    m_values = ValueList::create(std::move(values));
    m_packed.reset();
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
        const std::size_t size = m_packed->count * sizeof(std::uint32_t) + [&] {
            std::size_t bytes = 0;
            for (std::size_t i = 0; i < m_packed->count; ++i)
                if (m_packed->lengths()[i] != Packed::kNull) bytes += m_packed->lengths()[i];
            return bytes;
        }();
        copy->m_packed = std::make_unique<Packed>();
        copy->m_packed->decoder = m_packed->decoder;
        copy->m_packed->count = m_packed->count;
        copy->m_packed->block.reset(new char[size]);
        std::memcpy(copy->m_packed->block.get(), m_packed->block.get(), size);
        return copy;
    }
    std::vector<ValuePtr> values;
    values.reserve(m_values->size());
    for (const auto& value : *m_values) values.push_back(value ? value->clone() : nullptr);
    copy->m_values = ValueList::create(std::move(values));
    return copy;
}

}  // namespace Ombrix::Providers::Contracts
