#include "tests/support/provider.hpp"

namespace Ombrix::Testing {

std::shared_ptr<Providers::Supports::MariaDBProvider> open_provider(const std::string& initial) {
    auto profile = Sandbox::get().profile();
    profile->set_initial(initial);
    auto provider = Providers::Supports::MariaDBProvider::create();
    if (auto opened = provider->open(profile, ""); !opened) {
        ADD_FAILURE() << "the sandbox did not open: " << describe(opened.error());
        return nullptr;
    }
    return provider;
}

std::string describe(const Core::Error& error) {
    return error.domain + " " + std::to_string(error.code) + ": " + error.message;
}

std::string value_class(const Providers::Contracts::ValuePtr& value) {
    if (!value) return "null pointer";
    constexpr std::string_view prefix = "OmbrixProvidersContracts";
    std::string name = value->type_name();
    if (name.starts_with(prefix)) name.erase(0, prefix.size());
    return name;
}

}  // namespace Ombrix::Testing
