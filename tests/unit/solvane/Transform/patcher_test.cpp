#include "providers/Core/json.hpp"
#include "solvane/Transform/patcher.hpp"

#include <gtest/gtest.h>

#include "providers/Contracts/value_object.hpp"
#include "tests/support/log_capture.hpp"
#include "tests/support/meta_samples.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;
using Ombrix::Providers::Contracts::DataSetModel;
using Ombrix::Providers::Contracts::IValue;
using Ombrix::Providers::Contracts::RowModel;
using Ombrix::Providers::Contracts::TableModel;
using Ombrix::Solvane::Transform::Patcher;

namespace {

template <class T>
std::vector<std::pair<std::string, DataVersion>> marks(const std::shared_ptr<Core::ListModel<T>>& list) {
    std::vector<std::pair<std::string, DataVersion>> result;
    for (const auto& item : *list) result.emplace_back(item->get_name(), item->get_version());
    return result;
}

using Marks = std::vector<std::pair<std::string, DataVersion>>;
constexpr DataVersion kSame = DataVersion::IDENTICAL;
constexpr DataVersion kAdd = DataVersion::INSERT;
constexpr DataVersion kDrop = DataVersion::DELETE;
constexpr DataVersion kChange = DataVersion::UPDATE;

std::shared_ptr<RowModel> row_of(std::initializer_list<Providers::Contracts::ValuePtr> values) {
    auto row = RowModel::create();
    for (const auto& value : values) row->get_values()->append(value);
    return row;
}

Providers::Contracts::ValuePtr int32(int v) { return IValue::factory(DataType::INT32, std::to_string(v)); }
Providers::Contracts::ValuePtr text(const char* v) { return IValue::factory(DataType::STRING, std::string(v)); }

std::shared_ptr<TableModel> table_of(int rows, int first_value = 0) {
    auto table = TableModel::new_with_types({DataType::INT32, DataType::STRING});
    for (int i = 0; i < rows; ++i) table->append(row_of({int32(first_value + i), text("row")}));
    return table;
}

void collect_versions(const Core::Json::Node& node, std::vector<int>& versions) {
    if (node.is_object()) {
        for (const auto& [key, member] : node.items()) {
            if (key == "version") versions.push_back(member.get<int>());
            collect_versions(member, versions);
        }
    } else if (node.is_array()) {
        for (const auto& element : node) collect_versions(element, versions);
    }
}

}  // namespace

TEST(Patcher, IdenticalModelsGiveIdenticalAndNoPatchedModel) {
    auto patcher = Patcher::create();
    auto source = Testing::sample_schema("shop", "shop");
    auto target = Testing::sample_schema("shop", "shop");
    for (bool strict : {false, true}) {
        std::shared_ptr<MetaSchema> patched = MetaSchema::create();
        EXPECT_EQ(patcher->diff_meta_schema(source, target, strict, &patched), kSame);
        EXPECT_EQ(patched, nullptr);
        std::shared_ptr<MetaTable> table = MetaTable::create();
        EXPECT_EQ(patcher->diff_meta_table((*source->get_tables())[0], (*target->get_tables())[0], strict, &table),
                  kSame);
        EXPECT_EQ(table, nullptr);
    }
    auto left = MetaDatabase::with_name("shop");
    auto right = MetaDatabase::with_name("shop");
    left->get_schemas()->append(source);
    right->get_schemas()->append(target);
    std::shared_ptr<MetaDatabase> database;
    EXPECT_EQ(patcher->diff_meta_database(left, right, false, &database), kSame);
    EXPECT_EQ(database, nullptr);
}

TEST(Patcher, DifferentlyNamedDatabasesAndSchemasCompareEqualUnlessStrict) {
    auto patcher = Patcher::create();
    // The view definitions name their schema too; reading the names as the source's covers them.
    auto source = Testing::sample_schema("shop", "sales");
    auto target = Testing::sample_schema("store", "archive");
    EXPECT_EQ(patcher->diff_meta_schema(source, target, false), kSame);
    EXPECT_EQ(patcher->diff_meta_schema(source, target, true), kChange);

    auto left = MetaDatabase::with_name("shop");
    left->get_schemas()->append(Testing::sample_schema("shop", "shop"));
    auto right = MetaDatabase::with_name("store");
    right->get_schemas()->append(Testing::sample_schema("store", "store"));
    EXPECT_EQ(patcher->diff_meta_database(left, right, false), kSame);
    EXPECT_EQ(patcher->diff_meta_database(left, right, true), kChange);
}

