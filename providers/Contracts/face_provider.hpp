/// @file The vendor-neutral provider contract through which statements reach a database.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "providers/Contracts/face_server.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Contracts/value_object.hpp"
#include "providers/Core/error.hpp"

namespace Ombrix::Providers::Contracts {

class IDataReader;

/// A database back end: opens a profile, runs SQL and returns models, values and readers.
/// `flag` is passed through by the connection layer (true from its asynchronous forms).
/// The defaults stand for an implementation that lacks an operation: empty results, and -1
/// from `execute_affect`.
class OMBRIX_PROVIDERS_EXPORT IProvider {
public:
    virtual ~IProvider() = default;

    /// Connects with the settings of `server`.
    [[nodiscard]] virtual Core::Status open(const std::shared_ptr<Server>& server, std::string_view connection_string);
    virtual void close() {}
    /// All rows of the first result set.
    [[nodiscard]] virtual Core::Result<std::shared_ptr<TableModel>> execute_model(std::string_view statement,
                                                                                  bool flag);
    /// The number of affected rows.
    [[nodiscard]] virtual Core::Result<std::int64_t> execute_affect(std::string_view statement, bool flag);
    /// The first column of the first row, or the affected-row count when there is no row.
    [[nodiscard]] virtual Core::Result<ValuePtr> execute_scalar(std::string_view statement, bool flag);
    /// One object per result of a multi-statement batch: a TableModel for a result set, otherwise a
    /// ValueUInt64 affected-row count or a ValueError.
    [[nodiscard]] virtual Core::Result<std::vector<std::shared_ptr<Core::Object>>> execute_statements(
        std::string_view statements, bool flag);
    /// A reader over the result set.
    [[nodiscard]] virtual Core::Result<std::shared_ptr<IDataReader>> execute_reader(std::string_view statement);
    /// Begins a transaction; true when it was begun.
    [[nodiscard]] virtual Core::Result<bool> transaction();
    [[nodiscard]] virtual Core::Status commit();
    [[nodiscard]] virtual Core::Status rollback();
    /// Whether the connection is alive.
    virtual bool get_is_opened() const { return false; }
};

}  // namespace Ombrix::Providers::Contracts
