#include "tests/support/log_records.hpp"

#include "solvane/Foundation/logging.hpp"
#include "solvane/Foundation/services.hpp"
#include "solvane/Supports/Log/manager.hpp"

namespace Ombrix::Testing {

namespace {

// The text of a record after the formatter's prefix, without its line end.
std::string text_of(std::string_view message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.remove_suffix(1);
    return std::string(message);
}

}  // namespace

LogRecords::LogRecords() {
    using namespace Solvane;
    Foundation::Services::register_type<Contracts::Log::ILogManager, Supports::Log::LogManager>();
    Foundation::LoggingService::initialize("LOG-RECORDS-MAIN", LogLevel::DEBUG, m_dir.path().c_str(), 0);
    m_handler = Supports::Log::DelegateHandler::create(
        [this](const std::shared_ptr<void>&, LogLevel level, std::string_view message) {
            std::lock_guard lock(m_mutex);
            m_records.push_back({level, text_of(message)});
        },
        std::make_shared<int>(0));
    m_handler->set_threshold(LogLevel::DEBUG);
    Foundation::LoggingService::append_handler(m_handler);
}

LogRecords::~LogRecords() {
    Solvane::Foundation::LoggingService::delete_handler(m_handler);
    Solvane::Foundation::LoggingService::shutdown();
}

std::vector<LogRecords::Record> LogRecords::records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}

bool LogRecords::has(LogLevel level, const std::string& message) const {
    std::lock_guard lock(m_mutex);
    for (const auto& record : m_records)
        if (record.level == level && record.message.ends_with(message)) return true;
    return false;
}

std::size_t LogRecords::count(const std::string& message) const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& record : m_records)
        if (record.message.ends_with(message)) ++n;
    return n;
}

void LogRecords::clear() {
    std::lock_guard lock(m_mutex);
    m_records.clear();
}

}  // namespace Ombrix::Testing
