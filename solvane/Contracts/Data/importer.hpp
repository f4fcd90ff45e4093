/// @file The importer contract: files or texts loaded into a model or imported into a table.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "providers/Contracts/model_table.hpp"
#include "providers/Core/async.hpp"
#include "solvane/Contracts/Data/exporter.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Data {

/// Reads one format. The file operations read the file named by option "FILENAME". Imports run as
/// a chain of asynchronous steps on the default main context; their finish gives the count each
/// format defines. `max_rows` of 0 or less loads every row.
class OMBRIX_SOLVANE_EXPORT IImporter {
public:
    virtual ~IImporter() = default;

    virtual void import_from_file(const std::shared_ptr<Database::IConnection>& connection,
                                  const std::shared_ptr<MetaModel::MetaTable>& table, const ProgressCallback& progress,
                                  Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<std::int64_t> import_from_file_finish(const Core::AsyncResultPtr& result) = 0;
    virtual void import_from_text(std::string_view textbuffer, const std::shared_ptr<Database::IConnection>& connection,
                                  const std::shared_ptr<MetaModel::MetaTable>& table, const ProgressCallback& progress,
                                  Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<std::int64_t> import_from_text_finish(const Core::AsyncResultPtr& result) = 0;
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> load_from_file(
        std::int64_t max_rows) = 0;
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> load_from_text(
        std::string_view textbuffer, std::int64_t max_rows) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Data
