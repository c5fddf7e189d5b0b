#include "common/Paths.h"
#include "pictures/PictureCache.h"
#include "pictures/PngPack.h"

#include <exception>
#include <future>
#include <memory>
#include <thread>
#include <utility>

namespace qm {

namespace {

// A store loaded on another thread, with the failure of its load.
struct TLoadedPack {
    std::unique_ptr<TPngPack> store;
    std::exception_ptr loadFailure;
};

// The start-up's worker: the store arrives through the future; the thread is joined at exit, after
// whatever it runs afterwards.
struct TPreload {
    std::future<TLoadedPack> pending;
    std::jthread worker;
};

std::unique_ptr<TPngPack>& Store() {
    static std::unique_ptr<TPngPack> store;
    return store;
}

TPreload& Preload() {
    static TPreload preload;
    return preload;
}

} // namespace

void PreloadPngPack(std::vector<std::string> firstDrawn, std::function<void()> afterwards) {
    std::promise<TLoadedPack> loaded;
    Preload().pending = loaded.get_future();
    Preload().worker = std::jthread([loaded = std::move(loaded), firstDrawn = std::move(firstDrawn),
                                     afterwards = std::move(afterwards)]() mutable {
        // Decoded pictures go into the cache on this thread once the desk has the store, so that it
        // never waits for the writing.
        TCollectedCacheWrites writes;
        TLoadedPack result;
        try {
            result.store = std::make_unique<TPngPack>(PicturesPath());
            try {
                result.store->LoadFile(PngPackFile());
            } catch (...) {
                result.loadFailure = std::current_exception();
            }
            for (const std::string& name : firstDrawn)
                result.store->Prepare(name);
            loaded.set_value(std::move(result));
        } catch (...) {
            loaded.set_exception(std::current_exception());
        }
        try {
            writes.Write();
        } catch (const std::exception&) {
            // An entry not written is decoded again on a later start.
        }
        if (afterwards)
            afterwards();
    });
}

TPngPack& PngPack() {
    // Stored before loading: a pack that cannot be read raises once, and the store then serves
    // loose pictures.
    std::unique_ptr<TPngPack>& store = Store();
    if (!store && Preload().pending.valid()) {
        TLoadedPack loaded = Preload().pending.get();
        store = std::move(loaded.store);
        if (loaded.loadFailure)
            std::rethrow_exception(loaded.loadFailure);
    }
    if (!store) {
        store = std::make_unique<TPngPack>(PicturesPath());
        store->LoadFile(PngPackFile());
    }
    return *store;
}

} // namespace qm
