#include "common/Clipboard.h"

#include "corvane/Errors.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace qm {

void CopyTextToClipboard(const std::string& text) {
    // The clipboard belongs to the GUI application; without one there is nothing to open (and
    // QGuiApplication::clipboard() would only warn and answer null).
    const bool haveGuiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    QClipboard* clipboard = haveGuiApp ? QGuiApplication::clipboard() : nullptr;
    if (clipboard == nullptr)
        throw corvane::ETax("不能打开剪切板", "CopyTextToClipboard(const Text: string)");
    clipboard->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

} // namespace qm
