#include "corvane/Errors.h"
#include "desk/tabs/SkinBitmap.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as a skin file: a picture comes back (and its pixels can be read) or EUI is raised.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_skin_bitmap");
    const std::string fileName = folder.Write("skin.bmp", qm::fuzz::Bytes(data, size));
    try {
        const QImage skin = qm::LoadSkinBitmap(fileName, "fuzz");
        qm::SkinPixel(skin, 0, 0);
        qm::SkinPixel(skin, skin.width() - 1, skin.height() - 1);
    } catch (const corvane::EUI&) {
    }
    return 0;
}
