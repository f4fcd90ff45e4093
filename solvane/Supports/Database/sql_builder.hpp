/// @file The base of every SQL generator: empty results, and tables ordered by their foreign keys.
#pragma once

#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/buildable.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::MetaModel {
class MetaSchema;
}

namespace Ombrix::Solvane::Supports::Database {

/// Implements every builder operation with an empty text, so that a dialect overrides only what
/// it supports. A null required argument writes the critical "<argument> != NULL" and gives "".
/// The builder keeps a raw pointer to its connection: the connection owns the builder.
class OMBRIX_SOLVANE_EXPORT SqlBuilder : public Core::Object, public Contracts::Database::IBuildable {
public:
    using IConnection = Contracts::Database::IConnection;
    using SqlAction = Contracts::Database::SqlAction;

    /// A null `conn` writes the critical "conn != NULL" and gives null.
    static std::shared_ptr<SqlBuilder> create(IConnection* conn);

    OMBRIX_OBJECT(SqlBuilder, Core::Object);

    /// The connection this builder was made for.
    IConnection* get_conn() const { return m_conn; }

    std::string build_create(const std::shared_ptr<MetaModel::MetaObject>& meta_object) override;
    std::string build_delete(const std::shared_ptr<MetaModel::MetaObject>& meta_object) override;
    std::string build_patch(const std::shared_ptr<MetaModel::MetaObject>& meta_object) override;
    std::string build_normal(const std::shared_ptr<MetaModel::MetaTable>& table, SqlAction action) override;
    std::string alter_database(const std::shared_ptr<MetaModel::MetaDatabase>& database_old,
                               const std::shared_ptr<MetaModel::MetaDatabase>& database_new) override;
    std::string create_database(const std::shared_ptr<MetaModel::MetaDatabase>& database) override;
    std::string alter_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema_new,
                             const std::shared_ptr<MetaModel::MetaSchema>& schema_old) override;
    std::string build_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema) override;
    std::string build_table(const std::shared_ptr<MetaModel::MetaTable>& table) override;
    std::string build_view(const std::shared_ptr<MetaModel::MetaView>& view) override;
    std::string build_index(const std::shared_ptr<MetaModel::MetaIndex>& index) override;
    std::string build_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) override;
    std::string build_function(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    std::string build_user(const std::shared_ptr<MetaModel::MetaUser>& user) override;
    std::string build_role(const std::shared_ptr<MetaModel::MetaRole>& role) override;
    std::string build_script(const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset) override;
    std::string build_caller(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    std::string build_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    std::string patch_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    std::string patch_function(const std::shared_ptr<MetaModel::MetaFunction>& func) override;
    std::string patch_script(const std::shared_ptr<MetaModel::MetaDatabase>& database) override;
    std::string patch_table(const std::shared_ptr<MetaModel::MetaTable>& table) override;
    std::string patch_view(const std::shared_ptr<MetaModel::MetaView>& view) override;
    std::string patch_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& model) override;

    /// Reorders the schema's tables in place so that a table referenced by a foreign key comes
    /// before the table that references it. The walk goes from position `index` down to 0; each
    /// examined table pulls the tables it references (found after it, by exact name) in front of
    /// itself, and a table pulled in is examined in turn. With index 0 only the first table's chain
    /// of references moves; with the number of tables minus 2 every table is examined; from the
    /// last index on nothing happens. Tables that reference each other (directly or through
    /// others) are left in their order relative to each other, so a cycle ends the walk like any
    /// other schema. A null `schema` writes the critical "schema != NULL".
    virtual void order_with_dependence(const std::shared_ptr<MetaModel::MetaSchema>& schema, int index);

protected:
    explicit SqlBuilder(IConnection* conn) : m_conn(conn) {}

private:
    IConnection* m_conn;
};

}  // namespace Ombrix::Solvane::Supports::Database
