#include "tests/common/TestFiles.h"
#include "tests/internet/InternetFixture.h"
#include "tests/services/ServiceCalls.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ReferenceServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <httplib.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qm::test {
namespace {

// A served folder inside a parent that also holds a file the server must never hand out.
class ReferenceServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        outer = std::make_unique<TTempFolder>();
        WriteBytes(outer->File("secret.txt"), "outside the served folder");
        const std::filesystem::path root = outer->Path() / "root";
        std::filesystem::create_directories(root / "sub");
        WriteBytes((root / "data.bin").string(), BinaryBytes(5000, 7));
        WriteBytes((root / "sub" / "note.txt").string(), "a note");
        WriteBytes((root / "empty.txt").string(), "");
        std::filesystem::create_symlink(outer->Path() / "secret.txt", root / "link.txt");
        std::filesystem::create_symlink(outer->Path(), root / "outdir");
        server = std::make_unique<ReferenceServer>(
            root, std::vector<std::string>{"--redirect", "/latest=/sub/note.txt", "--test-routes"});
        data = ReadBytes((root / "data.bin").string());
    }
    static void TearDownTestSuite() {
        server.reset();
        outer.reset();
    }

    static httplib::Client Client() {
        httplib::Client client("127.0.0.1", server->Port());
        client.set_read_timeout(std::chrono::seconds(20));
        return client;
    }
    static httplib::Result GetWithRange(const std::string& path, const std::string& range) {
        return Client().Get(path.c_str(), httplib::Headers{{"Range", range}});
    }

    static inline std::unique_ptr<TTempFolder> outer;
    static inline std::unique_ptr<ReferenceServer> server;
    static inline std::string data;
};

TEST_F(ReferenceServerTest, ServesFilesWhole) {
    auto whole = Client().Get("/data.bin");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->body, data);
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");

    auto nested = Client().Get("/sub/note.txt");
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->body, "a note");

    auto empty = Client().Get("/empty.txt");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 200);
    EXPECT_EQ(empty->body, "");

    auto head = Client().Head("/data.bin");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(data.size()));
    EXPECT_EQ(head->body, "");
}

TEST_F(ReferenceServerTest, TellsWhenAFileWasLastModified) {
    const std::string file = (outer->Path() / "root" / "dated.txt").string();
    WriteBytes(file, "dated");
    // 2001-09-09 01:46:40 UTC.
    const auto when =
        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1000000000)));
    std::filesystem::last_write_time(file, when);
    auto head = Client().Head("/dated.txt");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Last-Modified"), "Sun, 09 Sep 2001 01:46:40 GMT");
}

TEST_F(ReferenceServerTest, AnswersByteRanges) {
    const std::string size = std::to_string(data.size());
    struct Case {
        std::string range;
        std::size_t first;
        std::size_t last;
    };
    const Case cases[] = {
        {"bytes=10-19", 10, 19},
        {"bytes=4990-", 4990, 4999},
        {"bytes=-7", 4993, 4999},
        {"bytes=4998-999999", 4998, 4999}, // an end past the file is cut to the file
        {"bytes=0-0", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        auto part = GetWithRange("/data.bin", c.range);
        ASSERT_TRUE(part);
        EXPECT_EQ(part->status, 206);
        EXPECT_EQ(part->get_header_value("Content-Range"),
                  "bytes " + std::to_string(c.first) + "-" + std::to_string(c.last) + "/" + size);
        EXPECT_EQ(part->body, data.substr(c.first, c.last - c.first + 1));
    }
}

TEST_F(ReferenceServerTest, RefusesRangesPastTheEnd) {
    for (const std::string range : {"bytes=5000-", "bytes=6000-7000", "bytes=-0"}) {
        SCOPED_TRACE(range);
        auto refused = GetWithRange("/data.bin", range);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 416);
        EXPECT_EQ(refused->get_header_value("Content-Range"), "bytes */5000");
    }
    auto empty = GetWithRange("/empty.txt", "bytes=0-");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 416);
}

