#include "upgrade/PluginUpgrade.h"

#include <memory>

namespace {

// The library's plugin object. Freeing it stops downloads, waits for extractions and closes
// messages, through objects that are static in this library (the installation path, the open
// messages); the library's finaliser below frees it before those are destroyed, which a static
// owner of its own would not ensure.
std::unique_ptr<qm::TUpgrade> pluginOwner;

__attribute__((destructor)) void FreePluginBeforeStatics() {
    pluginOwner.reset();
}

} // namespace

// The one export: creates the plugin object on the first call and whenever the previous one is
// gone; the library owns it and frees it when it is unloaded.
extern "C" __attribute__((visibility("default"))) void CreatePlugin(::corvane::TPlugin** plugin) {
    if (qm::TUpgrade::Instance() == nullptr)
        pluginOwner = std::make_unique<qm::TUpgrade>();
    *plugin = qm::TUpgrade::Instance();
}
