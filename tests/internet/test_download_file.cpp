#include "common/CurlPerform.h"
#include "common/HttpPolicy.h"
#include "common/Internet.h"
#include "tests/internet/InternetFixture.h"
#include "tests/support/TestPrograms.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace qm::test {
namespace {

using DownloadFileTest = InternetTest;

TEST_F(DownloadFileTest, CopiesTheBodyByteForByte) {
    const std::string target = downloads.File("package.bin");
    ASSERT_TRUE(DownloadFile(URL("/package.bin"), target));
    EXPECT_EQ(ReadBytes(target), Served("package.bin"));

    const std::string empty = downloads.File("empty.txt");
    ASSERT_TRUE(DownloadFile(URL("/empty.txt"), empty));
    EXPECT_TRUE(std::filesystem::exists(empty));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
}

TEST_F(DownloadFileTest, ReplacesAnExistingFile) {
    const std::string target = downloads.File("page.html");
    WriteBytes(target, std::string(100000, 'x'));
    ASSERT_TRUE(DownloadFile(URL("/page.html"), target));
    EXPECT_EQ(ReadBytes(target), Served("page.html"));
}

TEST_F(DownloadFileTest, FollowsRedirectsToTheTarget) {
    const std::string configured = downloads.File("configured.bin");
    ASSERT_TRUE(DownloadFile(URL("/old/package.bin"), configured));
    EXPECT_EQ(ReadBytes(configured), Served("package.bin"));

    const std::string requested = downloads.File("requested.bin");
    ASSERT_TRUE(DownloadFile(URL("/redirect?to=/page.html"), requested));
    EXPECT_EQ(ReadBytes(requested), Served("page.html"));
}

TEST_F(DownloadFileTest, MissingPageFailsButStaysOnDisk) {
    const std::string direct = downloads.File("gone.bin");
    EXPECT_FALSE(DownloadFile(URL("/gone.bin"), direct));
    ASSERT_TRUE(std::filesystem::exists(direct));
    EXPECT_NE(ReadBytes(direct).find("404 Not Found"), std::string::npos);

    const std::string redirected = downloads.File("redirected.bin");
    EXPECT_FALSE(DownloadFile(URL("/old/gone.bin"), redirected));
    ASSERT_TRUE(std::filesystem::exists(redirected));
    EXPECT_NE(ReadBytes(redirected).find("404 Not Found"), std::string::npos);
}

TEST_F(DownloadFileTest, PageSayingNotFoundFailsEvenWhenServedWithSuccess) {
    const std::string body = Serve("notfound.html", "<html><title>404 Not Found</title>sorry</html>");
    const std::string target = downloads.File("notfound.html");
    EXPECT_FALSE(DownloadFile(URL("/notfound.html"), target));
    EXPECT_EQ(ReadBytes(target), body);
}

// The body is judged as text read in blocks of 1025 bytes, each block only up to its first zero
// byte; the blocks' texts are joined.
TEST_F(DownloadFileTest, NotFoundTextCountsOnlyBeforeAZeroByteInItsBlock) {
    const std::string marker = "404 Not Found";

    std::string hidden = std::string(100, 'a') + '\0' + marker + std::string(2000, 'b');
    Serve("hidden.bin", hidden);
    EXPECT_TRUE(DownloadFile(URL("/hidden.bin"), downloads.File("hidden.bin")));
    EXPECT_EQ(ReadBytes(downloads.File("hidden.bin")), hidden);

    // The same when the block arrives in several pieces (the slow switch sends 500-byte steps).
    std::string hiddenLater =
        std::string(10, 'a') + '\0' + std::string(600, 'g') + marker + std::string(500, 'h');
    Serve("hidden-later.bin", hiddenLater);
    EXPECT_TRUE(DownloadFile(URL("/slow/hidden-later.bin?rate=5000"), downloads.File("hidden-later.bin")));
    EXPECT_EQ(ReadBytes(downloads.File("hidden-later.bin")), hiddenLater);

    // A zero in the first block does not hide text in the next block.
    std::string nextBlock = std::string(100, 'a') + '\0' + std::string(1025 - 101, 'c') + marker;
    Serve("next.bin", nextBlock);
    EXPECT_FALSE(DownloadFile(URL("/next.bin"), downloads.File("next.bin")));

    // Text straddling two blocks is found in the joined copy.
    std::string straddling = std::string(1025 - 5, 'd') + marker + std::string(10, 'e');
    Serve("straddling.bin", straddling);
    EXPECT_FALSE(DownloadFile(URL("/straddling.bin"), downloads.File("straddling.bin")));

    // ...but not when a zero earlier in the first block cut that block's text short.
    std::string cut =
        std::string(10, 'f') + '\0' + std::string(1025 - 16, 'd') + marker + std::string(10, 'e');
    Serve("cut.bin", cut);
    EXPECT_TRUE(DownloadFile(URL("/cut.bin"), downloads.File("cut.bin")));
}

TEST_F(DownloadFileTest, ErrorAnswerWithoutNotFoundTextStillFails) {
    const std::string target = downloads.File("refused.html");
    EXPECT_FALSE(DownloadFile(URL("/redirect?to=http://elsewhere.invalid/"), target));
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_NE(ReadBytes(target).find("400 Bad Request"), std::string::npos);
}

TEST_F(DownloadFileTest, UnreachableServerFailsAndLeavesAnExistingFileAlone) {
    const RefusingPort refusing;
    const std::string target = downloads.File("kept.bin");
    WriteBytes(target, "previous content");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadFile(refusing.URL("/package.bin"), target));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(ReadBytes(target), "previous content");

