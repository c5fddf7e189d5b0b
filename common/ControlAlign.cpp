#include "common/ControlAlign.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace qm {

namespace {

const char* const kKeeperName = "qmAlignKeeper";

// Lives as a child object of the parent widget and lays out the parent's aligned controls.
class TAlignKeeper : public QObject {
public:
    explicit TAlignKeeper(QWidget* parent) : QObject(parent), parent_(parent) {
        setObjectName(QString::fromLatin1(kKeeperName));
        parent->installEventFilter(this);
    }

    static TAlignKeeper* Of(const QWidget* parent) {
        return dynamic_cast<TAlignKeeper*>(
            parent->findChild<QObject*>(QString::fromLatin1(kKeeperName), Qt::FindDirectChildrenOnly));
    }

    // A minimum (scrolling client alignment) applies to alClient only.
    void Set(QWidget* control, TAlign align, QSize minimum = QSize()) {
        Forget(control);
        if (align == alNone)
            return;
        entries_.push_back({control, align, minimum});
        control->installEventFilter(this);
        Realign();
    }

    void Forget(QWidget* control) {
        const auto removed =
            std::erase_if(entries_, [control](const TEntry& e) { return e.control == control; });
        if (removed > 0)
            control->removeEventFilter(this);
    }

    TAlign AlignOf(const QWidget* control) const {
        for (const TEntry& e : entries_)
            if (e.control == control)
                return e.align;
        return alNone;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (aligning_)
            return false;
        if (watched == parent_) {
            if (event->type() == QEvent::Resize)
                Realign();
            // The wheel over a scrolling control that does not take it scrolls the room.
            if (QScrollBar* bar = vertical_.data();
                event->type() == QEvent::Wheel && bar != nullptr && bar->isVisible())
                return QCoreApplication::sendEvent(bar, event);
            return false;
        }
        switch (event->type()) {
        case QEvent::ParentChange:
            if (auto* control = qobject_cast<QWidget*>(watched);
                control && control->parentWidget() != parent_) {
                Forget(control);
                Realign();
            }
            break;
        case QEvent::Resize:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            Realign();
            break;
        default:
            break;
        }
        return false;
    }

private:
    struct TEntry {
        QPointer<QWidget> control;
        TAlign align;
        QSize minimum; // valid for a scrolling client control
    };

    // The scroll bars of the parent, made when first needed; owned by the parent widget.
    QScrollBar& Bar(QPointer<QScrollBar>& bar, Qt::Orientation orientation) {
        if (!bar) {
            bar = std::make_unique<QScrollBar>(orientation, parent_).release();
            bar->setObjectName(
                QString::fromLatin1(orientation == Qt::Horizontal ? "qmAlignHScroll" : "qmAlignVScroll"));
            bar->setFocusPolicy(Qt::NoFocus);
            bar->hide();
            QObject::connect(bar.data(), &QScrollBar::valueChanged, this, [this] {
                if (!aligning_)
                    Realign();
            });
        }
        return *bar;
    }

    // Shows bar at area with the range that moves content over page, or hides it.
    void PlaceBar(QPointer<QScrollBar>& bar, Qt::Orientation orientation, const QRect& area, int content,
                  int page) {
        if (content <= page) {
            if (bar) {
                bar->setRange(0, 0);
                bar->hide();
            }
            return;
        }
        QScrollBar& shown = Bar(bar, orientation);
        shown.setRange(0, content - page);
        shown.setPageStep(page);
        shown.setSingleStep(20);
        shown.setGeometry(area);
        shown.show();
        shown.raise();
    }

