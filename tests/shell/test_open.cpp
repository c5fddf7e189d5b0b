#include "common/Shell.h"
#include "tests/support/TestPrograms.h"

#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using qm::ExecuteFile;
using qm::OpenURL;

namespace {

// Stands where the desktop's handler for some address schemes would be; Qt hands it what
// QDesktopServices::openUrl is asked to open.
class TUrlCatcher : public QObject {
    Q_OBJECT

public:
    explicit TUrlCatcher(const QStringList& schemes) : schemes_(schemes) {
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~TUrlCatcher() override {
        for (const QString& scheme : schemes_)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }

private:
    QStringList schemes_;
};

class OpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(Bin());
        QDir().mkpath(dir_.filePath(QStringLiteral("data/applications")));
        // The browser is remembered per process; each test brings its own.
        qm::ForgetBrowserPathForTesting();
    }
    void TearDown() override { qm::ForgetBrowserPathForTesting(); }

    QString Bin() const { return dir_.filePath(QStringLiteral("bin")); }
    QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // The desktop's default browser becomes a program that records its arguments in outFile.
    void RecordingBrowser(const QString& outFile) {
        WriteScript(Bin() + QStringLiteral("/xdg-settings"), "printf 'qm-recorder.desktop\\n'\n");
        const QString recorder = File("recorder");
        WriteArgumentRecorder(recorder, outFile);
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/qm-recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + recorder.toStdString() + " %u\n");
    }

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString()};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
};

} // namespace

TEST_F(OpenTest, OpenUrlWithBrowserPassesThePrefixedAddressAsOneArgument) {
    struct TCase {
        const char* url;
        const char* address;
    };
    const TCase cases[] = {
        {"www.example.com/税务 查询?a=1&b=2", "http://www.example.com/税务 查询?a=1&b=2"},
        // An address with its own scheme keeps it.
        {"https://secure.example.com/login", "https://secure.example.com/login"},
        {"http://example.com/", "http://example.com/"},
        {"see http://example.com/", "see http://example.com/"},
        {"HTTP://EXAMPLE.COM/", "HTTP://EXAMPLE.COM/"},
        {"127.0.0.1:8080/a", "http://127.0.0.1:8080/a"},
    };
    int run = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.url);
        const QString out = File("args") + QString::number(++run);
        RecordingBrowser(out);
        OpenURL(c.url, true);
        EXPECT_EQ(WaitForLines(out), QStringList{QString::fromUtf8(c.address)});
    }
}

TEST_F(OpenTest, OpenUrlWithoutBrowserGoesToTheDesktopsHandler) {
    TUrlCatcher catcher({QStringLiteral("http"), QStringLiteral("https")});
    OpenURL("www.example.com/查询?q=1", false);
    OpenURL("https://secure.example.com/", false);
    ASSERT_EQ(catcher.opened.size(), 2);
    EXPECT_EQ(catcher.opened[0].host(), QStringLiteral("www.example.com"));
    EXPECT_EQ(catcher.opened[0].path(), QStringLiteral("/查询"));
    EXPECT_EQ(catcher.opened[0].query(), QStringLiteral("q=1"));
    EXPECT_EQ(catcher.opened[1].toString(), QStringLiteral("https://secure.example.com/"));
}

TEST_F(OpenTest, ExecuteFileStartsProgramsWithSplitParameters) {
    const QString program = File("tool");
    const QString out = File("tool-args");
    WriteArgumentRecorder(program, out);
    ExecuteFile("/S \"D:\\Tax Files\\a b\" --mode=quiet", nullptr, program.toStdString());
    EXPECT_EQ(WaitForLines(out), (QStringList{QStringLiteral("/S"), QStringLiteral("D:\\Tax Files\\a b"),
                                              QStringLiteral("--mode=quiet")}));

    // A bare name is looked up on the search path.
    const QString onPath = Bin() + QStringLiteral("/qm-installer");
    const QString pathOut = File("path-args");
    WriteArgumentRecorder(onPath, pathOut);
    ExecuteFile("one", nullptr, "qm-installer");
    EXPECT_EQ(WaitForLines(pathOut), QStringList{QStringLiteral("one")});
}

TEST_F(OpenTest, ExecuteFileStartsInstallersThatLackTheRunBit) {
    struct TCase {
        const char* name;
        QFile::Permissions permissions;
    };
    const QFile::Permissions readWrite = QFile::ReadOwner | QFile::WriteOwner;
    const QFile::Permissions callerAccess = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    const TCase cases[] = {
        {"setup.run", readWrite},
        {"install.sh", readWrite | QFile::ReadGroup | QFile::ReadOther},
        {"upgrade.sh", QFile::ReadOwner},
    };
    TUrlCatcher catcher({QStringLiteral("file")});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString installer = File(c.name);
        const QString out = installer + QStringLiteral("-args");
        WriteArgumentRecorder(installer, out);
        ASSERT_TRUE(QFile::setPermissions(installer, c.permissions));

        ExecuteFile("--quiet \"C:\\Tax Files\"", nullptr, installer.toStdString());
        EXPECT_EQ(WaitForLines(out),
                  (QStringList{QStringLiteral("--quiet"), QStringLiteral("C:\\Tax Files")}));
        // The run bit is added for whoever may read the file, and nothing else changes. (The
        // "User" flags describe the caller's access, not the file's mode: left out.)
        const QFile::Permissions mode = QFile::permissions(installer) & ~callerAccess;
        QFile::Permissions expected = (c.permissions & ~callerAccess) | QFile::ExeOwner;
        if (c.permissions & QFile::ReadGroup)
            expected |= QFile::ExeGroup;
        if (c.permissions & QFile::ReadOther)
            expected |= QFile::ExeOther;
        EXPECT_EQ(mode, expected);
    }
    EXPECT_TRUE(catcher.opened.isEmpty());
}

TEST_F(OpenTest, ExecuteFileHandsDocumentsAndAddressesToTheDesktop) {
    TUrlCatcher catcher({QStringLiteral("file"), QStringLiteral("mailto"), QStringLiteral("http")});
    // A script, but neither executable nor named like a program: a document, never run.
    const QString document = File("notes.txt");
    const QString out = File("document-ran");
    WriteArgumentRecorder(document, out);
    QFile::setPermissions(document, QFile::ReadOwner | QFile::WriteOwner);

    ExecuteFile("ignored", nullptr, document.toStdString());
    ExecuteFile("", nullptr, dir_.path().toStdString());
    ExecuteFile("", nullptr, "mailto:tax@example.com");
    ExecuteFile("", nullptr, "http://example.com/a");

    ASSERT_EQ(catcher.opened.size(), 4);
    EXPECT_EQ(catcher.opened[0], QUrl::fromLocalFile(document));
    EXPECT_EQ(catcher.opened[1], QUrl::fromLocalFile(dir_.path()));
    EXPECT_EQ(catcher.opened[2], QUrl(QStringLiteral("mailto:tax@example.com")));
    EXPECT_EQ(catcher.opened[3], QUrl(QStringLiteral("http://example.com/a")));
    EXPECT_FALSE(QFile::exists(out));

    // Nothing to open: nothing happens, nothing is reported.
    ExecuteFile("x", nullptr, "");
    ExecuteFile("x", nullptr, File("no-such-file").toStdString());
    ExecuteFile("x", nullptr, "qm-no-such-program");
    EXPECT_EQ(catcher.opened.size(), 4);
}

#include "test_open.moc"
