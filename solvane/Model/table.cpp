#include "solvane/Model/table.hpp"
#include "providers/Core/json.hpp"

#include <glib.h>

#include <algorithm>

namespace Ombrix::Solvane::MetaModel {

namespace {

template <class List>
std::shared_ptr<List> or_empty(std::shared_ptr<List> list) {
    return list ? std::move(list) : List::create();
}

// The constraint class `kind` selects, or null for a kind that is no constraint class.
const Core::TypeInfo* constraint_class(DBObject kind) {
    switch (kind) {
        case DBObject::FOREIGN: return &MetaForeignKey::static_type();
        case DBObject::UNIQUE: return &MetaUnique::static_type();
        case DBObject::CHECK: return &MetaCheck::static_type();
        case DBObject::EXCLUDE: return &MetaExclude::static_type();
        default: return nullptr;
    }
}

}  // namespace

MetaTable::MetaTable()
    : m_constraints(MetaConstraintList::create()),
      m_columns(MetaColumnList::create()),
      m_indexes(MetaIndexList::create()),
      m_rules(MetaRuleList::create()),
      m_triggers(MetaTriggerList::create()) {}

std::shared_ptr<MetaTable> MetaTable::with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(database, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(schema, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    auto table = create();
    table->set_names(database, schema, name);
    return table;
}

OMBRIX_DEFINE_TYPE(MetaTable, "OmbrixSolvaneMetaModelMetaTable");

std::shared_ptr<MetaObject> MetaTable::clone() const {
    auto copy = std::dynamic_pointer_cast<MetaTable>(MetaObject::clone());
    if (!copy) return nullptr;
    // The base step left the copy pointing at this table's lists; it gets lists of its own.
    copy->set_constraints(clone_list(m_constraints));
    copy->set_columns(clone_list(m_columns));
    copy->set_indexes(clone_list(m_indexes));
    copy->set_rules(clone_list(m_rules));
    copy->set_triggers(clone_list(m_triggers));
    return copy;  // the options map is a value: the base step already gave the copy its own
}

void MetaTable::reset() {
    m_columns->clear();
    m_indexes->clear();
    m_triggers->clear();
    m_constraints->clear();
    set_options({});
    m_rules->clear();
    MetaObject::reset();
}

std::optional<Core::Json::Node> MetaTable::serialize_property(const Core::PropertySpec& property) const {
    if (property.name != "constraints") return MetaObject::serialize_property(property);
    Core::Json::Node array = Core::Json::Node::array();
    for (const auto& constraint : *m_constraints)
        array.push_back(constraint ? to_node(*constraint) : Core::Json::Node());
    return array;
}

bool MetaTable::deserialize_property(const Core::PropertySpec& property, const Core::Json::Node& node) {
    if (property.name != "constraints") return MetaObject::deserialize_property(property, node);
    if (!node.is_array()) return false;
    auto list = MetaConstraintList::create();
    const Core::TypeInfo& base = MetaConstraint::static_type();
    for (const auto& element : node) {
        const Core::TypeInfo* type = nullptr;
        std::string class_name;
        if (element.is_object()) {
            auto member = element.find("class");
            if (member != element.end() && member->is_string()) {
                class_name = member->get<std::string>();
                type = Core::TypeInfo::lookup(class_name);
            }
        }
        // Only the constraint family may come back from a stored table: a "class" naming any other
        // registered type would put a foreign object into the list.
        if (!type || !type->is_a(base) || type->is_abstract()) {
            g_warning("%s: table '%s': skipping a constraint element of class '%s'", G_STRLOC, get_name().c_str(),
                      class_name.c_str());
            continue;
        }
        if (auto constraint = std::dynamic_pointer_cast<MetaConstraint>(Core::Json::deserialize(element, *type)))
            list->append(std::move(constraint));
    }
    set_constraints(std::move(list));
    return true;
}

std::shared_ptr<MetaColumn> MetaTable::get_column(std::string_view name) const {
    for (const auto& column : *m_columns)
        if (column && column->get_name() == name) return column;
    return nullptr;
}

namespace {

/// The column a key part names: "name", "name(10)" or "name DESC" (a prefix still identifies the
/// row by the whole value); null for anything else (an expression, a period).
std::shared_ptr<MetaColumn> key_column(const MetaTable& table, std::string part) {
    if (auto column = table.get_column(part)) return column;
    if (part.size() > 5 && part.compare(part.size() - 5, 5, " DESC") == 0) part.resize(part.size() - 5);
    if (!part.empty() && part.back() == ')') {
        if (const auto open = part.rfind('('); open != std::string::npos) part.resize(open);
    }
    return table.get_column(part);
}

}  // namespace

std::vector<std::string> MetaTable::row_key() const {
    std::vector<std::shared_ptr<MetaColumn>> primary;
    for (const auto& column : *m_columns)
        if (column && column->get_is_primary_key()) primary.push_back(column);
    std::stable_sort(primary.begin(), primary.end(),
                     [](const auto& a, const auto& b) { return a->get_primary_ordinal() < b->get_primary_ordinal(); });
    std::vector<std::string> names;
    for (const auto& column : primary) names.push_back(column->get_name());
    if (!names.empty()) return names;
    for (const auto& index : *m_indexes) {
        if (!index || index->get_kind() != "UNIQUE" || index->get_columns().empty()) continue;
        names.clear();
        for (const auto& part : index->get_columns()) {
            const auto column = key_column(*this, part);
            if (!column || !column->get_not_null()) {
                names.clear();
                break;
            }
            names.push_back(column->get_name());
        }
        if (!names.empty()) return names;
    }
    return {};
}

std::shared_ptr<MetaColumn> MetaTable::new_column(std::string_view name, DataType data_type) {
    auto column = MetaColumn::with_type(name, data_type, "");
    if (!column) return nullptr;  // a missing name: the critical is written, the list stays as it was
    m_columns->append(column);
    return column;
}

void MetaTable::remove_constraints(DBObject kind) {
    const Core::TypeInfo* type = constraint_class(kind);
    if (!type) return;
    // From the end, so the positions still to visit do not move.
    for (std::size_t i = m_constraints->size(); i-- > 0;) {
        const auto& constraint = (*m_constraints)[i];
        if (constraint && constraint->is_a(*type)) m_constraints->remove_at(i);
    }
}

void MetaTable::reset_partial(DBObject kind) {
    if (kind == DBObject::COLUMN)
        m_columns->clear();
    else
        remove_constraints(kind);
}

void MetaTable::set_constraints(std::shared_ptr<MetaConstraintList> value) {
    set_and_notify(m_constraints, or_empty(std::move(value)), ombrix_name_constraints);
}
void MetaTable::set_columns(std::shared_ptr<MetaColumnList> value) {
    set_and_notify(m_columns, or_empty(std::move(value)), ombrix_name_columns);
}
void MetaTable::set_indexes(std::shared_ptr<MetaIndexList> value) {
    set_and_notify(m_indexes, or_empty(std::move(value)), ombrix_name_indexes);
}
void MetaTable::set_rules(std::shared_ptr<MetaRuleList> value) {
    set_and_notify(m_rules, or_empty(std::move(value)), ombrix_name_rules);
}
void MetaTable::set_triggers(std::shared_ptr<MetaTriggerList> value) {
    set_and_notify(m_triggers, or_empty(std::move(value)), ombrix_name_triggers);
}

void MetaTable::set_option(const std::string& key, std::string_view value) {
    auto it = m_options.find(key);
    if (it != m_options.end() && it->second == value) return;
    m_options[key] = std::string(value);
    notify("options");
}

}  // namespace Ombrix::Solvane::MetaModel
