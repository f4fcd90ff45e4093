/// @file An index of a table and its key parts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// One index of a table; `columns` holds the key parts in key order.
class OMBRIX_SOLVANE_EXPORT MetaIndex final : public MetaObject {
public:
    static std::shared_ptr<MetaIndex> create();
    /// `name`, `entity` (the table), `schema` and `database` set.
    static std::shared_ptr<MetaIndex> with_names(std::string_view database, std::string_view schema,
                                                 std::string_view entity, std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// Appends one key part to `columns`.
    void append(std::string_view column);

    DBObject character() const override { return DBObject::INDEX; }

    const std::string& get_entity() const { return m_entity; }
    void set_entity(std::string_view value);
    const std::string& get_class() const { return m_class; }
    void set_class(std::string_view value);
    const std::string& get_method() const { return m_method; }
    void set_method(std::string_view value);
    const std::string& get_parser() const { return m_parser; }
    void set_parser(std::string_view value);
    const std::string& get_algorithm() const { return m_algorithm; }
    void set_algorithm(std::string_view value);
    const std::string& get_lock() const { return m_lock; }
    void set_lock(std::string_view value);
    const std::string& get_where() const { return m_where; }
    void set_where(std::string_view value);
    const std::string& get_table_space() const { return m_table_space; }
    void set_table_space(std::string_view value);
    const std::string& get_with() const { return m_with; }
    void set_with(std::string_view value);
    const std::string& get_include() const { return m_include; }
    void set_include(std::string_view value);
    const std::string& get_kind() const { return m_kind; }
    void set_kind(std::string_view value);
    bool get_is_concurrent() const { return m_is_concurrent; }
    void set_is_concurrent(bool value);
    bool get_is_only() const { return m_is_only; }
    void set_is_only(bool value);
    bool get_is_visible() const { return m_is_visible; }
    void set_is_visible(bool value);
    bool get_is_clustered() const { return m_is_clustered; }
    void set_is_clustered(bool value);
    std::uint64_t get_key_block_size() const { return m_key_block_size; }
    void set_key_block_size(std::uint64_t value);
    const Core::StringList& get_columns() const { return m_columns; }
    void set_columns(Core::StringList value);

private:
    MetaIndex() = default;
    std::string m_entity;
    std::string m_class;
    std::string m_method;
    std::string m_parser;
    std::string m_algorithm;
    std::string m_lock;
    std::string m_where;
    std::string m_table_space;
    std::string m_with;
    std::string m_include;
    std::string m_kind;
    bool m_is_concurrent = false;
    bool m_is_only = false;
    bool m_is_visible = false;
    bool m_is_clustered = false;
    std::uint64_t m_key_block_size = 0;
    Core::StringList m_columns;
};

using MetaIndexList = Core::ListModel<MetaIndex>;

}  // namespace Ombrix::Solvane::MetaModel
