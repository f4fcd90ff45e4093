/// @file The formatter contract: SQL text laid out for an editor, or packed onto one line.
#pragma once

#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// Lays out SQL text. The operations keep this order; implementations are Core::Objects.
/// `beautify` and `minify` change nothing in the formatter and may run on several threads at
/// once; `option` writes.
class OMBRIX_SOLVANE_EXPORT IFormattable {
public:
    virtual ~IFormattable() = default;

    /// Stores a named setting, replacing an earlier value of the same name.
    virtual void option(std::string_view name, std::string_view value) = 0;
    /// The statements laid out on several indented lines; fails only when the text cannot be laid out.
    [[nodiscard]] virtual Core::Result<std::string> beautify(std::string_view statements) const = 0;
    /// The statements on one compact line (line comments keep their line end).
    [[nodiscard]] virtual std::string minify(std::string_view statements) const = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
