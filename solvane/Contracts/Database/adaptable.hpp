/// @file The adapter contract: filling meta objects from a server's catalogue.
#pragma once

#include <memory>

#include "providers/Contracts/model_dataset.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::MetaModel {
class MetaDatabase;
class MetaSchema;
class MetaTable;
class MetaView;
class MetaIndex;
class MetaTrigger;
class MetaFunction;
class MetaUser;
class MetaRole;
class MetaEvent;
class MetaObject;
}  // namespace Ombrix::Solvane::MetaModel

namespace Ombrix::Solvane::Contracts::Database {

/// Fills meta objects that carry at least their names; every operation may fail.
class OMBRIX_SOLVANE_EXPORT IAdaptable {
public:
    virtual ~IAdaptable() = default;
    [[nodiscard]] virtual Core::Status fill_meta_database(const std::shared_ptr<MetaModel::MetaDatabase>& database,
                                                          bool recursive) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_schema(const std::shared_ptr<MetaModel::MetaSchema>& schema,
                                                        bool recursive) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_table(const std::shared_ptr<MetaModel::MetaTable>& table,
                                                       bool recursive) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_view(const std::shared_ptr<MetaModel::MetaView>& view) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_index(const std::shared_ptr<MetaModel::MetaIndex>& index) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_trigger(const std::shared_ptr<MetaModel::MetaTrigger>& trigger) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_function(const std::shared_ptr<MetaModel::MetaFunction>& function) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_user(const std::shared_ptr<MetaModel::MetaUser>& user) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_role(const std::shared_ptr<MetaModel::MetaRole>& role) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_event(const std::shared_ptr<MetaModel::MetaEvent>& event) = 0;
    [[nodiscard]] virtual Core::Status fill_meta_object(const std::shared_ptr<MetaModel::MetaObject>& meta_object,
                                                        bool recursive) = 0;
    [[nodiscard]] virtual Core::Status fill_data_table(const std::shared_ptr<Providers::Contracts::TableModel>& table) = 0;
    [[nodiscard]] virtual Core::Status fill_data_set(
        const std::shared_ptr<Providers::Contracts::DataSetModel>& dataset) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
