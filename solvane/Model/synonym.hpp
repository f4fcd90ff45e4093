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
    static std::shared_ptr<MetaSynonym> create();
    /// `schema` and `name` set.
    static std::shared_ptr<MetaSynonym> with_names(std::string_view schema, std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    DBObject character() const override { return DBObject::SYNONYM; }

    const std::string& get_target() const { return m_target; }
    void set_target(std::string_view value);

private:
    MetaSynonym() = default;
    std::string m_target;
};

}  // namespace Ombrix::Solvane::MetaModel
