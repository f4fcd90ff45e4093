/// @file The logging contracts: levels, formatters, handlers, loggers and the log manager.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Log {

/// How important a record is; a lower value is more important.
enum class LogLevel : int {
    RISKY = 0,
    PLAIN = 1,
    DEBUG = 2,
};

/// The name under which the enumeration is registered (Core::EnumInfo).
inline constexpr std::string_view kLogLevelTypeName = "OmbrixSolvaneContractsLogLogLevel";

/// The nick: "risky", "plain", "debug"; "" for a value outside the enumeration.
OMBRIX_SOLVANE_EXPORT std::string_view to_string(LogLevel level);
/// The value printed with "%i".
OMBRIX_SOLVANE_EXPORT std::string to_number(LogLevel level);
/// "red", "blue", "green"; "black" for any other value.
OMBRIX_SOLVANE_EXPORT std::string_view to_color(LogLevel level);

/// Whether a handler whose threshold is `threshold` publishes a record at `level`.
constexpr bool passes(LogLevel level, LogLevel threshold) { return level <= threshold; }

/// Turns a record into one line of text.
class OMBRIX_SOLVANE_EXPORT IFormatter {
public:
    virtual ~IFormatter() = default;
    /// The line for a record stamped with the local time now, ending in "\n". `message` is the
    /// caller's format already expanded.
    virtual std::string format(LogLevel level, std::string_view server, std::string_view name,
                               std::string_view message) const = 0;
};

/// Where records go: the console, a callback, a file. Handlers may be called from any thread.
/// Properties `formatter` and `threshold` (a handler publishes records at or below its threshold).
class OMBRIX_SOLVANE_EXPORT ILogHandler {
public:
    virtual ~ILogHandler() = default;
    /// Publishes one record whose message is already expanded. Failures become GLib warnings.
    virtual void publish(LogLevel level, std::string_view server, std::string_view name,
                         std::string_view message) = 0;
    /// What the handler has kept of the log, for handlers that keep it; "" otherwise.
    virtual std::string recent(int count) = 0;
    virtual void close() = 0;
    virtual std::shared_ptr<IFormatter> get_formatter() const = 0;
    virtual void set_formatter(std::shared_ptr<IFormatter> formatter) = 0;
    virtual LogLevel get_threshold() const = 0;
    virtual void set_threshold(LogLevel threshold) = 0;
};

/// One log: a set of handlers that each receive every record. Read-only properties `uuid`, `name`
/// and `server`.
class OMBRIX_SOLVANE_EXPORT ILogger {
public:
    virtual ~ILogger() = default;

    /// Sets the server and name that records of this log usually carry.
    virtual void initialize(std::string_view server, std::string_view name) = 0;
    /// Closes every handler and forgets them.
    virtual void close() = 0;
    virtual void append_handler(std::shared_ptr<ILogHandler> handler) = 0;
    virtual void delete_handler(const std::shared_ptr<ILogHandler>& handler) = 0;
    virtual void remove_handler_all() = 0;
    virtual std::vector<std::shared_ptr<ILogHandler>> get_handlers() const = 0;
    /// The text the log's temporary file holds so far; "" when it has none.
    virtual std::string recent(int count) = 0;

    /// The record forms, with the caller's arguments in a va_list. `error`, `critical` and
    /// `warning` publish at RISKY, `message` and `info` at PLAIN, `debug` at DEBUG. A null
    /// `t_server`, `t_name` or `format` writes a GLib critical and publishes nothing.
    virtual void verror(const char* t_server, const char* t_name, const char* format, va_list args) = 0;
    virtual void vcritical(const char* t_server, const char* t_name, const char* format, va_list args) = 0;
    virtual void vwarning(const char* t_server, const char* t_name, const char* format, va_list args) = 0;
    virtual void vmessage(const char* t_server, const char* t_name, const char* format, va_list args) = 0;
    virtual void vinfo(const char* t_server, const char* t_name, const char* format, va_list args) = 0;
    virtual void vdebug(const char* t_server, const char* t_name, const char* format, va_list args) = 0;

    /// printf-style forms of the above.
    void error(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);
    void critical(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);
    void warning(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);
    void message(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);
    void info(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);
    void debug(const char* t_server, const char* t_name, const char* format, ...) G_GNUC_PRINTF(4, 5);

    virtual std::string get_uuid() const = 0;
    virtual std::string get_name() const = 0;
    virtual std::string get_server() const = 0;
};

/// Owns the process's logs: the main log and one log per connection uuid. Read-only property `main`.
class OMBRIX_SOLVANE_EXPORT ILogManager {
public:
    virtual ~ILogManager() = default;

    /// Makes the main log `uuid` (server and name "SYS") writing to size-limited files named after
    /// `uuid` in `folder` (created when missing), at `threshold`. `max_size` 0 never rotates.
    virtual void initialize(std::string_view uuid, LogLevel threshold, std::string_view folder,
                            std::int64_t max_size) = 0;
    /// The log of `uuid`, made with a temporary file on first use.
    virtual std::shared_ptr<ILogger> open(std::string_view uuid) = 0;
    /// Closes and forgets the log of `uuid`.
    virtual void close(std::string_view uuid) = 0;
    /// Closes and forgets every log.
    virtual void shutdown() = 0;
    /// The main log; null before `initialize`.
    virtual std::shared_ptr<ILogger> get_main() const = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Log
