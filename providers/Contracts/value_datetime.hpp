/// @file Temporal values: date-times, dates, times of day and time spans.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "providers/Contracts/value_object.hpp"
#include "providers/Core/datetime.hpp"

namespace Ombrix::Providers::Contracts {

namespace detail {
/// Wall-clock fields of a moment whose GDateTime is not made yet; year 0 means "no moment".
struct CivilTime {
    std::int16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0;
    std::uint32_t microseconds = 0;  // within the minute
};
}  // namespace detail

/// A date-time cell. It keeps the wall-clock time it was given: a text without an offset is read
/// in UTC and printed in the zone it was read in, so text -> value -> text is the identity in any
/// local time zone. Made from a server's text that the default form would not reproduce (fractional
/// seconds, zero dates, TIME values outside one day) it keeps that exact text for `to_string`.
///
/// A value read from a server keeps the fields of its text and makes its GDateTime only when one
/// is asked for: a result grid prints far more cells than it computes with.
class OMBRIX_PROVIDERS_EXPORT ValueDateTime : public ValueObject {

public:
    /// The current local time.
    static std::shared_ptr<ValueDateTime> create();
    /// `datetime` converted to the local zone.
    static std::shared_ptr<ValueDateTime> new_datetime(const Core::DateTime& datetime);
    /// `text` read as ISO 8601 (UTC when it has no offset); text that does not parse gives the
    /// Unix epoch in local time.
    static std::shared_ptr<ValueDateTime> new_iso8601(std::string_view text);
    /// That moment in UTC (whole seconds).
    static std::shared_ptr<ValueDateTime> new_utc(int year, int month, int day, int hour, int minute, int seconds);
    /// A server's DATETIME or TIMESTAMP text ("YYYY-MM-DD HH:MM:SS[.ffffff]"), kept exactly.
    static std::shared_ptr<ValueDateTime> create_from_text(std::string_view text);

    OMBRIX_OBJECT(ValueDateTime, ValueObject);

    OMBRIX_PROPERTY_VIA(Core::DateTime, itsvalue, Core::DateTime(), Core::ReadWrite);
    Core::DateTime get_itsvalue() const;
    /// Replaces the moment (and forgets any source text). Always notifies `itsvalue`.
    void set_itsvalue(Core::DateTime value);
    /// The exact text the value was made from, when the default form would not reproduce it.
    const std::optional<std::string>& get_source_text() const { return m_text; }

    /// The held date-time formatted with strftime-like conversions; "" when none is held.
    std::string format(std::string_view pattern) const;

    /// A boxed date-time of the held moment in whole seconds, in the held zone.
    Core::Value to_value() const override;
    /// "%Y-%m-%d %H:%M:%S", "(NULL)" when no date-time is held.
    std::string to_string() const override;
    ValuePtr clone() const override;
    std::string_view get_name() const override { return "datetime"; }
    DataType get_data_type() const override { return DataType::DATETIME; }

protected:
    using Civil = detail::CivilTime;
    /// The zone the civil fields are in; None when the held GDateTime is the value.
    enum class CivilZone : std::uint8_t { None, Utc, Local };

    explicit ValueDateTime(Core::DateTime value) : m_value(std::move(value)) {}
    /// The default text form of the held moment, without any source text.
    virtual std::string default_text() const;
    /// Copies the moment and source text into a new value of the same class.
    template <class T>
    std::shared_ptr<T> copy_as() const {
        auto copy = Core::make_object<T>(m_value);
        copy->m_civil = m_civil;
        copy->m_zone = m_zone;
        copy->m_text = m_text;
        return copy;
    }
    /// Holds these fields (in `zone`) as the moment; the source text is kept only when the default
    /// form of the fields would not reproduce it, and as the whole value when the fields are not a
    /// real moment (zero dates).
    void hold_civil(const Civil& civil, CivilZone zone, std::string_view text);
    /// The moment, made from the civil fields on first use.
    const Core::DateTime& moment() const;

    mutable Core::DateTime m_value;
    Civil m_civil;
    CivilZone m_zone = CivilZone::None;
    std::optional<std::string> m_text;
};

/// A calendar-date cell: the held date-time is local midnight of the day.
class OMBRIX_PROVIDERS_EXPORT ValueDate final : public ValueDateTime {

public:
    /// The current local time.
    static std::shared_ptr<ValueDate> create();
    /// Local midnight of that day.
    static std::shared_ptr<ValueDate> new_dmy(int year, int month, int day);
    static std::shared_ptr<ValueDate> new_date(const Core::Date& date);
    /// `text` read as ISO 8601 in the local zone; a plain "YYYY-MM-DD" is that day. Unparsable text
    /// gives the Unix epoch in local time.
    static std::shared_ptr<ValueDate> new_iso8601(std::string_view text);
    /// A server's DATE text ("YYYY-MM-DD"), kept exactly when it is not a real day ("0000-00-00").
    static std::shared_ptr<ValueDate> create_from_text(std::string_view text);

    OMBRIX_OBJECT(ValueDate, ValueDateTime);

    /// A boxed calendar date with the held year, month and day.
    Core::Value to_value() const override;
    ValuePtr clone() const override { return copy_as<ValueDate>(); }
    std::string_view get_name() const override { return "date"; }
    DataType get_data_type() const override { return DataType::DATE; }

protected:
    std::string default_text() const override;

private:
    friend class ValueDateTime;
    using ValueDateTime::ValueDateTime;
};

/// A time-of-day cell: a date-time on 1970-01-01 UTC whose text is "%H:%M:%S".
class OMBRIX_PROVIDERS_EXPORT ValueTime final : public ValueDateTime {

public:
    /// The current local time.
    static std::shared_ptr<ValueTime> create();
    /// `datetime` converted to UTC.
    static std::shared_ptr<ValueTime> new_time(const Core::DateTime& datetime);
    /// That time of day (fractional seconds kept) on the fixed date 1970-01-01, UTC.
    static std::shared_ptr<ValueTime> new_hms(int hour, int minute, double seconds);
    /// A server's TIME text: "HH:MM:SS[.ffffff]" within a day becomes that time; a negative or
    /// over-24-hour TIME keeps the server's text.
    static std::shared_ptr<ValueTime> create_from_text(std::string_view text);

    OMBRIX_OBJECT(ValueTime, ValueDateTime);

    ValuePtr clone() const override { return copy_as<ValueTime>(); }
    std::string_view get_name() const override { return "time"; }
    DataType get_data_type() const override { return DataType::TIME; }

protected:
    std::string default_text() const override;

private:
    friend class ValueDateTime;
    using ValueDateTime::ValueDateTime;
};

/// A time span: a signed 64-bit count, plus a 32-bit number given to `new_interval` (kept, unused).
class OMBRIX_PROVIDERS_EXPORT ValueTimeSpan final : public ValueHolder<std::int64_t> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueTimeSpan> create(std::int64_t count = 0);
    static std::shared_ptr<ValueTimeSpan> new_interval(std::int32_t number, std::int64_t count);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    std::int32_t get_interval() const { return m_interval; }
    /// Copies the count only.
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "timespan"; }
    DataType get_data_type() const override { return DataType::TIMESPAN; }

private:
    ValueTimeSpan(std::int32_t number, std::int64_t count) : ValueHolder(count), m_interval(number) {}
    std::int32_t m_interval = 0;
};

}  // namespace Ombrix::Providers::Contracts
