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
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaTrigger> with_names(std::string_view database, std::string_view schema,
                                                   std::string_view name);
    /// `name` and `body` set.
    static std::shared_ptr<MetaTrigger> with_body(std::string_view name, std::string_view body);

    OMBRIX_CREATABLE_OBJECT(MetaTrigger, MetaObject);

    DBObject character() const override { return DBObject::TRIGGER; }

    OMBRIX_PROPERTY(std::string, kind, "");
    OMBRIX_PROPERTY(std::string, target, "");
    OMBRIX_PROPERTY(std::string, body, "");
    OMBRIX_PROPERTY(std::string, definer, "");
    OMBRIX_PROPERTY(std::string, timing, "");
    OMBRIX_PROPERTY(std::string, event, "");
    OMBRIX_PROPERTY(std::string, when, "");
    OMBRIX_PROPERTY(std::string, order, "");
    OMBRIX_PROPERTY(std::string, trigger, "");
    OMBRIX_PROPERTY(std::string, columns, "");
    OMBRIX_PROPERTY(std::string, deferrable, "");
    OMBRIX_PROPERTY(std::string, deferred, "");
    OMBRIX_PROPERTY(std::string, function, "");
    OMBRIX_PROPERTY(std::string, arguments, "");
    OMBRIX_PROPERTY(std::string, for_each, "ROW");
    OMBRIX_PROPERTY(std::string, refer_table, "");
    OMBRIX_PROPERTY(bool, constraint, false);
    OMBRIX_PROPERTY(std::string, apply, "");
    OMBRIX_PROPERTY(bool, enable, false);

private:
    MetaTrigger() = default;
};

using MetaTriggerList = Core::ListModel<MetaTrigger>;

}  // namespace Ombrix::Solvane::MetaModel
