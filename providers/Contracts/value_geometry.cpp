#include "providers/Contracts/value_geometry.hpp"

#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ValueGeometry> ValueGeometry::create(std::string_view value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(value, nullptr);
    return Core::make_object<ValueGeometry>(std::string(value));
}

std::shared_ptr<ValueGeometry> ValueGeometry::create_from_bytes(const std::uint8_t* data, std::size_t length) {
    auto value = create(data && length ? std::string_view(reinterpret_cast<const char*>(data), length) : "");
    value->m_binary = true;
    return value;
}

std::string ValueGeometry::to_hexadecimal() const { return Core::hex_upper(m_value.data(), m_value.size()); }

Core::Value ValueGeometry::to_value() const {
    if (m_binary) return Core::Value::from_bytes(to_bytes());
    return Core::Value::from_string(m_value);
}

ValuePtr ValueGeometry::clone() const {
    auto copy = create(m_value);
    copy->m_binary = m_binary;
    return copy;
}

const Core::TypeInfo& ValueGeometry::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueGeometry, ValueObject>("OmbrixProvidersContractsValueGeometry")
            .property("itsvalue", &ValueGeometry::get_itsvalue,
                      [](ValueGeometry& self, const std::string& text) { self.set_itsvalue(text); }, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueGeometry);

std::shared_ptr<ValueGeography> ValueGeography::create(std::string_view text) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(text, nullptr);
    return Core::make_object<ValueGeography>(std::string(text));
}

OMBRIX_DEFINE_TYPE(ValueGeography, "OmbrixProvidersContractsValueGeography");

double ValueGeography::coordinate(const char* group) const {
    // Both groups take an optional sign: a coordinate west or south of zero is negative.
    static const Core::Regex pattern(R"((?<left>[-+]?[\d\.]+),\s*(?<right>[-+]?[\d\.]+))", G_REGEX_MULTILINE);
    if (m_value.empty()) return 0.0;
    auto match = pattern.match(m_value);
    if (!match) return 0.0;
    return Core::parse_double(match->named(group));
}

double ValueGeography::latitude() const { return coordinate("left"); }

double ValueGeography::longitude() const { return coordinate("right"); }

}  // namespace Ombrix::Providers::Contracts
