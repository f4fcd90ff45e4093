#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Contracts/model_column.hpp"
#include "providers/Contracts/model_dataset.hpp"
#include "providers/Contracts/model_row.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using namespace Ombrix::Providers::Contracts;

namespace {

using Change = std::tuple<unsigned, unsigned, unsigned>;

/// Records the (position, removed, added) triples a table signals.
struct ChangeLog {
    explicit ChangeLog(TableModel& table) {
        table.signal_items_changed().connect(
            [this](unsigned position, unsigned removed, unsigned added) { changes.emplace_back(position, removed, added); });
    }
    std::vector<Change> take() { return std::exchange(changes, {}); }
    std::vector<Change> changes;
};

/// A loaded row (version INITIAL) of INT32 values.
std::shared_ptr<RowModel> row_of(std::initializer_list<int> values) {
    auto row = RowModel::create();
    for (int v : values) row->get_values()->append(ValueInt32::create(v));
    return row;
}

int int_at(const TableModel& table, std::size_t column, std::size_t row) {
    auto value = table.get_value_at(column, row);
    return value ? static_cast<int>(iinteger_to_integer(*value)) : -999;
}

}  // namespace

// ---------------------------------------------------------------- enumerations

TEST(DataType, NicksFollowTheTableOfAllThirtySevenKinds) {
    const std::vector<std::string_view> nicks{
        "unknown", "dbnull",   "boolean",  "int8",      "int16",    "int32",     "int64",  "uint8",
        "uint16",  "uint32",   "uint64",   "enum",      "flags",    "set",       "money",  "decimal",
        "float",   "double",   "date",     "time",      "datetime", "timespan",  "timestamp", "string",
        "wstring", "xml",      "uuid",     "json",      "geometry", "geography", "binary", "blob",
        "object",  "pointer",  "variant",  "array",     "error"};
    ASSERT_EQ(nicks.size(), 37u);
    for (std::size_t i = 0; i < nicks.size(); ++i) {
        EXPECT_EQ(to_string(static_cast<DataType>(i)), nicks[i]) << i;
        EXPECT_EQ(data_type_from_string(nicks[i]), static_cast<DataType>(i)) << nicks[i];
    }
    EXPECT_EQ(to_string(DataType::WSTRING), "wstring");
    EXPECT_EQ(to_string(DataType::ERROR), "error");
    EXPECT_EQ(to_string(static_cast<DataType>(37)), "");
    EXPECT_FALSE(data_type_from_string("WSTRING").has_value());
}

