#include "services/GuardedServer.h"

#include "services/DeadlineStream.h"
#include "services/WorkerPool.h"

#include <algorithm>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::server {

namespace {

thread_local bool closeAfterRequest = false;
thread_local std::chrono::steady_clock::time_point requestStarted;

// A connection carries many requests (a front end keeps its connections open): closing it after a
// few would make clients connect again and again.
constexpr std::size_t kRequestsPerConnection = 10000;

// A short answer for a request the library never sees; the connection is closed after it.
void AnswerAndClose(socket_t socket, const std::string& status, const std::string& extraHeaders = "") {
    const std::string answer =
        "HTTP/1.1 " + status + "\r\nConnection: close\r\nContent-Length: 0\r\n" + extraHeaders + "\r\n";
    // Best effort: the client may be gone, and the answer is small enough for the send buffer.
    [[maybe_unused]] const ssize_t sent =
        send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace

GuardedServer::GuardedServer(const ServiceLimits& limits, std::vector<std::string> trustedProxies)
    : limits_(limits), trustedProxies_(std::move(trustedProxies)), clients_(limits.connectionsPerClient) {
    set_keep_alive_max_count(kRequestsPerConnection);
    // Answers go out at once: headers and body are separate writes, and a body held back until the
    // headers are acknowledged waits for the client's delayed acknowledgement.
    set_tcp_nodelay(true);
    const auto workers = static_cast<std::size_t>(limits.workers);
    // The library takes the pool over and deletes it when it stops listening.
    new_task_queue = [workers] { return std::make_unique<WorkerPool>(workers).release(); };
    // Bodies sent in chunks have no length to check beforehand: the library stops at the largest.
    set_payload_max_length(
        static_cast<std::size_t>(std::max(limits.maxAccountBodyBytes, limits.maxUsageBodyBytes)));
}

void GuardedServer::CloseAfterThisRequest() {
    closeAfterRequest = true;
}

std::chrono::steady_clock::time_point GuardedServer::RequestStarted() {
    return requestStarted;
}

void GuardedServer::WidenListenBacklog() {
    // Listening again on a listening socket only changes its backlog.
    if (svr_sock_ != INVALID_SOCKET)
        ::listen(svr_sock_, SOMAXCONN);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
    std::string address;
    int port = 0;
    DeadlineStream(sock, svr_sock_, std::chrono::milliseconds(0)).get_remote_ip_and_port(address, port);
    const bool proxy =
        std::find(trustedProxies_.begin(), trustedProxies_.end(), address) != trustedProxies_.end();
    if (proxy) {
        ServeConnection(sock);
    } else if (const auto ticket = clients_.Enter(address)) {
        ServeConnection(sock);
    } else {
        std::cerr << "- connection from " << address << " refused: it holds " << limits_.connectionsPerClient
                  << " open -> 503\n";
        AnswerAndClose(sock, "503 Service Unavailable", "Retry-After: 5\r\n");
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return true;
}

void GuardedServer::ServeConnection(socket_t sock) {
    DeadlineStream stream(sock, svr_sock_, std::chrono::seconds(write_timeout_sec_));
    const DeadlineStream::HeadLimits headLimits{
        std::chrono::seconds(keep_alive_timeout_sec_), std::chrono::seconds(limits_.headerTimeoutSeconds),
        static_cast<std::size_t>(limits_.maxUrlBytes), static_cast<std::size_t>(limits_.maxHeaderBytes)};
    for (std::size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
        stream.SetReadDeadline(DeadlineStream::Clock::time_point::max());
        switch (stream.ReadHead(headLimits)) {
        case DeadlineStream::Head::Complete:
            break;
        case DeadlineStream::Head::Closed:
            return;
        case DeadlineStream::Head::TimedOut:
            std::cerr << "- request head not complete in " << limits_.headerTimeoutSeconds << " s -> 408\n";
            return AnswerAndClose(sock, "408 Request Timeout");
        case DeadlineStream::Head::UrlTooLong:
            std::cerr << "- request line longer than " << limits_.maxUrlBytes << " bytes -> 414\n";
            return AnswerAndClose(sock, "414 URI Too Long");
        case DeadlineStream::Head::HeadTooLong:
            std::cerr << "- header fields larger than " << limits_.maxHeaderBytes << " bytes -> 431\n";
            return AnswerAndClose(sock, "431 Request Header Fields Too Large");
        }
        requestStarted = std::chrono::steady_clock::now();
        stream.SetReadDeadline(DeadlineStream::Clock::now() +
                               std::chrono::seconds(limits_.bodyTimeoutSeconds));
        closeAfterRequest = false;
        bool closed = false;
        if (!process_request(stream, left == 1, closed, nullptr) || closed || closeAfterRequest)
            return;
    }
}

} // namespace qm::server
