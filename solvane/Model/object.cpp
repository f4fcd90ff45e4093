#include "solvane/Model/object.hpp"

#include <glib.h>

#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaObject

OMBRIX_DEFINE_TYPE(MetaObject, "OmbrixSolvaneMetaModelMetaObject");

std::shared_ptr<MetaObject> MetaObject::clone() const {
    const Core::TypeInfo& type = type_info();
    std::vector<std::pair<std::string, Core::Value>> construct;
    for (const Core::PropertySpec* property : type.properties())
        if (property->construct() && property->readable())
            construct.emplace_back(property->name, property->getter(*this));
    auto copy = std::dynamic_pointer_cast<MetaObject>(type.create(construct));
    if (!copy) {
        g_critical("%s: class '%s' cannot be copied", G_STRLOC, type.name().c_str());
        return nullptr;
    }
    // Lists are shared by this step; the classes that own lists replace them with deep copies.
    // String maps (attributes included) are values, so the copy already owns its entries.
    for (const Core::PropertySpec* property : type.properties())
        if (property->writable() && !property->construct_only()) property->setter(*copy, property->getter(*this));
    return copy;
}

void MetaObject::reset() {
    set_comment("");
    set_original("");
    set_attributes({});
    set_version(DataVersion::INITIAL);
    set_data(FILLED, Core::Value());
}

void MetaObject::set_text(std::string& field, std::string_view value, std::string_view property) {
    if (field == value) return;
    field.assign(value);
    notify(property);
}

void MetaObject::set_names(std::string_view database, std::string_view schema, std::string_view name) {
    set_database(database);
    set_schema(schema);
    set_name(name);
}

void MetaObject::set_attribute(const std::string& key, std::string_view value) {
    auto it = m_attributes.find(key);
    if (it != m_attributes.end() && it->second == value) return;
    m_attributes[key] = std::string(value);
    notify(ombrix_name_attributes);
}

// ---------------------------------------------------------------- MetaClassify

std::shared_ptr<MetaClassify> MetaClassify::create(DBObject character, std::string_view database,
                                                   std::string_view schema, std::string_view label) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(label, nullptr);
    auto classify = create();
    classify->m_character = character;
    classify->set_names(database, schema, label);
    return classify;
}

std::shared_ptr<MetaClassify> MetaClassify::with_model(DBObject character, std::string_view database,
                                                       std::string_view schema, std::string_view label,
                                                       std::shared_ptr<Core::ListModelBase> list_model) {
    OMBRIX_RETURN_VAL_IF_NULL(list_model, nullptr);
    auto classify = create(character, database, schema, label);
    if (!classify) return nullptr;
    classify->m_children = std::move(list_model);
    return classify;
}

std::shared_ptr<MetaClassify> MetaClassify::with_array(DBObject character, std::string_view database,
                                                       std::string_view schema, std::string_view label,
                                                       const std::vector<std::shared_ptr<MetaObject>>& items) {
    auto classify = create(character, database, schema, label);
    if (!classify) return nullptr;
    classify->m_children = MetaObjectList::create(items);
    return classify;
}

OMBRIX_DEFINE_TYPE(MetaClassify, "OmbrixSolvaneMetaModelMetaClassify");

std::shared_ptr<MetaObject> MetaClassify::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaClassify>(MetaObject::clone());
    if (copy) copy->m_character = m_character;
    return copy;
}

// ---------------------------------------------------------------- JSON conveniences

Core::Json::Node to_node(const MetaObject& object) {
    Core::Json::Node node = Core::Json::Node::object();
    if (!object.type_info().find_property("class")) node["class"] = object.type_name();
    Core::Json::Node properties = Core::Json::serialize(object);
    for (auto& [key, member] : properties.items()) node[key] = std::move(member);
    return node;
}

std::string to_json(const MetaObject& object, int indent) { return Core::Json::to_pretty(to_node(object), indent); }

Core::Result<std::shared_ptr<MetaObject>> from_node(const Core::Json::Node& node, const Core::TypeInfo* expected) {
    if (!node.is_object()) return Core::fail("JSON", 1, Core::tr("A meta object must be a JSON object"));
    const Core::TypeInfo* type = nullptr;
    auto member = node.find("class");
    if (member != node.end() && member->is_string()) type = Core::TypeInfo::lookup(member->get<std::string>());
    if (!type) type = expected;
    if (!type) return Core::fail("JSON", 1, Core::tr("The JSON object names no meta class in its \"class\" member"));
    if (!type->is_a(MetaObject::static_type()))
        return Core::fail("JSON", 1, Core::strprintf(Core::tr("%s is not a meta class"), type->name().c_str()));
    if (expected && !type->is_a(*expected))
        return Core::fail("JSON", 1,
                          Core::strprintf(Core::tr("%s was expected, the JSON object holds %s"),
                                          expected->name().c_str(), type->name().c_str()));
    auto object = std::dynamic_pointer_cast<MetaObject>(Core::Json::deserialize(node, *type));
    if (!object) return Core::fail("JSON", 1, Core::strprintf(Core::tr("%s cannot be made"), type->name().c_str()));
    return object;
}

Core::Result<std::shared_ptr<MetaObject>> from_json(std::string_view text, const Core::TypeInfo* expected) {
    auto node = Core::Json::parse(text);
    OMBRIX_RETURN_IF_ERROR(node);
    return from_node(*node, expected);
}

}  // namespace Ombrix::Solvane::MetaModel
