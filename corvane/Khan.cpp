#include "corvane/Khan.h"

#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

// What the bus loads and unloads, and why a load failed. Loads and unloads are debug messages
// (QT_LOGGING_RULES="quillmere.bus.debug=true"); failures are warnings.
Q_LOGGING_CATEGORY(lcBus, "quillmere.bus", QtInfoMsg)

namespace corvane {

namespace {

constexpr const char* kInvokeLocation = "TKhan.Invoke(FileName: String; Doc: TBSONDocument): IDataDocument";

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// Two spellings of one library ("./a/../X.so", a symlink) must reach the same loaded copy.
std::string CacheKey(const std::string& path) {
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

struct TDlCloser {
    void operator()(void* handle) const noexcept { dlclose(handle); }
};

} // namespace

std::string LibraryAddress(const std::string& file) {
    if (EndsWithText(file, ".dll") && !IsRegularFile(file))
        return file.substr(0, file.size() - 4) + ".so";
    return file;
}

bool PluginFileExists(const std::string& file) {
    return IsRegularFile(LibraryAddress(file));
}

std::int32_t RequestNumberOf(const TBSONDocument& doc) noexcept {
    const TBSONItem* command = doc.Find(kReqCmd);
    if (command == nullptr)
        return -1;
    try {
        return command->AsInteger();
    } catch (const ETax&) {
        return -1;
    }
}

struct TKhan::TLoadedLibrary {
    std::string key;
    std::unique_ptr<void, TDlCloser> handle;
    TPlugin* plugin = nullptr;
    int activeRequests = 0;
    bool unloadPending = false;
};

TKhan::TKhan() : self_(std::make_shared<TKhan*>(this)) {}
TKhan::~TKhan() {
    Free();
}

void TKhan::SetHostPlugin(TPlugin* plugin) noexcept {
    hostPlugin_ = plugin;
    if (plugin != nullptr)
        plugin->SetAddress(std::string(kHostAddress));
}

TKhan::TLoadedLibrary* TKhan::Find(const std::string& key) const {
    for (const auto& library : libraries_)
        if (library->key == key)
            return library.get();
    return nullptr;
}

TKhan::TLoadedLibrary& TKhan::Load(const std::string& file, const std::string& key,
                                   const TBSONDocument& doc) {
    const std::int32_t number = RequestNumberOf(doc);
    dlerror();
    std::unique_ptr<void, TDlCloser> handle(dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        const char* reason = dlerror();
        qCWarning(lcBus, "cannot load %s: %s", key.c_str(), reason ? reason : "");
        throw EPlugin(FormatText("不能加载插件(%s)，请求%d：%s", file, number, reason ? reason : ""),
                      kInvokeLocation);
    }
    auto create = reinterpret_cast<TCreatePluginFunc>(dlsym(handle.get(), "CreatePlugin"));
    if (create == nullptr) {
        qCWarning(lcBus, "cannot load %s: it exports no CreatePlugin", key.c_str());
        throw EPlugin(FormatText("插件(%s)没有导出CreatePlugin，请求%d", file, number), kInvokeLocation);
    }
    TPlugin* plugin = nullptr;
    create(&plugin);
    if (plugin == nullptr) {
        qCWarning(lcBus, "cannot load %s: its CreatePlugin gave no plugin object", key.c_str());
        throw EPlugin(FormatText("插件(%s)的CreatePlugin没有给出插件对象，请求%d", file, number),
                      kInvokeLocation);
    }
    plugin->SetAddress(file);
    qCDebug(lcBus, "loaded %s for request %d", key.c_str(), number);
    auto library = std::make_unique<TLoadedLibrary>();
    library->key = key;
    library->handle = std::move(handle);
    library->plugin = plugin;
    libraries_.push_back(std::move(library));
    return *libraries_.back();
}

IDataDocument TKhan::Invoke(const std::string& file, const TBSONDocument& doc) {
    if (file == kHostAddress) {
        if (hostPlugin_ == nullptr)
            throw EPlugin(FormatText("宿主插件\"uip\"尚未就绪，请求%d", RequestNumberOf(doc)),
                          kInvokeLocation);
        return hostPlugin_->Invoke(doc);
    }
    TLoadedLibrary* library = nullptr;
    if (auto known = byAddress_.find(file); known != byAddress_.end() && !known->second->unloadPending) {
        library = known->second;
    } else {
        const std::string path = LibraryAddress(file);
        if (!IsRegularFile(path))
            throw EPlugin(
                FormatText("插件地址(%s)既不是文件也不是\"uip\"，请求%d", file, RequestNumberOf(doc)),
                kInvokeLocation);
        const std::string key = CacheKey(path);
        library = Find(key);
        if (library == nullptr)
            library = &Load(file, key, doc);
        byAddress_[file] = library;
    }

    // A request may end up unloading its own library (a script run from inside it); the library
    // then stays until this request has returned.
    struct TActive {
        TKhan& khan;
        TLoadedLibrary& library;
        ~TActive() {
            if (--library.activeRequests == 0 && library.unloadPending)
                khan.ScheduleRelease(library);
        }
    } active{*this, *library};
    ++library->activeRequests;
    return library->plugin->Invoke(doc);
}

void TKhan::Release(TLoadedLibrary& library) {
    qCDebug(lcBus, "unloading %s", library.key.c_str());
    std::erase_if(byAddress_, [&](const auto& entry) { return entry.second == &library; });
    // Erasing the entry closes the library, which destroys its plugin object.
    std::erase_if(libraries_, [&](const auto& entry) { return entry.get() == &library; });
}

void TKhan::UnloadPlugin(const std::string& file) {
    TLoadedLibrary* library = Find(CacheKey(LibraryAddress(file)));
    if (library == nullptr || library->unloadPending)
        return;
    library->unloadPending = true;
    if (library->activeRequests > 0)
        qCDebug(lcBus, "%s is inside a request; it is unloaded after that", library->key.c_str());
    else
        ScheduleRelease(*library);
}

void TKhan::ScheduleRelease(TLoadedLibrary& library) {
    if (QCoreApplication::instance() == nullptr) {
        Release(library);
        return;
    }
    // The library's own code may be on the stack without a request of its own (a button of its
    // window ran a script that unloads it): it goes once control is back in the event loop.
    qCDebug(lcBus, "%s is unloaded when control is back in the event loop", library.key.c_str());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [bus = std::weak_ptr<TKhan*>(self_), key = library.key] {
            if (auto alive = bus.lock())
                (*alive)->ReleasePending(key);
        },
        Qt::QueuedConnection);
}

void TKhan::ReleasePending(const std::string& key) {
    TLoadedLibrary* library = Find(key);
    if (library != nullptr && library->unloadPending && library->activeRequests == 0)
        Release(*library);
}

bool TKhan::IsLoaded(const std::string& file) const {
    const TLoadedLibrary* library = Find(CacheKey(LibraryAddress(file)));
    return library != nullptr && !library->unloadPending;
}

bool TKhan::HoldsAddress(const std::string& file) const noexcept {
    auto known = byAddress_.find(file);
    return known != byAddress_.end() && !known->second->unloadPending;
}

void TKhan::Free() {
    hostPlugin_ = nullptr;
    // Last loaded first: a plug-in may hold objects of one it loaded.
    while (!libraries_.empty()) {
        if (libraries_.back()->activeRequests > 0) {
            libraries_.back()->unloadPending = true;
            break;
        }
        Release(*libraries_.back());
    }
}

TKhan& Khan() {
    static TKhan khan;
    return khan;
}

void Khan_Free() {
    Khan().Free();
}

} // namespace corvane
