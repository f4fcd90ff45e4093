/// @file The line formats of log records: default, coloured for terminals, and time-only.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/datetime.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Log {

using Contracts::Log::LogLevel;

/// "20240131 10:00:00.123 [server][name][PLAIN] message\n". Server, name and level name appear literally.
class OMBRIX_SOLVANE_EXPORT DefaultFormatter : public Core::Object, public Contracts::Log::IFormatter {
public:

    OMBRIX_CREATABLE_OBJECT(DefaultFormatter, Core::Object);

    /// The line stamped with the local time now.
    std::string format(LogLevel level, std::string_view server, std::string_view name,
                       std::string_view message) const final;
    /// The line stamped with `moment` (local time); each formatter's layout lives here.
    virtual std::string format_at(const Core::DateTime& moment, LogLevel level, std::string_view server,
                                  std::string_view name, std::string_view message) const;
    /// "RISKY", "PLAIN" or "DEBUG"; "" for a value outside the enumeration.
    virtual std::string get_level_name(LogLevel level) const;

protected:
    DefaultFormatter() = default;
};

/// "10:00:00.123 [server      ][name        ][<coloured level>   ] message\n" for terminals: the
/// level name in bold red, blue or green (white outside the enumeration), fields padded.
class OMBRIX_SOLVANE_EXPORT ColorFormatter : public DefaultFormatter {
public:

    OMBRIX_CREATABLE_OBJECT(ColorFormatter, DefaultFormatter);

    std::string format_at(const Core::DateTime& moment, LogLevel level, std::string_view server,
                          std::string_view name, std::string_view message) const override;
    std::string get_level_name(LogLevel level) const override;

protected:
    ColorFormatter() = default;
};

/// "10:00:00.123 message\n": the time and the message only, for a log that belongs to one connection.
class OMBRIX_SOLVANE_EXPORT SimpleFormatter : public DefaultFormatter {
public:

    OMBRIX_CREATABLE_OBJECT(SimpleFormatter, DefaultFormatter);

    std::string format_at(const Core::DateTime& moment, LogLevel level, std::string_view server,
                          std::string_view name, std::string_view message) const override;

protected:
    SimpleFormatter() = default;
};

}  // namespace Ombrix::Solvane::Supports::Log
