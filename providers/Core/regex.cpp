#include "providers/Core/regex.hpp"

#include "providers/Core/glib.hpp"

namespace Ombrix::Core {

std::string RegexMatch::group(int n) const {
    if (n < 0 || n >= static_cast<int>(m_groups.size())) return {};
    const auto [begin, end] = m_groups[static_cast<std::size_t>(n)];
    if (begin < 0) return {};
    return std::string(m_subject.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

std::string RegexMatch::named(std::string_view name) const {
    if (!m_regex) return {};
    const std::string copy(name);
    return group(g_regex_get_string_number(m_regex.get(), copy.c_str()));
}

std::pair<int, int> RegexMatch::position(int n) const {
    if (n < 0 || n >= static_cast<int>(m_groups.size())) return {-1, -1};
    return m_groups[static_cast<std::size_t>(n)];
}

Regex::Regex(std::string_view pattern, GRegexCompileFlags compile_flags, GRegexMatchFlags match_flags) {
    auto compiled = compile(pattern, compile_flags, match_flags);
    if (compiled) {
        *this = std::move(*compiled);
    } else {
        log_unexpected(__FILE__, __LINE__, compiled.error());
    }
}

Regex::Regex(const Regex& other) : m_regex(other.m_regex ? g_regex_ref(other.m_regex) : nullptr) {}

Regex::Regex(Regex&& other) noexcept : m_regex(other.m_regex) { other.m_regex = nullptr; }

Regex& Regex::operator=(Regex other) noexcept {
    std::swap(m_regex, other.m_regex);
    return *this;
}

Regex::~Regex() {
    if (m_regex) g_regex_unref(m_regex);
}

Result<Regex> Regex::compile(std::string_view pattern, GRegexCompileFlags compile_flags, GRegexMatchFlags match_flags) {
    const std::string copy(pattern);
    GError* error = nullptr;
    GRegex* regex = g_regex_new(copy.c_str(), compile_flags, match_flags, &error);
    if (!regex) return fail(take_error(error));
    Regex result;
    result.m_regex = regex;
    return result;
}

bool Regex::is_match(std::string_view subject) const {
    if (!m_regex) return false;
    return g_regex_match_full(m_regex, subject.data(), static_cast<gssize>(subject.size()), 0, GRegexMatchFlags(0),
                              nullptr, nullptr);
}

std::optional<RegexMatch> Regex::match(std::string_view subject, int start) const {
    if (!m_regex) return std::nullopt;
    GMatchInfo* info = nullptr;
    std::optional<RegexMatch> result;
    if (g_regex_match_full(m_regex, subject.data(), static_cast<gssize>(subject.size()), start, GRegexMatchFlags(0),
                           &info, nullptr)) {
        RegexMatch m;
        m.m_subject = subject;
        m.m_regex = std::shared_ptr<GRegex>(g_regex_ref(m_regex), g_regex_unref);
        const int count = g_match_info_get_match_count(info);
        for (int i = 0; i < count; ++i) {
            int begin = -1, end = -1;
            g_match_info_fetch_pos(info, i, &begin, &end);
            m.m_groups.emplace_back(begin, end);
        }
        result = std::move(m);
    }
    g_match_info_free(info);
    return result;
}

std::vector<RegexMatch> Regex::match_all(std::string_view subject) const {
    std::vector<RegexMatch> matches;
    int start = 0;
    while (start <= static_cast<int>(subject.size())) {
        auto m = match(subject, start);
        if (!m) break;
        const auto [begin, end] = m->position(0);
        start = end > begin ? end : end + 1;
        matches.push_back(std::move(*m));
    }
    return matches;
}

std::string Regex::replace(std::string_view subject, std::string_view replacement) const {
    if (!m_regex) return std::string(subject);
    const std::string repl(replacement);
    GError* error = nullptr;
    gchar* out = g_regex_replace(m_regex, subject.data(), static_cast<gssize>(subject.size()), 0, repl.c_str(),
                                 GRegexMatchFlags(0), &error);
    if (!out) {
        log_unexpected(__FILE__, __LINE__, take_error(error));
        return std::string(subject);
    }
    return take_string(out);
}

std::string Regex::replace_literal(std::string_view subject, std::string_view replacement) const {
    if (!m_regex) return std::string(subject);
    const std::string repl(replacement);
    GError* error = nullptr;
    gchar* out = g_regex_replace_literal(m_regex, subject.data(), static_cast<gssize>(subject.size()), 0,
                                         repl.c_str(), GRegexMatchFlags(0), &error);
    if (!out) {
        log_unexpected(__FILE__, __LINE__, take_error(error));
        return std::string(subject);
    }
    return take_string(out);
}

std::vector<std::string> Regex::split(std::string_view subject) const {
    std::vector<std::string> parts;
    if (!m_regex) {
        parts.emplace_back(subject);
        return parts;
    }
    const std::string copy(subject);
    gchar** pieces = g_regex_split(m_regex, copy.c_str(), GRegexMatchFlags(0));
    for (gchar** p = pieces; p && *p; ++p) parts.emplace_back(*p);
    g_strfreev(pieces);
    return parts;
}

int Regex::group_number(std::string_view name) const {
    if (!m_regex) return -1;
    const std::string copy(name);
    return g_regex_get_string_number(m_regex, copy.c_str());
}

std::string Regex::escape(std::string_view text) {
    return take_string(g_regex_escape_string(text.data(), static_cast<gint>(text.size())));
}

}  // namespace Ombrix::Core
