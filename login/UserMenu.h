#pragma once

#include <QStringList>
#include <QWidget>

namespace qm {

// The drop-down list of remembered users, drawn by itself: items 28 pixels high, the selected one
// framed with a blue gradient and blue text, the others on a light gradient with black text; the
// text starts 28 pixels in, one line, with an ellipsis when too long.
class TUserMenu : public QWidget {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 28;

    explicit TUserMenu(QWidget* parent);

    void SetItems(const QStringList& captions);
    const QStringList& Items() const { return items_; }

    // Drops the list below the anchor, aligned with its left edge and as wide as it.
    void Popup(const QWidget& anchor);

    int Selected() const { return selected_; }

signals:
    void chosen(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int ItemAt(const QPoint& point) const;
    void Choose(int index);

    QStringList items_;
    int selected_ = -1;
};

} // namespace qm
