#include "upgrade/MultipartDownloader.h"

#include "common/AsyncTask.h"
#include "corvane/Errors.h"
#include "upgrade/CurlMultiDriver.h"
#include "upgrade/DownloadState.h"
#include "upgrade/NetworkErrorCode.h"
#include "upgrade/PartRequest.h"
#include "upgrade/UpgradeLog.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <vector>

namespace qm {

namespace {

constexpr int kStatsIntervalMs = 1000;
constexpr int kRestartDelayMs = 1000;
// A part the server refuses by HTTP is asked again this often before the transfer gives up.
constexpr int kStatusAttempts = 3;
constexpr long kStatusOK = 200;
constexpr long kStatusPartialContent = 206;
// A server that knows no HEAD: the file is read in one GET.
constexpr long kStatusMethodNotAllowed = 405;
constexpr long kStatusNotImplemented = 501;

constexpr const char* kDone = "OK";
constexpr const char* kPaused = "Transfert paused";
constexpr const char* kAborted = "Transfert aborted";
constexpr const char* kFailed = "Download failed";
constexpr const char* kBeyondMost = "Download longer than its signed length";

std::string StatusText(const TAnswerHead& head) {
    return head.reason.empty() ? "HTTP " + std::to_string(head.status) : head.reason;
}

} // namespace

// The transfer in progress: the first request, then the parts, and the notices owed to the owner.
struct TMultipartHttpDownloader::TState {
    struct TPart {
        TPartState range;
        std::unique_ptr<TPartRequest> request; // while a request runs
        bool complete = false;
        bool restartPending = false;
        bool stopped = false; // ended for good without its bytes
        int code = 0;         // why it stopped
        std::string reason;
        int statusAttempts = 0;

        std::int64_t Done() const { return range.done + (request ? request->Received() : 0); }
    };

    explicit TState(TMultipartHttpDownloader& downloader) : owner(downloader) {
        multi.OnFinished = [this](CURL* handle, CURLcode result) { OnFinished(handle, result); };
        statsTimer.setInterval(kStatsIntervalMs);
        QObject::connect(&statsTimer, &QTimer::timeout, &owner, [this] { StatsTick(); });
    }
    ~TState() { StopRequests(); }

    void Begin(const std::string& url, std::optional<TDownloadState> from) {
        ++generation;
        undeliveredPartNotices = 0;
        running = true;
        wholeBody = false;
        sessionBytes = 0;
        parts.clear();
        remote = TDownloadState{};
        remote.url = url;
        resumeFrom = std::move(from);
        statsTimer.start();
        multi.Turn().SetLength(owner.TurnLength);
        probe = TPartRequest::MakeHead(url);
        if (!probe->Handle() || !multi.Add(probe->Handle())) {
            probe.reset();
            Finish(NetworkErrorCode(CURLE_FAILED_INIT, 0), kFailed);
            return;
        }
    }

    void OnFinished(CURL* handle, CURLcode result) {
        if (probe && probe->Handle() == handle) {
            ProbeEnded(result);
            return;
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (parts[i].request && parts[i].request->Handle() == handle) {
                PartEnded(i, result);
                return;
            }
        }
    }

    void ProbeEnded(CURLcode result) {
        const std::unique_ptr<TPartRequest> ended = std::move(probe);
        const TAnswerHead& head = ended->Head();
        if (result != CURLE_OK) {
            Finish(NetworkErrorCode(result, ended->OsErrno()), kFailed);
            return;
        }
        if (head.status == kStatusMethodNotAllowed || head.status == kStatusNotImplemented) {
            StartFresh(false);
            return;
        }
        if (head.status != kStatusOK) {
            Finish(static_cast<int>(head.status), StatusText(head));
            return;
        }
        if (owner.MostBytes >= 0 && head.contentLength > owner.MostBytes) {
            Finish(kDownloadBeyondLength, kBeyondMost);
            return;
        }
        remote.contentLength = head.contentLength;
        remote.etag = head.etag;
        remote.lastModified = head.lastModified;
        const bool ranges = head.acceptsRanges && head.contentLength > 0;
        if (resumeFrom && ranges && SameFile(*resumeFrom) && resumeFrom->CoversContent())
            Continue(resumeFrom->parts);
        else
            StartFresh(ranges);
    }