TEST(Patcher, NamesAreReadAsTheSourcesOnlyWhereTheyStandWhole) {
    auto patcher = Patcher::create();
    // One-letter database names occur inside nearly every word of the text; only whole names count.
    EXPECT_EQ(patcher->diff_meta_table(Testing::sample_orders("a", "a"), Testing::sample_orders("b", "b"), false),
              kSame);

    // A column named after the target's database is not the column named after the source's.
    auto source = MetaTable::with_names("shop", "shop", "t");
    source->new_column("shop_id", DataType::INT32);
    auto target = MetaTable::with_names("store", "store", "t");
    target->new_column("store_id", DataType::INT32);
    std::shared_ptr<MetaTable> patched;
    ASSERT_EQ(patcher->diff_meta_table(source, target, false, &patched), kChange);
    EXPECT_EQ(marks(patched->get_columns()), (Marks{{"store_id", kAdd}, {"shop_id", kDrop}}));

    // Quoted and qualified occurrences are whole names.
    auto view = MetaView::with_names("shop", "shop", "v");
    view->set_definition("select `shop`.`t`.`a` AS `a` from `shop`.`t` where shop.t.a > 'shop'");
    auto other = MetaView::with_names("store", "store", "v");
    other->set_definition("select `store`.`t`.`a` AS `a` from `store`.`t` where store.t.a > 'store'");
    EXPECT_EQ(patcher->diff_meta_view(view, other, false), kSame);
    other->set_definition("select `store`.`t`.`a` AS `a` from `store`.`t` where store.t.a > 'stores'");
    EXPECT_EQ(patcher->diff_meta_view(view, other, false), kChange);

    // A text that merely holds the first side's name where both sides hold it alike (a definer
    // "mariadb.sys@localhost" in schemas "sys" and "sys_copy") is the same on both sides.
    for (const bool swapped : {false, true}) {
        auto sys = MetaView::with_names("sys", "sys", "v");
        sys->set_attribute("DEFINER", "mariadb.sys@localhost");
        sys->set_definition("select `sys`.`f`(1) AS `a`");
        auto copy = MetaView::with_names("sys_copy", "sys_copy", "v");
        copy->set_attribute("DEFINER", "mariadb.sys@localhost");
        copy->set_definition("select `sys_copy`.`f`(1) AS `a`");
        EXPECT_EQ(swapped ? patcher->diff_meta_view(copy, sys, false) : patcher->diff_meta_view(sys, copy, false), kSame);
        copy->set_attribute("DEFINER", "mariadb.sys_copy@localhost");
        EXPECT_EQ(patcher->diff_meta_view(sys, copy, false), kSame);
        copy->set_attribute("DEFINER", "other@localhost");
        EXPECT_EQ(patcher->diff_meta_view(sys, copy, false), kChange);
    }

    // Names are read in the values only: a database called like a property leaves the property be.
    for (const char* name : {"events", "tables", "views", "comment", "columns", "options"}) {
        EXPECT_EQ(patcher->diff_meta_schema(Testing::sample_schema("shop", "shop"), Testing::sample_schema(name, name),
                                            false),
                  kSame)
            << name;
        EXPECT_EQ(patcher->diff_meta_schema(Testing::sample_schema("shop", "shop"), Testing::sample_schema(name, name),
                                            true),
                  kChange)
            << name;
    }
}

