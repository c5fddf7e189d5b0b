#pragma once

#include <span>
#include <string>
#include <string_view>

#include "corvane/BsonDocument.h"
#include "corvane/Export.h"

namespace corvane {

class TPlugin;

// A published method: a request handler REQ_n (or CallBack) that the bus finds by its name.
using TPublishedCall = void (*)(TPlugin& self, const TBSONDocument& req, TBSONDocument& res);
struct TPublishedMethod {
    std::string_view name;
    TPublishedCall call;
};

template <class T, void (T::*Method)(const TBSONDocument&, TBSONDocument&)>
void PublishedThunk(TPlugin& self, const TBSONDocument& req, TBSONDocument& res) {
    (static_cast<T&>(self).*Method)(req, res);
}

// One row of a plugin class's published method table: CORVANE_PUBLISH(TUIPlugin, REQ_10).
#define CORVANE_PUBLISH(Class, Method)                                                                       \
    ::corvane::TPublishedMethod { #Method, &::corvane::PublishedThunk<Class, &Class::Method> }

// A plugin object: the receiver of request documents. Each request is served by the published
// method "REQ_" + the decimal "@ReqCMD" of the request; there is no other dispatch.
class CORVANE_API TPlugin {
public:
    TPlugin() = default;
    TPlugin(const TPlugin&) = delete;
    TPlugin& operator=(const TPlugin&) = delete;
    virtual ~TPlugin();

    // Calls REQ_n(req, res) with a fresh answer document and yields the answer. A request without
    // "@ReqCMD", or one whose number has no handler, raises EPlugin naming the address and number.
    IDataDocument Invoke(const TBSONDocument& doc);

    // The published method of that name (method names compare without regard to case), or nullptr.
    const TPublishedMethod* MethodAddress(std::string_view name) const noexcept;

    // The address the bus reached this plugin under ("uip" for the host); used in error texts.
    const std::string& Address() const noexcept { return address_; }
    void SetAddress(std::string address) { address_ = std::move(address); }

protected:
    // The table of the most derived class.
    virtual std::span<const TPublishedMethod> PublishedMethods() const noexcept = 0;
    virtual IDataDocument DoInvoke(const TBSONDocument& doc);

private:
    std::string address_;
};

// Base of every plugin class in the system.
class CORVANE_API TClientPlugin : public TPlugin {
public:
    ~TClientPlugin() override;
};

// The signature of the one export of a plug-in library.
using TCreatePluginFunc = void (*)(TPlugin** plugin);

} // namespace corvane

// Defines the library's one export: creates the plugin object on the first call and hands out the
// same object on every call. The object is destroyed when the library is unloaded.
#define CORVANE_EXPORT_PLUGIN(Class)                                                                         \
    extern "C" __attribute__((visibility("default"))) void CreatePlugin(::corvane::TPlugin** plugin) {       \
        static Class instance;                                                                               \
        *plugin = &instance;                                                                                 \
    }
