/// @file Asynchronous pairs: work on a worker thread, completion on the default main context.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "providers/Core/error.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core {

/// The outcome an `_async` call hands to its callback; its `_finish` turns it back into a Result.
class OMBRIX_PROVIDERS_EXPORT AsyncResult {
public:
    template <class T>
    static std::shared_ptr<AsyncResult> success(T value) {
        auto result = std::make_shared<AsyncResult>();
        result->m_value = std::move(value);
        return result;
    }
    static std::shared_ptr<AsyncResult> success() { return std::make_shared<AsyncResult>(); }
    static std::shared_ptr<AsyncResult> failure(Error error) {
        auto result = std::make_shared<AsyncResult>();
        result->m_error = std::move(error);
        return result;
    }
    template <class T>
    static std::shared_ptr<AsyncResult> from(Result<T> outcome) {
        return outcome ? success(std::move(*outcome)) : failure(std::move(outcome.error()));
    }
    static std::shared_ptr<AsyncResult> from(Status outcome) {
        return outcome ? success() : failure(std::move(outcome.error()));
    }

    bool failed() const noexcept { return m_error.has_value(); }
    const std::optional<Error>& error() const noexcept { return m_error; }

    /// The value of a successful call, or its error. Any error set by the work fails the call,
    /// whatever its code or message.
    template <class T>
    Result<T> take() {
        if (m_error) return fail(*m_error);
        if (auto* value = std::any_cast<T>(&m_value)) return std::move(*value);
        return fail("default", -1, "asynchronous result of another type");
    }
    Status take_status() const {
        if (m_error) return fail(*m_error);
        return {};
    }

private:
    std::any m_value;
    std::optional<Error> m_error;
};

using AsyncResultPtr = std::shared_ptr<AsyncResult>;
/// Called on the default main context when an asynchronous call completes.
using AsyncReadyCallback = std::function<void(AsyncResultPtr)>;

/// Runs `callback` once on the default GLib main context (from an idle source). Safe from any thread.
OMBRIX_PROVIDERS_EXPORT void post_to_main(std::function<void()> callback);

/// Runs `work` on a new thread; its outcome reaches `callback` on the default main context.
OMBRIX_PROVIDERS_EXPORT void run_in_thread(std::function<AsyncResultPtr()> work, AsyncReadyCallback callback);

/// Iterates the default main context until `done()` is true (for tests and the command line).
OMBRIX_PROVIDERS_EXPORT void run_main_until(const std::function<bool()>& done);

}  // namespace Ombrix::Core
