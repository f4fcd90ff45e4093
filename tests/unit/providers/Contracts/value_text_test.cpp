#include <gio/gio.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ctime>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_enum.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Contracts/value_string.hpp"
#include "providers/Core/async.hpp"
#include "providers/Core/file.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/temp_dir.hpp"

using namespace Ombrix;
using namespace Ombrix::Providers::Contracts;

namespace {

Core::Bytes bytes_of(std::string_view text) { return Core::Bytes(text.begin(), text.end()); }

using Ombrix::Testing::TempDir;

/// While alive, the process's local time zone is `zone`. GLib re-reads the zone whenever TZ differs
/// from the identifier of the zone it cached, so setting TZ (and tzset for the C library) is enough,
/// and the former zone comes back the same way.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const gchar* old = g_getenv("TZ")) m_saved = old;
        m_had = g_getenv("TZ") != nullptr;
        g_setenv("TZ", zone, TRUE);
        tzset();
        GTimeZone* local = g_time_zone_new_local();
        m_active = g_strcmp0(g_time_zone_get_identifier(local), zone) == 0;
        g_time_zone_unref(local);
    }
    ~ScopedTimeZone() {
        if (m_had)
            g_setenv("TZ", m_saved.c_str(), TRUE);
        else
            g_unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    /// Whether GLib now uses the zone (false when the system lacks its data).
    bool active() const { return m_active; }

private:
    std::string m_saved;
    bool m_had = false;
    bool m_active = false;
};

template <class V>
Core::Status load(V& value, const std::string& filename) {
    Core::AsyncResultPtr result;
    value.load_async(filename, [&](Core::AsyncResultPtr r) { result = std::move(r); });
    Core::run_main_until([&] { return result != nullptr; });
    return value.load_finish(result);
}

template <class V>
Core::Status save(V& value, const std::string& filename) {
    Core::AsyncResultPtr result;
    value.save_async(filename, [&](Core::AsyncResultPtr r) { result = std::move(r); });
    Core::run_main_until([&] { return result != nullptr; });
    return value.save_finish(result);
}

void notifications_of(Core::Object& object, std::vector<std::string>& names) {
    object.signal_notify().connect([&names](std::string_view name) { names.emplace_back(name); });
}

}  // namespace

// ---------------------------------------------------------------- binary

TEST(ValueBinary, TextFormStopsAtTheFirstZeroAndFallsBackToHexadecimal) {
    EXPECT_EQ(ValueBinary::create(Core::Bytes{})->to_string(), "");
    EXPECT_EQ(ValueBinary::create(Core::Bytes{0x00, 0xFF})->to_string(), "");
    EXPECT_EQ(ValueBinary::create(Core::Bytes{0xFF, 0x41})->to_string(), "FF41");
    EXPECT_EQ(ValueBinary::create(Core::Bytes{'a', 'b', 'c', 0})->to_string(), "abc");
    EXPECT_EQ(ValueBinary::create(bytes_of("h\xc3\xa9llo"))->to_string(), "h\xc3\xa9llo");
    // Invalid UTF-8 before the zero byte: the whole buffer, zero included, in hexadecimal.
    EXPECT_EQ(ValueBlob::create(Core::Bytes{0xC3, 0x00, 0x41})->to_string(), "C30041");

    EXPECT_EQ(ValueBinary::create(Core::Bytes{})->to_hexadecimal(), "");
    EXPECT_EQ(ValueBinary::create(Core::Bytes{0x00, 0x0A, 0x7F, 0xAB, 0xFF})->to_hexadecimal(), "000A7FABFF");
}

