// Cells of every MariaDB column type, read back from the sandbox through the provider's model path
// (streamed) and through its reader (stored), compared with what the server holds.
#include <gtest/gtest.h>
#include <glib.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_geometry.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "providers/Supports/MariaDB/reader.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using namespace std::string_literals;
using Ombrix::Core::Bytes;
using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Contracts::IDataReader;
using Ombrix::Providers::Contracts::ValueBinary;
using Ombrix::Providers::Contracts::ValueDate;
using Ombrix::Providers::Contracts::ValueDateTime;
using Ombrix::Providers::Contracts::ValueDecimal;
using Ombrix::Providers::Contracts::ValueDouble;
using Ombrix::Providers::Contracts::ValueFloat;
using Ombrix::Providers::Contracts::ValueGeometry;
using Ombrix::Providers::Contracts::ValuePtr;
using Ombrix::Providers::Contracts::ValueTime;
using Ombrix::Providers::Contracts::ValueUInt64;
using Ombrix::Testing::describe;
using Ombrix::Testing::LogCapture;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::value_class;
namespace Supports = Ombrix::Providers::Supports;

/// One expected cell: the value's class and its text (upper-case hexadecimal for byte values).
struct Cell {
    std::string cls;
    std::string text;
};

/// One expected column of a result: its name, data type and cells from top to bottom.
struct Column {
    std::string name;
    DataType type;
    std::vector<Cell> cells;
};

const Cell kNull{"ValueNull", ""};

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (auto byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

/// The text a cell is compared by: the bytes of binary values, the text of all others.
std::string rendered(const ValuePtr& value) {
    if (auto binary = std::dynamic_pointer_cast<ValueBinary>(value)) return hex(binary->to_bytes());
    return value->to_string();
}

std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20) out += "\\x" + hex(Bytes{c});
        else out += static_cast<char>(c);
    }
    return out;
}

void expect_cell(const ValuePtr& value, const Cell& cell) {
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value_class(value), cell.cls);
    EXPECT_EQ(printable(rendered(value)), printable(cell.text));
    EXPECT_EQ(value->get_is_null(), cell.cls == "ValueNull");
}

/// Reads `sql` through execute_model and through execute_reader and compares both with `columns`.
void expect_both_paths(Supports::MariaDBProvider& provider, const std::string& sql,
                       const std::vector<Column>& columns) {
    const std::size_t rows = columns.front().cells.size();
    {
        SCOPED_TRACE("execute_model");
        OMBRIX_ASSERT_OK(model, provider.execute_model(sql, false));
        ASSERT_EQ(model->get_columns()->size(), columns.size());
        ASSERT_EQ(model->get_n_items(), rows);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            SCOPED_TRACE("column " + columns[c].name);
            const auto column = model->get_columns()->get(c);
            EXPECT_EQ(column->get_name(), columns[c].name);
            EXPECT_EQ(column->get_data_type(), columns[c].type);
            for (std::size_t r = 0; r < rows; ++r) {
                SCOPED_TRACE("row " + std::to_string(r));
                // The text read straight from the packed bytes is the value's own.
                std::string text = "left over";
                const auto type = model->get_rows()->get(r)->read_cell(c, text);
                const auto value = model->get_value_at(c, r);
                expect_cell(value, columns[c].cells[r]);
                ASSERT_TRUE(type.has_value());
                EXPECT_EQ(*type, value->get_data_type());
                EXPECT_EQ(text, value->to_string());
            }
        }
    }
    {
        SCOPED_TRACE("execute_reader");
        OMBRIX_ASSERT_OK(reader, provider.execute_reader(sql));
        ASSERT_EQ(reader->get_field_count(), static_cast<std::int32_t>(columns.size()));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            EXPECT_EQ(reader->get_name(static_cast<std::uint16_t>(c)), columns[c].name);
            EXPECT_EQ(reader->get_data_type(static_cast<std::uint16_t>(c)), columns[c].type);
        }
        for (std::size_t r = 0; r < rows; ++r) {
            SCOPED_TRACE("row " + std::to_string(r));
            OMBRIX_ASSERT_OK(more, reader->read());
            ASSERT_TRUE(more);
            OMBRIX_ASSERT_OK(values, reader->get_values());
            ASSERT_EQ(values.size(), columns.size());
            for (std::size_t c = 0; c < columns.size(); ++c) {
                SCOPED_TRACE("column " + columns[c].name);
                EXPECT_EQ(reader->is_null(static_cast<std::uint16_t>(c)), columns[c].cells[r].cls == "ValueNull");
                expect_cell(values[c], columns[c].cells[r]);
            }
        }
        OMBRIX_ASSERT_OK(end, reader->read());
        EXPECT_FALSE(end);
    }
}

/// A provider on a scratch schema of its own, with helpers to set up tables.
class MariaDBReader : public ::testing::Test {
protected:
    void SetUp() override {
        m_schema = std::make_unique<ScratchSchema>("reader");
        m_provider = open_provider(m_schema->name());
        ASSERT_NE(m_provider, nullptr);
    }

