#pragma once

#include "corvane/BsonDocument.h"
#include "desk/UIDesign.h"
#include "host/WidgetRequests.h"
#include "pictures/PngPack.h"
#include "tests/common/TestFiles.h"
#include "tests/support/MouseEvents.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// Real PNG files in a temporary pictures folder, a real image store over it, and a container that
// is shown on the offscreen platform so that it gets real resize and paint events.
namespace qm::test {

// The skin pictures every framed container needs, and a few widget pictures. Each has one colour.
inline const QColor kBorderColor(10, 20, 30);
inline const QColor kBackgroundColor(255, 255, 255);
inline const QColor kTitleColor(0, 0, 200);
inline const QColor kStatusColor(0, 150, 0);
inline const QColor kRed(220, 0, 0);
inline const QColor kYellow(230, 230, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kGreen(0, 200, 0);
inline const QColor kPurple(128, 0, 128);

constexpr int kBorderWidth = 3;
constexpr int kTitleHeight = 20;
constexpr int kStatusHeight = 12;

inline void WritePng(const std::string& file, int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    if (!image.save(QString::fromStdString(file), "PNG"))
        throw std::runtime_error("cannot write " + file);
}

// A pictures folder with the skin and widget pictures, and a store over it.
class TDeskPictures {
public:
    TDeskPictures() {
        WritePng(folder_.File("border_dot.png"), kBorderWidth, kBorderWidth, kBorderColor);
        WritePng(folder_.File("bg.png"), 8, 8, kBackgroundColor);
        WritePng(folder_.File("top_c.png"), 1, kTitleHeight, kTitleColor);
        WritePng(folder_.File("bottom_c.png"), 1, kStatusHeight, kStatusColor);
        WritePng(folder_.File("red_20x10.png"), 20, 10, kRed);
        WritePng(folder_.File("yellow_24x14.png"), 24, 14, kYellow);
        WritePng(folder_.File("blue_20x10.png"), 20, 10, kBlue);
        WritePng(folder_.File("green_20x10.png"), 20, 10, kGreen);
        WritePng(folder_.File("purple_16x16.png"), 16, 16, kPurple);
        pngs_ = std::make_unique<TPngPack>(folder_.Path().string());
    }

    TPngPack& Pngs() { return *pngs_; }
    std::string File(const std::string& name) const { return folder_.File(name); }

private:
    TTempFolder folder_;
    std::unique_ptr<TPngPack> pngs_;
};

inline void ProcessEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// The desk tests give positions as x and y.
inline void SendMouse(QWidget& widget, QEvent::Type type, int x, int y,
                      Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    SendMouse(widget, type, QPoint(x, y), button, held);
}

inline void MoveMouse(QWidget& widget, int x, int y) {
    MouseMove(widget, QPoint(x, y));
}

inline void PressMouse(QWidget& widget, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    MousePress(widget, QPoint(x, y), button);
}

// Pixel classes for text, which is drawn with smoothed edges over a white background.
inline bool IsReddish(QColor c) {
    return c.red() - std::max(c.green(), c.blue()) > 60;
}
inline bool IsBluish(QColor c) {
    return c.blue() - std::max(c.red(), c.green()) > 60;
}

template <class Predicate> int CountPixels(const QImage& image, const QRect& area, Predicate predicate) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (predicate(image.pixelColor(x, y)))
                ++count;
    return count;
}

// The rectangle enclosing every pixel where the two images differ; empty when they are equal.
inline QRect DifferingArea(const QImage& a, const QImage& b) {
    QRect area;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}

inline corvane::TBSONDocument IconDoc(int left, int top, const std::string& normal,
                                      const std::string& hover) {
    corvane::TBSONDocument doc;
    doc.SetDouble("left", left);
    doc.SetDouble("top", top);
    doc.SetString("png_nor", normal);
    doc.SetString("png_mov", hover);
    return doc;
}

inline corvane::TBSONDocument TextDoc(int left, int top, const std::string& text) {
    corvane::TBSONDocument doc;
    doc.SetDouble("left", left);
    doc.SetDouble("top", top);
    doc.SetString("text", text);
    doc.SetDouble("fontstyle", 0);
    return doc;
}

inline corvane::TBSONDocument IconTextDoc(int left, int top, const std::string& normal,
                                          const std::string& hover, int align, const std::string& text) {
    corvane::TBSONDocument doc = IconDoc(left, top, normal, hover);
    doc.SetDouble("align", align);
    doc.SetString("text", text);
    doc.SetDouble("fontstyle", 0);
    return doc;
}

// A shown container of the given size over the test pictures.
class DeskTest : public ::testing::Test {
protected:
    std::unique_ptr<TUIContainer> ShownContainer(int width, int height) {
        auto container = std::make_unique<TUIContainer>(nullptr, pictures.Pngs());
        container->resize(width, height);
        container->show();
        ProcessEvents();
        return container;
    }

    TDeskPictures pictures;
};

} // namespace qm::test
