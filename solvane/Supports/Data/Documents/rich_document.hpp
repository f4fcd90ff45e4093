/// @file The full data dictionary of a database: diagrams, keys, indexes, checks, foreign keys both
/// ways, triggers, view definitions and routines, as one self-contained HTML page or as Markdown.
#pragma once

#include <memory>
#include <string_view>

#include "providers/Core/object.hpp"
#include "solvane/Contracts/Data/document.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data::Documents {

/// One HTML page that asks for nothing over the network (its policy allows no request and only its
/// own script): the schema diagram (each box links to its object's section), a contents list with a
/// filter box, and per table a neighbourhood diagram, its columns, keys, indexes, checks, the
/// foreign keys it holds and those that reference it, triggers and options; views with their
/// definitions and what they read; routines. Every text from the server is escaped for the place
/// it is written in. Printing hides the contents and keeps sections whole where it can.
class OMBRIX_SOLVANE_EXPORT RichHtmlDocument final : public Core::Object, public Contracts::Data::IDocument {
public:
    OMBRIX_CREATABLE_OBJECT(RichHtmlDocument, Core::Object);

    /// Creates or replaces `filename` ("-" is standard output); errors of the file, or of the
    /// diagram's layout, are returned. `progress` is not called.
    [[nodiscard]] Core::Status produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback& progress) override;

private:
    RichHtmlDocument() = default;
};

/// The same dictionary in Markdown, the schema diagram as a Mermaid block.
class OMBRIX_SOLVANE_EXPORT RichMarkdownDocument final : public Core::Object, public Contracts::Data::IDocument {
public:
    OMBRIX_CREATABLE_OBJECT(RichMarkdownDocument, Core::Object);

    /// As `RichHtmlDocument::produce`.
    [[nodiscard]] Core::Status produce(const std::shared_ptr<MetaModel::MetaDatabase>& meta_database,
                                       std::string_view filename, const Contracts::Data::Configuration* cfg,
                                       const Contracts::Data::ProgressCallback& progress) override;

private:
    RichMarkdownDocument() = default;
};

}  // namespace Ombrix::Solvane::Supports::Data::Documents
