/// @file A private scratch folder for a test, removed with everything in it at the end.
#pragma once

#include <string>

namespace Ombrix::Testing {

/// Creates a fresh folder in the system's temporary folder; removes it recursively when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    /// Always true: a folder that cannot be made throws from the constructor.
    bool ok() const { return !m_path.empty(); }
    /// `path()` joined with `name`.
    std::string file(const std::string& name) const;

private:
    std::string m_path;
};

/// The whole content of a file; "" when it cannot be read.
std::string read_text(const std::string& path);
/// Replaces a file's content with `text`.
void write_text(const std::string& path, const std::string& text);

}  // namespace Ombrix::Testing
