#include "solvane/Model/Constraints/foreign.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaForeignKey

std::shared_ptr<MetaForeignKey> MetaForeignKey::with_names(std::string_view name, std::string_view refer_schema,
                                                           std::string_view refer_table) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(refer_schema, nullptr);
    // This check's critical has always read "refere_table != NULL"; log matching relies on the wording.
    if (refer_table.data() == nullptr) [[unlikely]] {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "refere_table != NULL");
        return nullptr;
    }
    auto key = create();
    key->set_name(name);
    key->set_refer_schema(refer_schema);
    key->set_refer_table(refer_table);
    return key;
}

OMBRIX_DEFINE_TYPE(MetaForeignKey, "OmbrixSolvaneMetaModelMetaForeignKey");

}  // namespace Ombrix::Solvane::MetaModel
