/// @file Collects the records of the logging service while a test runs.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/Supports/Log/handler_delegate.hpp"
#include "tests/support/temp_dir.hpp"

namespace Ombrix::Testing {

/// While alive, the logging service runs with its main log in a scratch folder, and every record
/// (down to DEBUG) is also kept here.
class LogRecords {
public:
    using LogLevel = Solvane::Contracts::Log::LogLevel;
    struct Record {
        LogLevel level;
        std::string message;
    };

    LogRecords();
    ~LogRecords();
    LogRecords(const LogRecords&) = delete;
    LogRecords& operator=(const LogRecords&) = delete;

    std::vector<Record> records() const;
    /// Whether a record at `level` has exactly `message` as its text (after the formatter's prefix).
    bool has(LogLevel level, const std::string& message) const;
    /// The number of records whose text ends with `message`.
    std::size_t count(const std::string& message) const;
    void clear();

private:
    TempDir m_dir;
    mutable std::mutex m_mutex;
    std::vector<Record> m_records;
    std::shared_ptr<Solvane::Supports::Log::DelegateHandler> m_handler;
};

}  // namespace Ombrix::Testing
