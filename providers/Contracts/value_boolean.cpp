#include "providers/Contracts/value_boolean.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ValueBoolean> ValueBoolean::create(bool value) {
    return Core::make_object<ValueBoolean>(value);
}

const Core::TypeInfo& ValueBoolean::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueBoolean, ValueObject>("OmbrixProvidersContractsValueBoolean")
            .property("itsvalue", &ValueBoolean::get_itsvalue, &ValueBoolean::set_itsvalue, false)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueBoolean);

}  // namespace Ombrix::Providers::Contracts
