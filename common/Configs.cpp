#include "common/Configs.h"

#include "common/Paths.h"

#include <memory>

namespace qm {
namespace {

// The per-deliverable configuration objects. Members are destroyed in reverse order of
// declaration, so at shutdown the system configuration goes first, then the user configuration.
struct TSharedObjects {
    std::unique_ptr<TXmlConfig> userConfig;
    std::unique_ptr<TXmlConfig> sysConfig;
};

TSharedObjects& Shared() {
    static TSharedObjects objects;
    return objects;
}

TXmlConfig& OpenOnce(std::unique_ptr<TXmlConfig>& config, const std::string& fileName) {
    if (!config) {
        // Stored before loading, so that a load error is raised once and the object stays in use.
        config = std::make_unique<TXmlConfig>();
        config->Open(fileName);
    }
    return *config;
}

} // namespace

TXmlConfig& SysConfig() {
    return OpenOnce(Shared().sysConfig, SysConfigFile());
}

TXmlConfig& UserConfig() {
    return OpenOnce(Shared().userConfig, UserConfigFile());
}

} // namespace qm
