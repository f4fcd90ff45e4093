/// @file Objects with registered type names, notifying properties and per-object data slots.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <sigc++/signal.h>

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "providers/Core/value.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Core {

class Object;
class TypeInfo;
class ListModelBase;

/// Flags of a property, as GObject's parameter flags have them.
enum PropertyFlags : unsigned {
    Readable = 1u << 0,
    Writable = 1u << 1,
    Construct = 1u << 2,
    ConstructOnly = 1u << 3,
    /// The default JSON form leaves the member out while the value equals the declared default.
    OmitDefault = 1u << 4,
    ReadWrite = Readable | Writable,
};

/// One entry of a class's property table.
struct PropertySpec {
    std::string name;  ///< hyphenated, as the JSON member and the notification carry it
    ValueType kind = ValueType::Invalid;
    unsigned flags = ReadWrite;
    Value default_value;          ///< the declared default
    const TypeInfo* owner = nullptr;
    /// C++ identity of the value type (for objects the pointee class, for lists the list type).
    std::type_index value_class = typeid(void);
    /// For object and object-list properties: the registered type of the object or of the elements.
    const TypeInfo* (*element_type)() = nullptr;
    /// For object-list properties: makes a new empty list of the element type.
    std::shared_ptr<ListModelBase> (*new_list)() = nullptr;
    std::function<Value(const Object&)> getter;
    std::function<void(Object&, const Value&)> setter;
    /// For string-map properties whose getter hands out the object's own map: that map, so that a
    /// generic copy can fill a read-only one.
    std::function<StringMap*(Object&)> map_of;

    bool readable() const { return (flags & Readable) != 0; }
    bool writable() const { return (flags & Writable) != 0 && setter != nullptr; }
    bool construct() const { return (flags & (Construct | ConstructOnly)) != 0; }
    bool construct_only() const { return (flags & ConstructOnly) != 0; }
};

/// Maps a C++ property type to its value tag and back.
template <class T, class Enable = void>
struct ValueTraits;

