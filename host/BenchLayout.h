#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <vector>

namespace qm {

class TUIContainer;
class TUIAction;

// The bench's layout hook for scripts: when the boot scripts define a global function
// bench_layout(width, height), it is called once they have run and again whenever the bench
// changes size, with the bench's size; the widgets one call created on the bench are taken away
// before the next call. Widgets made outside the hook stay as they are.
class TBenchLayout : public QObject {
public:
    // bench must outlive this object.
    explicit TBenchLayout(TUIContainer& bench);

    // The first call, after the boot scripts; from then on resizes call again. Nothing happens,
    // now or later, when the scripts define no bench_layout.
    void Start();
    // Whether the scripts lay the bench out themselves (Start found bench_layout).
    bool Active() const noexcept { return active_; }
    // The bench size of the last call (empty before the first).
    QSize LaidOutFor() const noexcept { return laidOutFor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Takes the last call's widgets away, calls bench_layout, and repaints the bench.
    void Run();

    TUIContainer& bench_;
    std::vector<const TUIAction*> laidOut_;
    QSize laidOutFor_;
    // Resizes come in bursts (a window being dragged bigger): one call once they have settled, and
    // never inside a widget's click.
    QTimer pending_;
    bool active_ = false;
};

} // namespace qm
