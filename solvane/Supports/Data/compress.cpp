#include "solvane/Supports/Data/compress.hpp"

#include <zlib.h>
#include <zstd.h>

#include <cstdio>
#include <iostream>
#include <iterator>

#include "providers/Core/file.hpp"

namespace Ombrix::Solvane::Supports::Data {

using Extractors::TextSink;

namespace {

constexpr std::size_t kChunk = 1U << 18;

Core::Error compression_error(const char* what, const std::string& detail) {
    return Core::Error{"default", -1, std::string(what) + ": " + detail};
}

class GzipSink final : public TextSink {
public:
    explicit GzipSink(std::unique_ptr<TextSink> inner) : m_inner(std::move(inner)) {
        // 15 window bits plus 16: a gzip header and trailer around the deflate stream.
        m_ready = deflateInit2(&m_stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~GzipSink() override {
        if (m_ready) deflateEnd(&m_stream);
    }
    Core::Status write(std::string_view text) override { return pump(text, Z_NO_FLUSH); }
    Core::Status close() override {
        if (m_closed) return {};
        m_closed = true;
        auto finished = pump({}, Z_FINISH);
        auto closed = m_inner->close();
        OMBRIX_RETURN_IF_ERROR(finished);
        return closed;
    }

private:
    Core::Status pump(std::string_view text, int flush) {
        if (!m_ready) return Core::fail(compression_error("gzip", "the compressor cannot start"));
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        m_stream.avail_in = static_cast<uInt>(text.size());
        do {
            m_stream.next_out = reinterpret_cast<Bytef*>(m_out);
            m_stream.avail_out = sizeof m_out;
            const int result = deflate(&m_stream, flush);
            if (result == Z_STREAM_ERROR) return Core::fail(compression_error("gzip", "the stream broke"));
            const std::size_t made = sizeof m_out - m_stream.avail_out;
            if (made > 0) OMBRIX_RETURN_IF_ERROR(m_inner->write(std::string_view(m_out, made)));
        } while (m_stream.avail_out == 0 || (flush == Z_FINISH && m_stream.avail_in > 0));
        return {};
    }

    std::unique_ptr<TextSink> m_inner;
    z_stream m_stream{};
    bool m_ready = false;
    bool m_closed = false;
    char m_out[kChunk];
};

class ZstdSink final : public TextSink {
public:
    explicit ZstdSink(std::unique_ptr<TextSink> inner) : m_inner(std::move(inner)), m_context(ZSTD_createCCtx()) {
        if (m_context) ZSTD_CCtx_setParameter(m_context, ZSTD_c_compressionLevel, 3);
    }
    ~ZstdSink() override { ZSTD_freeCCtx(m_context); }
    Core::Status write(std::string_view text) override { return pump(text, ZSTD_e_continue); }
    Core::Status close() override {
        if (m_closed) return {};
        m_closed = true;
        auto finished = pump({}, ZSTD_e_end);
        auto closed = m_inner->close();
        OMBRIX_RETURN_IF_ERROR(finished);
        return closed;
    }

private:
    Core::Status pump(std::string_view text, ZSTD_EndDirective mode) {
        if (!m_context) return Core::fail(compression_error("zstd", "the compressor cannot start"));
        ZSTD_inBuffer in{text.data(), text.size(), 0};
        while (true) {
            ZSTD_outBuffer out{m_out, sizeof m_out, 0};
            const std::size_t left = ZSTD_compressStream2(m_context, &out, &in, mode);
            if (ZSTD_isError(left)) return Core::fail(compression_error("zstd", ZSTD_getErrorName(left)));
            if (out.pos > 0) OMBRIX_RETURN_IF_ERROR(m_inner->write(std::string_view(m_out, out.pos)));
            const bool done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
            if (done) return {};
        }
    }

    std::unique_ptr<TextSink> m_inner;
    ZSTD_CCtx* m_context;
    bool m_closed = false;
    char m_out[kChunk];
};

Core::Result<std::string> gunzip(const std::string& data) {
    z_stream stream{};
    // 15 window bits plus 32: a gzip (or zlib) header, told by the stream.
    if (inflateInit2(&stream, 15 + 32) != Z_OK) return Core::fail(compression_error("gzip", "cannot start"));
    std::string text;
    std::size_t fed = 0;
    const auto feed = [&] {
        const std::size_t piece = std::min<std::size_t>(data.size() - fed, 1U << 30);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + fed));
        stream.avail_in = static_cast<uInt>(piece);
        fed += piece;
    };
    feed();
    char out[kChunk];
    std::optional<Core::Error> failed;
    while (true) {
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = sizeof out;
        const int result = inflate(&stream, Z_NO_FLUSH);
        text.append(out, sizeof out - stream.avail_out);
        const bool more = stream.avail_in > 0 || fed < data.size();
        if (result == Z_STREAM_END) {
            if (!more) break;
            inflateReset(&stream);  // gzip files joined read as one text
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            failed = compression_error("gzip", stream.msg ? stream.msg : "the data is damaged");
            break;
        } else if (!more && stream.avail_out != 0) {
            failed = compression_error("gzip", "the data is cut short");
            break;
        }
        if (stream.avail_in == 0 && fed < data.size()) feed();
    }
    inflateEnd(&stream);
    if (failed) return Core::fail(std::move(*failed));
    return text;
}

Core::Result<std::string> unzstd(const std::string& data) {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    if (!context) return Core::fail(compression_error("zstd", "cannot start"));
    std::string text;
    ZSTD_inBuffer in{data.data(), data.size(), 0};
    char out[kChunk];
    std::size_t last = 0;
    while (in.pos < in.size) {
        ZSTD_outBuffer buffer{out, sizeof out, 0};
        last = ZSTD_decompressStream(context, &buffer, &in);
        if (ZSTD_isError(last)) {
            ZSTD_freeDCtx(context);
            return Core::fail(compression_error("zstd", ZSTD_getErrorName(last)));
        }
        text.append(out, buffer.pos);
    }
    // Whatever the last call still holds.
    while (last != 0) {
        ZSTD_outBuffer buffer{out, sizeof out, 0};
        last = ZSTD_decompressStream(context, &buffer, &in);
        if (ZSTD_isError(last) || buffer.pos == 0) break;
        text.append(out, buffer.pos);
    }
    ZSTD_freeDCtx(context);
    if (last != 0) return Core::fail(compression_error("zstd", "the data is cut short"));
    return text;
}

}  // namespace

std::optional<Compression> compression_named(std::string_view name) {
    if (name.empty() || name == "none") return Compression::NONE;
    if (name == "gzip") return Compression::GZIP;
    if (name == "zstd") return Compression::ZSTD;
    return std::nullopt;
}

std::unique_ptr<TextSink> compressing_sink(std::unique_ptr<TextSink> inner, Compression compression) {
    switch (compression) {
        case Compression::GZIP: return std::make_unique<GzipSink>(std::move(inner));
        case Compression::ZSTD: return std::make_unique<ZstdSink>(std::move(inner));
        default: return inner;
    }
}

Core::Result<std::string> read_uncompressed(const std::string& filename) {
    std::string data;
    if (filename == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        auto read = Core::read_file(filename);
        if (!read) return Core::fail(read.error());
        data = std::move(*read);
    }
    const auto starts = [&](std::string_view magic) { return std::string_view(data).starts_with(magic); };
    if (starts("\x1F\x8B")) return gunzip(data);
    if (starts("\x28\xB5\x2F\xFD")) return unzstd(data);
    return data;
}

}  // namespace Ombrix::Solvane::Supports::Data