TEST_F(ReferenceServerTest, NoRangeSwitchSendsTheWholeFile) {
    auto whole = GetWithRange("/norange/data.bin", "bytes=10-19");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->body, data);
    EXPECT_FALSE(whole->has_header("Content-Range"));
    EXPECT_FALSE(whole->has_header("Accept-Ranges"));
}

TEST_F(ReferenceServerTest, NoLengthSwitchSendsTheWholeFileInChunks) {
    for (const std::string path : {"/nolength/data.bin", "/nolength/empty.txt"}) {
        auto whole = GetWithRange(path, "bytes=10-19");
        ASSERT_TRUE(whole) << path;
        EXPECT_EQ(whole->status, 200) << path;
        EXPECT_EQ(whole->body, path == "/nolength/data.bin" ? data : "") << path;
        EXPECT_FALSE(whole->has_header("Content-Length")) << path;
        EXPECT_EQ(whole->get_header_value("Transfer-Encoding"), "chunked") << path;
        EXPECT_FALSE(whole->has_header("Accept-Ranges")) << path;
    }
}

TEST_F(ReferenceServerTest, NeverServesFilesOutsideTheRoot) {
    // A link to an outside folder answers alike whether the file behind it exists or not.
    for (const char* path :
         {"/../secret.txt", "/sub/../../secret.txt", "/%2e%2e/secret.txt", "/sub/%2E%2E/../secret.txt",
          "/link.txt", "/slow/../secret.txt", "/outdir/secret.txt", "/outdir/absent.txt"}) {
        SCOPED_TRACE(path);
        auto refused = Client().Get(path);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 404);
        EXPECT_EQ(refused->body.find("outside the served folder"), std::string::npos);
    }
}

TEST_F(ReferenceServerTest, MissingFilesGetANotFoundPage) {
    for (const char* path : {"/nothing.bin", "/sub", "/", "/sub/nothing/deeper.txt"}) {
        SCOPED_TRACE(path);
        auto missing = Client().Get(path);
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->status, 404);
        EXPECT_NE(missing->body.find("404 Not Found"), std::string::npos);
    }
}

TEST_F(ReferenceServerTest, RedirectsToLocalPaths) {
    auto configured = Client().Get("/latest");
    ASSERT_TRUE(configured);
    EXPECT_EQ(configured->status, 302);
    EXPECT_EQ(configured->get_header_value("Location"), "/sub/note.txt");

    auto requested = Client().Get("/redirect?to=/data.bin");
    ASSERT_TRUE(requested);
    EXPECT_EQ(requested->status, 302);
    EXPECT_EQ(requested->get_header_value("Location"), "/data.bin");

    for (const char* elsewhere :
         {"/redirect?to=//other.test/x", "/redirect?to=http://other.test/", "/redirect",
          "/redirect?to=/%09/evil.test", "/redirect?to=/%0d%0aSet-Cookie:x", "/redirect?to=/\\evil.test",
          "/redirect?to=/a\\b"}) {
        SCOPED_TRACE(elsewhere);
        auto refused = Client().Get(elsewhere);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 400);
        EXPECT_FALSE(refused->has_header("Location"));
    }
}

TEST_F(ReferenceServerTest, SlowSwitchDeliversEverythingInTheEnd) {
    // 5000 bytes at 20000 bytes a second: about a quarter of a second in small steps.
    auto slow = Client().Get("/slow/data.bin?rate=20000");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->status, 200);
    EXPECT_EQ(slow->body, data);

    auto slowPart = GetWithRange("/slow/data.bin?rate=20000", "bytes=100-2099");
    ASSERT_TRUE(slowPart);
    EXPECT_EQ(slowPart->status, 206);
    EXPECT_EQ(slowPart->body, data.substr(100, 2000));
}

TEST_F(ReferenceServerTest, DropSwitchCutsTheConnection) {
    std::string received;
    auto dropped = Client().Get("/drop/data.bin?after=1234", [&](const char* bytes, std::size_t length) {
        received.append(bytes, length);
        return true;
    });
    EXPECT_FALSE(dropped);
    EXPECT_EQ(received, data.substr(0, 1234));
}

