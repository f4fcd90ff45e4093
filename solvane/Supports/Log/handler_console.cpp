#include "solvane/Supports/Log/handler_console.hpp"

#include <glib.h>

#include "solvane/Supports/Log/formatter_default.hpp"

namespace Ombrix::Solvane::Supports::Log {

GLibLogHandler::GLibLogHandler() : m_formatter(DefaultFormatter::create()) {}

OMBRIX_DEFINE_TYPE(GLibLogHandler, "OmbrixSolvaneSupportsLogGLibLogHandler");

void GLibLogHandler::emit(LogLevel level, std::string_view message) {
    GLogLevelFlags flags = G_LOG_LEVEL_MESSAGE;
    if (level == LogLevel::RISKY) flags = G_LOG_LEVEL_WARNING;
    else if (level == LogLevel::DEBUG) flags = G_LOG_LEVEL_DEBUG;
    const std::string text(message);
    g_log(nullptr, flags, "%s", text.c_str());
}

void GLibLogHandler::publish(LogLevel level, std::string_view, std::string_view, std::string_view message) {
    emit(level, message);
}

std::string GLibLogHandler::recent(int) { return {}; }

std::shared_ptr<IFormatter> GLibLogHandler::get_formatter() const {
    std::lock_guard lock(m_mutex);
    return m_formatter;
}

void GLibLogHandler::set_formatter(std::shared_ptr<IFormatter> formatter) {
    {
        std::lock_guard lock(m_mutex);
        if (m_formatter == formatter) return;
        m_formatter = std::move(formatter);
    }
    notify(ombrix_name_formatter);
}

void GLibLogHandler::set_threshold(LogLevel threshold) { set_and_notify(m_threshold, threshold, ombrix_name_threshold); }

}  // namespace Ombrix::Solvane::Supports::Log
