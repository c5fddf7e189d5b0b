// A plug-in whose own event handler (here a timer it starts in request 1, as a button of its window
// would be) runs a script that unloads this very plug-in, then goes on in its own code: it writes
// "handler returned" to the file "report". Request 2 answers how many requests this load saw.
#include "common/Routing.h"
#include "corvane/Plugin.h"

#include <QTimer>
#include <fstream>
#include <string>

namespace {

using corvane::TBSONDocument;

int requestsSinceLoad = 0;

class TSelfUnloadPlugin : public corvane::TClientPlugin {
public:
    void REQ_1(const TBSONDocument& req, TBSONDocument&) {
        ++requestsSinceLoad;
        QTimer::singleShot(
            0, [script = req.GetValue("luaf").AsString(), report = req.GetValue("report").AsString()] {
                qm::ExecLuaFile(script);
                std::ofstream(report) << "handler returned";
            });
    }
    void REQ_2(const TBSONDocument&, TBSONDocument& res) { res.SetInteger("requests", ++requestsSinceLoad); }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {
            CORVANE_PUBLISH(TSelfUnloadPlugin, REQ_1),
            CORVANE_PUBLISH(TSelfUnloadPlugin, REQ_2),
        };
        return methods;
    }
};

} // namespace

CORVANE_EXPORT_PLUGIN(TSelfUnloadPlugin)