TEST_F(ReferenceServerTest, FlakySwitchCutsOnlyTheFirstConnectionsOfAPath) {
    const auto fetch = [](const std::string& path, const std::string& range) {
        std::string received;
        httplib::Headers headers;
        if (!range.empty())
            headers.emplace("Range", range);
        const bool whole =
            static_cast<bool>(Client().Get(path, headers, [&](const char* bytes, std::size_t length) {
                received.append(bytes, length);
                return true;
            }));
        return std::make_pair(whole, received);
    };
    // Two cuts for the whole file; the count belongs to the path, whatever range is asked for.
    const std::string path = "/flaky/data.bin?after=1000&times=2";
    EXPECT_EQ(fetch(path, ""), std::make_pair(false, data.substr(0, 1000)));
    EXPECT_EQ(fetch(path, "bytes=2000-4999"), std::make_pair(false, data.substr(2000, 1000)));
    EXPECT_EQ(fetch(path, "bytes=2000-4999"), std::make_pair(true, data.substr(2000, 3000)));
    EXPECT_EQ(fetch(path, ""), std::make_pair(true, data));
    // Another path has a budget of its own: one cut by default, half the body.
    EXPECT_EQ(fetch("/flaky/sub/note.txt", ""), std::make_pair(false, std::string("a n")));
    EXPECT_EQ(fetch("/flaky/sub/note.txt", ""), std::make_pair(true, std::string("a note")));
}