TEST(ValueBinary, KeepsExactlyTheBytesItWasGiven) {
    const std::uint8_t raw[] = {0x00, 0x01, 0x00, 0xFF, 0x00};
    auto binary = ValueBinary::create(raw, sizeof raw);
    EXPECT_EQ(binary->to_bytes(), Core::Bytes(raw, raw + sizeof raw));
    EXPECT_EQ(binary->get_itsvalue().size(), 5u);
    EXPECT_EQ(binary->to_value().type_name(), "GBytes");
    EXPECT_EQ(binary->to_value().get_bytes(), Core::Bytes(raw, raw + sizeof raw));
    EXPECT_TRUE(ValueBinary::create(nullptr, 0)->to_bytes().empty());
    EXPECT_EQ(ValueBlob::create(raw, 3)->to_bytes(), (Core::Bytes{0x00, 0x01, 0x00}));

    auto copy = std::static_pointer_cast<ValueBinary>(binary->clone());
    copy->set_itsvalue(Core::Bytes{9});
    EXPECT_EQ(binary->to_bytes().size(), 5u);
    auto blob_copy = ValueBlob::create(raw, 2)->clone();
    EXPECT_EQ(blob_copy->type_name(), "OmbrixProvidersContractsValueBlob");

    GOutputStream* stream = g_memory_output_stream_new_resizable();
    ASSERT_TRUE(binary->write(stream).has_value());
    ASSERT_TRUE(g_output_stream_close(stream, nullptr, nullptr));
    auto* memory = G_MEMORY_OUTPUT_STREAM(stream);
    const auto* data = static_cast<const std::uint8_t*>(g_memory_output_stream_get_data(memory));
    EXPECT_EQ(Core::Bytes(data, data + g_memory_output_stream_get_data_size(memory)), binary->to_bytes());
    // A closed stream refuses the write, and its error comes back unchanged.
    auto refused = binary->write(stream);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().domain, "g-io-error-quark");
    EXPECT_EQ(refused.error().code, G_IO_ERROR_CLOSED);
    g_object_unref(stream);
}

// ---------------------------------------------------------------- text

TEST(ValueUtf16, RoundTripsThroughUtf16IncludingSupplementaryCharacters) {
    const std::string text = "h\xc3\xa9llo \xf0\x9f\x98\x80";  // "héllo 😀"
    auto wide = ValueUtf16::new_string(text);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->get_itsvalue().size(), 8u);  // the emoji takes a surrogate pair
    EXPECT_EQ(wide->get_itsvalue()[6], 0xD83D);
    EXPECT_EQ(wide->to_string(), text);
    EXPECT_EQ(wide->to_value().get_string(), text);
    EXPECT_EQ(wide->get_property("itsvalue").get_string(), text);
    EXPECT_EQ(wide->clone()->to_string(), text);
    EXPECT_EQ(ValueUtf16::new_string("")->to_string(), "");

    Testing::LogCapture log;
    EXPECT_EQ(ValueUtf16::new_string("bad \xff"), nullptr);
    EXPECT_EQ(ValueUtf16::create(std::u16string(1, u'\xD800'))->to_string(), "");  // a lone surrogate
    // Bad input in either direction is the data's problem: null results, no critical.
    EXPECT_TRUE(log.criticals().empty()) << log.criticals().front();
}

TEST(ValueUtf16, ItsValueIsSetAsUtf8ThroughThePropertySystem) {
    const std::string text = "h\xc3\xa9 \xf0\x9f\x98\x80";  // "hé 😀"
    auto wide = ValueUtf16::new_string("old");
    ASSERT_NE(wide, nullptr);
    std::vector<std::string> notified;
    notifications_of(*wide, notified);

    EXPECT_TRUE(wide->set_property("itsvalue", Core::Value::from_string(text)));
    EXPECT_EQ(wide->get_itsvalue(), u"h\u00e9 \U0001F600");
    EXPECT_EQ(wide->get_property("itsvalue").get_string(), text);
    // Like every value, a set notifies even when the content stays the same.
    EXPECT_TRUE(wide->set_property("itsvalue", Core::Value::from_string(text)));
    EXPECT_EQ(notified, (std::vector<std::string>{"itsvalue", "itsvalue"}));

    // A text that is not UTF-8 has no UTF-16 form: refused with a warning, the content kept.
    Testing::LogCapture log;
    wide->set_property("itsvalue", Core::Value::from_string("bad \xff"));
    EXPECT_EQ(wide->to_string(), text);
    EXPECT_EQ(notified.size(), 2u);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_NE(log.warnings()[0].find("'itsvalue'"), std::string::npos) << log.warnings()[0];
    EXPECT_TRUE(log.criticals().empty());
}

