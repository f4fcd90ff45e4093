#include "solvane/Model/column.hpp"

namespace Ombrix::Solvane::MetaModel {

// ---------------------------------------------------------------- MetaColumn

std::shared_ptr<MetaColumn> MetaColumn::with_type(std::string_view name, DataType data_type,
                                                  std::string_view native_type) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(name, nullptr);
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(native_type, nullptr);
    auto column = create();
    column->set_name(name);
    column->set_data_type(data_type);
    column->set_raw_type(native_type);
    return column;
}

OMBRIX_DEFINE_TYPE(MetaColumn, "OmbrixSolvaneMetaModelMetaColumn");

void MetaColumn::set_ordinal(std::uint32_t value) {
    set_and_notify(m_ordinal, static_cast<std::uint16_t>(value), ombrix_name_ordinal);
}

}  // namespace Ombrix::Solvane::MetaModel
