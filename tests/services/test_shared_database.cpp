// Reference servers that share one PostgreSQL database (a cluster of the test's own): whatever one
// server knows, the others know; a statistics file is counted once whichever servers get it and
// whichever of them dies; a database that goes away gives 503 until it is back; and an SQLite data
// folder moved into PostgreSQL keeps its accounts and counts.
#include "tests/services/ServiceCalls.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>

namespace qm::test {
namespace {

using nlohmann::json;

class SharedDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cluster = std::make_unique<PostgresCluster>(); }
    static void TearDownTestSuite() { cluster.reset(); }

    void SetUp() override { database = cluster->NewDatabase(); }

    // A server on this test's database, with further options.
    std::unique_ptr<ReferenceServer> Server(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--database", database, "--test-routes"});
        return std::make_unique<ReferenceServer>(folder.Path(), options);
    }

    static inline std::unique_ptr<PostgresCluster> cluster;
    TTempFolder folder;
    std::string database;
};

TEST_F(SharedDatabaseTest, AccountsSessionsAndTokensAreKnownToEveryServer) {
    const auto first = Server();
    const auto second = Server();
    const ServiceCalls a(*first);
    const ServiceCalls b(*second);
    ASSERT_EQ(a.Register("Ann", "pw-ann"), 200);
    EXPECT_EQ(b.Register("ANN", "other"), 409);
    EXPECT_EQ(b.Login("ann", "pw-ann"), 200);

    // A session opened on one server makes tokens on the other; a token is checked and taken
    // anywhere, once.
    const std::string session = b.Session("ann", "pw-ann");
    const std::string token = a.Token(session);
    ASSERT_EQ(token.size(), 64u);
    const auto check = b.Post("/account/checkToken", {{"token", token}, {"userName", "ANN"}});
    ASSERT_TRUE(check);
    EXPECT_TRUE(json::parse(check->body).value("valid", false));
    EXPECT_EQ(b.TakeToken(token), 302);
    EXPECT_EQ(a.TakeToken(token), 403);
    EXPECT_EQ(b.TakeToken(token), 403);

    // Taken by both servers at the same moment: one of them gets it.
    for (int round = 0; round < 10; ++round) {
        const std::string raced = b.Token(session);
        auto onA = std::async(std::launch::async, [&] { return a.TakeToken(raced); });
        auto onB = std::async(std::launch::async, [&] { return b.TakeToken(raced); });
        const int statusA = onA.get();
        const int statusB = onB.get();
        EXPECT_EQ((statusA == 302) + (statusB == 302), 1) << statusA << " " << statusB;
        EXPECT_EQ((statusA == 403) + (statusB == 403), 1) << statusA << " " << statusB;
    }
}

