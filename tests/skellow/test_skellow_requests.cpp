// The channels plug-in through the real bus: the catalogue refresh against the reference server's
// account service, the forum and home pages through the real login plug-in (the default browser is
// a script that records its arguments), and usage events shipped to the logging service. The
// catalogue refresh keeps a store list's signature, made and checked with the real signing tool.
#include "common/AccountConfig.h"
#include "common/AccountService.h"
#include "corvane/Errors.h"
#include "skellow/XmlFile.h"
#include "tests/login/LoginTestSupport.h"
#include "tests/skellow/SkellowFixture.h"
#include "tests/support/TestPrograms.h"
#include "tests/upgrade/SigningSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;
using skellow_test::ReadBytes;
using skellow_test::WriteBytes;

const char* const kCatalogue =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<appstore>\r\n"
    "  <category id=\"tools\">\r\n"
    "    <app id=\"1\" key=\"QM-TAXCALC\" intro_url=\"http://old/1\" price_desc=\"old\" "
    "name=\"\xB8\xF6\xCB\xB0\"/>\r\n"
    "    <app id=\"2\" key=\"QM-INVSTAT\" intro_url=\"http://old/2\" price_desc=\"old\"/>\r\n"
    "  </category>\r\n"
    "  <category id=\"more\">\r\n"
    "    <app id=\"3\" key=\"qm-taxcalc\" intro_url=\"http://old/3\" price_desc=\"old\"/>\r\n"
    "  </category>\r\n"
    "</appstore>\r\n";

class SkellowRequestTest : public skellow_test::SkellowFixture {
protected:
    static std::string Catalogue() { return qm::IssueFile(); }
    void WriteServices(const std::string& json) { WriteBytes(Data() + "/services.json", json); }
    IDataDocument Invoke(int number) {
        return corvane::Khan().Invoke(Skellow(), TakeDataDocument(number, 0));
    }

    // The attributes of the catalogue entry with that id.
    static std::pair<std::string, std::string> Entry(const std::string& id) {
        const qm::skellow::TXmlDoc doc = qm::skellow::LoadXmlFile(Catalogue());
        for (xmlNode* group = xmlDocGetRootElement(doc.get())->children; group; group = group->next)
            for (xmlNode* app = group->children; app; app = app->next)
                if (app->type == XML_ELEMENT_NODE && qm::skellow::Attribute(app, "id") == id)
                    return {qm::skellow::Attribute(app, "intro_url"),
                            qm::skellow::Attribute(app, "price_desc")};
        return {};
    }
};

// The first matching entry only, codes without regard to case, "0" becomes "免费", other prices
// as they are, unknown codes and other service types change nothing.
TEST_F(SkellowRequestTest, TheCatalogueRefreshUpdatesTheFirstMatchingEntry) {
    WriteBytes(Catalogue(), kCatalogue);
    WriteServices(R"([
      {"serviceType": "Dunmo税务", "version": "9.0", "productCode": "qm-TaxCalc", "storeUrl": "http://store/calc", "price": "0"},
      {"serviceType": "Dunmo税务", "version": "9.0", "productCode": "QM-INVSTAT", "storeUrl": "http://store/inv", "price": "98元/年"},
      {"serviceType": "Dunmo税务", "version": "9.0", "productCode": "QM-NONE", "storeUrl": "http://store/none", "price": "1"},
      {"serviceType": "Dunmo税务", "version": "8.0", "productCode": "QM-INVSTAT", "storeUrl": "http://store/old", "price": "5"}
    ])");
    Invoke(101);
    EXPECT_EQ(Entry("1"), std::make_pair(std::string("http://store/calc"), std::string("免费")));
    EXPECT_EQ(Entry("2"), std::make_pair(std::string("http://store/inv"), std::string("98元/年")));
    EXPECT_EQ(Entry("3"), std::make_pair(std::string("http://old/3"), std::string("old")));
    const std::string bytes = ReadBytes(Catalogue());
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<appstore>\r\n", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("\xC3\xE2\xB7\xD1"), std::string::npos) << "免费 in GB2312";
}

