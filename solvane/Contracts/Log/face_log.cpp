#include "solvane/Contracts/Log/face_log.hpp"

#include <string>

#include "providers/Core/enumeration.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Contracts::Log {

OMBRIX_REGISTER_ENUM(LogLevel, Core::EnumInfo::define<LogLevel>(std::string(kLogLevelTypeName),
                                                                "OMBRIX_SOLVANE_CONTRACTS_LOG_LOG_LEVEL_",
                                                                {{LogLevel::RISKY, "RISKY"},
                                                                 {LogLevel::PLAIN, "PLAIN"},
                                                                 {LogLevel::DEBUG, "DEBUG"}}));

std::string_view to_string(LogLevel level) {
    switch (level) {
        case LogLevel::RISKY: return "risky";
        case LogLevel::PLAIN: return "plain";
        case LogLevel::DEBUG: return "debug";
    }
    return "";
}

std::string to_number(LogLevel level) { return Core::strprintf("%i", static_cast<int>(level)); }

std::string_view to_color(LogLevel level) {
    switch (level) {
        case LogLevel::RISKY: return "red";
        case LogLevel::PLAIN: return "blue";
        case LogLevel::DEBUG: return "green";
    }
    return "black";
}

#define OMBRIX_LOG_FORWARD(method, vmethod)                                                    \
    void ILogger::method(const char* t_server, const char* t_name, const char* format, ...) { \
        va_list args;                                                                       \
        va_start(args, format);                                                             \
        vmethod(t_server, t_name, format, args);                                            \
        va_end(args);                                                                       \
    }

OMBRIX_LOG_FORWARD(error, verror)
OMBRIX_LOG_FORWARD(critical, vcritical)
OMBRIX_LOG_FORWARD(warning, vwarning)
OMBRIX_LOG_FORWARD(message, vmessage)
OMBRIX_LOG_FORWARD(info, vinfo)
OMBRIX_LOG_FORWARD(debug, vdebug)

#undef OMBRIX_LOG_FORWARD

}  // namespace Ombrix::Solvane::Contracts::Log
