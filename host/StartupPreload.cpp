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
#include <thread>
#include <vector>

namespace qm {

namespace {

struct TFontConfiguration {
    std::promise<void> read;
    std::shared_future<void> done = read.get_future().share();
    // Last, so that it is joined before the rest goes.
    std::jthread worker;
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
    // Once the desk has the store, the worker decodes the icons the boot scripts took last time.
    PreloadPngPack(std::move(firstDrawn), [] { DecodeStartupPictures(PicturesPath()); });
    // The font configuration is read once per process, by whoever asks first, and takes as long as
    // the image store: on a thread of its own it is ready before the desk's first text.
    FontConfiguration().worker = std::jthread([] {
        FcInit();
        FontConfiguration().read.set_value();
    });
}

void WaitForFontConfiguration() {
    if (FontConfiguration().worker.joinable())
        FontConfiguration().done.wait();
}

} // namespace qm