TEST(DataType, GlibTypesAndTheWayBack) {
    EXPECT_EQ(get_glib_type(DataType::UNKNOWN), "gchararray");
    EXPECT_EQ(get_glib_type(DataType::DBNULL), ValueNull::static_type().name());
    EXPECT_EQ(get_glib_type(DataType::BOOLEAN), "gboolean");
    EXPECT_EQ(get_glib_type(DataType::INT8), "gchar");
    EXPECT_EQ(get_glib_type(DataType::INT16), "gint");
    EXPECT_EQ(get_glib_type(DataType::UINT8), "guchar");
    EXPECT_EQ(get_glib_type(DataType::UINT16), "guint");
    EXPECT_EQ(get_glib_type(DataType::UINT32), "gint");    // signed, not "guint"
    EXPECT_EQ(get_glib_type(DataType::UINT64), "gint64");  // signed, not "guint64"
    EXPECT_EQ(get_glib_type(DataType::SET), "GEnum");
    EXPECT_EQ(get_glib_type(DataType::FLAGS), "GFlags");
    EXPECT_EQ(get_glib_type(DataType::MONEY), "gdouble");
    EXPECT_EQ(get_glib_type(DataType::DECIMAL), "gdouble");
    EXPECT_EQ(get_glib_type(DataType::FLOAT), "gfloat");
    EXPECT_EQ(get_glib_type(DataType::DATE), "GDate");
    EXPECT_EQ(get_glib_type(DataType::TIME), "gpointer");
    EXPECT_EQ(get_glib_type(DataType::DATETIME), "GDateTime");
    EXPECT_EQ(get_glib_type(DataType::TIMESPAN), "gint64");
    EXPECT_EQ(get_glib_type(DataType::TIMESTAMP), "gchararray");
    EXPECT_EQ(get_glib_type(DataType::BINARY), "GBytes");
    EXPECT_EQ(get_glib_type(DataType::BLOB), "GBytes");
    EXPECT_EQ(get_glib_type(DataType::OBJECT), "GObject");
    EXPECT_EQ(get_glib_type(DataType::POINTER), "gchararray");
    EXPECT_EQ(get_glib_type(DataType::ERROR), "gchararray");

    // Fundamental names, exactly.
    EXPECT_EQ(get_data_type("gchar"), DataType::INT8);
    EXPECT_EQ(get_data_type("guchar"), DataType::UINT8);
    EXPECT_EQ(get_data_type("gboolean"), DataType::BOOLEAN);
    EXPECT_EQ(get_data_type("gint"), DataType::INT32);
    EXPECT_EQ(get_data_type("glong"), DataType::INT32);
    EXPECT_EQ(get_data_type("guint"), DataType::UINT32);
    EXPECT_EQ(get_data_type("gulong"), DataType::UINT32);
    EXPECT_EQ(get_data_type("gint64"), DataType::INT64);
    EXPECT_EQ(get_data_type("guint64"), DataType::UINT64);
    EXPECT_EQ(get_data_type("GEnum"), DataType::ENUM);
    EXPECT_EQ(get_data_type("GFlags"), DataType::FLAGS);
    EXPECT_EQ(get_data_type("gfloat"), DataType::FLOAT);
    EXPECT_EQ(get_data_type("gdouble"), DataType::DOUBLE);
    EXPECT_EQ(get_data_type("gchararray"), DataType::STRING);
    // Other names, lower-cased and compared whole.
    EXPECT_EQ(get_data_type("GTimestamp"), DataType::DATETIME);
    EXPECT_EQ(get_data_type("GTIMESTAMP"), DataType::DATETIME);
    EXPECT_EQ(get_data_type("gtimestamp"), DataType::DATETIME);
    EXPECT_EQ(get_data_type("gint16"), DataType::INT16);
    EXPECT_EQ(get_data_type("GUInt16"), DataType::UINT16);
    EXPECT_EQ(get_data_type("GDateTime"), DataType::DATETIME);
    EXPECT_EQ(get_data_type("GDate"), DataType::DATE);
    EXPECT_EQ(get_data_type("GTimeSpan"), DataType::TIMESPAN);
    EXPECT_EQ(get_data_type("GNumeric"), DataType::DECIMAL);
    EXPECT_EQ(get_data_type("guid"), DataType::UUID);
    EXPECT_EQ(get_data_type("UUID"), DataType::UUID);
    EXPECT_EQ(get_data_type("GObject"), DataType::OBJECT);
    EXPECT_EQ(get_data_type("GBlob"), DataType::BLOB);
    EXPECT_EQ(get_data_type("GNull"), DataType::DBNULL);
    EXPECT_EQ(get_data_type("gint16x"), DataType::UNKNOWN);
    EXPECT_EQ(get_data_type(""), DataType::UNKNOWN);
    // And from a dynamic value's tag.
    EXPECT_EQ(get_data_type(Core::Value::from_uint64(1)), DataType::UINT64);
    EXPECT_EQ(get_data_type(Core::Value::from_string("x")), DataType::STRING);
    EXPECT_EQ(get_data_type(Core::Value::from_datetime(Core::DateTime::now_utc())), DataType::DATETIME);
}

TEST(DataVersion, NicksAndAll) {
    EXPECT_EQ(to_string(DataVersion::INITIAL), "initial");
    EXPECT_EQ(to_string(DataVersion::IDENTICAL), "identical");
    EXPECT_EQ(to_string(DataVersion::DELETE), "delete");
    EXPECT_EQ(to_string(DataVersion::INSERT), "insert");
    EXPECT_EQ(to_string(DataVersion::UPDATE), "update");
    EXPECT_EQ(static_cast<unsigned>(data_version_all()), 15u);
    EXPECT_EQ(data_version_all(), DataVersion::IDENTICAL | DataVersion::DELETE | DataVersion::INSERT | DataVersion::UPDATE);
    EXPECT_EQ(data_version_from_string("update"), DataVersion::UPDATE);
    EXPECT_FALSE(data_version_from_string("UPDATE").has_value());
}

