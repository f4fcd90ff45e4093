#include "solvane/Model/role.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaRole

std::shared_ptr<MetaRole> MetaRole::create() { return std::shared_ptr<MetaRole>(new MetaRole()); }

std::shared_ptr<MetaRole> MetaRole::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name, std::string_view role_type) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(role_type, nullptr);
    auto role = create();
    role->set_names(database, schema, name);
    role->set_typename(role_type);
    return role;
}

const Core::TypeInfo& MetaRole::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaRole, MetaObject>("OmbrixSolvaneMetaModelMetaRole")
            .property("typename", &MetaRole::get_typename, &MetaRole::set_typename, "")
            .property("password", &MetaRole::get_password, &MetaRole::set_password, "")
            .property("relations", &MetaRole::get_relations, &MetaRole::set_relations, Core::StringMap{})
            .property("privileges", &MetaRole::get_privileges, &MetaRole::set_privileges, Core::StringMap{})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaRole);

void MetaRole::set_typename(std::string_view value) { set_text(m_typename, value, "typename"); }
void MetaRole::set_password(std::string_view value) { set_text(m_password, value, "password"); }
void MetaRole::set_relations(Core::StringMap value) { set_and_notify(m_relations, std::move(value), "relations"); }
void MetaRole::set_privileges(Core::StringMap value) { set_and_notify(m_privileges, std::move(value), "privileges"); }

}  // namespace Ombrix::Solvane::MetaModel
