#include "common/Shell.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

using qm::EmbedControl;
using qm::EmbedForm;

namespace {

std::unique_ptr<QWidget> ShownParent(int width, int height) {
    auto parent = std::make_unique<QWidget>();
    parent->resize(width, height);
    parent->show();
    return parent;
}

// A child widget of the given size, owned by owner until it is embedded elsewhere.
QWidget* Panel(QWidget* owner, int width, int height) {
    auto panel = std::make_unique<QWidget>(owner);
    panel->resize(width, height);
    return panel.release();
}

} // namespace

TEST(EmbedForm, DocksTheFormFramelessFillingAndFollowingTheParent) {
    auto parent = ShownParent(400, 300);
    auto form = std::make_unique<QScrollArea>();
    form->setWindowTitle(QStringLiteral("发票查询"));
    form->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    form->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ASSERT_NE(form->frameShape(), QFrame::NoFrame);

    EmbedForm(form.get(), parent.get());
    QScrollArea* docked = form.release(); // the parent owns it now
    EXPECT_EQ(docked->parentWidget(), parent.get());
    EXPECT_FALSE(docked->isWindow());
    EXPECT_TRUE(docked->isVisible());
    EXPECT_EQ(docked->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(docked->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(docked->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(docked->geometry(), parent->rect());

    parent->resize(640, 480);
    EXPECT_EQ(docked->geometry(), parent->rect());
    parent->setContentsMargins(5, 6, 7, 8);
    parent->resize(600, 400);
    EXPECT_EQ(docked->geometry(), parent->contentsRect());
}

// The parent's visible scroll bar of that orientation, or null.
QScrollBar* ShownBar(const QWidget& parent, Qt::Orientation orientation) {
    for (QScrollBar* bar : parent.findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly))
        if (bar->orientation() == orientation && bar->isVisible())
            return bar;
    return nullptr;
}

TEST(EmbedForm, PlainFormLargerThanItsParentKeepsItsSizeAndTheParentScrollsIt) {
    auto parent = ShownParent(400, 300);
    const int bar = parent->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, parent.get());
    auto form = std::make_unique<QWidget>();
    form->resize(600, 450);
    auto* corner = std::make_unique<QLineEdit>(form.get()).release(); // owned by the form
    corner->setGeometry(540, 420, 50, 20);

    EmbedForm(form.get(), parent.get());
    QWidget* docked = form.release(); // the parent owns it now
    EXPECT_EQ(docked->parentWidget(), parent.get());
    EXPECT_EQ(docked->size(), QSize(600, 450));
    QScrollBar* horizontal = ShownBar(*parent, Qt::Horizontal);
    QScrollBar* vertical = ShownBar(*parent, Qt::Vertical);
    ASSERT_NE(horizontal, nullptr);
    ASSERT_NE(vertical, nullptr);
    const QRect room(0, 0, 400 - bar, 300 - bar);
    EXPECT_EQ(horizontal->geometry(), QRect(0, room.height(), room.width(), bar));
    EXPECT_EQ(vertical->geometry(), QRect(room.width(), 0, bar, room.height()));
    EXPECT_EQ(horizontal->maximum(), 600 - room.width());
    EXPECT_EQ(vertical->maximum(), 450 - room.height());
    EXPECT_FALSE(room.contains(corner->geometry().translated(docked->pos())));

    // Scrolled to the end, the far corner of the form shows.
    horizontal->setValue(horizontal->maximum());
    vertical->setValue(vertical->maximum());
    EXPECT_EQ(docked->pos(), QPoint(room.width() - 600, room.height() - 450));
    EXPECT_TRUE(room.contains(corner->geometry().translated(docked->pos())));
    // The wheel the form does not take (Qt passes it on to the parent) scrolls it too.
    const QPointF over(100, 100);
    QWheelEvent wheel(over, parent->mapToGlobal(over), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(parent.get(), &wheel);
    EXPECT_LT(vertical->value(), vertical->maximum());
    EXPECT_EQ(docked->y(), -vertical->value());

    // With room enough the form fills its parent again, without scroll bars.
    parent->resize(700, 500);
    EXPECT_EQ(docked->geometry(), parent->rect());
    EXPECT_EQ(ShownBar(*parent, Qt::Horizontal), nullptr);
    EXPECT_EQ(ShownBar(*parent, Qt::Vertical), nullptr);
    // Too low only: one bar, and the form as wide as the room beside it.
    parent->resize(600 + bar + 10, 400);
    EXPECT_EQ(ShownBar(*parent, Qt::Horizontal), nullptr);
    ASSERT_NE(ShownBar(*parent, Qt::Vertical), nullptr);
    EXPECT_EQ(docked->size(), QSize(610, 450));
    // As wide as designed, the vertical bar takes room the width needs: both bars.
    parent->resize(600, 400);
    EXPECT_NE(ShownBar(*parent, Qt::Horizontal), nullptr);

    // Docked elsewhere it keeps the size it was designed with, not the one its last parent gave it;
    // the parent it left loses its scroll bars.
    auto small = ShownParent(300, 200);
    EmbedForm(docked, small.get());
    EXPECT_EQ(docked->size(), QSize(600, 450));
    EXPECT_NE(ShownBar(*small, Qt::Horizontal), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(parent->findChildren<QScrollBar*>().isEmpty());
}

TEST(EmbedForm, PlainFormThatFitsFillsItsParentWithoutScrollBars) {
    auto parent = ShownParent(400, 300);
    auto form = std::make_unique<QWidget>();
    form->resize(300, 200);
    EmbedForm(form.get(), parent.get());
    QWidget* docked = form.release(); // the parent owns it now
    EXPECT_EQ(docked->geometry(), parent->rect());
    EXPECT_TRUE(parent->findChildren<QScrollBar*>().isEmpty());
    parent->resize(320, 220);
    EXPECT_EQ(docked->geometry(), parent->rect());
    EXPECT_TRUE(parent->findChildren<QScrollBar*>().isEmpty());
}

TEST(EmbedControl, AlignsControlsLikeTheDesktopFramework) {
    auto parent = ShownParent(400, 300);
    auto owner = std::make_unique<QWidget>();
    QWidget* top = Panel(owner.get(), 10, 40);
    QWidget* bottom = Panel(owner.get(), 10, 30);
    QWidget* left = Panel(owner.get(), 50, 10);
    QWidget* right = Panel(owner.get(), 60, 10);
    QWidget* client = Panel(owner.get(), 10, 10);
    QWidget* loose = Panel(owner.get(), 25, 15);
    loose->move(7, 9);

    // Given out of order on purpose: top and bottom take the full width before left and right.
    EmbedControl(client, parent.get(), qm::alClient);
    EmbedControl(left, parent.get(), qm::alLeft);
    EmbedControl(top, parent.get(), qm::alTop);
    EmbedControl(right, parent.get(), qm::alRight);
    EmbedControl(bottom, parent.get(), qm::alBottom);
    EmbedControl(loose, parent.get(), qm::alNone);

    for (QWidget* w : {top, bottom, left, right, client, loose}) {
        EXPECT_EQ(w->parentWidget(), parent.get());
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_EQ(top->geometry(), QRect(0, 0, 400, 40));
    EXPECT_EQ(bottom->geometry(), QRect(0, 270, 400, 30));
    EXPECT_EQ(left->geometry(), QRect(0, 40, 50, 230));
    EXPECT_EQ(right->geometry(), QRect(340, 40, 60, 230));
    EXPECT_EQ(client->geometry(), QRect(50, 40, 290, 230));
    EXPECT_EQ(loose->geometry(), QRect(7, 9, 25, 15));
    EXPECT_EQ(qm::ControlAlign(client), qm::alClient);

    parent->resize(500, 400);
    EXPECT_EQ(bottom->geometry(), QRect(0, 370, 500, 30));
    EXPECT_EQ(client->geometry(), QRect(50, 40, 390, 330));
    EXPECT_EQ(loose->geometry(), QRect(7, 9, 25, 15));

    // A hidden control takes no room; a resized one takes its new room.
    top->hide();
    EXPECT_EQ(client->geometry(), QRect(50, 0, 390, 370));
    left->resize(80, left->height());
    EXPECT_EQ(client->geometry(), QRect(80, 0, 360, 370));

    // Taken away to another parent, a control no longer counts here.
    auto other = ShownParent(100, 100);
    EmbedControl(right, other.get(), qm::alNone);
    EXPECT_EQ(client->geometry(), QRect(80, 0, 420, 370));
    EXPECT_EQ(qm::ControlAlign(right), qm::alNone);
}

TEST(EmbedControl, KeepsTheControlsVisibility) {
    auto parent = ShownParent(200, 100);
    auto owner = std::make_unique<QWidget>();
    QWidget* hidden = Panel(owner.get(), 10, 10);
    hidden->hide();
    EmbedControl(hidden, parent.get(), qm::alClient);
    EXPECT_TRUE(hidden->isHidden());
    hidden->show();
    EXPECT_EQ(hidden->geometry(), parent->rect());
}

TEST(EmbedControl, ShowsAControlThatWasNeverShownOrHidden) {
    auto parent = ShownParent(200, 100);
    auto loose = std::make_unique<QWidget>(); // a plug-in's control created without a parent
    EmbedControl(loose.get(), parent.get(), qm::alClient);
    QWidget* control = loose.release(); // the parent owns it now
    EXPECT_FALSE(control->isHidden());
    EXPECT_TRUE(control->isVisible());
    EXPECT_EQ(control->parentWidget(), parent.get());
}
