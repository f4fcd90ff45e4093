#include "providers/Contracts/value_datetime.hpp"

#include <glib.h>

#include <cstdio>

namespace Ombrix::Providers::Contracts {

namespace {

/// The fields of a "YYYY-MM-DD[ HH:MM:SS[.ffffff]]" text.
struct Civil {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double seconds = 0;
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
bool read_seconds(std::string_view text, std::size_t pos, double& seconds) {
    int whole = 0;
    if (!read_number(text, pos, 2, whole)) return false;
    double fraction = 0, scale = 0.1;
    if (pos < text.size()) {
        if (text[pos] != '.') return false;
        for (++pos; pos < text.size(); ++pos, scale /= 10) {
            if (text[pos] < '0' || text[pos] > '9') return false;
            fraction += (text[pos] - '0') * scale;
        }
    }
    seconds = whole + fraction;
    return true;
}

std::optional<Civil> parse_civil(std::string_view text) {
    Civil c;
    std::size_t pos = 0;
    if (!read_number(text, pos, 4, c.year) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!read_number(text, pos, 2, c.month) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!read_number(text, pos, 2, c.day)) return std::nullopt;
    if (pos == text.size()) return c;
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    if (!read_number(text, pos, 2, c.hour) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_number(text, pos, 2, c.minute) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_seconds(text, pos, c.seconds)) return std::nullopt;
    c.has_time = true;
    return c;
}

/// "HH:MM:SS[.ffffff]" within one day.
std::optional<Civil> parse_time_of_day(std::string_view text) {
    Civil c;
    std::size_t pos = 0;
    if (!read_number(text, pos, 2, c.hour) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_number(text, pos, 2, c.minute) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!read_seconds(text, pos, c.seconds)) return std::nullopt;
    if (c.hour > 23 || c.minute > 59 || c.seconds >= 60) return std::nullopt;
    c.has_time = true;
    return c;
}

std::string two_digits(int v) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", v);
    return buffer;
}

std::string date_text(const Core::DateTime& dt) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", dt.year(), dt.month(), dt.day());
    return buffer;
}

std::string time_text(const Core::DateTime& dt) {
    return two_digits(dt.hour()) + ':' + two_digits(dt.minute()) + ':' + two_digits(dt.second());
}

constexpr const char* kNullText = "(NULL)";

}  // namespace

// ---------------------------------------------------------------- ValueDateTime

