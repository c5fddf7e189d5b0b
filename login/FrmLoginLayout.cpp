// How the login dialog is put together and laid out.
#include "common/DialogOwner.h"
#include "common/Paths.h"
#include "login/FrmLogin.h"
#include "login/HeaderPaint.h"
#include "login/LoginControls.h"
#include "login/LoginPalette.h"
#include "login/UserList.h"
#include "login/UserMenu.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <utility>

namespace qm {

namespace lp = login_palette;

namespace {

constexpr int kPanelWidth = 400;
constexpr int kLogoHeight = 80;
constexpr int kLoginHeaderHeight = 101;
constexpr int kSignHeaderHeight = 286;
constexpr int kRowStep = 41;
constexpr int kFirstRowTop = 64;
// The form's frame is 2 pixels wide on each side; the panel sits inside it.
constexpr int kFrame = 2;

// Label tags: 0 plain text, 1 line colour, 2 tip labels (emptied on reset).
const char* const kTagProperty = "qmTag";

// Login layout: the user-name box (field and user-list button) and the password field, in panel
// coordinates.
const QRect kUserBox(110, kLogoHeight + 20, 180, 20);
const QRect kPasswordBox(110, kLogoHeight + 58, 180, 20);

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::WindowText, colour);
    widget->setPalette(colours);
}

std::string ExistingDir(const std::string& dir) {
    return DirectoryExists(dir) ? dir : std::string();
}

} // namespace

TfrmLogin::TfrmLogin(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmLogin"));
    pictureDir_ = ExistingDir(AppPath() + "Plugins/Login/Pictures/");
    pluginDir_ = ExistingDir(AppPath() + "Plugins/Login/");
    BuildTipPictures();
    BuildLoginPanel();
    BuildSignPanel();
    ResetPanel(pnlLogin);
    ResetPanel(pnlSign);
    LoadPicture(imgApp, "tc_userlogo.png");
    userMenu_ = new TUserMenu(this);
    userMenu_->setObjectName(QStringLiteral("pmUsers"));
    QStringList users;
    for (const std::string& name : ReadRememberedUsers(UsersFile()))
        users << QString::fromStdString(name);
    userMenu_->SetItems(users);
    connect(userMenu_, &TUserMenu::chosen, this,
            [this](const QString& caption) { edtUser->setText(caption); });
}

TfrmLogin::~TfrmLogin() = default;

QLabel* TfrmLogin::NewLabel(QWidget* parent, const QString& text, int tag, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setProperty(kTagProperty, tag);
    label->setGeometry(geometry);
    return label;
}

QLabel* TfrmLogin::NewFieldLabel(QWidget* parent, const QString& text, QWidget* field,
                                 const QRect& geometry) {
    QLabel* label = NewLabel(parent, text, 0, geometry);
    label->setBuddy(field);
    // "密  码：" is read as "密码".
    QString name = text;
    name.remove(QLatin1Char(' ')).remove(QStringLiteral("："));
    field->setAccessibleName(name);
    return label;
}

QLineEdit* TfrmLogin::NewEdit(QWidget* parent, const char* name, int maxLength, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setFrame(false);
    edit->setGeometry(geometry);
    edit->installEventFilter(this);
    return edit;
}

QPushButton* TfrmLogin::NewButton(QWidget* parent, const char* name, const QString& caption,
                                  const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // Return on the focused button presses it, as Space does.
    button->setAutoDefault(true);
    return button;
}

void TfrmLogin::BuildTipPictures() {
    // Hidden sources of the tip pictures.
    imgTip = new QLabel(this);
    imgRight = new QLabel(this);
    imgWrong = new QLabel(this);
    imgTip->setObjectName(QStringLiteral("imgTip"));
    imgRight->setObjectName(QStringLiteral("imgRight"));
    imgWrong->setObjectName(QStringLiteral("imgWrong"));
    LoadPicture(imgTip, "tc_tip.png");
    LoadPicture(imgRight, "tc_right.png");
    LoadPicture(imgWrong, "tc_wrong.png");
    imgTip->hide();
    imgRight->hide();
    imgWrong->hide();
}

