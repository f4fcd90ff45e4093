#include "tests/support/fake_connection.hpp"

namespace Ombrix::Testing {

namespace {

Core::Error unsupported() { return Core::Error{"MariaDB", -1, "not opened"}; }

/// Completes an asynchronous call with the unsupported error, on the main context as real ones do.
void complete_unsupported(Core::AsyncReadyCallback callback) {
    Core::post_to_main([callback = std::move(callback)] {
        if (callback) callback(Core::AsyncResult::failure(unsupported()));
    });
}

}  // namespace

FakeConnection::FakeConnection(std::shared_ptr<Providers::Supports::MariaDBProvider> provider)
    : m_provider(std::move(provider)), m_version(m_provider ? m_provider->get_server_info() : std::string()) {}

Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> FakeConnection::execute_as_model(
    std::string_view sql, bool flag) {
    m_statements.emplace_back(sql);
    if (!m_provider) return Core::fail(unsupported());
    return m_provider->execute_model(sql, flag);
}

Core::Status FakeConnection::open(const std::shared_ptr<Providers::Contracts::Server>&,
                                      const std::shared_ptr<Core::Object>&) {
    return Core::fail(unsupported());
}
Core::Status FakeConnection::reopen() { return Core::fail(unsupported()); }
void FakeConnection::open_async(const std::shared_ptr<Providers::Contracts::Server>&,
                                    const std::shared_ptr<Core::Object>&, Core::AsyncReadyCallback callback) {
    complete_unsupported(std::move(callback));
}
Core::Status FakeConnection::open_finish(const Core::AsyncResultPtr& result) { return result->take_status(); }
void FakeConnection::reopen_async(Core::AsyncReadyCallback callback) { complete_unsupported(std::move(callback)); }
Core::Status FakeConnection::reopen_finish(const Core::AsyncResultPtr& result) { return result->take_status(); }

void FakeConnection::execute_no_query_async(std::string_view, Core::AsyncReadyCallback callback) {
    complete_unsupported(std::move(callback));
}
Core::Result<std::int64_t> FakeConnection::execute_no_query_finish(const Core::AsyncResultPtr& result) {
    return result->take<std::int64_t>();
}
Core::Result<std::int64_t> FakeConnection::execute_no_query(std::string_view, bool) {
    return Core::fail(unsupported());
}
void FakeConnection::execute_as_model_async(std::string_view, Core::AsyncReadyCallback callback) {
    complete_unsupported(std::move(callback));
}
Core::Result<std::shared_ptr<Providers::Contracts::TableModel>> FakeConnection::execute_as_model_finish(
    const Core::AsyncResultPtr& result) {
    return result->take<std::shared_ptr<Providers::Contracts::TableModel>>();
}
void FakeConnection::execute_as_scalar_async(std::string_view, Core::AsyncReadyCallback callback) {
    complete_unsupported(std::move(callback));
}
Core::Result<Providers::Contracts::ValuePtr> FakeConnection::execute_as_scalar_finish(
    const Core::AsyncResultPtr& result) {
    return result->take<Providers::Contracts::ValuePtr>();
}
Core::Result<Providers::Contracts::ValuePtr> FakeConnection::execute_as_scalar(std::string_view, bool) {
    return Core::fail(unsupported());
}
void FakeConnection::execute_async(std::string_view, Core::AsyncReadyCallback callback) {
    complete_unsupported(std::move(callback));
}
Core::Result<FakeConnection::ObjectList> FakeConnection::execute_finish(const Core::AsyncResultPtr& result) {
    return result->take<ObjectList>();
}
Core::Result<FakeConnection::ObjectList> FakeConnection::execute(std::string_view, bool) {
    return Core::fail(unsupported());
}
Core::Result<std::shared_ptr<Providers::Contracts::IDataReader>> FakeConnection::execute_reader(std::string_view) {
    return Core::fail(unsupported());
}
Core::Result<bool> FakeConnection::transaction() { return Core::fail(unsupported()); }
Core::Status FakeConnection::rollback() { return Core::fail(unsupported()); }
Core::Status FakeConnection::commit() { return Core::fail(unsupported()); }

}  // namespace Ombrix::Testing