    bool SameFile(const TDownloadState& old) const {
        return old.contentLength == remote.contentLength && old.etag == remote.etag &&
               old.lastModified == remote.lastModified;
    }

    // From byte 0: the file loses whatever an earlier transfer left in it.
    void StartFresh(bool ranges) {
        // Truncating even an empty file makes the file system write the whole download back as
        // soon as the file is closed, on this thread.
        if (file->size() != 0)
            file->resize(0);
        sessionBytes = 0;
        parts.clear();
        if (remote.contentLength == 0) {
            Finish(kStatusOK, kDone);
            return;
        }
        if (ranges) {
            // Blocks claimed at once cost far less than claiming them page by page as the parts
            // write; the file's size still grows only with what is written.
            ::fallocate(file->handle(), FALLOC_FL_KEEP_SIZE, 0, remote.contentLength);
            Continue(SplitIntoParts(remote.contentLength, std::max(owner.PartCount, 1)));
            return;
        }
        wholeBody = true;
        Continue({TPartState{0, remote.contentLength > 0 ? remote.contentLength - 1 : -1, 0}});
    }

    void Continue(const std::vector<TPartState>& ranges) {
        parts.clear();
        for (const TPartState& range : ranges) {
            TPart part;
            part.range = range;
            part.complete = !wholeBody && range.Finished();
            parts.push_back(std::move(part));
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (!parts[i].complete)
                Launch(i);
        }
        if (running)
            SaveState(); // the parts' ranges are on record from their first byte on
        CheckAllEnded();
    }

    void Launch(std::size_t index) {
        TPart& part = parts[index];
        part.restartPending = false;
        if (wholeBody) {
            part.range.done = 0; // a body without ranges always comes from its first byte
            part.request = TPartRequest::MakeGet(remote.url, *file, 0, -1, multi.Turn(), owner.MostBytes);
        } else {
            part.request = TPartRequest::MakeGet(remote.url, *file, part.range.start + part.range.done,
                                                 part.range.end, multi.Turn());
        }
        if (!part.request->Handle() || !multi.Add(part.request->Handle())) {
            part.request.reset();
            Stop(part, NetworkErrorCode(CURLE_FAILED_INIT, 0), kFailed);
        }
    }

    void PartEnded(std::size_t index, CURLcode result) {
        TPart& part = parts[index];
        const std::unique_ptr<TPartRequest> ended = std::move(part.request);
        ended->Flush();
        part.range.done += ended->Received();
        sessionBytes += ended->Received();
        if (ended->WriteFailed()) {
            Finish(kDownloadWriteFailed, kFailed);
            return;
        }
        if (ended->BeyondMost()) {
            Finish(kDownloadBeyondLength, kBeyondMost);
            return;
        }
        const TAnswerHead& head = ended->Head();
        if (!wholeBody && head.status == kStatusOK) {
            // The server ignores ranges (whatever its HEAD said): one part, from the first byte.
            StopRequests();
            StartFresh(false);
            return;
        }
        const long expected = wholeBody ? kStatusOK : kStatusPartialContent;
        if (ended->UnexpectedAnswer() || (result == CURLE_OK && head.status != expected))
            PartFailed(index, static_cast<int>(head.status), StatusText(head), false);
        else if (result != CURLE_OK && IsNetworkLoss(result))
            PartFailed(index, kPartNetworkLost, kFailed, true);
        else if (result != CURLE_OK)
            PartFailed(index, NetworkErrorCode(result, ended->OsErrno()), kFailed, false);
        else if (wholeBody && part.range.end < 0)
            part.complete = true; // no length given: the end of the body is the end of the file
        else if (part.range.Finished())
            part.complete = true;
        else
            PartFailed(index, kPartNetworkLost, kFailed, true);
        CheckAllEnded();
    }

