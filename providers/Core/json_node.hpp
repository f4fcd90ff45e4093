/// @file The JSON document type, for declarations that pass documents without reading them.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace Ombrix::Core::Json {

/// A JSON document whose objects keep their members in insertion order.
using Node = nlohmann::ordered_json;

}  // namespace Ombrix::Core::Json
