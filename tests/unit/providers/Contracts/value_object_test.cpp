#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_enum.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "providers/Core/json.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using namespace Ombrix::Providers::Contracts;

namespace {

template <class T>
std::shared_ptr<T> made(DataType type, std::optional<std::string_view> raw) {
    auto value = std::dynamic_pointer_cast<T>(IValue::factory(type, raw));
    EXPECT_NE(value, nullptr) << to_string(type) << " from " << (raw ? std::string(*raw) : std::string("(null)"));
    return value;
}

std::int64_t integer(DataType type, std::optional<std::string_view> raw) {
    auto value = IValue::factory(type, raw);
    return value ? iinteger_to_integer(*value) : -999;
}

std::uint64_t unsigned_of(DataType type, std::optional<std::string_view> raw) {
    auto value = IValue::factory(type, raw);
    return value ? iunsigned_to_unsigned(*value) : 999;
}

double number(DataType type, std::optional<std::string_view> raw) {
    auto value = IValue::factory(type, raw);
    return value ? inumeric_to_double(*value) : -999.0;
}

int notifications(Core::Object& object, const std::function<void()>& action) {
    int count = 0;
    auto connection = object.signal_notify().connect([&](std::string_view name) {
        EXPECT_EQ(name, "itsvalue");
        ++count;
    });
    action();
    connection.disconnect();
    return count;
}

/// Seconds between `a` and `b`, as a whole number.
std::int64_t seconds_apart(const Core::DateTime& a, const Core::DateTime& b) {
    return std::llabs(a.difference(b)) / G_USEC_PER_SEC;
}

void remove_tree(const std::string& path) {
    if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) {
        if (GDir* dir = g_dir_open(path.c_str(), 0, nullptr)) {
            while (const gchar* name = g_dir_read_name(dir)) remove_tree(path + "/" + name);
            g_dir_close(dir);
        }
        g_rmdir(path.c_str());
    } else {
        g_remove(path.c_str());
    }
}

/// While alive, LC_NUMERIC is a locale whose decimal point is a comma: de_DE.UTF-8, else any installed
/// one with a comma, else one compiled privately with localedef (when the system has it).
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) m_saved = current;
        if (try_locale("de_DE.UTF-8") || try_installed() || try_compiled()) m_active = true;
    }
    ~CommaDecimalLocale() {
        std::setlocale(LC_NUMERIC, m_saved.c_str());
        if (!m_folder.empty()) {
            if (m_had_locpath)
                g_setenv("LOCPATH", m_saved_locpath.c_str(), TRUE);
            else
                g_unsetenv("LOCPATH");
            remove_tree(m_folder);
        }
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool active() const { return m_active; }

private:
    bool try_locale(const char* name) {
        if (!std::setlocale(LC_NUMERIC, name)) return false;
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 2.5);
        if (std::string(probe) == "2,5") return true;
        std::setlocale(LC_NUMERIC, m_saved.c_str());
        return false;
    }

    bool try_installed() {
        gchar* out = nullptr;
        gint status = 0;
        if (!g_spawn_command_line_sync("locale -a", &out, nullptr, &status, nullptr) || !out) return false;
        std::istringstream lines(out);
        g_free(out);
        for (std::string name; std::getline(lines, name);)
            if (!name.empty() && try_locale(name.c_str())) return true;
        return false;
    }

    /// Compiles a locale that defines only LC_NUMERIC, with a decimal comma, into a private folder.
    bool try_compiled() {
        gchar* localedef = g_find_program_in_path("localedef");
        if (!localedef) return false;
        gchar* folder = g_dir_make_tmp("ombrix-locale-XXXXXX", nullptr);
        if (!folder) {
            g_free(localedef);
            return false;
        }
        m_folder = folder;
        g_free(folder);
        const std::string source = m_folder + "/comma.src";
        const std::string target = m_folder + "/ombrix_comma";
        const char* definition = "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
        bool ran = g_file_set_contents(source.c_str(), definition, -1, nullptr);
        if (ran) {
            // -c: the other categories are missing on purpose; only LC_NUMERIC is ever selected.
            gchar* argv[] = {localedef,
                             const_cast<gchar*>("-c"),
                             const_cast<gchar*>("-i"),
                             const_cast<gchar*>(source.c_str()),
                             const_cast<gchar*>("-f"),
                             const_cast<gchar*>("ANSI_X3.4-1968"),
                             const_cast<gchar*>(target.c_str()),
                             nullptr};
            ran = g_spawn_sync(nullptr, argv, nullptr,
                               static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        }
        g_free(localedef);
        if (!ran) return false;
        if (const gchar* old = g_getenv("LOCPATH")) {
            m_saved_locpath = old;
            m_had_locpath = true;
        }
        g_setenv("LOCPATH", m_folder.c_str(), TRUE);  // glibc reads it on every setlocale
        return try_locale("ombrix_comma");
    }

    std::string m_saved = "C";
    std::string m_folder;
    std::string m_saved_locpath;
    bool m_had_locpath = false;
    bool m_active = false;
};

}  // namespace

