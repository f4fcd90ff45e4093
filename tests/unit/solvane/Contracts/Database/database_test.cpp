#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "providers/Contracts/data_type.hpp"
#include "providers/Core/enumeration.hpp"
#include "solvane/Contracts/CodeGen/codegen.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Contracts/Database/database.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/Exceptions/sql_error.hpp"

using namespace Ombrix::Solvane::Contracts::Database;
using Ombrix::Solvane::Exceptions::SQLError;

TEST(DatabaseContracts, MetaTypeValuesFollowTheBindingOrder) {
    EXPECT_EQ(static_cast<int>(DbMetaType::USER_LANGUAGE), 29);
    EXPECT_EQ(static_cast<int>(DbMetaType::SERVERS), 59);
    EXPECT_EQ(static_cast<int>(DbMetaType::VIEW_CHECK_OPTION), kDbMetaTypeCount - 1);
    EXPECT_EQ(to_string(DbMetaType::FOREIGNKEY_ACTION), "foreignkey-action");
    EXPECT_EQ(to_string(DbMetaType::TRIGGER_FIRE_TIME_TABLE), "trigger-fire-time-table");
    // Every nick reads back as its own member.
    for (int i = 0; i < kDbMetaTypeCount; ++i) {
        const auto type = static_cast<DbMetaType>(i);
        EXPECT_EQ(db_meta_type_from_string(to_string(type)), type) << i;
    }
    EXPECT_FALSE(db_meta_type_from_string("no-such").has_value());
}

TEST(DatabaseContracts, StatusActionAndErrorNicks) {
    EXPECT_EQ(to_string(DBStatus::Opened), "opened");
    EXPECT_EQ(to_string(DBStatus::Failed), "failed");
    EXPECT_EQ(to_string(SqlAction::FEATURE), "feature");
    EXPECT_EQ(to_string(SqlAction::INSERT), "insert");
    EXPECT_EQ(static_cast<int>(SQLError::UNKNOWN), 30001);
    EXPECT_EQ(static_cast<int>(SQLError::MISSING_PARAMETER), 30033);
    EXPECT_EQ(to_string(SQLError::ACCESS_DENIED), "access-denied");
    EXPECT_EQ(to_string(SQLError::MYSQL_ERROR_START), "mysql-error-start");
    EXPECT_EQ(to_string(SQLError::FEATURE_NOT_SUPPORTED), "feature-not-supported");
    EXPECT_EQ(to_string(static_cast<SQLError>(12345)), "");
}

TEST(DatabaseContracts, EnumerationsAreRegisteredWithValueNamesAndTheNicksTheirToStringGives) {
    using Ombrix::Core::EnumInfo;
    using Ombrix::Solvane::Contracts::Log::LogLevel;
    namespace P = Ombrix::Providers::Contracts;
    namespace Log = Ombrix::Solvane::Contracts::Log;
    namespace Ex = Ombrix::Solvane::Exceptions;
    struct Case {
        const char* type_name;
        const EnumInfo* by_type;
        std::size_t count;
        bool flags;
        std::int64_t value;  // one member, by name and nick
        const char* value_name;
        const char* nick;
        std::function<std::string(std::int64_t)> to_string;  // the library's own nick of a member
    };
    const Case cases[] = {
        {"OmbrixSolvaneContractsDatabaseDBStatus", EnumInfo::of<DBStatus>(), 4, false, 2,
         "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_STATUS_OPENED", "opened",
         [](std::int64_t v) { return std::string(to_string(static_cast<DBStatus>(v))); }},
        {"OmbrixSolvaneContractsDatabaseDbMetaType", EnumInfo::of<DbMetaType>(), 94, false, 17,
         "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_META_TYPE_FOREIGNKEY_ACTION", "foreignkey-action",
         [](std::int64_t v) { return to_string(static_cast<DbMetaType>(v)); }},
        {"OmbrixSolvaneContractsDatabaseDbMetaType", EnumInfo::of<DbMetaType>(), 94, false, 59,
         "OMBRIX_SOLVANE_CONTRACTS_DATABASE_DB_META_TYPE_SERVERS", "servers",
         [](std::int64_t v) { return to_string(static_cast<DbMetaType>(v)); }},
        {"OmbrixSolvaneExceptionsSQLError", EnumInfo::of<SQLError>(), 38, false, 30004,
         "OMBRIX_SOLVANE_EXCEPTIONS_SQL_ERROR_ACCESS_DENIED", "access-denied",
         [](std::int64_t v) { return std::string(Ex::to_string(static_cast<SQLError>(v))); }},
        {"OmbrixSolvaneExceptionsSQLError", EnumInfo::of<SQLError>(), 38, false, 10000,
         "OMBRIX_SOLVANE_EXCEPTIONS_SQL_ERROR_MYSQL_ERROR_START", "mysql-error-start",
         [](std::int64_t v) { return std::string(Ex::to_string(static_cast<SQLError>(v))); }},
        {"OmbrixSolvaneContractsLogLogLevel", EnumInfo::of<LogLevel>(), 3, false, 2,
         "OMBRIX_SOLVANE_CONTRACTS_LOG_LOG_LEVEL_DEBUG", "debug",
         [](std::int64_t v) { return std::string(Log::to_string(static_cast<LogLevel>(v))); }},
        // The provider library's enumerations are registered the same way.
        {"OmbrixProvidersContractsDataType", EnumInfo::of<P::DataType>(), 37, false, 24,
         "OMBRIX_PROVIDERS_CONTRACTS_DATA_TYPE_WSTRING", "wstring",
         [](std::int64_t v) { return std::string(P::to_string(static_cast<P::DataType>(v))); }},
        {"OmbrixProvidersContractsDBObject", EnumInfo::of<P::DBObject>(), 46, false, 25,
         "OMBRIX_PROVIDERS_CONTRACTS_DB_OBJECT_PARTITION_FUNCTION", "partition-function",
         [](std::int64_t v) { return std::string(P::to_string(static_cast<P::DBObject>(v))); }},
        {"OmbrixProvidersContractsDataVersion", EnumInfo::of<P::DataVersion>(), 5, true, 4,
         "OMBRIX_PROVIDERS_CONTRACTS_DATA_VERSION_INSERT", "insert",
         [](std::int64_t v) { return P::to_string(static_cast<P::DataVersion>(v)); }},
    };
    for (const auto& c : cases) {
        const EnumInfo* info = EnumInfo::lookup(c.type_name);
        ASSERT_NE(info, nullptr) << c.type_name;
        EXPECT_EQ(info, c.by_type) << c.type_name;
        EXPECT_EQ(info->name(), c.type_name);
        EXPECT_EQ(info->is_flags(), c.flags) << c.type_name;
        EXPECT_EQ(info->members().size(), c.count) << c.type_name;
        const auto* member = info->find(c.value);
        ASSERT_NE(member, nullptr) << c.type_name << " " << c.value;
        EXPECT_EQ(member->name, c.value_name);
        EXPECT_EQ(member->nick, c.nick);
        EXPECT_EQ(info->find_by_name(c.value_name), member);
        EXPECT_EQ(info->find_by_nick(c.nick), member);
        for (const auto& each : info->members()) {
            EXPECT_EQ(each.nick, c.to_string(each.value)) << each.name;
            EXPECT_EQ(info->find_by_nick(each.nick), &each) << each.name;  // no two members share a nick
        }
    }
    EXPECT_EQ(EnumInfo::lookup("OmbrixSolvaneContractsDatabaseNoSuch"), nullptr);
    EXPECT_EQ(EnumInfo::lookup("OmbrixSolvaneContractsDatabaseDBStatus")->find(4), nullptr);
}
