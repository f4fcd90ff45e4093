#include "solvane/Supports/Data/journal.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>

#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Data {

std::string escape_field(std::string_view text) {
    const std::string copy(text);
    gchar* escaped = g_strescape(copy.c_str(), nullptr);
    std::string field = escaped;
    g_free(escaped);
    return field;
}

std::string unescape_field(std::string_view field) {
    const std::string copy(field);
    gchar* text = g_strcompress(copy.c_str());
    std::string value = text;
    g_free(text);
    return value;
}

JournalFile::~JournalFile() {
    if (m_file) std::fclose(m_file);
}

std::optional<std::vector<std::string>> JournalFile::read_lines(const std::string& path) {
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return std::nullopt;
    const std::string text(contents, length);
    g_free(contents);
    auto lines = Core::split(text, '\n');
    // Whole lines end with a line end: what follows the last one was cut by a fault, or is empty.
    if (!lines.empty()) lines.pop_back();
    return lines;
}

Core::Status JournalFile::open(const std::string& path, bool keep) {
    m_path = path;
    gchar* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    m_file = std::fopen(path.c_str(), keep ? "a" : "w");
    if (!m_file) return Core::fail("default", -1, "cannot write the journal " + path + ": " + g_strerror(errno));
    return {};
}

Core::Status JournalFile::append(const std::string& line) {
    std::lock_guard guard(m_lock);
    if (!m_file) return {};
    if (std::fputs((line + "\n").c_str(), m_file) < 0 || std::fflush(m_file) != 0)
        return Core::fail("default", -1, "cannot write the journal " + m_path + ": " + g_strerror(errno));
    return {};
}

void JournalFile::remove() {
    std::lock_guard guard(m_lock);
    if (!m_file) return;
    std::fclose(m_file);
    m_file = nullptr;
    g_unlink(m_path.c_str());
}

}  // namespace Ombrix::Solvane::Supports::Data
