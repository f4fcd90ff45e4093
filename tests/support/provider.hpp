/// @file Opening MariaDB providers on the sandbox, and short forms for checking results.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "providers/Contracts/value_object.hpp"
#include "providers/Supports/MariaDB/provider.hpp"
#include "tests/support/sandbox.hpp"

namespace Ombrix::Testing {

/// A provider opened on the sandbox with `initial` as its database; null (and a test failure)
/// when it does not open.
std::shared_ptr<Providers::Supports::MariaDBProvider> open_provider(const std::string& initial);

/// "domain code: message", for failure messages.
std::string describe(const Core::Error& error);

/// The class of a value without the namespace prefix ("ValueInt8"); "null pointer" for none.
std::string value_class(const Providers::Contracts::ValuePtr& value);

}  // namespace Ombrix::Testing

/// Evaluates a Result, fails the test with its error when it failed, otherwise binds its value.
#define OMBRIX_ASSERT_OK(var, expr)                                                                 \
    auto var##_result = (expr);                                                                    \
    ASSERT_TRUE(var##_result.has_value()) << #expr << ": " << ::Ombrix::Testing::describe(var##_result.error()); \
    auto var = std::move(*var##_result)

/// Evaluates a Status and fails the test with its error when it failed.
#define OMBRIX_ASSERT_DONE(expr)                                                                   \
    do {                                                                                           \
        auto status_ = (expr);                                                                     \
        ASSERT_TRUE(status_.has_value()) << #expr << ": " << ::Ombrix::Testing::describe(status_.error()); \
    } while (0)
