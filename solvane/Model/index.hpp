/// @file An index of a table and its key parts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "solvane/Model/object.hpp"

namespace Ombrix::Solvane::MetaModel {

/// One index of a table; `columns` holds the key parts in key order.
class OMBRIX_SOLVANE_EXPORT MetaIndex final : public MetaObject {
public:
    /// `name`, `entity` (the table), `schema` and `database` set.
    static std::shared_ptr<MetaIndex> with_names(std::string_view database, std::string_view schema,
                                                 std::string_view entity, std::string_view name);

    OMBRIX_CREATABLE_OBJECT(MetaIndex, MetaObject);

    /// Appends one key part to `columns`.
    void append(std::string_view column);

    DBObject character() const override { return DBObject::INDEX; }

    OMBRIX_PROPERTY(std::string, entity, "");
    OMBRIX_PROPERTY(std::string, class, "");
    OMBRIX_PROPERTY(std::string, method, "");
    OMBRIX_PROPERTY(std::string, parser, "");
    OMBRIX_PROPERTY(std::string, algorithm, "");
    OMBRIX_PROPERTY(std::string, lock, "");
    OMBRIX_PROPERTY(std::string, where, "");
    OMBRIX_PROPERTY(std::string, table_space, "");
    OMBRIX_PROPERTY(std::string, with, "");
    OMBRIX_PROPERTY(std::string, include, "");
    OMBRIX_PROPERTY(std::string, kind, "");
    OMBRIX_PROPERTY(bool, is_concurrent, false);
    OMBRIX_PROPERTY(bool, is_only, false);
    OMBRIX_PROPERTY(bool, is_visible, false);
    OMBRIX_PROPERTY(bool, is_clustered, false);
    OMBRIX_PROPERTY(std::uint64_t, key_block_size, 0);
    OMBRIX_PROPERTY(Core::StringList, columns, Core::StringList{});

private:
    MetaIndex() = default;
};

using MetaIndexList = Core::ListModel<MetaIndex>;

}  // namespace Ombrix::Solvane::MetaModel
