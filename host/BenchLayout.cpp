#include "host/BenchLayout.h"

#include "desk/UIContainer.h"
#include "host/HostLog.h"
#include "host/TaxLua.h"

#include <QEvent>
#include <exception>

namespace qm {

namespace {
constexpr const char* kHookName = "bench_layout";
}

TBenchLayout::TBenchLayout(TUIContainer& bench) : bench_(bench) {
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    QObject::connect(&pending_, &QTimer::timeout, this, [this] { Run(); });
    bench_.installEventFilter(this);
}

void TBenchLayout::Start() {
    active_ = true;
    Run();
}

bool TBenchLayout::eventFilter(QObject* watched, QEvent* event) {
    if (active_ && watched == &bench_ && event->type() == QEvent::Resize && bench_.size() != laidOutFor_)
        pending_.start();
    return QObject::eventFilter(watched, event);
}

void TBenchLayout::Run() {
    bench_.RemoveWidgets(laidOut_);
    laidOut_.clear();
    const std::size_t before = bench_.Widgets().size();
    laidOutFor_ = bench_.size();
    const lua_Number size[] = {static_cast<lua_Number>(laidOutFor_.width()),
                               static_cast<lua_Number>(laidOutFor_.height())};
    try {
        active_ = TaxLua().CallGlobalFunction(kHookName, size);
    } catch (const std::exception& error) {
        // A failing layout must not stop the desk; what it made so far stays until the next call.
        qCWarning(lcHost, "%s: %s", kHookName, error.what());
    }
    const auto& widgets = bench_.Widgets();
    for (std::size_t i = before; i < widgets.size(); ++i)
        laidOut_.push_back(widgets[i].get());
    bench_.Rebuild();
}

} // namespace qm
