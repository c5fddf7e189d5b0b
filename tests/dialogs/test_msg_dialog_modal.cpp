#include "common/MsgDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using qm::MsgDlg;
using qm::TMsgButton;
using qm::TMsgForm;
using qm::TMsgKind;

namespace {

// Runs action on the modal dialog once exec has shown it. Should the action leave the dialog
// open, it is closed with -1 after a while so that the test fails instead of hanging.
void WhenModal(std::function<void(TMsgForm&)> action) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, action] {
        auto* form = qobject_cast<TMsgForm*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            QTimer::singleShot(10, *poll);
            return;
        }
        action(*form);
        // Tied to the dialog: the timer goes away with it.
        QTimer::singleShot(5000, form, [form] {
            if (form->isVisible())
                form->done(-1);
        });
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

TEST(MsgDlgModal, AnswersThePressedButtonsModalResult) {
    WhenModal([](TMsgForm& form) { form.findChild<QPushButton*>(QStringLiteral("No"))->click(); });
    EXPECT_EQ(MsgDlg("保存修改吗？", TMsgKind::Confirmation,
                     {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel}, TMsgButton::Yes),
              7);

    WhenModal([](TMsgForm& form) { form.findChild<QPushButton*>(QStringLiteral("Retry"))->click(); });
    EXPECT_EQ(MsgDlg("网络不通", TMsgKind::Error, {TMsgButton::Abort, TMsgButton::Retry}, TMsgButton::Retry),
              4);
}

TEST(MsgDlgModal, ClosedFromTheTitleBarAnswersCancel) {
    // Even without a Cancel button in the set.
    WhenModal([](TMsgForm& form) { form.close(); });
    EXPECT_EQ(
        MsgDlg("保存修改吗？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No}, TMsgButton::Yes),
        2);
}

TEST(MsgDlgModal, EscapeDuringExecPressesTheCancelButton) {
    WhenModal([](TMsgForm& form) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&form, &escape);
    });
    EXPECT_EQ(
        MsgDlg("保存修改吗？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No}, TMsgButton::Yes),
        7);
}

TEST(MsgDlgModal, ShowInfoIsAnInformationDialogWithOk) {
    QString title;
    QStringList buttons;
    bool hasImage = false;
    QString text;
    WhenModal([&](TMsgForm& form) {
        title = form.windowTitle();
        for (const QPushButton* b : form.findChildren<QPushButton*>())
            buttons << b->objectName();
        hasImage = form.findChild<QLabel*>(QStringLiteral("Image")) != nullptr;
        text = form.findChild<QLabel*>(QStringLiteral("Message"))->text();
        form.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
    qm::ShowInfo("程序已经在运行");
    EXPECT_EQ(title, QStringLiteral("提示"));
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(hasImage);
    EXPECT_EQ(text, QStringLiteral("程序已经在运行"));
}