// ---------------------------------------------------------------- factory

TEST(ValueFactory, BooleansAreTrueOnlyForTheExactText) {
    EXPECT_TRUE(made<ValueBoolean>(DataType::BOOLEAN, "true")->get_boolean());
    EXPECT_FALSE(made<ValueBoolean>(DataType::BOOLEAN, "TRUE")->get_boolean());
    EXPECT_FALSE(made<ValueBoolean>(DataType::BOOLEAN, "1")->get_boolean());
    EXPECT_FALSE(made<ValueBoolean>(DataType::BOOLEAN, " true")->get_boolean());
    EXPECT_FALSE(made<ValueBoolean>(DataType::BOOLEAN, "")->get_boolean());
    EXPECT_FALSE(made<ValueBoolean>(DataType::BOOLEAN, std::nullopt)->get_boolean());
}

TEST(ValueFactory, SmallSignedIntegersAreReadLikeAtoiAndTruncated) {
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "0x10")->get_int32(), 0);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, " \t-12xyz")->get_int32(), -12);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "+7")->get_int32(), 7);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "010")->get_int32(), 10);  // atoi knows no octal
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "abc")->get_int32(), 0);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "- 5")->get_int32(), 0);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "2147483647")->get_int32(), 2147483647);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "-2147483648")->get_int32(), -2147483647 - 1);
    EXPECT_EQ(made<ValueInt16>(DataType::INT16, "70000")->get_int16(), 4464);
    EXPECT_EQ(made<ValueInt16>(DataType::INT16, "-32768")->get_int16(), -32768);
    EXPECT_EQ(made<ValueInt8>(DataType::INT8, "200")->get_int8(), -56);
    EXPECT_EQ(made<ValueInt8>(DataType::INT8, "-5")->get_int8(), -5);
    // Past the 64-bit range the reading saturates before it is narrowed, as glibc's atoi does.
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "99999999999999999999")->get_int32(), -1);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "-99999999999999999999")->get_int32(), 0);
    EXPECT_EQ(made<ValueInt16>(DataType::INT16, "99999999999999999999")->get_int16(), -1);
    EXPECT_EQ(made<ValueInt8>(DataType::INT8, "-9223372036854775807")->get_int8(), 1);
    EXPECT_EQ(made<ValueInt32>(DataType::INT32, "-9223372036854775808")->get_int32(), 0);
    for (auto type : {DataType::INT8, DataType::INT16, DataType::INT32}) EXPECT_EQ(integer(type, std::nullopt), 0);
}

