#include "providers/Contracts/value_numeric.hpp"

#include <limits>

#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

template <class Traits>
std::shared_ptr<ValueReal<Traits>> ValueReal<Traits>::create_from_text(std::string_view text) {
    type value;
    if constexpr (std::is_same_v<type, float>)
        value = Core::parse_float(text);
    else
        value = Core::parse_double(text);
    return Core::make_object<ValueReal>(value, std::string(text));
}

template <class Traits>
const Core::TypeInfo& ValueReal<Traits>::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueReal, ValueObject>(std::string(Traits::type_name))
            .property("itsvalue", &ValueReal::get_itsvalue, [](ValueReal& self, type v) { self.set_itsvalue(v); },
                      type{0})
            // Finite numbers of the stored width only: infinities and NaN are refused.
            .range(std::numeric_limits<type>::lowest(), std::numeric_limits<type>::max())
            .build();
    return info;
}

template <class Traits>
Core::Value ValueReal<Traits>::to_value() const {
    if constexpr (std::is_same_v<type, float>)
        return Core::Value::from_float(this->m_value);
    else
        return Core::Value::from_double(this->m_value);
}

template <class Traits>
std::string ValueReal<Traits>::to_string() const {
    if (m_text) return *m_text;
    return Core::format_fixed(this->m_value, 6);
}

template class ValueReal<ValueFloatTraits>;
template class ValueReal<ValueDoubleTraits>;
template class ValueReal<ValueMoneyTraits>;
template class ValueReal<ValueDecimalTraits>;

OMBRIX_REGISTER_TYPE(ValueFloat);
OMBRIX_REGISTER_TYPE(ValueDouble);
OMBRIX_REGISTER_TYPE(ValueMoney);
OMBRIX_REGISTER_TYPE(ValueDecimal);

}  // namespace Ombrix::Providers::Contracts