TEST(DBObject, NicksOfAllFortySixKinds) {
    EXPECT_EQ(to_string(DBObject::UNKNOWN), "unknown");
    EXPECT_EQ(to_string(DBObject::CONTRAINT), "contraint");
    EXPECT_EQ(to_string(DBObject::PARTITION_FUNCTION), "partition-function");
    EXPECT_EQ(to_string(DBObject::PARTITION_SCHEME), "partition-scheme");
    EXPECT_EQ(to_string(DBObject::MATERIALIZED), "materialized");
    EXPECT_EQ(to_string(DBObject::TABLE), "table");
    EXPECT_EQ(to_string(DBObject::VIEW), "view");
    EXPECT_EQ(static_cast<int>(DBObject::VIEW), 45);
    EXPECT_EQ(to_string(static_cast<DBObject>(46)), "");
    for (int i = 0; i <= 45; ++i) {
        const auto nick = to_string(static_cast<DBObject>(i));
        ASSERT_FALSE(nick.empty()) << i;
        EXPECT_EQ(db_object_from_string(nick), static_cast<DBObject>(i)) << nick;
    }
}

// ---------------------------------------------------------------- columns and rows

TEST(ColumnModel, ConstructorsSetNameTypeAndSize) {
    auto plain = ColumnModel::create();
    EXPECT_EQ(plain->get_name(), "");
    EXPECT_EQ(plain->get_title(), "");
    EXPECT_EQ(plain->get_data_type(), DataType::UNKNOWN);
    EXPECT_EQ(plain->get_data_size(), 0u);

    auto typed = ColumnModel::new_with_type(DataType::BLOB);
    EXPECT_EQ(typed->get_name(), "");
    EXPECT_EQ(typed->get_data_type(), DataType::BLOB);
    EXPECT_EQ(typed->get_data_size(), 0u);

    auto full = ColumnModel::new_full("id", DataType::INT64);
    EXPECT_EQ(full->get_name(), "id");
    EXPECT_EQ(full->get_data_type(), DataType::INT64);
    EXPECT_EQ(full->get_data_size(), 0u);

    auto sized = ColumnModel::new_full_size("note", DataType::STRING, 4294967296ull);
    EXPECT_EQ(sized->get_name(), "note");
    EXPECT_EQ(sized->get_data_size(), 4294967296ull);
    EXPECT_EQ(sized->get_property("data-type").get_int64(), static_cast<std::int64_t>(DataType::STRING));
}

TEST(ColumnModel, ANullNameIsRefusedWithACritical) {
    Testing::LogCapture log;
    EXPECT_EQ(ColumnModel::new_full(std::string_view(), DataType::INT32), nullptr);
    EXPECT_EQ(ColumnModel::new_full_size(std::string_view(), DataType::STRING, 10), nullptr);
    EXPECT_EQ(log.criticals().size(), 2u);
    EXPECT_TRUE(log.has_critical("column_name != NULL"));
    auto unnamed = ColumnModel::new_full("", DataType::INT32);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->get_name(), "");
    EXPECT_EQ(log.criticals().size(), 2u);
}

TEST(Results, InvalidAndScalarResultsCarryTheirConstructProperties) {
    auto invalid = InvalidResult::create("42000", "syntax");
    ASSERT_NE(invalid, nullptr);
    EXPECT_EQ(invalid->get_code(), "42000");
    EXPECT_EQ(invalid->get_message(), "syntax");
    EXPECT_NE(dynamic_cast<IResult*>(invalid.get()), nullptr);

    Testing::LogCapture log;
    EXPECT_EQ(InvalidResult::create(std::string_view(), "m"), nullptr);
    EXPECT_EQ(InvalidResult::create("c", std::string_view()), nullptr);
    EXPECT_TRUE(log.has_critical("code != NULL"));
    EXPECT_TRUE(log.has_critical("message != NULL"));
    EXPECT_EQ(log.criticals().size(), 2u);

    // Made by name, the construct properties are applied; afterwards they cannot be written.
    auto by_name = std::dynamic_pointer_cast<InvalidResult>(InvalidResult::static_type().create(
        {{"code", Core::Value::from_string("HY000")}, {"message", Core::Value::from_string("gone")}}));
    ASSERT_NE(by_name, nullptr);
    EXPECT_EQ(by_name->get_code(), "HY000");
    EXPECT_EQ(by_name->get_message(), "gone");
    EXPECT_FALSE(by_name->set_property("code", Core::Value::from_string("other")));
    EXPECT_EQ(by_name->get_code(), "HY000");

    EXPECT_EQ(ScalarResult::create()->get_rows(), 0);
    auto scalar = ScalarResult::create(-3);
    EXPECT_EQ(scalar->get_rows(), -3);
    EXPECT_NE(dynamic_cast<IResult*>(scalar.get()), nullptr);
    auto rows = std::dynamic_pointer_cast<ScalarResult>(
        ScalarResult::static_type().create({{"rows", Core::Value::from_int(7)}}));
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->get_rows(), 7);
}

