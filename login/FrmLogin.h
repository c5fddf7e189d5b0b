#pragma once

#include "login/LoginAccessible.h"
#include "login/LoginRules.h"

#include <QDialog>
#include <QPoint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class TLinkLabel;
class TPaintArea;
class TPictureButton;
class TUserMenu;

// What the dialog leaves behind; cleared before every login or registration attempt. After a
// successful login the caller reads the user name and the password.
struct TUserInfo {
    std::string UserName;
    std::string PassWord;
    std::string PassWord2;
    std::string EMail;
    std::string LoginTime; // "yyyy-MM-dd hh:mm", local time
    std::string PicPath;
};

// The login plug-in's dialog, in one of two layouts: login (panel "pnlLogin") or register (panel
// "pnlSign"). Modal result 1 after a successful login or registration, 2 after "取消" or closing.
// Controls carry the object names of the form ("edtUser", "btnLogin", ...).
class TfrmLogin : public QDialog {
    Q_OBJECT

public:
    static constexpr int kLayoutLogin = 0;
    static constexpr int kLayoutRegister = 1;
    static constexpr int kResultDone = 1;
    static constexpr int kResultCancelled = 2;

    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;

    // Shows the layout (0 login, 1 register) with a fresh panel; other numbers change nothing.
    void ShowLayout(int layout);
    int Layout() const { return layout_; }

    const TUserInfo& UserInfo() const { return userInfo_; }

    // "取消", Esc and closing answer 2; ignored while a service call runs.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // One row of the register layout.
    struct TTipRow {
        QLabel* caption = nullptr;
        TPaintArea* outline = nullptr;
        QLineEdit* edit = nullptr;
        QLabel* picture = nullptr;
        QLabel* tip = nullptr;
    };

    void BuildLoginPanel();
    void BuildSignPanel();
    void BuildTipPictures();
    TTipRow BuildRow(const char* caption, const char* editName, const char* tipName, int top);
    QLabel* NewLabel(QWidget* parent, const QString& text, int tag, const QRect& geometry);
    // A label naming field: its buddy, and the field's accessible name without the colon.
    QLabel* NewFieldLabel(QWidget* parent, const QString& text, QWidget* field, const QRect& geometry);
    QLineEdit* NewEdit(QWidget* parent, const char* name, int maxLength, const QRect& geometry);
    QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry);
    void ResetPanel(QWidget* panel);
    void PlaceRow(TTipRow& row, int top);
    void StackSignRows();
    bool LoadPicture(QLabel* picture, const char* fileName);
    QLineEdit* FirstField() const;

    void SetTip(const TTipRow& row, const TTip& tip);
    TTipRow* RowOf(QObject* edit);
    void ShowEntryHint(TTipRow& row);
    bool CheckRow(TTipRow& row);

    bool FilterKey(QLineEdit* edit, QKeyEvent* event);
    bool HandleDrag(QObject* watched, QEvent* event);

    void btnLoginClick();
    void btnSignClick();
    void lblFindPassClick();
    void imgUserListClick();
    // LoginIDP on a new account-service object, off the UI thread; "" on success, else the error.
    std::string LoginService(const std::string& userName, const std::string& password);
    void RecordUserName(const std::string& userName);
    std::string UsersFile() const;

    TLoginAccessibility accessibility_;
    // Folders with trailing "/", or "" when missing.
    std::string pictureDir_;
    std::string pluginDir_;
    int layout_ = -1;
    TUserInfo userInfo_;
    bool busy_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;

    // Children, owned by the form through their parents.
    QWidget* pnlLogin = nullptr;
    QWidget* pnlSign = nullptr;
    TPaintArea* pbLoginHeader = nullptr;
    TPaintArea* pbSignHeader = nullptr;
    QLabel* imglogo = nullptr;
    QLineEdit* edtUser = nullptr;
    QLineEdit* edtPassWord = nullptr;
    TPictureButton* imgUserList = nullptr;
    TLinkLabel* lblSign = nullptr;
    TLinkLabel* lblFindPass = nullptr;
    QPushButton* btnLogin = nullptr;
    QPushButton* btnUnLogin = nullptr;
    QLabel* imgApp = nullptr;
    QLabel* lblSignHint = nullptr;
    QPushButton* btnSign = nullptr;
    QPushButton* btnUnSign = nullptr;
    QLabel* imgTip = nullptr;
    QLabel* imgRight = nullptr;
    QLabel* imgWrong = nullptr;
    TTipRow userRow_;
    TTipRow passwordRow_;
    TTipRow confirmRow_;
    TTipRow mailRow_;
    TUserMenu* userMenu_ = nullptr;
};

} // namespace qm
