/// @file Spatial values: geometry literals and "latitude, longitude" geography texts.
#pragma once

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

/// A spatial cell given as text.
class OMBRIX_PROVIDERS_EXPORT ValueGeometry : public ValueHolder<std::string> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueGeometry> create(std::string_view text = "");
    /// A geometry in the server's binary form (SRID and well-known binary), kept byte for byte.
    static std::shared_ptr<ValueGeometry> create_from_bytes(const std::uint8_t* data, std::size_t length);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    void set_itsvalue(std::string_view text) {
        m_binary = false;
        ValueHolder::set_itsvalue(std::string(text));
    }
    /// Whether the content is the server's binary form rather than a text.
    bool is_binary() const { return m_binary; }
    /// The content's bytes.
    Core::Bytes to_bytes() const { return Core::Bytes(m_value.begin(), m_value.end()); }
    /// Each byte as two upper-case hexadecimal digits.
    std::string to_hexadecimal() const;

    Core::Value to_value() const override;
    /// The text, or for the binary form its hexadecimal digits.
    std::string to_string() const override { return m_binary ? to_hexadecimal() : m_value; }
    ValuePtr clone() const override;
    std::string_view get_name() const override { return "geometry"; }
    DataType get_data_type() const override { return DataType::GEOMETRY; }

protected:
    explicit ValueGeometry(std::string text) : ValueHolder(std::move(text)) {}
    bool m_binary = false;
};

/// A geography text "latitude, longitude".
class OMBRIX_PROVIDERS_EXPORT ValueGeography final : public ValueGeometry {

public:
    static std::shared_ptr<ValueGeography> create(std::string_view text = "");
    OMBRIX_OBJECT(ValueGeography, ValueGeometry);

    /// The first number of the text, sign included; 0 when the text has no "a, b" pair.
    double latitude() const;
    /// The second number of the text, sign included; 0 when the text has no "a, b" pair.
    double longitude() const;

    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "geography"; }
    DataType get_data_type() const override { return DataType::GEOGRAPHY; }

private:
    using ValueGeometry::ValueGeometry;
    double coordinate(const char* group) const;
};

}  // namespace Ombrix::Providers::Contracts