TEST(RowModel, CloneCopiesTheVersionAndEveryValueIndependently) {
    auto row = RowModel::create();
    EXPECT_EQ(row->get_version(), DataVersion::INITIAL);
    row->get_values()->append(ValueInt32::create(7));
    row->get_values()->append(ValueString::create("text"));
    row->get_values()->append(ValueNull::create());
    row->set_version(DataVersion::UPDATE);

    auto copy = row->clone();
    EXPECT_EQ(copy->get_version(), DataVersion::UPDATE);
    ASSERT_EQ(copy->get_n_items(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(copy->get_value_at(i), row->get_value_at(i)) << i;
        EXPECT_EQ(copy->get_value_at(i)->type_name(), row->get_value_at(i)->type_name()) << i;
        EXPECT_EQ(copy->get_value_at(i)->to_string(), row->get_value_at(i)->to_string()) << i;
    }
    std::static_pointer_cast<ValueString>(copy->get_value_at(1))->set_itsvalue("changed");
    copy->set_value_at(0, ValueInt32::create(8));
    copy->set_version(DataVersion::DELETE);
    EXPECT_EQ(row->get_value_at(1)->to_string(), "text");
    EXPECT_EQ(row->get_value_at(0)->to_string(), "7");
    EXPECT_EQ(row->get_version(), DataVersion::UPDATE);
    EXPECT_EQ(row->get_value_at(3), nullptr);
}

TEST(RowModel, OutOfRangeOrNullSetValueAtLogsACriticalAndChangesNothing) {
    auto row = row_of({1, 2});
    Testing::LogCapture log;
    row->set_value_at(2, ValueInt32::create(9));
    row->set_value_at(static_cast<std::size_t>(-1), ValueInt32::create(9));
    row->set_value_at(0, nullptr);
    EXPECT_EQ(log.criticals().size(), 3u);
    EXPECT_TRUE(log.has_critical("value != NULL"));
    EXPECT_EQ(row->get_n_items(), 2u);
    EXPECT_EQ(row->get_value_at(0)->to_string(), "1");
    EXPECT_EQ(row->get_value_at(1)->to_string(), "2");
}

namespace {

/// Turns every cell into a ValueString of its bytes and counts how often it was asked.
struct CountingDecoder final : ICellDecoder {
    ValuePtr decode(std::size_t column, std::string_view bytes) const override {
        ++calls;
        columns.push_back(column);
        return ValueString::create(std::string(bytes));
    }
    mutable int calls = 0;
    mutable std::vector<std::size_t> columns;
};

}  // namespace

TEST(RowModel, PackedRowsReadLikeRowsOfValues) {
    auto decoder = std::make_shared<CountingDecoder>();
    const char text[] = "abc";
    const char binary[] = {'x', '\0', 'y'};
    const char* cells[] = {text, nullptr, "", binary};
    const unsigned long lengths[] = {3, 0, 0, 3};

    auto row = RowModel::create_packed(decoder, 4, cells, lengths);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->get_version(), DataVersion::INITIAL);
    EXPECT_EQ(row->get_n_items(), 4u);
    auto twin = row->clone();  // copied while still packed
    EXPECT_EQ(decoder->calls, 0);

    ASSERT_EQ(row->get_values()->size(), 4u);
    EXPECT_EQ(row->get_value_at(0)->to_string(), "abc");
    EXPECT_TRUE(row->get_value_at(1)->get_is_null());   // a NULL cell
    EXPECT_FALSE(row->get_value_at(2)->get_is_null());  // an empty text is not NULL
    EXPECT_EQ(row->get_value_at(2)->to_string(), "");
    EXPECT_EQ(row->get_value_at(3)->to_string(), std::string("x\0y", 3));
    EXPECT_EQ(row->get_value_at(4), nullptr);
    EXPECT_EQ(decoder->columns, (std::vector<std::size_t>{0, 2, 3}));
    // Decoded once: the same value objects come back.
    const auto first = row->get_value_at(0);
    EXPECT_EQ(row->get_value_at(0), first);
    EXPECT_EQ(decoder->calls, 3);

    // The copy is independent of its source and decodes its own values.
    row->set_value_at(0, ValueString::create("changed"));
    row->set_version(DataVersion::UPDATE);
    EXPECT_EQ(twin->get_version(), DataVersion::INITIAL);
    EXPECT_EQ(twin->get_value_at(0)->to_string(), "abc");
    EXPECT_NE(twin->get_value_at(3), row->get_value_at(3));
    EXPECT_EQ(twin->get_value_at(3)->to_string(), std::string("x\0y", 3));
    EXPECT_TRUE(twin->get_value_at(1)->get_is_null());
    EXPECT_EQ(decoder->calls, 6);

    // A cloned decoded row keeps the version and clones the values.
    auto again = row->clone();
    EXPECT_EQ(again->get_version(), DataVersion::UPDATE);
    EXPECT_EQ(again->get_value_at(0)->to_string(), "changed");
    EXPECT_NE(again->get_value_at(0), row->get_value_at(0));

    // Inside a table the packed cells are read through the same calls.
    auto table = TableModel::new_with_types({DataType::STRING, DataType::STRING});
    const char* pair[] = {"k", "v"};
    const unsigned long pair_lengths[] = {1, 1};
    table->append(RowModel::create_packed(decoder, 2, pair, pair_lengths));
    EXPECT_EQ(table->get_value_at(1, 0)->to_string(), "v");
    EXPECT_EQ(table->get_value_at(2, 0), nullptr);
    table->update_row_version(0, DataVersion::DELETE);
    EXPECT_EQ(table->get_item(0)->get_version(), DataVersion::DELETE);
}

