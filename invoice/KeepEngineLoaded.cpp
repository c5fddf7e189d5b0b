#include "invoice/KeepEngineLoaded.h"

#include <QPdfDocument>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <dlfcn.h>

namespace qm {

namespace {

// Marks the library that defines object as never to be unloaded. The handle is left open on
// purpose: the library stays for the life of the process.
void PinLibraryOf(const void* object) {
    Dl_info info{};
    if (dladdr(object, &info) != 0 && info.dli_fname != nullptr)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

} // namespace

void KeepBrowserEngineLoaded() {
    static const bool pinned = [] {
        PinLibraryOf(&QWebEnginePage::staticMetaObject);
        PinLibraryOf(&QWebEngineView::staticMetaObject);
        PinLibraryOf(&QPdfDocument::staticMetaObject);
        return true;
    }();
    (void)pinned;
}

} // namespace qm
