// The account-service component against the real reference server, started by the tests with a
// data folder of their own.
#include "common/AccountConfig.h"
#include "common/AccountService.h"
#include "common/BrandingFile.h"
#include "common/Paths.h"
#include "common/TaxLog.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"
#include "tests/common/TestFiles.h"
#include "tests/internet/InternetFixture.h"
#include "tests/support/FetchOnce.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ReferenceServer.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace qm::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "Cl3ar-Pa55word-7781";

// Writes Config/brennik.xml with the given children (element name, text); element names are
// spelled in mixed case on purpose, since they are looked up without regard to case.
void WriteBranding(const std::vector<std::pair<std::string, std::string>>& children) {
    std::filesystem::create_directories(ConfigPath());
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<brennik>\n";
    for (const auto& [name, text] : children)
        xml += "  <" + name + ">" + text + "</" + name + ">\n";
    WriteBytes(ConfigPath() + "brennik.xml", xml + "</brennik>\n");
}

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const corvane::ETax& error) {
        return error.Message();
    }
    return "(no error)";
}

class AccountClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files = std::make_unique<TTempFolder>();
        std::filesystem::create_directories(files->Path() / "root");
        std::filesystem::create_directories(files->Path() / "data");
        WriteBytes((files->Path() / "data" / "services.json").string(), R"([
  {"serviceType": "Dunmo税务", "version": "9.0", "productCode": "P-100", "storeUrl": "http://store.invalid/100", "price": "0"},
  {"serviceType": "Dunmo税务", "version": "8.0", "productCode": "P-080", "storeUrl": "http://store.invalid/80", "price": "5"},
  {"serviceType": "Dunmo税务", "version": "9.0", "productCode": "P-101", "storeUrl": "http://store.invalid/101", "price": "12.50"}
])");
        server = StartServer("data", {});
    }
    static void TearDownTestSuite() {
        server.reset();
        files.reset();
    }
    void SetUp() override { UseServer(*server); }
    void TearDown() override { std::filesystem::remove(ConfigPath() + "brennik.xml"); }

    static std::unique_ptr<ReferenceServer> StartServer(const std::string& dataFolder,
                                                        std::vector<std::string> arguments) {
        if (!dataFolder.empty()) {
            std::filesystem::create_directories(files->Path() / dataFolder);
            arguments.insert(arguments.begin(), {"--data", (files->Path() / dataFolder).string()});
        }
        arguments.push_back("--test-routes"); // for the holding routes
        return std::make_unique<ReferenceServer>(files->Path() / "root", arguments);
    }
    static void UseServer(const ReferenceServer& running) {
        WriteBranding({{"AccountService_Addr", running.BaseURL() + "/"}});
    }
    // A registered user, logged in through the component.
    static void RegisterAndLogin(const std::string& userName) {
        std::string name = userName;
        std::string password = kPassword;
        std::string email = "someone@example.invalid";
        ASSERT_TRUE(CreateBrennikApi()->Register(name, password, "S-01", email).AsBoolean());
        CreateBrennikApi()->LoginIDP(userName, kPassword);
    }
    static std::string TokenLoginUrlFor(std::string target) {
        auto api = CreateBrennikApi();
        std::string once = api->UrlEncodeStr(target).AsString();
        const std::string twice = api->UrlEncodeStr(once).AsString();
        return api->BuildTokenLoginUrl(TokenLoginEndpoint() + twice).AsString();
    }

    static inline std::unique_ptr<TTempFolder> files;
    static inline std::unique_ptr<ReferenceServer> server;
};

