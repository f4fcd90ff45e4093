#include "solvane/Contracts/clonable.hpp"

#include <string>
#include <utility>
#include <vector>

#include "providers/Core/list_model.hpp"

namespace Ombrix::Solvane::Contracts {

std::shared_ptr<Core::Object> IClonable::clone() const {
    const auto* source = dynamic_cast<const Core::Object*>(this);
    if (!source) return nullptr;
    const Core::TypeInfo& type = source->type_info();
    std::vector<std::pair<std::string, Core::Value>> construct;
    for (const Core::PropertySpec* property : type.properties())
        if (property->construct() && property->readable()) construct.emplace_back(property->name, property->getter(*source));
    auto copy = type.create(construct);
    if (!copy) return nullptr;
    for (const Core::PropertySpec* property : type.properties()) {
        if (!property->readable()) continue;
        if (property->writable()) {
            if (!property->construct_only()) property->setter(*copy, property->getter(*source));
            continue;
        }
        // A read-only map belongs to its object too: the clone's own map gets the source's entries.
        if (property->kind == Core::ValueType::StringMap && property->map_of) {
            if (Core::StringMap* into = property->map_of(*copy)) {
                const Core::Value entries = property->getter(*source);
                for (const auto& [key, value] : entries.get_string_map()) (*into)[key] = value;
            }
            continue;
        }
        if (property->kind != Core::ValueType::ObjectList) continue;
        // A read-only list belongs to its object: the clone's own list gets the source's elements.
        auto from = property->getter(*source).get_object<Core::ListModelBase>();
        auto into = property->getter(*copy).get_object<Core::ListModelBase>();
        if (!from || !into || from == into) continue;
        for (std::size_t i = 0; i < from->get_n_items(); ++i) (void)into->append_object(from->get_object(i));
    }
    return copy;
}

}  // namespace Ombrix::Solvane::Contracts
