#include "solvane/Model/synonym.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaSynonym

std::shared_ptr<MetaSynonym> MetaSynonym::create() { return std::shared_ptr<MetaSynonym>(new MetaSynonym()); }

std::shared_ptr<MetaSynonym> MetaSynonym::with_names(std::string_view _schema, std::string_view _name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(_schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(_name, nullptr);
    auto synonym = create();
    synonym->set_schema(_schema);
    synonym->set_name(_name);
    return synonym;
}

const Core::TypeInfo& MetaSynonym::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaSynonym, MetaObject>("OmbrixSolvaneMetaModelMetaSynonym")
            .property("target", &MetaSynonym::get_target, &MetaSynonym::set_target, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaSynonym);

void MetaSynonym::set_target(std::string_view value) { set_text(m_target, value, "target"); }

}  // namespace Ombrix::Solvane::MetaModel
