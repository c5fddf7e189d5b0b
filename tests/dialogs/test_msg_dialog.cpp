#include "common/MsgDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <gtest/gtest.h>

using qm::CreateMsgDialog;
using qm::TMsgButton;
using qm::TMsgButtons;
using qm::TMsgForm;
using qm::TMsgKind;

namespace {

QPushButton* Button(const TMsgForm& form, const char* name) {
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
}

QLabel* Image(const TMsgForm& form) {
    return form.findChild<QLabel*>(QStringLiteral("Image"));
}
QLabel* Message(const TMsgForm& form) {
    return form.findChild<QLabel*>(QStringLiteral("Message"));
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
}

// Shows the dialog, presses a key on it and answers whether the dialog closed; result() then
// holds the modal result.
bool PressKeyClosesDialog(TMsgForm& form, int key) {
    form.show();
    SendKey(&form, key, Qt::NoModifier);
    return !form.isVisible();
}

QStringList DefaultButtonNames(const TMsgForm& form) {
    QStringList names;
    for (const QPushButton* b : form.findChildren<QPushButton*>())
        if (b->isDefault())
            names << b->objectName();
    return names;
}

std::string ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

} // namespace

TEST(MsgDialogButtons, YesAndNoOnlyDefaultToYesAndEscapePressesNo) {
    // Help is not in the set, so the rule picks Yes.
    auto form = CreateMsgDialog("继续吗？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No},
                                TMsgButton::Help);
    EXPECT_EQ(DefaultButtonNames(*form), QStringList{QStringLiteral("Yes")});
    EXPECT_EQ(form->CancelButton(), Button(*form, "No"));
    ASSERT_TRUE(PressKeyClosesDialog(*form, Qt::Key_Escape));
    EXPECT_EQ(form->result(), 7);

    auto again = CreateMsgDialog("继续吗？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No},
                                 TMsgButton::Help);
    ASSERT_TRUE(PressKeyClosesDialog(*again, Qt::Key_Return));
    EXPECT_EQ(again->result(), 6);
}

TEST(MsgDialogButtons, RequestedDefaultInTheSetWins) {
    auto form = CreateMsgDialog("删除吗？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No},
                                TMsgButton::No);
    EXPECT_EQ(DefaultButtonNames(*form), QStringList{QStringLiteral("No")});
    ASSERT_TRUE(PressKeyClosesDialog(*form, Qt::Key_Return));
    EXPECT_EQ(form->result(), 7);
}

TEST(MsgDialogButtons, SetsWithoutOkYesCancelOrNo) {
    // Retry present: it is the default; nothing answers Esc.
    auto retry =
        CreateMsgDialog("磁盘忙", TMsgKind::Error, {TMsgButton::Retry, TMsgButton::Ignore}, TMsgButton::Help);
    EXPECT_EQ(DefaultButtonNames(*retry), QStringList{QStringLiteral("Retry")});
    EXPECT_EQ(retry->CancelButton(), nullptr);
    EXPECT_FALSE(PressKeyClosesDialog(*retry, Qt::Key_Escape));
    retry->hide();

    // Neither Retry nor any of the others: no default button, no cancel button.
    auto abort =
        CreateMsgDialog("磁盘忙", TMsgKind::Error, {TMsgButton::Abort, TMsgButton::Ignore}, TMsgButton::Help);
    EXPECT_TRUE(DefaultButtonNames(*abort).isEmpty());
    EXPECT_EQ(abort->CancelButton(), nullptr);
    EXPECT_FALSE(PressKeyClosesDialog(*abort, Qt::Key_Escape));
    abort->hide();

    // OK next to Retry: OK is both the default and the button Esc presses.
    auto ok = CreateMsgDialog("磁盘忙", TMsgKind::Error,
                              {TMsgButton::OK, TMsgButton::Retry, TMsgButton::Ignore}, TMsgButton::Help);
    EXPECT_EQ(DefaultButtonNames(*ok), QStringList{QStringLiteral("OK")});
    ASSERT_TRUE(PressKeyClosesDialog(*ok, Qt::Key_Escape));
    EXPECT_EQ(ok->result(), 1);
}

