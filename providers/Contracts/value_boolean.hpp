/// @file The boolean value.
#pragma once

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

/// A boolean cell; reads as 1 or 0 through both integer interfaces.
class OMBRIX_PROVIDERS_EXPORT ValueBoolean final : public ValueHolder<bool>, public IInteger, public IUnsigned {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueBoolean> create(bool value = false);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    bool get_boolean() const { return m_value; }
    Core::Value to_value() const override { return Core::Value::from_boolean(m_value); }
    /// "true" or "false".
    std::string to_string() const override { return m_value ? "true" : "false"; }
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "bool"; }
    DataType get_data_type() const override { return DataType::BOOLEAN; }
    std::int64_t to_integer() const override { return m_value ? 1 : 0; }
    std::uint64_t to_unsigned() const override { return m_value ? 1 : 0; }

private:
    explicit ValueBoolean(bool value) : ValueHolder(value) {}
};

}  // namespace Ombrix::Providers::Contracts
