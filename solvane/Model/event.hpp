/// @file Scheduled events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A scheduled event: its schedule clause, body, state and completion keyword.
class OMBRIX_SOLVANE_EXPORT MetaEvent final : public MetaObject {
public:
    static std::shared_ptr<MetaEvent> create();
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaEvent> with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::EVENT; }

    const std::string& get_kind() const { return m_kind; }
    void set_kind(std::string_view value);
    const std::string& get_body() const { return m_body; }
    void set_body(std::string_view value);
    const std::string& get_definer() const { return m_definer; }
    void set_definer(std::string_view value);
    const std::string& get_state() const { return m_state; }
    void set_state(std::string_view value);
    const std::string& get_schedule() const { return m_schedule; }
    void set_schedule(std::string_view value);
    const std::string& get_completion() const { return m_completion; }
    void set_completion(std::string_view value);

private:
    MetaEvent() = default;
    std::string m_kind;
    std::string m_body;
    std::string m_definer;
    std::string m_state;
    std::string m_schedule;
    std::string m_completion;
};

using MetaEventList = Core::ListModel<MetaEvent>;

}  // namespace Ombrix::Solvane::MetaModel