TEST(Patcher, SchemaMarksWhatTheTargetNeedsToBecomeTheSource) {
    auto patcher = Patcher::create();
    auto source = Testing::sample_schema("shop", "shop");
    auto target = Testing::sample_schema("backup", "backup");

    source->get_tables()->append(Testing::sample_customers("shop", "shop"));
    (*source->get_tables())[2]->set_name("invoices");
    target->get_tables()->append(Testing::sample_customers("backup", "backup"));
    (*target->get_tables())[2]->set_name("legacy");

    auto source_orders = (*source->get_tables())[0];
    auto target_orders = (*target->get_tables())[0];
    source_orders->new_column("note", DataType::STRING);
    source_orders->get_column("total")->set_length(14);
    target_orders->new_column("old_flag", DataType::BOOLEAN);

    (*source->get_views())[0]->set_comment("changed");
    target->get_functions()->append(MetaFunction::with_names("backup", "backup", "old_function"));
    (*source->get_procedures())[0]->set_body("changed");  // procedures are not compared

    std::shared_ptr<MetaSchema> patched;
    ASSERT_EQ(patcher->diff_meta_schema(source, target, false, &patched), kChange);
    ASSERT_NE(patched, nullptr);
    EXPECT_EQ(patched->get_name(), "backup");
    EXPECT_EQ(patched->get_database(), "backup");

    EXPECT_EQ(marks(patched->get_events()), (Marks{{"nightly_purge", kSame}}));
    EXPECT_EQ(marks(patched->get_functions()), (Marks{{"with_tax", kSame}, {"old_function", kDrop}}));
    EXPECT_EQ(marks(patched->get_views()), (Marks{{"big_orders", kChange}}));
    EXPECT_TRUE(patched->get_procedures()->empty());
    EXPECT_EQ(marks(patched->get_tables()),
              (Marks{{"orders", kChange}, {"customers", kSame}, {"invoices", kAdd}, {"legacy", kDrop}}));
    // Unchanged, added and dropped objects are the inputs' own; views, routines and events the source's.
    EXPECT_EQ((*patched->get_tables())[1], (*source->get_tables())[1]);
    EXPECT_EQ((*patched->get_tables())[2], (*source->get_tables())[2]);
    EXPECT_EQ((*patched->get_tables())[3], (*target->get_tables())[2]);
    EXPECT_EQ((*patched->get_views())[0], (*source->get_views())[0]);

    // The changed table is altered on the target towards the source: what only the source has is
    // added, what only the target has is dropped, changed columns take the source's definition.
    auto orders = (*patched->get_tables())[0];
    EXPECT_NE(orders, source_orders);
    EXPECT_EQ(orders->get_version(), kChange);
    EXPECT_EQ(orders->get_name(), "orders");
    EXPECT_EQ(marks(orders->get_columns()),
              (Marks{{"note", kAdd}, {"id", kSame}, {"customer_id", kSame}, {"total", kChange}, {"old_flag", kDrop}}));
    EXPECT_EQ((*orders->get_columns())[3], source_orders->get_column("total"));
    EXPECT_EQ((*orders->get_columns())[3]->get_length(), 14u);
    EXPECT_EQ((*orders->get_columns())[4], target_orders->get_column("old_flag"));
}

TEST(Patcher, TableWhoseCommentAloneChangedKeepsEveryMemberIdentical) {
    auto patcher = Patcher::create();
    auto source = Testing::sample_orders("shop", "shop");
    auto target = Testing::sample_orders("shop", "shop");
    target->set_comment("all orders");
    std::shared_ptr<MetaTable> patched;
    ASSERT_EQ(patcher->diff_meta_table(source, target, false, &patched), kChange);
    EXPECT_EQ(patched->get_version(), kChange);
    EXPECT_EQ(marks(patched->get_columns()), (Marks{{"id", kSame}, {"customer_id", kSame}, {"total", kSame}}));
    EXPECT_EQ(marks(patched->get_indexes()), (Marks{{"ix_customer", kSame}}));
    EXPECT_EQ(marks(patched->get_triggers()), (Marks{{"orders_bi", kSame}}));
    EXPECT_EQ(marks(patched->get_rules()), (Marks{{"no_delete", kSame}}));
    // Constraints part by part: foreign keys, checks, unique keys, exclusions.
    EXPECT_EQ(marks(patched->get_constraints()), (Marks{{"fk_customer", kSame},
                                                        {"positive_total", kSame},
                                                        {"PRIMARY", kSame},
                                                        {"uq_customer_total", kSame},
                                                        {"no_overlap", kSame}}));
    EXPECT_EQ((*patched->get_columns())[0], (*source->get_columns())[0]);
    EXPECT_EQ(patched->get_options(), (Core::StringMap{{"COMMENT", "all orders"}}));
}

TEST(Patcher, TableMembersAreReadUnderTheirTablesNames) {
    // A foreign key names the schema it refers to but carries no schema name of its own: between
    // differently named schemas it is the same key unless the comparison is strict.
    auto patcher = Patcher::create();
    auto source = Testing::sample_orders("shop", "shop");
    auto target = Testing::sample_orders("copy", "copy");
    target->set_comment("all orders");
    std::shared_ptr<MetaTable> patched;
    ASSERT_EQ(patcher->diff_meta_table(source, target, false, &patched), kChange);
    EXPECT_EQ(marks(patched->get_constraints())[0], (std::pair<std::string, DataVersion>{"fk_customer", kSame}));
    ASSERT_EQ(patcher->diff_meta_table(source, target, true, &patched), kChange);
    EXPECT_EQ(marks(patched->get_constraints())[0], (std::pair<std::string, DataVersion>{"fk_customer", kChange}));
}

