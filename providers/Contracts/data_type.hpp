/// @file The shared enumerations: cell data types, row edit states and database object kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "providers/Core/value.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Providers::Contracts {

/// The kind of a cell's content; registered (Core::EnumInfo) as "OmbrixProvidersContractsDataType".
enum class DataType : int {
    UNKNOWN = 0,
    DBNULL = 1,
    BOOLEAN = 2,
    INT8 = 3,
    INT16 = 4,
    INT32 = 5,
    INT64 = 6,
    UINT8 = 7,
    UINT16 = 8,
    UINT32 = 9,
    UINT64 = 10,
    ENUM = 11,
    FLAGS = 12,
    SET = 13,
    MONEY = 14,
    DECIMAL = 15,
    FLOAT = 16,
    DOUBLE = 17,
    DATE = 18,
    TIME = 19,
    DATETIME = 20,
    TIMESPAN = 21,
    TIMESTAMP = 22,
    STRING = 23,
    WSTRING = 24,
    XML = 25,
    UUID = 26,
    JSON = 27,
    GEOMETRY = 28,
    GEOGRAPHY = 29,
    BINARY = 30,
    BLOB = 31,
    OBJECT = 32,
    POINTER = 33,
    VARIANT = 34,
    ARRAY = 35,
    ERROR = 36,
};

/// The nick of a data type ("int8", "wstring"); "" for a number outside the enumeration.
OMBRIX_PROVIDERS_EXPORT std::string_view to_string(DataType type);
/// The data type of a nick, if any.
OMBRIX_PROVIDERS_EXPORT std::optional<DataType> data_type_from_string(std::string_view nick);
/// The GLib name of the run-time type that holds a value of `type` ("gint", "GDateTime", ...).
OMBRIX_PROVIDERS_EXPORT std::string_view get_glib_type(DataType type);
/// The data type of a run-time type given by its GLib name: fundamental names first, then the
/// lower-cased whole name ("gint16", "gtimestamp", "gblob", ...); UNKNOWN otherwise.
OMBRIX_PROVIDERS_EXPORT DataType get_data_type(std::string_view type_name);
/// The data type of a dynamic value's type tag.
OMBRIX_PROVIDERS_EXPORT DataType get_data_type(const Core::Value& value);

/// Edit state of a row or meta object (flags, registered as "OmbrixProvidersContractsDataVersion").
enum class DataVersion : unsigned {
    INITIAL = 0,
    IDENTICAL = 1,
    DELETE = 2,
    INSERT = 4,
    UPDATE = 8,
};

constexpr DataVersion operator|(DataVersion a, DataVersion b) {
    return static_cast<DataVersion>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr DataVersion operator&(DataVersion a, DataVersion b) {
    return static_cast<DataVersion>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
/// Every flag set (15).
constexpr DataVersion data_version_all() { return static_cast<DataVersion>(15); }
/// The nick of a single flag ("insert"); several flags are joined with " | ".
OMBRIX_PROVIDERS_EXPORT std::string to_string(DataVersion version);
OMBRIX_PROVIDERS_EXPORT std::optional<DataVersion> data_version_from_string(std::string_view nick);

/// Kinds of database objects; registered (Core::EnumInfo) as "OmbrixProvidersContractsDBObject".
enum class DBObject : int {
    UNKNOWN = 0,
    AGGREGATE = 1,
    ASSEMBLY = 2,
    BACKUP = 3,
    CHECK = 4,
    CAST = 5,
    CLASS = 6,
    CLASSIFIER = 7,
    COLUMN = 8,
    CONTRAINT = 9,
    CONVERSION = 10,
    DATABASE = 11,
    DEVICE = 12,
    DOMAIN = 13,
    ENDPOINT = 14,
    EVENT = 15,
    EXCLUDE = 16,
    FOREIGN = 17,
    FUNCTION = 18,
    INDEX = 19,
    JOB = 20,
    LANGUAGE = 21,
    MATERIALIZED = 22,
    OPERATOR = 23,
    PACKAGE = 24,
    PARTITION_FUNCTION = 25,
    PARTITION_SCHEME = 26,
    PRIMARY = 27,
    PROCEDURE = 28,
    QUERY = 29,
    REPORT = 30,
    ROLE = 31,
    ROUTINE = 32,
    RULE = 33,
    SCHEMA = 34,
    SEQUENCE = 35,
    SERVER = 36,
    STATISTICS = 37,
    SYNONYM = 38,
    TABLE = 39,
    TABLESPACE = 40,
    TRIGGER = 41,
    TYPE = 42,
    UNIQUE = 43,
    USER = 44,
    VIEW = 45,
};

/// The nick of an object kind ("partition-function"); "" outside the enumeration.
OMBRIX_PROVIDERS_EXPORT std::string_view to_string(DBObject kind);
OMBRIX_PROVIDERS_EXPORT std::optional<DBObject> db_object_from_string(std::string_view nick);

}  // namespace Ombrix::Providers::Contracts
