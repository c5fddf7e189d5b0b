// What the login dialog does: keys, tips, dragging, login, registration and the links.
#include "login/FrmLogin.h"

#include "common/AccountService.h"
#include "common/FieldKeys.h"
#include "common/MsgDialog.h"
#include "common/ServiceCall.h"
#include "common/Shell.h"
#include "common/TextTrim.h"
#include "login/Branding.h"
#include "login/LoginControls.h"
#include "login/LoginPalette.h"
#include "login/UserList.h"
#include "login/UserMenu.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

namespace qm {

namespace lp = login_palette;

namespace {

std::string FieldText(const QLineEdit* edit) {
    return edit->text().toStdString();
}

std::string Now() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")).toStdString();
}

bool Accepts(const QString& text, bool (*accepted)(char32_t)) {
    for (const char32_t c : text.toUcs4()) {
        if (!accepted(c))
            return false;
    }
    return true;
}

} // namespace

void TfrmLogin::SetTip(const TTipRow& row, const TTip& tip) {
    const QLabel* source = tip.kind == TTipKind::Hint       ? imgTip
                           : tip.kind == TTipKind::Accepted ? imgRight
                                                            : imgWrong;
    const QColor colour = tip.kind == TTipKind::Hint       ? lp::kTipHint
                          : tip.kind == TTipKind::Accepted ? lp::kTipAccepted
                                                           : lp::kTipRejected;
    row.picture->setPixmap(source->pixmap());
    row.picture->setVisible(!source->pixmap().isNull());
    QPalette colours = row.tip->palette();
    colours.setColor(QPalette::WindowText, colour);
    row.tip->setPalette(colours);
    row.tip->setText(QString::fromStdString(tip.text));
}

TfrmLogin::TTipRow* TfrmLogin::RowOf(QObject* edit) {
    for (TTipRow* row : {&userRow_, &passwordRow_, &confirmRow_, &mailRow_}) {
        if (row->edit == edit)
            return row;
    }
    return nullptr;
}

void TfrmLogin::ShowEntryHint(TTipRow& row) {
    const char* hint = &row == &userRow_       ? "用户名由4-20个英文字母或数字组成"
                       : &row == &passwordRow_ ? "请输入确认密码。"
                       : &row == &confirmRow_  ? "确认密码请与密码保持一致"
                                              : "请输入有效的邮箱地址，当密码遗忘时凭此邮箱找回。";
    SetTip(row, {TTipKind::Hint, hint});
}

bool TfrmLogin::CheckRow(TTipRow& row) {
    const TTip tip = &row == &userRow_       ? CheckUserName(FieldText(row.edit))
                     : &row == &passwordRow_ ? CheckPassword(FieldText(row.edit))
                     : &row == &confirmRow_
                         ? CheckConfirmation(FieldText(passwordRow_.edit), FieldText(row.edit))
                         : CheckEmail(FieldText(row.edit));
    SetTip(row, tip);
    return tip.kind != TTipKind::Rejected;
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* event) {
    if (HandleDrag(watched, event))
        return true;
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return FilterKey(edit, static_cast<QKeyEvent*>(event));
    TTipRow* row = layout_ == kLayoutRegister ? RowOf(edit) : nullptr;
    if (row != nullptr && event->type() == QEvent::FocusIn)
        ShowEntryHint(*row);
    if (row != nullptr && event->type() == QEvent::FocusOut) {
        // Only leaving the field counts, not the window losing the focus to a message or a popup.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            CheckRow(*row);
    }
    return QDialog::eventFilter(watched, event);
}

bool TfrmLogin::FilterKey(QLineEdit* edit, QKeyEvent* event) {
    const TFieldKey moved =
        HandleFieldKey(*edit, *event, [this](bool next) { return focusNextPrevChild(next); });
    if (moved == TFieldKey::Enter && edit == edtUser && layout_ == kLayoutLogin)
        btnLogin->click();
    if (moved != TFieldKey::Other)
        return true;
    if (event->text().isEmpty())
        return false;
    if (edit == edtUser || edit == userRow_.edit)
        return !Accepts(event->text(), &IsUserNameCharacter);
    if (edit == mailRow_.edit)
        return !Accepts(event->text(), &IsEmailCharacter);
    return false;
}

bool TfrmLogin::HandleDrag(QObject* watched, QEvent* event) {
    const bool onHeader = watched == pbLoginHeader || watched == pbSignHeader;
    const bool dragSurface =
        onHeader || watched == pnlLogin || watched == pnlSign || watched == imglogo || watched == lblSignHint;
    if (!dragSurface)
        return false;
    const auto* mouse = dynamic_cast<const QMouseEvent*>(event);
    if (mouse == nullptr)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (onHeader && mouse->button() == Qt::LeftButton) {
            // The window system moves it where it can (a Wayland client cannot place itself).
            if (windowHandle() != nullptr && windowHandle()->startSystemMove())
                return true;
            dragging_ = true;
            dragOffset_ = mouse->globalPosition().toPoint() - pos();
            return true;
        }
        return false;
    case QEvent::MouseMove:
        if (dragging_)
            move(mouse->globalPosition().toPoint() - dragOffset_);
        return dragging_;
    case QEvent::MouseButtonRelease:
        if (onHeader && dragging_) {
            dragging_ = false;
            return true;
        }
        return false;
    default:
        return false;
    }
}

