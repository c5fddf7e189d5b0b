#include "common/Shell.h"

#include "common/Paths.h"

#include <QAbstractScrollArea>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cctype>

namespace qm {

namespace {

// "scheme:" with a scheme of two or more characters, as in "http://x" or "mailto:x".
bool HasUrlScheme(const std::string& s) {
    const auto colon = s.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(s[0])))
        return false;
    return std::all_of(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

void StartDetached(const QString& program, const QStringList& arguments) {
    // The outcome is not reported: a program that cannot start simply does not appear.
    QProcess::startDetached(program, arguments);
}

void OpenWithDefaultHandler(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

// Installers arrive as ".run" or ".sh" files, often without the run bit (unpacked, downloaded):
// they are programs all the same.
bool IsProgramFileName(const QString& path) {
    return path.endsWith(QStringLiteral(".run"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".sh"), Qt::CaseInsensitive);
}

// Adds the run bit for everyone who may read the file, as "chmod +x" would.
void MakeExecutable(QFile& file) {
    // The "User" flags tell what this process may do; setting them would also set owner bits.
    const QFileDevice::Permissions callerAccess =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    const QFileDevice::Permissions permissions = file.permissions() & ~callerAccess;
    QFileDevice::Permissions added = QFileDevice::ExeOwner;
    if (permissions & QFileDevice::ReadGroup)
        added |= QFileDevice::ExeGroup;
    if (permissions & QFileDevice::ReadOther)
        added |= QFileDevice::ExeOther;
    file.setPermissions(permissions | added);
}

} // namespace

void ExecuteFile(const std::string& params, QWidget* parentWindow, const std::string& fileName) {
    static_cast<void>(parentWindow);
    if (fileName.empty())
        return;
    const std::string path = ToNativePath(fileName);
    const QString qPath = QString::fromStdString(path);
    QFileInfo file(qPath);
    if (!file.exists() && HasUrlScheme(fileName)) {
        OpenWithDefaultHandler(QUrl(QString::fromStdString(fileName), QUrl::TolerantMode));
        return;
    }
    if (!file.exists() && path.find('/') == std::string::npos) {
        // A bare program name, as the shell finds it on the search path.
        const QString program = QStandardPaths::findExecutable(qPath);
        if (!program.isEmpty())
            StartDetached(program, QProcess::splitCommand(QString::fromStdString(params)));
        return;
    }
    if (!file.exists())
        return;
    if (file.isFile() && (file.isExecutable() || IsProgramFileName(qPath))) {
        if (!file.isExecutable()) {
            QFile program(qPath);
            MakeExecutable(program);
        }
        StartDetached(file.absoluteFilePath(), QProcess::splitCommand(QString::fromStdString(params)));
        return;
    }
    // A document or a folder: whatever the desktop opens it with.
    OpenWithDefaultHandler(QUrl::fromLocalFile(file.absoluteFilePath()));
}

namespace {

// An address that already names its scheme ("https://...", "HTTP://...") keeps it; putting
// "http://" in front of those would make an address no browser can open.
bool HasWebScheme(const std::string& url) {
    const auto separator = url.find("://");
    return url.find("http://") != std::string::npos ||
           (separator != std::string::npos && separator > 0 &&
            std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(separator), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
            }));
}

} // namespace

void OpenURL(const std::string& url, bool useBrowser) {
    const std::string address = HasWebScheme(url) ? url : "http://" + url;
    if (useBrowser) {
        const QString browser = QString::fromStdString(GetBrowserPath());
        // The address is the browser's whole parameter line: one argument, never split at blanks.
        const QString program =
            browser.contains(QLatin1Char('/')) ? browser : QStandardPaths::findExecutable(browser);
        if (!program.isEmpty())
            StartDetached(program, {QString::fromStdString(address)});
        return;
    }
    OpenWithDefaultHandler(QUrl(QString::fromStdString(address), QUrl::TolerantMode));
}

void EmbedForm(QWidget* form, QWidget* parent) {
    // The size the form was designed with, taken when it is first docked (later it has its page's
    // size); a form that nobody sized has none but its minimum.
    const char* const designedSizeProperty = "qmDesignedSize";
    if (!form->property(designedSizeProperty).isValid())
        form->setProperty(designedSizeProperty,
                          form->testAttribute(Qt::WA_Resized) ? form->size() : QSize(0, 0));
    const QSize designed = form->property(designedSizeProperty).toSize().expandedTo(form->minimumSize());
    // As a plain child widget the form has no window frame; a drawn frame goes too.
    form->setParent(parent, Qt::Widget);
    if (auto* frame = qobject_cast<QFrame*>(form))
        frame->setFrameShape(QFrame::NoFrame);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(form)) {
        // It scrolls its own content.
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        SetControlAlign(form, alClient);
    } else {
        // It fills the parent, but never below its designed size: the parent scrolls it instead.
        SetScrollingClientAlign(form, designed);
    }
    form->show();
}

void EmbedControl(QWidget* control, QWidget* parent, TAlign align) {
    // Reparenting hides a widget; put it back the way it was. A control nobody ever showed or hid
    // is visible once it has a parent, as controls are by default.
    const bool hiddenOnPurpose =
        control->testAttribute(Qt::WA_WState_ExplicitShowHide) && control->isHidden();
    if (control->parentWidget() != parent)
        control->setParent(parent);
    SetControlAlign(control, align);
    if (!hiddenOnPurpose)
        control->show();
}

std::string ToBackslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string ToSlashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

} // namespace qm