TEST(Patcher, TableMembersAddedDroppedAndChanged) {
    auto patcher = Patcher::create();
    auto source = Testing::sample_orders("shop", "shop");
    auto target = Testing::sample_orders("shop", "shop");
    source->set_option("ROW_FORMAT", "DYNAMIC");
    target->set_option("ENGINE", "Aria");
    target->set_option("CHARSET", "utf8mb4");

    (*target->get_indexes())[0]->set_method("HASH");
    target->get_indexes()->append(MetaIndex::with_names("shop", "shop", "orders", "ix_total"));
    target->remove_constraints(DBObject::CHECK);
    target->get_constraints()->append(MetaForeignKey::with_names("fk_new", "shop", "customers"));
    (*target->get_triggers())[0]->set_timing("AFTER");
    target->get_rules()->clear();

    std::shared_ptr<MetaTable> patched;
    ASSERT_EQ(patcher->diff_meta_table(source, target, false, &patched), kChange);
    EXPECT_EQ(marks(patched->get_indexes()), (Marks{{"ix_customer", kChange}, {"ix_total", kAdd}}));
    EXPECT_EQ((*patched->get_indexes())[0], (*target->get_indexes())[0]);
    EXPECT_EQ(marks(patched->get_triggers()), (Marks{{"orders_bi", kChange}}));
    EXPECT_EQ(marks(patched->get_rules()), (Marks{{"no_delete", kDrop}}));
    EXPECT_EQ(marks(patched->get_constraints()), (Marks{{"fk_customer", kSame},
                                                        {"fk_new", kAdd},
                                                        {"positive_total", kDrop},
                                                        {"PRIMARY", kSame},
                                                        {"uq_customer_total", kSame},
                                                        {"no_overlap", kSame}}));
    // Options: the target's changed and new values; keys only in the source are not carried, but a
    // row format the target lacks is given back empty (the builder writes the default).
    EXPECT_EQ(patched->get_options(),
              (Core::StringMap{{"CHARSET", "utf8mb4"}, {"ENGINE", "Aria"}, {"ROW_FORMAT", ""}}));
}

TEST(Patcher, DatabaseListsChangedAddedAndDroppedSchemas) {
    auto patcher = Patcher::create();
    auto source = MetaDatabase::with_name("shop");
    auto target = MetaDatabase::with_name("shop");
    source->get_schemas()->append(Testing::sample_schema("shop", "sales"));
    target->get_schemas()->append(Testing::sample_schema("shop", "sales"));
    source->get_schemas()->append(Testing::sample_schema("shop", "same"));
    target->get_schemas()->append(Testing::sample_schema("shop", "same"));
    source->append("only_source");
    target->append("only_target");
    (*(*source->get_schemas())[0]->get_tables())[1]->new_column("email", DataType::STRING);

    std::shared_ptr<MetaDatabase> patched;
    ASSERT_EQ(patcher->diff_meta_database(source, target, false, &patched), kChange);
    EXPECT_EQ(patched->get_name(), "shop");
    // An identical schema is left out; the others follow the schemas' own direction: what only the
    // source has is created on the target, what only the target has is dropped.
    EXPECT_EQ(marks(patched->get_schemas()),
              (Marks{{"sales", kChange}, {"only_source", kAdd}, {"only_target", kDrop}}));
    auto sales = (*patched->get_schemas())[0];
    EXPECT_NE(sales, (*source->get_schemas())[0]);
    EXPECT_EQ(marks(sales->get_tables()), (Marks{{"orders", kSame}, {"customers", kChange}}));
    EXPECT_EQ(marks((*sales->get_tables())[1]->get_columns()),
              (Marks{{"email", kAdd}, {"id", kSame}, {"name", kSame}}));
    EXPECT_EQ((*patched->get_schemas())[1], (*source->get_schemas())[2]);
    EXPECT_EQ((*patched->get_schemas())[2], (*target->get_schemas())[2]);
}

