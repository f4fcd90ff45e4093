/// @file The connection's string cache: per-connection texts the host keeps across requests.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/cachable.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Database {

/// A map from key to value, both copied in. Nothing expires: an entry stays until it is replaced,
/// the cache is cleared or the cache goes. Any thread may use it: each operation holds a recursive
/// mutex of the instance for its whole run, so a thread that already holds it may call back in.
class OMBRIX_SOLVANE_EXPORT DataCache final : public Core::Object, public Contracts::Database::ICachable {
public:

    OMBRIX_CREATABLE_OBJECT(DataCache, Core::Object);

    /// A null key or value writes the critical "key != NULL" / "value != NULL" and stores nothing.
    void append(std::string_view key, std::string_view value) override;
    /// A null key writes the critical "key != NULL" and gives nothing.
    std::optional<std::string> lookup(std::string_view key) const override;
    void clear() override;

    /// The number of entries.
    std::size_t size() const;

private:
    DataCache() = default;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
    };

    mutable std::recursive_mutex m_mutex;
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> m_map;
};

}  // namespace Ombrix::Solvane::Supports::Database