    void PartFailed(std::size_t index, int code, const std::string& reason, bool networkLoss) {
        TPart& part = parts[index];
        if (owner.ReportLostParts) {
            Stop(part, code, reason);
            ++undeliveredPartNotices;
            Notify([this, index, code] {
                --undeliveredPartNotices;
                emit owner.ThreadRequestDone(static_cast<int>(index), code);
            });
            return;
        }
        if (!networkLoss && ++part.statusAttempts >= kStatusAttempts) {
            Stop(part, code, reason);
            return;
        }
        part.restartPending = true;
        const std::uint64_t launchedIn = generation;
        QTimer::singleShot(kRestartDelayMs, &owner, [this, index, launchedIn] {
            if (running && generation == launchedIn && index < parts.size() && parts[index].restartPending) {
                Launch(index);
                CheckAllEnded();
            }
        });
    }

    static void Stop(TPart& part, int code, const std::string& reason) {
        part.stopped = true;
        part.code = code;
        part.reason = reason;
    }

    void CheckAllEnded() {
        if (!running)
            return;
        const TPart* failed = nullptr;
        for (const TPart& part : parts) {
            if (part.request || part.restartPending)
                return;
            if (!part.complete && !failed)
                failed = &part;
        }
        if (failed && undeliveredPartNotices > 0) {
            // The owner hears of its stopped parts first: it may rather pause and wait for the
            // network than see the transfer fail.
            const std::uint64_t postedIn = generation;
            CallBackOn(&owner, [this, postedIn] {
                if (generation == postedIn)
                    CheckAllEnded();
            });
            return;
        }
        if (failed)
            Finish(failed->code, failed->reason);
        else
            Finish(kStatusOK, kDone);
    }

    // Ends the transfer; a finished download needs no state any more, an unfinished one keeps
    // what it has.
    void Finish(int code, const std::string& reason) {
        StopRequests();
        if (code == kStatusOK)
            RemoveStateFile();
        else if (!parts.empty())
            SaveState();
        EndTransfer(code, reason);
    }

    void Pause() {
        if (!running)
            return;
        StopRequests();
        if (!parts.empty())
            SaveState();
        else if (resumeFrom)
            Save(*resumeFrom); // paused while checking the server: the earlier state still holds
        else
            Save(remote); // nothing known yet: a resume starts over
        EndTransfer(kDownloadPaused, kPaused);
    }

    void Abort() {
        StopRequests();
        RemoveStateFile();
        ++generation; // a notice still waiting belongs to what was aborted
        undeliveredPartNotices = 0;
        EndTransfer(kDownloadAborted, kAborted);
    }

    // Opens FileName for a transfer; raises when it cannot be opened.
    void OpenFile(const char* location) {
        auto opened = std::make_unique<QFile>(QString::fromStdString(owner.FileName));
        if (!opened->open(QIODevice::ReadWrite))
            throw corvane::ETax("Cannot open " + owner.FileName + ": " + opened->errorString().toStdString(),
                                location);
        file = std::move(opened);
    }

    void EndTransfer(int code, const std::string& reason) {
        running = false;
        statsTimer.stop();
        file.reset(); // flushed and closed: the parts have stopped
        Notify([this, code, reason] { emit owner.RequestDone(code, reason); });
    }

    // Owner callbacks run from the event loop, so that they may start, stop or free this object.
    template <class F> void Notify(F deliver) {
        const std::uint64_t postedIn = generation;
        CallBackOn(&owner, [this, postedIn, deliver] {
            if (generation == postedIn)
                deliver();
        });
    }

    void StopRequests() {
        if (probe) {
            multi.Remove(probe->Handle());
            probe.reset();
        }
        for (TPart& part : parts) {
            part.restartPending = false;
            if (!part.request)
                continue;
            multi.Remove(part.request->Handle());
            part.request->Flush(); // a failure shows in the next write, or not at all once stopped
            part.range.done += part.request->Received();
            sessionBytes += part.request->Received();
            part.request.reset();
        }
    }

    TDownloadState Current() const {
        TDownloadState state = remote;
        for (const TPart& part : parts)
            state.parts.push_back({part.range.start, part.range.end, part.Done()});
        return state;
    }

    // The record counts only bytes in the file.
    void SaveState() {
        for (TPart& part : parts) {
            if (part.request)
                part.request->Flush();
        }
        Save(Current());
    }