TEST(Patcher, ViewsRoutinesAndEventsAreComparedWhole) {
    auto patcher = Patcher::create();
    auto view = MetaView::with_names("d", "s", "v");
    view->set_definition("select a from t");
    auto same_view = MetaView::with_names("d", "s", "v");
    same_view->set_definition("select a from t");
    std::shared_ptr<MetaView> out = view;
    EXPECT_EQ(patcher->diff_meta_view(view, same_view, false, &out), kSame);
    EXPECT_EQ(out, nullptr);
    same_view->set_definition("select a, b from t");
    out = view;
    EXPECT_EQ(patcher->diff_meta_view(view, same_view, false, &out), kChange);
    EXPECT_EQ(out, nullptr);

    auto function = MetaFunction::with_names("d", "s", "f");
    auto other_function = MetaFunction::with_names("d", "s", "f");
    EXPECT_EQ(patcher->diff_meta_function(function, other_function, true), kSame);
    other_function->set_parameters({"IN x int"});
    EXPECT_EQ(patcher->diff_meta_function(function, other_function, true), kChange);

    auto event = MetaEvent::with_names("d", "s", "e");
    auto other_event = MetaEvent::with_names("d", "s", "e");
    other_event->set_schedule("EVERY 1 HOUR");
    EXPECT_EQ(patcher->diff_meta_event(event, other_event, false), kChange);
    // Edit states are not part of what is compared.
    other_event->set_schedule("");
    other_event->set_version(kDrop);
    EXPECT_EQ(patcher->diff_meta_event(event, other_event, false), kSame);
}

TEST(Patcher, ComparingTheSameModelsAgainGivesTheSameAnswer) {
    auto patcher = Patcher::create();
    auto source = Testing::sample_schema("shop", "shop");
    auto target = Testing::sample_schema("shop", "shop");
    (*source->get_tables())[0]->new_column("note", DataType::STRING);
    (*target->get_views())[0]->set_definition("select 1 AS `one` from dual");

    std::shared_ptr<MetaSchema> first;
    ASSERT_EQ(patcher->diff_meta_schema(source, target, false, &first), kChange);
    const std::string first_text = to_json(*first);
    std::shared_ptr<MetaSchema> second;
    ASSERT_EQ(patcher->diff_meta_schema(source, target, false, &second), kChange);
    EXPECT_EQ(to_json(*second), first_text);
}

TEST(Patcher, NullArgumentsAreCriticalAndGiveZero) {
    auto patcher = Patcher::create();
    Testing::LogCapture log;
    std::shared_ptr<MetaTable> patched = MetaTable::create();
    EXPECT_EQ(patcher->diff_meta_table(nullptr, MetaTable::create(), false, &patched), DataVersion::INITIAL);
    EXPECT_EQ(patched, nullptr);
    EXPECT_TRUE(log.has_critical("source != NULL"));
    EXPECT_EQ(patcher->diff_meta_schema(MetaSchema::create(), nullptr, false), DataVersion::INITIAL);
    EXPECT_TRUE(log.has_critical("target != NULL"));
    EXPECT_EQ(patcher->diff_data_row(nullptr, RowModel::create()), DataVersion::INITIAL);
    EXPECT_EQ(log.criticals().size(), 3u);
}