    /// Runs set-up SQL (several statements allowed) and fails the test on any error.
    void run(const std::string& sql) {
        auto done = m_provider->execute_statements(sql, false);
        ASSERT_TRUE(done.has_value()) << describe(done.error());
        for (const auto& result : *done) {
            auto error = std::dynamic_pointer_cast<Ombrix::Providers::Contracts::ValueError>(result);
            ASSERT_EQ(error, nullptr) << error->to_string() << " in: " << sql;
        }
    }

    /// A reader positioned on the first row of `sql`.
    std::shared_ptr<IDataReader> first_row(const std::string& sql) {
        auto reader = m_provider->execute_reader(sql);
        EXPECT_TRUE(reader.has_value()) << describe(reader.error());
        if (!reader) return nullptr;
        auto more = (*reader)->read();
        EXPECT_TRUE(more.has_value() && *more);
        return *reader;
    }

    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Supports::MariaDBProvider> m_provider;
};

TEST_F(MariaDBReader, IntegersKeepWidthSignAndEveryDigit) {
    run("CREATE TABLE t (id INT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, su SMALLINT UNSIGNED,"
        " mi MEDIUMINT, mu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED, bi BIGINT, bu BIGINT UNSIGNED,"
        " zf INT(10) ZEROFILL);"
        "INSERT INTO t VALUES (1, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, -9223372036854775808, 0, 10),"
        " (2, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295, 9223372036854775807,"
        "  18446744073709551615, 4294967295),"
        " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    const std::string select = "SELECT ti, tu, si, su, mi, mu, i, iu, bi, bu, zf FROM t ORDER BY id";
    expect_both_paths(*m_provider, select, {
        {"ti", DataType::INT8, {{"ValueInt8", "-128"}, {"ValueInt8", "127"}, kNull}},
        {"tu", DataType::UINT8, {{"ValueUInt8", "0"}, {"ValueUInt8", "255"}, kNull}},
        {"si", DataType::INT16, {{"ValueInt16", "-32768"}, {"ValueInt16", "32767"}, kNull}},
        {"su", DataType::UINT16, {{"ValueUInt16", "0"}, {"ValueUInt16", "65535"}, kNull}},
        {"mi", DataType::INT32, {{"ValueInt32", "-8388608"}, {"ValueInt32", "8388607"}, kNull}},
        {"mu", DataType::UINT32, {{"ValueUInt32", "0"}, {"ValueUInt32", "16777215"}, kNull}},
        {"i", DataType::INT32, {{"ValueInt32", "-2147483648"}, {"ValueInt32", "2147483647"}, kNull}},
        {"iu", DataType::UINT32, {{"ValueUInt32", "0"}, {"ValueUInt32", "4294967295"}, kNull}},
        {"bi", DataType::INT64, {{"ValueInt64", "-9223372036854775808"}, {"ValueInt64", "9223372036854775807"}, kNull}},
        {"bu", DataType::UINT64, {{"ValueUInt64", "0"}, {"ValueUInt64", "18446744073709551615"}, kNull}},
        // ZEROFILL cells arrive as "0000000010": decimal digits with leading zeros, not octal.
        {"zf", DataType::UINT32, {{"ValueUInt32", "10"}, {"ValueUInt32", "4294967295"}, kNull}},
    });
    if (HasFatalFailure()) return;

    // The numeric readings of the widest values and the typed getters of the reader.
    OMBRIX_ASSERT_OK(model, m_provider->execute_model("SELECT bu FROM t WHERE id = 2", false));
    auto largest = std::dynamic_pointer_cast<ValueUInt64>(model->get_value_at(0, 0));
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->to_unsigned(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(largest->to_integer(), std::numeric_limits<std::int64_t>::max());

    auto low = first_row("SELECT ti, si, mi, i, bi, zf FROM t WHERE id = 1");
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(low->get_int8(0), -128);
    EXPECT_EQ(low->get_int16(1), -32768);
    EXPECT_EQ(low->get_int32(2), -8388608);
    EXPECT_EQ(low->get_int32(3), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(low->get_int64(4), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(low->get_uint32(5), 10u);
    auto high = first_row("SELECT tu, su, iu, bu FROM t WHERE id = 2");
    ASSERT_NE(high, nullptr);
    EXPECT_EQ(high->get_uint8(0), 255);
    EXPECT_EQ(high->get_uint16(1), 65535);
    EXPECT_EQ(high->get_uint32(2), 4294967295u);
    EXPECT_EQ(high->get_uint64(3), std::numeric_limits<std::uint64_t>::max());
}

TEST_F(MariaDBReader, DecimalAndFloatingCellsKeepTheServersTextAndTheirNumber) {
    run("CREATE TABLE t (id INT PRIMARY KEY, d65 DECIMAL(65,30), d12 DECIMAL(12,2), f FLOAT, dbl DOUBLE);"
        "INSERT INTO t VALUES"
        " (1, '12345678901234567890123456789012345.123456789012345678901234567890', 1234567890.12, 3.14159, 0.1),"
        " (2, -0.000000000000000000000000000001, -0.5, -1.5e-7, 1.7976931348623157e308),"
        " (3, 0, 0, 0, 2.2250738585072014e-308),"
        " (4, NULL, NULL, NULL, NULL)");
    const std::string select = "SELECT d65, d12, f, dbl FROM t ORDER BY id";
    expect_both_paths(*m_provider, select, {
        {"d65", DataType::DECIMAL,
         {{"ValueDecimal", "12345678901234567890123456789012345.123456789012345678901234567890"},
          {"ValueDecimal", "-0.000000000000000000000000000001"},
          {"ValueDecimal", "0.000000000000000000000000000000"}, kNull}},
        {"d12", DataType::DECIMAL,
         {{"ValueDecimal", "1234567890.12"}, {"ValueDecimal", "-0.50"}, {"ValueDecimal", "0.00"}, kNull}},
        {"f", DataType::FLOAT, {{"ValueFloat", "3.14159"}, {"ValueFloat", "-0.00000015"}, {"ValueFloat", "0"}, kNull}},
        {"dbl", DataType::DOUBLE,
         {{"ValueDouble", "0.1"}, {"ValueDouble", "1.7976931348623157e308"},
          {"ValueDouble", "2.2250738585072014e-308"}, kNull}},
    });
    if (HasFatalFailure()) return;

    OMBRIX_ASSERT_OK(model, m_provider->execute_model(select, false));
    auto number = [&](std::size_t column, std::size_t row) {
        auto value = std::dynamic_pointer_cast<Ombrix::Providers::Contracts::INumeric>(model->get_value_at(column, row));
        EXPECT_NE(value, nullptr);
        return value ? value->to_double() : 0.0;
    };
    EXPECT_DOUBLE_EQ(number(0, 0), 12345678901234567890123456789012345.123456789);
    EXPECT_DOUBLE_EQ(number(1, 0), 1234567890.12);
    EXPECT_DOUBLE_EQ(number(1, 1), -0.5);
    EXPECT_FLOAT_EQ(static_cast<float>(number(2, 0)), 3.14159f);
    EXPECT_EQ(number(3, 0), 0.1);
    EXPECT_EQ(number(3, 1), DBL_MAX);
    EXPECT_EQ(number(3, 2), DBL_MIN);
    // A copy keeps the text too.
    EXPECT_EQ(model->get_value_at(0, 0)->clone()->to_string(),
              "12345678901234567890123456789012345.123456789012345678901234567890");

    auto reader = first_row(select);
    ASSERT_NE(reader, nullptr);
    EXPECT_DOUBLE_EQ(reader->get_decimal(1), 1234567890.12);
    EXPECT_FLOAT_EQ(reader->get_float(2), 3.14159f);
    EXPECT_EQ(reader->get_double(3), 0.1);
}

TEST_F(MariaDBReader, TypedGettersConvertTheCellTextOfAnyColumn) {
    auto reader = first_row(
        "SELECT '200', '70000', '12abc', 'abc', NULL, '1500', '12.5', 'true', 'True',"
        " CAST(CONVERT('ü😀' USING utf16le) AS BINARY), '6ccd780c-baba-1026-9564-5b8c656024db', '2024-02-29', ''");
    ASSERT_NE(reader, nullptr);
    // Integers are read in full and cut to the getter's width.
    EXPECT_EQ(reader->get_int8(0), -56);
    EXPECT_EQ(reader->get_uint8(0), 200);
    EXPECT_EQ(reader->get_int16(0), 200);
    EXPECT_EQ(reader->get_uint16(1), 70000 & 0xFFFF);
    EXPECT_EQ(reader->get_int32(1), 70000);
    // What parses of a partly numeric text; nothing parses: 0.
    EXPECT_EQ(reader->get_int32(2), 12);
    EXPECT_EQ(reader->get_int64(3), 0);
    EXPECT_EQ(reader->get_double(3), 0.0);
    {
        // A NULL cell given to a numeric getter is the caller's mistake: 0 and a critical naming the parser.
        LogCapture log;
        EXPECT_EQ(reader->get_int32(4), 0);
        EXPECT_EQ(reader->get_uint64(4), 0u);
        EXPECT_EQ(reader->get_double(4), 0.0);
        EXPECT_TRUE(log.has_critical("long_parse: assertion 'str != NULL' failed"));
        EXPECT_TRUE(log.has_critical("uint64_parse: assertion 'str != NULL' failed"));
        EXPECT_TRUE(log.has_critical("double_parse: assertion 'str != NULL' failed"));
        EXPECT_EQ(reader->get_timespan(5), 1500);
        ASSERT_EQ(log.warnings().size(), 1u);
        // Developer lines start with the source position, as every line of the libraries does.
        const std::regex positioned(R"(.*reader\.cpp:[0-9]+: timespan raw value: 1500)");
        EXPECT_TRUE(std::regex_match(log.warnings()[0], positioned)) << log.warnings()[0];
    }
    EXPECT_EQ(reader->get_money(6), 12.5);
    EXPECT_EQ(reader->get_decimal(6), 12.5);
    EXPECT_FLOAT_EQ(reader->get_float(6), 12.5f);
    EXPECT_TRUE(reader->get_boolean(7));
    EXPECT_FALSE(reader->get_boolean(8));
    EXPECT_EQ(reader->get_string16(9), "ü😀");
    EXPECT_EQ(reader->get_guid(10), "6ccd780c-baba-1026-9564-5b8c656024db");
    EXPECT_EQ(reader->get_date(11), (Ombrix::Core::Date{2024, 2, 29}));
    EXPECT_EQ(reader->get_string16(12), "");
    EXPECT_EQ(reader->get_string(12), "");
}

TEST_F(MariaDBReader, BitCellsAreTheirBytesAndYearsAreSmallIntegers) {
    run("CREATE TABLE t (id INT PRIMARY KEY, b1 BIT(1), b10 BIT(10), b64 BIT(64), y YEAR);"
        "INSERT INTO t VALUES (1, b'1', b'1000000001', 0xFFFFFFFFFFFFFFFF, 2024),"
        " (2, b'0', b'0', 0, 1901), (3, b'1', b'11', 1, 2155), (4, NULL, NULL, NULL, NULL)");
    expect_both_paths(*m_provider, "SELECT b1, b10, b64, y FROM t ORDER BY id", {
        {"b1", DataType::BINARY, {{"ValueBinary", "01"}, {"ValueBinary", "00"}, {"ValueBinary", "01"}, kNull}},
        {"b10", DataType::BINARY,
         {{"ValueBinary", "0201"}, {"ValueBinary", "0000"}, {"ValueBinary", "0003"}, kNull}},
        {"b64", DataType::BINARY,
         {{"ValueBinary", "FFFFFFFFFFFFFFFF"}, {"ValueBinary", "0000000000000000"},
          {"ValueBinary", "0000000000000001"}, kNull}},
        {"y", DataType::INT16, {{"ValueInt16", "2024"}, {"ValueInt16", "1901"}, {"ValueInt16", "2155"}, kNull}},
    });
    if (HasFatalFailure()) return;
    auto reader = first_row("SELECT b10, y FROM t WHERE id = 1");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->get_binary(0), (Bytes{0x02, 0x01}));
    EXPECT_EQ(reader->get_int16(1), 2024);
    EXPECT_EQ(reader->get_dbms_type(0), "BIT");
    EXPECT_EQ(reader->get_dbms_type(1), "YEAR");
}

TEST_F(MariaDBReader, DatesAndTimesKeepWhatTheServerSent) {
    // Zero dates need a permissive mode; TIMESTAMP text is read in UTC so it is what was written.
    run("SET SESSION sql_mode = ''; SET SESSION time_zone = '+00:00';"
        "CREATE TABLE t (id INT PRIMARY KEY, d DATE, t TIME, t6 TIME(6), dt3 DATETIME(3), dt6 DATETIME(6),"
        " dt DATETIME, ts TIMESTAMP NULL DEFAULT NULL);"
        "INSERT INTO t VALUES"
        " (1, '2024-02-29', '12:34:56', '23:59:59.5', '2024-02-29 23:59:59.123', '9999-12-31 23:59:59.999999',"
        "  '1000-01-01 00:00:00', '2038-01-19 03:14:07'),"
        " (2, '0000-00-00', '-838:59:59', '-00:00:00.000001', '0000-00-00 00:00:00', '0000-00-00 00:00:00',"
        "  '0000-00-00 00:00:00', '0000-00-00 00:00:00'),"
        " (3, '1000-01-01', '838:59:59', '100:00:00.25', '1970-01-01 00:00:00', '2024-03-10 02:30:00.000001',"
        "  '9999-12-31 23:59:59', '1970-01-01 00:00:01'),"
        " (4, '9999-12-31', '-01:02:03', '00:00:00', NULL, NULL, NULL, NULL),"
        " (5, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    const std::string select = "SELECT d, t, t6, dt3, dt6, dt, ts FROM t ORDER BY id";
    expect_both_paths(*m_provider, select, {
        {"d", DataType::DATE,
         {{"ValueDate", "2024-02-29"}, {"ValueDate", "0000-00-00"}, {"ValueDate", "1000-01-01"},
          {"ValueDate", "9999-12-31"}, kNull}},
        {"t", DataType::TIME,
         {{"ValueTime", "12:34:56"}, {"ValueTime", "-838:59:59"}, {"ValueTime", "838:59:59"},
          {"ValueTime", "-01:02:03"}, kNull}},
        {"t6", DataType::TIME,
         {{"ValueTime", "23:59:59.500000"}, {"ValueTime", "-00:00:00.000001"}, {"ValueTime", "100:00:00.250000"},
          {"ValueTime", "00:00:00.000000"}, kNull}},
        {"dt3", DataType::DATETIME,
         {{"ValueDateTime", "2024-02-29 23:59:59.123"}, {"ValueDateTime", "0000-00-00 00:00:00.000"},
          {"ValueDateTime", "1970-01-01 00:00:00.000"}, kNull, kNull}},
        {"dt6", DataType::DATETIME,
         {{"ValueDateTime", "9999-12-31 23:59:59.999999"}, {"ValueDateTime", "0000-00-00 00:00:00.000000"},
          {"ValueDateTime", "2024-03-10 02:30:00.000001"}, kNull, kNull}},
        {"dt", DataType::DATETIME,
         {{"ValueDateTime", "1000-01-01 00:00:00"}, {"ValueDateTime", "0000-00-00 00:00:00"},
          {"ValueDateTime", "9999-12-31 23:59:59"}, kNull, kNull}},
        {"ts", DataType::TIMESTAMP,
         {{"ValueDateTime", "2038-01-19 03:14:07"}, {"ValueDateTime", "0000-00-00 00:00:00"},
          {"ValueDateTime", "1970-01-01 00:00:01"}, kNull, kNull}},
    });
    if (HasFatalFailure()) return;

    OMBRIX_ASSERT_OK(model, m_provider->execute_model(select, false));
    // A time within a day is a real time of day, printed in its default form.
    auto noon = std::dynamic_pointer_cast<ValueTime>(model->get_value_at(1, 0));
    ASSERT_NE(noon, nullptr);
    ASSERT_FALSE(noon->get_itsvalue().is_null());
    EXPECT_FALSE(noon->get_source_text().has_value());
    EXPECT_EQ(noon->format("%H:%M:%S"), "12:34:56");
    auto fraction = std::dynamic_pointer_cast<ValueTime>(model->get_value_at(2, 0));
    ASSERT_NE(fraction, nullptr);
    ASSERT_FALSE(fraction->get_itsvalue().is_null());
    EXPECT_EQ(fraction->get_itsvalue().microsecond(), 500000);
    EXPECT_EQ(fraction->format("%H:%M:%S"), "23:59:59");
    // Dates and date-times hold the moment the text names; copies keep the text.
    auto date = std::dynamic_pointer_cast<ValueDate>(model->get_value_at(0, 0));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->to_value().get_date(), (Ombrix::Core::Date{2024, 2, 29}));
    auto millis = std::dynamic_pointer_cast<ValueDateTime>(model->get_value_at(3, 0));
    ASSERT_NE(millis, nullptr);
    EXPECT_EQ(millis->format("%Y-%m-%d %H:%M:%S"), "2024-02-29 23:59:59");
    EXPECT_EQ(millis->get_itsvalue().microsecond(), 123000);
    EXPECT_EQ(model->get_value_at(3, 0)->clone()->to_string(), "2024-02-29 23:59:59.123");
    EXPECT_EQ(model->get_value_at(1, 1)->clone()->to_string(), "-838:59:59");
    EXPECT_EQ(model->get_value_at(0, 1)->clone()->to_string(), "0000-00-00");

    auto reader = first_row(select);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->get_date(0), (Ombrix::Core::Date{2024, 2, 29}));
    EXPECT_EQ(reader->get_time(1).format("%H:%M:%S"), "12:34:56");
    EXPECT_EQ(reader->get_datetime(3).format("%Y-%m-%d %H:%M:%S"), "2024-02-29 23:59:59");
    EXPECT_EQ(reader->get_timestamp(6).format("%Y-%m-%d %H:%M:%S"), "2038-01-19 03:14:07");
    // The date-time getters read any ISO 8601 date-time, whatever the column: get_time of a
    // DATETIME cell is that moment, and text naming its zone keeps that zone's moment.
    EXPECT_EQ(reader->get_time(5).format("%Y-%m-%d %H:%M:%S"), "1000-01-01 00:00:00");
    auto iso = first_row("SELECT '2024-05-06T07:08:09+02:00', '2024-05-06T07:08:09', '12:00'");
    ASSERT_NE(iso, nullptr);
    EXPECT_EQ(iso->get_datetime(0).to_utc().format("%Y-%m-%d %H:%M:%S"), "2024-05-06 05:08:09");
    EXPECT_EQ(iso->get_timestamp(0).to_utc().format("%H:%M:%S"), "05:08:09");
    EXPECT_EQ(iso->get_time(0).to_utc().format("%H:%M:%S"), "05:08:09");
    EXPECT_EQ(iso->get_datetime(1).to_utc().format("%Y-%m-%d %H:%M:%S"), "2024-05-06 07:08:09");
    EXPECT_TRUE(iso->get_datetime(2).is_null());
}

/// Runs this test binary again with TZ set to `zone`, limited to `filter`; the child does the checks.
void run_self_in_zone(const char* zone, const char* filter) {
    Ombrix::Core::GPtr<gchar> self(g_file_read_link("/proc/self/exe", nullptr));
    ASSERT_NE(self, nullptr);
    std::string filter_arg = std::string("--gtest_filter=") + filter;
    gchar* argv[] = {self.get(), filter_arg.data(), nullptr};
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "TZ", zone, TRUE);
    env = g_environ_setenv(env, "OMBRIX_TEST_ZONE", zone, TRUE);
    gchar* out = nullptr;
    gint status = 0;
    GError* error = nullptr;
    const gboolean spawned = g_spawn_sync(nullptr, argv, env, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out,
                                          nullptr, &status, &error);
    g_strfreev(env);
    Ombrix::Core::GPtr<gchar> output(out);
    ASSERT_TRUE(spawned) << (error ? error->message : "");
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << output.get();
    // A filter that matched nothing would pass too: the child must have run the test.
    EXPECT_NE(std::string(output.get()).find("[  PASSED  ] 1 test."), std::string::npos) << output.get();
}

// GLib caches the local zone on first use, so the zone is set in a fresh process.
TEST(MariaDBReaderInZone, DateTimesKeepTheirWallClockTimeInAnyZone) {
    const char* zone = std::getenv("OMBRIX_TEST_ZONE");
    if (!zone) {
        // Kolkata is half an hour off any whole-hour zone; in Sao Paulo the midnight of 2018-11-04
        // did not exist (summer time began then).
        for (const char* other : {"Asia/Kolkata", "America/Sao_Paulo"}) {
            SCOPED_TRACE(other);
            run_self_in_zone(other, "MariaDBReaderInZone.*");
        }
        return;
    }
    GTimeZone* local = g_time_zone_new_local();
    const std::string identifier = g_time_zone_get_identifier(local);
    const gint32 offset = g_time_zone_get_offset(local, 0);
    g_time_zone_unref(local);
    ASSERT_EQ(identifier, zone);
    ASSERT_NE(offset, 0);

    ScratchSchema schema("reader_zone");
    auto provider = open_provider(schema.name());
    ASSERT_NE(provider, nullptr);
    OMBRIX_ASSERT_OK(done, provider->execute_statements(
        "SET SESSION time_zone = '+00:00';"
        "CREATE TABLE t (d DATE, dt DATETIME, dt6 DATETIME(6), ts TIMESTAMP NULL DEFAULT NULL, t TIME);"
        "INSERT INTO t VALUES ('2018-11-04', '2018-11-04 00:30:00', '2024-03-10 02:30:00.123456',"
        " '2024-03-31 02:30:00', '12:00:00')", false));
    const std::vector<std::string> texts = {"2018-11-04", "2018-11-04 00:30:00", "2024-03-10 02:30:00.123456",
                                            "2024-03-31 02:30:00", "12:00:00"};
    OMBRIX_ASSERT_OK(model, provider->execute_model("SELECT d, dt, dt6, ts, t FROM t", false));
    ASSERT_EQ(model->get_n_items(), 1u);
    for (std::size_t c = 0; c < texts.size(); ++c) {
        SCOPED_TRACE(texts[c]);
        auto value = model->get_value_at(c, 0);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->to_string(), texts[c]);
        EXPECT_EQ(value->clone()->to_string(), texts[c]);
    }
    auto date = std::dynamic_pointer_cast<ValueDate>(model->get_value_at(0, 0));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->to_value().get_date(), (Ombrix::Core::Date{2018, 11, 4}));
    auto datetime = std::dynamic_pointer_cast<ValueDateTime>(model->get_value_at(1, 0));
    ASSERT_NE(datetime, nullptr);
    EXPECT_EQ(datetime->format("%Y-%m-%d %H:%M:%S"), "2018-11-04 00:30:00");

    OMBRIX_ASSERT_OK(reader, provider->execute_reader("SELECT d, dt, dt6, ts, t FROM t"));
    OMBRIX_ASSERT_OK(row, reader->read());
    ASSERT_TRUE(row);
    EXPECT_EQ(reader->get_date(0), (Ombrix::Core::Date{2018, 11, 4}));
    EXPECT_EQ(reader->get_datetime(1).format("%Y-%m-%d %H:%M:%S"), "2018-11-04 00:30:00");
    EXPECT_EQ(reader->get_timestamp(3).format("%Y-%m-%d %H:%M:%S"), "2024-03-31 02:30:00");
    OMBRIX_ASSERT_OK(values, reader->get_values());
    for (std::size_t c = 0; c < texts.size(); ++c) EXPECT_EQ(values[c]->to_string(), texts[c]);
}

