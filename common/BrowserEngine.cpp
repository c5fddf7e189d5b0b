#include "common/BrowserEngine.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QString>
#include <unistd.h>

namespace qm {

namespace {

constexpr const char* kXcbGlIntegration = "QT_XCB_GL_INTEGRATION";

// Whether PrepareBrowserEngine set kXcbGlIntegration (and so takes it back).
bool xcbGlIntegrationSetHere = false;

QLoggingCategory::CategoryFilter previousCategoryFilter = nullptr;
QtMessageHandler previousMessageHandler = nullptr;

// The engine takes its locale from its flags, read once when it starts; without one it follows the
// session's, which on a server or a fresh account is often plain English.
void UseDeskLocale() {
    constexpr const char* kFlags = "QTWEBENGINE_CHROMIUM_FLAGS";
    QByteArray flags = qgetenv(kFlags);
    if (flags.contains("--lang="))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    flags += QByteArray("--lang=") + kDeskBrowserLocale;
    qputenv(kFlags, flags);
}

// The engine's start-up report describes the global OpenGL context and reads it without asking
// whether there is one: without OpenGL it would crash the desk. It is a developer's report anyway.
void WithoutEngineStartReport(QLoggingCategory* category) {
    if (previousCategoryFilter != nullptr)
        previousCategoryFilter(category);
    if (qstrcmp(category->categoryName(), "qt.webenginecontext") == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}

// When the engine is loaded into a running application (a plug-in brings it in) without a global
// OpenGL context, it advises making one; the desk does without on purpose.
void WithoutSharedContextAdvice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")))
        return;
    previousMessageHandler(type, context, message);
}

} // namespace

void PrepareBrowserEngine() {
    if (!qEnvironmentVariableIsSet(kXcbGlIntegration)) {
        qputenv(kXcbGlIntegration, "none");
        xcbGlIntegrationSetHere = true;
    }
    if (previousMessageHandler == nullptr) {
        previousCategoryFilter = QLoggingCategory::installFilter(&WithoutEngineStartReport);
        previousMessageHandler = qInstallMessageHandler(&WithoutSharedContextAdvice);
    }
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    UseDeskLocale();
}

void FinishBrowserEnginePreparation() {
    if (!xcbGlIntegrationSetHere)
        return;
    // The X11 platform reads the variable the first time it is asked about OpenGL, and keeps its
    // answer: asked now, it needs the variable no more.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QOpenGLContext::supportsThreadedOpenGL();
    qunsetenv(kXcbGlIntegration);
    xcbGlIntegrationSetHere = false;
}

} // namespace qm
