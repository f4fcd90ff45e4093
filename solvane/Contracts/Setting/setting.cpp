#include "solvane/Contracts/Setting/setting.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Contracts::Setting {

namespace {

constexpr const char* kDomain = "UserSetting";
constexpr int kNoFileName = -1;
constexpr int kLoadFailure = -2;
constexpr int kUnknownName = -3;
constexpr int kInvalidValue = -4;

/// The whole of `text` as a number of type T; nullopt when it is not one or has anything after it.
template <class T>
std::optional<T> whole_number(std::string_view text, std::errc& status) {
    T number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    status = error;
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

struct Range {
    long double minimum;
    long double maximum;
};

/// The values a property of an integer kind holds (an int property is 32 bits wide).
Range integer_range(Core::ValueType kind) {
    switch (kind) {
        case Core::ValueType::Char:
            return {INT8_MIN, INT8_MAX};
        case Core::ValueType::UChar:
            return {0, UINT8_MAX};
        case Core::ValueType::Int:
            return {INT32_MIN, INT32_MAX};
        case Core::ValueType::UInt:
            return {0, UINT32_MAX};
        case Core::ValueType::ULong:
        case Core::ValueType::UInt64:
            return {0, static_cast<long double>(UINT64_MAX)};
        default:
            return {static_cast<long double>(INT64_MIN), static_cast<long double>(INT64_MAX)};
    }
}

/// `text` as a value of `property`'s kind; the error names `where` ("section.property").
Core::Result<Core::Value> parse_value(const Core::PropertySpec& property, std::string_view text,
                                      const std::string& where) {
    const std::string shown(text);
    auto refuse = [&](const char* format) {
        return Core::fail(kDomain, kInvalidValue, Core::strprintf(format, where.c_str(), shown.c_str()));
    };
    std::errc status{};
    switch (property.kind) {
        case Core::ValueType::Boolean:
            if (text == "true" || text == "1") return Core::Value::from_boolean(true);
            if (text == "false" || text == "0") return Core::Value::from_boolean(false);
            return refuse(Core::tr("%s: '%s' is not a boolean (true, false, 1 or 0)"));
        case Core::ValueType::Char:
        case Core::ValueType::Int:
        case Core::ValueType::Long:
        case Core::ValueType::Int64: {
            const auto number = whole_number<std::int64_t>(text, status);
            const Range range = integer_range(property.kind);
            if (!number && status != std::errc::result_out_of_range)
                return refuse(Core::tr("%s: '%s' is not an integer"));
            if (!number || *number < range.minimum || *number > range.maximum)
                return refuse(Core::tr("%s: '%s' is out of range"));
            return Core::Value::from_int64(*number);
        }
        case Core::ValueType::UChar:
        case Core::ValueType::UInt:
        case Core::ValueType::ULong:
        case Core::ValueType::UInt64: {
            const auto number = whole_number<std::uint64_t>(text, status);
            if (!number && status != std::errc::result_out_of_range)
                return refuse(Core::tr("%s: '%s' is not an unsigned integer"));
            if (!number || *number > integer_range(property.kind).maximum)
                return refuse(Core::tr("%s: '%s' is out of range"));
            return Core::Value::from_uint64(*number);
        }
        case Core::ValueType::Float:
        case Core::ValueType::Double: {
            const auto number = whole_number<double>(text, status);
            if (!number || !std::isfinite(*number)) return refuse(Core::tr("%s: '%s' is not a number"));
            return Core::Value::from_double(*number);
        }
        case Core::ValueType::String:
            return Core::Value::from_string(shown);
        case Core::ValueType::DateTime: {
            auto moment = Core::DateTime::from_iso8601(text, Core::Zone::Utc);
            if (!moment) return refuse(Core::tr("%s: '%s' is not an ISO 8601 date-time"));
            return Core::Value::from_datetime(std::move(moment));
        }
        default:
            return refuse(Core::tr("%s: cannot be set from a text ('%s')"));
    }
}

}  // namespace

OMBRIX_DEFINE_TYPE(UserSetting, "OmbrixSolvaneContractsSettingUserSetting");

UserSetting::UserSetting() {
    set_general(GeneralSetting::create());
    set_editor(EditorSetting::create());
    set_datagrid(DataGridSetting::create());
    set_network(NetworkSetting::create());
    set_logging(LoggingSetting::create());
    set_datatool(DataToolSetting::create());
    set_extension(ExtensionSetting::create());
}

UserSetting::~UserSetting() {
    // A section may outlive this object in someone else's hands: it must stop calling back here.
    for (auto& watch : m_watches) watch.disconnect();
}

template <class S>
void UserSetting::replace(std::shared_ptr<S>& field, std::shared_ptr<S> value, std::size_t slot,
                          std::string_view name) {
    if (field == value) return;
    field = std::move(value);
    m_watches[slot].disconnect();
    m_watches[slot] = field->signal_notify().connect([this](std::string_view) { m_changed.emit(); });
    notify(name);
}

void UserSetting::set_general(std::shared_ptr<GeneralSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_general, std::move(value), 0, ombrix_name_general);
}

