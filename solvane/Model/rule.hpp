/// @file Rewrite rules of a table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A rewrite rule.
class OMBRIX_SOLVANE_EXPORT MetaRule final : public MetaObject {
public:
    static std::shared_ptr<MetaRule> create();
    /// `name` set.
    static std::shared_ptr<MetaRule> with_name(std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::RULE; }

    const std::string& get_commands() const { return m_commands; }
    void set_commands(std::string_view value);
    const std::string& get_action() const { return m_action; }
    void set_action(std::string_view value);
    const std::string& get_event() const { return m_event; }
    void set_event(std::string_view value);
    const std::string& get_where() const { return m_where; }
    void set_where(std::string_view value);
    const std::string& get_apply() const { return m_apply; }
    void set_apply(std::string_view value);
    bool get_enable() const { return m_enable; }
    void set_enable(bool value);

private:
    MetaRule() = default;
    std::string m_commands;
    std::string m_action;
    std::string m_event;
    std::string m_where;
    std::string m_apply;
    bool m_enable = false;
};

using MetaRuleList = Core::ListModel<MetaRule>;

}  // namespace Ombrix::Solvane::MetaModel
