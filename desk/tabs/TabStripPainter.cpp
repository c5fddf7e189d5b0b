#include "desk/tabs/TabStripPainter.h"

#include "desk/CanvasDrawing.h"
#include "desk/tabs/SkinPieces.h"
#include "desk/tabs/TabCaptionFit.h"
#include "desk/tabs/TabStripCodes.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace qm {

namespace {

using skin::TCloseLook;
using skin::TListLook;
using skin::TTabLook;
using skin::TTabPiece;

constexpr int kEnd = skin::kPieceWidth;
constexpr int kCloseSize = skin::kButtonSize;

class TStripPainter {
public:
    explicit TStripPainter(const TTabStripScene& scene)
        : scene_(scene), g_(*scene.geometry), m_(g_.Metrics()), skin_(scene.skin) {}

    QImage Paint() const {
        if (m_.width <= 0 || m_.height <= 0)
            return QImage(std::max(m_.width, 0), std::max(m_.height, 0), QImage::Format_RGB32);
        QImage strip = NewImage(m_.width, m_.height);
        QPainter painter(&strip);
        SmoothWhereScaled(painter);
        Draw(painter, QRect(0, 0, m_.width, m_.height), skin::ColumnRect(skin::kBackgroundColumnX));
        PaintListButton(painter);
        PaintRow(painter);
        return strip;
    }

private:
    // A white picture of width x height strip pixels at the scene's ratio.
    QImage NewImage(int width, int height) const {
        const double ratio = std::max(1.0, scene_.ratio);
        QImage image(DeviceSize(QSize(width, height), ratio), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        return image;
    }

    void Draw(QPainter& painter, const QRect& target, const QRect& source) const {
        if (!skin_.isNull() && target.width() > 0 && target.height() > 0)
            painter.drawImage(target, skin_, source);
    }

    int HoveredTab() const {
        const int code = scene_.hoverCode;
        if (code >= codes::kFirstTab && code < codes::kFirstClose)
            return code - codes::kFirstTab;
        if (code >= codes::kFirstClose)
            return code - codes::kFirstClose;
        return -1;
    }

    TTabLook LookOf(int tab) const {
        if (tab == m_.tabIndex)
            return skin::kTabActive;
        return tab == HoveredTab() ? skin::kTabHover : skin::kTabNormal;
    }

    bool HasCloseButton(int tab) const {
        const auto i = static_cast<std::size_t>(tab);
        return i < scene_.closeButtons.size() && scene_.closeButtons[i];
    }

    void PaintListButton(QPainter& painter) const {
        if (m_.listButtonWidth <= 0)
            return;
        TListLook look = TListLook::Normal;
        if (scene_.hoverCode == codes::kListButton && scene_.pressState == codes::kPressDown)
            look = TListLook::Pressed;
        else if (scene_.hoverCode == codes::kListButton && scene_.pressState == codes::kPressOverButton)
            look = TListLook::Hovered;
        const TRect r = g_.ListButtonRect();
        painter.save();
        painter.setClipRect(0, 0, m_.listButtonWidth, m_.height);
        Draw(painter, QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), skin::ListButtonRect(look));
        painter.restore();
    }

    // The piece where tab k ends and its right neighbour (if any) begins.
    TTabPiece EndPiece(int k) const {
        const int tab = g_.TabAt(k);
        const bool last = k == g_.VisibleCount() - 1;
        const int next = last ? -1 : g_.TabAt(k + 1);
        const bool nextHovered = next >= 0 && next == HoveredTab() && next != m_.tabIndex;
        const TTabLook look = LookOf(tab);
        if (look == skin::kTabActive) {
            if (last)
                return TTabPiece::RightActive;
            return nextHovered ? TTabPiece::JunctionActiveHover : TTabPiece::JunctionActiveNormal;
        }
        if (next >= 0 && next == m_.tabIndex)
            return look == skin::kTabHover ? TTabPiece::JunctionHoverActive : TTabPiece::JunctionNormalActive;
        if (look == skin::kTabNormal) {
            if (nextHovered)
                return TTabPiece::JunctionNormalHover;
            return last ? TTabPiece::RightNormal : TTabPiece::JunctionNormalNormal;
        }
        return last ? TTabPiece::RightHover : TTabPiece::JunctionHoverNormal;
    }

    TCloseLook CloseLookOf(int tab, TTabLook look) const {
        if (scene_.hoverCode == codes::kFirstClose + tab) {
            if (scene_.pressState == codes::kPressDown)
                return TCloseLook::ButtonPressed;
            if (scene_.pressState == codes::kPressOverButton)
                return TCloseLook::ButtonHovered;
        }
        return look == skin::kTabActive  ? TCloseLook::TabActive
               : look == skin::kTabHover ? TCloseLook::TabHover
                                         : TCloseLook::TabNormal;
    }

    void PaintTab(QPainter& painter, int k) const {
        const int tab = g_.TabAt(k);
        const TTabLook look = LookOf(tab);
        const int h = m_.height;
        const int x = k * g_.Step();
        const int len = m_.maxTabLength;
        if (k == 0)
            Draw(painter, QRect(0, 0, kEnd, h), skin::LeftEndRect(look));
        Draw(painter, QRect(x + kEnd, 0, len - 2 * kEnd, h), skin::MiddleColumnRect(look));

        const bool closable = HasCloseButton(tab);
        const int closeRoom = closable ? kCloseSize : 0;
        const auto t = static_cast<std::size_t>(tab);
        const QString caption = t < scene_.captions.size() ? scene_.captions[t] : QString();
        const int textWidth = len - 2 * kEnd - closeRoom;
        const QString shown = FitTabCaption(caption, QFontMetrics(scene_.font), textWidth);
        if (!shown.isEmpty() && textWidth > 0) {
            painter.setFont(scene_.font);
            painter.setPen(scene_.textColor);
            painter.drawText(QRect(x + kEnd, 1, textWidth, h - 1),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        }

        Draw(painter, QRect(x + len - kEnd, 0, kEnd, h), skin::TabPieceRect(EndPiece(k)));
        if (closable)
            Draw(painter, QRect(x + len - 36, (h - kCloseSize) / 2, kCloseSize, kCloseSize),
                 skin::CloseButtonRect(CloseLookOf(tab, look)));
    }

    void PaintRow(QPainter& painter) const {
        const int rowWidth = g_.RowWidth();
        const int shown = std::min(g_.VisibleRowWidth(), rowWidth - m_.scrollOffset);
        if (rowWidth <= 0 || shown <= 0)
            return;
        QImage row = NewImage(rowWidth, m_.height);
        {
            QPainter rowPainter(&row);
            SmoothWhereScaled(rowPainter);
            for (int k = 0; k < g_.VisibleCount(); ++k)
                PaintTab(rowPainter, k);
        }
        const double ratio = std::max(1.0, scene_.ratio);
        painter.drawImage(QRectF(m_.listButtonWidth, 0, shown, m_.height), row,
                          QRectF(m_.scrollOffset * ratio, 0, shown * ratio, m_.height * ratio));
    }

    const TTabStripScene& scene_;
    const TTabStripGeometry& g_;
    const TTabStripMetrics& m_;
    const QImage& skin_;
};

} // namespace

QImage PaintTabStrip(const TTabStripScene& scene) {
    return TStripPainter(scene).Paint();
}

} // namespace qm
