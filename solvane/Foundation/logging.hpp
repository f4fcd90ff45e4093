/// @file The logging service: where the whole library reports what it does.
#pragma once

#include <glib.h>

#include <cstdint>
#include <memory>

#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Foundation {

/// Static entry point over the `ILogManager` resolved from the services. A record for a connection
/// uuid goes to that connection's log and to the main log, both times under the connection's name
/// and server; a record without uuid (null) or with the main uuid goes to the main log only.
///
/// Any thread may log. One recursive mutex is held for each whole call, and locks are always taken
/// in the order service, manager, logger. Before `initialize` and after `shutdown` records go to the
/// GLib log (as the console handler would write them) instead of being lost.
class OMBRIX_SOLVANE_EXPORT LoggingService {
public:
    LoggingService() = delete;

    /// Resolves the manager on the first call and (re)initializes it with the main log `uuid_default`
    /// writing files to `log_file_dir` at `threshold`. The host must have registered an
    /// `ILogManager`; without one the process stops with the assertion "null != s_Log_manager".
    static void initialize(const char* uuid_default, Contracts::Log::LogLevel threshold, const char* log_file_dir,
                           std::int64_t max_size);
    /// Closes every log; later records go to the GLib log until `initialize` runs again.
    static void shutdown();

    /// printf-style records: `error`, `critical` and `warning` at RISKY, `message` and `info` at
    /// PLAIN, `debug` at DEBUG. `uuid` may be null (the main log).
    static void error(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);
    static void critical(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);
    static void warning(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);
    static void message(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);
    static void info(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);
    static void debug(const char* uuid, const char* format, ...) G_GNUC_PRINTF(2, 3);

    /// Adds a handler (a console or delegate handler, say) to the main log, which also receives
    /// every connection's records. False, with nothing added, before `initialize`.
    static bool append_handler(std::shared_ptr<Contracts::Log::ILogHandler> handler);
    static void delete_handler(const std::shared_ptr<Contracts::Log::ILogHandler>& handler);
    /// The manager in use; null before `initialize`.
    static std::shared_ptr<Contracts::Log::ILogManager> get_manager();
};

}  // namespace Ombrix::Solvane::Foundation
