#include "solvane/Supports/Log/handler_delegate.hpp"

#include "providers/Core/error.hpp"
#include "solvane/Supports/Log/formatter_default.hpp"

namespace Ombrix::Solvane::Supports::Log {

DelegateHandler::DelegateHandler(Callback callback, std::shared_ptr<void> user_object)
    : m_formatter(DefaultFormatter::create()), m_callback(std::move(callback)), m_user_object(std::move(user_object)) {}

std::shared_ptr<DelegateHandler> DelegateHandler::create(Callback callback, std::shared_ptr<void> user_object) {
    OMBRIX_RETURN_VAL_IF_NULL(user_object, nullptr);
    return Core::make_object<DelegateHandler>(std::move(callback), std::move(user_object));
}

OMBRIX_DEFINE_TYPE(DelegateHandler, "OmbrixSolvaneSupportsLogDelegateHandler");

void DelegateHandler::publish(LogLevel level, std::string_view, std::string_view, std::string_view message) {
    if (!Contracts::Log::passes(level, m_threshold)) return;
    Callback callback;
    std::shared_ptr<void> user_object;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
        user_object = m_user_object;
    }
    if (callback) callback(user_object, level, message);
}

std::string DelegateHandler::recent(int) { return {}; }

void DelegateHandler::close() {
    Callback released;
    {
        std::lock_guard lock(m_mutex);
        released = std::move(m_callback);
        m_callback = nullptr;
    }
    // `released` goes here, outside the lock: what the callback captured may log while it is destroyed.
}

std::shared_ptr<IFormatter> DelegateHandler::get_formatter() const {
    std::lock_guard lock(m_mutex);
    return m_formatter;
}

void DelegateHandler::set_formatter(std::shared_ptr<IFormatter> formatter) {
    {
        std::lock_guard lock(m_mutex);
        if (m_formatter == formatter) return;
        m_formatter = std::move(formatter);
    }
    notify(ombrix_name_formatter);
}

void DelegateHandler::set_threshold(LogLevel threshold) { set_and_notify(m_threshold, threshold, ombrix_name_threshold); }

}  // namespace Ombrix::Solvane::Supports::Log
