#include "solvane/Model/Constraints/exclude.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaExclude

std::shared_ptr<MetaExclude> MetaExclude::with_name(std::string_view name) {
    auto exclude = create();
    exclude->set_name(name);
    return exclude;
}

OMBRIX_DEFINE_TYPE(MetaExclude, "OmbrixSolvaneMetaModelMetaExclude");

}  // namespace Ombrix::Solvane::MetaModel
