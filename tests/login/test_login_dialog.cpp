// The login dialog under Qt's offscreen platform: tips and their colours, key filters, field
// limits, focus, the login button's messages and the remembered users.
#include "common/MsgDialog.h"
#include "login/FrmLogin.h"
#include "login/UserList.h"
#include "login/UserMenu.h"
#include "tests/login/LoginTestSupport.h"
#include "tests/support/AccessibleActions.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using qm::TfrmLogin;

const QColor kHint(0x6A, 0xB5, 0xFF);
const QColor kAccepted(0x00, 0x60, 0x00);
const QColor kRejected(0xFF, 0x6A, 0x6A);

// Types text into the widget one character at a time, as a keyboard (or an input method) would.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const int key = c.unicode() < 128 ? QChar(c).toUpper().unicode() : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override { std::remove(login_test::UsersPath().c_str()); }
    void TearDown() override { std::remove(login_test::UsersPath().c_str()); }

    void Open(int layout) {
        dialog_.ShowLayout(layout);
        dialog_.show();
        dialog_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }
    template <class T = QLineEdit> T* Child(const char* name) {
        T* child = dialog_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString TipText(const char* name) { return Child<QLabel>(name)->text(); }
    QColor TipColour(const char* name) { return Child<QLabel>(name)->palette().color(QPalette::WindowText); }

    // Clicks the button and answers the text of the message it shows (closing it); "" when none.
    QString MessageAfterClick(QPushButton* button) {
        QString message;
        const login_test::TModalWatcher closing([&message](QWidget* modal) {
            if (auto* form = qobject_cast<qm::TMsgForm*>(modal))
                message = form->Message()->text();
            modal->close();
        });
        button->click();
        return message;
    }

    TfrmLogin dialog_;
};

TEST_F(LoginDialogTest, EveryFieldCheckShowsItsTipInItsColour) {
    Open(TfrmLogin::kLayoutRegister);
    struct TCase {
        const char* field;
        const char* text;
        const char* password; // what the password field holds meanwhile
        const char* tip;
        const char* expected;
        QColor colour;
    };
    const TCase cases[] = {
        {"edtSignUser", "", "", "lblUserTip", "用户名不能为空", kRejected},
        {"edtSignUser", "abc", "", "lblUserTip", "用户名最少4个字符，最长20个字符", kRejected},
        {"edtSignUser", "  Abcd ", "", "lblUserTip", "", kAccepted},
        {"edtNewPwd", "", "", "lblPwdTip", "请输入密码", kRejected},
        {"edtNewPwd", "abcde", "", "lblPwdTip", "密码最少6个字符，最长20个字符", kRejected},
        {"edtNewPwd", " abcdef ", "", "lblPwdTip", "", kAccepted},
        {"edtNewPwd2", "", "abcdef", "lblPwd2Tip", "请输入确认密码", kRejected},
        {"edtNewPwd2", "abcdeg", "abcdef", "lblPwd2Tip", "两次输入的密码不相同", kRejected},
        // Both are lower-cased before they are compared.
        {"edtNewPwd2", "ABCDEF", "abcdef", "lblPwd2Tip", "", kAccepted},
        {"edtMail", "", "", "lblMailTip", "请输入电子邮件地址", kRejected},
        {"edtMail", "me@example", "", "lblMailTip", "请输入正确的电子邮件地址", kRejected},
        {"edtMail", "Me@Example.cn", "", "lblMailTip", "", kAccepted},
    };
    QLineEdit* password = Child("edtNewPwd");
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " \"" + c.text + "\"");
        QLineEdit* field = Child(c.field);
        if (field != password)
            password->setText(QString::fromUtf8(c.password));
        field->setText(QString::fromUtf8(c.text));
        // Leaving the field checks it; entering it shows its hint.
        dialog_.findChild<QPushButton*>(QStringLiteral("btnUnSign"))->setFocus(Qt::TabFocusReason);
        field->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(TipColour(c.tip), kHint);
        EXPECT_FALSE(TipText(c.tip).isEmpty());
        Child<QPushButton>("btnUnSign")->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(TipText(c.tip).toStdString(), c.expected);
        EXPECT_EQ(TipColour(c.tip), c.colour);
    }
}

