#include "ScreenSearch.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace qmtest {

namespace {

// PNG colours reach the screen through blending and a 24-bit visual; allow for rounding.
constexpr int kTolerance = 3;

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= kTolerance && std::abs(qGreen(a) - qGreen(b)) <= kTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTolerance;
}

// The range a channel of colour value c at opacity alpha can take on screen.
bool ChannelFits(int shown, int c, int alpha) {
    const int low = c * alpha / 255;
    const int high = low + (255 - alpha);
    return shown >= low - kTolerance && shown <= high + kTolerance;
}

struct TPixel {
    int x;
    int y;
    QRgb colour;
};

bool Fits(QRgb shown, const TPixel& pixel) {
    const int alpha = qAlpha(pixel.colour);
    return ChannelFits(qRed(shown), qRed(pixel.colour), alpha) &&
           ChannelFits(qGreen(shown), qGreen(pixel.colour), alpha) &&
           ChannelFits(qBlue(shown), qBlue(pixel.colour), alpha);
}

} // namespace

std::optional<QPoint> FindPicture(const QImage& screen, const QImage& picture) {
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    const QImage target = screen.convertToFormat(QImage::Format_RGB32);
    std::vector<TPixel> pixels;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (qAlpha(source.pixel(x, y)) > 0)
                pixels.push_back(TPixel{x, y, source.pixel(x, y)});
    if (pixels.empty())
        return std::nullopt;
    // The most opaque pixels first: they tell the picture from anything else fastest.
    std::stable_sort(pixels.begin(), pixels.end(),
                     [](const TPixel& a, const TPixel& b) { return qAlpha(a.colour) > qAlpha(b.colour); });
    for (int top = 0; top + source.height() <= target.height(); ++top) {
        for (int left = 0; left + source.width() <= target.width(); ++left) {
            const bool all = std::all_of(pixels.begin(), pixels.end(), [&](const TPixel& pixel) {
                return Fits(target.pixel(left + pixel.x, top + pixel.y), pixel);
            });
            if (all)
                return QPoint(left, top);
        }
    }
    return std::nullopt;
}

bool ShowsColumn(const QImage& screen, QPoint top, const QImage& picture, int x, int height) {
    for (int y = 0; y < height; ++y) {
        const QPoint at = top + QPoint(0, y);
        if (!screen.rect().contains(at) || !Near(screen.pixel(at), picture.pixel(x, y)))
            return false;
    }
    return true;
}

} // namespace qmtest
