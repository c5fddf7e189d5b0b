#pragma once

#include "common/CurlHandles.h"
#include "upgrade/AnswerHead.h"
#include "upgrade/EventLoopTurn.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

class QFile;

namespace qm {

// One HTTP request of a multipart download, ready to be added to a TCurlMultiDriver: the HEAD
// that learns about the file, or the GET of one byte range (or of the whole body) whose bytes go
// into the shared file at their own offsets. The handle follows the download policy of
// common/HttpPolicy.h: redirects followed, certificates checked, a connection that cannot be made
// within a few seconds, or that brings no byte for half a minute, ends the request with a libcurl
// error. Once the event loop's turn in libcurl has lasted
// its length (see TEventLoopTurn), the request pauses and lets the loop run before it reads on,
// so that a fast transfer never holds up the UI.
//
// The body is gathered and written in blocks that end on multiples of 256 KB of the file: the file
// system handles one large write far more cheaply than the many small pieces libcurl hands over.
class TPartRequest {
public:
    // HEAD of url.
    static std::unique_ptr<TPartRequest> MakeHead(const std::string& url);
    // GET of bytes first..last (inclusive) of url, expecting 206; with last < 0 the whole body,
    // expecting 200, from offset 0, of at most mostBytes bytes (unlimited when negative). The file
    // is not owned and must outlive the request. The turn is the driver's (TCurlMultiDriver::Turn)
    // and must outlive the request.
    static std::unique_ptr<TPartRequest> MakeGet(const std::string& url, QFile& file, std::int64_t first,
                                                 std::int64_t last, TEventLoopTurn& turn,
                                                 std::int64_t mostBytes = -1);
    ~TPartRequest();
    TPartRequest(const TPartRequest&) = delete;
    TPartRequest& operator=(const TPartRequest&) = delete;

    // Null when libcurl could not make or set up the handle.
    CURL* Handle() const noexcept { return curl_.get(); }
    const TAnswerHead& Head() const noexcept { return head_; }
    // Bytes written into the file so far; bytes still gathered are not counted until Flush.
    std::int64_t Received() const noexcept { return received_; }
    // Writes what is gathered; false (and WriteFailed) when the file refuses it. Owners call it
    // before they read Received for the record, and when the request has ended.
    bool Flush();
    // The answer's status was not the one asked for, or its body went beyond the range; nothing
    // of such a body is written.
    bool UnexpectedAnswer() const noexcept { return unexpected_; }
    bool WriteFailed() const noexcept { return writeFailed_; }
    // A whole body went beyond the most bytes it may have; the transfer was stopped there.
    bool BeyondMost() const noexcept { return beyondMost_; }
    // The system's error number of a failed connection (CURLINFO_OS_ERRNO).
    long OsErrno() const noexcept;

private:
    // Writes what is gathered and then tail, which completes the block, in one call; false (and
    // WriteFailed) when the file refuses it.
    bool WriteBlock(const char* tail, std::size_t tailBytes);
    TPartRequest(QFile* file, std::int64_t first, std::int64_t last, TEventLoopTurn* turn);
    // Sets up the handle made under the download policy for this request's head, body and range.
    bool Configure(bool headOnly);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self) noexcept;
    static size_t OnBody(char* data, size_t size, size_t count, void* self) noexcept;
    size_t Write(const char* data, size_t size);
    // From the event loop, once the other work waiting there has had its turn.
    void ContinueLater();

    CurlEasy curl_;
    QFile* file_; // not owned; null for a HEAD
    std::int64_t first_;
    std::int64_t last_;
    std::string range_; // kept alive for libcurl
    TAnswerHead head_;
    std::int64_t received_ = 0;
    std::unique_ptr<char[]> gathered_; // the block being gathered, from file offset first_ + received_
    std::size_t gatheredBytes_ = 0;
    bool unexpected_ = false;
    bool writeFailed_ = false;
    std::int64_t mostBytes_ = -1;
    bool beyondMost_ = false;
    TEventLoopTurn* turn_; // not owned; null for a HEAD
    QObject turns_;        // context of the pending continuation; dropped with the request
};

} // namespace qm