// Its own server, since stopping it is the point.
TEST(ReferenceServerLifetimeTest, StopsCleanlyOnTerminateEvenMidTransfer) {
    TTempFolder root;
    WriteBytes(root.File("big.bin"), BinaryBytes(100000, 3));
    ReferenceServer server(root.Path(), {"--test-routes"});

    std::atomic<bool> transferStarted{false};
    std::thread reader([&] {
        httplib::Client client("127.0.0.1", server.Port());
        client.Get("/slow/big.bin?rate=1000", [&](const char*, std::size_t) {
            transferStarted = true;
            return true;
        });
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!transferStarted && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(transferStarted) << "the transfer never began";
    EXPECT_EQ(server.Stop(), 0);
    reader.join();
}

TEST(ReferenceServerLifetimeTest, ListensOnTheRequestedPort) {
    TTempFolder root;
    // A port found free can be taken by a test running beside this one before the server binds it:
    // then another is tried.
    for (int attempt = 1;; ++attempt) {
        int freePort = 0;
        {
            ReferenceServer probe(root.Path());
            freePort = probe.Port();
        }
        try {
            ReferenceServer server(root.Path(), {"--port", std::to_string(freePort)});
            EXPECT_EQ(server.Port(), freePort);
            EXPECT_EQ(server.BaseURL(), "http://127.0.0.1:" + std::to_string(freePort));
            return;
        } catch (const std::runtime_error& error) {
            if (attempt == 5)
                FAIL() << "no free port could be bound: " << error.what();
        }
    }
}

TEST(ReferenceServerLifetimeTest, RefusesToStartWithoutAFolderToServe) {
    TTempFolder root;
    EXPECT_THROW(ReferenceServer(root.Path() / "missing"), std::runtime_error);
    EXPECT_THROW(ReferenceServer(root.Path(), {"--redirect", "nonsense"}), std::runtime_error);
}

// A raw connection from a chosen loopback address (any 127.x address reaches 127.0.0.1), for
// requests no well-behaved client sends.
class RawConnection {
public:
    RawConnection(const char* from, int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            connect(socket_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0)
            throw std::runtime_error("cannot connect to the reference server");
    }
    ~RawConnection() { close(socket_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // False once the server has closed the connection.
    bool Send(const std::string& bytes) {
        return send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // What the server sends until it closes the connection, or until `longest` has passed.
    std::string Answer(std::chrono::milliseconds longest = std::chrono::seconds(10)) {
        std::string answer;
        const auto deadline = std::chrono::steady_clock::now() + longest;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd waiting{socket_, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0)
                continue;
            char buffer[4096];
            const ssize_t count = recv(socket_, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        return answer;
    }
    // The status code of the answer's first line; 0 when there is none.
    int Status(std::chrono::milliseconds longest = std::chrono::seconds(10)) {
        const std::string answer = Answer(longest);
        return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(answer.substr(9, 3)) : 0;
    }

private:
    int socket_;
};

std::string RawRequest(const std::string& method, const std::string& target, const std::string& headers,
                       const std::string& body = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The account and logging services with small limits, so that their rules show in little time.
class ReferenceServiceLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "data");
        server = std::make_unique<ReferenceServer>(
            folder.Path(), std::vector<std::string>{"--data", (folder.Path() / "data").string(),
                                                    "--header-timeout", "1", "--connections-per-client", "4",
                                                    "--name-failures", "3", "--address-failures", "5",
                                                    "--login-window", "8", "--session-idle", "2"});
    }
    httplib::Result Post(const std::string& path, const std::string& body,
                         const char* type = "application/json") {
        httplib::Client client("127.0.0.1", server->Port());
        client.set_read_timeout(std::chrono::seconds(20));
        return client.Post(path.c_str(), body, type);
    }
    // The status of a login, and how long it took.
    std::pair<int, double> Login(const std::string& name, const std::string& password) {
        const auto start = std::chrono::steady_clock::now();
        auto answer =
            Post("/account/login", nlohmann::json{{"userName", name}, {"password", password}}.dump());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        return {answer ? answer->status : 0, took.count()};
    }
    void Register(const std::string& name, const std::string& password) {
        auto answer =
            Post("/account/register",
                 nlohmann::json{{"userName", name}, {"password", password}, {"email", "a@b.test"}}.dump());
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 200) << answer->body;
    }

    TTempFolder folder;
    std::unique_ptr<ReferenceServer> server;
};

TEST(ReferenceServerLifetimeTest, TestRoutesAnswerOnlyWhenSwitchedOn) {
    TTempFolder root;
    std::filesystem::create_directories(root.Path() / "data");
    WriteBytes(root.File("page.txt"), "a page");
    const std::string data = (root.Path() / "data").string();
    for (const bool switchedOn : {false, true}) {
        SCOPED_TRACE(switchedOn ? "with --test-routes" : "without");
        std::vector<std::string> arguments{"--data", data};
        if (switchedOn)
            arguments.push_back("--test-routes");
        ReferenceServer server(root.Path(), arguments);
        httplib::Client client("127.0.0.1", server.Port());
        client.set_read_timeout(std::chrono::seconds(1)); // a held request times out
        struct Case {
            bool post;
            const char* path;
            int switchedOnStatus; // 0: cut or held, no answer
        };
        const Case cases[] = {{false, "/slow/page.txt", 200},   {false, "/drop/page.txt", 0},
                              {false, "/flaky/page.txt", 0},    {false, "/nosig/page.txt.sig", 503},
                              {false, "/hang/log/ping", 0},     {false, "/hang/myaccount/loginSend.do", 0},
                              {true, "/hang/account/login", 0}, {true, "/hang/log/usage", 0},
                              {true, "/log/switch", 200}};
        for (const Case& c : cases) {
            auto answer =
                c.post ? client.Post(c.path, R"({"mode": "accept", "delayMs": 999999})", "application/json")
                       : client.Get(c.path);
            EXPECT_EQ(answer ? answer->status : 0, switchedOn ? c.switchedOnStatus : 404) << c.path;
        }
        EXPECT_EQ(client.Get("/norange/page.txt")->status, 200); // harmless: always there
    }
}

TEST_F(ReferenceServiceLimitsTest, RefusesOversizedAndMistypedRequests) {
    const std::string name17k(17 * 1024, 'n');
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"an address of 9 KB", RawRequest("GET", "/x?" + std::string(9 * 1024, 'a'), ""), 414},
        {"17 KB of header fields", RawRequest("GET", "/x", "X-Filler: " + name17k + "\r\n"), 431},
        {"a great many header lines",
         RawRequest("GET", "/x",
                    [] {
                        std::string lines;
                        for (int i = 0; i < 3000; ++i)
                            lines += "X-A: b\r\n";
                        return lines;
                    }()),
         431},
        {"an account body of 17 KB",
         RawRequest("POST", "/account/login", "Content-Type: application/json\r\n",
                    R"({"userName":")" + name17k + R"("})"),
         413},
        {"a statistics text over 1 MB",
         RawRequest("POST", "/log/usage?id=a", "Content-Type: application/json\r\n",
                    std::string(1024 * 1024 + 1, ' ')),
         413},
        {"a login posted as plain text",
         RawRequest("POST", "/account/login", "Content-Type: text/plain\r\n",
                    R"({"userName":"a","password":"b"})"),
         415},
        {"a statistics text posted as a form",
         RawRequest("POST", "/log/usage?id=a", "Content-Type: application/x-www-form-urlencoded\r\n", "{}"),
         415},
        {"a login without a content type", RawRequest("POST", "/account/login", "", "{}"), 415},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawConnection connection("127.0.0.1", server->Port());
        connection.Send(c.request);
        EXPECT_EQ(connection.Status(), c.status);
    }
}

TEST_F(ReferenceServiceLimitsTest, RegistrationFieldsAreChecked) {
    Register("  Trimmed  ", "pw");
    struct Case {
        nlohmann::json body;
        int status;
        const char* error;
    };
    const std::string twin = std::string("Trimmed") + '\0' + "x";
    const Case cases[] = {
        {{{"userName", " "}, {"password", "p"}, {"email", "@"}}, 400, "用户名不能为空"},
        {{{"userName", std::string(65, 'n')}, {"password", "p"}, {"email", "a@b.cn"}},
         400,
         "用户名不能超过64个字符"},
        {{{"userName", twin}, {"password", "p"}, {"email", "a@b.cn"}}, 400, "用户名含有无效字符"},
        {{{"userName", "trimmed"}, {"password", "p"}, {"email", "a@b.cn"}}, 409, "用户名已存在"},
        {{{"userName", "长名字"}, {"password", std::string(129, 'p')}, {"email", "a@b.cn"}},
         400,
         "密码不能超过128个字符"},
        {{{"userName", "n1"}, {"password", "p"}, {"email", "a@@b.cn"}}, 400, "电子邮件地址无效"},
        {{{"userName", "n1"}, {"password", "p"}, {"email", "a@bcn"}}, 400, "电子邮件地址无效"},
        {{{"userName", "n1"}, {"password", "p"}, {"email", std::string(250, 'm') + "@b.cn"}},
         400,
         "电子邮件地址不能超过254个字符"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.dump());
        auto answer = Post("/account/register", c.body.dump());
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.status);
        EXPECT_EQ(nlohmann::json::parse(answer->body).value("error", ""), c.error);
    }
    // 64 characters of Chinese are 192 bytes, and allowed.
    std::string longest;
    for (int i = 0; i < 64; ++i)
        longest += "名";
    Register(longest, std::string(128, 'p'));
    EXPECT_EQ(Login(" trimmed ", "pw").first, 200);
}

