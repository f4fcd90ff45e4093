/// @file A connection's log: a temporary file the host can read back with `recent`.
#pragma once

#include <gio/gio.h>

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

/// Writes time-stamped messages to a new temporary file "<name>-XXXXXX.log" in the system's
/// temporary folder, kept open for reading and writing. The file stays when the handler closes.
class OMBRIX_SOLVANE_EXPORT TempFileLogHandler : public Core::Object, public Contracts::Log::ILogHandler {
public:
    ~TempFileLogHandler() override;

    /// `create()`: With a SimpleFormatter and threshold PLAIN; it writes nothing before `initialize`.
    OMBRIX_CREATABLE_OBJECT(TempFileLogHandler, Core::Object);

    /// Creates the file; a failure is the GLib warning "Failed to open file: %s" and the handler
    /// then drops records. A second call starts a new file.
    virtual void initialize(std::string_view name);

    /// A write failure is the GLib warning "Error in FileHandler.publish: %s".
    void publish(LogLevel level, std::string_view server, std::string_view name, std::string_view message) override;
    /// Everything written so far (`count` is not used). On a failure, the GLib warning
    /// "Failed to get recent log: %s" and what was read until then.
    std::string recent(int count) override;
    /// Closes the file; a failure is the GLib warning "Error in FileHandler.close: %s".
    void close() override;
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, formatter, nullptr, Core::ReadWrite,
        [](const TempFileLogHandler& self) {
                    return std::dynamic_pointer_cast<Core::Object>(self.get_formatter());
                },
        [](TempFileLogHandler& self, const std::shared_ptr<Core::Object>& formatter) {
                    self.set_formatter(std::dynamic_pointer_cast<IFormatter>(formatter));
                });
    OMBRIX_PROPERTY_VIA(LogLevel, threshold, LogLevel::PLAIN, Core::ReadWrite);
    std::shared_ptr<IFormatter> get_formatter() const override;
    void set_formatter(std::shared_ptr<IFormatter> formatter) override;
    LogLevel get_threshold() const override { return m_threshold; }
    void set_threshold(LogLevel threshold) override;

    /// Where the file is; "" before it was created.
    std::string get_path() const;

protected:
    TempFileLogHandler();

private:
    mutable std::mutex m_mutex;  // guards everything below; publish and recent share one file position
    std::shared_ptr<IFormatter> m_formatter;
    std::atomic<LogLevel> m_threshold{LogLevel::PLAIN};
    GFileIOStream* m_stream = nullptr;
    std::string m_path;
};

}  // namespace Ombrix::Solvane::Supports::Log
