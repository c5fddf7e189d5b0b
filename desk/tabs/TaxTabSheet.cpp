#include "desk/tabs/TaxTabSheet.h"

#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "corvane/HandleTable.h"

#include <QEvent>
#include <QPainter>

namespace qm {

TTaxTabSheet::TTaxTabSheet(QWidget* parent) : QWidget(parent) {
    corvane::Handles().Register(static_cast<const QWidget*>(this),
                                corvane::kHandleControl | corvane::kHandlePage);
    if (auto* pageControl = qobject_cast<TTaxPageControl*>(parent))
        pageControl->InsertPage(0, *this);
}

TTaxTabSheet::~TTaxTabSheet() {
    if (pageControl_ != nullptr)
        pageControl_->DetachPage(*this);
    corvane::Handles().Unregister(static_cast<const QWidget*>(this));
}

std::int32_t TTaxTabSheet::Handle() const noexcept {
    return corvane::Handles().HandleOf(static_cast<const QWidget*>(this));
}

void TTaxTabSheet::SetPageIndex(int index) {
    if (pageControl_ != nullptr)
        pageControl_->MovePage(*this, index);
}

void TTaxTabSheet::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (pageControl_ != nullptr)
        pageControl_->PageCaptionChanged();
}

bool TTaxTabSheet::TabVisible() const {
    if (pageControl_ == nullptr)
        return tabVisible_;
    return pageControl_->TopPanel().TabVisible(pageIndex_);
}

void TTaxTabSheet::SetTabVisible(bool visible) {
    tabVisible_ = visible;
    if (pageControl_ != nullptr)
        pageControl_->PageTabVisibilityChanged(*this, visible);
}

void TTaxTabSheet::SetBtnCloseVisible(bool visible) {
    btnCloseVisible_ = visible;
    if (pageControl_ != nullptr)
        pageControl_->PageCloseButtonChanged(*this);
}

bool TTaxTabSheet::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        auto* newControl = qobject_cast<TTaxPageControl*>(parentWidget());
        if (pageControl_ != nullptr && pageControl_ != newControl)
            pageControl_->DetachPage(*this);
        if (newControl != nullptr && pageControl_ == nullptr)
            newControl->InsertPage(0, *this);
    }
    return QWidget::event(event);
}

void TTaxTabSheet::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (pageControl_ != nullptr)
        pageControl_->PaintPageBackground(painter, rect());
    else
        painter.fillRect(rect(), Qt::white);
}

} // namespace qm
