#include "providers/Contracts/value_enum.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ValueEnum> ValueEnum::create(std::string_view enum_value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(enum_value, nullptr);
    return Core::make_object<ValueEnum>(std::string(enum_value));
}

const Core::TypeInfo& ValueEnum::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueEnum, ValueObject>("OmbrixProvidersContractsValueEnum")
            .property("itsvalue", &ValueEnum::get_itsvalue,
                      [](ValueEnum& self, const std::string& text) { self.set_itsvalue(text); }, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueEnum);

void ValueEnum::initialize(const std::vector<std::string>& members) {
    m_members.insert(m_members.end(), members.begin(), members.end());
}

ValuePtr ValueEnum::clone() const { return copy_as<ValueEnum>(); }

std::shared_ptr<ValueFlags> ValueFlags::create(std::string_view flag_value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(flag_value, nullptr);
    return Core::make_object<ValueFlags>(std::string(flag_value));
}

OMBRIX_DEFINE_TYPE(ValueFlags, "OmbrixProvidersContractsValueFlags");

std::shared_ptr<ValueSet> ValueSet::create(std::string_view set_value) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(set_value, nullptr);
    return Core::make_object<ValueSet>(std::string(set_value));
}

OMBRIX_DEFINE_TYPE(ValueSet, "OmbrixProvidersContractsValueSet");

}  // namespace Ombrix::Providers::Contracts
