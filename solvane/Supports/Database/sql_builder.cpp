#include "solvane/Supports/Database/sql_builder.hpp"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"

namespace Ombrix::Solvane::Supports::Database {

using namespace MetaModel;

std::shared_ptr<SqlBuilder> SqlBuilder::create(IConnection* conn) {
    OMBRIX_RETURN_VAL_IF_NULL(conn, nullptr);
    return Core::make_object<SqlBuilder>(conn);
}

// Every slot of the base gives an empty text once its arguments are there.
#define OMBRIX_EMPTY_BUILD(signature, ...)        \
    std::string SqlBuilder::signature {          \
        __VA_ARGS__;                             \
        return {};                               \
    }

OMBRIX_EMPTY_BUILD(build_create(const std::shared_ptr<MetaObject>& meta_object),
                   OMBRIX_RETURN_VAL_IF_NULL(meta_object, {}))
OMBRIX_EMPTY_BUILD(build_delete(const std::shared_ptr<MetaObject>& meta_object),
                   OMBRIX_RETURN_VAL_IF_NULL(meta_object, {}))
OMBRIX_EMPTY_BUILD(build_patch(const std::shared_ptr<MetaObject>& meta_object),
                   OMBRIX_RETURN_VAL_IF_NULL(meta_object, {}))
OMBRIX_EMPTY_BUILD(build_normal(const std::shared_ptr<MetaTable>& table, SqlAction),
                   OMBRIX_RETURN_VAL_IF_NULL(table, {}))
OMBRIX_EMPTY_BUILD(alter_database(const std::shared_ptr<MetaDatabase>& database_old,
                                  const std::shared_ptr<MetaDatabase>& database_new),
                   OMBRIX_RETURN_VAL_IF_NULL(database_old, {}); OMBRIX_RETURN_VAL_IF_NULL(database_new, {}))
OMBRIX_EMPTY_BUILD(create_database(const std::shared_ptr<MetaDatabase>& database),
                   OMBRIX_RETURN_VAL_IF_NULL(database, {}))
OMBRIX_EMPTY_BUILD(alter_schema(const std::shared_ptr<MetaSchema>& schema_new,
                                const std::shared_ptr<MetaSchema>& schema_old),
                   OMBRIX_RETURN_VAL_IF_NULL(schema_old, {}); OMBRIX_RETURN_VAL_IF_NULL(schema_new, {}))
OMBRIX_EMPTY_BUILD(build_schema(const std::shared_ptr<MetaSchema>& schema), OMBRIX_RETURN_VAL_IF_NULL(schema, {}))
OMBRIX_EMPTY_BUILD(build_table(const std::shared_ptr<MetaTable>& table), OMBRIX_RETURN_VAL_IF_NULL(table, {}))
OMBRIX_EMPTY_BUILD(build_view(const std::shared_ptr<MetaView>& view), OMBRIX_RETURN_VAL_IF_NULL(view, {}))
OMBRIX_EMPTY_BUILD(build_index(const std::shared_ptr<MetaIndex>& index), OMBRIX_RETURN_VAL_IF_NULL(index, {}))
OMBRIX_EMPTY_BUILD(build_trigger(const std::shared_ptr<MetaTrigger>& trigger),
                   OMBRIX_RETURN_VAL_IF_NULL(trigger, {}))
OMBRIX_EMPTY_BUILD(build_function(const std::shared_ptr<MetaFunction>& function),
                   OMBRIX_RETURN_VAL_IF_NULL(function, {}))
OMBRIX_EMPTY_BUILD(build_user(const std::shared_ptr<MetaUser>& user), OMBRIX_RETURN_VAL_IF_NULL(user, {}))
OMBRIX_EMPTY_BUILD(build_role(const std::shared_ptr<MetaRole>& role), OMBRIX_RETURN_VAL_IF_NULL(role, {}))
OMBRIX_EMPTY_BUILD(build_script(const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset),
                   OMBRIX_RETURN_VAL_IF_NULL(dataset, {}))
OMBRIX_EMPTY_BUILD(build_caller(const std::shared_ptr<MetaFunction>& function),
                   OMBRIX_RETURN_VAL_IF_NULL(function, {}))
OMBRIX_EMPTY_BUILD(build_event(const std::shared_ptr<MetaEvent>& event), OMBRIX_RETURN_VAL_IF_NULL(event, {}))
OMBRIX_EMPTY_BUILD(patch_event(const std::shared_ptr<MetaEvent>& event), OMBRIX_RETURN_VAL_IF_NULL(event, {}))
OMBRIX_EMPTY_BUILD(patch_function(const std::shared_ptr<MetaFunction>& func), OMBRIX_RETURN_VAL_IF_NULL(func, {}))
OMBRIX_EMPTY_BUILD(patch_script(const std::shared_ptr<MetaDatabase>& database),
                   OMBRIX_RETURN_VAL_IF_NULL(database, {}))
OMBRIX_EMPTY_BUILD(patch_table(const std::shared_ptr<MetaTable>& table), OMBRIX_RETURN_VAL_IF_NULL(table, {}))
OMBRIX_EMPTY_BUILD(patch_view(const std::shared_ptr<MetaView>& view), OMBRIX_RETURN_VAL_IF_NULL(view, {}))
OMBRIX_EMPTY_BUILD(patch_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& model),
                   OMBRIX_RETURN_VAL_IF_NULL(model, {}))