template <>
struct ValueTraits<bool> {
    static constexpr ValueType kind = ValueType::Boolean;
    static Value to(bool v) { return Value::from_boolean(v); }
    static bool from(const Value& v) { return v.get_boolean(); }
};
template <>
struct ValueTraits<std::int8_t> {
    static constexpr ValueType kind = ValueType::Char;
    static Value to(std::int8_t v) { return Value::from_char(v); }
    static std::int8_t from(const Value& v) { return v.get_char(); }
};
template <>
struct ValueTraits<std::uint8_t> {
    static constexpr ValueType kind = ValueType::UChar;
    static Value to(std::uint8_t v) { return Value::from_uchar(v); }
    static std::uint8_t from(const Value& v) { return v.get_uchar(); }
};
template <>
struct ValueTraits<std::int16_t> {
    static constexpr ValueType kind = ValueType::Int;
    static Value to(std::int16_t v) { return Value::from_int(v); }
    static std::int16_t from(const Value& v) { return static_cast<std::int16_t>(v.get_int64()); }
};
template <>
struct ValueTraits<std::uint16_t> {
    static constexpr ValueType kind = ValueType::UInt;
    static Value to(std::uint16_t v) { return Value::from_uint(v); }
    static std::uint16_t from(const Value& v) { return static_cast<std::uint16_t>(v.get_uint64()); }
};
template <>
struct ValueTraits<std::int32_t> {
    static constexpr ValueType kind = ValueType::Int;
    static Value to(std::int32_t v) { return Value::from_int(v); }
    static std::int32_t from(const Value& v) { return v.get_int(); }
};
template <>
struct ValueTraits<std::uint32_t> {
    static constexpr ValueType kind = ValueType::UInt;
    static Value to(std::uint32_t v) { return Value::from_uint(v); }
    static std::uint32_t from(const Value& v) { return v.get_uint(); }
};
template <>
struct ValueTraits<std::int64_t> {
    static constexpr ValueType kind = ValueType::Int64;
    static Value to(std::int64_t v) { return Value::from_int64(v); }
    static std::int64_t from(const Value& v) { return v.get_int64(); }
};
template <>
struct ValueTraits<std::uint64_t> {
    static constexpr ValueType kind = ValueType::UInt64;
    static Value to(std::uint64_t v) { return Value::from_uint64(v); }
    static std::uint64_t from(const Value& v) { return v.get_uint64(); }
};
template <>
struct ValueTraits<float> {
    static constexpr ValueType kind = ValueType::Float;
    static Value to(float v) { return Value::from_float(v); }
    static float from(const Value& v) { return v.get_float(); }
};
template <>
struct ValueTraits<double> {
    static constexpr ValueType kind = ValueType::Double;
    static Value to(double v) { return Value::from_double(v); }
    static double from(const Value& v) { return v.get_double(); }
};
template <>
struct ValueTraits<std::string> {
    static constexpr ValueType kind = ValueType::String;
    static Value to(std::string v) { return Value::from_string(std::move(v)); }
    static std::string from(const Value& v) { return v.get_string(); }
};
template <>
struct ValueTraits<StringList> {
    static constexpr ValueType kind = ValueType::Strv;
    static Value to(StringList v) { return Value::from_strv(std::move(v)); }
    static StringList from(const Value& v) { return v.get_strv(); }
};
template <>
struct ValueTraits<StringMap> {
    static constexpr ValueType kind = ValueType::StringMap;
    static Value to(StringMap v) { return Value::from_string_map(std::move(v)); }
    static StringMap from(const Value& v) { return v.get_string_map(); }
};
template <>
struct ValueTraits<Bytes> {
    static constexpr ValueType kind = ValueType::Bytes;
    static Value to(Bytes v) { return Value::from_bytes(std::move(v)); }
    static Bytes from(const Value& v) { return v.get_bytes(); }
};
template <>
struct ValueTraits<DateTime> {
    static constexpr ValueType kind = ValueType::DateTime;
    static Value to(DateTime v) { return Value::from_datetime(std::move(v)); }
    static DateTime from(const Value& v) { return v.get_datetime(); }
};
template <>
struct ValueTraits<Date> {
    static constexpr ValueType kind = ValueType::Date;
    static Value to(Date v) { return Value::from_date(v); }
    static Date from(const Value& v) { return v.get_date(); }
};
/// Enumerations and flag sets are stored as their number.
template <class E>
struct ValueTraits<E, std::enable_if_t<std::is_enum_v<E>>> {
    static constexpr ValueType kind = ValueType::Enum;
    static Value to(E v) { return Value::from_enum(static_cast<std::int64_t>(v)); }
    static E from(const Value& v) { return static_cast<E>(v.get_int64()); }
};
/// Objects and lists of objects are held by shared pointer.
template <class T>
struct ValueTraits<std::shared_ptr<T>, std::enable_if_t<std::is_base_of_v<Object, T>>> {
    static constexpr ValueType kind = std::is_base_of_v<ListModelBase, T> ? ValueType::ObjectList : ValueType::Object;
    static Value to(std::shared_ptr<T> v) {
        if constexpr (std::is_base_of_v<ListModelBase, T>)
            return Value::from_object_list(std::static_pointer_cast<Object>(std::move(v)));
        else
            return Value::from_object(std::static_pointer_cast<Object>(std::move(v)));
    }
    static std::shared_ptr<T> from(const Value& v) { return v.get_object<T>(); }
};

/// Makes objects whose constructors are private in one allocation with their reference count.
/// A class lets it in with OMBRIX_OBJECT_FACTORY_ACCESS.
template <class T>
class ObjectAllocator {
public:
    using value_type = T;
    ObjectAllocator() = default;
    template <class U>
    ObjectAllocator(const ObjectAllocator<U>&) noexcept {}
    template <class U>
    struct rebind {
        using other = ObjectAllocator<U>;
    };
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    void destroy(U* p) {
        p->~U();
    }
    template <class U>
    bool operator==(const ObjectAllocator<U>&) const noexcept {
        return true;
    }
};

namespace detail {
/// The number an integer or floating tag holds; nothing for any other tag.
OMBRIX_PROVIDERS_EXPORT std::optional<long double> numeric_reading(const Value& value);
/// `number` as a value of the integer or floating `kind`.
OMBRIX_PROVIDERS_EXPORT Value numeric_value(ValueType kind, long double number);
/// Warns that `value` is out of range for the property `name` of `object`.
OMBRIX_PROVIDERS_EXPORT void warn_refused_value(const Object& object, const std::string& name, const Value& value);
}  // namespace detail

/// `std::make_shared` for classes with private constructors (see ObjectAllocator).
template <class T, class... Args>
std::shared_ptr<T> make_object(Args&&... args) {
    return std::allocate_shared<T>(ObjectAllocator<T>(), std::forward<Args>(args)...);
}

