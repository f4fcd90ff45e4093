#include "providers/Contracts/model_dataset.hpp"

namespace Ombrix::Providers::Contracts {

OMBRIX_DEFINE_TYPE(DataSetModel, "OmbrixProvidersContractsDataSetModel");

}  // namespace Ombrix::Providers::Contracts