TEST(ValueFactory, WideAndUnsignedIntegersDetectTheBase) {
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "0x10")->get_int64(), 16);
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "0X1f")->get_int64(), 31);
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "010")->get_int64(), 8);
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "-0x10")->get_int64(), -16);
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "  42abc")->get_int64(), 42);
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "-9223372036854775808")->get_int64(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "9223372036854775807")->get_int64(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(made<ValueInt64>(DataType::INT64, "nope")->get_int64(), 0);

    EXPECT_EQ(made<ValueUInt8>(DataType::UINT8, "300")->get_uint8(), 44);
    EXPECT_EQ(made<ValueUInt8>(DataType::UINT8, "0x10")->get_uint8(), 16);
    EXPECT_EQ(made<ValueUInt8>(DataType::UINT8, "010")->get_uint8(), 8);
    EXPECT_EQ(made<ValueUInt16>(DataType::UINT16, "65537")->get_uint16(), 1);
    EXPECT_EQ(made<ValueUInt32>(DataType::UINT32, "0x100000001")->get_uint32(), 1u);
    EXPECT_EQ(made<ValueUInt32>(DataType::UINT32, "4294967295")->get_uint32(), 4294967295u);
    EXPECT_EQ(made<ValueUInt64>(DataType::UINT64, "18446744073709551615")->get_uint64(),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(made<ValueUInt64>(DataType::UINT64, "0xFFFFFFFFFFFFFFFF")->get_uint64(),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(made<ValueUInt64>(DataType::UINT64, "017")->get_uint64(), 15u);

    for (auto type : {DataType::INT64, DataType::UINT8, DataType::UINT16, DataType::UINT32, DataType::UINT64}) {
        EXPECT_EQ(integer(type, std::nullopt), 0) << to_string(type);
        EXPECT_EQ(integer(type, ""), 0) << to_string(type);
    }
    for (auto type : {DataType::UINT8, DataType::UINT16, DataType::UINT32, DataType::UINT64})
        EXPECT_EQ(unsigned_of(type, "12"), 12u) << to_string(type);
}

TEST(ValueFactory, FloatingKindsParseAsTheirWidthAndDecimalStaysText) {
    // Money is a double: no detour through single precision.
    EXPECT_EQ(made<ValueMoney>(DataType::MONEY, "1.5")->get_itsvalue(), 1.5);
    EXPECT_EQ(made<ValueMoney>(DataType::MONEY, "0.1")->get_itsvalue(), 0.1);
    EXPECT_EQ(made<ValueMoney>(DataType::MONEY, "12345678.91")->get_itsvalue(), 12345678.91);
    EXPECT_EQ(number(DataType::MONEY, std::nullopt), 0.0);

    EXPECT_EQ(made<ValueFloat>(DataType::FLOAT, "0.1")->get_itsvalue(), 0.1f);
    EXPECT_EQ(made<ValueFloat>(DataType::FLOAT, "3.4028235e38")->get_itsvalue(), std::numeric_limits<float>::max());
    EXPECT_EQ(made<ValueFloat>(DataType::FLOAT, " -2.5")->get_itsvalue(), -2.5f);
    EXPECT_EQ(made<ValueFloat>(DataType::FLOAT, "x")->get_itsvalue(), 0.0f);
    EXPECT_EQ(number(DataType::FLOAT, std::nullopt), 0.0);

    EXPECT_EQ(made<ValueDouble>(DataType::DOUBLE, "0.1")->get_itsvalue(), 0.1);
    EXPECT_EQ(made<ValueDouble>(DataType::DOUBLE, "-1.7976931348623157e308")->get_itsvalue(),
              std::numeric_limits<double>::lowest());
    EXPECT_EQ(made<ValueDouble>(DataType::DOUBLE, "1,5")->get_itsvalue(), 1.0);  // '.' is the only decimal point
    EXPECT_EQ(number(DataType::DOUBLE, std::nullopt), 0.0);

    auto decimal = made<ValueXml>(DataType::DECIMAL, "1.5");
    EXPECT_EQ(decimal->to_string(), "1.5");
    EXPECT_EQ(decimal->get_data_type(), DataType::XML);
    EXPECT_EQ(made<ValueXml>(DataType::DECIMAL, "123456789012345678901234567890.000000001")->to_string(),
              "123456789012345678901234567890.000000001");
}

TEST(ValueFactory, TemporalKindsAndTimeSpans) {
    EXPECT_EQ(made<ValueDate>(DataType::DATE, "2024-02-29")->to_string(), "2024-02-29");
    EXPECT_EQ(made<ValueDateTime>(DataType::DATETIME, "2024-01-31 10:20:30")->to_string(), "2024-01-31 10:20:30");
    EXPECT_EQ(made<ValueDateTime>(DataType::DATETIME, "2024-01-31T10:20:30Z")->to_string(), "2024-01-31 10:20:30");
    auto stamp = made<ValueDateTime>(DataType::TIMESTAMP, "1999-12-31 23:59:59");
    EXPECT_EQ(stamp->get_data_type(), DataType::DATETIME);
    EXPECT_EQ(stamp->to_string(), "1999-12-31 23:59:59");

    // TIME: a time of day, or the time of a full date-time; anything else is midnight.
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "10:20:30")->to_string(), "10:20:30");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "10:20:30.500000")->to_string(), "10:20:30");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "23:59:59.999999")->to_string(), "23:59:59");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "2024-01-31T23:59:58Z")->to_string(), "23:59:58");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "2024-01-31T08:15:00+05:30")->to_string(), "08:15:00");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "garbage")->to_string(), "00:00:00");
    EXPECT_EQ(made<ValueTime>(DataType::TIME, "25:00:00")->to_string(), "00:00:00");

    // No text: now.
    const auto now = Core::DateTime::now_local();
    EXPECT_LE(seconds_apart(made<ValueDateTime>(DataType::DATETIME, std::nullopt)->get_itsvalue(), now), 5);
    EXPECT_LE(seconds_apart(made<ValueDate>(DataType::DATE, std::nullopt)->get_itsvalue(), now), 5);
    auto time_now = made<ValueTime>(DataType::TIME, std::nullopt)->get_itsvalue();
    const int held = time_now.hour() * 3600 + time_now.minute() * 60 + time_now.second();
    const int expected = now.hour() * 3600 + now.minute() * 60 + now.second();
    EXPECT_LE(std::min((held - expected + 86400) % 86400, (expected - held + 86400) % 86400), 5);

    auto span = made<ValueTimeSpan>(DataType::TIMESPAN, "0x10");
    EXPECT_EQ(span->get_itsvalue(), 16);
    EXPECT_EQ(span->get_interval(), 0);
    EXPECT_EQ(made<ValueTimeSpan>(DataType::TIMESPAN, "-90000000")->get_itsvalue(), -90000000);
    EXPECT_EQ(made<ValueTimeSpan>(DataType::TIMESPAN, std::nullopt)->get_itsvalue(), 0);
}

