#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace upgrade_test {

// An HTTP server on 127.0.0.1 that never answers a HEAD request (the downloader's first request
// then waits without a byte) and answers every other request with `getStatus` and no body (what a
// reachability check sees). The reference server has no such fault.
class TSilentHeadServer {
public:
    explicit TSilentHeadServer(int getStatus) : getStatus_(getStatus) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot start the silent server");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TSilentHeadServer() {
        stopping_ = true;
        thread_.join();
        for (const int connection : held_)
            ::close(connection);
        ::close(listener_);
    }
    TSilentHeadServer(const TSilentHeadServer&) = delete;
    TSilentHeadServer& operator=(const TSilentHeadServer&) = delete;

    std::string URL(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    void Serve() {
        while (!stopping_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0)
                continue;
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                pollfd readable{connection, POLLIN, 0};
                if (::poll(&readable, 1, 2000) <= 0)
                    break;
                const ssize_t count = ::read(connection, buffer, sizeof buffer);
                if (count <= 0)
                    break;
                head.append(buffer, static_cast<std::size_t>(count));
            }
            if (head.rfind("HEAD ", 0) == 0) {
                held_.push_back(connection);
                continue;
            }
            const std::string answer = "HTTP/1.1 " + std::to_string(getStatus_) +
                                       " Status\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            static_cast<void>(::write(connection, answer.data(), answer.size()));
            ::close(connection);
        }
    }

    int getStatus_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<int> held_; // touched by the server thread only until it is joined
    std::thread thread_;
};

} // namespace upgrade_test