TEST(ValueUuid, NewIsALowerCaseVersionFourUuid) {
    const std::string uuid = ValueUuid::create()->to_string();
    ASSERT_EQ(uuid.size(), 36u) << uuid;
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(uuid[i], '-') << uuid;
        else
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(uuid[i])) &&
                        !std::isupper(static_cast<unsigned char>(uuid[i])))
                << uuid;
    }
    EXPECT_EQ(uuid[14], '4') << uuid;
    EXPECT_NE(std::string("89ab").find(uuid[19]), std::string::npos) << uuid;
    EXPECT_NE(ValueUuid::create()->to_string(), uuid);
    EXPECT_EQ(ValueUuid::new_uuid("ABC")->to_string(), "ABC");
}

// ---------------------------------------------------------------- temporal

struct ZoneCase {
    const char* zone;
    const char* epoch;       // the Unix epoch on the local wall clock
    const char* noon_utc;    // 2024-01-01 12:00:00 UTC on the local wall clock
};
const ZoneCase kZones[] = {
    {"America/New_York", "1969-12-31 19:00:00", "2024-01-01 07:00:00"},
    {"Asia/Kolkata", "1970-01-01 05:30:00", "2024-01-01 17:30:00"},
};

TEST(ValueDateTime, GarbageIsTheUnixEpochInLocalTime) {
    for (const auto& c : kZones) {
        ScopedTimeZone tz(c.zone);
        if (!tz.active()) GTEST_SKIP() << "no time-zone data for " << c.zone;
        SCOPED_TRACE(c.zone);
        for (const char* garbage : {"not a date", "", "2024-13-45 99:99:99"}) {
            auto value = ValueDateTime::new_iso8601(garbage);
            EXPECT_EQ(value->get_itsvalue().to_unix(), 0) << garbage;
            EXPECT_EQ(value->to_string(), c.epoch) << garbage;
        }
    }
}

TEST(ValueDateTime, TextSurvivesTheRoundTripInAnyLocalZone) {
    const std::vector<std::string> texts{"2024-07-01 12:34:56", "2024-01-31 00:00:00", "2024-03-10 02:30:00",
                                         "1969-12-31 23:59:59", "9999-12-31 23:59:59"};
    for (const auto& c : kZones) {
        ScopedTimeZone tz(c.zone);
        if (!tz.active()) GTEST_SKIP() << "no time-zone data for " << c.zone;
        SCOPED_TRACE(c.zone);
        for (const auto& text : texts) {
            SCOPED_TRACE(text);
            auto parsed = ValueDateTime::new_iso8601(text);
            EXPECT_EQ(parsed->to_string(), text);
            EXPECT_EQ(parsed->clone()->to_string(), text);
            EXPECT_EQ(parsed->format("%Y-%m-%d %H:%M:%S"), text);
            EXPECT_EQ(parsed->to_value().get_datetime().format("%Y-%m-%d %H:%M:%S"), text);
            EXPECT_EQ(IValue::factory(DataType::DATETIME, text)->to_string(), text);
            EXPECT_EQ(IValue::factory(DataType::TIMESTAMP, text)->to_string(), text);
            auto server = ValueDateTime::create_from_text(text);
            EXPECT_EQ(server->to_string(), text);
            EXPECT_FALSE(server->get_source_text().has_value());
        }
        EXPECT_EQ(IValue::factory(DataType::DATE, "2024-03-10")->to_string(), "2024-03-10");
        EXPECT_EQ(IValue::factory(DataType::DATE, "2024-11-03")->to_string(), "2024-11-03");
        EXPECT_EQ(IValue::factory(DataType::TIME, "02:30:00")->to_string(), "02:30:00");
        EXPECT_EQ(ValueTime::create_from_text("23:59:59")->to_string(), "23:59:59");
        // A moment the caller hands over is shown on the local wall clock.
        auto handed = ValueDateTime::new_datetime(Core::DateTime::utc(2024, 1, 1, 12, 0, 0));
        ASSERT_NE(handed, nullptr);
        EXPECT_EQ(handed->to_string(), c.noon_utc);
        EXPECT_EQ(handed->clone()->to_string(), c.noon_utc);
    }
}

