#pragma once

#include <QDialog>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

class QPushButton;
class QLabel;

namespace qm {

// The kinds of message dialog; each has its own caption and system icon (Custom has neither and
// shows the application's title).
enum class TMsgKind : int { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

enum class TMsgButton : int {
    Yes = 0,
    No = 1,
    OK = 2,
    Cancel = 3,
    Abort = 4,
    Retry = 5,
    Ignore = 6,
    All = 7,
    NoToAll = 8,
    YesToAll = 9,
    Help = 10
};

constexpr int kMsgButtonCount = 11;

// A set of buttons: bit i stands for the button with ordinal i.
class TMsgButtons {
public:
    constexpr TMsgButtons() = default;
    constexpr TMsgButtons(std::initializer_list<TMsgButton> buttons) {
        for (const TMsgButton button : buttons)
            bits_ = static_cast<std::uint16_t>(bits_ | Bit(button));
    }
    static constexpr TMsgButtons FromBits(std::uint16_t bits) {
        TMsgButtons set;
        set.bits_ = bits;
        return set;
    }

    constexpr bool Contains(TMsgButton button) const { return (bits_ & Bit(button)) != 0; }
    constexpr std::uint16_t Bits() const { return bits_; }
    constexpr bool operator==(const TMsgButtons&) const = default;

private:
    static constexpr std::uint16_t Bit(TMsgButton button) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(button));
    }
    std::uint16_t bits_ = 0;
};

// Dialog captions of the kinds; Custom answers the application's title.
std::string MsgKindCaption(TMsgKind kind);
// "Yes", "No", ... : the object name of the button's push button.
const char* MsgButtonName(TMsgButton button);
const char* MsgButtonCaption(TMsgButton button);
// The dialog's result when the button is pressed; 0 for Help, which does not close the dialog.
int MsgButtonModalResult(TMsgButton button);

// Modal result of a dialog closed from its title bar.
constexpr int kMsgResultCancel = 2;

// The message dialog. Its children are made by CreateMsgDialog: the label "Message", the image
// "Image" (kinds with an icon) and one push button per button, named after the button.
class TMsgForm : public QDialog {
    Q_OBJECT

public:
    TMsgForm();
    ~TMsgForm() override;

    QLabel* Message() const { return message_; }
    // The button that Esc presses, or none.
    QPushButton* CancelButton() const { return cancelButton_; }

    // The dialog as text, for the clipboard: dashed lines around caption, message and buttons.
    std::string GetFormText() const;

    // A title-bar close answers the cancel result.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend std::unique_ptr<TMsgForm> CreateMsgDialog(const std::string&, TMsgKind, TMsgButtons, TMsgButton);

    QLabel* message_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

// Builds the dialog without showing it; the caller owns it.
std::unique_ptr<TMsgForm> CreateMsgDialog(const std::string& msg, TMsgKind kind, TMsgButtons buttons,
                                          TMsgButton defaultButton);

// Shows the dialog modally and answers the pressed button's modal result (2 when closed from the
// title bar).
int MsgDlg(const std::string& msg, TMsgKind kind, TMsgButtons buttons, TMsgButton defaultButton);

// An information message with an OK button.
void ShowInfo(const std::string& msg);

} // namespace qm
