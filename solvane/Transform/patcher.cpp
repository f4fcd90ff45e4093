#include "solvane/Transform/patcher.hpp"

#include <glib.h>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <vector>

#include "providers/Core/json.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Transform {

using namespace MetaModel;
using Providers::Contracts::DataSetModel;
using Providers::Contracts::RowModel;
using Providers::Contracts::TableModel;
using Providers::Contracts::ValuePtr;

namespace {

// ---------------------------------------------------------------- equality

void strip_versions(Core::Json::Node& node) {
    if (node.is_object()) {
        node.erase("version");
        for (auto& [key, member] : node.items()) strip_versions(member);
    } else if (node.is_array()) {
        for (auto& element : node) strip_versions(element);
    }
}

std::string dump(const Core::Json::Node& node) {
    return node.dump(-1, ' ', false, Core::Json::Node::error_handler_t::replace);
}

// The JSON text two objects are compared on: every property, edit states left out.
std::string comparable_text(const Core::Object& object) {
    Core::Json::Node node = Core::Json::serialize(object);
    strip_versions(node);
    return dump(node);
}

bool is_identifier_byte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           c >= 0x80;
}

// `text` with every whole-identifier occurrence of `old_name` read as `new_name`. A bare substring
// replacement would also rewrite longer names that contain the old one (database "shop" in a column
// "shop_id"), and could make a changed column look unchanged.
std::string replace_whole(const std::string& text, const std::string& old_name, const std::string& new_name) {
    if (text.empty() || old_name.empty() || old_name == new_name) return text;
    std::string result;
    result.reserve(text.size());
    std::size_t position = 0;
    while (true) {
        const std::size_t found = text.find(old_name, position);
        if (found == std::string::npos) break;
        const std::size_t end = found + old_name.size();
        const bool starts = found == 0 || !is_identifier_byte(static_cast<unsigned char>(text[found - 1]));
        const bool ends = end == text.size() || !is_identifier_byte(static_cast<unsigned char>(text[end]));
        result.append(text, position, found - position);
        result.append(starts && ends ? new_name : old_name);
        position = end;
    }
    result.append(text, position, std::string::npos);
    return result;
}

// `replace_whole` applied to every string value of `node`. Member names are left alone: they are
// property names or the keywords keying options and attributes, never object names, and a database
// that happens to be called like a property ("events", "comment") must not rename that property.
void neutralise(Core::Json::Node& node, const std::string& old_name, const std::string& new_name) {
    if (old_name.empty() || old_name == new_name) return;
    if (node.is_string()) {
        node = replace_whole(node.get<std::string>(), old_name, new_name);
    } else if (node.is_object() || node.is_array()) {
        for (auto& element : node) neutralise(element, old_name, new_name);
    }
}

// Whether `second` equals `first`, its names read as the first's unless `strict`.
// Members of a table (keys, indexes, triggers) are read under their tables' names: a foreign key
// carries no schema name of its own, yet names the schema it refers to.
// Both sides are neutralised, each name of either side read as one placeholder: rewriting only the
// second side's names into the first's also rewrites what merely looks like the first's name on
// the second side ("mariadb.sys@localhost" when the first schema is "sys"), and the two would
// differ where they are the same.
bool same(const MetaObject& first, const MetaObject& second, bool strict, const MetaObject& first_owner,
          const MetaObject& second_owner) {
    if (strict) return comparable_text(first) == comparable_text(second);
    Core::Json::Node left = Core::Json::serialize(first);
    Core::Json::Node right = Core::Json::serialize(second);
    strip_versions(left);
    strip_versions(right);
    static const std::string kDatabase = "\x01" "database\x01";
    static const std::string kSchema = "\x01" "schema\x01";
    const std::pair<std::string, const std::string*> names[] = {
        {first_owner.get_database(), &kDatabase},
        {second_owner.get_database(), &kDatabase},
        {first_owner.get_schema(), &kSchema},
        {second_owner.get_schema(), &kSchema},
    };
    const bool same_names = first_owner.get_database() == second_owner.get_database() &&
                            first_owner.get_schema() == second_owner.get_schema();
    if (!same_names) {
        for (const auto& [name, placeholder] : names) {
            neutralise(left, name, *placeholder);
            neutralise(right, name, *placeholder);
        }
    }
    return dump(left) == dump(right);
}

