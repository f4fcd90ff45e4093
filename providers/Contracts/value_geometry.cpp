#include "providers/Contracts/value_geometry.hpp"

#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ValueGeometry> ValueGeometry::create(std::string_view text) {
    return std::shared_ptr<ValueGeometry>(new ValueGeometry(std::string(text)));
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
    return std::shared_ptr<ValueGeography>(new ValueGeography(std::string(text)));
}

const Core::TypeInfo& ValueGeography::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueGeography, ValueGeometry>("OmbrixProvidersContractsValueGeography").build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueGeography);

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
