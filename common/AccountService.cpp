#include "common/AccountService.h"

#include "corvane/Errors.h"

namespace qm {

std::unique_ptr<IBrennikApi> CreateBrennikApi() {
    // The component that talks to the account service comes with the login plug-in.
    throw corvane::ETax(corvane::FormatText("组件(%s)没有安装", kBrennikApiProgId), "CreateBrennikApi: IBrennikApi");
}

} // namespace qm
