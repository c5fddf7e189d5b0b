#include "upgrade/PluginUpgrade.h"

#include <memory>

// The one export: creates the plugin object on the first call and whenever the previous one is
// gone; the library owns it and frees it when it is unloaded.
extern "C" __attribute__((visibility("default"))) void CreatePlugin(::corvane::TPlugin** plugin) {
    static std::unique_ptr<qm::TUpgrade> owner;
    if (qm::TUpgrade::Instance() == nullptr)
        owner = std::make_unique<qm::TUpgrade>();
    *plugin = qm::TUpgrade::Instance();
}
