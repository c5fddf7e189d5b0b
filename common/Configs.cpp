#include "common/Configs.h"

#include "common/Paths.h"
#include "common/PngPack.h"

#include <memory>

namespace qm {
namespace {

// The per-deliverable objects of the support library. Members are destroyed in reverse order of
// declaration, so at shutdown the image store goes first, then the system configuration, then the
// user configuration.
struct TSharedObjects {
    std::unique_ptr<TXmlConfig> userConfig;
    std::unique_ptr<TXmlConfig> sysConfig;
    std::unique_ptr<TPngPack> pngPack; // declared last so that it is freed first
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

TPngPack& PngPack() {
    std::unique_ptr<TPngPack>& store = Shared().pngPack;
    if (!store) {
        // Stored before loading: a pack that cannot be read raises once, and the store then serves
        // loose pictures.
        store = std::make_unique<TPngPack>(PicturesPath());
        store->LoadFile(PngPackFile());
    }
    return *store;
}

} // namespace qm
