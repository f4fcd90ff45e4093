#include "tests/support/log_capture.hpp"

namespace Ombrix::Testing {

LogCapture::LogCapture() {
    m_handler = g_log_set_handler("Ombrix",
                                  static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                                              G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                                  &LogCapture::handler, this);
}

LogCapture::~LogCapture() { g_log_remove_handler("Ombrix", m_handler); }

bool LogCapture::has_critical(const std::string& text) const {
    for (const auto& message : m_criticals)
        if (message.find(text) != std::string::npos) return true;
    return false;
}

void LogCapture::handler(const gchar*, GLogLevelFlags level, const gchar* message, gpointer self) {
    auto* capture = static_cast<LogCapture*>(self);
    if (level & G_LOG_LEVEL_CRITICAL)
        capture->m_criticals.emplace_back(message);
    else
        capture->m_warnings.emplace_back(message);
}

}  // namespace Ombrix::Testing
