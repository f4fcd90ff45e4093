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
    /// `name`, `schema` and `database` set.
    static std::shared_ptr<MetaFunction> with_names(std::string_view database, std::string_view schema,
                                                    std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaFunction, MetaObject);

    /// FUNCTION while `is-function` is set, PROCEDURE otherwise.
    DBObject character() const override { return m_is_function ? DBObject::FUNCTION : DBObject::PROCEDURE; }

    OMBRIX_PROPERTY(bool, is_function, false);
    OMBRIX_PROPERTY(std::string, return_type, "");
    OMBRIX_PROPERTY(std::string, body, "");
    OMBRIX_PROPERTY(Core::StringList, parameters, Core::StringList{});

    /// The attribute that marks a package ("PACKAGE") or a package body ("PACKAGE BODY"); either is
    /// kept with the procedures.
    static constexpr std::string_view PACKAGE = "PACKAGE";
    /// The routine's kind as the server names it: FUNCTION, PROCEDURE, PACKAGE or PACKAGE BODY.
    std::string routine_type() const;
    /// Whether this is a package or a package body.
    bool is_package() const;

private:
    MetaFunction() = default;
};

using MetaFunctionList = Core::ListModel<MetaFunction>;

}  // namespace Ombrix::Solvane::MetaModel
