/// @file Time-zone aware date-times over GDateTime, and plain calendar dates.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "providers/providers_export.h"

// The platform's date-time record, handled only through pointers here.
typedef struct _GDateTime GDateTime;

namespace Ombrix::Core {

/// The zone a date-time text without an offset is read in.
enum class Zone { Utc, Local };

/// A shared, immutable date-time with its time zone; default-constructed it holds nothing.
class OMBRIX_PROVIDERS_EXPORT DateTime {
public:
    DateTime() = default;
    /// Takes over one reference of `dt` (may be null).
    explicit DateTime(GDateTime* dt) noexcept : m_dt(dt) {}
    DateTime(const DateTime& other) noexcept;
    DateTime(DateTime&& other) noexcept : m_dt(other.m_dt) { other.m_dt = nullptr; }
    DateTime& operator=(const DateTime& other) noexcept;
    DateTime& operator=(DateTime&& other) noexcept;
    ~DateTime();

    static DateTime now_local();
    static DateTime now_utc();
    /// Reads an ISO 8601 text; a text without an offset is in `default_zone`. Unset when it does not parse.
    static DateTime from_iso8601(std::string_view text, Zone default_zone);
    static DateTime from_unix_local(std::int64_t seconds);
    static DateTime from_unix_utc(std::int64_t seconds);
    /// A wall-clock moment in the local zone; unset when the fields are out of range.
    static DateTime local(int year, int month, int day, int hour, int minute, double seconds);
    /// A moment in UTC; unset when the fields are out of range.
    static DateTime utc(int year, int month, int day, int hour, int minute, double seconds);

    bool is_null() const noexcept { return m_dt == nullptr; }
    explicit operator bool() const noexcept { return m_dt != nullptr; }
    GDateTime* get() const noexcept { return m_dt; }

    DateTime to_local() const;
    DateTime to_utc() const;

    /// Formats with the strftime-like conversions of GDateTime; "" when unset.
    std::string format(std::string_view pattern) const;
    /// ISO 8601 with the offset, e.g. "2024-01-31T10:00:00+01"; "" when unset.
    std::string format_iso8601() const;

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    int microsecond() const;
    double seconds() const;
    std::int64_t to_unix() const;
    /// Microseconds from `other` to this moment.
    std::int64_t difference(const DateTime& other) const;
    DateTime add_seconds(double seconds) const;
    /// Offset from UTC in microseconds.
    std::int64_t utc_offset() const;

    /// Same moment (zones may differ); two unset values are equal.
    bool operator==(const DateTime& other) const;
    std::strong_ordering operator<=>(const DateTime& other) const;

private:
    GDateTime* m_dt = nullptr;
};

/// A calendar date; all fields 0 means "no date".
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;

    bool valid() const { return year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31; }
    bool operator==(const Date&) const = default;
};

}  // namespace Ombrix::Core
