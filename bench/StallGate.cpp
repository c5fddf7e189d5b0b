#include "bench/StallGate.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::bench {

namespace {

constexpr int kPollMs = 100;
constexpr auto kHeadWait = std::chrono::seconds(2);
constexpr std::size_t kPumpBytes = 256 * 1024;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The request line and headers of a fresh connection (whatever came within a short wait).
std::string ReadHead(int fd) {
    std::string head;
    const auto deadline = std::chrono::steady_clock::now() + kHeadWait;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, kPollMs) <= 0)
            continue;
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        head.append(buffer, static_cast<std::size_t>(count));
    }
    return head;
}

// The path of "GET /a/b.sig?x HTTP/1.1", without its query.
std::string RequestPath(const std::string& head) {
    const auto first = head.find(' ');
    if (first == std::string::npos)
        return {};
    const auto end = head.find_first_of(" ?\r\n", first + 1);
    return head.substr(first + 1, end == std::string::npos ? std::string::npos : end - first - 1);
}

} // namespace

TStallGate::TStallGate(int targetPort, std::chrono::seconds holdLimit)
    : targetPort_(targetPort), holdLimit_(holdLimit), silent_(targetPort == 0) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    listening_ = std::thread([this] { Listen(); });
}

TStallGate::~TStallGate() {
    stopping_ = true;
    listening_.join();
    std::vector<std::thread> connections;
    {
        const std::lock_guard guard(lock_);
        connections.swap(connections_);
    }
    for (std::thread& connection : connections)
        connection.join();
    ::close(listener_);
}

std::string TStallGate::URL(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TStallGate::HoldPathsEndingWith(std::string suffix) {
    const std::lock_guard guard(lock_);
    holdSuffix_ = std::move(suffix);
}

void TStallGate::Listen() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, kPollMs) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++accepted_;
        const std::lock_guard guard(lock_);
        connections_.emplace_back([this, client] { Serve(client); });
    }
}

void TStallGate::Serve(int client) {
    std::string suffix;
    {
        const std::lock_guard guard(lock_);
        suffix = holdSuffix_;
    }
    std::string head;
    // The request is read only when its path decides; a silent gate never reads a byte.
    if (!silent_ && !suffix.empty())
        head = ReadHead(client);
    if (silent_ || (!suffix.empty() && RequestPath(head).ends_with(suffix)))
        Hold();
    else
        Pass(client, head);
    ::close(client);
}

void TStallGate::Hold() {
    ++held_;
    const auto deadline = std::chrono::steady_clock::now() + holdLimit_;
    while (!stopping_ && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}

void TStallGate::Pass(int client, const std::string& head) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(targetPort_);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        !WriteAll(server, head.data(), head.size())) {
        if (server >= 0)
            ::close(server);
        return;
    }
    std::vector<char> buffer(kPumpBytes);
    // Either side ending ends both: a server that cuts an answer short is seen by the client as such.
    while (!stopping_) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(ends, 2, kPollMs) <= 0)
            continue;
        bool open = true;
        for (int side = 0; side < 2 && open; ++side) {
            if (ends[side].revents == 0)
                continue;
            const int from = ends[side].fd;
            const int to = side == 0 ? server : client;
            const ssize_t count = ::recv(from, buffer.data(), buffer.size(), 0);
            open = count > 0 && WriteAll(to, buffer.data(), static_cast<std::size_t>(count));
        }
        if (!open)
            break;
    }
    ::close(server);
}

} // namespace qm::bench
