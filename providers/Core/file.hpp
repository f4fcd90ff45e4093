/// @file Whole-file reads and writes through GLib, with the platform's I/O errors.
#pragma once

#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "providers/Core/value.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core {

/// The whole content of a file; a missing file is the platform's not-found error.
OMBRIX_PROVIDERS_EXPORT Result<std::string> read_file(const std::string& filename);
/// Replaces a file's content with exactly `data` (created when absent).
OMBRIX_PROVIDERS_EXPORT Status write_file(const std::string& filename, std::string_view data);
OMBRIX_PROVIDERS_EXPORT bool file_exists(const std::string& filename);
/// Replaces a file holding secrets: written to a temporary file and renamed over the old one, so a
/// reader sees the old or the new content whole, with mode 0600 (or the old file's stricter one).
OMBRIX_PROVIDERS_EXPORT Status write_private_file(const std::string& filename, std::string_view data);
/// Replaces a file the same way, with exactly `mode`: the new content is written to a temporary
/// file of that mode in the same folder, synced and renamed over the old one (a crash midway
/// leaves the old file whole; the file never exists with a looser mode).
OMBRIX_PROVIDERS_EXPORT Status replace_file(const std::string& filename, std::string_view data, int mode);

}  // namespace Ombrix::Core

namespace Ombrix::Core {

/// Replaces `filename` (created or truncated, no backup) with exactly `data`, written in chunks of
/// at most `chunk` bytes; open, write and close errors pass through.
OMBRIX_PROVIDERS_EXPORT Status replace_file_chunked(const std::string& filename, std::string_view data,
                                                   std::size_t chunk = 1024);

}  // namespace Ombrix::Core

#include <functional>

#include "providers/Core/async.hpp"

namespace Ombrix::Core {

/// Reads a whole file on a worker thread; on the main context `apply` receives the bytes (only on
/// success) before `callback` hears of the completion.
OMBRIX_PROVIDERS_EXPORT void read_file_async(const std::string& filename, std::function<void(std::string)> apply,
                                            AsyncReadyCallback callback);
/// Writes `data` with `replace_file_chunked` on a worker thread; completion on the main context.
OMBRIX_PROVIDERS_EXPORT void replace_file_async(const std::string& filename, std::string data,
                                               AsyncReadyCallback callback);

}  // namespace Ombrix::Core
