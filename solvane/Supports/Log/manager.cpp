#include "solvane/Supports/Log/manager.hpp"

#include <gio/gio.h>

#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Log/handler_file_slice.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"

namespace Ombrix::Solvane::Supports::Log {

namespace {

// One level only: the host names a folder inside one that exists.
Core::Status ensure_folder(const std::string& folder) {
    if (g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) return {};
    GFile* dir = g_file_new_for_path(folder.c_str());
    GError* error = nullptr;
    const bool made = g_file_make_directory(dir, nullptr, &error);
    g_object_unref(dir);
    if (!made) return Core::fail(Core::take_error(error));
    return {};
}

}  // namespace

OMBRIX_DEFINE_TYPE(LogManager, "OmbrixSolvaneSupportsLogLogManager");

void LogManager::initialize(std::string_view uuid, LogLevel threshold, std::string_view folder, std::int64_t max_size) {
    std::lock_guard lock(m_mutex);
    if (m_main) {
        m_loggers.erase(m_main->get_uuid());
        m_main->close();
    }
    m_uuid = std::string(uuid);
    m_main = Logger::create(m_uuid);
    if (auto previous = m_loggers.find(m_uuid); previous != m_loggers.end()) previous->second->close();
    m_loggers.insert_or_assign(m_uuid, m_main);
    m_main->initialize("SYS", "SYS");

    const std::string dir(folder);
    auto handler = SliceFileLogHandler::create();
    Core::Status status = ensure_folder(dir);
    if (status) status = handler->initialize(m_uuid, dir, max_size);
    if (status) {
        handler->set_threshold(threshold);
        m_main->append_handler(std::move(handler));
    } else {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "%s: *** Failed creating FileHandler: %s", G_STRLOC,
              status.error().message.c_str());
    }
    notify(ombrix_name_main);
}

std::shared_ptr<Contracts::Log::ILogger> LogManager::open(std::string_view uuid) {
    std::lock_guard lock(m_mutex);
    const std::string key(uuid);
    if (auto it = m_loggers.find(key); it != m_loggers.end()) return it->second;
    auto logger = Logger::create(key);
    auto handler = TempFileLogHandler::create();
    handler->initialize(key);
    handler->set_threshold(LogLevel::PLAIN);
    logger->append_handler(std::move(handler));
    m_loggers.emplace(key, logger);
    return logger;
}

void LogManager::close(std::string_view uuid) {
    std::lock_guard lock(m_mutex);
    auto it = m_loggers.find(std::string(uuid));
    if (it == m_loggers.end()) return;
    auto logger = std::move(it->second);
    m_loggers.erase(it);
    logger->close();
}

void LogManager::shutdown() {
    std::lock_guard lock(m_mutex);
    for (const auto& [uuid, logger] : m_loggers) logger->close();
    m_loggers.clear();
}

std::shared_ptr<Contracts::Log::ILogger> LogManager::get_main() const {
    std::lock_guard lock(m_mutex);
    return m_main;
}

}  // namespace Ombrix::Solvane::Supports::Log
