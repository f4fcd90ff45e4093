#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "providers/Core/json.hpp"
#include "providers/Core/list_model.hpp"
#include "solvane/Contracts/Serialization/serializer_json.hpp"
#include "solvane/Contracts/clonable.hpp"
#include "solvane/Model/column.hpp"

namespace Ombrix::Testing {

// A client object with one property of each kind the JSON form reads, and a read-only list.
class ClientThing final : public Core::Object,
                          public Solvane::Contracts::Serialization::IJsonSerializer,
                          public Solvane::Contracts::IClonable {
    OMBRIX_CREATABLE_OBJECT(ClientThing, Core::Object);

    OMBRIX_PROPERTY(std::string, title, "");
    OMBRIX_PROPERTY(std::uint8_t, level, 0);
    OMBRIX_PROPERTY(std::int16_t, offset, 0);
    OMBRIX_PROPERTY(bool, active, false);
    OMBRIX_PROPERTY(double, ratio, 0.0);
    OMBRIX_PROPERTY(Core::StringList, tags, Core::StringList{});
    OMBRIX_PROPERTY(Core::StringMap, extra, Core::StringMap{});
    OMBRIX_PROPERTY_READONLY(std::shared_ptr<Solvane::MetaModel::MetaColumnList>, columns, nullptr);
    const std::shared_ptr<Solvane::MetaModel::MetaColumnList>& get_columns() const { return m_columns; }
    OMBRIX_PROPERTY_READONLY(Core::StringMap, settings, Core::StringMap{});
    const Core::StringMap& get_settings() const { return m_settings; }
    void put_setting(const std::string& key, const std::string& value) { m_settings[key] = value; }

private:
    ClientThing() : m_columns(Solvane::MetaModel::MetaColumnList::create()) {}
    std::shared_ptr<Solvane::MetaModel::MetaColumnList> m_columns;
    Core::StringMap m_settings;
};

OMBRIX_DEFINE_TYPE(ClientThing, "OmbrixTestingClientThing");

TEST(SerializationContracts, JsonFormWritesWritablePropertiesAndReadsThemBack) {
    auto thing = ClientThing::create();
    thing->set_level(7);
    thing->set_tags({"a", "b"});
    Core::Json::Node node;
    thing->serialize(node, *thing);
    // An unset text is "", read-only properties are left out, other kinds become a description.
    EXPECT_EQ(node.dump(), R"({"title":"","level":7,"offset":0,"active":false,"ratio":0.0,"tags":["a","b"],"extra":"{}"})");

    auto back = ClientThing::create();
    auto input = Core::Json::parse(
        R"({"class":"Nope","title":"t","level":300,"offset":70000,"active":true,"ratio":0.5,"tags":["x"],"unknown":1})");
    ASSERT_TRUE(input);
    back->deserialize(*input, *back);
    EXPECT_EQ(back->get_title(), "t");
    EXPECT_EQ(back->get_level(), 300 & 0xFF);         // unsigned char: the low 8 bits
    EXPECT_EQ(back->get_offset(), std::int16_t(70000 - 65536));  // narrowed to the property's width
    EXPECT_TRUE(back->get_active());
    EXPECT_DOUBLE_EQ(back->get_ratio(), 0.5);
    EXPECT_EQ(back->get_tags(), Core::StringList{"x"});
    EXPECT_EQ(back->type_name(), "OmbrixTestingClientThing");  // "class" is never a property
}

TEST(SerializationContracts, CloneCopiesPropertiesAndFillsItsOwnReadOnlyListAndMap) {
    auto thing = ClientThing::create();
    thing->set_title("source");
    thing->set_extra({{"k", "v"}});
    thing->put_setting("a", "1");
    thing->put_setting("b", "2");
    for (const char* name : {"a", "b", "c"}) {
        auto column = Solvane::MetaModel::MetaColumn::create();
        column->set_name(name);
        thing->get_columns()->append(column);
    }
    auto copy = std::dynamic_pointer_cast<ClientThing>(thing->clone());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), thing.get());
    EXPECT_EQ(copy->get_title(), "source");
    EXPECT_EQ(copy->get_extra(), thing->get_extra());
    ASSERT_NE(copy->get_columns(), thing->get_columns());
    ASSERT_EQ(copy->get_columns()->get_n_items(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(copy->get_columns()->get(i), thing->get_columns()->get(i));
    // The read-only map: the clone's own, holding the source's keys and values.
    EXPECT_EQ(copy->get_settings(), (Core::StringMap{{"a", "1"}, {"b", "2"}}));
    thing->put_setting("c", "3");
    EXPECT_EQ(copy->get_settings().size(), 2u);
}

}  // namespace Ombrix::Testing