TEST(ValueDateTime, ServerTextsTheDefaultFormCannotShowAreKept) {
    auto fraction = ValueDateTime::create_from_text("2024-01-31 10:20:30.123456");
    EXPECT_EQ(fraction->to_string(), "2024-01-31 10:20:30.123456");
    EXPECT_EQ(fraction->get_itsvalue().second(), 30);
    EXPECT_EQ(fraction->clone()->to_string(), "2024-01-31 10:20:30.123456");
    auto zero = ValueDateTime::create_from_text("0000-00-00 00:00:00");
    EXPECT_EQ(zero->to_string(), "0000-00-00 00:00:00");
    EXPECT_TRUE(zero->get_itsvalue().is_null());
    EXPECT_EQ(ValueDateTime::create_from_text("2024-02-30 10:00:00")->to_string(), "2024-02-30 10:00:00");
    auto zero_date = ValueDate::create_from_text("0000-00-00");
    EXPECT_EQ(zero_date->to_string(), "0000-00-00");
    EXPECT_EQ(zero_date->to_value().get_date(), Core::Date{});
    EXPECT_EQ(ValueDate::create_from_text("2024-02-29")->to_string(), "2024-02-29");
    EXPECT_FALSE(ValueDate::create_from_text("2024-02-29")->get_source_text().has_value());

    // Setting a moment replaces the kept text.
    fraction->set_itsvalue(Core::DateTime::utc(2001, 2, 3, 4, 5, 6));
    EXPECT_EQ(fraction->to_string(), "2001-02-03 04:05:06");
    EXPECT_FALSE(fraction->get_source_text().has_value());
}

TEST(ValueDateTime, DynamicValueDropsTheFractionOfASecond) {
    for (int micro : {1, 249, 123456, 500000, 999999}) {
        SCOPED_TRACE(micro);
        auto value = ValueDateTime::new_datetime(Core::DateTime::utc(2024, 1, 31, 10, 20, 30).add_seconds(micro / 1e6));
        const auto boxed = value->to_value();
        EXPECT_EQ(boxed.type_name(), "GDateTime");
        EXPECT_EQ(boxed.get_datetime().microsecond(), 0);
        EXPECT_EQ(boxed.get_datetime().to_unix(), value->get_itsvalue().to_unix());
    }
    auto iso = ValueDateTime::new_iso8601("2024-01-31T10:20:30.000249Z");
    EXPECT_EQ(iso->to_value().get_datetime().microsecond(), 0);
    EXPECT_EQ(iso->to_value().get_datetime().to_unix(), Core::DateTime::utc(2024, 1, 31, 10, 20, 30).to_unix());
    EXPECT_EQ(ValueDateTime::new_utc(2024, 1, 31, 10, 20, 30)->to_string(), "2024-01-31 10:20:30");
}

TEST(ValueDate, DaysAtLocalMidnight) {
    ScopedTimeZone tz("America/New_York");
    if (!tz.active()) GTEST_SKIP() << "no time-zone data";
    auto leap = ValueDate::new_dmy(2024, 2, 29);
    EXPECT_EQ(leap->to_string(), "2024-02-29");
    EXPECT_EQ(leap->get_itsvalue().hour(), 0);
    EXPECT_EQ(leap->get_itsvalue().utc_offset(), -5LL * 3600 * G_USEC_PER_SEC);
    EXPECT_EQ(leap->to_value().type_name(), "GDate");
    EXPECT_EQ(leap->to_value().get_date(), (Core::Date{2024, 2, 29}));
    EXPECT_EQ(ValueDate::new_date(Core::Date{2023, 12, 31})->to_string(), "2023-12-31");
    EXPECT_EQ(ValueDate::new_iso8601("2024-07-04")->to_string(), "2024-07-04");
    EXPECT_EQ(ValueDate::new_iso8601("nonsense")->get_itsvalue().to_unix(), 0);
    auto copy = leap->clone();
    EXPECT_EQ(copy->type_name(), "OmbrixProvidersContractsValueDate");
    EXPECT_EQ(copy->to_string(), "2024-02-29");
}

