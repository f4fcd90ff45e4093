#include "solvane/Model/column.hpp"

#include <gtest/gtest.h>

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

TEST(MetaColumn, PropertiesComeInTheirOrderWithTheirDefaults) {
    const auto& properties = MetaColumn::static_type().properties();
    std::vector<std::string> names;
    for (std::size_t i = 7; i < properties.size(); ++i) names.push_back(properties[i]->name);
    EXPECT_EQ(names, (std::vector<std::string>{"ordinal",
                                               "alias",
                                               "after",
                                               "raw-type",
                                               "data-type",
                                               "length",
                                               "scale",
                                               "dimension",
                                               "is-unsigned",
                                               "auto-increment",
                                               "auto-increment-seed",
                                               "identity",
                                               "default-value",
                                               "virtual-type",
                                               "expression",
                                               "not-null",
                                               "is-selected",
                                               "is-virtual",
                                               "is-user-defined",
                                               "is-primary-key",
                                               "primary-ordinal",
                                               "primary-length",
                                               "conflict",
                                               "charset",
                                               "collation",
                                               "enum-values",
                                               "is-binary",
                                               "is-fill-zero",
                                               "update-timestamp",
                                               "is-generated-always"}));
    auto column = MetaColumn::create();
    for (const auto* property : properties) {
        SCOPED_TRACE(property->name);
        EXPECT_EQ(property->getter(*column), property->default_value);
    }
    EXPECT_EQ(MetaColumn::static_type().find_property("ordinal")->kind, Core::ValueType::UInt);
}

TEST(MetaColumn, NumbersKeepTheirWidthThroughJson) {
    auto column = MetaColumn::with_type("n", DataType::DECIMAL, "decimal(65,30)");
    column->set_ordinal(65535);
    column->set_length(18446744073709551615ull);
    column->set_scale(255);
    column->set_primary_length(1ull << 40);
    const std::string text = to_json(*column);
    auto read = from_json_as<MetaColumn>(text);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ((*read)->get_ordinal(), 65535);
    EXPECT_EQ((*read)->get_length(), 18446744073709551615ull);
    EXPECT_EQ((*read)->get_scale(), 255);
    EXPECT_EQ((*read)->get_data_type(), DataType::DECIMAL);
    EXPECT_EQ(to_json(**read), text);
}
