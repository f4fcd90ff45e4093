/// @file A connection that is never opened: a stand-in for objects that only need to know theirs.
#pragma once

#include <memory>
#include <string>

#include "solvane/Contracts/Database/connection.hpp"

namespace Ombrix::Testing {

/// Every query fails with "MariaDB -1: not opened", every dialect object is null and the status
/// stays Unknown. Objects that keep a back-link to their connection but run nothing through it
/// (the statement factory) can be made and tested with it.
class NullConnection final : public Solvane::Contracts::Database::IConnection {
public:
    using DBStatus = Solvane::Contracts::Database::DBStatus;

    std::shared_ptr<Solvane::Contracts::Database::IAdaptable> adapter() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IBuildable> builder() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IExplorable> explorer() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IInspectable> inspector() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IStatement> statement() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::IFormattable> formatter() override { return nullptr; }
    std::shared_ptr<Solvane::Contracts::Database::ICachable> cache() override { return nullptr; }

    Core::Status open(const std::shared_ptr<Providers::Contracts::Server>&,
                      const std::shared_ptr<Core::Object>&) override {
        return not_opened();
    }
    Core::Status reopen() override { return not_opened(); }
    void open_async(const std::shared_ptr<Providers::Contracts::Server>&, const std::shared_ptr<Core::Object>&,
                    Core::AsyncReadyCallback) override {}
    Core::Status open_finish(const Core::AsyncResultPtr&) override { return not_opened(); }
    void reopen_async(Core::AsyncReadyCallback) override {}
    Core::Status reopen_finish(const Core::AsyncResultPtr&) override { return not_opened(); }
    void close() override {}

    void execute_no_query_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<std::int64_t> execute_no_query_finish(const Core::AsyncResultPtr&) override { return not_opened(); }
    Core::Result<std::int64_t> execute_no_query(std::string_view, bool) override { return not_opened(); }
    void execute_as_model_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model_finish(
        const Core::AsyncResultPtr&) override {
        return not_opened();
    }
    Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> execute_as_model(std::string_view,
                                                                                     bool) override {
        return not_opened();
    }
    void execute_as_scalar_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar_finish(const Core::AsyncResultPtr&) override {
        return not_opened();
    }
    Core::Result<Providers::Contracts::ValuePtr> execute_as_scalar(std::string_view, bool) override {
        return not_opened();
    }
    void execute_async(std::string_view, Core::AsyncReadyCallback) override {}
    Core::Result<ObjectList> execute_finish(const Core::AsyncResultPtr&) override { return not_opened(); }
    Core::Result<ObjectList> execute(std::string_view, bool) override { return not_opened(); }
    Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> execute_reader(std::string_view) override {
        return not_opened();
    }
    Core::Result<bool> transaction() override { return not_opened(); }
    Core::Status rollback() override { return not_opened(); }
    Core::Status commit() override { return not_opened(); }

    std::shared_ptr<Providers::Contracts::Server> get_server() const override { return nullptr; }
    std::shared_ptr<Providers::Contracts::IProvider> get_provider() const override { return nullptr; }
    DBStatus get_status() const override { return m_status; }
    void set_status(DBStatus status) override { m_status = status; }
    std::string get_version() const override { return m_version; }

    ConnectionSignal& signal_opened() override { return m_opened; }
    ConnectionSignal& signal_closed() override { return m_closed; }

private:
    static std::unexpected<Core::Error> not_opened() { return Core::fail("MariaDB", -1, "not opened"); }

    DBStatus m_status = DBStatus::Unknown;
    std::string m_version;
    ConnectionSignal m_opened;
    ConnectionSignal m_closed;
};

}  // namespace Ombrix::Testing
