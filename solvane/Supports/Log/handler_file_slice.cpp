#include "solvane/Supports/Log/handler_file_slice.hpp"

#include <glib.h>

#include <algorithm>
#include <charconv>

#include "providers/Core/glib.hpp"
#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Log/formatter_default.hpp"

namespace Ombrix::Solvane::Supports::Log {

namespace {

void write_warnings(const std::vector<std::string>& warnings) {
    for (const auto& warning : warnings) g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "%s", warning.c_str());
}

bool is_regular_file(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR); }

}  // namespace

SliceFileLogHandler::SliceFileLogHandler() : m_formatter(DefaultFormatter::create()) {}

SliceFileLogHandler::~SliceFileLogHandler() {
    if (m_stream) {
        g_output_stream_close(m_stream, nullptr, nullptr);
        g_object_unref(m_stream);
    }
}

OMBRIX_DEFINE_TYPE(SliceFileLogHandler, "OmbrixSolvaneSupportsLogSliceFileLogHandler");

std::string SliceFileLogHandler::path_of(int index) const {
    const std::string file = m_name + Core::strprintf("-%03d.log", index);
    return Core::take_string(g_build_filename(m_folder.c_str(), file.c_str(), nullptr));
}

Core::Status SliceFileLogHandler::initialize(std::string_view name, std::string_view folder, std::int64_t max_size) {
    std::vector<std::string> warnings;
    Core::Status status;
    {
        std::lock_guard lock(m_mutex);
        m_formatter = DefaultFormatter::create();
        m_max_size = max_size;
        m_name = std::string(name);
        m_folder = std::string(folder);
        m_ready = false;

        GFile* dir = g_file_new_for_path(m_folder.c_str());
        GError* error = nullptr;
        GFileEnumerator* entries =
            g_file_enumerate_children(dir, "standard::name", G_FILE_QUERY_INFO_NONE, nullptr, &error);
        g_object_unref(dir);
        if (!entries) return Core::fail(Core::take_error(error));

        // Anchored, with the name taken literally: "<name>-<digits>.log" and nothing around it, so
        // that another log's files or copies such as "<name>-003.log.gz" never count.
        static const char* const kIndexGroup = "-(?<index>[0-9]+)\\.log$";
        const Core::Regex pattern("^" + Core::Regex::escape(m_name) + kIndexGroup);
        int largest = 0;
        while (GFileInfo* info = g_file_enumerator_next_file(entries, nullptr, &error)) {
            if (const auto match = pattern.match(g_file_info_get_name(info))) {
                const std::string digits = match->named("index");
                int index = 0;
                const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
                if (ec == std::errc() && end == digits.data() + digits.size()) largest = std::max(largest, index);
            }
            g_object_unref(info);
        }
        g_object_unref(entries);
        if (error) return Core::fail(Core::take_error(error));

        m_count = largest;
        m_ready = true;
        close_stream(warnings);
        status = open_file(false, warnings);
    }
    write_warnings(warnings);
    return status;
}

Core::Status SliceFileLogHandler::rotate() {
    std::vector<std::string> warnings;
    Core::Status status;
    {
        std::lock_guard lock(m_mutex);
        if (!m_ready) return {};
        status = open_file(false, warnings);
    }
    write_warnings(warnings);
    return status;
}