TEST_F(SharedDatabaseTest, FailedLoginsOverBothServersReach429AtTheSameCount) {
    const std::vector<std::string> limits{"--name-failures", "3", "--address-failures", "100"};
    const auto first = Server(limits);
    const auto second = Server(limits);
    const ServiceCalls a(*first);
    const ServiceCalls b(*second);
    ASSERT_EQ(a.Register("alone", "right"), 200);
    ASSERT_EQ(a.Register("spread", "right"), 200);
    struct Case {
        const char* name;
        std::vector<const ServiceCalls*> servers; // the attempts go to these in turn
    };
    const Case cases[] = {{"alone", {&a}}, {"spread", {&a, &b}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> statuses;
        for (std::size_t attempt = 0; attempt < 5; ++attempt)
            statuses.push_back(c.servers[attempt % c.servers.size()]->Login(c.name, "wrong"));
        EXPECT_EQ(statuses, (std::vector<int>{401, 401, 401, 429, 429}));
        // The right password is refused too, on either server, while the name is locked.
        EXPECT_EQ(a.Login(c.name, "right"), 429);
        EXPECT_EQ(b.Login(c.name, "right"), 429);
    }
}

TEST_F(SharedDatabaseTest, OneFileSentToBothServersAtOnceIsCountedOnce) {
    const auto first = Server();
    const auto second = Server();
    const ServiceCalls a(*first);
    const ServiceCalls b(*second);
    // Plainly at once, and with the first server holding its transaction open while the second
    // stores the same file.
    for (const int pauseMs : {0, 300}) {
        SCOPED_TRACE(pauseMs);
        ASSERT_EQ(
            ServiceCalls::Status(a.Post("/log/switch", {{"mode", "accept"}, {"pauseInStoreMs", pauseMs}})),
            200);
        for (int file = 0; file < 5; ++file) {
            const std::string id = "both-" + std::to_string(pauseMs) + "-" + std::to_string(file);
            const std::string text = UsageText("u" + std::to_string(pauseMs), 3);
            auto onA = std::async(std::launch::async, [&] { return a.SendUsage(id, text); });
            if (pauseMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            auto onB = std::async(std::launch::async, [&] { return b.SendUsage(id, text); });
            EXPECT_EQ(onA.get(), "200 #00");
            EXPECT_EQ(onB.get(), "200 #00");
        }
    }
    const json summary = b.Summary();
    EXPECT_EQ(summary.value("files", 0), 10);
    EXPECT_EQ(summary.value("total", 0), 30);
    EXPECT_EQ(a.Summary(), summary);
}

TEST_F(SharedDatabaseTest, AServerKilledWhileStoringLosesNothingAndCountsNothingTwice) {
    struct Case {
        const char* when;
        const char* switchMember; // where the first server is held when it is killed
    };
    const Case cases[] = {{"before its commit", "pauseInStoreMs"}, {"after its commit", "delayMs"}};
    int files = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        auto doomed = Server();
        const auto survivor = Server();
        const ServiceCalls a(*doomed);
        const ServiceCalls b(*survivor);
        ASSERT_EQ(ServiceCalls::Status(a.Post("/log/switch", {{"mode", "accept"}, {c.switchMember, 60000}})),
                  200);
        const std::string id = std::string("killed-") + c.switchMember;
        // The desk sends the file, hears nothing because the server dies, and sends it again
        // (with one more use counted meanwhile) to another server behind the same address.
        auto lost = std::async(std::launch::async, [&] { return a.SendUsage(id, UsageText("k", 4)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(doomed->ProcessId(), SIGKILL);
        EXPECT_EQ(lost.get(), "");
        doomed->Stop();
        EXPECT_EQ(b.SendUsage(id, UsageText("k", 5)), "200 #00");
        ++files;
        const json summary = b.Summary();
        EXPECT_EQ(summary.value("files", 0), files);
        EXPECT_EQ(summary.value("total", 0), 5 * files);
    }
}

TEST_F(SharedDatabaseTest, ADatabaseThatGoesAwayGives503UntilItIsBack) {
    const auto server = Server({"--metrics"});
    const ServiceCalls calls(*server);
    ASSERT_EQ(calls.Register("dora", "pw"), 200);
    const std::string session = calls.Session("dora", "pw");
    const std::string token = calls.Token(session);
    ASSERT_EQ(ServiceCalls::Status(calls.Get("/healthz")), 200);

    cluster->Stop();
    struct Probe {
        const char* what;
        std::function<int()> status;
    };
    const Probe probes[] = {
        {"login", [&] { return calls.Login("dora", "pw"); }},
        {"register", [&] { return calls.Register("eve", "pw"); }},
        {"token",
         [&] {
             return ServiceCalls::Status(calls.Post("/account/token", {{"session", session}}));
         }},
        {"token page", [&] { return calls.TakeToken(token); }},
        {"usage", [&] { return std::stoi(calls.SendUsage("gone", UsageText("d", 1)).substr(0, 3)); }},
        {"ping", [&] { return ServiceCalls::Status(calls.Get("/log/ping")); }},
        {"summary", [&] { return ServiceCalls::Status(calls.Get("/log/summary")); }},
        {"healthz", [&] { return ServiceCalls::Status(calls.Get("/healthz")); }},
    };
    for (const Probe& probe : probes)
        EXPECT_EQ(probe.status(), 503) << probe.what;
    // Files and the metrics do not need the database.
    EXPECT_EQ(ServiceCalls::Status(calls.Get("/metrics")), 200);
    EXPECT_EQ(ServiceCalls::Status(calls.Get("/absent.txt")), 404);

    cluster->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ServiceCalls::Status(calls.Get("/healthz")) != 200 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ServiceCalls::Status(calls.Get("/healthz")), 200);
    EXPECT_EQ(calls.Login("dora", "pw"), 200);
    EXPECT_EQ(calls.TakeToken(token), 302); // nothing was lost while it was away
    EXPECT_EQ(calls.SendUsage("back", UsageText("d", 2)), "200 #00");
    EXPECT_EQ(calls.Summary().value("total", 0), 2);
}

// Runs the server program with arguments; its exit code and what it printed.
std::pair<int, std::string> RunServerProgram(const std::string& arguments) {
    const std::string command = ReferenceServer::ProgramPath() + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// An accounts file as servers wrote it before schema versions: the table alone, names unique
// without regard to case by their collation.
void WriteOldAccountsFile(const std::filesystem::path& file, const std::string& name,
                          const std::string& password) {
    ASSERT_EQ(sodium_init() >= 0, true);
    char hash[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                crypto_pwhash_MEMLIMIT_INTERACTIVE),
              0);
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &database), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE accounts (name TEXT NOT NULL UNIQUE COLLATE NOCASE, password_hash TEXT "
        "NOT NULL, source_id TEXT NOT NULL, email TEXT NOT NULL, created_at INTEGER NOT NULL);"
        "INSERT INTO accounts VALUES ('" +
        name + "', '" + hash + "', 'S-1', 'old@b.test', 1700000000);";
    EXPECT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(database);
}

TEST_F(SharedDatabaseTest, MovingAnSqliteFolderKeepsAccountsAndCounts) {
    const std::filesystem::path data = folder.Path() / "data";
    std::filesystem::create_directories(data);
    WriteOldAccountsFile(data / "accounts.sqlite", "Old-Timer", "old-pw");
    json before;
    {
        ReferenceServer sqlite(folder.Path(), {"--data", data.string()});
        const ServiceCalls calls(sqlite);
        EXPECT_EQ(calls.Login("old-timer", "old-pw"), 200); // the older layout is brought up to date
        EXPECT_EQ(calls.Register("OLD-TIMER", "x"), 409);
        ASSERT_EQ(calls.Register("Bea", "bea-pw"), 200);
        ASSERT_EQ(calls.Register("陈", "chen-pw"), 200);
        ASSERT_EQ(calls.SendUsage("f1", UsageText("bea", 2)), "200 #00");
        ASSERT_EQ(calls.SendUsage("f2", UsageText("陈", 7, "K2")), "200 #00");
        before = calls.Summary();
        ASSERT_EQ(before.value("total", 0), 9);
    }

    const auto [copied, said] =
        RunServerProgram("migrate-data --data " + data.string() + " --database " + database);
    EXPECT_EQ(copied, 0) << said;
    EXPECT_EQ(said, "copied 3 accounts, 2 usage files and 2 usage counts\n");

    const auto server = Server();
    const ServiceCalls calls(*server);
    for (const auto& [name, password] :
         {std::pair{"old-timer", "old-pw"}, {"bea", "bea-pw"}, {"陈", "chen-pw"}})
        EXPECT_EQ(calls.Login(name, password), 200) << name;
    EXPECT_EQ(calls.Login("bea", "old-pw"), 401);
    EXPECT_EQ(calls.Register("BEA", "x"), 409);
    EXPECT_EQ(calls.Summary(), before);
    // A file sent again after the move replaces its copy.
    EXPECT_EQ(calls.SendUsage("f1", UsageText("bea", 3)), "200 #00");
    EXPECT_EQ(calls.Summary().value("total", 0), 10);

    // Only into an empty database: a second run changes nothing.
    const auto [again, refusal] =
        RunServerProgram("migrate-data --data " + data.string() + " --database " + database);
    EXPECT_EQ(again, 1);
    EXPECT_NE(refusal.find("not empty"), std::string::npos) << refusal;
    EXPECT_EQ(calls.Summary().value("total", 0), 10);
}

TEST_F(SharedDatabaseTest, ServersStartingTogetherMigrateTheSchemaOnce) {
    std::vector<std::future<int>> starting;
    for (int i = 0; i < 4; ++i)
        starting.push_back(std::async(std::launch::async, [&] {
            ReferenceServer server(folder.Path(), {"--database", database});
            return ServiceCalls(server).Register("user" + std::to_string(server.Port()), "pw");
        }));
    for (auto& started : starting)
        EXPECT_EQ(started.get(), 200);
}

} // namespace
} // namespace qm::test
