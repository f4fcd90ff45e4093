#include "solvane/Model/function.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaFunction

std::shared_ptr<MetaFunction> MetaFunction::create() { return std::shared_ptr<MetaFunction>(new MetaFunction()); }

std::shared_ptr<MetaFunction> MetaFunction::with_names(std::string_view database, std::string_view schema,
                                                       std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto object = create();
    object->set_names(database, schema, name);
    return object;
}

const Core::TypeInfo& MetaFunction::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaFunction, MetaObject>("OmbrixSolvaneMetaModelMetaFunction")
            .property("is-function", &MetaFunction::get_is_function, &MetaFunction::set_is_function, false)
            .property("return-type", &MetaFunction::get_return_type, &MetaFunction::set_return_type, "")
            .property("body", &MetaFunction::get_body, &MetaFunction::set_body, "")
            .property("parameters", &MetaFunction::get_parameters, &MetaFunction::set_parameters, Core::StringList{})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaFunction);

void MetaFunction::set_is_function(bool value) { set_and_notify(m_is_function, value, "is-function"); }
void MetaFunction::set_return_type(std::string_view value) { set_text(m_return_type, value, "return-type"); }
void MetaFunction::set_body(std::string_view value) { set_text(m_body, value, "body"); }
void MetaFunction::set_parameters(Core::StringList value) {
    set_and_notify(m_parameters, std::move(value), "parameters");
}

}  // namespace Ombrix::Solvane::MetaModel
