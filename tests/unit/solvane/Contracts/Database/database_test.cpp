#include <gtest/gtest.h>

#include "solvane/Contracts/CodeGen/codegen.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/Contracts/Database/database.hpp"
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
