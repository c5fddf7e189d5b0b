#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace qm::test {

// A PostgreSQL cluster of its own: made with initdb in a temporary folder and run by the test's
// process on a free port of 127.0.0.1 (trust authentication, superuser "qm"), as the user
// "nobody" when the test runs as root, since PostgreSQL refuses to run as root. The server is
// stopped and the folder removed when the object goes; the server also stops when the test
// process dies. The constructor throws std::runtime_error when PostgreSQL is not installed or
// does not start.
class PostgresCluster {
public:
    // `durable`: fsync and synchronous commits on, as a deployment has them (for benchmarks);
    // otherwise off, which tests do not notice but which saves their time.
    explicit PostgresCluster(bool durable = false);
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    int Port() const { return port_; }
    // Creates a new, empty database and answers its address, postgresql://qm@127.0.0.1:PORT/NAME.
    std::string NewDatabase();

    // Stops the server (fast shutdown: open connections are ended) and starts it again on the same
    // port with the same data, for tests of a database that goes away and comes back.
    void Stop();
    void Start();

    // The cluster the reference servers of this test process share when QM_TEST_DATABASE is
    // "postgresql", started on first use.
    static PostgresCluster& Shared();

private:
    const bool durable_;
    std::filesystem::path folder_;
    std::filesystem::path binaries_;
    int port_ = 0;
    pid_t server_ = -1;
    pid_t owner_ = -1; // the process that made the cluster; a forked child never tears it down
    int databases_ = 0;
};

// The rows a query answers, every column as text, columns separated by "|" and rows by "\n".
// Throws std::runtime_error when the query fails.
std::string QueryText(const std::string& databaseUrl, const std::string& sql);

// True when reference servers with a data folder should keep their state in PostgreSQL
// (QM_TEST_DATABASE=postgresql), false for SQLite (unset or "sqlite").
bool TestsUsePostgres();

} // namespace qm::test