TEST(ValueTime, TimesOfDayAndServerTimesOutsideOneDay) {
    auto plain = ValueTime::create_from_text("10:20:30");
    EXPECT_EQ(plain->to_string(), "10:20:30");
    EXPECT_FALSE(plain->get_source_text().has_value());
    EXPECT_EQ(plain->format("%H:%M"), "10:20");
    EXPECT_EQ(ValueTime::create_from_text("00:00:00")->to_string(), "00:00:00");
    EXPECT_EQ(ValueTime::create_from_text("10:20:30.250000")->to_string(), "10:20:30.250000");
    for (const char* server : {"-01:00:00", "838:59:59", "-838:59:59", "24:00:00", "100:00:00.5"}) {
        auto value = ValueTime::create_from_text(server);
        EXPECT_EQ(value->to_string(), server);
        EXPECT_EQ(value->clone()->to_string(), server);
        EXPECT_EQ(value->get_data_type(), DataType::TIME);
    }
    EXPECT_EQ(ValueTime::new_hms(7, 8, 9.75)->to_string(), "07:08:09");
    EXPECT_EQ(ValueTime::new_hms(25, 0, 0)->to_string(), "(NULL)");
    auto converted = ValueTime::new_time(Core::DateTime::from_iso8601("2024-01-31T10:00:00+05:30", Core::Zone::Utc));
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(converted->to_string(), "04:30:00");
}

TEST(ValueTimeSpan, CloneKeepsTheCountAndDropsTheIntervalNumber) {
    auto span = ValueTimeSpan::new_interval(7, -3600000000LL);
    EXPECT_EQ(span->get_interval(), 7);
    EXPECT_EQ(span->get_itsvalue(), -3600000000LL);
    EXPECT_EQ(span->to_string(), "");
    EXPECT_EQ(span->to_value().get_string(), "");
    auto copy = std::dynamic_pointer_cast<ValueTimeSpan>(span->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->get_itsvalue(), -3600000000LL);
    EXPECT_EQ(copy->get_interval(), 0);
}

// ---------------------------------------------------------------- enumerations and spatial values

