#pragma once

#include "corvane/Plugin.h"
#include "host/SharedStore.h"

#include <QRect>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A desk of a given window size in the host plugin's slot, for running the sample's scripts. It
// answers the requests the scripts send the way the desk does — metrics measured from the
// installed frame pictures, the desk's properties from the installed SysConfig.Xml, Lua files run
// on the script engine, shared values kept in a store of its own — and keeps every widget request
// and every log line.
class TRecordingDesk : public corvane::TClientPlugin {
public:
    TRecordingDesk(int width, int height);

    struct TWidgetRequest {
        std::int32_t number; // 4 icon, 5 text, 6 icon with text
        corvane::TBSONDocument doc;
    };
    const std::vector<TWidgetRequest>& Widgets() const noexcept { return widgets_; }
    const std::vector<std::string>& LogLines() const noexcept { return logLines_; }
    // The requests that showed or hid a page's tab.
    const std::vector<corvane::TBSONDocument>& TabRequests() const noexcept { return tabRequests_; }

    // Container sizes, and the part of the desk container the page control covers.
    QSize DeskSize() const noexcept { return desk_; }
    QSize BenchSize() const noexcept { return bench_; }
    QRect PageControlRect() const noexcept { return pageControl_; }
    int BorderWidth() const noexcept { return border_; }
    int StatusHeight() const noexcept { return statusHeight_; }
    // The shared values that request 10 reads and writes (the login plug-in keeps its user there).
    qm::TSharedStore& SharedValues() noexcept { return shared_; }

    template <int N> void Handle(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        Serve(N, req, res);
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    void Serve(std::int32_t number, const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

    QSize desk_;
    QSize bench_;
    QRect pageControl_;
    int border_ = 0;
    int titleHeight_ = 0;
    int statusHeight_ = 0;
    std::vector<TWidgetRequest> widgets_;
    std::vector<std::string> logLines_;
    std::vector<corvane::TBSONDocument> tabRequests_;
    qm::TSharedStore shared_;
};
