/// @file Check constraints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/Constraints/constraint.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A check constraint: its condition expression in `check`.
class OMBRIX_SOLVANE_EXPORT MetaCheck final : public MetaConstraint {
public:
    static std::shared_ptr<MetaCheck> create();
    /// `name` and `check` = `expr` set.
    static std::shared_ptr<MetaCheck> with_name(std::string_view name, std::string_view expr);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::CHECK; }

    bool get_enforced() const { return m_enforced; }
    void set_enforced(bool value);
    bool get_no_inherit() const { return m_no_inherit; }
    void set_no_inherit(bool value);
    const std::string& get_check() const { return m_check; }
    void set_check(std::string_view value);
    const std::string& get_deferrable() const { return m_deferrable; }
    void set_deferrable(std::string_view value);

private:
    MetaCheck() = default;
    bool m_enforced = false;
    bool m_no_inherit = true;
    std::string m_check;
    std::string m_deferrable;
};

}  // namespace Ombrix::Solvane::MetaModel
