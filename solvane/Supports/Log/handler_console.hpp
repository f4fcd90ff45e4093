/// @file The console handler: records go to the GLib log.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Log {

using Contracts::Log::IFormatter;
using Contracts::Log::LogLevel;

/// Hands every record's message to the GLib log (no domain): RISKY as a warning, PLAIN as a
/// message, DEBUG as a debug line. Its formatter and threshold are kept but not used: the GLib
/// log has its own layout and its own filter (G_MESSAGES_DEBUG).
class OMBRIX_SOLVANE_EXPORT GLibLogHandler final : public Core::Object, public Contracts::Log::ILogHandler {
public:

    /// `create()`: With a DefaultFormatter and threshold PLAIN.
    OMBRIX_CREATABLE_OBJECT(GLibLogHandler, Core::Object);

    /// Writes `message` to the GLib log at the level that matches `level`.
    static void emit(LogLevel level, std::string_view message);

    void publish(LogLevel level, std::string_view server, std::string_view name, std::string_view message) override;
    std::string recent(int count) override;
    void close() override {}
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, formatter, nullptr, Core::ReadWrite,
        [](const GLibLogHandler& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_formatter()); },
        [](GLibLogHandler& self, const std::shared_ptr<Core::Object>& formatter) {
                    self.set_formatter(std::dynamic_pointer_cast<IFormatter>(formatter));
                });
    OMBRIX_PROPERTY_VIA(LogLevel, threshold, LogLevel::PLAIN, Core::ReadWrite);
    std::shared_ptr<IFormatter> get_formatter() const override;
    void set_formatter(std::shared_ptr<IFormatter> formatter) override;
    LogLevel get_threshold() const override { return m_threshold; }
    void set_threshold(LogLevel threshold) override;

private:
    GLibLogHandler();

    mutable std::mutex m_mutex;  // guards the formatter
    std::shared_ptr<IFormatter> m_formatter;
    std::atomic<LogLevel> m_threshold{LogLevel::PLAIN};
};

}  // namespace Ombrix::Solvane::Supports::Log
