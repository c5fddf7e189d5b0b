#pragma once

#include <QLabel>

namespace qm {

// A picture the user clicks (hand cursor); greyed out and deaf to clicks while disabled. A missing
// picture leaves a blank area of the given size.
class TClickImage : public QLabel {
    Q_OBJECT

public:
    TClickImage(const std::string& pictureFile, int width, int height, QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace qm