TEST(ValueFactory, TextBinaryObjectAndEveryOtherKind) {
    EXPECT_EQ(made<ValueString>(DataType::STRING, "héllo")->to_string(), "héllo");
    EXPECT_EQ(IValue::factory(DataType::STRING, "x")->type_name(), "OmbrixProvidersContractsValueString");
    EXPECT_EQ(made<ValueUuid>(DataType::UUID, "not-a-uuid")->to_string(), "not-a-uuid");
    EXPECT_EQ(made<ValueJson>(DataType::JSON, "{\"a\":1}")->to_string(), "{\"a\":1}");

    const std::string raw("a\0b", 3);
    auto binary = made<ValueBinary>(DataType::BINARY, raw);
    EXPECT_EQ(binary->get_data_type(), DataType::BINARY);
    EXPECT_EQ(binary->to_bytes(), (Core::Bytes{'a', 0, 'b'}));
    auto blob = made<ValueBlob>(DataType::BLOB, "\xff\x01");
    EXPECT_EQ(blob->to_bytes(), (Core::Bytes{0xFF, 0x01}));
    EXPECT_EQ(IValue::factory(DataType::OBJECT, "ignored")->type_name(), "OmbrixProvidersContractsValueObject");
    EXPECT_TRUE(IValue::factory(DataType::DBNULL, "x")->get_is_null());

    // Null raw: empty content.
    EXPECT_EQ(made<ValueString>(DataType::STRING, std::nullopt)->to_string(), "");
    EXPECT_EQ(made<ValueUuid>(DataType::UUID, std::nullopt)->to_string(), "");
    EXPECT_EQ(made<ValueJson>(DataType::JSON, std::nullopt)->to_string(), "");
    EXPECT_TRUE(made<ValueBinary>(DataType::BINARY, std::nullopt)->to_bytes().empty());
    EXPECT_TRUE(made<ValueBlob>(DataType::BLOB, std::nullopt)->to_bytes().empty());

    // Kinds without a class of their own, and numbers outside the enumeration, are XML text.
    for (auto type : {DataType::UNKNOWN, DataType::ENUM, DataType::FLAGS, DataType::SET, DataType::DECIMAL,
                      DataType::WSTRING, DataType::XML, DataType::GEOMETRY, DataType::GEOGRAPHY, DataType::POINTER,
                      DataType::VARIANT, DataType::ARRAY, DataType::ERROR, static_cast<DataType>(37),
                      static_cast<DataType>(-1), static_cast<DataType>(1000)}) {
        auto value = IValue::factory(type, "text");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type_name(), "OmbrixProvidersContractsValueXml") << static_cast<int>(type);
        EXPECT_EQ(value->to_string(), "text");
        EXPECT_EQ(IValue::factory(type)->to_string(), "");
    }
}

// ---------------------------------------------------------------- the family's contract

