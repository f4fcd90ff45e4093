/// @file Floating-point values: float, double, money and decimal.
#pragma once

#include <optional>
#include <string>

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

/// A floating-point value of the width of `Traits::type`. Made from a server's text it keeps that
/// exact text for its text form (so DECIMAL digits and DOUBLE precision survive SQL and export
/// paths), while `to_double` gives the number; made from a number it prints "%f" (2.5 gives 2.500000).
template <class Traits>
class ValueReal final : public ValueHolder<typename Traits::type>, public INumeric {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    using type = typename Traits::type;

    static std::shared_ptr<ValueReal> create(type value = 0) {
        return Core::make_object<ValueReal>(value, std::nullopt);
    }
    /// The number read from `text`, keeping `text` as the value's text form.
    static std::shared_ptr<ValueReal> create_from_text(std::string_view text);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// Replaces the number (and forgets any source text). Always notifies `itsvalue`.
    void set_itsvalue(type value) {
        m_text.reset();
        ValueHolder<type>::set_itsvalue(value);
    }
    /// The exact text the value was made from, if any.
    const std::optional<std::string>& get_source_text() const { return m_text; }

    Core::Value to_value() const override;
    std::string to_string() const override;
    ValuePtr clone() const override { return Core::make_object<ValueReal>(this->m_value, m_text); }
    std::string_view get_name() const override { return Traits::name; }
    DataType get_data_type() const override { return Traits::data_type; }
    double to_double() const override { return this->m_value; }

private:
    ValueReal(type value, std::optional<std::string> text) : ValueHolder<type>(value), m_text(std::move(text)) {}
    std::optional<std::string> m_text;
};

#define OMBRIX_REAL_TRAITS(Class, Type, Data, Name)                                    \
    struct Class##Traits {                                                             \
        using type = Type;                                                             \
        static constexpr std::string_view type_name = "OmbrixProvidersContracts" #Class; \
        static constexpr std::string_view name = Name;                                 \
        static constexpr DataType data_type = DataType::Data;                          \
    };                                                                                 \
    using Class = ValueReal<Class##Traits>;                                            \
    extern template class OMBRIX_PROVIDERS_EXPORT ValueReal<Class##Traits>

OMBRIX_REAL_TRAITS(ValueFloat, float, FLOAT, "float");
OMBRIX_REAL_TRAITS(ValueDouble, double, DOUBLE, "double");
OMBRIX_REAL_TRAITS(ValueMoney, double, MONEY, "money");
OMBRIX_REAL_TRAITS(ValueDecimal, double, DECIMAL, "decimal");

#undef OMBRIX_REAL_TRAITS

}  // namespace Ombrix::Providers::Contracts
