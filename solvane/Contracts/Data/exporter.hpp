/// @file The exporter contract: a table model written as text or into a file in one format.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "providers/Contracts/model_table.hpp"
#include "providers/Core/error.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Data {

/// The option map every extractor carries; callers fill it before an operation.
using OptionMap = std::map<std::string, std::string, std::less<>>;

/// Called once per exported row: the model's row count (0 when unknown, as for a streamed
/// result), the 1-based number of the row just written and the text produced for it ("" for
/// formats without a per-row text).
using ProgressCallback = std::function<void(std::uint64_t total, std::uint64_t index, std::string_view text)>;

/// Writes a table model in one format. Both operations return the number of data rows exported;
/// a failure is an error; a missing model or file name writes its critical and gives 0.
class OMBRIX_SOLVANE_EXPORT IExporter {
public:
    virtual ~IExporter() = default;

    [[nodiscard]] virtual Core::Result<std::int64_t> export_to_file(
        const std::shared_ptr<Providers::Contracts::TableModel>& model, std::string_view filename,
        const ProgressCallback& progress) = 0;
    /// Replaces `buffer` with the produced text.
    [[nodiscard]] virtual Core::Result<std::int64_t> export_to_text(
        const std::shared_ptr<Providers::Contracts::TableModel>& model, std::string& buffer,
        const ProgressCallback& progress) = 0;

    virtual OptionMap& get_options() = 0;
    virtual const std::string& get_file_extention() const = 0;
    virtual bool get_continue_on_error() const = 0;
    virtual void set_continue_on_error(bool value) = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Data
