/// @file A dynamically typed value whose type tags carry the GLib type names.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "providers/Core/datetime.hpp"
#include "providers/Core/error.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core {

class Object;

/// A byte buffer: binary cells, file contents.
using Bytes = std::vector<std::uint8_t>;
/// A string-to-string map (attributes, option maps); ordered so its text forms are stable.
using StringMap = std::map<std::string, std::string>;
/// A list of strings (the string vector of the platform).
using StringList = std::vector<std::string>;

/// The type tag of a Value; each has the GLib type name `type_name()` gives.
enum class ValueType : std::uint8_t {
    Invalid,     ///< holds nothing
    Char,        ///< "gchar", signed 8-bit
    UChar,       ///< "guchar"
    Boolean,     ///< "gboolean"
    Int,         ///< "gint"
    UInt,        ///< "guint"
    Long,        ///< "glong"
    ULong,       ///< "gulong"
    Int64,       ///< "gint64"
    UInt64,      ///< "guint64"
    Enum,        ///< "GEnum" or the enumeration's own name
    Flags,       ///< "GFlags" or the flags type's own name
    Float,       ///< "gfloat"
    Double,      ///< "gdouble"
    String,      ///< "gchararray"
    Pointer,     ///< "gpointer"
    Strv,        ///< "GStrv"
    Bytes,       ///< "GBytes"
    Date,        ///< "GDate"
    DateTime,    ///< "GDateTime"
    Error,       ///< "GError"
    StringMap,   ///< "GHashTable" of strings
    Object,      ///< "GObject" or the object's registered type name
    ObjectList,  ///< "GListModel": a Core::ListModel of objects
};

/// The GLib name of a fundamental tag ("gint", "gchararray", "GDateTime", ...).
OMBRIX_PROVIDERS_EXPORT std::string_view value_type_name(ValueType type);

/// A tagged union of the platform's value types.
class OMBRIX_PROVIDERS_EXPORT Value {
public:
    Value() = default;

    static Value from_char(std::int8_t v) { return Value(ValueType::Char, std::int64_t{v}); }
    static Value from_uchar(std::uint8_t v) { return Value(ValueType::UChar, std::uint64_t{v}); }
    static Value from_boolean(bool v) { return Value(ValueType::Boolean, v); }
    static Value from_int(std::int32_t v) { return Value(ValueType::Int, std::int64_t{v}); }
    static Value from_uint(std::uint32_t v) { return Value(ValueType::UInt, std::uint64_t{v}); }
    static Value from_long(long v) { return Value(ValueType::Long, std::int64_t{v}); }
    static Value from_ulong(unsigned long v) { return Value(ValueType::ULong, std::uint64_t{v}); }
    static Value from_int64(std::int64_t v) { return Value(ValueType::Int64, v); }
    static Value from_uint64(std::uint64_t v) { return Value(ValueType::UInt64, v); }
    static Value from_enum(std::int64_t v, std::string_view type_name = {});
    static Value from_flags(std::uint64_t v, std::string_view type_name = {});
    static Value from_float(float v) { return Value(ValueType::Float, double{v}); }
    static Value from_double(double v) { return Value(ValueType::Double, v); }
    static Value from_string(std::string v) { return Value(ValueType::String, std::move(v)); }
    static Value from_pointer(void* v) { return Value(ValueType::Pointer, v); }
    static Value from_strv(StringList v) { return Value(ValueType::Strv, std::move(v)); }
    static Value from_bytes(Bytes v) { return Value(ValueType::Bytes, std::move(v)); }
    static Value from_date(Date v) { return Value(ValueType::Date, v); }
    static Value from_datetime(DateTime v) { return Value(ValueType::DateTime, std::move(v)); }
    static Value from_error(Error v) { return Value(ValueType::Error, std::move(v)); }
    static Value from_string_map(StringMap v) { return Value(ValueType::StringMap, std::move(v)); }
    static Value from_object(std::shared_ptr<Object> v);
    static Value from_object_list(std::shared_ptr<Object> list);

    ValueType type() const noexcept { return m_type; }
    bool is_valid() const noexcept { return m_type != ValueType::Invalid; }
    /// The GLib type name: "gint", "gchararray", an enumeration's or object's registered name.
    std::string type_name() const;

    bool get_boolean() const;
    /// Any signed integer tag (char, int, long, int64, enum) widened to 64 bits; 0 otherwise.
    std::int64_t get_int64() const;
    /// Any unsigned integer tag (uchar, uint, ulong, uint64, flags) widened to 64 bits; 0 otherwise.
    std::uint64_t get_uint64() const;
    std::int8_t get_char() const { return static_cast<std::int8_t>(get_int64()); }
    std::uint8_t get_uchar() const { return static_cast<std::uint8_t>(get_uint64()); }
    std::int32_t get_int() const { return static_cast<std::int32_t>(get_int64()); }
    std::uint32_t get_uint() const { return static_cast<std::uint32_t>(get_uint64()); }
    double get_double() const;
    float get_float() const { return static_cast<float>(get_double()); }
    /// The string of a String tag; "" for every other tag.
    const std::string& get_string() const;
    void* get_pointer() const;
    const StringList& get_strv() const;
    const Bytes& get_bytes() const;
    Date get_date() const;
    const DateTime& get_datetime() const;
    const Error& get_error() const;
    const StringMap& get_string_map() const;
    const std::shared_ptr<Object>& get_object() const;
    template <class T>
    std::shared_ptr<T> get_object() const {
        return std::dynamic_pointer_cast<T>(get_object());
    }

    /// Any number tag read as signed/unsigned/double, for loose conversions (JSON, the container).
    bool is_number() const noexcept;

    /// Same tag and same content; objects compare by identity.
    bool operator==(const Value& other) const;

private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, void*,
                                 StringList, Bytes, Date, DateTime, Error, StringMap, std::shared_ptr<Object>>;

    template <class T>
    Value(ValueType type, T&& v) : m_type(type), m_data(std::forward<T>(v)) {}

    ValueType m_type = ValueType::Invalid;
    Storage m_data;
    std::string_view m_name;  // a registered type's name for enum, flags and object tags
};

}  // namespace Ombrix::Core
