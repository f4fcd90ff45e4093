/// @file Entity-relationship diagrams of a schema: the tables and views, their foreign keys and the
/// objects each view reads, written as graph text, Mermaid text or a picture laid out in-process.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "providers/Core/error.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data::Documents {

/// A column as a diagram shows it: name, type and its marks.
struct DiagramColumn {
    std::string name;
    std::string type;
    bool primary = false;
    bool foreign = false;
    bool unique = false;  ///< a unique key of this column alone
    bool not_null = false;
};

/// A table or view of a diagram.
struct DiagramNode {
    std::string schema;
    std::string name;
    std::string comment;
    bool view = false;
    std::vector<DiagramColumn> columns;
    /// Its number in the graph of the whole database (from 1): a drawing of a part of the graph names
    /// its boxes ("nN") as a drawing of the whole does.
    std::size_t number = 0;
};

/// A foreign key from the table that holds it (`from`) to the one it references (`to`), or, with
/// `reads`, a view (`from`) reading a table or view (`to`).
struct DiagramEdge {
    std::size_t from = 0;
    std::size_t to = 0;
    std::string name;
    std::vector<std::string> from_columns;
    std::vector<std::string> to_columns;
    bool reads = false;
    bool optional = false;  ///< some referencing column takes NULL: a row may reference nothing
    bool one = false;       ///< the referencing columns are a key of their own: one row per referenced row
    std::size_t number = 0;  ///< as DiagramNode::number, for the edge's "eN"
};

/// The graph of a database's tables and views. Foreign keys into objects outside the graph are not
/// drawn (the dictionary still lists them).
class OMBRIX_SOLVANE_EXPORT SchemaDiagram {
public:
    /// Tables with more than this many neighbours in one connected group are laid out by the
    /// force-directed engine, which stays fast where the layered one does not.
    static constexpr std::size_t kLayeredLimit = 300;

    /// Every table and view of every schema of `database`, in schema order, tables first.
    static SchemaDiagram of(const MetaModel::MetaDatabase& database);

    /// The objects named in `names` ("NAME" in any schema of the graph, or "SCHEMA.NAME") and the
    /// edges between them; a name that matches nothing fails with "no table or view named 'NAME'".
    [[nodiscard]] Core::Result<SchemaDiagram> only(const std::vector<std::string>& names) const;
    /// The object `name` and those at most `depth` edges away from it, whichever way they point.
    [[nodiscard]] Core::Result<SchemaDiagram> around(std::string_view name, unsigned depth) const;

    const std::vector<DiagramNode>& nodes() const { return m_nodes; }
    const std::vector<DiagramEdge>& edges() const { return m_edges; }
    /// Connected groups of nodes (edges taken both ways), each listed in node order.
    std::vector<std::vector<std::size_t>> components() const;
    /// "dot" (layered), or "sfdp" when a connected group is larger than `kLayeredLimit`.
    std::string engine() const;

    /// The graph in the layout library's own language: HTML-like boxes with a port per column,
    /// crow's-foot ends, views dashed, a legend, the engine chosen and groups packed apart. With
    /// `links`, each box links to the fragment `anchor()` of its object.
    std::string to_dot(bool links = false) const;
    /// A Mermaid `erDiagram` block (without the Markdown fence): entities e1, e2… labelled with the
    /// real names, attributes whose names and types the grammar cannot hold replaced (the real text
    /// in the attribute's comment), one relationship per edge.
    std::string to_mermaid() const;
    /// The picture, laid out and rendered in-process: `format` is "svg", "png" or "pdf". The layout
    /// library's own errors fail with its message (domain "default"). The SVG of a large graph is
    /// laid out in two halves of its groups at once, the second in a child process that does
    /// nothing else (the library keeps global state, so threads cannot share it), and the halves
    /// are placed side by side or one above the other, whichever is squarer.
    [[nodiscard]] Core::Result<std::string> render(std::string_view format, bool links = false) const;
    /// A small SVG of node `index` and its neighbours: what references it on the left, what it
    /// references on the right, each box linking to its object's fragment. Written directly, with
    /// no layout engine, so that a dictionary can draw one per table.
    std::string neighbourhood_svg(std::size_t index) const;

    /// The fragment identifier of an object's section: "o-" then schema "." name, every byte
    /// outside letters, digits, "-" and "_" written as "." and two hexadecimal digits. Safe in an
    /// attribute, an identifier and a URL fragment alike.
    static std::string anchor(std::string_view schema, std::string_view name);
    /// The objects (schema, name) a view definition reads, in order of appearance and each once:
    /// the names after FROM, JOIN and the commas of a FROM list; an unqualified one is taken in
    /// `schema`. Subqueries, derived tables and table functions name nothing.
    static std::vector<std::pair<std::string, std::string>> view_reads(std::string_view definition,
                                                                       std::string_view schema);

private:
    std::vector<DiagramNode> m_nodes;
    std::vector<DiagramEdge> m_edges;

    std::size_t find(std::string_view name) const;
    SchemaDiagram subset(const std::vector<bool>& keep) const;
    /// The graph text with the engine `layout`, and the legend when `legend`.
    std::string dot_text(bool links, const std::string& layout, bool legend) const;
    /// The groups split in two of about the same size, the larger groups placed first; empty when
    /// the graph is too small for a second process to pay.
    std::vector<bool> half() const;
};

}  // namespace Ombrix::Solvane::Supports::Data::Documents