void TfrmLogin::reject() {
    if (busy_)
        return;
    done(kResultCancelled);
}

void TfrmLogin::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

std::string TfrmLogin::LoginService(const std::string& userName, const std::string& password) {
    busy_ = true;
    std::string failure;
    try {
        RunServiceCall({btnLogin, btnUnLogin, btnSign, btnUnSign, lblSign, lblFindPass, imgUserList},
                       [userName, password] { CreateBrennikApi()->LoginIDP(userName, password); });
    } catch (const std::exception& error) {
        failure = error.what();
        // A service that failed without a word still failed.
        if (failure.empty())
            failure = "用户登录失败";
    }
    busy_ = false;
    return failure;
}

void TfrmLogin::btnLoginClick() {
    const std::string userName = NormalizedLogin(FieldText(edtUser));
    const std::string password = NormalizedLogin(FieldText(edtPassWord));
    if (userName.empty()) {
        ShowInfo("用户名不能为空！");
        edtUser->setFocus();
        return;
    }
    if (password.empty()) {
        ShowInfo("请输入密码！");
        edtPassWord->setFocus();
        return;
    }
    userInfo_ = {};
    const std::string failure = LoginService(userName, password);
    if (!failure.empty()) {
        ShowInfo(failure);
        edtUser->setFocus();
        return;
    }
    userInfo_ = {userName, password, password, {}, Now(), {}};
    RecordUserName(userName);
    done(kResultDone);
}

void TfrmLogin::btnSignClick() {
    if (layout_ != kLayoutRegister)
        return;
    lblSignHint->setText(QStringLiteral("正在校验注册信息..."));
    userInfo_ = {};
    userInfo_.UserName = NormalizedLogin(FieldText(userRow_.edit));
    userInfo_.PassWord = NormalizedLogin(FieldText(passwordRow_.edit));
    userInfo_.PassWord2 = NormalizedLogin(FieldText(confirmRow_.edit));
    userInfo_.EMail = TrimmedCopy(FieldText(mailRow_.edit), kBlanksAndControls);
    const std::pair<TTipRow*, const char*> checks[] = {
        {&userRow_, "用户名有误，请参照提示修改。"},
        {&passwordRow_, "密码有误，请参照提示修改。"},
        {&confirmRow_, "确认密码有误，请参照提示修改。"},
        {&mailRow_, "邮箱地址有误，请参照提示修改。"},
    };
    for (const auto& [row, status] : checks) {
        if (!CheckRow(*row)) {
            lblSignHint->setText(QString::fromUtf8(status));
            return;
        }
    }
    lblSignHint->setText(QStringLiteral("正在提交注册申请，请稍候..."));
    const std::string sourceId = ReadBrandingSourceId();
    busy_ = true;
    bool registered = false;
    std::string failure;
    try {
        registered = RunServiceCall<bool>({btnSign, btnUnSign}, [user = userInfo_.UserName,
                                                                 password = userInfo_.PassWord, sourceId,
                                                                 mail = userInfo_.EMail]() mutable {
            return CreateBrennikApi()->Register(user, password, sourceId, mail).AsBoolean();
        });
    } catch (const std::exception& error) {
        failure = error.what();
    }
    busy_ = false;
    if (!registered) {
        lblSignHint->setText(QStringLiteral("提交注册申请失败"));
        if (failure.find("已存在") != std::string::npos)
            SetTip(userRow_, {TTipKind::Rejected, "此用户名已被注册，请另换一个"});
        else
            lblSignHint->setText(QString::fromStdString(failure));
        return;
    }
    ShowInfo("提交注册申请成功，恭喜你成为会员！");
    setResult(kResultDone);
    const std::string userName = userInfo_.UserName;
    const std::string password = userInfo_.PassWord;
    userInfo_ = {};
    const std::string loginFailure = LoginService(userName, password);
    RecordUserName(userName);
    // The account exists either way, so the dialog closes as done; the failed login is reported.
    if (!loginFailure.empty())
        ShowInfo("用户登录失败");
    done(kResultDone);
}

void TfrmLogin::lblFindPassClick() {
    if (const std::optional<std::string> address = FindBrandingAddress("forgetpassword_addr"))
        OpenURL(*address, false);
}

void TfrmLogin::imgUserListClick() {
    userMenu_->Popup(*edtUser);
}

void TfrmLogin::RecordUserName(const std::string& userName) {
    if (UsersFile().empty())
        return;
    try {
        RecordUser(UsersFile(), userName, Now());
    } catch (const std::exception&) {
        // Remembering the user is a convenience; the login itself has succeeded.
    }
}

} // namespace qm
