/// @file The log manager: the process's main log and one log per connection.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/Supports/Log/logger.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Log {

/// The usual `ILogManager`: the main log writes to slice files in a folder, and each connection's
/// log to a temporary file. Every member takes the manager's recursive mutex; loggers take their
/// own beneath it.
class OMBRIX_SOLVANE_EXPORT LogManager final : public Core::Object, public Contracts::Log::ILogManager {
public:

    OMBRIX_CREATABLE_OBJECT(LogManager, Core::Object);

    /// Also on a second call: the previous main log is closed and forgotten first, so that two
    /// handlers never write the same files. When the folder cannot be made or the first file cannot
    /// be opened, the GLib warning "*** Failed creating FileHandler: %s" and a main log without a file.
    void initialize(std::string_view uuid, LogLevel threshold, std::string_view folder,
                    std::int64_t max_size) override;
    /// The log of `uuid`, made on first use with a temporary-file handler at PLAIN; its name and
    /// server stay "" until someone initializes it.
    std::shared_ptr<Contracts::Log::ILogger> open(std::string_view uuid) override;
    void close(std::string_view uuid) override;
    void shutdown() override;
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, main, nullptr, Core::Readable,
        [](const LogManager& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_main()); },
        nullptr);
    std::shared_ptr<Contracts::Log::ILogger> get_main() const override;

private:
    LogManager() = default;

    mutable std::recursive_mutex m_mutex;
    std::string m_uuid;
    std::shared_ptr<Logger> m_main;
    std::unordered_map<std::string, std::shared_ptr<Logger>> m_loggers;
};

}  // namespace Ombrix::Solvane::Supports::Log
