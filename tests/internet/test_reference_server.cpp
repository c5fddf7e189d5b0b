#include "tests/common/TestFiles.h"
#include "tests/internet/InternetFixture.h"
#include "tests/support/ReferenceServer.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <thread>

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
        server = std::make_unique<ReferenceServer>(
            root, std::vector<std::string>{"--redirect", "/latest=/sub/note.txt"});
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
    for (const char* path : {"/../secret.txt", "/sub/../../secret.txt", "/%2e%2e/secret.txt",
                             "/sub/%2E%2E/../secret.txt", "/link.txt", "/slow/../secret.txt"}) {
        SCOPED_TRACE(path);
        auto refused = Client().Get(path);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 403);
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
         {"/redirect?to=//other.test/x", "/redirect?to=http://other.test/", "/redirect"}) {
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
    ReferenceServer server(root.Path());

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

} // namespace
} // namespace qm::test
