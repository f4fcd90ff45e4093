// What a reader gets from the contract when it supplies only its cells' kinds and texts.
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/value_object.hpp"
#include "tests/support/provider.hpp"

using namespace Ombrix;
using namespace Ombrix::Providers::Contracts;
using Ombrix::Testing::value_class;

namespace {

/// One current row of cells, each a data type and a text (nullopt for NULL). It supplies only
/// the kind, the NULL test and the plain text; every other getter is the contract's.
class RowReader : public IDataReader {
public:
    struct Cell {
        DataType type;
        std::optional<std::string> text;
    };
    explicit RowReader(std::vector<Cell> cells) : m_cells(std::move(cells)) {}

    std::int32_t get_field_count() const override { return static_cast<std::int32_t>(m_cells.size()); }
    DataType get_data_type(std::uint16_t index) const override { return m_cells.at(index).type; }
    bool is_null(std::uint16_t index) const override { return !m_cells.at(index).text; }
    std::string get_string(std::uint16_t index) const override { return m_cells.at(index).text.value_or(""); }

private:
    std::vector<Cell> m_cells;
};

/// A reader whose second cell cannot be made.
class FailingReader : public RowReader {
public:
    using RowReader::RowReader;
    Core::Result<ValuePtr> get_value(std::uint16_t index) const override {
        asked.push_back(index);
        if (index == 1) return Core::fail("MariaDB", 7, "cell 1 is broken");
        return RowReader::get_value(index);
    }
    mutable std::vector<std::uint16_t> asked;
};

TEST(IDataReaderDefaults, KindsAVendorNeedNotSupplyGiveEmptyTextsNullVariantsAndTheCurrentTime) {
    RowReader reader({{DataType::ENUM, "a"},
                      {DataType::FLAGS, "b"},
                      {DataType::SET, "c"},
                      {DataType::XML, "<x/>"},
                      {DataType::JSON, "{}"},
                      {DataType::GEOMETRY, "POINT(1 2)"},
                      {DataType::GEOGRAPHY, "POINT(3 4)"},
                      {DataType::VARIANT, "v"},
                      {DataType::OBJECT, "o"},
                      {DataType::UNKNOWN, "plain"},
                      {DataType::INT32, std::nullopt}});
    EXPECT_FALSE(reader.get_is_closed());
    EXPECT_EQ(reader.bulk(5), 0);
    EXPECT_TRUE(reader.get_object(0).empty());
    EXPECT_EQ(value_class(reader.get_variant(0)), "ValueNull");
    const auto now = std::time(nullptr);
    const auto stamp = reader.get_timestamp(0);
    ASSERT_FALSE(stamp.is_null());
    EXPECT_LE(std::abs(stamp.to_unix() - now), 5);

    OMBRIX_ASSERT_OK(values, reader.get_values());
    const std::vector<std::string> classes = {"ValueEnum", "ValueFlags",   "ValueSet",    "ValueXml",
                                              "ValueJson", "ValueGeometry", "ValueGeography", "ValueNull",
                                              "ValueBinary", "ValueString", "ValueNull"};
    ASSERT_EQ(values.size(), classes.size());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(value_class(values[i]), classes[i]);
    }
    // The text kinds are the contract's empty texts, not the vendor's plain text.
    for (std::size_t i = 0; i <= 6; ++i) EXPECT_EQ(values[i]->to_string(), "") << i;
    EXPECT_EQ(values[9]->to_string(), "plain");
}

TEST(IDataReaderDefaults, TemporalCellsTheGettersCannotReadKeepTheirText) {
    // The contract's date and time getters read nothing: the cell keeps its text instead of
    // becoming a null entry in the row.
    RowReader reader({{DataType::DATE, "0000-00-00"}, {DataType::TIME, "-12:00:00"}, {DataType::DATETIME, "x"}});
    OMBRIX_ASSERT_OK(values, reader.get_values());
    ASSERT_EQ(values.size(), 3u);
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_NE(values[i], nullptr) << i;
        EXPECT_FALSE(values[i]->get_is_null()) << i;
    }
    EXPECT_EQ(values[0]->to_string(), "0000-00-00");
    EXPECT_EQ(values[1]->to_string(), "-12:00:00");
}

TEST(IDataReaderDefaults, GetValuesStopsAtTheFirstFailingCell) {
    FailingReader reader({{DataType::STRING, "a"}, {DataType::STRING, "b"}, {DataType::STRING, "c"}});
    auto values = reader.get_values();
    ASSERT_FALSE(values);
    EXPECT_EQ(values.error().code, 7);
    EXPECT_EQ(values.error().message, "cell 1 is broken");
    EXPECT_EQ(reader.asked, (std::vector<std::uint16_t>{0, 1}));
}

}  // namespace