void UserSetting::set_editor(std::shared_ptr<EditorSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_editor, std::move(value), 1, ombrix_name_editor);
}

void UserSetting::set_datagrid(std::shared_ptr<DataGridSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_datagrid, std::move(value), 2, ombrix_name_datagrid);
}

void UserSetting::set_network(std::shared_ptr<NetworkSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_network, std::move(value), 3, ombrix_name_network);
}

void UserSetting::set_logging(std::shared_ptr<LoggingSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_logging, std::move(value), 4, ombrix_name_logging);
}

void UserSetting::set_datatool(std::shared_ptr<DataToolSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_datatool, std::move(value), 5, ombrix_name_datatool);
}

void UserSetting::set_extension(std::shared_ptr<ExtensionSetting> value) {
    OMBRIX_RETURN_IF_NULL(value);
    replace(m_extension, std::move(value), 6, ombrix_name_extension);
}

bool UserSetting::deserialize_property(const Core::PropertySpec& property, const nlohmann::ordered_json& node) {
    if (property.kind == Core::ValueType::Object && !node.is_object()) return false;
    return Object::deserialize_property(property, node);
}

Core::Status UserSetting::load(const std::string& filename) {
    m_filename = filename;
    auto root = Core::Json::parse_file(filename);
    OMBRIX_RETURN_IF_ERROR(root);
    auto loaded = std::dynamic_pointer_cast<UserSetting>(Core::Json::deserialize(*root, static_type()));
    if (!loaded) return Core::fail(kDomain, kLoadFailure, Core::tr("Load user setting file failure"));
    // A section that reads the same is kept, so that whoever holds it keeps listening to the live one.
    bool replaced = false;
    for (const Core::PropertySpec* property : type_info().properties()) {
        if (property->kind != Core::ValueType::Object) continue;
        const Core::Value fresh = property->getter(*loaded);
        const Core::Value current = property->getter(*this);
        if (Core::Json::serialize(*current.get_object()) == Core::Json::serialize(*fresh.get_object())) continue;
        property->setter(*this, fresh);
        replaced = true;
    }
    if (replaced) m_changed.emit();
    return {};
}

Core::Status UserSetting::save() const {
    if (m_filename.empty()) return Core::fail(kDomain, kNoFileName, Core::tr("No settings file to save to"));
    const std::string text = Core::Json::to_pretty(Core::Json::serialize(*this), 2);
    // The proxy password is in there: the owner's alone, wherever the host keeps the file.
    auto written = Core::write_private_file(m_filename, text);
    if (!written && written.error().message.empty())
        return Core::fail(std::string(Core::kIoErrorDomain), 0, m_filename);
    return written;
}

Core::Result<std::shared_ptr<Core::Object>> UserSetting::section(std::string_view name) const {
    const Core::PropertySpec* property = type_info().find_property(name);
    if (property && property->kind == Core::ValueType::Object) return property->getter(*this).get_object();
    std::string known;
    for (const Core::PropertySpec* each : type_info().properties())
        if (each->kind == Core::ValueType::Object) known += (known.empty() ? "" : ", ") + each->name;
    return Core::fail(kDomain, kUnknownName,
                      Core::strprintf(Core::tr("no settings section '%s' (the sections are %s)"),
                                      std::string(name).c_str(), known.c_str()));
}

Core::Status UserSetting::set_from_text(std::string_view section_name, std::string_view property_name,
                                        std::string_view text) {
    auto target = section(section_name);
    OMBRIX_RETURN_IF_ERROR(target);
    const std::string section_text(section_name);
    const std::string property_text(property_name);
    const Core::PropertySpec* property = (*target)->type_info().find_property(property_name);
    if (!property || !property->writable())
        return Core::fail(kDomain, kUnknownName,
                          Core::strprintf(Core::tr("the settings section '%s' has no property '%s'"),
                                          section_text.c_str(), property_text.c_str()));
    auto value = parse_value(*property, text, section_text + "." + property_text);
    OMBRIX_RETURN_IF_ERROR(value);
    property->setter(**target, *value);
    return {};
}

}  // namespace Ombrix::Solvane::Contracts::Setting
