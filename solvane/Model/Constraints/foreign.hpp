/// @file Foreign keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A foreign key; the column lists are texts the builder puts between parentheses as they stand.
class OMBRIX_SOLVANE_EXPORT MetaForeignKey final : public MetaConstraint {
public:
    /// `name`, `refer-schema` and `refer-table` set.
    static std::shared_ptr<MetaForeignKey> with_names(std::string_view name, std::string_view refer_schema,
                                                      std::string_view refer_table);

    OMBRIX_CREATABLE_OBJECT(MetaForeignKey, MetaConstraint);

    DBObject character() const override { return DBObject::FOREIGN; }

    OMBRIX_PROPERTY(std::string, refer_database, "");
    OMBRIX_PROPERTY(std::string, refer_schema, "");
    OMBRIX_PROPERTY(std::string, refer_table, "");
    OMBRIX_PROPERTY(std::string, local_columns, "");
    OMBRIX_PROPERTY(std::string, refer_columns, "");
    OMBRIX_PROPERTY(std::string, match_method, "");
    OMBRIX_PROPERTY(std::string, delete_action, "");
    OMBRIX_PROPERTY(std::string, update_action, "");
    OMBRIX_PROPERTY(std::string, deferrable, "");

private:
    MetaForeignKey() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
