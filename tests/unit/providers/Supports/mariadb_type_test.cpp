// The client's column type numbers and flags against data types and type names, entry by entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "providers/Supports/MariaDB/reader.hpp"
#include "tests/support/log_capture.hpp"

using Ombrix::Providers::Contracts::DataType;
using Ombrix::Providers::Supports::IMariaDBType;

namespace {

constexpr unsigned kUnsigned = 32, kBinary = 128;

struct Entry {
    int type;
    const char* name;
    DataType plain;        // no flags
    DataType is_unsigned;  // UNSIGNED_FLAG
    DataType is_binary;    // BINARY_FLAG
};

TEST(MariaDBTypeMapping, EveryClientTypeNumberHasItsDataTypeAndName) {
    using D = DataType;
    const std::vector<Entry> entries = {
        {0, "DECIMAL", D::DECIMAL, D::DECIMAL, D::DECIMAL},
        {1, "TINY", D::INT8, D::UINT8, D::INT8},
        {2, "SHORT", D::INT16, D::UINT16, D::INT16},
        {3, "LONG", D::INT32, D::UINT32, D::INT32},
        {4, "FLOAT", D::FLOAT, D::FLOAT, D::FLOAT},
        {5, "DOUBLE", D::DOUBLE, D::DOUBLE, D::DOUBLE},
        {6, "NULL", D::DBNULL, D::DBNULL, D::DBNULL},
        {7, "TIMESTAMP", D::TIMESTAMP, D::TIMESTAMP, D::TIMESTAMP},
        {8, "LONGLONG", D::INT64, D::UINT64, D::INT64},
        {9, "INT24", D::INT32, D::UINT32, D::INT32},
        {10, "DATE", D::DATE, D::DATE, D::DATE},
        {11, "TIME", D::TIME, D::TIME, D::TIME},
        {12, "DATETIME", D::DATETIME, D::DATETIME, D::DATETIME},
        {13, "YEAR", D::INT16, D::INT16, D::INT16},
        {14, "NEWDATE", D::DATE, D::DATE, D::DATE},
        {15, "VARCHAR", D::STRING, D::STRING, D::STRING},
        {16, "BIT", D::BINARY, D::BINARY, D::BINARY},
        {245, "JSON", D::JSON, D::JSON, D::JSON},
        {246, "NEWDECIMAL", D::DECIMAL, D::DECIMAL, D::DECIMAL},
        {247, "ENUM", D::ENUM, D::ENUM, D::ENUM},
        {248, "SET", D::SET, D::SET, D::SET},
        {249, "TINY_BLOB", D::STRING, D::STRING, D::BINARY},
        {250, "MEDIUM_BLOB", D::STRING, D::STRING, D::BLOB},
        {251, "LONG_BLOB", D::STRING, D::STRING, D::BLOB},
        {252, "BLOB", D::STRING, D::STRING, D::BLOB},
        {253, "VAR_STRING", D::STRING, D::STRING, D::STRING},
        {254, "STRING", D::STRING, D::STRING, D::STRING},
        {255, "GEOMETRY", D::GEOMETRY, D::GEOMETRY, D::GEOMETRY},
        // Numbers the server does not describe columns with.
        {17, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
        {18, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
        {19, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
        {100, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
        {244, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
        {-1, "", D::UNKNOWN, D::UNKNOWN, D::UNKNOWN},
    };
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.type);
        EXPECT_EQ(IMariaDBType::map_dbms_type(entry.type, 0), entry.name);
        EXPECT_EQ(IMariaDBType::map_dbms_type(entry.type, kUnsigned | kBinary), entry.name);
        EXPECT_EQ(IMariaDBType::map_data_type(entry.type, 0), entry.plain);
        EXPECT_EQ(IMariaDBType::map_data_type(entry.type, kUnsigned), entry.is_unsigned);
        EXPECT_EQ(IMariaDBType::map_data_type(entry.type, kBinary), entry.is_binary);
        // Other flag bits (NOT NULL, key, ENUM/SET, zero fill...) never change the kind.
        EXPECT_EQ(IMariaDBType::map_data_type(entry.type, 0xFFFFu & ~(kUnsigned | kBinary)), entry.plain);
    }
}

// Both constructors name the missing result by the argument's published name.
TEST(MariaDBReader, WithoutAResultIsNullWithTheCriticalNamingIt) {
    using Ombrix::Providers::Supports::MariaDBReader;
    Ombrix::Testing::LogCapture log;
    EXPECT_EQ(MariaDBReader::create(nullptr), nullptr);
    EXPECT_EQ(MariaDBReader::create_streamed(nullptr, nullptr), nullptr);
    ASSERT_EQ(log.criticals().size(), 2u);
    for (const auto& critical : log.criticals())
        EXPECT_NE(critical.find("MariaDBReader::create: assertion '_result_ != NULL' failed"), std::string::npos)
            << critical;
}

}  // namespace
