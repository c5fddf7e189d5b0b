#include "tests/support/HoldingRelay.h"

#include <arpa/inet.h>
#include <cstdint>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

int ConnectTo(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (socket >= 0 && connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return socket;
    if (socket >= 0)
        close(socket);
    return -1;
}

// Reads what `from` has and writes all of it to `to`; false at the end of `from` or on an error.
bool Forward(int from, int to) {
    char buffer[16384];
    const ssize_t got = read(from, buffer, sizeof buffer);
    for (ssize_t sent = 0; got > 0 && sent < got;) {
        // No SIGPIPE when the other side has gone: the write just fails.
        const ssize_t wrote = send(to, buffer + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL);
        if (wrote <= 0)
            return false;
        sent += wrote;
    }
    return got > 0;
}

} // namespace

HoldingRelay::HoldingRelay(int serverPort, int passing) : serverPort_(serverPort), passing_(passing) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(wake_, O_CLOEXEC) != 0) {
        if (listener_ >= 0)
            close(listener_);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

HoldingRelay::~HoldingRelay() {
    const char stop = 1;
    static_cast<void>(write(wake_[1], &stop, 1));
    thread_.join();
    for (const int held : held_)
        close(held);
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string HoldingRelay::BaseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void HoldingRelay::Run() {
    for (int accepted = 0;; ++accepted) {
        pollfd watched[] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 || watched[1].revents != 0)
            return;
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        if (accepted >= passing_) {
            held_.push_back(client);
            continue;
        }
        const int server = ConnectTo(serverPort_);
        const bool goOn = server >= 0 && Pump(client, server);
        close(client);
        if (server >= 0)
            close(server);
        if (!goOn)
            return;
    }
}

bool HoldingRelay::Pump(int client, int server) {
    for (;;) {
        pollfd watched[] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(watched, 3, -1) < 0 || watched[2].revents != 0)
            return false;
        if (watched[0].revents != 0 && !Forward(client, server))
            return true;
        if (watched[1].revents != 0 && !Forward(server, client))
            return true;
    }
}

} // namespace qm::test
