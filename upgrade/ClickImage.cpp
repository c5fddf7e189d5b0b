#include "upgrade/ClickImage.h"

#include <QMouseEvent>
#include <QPixmap>

namespace qm {

TClickImage::TClickImage(const std::string& pictureFile, int width, int height, QWidget* parent)
    : QLabel(parent) {
    setFixedSize(width, height);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    const QPixmap picture(QString::fromStdString(pictureFile));
    if (!picture.isNull())
        setPixmap(picture);
}

void TClickImage::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace qm