template <class T>
concept HasStaticType = requires { { T::static_type() } -> std::same_as<const TypeInfo&>; };

/// A registered class: its name, parent, properties and factory.
class OMBRIX_PROVIDERS_EXPORT TypeInfo {
public:
    template <class T>
    class Builder;

    /// Starts the definition of `T`, child of `Parent` (Object for a root class).
    template <class T, class Parent>
    static Builder<T> define(std::string name);

    const std::string& name() const noexcept { return m_name; }
    const TypeInfo* parent() const noexcept { return m_parent; }
    std::type_index cpp_type() const noexcept { return m_cpp_type; }
    bool is_a(const TypeInfo& other) const noexcept;
    /// True when the class cannot be made by name (an abstract class or one without a default factory).
    bool is_abstract() const noexcept { return !m_factory; }

    /// Every property, the parents' first, each class's own in declaration order.
    const std::vector<const PropertySpec*>& properties() const noexcept { return m_all; }
    const PropertySpec* find_property(std::string_view name) const noexcept;

    /// A new object of this class with its defaults; null for an abstract class.
    std::shared_ptr<Object> create() const;
    /// A new object with the given construct properties set before anything else sees it.
    std::shared_ptr<Object> create(const std::vector<std::pair<std::string, Value>>& properties) const;

    /// The registered class of that name, or null.
    static const TypeInfo* lookup(std::string_view name);
    /// The registered class of that C++ type, or null.
    static const TypeInfo* lookup(std::type_index type);

private:
    TypeInfo(std::string name, const TypeInfo* parent, std::type_index cpp_type);
    static void register_type(TypeInfo* info);

    std::string m_name;
    const TypeInfo* m_parent = nullptr;
    std::type_index m_cpp_type;
    std::vector<std::unique_ptr<PropertySpec>> m_own;
    std::vector<const PropertySpec*> m_all;
    std::function<std::shared_ptr<Object>()> m_factory;
};

/// Base of every class with properties.
class OMBRIX_PROVIDERS_EXPORT Object : public std::enable_shared_from_this<Object> {
public:
    using NotifySignal = sigc::signal<void(std::string_view)>;

    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    /// "GObject": the root of every registered class.
    static const TypeInfo& static_type();
    /// The registered class of this object's run-time type.
    virtual const TypeInfo& type_info() const { return static_type(); }
    const std::string& type_name() const { return type_info().name(); }
    bool is_a(const TypeInfo& type) const { return type_info().is_a(type); }

    /// Reads a property; an unknown name writes a GLib warning and gives an invalid value.
    Value get_property(std::string_view name) const;
    /// Writes a property through its setter; false (with a warning) when it is unknown or not writable.
    bool set_property(std::string_view name, const Value& value);

    /// Emitted with the property name after a property really changed. Handlers run on the thread
    /// that changed the property.
    NotifySignal& signal_notify();
    /// Connects and disconnects a `notify` handler under the lock that every emission of this object
    /// holds. The signal itself is not thread-safe: for an object that notifies from a worker thread
    /// (a connection's `status` and `version` during an asynchronous open), handlers connected or
    /// disconnected while such work may run go through these two. A handler may use them on the
    /// emitting thread too (the lock is recursive).
    sigc::connection connect_notify(NotifySignal::slot_type handler);
    void disconnect_notify(sigc::connection& connection);
    /// Emits `notify` for `property_name` (nothing to do while nobody listens).
    void notify(std::string_view property_name) {
        if (m_extras) emit_notify(property_name);
    }

    /// Attaches a value under `key`; an invalid value removes the slot.
    void set_data(std::string_view key, Value value);
    /// The value under `key`, or null.
    const Value* get_data(std::string_view key) const;
    bool has_data(std::string_view key) const { return get_data(key) != nullptr; }

    /// The JSON member for one property; nullopt leaves the member out. The default maps by kind.
    virtual std::optional<nlohmann::ordered_json> serialize_property(const PropertySpec& property) const;
    /// Applies one JSON member to a property; false when it was not applied. The default maps by kind.
    virtual bool deserialize_property(const PropertySpec& property, const nlohmann::ordered_json& node);

    template <class T>
    std::shared_ptr<T> shared_as() {
        return std::static_pointer_cast<T>(shared_from_this());
    }
    template <class T>
    std::shared_ptr<const T> shared_as() const {
        return std::static_pointer_cast<const T>(shared_from_this());
    }

protected:
    Object();

