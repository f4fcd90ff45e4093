/// @file The value contract every cell follows, its base class, NULL and error values, the factory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "providers/Contracts/data_type.hpp"
#include "providers/Core/object.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Providers::Contracts {

class ValueObject;
using ValuePtr = std::shared_ptr<ValueObject>;
class RowModel;
/// The packed cells of a row, where the values it made on demand are registered while they live.
struct PackedCells;

/// What every cell value offers, in the order of the contract.
class OMBRIX_PROVIDERS_EXPORT IValue {
public:
    virtual ~IValue() = default;

    /// The value as a dynamically typed value.
    virtual Core::Value to_value() const = 0;
    /// The text form.
    virtual std::string to_string() const = 0;
    /// A new, independent value of the same class with the same content.
    virtual ValuePtr clone() const = 0;
    /// A text for diagnostics: "<type name> => <text>".
    virtual std::string dump() const = 0;
    /// The kind's display name ("int32", "NULL", "bool").
    virtual std::string_view get_name() const = 0;
    virtual DataType get_data_type() const = 0;
    virtual bool get_is_null() const = 0;

    /// A value of the class that belongs to `type`, parsed from `raw`, or empty when `raw` is unset.
    static ValuePtr factory(DataType type, std::optional<std::string_view> raw = std::nullopt);
};

/// Values with a floating-point reading.
class OMBRIX_PROVIDERS_EXPORT INumeric {
public:
    virtual ~INumeric() = default;
    virtual double to_double() const { return 0.0; }
};

/// Values with a signed integer reading.
class OMBRIX_PROVIDERS_EXPORT IInteger {
public:
    virtual ~IInteger() = default;
    virtual std::int64_t to_integer() const { return -1; }
};

/// Values with an unsigned integer reading.
class OMBRIX_PROVIDERS_EXPORT IUnsigned {
public:
    virtual ~IUnsigned() = default;
    virtual std::uint64_t to_unsigned() const { return 0; }
};

/// The reading of `value` through INumeric; 0 for a value without it.
OMBRIX_PROVIDERS_EXPORT double inumeric_to_double(const IValue& value);
/// The reading of `value` through IInteger; -1 for a value without it.
OMBRIX_PROVIDERS_EXPORT std::int64_t iinteger_to_integer(const IValue& value);
/// The reading of `value` through IUnsigned; 0 for a value without it.
OMBRIX_PROVIDERS_EXPORT std::uint64_t iunsigned_to_unsigned(const IValue& value);

/// Base of every value; also the plain value of data type OBJECT.
class OMBRIX_PROVIDERS_EXPORT ValueObject : public Core::Object, public IValue {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueObject> create();

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// A string value holding "".
    Core::Value to_value() const override;
    /// "".
    std::string to_string() const override;
    /// A new plain ValueObject.
    ValuePtr clone() const override;
    /// "%s => %s": the run-time type name and the text form.
    std::string dump() const override;
    /// "UNKNOWN".
    std::string_view get_name() const override { return "UNKNOWN"; }
    DataType get_data_type() const override { return DataType::UNKNOWN; }
    bool get_is_null() const override { return false; }

    ~ValueObject() override;

protected:
    ValueObject() = default;

    /// Notifies `itsvalue`; a value its row made on demand is from then on kept by the row.
    void itsvalue_changed();
    /// A listener or a data slot makes a value made on demand one its row keeps.
    void extras_attached() override;

private:
    friend class RowModel;
    friend struct PackedCells;
    /// Set while this value was made on demand by a packed row that does not hold it; `m_cell` is
    /// its column there.
    PackedCells* m_home = nullptr;
    std::uint32_t m_cell = 0;
};

/// Shared base of the values whose content is one stored `T`: the `itsvalue` accessors.
/// Setting `itsvalue` always notifies, even when the content is equal.
template <class T>
class ValueHolder : public ValueObject {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    const T& get_itsvalue() const noexcept { return m_value; }
    void set_itsvalue(T value) {
        m_value = std::move(value);
        this->itsvalue_changed();
    }

protected:
    ValueHolder() = default;
    explicit ValueHolder(T value) : m_value(std::move(value)) {}
    T m_value{};
};

/// The NULL of a database cell.
class OMBRIX_PROVIDERS_EXPORT ValueNull final : public ValueObject {

public:
    OMBRIX_CREATABLE_OBJECT(ValueNull, ValueObject);

    /// Always "NULL" (read-only).
    OMBRIX_PROPERTY_READONLY(std::string, itsvalue, "NULL");
    std::string get_itsvalue() const { return "NULL"; }
    /// A string value "NULL".
    Core::Value to_value() const override;
    /// "" (while `itsvalue` is "NULL").
    std::string to_string() const override { return {}; }
    ValuePtr clone() const override { return create(); }
    std::string_view get_name() const override { return "NULL"; }
    DataType get_data_type() const override { return DataType::DBNULL; }
    bool get_is_null() const override { return true; }

private:
    ValueNull() = default;
};

/// An error carried in a result: a code and a message.
class OMBRIX_PROVIDERS_EXPORT ValueError final : public ValueObject {

public:
    static std::shared_ptr<ValueError> create(std::int32_t code, std::string_view message);
    OMBRIX_OBJECT(ValueError, ValueObject);

    std::int32_t get_code() const { return m_code; }
    const std::string& get_message() const { return m_message; }
    /// "%d:%s" of code and message (read-only).
    OMBRIX_PROPERTY_READONLY(std::string, itsvalue, "");
    std::string get_itsvalue() const { return to_string(); }
    /// A boxed error of domain "SQL" with the code and message.
    Core::Value to_value() const override;
    std::string to_string() const override;
    ValuePtr clone() const override { return create(m_code, m_message); }
    std::string_view get_name() const override { return "error"; }
    DataType get_data_type() const override { return DataType::ERROR; }

private:
    ValueError() = default;
    std::int32_t m_code = 0;
    std::string m_message;
};

}  // namespace Ombrix::Providers::Contracts
