/// @file JSON form of objects, driven by their property tables, and JSON files.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "providers/Core/json_node.hpp"
#include "providers/Core/object.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core::Json {

/// The JSON object of `object`: one member per readable property, as its `serialize_property` gives it.
OMBRIX_PROVIDERS_EXPORT Node serialize(const Object& object);

/// A new object of `type` with every member of `node` that names a property applied; null when `node`
/// is not a JSON object or `type` cannot be made.
OMBRIX_PROVIDERS_EXPORT std::shared_ptr<Object> deserialize(const Node& node, const TypeInfo& type);

/// Applies every member of `node` that names a property of `object` (unknown members are ignored).
OMBRIX_PROVIDERS_EXPORT void apply(Object& object, const Node& node);

/// The default mapping of one property to JSON: numbers, booleans, strings, string lists and maps,
/// date-times as ISO 8601, objects as nested objects, lists as arrays. Nullopt leaves the member out
/// (an `OmitDefault` property at its default, an unset object, a kind with no JSON form).
OMBRIX_PROVIDERS_EXPORT std::optional<Node> serialize_value(const Object& object, const PropertySpec& property);

/// The default mapping of one JSON member back to a property; object lists always get a new list
/// whose elements are deserialized as the element class. False when the member does not fit.
OMBRIX_PROVIDERS_EXPORT bool deserialize_value(Object& object, const PropertySpec& property, const Node& node);

/// Parses a JSON text; errors are in domain "JSON".
OMBRIX_PROVIDERS_EXPORT Result<Node> parse(std::string_view text);

/// Reads and parses a JSON file; read errors come from the I/O layer, parse errors in domain "JSON".
OMBRIX_PROVIDERS_EXPORT Result<Node> parse_file(const std::string& filename);

/// Pretty-printed text with `indent` spaces per level.
OMBRIX_PROVIDERS_EXPORT std::string to_pretty(const Node& node, int indent = 2);

}  // namespace Ombrix::Core::Json