TEST(ValueObject, NamesDataTypesTypeNamesAndDumps) {
    struct Case {
        ValuePtr value;
        std::string_view name;
        DataType type;
        std::string type_name;
        std::string text;
    };
    const std::vector<Case> cases{
        {ValueObject::create(), "UNKNOWN", DataType::UNKNOWN, "ValueObject", ""},
        {ValueNull::create(), "NULL", DataType::DBNULL, "ValueNull", ""},
        {ValueError::create(1064, "bad"), "error", DataType::ERROR, "ValueError", "1064:bad"},
        {ValueBoolean::create(true), "bool", DataType::BOOLEAN, "ValueBoolean", "true"},
        {ValueInt8::create(-5), "byte", DataType::INT8, "ValueInt8", "-5"},
        {ValueInt16::create(-300), "int16", DataType::INT16, "ValueInt16", "-300"},
        {ValueInt32::create(-70000), "int32", DataType::INT32, "ValueInt32", "-70000"},
        {ValueInt64::create(std::numeric_limits<std::int64_t>::min()), "int64", DataType::INT64, "ValueInt64",
         "-9223372036854775808"},
        {ValueUInt8::create(255), "uint8", DataType::UINT8, "ValueUInt8", "255"},
        {ValueUInt16::create(65535), "uint16", DataType::UINT16, "ValueUInt16", "65535"},
        {ValueUInt32::create(4294967295u), "uint32", DataType::UINT32, "ValueUInt32", "4294967295"},
        {ValueUInt64::create(1), "uint64", DataType::UINT64, "ValueUInt64", "1"},
        {ValueFloat::create(0.1f), "float", DataType::FLOAT, "ValueFloat", "0.100000"},
        {ValueDouble::create(2.5), "double", DataType::DOUBLE, "ValueDouble", "2.500000"},
        {ValueMoney::create(-1234.5), "money", DataType::MONEY, "ValueMoney", "-1234.500000"},
        {ValueDecimal::create(1e20), "decimal", DataType::DECIMAL, "ValueDecimal", "100000000000000000000.000000"},
        {ValueString::create("s"), "string", DataType::STRING, "ValueString", "s"},
        {ValueXml::create("<a/>"), "xml", DataType::XML, "ValueXml", "<a/>"},
        {ValueJson::create("[]"), "json", DataType::JSON, "ValueJson", "[]"},
        {ValueUuid::new_uuid("u"), "uuid", DataType::UUID, "ValueUuid", "u"},
        {ValueUtf16::new_string("w"), "wstring", DataType::WSTRING, "ValueUtf16", "w"},
        {ValueBinary::create(Core::Bytes{'b'}), "binary", DataType::BINARY, "ValueBinary", "b"},
        {ValueBlob::create(Core::Bytes{'B'}), "blob", DataType::BLOB, "ValueBlob", "B"},
        {ValueDateTime::new_utc(2024, 1, 31, 10, 20, 30), "datetime", DataType::DATETIME, "ValueDateTime",
         "2024-01-31 10:20:30"},
        {ValueDate::new_dmy(2024, 1, 31), "date", DataType::DATE, "ValueDate", "2024-01-31"},
        {ValueTime::new_hms(7, 8, 9), "time", DataType::TIME, "ValueTime", "07:08:09"},
        {ValueTimeSpan::create(5), "timespan", DataType::TIMESPAN, "ValueTimeSpan", ""},
        {ValueEnum::create("e"), "enum", DataType::ENUM, "ValueEnum", "e"},
        {ValueFlags::create("f"), "flags", DataType::ENUM, "ValueFlags", "f"},
        {ValueSet::create("a,b"), "set", DataType::SET, "ValueSet", "a,b"},
        {ValueGeometry::create("POINT(1 2)"), "geometry", DataType::GEOMETRY, "ValueGeometry", "POINT(1 2)"},
        {ValueGeography::create("1, 2"), "geography", DataType::GEOGRAPHY, "ValueGeography", "1, 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type_name);
        ASSERT_NE(c.value, nullptr);
        const std::string registered = "OmbrixProvidersContracts" + c.type_name;
        EXPECT_EQ(c.value->type_name(), registered);
        EXPECT_NE(Core::TypeInfo::lookup(registered), nullptr);
        EXPECT_EQ(c.value->get_name(), c.name);
        EXPECT_EQ(c.value->get_property("name").get_string(), c.name);
        EXPECT_EQ(c.value->get_data_type(), c.type);
        EXPECT_EQ(c.value->get_is_null(), c.type == DataType::DBNULL);
        EXPECT_EQ(c.value->get_property("is-null").get_boolean(), c.type == DataType::DBNULL);
        EXPECT_EQ(c.value->to_string(), c.text);
        EXPECT_EQ(c.value->dump(), registered + " => " + c.text);
    }
    EXPECT_EQ(ValueError::create(1064, "bad")->dump(), "OmbrixProvidersContractsValueError => 1064:bad");
}

TEST(ValueObject, NullAndErrorValues) {
    auto null = ValueNull::create();
    EXPECT_EQ(null->to_string(), "");
    EXPECT_EQ(null->get_itsvalue(), "NULL");
    EXPECT_EQ(null->get_property("itsvalue").get_string(), "NULL");
    EXPECT_EQ(null->to_value().type_name(), "gchararray");
    EXPECT_EQ(null->to_value().get_string(), "NULL");
    {
        Testing::LogCapture log;  // read-only: refused with a warning
        EXPECT_FALSE(null->set_property("itsvalue", Core::Value::from_string("x")));
        EXPECT_EQ(log.warnings().size(), 1u);
    }

    auto error = ValueError::create(-1, "");
    EXPECT_EQ(error->to_string(), "-1:");
    EXPECT_EQ(error->get_property("itsvalue").get_string(), "-1:");
    auto boxed = ValueError::create(1064, "You have an error")->to_value();
    EXPECT_EQ(boxed.type_name(), "GError");
    EXPECT_EQ(boxed.get_error(), (Core::Error{"SQL", 1064, "You have an error"}));
    auto copy = std::dynamic_pointer_cast<ValueError>(ValueError::create(7, "m")->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->get_code(), 7);
    EXPECT_EQ(copy->get_message(), "m");

    auto plain = ValueObject::create();
    EXPECT_EQ(plain->to_value().type_name(), "gchararray");
    EXPECT_EQ(plain->to_value().get_string(), "");
    EXPECT_EQ(plain->clone()->type_name(), "OmbrixProvidersContractsValueObject");
    EXPECT_NE(plain->clone(), plain);
}

TEST(ValueInteger, StoresExactWidthsAndReadsThroughTheInterfaces) {
    const auto max = std::numeric_limits<std::uint64_t>::max();
    auto big = ValueUInt64::create(max);
    EXPECT_EQ(big->to_integer(), 9223372036854775807);
    EXPECT_EQ(big->to_unsigned(), max);
    EXPECT_EQ(big->to_string(), "18446744073709551615");
    EXPECT_EQ(ValueUInt64::create(9223372036854775808ull)->to_integer(), 9223372036854775807);
    EXPECT_EQ(ValueUInt64::create(9223372036854775807ull)->to_integer(), 9223372036854775807);
    EXPECT_EQ(big->to_value().get_uint64(), max);

    auto byte = ValueInt8::create(-5);
    EXPECT_EQ(byte->to_string(), "-5");
    EXPECT_EQ(byte->to_integer(), -5);
    EXPECT_EQ(byte->get_property("itsvalue").get_int64(), -5);
    EXPECT_EQ(ValueInt8::create(static_cast<std::int8_t>(-128))->to_string(), "-128");
    EXPECT_EQ(ValueUInt8::create(200)->to_integer(), 200);
    EXPECT_EQ(ValueUInt8::create(200)->to_unsigned(), 200u);
    EXPECT_EQ(ValueInt64::create(-1)->to_integer(), -1);
    EXPECT_EQ(ValueUInt32::create(4294967295u)->to_integer(), 4294967295);

    // The property stores the argument converted to the class's width.
    auto narrow = ValueInt16::create();
    EXPECT_TRUE(narrow->set_property("itsvalue", Core::Value::from_int(70000)));
    EXPECT_EQ(narrow->get_int16(), 4464);
    auto unsigned_narrow = ValueUInt16::create();
    EXPECT_TRUE(unsigned_narrow->set_property("itsvalue", Core::Value::from_uint(65536 + 7)));
    EXPECT_EQ(unsigned_narrow->get_uint16(), 7);

    auto yes = ValueBoolean::create(true);
    auto no = ValueBoolean::create(false);
    EXPECT_EQ(yes->to_integer(), 1);
    EXPECT_EQ(yes->to_unsigned(), 1u);
    EXPECT_EQ(iinteger_to_integer(*no), 0);
    EXPECT_EQ(iunsigned_to_unsigned(*no), 0u);
    EXPECT_EQ(no->to_string(), "false");
}

TEST(ValueObject, ToValueCarriesTheGlibTypeOfEachClass) {
    const std::vector<std::pair<ValuePtr, std::string>> cases{
        {ValueInt8::create(-1), "gchar"},        {ValueInt16::create(1), "gint"},
        {ValueInt32::create(1), "gint"},         {ValueInt64::create(1), "gint64"},
        {ValueUInt8::create(1), "guchar"},       {ValueUInt16::create(1), "guint"},
        {ValueUInt32::create(1), "guint"},       {ValueUInt64::create(1), "guint64"},
        {ValueFloat::create(1), "gfloat"},       {ValueDouble::create(1), "gdouble"},
        {ValueMoney::create(1), "gdouble"},      {ValueDecimal::create(1), "gdouble"},
        {ValueBoolean::create(true), "gboolean"}, {ValueError::create(1, "m"), "GError"},
        {ValueString::create("s"), "gchararray"}, {ValueNull::create(), "gchararray"},
    };
    for (const auto& [value, type] : cases) EXPECT_EQ(value->to_value().type_name(), type) << value->type_name();
    EXPECT_EQ(ValueInt8::create(-1)->to_value().get_char(), -1);
    EXPECT_EQ(ValueUInt32::create(4294967295u)->to_value().get_uint(), 4294967295u);
    EXPECT_EQ(ValueFloat::create(0.1f)->to_value().get_float(), 0.1f);
    EXPECT_EQ(ValueBoolean::create(true)->to_value().get_boolean(), true);
}

TEST(ValueObject, SetItsvalueAlwaysNotifiesEvenWhenEqual) {
    auto integer = ValueInt32::create(5);
    EXPECT_EQ(notifications(*integer, [&] {
                  integer->set_itsvalue(5);
                  integer->set_itsvalue(5);
                  integer->set_property("itsvalue", Core::Value::from_int(5));
              }),
              3);
    auto text = ValueString::create("a");
    EXPECT_EQ(notifications(*text, [&] {
                  text->set_itsvalue("a");
                  text->set_property("itsvalue", Core::Value::from_string("a"));
              }),
              2);
    auto real = ValueDouble::create(2.5);
    EXPECT_EQ(notifications(*real, [&] { real->set_itsvalue(2.5); }), 1);
    auto flag = ValueBoolean::create(false);
    EXPECT_EQ(notifications(*flag, [&] { flag->set_itsvalue(false); }), 1);
    auto span = ValueTimeSpan::create(3);
    EXPECT_EQ(notifications(*span, [&] { span->set_itsvalue(3); }), 1);
    auto bytes = ValueBinary::create(Core::Bytes{1});
    EXPECT_EQ(notifications(*bytes, [&] { bytes->set_itsvalue(Core::Bytes{1}); }), 1);
    auto moment = ValueDateTime::new_utc(2024, 1, 1, 0, 0, 0);
    EXPECT_EQ(notifications(*moment, [&] { moment->set_itsvalue(moment->get_itsvalue()); }), 1);
    auto member = ValueEnum::create("x");
    EXPECT_EQ(notifications(*member, [&] { member->set_itsvalue("x"); }), 1);
    auto shape = ValueGeometry::create("P");
    EXPECT_EQ(notifications(*shape, [&] { shape->set_itsvalue("P"); }), 1);
    auto wide = ValueUtf16::new_string("w");
    EXPECT_EQ(notifications(*wide, [&] { wide->set_itsvalue(wide->get_itsvalue()); }), 1);
}

TEST(ValueObject, ClonesAreIndependentValuesOfTheSameClass) {
    const std::vector<ValuePtr> values{
        ValueInt8::create(-3), ValueUInt64::create(std::numeric_limits<std::uint64_t>::max()),
        ValueBoolean::create(true), ValueDouble::create(0.25), ValueMoney::create_from_text("1.10"),
        ValueDecimal::create_from_text("3.14159265358979323846"), ValueString::create("s"),
        ValueXml::create("<x/>"), ValueError::create(5, "e"), ValueNull::create()};
    for (const auto& value : values) {
        auto copy = value->clone();
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, value);
        EXPECT_EQ(copy->type_name(), value->type_name());
        EXPECT_EQ(copy->to_string(), value->to_string()) << value->type_name();
    }
    auto original = ValueInt32::create(1);
    auto copy = std::static_pointer_cast<ValueInt32>(original->clone());
    copy->set_itsvalue(2);
    EXPECT_EQ(original->get_int32(), 1);
    auto text = ValueString::create("a");
    auto text_copy = std::static_pointer_cast<ValueString>(text->clone());
    text_copy->set_itsvalue("b");
    EXPECT_EQ(text->to_string(), "a");
}

