#include "tests/support/temp_dir.hpp"

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace Ombrix::Testing {

TempDir::TempDir() {
    GError* error = nullptr;
    gchar* path = g_dir_make_tmp("ombrix-test-XXXXXX", &error);
    if (!path) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot make a scratch folder: " + message);
    }
    m_path = path;
    g_free(path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::file(const std::string& name) const { return (std::filesystem::path(m_path) / name).string(); }

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace Ombrix::Testing
