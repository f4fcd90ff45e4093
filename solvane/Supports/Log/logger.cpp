#include "solvane/Supports/Log/logger.hpp"

#include <algorithm>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"

namespace Ombrix::Solvane::Supports::Log {

Logger::Logger(std::string_view uuid) : m_uuid(uuid) {}

std::shared_ptr<Logger> Logger::create(std::string_view t_uuid) { return Core::make_object<Logger>(t_uuid); }

OMBRIX_DEFINE_TYPE(Logger, "OmbrixSolvaneSupportsLogLogger");

void Logger::initialize(std::string_view server, std::string_view name) {
    bool server_changed = false;
    bool name_changed = false;
    {
        std::lock_guard lock(m_mutex);
        server_changed = m_server != server;
        name_changed = m_name != name;
        m_server = std::string(server);
        m_name = std::string(name);
    }
    if (server_changed) notify(ombrix_name_server);
    if (name_changed) notify(ombrix_name_name);
}

void Logger::close() {
    std::lock_guard lock(m_mutex);
    for (const auto& handler : m_handlers) handler->close();
    m_handlers.clear();
}

void Logger::append_handler(std::shared_ptr<ILogHandler> handler) {
    OMBRIX_RETURN_IF_NULL(handler);
    std::lock_guard lock(m_mutex);
    if (std::find(m_handlers.begin(), m_handlers.end(), handler) == m_handlers.end())
        m_handlers.push_back(std::move(handler));
}

void Logger::delete_handler(const std::shared_ptr<ILogHandler>& handler) {
    std::lock_guard lock(m_mutex);
    std::erase(m_handlers, handler);
}

void Logger::remove_handler_all() {
    // Under the lock like every other change: clearing the set while another thread publishes
    // through it would pull the handlers from under that thread.
    std::lock_guard lock(m_mutex);
    m_handlers.clear();
}

std::vector<std::shared_ptr<ILogHandler>> Logger::get_handlers() const {
    std::lock_guard lock(m_mutex);
    return m_handlers;
}

std::string Logger::recent(int count) {
    std::shared_ptr<ILogHandler> temporary;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& handler : m_handlers) {
            if (std::dynamic_pointer_cast<TempFileLogHandler>(handler)) {
                temporary = handler;
                break;
            }
        }
    }
    return temporary ? temporary->recent(count) : std::string();
}

void Logger::log_full(LogLevel level, const char* t_server, const char* t_name, const char* format, va_list args) {
    OMBRIX_RETURN_IF_NULL(t_server);
    OMBRIX_RETURN_IF_NULL(t_name);
    OMBRIX_RETURN_IF_NULL(format);
    const std::string message = Core::vstrprintf(format, args);
    std::lock_guard lock(m_mutex);
    for (const auto& handler : m_handlers) handler->publish(level, t_server, t_name, message);
}

// The checks name the public record function, as the caller knows it.
#define OMBRIX_LOGGER_LEVEL(vmethod, level)                                                          \
    void Logger::vmethod(const char* t_server, const char* t_name, const char* format, va_list args) { \
        OMBRIX_RETURN_IF_NULL(t_server);                                                             \
        OMBRIX_RETURN_IF_NULL(t_name);                                                               \
        OMBRIX_RETURN_IF_NULL(format);                                                               \
        log_full(level, t_server, t_name, format, args);                                             \
    }

OMBRIX_LOGGER_LEVEL(verror, LogLevel::RISKY)
OMBRIX_LOGGER_LEVEL(vcritical, LogLevel::RISKY)
OMBRIX_LOGGER_LEVEL(vwarning, LogLevel::RISKY)
OMBRIX_LOGGER_LEVEL(vmessage, LogLevel::PLAIN)
OMBRIX_LOGGER_LEVEL(vinfo, LogLevel::PLAIN)
OMBRIX_LOGGER_LEVEL(vdebug, LogLevel::DEBUG)

#undef OMBRIX_LOGGER_LEVEL

std::string Logger::get_uuid() const {
    std::lock_guard lock(m_mutex);
    return m_uuid;
}

std::string Logger::get_name() const {
    std::lock_guard lock(m_mutex);
    return m_name;
}

std::string Logger::get_server() const {
    std::lock_guard lock(m_mutex);
    return m_server;
}

}  // namespace Ombrix::Solvane::Supports::Log
