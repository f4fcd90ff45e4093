#include "solvane/Supports/Database/cache.hpp"

#include "providers/Core/error.hpp"

namespace Ombrix::Solvane::Supports::Database {

void DataCache::append(std::string_view key, std::string_view value) {
    OMBRIX_RETURN_IF_NULL_VIEW(key);
    OMBRIX_RETURN_IF_NULL_VIEW(value);
    std::lock_guard lock(m_mutex);
    if (auto it = m_map.find(key); it != m_map.end())
        it->second.assign(value);
    else
        m_map.emplace(std::string(key), std::string(value));
}

std::optional<std::string> DataCache::lookup(std::string_view key) const {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(key, std::nullopt);
    std::lock_guard lock(m_mutex);
    if (auto it = m_map.find(key); it != m_map.end()) return it->second;
    return std::nullopt;
}

void DataCache::clear() {
    std::lock_guard lock(m_mutex);
    m_map.clear();
}

std::size_t DataCache::size() const {
    std::lock_guard lock(m_mutex);
    return m_map.size();
}

OMBRIX_DEFINE_TYPE(DataCache, "OmbrixSolvaneSupportsDatabaseDataCache");

}  // namespace Ombrix::Solvane::Supports::Database
