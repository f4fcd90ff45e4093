/// @file Exclusion constraints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// An exclusion constraint.
class OMBRIX_SOLVANE_EXPORT MetaExclude final : public MetaConstraint {
public:
    /// `name` set.
    static std::shared_ptr<MetaExclude> with_name(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaExclude, MetaConstraint);

    DBObject character() const override { return DBObject::EXCLUDE; }

    OMBRIX_PROPERTY(std::string, index_method, "");
    OMBRIX_PROPERTY(std::string, table_space, "");
    OMBRIX_PROPERTY(std::string, with, "");
    OMBRIX_PROPERTY(std::string, include, "");
    OMBRIX_PROPERTY(std::string, where, "");
    OMBRIX_PROPERTY(std::string, deferrable, "");
    OMBRIX_PROPERTY(std::string, elements, "");

private:
    MetaExclude() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
