#include "providers/Contracts/value_object.hpp"

#include "providers/Contracts/value_binary.hpp"
#include "providers/Contracts/value_boolean.hpp"
#include "providers/Contracts/value_datetime.hpp"
#include "providers/Contracts/value_numeric.hpp"
#include "providers/Contracts/value_scalar.hpp"
#include "providers/Contracts/value_string.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Providers::Contracts {

// ---------------------------------------------------------------- interface readings

double inumeric_to_double(const IValue& value) {
    const auto* numeric = dynamic_cast<const INumeric*>(&value);
    return numeric ? numeric->to_double() : 0.0;
}

std::int64_t iinteger_to_integer(const IValue& value) {
    const auto* integer = dynamic_cast<const IInteger*>(&value);
    return integer ? integer->to_integer() : -1;
}

std::uint64_t iunsigned_to_unsigned(const IValue& value) {
    const auto* unsigned_value = dynamic_cast<const IUnsigned*>(&value);
    return unsigned_value ? unsigned_value->to_unsigned() : 0;
}

// ---------------------------------------------------------------- ValueObject

std::shared_ptr<ValueObject> ValueObject::create() { return Core::make_object<ValueObject>(); }

const Core::TypeInfo& ValueObject::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<ValueObject, Core::Object>("OmbrixProvidersContractsValueObject")
            .property("name", [](const ValueObject& v) { return std::string(v.get_name()); }, nullptr, "",
                      Core::Readable)
            .property("data-type", &ValueObject::get_data_type, nullptr, DataType::UNKNOWN, Core::Readable)
            .property("is-null", &ValueObject::get_is_null, nullptr, false, Core::Readable)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(ValueObject);

Core::Value ValueObject::to_value() const { return Core::Value::from_string({}); }

std::string ValueObject::to_string() const { return {}; }

ValuePtr ValueObject::clone() const { return create(); }

std::string ValueObject::dump() const { return type_name() + " => " + to_string(); }

// ---------------------------------------------------------------- ValueNull

OMBRIX_DEFINE_TYPE(ValueNull, "OmbrixProvidersContractsValueNull");

Core::Value ValueNull::to_value() const { return Core::Value::from_string("NULL"); }

// ---------------------------------------------------------------- ValueError

std::shared_ptr<ValueError> ValueError::create(std::int32_t code, std::string_view message) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(message, nullptr);
    auto value = Core::make_object<ValueError>();
    value->m_code = code;
    value->m_message.assign(message);
    return value;
}

OMBRIX_DEFINE_TYPE(ValueError, "OmbrixProvidersContractsValueError", [](auto& builder) {
    builder.factory([] { return ValueError::create(0, ""); });
});

Core::Value ValueError::to_value() const { return Core::Value::from_error(Core::Error{"SQL", m_code, m_message}); }

std::string ValueError::to_string() const { return std::to_string(m_code) + ":" + m_message; }

// ---------------------------------------------------------------- factory

namespace {

std::shared_ptr<ValueTime> time_from_raw(std::optional<std::string_view> raw) {
    if (!raw) {
        const auto now = Core::DateTime::now_local();
        return ValueTime::new_hms(now.hour(), now.minute(), now.seconds());
    }
    auto moment = Core::DateTime::from_iso8601(*raw, Core::Zone::Utc);
    if (moment) return ValueTime::new_hms(moment.hour(), moment.minute(), moment.seconds());
    // A bare time of day (fractional seconds included) is that time, not midnight.
    const auto time = ValueTime::create_from_text(*raw)->get_itsvalue();
    if (time) return ValueTime::new_hms(time.hour(), time.minute(), time.seconds());
    return ValueTime::new_hms(0, 0, 0);
}

Core::Bytes bytes_of(std::string_view text) { return Core::Bytes(text.begin(), text.end()); }

}  // namespace

ValuePtr IValue::factory(DataType type, std::optional<std::string_view> raw) {
    const std::string_view text = raw.value_or(std::string_view(""));
    switch (type) {
        case DataType::DBNULL: return ValueNull::create();
        case DataType::BOOLEAN: return ValueBoolean::create(raw && *raw == "true");
        case DataType::INT8: return ValueInt8::create(static_cast<std::int8_t>(Core::parse_atoi(text)));
        case DataType::INT16: return ValueInt16::create(static_cast<std::int16_t>(Core::parse_atoi(text)));
        case DataType::INT32: return ValueInt32::create(static_cast<std::int32_t>(Core::parse_atoi(text)));
        case DataType::INT64: return ValueInt64::create(raw ? Core::parse_int64_auto(text) : 0);
        case DataType::UINT8: return ValueUInt8::create(static_cast<std::uint8_t>(Core::parse_uint64_auto(text)));
        case DataType::UINT16: return ValueUInt16::create(static_cast<std::uint16_t>(Core::parse_uint64_auto(text)));
        case DataType::UINT32: return ValueUInt32::create(static_cast<std::uint32_t>(Core::parse_uint64_auto(text)));
        case DataType::UINT64: return ValueUInt64::create(raw ? Core::parse_uint64_auto(text) : 0);
        case DataType::MONEY: return ValueMoney::create(raw ? Core::parse_double(text) : 0.0);
        case DataType::FLOAT: return ValueFloat::create(raw ? Core::parse_float(text) : 0.0f);
        case DataType::DOUBLE: return ValueDouble::create(raw ? Core::parse_double(text) : 0.0);
        case DataType::DATE: return raw ? ValueDate::new_iso8601(text) : ValueDate::create();
        case DataType::TIME: return time_from_raw(raw);
        case DataType::DATETIME:
        case DataType::TIMESTAMP: return raw ? ValueDateTime::new_iso8601(text) : ValueDateTime::create();
        case DataType::TIMESPAN: return ValueTimeSpan::new_interval(0, raw ? Core::parse_int64_auto(text) : 0);
        case DataType::STRING: return ValueString::create(text);
        case DataType::UUID: return ValueUuid::new_uuid(text);
        case DataType::JSON: return ValueJson::create(text);
        case DataType::BINARY: return ValueBinary::create(bytes_of(text));
        case DataType::BLOB: return ValueBlob::create(bytes_of(text));
        case DataType::OBJECT: return ValueObject::create();
        default: return ValueXml::create(text);
    }
}

}  // namespace Ombrix::Providers::Contracts
