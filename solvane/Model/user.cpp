#include "solvane/Model/user.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaUser

std::shared_ptr<MetaUser> MetaUser::create() { return std::shared_ptr<MetaUser>(new MetaUser()); }

std::shared_ptr<MetaUser> MetaUser::with_names(std::string_view database, std::string_view schema,
                                               std::string_view name, std::string_view kind) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(kind, nullptr);
    auto user = create();
    user->set_names(database, schema, name);
    user->set_typename(kind);
    return user;
}

const Core::TypeInfo& MetaUser::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<MetaUser, MetaObject>("OmbrixSolvaneMetaModelMetaUser")
            .property("typename", &MetaUser::get_typename, &MetaUser::set_typename, "")
            .property("default-schema", &MetaUser::get_default_schema, &MetaUser::set_default_schema, "")
            .property("password", &MetaUser::get_password, &MetaUser::set_password, "")
            .property("relations", &MetaUser::get_relations, &MetaUser::set_relations, Core::StringMap{})
            .property("privileges", &MetaUser::get_privileges, &MetaUser::set_privileges, Core::StringMap{})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(MetaUser);

void MetaUser::set_typename(std::string_view value) { set_text(m_typename, value, "typename"); }
void MetaUser::set_default_schema(std::string_view value) { set_text(m_default_schema, value, "default-schema"); }
void MetaUser::set_password(std::string_view value) { set_text(m_password, value, "password"); }
void MetaUser::set_relations(Core::StringMap value) { set_and_notify(m_relations, std::move(value), "relations"); }
void MetaUser::set_privileges(Core::StringMap value) { set_and_notify(m_privileges, std::move(value), "privileges"); }

}  // namespace Ombrix::Solvane::MetaModel
