/// @file The main log's files: "<name>-000.log", "<name>-001.log", ... in a folder, each up to a size.
#pragma once

#include <gio/gio.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Log {

using Contracts::Log::IFormatter;
using Contracts::Log::LogLevel;

/// Appends formatted lines to the newest slice file, kept open. When `max_size` is above 0, a line
/// that would take the current file over `max_size` bytes starts the next file instead (a line
/// longer than `max_size` still goes whole into a file of its own). Files are created private.
class OMBRIX_SOLVANE_EXPORT SliceFileLogHandler final : public Core::Object, public Contracts::Log::ILogHandler {
public:
    ~SliceFileLogHandler() override;

    /// `create()`: With a DefaultFormatter and threshold PLAIN; it writes nothing before `initialize`.
    OMBRIX_CREATABLE_OBJECT(SliceFileLogHandler, Core::Object);

    /// Finds the highest "<name>-<index>.log" in `folder` and opens it for appending, or the next
    /// index when it is already larger than `max_size`, or index 000 when there is none. The folder
    /// must exist; reading it or opening the file may fail with the platform's I/O error.
    [[nodiscard]] Core::Status initialize(std::string_view name, std::string_view folder, std::int64_t max_size);
    /// Closes the current file and opens the newest one again by the same rule.
    [[nodiscard]] Core::Status rotate();

    /// Write and rotation failures become the GLib warning "Error in FileHandler.publish: %s"; the
    /// next record tries again. A line is never split between two files.
    void publish(LogLevel level, std::string_view server, std::string_view name, std::string_view message) override;
    std::string recent(int count) override;
    /// Closes the file; later records are dropped until `initialize` runs again.
    void close() override;
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, formatter, nullptr, Core::ReadWrite,
        [](const SliceFileLogHandler& self) {
                    return std::dynamic_pointer_cast<Core::Object>(self.get_formatter());
                },
        [](SliceFileLogHandler& self, const std::shared_ptr<Core::Object>& formatter) {
                    self.set_formatter(std::dynamic_pointer_cast<IFormatter>(formatter));
                });
    OMBRIX_PROPERTY_VIA(LogLevel, threshold, LogLevel::PLAIN, Core::ReadWrite);
    std::shared_ptr<IFormatter> get_formatter() const override;
    void set_formatter(std::shared_ptr<IFormatter> formatter) override;
    LogLevel get_threshold() const override { return m_threshold; }
    void set_threshold(LogLevel threshold) override;

    /// The path of the file lines go to now; "" when none is open.
    std::string get_current_path() const;

private:
    SliceFileLogHandler();

    std::string path_of(int index) const;
    /// Opens the newest file (or, with `next`, a new one after it) and only then lets the old one go,
    /// so that a failure leaves the current file in use. Warnings are collected in `warnings` and
    /// written once the lock is released: a host that routes GLib warnings back into the log must
    /// not find this handler locked.
    Core::Status open_file(bool next, std::vector<std::string>& warnings);
    void close_stream(std::vector<std::string>& warnings);

    mutable std::mutex m_mutex;  // guards everything below
    std::shared_ptr<IFormatter> m_formatter;
    std::atomic<LogLevel> m_threshold{LogLevel::PLAIN};
    bool m_ready = false;  // initialized and not closed
    std::string m_folder;
    std::string m_name;
    int m_count = 0;  // the lowest index not known to exist
    std::int64_t m_size = 0;
    std::int64_t m_max_size = 0;
    GOutputStream* m_stream = nullptr;
    std::string m_current;
};

}  // namespace Ombrix::Solvane::Supports::Log
