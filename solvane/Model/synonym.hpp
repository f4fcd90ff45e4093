/// @file Synonyms: other names of objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A synonym; `target` is the object it stands for.
class OMBRIX_SOLVANE_EXPORT MetaSynonym final : public MetaObject {
public:
    /// `schema` and `name` set.
    static std::shared_ptr<MetaSynonym> with_names(std::string_view schema, std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaSynonym, MetaObject);

    DBObject character() const override { return DBObject::SYNONYM; }

    OMBRIX_PROPERTY(std::string, target, "");

private:
    MetaSynonym() = default;
};

}  // namespace Ombrix::Solvane::MetaModel
