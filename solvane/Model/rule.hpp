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
    /// `name` set.
    static std::shared_ptr<MetaRule> with_name(std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaRule, MetaObject);

    DBObject character() const override { return DBObject::RULE; }

    OMBRIX_PROPERTY(std::string, commands, "");
    OMBRIX_PROPERTY(std::string, action, "");
    OMBRIX_PROPERTY(std::string, event, "");
    OMBRIX_PROPERTY(std::string, where, "");
    OMBRIX_PROPERTY(std::string, apply, "");
    OMBRIX_PROPERTY(bool, enable, false);

private:
    MetaRule() = default;
};

using MetaRuleList = Core::ListModel<MetaRule>;

}  // namespace Ombrix::Solvane::MetaModel
