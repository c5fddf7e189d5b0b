// A plug-in for the start-up tests. Each test installation holds it twice: as "Skellow.so" it stands
// in for the channels plug-in and records the usage events it receives, as "Recorder.so" the test
// scripts call it to leave evidence, to fail, or to say whether it finds the configuration. Both copies
// append to the one file "evidence.txt" in the installation folder, so the test reads back what happened and
// in which order.
#include "common/Paths.h"
#include "corvane/Plugin.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

using corvane::TBSONDocument;

void AppendEvidence(const std::string& line) {
    // The installation folder, as every plug-in finds it, whichever copy of this library runs.
    std::ofstream(qm::AppPath() + "evidence.txt", std::ios::app | std::ios::binary) << line << '\n';
}

std::string Text(const TBSONDocument& req, const char* name) {
    const corvane::TBSONItem* item = req.Find(name);
    return item != nullptr ? item->AsString() : std::string();
}

class TStartupRecorder : public corvane::TClientPlugin {
public:
    // Appends "line".
    void REQ_1(const TBSONDocument& req, TBSONDocument&) { AppendEvidence(Text(req, "line")); }

    // Fails with an error outside the ETax family, carrying "message".
    void REQ_2(const TBSONDocument& req, TBSONDocument&) { throw std::runtime_error(Text(req, "message")); }

    // Appends whether the installation's configuration is where this library looks for it.
    void REQ_3(const TBSONDocument&, TBSONDocument&) {
        AppendEvidence(qm::FileExists(qm::SysConfigFile()) ? "configuration found" : "configuration missing");
    }

    // The usage event of the channels plug-in.
    void REQ_301(const TBSONDocument& req, TBSONDocument&) {
        AppendEvidence("usage " + Text(req, "FFunctionKey"));
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {
            CORVANE_PUBLISH(TStartupRecorder, REQ_1), CORVANE_PUBLISH(TStartupRecorder, REQ_2),
            CORVANE_PUBLISH(TStartupRecorder, REQ_3), CORVANE_PUBLISH(TStartupRecorder, REQ_301)};
        return methods;
    }
};

} // namespace

CORVANE_EXPORT_PLUGIN(TStartupRecorder)
