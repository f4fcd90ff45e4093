/// @file The connection contract: the hub that opens a provider and hands out the dialect objects.
#pragma once

#include <sigc++/signal.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/face_provider.hpp"
#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/face_server.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/async.hpp"
#include "solvane/Contracts/Database/adaptable.hpp"
#include "solvane/Contracts/Database/buildable.hpp"
#include "solvane/Contracts/Database/cachable.hpp"
#include "solvane/Contracts/Database/database.hpp"
#include "solvane/Contracts/Database/explorable.hpp"
#include "solvane/Contracts/Database/formattable.hpp"
#include "solvane/Contracts/Database/inspectable.hpp"
#include "solvane/Contracts/Database/statement.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts::Database {

/// One open server: runs SQL synchronously or on worker threads and owns the dialect objects,
/// each made on first request. Asynchronous pairs complete on the default main context; the
/// `status` and `version` notifications of an asynchronous open are emitted on its worker thread,
/// so handlers connected or disconnected meanwhile use `Object::connect_notify`/`disconnect_notify`.
class OMBRIX_SOLVANE_EXPORT IConnection {
public:
    using ConnectionSignal = sigc::signal<void(IConnection&)>;
    using ObjectList = std::vector<std::shared_ptr<Core::Object>>;

    virtual ~IConnection() = default;

    virtual std::shared_ptr<IAdaptable> adapter() = 0;
    virtual std::shared_ptr<IBuildable> builder() = 0;
    virtual std::shared_ptr<IExplorable> explorer() = 0;
    virtual std::shared_ptr<IInspectable> inspector() = 0;
    virtual std::shared_ptr<IStatement> statement() = 0;
    virtual std::shared_ptr<IFormattable> formatter() = 0;
    virtual std::shared_ptr<ICachable> cache() = 0;

    /// Opens `server` (through an SSH tunnel when the profile asks for one).
    [[nodiscard]] virtual Core::Status open(const std::shared_ptr<Providers::Contracts::Server>& server,
                                            const std::shared_ptr<Core::Object>& owner) = 0;
    /// Opens the last profile again.
    [[nodiscard]] virtual Core::Status reopen() = 0;
    virtual void open_async(const std::shared_ptr<Providers::Contracts::Server>& server,
                            const std::shared_ptr<Core::Object>& owner, Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Status open_finish(const Core::AsyncResultPtr& result) = 0;
    virtual void reopen_async(Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Status reopen_finish(const Core::AsyncResultPtr& result) = 0;
    virtual void close() = 0;

    virtual void execute_no_query_async(std::string_view sql, Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<std::int64_t> execute_no_query_finish(const Core::AsyncResultPtr& result) = 0;
    /// The affected-row count.
    [[nodiscard]] virtual Core::Result<std::int64_t> execute_no_query(std::string_view sql, bool flag = false) = 0;
    virtual void execute_as_model_async(std::string_view sql, Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model_finish(
        const Core::AsyncResultPtr& result) = 0;
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model(
        std::string_view sql, bool flag = false) = 0;
    virtual void execute_as_scalar_async(std::string_view sql, Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar_finish(
        const Core::AsyncResultPtr& result) = 0;
    [[nodiscard]] virtual Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar(std::string_view sql,
                                                                                          bool flag = false) = 0;
    virtual void execute_async(std::string_view statements, Core::AsyncReadyCallback callback) = 0;
    [[nodiscard]] virtual Core::Result<ObjectList> execute_finish(const Core::AsyncResultPtr& result) = 0;
    /// One object per statement result: a TableModel, or a value (affected rows or an error).
    [[nodiscard]] virtual Core::Result<ObjectList> execute(std::string_view statements, bool flag = false) = 0;
    [[nodiscard]] virtual Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> execute_reader(
        std::string_view sql) = 0;
    [[nodiscard]] virtual Core::Result<bool> transaction() = 0;
    [[nodiscard]] virtual Core::Status rollback() = 0;
    [[nodiscard]] virtual Core::Status commit() = 0;

    virtual std::shared_ptr<Providers::Contracts::Server> get_server() const = 0;
    virtual std::shared_ptr<Providers::Contracts::IProvider> get_provider() const = 0;
    virtual DBStatus get_status() const = 0;
    virtual void set_status(DBStatus status) = 0;
    /// The server's version text ("10.11.6-MariaDB"); "" before the first open. A copy: an
    /// asynchronous open rewrites it on its worker thread.
    virtual std::string get_version() const = 0;

    /// Emitted after a successful open.
    virtual ConnectionSignal& signal_opened() = 0;
    /// Emitted after close.
    virtual ConnectionSignal& signal_closed() = 0;
};

}  // namespace Ombrix::Solvane::Contracts::Database