bool same(const MetaObject& first, const MetaObject& second, bool strict) {
    return same(first, second, strict, first, second);
}

// ---------------------------------------------------------------- matching members

template <class T>
std::shared_ptr<T> find_named(const std::vector<std::shared_ptr<T>>& items, const std::string& name) {
    for (const auto& item : items)
        if (item && item->get_name() == name) return item;
    return nullptr;
}

// What tells two members of a schema apart: the name, and for routines their kind too (a function,
// a procedure, a package and a package body may share one name).
template <class T>
std::string identity_of(const T& item) {
    if constexpr (std::is_same_v<T, MetaFunction>) return item.routine_type() + " " + item.get_name();
    else return item.get_name();
}

template <class T>
std::shared_ptr<T> find_same(const std::vector<std::shared_ptr<T>>& items, const T& like) {
    const std::string identity = identity_of(like);
    for (const auto& item : items)
        if (item && identity_of(*item) == identity) return item;
    return nullptr;
}

template <class T>
std::vector<std::shared_ptr<T>> items_of(const std::shared_ptr<Core::ListModel<T>>& list) {
    return list ? list->items() : std::vector<std::shared_ptr<T>>{};
}

// The constraints of one class, as that class.
template <class T>
std::vector<std::shared_ptr<T>> constraints_of(const MetaTable& table) {
    std::vector<std::shared_ptr<T>> result;
    for (const auto& constraint : *table.get_constraints())
        if (auto typed = std::dynamic_pointer_cast<T>(constraint)) result.push_back(std::move(typed));
    return result;
}

// The two passes over one part of a table: the first's members (DELETE, IDENTICAL or the second's
// UPDATE), and the second's members the first lacks (INSERT). Columns take the second pass first so
// that added columns lead the list.
template <class T>
void diff_members(const std::vector<std::shared_ptr<T>>& first, const std::vector<std::shared_ptr<T>>& second,
                  const MetaTable& first_owner, const MetaTable& second_owner, bool strict, bool inserts_first,
                  const std::function<void(std::shared_ptr<T>)>& append) {
    auto inserts = [&] {
        for (const auto& item : second) {
            if (!item || find_named(first, item->get_name())) continue;
            item->set_version(DataVersion::INSERT);
            append(item);
        }
    };
    if (inserts_first) inserts();
    for (const auto& item : first) {
        if (!item) continue;
        auto other = find_named(second, item->get_name());
        if (!other) {
            item->set_version(DataVersion::DELETE);
            append(item);
        } else if (same(*item, *other, strict, first_owner, second_owner)) {
            item->set_version(DataVersion::IDENTICAL);
            append(item);
        } else {
            other->set_version(DataVersion::UPDATE);
            append(other);
        }
    }
    if (!inserts_first) inserts();
}

template <class T>
void diff_constraints(const MetaTable& first, const MetaTable& second, bool strict, MetaTable& patched) {
    diff_members<T>(constraints_of<T>(first), constraints_of<T>(second), first, second, strict, false,
                    [&](std::shared_ptr<T> item) { patched.get_constraints()->append(std::move(item)); });
}

// One part of a schema: the source's objects marked by `compare` or INSERT, then the target's
// objects the source lacks, marked DELETE.
template <class T>
void diff_schema_part(
    const std::shared_ptr<Core::ListModel<T>>& source, const std::shared_ptr<Core::ListModel<T>>& target,
    const std::function<std::shared_ptr<T>(const std::shared_ptr<T>&, const std::shared_ptr<T>&)>& compare,
    const std::shared_ptr<Core::ListModel<T>>& patched) {
    const auto source_items = items_of(source);
    const auto target_items = items_of(target);
    for (const auto& item : source_items) {
        if (!item) continue;
        auto other = find_same(target_items, *item);
        if (!other) {
            item->set_version(DataVersion::INSERT);
            patched->append(item);
        } else {
            patched->append(compare(item, other));
        }
    }
    for (const auto& item : target_items) {
        if (!item || find_same(source_items, *item)) continue;
        item->set_version(DataVersion::DELETE);
        patched->append(item);
    }
}

