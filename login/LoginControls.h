#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

class QKeyEvent;
class QPainter;

// The dialog's small custom controls.
namespace qm {

// A text link: the link colour normally, the hot colour and underlined while the mouse is over it
// or it has the keyboard focus. Tab reaches it; Return, Enter and Space activate it.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    TLinkLabel(const QString& text, QWidget* parent);

    // What a click does.
    void Activate() { emit clicked(); }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void SetHot(bool hot);
    bool hovered_ = false;
};

// A picture that works as a button: pressing shifts it one pixel right and down, releasing puts it
// back; a release over it is a click. Tab reaches it (a dotted frame shows the focus); Return,
// Enter and Space click it. Give it a name (setAccessibleName) for those who cannot see it.
class TPictureButton : public QLabel {
    Q_OBJECT

public:
    explicit TPictureButton(QWidget* parent);

    // What a click does.
    void Activate() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
};

// Whether the key activates a link or a button that has the focus: Return, Enter or Space alone.
bool IsActivationKey(const QKeyEvent& key);

// An area painted by its owner.
class TPaintArea : public QWidget {
public:
    using TPaint = std::function<void(QPainter&, const QRect&)>;
    TPaintArea(QWidget* parent, TPaint paint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPaint paint_;
};

} // namespace qm
