/// @file A generic JSON form for the client's own objects, property by property.
#pragma once

#include "providers/Core/json_node.hpp"
#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Serialization {

/// Gives an object a JSON form without code per class. The defaults work on any object through its
/// property table; a class overrides them only for members it writes its own way.
class OMBRIX_SOLVANE_EXPORT IJsonSerializer {
public:
    virtual ~IJsonSerializer() = default;

    /// Adds a member to `builder` (a JSON object) for every writable property of `object`, in the
    /// class's order, named by the property: integers, enumerations and flags as integers,
    /// booleans, floating numbers, strings, date-times as ISO 8601 ("" when unset), string arrays
    /// as arrays, nothing as null, and any other value as a text describing it.
    virtual void serialize(Core::Json::Node& builder, const Core::Object& object) const;
    /// Sets the writable property each member of `json_object` names (a member "class" never
    /// applies; '_' and '-' are the same in names), read by the property's type; members that
    /// name no writable property are skipped, and a property of a type with no JSON reading is
    /// left alone with the warning "Type: <property> -> <type>".
    virtual void deserialize(const Core::Json::Node& json_object, Core::Object& object) const;
};

}  // namespace Ombrix::Solvane::Contracts::Serialization
