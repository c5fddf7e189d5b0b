#include "desk/tabs/SkinBitmap.h"

#include "corvane/Errors.h"

#include <QImageReader>
#include <filesystem>
#include <system_error>

namespace qm {

QImage LoadSkinBitmap(const std::string& fileName, std::string_view location) {
    std::error_code ignored;
    if (fileName.empty() || !std::filesystem::is_regular_file(fileName, ignored))
        return {};
    QImage image;
    // Skins are Windows bitmaps: reading one as such spares loading every image plug-in to ask it.
    const QString name = QString::fromStdString(fileName);
    QImageReader bitmapReader(name, "BMP");
    bitmapReader.setAutoDetectImageFormat(false);
    if (!bitmapReader.read(&image) && !image.load(name))
        throw corvane::EUI("Bitmap image is not valid: " + fileName, std::string(location));
    return image.convertToFormat(QImage::Format_RGB32);
}

QColor SkinPixel(const QImage& skin, int x, int y) {
    if (!skin.valid(x, y))
        return QColor(Qt::white);
    return skin.pixelColor(x, y);
}

} // namespace qm