TEST_F(ReferenceServiceLimitsTest, FailedLoginsLockANameAndAnAddressForTheWindow) {
    Register("ann", "right");
    Register("bob", "right");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Login("ann", "wrong").first, 401);
    auto refused = Post("/account/login", R"({"userName": "ANN", "password": "right"})");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    // The time left in the 8 s window, in whole seconds: less when the three hashed logins were slow.
    // (The window is long enough that failures made on a loaded machine are still in it below.)
    const int retryAfter = std::atoi(refused->get_header_value("Retry-After").c_str());
    EXPECT_GE(retryAfter, 1);
    EXPECT_LE(retryAfter, 8);
    EXPECT_EQ(nlohmann::json::parse(refused->body).value("error", ""), "登录失败次数过多，请1分钟后再试");
    // Another name is still open, until the address has failed 5 times in all.
    EXPECT_EQ(Login("bob", "right").first, 200);
    EXPECT_EQ(Login("bob", "wrong").first, 401);
    EXPECT_EQ(Login("nobody", "wrong").first, 401);
    EXPECT_EQ(Login("bob", "right").first, 429);
    // The window slides: once the failures have left it, the right password works and clears them.
    std::this_thread::sleep_for(std::chrono::milliseconds(8100));
    EXPECT_EQ(Login("ann", "right").first, 200);
    EXPECT_EQ(Login("ann", "wrong").first, 401);
    EXPECT_EQ(Login("ann", "wrong").first, 401);
    EXPECT_EQ(Login("ann", "right").first, 200);
}

