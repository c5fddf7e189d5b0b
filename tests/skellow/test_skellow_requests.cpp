// The channels plug-in through the real bus: the catalogue refresh against the reference server's
// account service, the forum and home pages through the real login plug-in (the default browser is
// a script that records its arguments), and usage events shipped to the logging service. The
// catalogue refresh keeps a store list's signature, made and checked with the real signing tool.
#include "corvane/Errors.h"
#include "skellow/XmlFile.h"
#include "tests/login/LoginTestSupport.h"
#include "tests/skellow/SkellowFixture.h"
#include "tests/support/TestPrograms.h"
#include "tests/upgrade/SigningSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTest>

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
