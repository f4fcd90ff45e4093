/// @file The base of every meta-model filler: operations that accept their object and do nothing.
#pragma once

#include <memory>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/adaptable.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// A schema read whole: its database (character set, collation, comment) and the schema with
/// every member filled, procedures included.
struct WholeSchema {
    std::shared_ptr<MetaModel::MetaDatabase> database;
    std::shared_ptr<MetaModel::MetaSchema> schema;
};

/// Reads schema `name` whole through `connection`'s adapter (a recursive schema read leaves the
/// procedures, which are read one by one). A schema that does not exist fails with "no schema
/// named 'NAME'" (domain "default"); the adapter's failures as they come. With `outline`, only
/// what the catalogue's rows tell (see MetaObject::OUTLINE): enough to draw or describe the schema,
/// not to rebuild it.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<WholeSchema> read_whole_schema(
    Contracts::Database::IConnection& connection, const std::string& name, bool outline = false);

/// Implements every adapter operation as a check of its object (a null one writes the critical
/// "<argument> != NULL") that fills nothing, plus the one loop all dialects share: filling each
/// table of a data set. The adapter keeps a raw pointer to its connection: the connection owns it.
class OMBRIX_SOLVANE_EXPORT Adapter : public Core::Object, public Contracts::Database::IAdaptable {
public:
    using IConnection = Contracts::Database::IConnection;

    /// A null `connection` writes the critical "connection != NULL" and gives null.
    static std::shared_ptr<Adapter> create(IConnection* connection);

    OMBRIX_OBJECT(Adapter, Core::Object);

    /// The connection this adapter reads through.
    IConnection* get_connection() const { return m_connection; }

    [[nodiscard]] Core::Status fill_meta_database(const std::shared_ptr<MetaModel::MetaDatabase>& database,
                                                  bool recursive) override;
    [[nodiscard]] Core::Status fill_meta_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema,
                                                bool recursive) override;
    [[nodiscard]] Core::Status fill_meta_table(const std::shared_ptr<MetaModel::MetaTable>& table,
                                               bool recursive) override;
    [[nodiscard]] Core::Status fill_meta_view(const std::shared_ptr<MetaModel::MetaView>& view) override;
    [[nodiscard]] Core::Status fill_meta_index(const std::shared_ptr<MetaModel::MetaIndex>& index) override;
    [[nodiscard]] Core::Status fill_meta_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) override;
    [[nodiscard]] Core::Status fill_meta_function(const std::shared_ptr<MetaModel::MetaFunction>& function) override;
    [[nodiscard]] Core::Status fill_meta_user(const std::shared_ptr<MetaModel::MetaUser>& user) override;
    [[nodiscard]] Core::Status fill_meta_role(const std::shared_ptr<MetaModel::MetaRole>& role) override;
    [[nodiscard]] Core::Status fill_meta_event(const std::shared_ptr<MetaModel::MetaEvent>& event) override;
    [[nodiscard]] Core::Status fill_meta_object(const std::shared_ptr<MetaModel::MetaObject>& meta_object,
                                                bool recursive) override;
    [[nodiscard]] Core::Status fill_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& table) override;
    /// Calls `fill_data_table` on each table model of `dataset` in order; the first error stops the
    /// loop and is returned. A null `dataset` writes the critical "dataset != NULL".
    [[nodiscard]] Core::Status fill_data_set(const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset) override;

protected:
    explicit Adapter(IConnection* connection) : m_connection(connection) {}

private:
    IConnection* m_connection;
};

}  // namespace Ombrix::Solvane::Supports::Database