TEST_F(AccountClientTest, RegistersLogsInAndHandsOutTokens) {
    struct Registration {
        std::string userName;
        std::string email;
        std::string error; // "" = created
    };
    const Registration registrations[] = {
        {"Ann", "ann@example.invalid", ""},
        {"aNN", "other@example.invalid", "已存在"},
        {"Bob", "", "不能为空"},
    };
    for (const Registration& registration : registrations) {
        std::string name = registration.userName;
        std::string password = kPassword;
        std::string email = registration.email;
        if (registration.error.empty()) {
            EXPECT_TRUE(CreateBrennikApi()->Register(name, password, "S-01", email).AsBoolean());
        } else {
            EXPECT_NE(ErrorOf([&] {
                          CreateBrennikApi()->Register(name, password, "S-01", email);
                      }).find(registration.error),
                      std::string::npos)
                << name;
        }
    }

    // A failed login leaves nobody logged in.
    EXPECT_EQ(ErrorOf([] { CreateBrennikApi()->LoginIDP("Ann", "wrong"); }), "用户名或密码错误");
    // Too many failures for one name: the service's own message, even for the right password.
    RegisterAndLogin("Guessed");
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(ErrorOf([] { CreateBrennikApi()->LoginIDP("Guessed", "wrong"); }), "用户名或密码错误");
    EXPECT_EQ(ErrorOf([] { CreateBrennikApi()->LoginIDP("Guessed", kPassword); }),
              "登录失败次数过多，请15分钟后再试");
    EXPECT_EQ(CreateBrennikApi()->NewToken().AsString(), "");
    EXPECT_EQ(ErrorOf([] { CreateBrennikApi()->BuildTokenLoginUrl("http://x/?a=1"); }), "未登录");

    CreateBrennikApi()->LoginIDP("ANN", kPassword);
    // The identity belongs to the process: a new object on another thread finds it.
    TAutoValue token;
    std::thread worker([&token] { token = CreateBrennikApi()->NewToken(); });
    worker.join();
    ASSERT_EQ(token.AsString().size(), 64u) << token.AsString();

    std::string ann = "ann";
    std::string bob = "Bob";
    std::string tokenText = token.AsString();
    std::string forged = std::string(64, 'a');
    EXPECT_TRUE(CreateBrennikApi()->LoginAPI(tokenText, ann).AsBoolean());
    EXPECT_EQ(CreateBrennikApi()->LoginAPI(token, ann).AsInteger(), 1);
    EXPECT_FALSE(CreateBrennikApi()->LoginAPI(forged, ann).AsBoolean());
    EXPECT_EQ(CreateBrennikApi()->LoginAPI(token, bob).AsInteger(), 0);

    // The database keeps a hash, never the password: SQLite's file and its write-ahead log, or
    // PostgreSQL's tables as text.
    std::string database;
    if (server->DatabaseUrl().empty()) {
        for (const char* file : {"accounts.sqlite", "accounts.sqlite-wal"})
            database += ReadBytes((files->Path() / "data" / file).string());
    } else {
        for (const char* table : {"accounts", "sessions", "login_tokens", "login_failures"})
            database += QueryText(server->DatabaseUrl(), std::string("SELECT t::text FROM ") + table + " t");
    }
    EXPECT_NE(database.find("Ann"), std::string::npos);
    EXPECT_EQ(database.find(kPassword), std::string::npos);
}

TEST_F(AccountClientTest, TokenLoginPageRedirectsOnceAndOnlyToWebAddresses) {
    RegisterAndLogin("Carol");
    const std::string target = "http://pages.invalid/账户/修改?a=1&b=x y%z";
    const std::string url = TokenLoginUrlFor(target);

    const TFetched first = FetchOnce(url);
    EXPECT_EQ(first.status, 302);
    EXPECT_EQ(first.location, target);
    EXPECT_EQ(FetchOnce(url).status, 403) << "a token logs a browser in once";

    const std::string forged = url.substr(0, url.size() - 64) + std::string(64, '0');
    EXPECT_EQ(FetchOnce(forged).status, 403);
    EXPECT_EQ(FetchOnce(url.substr(0, url.rfind("&token="))).status, 403);
    EXPECT_EQ(FetchOnce(TokenLoginUrlFor("javascript:alert(1)")).status, 400);
    EXPECT_EQ(FetchOnce(TokenLoginUrlFor("//evil.invalid/")).status, 400);
}

TEST_F(AccountClientTest, ExpiredTokensAreRefused) {
    const auto shortLived = StartServer("short", {"--token-lifetime", "1"});
    UseServer(*shortLived);
    RegisterAndLogin("Dora");
    std::string dora = "Dora";
    const TAutoValue token = CreateBrennikApi()->NewToken();
    const std::string url = TokenLoginUrlFor("https://pages.invalid/");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(CreateBrennikApi()->LoginAPI(token, dora).AsInteger(), 0);
    EXPECT_EQ(FetchOnce(url).status, 403);
}

TEST_F(AccountClientTest, ServiceListHoldsTheEntriesOfThatTypeAndVersion) {
    struct Query {
        std::string type;
        std::string version;
        std::vector<std::vector<std::string>> entries; // productCode, storeUrl, price
    };
    const Query queries[] = {
        {"Dunmo税务",
         "9.0",
         {{"P-100", "http://store.invalid/100", "0"}, {"P-101", "http://store.invalid/101", "12.50"}}},
        {"Dunmo税务", "8.0", {{"P-080", "http://store.invalid/80", "5"}}},
        {"Dunmo", "9.0", {}},
    };
    for (const Query& query : queries) {
        const auto list = CreateBrennikApi()->findMainServiceTypeList(query.type, query.version);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->Size(), static_cast<int>(query.entries.size())) << query.type << " " << query.version;
        for (int i = 1; i <= list->Size(); ++i) {
            const auto entry = list->item(i);
            const auto& expected = query.entries[static_cast<std::size_t>(i - 1)];
            EXPECT_EQ(entry->value("productCode"), expected[0]);
            EXPECT_EQ(entry->value("storeUrl"), expected[1]);
            EXPECT_EQ(entry->value("price"), expected[2]);
        }
    }
}

TEST_F(AccountClientTest, UrlEncodeStrKeepsOnlyUnreservedCharacters) {
    std::string text = "AZaz09-_.~ 税/&?=%+";
    EXPECT_EQ(CreateBrennikApi()->UrlEncodeStr(text).AsString(), "AZaz09-_.~%20%E7%A8%8E%2F%26%3F%3D%25%2B");
}