// The refresh rewrites the store list (presentation attributes, encoding, line breaks) but keeps
// what a publisher signs: the real tool's store signature made before the refresh still holds.
TEST_F(SkellowRequestTest, TheCatalogueRefreshKeepsTheStoreListsSignature) {
    const std::string signedCatalogue =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<appstore>\r\n  <category id=\"tools\">\r\n"
        "    <app id=\"1\" key=\"QM-TAXCALC\" name=\"\xB8\xF6\xCB\xB0\" ver=\"1.2\" params=\"/q\" "
        "url=\"http://127.0.0.1:9/1.run\" sha256=\"" +
        std::string(64, 'a') +
        "\" intro_url=\"http://old/1\" price_desc=\"old\"/>\r\n"
        "  </category>\r\n</appstore>\r\n";
    WriteBytes(Catalogue(), signedCatalogue);
    WriteServices(R"([{"serviceType": "Dunmo税务", "version": "9.0", "productCode": "QM-TAXCALC",
                       "storeUrl": "http://store/calc", "price": "0"}])");
    QTemporaryDir keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.path().toStdString());
    upgrade_test::SignStoreList(publisher, Catalogue());
    const auto verify = [&] {
        return upgrade_test::RunSignTool({"verify-store", QString::fromStdString(publisher.publicKey),
                                          QString::fromStdString(Catalogue())})
            .exitCode;
    };
    ASSERT_EQ(verify(), 0);

    Invoke(101);
    EXPECT_EQ(Entry("1"), std::make_pair(std::string("http://store/calc"), std::string("免费")));
    EXPECT_NE(ReadBytes(Catalogue()), signedCatalogue) << "the refresh rewrote the file";
    EXPECT_EQ(verify(), 0) << "and the signature still holds";

    // A changed address is still caught after the refresh.
    std::string forged = ReadBytes(Catalogue());
    forged.replace(forged.find("127.0.0.1:9/1.run"), 17, "127.0.0.1:9/x.run");
    WriteBytes(Catalogue(), forged);
    EXPECT_EQ(verify(), 1);
}

// An empty list leaves the file untouched (same bytes, same modification time); errors reach the
// caller and leave it as it was.
TEST_F(SkellowRequestTest, TheCatalogueStaysUntouchedWithoutServicesOrOnErrors) {
    WriteBytes(Catalogue(), kCatalogue);
    const auto past = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(Catalogue(), past);
    WriteServices("[]");
    Invoke(101);
    EXPECT_EQ(ReadBytes(Catalogue()), kCatalogue);
    EXPECT_EQ(std::filesystem::last_write_time(Catalogue()), past);

    WriteServices("{\"not\": \"a list\"}");
    EXPECT_THROW(Invoke(101), corvane::ETax);
    std::filesystem::remove(BrandingPath());
    EXPECT_THROW(Invoke(101), corvane::ETax);
    EXPECT_EQ(ReadBytes(Catalogue()), kCatalogue);
    EXPECT_EQ(std::filesystem::last_write_time(Catalogue()), past);
}

// Sends this process's standard error into a file while it lives, so that a child process started
// meanwhile writes its diagnostics there.
class TStderrToFile {
public:
    explicit TStderrToFile(const std::string& file) : saved_(dup(STDERR_FILENO)) {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            dup2(fd, STDERR_FILENO); // the copy is inherited: dup2 does not carry close-on-exec
            close(fd);
        }
    }
    ~TStderrToFile() {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    TStderrToFile(const TStderrToFile&) = delete;
    TStderrToFile& operator=(const TStderrToFile&) = delete;

private:
    int saved_;
};

// The HTTP status of a GET, redirects not followed.
long StatusOf(const std::string& url) {
    qm::CurlEasy curl = qm::MakeCurlEasy();
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, skellow_test::Collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    long status = 0;
    if (curl_easy_perform(curl.get()) == CURLE_OK)
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    return status;
}

