#include "solvane/Model/role.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaRole

std::shared_ptr<MetaRole> MetaRole::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name, std::string_view role_type) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(role_type, nullptr);
    auto role = create();
    role->set_names(database, schema, name);
    role->set_typename(role_type);
    return role;
}

OMBRIX_DEFINE_TYPE(MetaRole, "OmbrixSolvaneMetaModelMetaRole");

}  // namespace Ombrix::Solvane::MetaModel
