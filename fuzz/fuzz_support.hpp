/// @file What every fuzz target shares: a quiet log, scratch files and invariant checks.
#pragma once

#include <glib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace Ombrix::Fuzz {

/// Stops the run when an invariant does not hold: libFuzzer records the input as a crash.
/// The detail is printed with control bytes other than line feeds and tabs escaped as \xNN.
[[noreturn]] inline void broken(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "INVARIANT BROKEN: %s\n", what);
    for (const char c : detail) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\n' && c != '\t')
            std::fprintf(stderr, "\\x%02X", byte);
        else
            std::fputc(c, stderr);
    }
    std::fputc('\n', stderr);
    std::abort();
}

#define OMBRIX_FUZZ_CHECK(condition, detail)                            \
    do {                                                                \
        if (!(condition)) ::Ombrix::Fuzz::broken(#condition, (detail)); \
    } while (0)

/// Hostile input makes the libraries warn (a malformed row, an unreadable member) by design; the
/// messages would drown the fuzzer's own output, so they go nowhere. Nothing here is fatal.
inline void quiet_logs() {
    g_log_set_writer_func([](GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; },
                          nullptr, nullptr);
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
}

/// The input as text.
inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// A file of this process in the shared-memory folder (or the temporary folder), rewritten for
/// every input and removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(std::string_view stem) {
        const char* folder = g_file_test("/dev/shm", G_FILE_TEST_IS_DIR) ? "/dev/shm" : g_get_tmp_dir();
        m_path = std::string(folder) + "/ombrix-fuzz-" + std::string(stem) + "-" + std::to_string(getpid());
    }
    ~ScratchFile() { std::remove(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    /// Writes `text` as the whole file; false when it cannot be written.
    bool write(std::string_view text) const {
        return g_file_set_contents(m_path.c_str(), text.data(), static_cast<gssize>(text.size()), nullptr);
    }
    /// The file's content, or "" when it cannot be read.
    std::string read() const {
        gchar* contents = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(m_path.c_str(), &contents, &length, nullptr)) return {};
        std::string text(contents, length);
        g_free(contents);
        return text;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace Ombrix::Fuzz
