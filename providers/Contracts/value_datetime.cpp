#include "providers/Contracts/value_datetime.hpp"

#include <glib.h>

#include <cstdio>

namespace Ombrix::Providers::Contracts {

namespace {

/// The fields of a "YYYY-MM-DD[ HH:MM:SS[.ffffff]]" text.
struct Parsed {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int microseconds = 0;  // the fraction, to six digits
    double seconds = 0;    // second and fraction together
    bool has_time = false;
};

bool read_number(std::string_view text, std::size_t& pos, std::size_t digits, int& out) {
    if (pos + digits > text.size()) return false;
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    pos += digits;
    return true;
}

/// Reads "SS[.ffffff]" at `pos` to the end of the text.
bool read_seconds(std::string_view text, std::size_t pos, Parsed& parsed) {
    if (!read_number(text, pos, 2, parsed.second)) return false;
    int microseconds = 0, digits = 0;
    double fraction = 0, scale = 0.1;
    if (pos < text.size()) {
        if (text[pos] != '.') return false;
        for (++pos; pos < text.size(); ++pos, scale /= 10) {
            if (text[pos] < '0' || text[pos] > '9') return false;
            fraction += (text[pos] - '0') * scale;
            if (digits < 6) {
                microseconds = microseconds * 10 + (text[pos] - '0');
                ++digits;
            }
        }
    }
    for (; digits < 6; ++digits) microseconds *= 10;
    parsed.microseconds = microseconds;
    parsed.seconds = parsed.second + fraction;
    return true;
}

std::optional<Parsed> parse_civil(std::string_view text) {
    Parsed c;
    std::size_t pos = 0;
    if (!read_number(text, pos, 4, c.year) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!read_number(text, pos, 2, c.month) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!read_number(text, pos, 2, c.day)) return std::nullopt;
    if (pos == text.size()) return c;
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    if (!read_number(text, pos, 2, c.hour) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_number(text, pos, 2, c.minute) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_seconds(text, pos, c)) return std::nullopt;
    c.has_time = true;
    return c;
}

/// "HH:MM:SS[.ffffff]" within one day.
std::optional<Parsed> parse_time_of_day(std::string_view text) {
    Parsed c;
    std::size_t pos = 0;
    if (!read_number(text, pos, 2, c.hour) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_number(text, pos, 2, c.minute) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_seconds(text, pos, c)) return std::nullopt;
    if (c.hour > 23 || c.minute > 59 || c.second > 59) return std::nullopt;
    c.year = 1970;
    c.month = 1;
    c.day = 1;
    c.has_time = true;
    return c;
}

/// Writes `value` as `width` decimal digits (zero-padded) at `out`.
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

std::string date_text(int year, int month, int day) {
    char buffer[16];
    char* end = put_digits(buffer, year, 4);
    *end++ = '-';
    end = put_digits(end, month, 2);
    *end++ = '-';
    end = put_digits(end, day, 2);
    return std::string(buffer, end);
}

std::string time_text(int hour, int minute, int second) {
    char buffer[8];
    char* end = put_digits(buffer, hour, 2);
    *end++ = ':';
    end = put_digits(end, minute, 2);
    *end++ = ':';
    end = put_digits(end, second, 2);
    return std::string(buffer, end);
}

/// "YYYY-MM-DD HH:MM:SS" of a civil time, written into `out` (19 characters); its length.
std::size_t civil_text(const detail::CivilTime& civil, char* out) {
    char* end = put_digits(out, civil.year, 4);
    *end++ = '-';
    end = put_digits(end, civil.month, 2);
    *end++ = '-';
    end = put_digits(end, civil.day, 2);
    *end++ = ' ';
    end = put_digits(end, civil.hour, 2);
    *end++ = ':';
    end = put_digits(end, civil.minute, 2);
    *end++ = ':';
    end = put_digits(end, static_cast<int>(civil.microseconds / 1000000u), 2);
    return static_cast<std::size_t>(end - out);
}

std::string date_text(const Core::DateTime& dt) { return date_text(dt.year(), dt.month(), dt.day()); }

std::string time_text(const Core::DateTime& dt) { return time_text(dt.hour(), dt.minute(), dt.second()); }

constexpr const char* kNullText = "(NULL)";

detail::CivilTime civil_of(const std::optional<Parsed>& parsed) {
    detail::CivilTime civil;
    if (!parsed || parsed->year < 1 || parsed->year > 9999 || !g_date_valid_dmy(static_cast<GDateDay>(parsed->day),
                                                                                static_cast<GDateMonth>(parsed->month),
                                                                                static_cast<GDateYear>(parsed->year)))
        return civil;  // not a real day: year 0 marks it
    civil.year = static_cast<std::int16_t>(parsed->year);
    civil.month = static_cast<std::uint8_t>(parsed->month);
    civil.day = static_cast<std::uint8_t>(parsed->day);
    civil.hour = static_cast<std::uint8_t>(parsed->hour);
    civil.minute = static_cast<std::uint8_t>(parsed->minute);
    civil.microseconds = static_cast<std::uint32_t>(parsed->second) * 1000000u + static_cast<std::uint32_t>(parsed->microseconds);
    return civil;
}

}  // namespace

// ---------------------------------------------------------------- ValueDateTime

std::shared_ptr<ValueDateTime> ValueDateTime::create() {
    return Core::make_object<ValueDateTime>(Core::DateTime::now_local());
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_datetime(const Core::DateTime& datetime) {
    if (datetime.is_null()) [[unlikely]] {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "datetime != NULL");
        return nullptr;
    }
    return Core::make_object<ValueDateTime>(datetime.to_local());
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_iso8601(std::string_view datetime) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(datetime, nullptr);
    const std::string_view text = datetime;
    auto dt = Core::DateTime::from_iso8601(text, Core::Zone::Utc);
    if (!dt) {
        // GLib wants a 'T' between date and time; the servers' own form has a blank.
        if (auto civil = parse_civil(text); civil && civil->has_time)
            dt = Core::DateTime::utc(civil->year, civil->month, civil->day, civil->hour, civil->minute, civil->seconds);
    }
    if (!dt) dt = Core::DateTime::from_unix_local(0);
    return Core::make_object<ValueDateTime>(std::move(dt));
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_utc(int year, int month, int day, int hour, int minute,
                                                       int seconds) {
    return Core::make_object<ValueDateTime>(Core::DateTime::utc(year, month, day, hour, minute, seconds));
}

std::shared_ptr<ValueDateTime> ValueDateTime::create_from_text(std::string_view text) {
    auto value = Core::make_object<ValueDateTime>(Core::DateTime());
    value->hold_civil(civil_of(parse_civil(text)), CivilZone::Utc, text);
    return value;
}

OMBRIX_DEFINE_TYPE(ValueDateTime, "OmbrixProvidersContractsValueDateTime");

void ValueDateTime::set_itsvalue(Core::DateTime value) {
    m_value = std::move(value);
    m_zone = CivilZone::None;
    m_text.reset();
    itsvalue_changed();
}

void ValueDateTime::hold_civil(const Civil& civil, CivilZone zone, std::string_view text) {
    m_value = Core::DateTime();
    if (civil.year == 0) {
        // Zero dates and other texts that are no moment keep exactly what the server sent.
        m_zone = CivilZone::None;
        m_text = std::string(text);
        return;
    }
    m_civil = civil;
    m_zone = zone;
    if (default_text() != text) m_text = std::string(text);
}

const Core::DateTime& ValueDateTime::moment() const {
    if (m_value.is_null() && m_zone != CivilZone::None) {
        const double seconds = m_civil.microseconds / 1e6;
        m_value = m_zone == CivilZone::Utc
                      ? Core::DateTime::utc(m_civil.year, m_civil.month, m_civil.day, m_civil.hour, m_civil.minute, seconds)
                      : Core::DateTime::local(m_civil.year, m_civil.month, m_civil.day, m_civil.hour, m_civil.minute,
                                              seconds);
    }
    return m_value;
}

Core::DateTime ValueDateTime::get_itsvalue() const { return moment(); }

std::string ValueDateTime::format(std::string_view format) const {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(format, std::string());
    return moment().format(format);
}

Core::Value ValueDateTime::to_value() const {
    const Core::DateTime& held = moment();
    if (held.is_null()) return Core::Value::from_datetime({});
    // Step back by the whole number of microseconds: a step in fractional seconds is rounded
    // toward zero by GDateTime and can leave one microsecond behind.
    return Core::Value::from_datetime(Core::DateTime(g_date_time_add(held.get(), -held.microsecond())));
}

std::string ValueDateTime::default_text() const {
    if (m_zone != CivilZone::None) {
        char buffer[24];
        return std::string(buffer, civil_text(m_civil, buffer));
    }
    if (m_value.is_null()) return kNullText;
    return date_text(m_value) + ' ' + time_text(m_value);
}

std::string ValueDateTime::to_string() const { return m_text ? *m_text : default_text(); }

ValuePtr ValueDateTime::clone() const { return copy_as<ValueDateTime>(); }

// ---------------------------------------------------------------- ValueDate

std::shared_ptr<ValueDate> ValueDate::create() {
    return Core::make_object<ValueDate>(Core::DateTime::now_local());
}

std::shared_ptr<ValueDate> ValueDate::new_dmy(int year, int month, int day) {
    return Core::make_object<ValueDate>(Core::DateTime::local(year, month, day, 0, 0, 0));
}

std::shared_ptr<ValueDate> ValueDate::new_date(const Core::Date& date) { return new_dmy(date.year, date.month, date.day); }

std::shared_ptr<ValueDate> ValueDate::new_iso8601(std::string_view date) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(date, nullptr);
    const std::string_view text = date;
    auto dt = Core::DateTime::from_iso8601(text, Core::Zone::Local);
    if (!dt) {
        if (auto civil = parse_civil(text))
            dt = Core::DateTime::local(civil->year, civil->month, civil->day, civil->hour, civil->minute,
                                       civil->seconds);
    }
    if (!dt) dt = Core::DateTime::from_unix_local(0);
    return Core::make_object<ValueDate>(std::move(dt));
}

std::shared_ptr<ValueDate> ValueDate::create_from_text(std::string_view text) {
    auto value = Core::make_object<ValueDate>(Core::DateTime());
    auto parsed = parse_civil(text);
    if (parsed && parsed->has_time) parsed.reset();
    value->hold_civil(civil_of(parsed), CivilZone::Local, text);
    return value;
}

OMBRIX_DEFINE_TYPE(ValueDate, "OmbrixProvidersContractsValueDate");

Core::Value ValueDate::to_value() const {
    if (m_zone != CivilZone::None) return Core::Value::from_date(Core::Date{m_civil.year, m_civil.month, m_civil.day});
    if (m_value.is_null()) return Core::Value::from_date({});
    return Core::Value::from_date(Core::Date{m_value.year(), m_value.month(), m_value.day()});
}

std::string ValueDate::default_text() const {
    if (m_zone != CivilZone::None) return date_text(m_civil.year, m_civil.month, m_civil.day);
    return m_value.is_null() ? kNullText : date_text(m_value);
}

// ---------------------------------------------------------------- ValueTime

std::shared_ptr<ValueTime> ValueTime::create() {
    return Core::make_object<ValueTime>(Core::DateTime::now_local());
}

std::shared_ptr<ValueTime> ValueTime::new_time(const Core::DateTime& datetime) {
    if (datetime.is_null()) [[unlikely]] {
        Core::detail::assertion_failed(__PRETTY_FUNCTION__, "datetime != NULL");
        return nullptr;
    }
    return Core::make_object<ValueTime>(datetime.to_utc());
}

std::shared_ptr<ValueTime> ValueTime::new_hms(int hour, int minute, double seconds) {
    return Core::make_object<ValueTime>(Core::DateTime::utc(1970, 1, 1, hour, minute, seconds));
}

std::shared_ptr<ValueTime> ValueTime::create_from_text(std::string_view text) {
    auto value = Core::make_object<ValueTime>(Core::DateTime());
    value->hold_civil(civil_of(parse_time_of_day(text)), CivilZone::Utc, text);
    return value;
}

OMBRIX_DEFINE_TYPE(ValueTime, "OmbrixProvidersContractsValueTime");

std::string ValueTime::default_text() const {
    if (m_zone != CivilZone::None)
        return time_text(m_civil.hour, m_civil.minute, static_cast<int>(m_civil.microseconds / 1000000u));
    return m_value.is_null() ? kNullText : time_text(m_value);
}

// ---------------------------------------------------------------- ValueTimeSpan

std::shared_ptr<ValueTimeSpan> ValueTimeSpan::create(std::int64_t count) {
    return Core::make_object<ValueTimeSpan>(0, count);
}

std::shared_ptr<ValueTimeSpan> ValueTimeSpan::new_interval(std::int32_t number, std::int64_t count) {
    return Core::make_object<ValueTimeSpan>(number, count);
}

const Core::TypeInfo& ValueTimeSpan::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueTimeSpan, ValueObject>("OmbrixProvidersContractsValueTimeSpan")
            .property("itsvalue", &ValueTimeSpan::get_itsvalue, &ValueTimeSpan::set_itsvalue, std::int64_t{0})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueTimeSpan);

}  // namespace Ombrix::Providers::Contracts