TEST(RowModel, PackedCellsLiveOnlyWhileHeldUnlessChanged) {
    auto decoder = std::make_shared<CountingDecoder>();
    const char* cells[] = {"a", "b", "c", nullptr};
    const unsigned long lengths[] = {1, 1, 1, 0};
    auto row = RowModel::create_packed(decoder, 4, cells, lengths);

    // Held: the same object; dropped: freed, and the next read decodes again.
    auto held = row->get_value_at(0);
    EXPECT_EQ(row->get_value_at(0), held);
    EXPECT_EQ(decoder->calls, 1);
    std::weak_ptr<ValueObject> gone = held;
    held.reset();
    EXPECT_TRUE(gone.expired());
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t c = 0; c < row->get_n_items(); ++c) EXPECT_NE(row->get_value_at(c), nullptr);
    EXPECT_EQ(decoder->calls, 1 + 2 * 3);  // the NULL cell is never decoded

    // A value changed through itself is the row's from then on: the model sees the change.
    auto text = std::dynamic_pointer_cast<ValueString>(row->get_value_at(1));
    ASSERT_NE(text, nullptr);
    text->set_itsvalue("changed");
    text.reset();
    EXPECT_EQ(row->get_value_at(1)->to_string(), "changed");
    EXPECT_EQ(row->get_value_at(1), row->get_value_at(1));

    // A value with a listener is kept too, so a later change through the row's value reaches it.
    auto listening = RowModel::create_packed(decoder, 4, cells, lengths);
    int notified = 0;
    auto listened = listening->get_value_at(2);
    auto connection = listened->signal_notify().connect([&](std::string_view name) { notified += name == "itsvalue"; });
    std::weak_ptr<ValueObject> listened_weak = listened;
    listened.reset();
    ASSERT_FALSE(listened_weak.expired());
    std::dynamic_pointer_cast<ValueString>(listening->get_value_at(2))->set_itsvalue("x");
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(listening->get_values()->get(2), listened_weak.lock());

    // The list of a row takes over the values held at that moment.
    auto other = RowModel::create_packed(decoder, 4, cells, lengths);
    auto first = other->get_value_at(0);
    EXPECT_EQ(other->get_values()->get(0), first);
    EXPECT_TRUE(other->get_values()->get(3)->get_is_null());

    // A value outlives its row and stays usable.
    auto orphan = std::dynamic_pointer_cast<ValueString>(row->clone()->get_value_at(0));
    ASSERT_NE(orphan, nullptr);
    orphan->set_itsvalue("alone");
    EXPECT_EQ(orphan->to_string(), "alone");
}

// ---------------------------------------------------------------- TableModel

