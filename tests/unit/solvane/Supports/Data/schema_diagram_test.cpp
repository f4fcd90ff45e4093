// What a view reads, found in its definition, and the fragment names every document links by.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "solvane/Model/Constraints/foreign.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
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

// A large graph is laid out in two halves at once, one in a child process: the picture holds every
// box and edge once, under the names the whole graph gives them, and reads as one SVG.
TEST(SchemaDiagram, ALargeGraphDrawnInHalvesIsOnePictureOfEveryBoxAndEdge) {
    using namespace Ombrix::Solvane::MetaModel;
    auto database = MetaDatabase::with_name("big");
    auto schema = database->append("big");
    std::size_t keys = 0;
    constexpr int kTables = 240;
    for (int i = 0; i < kTables; ++i) {
        auto table = MetaTable::with_names("big", "big", "t" + std::to_string(i));
        table->new_column("id", Ombrix::Providers::Contracts::DataType::INT32)->set_is_primary_key(true);
        table->new_column("up", Ombrix::Providers::Contracts::DataType::INT32);
        // Stars of twelve: each table references the first of its group.
        if (i % 12 != 0) {
            auto key = MetaForeignKey::with_names("fk" + std::to_string(i), "big", "t" + std::to_string(i - i % 12));
            key->set_local_columns("up");
            key->set_refer_columns("id");
            table->get_constraints()->append(key);
            ++keys;
        }
        schema->get_tables()->append(table);
    }
    const auto diagram = SchemaDiagram::of(*database);
    auto svg = diagram.render("svg", true);
    ASSERT_TRUE(svg) << svg.error().message;
    const std::regex node(R"re(<g id="n(\d+)" class="node">)re"), edge(R"re(<g id="e(\d+)" class="edge">)re");
    std::set<int> nodes, edges;
    for (std::sregex_iterator it(svg->begin(), svg->end(), node), end; it != end; ++it) nodes.insert(std::stoi((*it)[1]));
    for (std::sregex_iterator it(svg->begin(), svg->end(), edge), end; it != end; ++it) edges.insert(std::stoi((*it)[1]));
    EXPECT_EQ(nodes.size(), static_cast<std::size_t>(kTables));
    EXPECT_EQ(*nodes.begin(), 1);
    EXPECT_EQ(*nodes.rbegin(), kTables);
    EXPECT_EQ(edges.size(), keys);
    EXPECT_EQ(svg->find("<?xml"), 0u);
    EXPECT_EQ(svg->find("<?xml", 1), std::string::npos);
    // The halves are two documents placed in one, each with its own graph group and the legend once.
    std::size_t roots = 0;
    for (std::size_t at = svg->find("<svg"); at != std::string::npos; at = svg->find("<svg", at + 1)) ++roots;
    EXPECT_EQ(roots, 3u);
    EXPECT_NE(svg->find("id=\"graph1\""), std::string::npos);
    EXPECT_EQ(svg->find("Legend"), svg->rfind("Legend"));
    EXPECT_NE(svg->find("xlink:href=\"#o-big..t239\""), std::string::npos);
}

}  // namespace