    // Only web addresses are fetched.
    EXPECT_FALSE(DownloadFile("file://" + served->File("page.html"), downloads.File("local.html")));
    EXPECT_FALSE(std::filesystem::exists(downloads.File("local.html")));
    EXPECT_FALSE(DownloadFile("", downloads.File("nothing.bin")));
    EXPECT_FALSE(std::filesystem::exists(downloads.File("nothing.bin")));
}

TEST_F(DownloadFileTest, DroppedConnectionFailsAndKeepsWhatArrived) {
    const std::string target = downloads.File("dropped.bin");
    EXPECT_FALSE(DownloadFile(URL("/drop/package.bin"), target));
    const std::string whole = Served("package.bin");
    EXPECT_EQ(ReadBytes(target), whole.substr(0, whole.size() / 2));

    const std::string beforeBody = downloads.File("dropped-early.bin");
    EXPECT_FALSE(DownloadFile(URL("/drop/package.bin?after=0"), beforeBody));
    ASSERT_TRUE(std::filesystem::exists(beforeBody));
    EXPECT_EQ(std::filesystem::file_size(beforeBody), 0u);
}

TEST_F(DownloadFileTest, WaitsForASlowBody) {
    const std::string target = downloads.File("slow.html");
    ASSERT_TRUE(DownloadFile(URL("/slow/page.html?rate=100"), target));
    EXPECT_EQ(ReadBytes(target), Served("page.html"));
}

TEST_F(DownloadFileTest, TargetThatCannotBeWrittenFails) {
    EXPECT_FALSE(DownloadFile(URL("/page.html"), downloads.File("no/such/folder/page.html")));
    EXPECT_FALSE(DownloadFile(URL("/page.html"), ""));
}