TEST(ValueObject, ReadingsThroughInterfacesAClassLacks) {
    auto text = ValueString::create("12");
    EXPECT_EQ(inumeric_to_double(*text), 0.0);
    EXPECT_EQ(iinteger_to_integer(*text), -1);
    EXPECT_EQ(iunsigned_to_unsigned(*text), 0u);
    auto real = ValueDouble::create(2.5);
    EXPECT_EQ(inumeric_to_double(*real), 2.5);
    EXPECT_EQ(iinteger_to_integer(*real), -1);
    EXPECT_EQ(iunsigned_to_unsigned(*real), 0u);
    auto small = ValueFloat::create(0.1f);
    EXPECT_EQ(inumeric_to_double(*small), static_cast<double>(0.1f));
    auto signed_value = ValueInt32::create(-7);
    EXPECT_EQ(inumeric_to_double(*signed_value), 0.0);
    EXPECT_EQ(iinteger_to_integer(*signed_value), -7);
    EXPECT_EQ(iunsigned_to_unsigned(*signed_value), 0u);  // signed classes have no unsigned reading
    EXPECT_EQ(iunsigned_to_unsigned(*ValueUInt16::create(9)), 9u);
    EXPECT_EQ(iinteger_to_integer(*ValueNull::create()), -1);
}

