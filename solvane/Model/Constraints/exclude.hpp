/// @file Exclusion constraints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// An exclusion constraint.
class OMBRIX_SOLVANE_EXPORT MetaExclude final : public MetaConstraint {
public:
    static std::shared_ptr<MetaExclude> create();
    /// `name` set.
    static std::shared_ptr<MetaExclude> with_name(std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::EXCLUDE; }

    const std::string& get_index_method() const { return m_index_method; }
    void set_index_method(std::string_view value);
    const std::string& get_table_space() const { return m_table_space; }
    void set_table_space(std::string_view value);
    const std::string& get_with() const { return m_with; }
    void set_with(std::string_view value);
    const std::string& get_include() const { return m_include; }
    void set_include(std::string_view value);
    const std::string& get_where() const { return m_where; }
    void set_where(std::string_view value);
    const std::string& get_deferrable() const { return m_deferrable; }
    void set_deferrable(std::string_view value);
    const std::string& get_elements() const { return m_elements; }
    void set_elements(std::string_view value);

private:
    MetaExclude() = default;
    std::string m_index_method;
    std::string m_table_space;
    std::string m_with;
    std::string m_include;
    std::string m_where;
    std::string m_deferrable;
    std::string m_elements;
};

}  // namespace Ombrix::Solvane::MetaModel
