/// @file The base of every meta object (names, comment, attributes, edit state, clone, reset, JSON form).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/data_type.hpp"
#include "providers/Core/error.hpp"
#include "providers/Core/json_node.hpp"
#include "providers/Core/list_model.hpp"
#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::MetaModel {

using Providers::Contracts::DataType;
using Providers::Contracts::DataVersion;
using Providers::Contracts::DBObject;

class MetaObject;

/// What every meta object offers: a copy of the same class, and emptying for a reload.
class OMBRIX_SOLVANE_EXPORT IMetaData {
public:
    virtual ~IMetaData() = default;
    /// A new object of the same run-time class with the same content.
    virtual std::shared_ptr<MetaObject> clone() const = 0;
    /// Empties the object so the adapter loads it again on next use.
    virtual void reset() = 0;
};

/// One database object in memory: the common names, comment, attributes and edit state.
class OMBRIX_SOLVANE_EXPORT MetaObject : public Core::Object, public IMetaData {
public:
    /// The data slot the adapter sets to 1 once it has loaded the object's details.
    static constexpr std::string_view FILLED = "FILLED";
    /// The data slot that asks the adapter, on a schema, for its outline: the catalogue's rows
    /// without each table's CREATE text, which alone tells partitioning, application-time periods,
    /// index methods given explicitly and the options an engine keeps of its own accord.
    static constexpr std::string_view OUTLINE = "OUTLINE";

    OMBRIX_CREATABLE_OBJECT(MetaObject, Core::Object);

    /// Construct properties first, then every writable property, then the attributes; subclasses
    /// that own lists replace the shared lists with deep copies afterwards.
    std::shared_ptr<MetaObject> clone() const override;
    /// Empties comment, original and attributes, sets `version` INITIAL and removes the "FILLED" mark;
    /// the names survive.
    void reset() override;
    /// The kind consumers dispatch on.
    virtual DBObject character() const { return DBObject::UNKNOWN; }

    /// Whether the adapter has loaded this object's details (the "FILLED" data slot is set).
    bool is_filled() const { return has_data(FILLED); }

    OMBRIX_PROPERTY(std::string, database, "");
    OMBRIX_PROPERTY(std::string, schema, "");
    OMBRIX_PROPERTY(std::string, name, "");
    OMBRIX_PROPERTY(std::string, comment, "");
    OMBRIX_PROPERTY(Core::StringMap, attributes, Core::StringMap{});
    OMBRIX_PROPERTY(std::string, original, "");
    OMBRIX_PROPERTY(DataVersion, version, DataVersion::INITIAL);
    /// Sets one attribute (notifies "attributes" when the map changed).
    void set_attribute(const std::string& key, std::string_view value);

protected:
    MetaObject() = default;

    /// Stores a text property and notifies `property` when it changed.
    void set_text(std::string& field, std::string_view value, std::string_view property);
    /// Sets `database`, `schema` and `name` (the `with_names` constructors).
    void set_names(std::string_view database, std::string_view schema, std::string_view name);
};

using MetaObjectList = Core::ListModel<MetaObject>;

/// A grouping node of an object tree (the folder of tables under a schema): its kind and its children.
class OMBRIX_SOLVANE_EXPORT MetaClassify final : public MetaObject {
public:
    /// `name` = label, no children.
    static std::shared_ptr<MetaClassify> create(DBObject character, std::string_view database, std::string_view schema,
                                                std::string_view label);
    /// As `create`, with `children` = `list_model` (required: "list_model != NULL", null otherwise).
    static std::shared_ptr<MetaClassify> with_model(DBObject character, std::string_view database,
                                                    std::string_view schema, std::string_view label,
                                                    std::shared_ptr<Core::ListModelBase> list_model);
    /// As `create`, with a new list of the given items in order (null items stay null).
    static std::shared_ptr<MetaClassify> with_array(DBObject character, std::string_view database,
                                                    std::string_view schema, std::string_view label,
                                                    const std::vector<std::shared_ptr<MetaObject>>& items);

    OMBRIX_CREATABLE_OBJECT(MetaClassify, MetaObject);

    /// The base clone plus the kind given at construction; the children model is shared, not copied.
    std::shared_ptr<MetaObject> clone() const override;
    /// The kind given at construction.
    DBObject character() const override { return m_character; }

    /// The children, or null.
    OMBRIX_PROPERTY(std::shared_ptr<Core::ListModelBase>, children, nullptr);

private:
    MetaClassify() = default;
    DBObject m_character = DBObject::UNKNOWN;
};

/// `object.clone()` as its own class.
template <class T>
std::shared_ptr<T> clone_as(const T& object) {
    return std::dynamic_pointer_cast<T>(object.clone());
}

/// A new list holding a clone of every element of `list`, in order (null elements stay null).
template <class T>
std::shared_ptr<Core::ListModel<T>> clone_list(const std::shared_ptr<Core::ListModel<T>>& list) {
    auto copy = Core::ListModel<T>::create();
    if (!list) return copy;
    std::vector<std::shared_ptr<T>> items;
    items.reserve(list->size());
    for (const auto& item : *list) items.push_back(item ? clone_as<T>(*item) : nullptr);
    copy->append_all(std::move(items));
    return copy;
}

/// The JSON object of a meta object with a leading "class" member naming its registered type (left out
/// for a class that has a property of that name, such as MetaIndex).
OMBRIX_SOLVANE_EXPORT Core::Json::Node to_node(const MetaObject& object);
/// `to_node` as pretty-printed text.
OMBRIX_SOLVANE_EXPORT std::string to_json(const MetaObject& object, int indent = 2);

/// A meta object read from a JSON object: of the meta type named by its "class" member or, when the
/// member names no registered type, of `expected`. Errors (domain "JSON"): not an object, no class to read it as, a
/// class that is not a meta class or not `expected` or one of its subclasses.
OMBRIX_SOLVANE_EXPORT Core::Result<std::shared_ptr<MetaObject>> from_node(const Core::Json::Node& node,
                                                                          const Core::TypeInfo* expected = nullptr);
/// `from_node` of a JSON text; parse errors are in domain "JSON".
OMBRIX_SOLVANE_EXPORT Core::Result<std::shared_ptr<MetaObject>> from_json(std::string_view text,
                                                                          const Core::TypeInfo* expected = nullptr);

/// `from_json` expecting `T` (a "class" member must name `T` or a subclass).
template <class T>
Core::Result<std::shared_ptr<T>> from_json_as(std::string_view text) {
    auto object = from_json(text, &T::static_type());
    OMBRIX_RETURN_IF_ERROR(object);
    return std::dynamic_pointer_cast<T>(*object);
}

}  // namespace Ombrix::Solvane::MetaModel