    /// Stores `value` into `field` and notifies `name` only when it differs.
    template <class F, class V>
    bool set_and_notify(F& field, V&& value, std::string_view name) {
        if (field == value) return false;
        field = std::forward<V>(value);
        notify(name);
        return true;
    }

    /// Called once, when the object first gets a listener or a data slot.
    virtual void extras_attached() {}

private:
    /// What most objects never use (listeners, data slots) lives behind one pointer, made on first
    /// use: result models hold millions of values, and each should stay small.
    struct Extras;
    void emit_notify(std::string_view property_name);

    std::unique_ptr<Extras> m_extras;
};

/// Builds a TypeInfo; `build()` registers it and returns the registered, immortal record.
template <class T>
class TypeInfo::Builder {
public:
    Builder(std::string name, const TypeInfo* parent) : m_info(new TypeInfo(std::move(name), parent, typeid(T))) {
        if constexpr (requires { { T::create() } -> std::convertible_to<std::shared_ptr<T>>; }) {
            if constexpr (!std::is_abstract_v<T>) m_info->m_factory = [] { return std::shared_ptr<Object>(T::create()); };
        }
    }
    Builder(Builder&&) = default;
    ~Builder() = default;

    /// Declares a property read by `getter` and written by `setter` (nullptr for read-only).
    /// `V` is the property's value type; by default the decayed return type of the getter.
    template <class V = void, class G, class S, class D>
    Builder& property(std::string name, G getter, S setter, D default_value, unsigned flags = ReadWrite) {
        using R = std::remove_cvref_t<std::invoke_result_t<G, const T&>>;
        using P = std::conditional_t<std::is_void_v<V>, R, V>;
        using Traits = ValueTraits<P>;
        auto entry = std::make_unique<PropertySpec>();
        entry->name = std::move(name);
        entry->kind = Traits::kind;
        entry->flags = flags;
        entry->default_value = Traits::to(static_cast<P>(default_value));
        entry->owner = m_info.get();
        entry->value_class = typeid(P);
        entry->getter = [getter](const Object& o) { return Traits::to(static_cast<P>(std::invoke(getter, static_cast<const T&>(o)))); };
        if constexpr (!std::is_null_pointer_v<S>) {
            entry->setter = [setter](Object& o, const Value& v) { std::invoke(setter, static_cast<T&>(o), Traits::from(v)); };
        } else {
            entry->flags &= ~static_cast<unsigned>(Writable);
        }
        if constexpr (std::is_same_v<P, StringMap> && std::is_lvalue_reference_v<std::invoke_result_t<G, const T&>>) {
            // The member is the object's own (the getter's constness is the interface's, not the map's).
            entry->map_of = [getter](Object& o) {
                return const_cast<StringMap*>(&std::invoke(getter, static_cast<const T&>(o)));
            };
        }
        if constexpr (requires { typename P::element_type; }) {
            using E = typename P::element_type;
            entry->value_class = typeid(E);
            if constexpr (requires { typename E::item_class; }) {
                using I = typename E::item_class;
                if constexpr (HasStaticType<I>) entry->element_type = [] { return &I::static_type(); };
                entry->new_list = [] { return std::static_pointer_cast<ListModelBase>(E::create()); };
            } else if constexpr (HasStaticType<E>) {
                entry->element_type = [] { return &E::static_type(); };
            }
        }
        m_info->m_own.push_back(std::move(entry));
        return *this;
    }

    /// Limits the last declared property, a number, to [minimum, maximum]. A value outside that
    /// range, a NaN or a value that is no number is refused with a warning and leaves the property
    /// as it was; a value inside is handed on in the property's own kind, so any integer or
    /// floating tag may set it (an unsigned 5 sets a signed property to 5).
    Builder& range(long double minimum, long double maximum) {
        PropertySpec& entry = *m_info->m_own.back();
        entry.setter = [inner = std::move(entry.setter), kind = entry.kind, name = entry.name, minimum,
                        maximum](Object& o, const Value& v) {
            const auto number = detail::numeric_reading(v);
            if (!number || !(minimum <= *number && *number <= maximum)) {
                detail::warn_refused_value(o, name, v);
                return;
            }
            inner(o, detail::numeric_value(kind, *number));
        };
        return *this;
    }