TEST_F(MariaDBReader, TextCellsKeepEveryByteOfUtf8) {
    run("CREATE TABLE t (id INT PRIMARY KEY, c CHAR(10), v VARCHAR(50), tx TEXT, e ENUM('a', 'ü', '😀'),"
        " s SET('x', 'ÿ', 'z')) CHARACTER SET utf8mb4;"
        "INSERT INTO t VALUES (1, 'ñandú', 'Grüße 日本 😀', 'one\\0two', '😀', 'x,ÿ,z'),"
        " (2, '', '', '', 'a', ''), (3, NULL, NULL, NULL, NULL, NULL)");
    const std::string select = "SELECT c, v, tx, e, s FROM t ORDER BY id";
    expect_both_paths(*m_provider, select, {
        {"c", DataType::STRING, {{"ValueString", "ñandú"}, {"ValueString", ""}, kNull}},
        {"v", DataType::STRING, {{"ValueString", "Grüße 日本 😀"}, {"ValueString", ""}, kNull}},
        {"tx", DataType::STRING, {{"ValueString", "one\0two"s}, {"ValueString", ""}, kNull}},
        // The server describes ENUM and SET columns as strings (type STRING with a flag).
        {"e", DataType::STRING, {{"ValueString", "😀"}, {"ValueString", "a"}, kNull}},
        {"s", DataType::STRING, {{"ValueString", "x,ÿ,z"}, {"ValueString", ""}, kNull}},
    });
    if (HasFatalFailure()) return;
    auto reader = first_row(select);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->get_string(1), "Grüße 日本 😀");
    EXPECT_EQ(reader->get_string(2), "one\0two"s);
    EXPECT_EQ(reader->get_enum(3), "😀");
    EXPECT_EQ(reader->get_set(4), "x,ÿ,z");
    EXPECT_EQ(reader->get_size(1), std::string("Grüße 日本 😀").size());
}