std::shared_ptr<ValueDateTime> ValueDateTime::create() {
    return std::shared_ptr<ValueDateTime>(new ValueDateTime(Core::DateTime::now_local()));
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_datetime(const Core::DateTime& datetime) {
    OMBRIX_RETURN_VAL_IF_FAIL(!datetime.is_null(), nullptr);
    return std::shared_ptr<ValueDateTime>(new ValueDateTime(datetime.to_local()));
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_iso8601(std::string_view text) {
    auto dt = Core::DateTime::from_iso8601(text, Core::Zone::Utc);
    if (!dt) {
        // GLib wants a 'T' between date and time; the servers' own form has a blank.
        if (auto civil = parse_civil(text); civil && civil->has_time)
            dt = Core::DateTime::utc(civil->year, civil->month, civil->day, civil->hour, civil->minute, civil->seconds);
    }
    if (!dt) dt = Core::DateTime::from_unix_local(0);
    return std::shared_ptr<ValueDateTime>(new ValueDateTime(std::move(dt)));
}

std::shared_ptr<ValueDateTime> ValueDateTime::new_utc(int year, int month, int day, int hour, int minute,
                                                       int seconds) {
    return std::shared_ptr<ValueDateTime>(
        new ValueDateTime(Core::DateTime::utc(year, month, day, hour, minute, seconds)));
}

std::shared_ptr<ValueDateTime> ValueDateTime::create_from_text(std::string_view text) {
    Core::DateTime dt;
    if (auto civil = parse_civil(text))
        dt = Core::DateTime::utc(civil->year, civil->month, civil->day, civil->hour, civil->minute, civil->seconds);
    auto value = std::shared_ptr<ValueDateTime>(new ValueDateTime(std::move(dt)));
    value->keep_text_if_needed(text);
    return value;
}

const Core::TypeInfo& ValueDateTime::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueDateTime, ValueObject>("OmbrixProvidersContractsValueDateTime")
            .property("itsvalue", &ValueDateTime::get_itsvalue, &ValueDateTime::set_itsvalue, Core::DateTime())
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueDateTime);

void ValueDateTime::set_itsvalue(Core::DateTime value) {
    m_value = std::move(value);
    m_text.reset();
    notify("itsvalue");
}

void ValueDateTime::keep_text_if_needed(std::string_view text) {
    if (m_value.is_null() || default_text() != text) m_text = std::string(text);
}

std::string ValueDateTime::format(std::string_view pattern) const { return m_value.format(pattern); }

Core::Value ValueDateTime::to_value() const {
    if (m_value.is_null()) return Core::Value::from_datetime({});
    // Step back by the whole number of microseconds: a step in fractional seconds is rounded
    // toward zero by GDateTime and can leave one microsecond behind.
    return Core::Value::from_datetime(Core::DateTime(g_date_time_add(m_value.get(), -m_value.microsecond())));
}

std::string ValueDateTime::default_text() const {
    if (m_value.is_null()) return kNullText;
    return date_text(m_value) + ' ' + time_text(m_value);
}

std::string ValueDateTime::to_string() const { return m_text ? *m_text : default_text(); }

ValuePtr ValueDateTime::clone() const { return copy_as<ValueDateTime>(); }

// ---------------------------------------------------------------- ValueDate

std::shared_ptr<ValueDate> ValueDate::create() {
    return std::shared_ptr<ValueDate>(new ValueDate(Core::DateTime::now_local()));
}

std::shared_ptr<ValueDate> ValueDate::new_dmy(int year, int month, int day) {
    return std::shared_ptr<ValueDate>(new ValueDate(Core::DateTime::local(year, month, day, 0, 0, 0)));
}

std::shared_ptr<ValueDate> ValueDate::new_date(const Core::Date& date) { return new_dmy(date.year, date.month, date.day); }

std::shared_ptr<ValueDate> ValueDate::new_iso8601(std::string_view text) {
    auto dt = Core::DateTime::from_iso8601(text, Core::Zone::Local);
    if (!dt) {
        if (auto civil = parse_civil(text))
            dt = Core::DateTime::local(civil->year, civil->month, civil->day, civil->hour, civil->minute,
                                       civil->seconds);
    }
    if (!dt) dt = Core::DateTime::from_unix_local(0);
    return std::shared_ptr<ValueDate>(new ValueDate(std::move(dt)));
}

std::shared_ptr<ValueDate> ValueDate::create_from_text(std::string_view text) {
    Core::DateTime dt;
    if (auto civil = parse_civil(text); civil && !civil->has_time)
        dt = Core::DateTime::local(civil->year, civil->month, civil->day, 0, 0, 0);
    auto value = std::shared_ptr<ValueDate>(new ValueDate(std::move(dt)));
    value->keep_text_if_needed(text);
    return value;
}

const Core::TypeInfo& ValueDate::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueDate, ValueDateTime>("OmbrixProvidersContractsValueDate").build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueDate);

Core::Value ValueDate::to_value() const {
    if (m_value.is_null()) return Core::Value::from_date({});
    return Core::Value::from_date(Core::Date{m_value.year(), m_value.month(), m_value.day()});
}

std::string ValueDate::default_text() const { return m_value.is_null() ? kNullText : date_text(m_value); }

// ---------------------------------------------------------------- ValueTime

std::shared_ptr<ValueTime> ValueTime::create() {
    return std::shared_ptr<ValueTime>(new ValueTime(Core::DateTime::now_local()));
}

std::shared_ptr<ValueTime> ValueTime::new_time(const Core::DateTime& datetime) {
    OMBRIX_RETURN_VAL_IF_FAIL(!datetime.is_null(), nullptr);
    return std::shared_ptr<ValueTime>(new ValueTime(datetime.to_utc()));
}

std::shared_ptr<ValueTime> ValueTime::new_hms(int hour, int minute, double seconds) {
    return std::shared_ptr<ValueTime>(new ValueTime(Core::DateTime::utc(1970, 1, 1, hour, minute, seconds)));
}

std::shared_ptr<ValueTime> ValueTime::create_from_text(std::string_view text) {
    Core::DateTime dt;
    if (auto civil = parse_time_of_day(text))
        dt = Core::DateTime::utc(1970, 1, 1, civil->hour, civil->minute, civil->seconds);
    auto value = std::shared_ptr<ValueTime>(new ValueTime(std::move(dt)));
    value->keep_text_if_needed(text);
    return value;
}

const Core::TypeInfo& ValueTime::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueTime, ValueDateTime>("OmbrixProvidersContractsValueTime").build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueTime);

std::string ValueTime::default_text() const { return m_value.is_null() ? kNullText : time_text(m_value); }

// ---------------------------------------------------------------- ValueTimeSpan

std::shared_ptr<ValueTimeSpan> ValueTimeSpan::create(std::int64_t count) {
    return std::shared_ptr<ValueTimeSpan>(new ValueTimeSpan(0, count));
}

std::shared_ptr<ValueTimeSpan> ValueTimeSpan::new_interval(std::int32_t number, std::int64_t count) {
    return std::shared_ptr<ValueTimeSpan>(new ValueTimeSpan(number, count));
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