// ---------------------------------------------------------------- floating-point text

TEST(ValueReal, PrintsSixFractionDigitsWhateverTheCLocale) {
    CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is available";

    EXPECT_EQ(ValueDouble::create(2.5)->to_string(), "2.500000");
    EXPECT_EQ(ValueFloat::create(2.5f)->to_string(), "2.500000");
    EXPECT_EQ(ValueMoney::create(-0.125)->to_string(), "-0.125000");
    EXPECT_EQ(ValueDecimal::create(-1234567.25)->to_string(), "-1234567.250000");
    EXPECT_EQ(ValueDouble::create(1.0 / 3)->dump(), "OmbrixProvidersContractsValueDouble => 0.333333");
    // Reading is just as independent of the locale.
    EXPECT_EQ(number(DataType::DOUBLE, "1.5"), 1.5);
    EXPECT_EQ(number(DataType::MONEY, "1.5"), 1.5);
    EXPECT_EQ(number(DataType::FLOAT, "1.5"), 1.5);
    EXPECT_EQ(ValueDecimal::create_from_text("2.75")->to_double(), 2.75);
    EXPECT_EQ(ValueGeography::create("51.5, -0.12")->latitude(), 51.5);
}

TEST(ValueReal, MadeFromTextKeepsTheTextUntilSetToANumber) {
    auto decimal = ValueDecimal::create_from_text("12345678901234567890.123456789");
    EXPECT_EQ(decimal->to_string(), "12345678901234567890.123456789");
    EXPECT_DOUBLE_EQ(decimal->to_double(), 12345678901234567890.123456789);
    EXPECT_EQ(decimal->clone()->to_string(), "12345678901234567890.123456789");
    auto money = ValueMoney::create_from_text("1.10");
    EXPECT_EQ(money->to_string(), "1.10");
    EXPECT_EQ(money->to_double(), 1.1);
    EXPECT_EQ(money->to_value().get_double(), 1.1);
    money->set_itsvalue(2.5);
    EXPECT_EQ(money->to_string(), "2.500000");
    EXPECT_FALSE(money->get_source_text().has_value());
    EXPECT_EQ(ValueFloat::create_from_text("0.1")->to_double(), static_cast<double>(0.1f));
    EXPECT_EQ(ValueDouble::create_from_text("-0.0")->to_string(), "-0.0");
}

