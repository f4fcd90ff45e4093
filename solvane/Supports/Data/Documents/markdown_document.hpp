/// @file A data dictionary of a database as a Markdown text.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Data/document.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data::Documents {

/// Writes the configuration's title, version and description, an index of every table
/// and view (schema by schema, tables first, numbered from 1 across the whole database) linking to
/// one section per object that lists its columns. There is no footer. In every inserted text "|"
/// is escaped and line breaks become "<br>", so that the tables keep their shape.
class OMBRIX_SOLVANE_EXPORT MarkdownDocument final : public Core::Object, public Contracts::Data::IDocument {
public:

    OMBRIX_CREATABLE_OBJECT(MarkdownDocument, Core::Object);

    /// Creates or replaces `filename`; an error creating, writing or closing it is returned and
    /// ends the writing. `progress` is not called. A null database, file name or configuration
    /// writes its critical ("meta_database != NULL", "filename != NULL", "cfg != NULL") and
    /// writes nothing.
    [[nodiscard]] Core::Status produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback& progress) override;

private:
    MarkdownDocument() = default;

    /// Append the section of one table or view to `out`.
    void make_table_section(std::string& out, const std::shared_ptr<MetaModel::MetaTable>& table) const;
    void make_view_section(std::string& out, const std::shared_ptr<MetaModel::MetaView>& view) const;
};

}  // namespace Ombrix::Solvane::Supports::Data::Documents
