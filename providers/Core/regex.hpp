/// @file PCRE regular expressions over GRegex, with named groups.
#pragma once

#include <glib.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Core/error.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core {

/// One match: the whole text and the groups, by number or name.
class OMBRIX_PROVIDERS_EXPORT RegexMatch {
public:
    /// Group `n` (0 is the whole match); "" when the group did not take part.
    std::string group(int n) const;
    /// The named group; "" when absent.
    std::string named(std::string_view name) const;
    /// Byte offsets of group `n` in the subject, or -1/-1 when it did not take part.
    std::pair<int, int> position(int n) const;
    int group_count() const { return static_cast<int>(m_groups.size()); }

private:
    friend class Regex;
    std::string_view m_subject;
    std::vector<std::pair<int, int>> m_groups;
    std::shared_ptr<GRegex> m_regex;  // for the names of groups
};

/// A compiled pattern; copies share it. Shared patterns are compiled once (function-local statics).
class OMBRIX_PROVIDERS_EXPORT Regex {
public:
    Regex() = default;
    /// Compiles `pattern`; an invalid pattern is a programming error: a critical, and a regex that never matches.
    explicit Regex(std::string_view pattern, GRegexCompileFlags compile = GRegexCompileFlags(0),
                   GRegexMatchFlags match = GRegexMatchFlags(0));
    Regex(const Regex& other);
    Regex(Regex&& other) noexcept;
    Regex& operator=(Regex other) noexcept;
    ~Regex();

    /// Compiles `pattern`; a bad pattern is an error in GLib's regex domain.
    static Result<Regex> compile(std::string_view pattern, GRegexCompileFlags compile = GRegexCompileFlags(0),
                                 GRegexMatchFlags match = GRegexMatchFlags(0));

    bool valid() const noexcept { return m_regex != nullptr; }
    bool is_match(std::string_view subject) const;
    /// The first match at or after byte `start`.
    std::optional<RegexMatch> match(std::string_view subject, int start = 0) const;
    /// Every non-overlapping match, in order.
    std::vector<RegexMatch> match_all(std::string_view subject) const;
    /// Replaces every match; `replacement` may refer to groups (\1, \g<name>).
    std::string replace(std::string_view subject, std::string_view replacement) const;
    /// Replaces every match with `replacement` taken literally.
    std::string replace_literal(std::string_view subject, std::string_view replacement) const;
    std::vector<std::string> split(std::string_view subject) const;
    int group_number(std::string_view name) const;

    /// `text` with every special character escaped.
    static std::string escape(std::string_view text);

private:
    GRegex* m_regex = nullptr;
};

}  // namespace Ombrix::Core
