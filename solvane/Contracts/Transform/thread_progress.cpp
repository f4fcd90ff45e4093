#include "solvane/Contracts/Transform/thread_progress.hpp"

#include "solvane/Helpers/helper_datetime.hpp"

namespace Ombrix::Solvane::Contracts {

void ThreadProgress::reset_counters() {
    std::lock_guard lock(m_mutex);
    m_state = Snapshot{};
}

void ThreadProgress::step(bool success, std::string_view text, std::int64_t elapsed) {
    std::lock_guard lock(m_mutex);
    m_state.elapsed = elapsed;
    ++m_state.step;
    ++(success ? m_state.success : m_state.failure);
    if (!text.empty()) m_messages.push_back(Helpers::DateTimeHelper::datetime_with_ms_normal() + " " + std::string(text));
}

void ThreadProgress::message(std::string_view text, std::int64_t elapsed) {
    std::lock_guard lock(m_mutex);
    m_state.elapsed = elapsed;
    m_messages.push_back(Helpers::DateTimeHelper::datetime_with_ms_normal() + " " + std::string(text));
}

void ThreadProgress::set_finished(std::int64_t elapsed) {
    std::lock_guard lock(m_mutex);
    m_state.elapsed = elapsed;
    m_state.finished = true;
}

ThreadProgress::Snapshot ThreadProgress::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool ThreadProgress::pop_message(std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_messages.empty()) return false;
    text = std::move(m_messages.front());
    m_messages.pop_front();
    return true;
}

OMBRIX_DEFINE_TYPE(ThreadProgress, "OmbrixSolvaneContractsThreadProgress");

}  // namespace Ombrix::Solvane::Contracts
