#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qm::test {

// The real qm-reference-server, started as a child process on a free port of 127.0.0.1 (or where
// a `--listen` argument says) serving `root`, and stopped again when the object goes. The constructor returns
// once the server has announced its port, and throws std::runtime_error when it does not start.
//
// The child is also told to stop when the thread that started it ends, so start it on the
// test's main thread (a fixture), not on a short-lived worker.
//
// With QM_TEST_DATABASE=postgresql, a server given `--data` and no `--database` keeps its
// accounts and statistics in a new database of the test process's own PostgreSQL cluster
// (PostgresCluster::Shared()), so that the same tests cover both back ends.
class ReferenceServer {
public:
    explicit ReferenceServer(const std::filesystem::path& root, std::vector<std::string> extraArguments = {});
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    int Port() const { return port_; }
    // "http://ADDRESS:PORT" as the server announced it, without a trailing "/".
    const std::string& BaseURL() const { return baseURL_; }
    // BaseURL() followed by `path`, which starts with "/".
    std::string URL(std::string_view path) const { return baseURL_ + std::string(path); }
    pid_t ProcessId() const { return pid_; }
    // The PostgreSQL database the server keeps its state in; "" when it uses SQLite files.
    const std::string& DatabaseUrl() const { return databaseUrl_; }

    // Sends SIGTERM and waits for the server to end (SIGKILL after a few seconds). Returns its
    // exit code, or -1 when it did not exit by itself. Later calls return the same result.
    int Stop();

    // Where the server program was built.
    static std::string ProgramPath();

private:
    pid_t pid_ = -1;
    int output_ = -1; // read end of the server's stdout, kept open so that its writes never fail
    int port_ = 0;
    int exitCode_ = -1;
    std::string baseURL_;
    std::string databaseUrl_;
};

} // namespace qm::test