TEST_F(ReferenceServiceLimitsTest, UnknownNamesTakeAsLongAsKnownOnes) {
    Register("known", "right");
    std::vector<double> known;
    std::vector<double> unknown;
    for (int i = 0; i < 2; ++i) {
        known.push_back(Login("known", "wrong").second);
        unknown.push_back(Login("unknown" + std::to_string(i), "wrong").second);
    }
    const double fastestKnown = *std::min_element(known.begin(), known.end());
    const double fastestUnknown = *std::min_element(unknown.begin(), unknown.end());
    EXPECT_GT(fastestUnknown * 2, fastestKnown) << fastestUnknown << " s against " << fastestKnown << " s";
}

TEST_F(ReferenceServiceLimitsTest, SessionsEndWhenUnused) {
    Register("sam", "right");
    auto login = Post("/account/login", R"({"userName": "sam", "password": "right"})");
    ASSERT_TRUE(login);
    const std::string session = nlohmann::json::parse(login->body).value("session", "");
    const auto token = [&] {
        return Post("/account/token", nlohmann::json{{"session", session}}.dump())->status;
    };
    for (int i = 0; i < 3; ++i) { // each use keeps it open
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_EQ(token(), 200);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    EXPECT_EQ(token(), 401);
}

TEST_F(ReferenceServiceLimitsTest, SlowClientsAreCutOffAndCappedPerAddress) {
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < 4; ++i) {
        slow.push_back(std::make_unique<RawConnection>("127.0.0.1", server->Port()));
        slow.back()->Send("GET /x HTTP/1.1\r\nHost: x\r\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    RawConnection fifth("127.0.0.1", server->Port());
    fifth.Send(RawRequest("GET", "/x", ""));
    EXPECT_EQ(fifth.Status(), 503);
    RawConnection other("127.0.0.2", server->Port());
    other.Send(RawRequest("GET", "/x", ""));
    EXPECT_EQ(other.Status(), 404);
    // The head never ends: the server gives up on it after its deadline of 1 s.
    for (auto& connection : slow) {
        connection->Send("X");
        EXPECT_EQ(connection->Status(std::chrono::seconds(5)), 408);
    }
}

// What an operator sees: health, metrics, and the address it was told to listen on.
TEST(ReferenceServerOperatorTest, HealthAndMetricsTellWhatTheServerDid) {
    TTempFolder root;
    std::filesystem::create_directories(root.Path() / "data");
    const std::string data = (root.Path() / "data").string();
    ReferenceServer server(root.Path(), {"--data", data, "--metrics", "--listen", "127.0.0.2:0"});
    EXPECT_EQ(server.BaseURL(), "http://127.0.0.2:" + std::to_string(server.Port()));
    httplib::Client client(server.BaseURL());
    const auto post = [&](const std::string& path, const std::string& body) {
        return client.Post(path.c_str(), body, "application/json")->status;
    };
    auto health = client.Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(health->body, R"({"database":"ok"})");
    ASSERT_EQ(post("/account/register", R"({"userName":"m","password":"p","email":"m@b.test"})"), 200);
    EXPECT_EQ(post("/account/login", R"({"userName":"m","password":"wrong"})"), 401);
    EXPECT_EQ(post("/account/login", R"({"userName":"m","password":"wrong"})"), 401);
    EXPECT_EQ(post("/log/usage?id=m1",
                   R"({"FProductID":"1","FProductVer":"1","FProductRegNO":"0","FAccountName":"0",)"
                   R"("FAccountUser":"0","FBKUser":"m","FAdditionalInfo":"0","FOperationDays":[)"
                   R"({"FOperationDay":"20261209","FFunctions":[{"FFunctionKey":"K",)"
                   R"("FOperationCount":"3"}]}]})"),
              200);
    auto metrics = client.Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_EQ(metrics->status, 200);
    EXPECT_EQ(metrics->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    for (const char* line :
         {"qm_http_requests_total{route=\"/account/login\",status=\"401\"} 2\n",
          "qm_http_requests_total{route=\"/account/register\",status=\"200\"} 1\n",
          "qm_http_requests_total{route=\"/healthz\",status=\"200\"} 1\n",
          "qm_http_request_duration_seconds_count{route=\"/account/login\"} 2\n",
          "qm_http_request_duration_seconds_bucket{route=\"/account/login\",le=\"+Inf\"} 2\n",
          "\nqm_login_failures_total 2\n", "\nqm_login_throttled_total 0\n",
          "\nqm_usage_files_stored_total 1\n", "\nqm_usage_counts_stored_total 3\n"})
        EXPECT_NE(metrics->body.find(line), std::string::npos) << line << metrics->body;

    // Without --metrics the path is just a file that is not there.
    ReferenceServer quiet(root.Path(), {"--data", data});
    EXPECT_EQ(httplib::Client(quiet.BaseURL()).Get("/metrics")->status, 404);
}

// Makes the server's usage database refuse every count of the function key "REFUSED", as a
// database refuses what breaks its rules.
void RefuseKeyInDatabase(const ReferenceServer& server, const std::filesystem::path& data) {
    if (!server.DatabaseUrl().empty()) {
        QueryText(server.DatabaseUrl(), "ALTER TABLE usage_counts ADD CONSTRAINT no_refused_key "
                                        "CHECK (function_key <> 'REFUSED')");
        return;
    }
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((data / "usage.sqlite").c_str(), &database), SQLITE_OK);
    sqlite3_busy_timeout(database, 5000);
    EXPECT_EQ(sqlite3_exec(database,
                           "CREATE TRIGGER no_refused_key BEFORE INSERT ON usage_counts "
                           "WHEN NEW.function_key = 'REFUSED' BEGIN SELECT RAISE(ABORT, 'refused'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(database);
    sqlite3_close(database);
}

// The value of one metric as the server reports it; -1 when it is missing.
long Metric(const ReferenceServer& server, const std::string& name) {
    const auto answer = httplib::Client(server.BaseURL()).Get("/metrics");
    const std::string body = answer ? answer->body : "";
    const auto at = body.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::stol(body.substr(at + name.size() + 2));
}

// Statistics files that arrive while another is being stored are stored together in the next
// transaction; each is answered after it is stored, counted once, and a file the database refuses
// fails alone.
TEST(ReferenceServerUsageTest, FilesArrivingTogetherAreStoredTogetherEachOnce) {
    constexpr int kSenders = 24; // below the connections one client may hold
    struct Sent {
        std::string id;
        int count;
        const char* key;
    };
    struct Case {
        const char* name;
        std::function<Sent(int sender)> file;
        long files;       // stored afterwards, the held file not counted
        long total;       // uses counted
        long mostCommits; // for the files sent together; -1: not checked
    };
    const Case cases[] = {
        {"different files",
         [](int i) {
             return Sent{"f" + std::to_string(i), i + 1, "K"};
         },
         kSenders, kSenders * (kSenders + 1) / 2, 2},
        // Replacing one another: stored as one, its uses counted once.
        {"one file from every sender",
         [](int) {
             return Sent{"same", 5, "K"};
         },
         1, 5, 2},
        {"one refused among good ones",
         [](int i) {
             return Sent{"g" + std::to_string(i), 2, i == 7 ? "REFUSED" : "K"};
         },
         kSenders - 1, 2 * (kSenders - 1), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder root;
        const std::filesystem::path data = root.Path() / "data";
        std::filesystem::create_directories(data);
        // Four database connections: one writer stores usage files, so the held one holds the rest.
        ReferenceServer server(root.Path(), {"--data", data.string(), "--test-routes", "--metrics",
                                             "--database-connections", "4"});
        RefuseKeyInDatabase(server, data);
        const ServiceCalls calls(server);
        ASSERT_EQ(
            ServiceCalls::Status(calls.Post("/log/switch", {{"mode", "accept"}, {"pauseInStoreMs", 2000}})),
            200);
        auto held =
            std::async(std::launch::async, [&] { return calls.SendUsage("held", UsageText("h", 1)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(ServiceCalls::Status(calls.Post("/log/switch", {{"mode", "accept"}})), 200);
        std::vector<std::future<std::string>> answers;
        for (int i = 0; i < kSenders; ++i) {
            const Sent sent = c.file(i);
            answers.push_back(std::async(std::launch::async, [&calls, sent] {
                return calls.SendUsage(sent.id, UsageText("u", sent.count, sent.key));
            }));
        }
        EXPECT_EQ(held.get(), "200 #00");
        for (int i = 0; i < kSenders; ++i) {
            const std::string answer = answers[static_cast<std::size_t>(i)].get();
            if (std::string(c.file(i).key) == "REFUSED")
                EXPECT_EQ(answer.substr(0, 4), "500 ") << i;
            else
                EXPECT_EQ(answer, "200 #00") << i;
        }
        const nlohmann::json summary = calls.Summary();
        EXPECT_EQ(summary.value("files", 0L), c.files + 1);
        EXPECT_EQ(summary.value("total", 0L), c.total + 1);
        if (c.mostCommits > 0) {
            const long commits = Metric(server, "qm_usage_commits_total");
            EXPECT_GE(commits, 2);
            EXPECT_LE(commits, 1 + c.mostCommits);
        }
    }
}

// Behind a front end every connection comes from the front end's address: the address a trusted
// front end names is the one whose failed logins count, and only a trusted one is believed.
TEST(ReferenceServerOperatorTest, FailedLoginsCountPerClientBehindATrustedFrontEnd) {
    TTempFolder root;
    std::filesystem::create_directories(root.Path() / "data");
    ReferenceServer server(root.Path(), {"--data", (root.Path() / "data").string(), "--address-failures", "2",
                                         "--trusted-proxy", "127.0.0.1"});
    int name = 0;
    const auto login = [&](const char* from, const char* named) {
        RawConnection connection(from, server.Port());
        const std::string body = R"({"userName":"n)" + std::to_string(++name) + R"(","password":"x"})";
        connection.Send(
            RawRequest("POST", "/account/login",
                       std::string("Content-Type: application/json\r\nX-Real-IP: ") + named + "\r\n", body));
        return connection.Status();
    };
    struct Case {
        const char* from;
        const char* named;
        int status;
    };
    const Case cases[] = {
        {"127.0.0.1", "10.0.0.1", 401}, {"127.0.0.1", "10.0.0.1", 401}, {"127.0.0.1", "10.0.0.1", 429},
        {"127.0.0.1", "10.0.0.2", 401}, // another client behind the same front end
        {"127.0.0.3", "10.0.0.3", 401}, {"127.0.0.3", "10.0.0.4", 401}, // not trusted: its own address counts
        {"127.0.0.3", "10.0.0.5", 429},
    };
    for (const Case& c : cases)
        EXPECT_EQ(login(c.from, c.named), c.status) << c.from << " naming " << c.named;
}

} // namespace
} // namespace qm::test