    // The room left for client controls: scroll bars take their part of it when the scrolling
    // controls need more than there is. Answers the room that the controls show in.
    QRect PlaceScrollBars(const QRect& room) {
        QSize needed(0, 0);
        bool scrolling = false;
        for (const TEntry& e : entries_) {
            if (e.align != alClient || !e.minimum.isValid())
                continue;
            scrolling = true;
            if (const QWidget* c = e.control.data(); c != nullptr && !c->isHidden())
                needed = needed.expandedTo(e.minimum);
        }
        if (!scrolling) {
            // Gone with the last control that scrolled: the parent's first child stays its control.
            for (QPointer<QScrollBar>* bar : {&horizontal_, &vertical_})
                if (*bar)
                    std::exchange(*bar, nullptr)->deleteLater();
            return room;
        }
        const int extent = parent_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, parent_);
        int width = room.width();
        int height = room.height();
        bool horizontal = needed.width() > width;
        bool vertical = needed.height() > height;
        if (horizontal)
            height -= extent;
        if (vertical)
            width -= extent;
        // One bar can make room for the other necessary.
        if (!horizontal && vertical && needed.width() > width) {
            horizontal = true;
            height -= extent;
        }
        if (!vertical && horizontal && needed.height() > height) {
            vertical = true;
            width -= extent;
        }
        width = std::max(0, width);
        height = std::max(0, height);
        PlaceBar(horizontal_, Qt::Horizontal, QRect(room.left(), room.top() + height, width, extent),
                 horizontal ? needed.width() : 0, width);
        PlaceBar(vertical_, Qt::Vertical, QRect(room.left() + width, room.top(), extent, height),
                 vertical ? needed.height() : 0, height);
        return QRect(room.topLeft(), QSize(width, height));
    }

    void Realign() {
        std::erase_if(entries_, [](const TEntry& e) { return e.control.isNull(); });
        aligning_ = true;
        const QRect client = parent_->contentsRect();
        int left = client.left();
        int top = client.top();
        int right = left + client.width(); // exclusive
        int bottom = top + client.height();
        for (const TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
            if (pass == alClient) {
                const QRect shown =
                    PlaceScrollBars(QRect(left, top, std::max(0, right - left), std::max(0, bottom - top)));
                right = shown.right() + 1;
                bottom = shown.bottom() + 1;
            }
            for (const TEntry& e : entries_) {
                QWidget* c = e.control.data();
                if (e.align != pass || c->isHidden())
                    continue;
                const int width = std::max(0, right - left);
                const int height = std::max(0, bottom - top);
                if (pass == alClient && e.minimum.isValid()) {
                    const int dx = horizontal_ ? horizontal_->value() : 0;
                    const int dy = vertical_ ? vertical_->value() : 0;
                    c->setGeometry(left - dx, top - dy, std::max(width, e.minimum.width()),
                                   std::max(height, e.minimum.height()));
                    continue;
                }
                switch (pass) {
                case alTop:
                    c->setGeometry(left, top, width, c->height());
                    top += c->height();
                    break;
                case alBottom:
                    bottom -= c->height();
                    c->setGeometry(left, bottom, width, c->height());
                    break;
                case alLeft:
                    c->setGeometry(left, top, c->width(), height);
                    left += c->width();
                    break;
                case alRight:
                    right -= c->width();
                    c->setGeometry(right, top, c->width(), height);
                    break;
                default:
                    c->setGeometry(left, top, width, height);
                    break;
                }
            }
        }
        aligning_ = false;
    }

    QWidget* parent_;
    std::vector<TEntry> entries_;
    QPointer<QScrollBar> horizontal_;
    QPointer<QScrollBar> vertical_;
    bool aligning_ = false;
};

} // namespace

namespace {

void Align(QWidget* control, TAlign align, QSize minimum) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr)
        return;
    TAlignKeeper* keeper = TAlignKeeper::Of(parent);
    if (keeper == nullptr) {
        if (align == alNone)
            return;
        // Owned by the parent widget (a QObject child), so it goes away with it.
        keeper = std::make_unique<TAlignKeeper>(parent).release();
    }
    keeper->Set(control, align, minimum);
}

} // namespace

void SetControlAlign(QWidget* control, TAlign align) {
    Align(control, align, QSize());
}

void SetScrollingClientAlign(QWidget* control, QSize minimum) {
    Align(control, alClient, minimum.expandedTo(QSize(0, 0)));
}

TAlign ControlAlign(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    const TAlignKeeper* keeper = parent != nullptr ? TAlignKeeper::Of(parent) : nullptr;
    return keeper != nullptr ? keeper->AlignOf(control) : alNone;
}

} // namespace qm
