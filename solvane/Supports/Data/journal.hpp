/// @file Journals of long copies, kept line by line so that a run stopped by a fault finds what its
/// predecessor committed, and the escaping of the fields of their lines (and of manifests).
#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data {

/// `text` as a field of a tab-separated line: C escapes for tabs, line ends, backslashes and
/// bytes beyond ASCII.
OMBRIX_SOLVANE_EXPORT std::string escape_field(std::string_view text);
/// The text an escaped field holds.
OMBRIX_SOLVANE_EXPORT std::string unescape_field(std::string_view field);

/// A file of lines written one at a time and flushed at once, so that a process killed right after
/// a step still finds the step's line there.
class OMBRIX_SOLVANE_EXPORT JournalFile {
public:
    JournalFile() = default;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;
    ~JournalFile();

    /// The lines of `path` but the last when it is cut short (a fault may cut it); nothing when
    /// there is no such file.
    static std::optional<std::vector<std::string>> read_lines(const std::string& path);

    /// Opens `path` (its folder made when missing) to add lines after those there, or anew.
    [[nodiscard]] Core::Status open(const std::string& path, bool keep);
    [[nodiscard]] Core::Status append(const std::string& line);
    bool is_open() const { return m_file != nullptr; }
    const std::string& path() const { return m_path; }
    /// The work is whole: the journal goes.
    void remove();

private:
    std::string m_path;
    std::FILE* m_file = nullptr;
    std::mutex m_lock;
};

}  // namespace Ombrix::Solvane::Supports::Data