TEST(TableModel, RowChangesSignalExactPositionsAndCounts) {
    auto table = TableModel::new_with_types({DataType::INT32, DataType::STRING});
    ChangeLog log(*table);

    std::size_t position = 99;
    auto created = table->create(position);
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(table->get_item(0), created);
    EXPECT_EQ(log.take(), (std::vector<Change>{{0, 0, 1}}));

    auto a = row_of({1, 1});
    auto b = row_of({2, 2});
    auto c = row_of({3, 3});
    EXPECT_EQ(table->append(a), 1u);
    EXPECT_EQ(table->insert(-1, b), 2u);  // negative: appended
    EXPECT_EQ(table->insert(0, c), 0u);
    EXPECT_EQ(table->insert(100, row_of({4, 4})), 4u);  // past the end: at the end
    EXPECT_EQ(log.take(), (std::vector<Change>{{1, 0, 1}, {2, 0, 1}, {0, 0, 1}, {4, 0, 1}}));
    // c, created, a, b, 4
    EXPECT_EQ(table->get_item(0), c);
    EXPECT_EQ(table->get_item(3), b);

    table->delete_(a);
    table->delete_(a);                  // no longer there: nothing
    table->delete_(row_of({5, 5}));     // never there: nothing
    EXPECT_EQ(log.take(), (std::vector<Change>{{2, 1, 0}}));

    EXPECT_EQ(table->delete_at(2), b);
    EXPECT_EQ(table->delete_at(3), nullptr);
    EXPECT_EQ(log.take(), (std::vector<Change>{{2, 1, 0}}));
    EXPECT_EQ(table->get_n_items(), 3u);

    table->clear(false);
    EXPECT_EQ(log.take(), (std::vector<Change>{{0, 3, 0}}));
    EXPECT_EQ(table->get_n_items(), 0u);
    EXPECT_EQ(table->get_columns()->size(), 2u);
    table->append(row_of({1, 1}));
    table->append(row_of({2, 2}));
    log.take();
    table->clear(true);
    EXPECT_EQ(log.take(), (std::vector<Change>{{0, 2, 0}}));
    EXPECT_EQ(table->get_columns()->size(), 0u);
}

TEST(TableModel, ValuesOutOfRangeReadAsNullAndWritesAreRefused) {
    auto table = TableModel::new_with_types({DataType::INT32, DataType::INT32});
    table->append(row_of({10, 11}));
    table->append(row_of({20}));  // a short row

    EXPECT_EQ(int_at(*table, 1, 0), 11);
    EXPECT_EQ(int_at(*table, 0, 1), 20);
    EXPECT_EQ(table->get_value_at(2, 0), nullptr);  // column == the row's value count
    EXPECT_EQ(table->get_value_at(1, 1), nullptr);  // past the short row's values
    EXPECT_EQ(table->get_value_at(0, 2), nullptr);
    EXPECT_EQ(table->get_value_at(static_cast<std::size_t>(-1), 0), nullptr);

    table->set_value_at(1, 0, ValueInt32::create(12));
    EXPECT_EQ(int_at(*table, 1, 0), 12);

    Testing::LogCapture log;
    table->set_value_at(0, 2, ValueInt32::create(99));  // no such row
    table->set_value_at(2, 0, ValueInt32::create(99));  // no such column
    table->set_value_at(1, 1, ValueInt32::create(99));  // past the short row
    table->set_value_at(0, 0, nullptr);
    EXPECT_EQ(log.criticals().size(), 4u);
    EXPECT_TRUE(log.has_critical("value != NULL"));
    EXPECT_EQ(table->get_n_items(), 2u);
    EXPECT_EQ(table->get_item(0)->get_n_items(), 2u);
    EXPECT_EQ(table->get_item(1)->get_n_items(), 1u);
    EXPECT_EQ(int_at(*table, 0, 0), 10);
    EXPECT_EQ(int_at(*table, 1, 0), 12);
}

