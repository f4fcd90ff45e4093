#include "solvane/Helpers/helper_database.hpp"

#include <gtest/gtest.h>

#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using namespace Ombrix::Providers::Contracts;
using Solvane::Helpers::DatabaseHelper;

namespace {

ValuePtr str(std::string_view text) { return ValueString::create(text); }
ValuePtr i32(std::int32_t v) { return ValueInt32::create(v); }

}  // namespace

TEST(DatabaseHelper, ConvertsTextToTheNamedTypeAndBackToGridText) {
    struct Row {
        const char* type;
        const char* text;
        Core::ValueType tag;
        const char* shown;
    };
    const Row rows[] = {
        {"gchararray", "it's", Core::ValueType::String, "it's"},
        {"gchar", "200", Core::ValueType::Char, "-56"},         // narrowed like a C cast
        {"gint16", "70000", Core::ValueType::Int, "4464"},      // low 16 bits, held as int
        {"gint", "  -42abc", Core::ValueType::Int, "-42"},      // atoi stops at the first non-digit
        {"glong", "0x10", Core::ValueType::Long, "16"},         // base detection
        {"gint64", "-9223372036854775808", Core::ValueType::Int64, "-9223372036854775808"},
        {"guchar", "0x1FF", Core::ValueType::UChar, "255"},
        {"guint16", "65537", Core::ValueType::UInt, "1"},
        {"guint", "010", Core::ValueType::UInt, "8"},           // octal
        {"guint64", "18446744073709551615", Core::ValueType::UInt64, "18446744073709551615"},
        {"gfloat", "1.5", Core::ValueType::Float, "1.5"},
        {"gdouble", "0.1", Core::ValueType::Double, "0.1"},
        {"gboolean", "true", Core::ValueType::Boolean, "TRUE"},
        {"gboolean", "TRUE", Core::ValueType::Boolean, "FALSE"},  // only the exact word is true
        {"GDateTime", "2024-01-31T10:00:05Z", Core::ValueType::DateTime, "2024-01-31 10:00:05"},
        {"GDateTime", "2024-01-31T10:00:05", Core::ValueType::DateTime, "2024-01-31 10:00:05"},  // read as UTC
        {"GDateTime", "not a date", Core::ValueType::DateTime, "<null>"},
        {"GDate", "2024-01-31", Core::ValueType::Date, "0-0-0"},
        {"GTime", "10:20:30", Core::ValueType::DateTime, "1970-01-01 10:20:30"},
        {"GBlob", "raw", Core::ValueType::String, "raw"},
        {"GNull", "x", Core::ValueType::Invalid, "<null>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.type) + " <- " + row.text);
        const auto value = DatabaseHelper::string_to_glib_value(row.type, row.text);
        EXPECT_EQ(value.type(), row.tag);
        EXPECT_EQ(DatabaseHelper::glib_value_to_text(value, "<null>"), row.shown);
    }
}

TEST(DatabaseHelper, GridTextOfOtherTypes) {
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_enum(-3), "-"), "-3");
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_date({2024, 2, 9}), "-"), "2024-2-9");
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_float(1e20f), "-"), "1e+20");
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_double(1.0 / 3), "-"), "0.3333333333333333");
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_strv({"a", "b\"c"}), "-"), "[\"a\", \"b\\\"c\"]");

    Testing::LogCapture log;
    EXPECT_EQ(DatabaseHelper::glib_value_to_text(Core::Value::from_int(1), {}), "");
    EXPECT_TRUE(log.has_critical("null_value != NULL"));
}

TEST(DatabaseHelper, NumberReadersAcceptOnlyTheirTypes) {
    struct Row {
        Core::Value value;
        bool as_int64;
        bool as_uint64;
        bool as_double;
    };
    const Row rows[] = {
        {Core::Value::from_char(-5), true, false, true},
        {Core::Value::from_long(-5), true, false, true},
        {Core::Value::from_uchar(5), false, true, true},
        {Core::Value::from_enum(5), false, true, true},
        {Core::Value::from_float(5.0f), false, false, true},
        {Core::Value::from_boolean(true), false, false, false},
        {Core::Value::from_string("5"), false, false, false},
        {Core::Value(), false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.type_name());
        std::int64_t i = 99;
        std::uint64_t u = 99;
        double d = 99;
        EXPECT_EQ(DatabaseHelper::glib_value_to_int64(row.value, i), row.as_int64);
        EXPECT_EQ(DatabaseHelper::glib_value_to_uint64(row.value, u), row.as_uint64);
        EXPECT_EQ(DatabaseHelper::glib_value_to_double(row.value, d), row.as_double);
        EXPECT_EQ(i, row.as_int64 ? -5 : 0);
        EXPECT_EQ(u, row.as_uint64 ? 5u : 0u);
        EXPECT_EQ(d, row.as_double ? (row.as_uint64 || row.value.type() == Core::ValueType::Float ? 5.0 : -5.0) : 0.0);
    }
}