// ---------------------------------------------------------------- property ranges

TEST(ValueProperty, NumbersOutsideThePropertyRangeAreRefusedAndLeaveTheValue) {
    Testing::LogCapture log;
    struct Case {
        ValuePtr value;
        Core::Value refused;
        std::string before;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases{
        {ValueInt8::create(7), Core::Value::from_int(128), "7"},
        {ValueInt8::create(7), Core::Value::from_int(-129), "7"},
        {ValueInt16::create(7), Core::Value::from_int64(std::int64_t{1} << 31), "7"},
        {ValueInt32::create(7), Core::Value::from_int64(std::int64_t{1} << 31), "7"},
        {ValueInt64::create(7), Core::Value::from_uint64(std::uint64_t{1} << 63), "7"},
        {ValueUInt8::create(7), Core::Value::from_int(300), "7"},
        {ValueUInt8::create(7), Core::Value::from_int(-1), "7"},
        {ValueUInt16::create(7), Core::Value::from_int(-1), "7"},
        {ValueUInt32::create(7), Core::Value::from_int64(-1), "7"},
        {ValueUInt64::create(7), Core::Value::from_int64(-1), "7"},
        {ValueFloat::create(1.5f), Core::Value::from_double(1e39), "1.500000"},
        {ValueFloat::create(1.5f), Core::Value::from_double(inf), "1.500000"},
        {ValueDouble::create(1.5), Core::Value::from_double(-inf), "1.500000"},
        {ValueDouble::create(1.5), Core::Value::from_double(nan), "1.500000"},
        {ValueMoney::create(1.5), Core::Value::from_double(inf), "1.500000"},
        {ValueDecimal::create(1.5), Core::Value::from_double(nan), "1.500000"},
        {ValueInt32::create(7), Core::Value::from_string("8"), "7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(notifications(*c.value, [&] { c.value->set_property("itsvalue", c.refused); }), 0)
            << c.value->type_name();
        EXPECT_EQ(c.value->to_string(), c.before) << c.value->type_name();
    }
    EXPECT_EQ(log.warnings().size(), cases.size());
    ASSERT_FALSE(log.warnings().empty());
    EXPECT_NE(log.warnings().front().find("out of range for property 'itsvalue' of object class "
                                          "'OmbrixProvidersContractsValueInt8'"),
              std::string::npos)
        << log.warnings().front();

    // The same bounds hold for the JSON form.
    auto small = ValueInt8::create(7);
    Core::Json::apply(*small, Core::Json::parse(R"({"itsvalue": 1000})").value());
    EXPECT_EQ(small->get_int8(), 7);
    Core::Json::apply(*small, Core::Json::parse(R"({"itsvalue": -100})").value());
    EXPECT_EQ(small->get_int8(), -100);
}

TEST(ValueProperty, BoundsAreInclusiveAndAnyNumericTagMaySetTheValue) {
    Testing::LogCapture log;
    auto byte = ValueInt8::create();
    byte->set_property("itsvalue", Core::Value::from_int(-128));
    EXPECT_EQ(byte->get_int8(), -128);
    byte->set_property("itsvalue", Core::Value::from_uint64(127));  // unsigned tag, signed property
    EXPECT_EQ(byte->get_int8(), 127);
    auto ubyte = ValueUInt8::create();
    ubyte->set_property("itsvalue", Core::Value::from_int(255));  // signed tag, unsigned property
    EXPECT_EQ(ubyte->get_uint8(), 255);
    auto wide = ValueUInt64::create();
    wide->set_property("itsvalue", Core::Value::from_uint64(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(wide->get_uint64(), std::numeric_limits<std::uint64_t>::max());
    auto signed_wide = ValueInt64::create();
    signed_wide->set_property("itsvalue", Core::Value::from_int64(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(signed_wide->get_int64(), std::numeric_limits<std::int64_t>::min());
    auto small = ValueFloat::create();
    small->set_property("itsvalue", Core::Value::from_double(-3.4028234663852886e38));
    EXPECT_EQ(small->get_itsvalue(), std::numeric_limits<float>::lowest());
    auto real = ValueDouble::create();
    real->set_property("itsvalue", Core::Value::from_double(std::numeric_limits<double>::max()));
    EXPECT_EQ(real->get_itsvalue(), std::numeric_limits<double>::max());
    real->set_property("itsvalue", Core::Value::from_int(3));
    EXPECT_EQ(real->to_string(), "3.000000");
    EXPECT_TRUE(log.warnings().empty());
}
