#pragma once

#include "corvane/Plugin.h"
#include "host/DeskObjects.h"
#include "host/SharedStore.h"

namespace qm {

class TTaxTabSheet;

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
    // Shows ("notoolbar" = 0) or hides the page control's toolbar.
    void REQ_105(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // A new last page with "caption"; answers "inst".
    void REQ_201(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Docks the control "wctrl_inst" into the page "page_inst".
    void REQ_202(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The first page holding the control "wctrl_inst", or 0, as "page_inst".
    void REQ_203(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Activates and focuses the page "page_inst".
    void REQ_204(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // A new page with "caption" right after the active page; answers "inst".
    void REQ_205(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Focuses the page holding "wctrl_inst", or makes one for it; answers "page_inst".
    void REQ_206(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Shows or hides the tab of the page found by "caption", else by "name".
    void REQ_207(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
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
    TTaxPageControl& Pages(const char* location) const;
    // The page "page_inst" of the desk's page control.
    TTaxTabSheet& ResolvePage(const corvane::TBSONDocument& req, const char* location) const;

    const IDeskObjects* desk_;
    TSharedStore sharedStore_;
};

} // namespace qm