// A token login as the desk makes it (a logged-in account, a token-login address opened by the
// browser) leaves the account paths in the server's access log without their query strings, so
// that no login token stands in it.
TEST_F(SkellowRequestTest, TheServersAccessLogHoldsNoLoginToken) {
    const std::string logFile = Data() + "/access.log";
    std::filesystem::create_directories(Data() + "/logged");
    std::unique_ptr<qm::test::ReferenceServer> server;
    {
        const TStderrToFile redirect(logFile);
        server = std::make_unique<qm::test::ReferenceServer>(
            Data(), std::vector<std::string>{"--data", Data() + "/logged", "--test-routes"});
    }
    WriteBranding(server->BaseURL());
    const std::unique_ptr<qm::IBrennikApi> api = qm::CreateBrennikApi();
    std::string user = "ann";
    std::string password = "ann-pass-2026";
    std::string email = "ann@example.com";
    ASSERT_TRUE(api->Register(user, password, "", email).AsBoolean());
    api->LoginIDP(user, password);
    std::string target = "http://127.0.0.1:9/forum";
    std::string once = api->UrlEncodeStr(target).AsString();
    const std::string address =
        api->BuildTokenLoginUrl(qm::TokenLoginEndpoint() + api->UrlEncodeStr(once).AsString()).AsString();
    const std::string token = address.substr(address.rfind("token=") + 6);
    ASSERT_EQ(token.size(), 64u) << address;
    EXPECT_EQ(StatusOf(address), 302);
    EXPECT_EQ(StatusOf(server->URL("/log/summary?view=all")), 200);
    server->Stop();

    const std::string log = ReadBytes(logFile);
    EXPECT_NE(log.find("POST /account/token -> 200"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /myaccount/loginSend.do -> 302"), std::string::npos) << log;
    EXPECT_EQ(log.find(token), std::string::npos) << log;
    EXPECT_EQ(log.find("sendTo"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /log/summary?view=all -> 200"), std::string::npos) << log; // other paths whole
}

class SkellowPageTest : public SkellowRequestTest {
protected:
    void SetUp() override {
        SkellowRequestTest::SetUp();
        QDir().mkpath(dir_.filePath(QStringLiteral("bin")));
        QDir().mkpath(dir_.filePath(QStringLiteral("data/applications")));
        WriteScript(dir_.filePath(QStringLiteral("bin/xdg-settings")), "printf 'qm-recorder.desktop\\n'\n");
        const QString recorder = dir_.filePath(QStringLiteral("recorder"));
        WriteArgumentRecorder(recorder, BrowserOutput());
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/qm-recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + recorder.toStdString() + " %u\n");
        WriteBranding("http://127.0.0.1:9", "<forum_addr>http://127.0.0.1:9/forum</forum_addr>"
                                            "<home_addr>http://127.0.0.1:9/home</home_addr>");
    }
    QString BrowserOutput() const { return dir_.filePath(QStringLiteral("browser-args")); }

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString() + ":/usr/bin:/bin"};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
};

// Request 1 asks for a login (the login dialog comes up; it is cancelled) and opens the forum;
// request 2 opens the home page without asking anybody.
TEST_F(SkellowPageTest, PagesOpenThroughTheLoginPlugin) {
    struct TCase {
        int number;
        bool asksForLogin;
        const char* address;
    };
    for (const TCase c :
         {TCase{1, true, "http://127.0.0.1:9/forum"}, TCase{2, false, "http://127.0.0.1:9/home"}}) {
        SCOPED_TRACE(c.number);
        QFile::remove(BrowserOutput());
        bool dialogShown = false;
        login_test::TModalWatcher watcher([&](QWidget* dialog) {
            dialogShown = true;
            static_cast<QDialog*>(dialog)->reject();
        });
        Invoke(c.number);
        EXPECT_EQ(dialogShown, c.asksForLogin);
        EXPECT_EQ(WaitForLines(BrowserOutput()), QStringList{QString::fromUtf8(c.address)});
    }
}

TEST_F(SkellowPageTest, PagesDoNothingWithoutTheLoginPlugin) {
    const std::string login = qm::PluginsPath() + "Login/Porlock.so";
    std::filesystem::rename(login, login + ".away");
    EXPECT_NO_THROW(Invoke(1));
    EXPECT_NO_THROW(Invoke(2));
    std::filesystem::rename(login + ".away", login);
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(BrowserOutput()));
    EXPECT_FALSE(corvane::Khan().IsLoaded(qm::PluginsPath() + "Login/Porlock.dll"));
}

class SkellowUsageTest : public skellow_test::SkellowFixture {
protected:
    void Send(const std::string& user, const std::string& key) {
        corvane::Khan().Invoke(Skellow(), UsageEvent(user, key));
    }
    bool AllShipped(long long total) {
        return WaitFor([&] { return skellow_test::FilesIn(Folder()) == 0 && Stored() == total; });
    }
};

// An unreadable statistics file and a service that answers with an error are logged; the worker
// goes on and the later events are counted and shipped.
TEST_F(SkellowUsageTest, TheWorkerGoesOnAfterErrors) {
    std::filesystem::create_directories(Folder());
    WriteBytes(Folder() + "Behavior.xml", "<Behavior><Data>");
    Send("ann", "K1");
    ASSERT_TRUE(AllShipped(1));
    EXPECT_NE(LogText().find("功能统计：统计文件无法读取，已另存为.bad："), std::string::npos) << LogText();

    // The file routes answer the readiness check (a file) but not the upload: an HTTP error.
    std::filesystem::create_directories(Data() + "/broken/log");
    WriteBytes(Data() + "/broken/log/ping", "ready");
    WriteBranding(server_->BaseURL() + "/broken");
    Send("ann", "K2");
    ASSERT_TRUE(WaitFor([&] { return LogText().find("功能统计：HttpQueryInfo") != std::string::npos; }))
        << LogText();
    EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 1);

    WriteBranding(server_->BaseURL());
    Send("", "K3");
    ASSERT_TRUE(AllShipped(3));
    EXPECT_EQ(LogText().find("功能统计：网络异常"), std::string::npos);
}