TEST_F(LoginDialogTest, AShortUserNameIsRejectedOnLeavingAndAgainOnRegister) {
    Open(TfrmLogin::kLayoutRegister);
    EXPECT_EQ(TipText("lblUserTip"), QStringLiteral("用户名由4-20个英文字母或数字组成"));
    EXPECT_EQ(Child<QLabel>("lblSignHint")->text(), QStringLiteral("请填写注册信息"));
    QTest::keyClicks(Child("edtSignUser"), QStringLiteral("abc"));
    Child("edtNewPwd")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(TipText("lblUserTip"), QStringLiteral("用户名最少4个字符，最长20个字符"));
    EXPECT_EQ(TipColour("lblUserTip"), kRejected);

    Child("edtNewPwd")->setText(QStringLiteral("abcdef"));
    Child("edtNewPwd2")->setText(QStringLiteral("abcdef"));
    Child("edtMail")->setText(QStringLiteral("me@example.cn"));
    Child("edtNewPwd")->setFocus(Qt::TabFocusReason); // shows the password's hint again
    Child<QLabel>("lblUserTip")->clear();
    Child<QPushButton>("btnSign")->click();
    EXPECT_EQ(Child<QLabel>("lblSignHint")->text(), QStringLiteral("用户名有误，请参照提示修改。"));
    EXPECT_EQ(TipText("lblUserTip"), QStringLiteral("用户名最少4个字符，最长20个字符"));
    EXPECT_EQ(TipColour("lblUserTip"), kRejected);
    EXPECT_EQ(dialog_.result(), 0);
}

TEST_F(LoginDialogTest, KeyFiltersLimitsAndFocus) {
    Open(TfrmLogin::kLayoutLogin);
    EXPECT_EQ(dialog_.focusWidget(), Child("edtUser"));
    Type(Child("edtUser"), QStringLiteral("Ab_9-+.中 @x"));
    EXPECT_EQ(Child("edtUser")->text().toStdString(), "Ab_9x");
    // Fifteen characters (more than the form once allowed) and the limit of twenty.
    QTest::keyClicks(Child("edtPassWord"), QStringLiteral("Pass-word 12345"));
    EXPECT_EQ(Child("edtPassWord")->text().toStdString(), "Pass-word 12345");
    QTest::keyClicks(Child("edtPassWord"), QStringLiteral("678901"));
    EXPECT_EQ(Child("edtPassWord")->text().size(), 20);
    // Down and Up move between the fields.
    QTest::keyClick(Child("edtUser"), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), Child("edtPassWord"));
    QTest::keyClick(Child("edtPassWord"), Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), Child("edtUser"));
    // With Shift, Ctrl or Alt held the keys are the field's own, as on every data-entry form.
    for (const Qt::KeyboardModifier held : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(Child("edtUser"), Qt::Key_Down, held);
        EXPECT_EQ(QApplication::focusWidget(), Child("edtUser")) << held;
    }

    dialog_.ShowLayout(TfrmLogin::kLayoutRegister);
    EXPECT_EQ(dialog_.focusWidget(), Child("edtSignUser"));
    for (const char* name : {"edtNewPwd", "edtNewPwd2"}) {
        QTest::keyClicks(Child(name), QStringLiteral("abcdefghij12345"));
        EXPECT_EQ(Child(name)->text().toStdString(), "abcdefghij12345") << name;
    }
    Type(Child("edtMail"), QStringLiteral("税a@b.cn"));
    EXPECT_EQ(Child("edtMail")->text().toStdString(), "a@b.cn");
    QTest::keyClick(Child("edtMail"), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != Child("edtMail"); }, 5000));
}

TEST_F(LoginDialogTest, LoginButtonMessages) {
    Open(TfrmLogin::kLayoutLogin);
    struct TCase {
        const char* user;
        const char* password;
        const char* message;
        const char* focused;
    };
    const TCase cases[] = {
        {"  ", "secret", "用户名不能为空！", "edtUser"},
        {"alice", "   ", "请输入密码！", "edtPassWord"},
        // The account service is not installed here: its own message is shown.
        {"alice", "secret", "组件(MERIDAPI.BrennikApi)没有安装", "edtUser"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.message);
        Child("edtUser")->setText(QString::fromUtf8(c.user));
        Child("edtPassWord")->setText(QString::fromUtf8(c.password));
        EXPECT_EQ(MessageAfterClick(Child<QPushButton>("btnLogin")).toStdString(), c.message);
        EXPECT_EQ(dialog_.focusWidget(), Child(c.focused));
        EXPECT_TRUE(dialog_.isVisible());
        EXPECT_TRUE(Child<QPushButton>("btnLogin")->isEnabled());
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(login_test::UsersPath())));
    Child<QPushButton>("btnUnLogin")->click();
    EXPECT_EQ(dialog_.result(), TfrmLogin::kResultCancelled);
}

