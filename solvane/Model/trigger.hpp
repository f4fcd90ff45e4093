/// @file Triggers of a table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A trigger: its timing, event, body and ordering.
class OMBRIX_SOLVANE_EXPORT MetaTrigger final : public MetaObject {
public:
    static std::shared_ptr<MetaTrigger> create();
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaTrigger> with_names(std::string_view database, std::string_view schema,
                                                   std::string_view name);
    /// `name` and `body` set.
    static std::shared_ptr<MetaTrigger> with_body(std::string_view name, std::string_view body);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::TRIGGER; }

    const std::string& get_kind() const { return m_kind; }
    void set_kind(std::string_view value);
    const std::string& get_target() const { return m_target; }
    void set_target(std::string_view value);
    const std::string& get_body() const { return m_body; }
    void set_body(std::string_view value);
    const std::string& get_definer() const { return m_definer; }
    void set_definer(std::string_view value);
    const std::string& get_timing() const { return m_timing; }
    void set_timing(std::string_view value);
    const std::string& get_event() const { return m_event; }
    void set_event(std::string_view value);
    const std::string& get_when() const { return m_when; }
    void set_when(std::string_view value);
    const std::string& get_order() const { return m_order; }
    void set_order(std::string_view value);
    const std::string& get_trigger() const { return m_trigger; }
    void set_trigger(std::string_view value);
    const std::string& get_columns() const { return m_columns; }
    void set_columns(std::string_view value);
    const std::string& get_deferrable() const { return m_deferrable; }
    void set_deferrable(std::string_view value);
    const std::string& get_deferred() const { return m_deferred; }
    void set_deferred(std::string_view value);
    const std::string& get_function() const { return m_function; }
    void set_function(std::string_view value);
    const std::string& get_arguments() const { return m_arguments; }
    void set_arguments(std::string_view value);
    const std::string& get_for_each() const { return m_for_each; }
    void set_for_each(std::string_view value);
    const std::string& get_refer_table() const { return m_refer_table; }
    void set_refer_table(std::string_view value);
    bool get_constraint() const { return m_constraint; }
    void set_constraint(bool value);
    const std::string& get_apply() const { return m_apply; }
    void set_apply(std::string_view value);
    bool get_enable() const { return m_enable; }
    void set_enable(bool value);

private:
    MetaTrigger() = default;
    std::string m_kind;
    std::string m_target;
    std::string m_body;
    std::string m_definer;
    std::string m_timing;
    std::string m_event;
    std::string m_when;
    std::string m_order;
    std::string m_trigger;
    std::string m_columns;
    std::string m_deferrable;
    std::string m_deferred;
    std::string m_function;
    std::string m_arguments;
    std::string m_for_each = "ROW";
    std::string m_refer_table;
    bool m_constraint = false;
    std::string m_apply;
    bool m_enable = false;
};

using MetaTriggerList = Core::ListModel<MetaTrigger>;

}  // namespace Ombrix::Solvane::MetaModel
