#include "solvane/Model/view.hpp"

#include <gtest/gtest.h>

using namespace Ombrix;
using namespace Ombrix::Solvane::MetaModel;

namespace {

// name => raw type, for every derived column in order.
std::vector<std::pair<std::string, std::string>> columns_of(const std::string& definition) {
    auto view = MetaView::with_names("d", "s", "v");
    view->set_definition(definition);
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& column : *view->get_columns()) result.emplace_back(column->get_name(), column->get_raw_type());
    return result;
}

using Columns = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(MetaView, DefinitionGivesTheSelectListAsColumns) {
    // Two blanks or one before FROM: the last item is found either way.
    EXPECT_EQ(columns_of("select a.id as ident, name  from t"), (Columns{{"ident", "a.id"}, {"name", "name"}}));
    EXPECT_EQ(columns_of("select a.id as ident, name from t"), (Columns{{"ident", "a.id"}, {"name", "name"}}));
    EXPECT_EQ(columns_of("select a, b from t"), (Columns{{"a", "a"}, {"b", "b"}}));
    EXPECT_EQ(columns_of("select a from t"), (Columns{{"a", "a"}}));
    // The form the server stores: qualified, quoted, no blanks between items.
    EXPECT_EQ(columns_of("select `t`.`a` AS `a`,`t`.`b` AS `total` from `shop`.`t`"),
              (Columns{{"a", "`t`.`a`"}, {"total", "`t`.`b`"}}));
    EXPECT_EQ(columns_of("select `x` AS `y` from t"), (Columns{{"y", "`x`"}}));
    EXPECT_EQ(columns_of("select [a] as \"b\", 'c' from t"), (Columns{{"b", "[a]"}, {"c", "'c'"}}));
    // Stars, qualified names, case and line breaks.
    EXPECT_EQ(columns_of("SELECT t.*, u.id, * FROM t, u"), (Columns{{"*", "t.*"}, {"id", "u.id"}, {"*", "*"}}));
    EXPECT_EQ(columns_of("SELECT\n  a AS First,\n  b\tAs second\nFROM t"), (Columns{{"First", "a"}, {"second", "b"}}));
}

TEST(MetaView, ItemsAreSplitOnlyAtTopLevelCommas) {
    // Calls, IF and CASE expressions and literals holding commas or AS stay one item; an alias after
    // an expression names it, and an unnamed expression is named by its text, as the server does.
    EXPECT_EQ(columns_of("select concat(`t`.`a`,',',`t`.`b`) AS `ab`,if(`t`.`a` > 1,'x','y') AS `k`,case when a "
                         "then 'p, q' else 2 end as c, 'as, is' AS lit, count(*) from `s`.`t`"),
              (Columns{{"ab", "concat(`t`.`a`,',',`t`.`b`)"},
                       {"k", "if(`t`.`a` > 1,'x','y')"},
                       {"c", "case when a then 'p, q' else 2 end"},
                       {"lit", "'as, is'"},
                       {"count(*)", "count(*)"}}));
    EXPECT_EQ(columns_of("select distinct `a` AS `x` from t"), (Columns{{"x", "`a`"}}));
    // A common table expression's own list is not the view's.
    EXPECT_EQ(columns_of("with c as (select a, b from p) select a from c"), (Columns{{"a", "a"}}));
    EXPECT_EQ(columns_of("select `odd``name` from t"), (Columns{{"odd`name", "`odd``name`"}}));
}

TEST(MetaView, OnlyTheOuterSelectListCounts) {
    EXPECT_EQ(columns_of("select a, b from t where b in (select c from u)"), (Columns{{"a", "a"}, {"b", "b"}}));
    EXPECT_EQ(columns_of("select a from t join (select x from u) v on v.x = t.a"), (Columns{{"a", "a"}}));
    // A column whose name starts with the keyword is still a column.
    EXPECT_EQ(columns_of("select from_date, b from t"), (Columns{{"from_date", "from_date"}, {"b", "b"}}));
}

TEST(MetaView, TextWithoutASelectListKeepsThePreviousColumns) {
    auto view = MetaView::with_names("d", "s", "v");
    view->set_definition("select a, b from t");
    ASSERT_EQ(view->get_columns()->size(), 2u);
    const auto list = view->get_columns();
    view->set_definition("select 1");
    EXPECT_EQ(view->get_definition(), "select 1");
    EXPECT_EQ(view->get_columns()->size(), 2u);
    view->set_definition("");
    EXPECT_EQ(view->get_columns()->size(), 2u);
    view->set_definition("select c from t");
    ASSERT_EQ(view->get_columns()->size(), 1u);
    EXPECT_EQ((*view->get_columns())[0]->get_name(), "c");
    EXPECT_EQ(view->get_columns(), list);  // the view keeps its one list
}

TEST(MetaView, DefinitionNotifiesEveryTime) {
    auto view = MetaView::create();
    std::vector<std::string> notified;
    view->signal_notify().connect([&](std::string_view name) { notified.emplace_back(name); });
    unsigned changes = 0;
    view->get_columns()->signal_items_changed().connect([&](unsigned, unsigned, unsigned) { ++changes; });
    view->set_definition("select a from t");
    view->set_definition("select a from t");
    // Notified even for the same text: the columns were derived again.
    EXPECT_EQ(notified, (std::vector<std::string>{"definition", "definition"}));
    EXPECT_GE(changes, 1u);
}

TEST(MetaView, CloneAndJsonKeepTheColumns) {
    auto view = Materialized::with_names("d", "s", "v");
    view->set_definition("select a as x, b from t");
    view->set_definer("root@localhost");
    view->get_columns()->append(MetaColumn::with_type("by_hand", DataType::STRING, "text"));

    auto copy = clone_as(*view);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_json(*copy), to_json(*view));
    EXPECT_NE(copy->get_columns(), view->get_columns());
    (*copy->get_columns())[0]->set_name("changed");
    EXPECT_EQ((*view->get_columns())[0]->get_name(), "x");

    // Reading back derives the columns from the definition again.
    auto plain = Materialized::with_names("d", "s", "v");
    plain->set_definition("select a as x, b from t");
    const std::string text = to_json(*plain);
    auto read = from_json_as<MetaView>(text);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ((*read)->type_name(), "OmbrixSolvaneMetaModelMaterialized");
    EXPECT_EQ(to_json(**read), text);
}