TEST_F(AccountClientTest, FailuresAreClearAndBounded) {
    const RefusingPort closed;
    const auto withoutData = StartServer("", {});
    struct Case {
        std::vector<std::pair<std::string, std::string>> branding; // empty: no branding file
        std::string error;
        double atMostSeconds;
    };
    const Case cases[] = {
        {{}, "没有安装", 1},
        {{{"TokenLogin_Addr", server->BaseURL()}}, "没有安装", 1},
        {{{"ACCOUNTSERVICE_ADDR", closed.URL("")}}, "无法连接账户服务", 5},
        {{{"accountservice_addr", server->URL("/hang")}, {"AccountService_Timeout", "1"}},
         "账户服务没有在1秒内应答",
         5},
        {{{"accountservice_addr", withoutData->BaseURL()}}, "--data", 5},
        // Refused before anything is sent: the password would cross the network in clear.
        {{{"accountservice_addr", "http://example.test"}}, "账户服务地址必须使用 https", 1},
    };
    for (const Case& failing : cases) {
        std::filesystem::remove(ConfigPath() + "brennik.xml");
        if (!failing.branding.empty())
            WriteBranding(failing.branding);
        const auto start = Clock::now();
        const std::string error = ErrorOf([] { CreateBrennikApi()->LoginIDP("Ann", kPassword); });
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_NE(error.find(failing.error), std::string::npos) << error;
        EXPECT_LE(seconds, failing.atMostSeconds) << error;
    }
    std::filesystem::remove(ConfigPath() + "brennik.xml");
    EXPECT_NE(ErrorOf([] { TokenLoginEndpoint(); }).find("accountservice_addr"), std::string::npos);
    WriteBranding(
        {{"accountservice_addr", "https://service.invalid/"}, {"tokenlogin_addr", "https://web.invalid"}});
    EXPECT_EQ(TokenLoginEndpoint(), "https://web.invalid/myaccount/loginSend.do?sendTo=");
}

TEST_F(AccountClientTest, PlainHttpIsAllowedOnlyToThisMachine) {
    const std::string port = std::to_string(server->Port());
    struct Case {
        std::string address;
        bool allowed;
    };
    const Case cases[] = {
        {"http://example.test", false},
        {"HTTP://example.test:80/api", false},
        {"http://10.0.0.1:" + port, false},
        {"http://128.0.0.1", false},
        {"http://[::2]:" + port, false},
        {"http://localhost.example.test", false},
        {"http://127.0.0.1@example.test/", false},
        {"http://127.0.0.1:80x", false},
        {"http://127.1", false},
        {"example.test:8080", false},
        {"ftp://127.0.0.1", false},
        {"http://127.0.0.1:" + port, true},
        {"http://127.5.6.7", true},
        {"http://[::1]:" + port + "/api", true},
        {"http://localhost", true},
        {"http://LocalHost:" + port + "?a=1", true},
        {"127.0.0.1:" + port, true},
        {"https://example.test", true},
        {"HTTPS://10.0.0.1:8443/api", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        WriteBranding({{"accountservice_addr", c.address}});
        if (c.allowed) {
            const std::optional<TAccountServiceConfig> config = ReadAccountServiceConfig();
            ASSERT_TRUE(config.has_value());
            EXPECT_EQ(config->serviceAddress, c.address);
        } else {
            EXPECT_EQ(ErrorOf([] { ReadAccountServiceConfig(); }), "账户服务地址必须使用 https");
            EXPECT_EQ(ErrorOf([] { TokenLoginEndpoint(); }), "账户服务地址必须使用 https");
        }
    }
    // An allowed loopback name really reaches the service: its own refusal comes back.
    WriteBranding({{"accountservice_addr", "http://localhost:" + port}});
    EXPECT_EQ(ErrorOf([] { CreateBrennikApi()->LoginIDP("nobody-here", kPassword); }), "用户名或密码错误");
}

// Every setting comes through the one branding reader: a missing file is no settings, a file that
// does not parse is an error that also reaches the log.
TEST_F(AccountClientTest, BrandingFileThatDoesNotParseIsRefusedAndLogged) {
    std::filesystem::remove(BrandingFile());
    TXmlConfig branding;
    EXPECT_FALSE(OpenBrandingFile(branding));
    EXPECT_FALSE(ReadAccountServiceConfig());

    WriteBytes(BrandingFile(), "<brennik><accountservice_addr>https://x</brennik>");
    const std::string logBefore =
        std::filesystem::exists(TTaxLog::LogFileName()) ? ReadBytes(TTaxLog::LogFileName()) : "";
    EXPECT_THROW(ReadAccountServiceConfig(), corvane::ETax);
    const std::string logAfter = ReadBytes(TTaxLog::LogFileName());
    ASSERT_GT(logAfter.size(), logBefore.size());
    EXPECT_NE(logAfter.substr(logBefore.size()).find("配置文件(" + BrandingFile() + ")无法读取"),
              std::string::npos);
}

} // namespace
} // namespace qm::test
