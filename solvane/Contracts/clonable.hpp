/// @file A generic copy for the client's own objects, property by property.
#pragma once

#include <memory>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts {

/// Gives an object a copy without code per class; implemented by classes derived from Core::Object.
class OMBRIX_SOLVANE_EXPORT IClonable {
public:
    virtual ~IClonable() = default;

    /// A new object of the same class: made with the source's construct properties, then every
    /// writable property set to the source's value (object values shared), every read-only list
    /// filled with the source's elements in order (the clone keeps its own list), and every
    /// read-only string map whose getter hands out the object's own map given the source's keys
    /// and values. Null when
    /// the implementing object is no Core::Object or its class cannot be made.
    virtual std::shared_ptr<Core::Object> clone() const;
};

}  // namespace Ombrix::Solvane::Contracts