TEST(MsgDialogButtons, EveryButtonHasItsNameCaptionAndModalResult) {
    struct TExpected {
        TMsgButton button;
        const char* name;
        const char* caption;
        int result;
    };
    const TExpected table[] = {
        {TMsgButton::Yes, "Yes", "是(&Y)", 6},
        {TMsgButton::No, "No", "否(&N)", 7},
        {TMsgButton::OK, "OK", "确认(&O)", 1},
        {TMsgButton::Cancel, "Cancel", "取消(&C)", 2},
        {TMsgButton::Abort, "Abort", "取消(&A)", 3},
        {TMsgButton::Retry, "Retry", "重试(&R)", 4},
        {TMsgButton::Ignore, "Ignore", "忽略(&I)", 5},
        {TMsgButton::All, "All", "全部(&A)", 8},
        {TMsgButton::NoToAll, "NoToAll", "全部取消(&O)", 9},
        {TMsgButton::YesToAll, "YesToAll", "全部应用(&A)", 10},
    };
    const auto all = TMsgButtons::FromBits(0x07ff);
    for (const TExpected& row : table) {
        SCOPED_TRACE(row.name);
        auto form = CreateMsgDialog("全部按钮", TMsgKind::Information, all, TMsgButton::OK);
        QPushButton* button = Button(*form, row.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), row.caption);
        form->show();
        button->click();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), row.result);
    }

    // Help has no modal result: the dialog stays open.
    auto form = CreateMsgDialog("全部按钮", TMsgKind::Information, all, TMsgButton::OK);
    QPushButton* help = Button(*form, "Help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->text().toStdString(), "帮助(&H)");
    form->show();
    help->click();
    EXPECT_TRUE(form->isVisible());
    form->hide();

    // Buttons stand in ordinal order, left to right, on one row, centred in the dialog.
    const QList<QPushButton*> buttons = form->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 11);
    for (int i = 1; i < buttons.size(); ++i) {
        EXPECT_GT(buttons[i]->x(), buttons[i - 1]->geometry().right());
        EXPECT_EQ(buttons[i]->y(), buttons[0]->y());
        EXPECT_EQ(buttons[i]->width(), buttons[0]->width());
    }
    const int rowCentre = (buttons.front()->x() + buttons.back()->x() + buttons.back()->width()) / 2;
    EXPECT_LE(std::abs(rowCentre - form->width() / 2), 1);
}

TEST(MsgDialogKinds, CaptionAndIconPerKind) {
    struct TExpected {
        TMsgKind kind;
        const char* caption;
        QStyle::StandardPixmap icon;
    };
    const TExpected table[] = {
        {TMsgKind::Warning, "警告", QStyle::SP_MessageBoxWarning},
        {TMsgKind::Error, "错误", QStyle::SP_MessageBoxCritical},
        {TMsgKind::Information, "提示", QStyle::SP_MessageBoxInformation},
        {TMsgKind::Confirmation, "询问", QStyle::SP_MessageBoxQuestion},
    };
    QList<QImage> images;
    for (const TExpected& row : table) {
        SCOPED_TRACE(row.caption);
        auto form = CreateMsgDialog("消息", row.kind, {TMsgButton::OK}, TMsgButton::OK);
        EXPECT_EQ(form->windowTitle().toStdString(), row.caption);
        const QLabel* image = Image(*form);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->geometry().size(), QSize(32, 32));
        const QImage shown = image->pixmap().toImage();
        const QImage expected = form->style()->standardIcon(row.icon).pixmap(32, 32).toImage();
        EXPECT_FALSE(shown.isNull());
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
                  expected.convertToFormat(QImage::Format_ARGB32));
        images << shown;
        // The text stands to the right of the icon.
        EXPECT_GT(Message(*form)->x(), image->geometry().right());
        EXPECT_EQ(image->y(), Message(*form)->y());
    }
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j]) << "kinds " << i << " and " << j << " show the same icon";
}

