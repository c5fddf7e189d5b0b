#include "upgrade/PartRequest.h"

#include "common/AsyncTask.h"
#include "common/HttpPolicy.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <sys/uio.h>
#include <unistd.h>

namespace qm {

namespace {

// libcurl reads the socket in pieces of this size (instead of 16 KB): fewer system calls per byte.
constexpr long kReceiveBufferBytes = 256 * 1024;
// Gathered writes end at multiples of this file offset. Much larger writes make the page cache take
// its memory in large contiguous runs, which a virtual machine may have handed back to its host;
// with 1 MB writes, touching that memory again made a download ten times slower.
constexpr std::int64_t kWriteBlock = 256 * 1024;

constexpr long kStatusOK = 200;
constexpr long kStatusPartialContent = 206;

} // namespace

TPartRequest::TPartRequest(QFile* file, std::int64_t first, std::int64_t last, TEventLoopTurn* turn)
    : file_(file), first_(first), last_(last), turn_(turn) {}

TPartRequest::~TPartRequest() = default;

std::unique_ptr<TPartRequest> TPartRequest::MakeHead(const std::string& url) {
    std::unique_ptr<TPartRequest> request(new TPartRequest(nullptr, 0, -1, nullptr));
    request->curl_ = MakeHttpHandle(url, kDownloadHeadLimits);
    if (!request->Configure(true))
        request->curl_.reset();
    return request;
}

std::unique_ptr<TPartRequest> TPartRequest::MakeGet(const std::string& url, QFile& file, std::int64_t first,
                                                    std::int64_t last, TEventLoopTurn& turn,
                                                    std::int64_t mostBytes) {
    std::unique_ptr<TPartRequest> request(new TPartRequest(&file, last < 0 ? 0 : first, last, &turn));
    request->mostBytes_ = last < 0 ? mostBytes : -1;
    request->curl_ = MakeHttpHandle(url, kDownloadPartLimits);
    if (!request->Configure(false))
        request->curl_.reset();
    return request;
}

bool TPartRequest::Configure(bool headOnly) {
    CURL* curl = curl_.get();
    if (!curl)
        return false;
    bool ok = curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &TPartRequest::OnHeader) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_HEADERDATA, this) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &TPartRequest::OnBody) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_WRITEDATA, this) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes) == CURLE_OK;
#if LIBCURL_VERSION_NUM >= 0x075700
    // Parts are taken out of the transfer on the UI thread: one whose name lookup never ends must
    // not make that wait for the resolver.
    ok = ok && curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK;
#endif
    if (headOnly) {
        ok = ok && curl_easy_setopt(curl, CURLOPT_NOBODY, 1L) == CURLE_OK;
    } else if (last_ >= 0) {
        range_ = std::to_string(first_) + "-" + std::to_string(last_);
        ok = ok && curl_easy_setopt(curl, CURLOPT_RANGE, range_.c_str()) == CURLE_OK;
    }
    return ok;
}

long TPartRequest::OsErrno() const noexcept {
    long error = 0;
    if (!curl_ || curl_easy_getinfo(curl_.get(), CURLINFO_OS_ERRNO, &error) != CURLE_OK)
        return 0;
    return error;
}

// libcurl calls these from inside its own frames: nothing may be thrown through them, and a
// count other than the one given ends the transfer.
size_t TPartRequest::OnHeader(char* data, size_t size, size_t count, void* self) noexcept {
    try {
        static_cast<TPartRequest*>(self)->head_.Feed(std::string_view(data, size * count));
        return size * count;
    } catch (...) {
        return 0;
    }
}

size_t TPartRequest::OnBody(char* data, size_t size, size_t count, void* self) noexcept {
    try {
        return static_cast<TPartRequest*>(self)->Write(data, size * count);
    } catch (...) {
        return 0;
    }
}

size_t TPartRequest::Write(const char* data, size_t size) {
    if (!file_)
        return size;
    const long expected = last_ < 0 ? kStatusOK : kStatusPartialContent;
    const std::int64_t arrived = received_ + static_cast<std::int64_t>(gatheredBytes_);
    const bool overlong = last_ >= 0 && arrived + static_cast<std::int64_t>(size) > last_ - first_ + 1;
    if (mostBytes_ >= 0 && arrived + static_cast<std::int64_t>(size) > mostBytes_) {
        beyondMost_ = true;
        return 0;
    }
    if (head_.status != expected || overlong) {
        unexpected_ = true;
        return 0;
    }
    if (writeFailed_)
        return 0;
    if (turn_->Over()) {
        ContinueLater();
        return CURL_WRITEFUNC_PAUSE; // libcurl keeps these bytes and hands them over again
    }
    if (!gathered_)
        gathered_ = std::make_unique_for_overwrite<char[]>(kWriteBlock);
    for (std::size_t taken = 0; taken < size;) {
        const std::int64_t blockStart = first_ + received_;
        const auto room = static_cast<std::size_t>(kWriteBlock - blockStart % kWriteBlock) - gatheredBytes_;
        const std::size_t count = std::min(room, size - taken);
        if (count == room) {
            // The piece completes a block: it goes to the file from libcurl's buffer, behind what
            // is gathered, without being copied first.
            if (!WriteBlock(data + taken, count))
                return 0;
        } else {
            std::memcpy(gathered_.get() + gatheredBytes_, data + taken, count);
            gatheredBytes_ += count;
        }
        taken += count;
    }
    turn_->Took();
    return size;
}

bool TPartRequest::WriteBlock(const char* tail, std::size_t tailBytes) {
    iovec pieces[2] = {{gathered_.get(), gatheredBytes_}, {const_cast<char*>(tail), tailBytes}};
    std::size_t first = 0;
    std::int64_t offset = first_ + received_;
    while (first < 2) {
        const ssize_t count = ::pwritev(file_->handle(), pieces + first, static_cast<int>(2 - first), offset);
        if (count <= 0) {
            writeFailed_ = true;
            return false;
        }
        offset += count;
        // A short write goes on from where it stopped.
        auto done = static_cast<std::size_t>(count);
        while (first < 2 && done >= pieces[first].iov_len)
            done -= pieces[first++].iov_len;
        if (first < 2) {
            pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + done;
            pieces[first].iov_len -= done;
        }
    }
    received_ += static_cast<std::int64_t>(gatheredBytes_ + tailBytes);
    gatheredBytes_ = 0;
    return true;
}

bool TPartRequest::Flush() {
    // Straight to the file at the part's offset: the parts share the file, and its own buffer is
    // left empty (whoever flushes it finds nothing to write).
    for (std::size_t written = 0; written < gatheredBytes_;) {
        const ssize_t count = ::pwrite(file_->handle(), gathered_.get() + written, gatheredBytes_ - written,
                                       first_ + received_ + static_cast<std::int64_t>(written));
        if (count <= 0) {
            writeFailed_ = true;
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    received_ += static_cast<std::int64_t>(gatheredBytes_);
    gatheredBytes_ = 0;
    return true;
}

void TPartRequest::ContinueLater() {
    CallBackOn(&turns_, [this] {
        turn_->Begin(); // libcurl hands the held bytes over from inside this call
        curl_easy_pause(curl_.get(), CURLPAUSE_CONT);
    });
}

} // namespace qm
