#include "solvane/Model/user.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaUser

std::shared_ptr<MetaUser> MetaUser::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name, std::string_view kind) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(kind, nullptr);
    auto user = create();
    user->set_names(database, schema, name);
    user->set_typename(kind);
    return user;
}

OMBRIX_DEFINE_TYPE(MetaUser, "OmbrixSolvaneMetaModelMetaUser");

}  // namespace Ombrix::Solvane::MetaModel