TEST(TableModel, TemplateMakesAnInsertRowOfEmptyValuesPerColumnType) {
    auto table = TableModel::new_with_types({DataType::INT32, DataType::STRING, DataType::BOOLEAN,
                                             DataType::DBNULL, DataType::DECIMAL, DataType::BLOB,
                                             DataType::DATETIME, DataType::UNKNOWN});
    ChangeLog log(*table);
    auto row = table->template_();
    EXPECT_EQ(row->get_version(), DataVersion::INSERT);
    EXPECT_EQ(table->get_n_items(), 0u);  // detached
    EXPECT_TRUE(log.changes.empty());

    const std::vector<std::string> classes{
        "OmbrixProvidersContractsValueInt32",   "OmbrixProvidersContractsValueString",
        "OmbrixProvidersContractsValueBoolean", "OmbrixProvidersContractsValueNull",
        "OmbrixProvidersContractsValueXml",     "OmbrixProvidersContractsValueBlob",
        "OmbrixProvidersContractsValueDateTime", "OmbrixProvidersContractsValueXml"};
    ASSERT_EQ(row->get_n_items(), classes.size());
    for (std::size_t i = 0; i < classes.size(); ++i) EXPECT_EQ(row->get_value_at(i)->type_name(), classes[i]) << i;
    EXPECT_EQ(row->get_value_at(0)->to_string(), "0");
    EXPECT_EQ(row->get_value_at(1)->to_string(), "");
    EXPECT_EQ(row->get_value_at(2)->to_string(), "false");
    EXPECT_TRUE(row->get_value_at(3)->get_is_null());
    EXPECT_EQ(row->get_value_at(5)->to_string(), "");

    // Each call makes fresh values.
    auto other = table->template_();
    EXPECT_NE(other->get_value_at(0), row->get_value_at(0));
}

TEST(TableModel, UpdateRowVersionMarksDropsOrKeepsRows) {
    auto table = TableModel::new_with_types({DataType::INT32});
    auto loaded = row_of({1});
    table->append(loaded);
    std::size_t position = 0;
    auto created = table->create(position);
    auto identical = row_of({3});
    identical->set_version(DataVersion::IDENTICAL);
    table->append(identical);
    ChangeLog log(*table);

    table->update_row_version(0, DataVersion::UPDATE);
    EXPECT_EQ(loaded->get_version(), DataVersion::UPDATE);
    table->update_row_version(1, DataVersion::UPDATE);
    EXPECT_EQ(created->get_version(), DataVersion::INSERT);
    table->update_row_version(2, DataVersion::UPDATE);
    EXPECT_EQ(identical->get_version(), DataVersion::IDENTICAL);

    table->update_row_version(0, DataVersion::DELETE);
    EXPECT_EQ(loaded->get_version(), DataVersion::DELETE);
    table->update_row_version(0, DataVersion::UPDATE);
    EXPECT_EQ(loaded->get_version(), DataVersion::DELETE);
    table->update_row_version(0, DataVersion::INSERT);
    table->update_row_version(0, DataVersion::IDENTICAL);
    EXPECT_EQ(loaded->get_version(), DataVersion::DELETE);

    // A row never saved is dropped rather than marked, without a signal of the table.
    table->update_row_version(1, DataVersion::DELETE);
    EXPECT_EQ(table->get_n_items(), 2u);
    EXPECT_EQ(table->get_item(1), identical);
    EXPECT_EQ(created->get_version(), DataVersion::INSERT);
    EXPECT_TRUE(log.changes.empty());

    Testing::LogCapture criticals;
    table->update_row_version(2, DataVersion::DELETE);
    EXPECT_EQ(criticals.criticals().size(), 1u);
    EXPECT_EQ(table->get_n_items(), 2u);
}

TEST(TableModel, FindReportsIdentityAndPositionZeroWhenAbsent) {
    auto table = TableModel::create();
    auto a = row_of({1});
    auto b = row_of({1});
    table->append(a);
    table->append(b);
    std::size_t position = 77;
    EXPECT_TRUE(table->find(b, position));
    EXPECT_EQ(position, 1u);
    position = 77;
    EXPECT_FALSE(table->find(a->clone(), position));
    EXPECT_EQ(position, 0u);

    Testing::LogCapture log;
    position = 77;
    EXPECT_FALSE(table->find(nullptr, position));
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(table->append(nullptr), 0u);
    EXPECT_EQ(table->get_n_items(), 2u);
    EXPECT_TRUE(log.has_critical("row != NULL"));
}

TEST(DataSetModel, HoldsTablesInOrder) {
    auto set = DataSetModel::create();
    EXPECT_EQ(set->get_n_items(), 0u);
    auto first = TableModel::create();
    auto second = TableModel::create();
    set->get_tables()->append(first);
    set->get_tables()->append(second);
    EXPECT_EQ(set->get_n_items(), 2u);
    EXPECT_EQ(set->get_item(0), first);
    EXPECT_EQ(set->get_item(1), second);
    EXPECT_EQ(set->get_item(2), nullptr);
}