TEST(ValueEnum, InitializeAppendsMembersAndClonesCarryThem) {
    auto value = ValueEnum::create("b");
    EXPECT_TRUE(value->get_members().empty());
    value->initialize({"a", "b"});
    value->initialize({});
    value->initialize({"c"});
    EXPECT_EQ(value->get_members(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(value->to_value().get_string(), "b");

    auto copy = std::dynamic_pointer_cast<ValueEnum>(value->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->to_string(), "b");
    EXPECT_EQ(copy->get_members(), value->get_members());
    copy->initialize({"d"});
    copy->set_itsvalue("d");
    EXPECT_EQ(value->get_members().size(), 3u);
    EXPECT_EQ(value->to_string(), "b");

    auto flags = ValueFlags::create("x");
    EXPECT_EQ(flags->get_data_type(), DataType::ENUM);
    flags->initialize({"x", "y"});
    auto flags_copy = flags->clone();
    EXPECT_EQ(flags_copy->type_name(), "OmbrixProvidersContractsValueFlags");
    EXPECT_EQ(flags_copy->get_data_type(), DataType::ENUM);
    EXPECT_EQ(std::static_pointer_cast<ValueFlags>(flags_copy)->get_members().size(), 2u);

    auto set = ValueSet::create("a,c");
    EXPECT_EQ(set->get_data_type(), DataType::SET);
    EXPECT_EQ(set->clone()->to_string(), "a,c");
    EXPECT_EQ(set->clone()->type_name(), "OmbrixProvidersContractsValueSet");
}

TEST(ValueGeography, ReadsSignedCoordinates) {
    auto london = ValueGeography::create("51.5, -0.12");
    EXPECT_EQ(london->latitude(), 51.5);
    EXPECT_EQ(london->longitude(), -0.12);
    auto sydney = ValueGeography::create("-33.86,151.2");
    EXPECT_EQ(sydney->latitude(), -33.86);
    EXPECT_EQ(sydney->longitude(), 151.2);
    auto signed_plus = ValueGeography::create("+1.5,\t2");
    EXPECT_EQ(signed_plus->latitude(), 1.5);
    EXPECT_EQ(signed_plus->longitude(), 2.0);
    auto later_line = ValueGeography::create("place\n10.5, 20.25");
    EXPECT_EQ(later_line->latitude(), 10.5);
    EXPECT_EQ(later_line->longitude(), 20.25);
    for (const char* text : {"", "POINT(1 2)", "north, south"}) {
        auto none = ValueGeography::create(text);
        EXPECT_EQ(none->latitude(), 0.0) << text;
        EXPECT_EQ(none->longitude(), 0.0) << text;
    }
    EXPECT_EQ(london->to_value().get_string(), "51.5, -0.12");
    EXPECT_EQ(london->clone()->type_name(), "OmbrixProvidersContractsValueGeography");
    EXPECT_EQ(ValueGeometry::create("POINT(1 2)")->to_value().get_string(), "POINT(1 2)");
}

// ---------------------------------------------------------------- files

TEST(ValueBinary, SavesAndLoadsExactBytes) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("blob.bin");
    Core::Bytes content(2500);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>((i * 7) % 256);
    auto source = ValueBinary::create(content);
    ASSERT_TRUE(save(*source, path).has_value());
    auto on_disk = Core::read_file(path);
    ASSERT_TRUE(on_disk.has_value());
    EXPECT_EQ(bytes_of(*on_disk), content);

    auto target = ValueBlob::create(Core::Bytes{1, 2, 3});
    std::vector<std::string> notified;
    notifications_of(*target, notified);
    ASSERT_TRUE(load(*target, path).has_value());
    EXPECT_EQ(target->to_bytes(), content);
    EXPECT_EQ(notified, std::vector<std::string>{"itsvalue"});

    // Saving an empty value truncates the file.
    ASSERT_TRUE(save(*ValueBinary::create(), path).has_value());
    EXPECT_EQ(Core::read_file(path).value_or("x"), "");
}

TEST(ValueString, SavesUtf8AndLoadsTheExactText) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string text_file = dir.file("two-lines.txt");
    ASSERT_TRUE(Core::write_file(text_file, "a\nb").has_value());
    auto text = ValueString::create("before");
    ASSERT_TRUE(load(*text, text_file).has_value());
    EXPECT_EQ(text->to_string(), "a\nb");

    ASSERT_TRUE(Core::write_file(text_file, "x\r\ny\n\n").has_value());
    ASSERT_TRUE(load(*text, text_file).has_value());
    EXPECT_EQ(text->to_string(), "x\r\ny\n\n");

    const std::string saved = dir.file("saved.txt");
    auto source = ValueJson::create("{\"name\": \"h\xc3\xa9llo\"}\n");
    ASSERT_TRUE(save(*source, saved).has_value());
    EXPECT_EQ(Core::read_file(saved).value_or(""), "{\"name\": \"h\xc3\xa9llo\"}\n");
    auto empty = ValueString::create("not yet");
    ASSERT_TRUE(Core::write_file(saved, "").has_value());
    ASSERT_TRUE(load(*empty, saved).has_value());
    EXPECT_EQ(empty->to_string(), "");
}

