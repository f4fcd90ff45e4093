// What a view reads, found in its definition, and the fragment names every document links by.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "solvane/Supports/Data/Documents/schema_diagram.hpp"

namespace {

using Ombrix::Solvane::Supports::Data::Documents::SchemaDiagram;
using Reads = std::vector<std::pair<std::string, std::string>>;

TEST(SchemaDiagram, ViewReadsAreTheNamesItsFromListsHold) {
    const struct {
        const char* definition;
        Reads reads;
    } cases[] = {
        // As the server keeps a definition: every name qualified, joins in parentheses.
        {"select `o`.`id` AS `id`,`c`.`name` AS `name` from (`shop`.`orders` `o` join `shop`.`customer` `c` "
         "on(`c`.`id` = `o`.`customer_id`))",
         {{"shop", "orders"}, {"shop", "customer"}}},
        // Comma lists, aliases with and without AS, a name taken in the view's own schema.
        {"SELECT * FROM a AS x, other.b y, c WHERE x.id = y.id", {{"s", "a"}, {"other", "b"}, {"s", "c"}}},
        // Derived tables and table functions name nothing of their own; what they read still counts.
        {"select * from (select id from `s`.`inner` ) d join json_table('[]', '$[*]' columns (v int path '$')) j "
         "left join `s`.`last` on 1",
         {{"s", "inner"}, {"s", "last"}}},
        // Strings and comments that look like SQL are not read; quoted names keep their dots and backticks.
        {"select 'from fake' as t /* from hidden */ from `we``ird.name` -- from gone\n straight_join `x`.`y`",
         {{"s", "we`ird.name"}, {"x", "y"}}},
        // Each object once, in order of appearance, across the parts of a union.
        {"select id from t union all select id from u union select id from t", {{"s", "t"}, {"s", "u"}}},
        {"select 1", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SchemaDiagram::view_reads(c.definition, "s"), c.reads) << c.definition;
}

TEST(SchemaDiagram, AnchorsAreSafeEverywhereAndTellNamesApart) {
    EXPECT_EQ(SchemaDiagram::anchor("shop", "order_line"), "o-shop..order_line");
    EXPECT_EQ(SchemaDiagram::anchor("s", "a<b>\"'&"), "o-s..a.3cb.3e.22.27.26");
    EXPECT_EQ(SchemaDiagram::anchor("s", "caf\xC3\xA9"), "o-s..caf.c3.a9");
    // A dot in a name cannot make two objects share a fragment.
    EXPECT_NE(SchemaDiagram::anchor("a.b", "c"), SchemaDiagram::anchor("a", "b.c"));
    EXPECT_NE(SchemaDiagram::anchor("s", "x.2e"), SchemaDiagram::anchor("s", "x."));
}

}  // namespace
