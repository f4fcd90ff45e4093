/// @file The delegate handler: records go to a callback of the host's.
#pragma once

#include <atomic>
#include <functional>
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

/// Calls the host's callback with the user object, the level and the expanded message of every
/// record at or below the threshold (PLAIN by default).
class OMBRIX_SOLVANE_EXPORT DelegateHandler final : public Core::Object, public Contracts::Log::ILogHandler {
public:
    /// Called on the thread that logs; never while the handler holds its own lock, so the callback
    /// may log again (through another handler) or close this one.
    using Callback =
        std::function<void(const std::shared_ptr<void>& user_object, LogLevel level, std::string_view message)>;

    /// A handler with a DefaultFormatter. A null `user_object` writes the critical
    /// "user_object != NULL" and gives null; a null `callback` makes a handler that drops everything.
    static std::shared_ptr<DelegateHandler> create(Callback callback, std::shared_ptr<void> user_object);

    OMBRIX_OBJECT(DelegateHandler, Core::Object);

    void publish(LogLevel level, std::string_view server, std::string_view name, std::string_view message) override;
    std::string recent(int count) override;
    /// Releases the callback and what it holds; later records are dropped.
    void close() override;
    OMBRIX_PROPERTY_WITH(std::shared_ptr<Core::Object>, formatter, nullptr, Core::ReadWrite,
        [](const DelegateHandler& self) { return std::dynamic_pointer_cast<Core::Object>(self.get_formatter()); },
        [](DelegateHandler& self, const std::shared_ptr<Core::Object>& formatter) {
                    self.set_formatter(std::dynamic_pointer_cast<IFormatter>(formatter));
                });
    OMBRIX_PROPERTY_VIA(LogLevel, threshold, LogLevel::PLAIN, Core::ReadWrite);
    std::shared_ptr<IFormatter> get_formatter() const override;
    void set_formatter(std::shared_ptr<IFormatter> formatter) override;
    LogLevel get_threshold() const override { return m_threshold; }
    void set_threshold(LogLevel threshold) override;

private:
    DelegateHandler(Callback callback, std::shared_ptr<void> user_object);

    mutable std::mutex m_mutex;  // guards formatter, callback and user object
    std::shared_ptr<IFormatter> m_formatter;
    std::atomic<LogLevel> m_threshold{LogLevel::PLAIN};
    Callback m_callback;
    std::shared_ptr<void> m_user_object;
};

}  // namespace Ombrix::Solvane::Supports::Log
