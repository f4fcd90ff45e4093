#include "solvane/Supports/Data/compress.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.hpp"

namespace {

using namespace Ombrix::Solvane::Supports::Data;

TEST(Compression, WhatIsWrittenCompressedReadsBackWholeAndDamageIsAnError) {
    Ombrix::Testing::TempDir dir;
    // Larger than the streams' buffers, with bytes of every value and long runs.
    std::string text;
    for (unsigned i = 0; i < 300000; ++i) text += static_cast<char>(i * 7919U % 256);
    text += std::string(1 << 20, 'x');
    for (const auto& name : {"", "gzip", "zstd"}) {
        SCOPED_TRACE(name);
        const auto compression = compression_named(name);
        ASSERT_TRUE(compression);
        const std::string file = dir.file(std::string("out.") + name);
        auto created = Extractors::FileSink::create(file);
        ASSERT_TRUE(created);
        auto sink = compressing_sink(std::move(*created), *compression);
        for (std::size_t at = 0; at < text.size(); at += 100000) ASSERT_TRUE(sink->write(text.substr(at, 100000)));
        ASSERT_TRUE(sink->close());
        const auto stored = Ombrix::Testing::read_text(file);
        if (*compression != Compression::NONE) {
            EXPECT_LT(stored.size(), text.size() / 2);
        }
        auto back = read_uncompressed(file);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_TRUE(*back == text);
        if (*compression == Compression::NONE) continue;
        // Cut short: an error, never a shorter text taken for the whole.
        Ombrix::Testing::write_text(file, stored.substr(0, stored.size() / 2));
        EXPECT_FALSE(read_uncompressed(file));
    }
    EXPECT_FALSE(compression_named("lz4"));
}

}  // namespace
