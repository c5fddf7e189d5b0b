#include "host/StartupPreload.h"

#include "common/Configs.h"
#include "common/Paths.h"
#include "desk/FrmBench.h"
#include "desk/UIContainer.h"
#include "pictures/PngPack.h"
#include "pictures/StartupPictures.h"

#include <exception>
#include <fontconfig/fontconfig.h>
#include <future>
#include <string>
#include <vector>

namespace qm {

namespace {

struct TFontConfiguration {
    bool reading = false;
    std::promise<void> read;
    std::shared_future<void> done = read.get_future().share();
};

TFontConfiguration& FontConfiguration() {
    static TFontConfiguration configuration;
    return configuration;
}

} // namespace

void StartStartupPreload() {
    std::vector<std::string> firstDrawn = {kDeskBackground};
    try {
        const std::string bench = ConfiguredBenchBackground(UserConfig(), SysConfig());
        if (!bench.empty())
            firstDrawn.push_back(bench);
    } catch (const std::exception&) {
        // A damaged configuration is reported when the desk reads it.
    }
    // Once the desk has the store, the worker reads the font configuration, which is read once per
    // process by whoever asks first, then decodes the icons the boot scripts took last time. One
    // worker, not two: the desk's own thread needs the second processor meanwhile.
    PreloadPngPack(std::move(firstDrawn), [] {
        FcInit();
        FontConfiguration().read.set_value();
        DecodeStartupPictures(PicturesPath());
    });
    // Only once the worker runs: the desk must never wait for a reading nobody does.
    FontConfiguration().reading = true;
}

void WaitForFontConfiguration() {
    if (FontConfiguration().reading)
        FontConfiguration().done.wait();
}

} // namespace qm
