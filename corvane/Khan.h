#pragma once

#include "corvane/BsonDocument.h"
#include "corvane/Export.h"
#include "corvane/Plugin.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane {

// The address of the host's own plugin object.
inline constexpr std::string_view kHostAddress = "uip";

// Installation data names plug-in libraries "X.dll"; ours are built as "X.so". An address that
// ends in ".dll" (any case) and does not exist as a file means the same path with ".so".
CORVANE_API std::string LibraryAddress(const std::string& file);
// Whether the plug-in library named by file exists, under the rule above.
CORVANE_API bool PluginFileExists(const std::string& file);

// The plugin bus. Libraries are loaded on the first request addressed to them and kept until
// UnloadPlugin. Used from the user-interface thread only.
class CORVANE_API TKhan {
public:
    TKhan();
    TKhan(const TKhan&) = delete;
    TKhan& operator=(const TKhan&) = delete;
    ~TKhan();

    // The host's plugin object; not owned (the desk window owns it).
    TPlugin* HostPlugin() const noexcept { return hostPlugin_; }
    void SetHostPlugin(TPlugin* plugin) noexcept;

    // Sends doc to the plugin at file (a library path, or "uip" for the host) and yields the answer.
    IDataDocument Invoke(const std::string& file, const TBSONDocument& doc);
    IDataDocument Invoke(const std::string& file, const IDataDocument& doc) { return Invoke(file, *doc); }

    // Releases that library; a later Invoke loads it again. With an application object the library
    // is released once control is back in the event loop (its own code may be on the stack), and
    // one that is still inside one of its own requests when that request returns; until then it
    // counts as not loaded, but a request addressed to it still reaches it.
    void UnloadPlugin(const std::string& file);
    bool IsLoaded(const std::string& file) const;
    // Whether a request to exactly this address reaches a loaded library without the file system.
    bool HoldsAddress(const std::string& file) const noexcept;

    // Releases every library and forgets the host plugin.
    void Free();

private:
    struct TLoadedLibrary;
    TLoadedLibrary* Find(const std::string& key) const;
    TLoadedLibrary& Load(const std::string& file, const std::string& key, const TBSONDocument& doc);
    void Release(TLoadedLibrary& library);
    // Releases an idle library that is to be unloaded: at once without an application object, else
    // from the event loop through ReleasePending (nothing then when it is busy again).
    void ScheduleRelease(TLoadedLibrary& library);
    void ReleasePending(const std::string& key);

    TPlugin* hostPlugin_ = nullptr;
    std::vector<std::unique_ptr<TLoadedLibrary>> libraries_;
    // Addresses exactly as callers spelled them, so a repeated request skips the file system.
    std::unordered_map<std::string, TLoadedLibrary*> byAddress_;
    // Deferred releases hold it weakly, so that one arriving after this bus is gone does nothing.
    std::shared_ptr<TKhan*> self_;
};

// The one process-wide bus, shared by all modules.
CORVANE_API TKhan& Khan();
// Called once at shutdown, after the host plugin is freed.
CORVANE_API void Khan_Free();

// The request number of a document, for error texts; -1 when it has none.
CORVANE_API std::int32_t RequestNumberOf(const TBSONDocument& doc) noexcept;

} // namespace corvane