void TfrmLogin::BuildLoginPanel() {
    pnlLogin = new QWidget(this);
    pnlLogin->setObjectName(QStringLiteral("pnlLogin"));
    pnlLogin->setFixedSize(kPanelWidth, kLogoHeight + kLoginHeaderHeight + 46);
    pnlLogin->setAutoFillBackground(true);
    pnlLogin->installEventFilter(this);

    imglogo = new QLabel(pnlLogin);
    imglogo->setObjectName(QStringLiteral("imglogo"));
    imglogo->setGeometry(0, 0, kPanelWidth, kLogoHeight);
    imglogo->installEventFilter(this);

    pbLoginHeader = new TPaintArea(pnlLogin, [](QPainter& painter, const QRect& area) {
        PaintLoginHeader(painter, area, kUserBox.translated(0, -kLogoHeight),
                         kPasswordBox.translated(0, -kLogoHeight));
    });
    pbLoginHeader->setObjectName(QStringLiteral("pbLoginHeader"));
    pbLoginHeader->setGeometry(0, kLogoHeight, kPanelWidth, kLoginHeaderHeight);
    pbLoginHeader->installEventFilter(this);

    const int buttonSide = kUserBox.height() + 2;
    edtUser =
        NewEdit(pnlLogin, "edtUser", 20,
                QRect(kUserBox.left(), kUserBox.top(), kUserBox.width() - buttonSide, kUserBox.height()));
    imgUserList = new TPictureButton(pnlLogin);
    imgUserList->setObjectName(QStringLiteral("imgUserList"));
    imgUserList->setGeometry(kUserBox.right() + 1 - buttonSide, kUserBox.top() - 1, buttonSide, buttonSide);
    LoadPicture(imgUserList, "tc_userlist.png");
    imgUserList->setAccessibleName(QStringLiteral("选择用户"));
    edtPassWord = NewEdit(pnlLogin, "edtPassWord", 20, kPasswordBox);
    edtPassWord->setEchoMode(QLineEdit::Password);
    NewFieldLabel(pnlLogin, QStringLiteral("用户名："), edtUser, QRect(40, kUserBox.top() + 2, 68, 16));
    NewFieldLabel(pnlLogin, QStringLiteral("密  码："), edtPassWord,
                  QRect(40, kPasswordBox.top() + 2, 68, 16));

    lblSign = new TLinkLabel(QStringLiteral("注册新用户"), pnlLogin);
    lblSign->setObjectName(QStringLiteral("lblSign"));
    lblSign->setGeometry(kUserBox.right() + 14, kUserBox.top() + 2, 80, 16);
    lblFindPass = new TLinkLabel(QStringLiteral("忘记密码？"), pnlLogin);
    lblFindPass->setObjectName(QStringLiteral("lblFindPass"));
    lblFindPass->setGeometry(kPasswordBox.right() + 14, kPasswordBox.top() + 2, 80, 16);

    const int buttonTop = kLogoHeight + kLoginHeaderHeight + 10;
    btnLogin = NewButton(pnlLogin, "btnLogin", QStringLiteral("登录"), QRect(210, buttonTop, 80, 26));
    btnUnLogin = NewButton(pnlLogin, "btnUnLogin", QStringLiteral("取消"), QRect(300, buttonTop, 80, 26));

    // Enter moves from field to field and on to 登录; the user list and the links come after.
    const std::pair<QWidget*, QWidget*> tabOrder[] = {{edtUser, edtPassWord}, {edtPassWord, btnLogin},
                                                      {btnLogin, btnUnLogin}, {btnUnLogin, imgUserList},
                                                      {imgUserList, lblSign}, {lblSign, lblFindPass}};
    for (const auto& [from, to] : tabOrder)
        setTabOrder(from, to);

    connect(btnLogin, &QPushButton::clicked, this, &TfrmLogin::btnLoginClick);
    connect(btnUnLogin, &QPushButton::clicked, this, &TfrmLogin::reject);
    connect(lblSign, &TLinkLabel::clicked, this, [this] { ShowLayout(kLayoutRegister); });
    connect(lblFindPass, &TLinkLabel::clicked, this, &TfrmLogin::lblFindPassClick);
    connect(imgUserList, &TPictureButton::clicked, this, &TfrmLogin::imgUserListClick);
}

