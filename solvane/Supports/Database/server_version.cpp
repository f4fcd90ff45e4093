#include "solvane/Supports/Database/server_version.hpp"

#include <charconv>

namespace Ombrix::Solvane::Supports::Database {

namespace {

// Reads the digits at `pos`; false when there are none (or too many for an int).
bool read_number(std::string_view text, std::size_t& pos, int& value) {
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto [next, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc{} || next == begin) return false;
    pos += static_cast<std::size_t>(next - begin);
    return true;
}

}  // namespace

std::optional<ServerVersion> ServerVersion::parse(std::string_view text) {
    ServerVersion version;
    version.mariadb = text.find("MariaDB") != std::string_view::npos;
    // A replication quirk: MariaDB 10 servers announced themselves as "5.5.5-10.x.y-MariaDB" so that
    // old MySQL clients would accept them. The real version follows the prefix.
    constexpr std::string_view kLegacyPrefix = "5.5.5-";
    if (version.mariadb && text.starts_with(kLegacyPrefix)) text.remove_prefix(kLegacyPrefix.size());

    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) return std::nullopt;
    if (!read_number(text, pos, version.major)) return std::nullopt;
    int* rest[] = {&version.minor, &version.patch};
    for (int* part : rest) {
        if (pos + 1 >= text.size() || text[pos] != '.') break;
        std::size_t next = pos + 1;
        if (text[next] == '+' || text[next] == '-' || !read_number(text, next, *part)) break;
        pos = next;
    }
    return version;
}

bool ServerVersion::at_least(int major_wanted, int minor_wanted, int patch_wanted) const {
    return *this >= ServerVersion{major_wanted, minor_wanted, patch_wanted, mariadb};
}

std::strong_ordering ServerVersion::operator<=>(const ServerVersion& other) const {
    if (const auto c = major <=> other.major; c != 0) return c;
    if (const auto c = minor <=> other.minor; c != 0) return c;
    return patch <=> other.patch;
}

bool ServerVersion::operator==(const ServerVersion& other) const { return (*this <=> other) == 0; }

std::strong_ordering compare_versions(std::string_view left, std::string_view right) {
    const auto a = ServerVersion::parse(left);
    const auto b = ServerVersion::parse(right);
    if (a && b) return *a <=> *b;
    return a.has_value() <=> b.has_value();
}

}  // namespace Ombrix::Solvane::Supports::Database
