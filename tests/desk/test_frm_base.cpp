// Keyboard navigation of the base form: Enter moves on, Up and Down move through the tab order,
// modifiers and a form without an active control get the normal key handling.
#include "corvane/HandleTable.h"
#include "desk/FrmBase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace qm {
namespace {

void ProcessEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Delivers a key press the way the event loop does; true when something accepted it.
bool PressKey(QWidget& target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&target, &event);
    ProcessEvents();
    return event.isAccepted();
}

class FrmBaseKeys : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i)
            edits[i].setGeometry(10, 10 + 30 * i, 200, 24);
        label.setGeometry(10, 100, 200, 24);
        form.show();
        form.activateWindow();
        ProcessEvents();
        edits[0].setFocus();
        ProcessEvents();
        ASSERT_EQ(form.focusWidget(), &edits[0]);
    }

    // Tab order is the order of creation; the label takes no focus.
    TFrmBase form;
    QLineEdit edits[3] = {QLineEdit(&form), QLineEdit(&form), QLineEdit(&form)};
    QLabel label{"not a tab stop", &form};
};

TEST(FrmBase, FormResource) {
    TFrmBase form;
    EXPECT_EQ(form.windowTitle(), QString("基类窗"));
    EXPECT_EQ(form.objectName(), QString("FrmBase"));
    EXPECT_EQ(form.size(), QSize(696, 480));
}

TEST_F(FrmBaseKeys, EnterMovesTheFocusToTheNextControl) {
    int returns = 0;
    QObject::connect(&edits[0], &QLineEdit::returnPressed, [&returns] { ++returns; });
    PressKey(edits[0], Qt::Key_Return);
    EXPECT_EQ(form.focusWidget(), &edits[1]);
    EXPECT_EQ(returns, 0) << "the control saw the Enter key";
    PressKey(edits[1], Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form.focusWidget(), &edits[2]);
}

TEST_F(FrmBaseKeys, DownAndUpMoveThroughTheTabStops) {
    PressKey(edits[0], Qt::Key_Down);
    EXPECT_EQ(form.focusWidget(), &edits[1]);
    PressKey(edits[1], Qt::Key_Down);
    EXPECT_EQ(form.focusWidget(), &edits[2]);
    PressKey(edits[2], Qt::Key_Up);
    EXPECT_EQ(form.focusWidget(), &edits[1]);
    PressKey(edits[1], Qt::Key_Up);
    EXPECT_EQ(form.focusWidget(), &edits[0]);
}

TEST_F(FrmBaseKeys, KeysWithShiftCtrlOrAltAreProcessedNormally) {
    int returns = 0;
    QObject::connect(&edits[0], &QLineEdit::returnPressed, [&returns] { ++returns; });
    PressKey(edits[0], Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(form.focusWidget(), &edits[0]);
    EXPECT_EQ(returns, 1);
    PressKey(edits[0], Qt::Key_Down, Qt::ControlModifier);
    PressKey(edits[0], Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(form.focusWidget(), &edits[0]);
}

TEST_F(FrmBaseKeys, OtherKeysReachTheControl) {
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(&edits[0], &typed);
    EXPECT_EQ(edits[0].text(), QString("a"));
    EXPECT_EQ(form.focusWidget(), &edits[0]);
}

TEST(FrmBase, WithoutAnActiveControlKeysGetTheNormalProcessing) {
    TFrmBase form;
    QLabel label("no tab stop", &form);
    form.show();
    form.activateWindow();
    ProcessEvents();
    ASSERT_EQ(form.focusWidget(), nullptr);
    // The form's own handling leaves these keys unused.
    EXPECT_FALSE(PressKey(form, Qt::Key_Return));
    EXPECT_FALSE(PressKey(form, Qt::Key_Down));
    EXPECT_FALSE(PressKey(form, Qt::Key_Up));
}

TEST(FrmBase, EmbeddedFormLeavesTheKeysToItsControls) {
    QWidget window;
    TFrmBase form(&window);
    QLineEdit first(&form);
    QLineEdit second(&form);
    second.move(0, 40);
    int returns = 0;
    QObject::connect(&first, &QLineEdit::returnPressed, [&returns] { ++returns; });
    window.show();
    window.activateWindow();
    ProcessEvents();
    first.setFocus();
    ProcessEvents();
    PressKey(first, Qt::Key_Return);
    PressKey(first, Qt::Key_Down);
    EXPECT_EQ(window.focusWidget(), &first);
    EXPECT_EQ(returns, 1);
}

TEST(FrmBase, FormLeavesTheHandleTableWhenDestroyed) {
    std::int32_t handle = 0;
    {
        TFrmBase form;
        handle = corvane::Handles().Register(static_cast<QWidget*>(&form),
                                             corvane::kHandleForm | corvane::kHandleControl);
        EXPECT_TRUE(corvane::Handles().IsLive(handle));
    }
    EXPECT_FALSE(corvane::Handles().IsLive(handle));
}

} // namespace
} // namespace qm
