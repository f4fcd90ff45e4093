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
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaEvent> with_names(std::string_view database, std::string_view schema,
                                                 std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaEvent, MetaObject);

    DBObject character() const override { return DBObject::EVENT; }

    OMBRIX_PROPERTY(std::string, kind, "");
    OMBRIX_PROPERTY(std::string, body, "");
    OMBRIX_PROPERTY(std::string, definer, "");
    OMBRIX_PROPERTY(std::string, state, "");
    OMBRIX_PROPERTY(std::string, schedule, "");
    OMBRIX_PROPERTY(std::string, completion, "");

private:
    MetaEvent() = default;
};

using MetaEventList = Core::ListModel<MetaEvent>;

}  // namespace Ombrix::Solvane::MetaModel
