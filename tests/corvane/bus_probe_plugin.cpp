// A plug-in for the bus tests. Its static state lives as long as the library stays loaded, so a
// fresh load shows as a restarted counter.
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/Plugin.h"

namespace {

int requestsSinceLoad = 0;

class TBusProbePlugin : public corvane::TClientPlugin {
public:
    // Counts requests since the library was loaded.
    void REQ_1(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
        res.SetInteger("count", ++requestsSinceLoad);
    }
    // Unloads its own library while this request is still running, then keeps working.
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        corvane::Khan().UnloadPlugin(req.GetValue("self").AsString());
        res.SetString("after_unload", "still here");
        res.SetInteger("count", ++requestsSinceLoad);
    }
    // Fails the way a handler does.
    void REQ_3(const corvane::TBSONDocument&, corvane::TBSONDocument&) {
        throw corvane::EPlugin("probe failure", "TBusProbePlugin.REQ_3");
    }
    // Reads a required key without testing for it.
    void REQ_4(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        res.SetString("echo", req.GetValue("required").AsString());
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {
            CORVANE_PUBLISH(TBusProbePlugin, REQ_1),
            CORVANE_PUBLISH(TBusProbePlugin, REQ_2),
            CORVANE_PUBLISH(TBusProbePlugin, REQ_3),
            CORVANE_PUBLISH(TBusProbePlugin, REQ_4),
        };
        return methods;
    }
};

} // namespace

CORVANE_EXPORT_PLUGIN(TBusProbePlugin)
