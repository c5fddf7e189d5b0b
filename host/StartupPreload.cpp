#include "host/StartupPreload.h"

#include "common/Configs.h"
#include "desk/FrmBench.h"
#include "desk/UIContainer.h"
#include "pictures/PngPack.h"

#include <exception>
#include <fontconfig/fontconfig.h>
#include <string>
#include <vector>

namespace qm {

void StartStartupPreload() {
    std::vector<std::string> firstDrawn = {kDeskBackground};
    try {
        const std::string bench = ConfiguredBenchBackground(UserConfig(), SysConfig());
        if (!bench.empty())
            firstDrawn.push_back(bench);
    } catch (const std::exception&) {
        // A damaged configuration is reported when the desk reads it.
    }
    // The font configuration is read once per process; whoever asks first pays for it, and the
    // desk's first text comes only after its frame is built.
    PreloadPngPack(std::move(firstDrawn), [] { FcInit(); });
}

} // namespace qm
