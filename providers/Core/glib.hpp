/// @file Thin RAII helpers over GLib allocations and errors.
#pragma once

#include <glib.h>

#include <memory>
#include <string>

#include "providers/Core/error.hpp"

namespace Ombrix::Core {

struct GFreeDeleter {
    void operator()(void* p) const noexcept { g_free(p); }
};
/// A g_malloc'ed block, freed with g_free.
template <class T = char>
using GPtr = std::unique_ptr<T, GFreeDeleter>;

/// Takes a g_malloc'ed text: copies it into a std::string and frees it; null gives "".
inline std::string take_string(gchar* text) {
    GPtr<gchar> owned(text);
    return owned ? std::string(owned.get()) : std::string();
}

/// Converts and frees a GError; the domain is the quark's text, as the platform names it.
inline Error take_error(GError* error) {
    if (!error) return Error{"default", 0, {}};
    Error result{g_quark_to_string(error->domain), error->code, error->message ? error->message : ""};
    g_error_free(error);
    return result;
}

}  // namespace Ombrix::Core
