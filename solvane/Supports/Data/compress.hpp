/// @file Compressed files: gzip and zstd streams written through a text sink, and files read back
/// whatever their compression.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "solvane/Supports/Data/Extractors/base_extractor.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Supports::Data {

enum class Compression { NONE, GZIP, ZSTD };

/// "gzip" or "zstd" (or "" for none) as a compression; nothing for another name.
OMBRIX_SOLVANE_EXPORT std::optional<Compression> compression_named(std::string_view name);

/// A sink that compresses what it is given into `inner` (which it closes when closed); `inner`
/// itself for NONE.
OMBRIX_SOLVANE_EXPORT std::unique_ptr<Extractors::TextSink> compressing_sink(std::unique_ptr<Extractors::TextSink> inner,
                                                                            Compression compression);

/// The text of a file read piece by piece, uncompressed when it is a gzip or zstd file (told by its
/// first bytes, whatever its name); "-" reads standard input.
class OMBRIX_SOLVANE_EXPORT UncompressedReader {
public:
    virtual ~UncompressedReader() = default;
    /// Opens `filename`; a file that cannot be opened gives the system's reason.
    [[nodiscard]] static Core::Result<std::unique_ptr<UncompressedReader>> open(const std::string& filename);
    /// Up to `size` bytes of text into `into`: how many, 0 only at the end. A damaged or cut
    /// compressed stream is an error.
    [[nodiscard]] virtual Core::Result<std::size_t> read(char* into, std::size_t size) = 0;
};

/// The whole text of `filename`, uncompressed when it is a gzip or zstd file (told by its first
/// bytes, whatever its name); "-" reads standard input.
[[nodiscard]] OMBRIX_SOLVANE_EXPORT Core::Result<std::string> read_uncompressed(const std::string& filename);

}  // namespace Ombrix::Solvane::Supports::Data
