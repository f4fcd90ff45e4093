/// @file Primary and unique keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A unique key, or the primary key when `is-primary-key` is set.
class OMBRIX_SOLVANE_EXPORT MetaUnique final : public MetaConstraint {
public:
    /// `name` set.
    static std::shared_ptr<MetaUnique> with_name(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaUnique, MetaConstraint);

    DBObject character() const override { return DBObject::UNIQUE; }

    OMBRIX_PROPERTY(std::string, columns, "");
    OMBRIX_PROPERTY(std::string, conflict, "");
    OMBRIX_PROPERTY(bool, is_primary_key, false);
    OMBRIX_PROPERTY(std::string, table_space, "");
    OMBRIX_PROPERTY(std::string, with, "");
    OMBRIX_PROPERTY(std::string, include, "");
    OMBRIX_PROPERTY(std::string, deferrable, "");

private:
    MetaUnique() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