TEST_F(LoginDialogTest, AssistiveTechnologyFindsNamedFieldsLinksAndButtons) {
    Open(TfrmLogin::kLayoutLogin);
    const struct {
        const char* object;
        QAccessible::Role role;
        const char* name;
        const char* label; // the buddy label's text; "" for none
    } expected[] = {
        {"edtUser", QAccessible::EditableText, "用户名", "用户名："},
        {"edtPassWord", QAccessible::EditableText, "密码", "密  码："},
        {"imgUserList", QAccessible::Button, "选择用户", ""},
        {"lblSign", QAccessible::Link, "注册新用户", ""},
        {"lblFindPass", QAccessible::Link, "忘记密码？", ""},
        {"btnLogin", QAccessible::Button, "登录", ""},
        {"edtSignUser", QAccessible::EditableText, "用户名", "用户名："},
        {"edtNewPwd", QAccessible::EditableText, "密码", "密  码："},
        {"edtNewPwd2", QAccessible::EditableText, "确认密码", "确认密码："},
        {"edtMail", QAccessible::EditableText, "电子邮箱", "电子邮箱："},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.object);
        QWidget* widget = Child<QWidget>(e.object);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), e.role);
        EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), e.name);
        EXPECT_TRUE(iface->state().focusable);
        const auto labels = iface->relations(QAccessible::Label);
        EXPECT_EQ(labels.isEmpty() ? std::string()
                                   : labels.first().first->text(QAccessible::Name).toStdString(),
                  e.label);
        if (e.role != QAccessible::EditableText) {
            EXPECT_TRUE(qm::test::ActionNames(iface).contains(QAccessibleActionInterface::pressAction()));
        }
    }

    // The links and the picture button are pressed by their action (from the event loop) and by
    // Return, Enter or Space when they have the focus.
    auto* menu = dialog_.findChild<qm::TUserMenu*>();
    menu->SetItems({QStringLiteral("alice")});
    qm::test::DoAction(QAccessible::queryAccessibleInterface(Child<QWidget>("imgUserList")),
                       QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(menu->isVisible());
    QCoreApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(Child("edtUser")->text(), QStringLiteral("alice"));
    Child<QWidget>("imgUserList")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Child<QWidget>("imgUserList"), Qt::Key_Return);
    EXPECT_TRUE(menu->isVisible()) << "Return on the focused picture button drops the list";
    QTest::keyClick(menu, Qt::Key_Escape);
    Child<QWidget>("lblSign")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Child<QWidget>("lblSign"), Qt::Key_Space);
    EXPECT_EQ(dialog_.Layout(), TfrmLogin::kLayoutRegister);
    dialog_.ShowLayout(TfrmLogin::kLayoutLogin);
    qm::test::DoAction(QAccessible::queryAccessibleInterface(Child<QWidget>("lblSign")),
                       QAccessibleActionInterface::pressAction());
    EXPECT_EQ(dialog_.Layout(), TfrmLogin::kLayoutLogin);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog_.Layout(), TfrmLogin::kLayoutRegister);

    // Return on the focused 取消 presses it, as Space does.
    dialog_.ShowLayout(TfrmLogin::kLayoutLogin);
    Child<QPushButton>("btnUnLogin")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Child<QPushButton>("btnUnLogin"), Qt::Key_Return);
    EXPECT_EQ(dialog_.result(), TfrmLogin::kResultCancelled);
    EXPECT_FALSE(dialog_.isVisible());
}

TEST(LoginDialogUsers, RemembersUsersInTheMenuAndPrefillsTheLastOne) {
    std::remove(login_test::UsersPath().c_str());
    qm::RecordUser(login_test::UsersPath(), "alice", "2024-03-01 09:00");
    qm::RecordUser(login_test::UsersPath(), "bob", "2024-03-01 10:00");
    TfrmLogin dialog;
    dialog.ShowLayout(TfrmLogin::kLayoutLogin);
    auto* user = dialog.findChild<QLineEdit*>(QStringLiteral("edtUser"));
    EXPECT_EQ(user->text(), QStringLiteral("bob"));
    auto* menu = dialog.findChild<qm::TUserMenu*>();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Items(), (QStringList{QStringLiteral("bob"), QStringLiteral("alice")}));
    dialog.show();
    menu->Popup(*user);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->size(), QSize(user->width(), 2 * qm::TUserMenu::kItemHeight));
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(10, qm::TUserMenu::kItemHeight + 5));
    EXPECT_EQ(user->text(), QStringLiteral("alice"));
    EXPECT_FALSE(menu->isVisible());
    std::remove(login_test::UsersPath().c_str());
}

} // namespace
