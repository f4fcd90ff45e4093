#include "solvane/Supports/Log/handler_console.hpp"

#include <glib.h>

#include "solvane/Supports/Log/formatter_default.hpp"

namespace Ombrix::Solvane::Supports::Log {

GLibLogHandler::GLibLogHandler() : m_formatter(DefaultFormatter::create()) {}

std::shared_ptr<GLibLogHandler> GLibLogHandler::create() { return std::shared_ptr<GLibLogHandler>(new GLibLogHandler()); }

const Core::TypeInfo& GLibLogHandler::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<GLibLogHandler, Core::Object>("OmbrixSolvaneSupportsLogGLibLogHandler")
            .property<std::shared_ptr<Core::Object>>(
                "formatter",
                [](const GLibLogHandler& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_formatter()); },
                [](GLibLogHandler& self, const std::shared_ptr<Core::Object>& formatter) {
                    self.set_formatter(std::dynamic_pointer_cast<IFormatter>(formatter));
                },
                nullptr)
            .property("threshold", &GLibLogHandler::get_threshold, &GLibLogHandler::set_threshold, LogLevel::PLAIN)
            .build();
    return info;
}

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
    notify("formatter");
}

void GLibLogHandler::set_threshold(LogLevel threshold) { set_and_notify(m_threshold, threshold, "threshold"); }

}  // namespace Ombrix::Solvane::Supports::Log