TfrmLogin::TTipRow TfrmLogin::BuildRow(const char* caption, const char* editName, const char* tipName,
                                       int top) {
    TTipRow row;
    row.outline = new TPaintArea(pnlSign, [](QPainter& painter, const QRect& area) {
        painter.setPen(QPen(lp::kFrame, 1));
        painter.setBrush(lp::kField);
        painter.drawRoundedRect(area.adjusted(0, 0, -1, -1), 2, 2);
    });
    row.edit = NewEdit(pnlSign, editName, 20, {});
    row.caption = NewFieldLabel(pnlSign, QString::fromUtf8(caption), row.edit, QRect(20, top + 6, 78, 16));
    row.picture = new QLabel(pnlSign);
    row.tip = NewLabel(pnlSign, {}, 2, {});
    row.tip->setObjectName(QString::fromLatin1(tipName));
    QFont tipFont = row.tip->font();
    tipFont.setPixelSize(11);
    row.tip->setFont(tipFont);
    PlaceRow(row, top);
    return row;
}

void TfrmLogin::BuildSignPanel() {
    pnlSign = new QWidget(this);
    pnlSign->setObjectName(QStringLiteral("pnlSign"));
    pnlSign->setFixedSize(kPanelWidth, kSignHeaderHeight);
    pnlSign->setAutoFillBackground(true);
    pnlSign->installEventFilter(this);

    pbSignHeader = new TPaintArea(pnlSign, [this](QPainter& painter, const QRect& area) {
        PaintRegisterHeader(painter, area, imgApp->pixmap());
    });
    pbSignHeader->setObjectName(QStringLiteral("pbSignHeader"));
    pbSignHeader->setGeometry(0, 0, kPanelWidth, kSignHeaderHeight);
    pbSignHeader->installEventFilter(this);
    // The account picture is painted by the header, stretched into its square.
    imgApp = new QLabel(pnlSign);
    imgApp->setObjectName(QStringLiteral("imgApp"));
    imgApp->hide();

    lblSignHint = NewLabel(pnlSign, {}, 1, QRect(60, 16, 330, 22));
    lblSignHint->setObjectName(QStringLiteral("lblSignHint"));
    lblSignHint->installEventFilter(this);

    userRow_ = BuildRow("用户名：", "edtSignUser", "lblUserTip", kFirstRowTop);
    passwordRow_ = BuildRow("密  码：", "edtNewPwd", "lblPwdTip", kFirstRowTop + kRowStep);
    confirmRow_ = BuildRow("确认密码：", "edtNewPwd2", "lblPwd2Tip", kFirstRowTop + 2 * kRowStep);
    mailRow_ = BuildRow("电子邮箱：", "edtMail", "lblMailTip", kFirstRowTop + 3 * kRowStep);
    passwordRow_.edit->setEchoMode(QLineEdit::Password);
    confirmRow_.edit->setEchoMode(QLineEdit::Password);
    mailRow_.edit->setMaxLength(30);
    // Only ASCII gets through the key filters of these fields; no input method either.
    userRow_.edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    mailRow_.edit->setAttribute(Qt::WA_InputMethodEnabled, false);

    btnSign = NewButton(pnlSign, "btnSign", QStringLiteral("注册"), QRect(210, 248, 80, 26));
    btnUnSign = NewButton(pnlSign, "btnUnSign", QStringLiteral("取消"), QRect(300, 248, 80, 26));
    connect(btnSign, &QPushButton::clicked, this, &TfrmLogin::btnSignClick);
    connect(btnUnSign, &QPushButton::clicked, this, &TfrmLogin::reject);
    edtUser->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void TfrmLogin::PlaceRow(TTipRow& row, int top) {
    row.caption->move(row.caption->x(), top + 6);
    row.outline->setGeometry(100, top, 200, 28);
    row.edit->setGeometry(105, top + 5, 190, 18);
    row.picture->setGeometry(305, top + 4, 16, 16);
    row.tip->setGeometry(100, top + 28, 290, 13);
}

void TfrmLogin::StackSignRows() {
    int top = userRow_.outline->y();
    for (TTipRow* row : {&passwordRow_, &confirmRow_, &mailRow_}) {
        if (row->edit->isHidden())
            continue;
        top += kRowStep;
        PlaceRow(*row, top);
    }
}

void TfrmLogin::ResetPanel(QWidget* panel) {
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, lp::kPanel);
    panel->setPalette(colours);
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        const QVariant tag = label->property(kTagProperty);
        if (!tag.isValid())
            continue;
        if (tag.toInt() == 2)
            label->clear();
        SetTextColour(label, tag.toInt() == 0 ? lp::kText : lp::kFrame);
    }
    for (QLineEdit* edit : panel->findChildren<QLineEdit*>())
        edit->clear();
    for (const TTipRow* row : {&userRow_, &passwordRow_, &confirmRow_, &mailRow_}) {
        if (row->picture != nullptr && row->picture->parent() == panel)
            row->picture->clear();
    }
}