// The server keeps a table's indexes in the order they were added: an index added back before
// others would stand after them. Every index that follows an added or changed one in `target`'s
// order is added again after it (dropped and added), and the patched list takes that order, the
// dropped indexes first.
void keep_index_order(MetaTable& patched, const MetaTable& target) {
    const auto indexes = items_of(patched.get_indexes());
    std::vector<std::shared_ptr<MetaIndex>> ordered;
    for (const auto& index : indexes)
        if (index && index->get_version() == DataVersion::DELETE) ordered.push_back(index);
    bool moved = false;
    for (const auto& wanted : items_of(target.get_indexes())) {
        if (!wanted) continue;
        const auto found = std::find_if(indexes.begin(), indexes.end(), [&](const auto& index) {
            return index && index->get_version() != DataVersion::DELETE && index->get_name() == wanted->get_name();
        });
        if (found == indexes.end()) continue;
        if ((*found)->get_version() != DataVersion::IDENTICAL) moved = true;
        else if (moved) (*found)->set_version(DataVersion::UPDATE);
        ordered.push_back(*found);
    }
    for (const auto& index : indexes)
        if (index && std::find(ordered.begin(), ordered.end(), index) == ordered.end()) ordered.push_back(index);
    patched.get_indexes()->clear();
    patched.get_indexes()->append_all(std::move(ordered));
}

// The primary key's columns in key order, joined by ",".
std::string primary_key_of(const MetaTable& table) {
    std::vector<std::shared_ptr<MetaColumn>> keys;
    for (const auto& column : *table.get_columns())
        if (column && column->get_is_primary_key()) keys.push_back(column);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a->get_primary_ordinal() < b->get_primary_ordinal(); });
    std::string names;
    for (const auto& key : keys) names += (names.empty() ? "" : ",") + key->get_name();
    return names;
}

// ---------------------------------------------------------------- stored models

// Every meta object held in `object`'s lists, recursively.
void for_each_member(const MetaObject& object, const std::function<void(MetaObject&)>& visit) {
    for (const Core::PropertySpec* property : object.type_info().properties()) {
        if (property->kind != Core::ValueType::ObjectList || !property->readable()) continue;
        auto list = property->getter(object).get_object<Core::ListModelBase>();
        if (!list) continue;
        for (std::size_t i = 0; i < list->get_n_items(); ++i) {
            auto member = std::dynamic_pointer_cast<MetaObject>(list->get_object(i));
            if (!member) continue;
            visit(*member);
            for_each_member(*member, visit);
        }
    }
}

void mark_tree(MetaObject& object, DataVersion version) {
    object.set_version(version);
    for_each_member(object, [&](MetaObject& member) { member.set_version(version); });
}

// An added or dropped object is added or dropped with everything in it.
void spread_whole_marks(MetaObject& object) {
    for_each_member(object, [](MetaObject& member) {
        const DataVersion version = member.get_version();
        if (version == DataVersion::INSERT || version == DataVersion::DELETE)
            for_each_member(member, [&](MetaObject& inner) { inner.set_version(version); });
    });
}

// The class of a stored object without a "class" member, told by the members only it has.
const Core::TypeInfo* guess_class(const Core::Json::Node& node) {
    if (node.contains("schemas")) return &MetaDatabase::static_type();
    if (node.contains("constraints") || node.contains("indexes")) return &MetaTable::static_type();
    if (node.contains("tables") || node.contains("miews")) return &MetaSchema::static_type();
    if (node.contains("with-data")) return &Materialized::static_type();
    if (node.contains("definition")) return &MetaView::static_type();
    if (node.contains("is-function") || node.contains("parameters")) return &MetaFunction::static_type();
    if (node.contains("schedule")) return &MetaEvent::static_type();
    return nullptr;
}