    void Save(const TDownloadState& state) {
        if (owner.StateFileName.empty())
            return;
        if (file)
            file->flush(); // the counts written must not run ahead of the bytes on disk
        if (!WriteDownloadState(owner.StateFileName, state))
            qCWarning(lcUpgrade, "cannot write the download state %s", owner.StateFileName.c_str());
    }

    void RemoveStateFile() {
        if (!owner.StateFileName.empty())
            std::remove(owner.StateFileName.c_str());
    }

    std::int64_t Received() const {
        std::int64_t received = 0;
        for (const TPart& part : parts)
            received += part.Done();
        return received;
    }

    void StatsTick() {
        if (!running)
            return;
        if (!parts.empty())
            SaveState();
        const std::int64_t received = Received();
        const std::int64_t length = remote.contentLength;
        const int percent =
            length > 0 ? static_cast<int>(std::clamp<std::int64_t>(received * 100 / length, 0, 100)) : 0;
        emit owner.ShowStats(percent, received);
    }

    TMultipartHttpDownloader& owner;
    std::unique_ptr<QFile> file; // open while a transfer runs
    TCurlMultiDriver multi;
    QTimer statsTimer;
    std::unique_ptr<TPartRequest> probe; // the first request, while it runs
    std::vector<TPart> parts;
    TDownloadState remote; // what the server said about its file (no parts)
    std::optional<TDownloadState> resumeFrom;
    bool running = false;
    bool wholeBody = false; // the server takes no ranges: one part, read from its first byte
    std::uint64_t generation = 0;
    int undeliveredPartNotices = 0; // stopped parts the owner has not heard of yet
    std::int64_t sessionBytes = 0;  // of ended requests since the file last started over
};

TMultipartHttpDownloader::TMultipartHttpDownloader(QObject* parent)
    : QObject(parent), state_(std::make_unique<TState>(*this)) {}

TMultipartHttpDownloader::~TMultipartHttpDownloader() = default;

void TMultipartHttpDownloader::Start() {
    constexpr const char* location = "TMultipartHttpDownloader.Start";
    if (URL.empty())
        throw corvane::ETax("No URL to download", location);
    if (FileName.empty())
        throw corvane::ETax("No file to download into", location);
    if (state_->running)
        throw corvane::ETax("A transfer is running", location);
    state_->OpenFile(location);
    state_->Begin(URL, std::nullopt);
}

void TMultipartHttpDownloader::Pause() {
    if (StateFileName.empty())
        throw corvane::ETax("No state file to pause into", "TMultipartHttpDownloader.Pause");
    state_->Pause();
}

void TMultipartHttpDownloader::Resume() {
    constexpr const char* location = "TMultipartHttpDownloader.Resume";
    if (StateFileName.empty())
        throw corvane::ETax("No state file to resume from", location);
    if (FileName.empty())
        throw corvane::ETax("No file to download into", location);
    if (state_->running)
        throw corvane::ETax("A transfer is running", location);
    std::optional<TDownloadState> saved = ReadDownloadState(StateFileName);
    if (!saved)
        throw corvane::ETax("Unreadable state file " + StateFileName, location);
    state_->OpenFile(location);
    URL = saved->url;
    // The state file stays until the running transfer writes it anew: a process that dies before
    // the parts run again must still find what it held.
    state_->Begin(URL, std::move(saved));
}

void TMultipartHttpDownloader::Discard() {
    if (!state_->running)
        state_->RemoveStateFile();
}

void TMultipartHttpDownloader::Abort() {
    state_->Abort();
}

bool TMultipartHttpDownloader::Running() const noexcept {
    return state_->running;
}

std::int64_t TMultipartHttpDownloader::ContentLength() const noexcept {
    return state_->remote.contentLength;
}

bool TMultipartHttpDownloader::HasResumableState() const {
    if (URL.empty() || StateFileName.empty())
        return false;
    const std::optional<TDownloadState> saved = ReadDownloadState(StateFileName);
    return saved && saved->url == URL;
}

std::int64_t TMultipartHttpDownloader::SessionBytes() const noexcept {
    std::int64_t bytes = state_->sessionBytes;
    for (const auto& part : state_->parts) {
        if (part.request)
            bytes += part.request->Received();
    }
    return bytes;
}

} // namespace qm