// Unloading the plug-in (as the desk does when it closes) while the logging service hangs, in its
// readiness check or holding an upload for a minute, cuts the call short instead of waiting out the
// service's time limit; the event queued behind the call is still recorded and the file stays for
// the next start.
TEST_F(SkellowUsageTest, UnloadingDoesNotWaitForAHangingService) {
    struct TCase {
        const char* name;
        bool holdUpload; // else the readiness check hangs
    };
    for (const TCase c : {TCase{"readiness check hangs", false}, TCase{"upload held", true}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(Folder());
        std::filesystem::remove_all(qm::AppPath() + "Log");
        skellow_test::SwitchLogService(server_->BaseURL(), "accept", "", c.holdUpload ? 60000 : 0);
        WriteBranding(server_->BaseURL() + (c.holdUpload ? "" : "/hang"), "", 60);
        Send("ann", "K1");
        if (c.holdUpload) {
            ASSERT_TRUE(WaitFor([&] { return Stored() == 1; })); // stored, the answer held
        } else {
            ASSERT_TRUE(WaitFor([&] { return skellow_test::CountsInFolder(Folder()) == 1; }));
            QTest::qWait(300); // the worker goes on into the readiness check
        }
        Send("ann", "K2");

        const auto start = std::chrono::steady_clock::now();
        corvane::Khan().UnloadPlugin(Skellow());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); // the bus unloads from the loop
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took.count(), 2.0);
        EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 2);
        EXPECT_EQ(LogText().find("功能统计：网络异常"), std::string::npos) << LogText();
        EXPECT_EQ(LogText().find("功能统计：发送已中止") != std::string::npos, c.holdUpload)
            << "[" << LogText() << "]";
    }
}

// The statistics folder is removed after an event has been saved, or a file stands in its place
// when an event comes (the save fails and is logged): the worker goes on, makes the folder again at
// the next save, and loses no count that was not in the removed folder.
TEST_F(SkellowUsageTest, TheStatisticsFolderIsMadeAgainWhenItIsGone) {
    struct TCase {
        const char* name;
        bool fileInItsPlace;
        long long counted; // in the folder after the second event
    };
    const std::string folder = qm::AppPath() + "BKLOG";
    for (const TCase c : {TCase{"folder removed after the first event", false, 1},
                          TCase{"a file in its place at the first event", true, 2}}) {
        SCOPED_TRACE(c.name);
        corvane::Khan().UnloadPlugin(Skellow());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        std::filesystem::remove_all(folder);
        std::filesystem::remove_all(qm::AppPath() + "Log");
        skellow_test::SwitchLogService(server_->BaseURL(), "away");
        if (c.fileInItsPlace)
            WriteBytes(folder, "not a folder");
        Send("ann", "K1");
        if (c.fileInItsPlace) {
            ASSERT_TRUE(
                WaitFor([] { return LogText().find("功能统计：使用记录无法保存：") != std::string::npos; }));
            std::filesystem::remove(folder);
        } else {
            ASSERT_TRUE(WaitFor([&] { return skellow_test::CountsInFolder(Folder()) == 1; }));
            std::filesystem::remove_all(folder);
        }
        Send("ann", "K2");
        EXPECT_TRUE(WaitFor([&] { return skellow_test::CountsInFolder(Folder()) == c.counted; }))
            << skellow_test::CountsInFolder(Folder()) << "\n"
            << LogText();
    }
}

// With "usage_statistics" 0 in SysConfig.Xml nothing is recorded or shipped and the files already
// there are left alone.
TEST_F(SkellowUsageTest, UsageStatisticsCanBeSwitchedOff) {
    std::filesystem::create_directories(Folder());
    const std::string waiting =
        "<?xml version=\"1.0\"?>\r\n<Behavior FFileID=\"w\"><Data><FBKUser>a</FBKUser>"
        "</Data></Behavior>\r\n";
    WriteBytes(Folder() + "Behavior.xml", waiting);
    WriteBytes(qm::ConfigPath() + "SysConfig.Xml",
               "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<params><usage_statistics>0</usage_statistics>"
               "</params>\r\n");
    for (int i = 0; i < 5; ++i)
        Send("ann", "K1");
    QTest::qWait(500);
    EXPECT_EQ(ReadBytes(Folder() + "Behavior.xml"), waiting);
    EXPECT_EQ(skellow_test::FilesIn(Folder()), 1u);
    EXPECT_EQ(Stored(), 0);
}

} // namespace