TEST(MsgDialogKinds, CustomShowsApplicationTitleNoIconAndTextAtLeftMargin) {
    const QString savedName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("税务工作台"));
    auto custom = CreateMsgDialog("自定义消息", TMsgKind::Custom, {TMsgButton::OK}, TMsgButton::OK);
    QGuiApplication::setApplicationDisplayName(savedName);

    EXPECT_EQ(custom->windowTitle(), QStringLiteral("税务工作台"));
    EXPECT_EQ(Image(*custom), nullptr);
    // The left margin is where an icon dialog puts its icon.
    auto info = CreateMsgDialog("自定义消息", TMsgKind::Information, {TMsgButton::OK}, TMsgButton::OK);
    ASSERT_NE(Image(*info), nullptr);
    EXPECT_EQ(Message(*custom)->x(), Image(*info)->x());
    EXPECT_EQ(Message(*custom)->y(), Image(*info)->y());
    EXPECT_LT(custom->width(), info->width());
}

TEST(MsgDialogLayout, LongMessageWrapsAtHalfTheScreenAndGrowsTheDialog) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    std::string longText;
    for (int i = 0; i < 120; ++i)
        longText += "增值税申报表 ";
    auto shortForm = CreateMsgDialog("短消息", TMsgKind::Warning, {TMsgButton::OK}, TMsgButton::OK);
    auto longForm = CreateMsgDialog(longText, TMsgKind::Warning, {TMsgButton::OK}, TMsgButton::OK);
    const QLabel* shortLabel = Message(*shortForm);
    const QLabel* longLabel = Message(*longForm);

    EXPECT_LE(longLabel->width(), screen.width() / 2);
    EXPECT_GT(longLabel->width(), screen.width() / 4);
    EXPECT_GT(longLabel->height(), 3 * shortLabel->height());
    EXPECT_GT(longForm->height(), shortForm->height());
    // The label has room for all of its wrapped lines.
    EXPECT_LE(longLabel->heightForWidth(longLabel->width()), longLabel->height());
    // Buttons sit below the text.
    EXPECT_GT(Button(*longForm, "OK")->y(), longLabel->geometry().bottom());
    EXPECT_LE(longForm->geometry().bottom(), screen.bottom());
}

TEST(MsgDialogLayout, DialogIsCentredOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto form =
        CreateMsgDialog("居中", TMsgKind::Information, {TMsgButton::OK, TMsgButton::Cancel}, TMsgButton::OK);
    const QPoint centre = form->pos() + QPoint(form->width() / 2, form->height() / 2);
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1);
}

TEST(MsgDialogLayout, RightToLeftMirrorsTextAndIconWithoutOverlap) {
    auto leftToRight = CreateMsgDialog("从右到左", TMsgKind::Information, {TMsgButton::OK}, TMsgButton::OK);
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    auto rightToLeft = CreateMsgDialog("从右到左", TMsgKind::Information, {TMsgButton::OK}, TMsgButton::OK);
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);

    const QRect image = Image(*rightToLeft)->geometry();
    const QRect text = Message(*rightToLeft)->geometry();
    const int width = rightToLeft->width();
    EXPECT_FALSE(image.intersects(text));
    // Each is where its left-to-right counterpart is, seen in a mirror.
    EXPECT_EQ(image.x(), width - Image(*leftToRight)->geometry().right() - 1);
    EXPECT_EQ(text.x(), width - Message(*leftToRight)->geometry().right() - 1);
}

TEST(MsgDialogCopy, CtrlCCopiesTheDialogTextWithoutAmpersands) {
    const std::string dashes = "---------------------------\r\n";
    const std::string expected =
        dashes + "询问\r\n" + dashes + "保存 R&D 报表？\r\n" + dashes + "是(Y)   否(N)   \r\n" + dashes;
    std::string withoutAmpersands = expected;
    std::erase(withoutAmpersands, '&');

    auto form = CreateMsgDialog("保存 R&D 报表？", TMsgKind::Confirmation, {TMsgButton::Yes, TMsgButton::No},
                                TMsgButton::Yes);
    form->show();

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    SendKey(form.get(), Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(ClipboardText(), withoutAmpersands);
    EXPECT_TRUE(form->isVisible());

    // The dialog sees the key before its focused button does.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    SendKey(Button(*form, "Yes"), Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(ClipboardText(), withoutAmpersands);

    // Ctrl must be held alone.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    SendKey(form.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(form.get(), Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    EXPECT_EQ(ClipboardText(), "before");
    form->hide();
}
