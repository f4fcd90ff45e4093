#include "tests/support/console_capture.hpp"

namespace Ombrix::Testing {

ConsoleCapture::ConsoleCapture() {
    m_handler = g_log_set_handler(nullptr,
                                  static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                              G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG |
                                                              G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                                  &ConsoleCapture::handler, this);
}

ConsoleCapture::~ConsoleCapture() { g_log_remove_handler(nullptr, m_handler); }

std::vector<std::pair<GLogLevelFlags, std::string>> ConsoleCapture::records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}

void ConsoleCapture::handler(const gchar*, GLogLevelFlags level, const gchar* message, gpointer self) {
    auto* capture = static_cast<ConsoleCapture*>(self);
    std::lock_guard lock(capture->m_mutex);
    capture->m_records.emplace_back(static_cast<GLogLevelFlags>(level & G_LOG_LEVEL_MASK), message);
}

}  // namespace Ombrix::Testing