TEST(Patcher, DataRowMarksEveryValueOfTheTarget) {
    auto patcher = Patcher::create();
    auto source = row_of({int32(1), text("a"), int32(3)});
    auto target = row_of({int32(1), text("b"), IValue::factory(DataType::INT64, "3")});
    std::shared_ptr<RowModel> patched;
    ASSERT_EQ(patcher->diff_data_row(source, target, &patched), kChange);
    ASSERT_EQ(patched->get_n_items(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(patched->get_value_at(i), target->get_value_at(i));
    EXPECT_EQ(Patcher::value_version(*target->get_value_at(0)), kSame);
    EXPECT_EQ(Patcher::value_version(*target->get_value_at(1)), kChange);
    EXPECT_EQ(Patcher::value_version(*target->get_value_at(2)), kChange);  // same text, other class
    ASSERT_NE(target->get_value_at(1)->get_data(Patcher::VERSION), nullptr);
    EXPECT_EQ(target->get_value_at(1)->get_data(Patcher::VERSION)->get_int(), 8);

    // A value the source lacks is a change; the row's own edit state is not content.
    auto longer = row_of({int32(1), text("a"), int32(3), text("new")});
    ASSERT_EQ(patcher->diff_data_row(source, longer, &patched), kChange);
    EXPECT_EQ(Patcher::value_version(*longer->get_value_at(3)), kChange);
    auto edited = row_of({int32(1), text("a"), int32(3)});
    edited->set_version(DataVersion::UPDATE);
    EXPECT_EQ(patcher->diff_data_row(source, edited, &patched), kSame);
    EXPECT_EQ(patched, nullptr);
}

TEST(Patcher, DataTableComparesRowsByPosition) {
    auto patcher = Patcher::create();
    auto source = table_of(3);
    auto target = table_of(5);
    std::shared_ptr<TableModel> patched;
    // Rows past the source's count are not compared.
    EXPECT_EQ(patcher->diff_data_table(source, target, &patched), kChange);
    ASSERT_NE(patched, nullptr);
    EXPECT_EQ(patched->get_n_items(), 0u);

    target->set_value_at(1, 1, text("changed"));
    ASSERT_EQ(patcher->diff_data_table(source, target, &patched), kChange);
    ASSERT_EQ(patched->get_n_items(), 1u);
    EXPECT_EQ(patched->get_item(0)->get_version(), kChange);
    EXPECT_EQ(patched->get_item(0)->get_value_at(1), target->get_value_at(1, 1));
    EXPECT_EQ(Patcher::value_version(*target->get_value_at(0, 1)), kSame);
    EXPECT_EQ(Patcher::value_version(*target->get_value_at(1, 1)), kChange);
    EXPECT_EQ(patched->get_columns()->size(), 2u);

    EXPECT_EQ(patcher->diff_data_table(table_of(3), table_of(3), &patched), kSame);
    EXPECT_EQ(patched, nullptr);

    // A source row the target lacks comes back as a row to delete, without a critical.
    Testing::LogCapture log;
    auto shorter = table_of(2);
    ASSERT_EQ(patcher->diff_data_table(source, shorter, &patched), kChange);
    ASSERT_EQ(patched->get_n_items(), 1u);
    EXPECT_EQ(patched->get_item(0)->get_version(), kDrop);
    EXPECT_EQ(patched->get_item(0)->get_value_at(0), source->get_value_at(0, 2));
    EXPECT_EQ(Patcher::value_version(*source->get_value_at(0, 2)), kDrop);
    EXPECT_TRUE(log.criticals().empty());
}

TEST(Patcher, DataSetKeepsTheTablesThatDiffer) {
    auto patcher = Patcher::create();
    auto source = DataSetModel::create();
    auto target = DataSetModel::create();
    source->get_tables()->append(table_of(2));
    target->get_tables()->append(table_of(2));
    source->get_tables()->append(table_of(2));
    target->get_tables()->append(table_of(2, 10));
    std::shared_ptr<DataSetModel> patched;
    ASSERT_EQ(patcher->diff_data_set(source, target, &patched), kChange);
    ASSERT_EQ(patched->get_n_items(), 1u);
    EXPECT_EQ(patched->get_item(0)->get_n_items(), 2u);

    // A source table without a counterpart: every row of it is one the target lacks.
    source->get_tables()->append(table_of(3));
    target->get_tables()->append(table_of(3));
    target->get_tables()->remove_at(2);
    Testing::LogCapture log;
    ASSERT_EQ(patcher->diff_data_set(source, target, &patched), kChange);
    ASSERT_EQ(patched->get_n_items(), 2u);
    ASSERT_EQ(patched->get_item(1)->get_n_items(), 3u);
    EXPECT_EQ(patched->get_item(1)->get_item(2)->get_version(), kDrop);
    EXPECT_TRUE(log.criticals().empty());

    auto copy = DataSetModel::create();
    copy->get_tables()->append(table_of(2));
    auto same = DataSetModel::create();
    same->get_tables()->append(table_of(2));
    EXPECT_EQ(patcher->diff_data_set(copy, same, &patched), kSame);
    EXPECT_EQ(patched, nullptr);
}

TEST(Patcher, DiffJsonDescribesWhatTurnsTheLeftModelIntoTheRight) {
    auto left = Testing::sample_schema("shop", "shop");
    auto right = Testing::sample_schema("shop", "shop");
    right->get_tables()->append(Testing::sample_customers("shop", "shop"));
    (*right->get_tables())[2]->set_name("invoices");
    (*right->get_tables())[0]->get_column("total")->set_length(14);
    left->get_events()->append(MetaEvent::with_names("shop", "shop", "old_event"));

    auto result = Patcher::diff_json(to_json(*left), to_json(*right), false);
    ASSERT_TRUE(result.has_value()) << result.error().message;
    auto node = Core::Json::parse(*result);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ((*node)["class"], "OmbrixSolvaneMetaModelMetaSchema");
    EXPECT_EQ((*node)["version"], 8);
    const auto& tables = (*node)["tables"];
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0]["name"], "orders");
    EXPECT_EQ(tables[0]["version"], 8);
    EXPECT_EQ(tables[0]["columns"][2]["name"], "total");
    EXPECT_EQ(tables[0]["columns"][2]["version"], 8);
    EXPECT_EQ(tables[0]["columns"][2]["length"], 14);
    EXPECT_EQ(tables[1]["version"], 1);
    EXPECT_EQ(tables[2]["name"], "invoices");
    EXPECT_EQ(tables[2]["version"], 4);
    // Everything inside an added table is added.
    std::vector<int> versions;
    collect_versions(tables[2], versions);
    EXPECT_EQ(versions, std::vector<int>(versions.size(), 4));
    EXPECT_EQ((*node)["events"][1]["name"], "old_event");
    EXPECT_EQ((*node)["events"][1]["version"], 2);
}

