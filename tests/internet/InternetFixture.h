#pragma once

#include "tests/common/TestFiles.h"
#include "tests/support/ReferenceServer.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::test {

// Bytes of every value, zeros included, in no particular order.
inline std::string BinaryBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(generator));
    return bytes;
}

// A port on 127.0.0.1 that refuses connections: bound, so nobody else takes it, but not
// listening. Released with the object.
class RefusingPort {
public:
    RefusingPort() {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot reserve a port");
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(socket_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::string URL(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    int socket_ = -1;
    int port_ = 0;
};

// One reference server per test program, serving a folder of files the tests made; every test
// gets its own folder for what it downloads.
class InternetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = std::make_unique<TTempFolder>();
        WriteBytes(served->File("package.bin"), BinaryBytes(200 * 1024 + 17, 1));
        WriteBytes(served->File("page.html"), "<html><body>update notes</body></html>\n");
        WriteBytes(served->File("empty.txt"), "");
        server = std::make_unique<ReferenceServer>(
            served->Path(),
            std::vector<std::string>{"--redirect", "/old/package.bin=/package.bin", "--redirect",
                                     "/old/gone.bin=/gone.bin", "--test-routes"});
    }
    static void TearDownTestSuite() {
        server.reset();
        served.reset();
    }

    // Adds a file to the served folder and yields its content.
    static std::string Serve(const std::string& name, const std::string& bytes) {
        WriteBytes(served->File(name), bytes);
        return bytes;
    }
    static std::string Served(const std::string& name) { return ReadBytes(served->File(name)); }
    static std::string URL(const std::string& path) { return server->URL(path); }

    TTempFolder downloads;

    static inline std::unique_ptr<TTempFolder> served;
    static inline std::unique_ptr<ReferenceServer> server;
};

} // namespace qm::test
