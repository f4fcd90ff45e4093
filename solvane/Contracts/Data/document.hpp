/// @file The document contract: a data dictionary of a database written into a file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "solvane/Contracts/Data/exporter.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Data {

/// What a document prints around the database: its title, version and description in the
/// header, and a footer link written only when `footer_text` is not empty.
struct OMBRIX_SOLVANE_EXPORT Configuration {
    std::string title;
    std::string data_version;
    std::string description;
    std::string footer_text;
    std::string footer_link;
};

/// Writes a description of a database's schemas (an index of its tables and views and a section
/// per table or view) into `filename`, replacing the file.
class OMBRIX_SOLVANE_EXPORT IDocument {
public:
    virtual ~IDocument() = default;

    [[nodiscard]] virtual Core::Status produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                               std::string_view filename, const Configuration* cfg,
                                               const ProgressCallback& progress) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Data