TEST(Patcher, DiffJsonOfEqualModelsMarksEverythingIdentical) {
    // The left-hand names are read as the right-hand ones (the sample's comments name "shop").
    auto left = Testing::sample_schema("store", "store");
    // Edit states saved with a model are not compared.
    (*left->get_tables())[0]->get_column("total")->set_version(DataVersion::UPDATE);
    const std::string left_text = to_json(*left);
    auto right = Testing::sample_schema("shop", "shop");
    const std::string right_text = to_json(*right);

    auto result = Patcher::diff_json(left_text, right_text, false);
    ASSERT_TRUE(result.has_value()) << result.error().message;
    auto node = Core::Json::parse(*result);
    ASSERT_TRUE(node.has_value());
    std::vector<int> versions;
    collect_versions(*node, versions);
    ASSERT_GT(versions.size(), 20u);
    EXPECT_EQ(versions, std::vector<int>(versions.size(), 1));

    // Strict compares the database and schema names as they stand.
    auto strict = Patcher::diff_json(left_text, right_text, true);
    ASSERT_TRUE(strict.has_value());
    EXPECT_EQ((*Core::Json::parse(*strict))["version"], 8);
}

TEST(Patcher, DiffJsonReadsTablesWithoutAClassMemberAndRefusesMismatches) {
    auto left = Testing::sample_orders("shop", "shop");
    auto right = Testing::sample_orders("shop", "shop");
    right->new_column("note", DataType::STRING);
    auto result = Patcher::diff_json(Core::Json::serialize(*left).dump(), Core::Json::serialize(*right).dump(), true);
    ASSERT_TRUE(result.has_value()) << result.error().message;
    auto node = Core::Json::parse(*result);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ((*node)["class"], "OmbrixSolvaneMetaModelMetaTable");
    EXPECT_EQ((*node)["columns"][0]["name"], "note");
    EXPECT_EQ((*node)["columns"][0]["version"], 4);

    auto view = MetaView::with_names("shop", "shop", "v");
    view->set_definition("select a from t");
    auto other = MetaView::with_names("shop", "shop", "v");
    other->set_definition("select b from t");
    auto views = Patcher::diff_json(to_json(*view), to_json(*other), false);
    ASSERT_TRUE(views.has_value());
    EXPECT_EQ((*Core::Json::parse(*views))["version"], 8);
    EXPECT_EQ((*Core::Json::parse(*views))["definition"], "select b from t");

    auto mismatch = Patcher::diff_json(to_json(*left), to_json(*view), false);
    ASSERT_FALSE(mismatch.has_value());
    EXPECT_EQ(mismatch.error().domain, "JSON");
    auto broken = Patcher::diff_json("{", to_json(*left), false);
    ASSERT_FALSE(broken.has_value());
    EXPECT_EQ(broken.error().domain, "JSON");
    EXPECT_FALSE(Patcher::diff_json(R"({"name":"nothing to tell"})", to_json(*left), false).has_value());
    EXPECT_FALSE(Patcher::diff_json(to_json(*MetaColumn::create()), to_json(*MetaColumn::create()), false).has_value());
}
