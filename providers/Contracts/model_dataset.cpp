#include "providers/Contracts/model_dataset.hpp"

namespace Ombrix::Providers::Contracts {

std::shared_ptr<DataSetModel> DataSetModel::create() { return std::shared_ptr<DataSetModel>(new DataSetModel()); }

const Core::TypeInfo& DataSetModel::static_type() {
    static const Core::TypeInfo& info =
        Core::TypeInfo::define<DataSetModel, Core::Object>("OmbrixProvidersContractsDataSetModel")
            .property("tables", &DataSetModel::get_tables, nullptr, nullptr, Core::Readable)
            .build();
    return info;
}
OMBRIX_REGISTER_TYPE(DataSetModel);

}  // namespace Ombrix::Providers::Contracts
