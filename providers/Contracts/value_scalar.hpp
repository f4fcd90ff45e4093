/// @file Integer values: signed and unsigned, 8 to 64 bits wide.
#pragma once

#include <cstdint>
#include <type_traits>

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

namespace detail {
/// The IUnsigned reading of an unsigned integer value; nothing for a signed one.
template <class Derived, class T, bool = std::is_unsigned_v<T>>
struct UnsignedReading {};
template <class Derived, class T>
struct UnsignedReading<Derived, T, true> : IUnsigned {
    std::uint64_t to_unsigned() const override { return static_cast<const Derived*>(this)->get_itsvalue(); }
};
}  // namespace detail

/// An integer value stored at exactly the width of `Traits::type`. `Traits` gives the registered
/// type name, the data type, the display name and the type of the `itsvalue` property.
template <class Traits>
class ValueInteger final : public ValueHolder<typename Traits::type>,
                           public IInteger,
                           public detail::UnsignedReading<ValueInteger<Traits>, typename Traits::type> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    using type = typename Traits::type;

    static std::shared_ptr<ValueInteger> create(type value = 0) {
        return Core::make_object<ValueInteger>(value);
    }
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    std::int8_t get_int8() const requires std::is_same_v<type, std::int8_t> { return this->m_value; }
    std::int16_t get_int16() const requires std::is_same_v<type, std::int16_t> { return this->m_value; }
    std::int32_t get_int32() const requires std::is_same_v<type, std::int32_t> { return this->m_value; }
    std::int64_t get_int64() const requires std::is_same_v<type, std::int64_t> { return this->m_value; }
    std::uint8_t get_uint8() const requires std::is_same_v<type, std::uint8_t> { return this->m_value; }
    std::uint16_t get_uint16() const requires std::is_same_v<type, std::uint16_t> { return this->m_value; }
    std::uint32_t get_uint32() const requires std::is_same_v<type, std::uint32_t> { return this->m_value; }
    std::uint64_t get_uint64() const requires std::is_same_v<type, std::uint64_t> { return this->m_value; }

    /// A dynamic value of the GLib type of this width (char, int, int64, unsigned variants).
    Core::Value to_value() const override;
    /// Decimal digits, sign kept.
    std::string to_string() const override;
    ValuePtr clone() const override { return create(this->m_value); }
    std::string_view get_name() const override { return Traits::name; }
    DataType get_data_type() const override { return Traits::data_type; }
    /// The value widened to signed 64 bits; an unsigned 64-bit value above the signed maximum
    /// gives 9223372036854775807.
    std::int64_t to_integer() const override;

private:
    explicit ValueInteger(type value) : ValueHolder<type>(value) {}
};

#define OMBRIX_INTEGER_TRAITS(Class, Type, Property, Data, Name)                       \
    struct Class##Traits {                                                             \
        using type = Type;                                                             \
        using property_type = Property;                                                \
        static constexpr std::string_view type_name = "OmbrixProvidersContracts" #Class; \
        static constexpr std::string_view name = Name;                                 \
        static constexpr DataType data_type = DataType::Data;                          \
    };                                                                                 \
    using Class = ValueInteger<Class##Traits>;                                         \
    extern template class OMBRIX_PROVIDERS_EXPORT ValueInteger<Class##Traits>

OMBRIX_INTEGER_TRAITS(ValueInt8, std::int8_t, std::int8_t, INT8, "byte");
OMBRIX_INTEGER_TRAITS(ValueInt16, std::int16_t, std::int32_t, INT16, "int16");
OMBRIX_INTEGER_TRAITS(ValueInt32, std::int32_t, std::int32_t, INT32, "int32");
OMBRIX_INTEGER_TRAITS(ValueInt64, std::int64_t, std::int64_t, INT64, "int64");
OMBRIX_INTEGER_TRAITS(ValueUInt8, std::uint8_t, std::uint8_t, UINT8, "uint8");
OMBRIX_INTEGER_TRAITS(ValueUInt16, std::uint16_t, std::uint32_t, UINT16, "uint16");
OMBRIX_INTEGER_TRAITS(ValueUInt32, std::uint32_t, std::uint32_t, UINT32, "uint32");
OMBRIX_INTEGER_TRAITS(ValueUInt64, std::uint64_t, std::uint64_t, UINT64, "uint64");

#undef OMBRIX_INTEGER_TRAITS

}  // namespace Ombrix::Providers::Contracts