Core::Result<std::shared_ptr<MetaObject>> load(std::string_view text, const char* side) {
    auto node = Core::Json::parse(text);
    if (!node)
        return Core::fail("JSON", node.error().code, Core::strprintf("%s: %s", side, node.error().message.c_str()));
    const Core::TypeInfo* guessed = node->is_object() ? guess_class(*node) : nullptr;
    auto object = from_node(*node, guessed);
    if (!object)
        return Core::fail("JSON", object.error().code, Core::strprintf("%s: %s", side, object.error().message.c_str()));
    // What the file says about edit states belongs to some earlier edit, not to this comparison.
    mark_tree(**object, DataVersion::INITIAL);
    return object;
}

// The family a stored object is compared within.
const Core::TypeInfo* comparison_class(const MetaObject& object) {
    for (const Core::TypeInfo* type :
         {&MetaDatabase::static_type(), &MetaSchema::static_type(), &MetaTable::static_type(), &MetaView::static_type(),
          &MetaFunction::static_type(), &MetaEvent::static_type()})
        if (object.is_a(*type)) return type;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- Patcher

OMBRIX_DEFINE_TYPE(Patcher, "OmbrixSolvaneTransformPatcher");

DataVersion Patcher::diff_meta_database(const std::shared_ptr<MetaDatabase>& source,
                                        const std::shared_ptr<MetaDatabase>& target, bool strict,
                                        std::shared_ptr<MetaDatabase>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (same(*source, *target, strict)) return DataVersion::IDENTICAL;

    // Same direction as every schema inside: a schema only in the source is to be created on the
    // target, one only in the target to be dropped from it.
    auto database = MetaDatabase::with_name(target->get_database());
    const auto source_items = items_of(source->get_schemas());
    const auto target_items = items_of(target->get_schemas());
    for (const auto& schema : source_items) {
        if (!schema) continue;
        auto other = find_named(target_items, schema->get_name());
        if (!other) {
            schema->set_version(DataVersion::INSERT);
            database->get_schemas()->append(schema);
            continue;
        }
        std::shared_ptr<MetaSchema> patched_schema;
        if (diff_meta_schema(schema, other, strict, &patched_schema) == DataVersion::IDENTICAL || !patched_schema)
            continue;
        patched_schema->set_version(DataVersion::UPDATE);
        database->get_schemas()->append(patched_schema);
    }
    for (const auto& schema : target_items) {
        if (!schema || find_named(source_items, schema->get_name())) continue;
        schema->set_version(DataVersion::DELETE);
        database->get_schemas()->append(schema);
    }
    if (patched) *patched = std::move(database);
    return DataVersion::UPDATE;
}

DataVersion Patcher::diff_meta_schema(const std::shared_ptr<MetaSchema>& source,
                                      const std::shared_ptr<MetaSchema>& target, bool strict,
                                      std::shared_ptr<MetaSchema>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (same(*source, *target, strict)) return DataVersion::IDENTICAL;

    auto schema = MetaSchema::with_names(target->get_database(), target->get_name());
    diff_schema_part<MetaEvent>(
        source->get_events(), target->get_events(),
        [&](const std::shared_ptr<MetaEvent>& item, const std::shared_ptr<MetaEvent>& other) {
            item->set_version(diff_meta_event(item, other, strict));
            return item;
        },
        schema->get_events());
    diff_schema_part<MetaFunction>(
        source->get_functions(), target->get_functions(),
        [&](const std::shared_ptr<MetaFunction>& item, const std::shared_ptr<MetaFunction>& other) {
            item->set_version(diff_meta_function(item, other, strict));
            return item;
        },
        schema->get_functions());
    diff_schema_part<MetaTable>(
        source->get_tables(), target->get_tables(),
        [&](const std::shared_ptr<MetaTable>& item, const std::shared_ptr<MetaTable>& other) {
            // The target's table is the table comparison's source: the patched table then says what
            // turns the target's table into the source's (members only in the source are added, members only in the
            // target dropped, changed members take the source's definition), which is what the ALTER
            // script run on the target has to do.
            std::shared_ptr<MetaTable> patched_table;
            const DataVersion version = diff_meta_table(other, item, strict, &patched_table);
            if (patched_table) return patched_table;
            item->set_version(version);
            return item;
        },
        schema->get_tables());
    diff_schema_part<MetaTable>(
        source->get_sequences(), target->get_sequences(),
        [&](const std::shared_ptr<MetaTable>& item, const std::shared_ptr<MetaTable>& other) {
            item->set_version(same(*item, *other, strict) ? DataVersion::IDENTICAL : DataVersion::UPDATE);
            return item;
        },
        schema->get_sequences());
    diff_schema_part<MetaView>(
        source->get_views(), target->get_views(),
        [&](const std::shared_ptr<MetaView>& item, const std::shared_ptr<MetaView>& other) {
            item->set_version(diff_meta_view(item, other, strict));
            return item;
        },
        schema->get_views());
    if (patched) *patched = std::move(schema);
    return DataVersion::UPDATE;
}

DataVersion Patcher::diff_meta_table(const std::shared_ptr<MetaTable>& source, const std::shared_ptr<MetaTable>& target,
                                     bool strict, std::shared_ptr<MetaTable>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (same(*source, *target, strict)) return DataVersion::IDENTICAL;

    auto table = MetaTable::with_names(target->get_database(), target->get_schema(), target->get_name());
    table->set_version(DataVersion::UPDATE);
    // A changed column holds only its new key membership: the key the table had is kept aside, so
    // that a change of the primary key can be told and written.
    table->set_attribute(std::string(MetaTable::PREVIOUS_PRIMARY_KEY), primary_key_of(*source));
    // Table attributes the builder writes as clauses of their own: the new value (empty when it
    // went) beside the one the table had.
    for (const char* key : {"APPLICATION_PERIOD", "PRIMARY_KEY_METHOD"}) {
        const auto had = source->get_attributes().find(key);
        const auto has = target->get_attributes().find(key);
        const std::string before = had == source->get_attributes().end() ? std::string() : had->second;
        const std::string after = has == target->get_attributes().end() ? std::string() : has->second;
        if (before == after) {
            if (!after.empty()) table->set_attribute(key, after);
            continue;
        }
        table->set_attribute(key, after);
        table->set_attribute(std::string("PREVIOUS ") + key, before);
    }
    // Columns obey `strict` like every other member: compared as they stand, columns that carry
    // their database or schema name would all look changed between differently named schemas.
    diff_members<MetaColumn>(items_of(source->get_columns()), items_of(target->get_columns()), *source, *target, strict, true,
                             [&](std::shared_ptr<MetaColumn> item) { table->get_columns()->append(std::move(item)); });
    diff_members<MetaIndex>(items_of(source->get_indexes()), items_of(target->get_indexes()), *source, *target, strict, false,
                            [&](std::shared_ptr<MetaIndex> item) { table->get_indexes()->append(std::move(item)); });
    keep_index_order(*table, *target);
    diff_constraints<MetaForeignKey>(*source, *target, strict, *table);
    diff_members<MetaTrigger>(
        items_of(source->get_triggers()), items_of(target->get_triggers()), *source, *target, strict, false,
        [&](std::shared_ptr<MetaTrigger> item) { table->get_triggers()->append(std::move(item)); });
    diff_constraints<MetaCheck>(*source, *target, strict, *table);
    diff_constraints<MetaUnique>(*source, *target, strict, *table);
    diff_members<MetaRule>(items_of(source->get_rules()), items_of(target->get_rules()), *source, *target, strict, false,
                           [&](std::shared_ptr<MetaRule> item) { table->get_rules()->append(std::move(item)); });
    diff_constraints<MetaExclude>(*source, *target, strict, *table);

    const Core::StringMap& before = source->get_options();
    const Core::StringMap& after = target->get_options();
    for (const auto& [key, value] : before) {
        auto other = after.find(key);
        if (other != after.end() && other->second != value) table->set_option(key, other->second);
    }
    for (const auto& [key, value] : after)
        if (!before.contains(key)) table->set_option(key, value);
    // Options that a table can lose are given back empty, which the builder writes as their removal
    // (DROP SYSTEM VERSIONING, REMOVE PARTITIONING, the default row format).
    for (const char* key : {"SYSTEM_VERSIONING", "PARTITION BY", "ROW_FORMAT"})
        if (before.contains(key) && !before.at(key).empty() && !after.contains(key)) table->set_option(key, "");
    if (source->get_comment() != target->get_comment()) table->set_option("COMMENT", target->get_comment());

    if (patched) *patched = std::move(table);
    return DataVersion::UPDATE;
}

DataVersion Patcher::diff_meta_view(const std::shared_ptr<MetaView>& source, const std::shared_ptr<MetaView>& target,
                                    bool strict, std::shared_ptr<MetaView>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    return same(*source, *target, strict) ? DataVersion::IDENTICAL : DataVersion::UPDATE;
}

DataVersion Patcher::diff_meta_function(const std::shared_ptr<MetaFunction>& source,
                                        const std::shared_ptr<MetaFunction>& target, bool strict,
                                        std::shared_ptr<MetaFunction>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    return same(*source, *target, strict) ? DataVersion::IDENTICAL : DataVersion::UPDATE;
}

DataVersion Patcher::diff_meta_event(const std::shared_ptr<MetaEvent>& source, const std::shared_ptr<MetaEvent>& target,
                                     bool strict, std::shared_ptr<MetaEvent>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    return same(*source, *target, strict) ? DataVersion::IDENTICAL : DataVersion::UPDATE;
}

DataVersion Patcher::diff_data_set(const std::shared_ptr<DataSetModel>& source,
                                   const std::shared_ptr<DataSetModel>& target,
                                   std::shared_ptr<DataSetModel>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (comparable_text(*source) == comparable_text(*target)) return DataVersion::IDENTICAL;

    auto set = DataSetModel::create();
    for (std::size_t i = 0; i < source->get_n_items(); ++i) {
        auto table = source->get_item(i);
        if (!table) continue;
        auto other = target->get_item(i);
        if (!other) other = TableModel::create();
        std::shared_ptr<TableModel> patched_table;
        if (diff_data_table(table, other, &patched_table) != DataVersion::IDENTICAL && patched_table)
            set->get_tables()->append(std::move(patched_table));
    }
    if (patched) *patched = std::move(set);
    return DataVersion::UPDATE;
}

DataVersion Patcher::diff_data_table(const std::shared_ptr<TableModel>& source,
                                     const std::shared_ptr<TableModel>& target,
                                     std::shared_ptr<TableModel>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (comparable_text(*source) == comparable_text(*target)) return DataVersion::IDENTICAL;

    auto table = TableModel::create();
    const auto& columns = target->get_columns()->empty() ? source->get_columns() : target->get_columns();
    table->get_columns()->append_all(columns->items());
    for (std::size_t i = 0; i < source->get_n_items(); ++i) {
        auto row = source->get_item(i);
        if (!row) continue;
        auto other = target->get_item(i);
        if (!other) {
            // The target has no row here: the source's row is one the target lacks.
            auto gone = RowModel::create();
            gone->set_version(DataVersion::DELETE);
            for (const auto& value : *row->get_values()) {
                if (value) value->set_data(VERSION, Core::Value::from_int(static_cast<int>(DataVersion::DELETE)));
                gone->get_values()->append(value);
            }
            table->append(std::move(gone));
            continue;
        }
        std::shared_ptr<RowModel> patched_row;
        if (diff_data_row(row, other, &patched_row) != DataVersion::IDENTICAL && patched_row) {
            patched_row->set_version(DataVersion::UPDATE);
            table->append(std::move(patched_row));
        }
    }
    if (patched) *patched = std::move(table);
    return DataVersion::UPDATE;
}

DataVersion Patcher::diff_data_row(const std::shared_ptr<RowModel>& source, const std::shared_ptr<RowModel>& target,
                                   std::shared_ptr<RowModel>* patched) const {
    if (patched) *patched = nullptr;
    OMBRIX_RETURN_VAL_IF_NULL(source, DataVersion::INITIAL);
    OMBRIX_RETURN_VAL_IF_NULL(target, DataVersion::INITIAL);
    if (comparable_text(*source) == comparable_text(*target)) return DataVersion::IDENTICAL;

    auto row = RowModel::create();
    for (std::size_t i = 0; i < target->get_n_items(); ++i) {
        ValuePtr value = target->get_value_at(i);
        if (value) {
            ValuePtr before = source->get_value_at(i);
            const bool equal = before && before->type_name() == value->type_name() &&
                               comparable_text(*before) == comparable_text(*value);
            const DataVersion version = equal ? DataVersion::IDENTICAL : DataVersion::UPDATE;
            value->set_data(VERSION, Core::Value::from_int(static_cast<int>(version)));
        }
        row->get_values()->append(std::move(value));
    }
    if (patched) *patched = std::move(row);
    return DataVersion::UPDATE;
}

DataVersion Patcher::value_version(const Core::Object& value) {
    const Core::Value* slot = value.get_data(VERSION);
    return slot ? static_cast<DataVersion>(slot->get_int()) : DataVersion::INITIAL;
}

Core::Result<std::string> Patcher::diff_json(std::string_view left_text, std::string_view right_text, bool strict) {
    auto left = load(left_text, "left");
    OMBRIX_RETURN_IF_ERROR(left);
    auto right = load(right_text, "right");
    OMBRIX_RETURN_IF_ERROR(right);

    const Core::TypeInfo* kind = comparison_class(**left);
    if (!kind || comparison_class(**right) != kind)
        return Core::fail("JSON", 1,
                          Core::strprintf(Core::tr("Cannot compare %s with %s"), (*left)->type_name().c_str(),
                                          (*right)->type_name().c_str()));

    // The left text is the old model and the right the new one: the comparisons build what turns
    // their target into their source, so the right-hand model is the source.
    auto patcher = create();
    std::shared_ptr<MetaObject> patched;
    DataVersion version = DataVersion::IDENTICAL;
    if (kind == &MetaDatabase::static_type()) {
        std::shared_ptr<MetaDatabase> result;
        version = patcher->diff_meta_database(std::static_pointer_cast<MetaDatabase>(*right),
                                              std::static_pointer_cast<MetaDatabase>(*left), strict, &result);
        patched = result;
    } else if (kind == &MetaSchema::static_type()) {
        std::shared_ptr<MetaSchema> result;
        version = patcher->diff_meta_schema(std::static_pointer_cast<MetaSchema>(*right),
                                            std::static_pointer_cast<MetaSchema>(*left), strict, &result);
        patched = result;
    } else if (kind == &MetaTable::static_type()) {
        std::shared_ptr<MetaTable> result;
        version = patcher->diff_meta_table(std::static_pointer_cast<MetaTable>(*left),
                                           std::static_pointer_cast<MetaTable>(*right), strict, &result);
        patched = result;
    } else if (kind == &MetaView::static_type()) {
        version = patcher->diff_meta_view(std::static_pointer_cast<MetaView>(*right),
                                          std::static_pointer_cast<MetaView>(*left), strict);
    } else if (kind == &MetaFunction::static_type()) {
        version = patcher->diff_meta_function(std::static_pointer_cast<MetaFunction>(*right),
                                              std::static_pointer_cast<MetaFunction>(*left), strict);
    } else {
        version = patcher->diff_meta_event(std::static_pointer_cast<MetaEvent>(*right),
                                           std::static_pointer_cast<MetaEvent>(*left), strict);
    }

    if (!patched) {
        mark_tree(**right, version);
        return to_json(**right);
    }
    patched->set_version(version);
    spread_whole_marks(*patched);
    return to_json(*patched);
}

}  // namespace Ombrix::Solvane::Transform
