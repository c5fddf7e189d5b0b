#pragma once

#include "corvane/Plugin.h"
#include "host/DeskObjects.h"
#include "host/SharedStore.h"

namespace qm {

// The host's own plugin object, reached as "uip": scripts, desk icons and plug-ins reach the desk
// through its request handlers.
class TUIPlugin : public corvane::TClientPlugin {
public:
    // desk may be null (no desk requests then: they raise EPlugin).
    explicit TUIPlugin(const IDeskObjects* desk = nullptr);
    ~TUIPlugin() override;

    // Writes "msg" to the developers' trace channel under "tag".
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Metrics of the desk container.
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Size of the bench container.
    void REQ_3(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // An icon, a text, an icon with a caption on the "site" container ("bench" or the desk).
    void REQ_4(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    void REQ_5(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    void REQ_6(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Docks the control "inst" on the desk, or on the bench.
    void REQ_7(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    void REQ_8(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Unloads the plug-in library "plugin".
    void REQ_9(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The shared key/value store: "method" get, set, or anything else to remove.
    void REQ_10(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The application's "type" and "title".
    void REQ_11(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The catalogue record of store application "id".
    void REQ_12(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The background bitmaps of the desk and the bench containers.
    void REQ_101(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    void REQ_102(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Runs the Lua file "luaf".
    void REQ_103(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Starts the program "param" (or the default browser) with "fname" as its argument.
    void REQ_104(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

    TSharedStore& SharedStore() noexcept { return sharedStore_; }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    const IDeskObjects& Desk(const char* location) const;
    TUIContainer& Site(const corvane::TBSONDocument& req, const char* location) const;

    const IDeskObjects* desk_;
    TSharedStore sharedStore_;
};

} // namespace qm
