#include "solvane/Model/function.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaFunction

std::shared_ptr<MetaFunction> MetaFunction::with_names(std::string_view database, std::string_view schema,
                                                       std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto object = create();
    object->set_names(database, schema, name);
    return object;
}

std::string MetaFunction::routine_type() const {
    const auto& attributes = get_attributes();
    if (const auto package = attributes.find(std::string(PACKAGE)); package != attributes.end()) return package->second;
    return m_is_function ? "FUNCTION" : "PROCEDURE";
}

bool MetaFunction::is_package() const { return get_attributes().contains(std::string(PACKAGE)); }

OMBRIX_DEFINE_TYPE(MetaFunction, "OmbrixSolvaneMetaModelMetaFunction");

}  // namespace Ombrix::Solvane::MetaModel
