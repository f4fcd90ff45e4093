#include "solvane/Foundation/logging.hpp"

#include <cstdarg>
#include <mutex>
#include <string>

#include "providers/Core/error.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Foundation/services.hpp"
#include "solvane/Supports/Log/handler_console.hpp"

namespace Ombrix::Solvane::Foundation {

using Contracts::Log::ILogger;
using Contracts::Log::ILogManager;
using Contracts::Log::LogLevel;

namespace {

struct State {
    std::recursive_mutex mutex;
    std::shared_ptr<ILogManager> manager;
    bool active = false;  // between initialize and shutdown
};

State& state() {
    // Never destroyed: static destructors elsewhere may still log on their way out.
    static State* instance = new State();
    return *instance;
}

using Method = void (ILogger::*)(const char*, const char*, const char*, ...);

void record(LogLevel level, Method method, const char* uuid, const char* format, va_list args) {
    const std::string text = Core::vstrprintf(format, args);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto main = s.active && s.manager ? s.manager->get_main() : nullptr;
    if (!main) {
        Supports::Log::GLibLogHandler::emit(level, text);
        return;
    }
    std::string name = main->get_name();
    std::string server = main->get_server();
    if (uuid && main->get_uuid() != uuid) {
        if (const auto logger = s.manager->open(uuid)) {
            name = logger->get_name();
            server = logger->get_server();
            // The text is expanded once, here; "%s" keeps a '%' in it (SQL, say) from being read again.
            (logger.get()->*method)(server.c_str(), name.c_str(), "%s", text.c_str());
        }
    }
    (main.get()->*method)(server.c_str(), name.c_str(), "%s", text.c_str());
}

}  // namespace

void LoggingService::initialize(const char* uuid_default, LogLevel threshold, const char* log_file_dir,
                                std::int64_t max_size) {
    OMBRIX_RETURN_IF_NULL(uuid_default);
    OMBRIX_RETURN_IF_NULL(log_file_dir);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.manager) s.manager = Services::get<ILogManager>();
    if (!s.manager)  // the host registers a manager before it starts logging: without one it is a programming error
        g_assertion_message_expr(G_LOG_DOMAIN, __FILE__, __LINE__, G_STRFUNC, "null != s_Log_manager");
    s.manager->initialize(uuid_default, threshold, log_file_dir, max_size);
    s.active = true;
}

void LoggingService::shutdown() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.manager) s.manager->shutdown();
    s.active = false;
}

#define OMBRIX_LOGGING_LEVEL(method, level)                             \
    void LoggingService::method(const char* uuid, const char* format, ...) { \
        OMBRIX_RETURN_IF_NULL(format);                                  \
        va_list args;                                                   \
        va_start(args, format);                                         \
        record(level, &ILogger::method, uuid, format, args);            \
        va_end(args);                                                   \
    }

OMBRIX_LOGGING_LEVEL(error, LogLevel::RISKY)
OMBRIX_LOGGING_LEVEL(critical, LogLevel::RISKY)
OMBRIX_LOGGING_LEVEL(warning, LogLevel::RISKY)
OMBRIX_LOGGING_LEVEL(message, LogLevel::PLAIN)
OMBRIX_LOGGING_LEVEL(info, LogLevel::PLAIN)
OMBRIX_LOGGING_LEVEL(debug, LogLevel::DEBUG)

#undef OMBRIX_LOGGING_LEVEL

bool LoggingService::append_handler(std::shared_ptr<Contracts::Log::ILogHandler> handler) {
    OMBRIX_RETURN_VAL_IF_NULL(handler, false);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto main = s.active && s.manager ? s.manager->get_main() : nullptr;
    if (!main) return false;
    main->append_handler(std::move(handler));
    return true;
}

void LoggingService::delete_handler(const std::shared_ptr<Contracts::Log::ILogHandler>& handler) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (const auto main = s.manager ? s.manager->get_main() : nullptr) main->delete_handler(handler);
}

std::shared_ptr<ILogManager> LoggingService::get_manager() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.manager;
}

}  // namespace Ombrix::Solvane::Foundation
