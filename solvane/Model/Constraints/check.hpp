/// @file Check constraints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A check constraint: its condition expression in `check`.
class OMBRIX_SOLVANE_EXPORT MetaCheck final : public MetaConstraint {
public:
    /// `name` and `check` = `expr` set.
    static std::shared_ptr<MetaCheck> with_name(std::string_view name, std::string_view expr);

    OMBRIX_CREATABLE_OBJECT(MetaCheck, MetaConstraint);

    DBObject character() const override { return DBObject::CHECK; }

    OMBRIX_PROPERTY(bool, enforced, false);
    OMBRIX_PROPERTY(bool, no_inherit, true);
    OMBRIX_PROPERTY(std::string, check, "");
    OMBRIX_PROPERTY(std::string, deferrable, "");

private:
    MetaCheck() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
