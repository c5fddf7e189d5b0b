#include "common/ControlAlign.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <memory>
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

    void Set(QWidget* control, TAlign align) {
        Forget(control);
        if (align == alNone)
            return;
        entries_.push_back({control, align});
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
    };

    void Realign() {
        std::erase_if(entries_, [](const TEntry& e) { return e.control.isNull(); });
        aligning_ = true;
        const QRect client = parent_->contentsRect();
        int left = client.left();
        int top = client.top();
        int right = left + client.width(); // exclusive
        int bottom = top + client.height();
        for (const TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
            for (const TEntry& e : entries_) {
                QWidget* c = e.control.data();
                if (e.align != pass || c->isHidden())
                    continue;
                const int width = std::max(0, right - left);
                const int height = std::max(0, bottom - top);
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
    bool aligning_ = false;
};

} // namespace

void SetControlAlign(QWidget* control, TAlign align) {
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
    keeper->Set(control, align);
}

TAlign ControlAlign(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    const TAlignKeeper* keeper = parent != nullptr ? TAlignKeeper::Of(parent) : nullptr;
    return keeper != nullptr ? keeper->AlignOf(control) : alNone;
}

} // namespace qm
