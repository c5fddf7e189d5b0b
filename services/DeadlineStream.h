#pragma once

#include <atomic>
#include <chrono>
#include <httplib.h>
#include <string>

namespace qm::server {

// One client connection as the HTTP library reads and writes it, with the limits the library
// lacks: a request's line and headers are read here first, within a deadline and a size limit,
// and its body must come before a second deadline. Reads and waits end early when the server
// stops listening. Does not own the socket.
class DeadlineStream : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // What reading a request's head came to.
    enum class Head {
        Complete,    // the line and headers are buffered, ready for the library
        Closed,      // the client went away, or sent nothing before the idle time ran out
        TimedOut,    // it began a request but did not finish the head in time
        UrlTooLong,  // the request line is longer than allowed
        HeadTooLong, // the header fields are larger than allowed
    };

    struct HeadLimits {
        std::chrono::milliseconds idle;        // wait for a request's first byte
        std::chrono::milliseconds headTimeout; // from its first byte to the end of its headers
        std::size_t maxUrlBytes;               // the request line, without its line break
        std::size_t maxHeaderBytes;            // the header fields and the blank line after them
    };

    DeadlineStream(socket_t socket, const std::atomic<socket_t>& listening,
                   std::chrono::milliseconds writeTimeout);

    // Reads until the next request's head is complete (bytes already buffered count).
    Head ReadHead(const HeadLimits& limits);
    // Reads after `deadline` fail; Clock::time_point::max() lifts the limit.
    void SetReadDeadline(Clock::time_point deadline) { readDeadline_ = deadline; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return socket_; }

private:
    // Waits until the socket has `events` or `deadline` passes; false on a timeout, an error or a stop.
    bool WaitFor(short events, Clock::time_point deadline) const;
    // Appends what the socket has to the buffer; false when it is closed or failed.
    bool Fill();

    const socket_t socket_;
    const std::atomic<socket_t>& listening_;
    const std::chrono::milliseconds writeTimeout_;
    Clock::time_point readDeadline_ = Clock::time_point::max();
    std::string buffer_;       // bytes received but not yet handed to the library
    std::size_t consumed_ = 0; // of buffer_, already handed over
};

} // namespace qm::server
