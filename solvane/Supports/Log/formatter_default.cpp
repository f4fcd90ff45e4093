#include "solvane/Supports/Log/formatter_default.hpp"

#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Log {

namespace {

// The milliseconds of the stamp come from the same reading of the clock as the date, so a line
// written across a second boundary never pairs one second with the next one's milliseconds.
long long milliseconds_of(const Core::DateTime& moment) { return moment.microsecond() / 1000; }

}  // namespace

OMBRIX_DEFINE_TYPE(DefaultFormatter, "OmbrixSolvaneSupportsLogDefaultFormatter");

std::string DefaultFormatter::format(LogLevel level, std::string_view server, std::string_view name,
                                     std::string_view message) const {
    return format_at(Core::DateTime::now_local(), level, server, name, message);
}

std::string DefaultFormatter::format_at(const Core::DateTime& moment, LogLevel level, std::string_view server,
                                        std::string_view name, std::string_view message) const {
    const std::string date = moment.format("%Y%m%d %H:%M:%S");
    return Core::strprintf("%s.%03lli [%s][%s][%s] %s\n", date.c_str(), milliseconds_of(moment),
                           std::string(server).c_str(), std::string(name).c_str(), get_level_name(level).c_str(),
                           std::string(message).c_str());
}

std::string DefaultFormatter::get_level_name(LogLevel level) const {
    switch (level) {
        case LogLevel::RISKY: return "RISKY";
        case LogLevel::PLAIN: return "PLAIN";
        case LogLevel::DEBUG: return "DEBUG";
    }
    return "";
}

OMBRIX_DEFINE_TYPE(ColorFormatter, "OmbrixSolvaneSupportsLogColorFormatter");

std::string ColorFormatter::format_at(const Core::DateTime& moment, LogLevel level, std::string_view server,
                                      std::string_view name, std::string_view message) const {
    const std::string time = moment.format("%H:%M:%S");
    return Core::strprintf("%s.%03lli [%-12s][%-12s][%-20s] %s\n", time.c_str(), milliseconds_of(moment),
                           std::string(server).c_str(), std::string(name).c_str(), get_level_name(level).c_str(),
                           std::string(message).c_str());
}

std::string ColorFormatter::get_level_name(LogLevel level) const {
    const char* color = "\033[1;37m";
    switch (level) {
        case LogLevel::RISKY: color = "\033[1;31m"; break;
        case LogLevel::PLAIN: color = "\033[1;34m"; break;
        case LogLevel::DEBUG: color = "\033[1;32m"; break;
    }
    return Core::strprintf("%s%s%s", color, DefaultFormatter::get_level_name(level).c_str(), "\033[00m");
}

OMBRIX_DEFINE_TYPE(SimpleFormatter, "OmbrixSolvaneSupportsLogSimpleFormatter");

std::string SimpleFormatter::format_at(const Core::DateTime& moment, LogLevel, std::string_view, std::string_view,
                                       std::string_view message) const {
    const std::string time = moment.format("%H:%M:%S");
    return Core::strprintf("%s.%03lli %s\n", time.c_str(), milliseconds_of(moment), std::string(message).c_str());
}

}  // namespace Ombrix::Solvane::Supports::Log
