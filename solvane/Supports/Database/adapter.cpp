#include "solvane/Supports/Database/adapter.hpp"

#include "solvane/Model/database.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/schema.hpp"

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Supports::Database {

using namespace MetaModel;

std::shared_ptr<Adapter> Adapter::create(IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return Core::make_object<Adapter>(connection);
}

Core::Status Adapter::fill_meta_database(const std::shared_ptr<MetaDatabase>& database, bool) {
    OMBRIX_RETURN_VAL_IF_NULL(database, {});
    return {};
}

Core::Status Adapter::fill_meta_schema(const std::shared_ptr<MetaSchema>& schema, bool) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    return {};
}

Core::Status Adapter::fill_meta_table(const std::shared_ptr<MetaTable>& table, bool) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return {};
}

Core::Status Adapter::fill_meta_view(const std::shared_ptr<MetaView>& view) {
    OMBRIX_RETURN_VAL_IF_NULL(view, {});
    return {};
}

Core::Status Adapter::fill_meta_index(const std::shared_ptr<MetaIndex>& index) {
    OMBRIX_RETURN_VAL_IF_NULL(index, {});
    return {};
}

Core::Status Adapter::fill_meta_trigger(const std::shared_ptr<MetaTrigger>& trigger) {
    OMBRIX_RETURN_VAL_IF_NULL(trigger, {});
    return {};
}

Core::Status Adapter::fill_meta_function(const std::shared_ptr<MetaFunction>& function) {
    OMBRIX_RETURN_VAL_IF_NULL(function, {});
    return {};
}

Core::Status Adapter::fill_meta_user(const std::shared_ptr<MetaUser>& user) {
    OMBRIX_RETURN_VAL_IF_NULL(user, {});
    return {};
}

Core::Status Adapter::fill_meta_role(const std::shared_ptr<MetaRole>& role) {
    OMBRIX_RETURN_VAL_IF_NULL(role, {});
    return {};
}

Core::Status Adapter::fill_meta_event(const std::shared_ptr<MetaEvent>& event) {
    OMBRIX_RETURN_VAL_IF_NULL(event, {});
    return {};
}

Core::Status Adapter::fill_meta_object(const std::shared_ptr<MetaObject>& meta_object, bool) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    return {};
}

Core::Status Adapter::fill_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return {};
}

Core::Status Adapter::fill_data_set(const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset) {
    OMBRIX_RETURN_VAL_IF_NULL(dataset, {});
    for (const auto& table : *dataset->get_tables())
        if (auto filled = fill_data_table(table); !filled) return filled;
    return {};
}

OMBRIX_DEFINE_TYPE(Adapter, "OmbrixSolvaneSupportsDatabaseAdapter");

Core::Result<WholeSchema> read_whole_schema(Contracts::Database::IConnection& connection, const std::string& name,
                                            bool outline) {
    auto database = MetaModel::MetaDatabase::with_name(name);
    auto adapter = connection.adapter();
    OMBRIX_RETURN_IF_ERROR(adapter->fill_meta_database(database, false));
    // The database catalogue has a row for every schema there is.
    if (!database->get_attributes().contains("CHARACTER SET") || database->get_schemas()->empty())
        return Core::fail("default", -1, "no schema named '" + name + "'");
    auto schema = database->get_schemas()->get(0);
    if (outline) schema->set_data(MetaModel::MetaObject::OUTLINE, Core::Value::from_int(1));
    OMBRIX_RETURN_IF_ERROR(adapter->fill_meta_schema(schema, true));
    for (const auto& procedure : *schema->get_procedures()) OMBRIX_RETURN_IF_ERROR(adapter->fill_meta_function(procedure));
    return WholeSchema{database, schema};
}

}  // namespace Ombrix::Solvane::Supports::Database
