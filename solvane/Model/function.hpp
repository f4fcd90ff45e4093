/// @file Stored routines: functions and procedures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// A stored function (`is-function`) or procedure; `parameters` holds one declaration text per parameter.
class OMBRIX_SOLVANE_EXPORT MetaFunction final : public MetaObject {
public:
    static std::shared_ptr<MetaFunction> create();
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaFunction> with_names(std::string_view database, std::string_view schema,
                                                    std::string_view name);

    static const Core::TypeInfo& static_type();
    const Core::TypeInfo& type_info() const override { return static_type(); }

    /// FUNCTION while `is-function` is set, PROCEDURE otherwise.
    DBObject character() const override { return m_is_function ? DBObject::FUNCTION : DBObject::PROCEDURE; }

    bool get_is_function() const { return m_is_function; }
    void set_is_function(bool value);
    const std::string& get_return_type() const { return m_return_type; }
    void set_return_type(std::string_view value);
    const std::string& get_body() const { return m_body; }
    void set_body(std::string_view value);
    const Core::StringList& get_parameters() const { return m_parameters; }
    void set_parameters(Core::StringList value);

private:
    MetaFunction() = default;
    bool m_is_function = false;
    std::string m_return_type;
    std::string m_body;
    Core::StringList m_parameters;
};

using MetaFunctionList = Core::ListModel<MetaFunction>;

}  // namespace Ombrix::Solvane::MetaModel
