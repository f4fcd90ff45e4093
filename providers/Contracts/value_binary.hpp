/// @file Binary values: byte buffers and BLOBs, with their hexadecimal and file forms.
#pragma once

#include <gio/gio.h>

#include "providers/Contracts/value_object.hpp"
#include "providers/Core/async.hpp"

namespace Ombrix::Providers::Contracts {

/// A byte-buffer cell; keeps exactly the bytes it was given.
class OMBRIX_PROVIDERS_EXPORT ValueBinary : public ValueHolder<Core::Bytes> {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    static std::shared_ptr<ValueBinary> create(Core::Bytes bytes = {});
    /// Copies `length` bytes from `data`.
    static std::shared_ptr<ValueBinary> create(const std::uint8_t* data, std::size_t length);
    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// A copy of the bytes (empty for an empty buffer).
    Core::Bytes to_bytes() const { return m_value; }
    /// Each byte as two upper-case hexadecimal digits, no separators; "" when empty.
    std::string to_hexadecimal() const;
    /// Writes the whole buffer to `stream` in one call; the stream's error passes through.
    [[nodiscard]] Core::Status write(GOutputStream* stream) const;

    /// A boxed byte buffer holding the bytes.
    Core::Value to_value() const override { return Core::Value::from_bytes(m_value); }
    /// "" when empty; the bytes up to the first zero byte when that is valid UTF-8; otherwise the
    /// whole buffer in hexadecimal.
    std::string to_string() const override;
    /// The text `to_string` gives for the bytes `bytes`, written into `text`.
    static void write_text(const std::uint8_t* bytes, std::size_t size, std::string& text);
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "binary"; }
    DataType get_data_type() const override { return DataType::BINARY; }

    /// Reads the file's bytes as the new content; completion on the main context. A missing file
    /// is the platform's not-found error and leaves the value unchanged.
    void load_async(const std::string& filename, Core::AsyncReadyCallback callback);
    [[nodiscard]] Core::Status load_finish(const Core::AsyncResultPtr& result);
    /// Writes exactly the bytes to the file (replacing it) in chunks of 1024 bytes.
    void save_async(const std::string& filename, Core::AsyncReadyCallback callback);
    [[nodiscard]] Core::Status save_finish(const Core::AsyncResultPtr& result);

protected:
    explicit ValueBinary(Core::Bytes bytes) : ValueHolder(std::move(bytes)) {}
};

/// A BLOB cell.
class OMBRIX_PROVIDERS_EXPORT ValueBlob final : public ValueBinary {

public:
    static std::shared_ptr<ValueBlob> create(Core::Bytes bytes = {});
    static std::shared_ptr<ValueBlob> create(const std::uint8_t* data, std::size_t length);
    OMBRIX_OBJECT(ValueBlob, ValueBinary);
    ValuePtr clone() const override { return create(m_value); }
    std::string_view get_name() const override { return "blob"; }
    DataType get_data_type() const override { return DataType::BLOB; }

private:
    using ValueBinary::ValueBinary;
};

}  // namespace Ombrix::Providers::Contracts
