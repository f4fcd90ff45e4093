#include "solvane/Supports/Database/adapter.hpp"

#include <gtest/gtest.h>

#include "tests/support/log_capture.hpp"
#include "tests/support/null_connection.hpp"

using namespace Ombrix;
using Providers::Contracts::DataSetModel;
using Providers::Contracts::TableModel;
using Solvane::Supports::Database::Adapter;

namespace {

// Records the tables it is asked to fill and fails on `bad`.
class RecordingAdapter final : public Adapter {
public:
    explicit RecordingAdapter(IConnection* connection) : Adapter(connection) {}
    Core::Status fill_data_table(const std::shared_ptr<TableModel>& table) override {
        seen.push_back(table);
        if (table == bad) return Core::fail("MariaDB", 1146, "no such table");
        return {};
    }
    std::vector<std::shared_ptr<TableModel>> seen;
    std::shared_ptr<TableModel> bad;
};

std::shared_ptr<DataSetModel> data_set(const std::vector<std::shared_ptr<TableModel>>& tables) {
    auto set = DataSetModel::create();
    for (const auto& table : tables) set->get_tables()->append(table);
    return set;
}

}  // namespace

TEST(Adapter, FillDataSetFillsEachTableInOrderAndStopsAtTheFirstError) {
    Testing::NullConnection connection;
    RecordingAdapter adapter(&connection);
    const std::vector<std::shared_ptr<TableModel>> tables{TableModel::create(), TableModel::create(),
                                                          TableModel::create()};
    ASSERT_TRUE(adapter.fill_data_set(data_set(tables)).has_value());
    EXPECT_EQ(adapter.seen, tables);

    adapter.seen.clear();
    adapter.bad = tables[1];
    auto filled = adapter.fill_data_set(data_set(tables));
    ASSERT_FALSE(filled.has_value());
    EXPECT_EQ(filled.error(), (Core::Error{"MariaDB", 1146, "no such table"}));
    EXPECT_EQ(adapter.seen, (std::vector<std::shared_ptr<TableModel>>{tables[0], tables[1]}));
}

TEST(Adapter, BaseAcceptsObjectsAndRefusesNulls) {
    Testing::NullConnection connection;
    auto adapter = Adapter::create(&connection);
    ASSERT_NE(adapter, nullptr);
    EXPECT_TRUE(adapter->fill_data_set(data_set({TableModel::create()})).has_value());
    Testing::LogCapture log;
    EXPECT_TRUE(adapter->fill_data_set(nullptr).has_value());
    EXPECT_TRUE(adapter->fill_meta_table(nullptr, true).has_value());
    EXPECT_EQ(Adapter::create(nullptr), nullptr);
    EXPECT_TRUE(log.has_critical("dataset != NULL"));
    EXPECT_TRUE(log.has_critical("table != NULL"));
    EXPECT_TRUE(log.has_critical("connection != NULL"));
}
