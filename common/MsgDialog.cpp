#include "common/MsgDialog.h"

#include "common/Clipboard.h"
#include "common/DialogOwner.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <array>

namespace qm {

namespace {

struct TButtonInfo {
    const char* name;
    const char* caption;
    int modalResult;
};

// Indexed by the button's ordinal. The Abort button really reads "取消(&A)".
constexpr std::array<TButtonInfo, kMsgButtonCount> kButtonInfo = {{
    {"Yes", "是(&Y)", 6},
    {"No", "否(&N)", 7},
    {"OK", "确认(&O)", 1},
    {"Cancel", "取消(&C)", 2},
    {"Abort", "取消(&A)", 3},
    {"Retry", "重试(&R)", 4},
    {"Ignore", "忽略(&I)", 5},
    {"All", "全部(&A)", 8},
    {"NoToAll", "全部取消(&O)", 9},
    {"YesToAll", "全部应用(&A)", 10},
    {"Help", "帮助(&H)", 0},
}};

// Caption widths (plus padding) per button kind, measured on first use and kept for the process.
// Dialogs live on the user-interface thread only, so no lock is needed.
std::array<int, kMsgButtonCount> gButtonWidths{};

const TButtonInfo& Info(TMsgButton button) {
    return kButtonInfo.at(static_cast<std::size_t>(button));
}

int ButtonCaptionWidth(TMsgButton button, const QFontMetrics& metrics) {
    int& width = gButtonWidths.at(static_cast<std::size_t>(button));
    if (width == 0) {
        const QString caption = QString::fromUtf8(Info(button).caption);
        width = metrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, caption).width() + 8;
    }
    return width;
}

QStyle::StandardPixmap KindIcon(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Warning:
        return QStyle::SP_MessageBoxWarning;
    case TMsgKind::Error:
        return QStyle::SP_MessageBoxCritical;
    case TMsgKind::Information:
        return QStyle::SP_MessageBoxInformation;
    case TMsgKind::Confirmation:
        return QStyle::SP_MessageBoxQuestion;
    case TMsgKind::Custom:
        break;
    }
    return QStyle::SP_CustomBase;
}

// Children belong to their parent widget, which frees them with itself.
template <class T> T* AddChild(QWidget* parent) {
    auto child = std::make_unique<T>(parent);
    return child.release();
}

// Dialog-unit measurements of the message font.
struct TDialogUnits {
    int cx; // average character width
    int cy; // text height
    int X(int units) const { return units * cx / 4; }
    int Y(int units) const { return units * cy / 8; }
};

TDialogUnits MeasureDialogUnits(const QFontMetrics& metrics) {
    const int lettersWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return TDialogUnits{lettersWidth / 52, metrics.height()};
}

TMsgButton ChooseDefaultButton(TMsgButtons buttons, TMsgButton requested) {
    if (buttons.Contains(requested))
        return requested;
    if (buttons.Contains(TMsgButton::OK))
        return TMsgButton::OK;
    if (buttons.Contains(TMsgButton::Yes))
        return TMsgButton::Yes;
    return TMsgButton::Retry;
}

// The button that Esc presses; false when the set has none of Cancel, No and OK.
bool ChooseCancelButton(TMsgButtons buttons, TMsgButton& cancel) {
    for (const TMsgButton candidate : {TMsgButton::Cancel, TMsgButton::No, TMsgButton::OK}) {
        if (buttons.Contains(candidate)) {
            cancel = candidate;
            return true;
        }
    }
    return false;
}

} // namespace

std::string MsgKindCaption(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Warning:
        return "警告";
    case TMsgKind::Error:
        return "错误";
    case TMsgKind::Information:
        return "提示";
    case TMsgKind::Confirmation:
        return "询问";
    case TMsgKind::Custom:
        break;
    }
    return QGuiApplication::applicationDisplayName().toStdString();
}

const char* MsgButtonName(TMsgButton button) {
    return Info(button).name;
}
const char* MsgButtonCaption(TMsgButton button) {
    return Info(button).caption;
}
int MsgButtonModalResult(TMsgButton button) {
    return Info(button).modalResult;
}

TMsgForm::TMsgForm()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {}

TMsgForm::~TMsgForm() = default;

