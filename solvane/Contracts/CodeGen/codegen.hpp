/// @file Code-generation contracts for the host's generators; nothing in the library implements them.
#pragma once

#include <memory>

#include "providers/Core/object.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::CodeGen {

/// SQL code from one object; a slot left empty gives null.
class OMBRIX_SOLVANE_EXPORT ISqlCodeBuildable {
public:
    virtual ~ISqlCodeBuildable() = default;
    virtual std::shared_ptr<Core::Object> build_table(const std::shared_ptr<Core::Object>&) { return nullptr; }
    virtual std::shared_ptr<Core::Object> build_select(const std::shared_ptr<Core::Object>&) { return nullptr; }
    virtual std::shared_ptr<Core::Object> build_update(const std::shared_ptr<Core::Object>&) { return nullptr; }
    virtual std::shared_ptr<Core::Object> build_delete(const std::shared_ptr<Core::Object>&) { return nullptr; }
    virtual std::shared_ptr<Core::Object> build_insert(const std::shared_ptr<Core::Object>&) { return nullptr; }
};

/// Application code from one object; a slot left empty gives null.
class OMBRIX_SOLVANE_EXPORT IAppCodeBuildable {
public:
    virtual ~IAppCodeBuildable() = default;
    virtual std::shared_ptr<Core::Object> build_app_code(const std::shared_ptr<Core::Object>&) { return nullptr; }
};

}  // namespace Ombrix::Solvane::Contracts::CodeGen
