// Diagrams of a schema on the sandbox server, read back from what the client writes: a box per
// table, an edge per foreign key with the ends its columns call for, the same in Mermaid, and the
// choices of what to draw.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;

/// An edge of a drawn diagram: the objects at its ends and the shapes drawn on it.
struct DrawnEdge {
    std::string from, to;
    int crows = 0;     // crow's feet (and the arrow of a view's read, drawn alike)
    int bars = 0;      // bars of "one"
    int circles = 0;   // circles of "optional"
    bool dashed = false;
};

/// The boxes (by the object each names) and edges of an SVG the client drew.
struct Drawing {
    std::map<std::string, std::string> boxes;  // node id -> "schema.name"
    std::vector<DrawnEdge> edges;
};

Drawing read_svg(const std::string& svg) {
    Drawing drawing;
    const std::regex node(R"re(<g id="(n\d+)" class="node">\s*<title>[^<]*</title>\s*<g id="a_n\d+"><a xlink:title="([^"]*)">)re");
    for (std::sregex_iterator it(svg.begin(), svg.end(), node), end; it != end; ++it)
        drawing.boxes[(*it)[1]] = (*it)[2];
    // An edge's group runs to the next box or edge, or the end.
    const std::regex edge(R"re(<g id="e\d+" class="edge">\s*<title>(n\d+)[^&]*&#45;&gt;(n\d+)[^<]*</title>)re");
    std::vector<std::pair<std::size_t, DrawnEdge>> starts;
    for (std::sregex_iterator it(svg.begin(), svg.end(), edge), end; it != end; ++it) {
        DrawnEdge e;
        e.from = (*it)[1];
        e.to = (*it)[2];
        starts.emplace_back(static_cast<std::size_t>(it->position()), e);
    }
    const std::regex polygon(R"re(<polygon[^>]*points="([^"]*)")re");
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t stop = std::min(svg.find("class=\"node\"", starts[i].first),
                                          i + 1 < starts.size() ? starts[i + 1].first : svg.size());
        const std::string body = svg.substr(starts[i].first, stop - starts[i].first);
        auto e = starts[i].second;
        for (std::sregex_iterator it(body.begin(), body.end(), polygon), end; it != end; ++it) {
            const std::string points = (*it)[1];
            const auto count = std::count(points.begin(), points.end(), ' ') + 1;
            (count == 5 ? e.bars : e.crows) += 1;
        }
        for (std::size_t at = body.find("<ellipse"); at != std::string::npos; at = body.find("<ellipse", at + 1))
            ++e.circles;
        e.dashed = body.find("stroke-dasharray") != std::string::npos;
        e.from = drawing.boxes[e.from];
        e.to = drawing.boxes[e.to];
        drawing.edges.push_back(e);
    }
    return drawing;
}

class Diagram : public ::testing::Test {
protected:
    CliRun ombrix(const std::vector<std::string>& args) { return Ombrix::Testing::run_cli(home, args, {}); }
    TempDir home;
};

TEST_F(Diagram, EveryTableIsOneBoxAndEveryForeignKeyOneEdgeWithItsEnds) {
    ScratchSchema schema("diagram");
    const std::string s = schema.name();
    const std::string q = "`" + s + "`.";
    Sandbox::get().exec(
        "CREATE TABLE " + q + "customer (id INT PRIMARY KEY, email VARCHAR(100) NOT NULL UNIQUE, referrer INT NULL, "
        "FOREIGN KEY (referrer) REFERENCES " + q + "customer(id)) COMMENT '<img src=x onerror=\"alert(1)\"> ]]>';"
        "CREATE TABLE " + q + "product (sku VARCHAR(20), variant INT, price DECIMAL(10,2) NOT NULL, "
        "PRIMARY KEY (sku, variant));"
        "CREATE TABLE " + q + "orders (id INT PRIMARY KEY, customer_id INT NOT NULL, "
        "FOREIGN KEY (customer_id) REFERENCES " + q + "customer(id));"
        "CREATE TABLE " + q + "order_line (order_id INT NOT NULL, line INT NOT NULL, sku VARCHAR(20), variant INT, "
        "PRIMARY KEY (order_id, line), FOREIGN KEY (order_id) REFERENCES " + q + "orders(id), "
        "FOREIGN KEY (sku, variant) REFERENCES " + q + "product(sku, variant));"
        "CREATE TABLE " + q + "invoice (id INT PRIMARY KEY, order_id INT NOT NULL UNIQUE, "
        "FOREIGN KEY (order_id) REFERENCES " + q + "orders(id));"
        "CREATE TABLE " + q + "a (id INT PRIMARY KEY, b_id INT);"
        "CREATE TABLE " + q + "b (id INT PRIMARY KEY, a_id INT NOT NULL, FOREIGN KEY (a_id) REFERENCES " + q + "a(id));"
        "ALTER TABLE " + q + "a ADD FOREIGN KEY (b_id) REFERENCES " + q + "b(id);"
        "CREATE TABLE " + q + "`x<b>&\"'y` (`a b` INT PRIMARY KEY, `c,d` DECIMAL(5,1));"
        "CREATE VIEW " + q + "totals AS SELECT o.id, c.email FROM " + q + "orders o JOIN " + q +
        "customer c ON c.id = o.customer_id");

    // What each foreign key must look like: holder, referenced, "many" (crow) or "one" (bar) at the
    // holder, and whether the referencing columns take NULL (a circle at the referenced end).
    struct Expected {
        std::string from, to;
        bool many, optional;
    };
    const std::vector<Expected> keys = {
        {"customer", "customer", true, true},   // self-reference, nullable
        {"orders", "customer", true, false},    // mandatory
        {"order_line", "orders", true, false},  // part of a composite primary key: still many
        {"order_line", "product", true, true},  // composite and nullable
        {"invoice", "orders", false, false},    // unique: one to one
        {"b", "a", true, false},                // a cycle, one way mandatory
        {"a", "b", true, true},                 // and the other optional
    };

    auto run = ombrix({"erd", s});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto drawing = read_svg(run.out);
    std::multiset<std::string> boxes;
    for (const auto& [id, name] : drawing.boxes) boxes.insert(name);
    EXPECT_EQ(boxes, (std::multiset<std::string>{s + ".a", s + ".b", s + ".customer", s + ".invoice", s + ".order_line",
                                                 s + ".orders", s + ".product", s + ".totals",
                                                 s + ".x&lt;b&gt;&amp;&quot;&#39;y"}))
        << run.out;
    ASSERT_EQ(drawing.edges.size(), keys.size() + 2) << run.out;
    for (const auto& key : keys) {
        const auto found = std::count_if(drawing.edges.begin(), drawing.edges.end(), [&](const DrawnEdge& e) {
            return e.from == s + "." + key.from && e.to == s + "." + key.to && !e.dashed &&
                   e.crows == (key.many ? 1 : 0) && e.bars == (key.many ? 0 : 1) + (key.optional ? 1 : 2) &&
                   e.circles == 1 + (key.optional ? 1 : 0);
        });
        EXPECT_EQ(found, 1) << key.from << " -> " << key.to;
    }
    for (const std::string read : {"orders", "customer"})
        EXPECT_EQ(std::count_if(drawing.edges.begin(), drawing.edges.end(),
                                [&](const DrawnEdge& e) {
                                    return e.from == s + ".totals" && e.to == s + "." + read && e.dashed;
                                }),
                  1)
            << read;
    // Hostile texts are text: no element of theirs, and comments are not drawn at all.
    EXPECT_EQ(run.out.find("<img"), std::string::npos);
    EXPECT_EQ(run.out.find("<b>"), std::string::npos);

    // The same graph in Mermaid: one entity per object, one relationship per edge, the names the
    // grammar cannot hold replaced, the real ones kept as labels.
    run = ombrix({"erd", s, "--format", "mermaid"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::regex entity(R"re(\n    (e\d+)\["([^"]*)"\])re");
    std::map<std::string, std::string> entities;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), entity), end; it != end; ++it)
        entities[(*it)[2]] = (*it)[1];
    EXPECT_EQ(entities.size(), 9u) << run.out;
    EXPECT_TRUE(entities.contains(s + ".x\u2039b\u203A&''y")) << run.out;
    EXPECT_NE(run.out.find("        DECIMAL c_d \"c,d DECIMAL(5, 1)\"\n"), std::string::npos) << run.out;
    const auto relation = [&](const std::string& from, const std::string& ends, const std::string& to) {
        return run.out.find("    " + entities[s + "." + from] + " " + ends + " " + entities[s + "." + to] + " : ");
    };
    EXPECT_NE(relation("customer", "}o--o|", "customer"), std::string::npos) << run.out;
    EXPECT_NE(relation("invoice", "|o--||", "orders"), std::string::npos) << run.out;
    EXPECT_NE(relation("order_line", "}o--o|", "product"), std::string::npos) << run.out;
    EXPECT_NE(relation("totals", "}o..o{", "orders"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), ':'), static_cast<long>(keys.size() + 2)) << run.out;

    // What to draw: a table's neighbourhood, deeper, or a list.
    const auto boxes_of = [&](const std::vector<std::string>& args) {
        std::vector<std::string> command{"erd", s, "--format", "dot"};
        command.insert(command.end(), args.begin(), args.end());
        auto drawn = ombrix(command);
        EXPECT_EQ(drawn.status, 0) << drawn.err;
        std::set<std::string> names;
        const std::regex tooltip(R"re(\[id="n\d+", tooltip="[^.]*\.([^"]*)")re");
        for (std::sregex_iterator it(drawn.out.begin(), drawn.out.end(), tooltip), end; it != end; ++it)
            names.insert((*it)[1]);
        return names;
    };
    EXPECT_EQ(boxes_of({"--around", "order_line"}), (std::set<std::string>{"order_line", "orders", "product"}));
    EXPECT_EQ(boxes_of({"--around", "order_line", "--depth", "2"}),
              (std::set<std::string>{"order_line", "orders", "product", "customer", "invoice", "totals"}));
    EXPECT_EQ(boxes_of({"--tables", "a,b"}), (std::set<std::string>{"a", "b"}));
    run = ombrix({"erd", s, "--around", "nothing"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no table or view named 'nothing'"), std::string::npos) << run.err;

    // Pictures come whole in each format. (The raster and page renderers reach the system's font
    // library, whose caches grow through frames the leak checker's fast unwinder cannot follow: a
    // full unwind lets it see they are the font cache's.)
    const std::string leak_options = g_getenv("LSAN_OPTIONS") ? g_getenv("LSAN_OPTIONS") : "";
    if (!leak_options.empty()) g_setenv("LSAN_OPTIONS", (leak_options + ":fast_unwind_on_malloc=0").c_str(), TRUE);
    for (const auto& [format, magic] : std::vector<std::pair<std::string, std::string>>{{"png", "\x89PNG"}, {"pdf", "%PDF"}}) {
        const auto file = home.file("d." + format);
        run = ombrix({"erd", s, "--format", format, "-o", file});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Ombrix::Testing::read_text(file).substr(0, magic.size()), magic) << format;
    }
    if (!leak_options.empty()) g_setenv("LSAN_OPTIONS", leak_options.c_str(), TRUE);
}

}  // namespace
