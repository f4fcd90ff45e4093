#include "solvane/Supports/Database/sql_builder.hpp"

#include <gtest/gtest.h>

#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/null_connection.hpp"

using namespace Ombrix::Solvane;
using MetaModel::MetaForeignKey;
using MetaModel::MetaSchema;
using MetaModel::MetaTable;
using Supports::Database::SqlBuilder;
using Names = std::vector<std::string>;

namespace {

// A schema with `names` in order; `references` lists (table, referenced table) foreign keys.
std::shared_ptr<MetaSchema> schema_of(const Names& names, const std::vector<std::pair<std::string, std::string>>& references) {
    auto schema = MetaSchema::with_names("db", "db");
    for (const auto& name : names) {
        auto table = MetaTable::with_names("db", "db", name);
        for (const auto& [from, to] : references)
            if (from == name) table->get_constraints()->append(MetaForeignKey::with_names("fk_" + from + "_" + to, "db", to));
        schema->get_tables()->append(table);
    }
    return schema;
}

Names order(const std::shared_ptr<MetaSchema>& schema) {
    Names names;
    for (const auto& table : *schema->get_tables()) names.push_back(table->get_name());
    return names;
}

class SqlBuilderTest : public ::testing::Test {
protected:
    Ombrix::Testing::NullConnection m_connection;
    std::shared_ptr<SqlBuilder> m_builder = SqlBuilder::create(&m_connection);
};

}  // namespace

TEST_F(SqlBuilderTest, PullsReferencedTablesInFrontFromTheGivenIndexDown) {
    auto two = schema_of({"A", "B"}, {{"A", "B"}});
    m_builder->order_with_dependence(two, 0);
    EXPECT_EQ(order(two), (Names{"B", "A"}));

    for (auto [index, expected] : std::vector<std::pair<int, Names>>{
             {0, {"A", "B", "C"}}, {1, {"A", "C", "B"}}, {2, {"A", "B", "C"}}, {7, {"A", "B", "C"}}}) {
        auto three = schema_of({"A", "B", "C"}, {{"B", "C"}});
        m_builder->order_with_dependence(three, index);
        EXPECT_EQ(order(three), expected) << "index " << index;
    }

    // A chain pulled in by the first table: each pulled table brings its own references.
    auto chain = schema_of({"orders", "items", "customers", "countries"},
                           {{"orders", "customers"}, {"orders", "items"}, {"customers", "countries"}});
    m_builder->order_with_dependence(chain, 0);
    EXPECT_EQ(order(chain), (Names{"countries", "customers", "items", "orders"}));

    // Self references and unknown names move nothing.
    auto odd = schema_of({"A", "B"}, {{"A", "A"}, {"A", "elsewhere"}});
    m_builder->order_with_dependence(odd, 0);
    EXPECT_EQ(order(odd), (Names{"A", "B"}));
}

TEST_F(SqlBuilderTest, EndsOnForeignKeyCycles) {
    // Two tables referencing each other would be swapped for ever.
    auto pair = schema_of({"A", "B"}, {{"A", "B"}, {"B", "A"}});
    m_builder->order_with_dependence(pair, 0);
    EXPECT_EQ(order(pair), (Names{"A", "B"}));

    // A longer cycle behind an ordinary reference: the table outside the cycle still goes first.
    auto ring = schema_of({"D", "A", "B", "C", "E"}, {{"A", "B"}, {"B", "C"}, {"C", "A"}, {"D", "E"}});
    m_builder->order_with_dependence(ring, 3);
    auto names = order(ring);
    ASSERT_EQ(names.size(), 5u);
    const auto pos = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    EXPECT_LT(pos("E"), pos("D"));
}

TEST_F(SqlBuilderTest, BaseGivesEmptyTextsAndRefusesNullArguments) {
    auto table = MetaTable::with_names("db", "db", "t");
    EXPECT_EQ(m_builder->build_table(table), "");
    EXPECT_EQ(m_builder->build_normal(table, SqlBuilder::SqlAction::INSERT), "");
    EXPECT_EQ(m_builder->get_conn(), &m_connection);

    Ombrix::Testing::LogCapture log;
    EXPECT_EQ(m_builder->build_table(nullptr), "");
    EXPECT_EQ(m_builder->patch_function(nullptr), "");
    m_builder->order_with_dependence(nullptr, 0);
    EXPECT_EQ(SqlBuilder::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("table != NULL"));
    EXPECT_TRUE(log.has_critical("func != NULL"));
    EXPECT_TRUE(log.has_critical("schema != NULL"));
    EXPECT_TRUE(log.has_critical("conn != NULL"));
}
