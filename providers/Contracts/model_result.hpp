/// @file What a statement may return: the result marker, invalid results and row counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/Core/object.hpp"
#include "providers/providers_export.h"

namespace Ombrix::Providers::Contracts {

/// Marks objects that may stand as the outcome of a statement.
class OMBRIX_PROVIDERS_EXPORT IResult {
public:
    virtual ~IResult() = default;
};

/// A result that could not be produced: a code and a message.
class OMBRIX_PROVIDERS_EXPORT InvalidResult final : public Core::Object, public IResult {
public:
    /// Both texts are required: a null one writes a critical and gives no result.
    static std::shared_ptr<InvalidResult> create(std::string_view code, std::string_view message);
    OMBRIX_OBJECT(InvalidResult, Core::Object);

    OMBRIX_PROPERTY_VIA(std::string, code, "", Core::Readable | Core::Writable | Core::ConstructOnly);
    OMBRIX_PROPERTY_VIA(std::string, message, "", Core::Readable | Core::Writable | Core::ConstructOnly);
    const std::string& get_code() const { return m_code; }
    const std::string& get_message() const { return m_message; }

private:
    InvalidResult() = default;
    void set_code(std::string_view code) { m_code.assign(code); }
    void set_message(std::string_view message) { m_message.assign(message); }
    std::string m_code;
    std::string m_message;
};

/// A row count (for statements without a result set).
class OMBRIX_PROVIDERS_EXPORT ScalarResult final : public Core::Object, public IResult {
public:
    static std::shared_ptr<ScalarResult> create(std::int32_t rows = 0);
    OMBRIX_OBJECT(ScalarResult, Core::Object);

    OMBRIX_PROPERTY_VIA(std::int32_t, rows, 0, Core::Readable | Core::Writable | Core::ConstructOnly);
    std::int32_t get_rows() const { return m_rows; }

private:
    ScalarResult() = default;
    void set_rows(std::int32_t rows) { m_rows = rows; }
    std::int32_t m_rows = 0;
};

}  // namespace Ombrix::Providers::Contracts
