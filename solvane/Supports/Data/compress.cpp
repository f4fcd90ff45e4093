#include "solvane/Supports/Data/compress.hpp"

#include <zlib.h>
#include <zstd.h>

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

/// Bytes of a file (or of standard input) as they lie.
class FileBytes {
public:
    explicit FileBytes(std::FILE* file, bool owned) : m_file(file), m_owned(owned) {}
    ~FileBytes() {
        if (m_owned && m_file) std::fclose(m_file);
    }
    /// Up to `size` bytes into `into`; 0 at the end. `pending` bytes read ahead come first.
    Core::Result<std::size_t> read(char* into, std::size_t size) {
        std::size_t given = 0;
        if (!m_pending.empty()) {
            given = std::min(size, m_pending.size());
            std::memcpy(into, m_pending.data(), given);
            m_pending.erase(0, given);
            if (given == size) return given;
        }
        const std::size_t got = std::fread(into + given, 1, size - given, m_file);
        if (got == 0 && std::ferror(m_file)) return Core::fail("default", -1, std::string("read error: ") + g_strerror(errno));
        return given + got;
    }
    void put_back(std::string bytes) { m_pending = std::move(bytes) + m_pending; }

private:
    std::FILE* m_file;
    bool m_owned;
    std::string m_pending;
};

class PlainReader final : public UncompressedReader {
public:
    explicit PlainReader(std::unique_ptr<FileBytes> bytes) : m_bytes(std::move(bytes)) {}
    Core::Result<std::size_t> read(char* into, std::size_t size) override { return m_bytes->read(into, size); }

private:
    std::unique_ptr<FileBytes> m_bytes;
};

class GzipReader final : public UncompressedReader {
public:
    explicit GzipReader(std::unique_ptr<FileBytes> bytes) : m_bytes(std::move(bytes)) {
        // 15 window bits plus 32: a gzip (or zlib) header, told by the stream.
        m_ready = inflateInit2(&m_stream, 15 + 32) == Z_OK;
    }
    ~GzipReader() override {
        if (m_ready) inflateEnd(&m_stream);
    }
    Core::Result<std::size_t> read(char* into, std::size_t size) override {
        if (!m_ready) return Core::fail(compression_error("gzip", "cannot start"));
        m_stream.next_out = reinterpret_cast<Bytef*>(into);
        m_stream.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 1U << 30));
        const auto wanted = m_stream.avail_out;
        while (m_stream.avail_out == wanted) {
            if (m_stream.avail_in == 0 && !m_end) {
                auto got = m_bytes->read(m_in, sizeof m_in);
                OMBRIX_RETURN_IF_ERROR(got);
                m_end = *got == 0;
                m_stream.next_in = reinterpret_cast<Bytef*>(m_in);
                m_stream.avail_in = static_cast<uInt>(*got);
            }
            if (m_end && m_stream.avail_in == 0 && m_finished) return std::size_t{0};
            const auto before = m_stream.avail_out;
            const int result = inflate(&m_stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                m_finished = true;
                inflateReset(&m_stream);  // gzip files joined read as one text
            } else if (result != Z_OK && result != Z_BUF_ERROR) {
                return Core::fail(compression_error("gzip", m_stream.msg ? m_stream.msg : "the data is damaged"));
            } else {
                m_finished = false;
                // Nothing more comes and nothing came: the stream is cut.
                if (m_end && m_stream.avail_in == 0 && m_stream.avail_out == before)
                    return Core::fail(compression_error("gzip", "the data is cut short"));
            }
        }
        return static_cast<std::size_t>(wanted - m_stream.avail_out);
    }

private:
    std::unique_ptr<FileBytes> m_bytes;
    z_stream m_stream{};
    bool m_ready = false;
    bool m_end = false;
    bool m_finished = false;
    char m_in[kChunk];
};

class ZstdReader final : public UncompressedReader {
public:
    explicit ZstdReader(std::unique_ptr<FileBytes> bytes) : m_bytes(std::move(bytes)), m_context(ZSTD_createDCtx()) {}
    ~ZstdReader() override { ZSTD_freeDCtx(m_context); }
    Core::Result<std::size_t> read(char* into, std::size_t size) override {
        if (!m_context) return Core::fail(compression_error("zstd", "cannot start"));
        ZSTD_outBuffer out{into, size, 0};
        while (out.pos == 0) {
            if (m_in.pos == m_in.size && !m_end) {
                auto got = m_bytes->read(m_buffer, sizeof m_buffer);
                OMBRIX_RETURN_IF_ERROR(got);
                m_end = *got == 0;
                m_in = ZSTD_inBuffer{m_buffer, *got, 0};
            }
            if (m_end && m_in.pos == m_in.size && m_last == 0) return std::size_t{0};
            const std::size_t before = out.pos;
            m_last = ZSTD_decompressStream(m_context, &out, &m_in);
            if (ZSTD_isError(m_last)) return Core::fail(compression_error("zstd", ZSTD_getErrorName(m_last)));
            // Nothing more comes and nothing came: the frame is cut.
            if (m_end && m_in.pos == m_in.size && out.pos == before && m_last != 0)
                return Core::fail(compression_error("zstd", "the data is cut short"));
        }
        return out.pos;
    }

private:
    std::unique_ptr<FileBytes> m_bytes;
    ZSTD_DCtx* m_context;
    ZSTD_inBuffer m_in{nullptr, 0, 0};
    std::size_t m_last = 0;
    bool m_end = false;
    char m_buffer[kChunk];
};

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

Core::Result<std::unique_ptr<UncompressedReader>> UncompressedReader::open(const std::string& filename) {
    std::unique_ptr<FileBytes> bytes;
    if (filename == "-") {
        bytes = std::make_unique<FileBytes>(stdin, false);
    } else {
        std::FILE* file = std::fopen(filename.c_str(), "rb");
        if (!file) return Core::fail("default", -1, g_strerror(errno));
        bytes = std::make_unique<FileBytes>(file, true);
    }
    // The first bytes tell the compression, whatever the name.
    char head[4];
    std::size_t got = 0;
    while (got < sizeof head) {
        auto read = bytes->read(head + got, sizeof head - got);
        OMBRIX_RETURN_IF_ERROR(read);
        if (*read == 0) break;
        got += *read;
    }
    const std::string_view magic(head, got);
    bytes->put_back(std::string(magic));
    if (magic.starts_with("\x1F\x8B")) return std::unique_ptr<UncompressedReader>(std::make_unique<GzipReader>(std::move(bytes)));
    if (magic.starts_with("\x28\xB5\x2F\xFD"))
        return std::unique_ptr<UncompressedReader>(std::make_unique<ZstdReader>(std::move(bytes)));
    return std::unique_ptr<UncompressedReader>(std::make_unique<PlainReader>(std::move(bytes)));
}

Core::Result<std::string> read_uncompressed(const std::string& filename) {
    auto reader = UncompressedReader::open(filename);
    OMBRIX_RETURN_IF_ERROR(reader);
    std::string text;
    for (;;) {
        const std::size_t at = text.size();
        text.resize(at + kChunk);
        auto got = (*reader)->read(text.data() + at, kChunk);
        OMBRIX_RETURN_IF_ERROR(got);
        text.resize(at + *got);
        if (*got == 0) return text;
    }
}

}  // namespace Ombrix::Solvane::Supports::Data
