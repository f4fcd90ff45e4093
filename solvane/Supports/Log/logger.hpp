/// @file A log: the handlers that receive its records.
#pragma once

#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Log {

using Contracts::Log::ILogHandler;
using Contracts::Log::LogLevel;

/// Sends every record to each of its handlers, one record at a time (the logger's recursive mutex
/// guards the handler set and publishing), so records from many threads never interleave.
class OMBRIX_SOLVANE_EXPORT Logger final : public Core::Object, public Contracts::Log::ILogger {
public:
    /// A log without handlers; its name and server are "" until `initialize`.
    static std::shared_ptr<Logger> create(std::string_view t_uuid);

    OMBRIX_OBJECT(Logger, Core::Object);

    void initialize(std::string_view server, std::string_view name) override;
    void close() override;
    /// Adds `handler` once; adding it again changes nothing.
    void append_handler(std::shared_ptr<ILogHandler> handler) override;
    void delete_handler(const std::shared_ptr<ILogHandler>& handler) override;
    void remove_handler_all() override;
    /// The handlers, in the order they were added.
    std::vector<std::shared_ptr<ILogHandler>> get_handlers() const override;
    /// The `recent` of the first temporary-file handler; "" when there is none.
    std::string recent(int count) override;

    void verror(const char* t_server, const char* t_name, const char* format, va_list args) override;
    void vcritical(const char* t_server, const char* t_name, const char* format, va_list args) override;
    void vwarning(const char* t_server, const char* t_name, const char* format, va_list args) override;
    void vmessage(const char* t_server, const char* t_name, const char* format, va_list args) override;
    void vinfo(const char* t_server, const char* t_name, const char* format, va_list args) override;
    void vdebug(const char* t_server, const char* t_name, const char* format, va_list args) override;

    /// Expands `format` and publishes the record to every handler.
    void log_full(LogLevel level, const char* t_server, const char* t_name, const char* format, va_list args);

    OMBRIX_PROPERTY_READONLY(std::string, uuid, std::string{});
    OMBRIX_PROPERTY_READONLY(std::string, name, std::string{});
    OMBRIX_PROPERTY_READONLY(std::string, server, std::string{});
    std::string get_uuid() const override;
    std::string get_name() const override;
    std::string get_server() const override;

private:
    explicit Logger(std::string_view uuid);

    mutable std::recursive_mutex m_mutex;  // recursive: a handler's warning may come back into this log
    std::string m_uuid;
    std::string m_name;
    std::string m_server;
    std::vector<std::shared_ptr<ILogHandler>> m_handlers;
};

}  // namespace Ombrix::Solvane::Supports::Log