    /// Replaces the factory used to make the class by name (for classes without a plain `create()`).
    Builder& factory(std::function<std::shared_ptr<Object>()> make) {
        m_info->m_factory = std::move(make);
        return *this;
    }
    /// Marks the class as not makeable by name.
    Builder& abstract() {
        m_info->m_factory = nullptr;
        return *this;
    }

    const TypeInfo& build() {
        TypeInfo* info = m_info.release();
        register_type(info);
        return *info;
    }

private:
    std::unique_ptr<TypeInfo> m_info;
};

template <class T, class Parent>
TypeInfo::Builder<T> TypeInfo::define(std::string name) {
    static_assert(std::is_base_of_v<Object, T>);
    if constexpr (std::is_same_v<T, Parent>)
        return Builder<T>(std::move(name), nullptr);
    else
        return Builder<T>(std::move(name), &Parent::static_type());
}

/// A property name written as the C++ identifier of its accessors: `raw_type` names "raw-type".
template <std::size_t N>
struct PropertyName {
    char text[N]{};
    consteval explicit PropertyName(const char (&identifier)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = identifier[i] == '_' ? '-' : identifier[i];
    }
    constexpr operator std::string_view() const noexcept { return {text, N - 1}; }
};

/// How a declared property's accessors pass its type: numbers, flags, enumerations and pointers by
/// value; texts in as views and out by reference; other classes in by value and out by reference.
template <class T>
struct PropertyPassing {
    using in = T;
    using out = std::conditional_t<std::is_scalar_v<T>, T, const T&>;
};
template <>
struct PropertyPassing<std::string> {
    using in = std::string_view;
    using out = const std::string&;
};

/// The declaration slot of a property: the line it is declared on in its class.
template <int Line>
struct PropertyLine {};

namespace detail {
/// How many lines after OMBRIX_OBJECT a class may declare properties on.
inline constexpr int property_window = 500;

template <class T, int Line>
void declare_at(TypeInfo::Builder<T>& builder) {
    if constexpr (requires { T::ombrix_declare(PropertyLine<Line>{}, builder); })
        T::ombrix_declare(PropertyLine<Line>{}, builder);
}
}  // namespace detail

/// Registers `T` under `name` as a child of its OMBRIX_OBJECT parent: every property declared in
/// its body in the order of the lines they are declared on, then the `steps` (factory, abstract).
template <class T, class... Steps>
const TypeInfo& define_class(std::string name, Steps&&... steps) {
    using Parent = typename T::ombrix_parent;
    auto builder = TypeInfo::define<T, Parent>(std::move(name));
    [&]<int... I>(std::integer_sequence<int, I...>) {
        (detail::declare_at<T, T::ombrix_first_line + 1 + I>(builder), ...);
    }(std::make_integer_sequence<int, detail::property_window>{});
    (std::forward<Steps>(steps)(builder), ...);
    return builder.build();
}

}  // namespace Ombrix::Core

/// Lets Core::make_object reach a class's private constructors.
#define OMBRIX_OBJECT_FACTORY_ACCESS \
    template <class>                 \
    friend class ::Ombrix::Core::ObjectAllocator

/// Registers a class's type at library load, so it can be made by name before first use.
#define OMBRIX_REGISTER_TYPE(Class) \
    [[maybe_unused]] static const ::Ombrix::Core::TypeInfo& ombrix_registered_type_##Class = Class::static_type()


/// Opens the body of a class with properties: its type record (defined in the source file by
/// OMBRIX_DEFINE_TYPE), the run-time type, and make_object's access to private constructors.
/// Leaves the section public.
#define OMBRIX_OBJECT(Class, Parent)                                                           \
public:                                                                                        \
    using ombrix_self = Class;                                                                 \
    using ombrix_parent = Parent;                                                              \
    static constexpr int ombrix_first_line = __LINE__;                                         \
    static const ::Ombrix::Core::TypeInfo& static_type();                                      \
    const ::Ombrix::Core::TypeInfo& type_info() const override { return static_type(); }      \
                                                                                               \
private:                                                                                       \
    OMBRIX_OBJECT_FACTORY_ACCESS;                                                              \
                                                                                               \
public:                                                                                        \
    static_assert(true)

/// OMBRIX_OBJECT plus `create()`, a new object with the defaults.
#define OMBRIX_CREATABLE_OBJECT(Class, Parent)                                                   \
    OMBRIX_OBJECT(Class, Parent);                                                              \
    static std::shared_ptr<Class> create() { return ::Ombrix::Core::make_object<Class>(); }    \
    static_assert(true)