TEST_F(MariaDBReader, BinaryCellsKeepExactlyTheirBytes) {
    run("CREATE TABLE t (id INT PRIMARY KEY, bn BINARY(4), vb VARBINARY(8), tb TINYBLOB, bl BLOB, mb MEDIUMBLOB,"
        " lb LONGBLOB);"
        "INSERT INTO t VALUES (1, x'00FF00', x'000000', x'00FF00', x'41004200', REPEAT(x'00FF', 35000),"
        "  x'FF'),"
        " (2, '', '', '', '', '', ''), (3, NULL, NULL, NULL, NULL, NULL, NULL)");
    std::string medium;
    for (int i = 0; i < 35000; ++i) medium += "00FF";
    const std::string select = "SELECT bn, vb, tb, bl, mb, lb FROM t ORDER BY id";
    expect_both_paths(*m_provider, select, {
        // BINARY and VARBINARY are strings of the binary character set: their text keeps every byte.
        {"bn", DataType::STRING, {{"ValueString", "\0\xFF\0\0"s}, {"ValueString", "\0\0\0\0"s}, kNull}},
        {"vb", DataType::STRING, {{"ValueString", "\0\0\0"s}, {"ValueString", ""}, kNull}},
        {"tb", DataType::BLOB, {{"ValueBlob", "00FF00"}, {"ValueBlob", ""}, kNull}},
        {"bl", DataType::BLOB, {{"ValueBlob", "41004200"}, {"ValueBlob", ""}, kNull}},
        {"mb", DataType::BLOB, {{"ValueBlob", medium}, {"ValueBlob", ""}, kNull}},
        {"lb", DataType::BLOB, {{"ValueBlob", "FF"}, {"ValueBlob", ""}, kNull}},
    });
    if (HasFatalFailure()) return;
    auto reader = first_row(select);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->get_binary(0), (Bytes{0x00, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(reader->get_binary(2), (Bytes{0x00, 0xFF, 0x00}));
    EXPECT_EQ(reader->get_binary(3), (Bytes{0x41, 0x00, 0x42, 0x00}));
    EXPECT_EQ(reader->get_binary(4).size(), 70000u);
    EXPECT_EQ(reader->get_binary(5), (Bytes{0xFF}));
    EXPECT_EQ(reader->get_string(1), "\0\0\0"s);
}

TEST_F(MariaDBReader, TextWithABinaryCollationStaysText) {
    // A binary collation sets the column's binary flag too; only the binary character set makes
    // bytes of a TEXT or BLOB column.
    run("CREATE TABLE t (id INT PRIMARY KEY, tx TEXT COLLATE utf8mb4_bin, mt MEDIUMTEXT CHARACTER SET latin1"
        " COLLATE latin1_bin, tt TINYTEXT COLLATE utf8mb4_bin, bl BLOB) CHARACTER SET utf8mb4;"
        "INSERT INTO t VALUES (1, 'Grüße 😀', 'façade', 'ü', x'00FF'), (2, NULL, NULL, NULL, NULL)");
    expect_both_paths(*m_provider, "SELECT tx, mt, tt, bl FROM t ORDER BY id", {
        {"tx", DataType::STRING, {{"ValueString", "Grüße 😀"}, kNull}},
        {"mt", DataType::STRING, {{"ValueString", "façade"}, kNull}},
        {"tt", DataType::STRING, {{"ValueString", "ü"}, kNull}},
        {"bl", DataType::BLOB, {{"ValueBlob", "00FF"}, kNull}},
    });
    if (HasFatalFailure()) return;
    auto reader = first_row("SELECT tx, bl FROM t ORDER BY id");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->get_dbms_type(0), "BLOB");
    EXPECT_EQ(reader->get_string(0), "Grüße 😀");
}

TEST_F(MariaDBReader, JsonAndGeometryCellsCarryTheirContent) {
    run("CREATE TABLE t (id INT PRIMARY KEY, j JSON, g GEOMETRY, p POINT);"
        "INSERT INTO t VALUES (1, '{\"k\": \"ü\", \"n\": [1, 2.50]}',"
        "  ST_GeomFromText('POLYGON((0 0, 1 0, 1 1, 0 0))'), POINT(1.5, -2)),"
        " (2, NULL, NULL, NULL)");
    OMBRIX_ASSERT_OK(polygon, m_provider->execute_scalar("SELECT HEX(g) FROM t WHERE id = 1", false));
    OMBRIX_ASSERT_OK(point, m_provider->execute_scalar("SELECT HEX(p) FROM t WHERE id = 1", false));
    // The server's own form: a 4-byte SRID, then the well-known binary of the shape.
    ASSERT_EQ(point->to_string(), "000000000101000000000000000000F83F00000000000000C0");
    expect_both_paths(*m_provider, "SELECT j, g, p FROM t ORDER BY id", {
        // MariaDB's JSON is a LONGTEXT with a binary collation, marked as JSON in its metadata.
        {"j", DataType::JSON, {{"ValueJson", "{\"k\": \"ü\", \"n\": [1, 2.50]}"}, kNull}},
        {"g", DataType::GEOMETRY, {{"ValueGeometry", polygon->to_string()}, kNull}},
        {"p", DataType::GEOMETRY, {{"ValueGeometry", point->to_string()}, kNull}},
    });
    if (HasFatalFailure()) return;
    OMBRIX_ASSERT_OK(model, m_provider->execute_model("SELECT p FROM t WHERE id = 1", false));
    auto shape = std::dynamic_pointer_cast<ValueGeometry>(model->get_value_at(0, 0));
    ASSERT_NE(shape, nullptr);
    EXPECT_TRUE(shape->is_binary());
    EXPECT_EQ(shape->to_bytes().size(), 25u);
    EXPECT_EQ(shape->clone()->to_string(), point->to_string());
}

TEST_F(MariaDBReader, SizesAreTheLongestCellsOfTheResultNotTheDeclaredWidths) {
    run("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(255), u VARCHAR(10), n INT, none VARCHAR(100),"
        " d DECIMAL(10,2));"
        "INSERT INTO t VALUES (1, 'abc', 'üüü', -12345, NULL, 1.5), (2, 'hello', 'ü', 7, NULL, 10.25),"
        " (3, NULL, NULL, NULL, NULL, NULL)");
    const std::string select = "SELECT v, u, n, none, d FROM t ORDER BY id";
    const std::vector<std::uint64_t> sizes = {5, 6, 6, 0, 5};
    OMBRIX_ASSERT_OK(model, m_provider->execute_model(select, false));
    ASSERT_EQ(model->get_columns()->size(), sizes.size());
    OMBRIX_ASSERT_OK(reader, m_provider->execute_reader(select));
    for (std::size_t c = 0; c < sizes.size(); ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(model->get_columns()->get(c)->get_data_size(), sizes[c]);
        EXPECT_EQ(reader->get_size(static_cast<std::uint16_t>(c)), sizes[c]);
    }
    // An empty result has no cells at all.
    OMBRIX_ASSERT_OK(empty, m_provider->execute_model("SELECT v FROM t WHERE id = 0", false));
    ASSERT_EQ(empty->get_columns()->size(), 1u);
    EXPECT_EQ(empty->get_columns()->get(0)->get_data_size(), 0u);
    EXPECT_EQ(empty->get_n_items(), 0u);
}

TEST_F(MariaDBReader, TypesFollowTheClientTypeNumberAndFlags) {
    // The table itself is checked entry by entry in the unit tests; here, what the server describes.
    run("CREATE TABLE t (y YEAR, tx TEXT, bl BLOB, tu TINYINT UNSIGNED, mi MEDIUMINT, de DECIMAL(5,1),"
        " vc VARCHAR(3), ch CHAR(2));"
        "INSERT INTO t VALUES (2000, 'a', 'b', 200, -1, 1.5, 'x', 'y')");
    auto reader = first_row("SELECT y, tx, bl, tu, mi, de, vc, ch, NULL AS nothing FROM t");
    ASSERT_NE(reader, nullptr);
    const std::vector<std::string> names = {"YEAR", "BLOB", "BLOB", "TINY", "INT24", "NEWDECIMAL", "VAR_STRING",
                                            "STRING", "NULL"};
    const std::vector<DataType> types = {DataType::INT16, DataType::STRING, DataType::BLOB,
                                         DataType::UINT8, DataType::INT32,  DataType::DECIMAL,
                                         DataType::STRING, DataType::STRING, DataType::DBNULL};
    for (std::uint16_t c = 0; c < names.size(); ++c) {
        SCOPED_TRACE(names[c]);
        EXPECT_EQ(reader->get_dbms_type(c), names[c]);
        EXPECT_EQ(reader->get_data_type(c), types[c]);
    }
    EXPECT_EQ(reader->get_uint8(3), 200);
    OMBRIX_ASSERT_OK(nothing, reader->get_value(8));
    EXPECT_EQ(value_class(nothing), "ValueNull");
    auto decimals = std::dynamic_pointer_cast<Supports::MariaDBReader>(reader);
    ASSERT_NE(decimals, nullptr);
    EXPECT_EQ(decimals->get_decimals_size(5), 1u);
}

TEST_F(MariaDBReader, WalksItsRowsOnceAndReportsTheEnd) {
    run("CREATE TABLE t (id INT PRIMARY KEY, flag VARCHAR(5));"
        "INSERT INTO t VALUES (1, 'true'), (2, 'TRUE'), (3, 'yes')");
    OMBRIX_ASSERT_OK(reader, m_provider->execute_reader("SELECT id, flag FROM t ORDER BY id"));
    EXPECT_EQ(reader->bulk(10), 0);
    EXPECT_FALSE(reader->get_is_closed());
    std::vector<bool> flags;
    while (true) {
        OMBRIX_ASSERT_OK(more, reader->read());
        if (!more) break;
        flags.push_back(reader->get_boolean(1));
    }
    EXPECT_EQ(flags, (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(reader->get_is_closed());
    OMBRIX_ASSERT_OK(again, reader->read());
    EXPECT_FALSE(again);

    // close() drains what is left.
    OMBRIX_ASSERT_OK(partial, m_provider->execute_reader("SELECT id FROM t ORDER BY id"));
    OMBRIX_ASSERT_OK(first, partial->read());
    ASSERT_TRUE(first);
    EXPECT_EQ(partial->get_int32(0), 1);
    partial->close();
    EXPECT_TRUE(partial->get_is_closed());
    OMBRIX_ASSERT_OK(after, partial->read());
    EXPECT_FALSE(after);
}

}  // namespace
