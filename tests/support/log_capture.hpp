/// @file Captures the GLib log messages (criticals, warnings) written while a test runs.
#pragma once

#include <glib.h>

#include <string>
#include <vector>

namespace Ombrix::Testing {

/// While alive, collects the messages of the "Ombrix" log domain instead of printing them.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& criticals() const { return m_criticals; }
    const std::vector<std::string>& warnings() const { return m_warnings; }
    /// Whether some critical contains `text`.
    bool has_critical(const std::string& text) const;

private:
    static void handler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer self);
    guint m_handler = 0;
    std::vector<std::string> m_criticals;
    std::vector<std::string> m_warnings;
};

}  // namespace Ombrix::Testing
