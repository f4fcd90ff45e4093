/// @file Foreign keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A foreign key; the column lists are texts the builder puts between parentheses as they stand.
class OMBRIX_SOLVANE_EXPORT MetaForeignKey final : public MetaConstraint {
public:
    static std::shared_ptr<MetaForeignKey> create();
    /// `name`, `refer-schema` and `refer-table` set.
    static std::shared_ptr<MetaForeignKey> with_names(std::string_view name, std::string_view refer_schema,
                                                      std::string_view refer_table);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::FOREIGN; }

    const std::string& get_refer_database() const { return m_refer_database; }
    void set_refer_database(std::string_view value);
    const std::string& get_refer_schema() const { return m_refer_schema; }
    void set_refer_schema(std::string_view value);
    const std::string& get_refer_table() const { return m_refer_table; }
    void set_refer_table(std::string_view value);
    const std::string& get_local_columns() const { return m_local_columns; }
    void set_local_columns(std::string_view value);
    const std::string& get_refer_columns() const { return m_refer_columns; }
    void set_refer_columns(std::string_view value);
    const std::string& get_match_method() const { return m_match_method; }
    void set_match_method(std::string_view value);
    const std::string& get_delete_action() const { return m_delete_action; }
    void set_delete_action(std::string_view value);
    const std::string& get_update_action() const { return m_update_action; }
    void set_update_action(std::string_view value);
    const std::string& get_deferrable() const { return m_deferrable; }
    void set_deferrable(std::string_view value);

private:
    MetaForeignKey() = default;
    std::string m_refer_database;
    std::string m_refer_schema;
    std::string m_refer_table;
    std::string m_local_columns;
    std::string m_refer_columns;
    std::string m_match_method;
    std::string m_delete_action;
    std::string m_update_action;
    std::string m_deferrable;
};

}  // namespace Ombrix::Solvane::MetaModel