/// Defines the type record of a class opened with OMBRIX_OBJECT, registered under `name` when the
/// library loads. Further arguments are steps applied to the builder after the properties.
#define OMBRIX_DEFINE_TYPE(Class, name, ...)                                                      \
    const ::Ombrix::Core::TypeInfo& Class::static_type() {                                        \
        static const ::Ombrix::Core::TypeInfo& info =                                             \
            ::Ombrix::Core::define_class<Class>(name __VA_OPT__(, ) __VA_ARGS__);                 \
        return info;                                                                              \
    }                                                                                             \
    OMBRIX_REGISTER_TYPE(Class)

/// The registration of a property named `id` with '-' for '_', read by `getter` and written by
/// `setter` (nullptr for read-only): member functions, or callables taking the object. It is a
/// template so that only the class's own source, which registers the type, compiles its body.
#define OMBRIX_PROPERTY_WITH(Type, id, def, flags, getter, setter)                                      \
    static constexpr ::Ombrix::Core::PropertyName<sizeof(#id)> ombrix_name_##id{#id};                 \
    static_assert(__LINE__ - ombrix_first_line <= ::Ombrix::Core::detail::property_window,             \
                  "property declared too far from OMBRIX_OBJECT");                                      \
    template <class OmbrixBuilder>                                                                      \
    static void ombrix_declare(::Ombrix::Core::PropertyLine<__LINE__>, OmbrixBuilder& builder) {        \
        builder.template property<Type>(std::string(std::string_view(ombrix_name_##id)), getter, setter, \
                                        def, flags);                                                    \
    }                                                                                                   \
    static_assert(true)
#define OMBRIX_PROPERTY_ENTRY(Type, id, def, flags, setter) \
    OMBRIX_PROPERTY_WITH(Type, id, def, flags, &ombrix_self::get_##id, setter)

/// A property stored in `m_<id>` with the default `def`: `get_<id>()`, and `set_<id>()`, which
/// stores and notifies only when the value changes.
#define OMBRIX_PROPERTY_FLAGS(Type, id, def, flags)                                                   \
    OMBRIX_PROPERTY_ENTRY(Type, id, def, flags, &ombrix_self::set_##id);                              \
    typename ::Ombrix::Core::PropertyPassing<Type>::out get_##id() const { return m_##id; }           \
    void set_##id(typename ::Ombrix::Core::PropertyPassing<Type>::in value) {                         \
        this->set_and_notify(m_##id, std::move(value), ombrix_name_##id);                             \
    }                                                                                                 \
                                                                                                      \
private:                                                                                              \
    Type m_##id = def;                                                                                \
                                                                                                      \
public:                                                                                               \
    static_assert(true)
#define OMBRIX_PROPERTY(Type, id, def) OMBRIX_PROPERTY_FLAGS(Type, id, def, ::Ombrix::Core::ReadWrite)

/// A property stored in `m_<id>` whose setter has a body of its own: `set_<id>()` is declared here
/// and written by the class (notifying `ombrix_name_<id>`).
#define OMBRIX_PROPERTY_SETTER_FLAGS(Type, id, def, flags)                                            \
    OMBRIX_PROPERTY_ENTRY(Type, id, def, flags, &ombrix_self::set_##id);                              \
    typename ::Ombrix::Core::PropertyPassing<Type>::out get_##id() const { return m_##id; }           \
    void set_##id(typename ::Ombrix::Core::PropertyPassing<Type>::in value);                          \
                                                                                                      \
private:                                                                                              \
    Type m_##id = def;                                                                                \
                                                                                                      \
public:                                                                                               \
    static_assert(true)
#define OMBRIX_PROPERTY_SETTER(Type, id, def) \
    OMBRIX_PROPERTY_SETTER_FLAGS(Type, id, def, ::Ombrix::Core::ReadWrite)

/// A property over accessors the class writes itself (`get_<id>`, and `set_<id>` unless read-only):
/// the declaration fixes only its place, name, type, default and flags.
#define OMBRIX_PROPERTY_VIA(Type, id, def, flags) OMBRIX_PROPERTY_ENTRY(Type, id, def, flags, &ombrix_self::set_##id)
#define OMBRIX_PROPERTY_READONLY(Type, id, def) \
    OMBRIX_PROPERTY_ENTRY(Type, id, def, ::Ombrix::Core::Readable, nullptr)