Core::Status SliceFileLogHandler::open_file(bool next, std::vector<std::string>& warnings) {
    while (is_regular_file(path_of(m_count))) ++m_count;

    std::string candidate = next ? path_of(m_count) : path_of(m_count > 0 ? m_count - 1 : 0);
    std::int64_t size = 0;
    if (is_regular_file(candidate)) {
        GFile* file = g_file_new_for_path(candidate.c_str());
        GError* error = nullptr;
        GFileInfo* info = g_file_query_info(file, "standard::size", G_FILE_QUERY_INFO_NONE, nullptr, &error);
        g_object_unref(file);
        if (info) {
            size = g_file_info_get_size(info);
            g_object_unref(info);
        } else {
            warnings.push_back(Core::strprintf("%s: query file info failed: %s", G_STRLOC, candidate.c_str()));
            g_error_free(error);
        }
        if (m_max_size > 0 && size > m_max_size) {
            candidate = path_of(m_count);
            size = 0;
        }
    }

    GFile* file = g_file_new_for_path(candidate.c_str());
    GError* error = nullptr;
    GFileOutputStream* stream = g_file_append_to(file, G_FILE_CREATE_PRIVATE, nullptr, &error);
    g_object_unref(file);
    if (!stream) return Core::fail(Core::take_error(error));

    close_stream(warnings);
    m_stream = G_OUTPUT_STREAM(stream);
    m_size = size;
    m_current = std::move(candidate);
    return {};
}

void SliceFileLogHandler::close_stream(std::vector<std::string>& warnings) {
    if (!m_stream) return;
    GError* error = nullptr;
    if (!g_output_stream_close(m_stream, nullptr, &error)) {
        warnings.push_back(Core::strprintf("%s: Error in FileHandler.close: %s", G_STRLOC, error->message));
        g_error_free(error);
    }
    g_object_unref(m_stream);
    m_stream = nullptr;
    m_current.clear();
}

void SliceFileLogHandler::publish(LogLevel level, std::string_view server, std::string_view name,
                                  std::string_view message) {
    if (!Contracts::Log::passes(level, m_threshold)) return;
    const auto formatter = get_formatter();
    const std::string line = formatter ? formatter->format(level, server, name, message) : std::string(message) + "\n";
    const auto length = static_cast<std::int64_t>(line.size());
    std::vector<std::string> warnings;
    {
        std::lock_guard lock(m_mutex);
        if (!m_ready) return;

        // A file that failed to open earlier is tried again for every record.
        if (!m_stream) {
            if (auto opened = open_file(false, warnings); !opened)
                warnings.push_back(Core::strprintf("%s: Error in FileHandler.publish: %s", G_STRLOC,
                                                   opened.error().message.c_str()));
        }
        // The line that would take the file over the limit opens the next file and is its first
        // line. A failed rotation keeps the current file: a long file beats a lost line.
        if (m_stream && m_max_size > 0 && m_size > 0 && m_size + length > m_max_size) {
            if (auto rotated = open_file(true, warnings); !rotated)
                warnings.push_back(Core::strprintf("%s: Error in FileHandler.publish: %s", G_STRLOC,
                                                   rotated.error().message.c_str()));
        }
        if (m_stream) {
            gsize written = 0;
            GError* error = nullptr;
            const bool ok = g_output_stream_write_all(m_stream, line.data(), line.size(), &written, nullptr, &error);
            m_size += static_cast<std::int64_t>(written);
            if (!ok) {
                warnings.push_back(
                    Core::strprintf("%s: Error in FileHandler.publish: %s", G_STRLOC, error->message));
                g_error_free(error);
            }
        }
    }
    write_warnings(warnings);
}

std::string SliceFileLogHandler::recent(int) { return {}; }

void SliceFileLogHandler::close() {
    std::vector<std::string> warnings;
    {
        std::lock_guard lock(m_mutex);
        m_ready = false;
        close_stream(warnings);
    }
    write_warnings(warnings);
}

std::shared_ptr<IFormatter> SliceFileLogHandler::get_formatter() const {
    std::lock_guard lock(m_mutex);
    return m_formatter;
}

void SliceFileLogHandler::set_formatter(std::shared_ptr<IFormatter> formatter) {
    {
        std::lock_guard lock(m_mutex);
        if (m_formatter == formatter) return;
        m_formatter = std::move(formatter);
    }
    notify(ombrix_name_formatter);
}

void SliceFileLogHandler::set_threshold(LogLevel threshold) { set_and_notify(m_threshold, threshold, ombrix_name_threshold); }

std::string SliceFileLogHandler::get_current_path() const {
    std::lock_guard lock(m_mutex);
    return m_current;
}

}  // namespace Ombrix::Solvane::Supports::Log
