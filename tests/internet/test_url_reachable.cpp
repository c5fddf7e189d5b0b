#include "common/Internet.h"
#include "tests/internet/InternetFixture.h"

#include <chrono>
#include <thread>

namespace qm::test {
namespace {

using URLReachableTest = InternetTest;

TEST_F(URLReachableTest, SuccessAndRedirectAnswersAreReachable) {
    EXPECT_TRUE(IsURLReachable(URL("/page.html")));
    EXPECT_TRUE(IsURLReachable(URL("/old/package.bin")));
    EXPECT_TRUE(IsURLReachable(URL("/redirect?to=/page.html")));
    // Not followed: a redirect to a missing page still answers 302 itself.
    EXPECT_TRUE(IsURLReachable(URL("/old/gone.bin")));
}

TEST_F(URLReachableTest, ErrorAnswersAreNotReachable) {
    EXPECT_FALSE(IsURLReachable(URL("/gone.bin")));
    EXPECT_FALSE(IsURLReachable(URL("/%2e%2e/secret.txt")));             // 403
    EXPECT_FALSE(IsURLReachable(URL("/redirect?to=http://x.invalid/"))); // 400
}

TEST_F(URLReachableTest, UnreachableServerIsNotReachable) {
    const RefusingPort refusing;
    EXPECT_FALSE(IsURLReachable(refusing.URL("/page.html")));
    EXPECT_FALSE(IsURLReachable(""));
}

TEST_F(URLReachableTest, AddressWithoutSchemeIsTakenAsHttp) {
    const std::string withoutScheme = URL("/page.html").substr(std::string("http://").size());
    EXPECT_TRUE(IsURLReachable(withoutScheme));
    EXPECT_TRUE(IsURLReachable("HTTP://" + withoutScheme));

    EXPECT_EQ(ReachabilityURL("Example.test/a?b=HTTP://x"), "Example.test/a?b=HTTP://x");
    EXPECT_EQ(ReachabilityURL("Example.test/A"), "http://Example.test/A");
    EXPECT_EQ(ReachabilityURL("HTTPS://secure.test/"), "HTTPS://secure.test/");
    EXPECT_EQ(ReachabilityURL("ftp://files.test/"), "http://ftp://files.test/");
}

TEST_F(URLReachableTest, OnlyTheHeadOfTheAnswerIsAwaited) {
    // At ten bytes a second the whole body would take hours.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(IsURLReachable(URL("/slow/package.bin?rate=10")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(URLReachableTest, WorksFromAWorkerThread) {
    bool found = false;
    bool missing = true;
    std::thread worker([&] {
        found = IsURLReachable(URL("/page.html"));
        missing = IsURLReachable(URL("/gone.bin"));
    });
    worker.join();
    EXPECT_TRUE(found);
    EXPECT_FALSE(missing);
}

} // namespace
} // namespace qm::test