bool TfrmLogin::LoadPicture(QLabel* picture, const char* fileName) {
    QPixmap pixmap;
    if (!pictureDir_.empty())
        pixmap.load(QString::fromStdString(pictureDir_ + fileName));
    if (pixmap.isNull()) {
        picture->hide();
        return false;
    }
    picture->setPixmap(pixmap);
    return true;
}

void TfrmLogin::ShowLayout(int layout) {
    if (layout != kLayoutLogin && layout != kLayoutRegister)
        return;
    layout_ = layout;
    QWidget* panel = layout == kLayoutLogin ? pnlLogin : pnlSign;
    pnlLogin->setVisible(layout == kLayoutLogin);
    pnlSign->setVisible(layout == kLayoutRegister);
    ResetPanel(panel);
    // The form's frame shows around the panel.
    setFixedSize(panel->width() + 2 * kFrame, panel->height() + 2 * kFrame);
    panel->move(kFrame, kFrame);
    // A window of the desk's, centred over it.
    AttachToOwner(*this);
    if (layout == kLayoutLogin) {
        setWindowTitle(QStringLiteral("登录"));
        edtUser->setText(QString::fromStdString(ReadLastUser(UsersFile())));
        LoadPicture(imglogo, "tc_logo.png");
    } else {
        setWindowTitle(QStringLiteral("注册"));
        btnSign->setText(QStringLiteral("注册"));
        lblSignHint->setText(QStringLiteral("请填写注册信息"));
        userRow_.edit->setEnabled(true);
        SetTip(userRow_, {TTipKind::Hint, "用户名由4-20个英文字母或数字组成"});
        passwordRow_.caption->setText(QStringLiteral("密  码："));
        StackSignRows();
    }
    if (isVisible())
        FirstField()->setFocus(Qt::OtherFocusReason);
}

QLineEdit* TfrmLogin::FirstField() const {
    return layout_ == kLayoutRegister ? userRow_.edit : edtUser;
}

void TfrmLogin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FirstField()->setFocus(Qt::OtherFocusReason);
}

void TfrmLogin::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintFormFrame(painter, rect());
}

std::string TfrmLogin::UsersFile() const {
    return pluginDir_.empty() ? std::string() : pluginDir_ + "Porlock.xml";
}

} // namespace qm
