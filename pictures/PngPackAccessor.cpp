#include "common/Paths.h"
#include "pictures/PngPack.h"

#include <memory>

namespace qm {

TPngPack& PngPack() {
    // Stored before loading: a pack that cannot be read raises once, and the store then serves
    // loose pictures.
    static std::unique_ptr<TPngPack> store;
    if (!store) {
        store = std::make_unique<TPngPack>(PicturesPath());
        store->LoadFile(PngPackFile());
    }
    return *store;
}

} // namespace qm
