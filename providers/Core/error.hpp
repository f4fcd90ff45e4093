/// @file Error values, results and the precondition checks every public function starts with.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

#include "providers/providers_export.h"

namespace Ombrix::Core {

/// A recoverable failure: a plain-text domain, an integer code and a message.
struct Error {
    std::string domain;
    int code = 0;
    std::string message;

    bool operator==(const Error&) const = default;
};

/// What an operation that may fail returns. Dropping one unread is a compiler warning: handle the
/// error, hand it on (OMBRIX_RETURN_IF_ERROR), or discard it visibly with `(void)`.
template <class T>
class [[nodiscard]] Result : public std::expected<T, Error> {
public:
    using std::expected<T, Error>::expected;
    Result() = default;
    Result(std::expected<T, Error> other) : std::expected<T, Error>(std::move(other)) {}
};

/// What an operation that may fail but yields nothing returns.
using Status = Result<void>;

/// Shorthand for the failed branch of a Result or Status.
inline std::unexpected<Error> fail(std::string domain, int code, std::string message) {
    return std::unexpected<Error>(Error{std::move(domain), code, std::move(message)});
}
inline std::unexpected<Error> fail(Error error) { return std::unexpected<Error>(std::move(error)); }

/// The error domain of file and stream I/O, as the platform's I/O layer names it.
inline constexpr std::string_view kIoErrorDomain = "g-io-error-quark";

namespace detail {
/// Writes the GLib critical "<function>: assertion '<condition>' failed".
OMBRIX_PROVIDERS_EXPORT void assertion_failed(const char* pretty_function, const char* condition);
/// Shortens a compiler's pretty function name to its qualified name without return type and arguments.
OMBRIX_PROVIDERS_EXPORT std::string function_name(std::string_view pretty_function);
}  // namespace detail

/// Logs "file %s: line %d: uncaught error: %s (%s, %d)" as a GLib critical.
OMBRIX_PROVIDERS_EXPORT void log_uncaught(const char* file, int line, const Error& error);
/// Logs "file %s: line %d: unexpected error: %s (%s, %d)" as a GLib critical.
OMBRIX_PROVIDERS_EXPORT void log_unexpected(const char* file, int line, const Error& error);

}  // namespace Ombrix::Core

/// Returns the error of a failed Result or Status (the value of `result`) from the calling function.
#define OMBRIX_RETURN_IF_ERROR(result)                                             \
    do {                                                                           \
        if (auto&& ombrix_result_ = (result); !ombrix_result_) [[unlikely]]        \
            return ::Ombrix::Core::fail(std::move(ombrix_result_.error()));        \
    } while (0)

/// Checks a precondition; on failure writes the GLib critical and returns from the function.
#define OMBRIX_RETURN_IF_FAIL(expr)                                                 \
    do {                                                                           \
        if (!(expr)) [[unlikely]] {                                                \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #expr);  \
            return;                                                                \
        }                                                                          \
    } while (0)

/// Checks a precondition; on failure writes the GLib critical and returns `val`.
#define OMBRIX_RETURN_VAL_IF_FAIL(expr, val)                                        \
    do {                                                                           \
        if (!(expr)) [[unlikely]] {                                                \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #expr);  \
            return val;                                                            \
        }                                                                          \
    } while (0)

/// Checks that a pointer argument is set; the critical reads "<name> != NULL".
#define OMBRIX_RETURN_IF_NULL(ptr)                                                       \
    do {                                                                                \
        if ((ptr) == nullptr) [[unlikely]] {                                            \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #ptr " != NULL"); \
            return;                                                                     \
        }                                                                               \
    } while (0)

/// Checks that a pointer argument is set; on failure returns `val`.
#define OMBRIX_RETURN_VAL_IF_NULL(ptr, val)                                              \
    do {                                                                                \
        if ((ptr) == nullptr) [[unlikely]] {                                            \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #ptr " != NULL"); \
            return val;                                                                 \
        }                                                                               \
    } while (0)

/// Checks that a text argument passed as a string_view is set (a default-constructed view stands
/// for the null string of a C caller); the critical reads "<name> != NULL".
#define OMBRIX_RETURN_IF_NULL_VIEW(view)                                                  \
    do {                                                                                 \
        if ((view).data() == nullptr) [[unlikely]] {                                     \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #view " != NULL"); \
            return;                                                                      \
        }                                                                                \
    } while (0)

/// Checks that a text argument passed as a string_view is set; on failure returns `val`.
#define OMBRIX_RETURN_VAL_IF_NULL_VIEW(view, val)                                         \
    do {                                                                                 \
        if ((view).data() == nullptr) [[unlikely]] {                                     \
            ::Ombrix::Core::detail::assertion_failed(__PRETTY_FUNCTION__, #view " != NULL"); \
            return val;                                                                  \
        }                                                                                \
    } while (0)
