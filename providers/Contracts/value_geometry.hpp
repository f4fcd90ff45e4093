/// @file Spatial values: geometry literals and "latitude, longitude" geography texts.
#pragma once

#include "providers/Contracts/value_object.hpp"

namespace Ombrix::Providers::Contracts {

/// A spatial cell given as text.
class OMBRIX_PROVIDERS_EXPORT ValueGeometry : public ValueHolder<std::string> {
public:
    static std::shared_ptr<ValueGeometry> create(std::string_view text = {});
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    void set_itsvalue(std::string_view text) { ValueHolder::set_itsvalue(std::string(text)); }
    Core::Value to_value() const override { return Core::Value::from_string(m_value); }
    std::string to_string() const override { return m_value; }
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "geometry"; }
    DataType get_data_type() const override { return DataType::GEOMETRY; }

protected:
    explicit ValueGeometry(std::string text) : ValueHolder(std::move(text)) {}
};

/// A geography text "latitude, longitude".
class OMBRIX_PROVIDERS_EXPORT ValueGeography final : public ValueGeometry {
public:
    static std::shared_ptr<ValueGeography> create(std::string_view text = {});
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

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
