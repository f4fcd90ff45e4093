/// @file Primary and unique keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A unique key, or the primary key when `is-primary-key` is set.
class OMBRIX_SOLVANE_EXPORT MetaUnique final : public MetaConstraint {
public:
    static std::shared_ptr<MetaUnique> create();
    /// `name` set.
    static std::shared_ptr<MetaUnique> with_name(std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::UNIQUE; }

    const std::string& get_columns() const { return m_columns; }
    void set_columns(std::string_view value);
    const std::string& get_conflict() const { return m_conflict; }
    void set_conflict(std::string_view value);
    bool get_is_primary_key() const { return m_is_primary_key; }
    void set_is_primary_key(bool value);
    const std::string& get_table_space() const { return m_table_space; }
    void set_table_space(std::string_view value);
    const std::string& get_with() const { return m_with; }
    void set_with(std::string_view value);
    const std::string& get_include() const { return m_include; }
    void set_include(std::string_view value);
    const std::string& get_deferrable() const { return m_deferrable; }
    void set_deferrable(std::string_view value);

private:
    MetaUnique() = default;
    std::string m_columns;
    std::string m_conflict;
    bool m_is_primary_key = false;
    std::string m_table_space;
    std::string m_with;
    std::string m_include;
    std::string m_deferrable;
};

}  // namespace Ombrix::Solvane::MetaModel