#undef OMBRIX_EMPTY_BUILD

namespace {

// The names each table of the schema references through its foreign keys.
using References = std::unordered_map<std::string, std::vector<std::string>>;

References references_of(const MetaTableList& tables) {
    References references;
    for (const auto& table : tables) {
        if (!table) continue;
        auto& targets = references[table->get_name()];
        for (const auto& constraint : *table->get_constraints())
            if (auto foreign = std::dynamic_pointer_cast<MetaForeignKey>(constraint))
                targets.push_back(foreign->get_refer_table());
    }
    return references;
}

// Whether the table named `from` depends, directly or through other tables of the schema, on the
// table named `to`.
bool depends_on(const References& references, const std::string& from, const std::string& to) {
    std::vector<const std::string*> pending{&from};
    std::unordered_set<std::string_view> seen{from};
    while (!pending.empty()) {
        const std::string* name = pending.back();
        pending.pop_back();
        const auto it = references.find(*name);
        if (it == references.end()) continue;
        for (const auto& target : it->second) {
            if (target == to) return true;
            if (seen.insert(target).second) pending.push_back(&target);
        }
    }
    return false;
}

}  // namespace

void SqlBuilder::order_with_dependence(const std::shared_ptr<MetaSchema>& schema, int index) {
    OMBRIX_RETURN_IF_NULL(schema);
    const auto& tables = schema->get_tables();
    if (!tables || index < 0 || static_cast<std::size_t>(index) + 1 >= tables->size()) return;
    const References references = references_of(*tables);

    while (index >= 0) {
        const auto table = tables->get(static_cast<std::size_t>(index));
        if (table) {
            for (const auto& constraint : *table->get_constraints()) {
                const auto foreign = std::dynamic_pointer_cast<MetaForeignKey>(constraint);
                if (!foreign) continue;
                const auto& target = foreign->get_refer_table();
                for (std::size_t pos = static_cast<std::size_t>(index) + 1; pos < tables->size(); ++pos) {
                    const auto& candidate = (*tables)[pos];
                    if (!candidate || candidate->get_name() != target) continue;
                    // Pulling in a table that itself leads back here would undo an earlier pull, and
                    // the walk would swap the two for ever: tables on a cycle keep their order.
                    if (depends_on(references, target, table->get_name())) break;
                    tables->insert(static_cast<std::size_t>(index), tables->remove_at(pos));
                    ++index;
                    break;
                }
            }
        }
        --index;
    }
}

OMBRIX_DEFINE_TYPE(SqlBuilder, "OmbrixSolvaneSupportsDatabaseSqlBuilder");

}  // namespace Ombrix::Solvane::Supports::Database
