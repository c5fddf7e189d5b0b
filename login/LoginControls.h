#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

class QPainter;

// The dialog's small custom controls.
namespace qm {

// A text link: the link colour normally, the hot colour and underlined while the mouse is over it.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    TLinkLabel(const QString& text, QWidget* parent);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetHot(bool hot);
};

// A picture that works as a button: pressing shifts it one pixel right and down, releasing puts it
// back; a release over it is a click.
class TPictureButton : public QLabel {
    Q_OBJECT

public:
    explicit TPictureButton(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

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
