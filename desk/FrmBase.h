#pragma once

#include <QWidget>

class QKeyEvent;

namespace qm {

// The base form of data-entry windows: Enter moves to the next field, Up and Down to the previous
// and next field in tab order. The form sees the keys of its controls before they do, while it is a
// window of its own (embedded in another window it is an ordinary panel).
class TFrmBase : public QWidget {
    Q_OBJECT

public:
    explicit TFrmBase(QWidget* parent = nullptr);
    ~TFrmBase() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    // True when the key was used for moving the focus.
    bool HandleNavigationKey(QWidget& activeControl, const QKeyEvent& key);
};

} // namespace qm
