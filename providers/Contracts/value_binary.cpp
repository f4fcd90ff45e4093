#include "providers/Contracts/value_binary.hpp"

#include <cstring>

#include "providers/Core/file.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<ValueBinary> ValueBinary::create(Core::Bytes bytes) {
    return Core::make_object<ValueBinary>(std::move(bytes));
}

std::shared_ptr<ValueBinary> ValueBinary::create(const std::uint8_t* data, std::size_t length) {
    return create(data && length ? Core::Bytes(data, data + length) : Core::Bytes());
}

const Core::TypeInfo& ValueBinary::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueBinary, ValueObject>("OmbrixProvidersContractsValueBinary")
            .property("itsvalue", &ValueBinary::get_itsvalue, &ValueBinary::set_itsvalue, Core::Bytes{})
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueBinary);

std::string ValueBinary::to_hexadecimal() const { return Core::hex_upper(m_value.data(), m_value.size()); }

std::string ValueBinary::to_string() const {
    std::string text;
    write_text(m_value.data(), m_value.size(), text);
    return text;
}

void ValueBinary::write_text(const std::uint8_t* bytes, std::size_t size, std::string& text) {
    if (size == 0) {
        text.clear();
        return;
    }
    const auto* data = reinterpret_cast<const char*>(bytes);
    const auto* zero = static_cast<const char*>(std::memchr(data, 0, size));
    const std::size_t length = zero ? static_cast<std::size_t>(zero - data) : size;
    if (g_utf8_validate(data, static_cast<gssize>(length), nullptr))
        text.assign(data, length);
    else
        Core::hex_upper_into(bytes, size, text);
}

Core::Status ValueBinary::write(GOutputStream* stream) const {
    OMBRIX_RETURN_VAL_IF_NULL(stream, Core::fail("default", -1, "no stream"));
    gsize written = 0;
    GError* error = nullptr;
    if (!g_output_stream_write_all(stream, m_value.data(), m_value.size(), &written, nullptr, &error))
        return Core::fail(Core::take_error(error));
    return {};
}

void ValueBinary::load_async(const std::string& filename, Core::AsyncReadyCallback callback) {
    auto self = shared_as<ValueBinary>();
    Core::read_file_async(
        filename, [self](std::string data) { self->set_itsvalue(Core::Bytes(data.begin(), data.end())); },
        std::move(callback));
}

Core::Status ValueBinary::load_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take_status();
}

void ValueBinary::save_async(const std::string& filename, Core::AsyncReadyCallback callback) {
    Core::replace_file_async(filename, std::string(m_value.begin(), m_value.end()), std::move(callback));
}

Core::Status ValueBinary::save_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take_status();
}

std::shared_ptr<ValueBlob> ValueBlob::create(Core::Bytes bytes) {
    return Core::make_object<ValueBlob>(std::move(bytes));
}

std::shared_ptr<ValueBlob> ValueBlob::create(const std::uint8_t* data, std::size_t length) {
    return create(data && length ? Core::Bytes(data, data + length) : Core::Bytes());
}

OMBRIX_DEFINE_TYPE(ValueBlob, "OmbrixProvidersContractsValueBlob");

}  // namespace Ombrix::Providers::Contracts