std::string TMsgForm::GetFormText() const {
    const std::string dashes = std::string(27, '-') + "\r\n";
    std::string buttons;
    for (const QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        buttons += button->text().toStdString() + "   ";
    const std::string message = message_ != nullptr ? message_->text().toStdString() : std::string();
    std::string text = dashes + windowTitle().toStdString() + "\r\n" + dashes + message + "\r\n" + dashes +
                       buttons + "\r\n" + dashes;
    std::erase(text, '&');
    return text;
}

void TMsgForm::reject() {
    done(kMsgResultCancel);
}

void TMsgForm::keyPressEvent(QKeyEvent* event) {
    const bool ctrlAlone = (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    if (event->key() == Qt::Key_C && ctrlAlone) {
        QApplication::beep();
        CopyTextToClipboard(GetFormText());
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cancel)) {
        // Esc presses the cancel button; a dialog without one stays open (its title bar still closes it).
        if (cancelButton_ != nullptr)
            cancelButton_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

std::unique_ptr<TMsgForm> CreateMsgDialog(const std::string& msg, TMsgKind kind, TMsgButtons buttons,
                                          TMsgButton defaultButton) {
    auto form = std::make_unique<TMsgForm>();
    const QFont font = QApplication::font("QMessageBoxLabel");
    form->setFont(font);
    const QFontMetrics metrics(font);
    const TDialogUnits du = MeasureDialogUnits(metrics);
    const int hMargin = du.X(8);
    const int vMargin = du.Y(8);
    const int hSpacing = du.X(10);
    const int vSpacing = du.Y(10);
    const int buttonHeight = du.Y(14);
    const int buttonSpacing = du.X(4);
    const bool hasIcon = kind != TMsgKind::Custom;
    const bool rightToLeft = QGuiApplication::isRightToLeft();

    int buttonWidth = du.X(50);
    int buttonCount = 0;
    for (int ordinal = 0; ordinal < kMsgButtonCount; ++ordinal) {
        const auto button = static_cast<TMsgButton>(ordinal);
        if (!buttons.Contains(button))
            continue;
        ++buttonCount;
        buttonWidth = std::max(buttonWidth, ButtonCaptionWidth(button, metrics));
    }

    const QScreen* screen = QGuiApplication::primaryScreen();
    // Without any screen there is nothing sensible to centre on; a small desktop stands in.
    const QRect screenRect = screen != nullptr ? screen->geometry() : QRect(0, 0, 640, 480);
    const QString text = QString::fromStdString(msg);
    const QRect textRect = metrics.boundingRect(QRect(0, 0, screenRect.width() / 2, 0),
                                                Qt::TextWordWrap | Qt::TextExpandTabs, text);
    const int textWidth = textRect.width();
    const int textHeight = textRect.height();

    int areaWidth = textWidth;
    int areaHeight = textHeight;
    if (hasIcon) {
        areaWidth += 32 + hSpacing;
        areaHeight = std::max(areaHeight, 32);
    }
    const int rowWidth = buttonCount > 0 ? buttonCount * buttonWidth + (buttonCount - 1) * buttonSpacing : 0;
    const int clientWidth = std::max(areaWidth, rowWidth) + 2 * hMargin;
    const int clientHeight = areaHeight + buttonHeight + vSpacing + 2 * vMargin;
    form->setFixedSize(clientWidth, clientHeight);
    form->move(screenRect.x() + screenRect.width() / 2 - clientWidth / 2,
               screenRect.y() + screenRect.height() / 2 - clientHeight / 2);
    form->setWindowTitle(QString::fromStdString(MsgKindCaption(kind)));

    if (hasIcon) {
        auto* image = AddChild<QLabel>(form.get());
        image->setObjectName(QStringLiteral("Image"));
        image->setPixmap(form->style()->standardIcon(KindIcon(kind), nullptr, form.get()).pixmap(32, 32));
        // Mirrored together with the text, so that the two never overlap in right-to-left mode.
        const int imageLeft = rightToLeft ? clientWidth - hMargin - 32 : hMargin;
        image->setGeometry(imageLeft, vMargin, 32, 32);
    }

    auto* message = AddChild<QLabel>(form.get());
    message->setObjectName(QStringLiteral("Message"));
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message->setText(text);
    int messageLeft = areaWidth - textWidth + hMargin;
    if (rightToLeft)
        messageLeft = clientWidth - messageLeft - textWidth;
    message->setGeometry(messageLeft, vMargin, textWidth, textHeight);
    form->message_ = message;

    const TMsgButton defaultChoice = ChooseDefaultButton(buttons, defaultButton);
    TMsgButton cancelChoice = TMsgButton::Cancel;
    const bool hasCancel = ChooseCancelButton(buttons, cancelChoice);
    int buttonLeft = (clientWidth - rowWidth) / 2;
    const int buttonTop = areaHeight + vMargin + vSpacing;
    for (int ordinal = 0; ordinal < kMsgButtonCount; ++ordinal) {
        const auto kindOfButton = static_cast<TMsgButton>(ordinal);
        if (!buttons.Contains(kindOfButton))
            continue;
        auto* button = AddChild<QPushButton>(form.get());
        button->setObjectName(QString::fromUtf8(MsgButtonName(kindOfButton)));
        button->setText(QString::fromUtf8(MsgButtonCaption(kindOfButton)));
        button->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);
        buttonLeft += buttonWidth + buttonSpacing;
        // Help has no modal result and leaves the dialog open; there is no help system to call.
        if (const int result = MsgButtonModalResult(kindOfButton); result != 0) {
            TMsgForm* owner = form.get();
            QObject::connect(button, &QPushButton::clicked, owner, [owner, result] { owner->done(result); });
        }
        if (kindOfButton == defaultChoice) {
            button->setDefault(true);
            button->setFocus();
        }
        if (hasCancel && kindOfButton == cancelChoice)
            form->cancelButton_ = button;
    }
    AttachToOwner(*form);
    return form;
}

int MsgDlg(const std::string& msg, TMsgKind kind, TMsgButtons buttons, TMsgButton defaultButton) {
    const std::unique_ptr<TMsgForm> form = CreateMsgDialog(msg, kind, buttons, defaultButton);
    return form->exec();
}

void ShowInfo(const std::string& msg) {
    MsgDlg(msg, TMsgKind::Information, {TMsgButton::OK}, TMsgButton::OK);
}

} // namespace qm
