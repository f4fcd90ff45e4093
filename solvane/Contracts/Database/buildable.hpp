/// @file The builder contract: meta objects into DDL and data patches into DML, as text.
#pragma once

#include <memory>
#include <string>

#include "providers/Contracts/model_dataset.hpp"
#include "providers/Contracts/model_table.hpp"
#include "solvane/Contracts/Database/adaptable.hpp"
#include "solvane/Contracts/Database/database.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// Turns meta objects (and their edit states) into SQL text; never executes it.
class OMBRIX_SOLVANE_EXPORT IBuildable {
public:
    virtual ~IBuildable() = default;
    virtual std::string build_create(const std::shared_ptr<MetaModel::MetaObject>& meta_object) = 0;
    virtual std::string build_delete(const std::shared_ptr<MetaModel::MetaObject>& meta_object) = 0;
    virtual std::string build_patch(const std::shared_ptr<MetaModel::MetaObject>& meta_object) = 0;
    virtual std::string build_normal(const std::shared_ptr<MetaModel::MetaTable>& table, SqlAction action) = 0;
    virtual std::string alter_database(const std::shared_ptr<MetaModel::MetaDatabase>& database_old,
                                       const std::shared_ptr<MetaModel::MetaDatabase>& database_new) = 0;
    virtual std::string create_database(const std::shared_ptr<MetaModel::MetaDatabase>& database) = 0;
    virtual std::string alter_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema_new,
                                     const std::shared_ptr<MetaModel::MetaSchema>& schema_old) = 0;
    virtual std::string build_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema) = 0;
    virtual std::string build_table(const std::shared_ptr<MetaModel::MetaTable>& table) = 0;
    virtual std::string build_view(const std::shared_ptr<MetaModel::MetaView>& view) = 0;
    virtual std::string build_index(const std::shared_ptr<MetaModel::MetaIndex>& index) = 0;
    virtual std::string build_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) = 0;
    virtual std::string build_function(const std::shared_ptr<MetaModel::MetaFunction>& function) = 0;
    virtual std::string build_user(const std::shared_ptr<MetaModel::MetaUser>& user) = 0;
    virtual std::string build_role(const std::shared_ptr<MetaModel::MetaRole>& role) = 0;
    virtual std::string build_script(const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset) = 0;
    virtual std::string build_caller(const std::shared_ptr<MetaModel::MetaFunction>& function) = 0;
    virtual std::string build_event(const std::shared_ptr<MetaModel::MetaEvent>& event) = 0;
    virtual std::string patch_event(const std::shared_ptr<MetaModel::MetaEvent>& event) = 0;
    virtual std::string patch_function(const std::shared_ptr<MetaModel::MetaFunction>& func) = 0;
    virtual std::string patch_script(const std::shared_ptr<MetaModel::MetaDatabase>& database) = 0;
    virtual std::string patch_table(const std::shared_ptr<MetaModel::MetaTable>& table) = 0;
    virtual std::string patch_view(const std::shared_ptr<MetaModel::MetaView>& view) = 0;
    virtual std::string patch_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& model) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
