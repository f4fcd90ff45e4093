#include "solvane/Model/Constraints/unique.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaUnique

std::shared_ptr<MetaUnique> MetaUnique::with_name(std::string_view name) {
    auto key = create();
    key->set_name(name);
    return key;
}

OMBRIX_DEFINE_TYPE(MetaUnique, "OmbrixSolvaneMetaModelMetaUnique");

}  // namespace Ombrix::Solvane::MetaModel
