#pragma once

#include "upgrade/EventLoopTurn.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QFile;

namespace qm {

// Codes RequestDone reports besides the HTTP status of the transfer.
inline constexpr int kDownloadFinished = 200; // every part's range came back with 206
inline constexpr int kDownloadPaused = 204;   // reason "Transfert paused"
inline constexpr int kDownloadAborted = 503;  // reason "Transfert aborted"
// What a part reports to ThreadRequestDone when the network is lost under it (connection refused
// or reset, host unreachable, no data within the part's limit).
inline constexpr int kPartNetworkLost = 10065;
// When the first request fails on the network, RequestDone gets one of these numbers with the
// reason "Download failed" (see upgrade/NetworkErrorCode.h): 10061 refused, 10065 unreachable,
// 10060 timed out, 10054 reset, 11001 host not found, else 12000 + libcurl's error code (12023:
// the file could not be written).
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kDownloadWriteFailed = 12023;
// The server offers, or sends, more than MostBytes: the transfer is stopped there.
inline constexpr int kDownloadBeyondLength = 12900;

// Fetches one address in PartCount byte ranges at once, each written at its own offset into the
// file the caller opened, on the UI thread's event loop (libcurl's multi interface, driven by
// socket notifiers and a timer; no thread of its own).
//
// Start: asks for the content length first, then runs the ranges. Pause: stops every part and
// writes the resume data to StateFileName (INI: section "GLOBAL" with "Url", "ContentLength",
// "PartCount"; one section "PART_<index>" per part with "StartOffset", "EndOffset", "DataCount",
// "URL"); RequestDone(204) follows. Resume: reads StateFileName and continues every unfinished
// part from its offset. Abort: stops every part; RequestDone(503) follows.
//
// Besides: while a transfer runs the state file is rewritten (atomically) about once a second, so
// a process that dies loses at most a second of data; Resume starts over when the server's file
// changed (length, or "ETag"/"LastModified", kept as extra keys of "GLOBAL"); a server that takes
// no ranges or gives no length is read in one part.
class TMultipartHttpDownloader : public QObject {
    Q_OBJECT

public:
    explicit TMultipartHttpDownloader(QObject* parent = nullptr);
    ~TMultipartHttpDownloader() override;
    TMultipartHttpDownloader(const TMultipartHttpDownloader&) = delete;
    TMultipartHttpDownloader& operator=(const TMultipartHttpDownloader&) = delete;

    // Settings, made before Start or Resume.
    std::string URL;
    std::string StateFileName;
    int PartCount = 5;
    // How long the event loop may stay reading in one go before a part pauses (zero: pause after
    // every piece libcurl hands over).
    std::chrono::microseconds TurnLength = TEventLoopTurn::kLength;
    // The most bytes the file may have (the length a signed descriptor gives); negative: no limit.
    // A server that announces more, or sends more, ends the transfer with kDownloadBeyondLength.
    std::int64_t MostBytes = -1;
    // The caller's note of how the next start behaves (0 fresh, 1 resume); the downloader keeps it
    // and never reads it.
    int Tag = 0;
    // The file the parts write into. The downloader opens it itself for each transfer (Start
    // creates it, or empties what it held once the server has answered; Resume writes into what is
    // there) and closes it when the transfer ends.
    std::string FileName;

    // A part whose request failed with kPartNetworkLost, or ended with an HTTP status other than
    // 206, is left stopped and reported by ThreadRequestDone, for the owner to act on; when false
    // the downloader restarts it itself (after a second; a part refused by HTTP only a few times
    // before the transfer ends with its status).
    bool ReportLostParts = false;

    // Raise ETax when the settings do not allow it (no URL, no file, no state file for Pause and
    // Resume, an unreadable state file, Start or Resume while running). Pause without a running
    // transfer does nothing; Abort always ends with RequestDone(503) and deletes the state file.
    // The state file belongs to the downloader: the running transfer rewrites it, a finished one
    // deletes it.
    void Start();
    void Pause();
    void Resume();
    void Abort();
    // The transfer will not go on: its resume data is deleted. Not while running.
    void Discard();

    bool Running() const noexcept;
    // -1 until the first request has answered, and when the server gives no length.
    std::int64_t ContentLength() const noexcept;
    // StateFileName names a state file written for URL: Resume can go on from it.
    bool HasResumableState() const;
    // Bytes written into the file since the last Start or Resume (from 0 again when the transfer
    // has to start over).
    std::int64_t SessionBytes() const noexcept;

signals:
    // Once per transfer, when every part has ended (or the first request failed): the code of
    // the part that ended last, or the network error / HTTP status of the first request with its
    // reason ("Download failed" or the status text). Like ThreadRequestDone, emitted from the
    // event loop, never from inside a call of this class, so a receiver may start, stop or free
    // the downloader; a notice still waiting when Start, Resume or Abort is called is dropped.
    void RequestDone(int code, const std::string& reason);
    // About once a second while running: the percentage done and every byte received so far.
    void ShowStats(int percent, std::int64_t received);
    // A part was lost (see ReportLostParts).
    void ThreadRequestDone(int partIndex, int code);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace qm
