#include "providers/Core/file.hpp"

#include <glib/gstdio.h>

#include "providers/Core/glib.hpp"

namespace Ombrix::Core {

Result<std::string> read_file(const std::string& filename) {
    gchar* contents = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(filename.c_str(), &contents, &length, &error)) return fail(take_error(error));
    std::string result(contents, length);
    g_free(contents);
    return result;
}

Status write_file(const std::string& filename, std::string_view data) {
    GError* error = nullptr;
    if (!g_file_set_contents(filename.c_str(), data.data(), static_cast<gssize>(data.size()), &error))
        return fail(take_error(error));
    return {};
}

bool file_exists(const std::string& filename) { return g_file_test(filename.c_str(), G_FILE_TEST_EXISTS); }

Status write_private_file(const std::string& filename, std::string_view data) {
    // Only the owner reads it; an existing file that is stricter still stays so.
    int mode = 0600;
    GStatBuf info;
    if (g_stat(filename.c_str(), &info) == 0) mode = static_cast<int>(info.st_mode & 0600);
    return replace_file(filename, data, mode);
}

Status replace_file(const std::string& filename, std::string_view data, int mode) {
    GError* error = nullptr;
    if (!g_file_set_contents_full(filename.c_str(), data.data(), static_cast<gssize>(data.size()),
                                  G_FILE_SET_CONTENTS_CONSISTENT, mode, &error))
        return fail(take_error(error));
    return {};
}

}  // namespace Ombrix::Core

#include <gio/gio.h>

#include <algorithm>

namespace Ombrix::Core {

Status replace_file_chunked(const std::string& filename, std::string_view data, std::size_t chunk) {
    GFile* file = g_file_new_for_path(filename.c_str());
    GError* error = nullptr;
    GFileOutputStream* stream = g_file_replace(file, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &error);
    g_object_unref(file);
    if (!stream) return fail(take_error(error));
    std::size_t written = 0;
    Status status;
    while (written < data.size()) {
        const std::size_t count = std::min(chunk, data.size() - written);
        const gssize n = g_output_stream_write(G_OUTPUT_STREAM(stream), data.data() + written, count, nullptr, &error);
        if (n < 0) {
            status = fail(take_error(error));
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (!g_output_stream_close(G_OUTPUT_STREAM(stream), nullptr, &error) && status) status = fail(take_error(error));
    else if (error) g_error_free(error);
    g_object_unref(stream);
    return status;
}

}  // namespace Ombrix::Core

namespace Ombrix::Core {

void read_file_async(const std::string& filename, std::function<void(std::string)> apply,
                     AsyncReadyCallback callback) {
    run_in_thread([filename] { return AsyncResult::from(read_file(filename)); },
                  [apply = std::move(apply), callback = std::move(callback)](AsyncResultPtr result) {
                      if (!result->failed()) {
                          if (auto data = result->take<std::string>(); data && apply) apply(std::move(*data));
                          result = AsyncResult::success();
                      }
                      if (callback) callback(std::move(result));
                  });
}

void replace_file_async(const std::string& filename, std::string data, AsyncReadyCallback callback) {
    run_in_thread([filename, data = std::move(data)] { return AsyncResult::from(replace_file_chunked(filename, data)); },
                  std::move(callback));
}

}  // namespace Ombrix::Core
