#include "providers/Core/error.hpp"

#include <glib.h>

namespace Ombrix::Core {

namespace detail {

std::string function_name(std::string_view pretty) {
    // "std::shared_ptr<X> Ns::Class::member(args) const" -> "Ns::Class::member"
    std::size_t end = pretty.size();
    int depth = 0;
    for (std::size_t i = 0; i < pretty.size(); ++i) {
        const char c = pretty[i];
        if (c == '<') ++depth;
        else if (c == '>') --depth;
        else if (c == '(' && depth == 0) {
            end = i;
            break;
        }
    }
    std::size_t begin = 0;
    depth = 0;
    for (std::size_t i = end; i > 0; --i) {
        const char c = pretty[i - 1];
        if (c == '>') ++depth;
        else if (c == '<') --depth;
        else if (c == ' ' && depth == 0) {
            begin = i;
            break;
        }
    }
    return std::string(pretty.substr(begin, end - begin));
}

void assertion_failed(const char* pretty_function, const char* condition) {
    const std::string name = function_name(pretty_function);
    g_log("Ombrix", G_LOG_LEVEL_CRITICAL, "%s: assertion '%s' failed", name.c_str(), condition);
}

}  // namespace detail

void log_uncaught(const char* file, int line, const Error& error) {
    g_log("Ombrix", G_LOG_LEVEL_CRITICAL, "file %s: line %d: uncaught error: %s (%s, %d)", file, line,
          error.message.c_str(), error.domain.c_str(), error.code);
}

void log_unexpected(const char* file, int line, const Error& error) {
    g_log("Ombrix", G_LOG_LEVEL_CRITICAL, "file %s: line %d: unexpected error: %s (%s, %d)", file, line,
          error.message.c_str(), error.domain.c_str(), error.code);
}

}  // namespace Ombrix::Core