TEST_F(DownloadFileTest, WorksFromSeveralWorkerThreadsAtOnce) {
    constexpr int kThreads = 6;
    std::vector<int> succeeded(kThreads, -1);
    std::vector<std::thread> workers;
    for (int i = 0; i < kThreads; ++i) {
        workers.emplace_back([this, i, &succeeded] {
            const std::string path = i % 3 == 2   ? "/gone.bin"
                                     : i % 3 == 1 ? "/slow/page.html?rate=400"
                                                  : "/package.bin";
            succeeded[static_cast<std::size_t>(i)] =
                DownloadFile(URL(path), downloads.File(std::to_string(i))) ? 1 : 0;
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    for (int i = 0; i < kThreads; ++i) {
        SCOPED_TRACE(i);
        const std::string file = downloads.File(std::to_string(i));
        switch (i % 3) {
        case 0:
            EXPECT_EQ(succeeded[static_cast<std::size_t>(i)], 1);
            EXPECT_EQ(ReadBytes(file), Served("package.bin"));
            break;
        case 1:
            EXPECT_EQ(succeeded[static_cast<std::size_t>(i)], 1);
            EXPECT_EQ(ReadBytes(file), Served("page.html"));
            break;
        default:
            EXPECT_EQ(succeeded[static_cast<std::size_t>(i)], 0);
            EXPECT_NE(ReadBytes(file).find("404 Not Found"), std::string::npos);
        }
    }
}

// Every kind of transfer takes its limits from the one policy: redirects followed or answered, a
// body too slow for the whole-transfer limit ended, an answer past its cap cut off.
TEST_F(DownloadFileTest, PolicyLimitsShapeEveryTransfer) {
    struct TCase {
        const char* name;
        THttpLimits limits;
        std::string path;
        std::size_t cap;
        CURLcode result;
        long status;
    };
    const THttpLimits shortTotal{.connectMs = 5'000, .totalMs = 1'000, .maxRedirects = kFileRedirects};
    const TCase cases[] = {
        {"file follows", kSmallFileLimits, "/old/package.bin", 1 << 20, CURLE_OK, 200},
        {"probe answers the redirect", kProbeLimits, "/old/package.bin", 1 << 20, CURLE_OK, 302},
        {"service call answers the redirect", ServiceCallLimits(5), "/old/package.bin", 1 << 20, CURLE_OK,
         302},
        {"part follows", kDownloadPartLimits, "/old/package.bin", 1 << 20, CURLE_OK, 200},
        {"too slow for the total", shortTotal, "/slow/package.bin?rate=2000", 1 << 20,
         CURLE_OPERATION_TIMEDOUT, 200},
        {"service call too slow", ServiceCallLimits(0.5), "/slow/package.bin?rate=2000", 1 << 20,
         CURLE_OPERATION_TIMEDOUT, 200},
        {"past the cap", kSmallFileLimits, "/package.bin", 1000, CURLE_WRITE_ERROR, 200},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        CurlEasy curl = MakeHttpHandle(URL(c.path), c.limits);
        ASSERT_TRUE(curl);
        TCappedAnswer answer;
        answer.cap = c.cap;
        ASSERT_TRUE(CollectAnswer(curl.get(), answer));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(PerformStoppable(curl.get()), c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(AnswerStatus(curl.get()), c.status);
        EXPECT_EQ(answer.tooLarge, c.result == CURLE_WRITE_ERROR);
        if (c.result == CURLE_OK && c.status == 200) {
            EXPECT_EQ(answer.body, Served("package.bin"));
        }
    }
}

// Proxies come from the environment as libcurl reads it: a proxy that refuses fails the fetch,
// unless no_proxy exempts the host.
TEST_F(DownloadFileTest, ProxyFromTheEnvironmentIsUsed) {
    const RefusingPort refusingProxy;
    const TEnvGuard proxy("http_proxy", refusingProxy.URL(""));
    {
        const TEnvGuard direct("no_proxy", "");
        EXPECT_FALSE(DownloadFile(URL("/page.html"), downloads.File("proxied.html")));
        EXPECT_FALSE(std::filesystem::exists(downloads.File("proxied.html")));
    }
    const TEnvGuard direct("no_proxy", "127.0.0.1");
    ASSERT_TRUE(DownloadFile(URL("/page.html"), downloads.File("direct.html")));
    EXPECT_EQ(ReadBytes(downloads.File("direct.html")), Served("page.html"));
}

} // namespace
} // namespace qm::test