TEST(DatabaseHelper, FormatsSqlLiteralsThatCannotEscapeTheirQuotes) {
    struct Row {
        DataType kind;
        ValuePtr value;
        const char* sql;
    };
    const Row rows[] = {
        {DataType::STRING, str("O'Brien"), "'O''Brien'"},
        {DataType::STRING, str("a\\' OR 1=1 -- "), "_utf8mb4 X'615C27204F5220313D31202D2D20'"},
        {DataType::JSON, str("{\"k\":\"it's\"}"), "'{\"k\":\"it''s\"}'"},  // every other kind is escaped too
        {DataType::DATE, ValueDate::new_dmy(2024, 1, 31), "'2024-01-31'"},
        {DataType::INT32, i32(-7), "-7"},
        {DataType::DOUBLE, ValueDouble::create(2.5), "2.500000"},
        {DataType::BOOLEAN, ValueBoolean::create(true), "true"},
        {DataType::INT32, str("1; DROP TABLE t"), "'1; DROP TABLE t'"},  // not a number: a literal
        {DataType::BLOB, ValueBlob::create(Core::Bytes{0x00, 0x27, 0xFF}), "X'0027FF'"},
        {DataType::BINARY, str("a'"), "X'6127'"},
        {DataType::STRING, ValueNull::create(), "NULL"},
        {DataType::INT64, ValueNull::create(), "NULL"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sql);
        EXPECT_EQ(DatabaseHelper::format_sql_value(row.kind, row.value), row.sql);
    }
}

TEST(DatabaseHelper, BuildsStatementsWithQuotedNamesAndValues) {
    EXPECT_EQ(DatabaseHelper::format_object_name("", ""), "``");
    EXPECT_EQ(DatabaseHelper::format_object_name("s", ""), "`s`.``");
    EXPECT_EQ(DatabaseHelper::format_object_name("", "t"), "`t`");
    EXPECT_EQ(DatabaseHelper::format_object_name("my`db", "t.x"), "`my``db`.`t.x`");

    EXPECT_EQ(DatabaseHelper::build_sql_update("db", "t`; DROP TABLE x; --", {"na`me", "n"},
                                               {str("O'Brien"), nullptr}, {"id"}, {i32(3)}),
              "UPDATE `db`.`t``; DROP TABLE x; --` SET `na``me`='O''Brien', `n`=NULL WHERE `id`=3;");
    EXPECT_EQ(DatabaseHelper::build_sql_update("", "t", {"a"}, {i32(1)}, {"k1", "k2"}, {i32(1), str("x")}),
              "UPDATE `t` SET `a`=1 WHERE `k1`=1 AND `k2`='x';");
    EXPECT_EQ(DatabaseHelper::build_sql_update("", "t", {"a"}, {i32(1)}, {}, {}), "UPDATE `t` SET `a`=1;");
    EXPECT_EQ(DatabaseHelper::build_sql_insert("db", "t", {"a", "b`"}, {str("x\\"), ValueNull::create()}),
              "INSERT INTO `db`.`t`(`a`, `b```) VALUES(_utf8mb4 X'785C', NULL);");
    EXPECT_EQ(DatabaseHelper::build_sql_delete("db", "t", {"k"}, {str("'")}), "DELETE FROM `db`.`t` WHERE `k`='''';");
    EXPECT_EQ(DatabaseHelper::build_sql_delete("db", "t", {}, {}), "DELETE FROM `db`.`t`;");

    Testing::LogCapture log;
    EXPECT_EQ(DatabaseHelper::build_sql_insert("", "t", {"a", "b"}, {i32(1)}), "");
    EXPECT_EQ(DatabaseHelper::build_sql_update("", "t", {}, {}, {}, {}), "");
    EXPECT_EQ(log.criticals().size(), 2u);
}

TEST(DatabaseHelper, AccountNamesAndSizes) {
    const std::pair<const char*, const char*> accounts[] = {
        {"root", "`root`"},
        {"root@localhost", "`root`@`localhost`"},
        {"a@b@c", "`a`@`b`"},
        {"ev`il@h", "`ev``il`@`h`"},
        {"@", "``@``"},
    };
    for (const auto& [name, full] : accounts) EXPECT_EQ(DatabaseHelper::make_fullname_mysql(name), full) << name;

    const std::pair<std::uint64_t, const char*> sizes[] = {
        {0, "0 Byte"},         {1000, "1000 Byte"},     {1001, "1 KB"},
        {999999, "999 KB"},    {1234567, "1,234 KB"},   {1234567890123, "1,234,567,890 KB"},
    };
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(DatabaseHelper::format_size(bytes), text) << bytes;
}

TEST(DatabaseHelper, SummarisesBinaryCells) {
    EXPECT_EQ(DatabaseHelper::summary(ValueBinary::create(), "NULL"), "");
    EXPECT_EQ(DatabaseHelper::summary(ValueBinary::create(Core::Bytes{'h', 0xC3, 0xA9}), "NULL"), "h\xC3\xA9");
    const Core::Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, '\r', 'I', 'H', 'D', 'R'};
    EXPECT_EQ(DatabaseHelper::summary(ValueBlob::create(png), "NULL"), "image/png(16 Byte)");

    Testing::LogCapture log;
    EXPECT_EQ(DatabaseHelper::summary(nullptr, "NULL"), "");
    EXPECT_TRUE(log.has_critical("value != NULL"));
}

TEST(DatabaseHelper, CopiesResultColumnsIntoAMetaTable) {
    auto model = TableModel::new_with_types({DataType::INT32, DataType::STRING});
    (*model->get_columns())[0]->set_name("id");
    (*model->get_columns())[1]->set_name("name");
    auto table = Solvane::MetaModel::MetaTable::create();
    EXPECT_TRUE(DatabaseHelper::update_schema_with_model(table, model));
    ASSERT_EQ(table->get_columns()->size(), 2u);
    EXPECT_EQ(table->get_column("name")->get_data_type(), DataType::STRING);
    // A table that already had columns ends with more than the model.
    EXPECT_FALSE(DatabaseHelper::update_schema_with_model(table, model));
}