TEST(ValueString, MissingFilesAndUnwritablePathsReportThePlatformError) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string missing = dir.file("missing.txt");

    auto text = ValueString::create("kept");
    std::vector<std::string> notified;
    notifications_of(*text, notified);
    auto status = load(*text, missing);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-file-error-quark");
    EXPECT_EQ(status.error().code, G_FILE_ERROR_NOENT);
    EXPECT_EQ(text->to_string(), "kept");
    EXPECT_TRUE(notified.empty());

    auto binary = ValueBinary::create(Core::Bytes{7});
    status = load(*binary, missing);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-file-error-quark");
    EXPECT_EQ(status.error().code, G_FILE_ERROR_NOENT);
    EXPECT_EQ(binary->to_bytes(), Core::Bytes{7});

    const std::string unwritable = dir.file("no-such-folder/out.bin");
    status = save(*binary, unwritable);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-io-error-quark");
    EXPECT_EQ(status.error().code, G_IO_ERROR_NOT_FOUND);
    status = save(*text, unwritable);
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().domain, "g-io-error-quark");
    EXPECT_EQ(status.error().code, G_IO_ERROR_NOT_FOUND);
}

// ---------------------------------------------------------------- required arguments

TEST(ValueConstructors, UnsetRequiredArgumentsGiveACriticalNamingThemAndNoValue) {
    Testing::LogCapture log;
    const std::string_view unset;
    EXPECT_EQ(ValueString::create(unset), nullptr);
    EXPECT_TRUE(log.has_critical("text != NULL"));
    EXPECT_EQ(ValueXml::create(unset), nullptr);
    EXPECT_EQ(ValueJson::create(unset), nullptr);
    EXPECT_EQ(ValueGeography::create(unset), nullptr);
    EXPECT_EQ(log.criticals().size(), 4u);

    const std::vector<std::pair<std::function<bool()>, std::string>> cases{
        {[&] { return ValueError::create(1, unset) == nullptr; }, "message != NULL"},
        {[&] { return ValueUuid::new_uuid(unset) == nullptr; }, "uuid != NULL"},
        {[&] { return ValueEnum::create(unset) == nullptr; }, "enum_value != NULL"},
        {[&] { return ValueFlags::create(unset) == nullptr; }, "flag_value != NULL"},
        {[&] { return ValueSet::create(unset) == nullptr; }, "set_value != NULL"},
        {[&] { return ValueGeometry::create(unset) == nullptr; }, "value != NULL"},
        {[&] { return ValueDateTime::new_iso8601(unset) == nullptr; }, "datetime != NULL"},
        {[&] { return ValueDateTime::new_datetime(Core::DateTime()) == nullptr; }, "datetime != NULL"},
        {[&] { return ValueTime::new_time(Core::DateTime()) == nullptr; }, "datetime != NULL"},
        {[&] { return ValueDate::new_iso8601(unset) == nullptr; }, "date != NULL"},
        {[&] { return ValueDateTime::new_utc(2024, 1, 2, 3, 4, 5)->format(unset).empty(); }, "format != NULL"},
    };
    for (const auto& [call, condition] : cases) {
        const std::size_t before = log.criticals().size();
        EXPECT_TRUE(call()) << condition;
        ASSERT_EQ(log.criticals().size(), before + 1) << condition;
        EXPECT_NE(log.criticals().back().find(condition), std::string::npos) << log.criticals().back();
    }

    // Empty texts are set texts; the factory and the by-name factories make empty values quietly.
    const std::size_t before = log.criticals().size();
    EXPECT_EQ(ValueString::create("")->to_string(), "");
    EXPECT_EQ(IValue::factory(DataType::STRING, std::nullopt)->to_string(), "");
    EXPECT_EQ(IValue::factory(DataType::UUID, std::nullopt)->to_string(), "");
    EXPECT_EQ(IValue::factory(DataType::XML, std::nullopt)->to_string(), "");
    for (const char* name : {"OmbrixProvidersContractsValueString", "OmbrixProvidersContractsValueEnum",
                             "OmbrixProvidersContractsValueSet", "OmbrixProvidersContractsValueGeography"}) {
        const auto* type = Core::TypeInfo::lookup(name);
        ASSERT_NE(type, nullptr) << name;
        EXPECT_NE(type->create(), nullptr) << name;
    }
    EXPECT_EQ(log.criticals().size(), before);
}
