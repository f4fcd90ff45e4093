#include "providers/Contracts/value_scalar.hpp"

#include <charconv>
#include <limits>

namespace Ombrix::Providers::Contracts {

template <class Traits>
const Core::TypeInfo& ValueInteger<Traits>::static_type() {
    using P = typename Traits::property_type;
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueInteger, ValueObject>(std::string(Traits::type_name))
            .template property<P>("itsvalue", &ValueInteger::get_itsvalue,
                                  [](ValueInteger& self, P value) { self.set_itsvalue(static_cast<type>(value)); }, 0)
            // A number outside the property's own type (char, int, ...) is refused, not wrapped; the
            // 16-bit classes take any int and store it converted to their width.
            .range(std::numeric_limits<P>::lowest(), std::numeric_limits<P>::max())
            .build();
    return info;
}

template <class Traits>
Core::Value ValueInteger<Traits>::to_value() const {
    const type value = this->m_value;
    if constexpr (std::is_same_v<type, std::int8_t>) return Core::Value::from_char(value);
    else if constexpr (std::is_same_v<type, std::uint8_t>) return Core::Value::from_uchar(value);
    else if constexpr (std::is_same_v<type, std::int64_t>) return Core::Value::from_int64(value);
    else if constexpr (std::is_same_v<type, std::uint64_t>) return Core::Value::from_uint64(value);
    else if constexpr (std::is_signed_v<type>) return Core::Value::from_int(value);
    else return Core::Value::from_uint(value);
}

template <class Traits>
std::string ValueInteger<Traits>::to_string() const {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, this->m_value);
    (void)ec;
    return std::string(buffer, end);
}

template <class Traits>
std::int64_t ValueInteger<Traits>::to_integer() const {
    if constexpr (std::is_same_v<type, std::uint64_t>) {
        constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        return this->m_value > max ? std::numeric_limits<std::int64_t>::max()
                                   : static_cast<std::int64_t>(this->m_value);
    } else {
        return this->m_value;
    }
}

template class ValueInteger<ValueInt8Traits>;
template class ValueInteger<ValueInt16Traits>;
template class ValueInteger<ValueInt32Traits>;
template class ValueInteger<ValueInt64Traits>;
template class ValueInteger<ValueUInt8Traits>;
template class ValueInteger<ValueUInt16Traits>;
template class ValueInteger<ValueUInt32Traits>;
template class ValueInteger<ValueUInt64Traits>;

OMBRIX_REGISTER_TYPE(ValueInt8);
OMBRIX_REGISTER_TYPE(ValueInt16);
OMBRIX_REGISTER_TYPE(ValueInt32);
OMBRIX_REGISTER_TYPE(ValueInt64);
OMBRIX_REGISTER_TYPE(ValueUInt8);
OMBRIX_REGISTER_TYPE(ValueUInt16);
OMBRIX_REGISTER_TYPE(ValueUInt32);
OMBRIX_REGISTER_TYPE(ValueUInt64);

}  // namespace Ombrix::Providers::Contracts
