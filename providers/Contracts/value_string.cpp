#include "providers/Contracts/value_string.hpp"

#include <glib.h>

#include <optional>

#include "providers/Core/file.hpp"
#include "providers/Core/glib.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

// ---------------------------------------------------------------- ValueString

std::shared_ptr<ValueString> ValueString::create(std::string_view text) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(text, nullptr);
    return Core::make_object<ValueString>(std::string(text));
}

const Core::TypeInfo& ValueString::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueString, ValueObject>("OmbrixProvidersContractsValueString")
            .property("itsvalue", &ValueString::get_itsvalue,
                      [](ValueString& self, const std::string& text) { self.set_itsvalue(text); }, "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueString);

void ValueString::load_async(const std::string& filename, Core::AsyncReadyCallback callback) {
    auto self = shared_as<ValueString>();
    Core::read_file_async(filename, [self](std::string text) { self->set_itsvalue(std::move(text)); },
                          std::move(callback));
}

Core::Status ValueString::load_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take_status();
}

void ValueString::save_async(const std::string& filename, Core::AsyncReadyCallback callback) {
    Core::replace_file_async(filename, m_value, std::move(callback));
}

Core::Status ValueString::save_finish(const Core::AsyncResultPtr& result) {
    OMBRIX_RETURN_VAL_IF_NULL(result, Core::fail("default", -1, "no result"));
    return result->take_status();
}

// ---------------------------------------------------------------- ValueXml, ValueJson, ValueUuid

std::shared_ptr<ValueXml> ValueXml::create(std::string_view text) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(text, nullptr);
    return Core::make_object<ValueXml>(std::string(text));
}

OMBRIX_DEFINE_TYPE(ValueXml, "OmbrixProvidersContractsValueXml");

std::shared_ptr<ValueJson> ValueJson::create(std::string_view text) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(text, nullptr);
    return Core::make_object<ValueJson>(std::string(text));
}

OMBRIX_DEFINE_TYPE(ValueJson, "OmbrixProvidersContractsValueJson");

std::shared_ptr<ValueUuid> ValueUuid::create() {
    return Core::make_object<ValueUuid>(Core::random_uuid());
}

std::shared_ptr<ValueUuid> ValueUuid::new_uuid(std::string_view uuid) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(uuid, nullptr);
    return Core::make_object<ValueUuid>(std::string(uuid));
}

OMBRIX_DEFINE_TYPE(ValueUuid, "OmbrixProvidersContractsValueUuid");

// ---------------------------------------------------------------- ValueUtf16

std::shared_ptr<ValueUtf16> ValueUtf16::create(std::u16string units) {
    return Core::make_object<ValueUtf16>(std::move(units));
}

namespace {

// UTF-8 as UTF-16 code units; nothing for invalid UTF-8.
std::optional<std::u16string> utf8_to_utf16(std::string_view utf8) {
    glong written = 0;
    GError* error = nullptr;
    gunichar2* units = g_utf8_to_utf16(utf8.data(), static_cast<glong>(utf8.size()), nullptr, &written, &error);
    if (!units) {
        // Invalid UTF-8 is the caller's data, not a fault of ours; anything else is worth a critical.
        if (error && error->domain != G_CONVERT_ERROR) Core::log_unexpected(__FILE__, __LINE__, Core::take_error(error));
        else if (error) g_error_free(error);
        return std::nullopt;
    }
    std::u16string text(reinterpret_cast<const char16_t*>(units), static_cast<std::size_t>(written));
    g_free(units);
    return text;
}

}  // namespace

std::shared_ptr<ValueUtf16> ValueUtf16::new_string(std::string_view utf8) {
    auto units = utf8_to_utf16(utf8);
    if (!units) return nullptr;
    return create(std::move(*units));
}

const Core::TypeInfo& ValueUtf16::static_type() {
    // The property carries the text as UTF-8, as every other text value does; a text that is not
    // UTF-8 has no UTF-16 form and leaves the content as it was.
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueUtf16, ValueObject>("OmbrixProvidersContractsValueUtf16")
            .property(
                "itsvalue", [](const ValueUtf16& self) { return self.to_string(); },
                [](ValueUtf16& self, const std::string& utf8) {
                    if (auto units = utf8_to_utf16(utf8)) {
                        self.set_itsvalue(std::move(*units));
                    } else {
                        Core::detail::warn_refused_value(self, "itsvalue", Core::Value::from_string(utf8));
                    }
                },
                "")
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueUtf16);

std::string ValueUtf16::to_string() const { return Core::utf16_to_utf8(m_units.data(), m_units.size()); }

}  // namespace Ombrix::Providers::Contracts
