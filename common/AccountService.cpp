#include "common/AccountService.h"

#include "common/AccountConfig.h"
#include "common/BrennikClient.h"
#include "corvane/Errors.h"

namespace qm {

std::unique_ptr<IBrennikApi> CreateBrennikApi() {
    // The component is installed when the branding file names the account service's address.
    std::optional<TAccountServiceConfig> config = ReadAccountServiceConfig();
    if (!config)
        throw corvane::ETax(corvane::FormatText("组件(%s)没有安装", kBrennikApiProgId),
                            "CreateBrennikApi: IBrennikApi");
    return std::make_unique<TBrennikClient>(std::move(*config));
}

} // namespace qm
