/// @file Enumeration values: ENUM members, flag texts and SET member lists.
#pragma once

#include <string>
#include <vector>

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

/// An enumeration member's text, with the list of permitted members (empty until `initialize`).
class OMBRIX_PROVIDERS_EXPORT ValueEnum : public ValueHolder<std::string> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueEnum> create(std::string_view text = "");
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    void set_itsvalue(std::string_view text) { ValueHolder::set_itsvalue(std::string(text)); }
    /// Appends a copy of each member text, in order, to the permitted members.
    virtual void initialize(const std::vector<std::string>& members);
    const std::vector<std::string>& get_members() const { return m_members; }

    Core::Value to_value() const override { return Core::Value::from_string(m_value); }
    std::string to_string() const override { return m_value; }
    ValuePtr clone() const override;
    std::string_view get_name() const override { return "enum"; }
    DataType get_data_type() const override { return DataType::ENUM; }

protected:
    explicit ValueEnum(std::string text) : ValueHolder(std::move(text)) {}
    template <class T>
    std::shared_ptr<T> copy_as() const {
        auto copy = Core::make_object<T>(m_value);
        copy->m_members = m_members;
        return copy;
    }
    std::vector<std::string> m_members;
};

/// A flags text; its data type is ENUM.
class OMBRIX_PROVIDERS_EXPORT ValueFlags final : public ValueEnum {

public:
    static std::shared_ptr<ValueFlags> create(std::string_view text = "");
    OMBRIX_OBJECT(ValueFlags, ValueEnum);
    ValuePtr clone() const override { return copy_as<ValueFlags>(); }
    std::string_view get_name() const override { return "flags"; }
    DataType get_data_type() const override { return DataType::ENUM; }

private:
    friend class ValueEnum;
    using ValueEnum::ValueEnum;
};

/// A SET cell: the comma-separated members as the server sends them.
class OMBRIX_PROVIDERS_EXPORT ValueSet final : public ValueEnum {

public:
    static std::shared_ptr<ValueSet> create(std::string_view text = "");
    OMBRIX_OBJECT(ValueSet, ValueEnum);
    ValuePtr clone() const override { return copy_as<ValueSet>(); }
    std::string_view get_name() const override { return "set"; }
    DataType get_data_type() const override { return DataType::SET; }

private:
    friend class ValueEnum;
    using ValueEnum::ValueEnum;
};

}  // namespace Ombrix::Providers::Contracts
