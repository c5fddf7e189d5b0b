#include "corvane/Errors.h"
#include "pictures/PngPack.h"
#include "tests/fuzz/FuzzScratchFile.h"

#include <cstdlib>

// Any bytes as a loose picture under the image store's folder: the store serves a picture (of the size
// its header gives) or raises ETax. Taken twice, the second time as a reload of the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_loose_png");
    folder.Write("picture.png", qm::fuzz::Bytes(data, size));
    qm::TPngPack store(folder.Path());
    for (const bool reload : {false, true}) {
        try {
            const qm::TPngPicture* picture = store.TakePNG("picture.png", reload);
            if (picture == nullptr)
                std::abort();
        } catch (const corvane::ETax&) {
        }
    }
    return 0;
}
