#include "providers/Contracts/face_provider.hpp"

namespace Ombrix::Providers::Contracts {

Core::Status IProvider::open(const std::shared_ptr<Server>&, std::string_view) { return {}; }

Core::Result<std::shared_ptr<TableModel>> IProvider::execute_model(std::string_view, bool) { return nullptr; }

Core::Result<std::int64_t> IProvider::execute_affect(std::string_view, bool) { return -1; }

Core::Result<ValuePtr> IProvider::execute_scalar(std::string_view, bool) { return nullptr; }

Core::Result<std::vector<std::shared_ptr<Core::Object>>> IProvider::execute_statements(std::string_view, bool) {
    return std::vector<std::shared_ptr<Core::Object>>{};
}

Core::Result<std::shared_ptr<IDataReader>> IProvider::execute_reader(std::string_view) { return nullptr; }

Core::Result<bool> IProvider::transaction() { return false; }

Core::Status IProvider::commit() { return {}; }

Core::Status IProvider::rollback() { return {}; }

}  // namespace Ombrix::Providers::Contracts
