/// @file The base of the constraint family a table lists in `constraints`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A table constraint; the list holds its subclasses, told apart by class.
class OMBRIX_SOLVANE_EXPORT MetaConstraint : public MetaObject {
public:
    /// `name` set.
    static std::shared_ptr<MetaConstraint> with_names(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaConstraint, MetaObject);

    DBObject character() const override { return DBObject::CONTRAINT; }

protected:
    MetaConstraint() = default;
};

using MetaConstraintList = Core::ListModel<MetaConstraint>;

}  // namespace Ombrix::Solvane::MetaModel
