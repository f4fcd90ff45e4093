#include "solvane/Supports/Log/handler_file_temp.hpp"

#include <glib.h>

#include <algorithm>
#include <optional>

#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Log/formatter_default.hpp"

namespace Ombrix::Solvane::Supports::Log {

namespace {

// Warnings are written after the handler's lock is released: a host that routes GLib warnings
// back into the log must not find this handler locked.
void write_warning(const std::optional<std::string>& warning) {
    if (warning) g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "%s", warning->c_str());
}

std::string take_message(GError* error) {
    std::string message = error && error->message ? error->message : "";
    if (error) g_error_free(error);
    return message;
}

}  // namespace

TempFileLogHandler::TempFileLogHandler() : m_formatter(SimpleFormatter::create()) {}

TempFileLogHandler::~TempFileLogHandler() {
    if (m_stream) {
        g_io_stream_close(G_IO_STREAM(m_stream), nullptr, nullptr);
        g_object_unref(m_stream);
    }
}

OMBRIX_DEFINE_TYPE(TempFileLogHandler, "OmbrixSolvaneSupportsLogTempFileLogHandler");

void TempFileLogHandler::initialize(std::string_view name) {
    std::optional<std::string> warning;
    {
        std::lock_guard lock(m_mutex);
        if (m_stream) {
            g_io_stream_close(G_IO_STREAM(m_stream), nullptr, nullptr);
            g_clear_object(&m_stream);
            m_path.clear();
        }
        const std::string pattern = std::string(name) + "-XXXXXX.log";
        GError* error = nullptr;
        GFile* file = g_file_new_tmp(pattern.c_str(), &m_stream, &error);
        if (file) {
            m_path = Core::take_string(g_file_get_path(file));
            g_object_unref(file);
        } else {
            warning = Core::strprintf("%s: Failed to open file: %s", G_STRLOC, take_message(error).c_str());
        }
    }
    write_warning(warning);
}

void TempFileLogHandler::publish(LogLevel level, std::string_view server, std::string_view name,
                                 std::string_view message) {
    if (!Contracts::Log::passes(level, m_threshold)) return;
    const auto formatter = get_formatter();
    const std::string line = formatter ? formatter->format(level, server, name, message) : std::string(message) + "\n";
    std::optional<std::string> warning;
    {
        std::lock_guard lock(m_mutex);
        if (!m_stream) return;
        GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(m_stream));
        GError* error = nullptr;
        if (!g_output_stream_write_all(out, line.data(), line.size(), nullptr, nullptr, &error))
            warning = Core::strprintf("%s: Error in FileHandler.publish: %s", G_STRLOC, take_message(error).c_str());
    }
    write_warning(warning);
}

std::string TempFileLogHandler::recent(int) {
    std::string text;
    std::optional<std::string> warning;
    {
        std::lock_guard lock(m_mutex);
        if (!m_stream) return text;
        GError* error = nullptr;
        GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(m_stream));
        GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(m_stream));
        GSeekable* seekable = G_SEEKABLE(m_stream);
        if (!g_output_stream_flush(out, nullptr, &error)) {
            warning = Core::strprintf("%s: Failed to get recent log: %s", G_STRLOC, take_message(error).c_str());
        } else {
            const goffset end = g_seekable_tell(seekable);
            const bool can_seek = g_seekable_can_seek(seekable);
            if (can_seek && !g_seekable_seek(seekable, 0, G_SEEK_SET, nullptr, &error)) {
                warning = Core::strprintf("%s: Failed to get recent log: %s", G_STRLOC, take_message(error).c_str());
            } else {
                // Read up to where the writer stands, then put the position back for the next line.
                const goffset start = g_seekable_tell(seekable);
                text.resize(static_cast<std::size_t>(std::max<goffset>(end - start, 0)));
                gsize read = 0;
                if (!g_input_stream_read_all(in, text.data(), text.size(), &read, nullptr, &error))
                    warning = Core::strprintf("%s: Failed to get recent log: %s", G_STRLOC, take_message(error).c_str());
                text.resize(read);
                if (can_seek && !g_seekable_seek(seekable, end, G_SEEK_SET, nullptr, &error) && !warning)
                    warning = Core::strprintf("%s: Failed to get recent log: %s", G_STRLOC, take_message(error).c_str());
            }
        }
    }
    write_warning(warning);
    return text;
}

void TempFileLogHandler::close() {
    std::optional<std::string> warning;
    {
        std::lock_guard lock(m_mutex);
        if (!m_stream) return;
        GError* error = nullptr;
        if (!g_io_stream_close(G_IO_STREAM(m_stream), nullptr, &error))
            warning = Core::strprintf("%s: Error in FileHandler.close: %s", G_STRLOC, take_message(error).c_str());
        g_clear_object(&m_stream);
    }
    write_warning(warning);
}

std::shared_ptr<IFormatter> TempFileLogHandler::get_formatter() const {
    std::lock_guard lock(m_mutex);
    return m_formatter;
}

void TempFileLogHandler::set_formatter(std::shared_ptr<IFormatter> formatter) {
    {
        std::lock_guard lock(m_mutex);
        if (m_formatter == formatter) return;
        m_formatter = std::move(formatter);
    }
    notify(ombrix_name_formatter);
}

void TempFileLogHandler::set_threshold(LogLevel threshold) { set_and_notify(m_threshold, threshold, ombrix_name_threshold); }

std::string TempFileLogHandler::get_path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

}  // namespace Ombrix::Solvane::Supports::Log
