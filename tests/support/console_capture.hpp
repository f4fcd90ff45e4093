/// @file Captures what is written to the GLib log without a domain (the console log handler's sink).
#pragma once

#include <glib.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace Ombrix::Testing {

/// While alive, collects (level, message) of every message, warning and debug line logged with a
/// null domain, from any thread, instead of printing them.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::vector<std::pair<GLogLevelFlags, std::string>> records() const;

private:
    static void handler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer self);
    guint m_handler = 0;
    mutable std::mutex m_mutex;
    std::vector<std::pair<GLogLevelFlags, std::string>> m_records;
};

}  // namespace Ombrix::Testing
