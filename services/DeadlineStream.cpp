#include "services/DeadlineStream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace qm::server {

namespace {

// Waits are cut into slices this long, so that a stopping server is noticed soon.
constexpr auto kSlice = std::chrono::milliseconds(100);
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::string_view kHeadEnd = "\r\n\r\n";

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

DeadlineStream::DeadlineStream(socket_t socket, const std::atomic<socket_t>& listening,
                               std::chrono::milliseconds writeTimeout)
    : socket_(socket), listening_(listening), writeTimeout_(writeTimeout) {}

bool DeadlineStream::WaitFor(short events, Clock::time_point deadline) const {
    for (;;) {
        if (listening_ == INVALID_SOCKET)
            return false;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        const auto left = std::min<Clock::duration>(deadline - now, kSlice);
        pollfd waiting{socket_, events, 0};
        const int timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
        const int ready = poll(&waiting, 1, timeout);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0)
            return (waiting.revents & (events | POLLHUP | POLLERR)) != 0;
    }
}

bool DeadlineStream::Fill() {
    if (consumed_ > 0) {
        buffer_.erase(0, consumed_);
        consumed_ = 0;
    }
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = recv(socket_, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        buffer_.append(chunk, static_cast<std::size_t>(count));
        return true;
    }
}

DeadlineStream::Head DeadlineStream::ReadHead(const HeadLimits& limits) {
    if (consumed_ == buffer_.size()) {
        buffer_.clear();
        consumed_ = 0;
        if (!WaitFor(POLLIN, Clock::now() + limits.idle) || !Fill())
            return Head::Closed;
    }
    const auto deadline = Clock::now() + limits.headTimeout;
    for (;;) {
        const std::string_view pending = std::string_view(buffer_).substr(consumed_);
        const std::size_t lineEnd = pending.find("\r\n");
        const std::size_t lineLength = lineEnd == std::string_view::npos ? pending.size() : lineEnd;
        if (lineLength > limits.maxUrlBytes)
            return Head::UrlTooLong;
        const std::size_t headEnd = pending.find(kHeadEnd);
        const std::size_t fieldsLength =
            (headEnd == std::string_view::npos ? pending.size() : headEnd + kHeadEnd.size()) -
            std::min(pending.size(), lineLength + 2);
        if (fieldsLength > limits.maxHeaderBytes)
            return Head::HeadTooLong;
        if (headEnd != std::string_view::npos)
            return Head::Complete;
        if (!WaitFor(POLLIN, deadline))
            return Clock::now() >= deadline ? Head::TimedOut : Head::Closed;
        if (!Fill())
            return Head::Closed;
    }
}

bool DeadlineStream::is_readable() const {
    return consumed_ < buffer_.size() || WaitFor(POLLIN, readDeadline_);
}

bool DeadlineStream::is_writable() const {
    return WaitFor(POLLOUT, Clock::now() + writeTimeout_);
}

ssize_t DeadlineStream::read(char* ptr, size_t size) {
    if (consumed_ < buffer_.size()) {
        const std::size_t count = std::min(size, buffer_.size() - consumed_);
        std::copy_n(buffer_.data() + consumed_, count, ptr);
        consumed_ += count;
        return static_cast<ssize_t>(count);
    }
    if (!WaitFor(POLLIN, readDeadline_))
        return -1;
    for (;;) {
        const ssize_t count = recv(socket_, ptr, size, 0);
        if (count < 0 && errno == EINTR)
            continue;
        return count;
    }
}

ssize_t DeadlineStream::write(const char* ptr, size_t size) {
    if (!is_writable())
        return -1;
    for (;;) {
        const ssize_t count = send(socket_, ptr, size, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        return count;
    }
}

void DeadlineStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        AddressOf(address, ip, port);
}

void DeadlineStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        AddressOf(address, ip, port);
}

} // namespace qm::server
