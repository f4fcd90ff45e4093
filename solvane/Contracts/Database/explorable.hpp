/// @file The explorer contract: the lists behind the host's object tree.
#pragma once

#include <memory>
#include <string_view>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// Lists the objects of one kind in a schema.
class OMBRIX_SOLVANE_EXPORT IExplorable {
public:
    virtual ~IExplorable() = default;
    /// The objects of `kind` in `schema` as a model with translated column titles; an empty model
    /// for a kind the dialect does not list. Query errors pass through.
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> load_objects(
        std::string_view database, std::string_view schema, Providers::Contracts::DBObject kind,
        std::string_view extra_data) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
