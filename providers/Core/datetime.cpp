#include "providers/Core/datetime.hpp"

#include <glib.h>
#include <string>

namespace Ombrix::Core {

DateTime::DateTime(const DateTime& other) noexcept : m_dt(other.m_dt ? g_date_time_ref(other.m_dt) : nullptr) {}

DateTime& DateTime::operator=(const DateTime& other) noexcept {
    if (this != &other) {
        GDateTime* old = m_dt;
        m_dt = other.m_dt ? g_date_time_ref(other.m_dt) : nullptr;
        if (old) g_date_time_unref(old);
    }
    return *this;
}

DateTime& DateTime::operator=(DateTime&& other) noexcept {
    if (this != &other) {
        if (m_dt) g_date_time_unref(m_dt);
        m_dt = other.m_dt;
        other.m_dt = nullptr;
    }
    return *this;
}

DateTime::~DateTime() {
    if (m_dt) g_date_time_unref(m_dt);
}

DateTime DateTime::now_local() { return DateTime(g_date_time_new_now_local()); }

DateTime DateTime::now_utc() { return DateTime(g_date_time_new_now_utc()); }

DateTime DateTime::from_iso8601(std::string_view text, Zone default_zone) {
    const std::string copy(text);
    GTimeZone* tz = default_zone == Zone::Utc ? g_time_zone_new_utc() : g_time_zone_new_local();
    DateTime result(g_date_time_new_from_iso8601(copy.c_str(), tz));
    g_time_zone_unref(tz);
    return result;
}

DateTime DateTime::from_unix_local(std::int64_t seconds) { return DateTime(g_date_time_new_from_unix_local(seconds)); }

DateTime DateTime::from_unix_utc(std::int64_t seconds) { return DateTime(g_date_time_new_from_unix_utc(seconds)); }

DateTime DateTime::local(int year, int month, int day, int hour, int minute, double seconds) {
    return DateTime(g_date_time_new_local(year, month, day, hour, minute, seconds));
}

DateTime DateTime::utc(int year, int month, int day, int hour, int minute, double seconds) {
    return DateTime(g_date_time_new_utc(year, month, day, hour, minute, seconds));
}

DateTime DateTime::to_local() const { return m_dt ? DateTime(g_date_time_to_local(m_dt)) : DateTime(); }

DateTime DateTime::to_utc() const { return m_dt ? DateTime(g_date_time_to_utc(m_dt)) : DateTime(); }

std::string DateTime::format(std::string_view pattern) const {
    if (!m_dt) return {};
    const std::string copy(pattern);
    gchar* text = g_date_time_format(m_dt, copy.c_str());
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

std::string DateTime::format_iso8601() const {
    if (!m_dt) return {};
    gchar* text = g_date_time_format_iso8601(m_dt);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

int DateTime::year() const { return m_dt ? g_date_time_get_year(m_dt) : 0; }
int DateTime::month() const { return m_dt ? g_date_time_get_month(m_dt) : 0; }
int DateTime::day() const { return m_dt ? g_date_time_get_day_of_month(m_dt) : 0; }
int DateTime::hour() const { return m_dt ? g_date_time_get_hour(m_dt) : 0; }
int DateTime::minute() const { return m_dt ? g_date_time_get_minute(m_dt) : 0; }
int DateTime::second() const { return m_dt ? g_date_time_get_second(m_dt) : 0; }
int DateTime::microsecond() const { return m_dt ? g_date_time_get_microsecond(m_dt) : 0; }
double DateTime::seconds() const { return m_dt ? g_date_time_get_seconds(m_dt) : 0.0; }
std::int64_t DateTime::to_unix() const { return m_dt ? g_date_time_to_unix(m_dt) : 0; }
std::int64_t DateTime::utc_offset() const { return m_dt ? g_date_time_get_utc_offset(m_dt) : 0; }

std::int64_t DateTime::difference(const DateTime& other) const {
    if (!m_dt || !other.m_dt) return 0;
    return g_date_time_difference(m_dt, other.m_dt);
}

DateTime DateTime::add_seconds(double seconds) const {
    return m_dt ? DateTime(g_date_time_add_seconds(m_dt, seconds)) : DateTime();
}

bool DateTime::operator==(const DateTime& other) const {
    if (!m_dt || !other.m_dt) return m_dt == other.m_dt;
    return g_date_time_equal(m_dt, other.m_dt);
}

std::strong_ordering DateTime::operator<=>(const DateTime& other) const {
    if (!m_dt || !other.m_dt) return (m_dt != nullptr) <=> (other.m_dt != nullptr);
    return g_date_time_compare(m_dt, other.m_dt) <=> 0;
}

}  // namespace Ombrix::Core
