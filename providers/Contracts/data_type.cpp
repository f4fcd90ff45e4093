#include "providers/Contracts/data_type.hpp"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "providers/Core/enumeration.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

namespace {

constexpr std::array<std::string_view, 37> kDataTypeNicks{
    "unknown", "dbnull",   "boolean",  "int8",     "int16",     "int32",  "int64",    "uint8",
    "uint16",  "uint32",   "uint64",   "enum",     "flags",     "set",    "money",    "decimal",
    "float",   "double",   "date",     "time",     "datetime",  "timespan", "timestamp", "string",
    "wstring", "xml",      "uuid",     "json",     "geometry",  "geography", "binary", "blob",
    "object",  "pointer",  "variant",  "array",    "error"};

constexpr std::array<std::string_view, 37> kGlibTypes{
    "gchararray", "OmbrixProvidersContractsValueNull", "gboolean", "gchar", "gint", "gint", "gint64", "guchar",
    "guint", "gint", "gint64", "GEnum", "GFlags", "GEnum", "gdouble", "gdouble",
    "gfloat", "gdouble", "GDate", "gpointer", "GDateTime", "gint64", "gchararray", "gchararray",
    "gchararray", "gchararray", "gchararray", "gchararray", "gchararray", "gchararray", "GBytes", "GBytes",
    "GObject", "gchararray", "GVariant", "GArray", "gchararray"};

constexpr std::array<std::string_view, 46> kDBObjectNicks{
    "unknown", "aggregate", "assembly", "backup", "check", "cast", "class", "classifier", "column",
    "contraint", "conversion", "database", "device", "domain", "endpoint", "event", "exclude", "foreign",
    "function", "index", "job", "language", "materialized", "operator", "package", "partition-function",
    "partition-scheme", "primary", "procedure", "query", "report", "role", "routine", "rule", "schema",
    "sequence", "server", "statistics", "synonym", "table", "tablespace", "trigger", "type", "unique",
    "user", "view"};

constexpr std::array<std::pair<std::string_view, DataVersion>, 5> kDataVersionNicks{{
    {"initial", DataVersion::INITIAL},
    {"identical", DataVersion::IDENTICAL},
    {"delete", DataVersion::DELETE},
    {"insert", DataVersion::INSERT},
    {"update", DataVersion::UPDATE},
}};

// The members of an enumeration numbered 0, 1, ... in the order of its nicks.
template <class E, std::size_t N>
std::vector<std::pair<E, std::string_view>> consecutive(const std::array<std::string_view, N>& nicks) {
    std::vector<std::pair<E, std::string_view>> members;
    for (std::size_t i = 0; i < N; ++i) members.emplace_back(static_cast<E>(i), nicks[i]);
    return members;
}

OMBRIX_REGISTER_ENUM(DataType, Core::EnumInfo::define<DataType>("OmbrixProvidersContractsDataType",
                                                                "OMBRIX_PROVIDERS_CONTRACTS_DATA_TYPE_",
                                                                consecutive<DataType>(kDataTypeNicks)));
OMBRIX_REGISTER_ENUM(DBObject, Core::EnumInfo::define<DBObject>("OmbrixProvidersContractsDBObject",
                                                                "OMBRIX_PROVIDERS_CONTRACTS_DB_OBJECT_",
                                                                consecutive<DBObject>(kDBObjectNicks)));

std::vector<std::pair<DataVersion, std::string_view>> data_version_members() {
    std::vector<std::pair<DataVersion, std::string_view>> members;
    for (const auto& [nick, flag] : kDataVersionNicks) members.emplace_back(flag, nick);
    return members;
}

OMBRIX_REGISTER_ENUM(DataVersion, Core::EnumInfo::define<DataVersion>("OmbrixProvidersContractsDataVersion",
                                                                      "OMBRIX_PROVIDERS_CONTRACTS_DATA_VERSION_",
                                                                      data_version_members(), true));

}  // namespace

