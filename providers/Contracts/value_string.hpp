/// @file Text values: strings, XML, JSON, UUIDs and UTF-16 text.
#pragma once

#include <string>

#include "providers/Contracts/value_object.hpp"
#include "providers/Core/async.hpp"

namespace Ombrix::Providers::Contracts {

/// A UTF-8 text cell.
class OMBRIX_PROVIDERS_EXPORT ValueString : public ValueHolder<std::string> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueString> create(std::string_view text = "");
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    void set_itsvalue(std::string_view text) { ValueHolder::set_itsvalue(std::string(text)); }

    /// A string value holding the text.
    Core::Value to_value() const override { return Core::Value::from_string(m_value); }
    std::string to_string() const override { return m_value; }
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "string"; }
    DataType get_data_type() const override { return DataType::STRING; }

    /// Reads the file's exact bytes as the new text; completion on the main context. A missing
    /// file is the platform's not-found error and leaves the value unchanged.
    void load_async(const std::string& filename, Core::AsyncReadyCallback callback);
    [[nodiscard]] Core::Status load_finish(const Core::AsyncResultPtr& result);
    /// Writes the text's UTF-8 bytes (no terminator, no byte-order mark) to the file, replacing it.
    void save_async(const std::string& filename, Core::AsyncReadyCallback callback);
    [[nodiscard]] Core::Status save_finish(const Core::AsyncResultPtr& result);

protected:
    explicit ValueString(std::string text) : ValueHolder(std::move(text)) {}
};

/// An XML text cell (also the factory's value for kinds without a class of their own).
class OMBRIX_PROVIDERS_EXPORT ValueXml final : public ValueString {

public:
    static std::shared_ptr<ValueXml> create(std::string_view text = "");
    OMBRIX_OBJECT(ValueXml, ValueString);
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "xml"; }
    DataType get_data_type() const override { return DataType::XML; }

private:
    using ValueString::ValueString;
};

/// A JSON text cell.
class OMBRIX_PROVIDERS_EXPORT ValueJson final : public ValueString {

public:
    static std::shared_ptr<ValueJson> create(std::string_view text = "");
    OMBRIX_OBJECT(ValueJson, ValueString);
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "json"; }
    DataType get_data_type() const override { return DataType::JSON; }

private:
    using ValueString::ValueString;
};

/// A UUID text cell.
class OMBRIX_PROVIDERS_EXPORT ValueUuid final : public ValueString {

public:
    /// A fresh random version-4 UUID in lower case.
    static std::shared_ptr<ValueUuid> create();
    /// The text unchanged.
    static std::shared_ptr<ValueUuid> new_uuid(std::string_view text);
    OMBRIX_OBJECT(ValueUuid, ValueString);
    ValuePtr clone() const override { return new_uuid(m_value); }
    std::string_view get_name() const override { return "uuid"; }
    DataType get_data_type() const override { return DataType::UUID; }

private:
    using ValueString::ValueString;
};

/// A UTF-16 text cell (zero-terminated code units). Its property `itsvalue` reads and writes the
/// text as UTF-8; setting it always notifies, as for every value, and a text that is not valid
/// UTF-8 is refused with a warning.
class OMBRIX_PROVIDERS_EXPORT ValueUtf16 final : public ValueObject {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueUtf16> create(std::u16string units = {});
    /// Converts UTF-8 to UTF-16; invalid UTF-8 gives null.
    static std::shared_ptr<ValueUtf16> new_string(std::string_view utf8);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::u16string& get_itsvalue() const { return m_units; }
    void set_itsvalue(std::u16string units) {
        m_units = std::move(units);
        itsvalue_changed();
    }

    /// A string value holding the UTF-8 text.
    Core::Value to_value() const override { return Core::Value::from_string(to_string()); }
    /// The content as UTF-8; "" when it is not valid UTF-16.
    std::string to_string() const override;
    ValuePtr clone() const override { return create(m_units); }
    std::string_view get_name() const override { return "wstring"; }
    DataType get_data_type() const override { return DataType::WSTRING; }

private:
    explicit ValueUtf16(std::u16string units) : m_units(std::move(units)) {}
    std::u16string m_units;
};

}  // namespace Ombrix::Providers::Contracts