std::string_view to_string(DataType type) {
    const auto index = static_cast<std::size_t>(type);
    return index < kDataTypeNicks.size() ? kDataTypeNicks[index] : std::string_view();
}

std::optional<DataType> data_type_from_string(std::string_view nick) {
    for (std::size_t i = 0; i < kDataTypeNicks.size(); ++i)
        if (kDataTypeNicks[i] == nick) return static_cast<DataType>(i);
    return std::nullopt;
}

std::string_view get_glib_type(DataType type) {
    const auto index = static_cast<std::size_t>(type);
    return index < kGlibTypes.size() ? kGlibTypes[index] : std::string_view("gchararray");
}

DataType get_data_type(std::string_view type_name) {
    // Fundamental types first.
    static constexpr std::array<std::pair<std::string_view, DataType>, 14> fundamentals{{
        {"gchar", DataType::INT8},
        {"guchar", DataType::UINT8},
        {"gboolean", DataType::BOOLEAN},
        {"gint", DataType::INT32},
        {"glong", DataType::INT32},
        {"guint", DataType::UINT32},
        {"gulong", DataType::UINT32},
        {"gint64", DataType::INT64},
        {"guint64", DataType::UINT64},
        {"GEnum", DataType::ENUM},
        {"GFlags", DataType::FLAGS},
        {"gfloat", DataType::FLOAT},
        {"gdouble", DataType::DOUBLE},
        {"gchararray", DataType::STRING},
    }};
    for (const auto& [name, type] : fundamentals)
        if (name == type_name) return type;

    static constexpr std::array<std::pair<std::string_view, DataType>, 16> by_name{{
        {"gint16", DataType::INT16},
        {"guint16", DataType::UINT16},
        {"gdate", DataType::DATE},
        {"gtime", DataType::TIME},
        {"gdatetime", DataType::DATETIME},
        {"gtimespan", DataType::TIMESPAN},
        {"gtimestamp", DataType::DATETIME},
        {"gnumeric", DataType::DECIMAL},
        {"guid", DataType::UUID},
        {"uuid", DataType::UUID},
        {"xml", DataType::XML},
        {"json", DataType::JSON},
        {"gobject", DataType::OBJECT},
        {"gbinary", DataType::BINARY},
        {"gblob", DataType::BLOB},
        {"gnull", DataType::DBNULL},
    }};
    const std::string lower = Core::ascii_lower(type_name);
    for (const auto& [name, type] : by_name)
        if (name == lower) return type;
    return DataType::UNKNOWN;
}

DataType get_data_type(const Core::Value& value) {
    switch (value.type()) {
        case Core::ValueType::Enum: return DataType::ENUM;
        case Core::ValueType::Flags: return DataType::FLAGS;
        case Core::ValueType::Object: return get_data_type(value.type_name());
        default: return get_data_type(Core::value_type_name(value.type()));
    }
}

std::string to_string(DataVersion version) {
    if (version == DataVersion::INITIAL) return "initial";
    std::string text;
    for (const auto& [nick, flag] : kDataVersionNicks) {
        if (flag == DataVersion::INITIAL || (version & flag) != flag) continue;
        if (!text.empty()) text += " | ";
        text += nick;
    }
    return text;
}

std::optional<DataVersion> data_version_from_string(std::string_view nick) {
    for (const auto& [name, flag] : kDataVersionNicks)
        if (name == nick) return flag;
    return std::nullopt;
}

std::string_view to_string(DBObject kind) {
    const auto index = static_cast<std::size_t>(kind);
    return index < kDBObjectNicks.size() ? kDBObjectNicks[index] : std::string_view();
}

std::optional<DBObject> db_object_from_string(std::string_view nick) {
    for (std::size_t i = 0; i < kDBObjectNicks.size(); ++i)
        if (kDBObjectNicks[i] == nick) return static_cast<DBObject>(i);
    return std::nullopt;
}

}  // namespace Ombrix::Providers::Contracts
